// Writes a seed corpus for fuzz_registry: store files written by the
// registry itself, from an empty store to one with keys under both roots and
// values of every type. Usage: fuzz_registry_seeds DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/registry.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The store file as it stands now.
bool Snapshot(const std::string& root, const std::string& dir, const std::string& name) {
  std::ifstream in(root + "/" SORVI_REGISTRY_FILE, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  return !bytes.empty() && fuzz::WriteSeed(dir, name, bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_registry_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string root = dir + "/.registry-root";
  std::filesystem::create_directories(root);
  SetDeviceRoot(root.c_str());
  bool ok = true;

  HKEY key = nullptr;
  ok = ok && RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Sorvi Software\\Sorvi Dictionary", 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
  ok = ok && Snapshot(root, dir, "one-key.dat");
  const DWORD version = 13;
  const BYTE blob[] = {0, 1, 2, 3, 255, 128, 0, 7};
  const char16_t text[] = u"Sorvi \u4E2D\u6587";
  const char16_t multi[] = u"a\0bc\0";
  RegSetValueExW(key, u"EngineVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version), 4);
  RegSetValueExW(key, u"Engine", 0, REG_BINARY, blob, sizeof blob);
  RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegSetValueExW(key, u"Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi);
  RegCloseKey(key);
  ok = ok && Snapshot(root, dir, "values.dat");
  HKEY other = nullptr;
  ok = ok && RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"a\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr) ==
                 ERROR_SUCCESS;
  RegSetValueExW(other, u"v", 0, REG_BINARY, blob, 3);
  RegCloseKey(other);
  ok = ok && Snapshot(root, dir, "two-roots.dat");
  std::filesystem::remove_all(root);
  return ok ? 0 : 1;
}
