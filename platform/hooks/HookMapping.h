// The shared memory's name for a hook library and its client. A named
// mapping belongs to one desktop session, so the name is scoped to the user
// and the X display: two sessions (or two private X servers of the tests)
// never share a hook's memory.
#pragma once

#include <cstdlib>
#include <string>
#include <unistd.h>

inline std::string HookMappingName(const char* AMappingName) {
  std::string name = "/";
  name += AMappingName;
  name += '-';
  name += std::to_string(getuid());
  name += '-';
  const char* display = std::getenv("DISPLAY");
  for (const char* c = display ? display : ""; *c; ++c)
    name += (*c == '/' ? '_' : *c);
  return name;
}
