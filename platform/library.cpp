// LoadLibraryW / GetProcAddress / FreeLibrary over dlopen.
#include "platform/library.h"

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/device_paths.h"
#include "platform/errors.h"

namespace {

struct Module {
  void* dl = nullptr;
  int refs = 0;
  WORD generation = 0;
};
std::mutex gMutex;
std::vector<Module>& Modules() {
  static auto* m = new std::vector<Module>;
  return *m;
}

// (generation << 20) | ((index + 1) << 4): never 0, bit 0 clear, and never
// a small value that could pass for a resource module.
HMODULE Handle(size_t index) {
  auto v = (static_cast<std::uintptr_t>(Modules()[index].generation) << 20) | ((index + 1) << 4);
  return reinterpret_cast<HMODULE>(v);
}

Module* Lookup(HMODULE h) {
  auto v = reinterpret_cast<std::uintptr_t>(h);
  if ((v & 0xF) != 0) return nullptr;
  size_t index = ((v >> 4) & 0xFFFF) - 1;
  if (index >= Modules().size()) return nullptr;
  Module& m = Modules()[index];
  if (!m.dl || m.generation != (v >> 20)) return nullptr;
  return &m;
}

}  // namespace

HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (!fileName || !fileName[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string path;
  if (fileName[0] == u'\\' || fileName[0] == u'/') {
    if (!DevicePathToHostPath(fileName, &path)) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
  } else {
    path = Utf16ToUtf8(fileName);
  }
  void* dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard<std::mutex> lk(gMutex);
  auto& mods = Modules();
  for (size_t i = 0; i < mods.size(); ++i)
    if (mods[i].dl == dl) {
      mods[i].refs++;
      dlclose(dl);  // dlopen counted it once more; we count ourselves
      return Handle(i);
    }
  size_t slot = mods.size();
  for (size_t i = 0; i < mods.size(); ++i)
    if (!mods[i].dl) {
      slot = i;
      break;
    }
  if (slot == mods.size()) {
    if (slot >= 0xFFFE) {
      dlclose(dl);
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    mods.push_back(Module{});
  }
  Module& m = mods[slot];
  m.dl = dl;
  m.refs = 1;
  m.generation = static_cast<WORD>((m.generation % 0xFFF) + 1);
  return Handle(slot);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  std::lock_guard<std::mutex> lk(gMutex);
  Module* m = Lookup(module);
  if (!m || !procName) {
    SetLastError(m ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* sym = dlsym(m->dl, procName);
  if (!sym) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(sym);
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
  if (!procName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string narrow = Utf16ToUtf8(procName);
  return GetProcAddress(module, narrow.c_str());
}

BOOL FreeLibrary(HMODULE module) {
  std::lock_guard<std::mutex> lk(gMutex);
  Module* m = Lookup(module);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--m->refs == 0) {
    dlclose(m->dl);
    m->dl = nullptr;
  }
  return TRUE;
}
