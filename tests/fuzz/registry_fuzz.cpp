// Feeds arbitrary bytes to the registry as its store file "registry.dat":
// the store is loaded (or set aside), its keys opened and values read, and
// a change saved. Nothing a store holds may make the registry read out of
// bounds, loop forever or leak.
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/errors.h"
#include "platform/registry.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char16_t* const kKeys[] = {u"Software\\Sorvi Software\\Sorvi Dictionary", u"Software", u"a\\b"};
const char16_t* const kValues[] = {u"Engine", u"Dicts", u"RecentQueries", u"RecentEntries", u"EngineVersion",
                                   u"",       u"v"};

void ReadKey(HKEY root, const char16_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (const char16_t* name : kValues) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) continue;
    BYTE small[8];
    DWORD smallSize = sizeof small;
    RegQueryValueExW(key, name, nullptr, &type, small, &smallSize);
    std::string buffer(size, '\0');
    RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
  }
  RegCloseKey(key);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UsePrivateDeviceRoot();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string root = fuzz::UsePrivateDeviceRoot();
  std::error_code ec;
  std::filesystem::remove(root + "/" SORVI_REGISTRY_FILE ".bad", ec);
  if (!fuzz::WriteBytes(root + "/" SORVI_REGISTRY_FILE, data, size)) return 0;
  ReloadRegistryForTests();
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    for (const char16_t* path : kKeys) ReadKey(root, path);
  // A change saves the whole store again.
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKeys[0], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    const DWORD one = 1;
    RegSetValueExW(key, u"EngineVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegDeleteValueW(key, u"Dicts");
    RegCloseKey(key);
  }
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"a\\b");
  return 0;
}
