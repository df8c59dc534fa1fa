#include "engine/utf8.h"

#include "platform/heap.h"

namespace {

constexpr uint32_t kNoLimit = 0xFFFFFFFFu;

bool IsHighSurrogate(WCHAR u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(WCHAR u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Bytes the lead byte needs in total; 0 for a byte that starts nothing.
uint32_t SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC0) return 0;  // stray continuation byte
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  return 0;
}

// Encodes the character at s (a pair when both halves lie within `avail`
// units). Returns the byte count; *taken receives the units used.
uint32_t EncodeChar(const WCHAR* s, uint32_t avail, char* out, uint32_t* taken, bool quote) {
  const WCHAR u = s[0];
  *taken = 1;
  if (u < 0x80) {
    out[0] = static_cast<char>(u);
    if (quote && u == u'\'') {
      out[1] = '\'';
      return 2;
    }
    return 1;
  }
  if (u < 0x800) {
    out[0] = static_cast<char>(0xC0 | (u >> 6));
    out[1] = static_cast<char>(0x80 | (u & 63));
    return 2;
  }
  if (IsHighSurrogate(u) && avail >= 2 && IsLowSurrogate(s[1])) {
    const uint32_t cp = 0x10000u + ((static_cast<uint32_t>(u) - 0xD800u) << 10) + (s[1] - 0xDC00u);
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 63));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 63));
    out[3] = static_cast<char>(0x80 | (cp & 63));
    *taken = 2;
    return 4;
  }
  out[0] = static_cast<char>(0xE0 | (u >> 12));
  out[1] = static_cast<char>(0x80 | ((u >> 6) & 63));
  out[2] = static_cast<char>(0x80 | (u & 63));
  return 3;
}

}  // namespace

uint32_t Utf8DecodeChar(const char* src, uint32_t avail, WCHAR* out, uint32_t* unitCount) {
  *unitCount = 0;
  if (avail == 0) return 0;
  const auto* b = reinterpret_cast<const uint8_t*>(src);
  const uint32_t need = SequenceLength(b[0]);
  if (need == 0) return 1;  // nothing produced, byte passed over
  if (need == 1) {
    out[0] = b[0];
    *unitCount = 1;
    return 1;
  }
  if (avail < need) return 0;
  // Look at each following byte only after the one before proved non-zero,
  // so a terminated text is never read past its terminator.
  for (uint32_t i = 1; i < need; ++i) {
    if (b[i] == 0) return 0;
  }
  if (need == 2) {
    out[0] = static_cast<WCHAR>(((b[0] & 31u) << 6) | (b[1] & 63u));
    *unitCount = 1;
  } else if (need == 3) {
    out[0] = static_cast<WCHAR>(((b[0] & 0x0Fu) << 12) | ((b[1] & 63u) << 6) | (b[2] & 63u));
    *unitCount = 1;
  } else {
    const uint32_t cp = ((b[0] & 7u) << 18) | ((b[1] & 63u) << 12) | ((b[2] & 63u) << 6) | (b[3] & 63u);
    if (cp < 0x10000u || cp > 0x10FFFFu) {
      out[0] = 0xFFFD;  // overlong or beyond Unicode
      *unitCount = 1;
    } else {
      out[0] = static_cast<WCHAR>(0xD800u + ((cp - 0x10000u) >> 10));
      out[1] = static_cast<WCHAR>(0xDC00u + ((cp - 0x10000u) & 0x3FFu));
      *unitCount = 2;
    }
  }
  return need;
}

uint32_t Utf8ToWide(const char* src, WCHAR* dst, uint32_t dstUnits, uint32_t* limit, uint32_t* bytesOut) {
  const uint32_t lim = (limit && *limit > 0) ? *limit : kNoLimit;
  uint32_t pos = 0;
  uint32_t written = 0;
  if (src && dst && dstUnits > 0) {
    while (pos < lim && src[pos] != 0) {
      WCHAR units[2];
      uint32_t n = 0;
      const uint32_t used = Utf8DecodeChar(src + pos, lim - pos, units, &n);
      if (used == 0) break;
      if (written + n + 1 > dstUnits) break;  // keep room for the terminator
      for (uint32_t i = 0; i < n; ++i) dst[written++] = units[i];
      pos += used;
    }
  }
  if (dst && dstUnits > 0) dst[written] = 0;
  if (limit) *limit = pos;
  if (bytesOut) *bytesOut = written * 2;
  return written;
}

uint32_t Utf8CharCount(const char* src, uint32_t limit) {
  if (!src) return 0;
  const uint32_t lim = limit > 0 ? limit : kNoLimit;
  uint32_t pos = 0;
  uint32_t count = 0;
  while (pos < lim && src[pos] != 0) {
    WCHAR units[2];
    uint32_t n = 0;
    const uint32_t used = Utf8DecodeChar(src + pos, lim - pos, units, &n);
    if (used == 0) break;
    count += n;
    pos += used;
  }
  return count;
}

uint32_t CountUtf8TrailBytes(const char* buf, uint32_t n) {
  if (!buf) return 0;
  const uint32_t look = n < 4 ? n : 4;
  uint32_t i = 0;
  while (i < look) {
    const auto b = static_cast<uint8_t>(buf[i]);
    if (b < 0x80 || b > 0xBF) break;
    ++i;
  }
  return i;
}

uint32_t WideToUtf8(const WCHAR* src, char* dst, uint32_t dstBytes, uint32_t maxUnits, uint32_t* length,
                    bool quote) {
  uint32_t consumed = 0;
  uint32_t out = 0;
  if (src && dst && dstBytes > 0) {
    const uint32_t bound = maxUnits > 0 ? maxUnits : kNoLimit;
    while (consumed < bound && src[consumed] != 0) {
      char bytes[4];
      uint32_t taken = 0;
      const uint32_t n = EncodeChar(src + consumed, bound - consumed, bytes, &taken, quote);
      if (out + n + 1 > dstBytes) break;  // never split a character
      for (uint32_t i = 0; i < n; ++i) dst[out++] = bytes[i];
      consumed += taken;
    }
  }
  if (dst && dstBytes > 0) dst[out] = 0;
  if (length) *length = out;
  return consumed;
}

uint32_t Utf8Length(const WCHAR* src, uint32_t maxUnits, bool quote) {
  if (!src) return 0;
  const uint32_t bound = maxUnits > 0 ? maxUnits : kNoLimit;
  uint32_t consumed = 0;
  uint32_t total = 0;
  while (consumed < bound && src[consumed] != 0) {
    char bytes[4];
    uint32_t taken = 0;
    total += EncodeChar(src + consumed, bound - consumed, bytes, &taken, quote);
    consumed += taken;
  }
  return total;
}

char* Utf8DupFromWide(const WCHAR* src, uint32_t maxUnits, bool quote) {
  if (!src) return nullptr;
  const uint32_t bytes = Utf8Length(src, maxUnits, quote) + 1;
  auto* out = static_cast<char*>(LocalAlloc(LMEM_FIXED, bytes));
  if (!out) return nullptr;
  WideToUtf8(src, out, bytes, maxUnits, nullptr, quote);
  return out;
}

WCHAR* WideDupFromUtf8(const char* src, uint32_t limit) {
  if (!src) return nullptr;
  const uint32_t units = Utf8CharCount(src, limit) + 1;
  auto* out = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, units * sizeof(WCHAR)));
  if (!out) return nullptr;
  uint32_t lim = limit;
  Utf8ToWide(src, out, units, &lim, nullptr);
  return out;
}
