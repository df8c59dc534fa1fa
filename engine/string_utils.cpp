#include "engine/string_utils.h"

#include "platform/heap.h"

namespace {

WCHAR Swap16(WCHAR u) { return static_cast<WCHAR>(((u & 0xFF) << 8) | (u >> 8)); }

bool IsFormatCode(WCHAR u) { return u >= 0xEAB0 && u <= 0xEAFF; }
bool HasPayload(WCHAR u) { return u == 0xEABA || u == 0xEAC1 || u == 0xEAC3 || u == 0xEAC5; }
bool IsMarkupSkip(WCHAR u) { return u >= 0xEA90 && u <= 0xEA9F; }

}  // namespace

uint32_t WideStrLen(const WCHAR* s) {
  if (!s) return 0;
  uint32_t n = 0;
  while (s[n]) ++n;
  return n;
}

void WideStrCopy(WCHAR* dst, const WCHAR* src) {
  if (!dst) return;
  if (!src) {
    dst[0] = 0;
    return;
  }
  uint32_t i = 0;
  while ((dst[i] = src[i]) != 0) ++i;
}

void WideStrCopyN(WCHAR* dst, const WCHAR* src, uint32_t n) {
  if (!dst || n == 0) return;
  uint32_t i = 0;
  if (src) {
    for (; i < n; ++i) {
      dst[i] = src[i];
      if (src[i] == 0) return;
    }
    dst[n - 1] = 0;
    return;
  }
  dst[0] = 0;
}

void WideStrCopyRawN(WCHAR* dst, const WCHAR* src, uint32_t n) {
  if (!dst || !src) return;
  for (uint32_t i = 0; i < n; ++i) {
    dst[i] = src[i];
    if (src[i] == 0) return;
  }
}

void WideStrCopySwapN(WCHAR* dst, const WCHAR* src, uint32_t n) {
  if (!dst || !src) return;
  for (uint32_t i = 0; i < n; ++i) {
    dst[i] = Swap16(src[i]);
    if (src[i] == 0) return;
  }
}

void WideStrRemoveChar(WCHAR* dst, const WCHAR* src, WCHAR c) {
  if (!dst || !src || c == 0) return;
  uint32_t o = 0;
  for (uint32_t i = 0; src[i]; ++i) {
    if (src[i] != c) dst[o++] = src[i];
  }
  dst[o] = 0;
}

WCHAR* WideStrDup(const WCHAR* s) {
  const uint32_t n = WideStrLen(s);
  if (n == 0) return nullptr;
  auto* out = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (static_cast<SIZE_T>(n) + 1) * sizeof(WCHAR)));
  if (!out) return nullptr;
  for (uint32_t i = 0; i <= n; ++i) out[i] = s[i];
  return out;
}

void WideFromNarrowN(WCHAR* dst, const char* src, uint32_t n) {
  if (!dst || !src) return;
  for (uint32_t i = 0; i < n; ++i) {
    dst[i] = static_cast<uint8_t>(src[i]);
    if (src[i] == 0) return;
  }
}

WCHAR* WideDupFromNarrow(const char* s) {
  if (!s) return nullptr;
  uint32_t n = 0;
  while (s[n]) ++n;
  auto* out = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (static_cast<SIZE_T>(n) + 2) * sizeof(WCHAR)));
  if (!out) return nullptr;
  for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(s[i]);
  out[n] = 0;
  out[n + 1] = 0;
  return out;
}

void NarrowFromWideN(char* dst, const WCHAR* src, uint32_t n) {
  if (!dst || !src) return;
  for (uint32_t i = 0; i < n; ++i) {
    dst[i] = static_cast<char>(src[i] & 0xFF);
    if (src[i] == 0) return;
  }
}

void WideTrimRight(WCHAR* s) {
  uint32_t n = WideStrLen(s);
  while (n > 0 && s[n - 1] == u' ') s[--n] = 0;
}

void StripHighUnits(WCHAR* s) {
  if (!s) return;
  uint32_t o = 0;
  for (uint32_t i = 0; s[i]; ++i) {
    if (s[i] < 0x9FAF) s[o++] = s[i];
  }
  s[o] = 0;
}

