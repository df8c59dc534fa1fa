// The position store's file as the tests write and read it, byte by byte,
// apart from the code under test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/device_paths.h"
#include "tests/support/temp_device_root.h"

namespace storefile {

using Bytes = std::vector<uint8_t>;

// Where the platform maps the file once it exists; before, where the test
// makes it.
inline std::filesystem::path StorePath(const TempDeviceRoot& root) {
  std::string host;
  if (DevicePathToHostPath(u"\\Program Files\\Sorvi\\Sorvi Reader Bookmarks", &host) && std::filesystem::exists(host))
    return host;
  return root.Host("Program Files/Sorvi/Sorvi Reader Bookmarks");
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const TempDeviceRoot& root, const Bytes& bytes) {
  const std::filesystem::path path = StorePath(root);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline uint32_t Le32(const Bytes& b, size_t at) {
  if (at + 4 > b.size()) {
    ADD_FAILURE() << "read past the file at " << at;
    return 0;
  }
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

inline Bytes Header(uint32_t version, uint32_t count, uint32_t stride) {
  Bytes b;
  Put32(&b, version);
  Put32(&b, count);
  Put32(&b, stride);
  return b;
}

// A 2,208-byte record: the key, times 1000-1002, the in-use and capacity
// words as given, and every slot byte `fill` with slot i's position i.
inline void AppendRecord(Bytes* b, const std::u16string& name, uint32_t kind, uint32_t inUse, uint32_t capacity,
                         uint8_t fill = 0x11) {
  for (size_t i = 0; i < 64; ++i) {
    const char16_t c = i < name.size() ? name[i] : 0;
    b->push_back(static_cast<uint8_t>(c));
    b->push_back(static_cast<uint8_t>(c >> 8));
  }
  Put32(b, kind);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 1000);
  Put32(b, 1001);
  Put32(b, 1002);
  Put32(b, inUse);
  Put32(b, capacity);
  for (uint32_t s = 0; s < 32; ++s) {
    for (int i = 0; i < 60; ++i) b->push_back(i < 58 ? fill : 0);
    Put32(b, s);
  }
}

inline std::u16string RecordName(const Bytes& b, size_t i) {
  std::u16string s;
  const size_t at = 12 + i * 2208;
  for (size_t k = 0; k < 64 && at + 2 * k + 1 < b.size(); ++k) {
    const char16_t c = static_cast<char16_t>(b[at + 2 * k] | b[at + 2 * k + 1] << 8);
    if (!c) break;
    s.push_back(c);
  }
  return s;
}

}  // namespace storefile
