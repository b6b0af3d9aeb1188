// Writes the fuzz dictionary of option names: every row of the engine's
// option table and every option of the registered input devices, as "-name"
// entries, so that the fuzzer puts real options together.
#include "FFOptionTable.h"
#include "GDICapture.h"
#include "LibAV.h"

#include <fstream>
#include <set>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::set<std::string> names;
  for (const TOptionDef& row : EngineOptionTable())
    names.insert(row.Name);
  // The device's class lists its options statically; no library is needed.
  if (const AVClass* deviceClass = GdiCaptureInputFormat()->priv_class)
    for (const AVOption* option = deviceClass->option; option && option->name; ++option)
      names.insert(option->name);
  std::ofstream out(argv[1]);
  for (const std::string& name : names)
    out << "\"-" << name << "\"\n";
  for (const char* token : {" ", ":", ",", ".", "=", "+", "|", "[", "]", "\\\"", "video=0",
                            "audio=-1", ":v", ":a:0", "0:1", "-1", "gdicapture"})
    out << "\"" << token << "\"\n";
  return out ? 0 : 1;
}
