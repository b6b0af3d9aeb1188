// Small engine helpers: main-thread calls, the message pump, file sizes,
// string splitting and the splitting of an option string into arguments.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Runs AMethod in the main thread and waits for it; in the main thread it
// runs at once.
void CallInMainThread(const std::function<void()>& AMethod);
// Handles every pending message of the host's event loop.
void PumpMessages();

// -1 when the file does not exist or is not a regular file.
int64_t GetFileSizeByName(const std::string& AFileName);

// AText without the blanks and control characters at both ends.
std::string Trim(const std::string& AText);

// AHead := the text before the first ADelimiter (the whole text when there is
// none); with ARemove, AText keeps only what follows the delimiter.
void SplitString(std::string& AText, const std::string& ADelimiter, bool ARemove,
                 std::string& AHead);

// Splits an option string by the runtime library's command-line rules.
// Called once with AArgv and ABuffer null to learn AByteCount and AArgCount,
// then with room for AArgCount entries and AByteCount bytes. The last entry is
// always null and is counted in AArgCount.
void SplitCommandLine(const char* AText, char** AArgv, char* ABuffer, int& AByteCount,
                      int& AArgCount);
