#include "engine/system_services.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/random.h"

uint32_t GetRandom32() {
  BYTE bytes[4] = {};
  CeGenRandom(sizeof bytes, bytes);
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void SortArray(void* base, size_t count, size_t width, int (*compare)(const void*, const void*)) {
  if (count > 1) std::qsort(base, count, width, compare);
}

char* FormatDecimal(char* buffer, int32_t value) {
  std::snprintf(buffer, kDecimalTextSize, "%d", static_cast<int>(value));
  return buffer;
}

int32_t ParseDecimal(const char* text) {
  if (!text) return 0;
  errno = 0;
  long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

double SquareRoot(double x) { return std::sqrt(x); }

void GetPlatformName(WCHAR* buffer) {
  static constexpr char16_t kName[kPlatformNameSize] = u"Windows Mobile";
  std::char_traits<char16_t>::copy(buffer, kName, kPlatformNameSize);
}

uint64_t GetFileWriteStamp(const char* utf8Path) {
  if (!utf8Path) return 0;
  std::u16string path = Utf8ToUtf16(utf8Path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

uint32_t GetRandomValue(uint32_t) { return GetRandom32(); }

void* ClearRecord72(void* record) {
  if (record) std::memset(record, 0, 72);
  return record;
}

namespace {

int CompareWordAt(const void* a, const void* b, size_t offset) {
  int32_t va = 0, vb = 0;
  std::memcpy(&va, static_cast<const uint8_t*>(a) + offset, 4);
  std::memcpy(&vb, static_cast<const uint8_t*>(b) + offset, 4);
  // Compare rather than subtract: a difference can overflow 32 bits.
  return va < vb ? -1 : (va > vb ? 1 : 0);
}

}  // namespace

int CompareFirstWord(const void* a, const void* b) { return CompareWordAt(a, b, 0); }
int CompareSecondWord(const void* a, const void* b) { return CompareWordAt(a, b, 4); }

int PointInRect(int x, int y, const uint16_t* rect) {
  if (!rect) return 0;
  const int left = rect[0], top = rect[1];
  return (x >= left && x < left + rect[2] && y >= top && y < top + rect[3]) ? 1 : 0;
}
