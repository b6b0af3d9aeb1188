// A shared library opened with dlopen, closed when the owner dies.
#pragma once

#include <string>

class TDynLib {
public:
  TDynLib() = default;
  TDynLib(const TDynLib&) = delete;
  TDynLib& operator=(const TDynLib&) = delete;
  TDynLib(TDynLib&& AOther) noexcept : FHandle(AOther.FHandle) { AOther.FHandle = nullptr; }
  TDynLib& operator=(TDynLib&& AOther) noexcept;
  ~TDynLib() { Close(); }

  // APath with a slash is opened as it is, a bare name through the system's
  // search order. On failure AError holds dlerror()'s text.
  bool Open(const std::string& APath, std::string& AError);
  // Answers the symbol's address, or nullptr with dlerror()'s text in AError.
  void* Symbol(const char* AName, std::string& AError) const;
  void Close();
  // The path the system's loader opened the library from (for a bare name,
  // where its search found it); empty when not open.
  std::string LoadedPath() const;
  // Lets go of the handle without closing: the library stays for the process.
  void Release() { FHandle = nullptr; }
  bool IsOpen() const { return FHandle != nullptr; }

private:
  void* FHandle = nullptr;
};