void StripFormatCodes(WCHAR* s) {
  if (!s) return;
  uint32_t o = 0;
  uint32_t i = 0;
  while (s[i]) {
    const WCHAR u = s[i];
    if (!IsFormatCode(u)) {
      s[o++] = u;
      ++i;
      continue;
    }
    ++i;
    if (HasPayload(u) && s[i] != 0 && s[i + 1] != 0) i += 2;
  }
  s[o] = 0;
}

int IsBlankText(const WCHAR* s) {
  if (!s) return 1;
  for (; *s; ++s) {
    if (*s >= 0x21 && *s != 0x00A0 && *s != 0x3000) return 0;
  }
  return 1;
}

uint32_t SumWideChars(const WCHAR* s) {
  uint32_t sum = 0;
  if (s) {
    for (; *s; ++s) sum += *s;
  }
  return sum;
}

void WideFromInt(WCHAR* dst, int32_t value) {
  if (!dst) return;
  char digits[12];
  int n = 0;
  // Work on the magnitude as unsigned so INT32_MIN has no overflow.
  uint32_t mag = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag > 0);
  uint32_t o = 0;
  if (value < 0) dst[o++] = u'-';
  while (n > 0) dst[o++] = static_cast<WCHAR>(digits[--n]);
  dst[o] = 0;
}

int32_t WideToInt(const WCHAR* s) {
  if (!s) return 0;
  uint32_t i = 0;
  auto byte = [&](uint32_t k) { return static_cast<char>(s[k] & 0xFF); };
  while (i < 20 && s[i] && (byte(i) == ' ' || (byte(i) >= '\t' && byte(i) <= '\r'))) ++i;
  bool negative = false;
  if (i < 20 && s[i] && (byte(i) == '-' || byte(i) == '+')) {
    negative = byte(i) == '-';
    ++i;
  }
  int64_t value = 0;
  while (i < 20 && s[i] && byte(i) >= '0' && byte(i) <= '9') {
    value = value * 10 + (byte(i) - '0');
    if (value > 0x80000000LL) value = 0x80000000LL;  // saturate; keeps INT32_MIN reachable
    ++i;
  }
  if (negative) value = -value;
  if (value > 0x7FFFFFFFLL) value = 0x7FFFFFFFLL;
  return static_cast<int32_t>(value);
}

void FormatHex8(char* dst, uint32_t value) {
  if (!dst) return;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < 8; ++i) dst[i] = kHex[(value >> (28 - 4 * i)) & 15];
  dst[8] = 0;
}

void WideFromHex8(WCHAR* dst, uint32_t value) {
  if (!dst) return;
  char narrow[9];
  FormatHex8(narrow, value);
  for (int i = 0; i < 9; ++i) dst[i] = static_cast<WCHAR>(narrow[i]);
}

const WCHAR* FindText(const WCHAR* text, const WCHAR* pattern, uint32_t* length) {
  if (length) *length = 0;
  if (!text || !text[0] || !pattern) return nullptr;
  for (const WCHAR* start = text; *start; ++start) {
    if (IsMarkupSkip(*start)) continue;  // a match begins on a real unit
    const WCHAR* t = start;
    const WCHAR* p = pattern;
    while (*p) {
      while (IsMarkupSkip(*t)) ++t;
      if (*t != *p) break;
      ++t;
      ++p;
    }
    if (*p == 0) {
      if (length) *length = static_cast<uint32_t>(t - start);
      return start;
    }
  }
  return nullptr;
}

uint32_t CountKeyLetters(const WCHAR* s) {
  if (!s) return 0;
  uint32_t n = 0;
  for (; *s; ++s) {
    const WCHAR u = *s;
    if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= 0xE0 && u <= 0xE2) ||
        (u >= 0xE8 && u <= 0xEA))
      ++n;
  }
  return n;
}

void GetLanguageName(uint32_t code, WCHAR* buffer) {
  if (!buffer) return;
  const char* name = "Unknown";
  if (code == 0) name = "English";
  else if (code == 4096) name = "Chinese";
  else if (code == 65534) name = "None";
  uint32_t i = 0;
  for (; name[i]; ++i) buffer[i] = static_cast<WCHAR>(name[i]);
  buffer[i] = 0;
}
