#include "engine/system_services.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

uint32_t GetFileWriteStamp(const char* utf8Path) {
  if (!utf8Path) return 0;
  std::u16string path = Utf8ToUtf16(utf8Path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return data.ftLastWriteTime.dwLowDateTime;
}
