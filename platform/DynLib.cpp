// Shared libraries over dlopen (see DynLib.h).
#include "DynLib.h"

#include <dlfcn.h>
#include <link.h>

namespace {
std::string LastDlError() {
  const char* text = dlerror();
  return text ? text : "unknown error";
}
} // namespace

TDynLib& TDynLib::operator=(TDynLib&& AOther) noexcept {
  if (this != &AOther) {
    Close();
    FHandle = AOther.FHandle;
    AOther.FHandle = nullptr;
  }
  return *this;
}

bool TDynLib::Open(const std::string& APath, std::string& AError) {
  Close();
  dlerror();
  FHandle = dlopen(APath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!FHandle) AError = LastDlError();
  return FHandle != nullptr;
}

void* TDynLib::Symbol(const char* AName, std::string& AError) const {
  if (!FHandle) {
    AError = "library not open";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(FHandle, AName);
  if (!address) AError = LastDlError();
  return address;
}

void TDynLib::Close() {
  if (FHandle) dlclose(FHandle);
  FHandle = nullptr;
}

std::string TDynLib::LoadedPath() const {
  link_map* map = nullptr;
  if (!FHandle || dlinfo(FHandle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
  return map->l_name;
}
