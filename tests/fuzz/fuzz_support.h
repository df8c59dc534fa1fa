// What the fuzz targets share: a device root of their own per process,
// removed when the run ends, and writing the input as a host file.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/device_paths.h"

namespace fuzz {

// Makes SORVI_FUZZ_TMP/root-<pid>, sets it as the device root and removes it
// at exit; its host path.
inline const std::string& UsePrivateDeviceRoot() {
  static const std::string root = [] {
    std::string r = std::string(SORVI_FUZZ_TMP) + "/root-" + std::to_string(getpid());
    std::filesystem::create_directories(r);
    std::atexit([] { std::filesystem::remove_all(std::string(SORVI_FUZZ_TMP) + "/root-" + std::to_string(getpid())); });
    SetDeviceRoot(r.c_str());
    return r;
  }();
  return root;
}

// Writes the bytes as the host file at `path` (its folder is made).
inline bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool ok = std::fwrite(data, 1, size, out) == size;
  return std::fclose(out) == 0 && ok;
}

// Writes one seed file DIR/NAME; false (with a message) when it cannot.
inline bool WriteSeed(const std::string& dir, const std::string& name, const void* data, size_t size) {
  if (WriteBytes(dir + "/" + name, static_cast<const uint8_t*>(data), size)) return true;
  std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
  return false;
}

}  // namespace fuzz
