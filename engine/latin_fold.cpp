#include "engine/latin_fold.h"

#include <cstring>


namespace {

// Base letters of U+00C0-U+017F, one per code point; '\0' marks × and ÷,
// which stay as they are.
constexpr char kBaseC0[] =
    "AAAAAAACEEEEIIIIDNOOOOO\0OUUUUYTs"
    "aaaaaaaceeeeiiiidnooooo\0ouuuuyty"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGg"
    "GgGgHhHhIiIiIiIiIiIiJjKkqLlLlLlL"
    "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSs"
    "SsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
static_assert(sizeof(kBaseC0) == 0xC0 + 1, "one letter per code point U+00C0-U+017F");

// U+01CD-U+01DC: pinyin letters with caron and the ü forms.
constexpr char kBase1CD[] = "AaIiOoUuUuUuUuUu";
static_assert(sizeof(kBase1CD) == 16 + 1, "one letter per code point U+01CD-U+01DC");

WCHAR LowerAscii(WCHAR u) { return (u >= u'A' && u <= u'Z') ? static_cast<WCHAR>(u + 32) : u; }
bool IsLowerLetter(WCHAR u) { return u >= u'a' && u <= u'z'; }

bool FoldsToLetter(WCHAR u) { return IsLowerLetter(LowerAscii(FoldLatinLetter(u, nullptr))); }

// Walks the folded letters of a text, lower-cased, a ligature giving its
// two letters in turn; units that fold to no letter are passed over.
struct FoldCursor {
  const WCHAR* p;
  WCHAR pending;
};

WCHAR NextFoldedLetter(FoldCursor& c) {
  if (c.pending) {
    const WCHAR w = c.pending;
    c.pending = 0;
    return w;
  }
  while (*c.p) {
    WCHAR second = 0;
    const WCHAR base = LowerAscii(FoldLatinLetter(*c.p++, &second));
    if (IsLowerLetter(base)) {
      second = LowerAscii(second);
      if (IsLowerLetter(second)) c.pending = second;
      return base;
    }
  }
  return 0;
}

}  // namespace

WCHAR FoldLatinLetter(WCHAR unit, WCHAR* second) {
  if (unit < 0xC0 || unit > 0x1DC) return unit;
  if (unit >= 0x180) {
    if (unit < 0x1CD) return unit;
    return static_cast<WCHAR>(kBase1CD[unit - 0x1CD]);
  }
  const char base = kBaseC0[unit - 0xC0];
  if (base == 0) return unit;
  WCHAR two = 0;
  switch (unit) {
    case 0xC6: case 0xE6: two = u'e'; break;    // Æ æ
    case 0x152: case 0x153: two = u'e'; break;  // Œ œ
    case 0x132: case 0x133: two = u'j'; break;  // Ĳ ĳ
    case 0xDE: case 0xFE: two = u'h'; break;    // Þ þ
    case 0xDF: two = u's'; break;               // ß
    default: break;
  }
  if (two != 0) {
    // The second letter follows the case of the first.
    if (base >= 'A' && base <= 'Z') two = static_cast<WCHAR>(two - 32);
    if (second) *second = two;
  }
  return static_cast<WCHAR>(base);
}

void FoldTextN(WCHAR* dst, const WCHAR* src, uint32_t size) {
  if (!dst || size == 0) return;
  uint32_t n = 0;
  if (src) {
    for (; *src && n < size - 1; ++src) {
      WCHAR second = 0;
      dst[n++] = FoldLatinLetter(*src, &second);
      if (second != 0 && n < size - 1) dst[n++] = second;
    }
  }
  dst[n] = 0;
}

uint32_t FoldToKeyCopy(WCHAR* dst, uint32_t size, const WCHAR* src, bool keepSpaces) {
  WCHAR key[kFoldKeyMaxUnits];
  uint32_t n = 0;
  if (src) {
    for (uint32_t i = 0; src[i] && n < kFoldKeyMaxUnits; ++i) {
      const WCHAR u = src[i];
      if (u == u'(') {
        uint32_t j = i + 1;
        while (src[j] && src[j] != u')') ++j;
        if (!src[j]) break;  // unclosed: the key ends here
        i = j;
        continue;
      }
      if (i > 0 && u >= 0xEA00 && u <= 0xEA8F) break;
      WCHAR second = 0;
      const WCHAR base = LowerAscii(FoldLatinLetter(u, &second));
      if (IsLowerLetter(base)) {
        key[n++] = base;
        second = LowerAscii(second);
        if (IsLowerLetter(second) && n < kFoldKeyMaxUnits) key[n++] = second;
      } else if (u == u' ' && keepSpaces) {
        key[n++] = u' ';
      }
    }
  }
  if (!dst || size == 0) return 0;
  const uint32_t m = n < size - 1 ? n : size - 1;
  for (uint32_t i = 0; i < m; ++i) dst[i] = key[i];
  dst[m] = 0;
  return m;
}

void FoldToKey(WCHAR* text, uint32_t size, bool keepSpaces) { FoldToKeyCopy(text, size, text, keepSpaces); }

uint32_t FoldedKeyLength(const WCHAR* text, bool keepSpaces) {
  if (!text) return 0;
  WCHAR copy[kFoldKeyMaxUnits + 1];
  uint32_t i = 0;
  for (; i < kFoldKeyMaxUnits && text[i]; ++i) copy[i] = text[i];
  copy[i] = 0;
  return FoldToKeyCopy(copy, kFoldKeyMaxUnits + 1, copy, keepSpaces);
}

const WCHAR* FindFolded(const WCHAR* text, const WCHAR* pattern, uint32_t* length, bool anywhere) {
  if (length) *length = 0;
  if (!text || !pattern) return nullptr;
  {
    FoldCursor probe{pattern, 0};
    if (NextFoldedLetter(probe) == 0) return nullptr;
  }
  const WCHAR* start = text;
  while (*start && !FoldsToLetter(*start)) ++start;
  while (*start) {
    FoldCursor t{start, 0};
    FoldCursor p{pattern, 0};
    bool matched = false;
    for (;;) {
      const WCHAR pc = NextFoldedLetter(p);
      if (pc == 0) {
        matched = true;
        break;
      }
      if (NextFoldedLetter(t) != pc) break;
    }
    if (matched) {
      // An accented letter continues a word as much as a plain one does.
      const bool wordEnd = t.pending == 0 && !FoldsToLetter(*t.p);
      if (anywhere || wordEnd) {
        if (length) *length = static_cast<uint32_t>(t.p - start);
        return start;
      }
    }
    while (*start && FoldsToLetter(*start)) ++start;
    while (*start && !FoldsToLetter(*start)) ++start;
  }
  return nullptr;
}

bool InitFoldedPattern(FoldedPattern* pattern, const WCHAR* text) {
  *pattern = FoldedPattern{};
  if (!text) return false;
  FoldCursor p{text, 0};
  uint32_t n = 0;
  for (WCHAR c = NextFoldedLetter(p); c != 0; c = NextFoldedLetter(p)) {
    if (n == 64) return false;
    pattern->letterMask[c - u'a'] |= uint64_t{1} << n;
    ++n;
  }
  if (n == 0) return false;
  pattern->last = uint64_t{1} << (n - 1);
  return true;
}

bool FeedFoldedMatchLatin(const FoldedPattern& pattern, FoldedMatch* match, WCHAR unit) {
  WCHAR second = 0;
  const WCHAR base = LowerAscii(FoldLatinLetter(unit, &second));
  if (!IsLowerLetter(base)) {
    match->start = 1;
    return false;
  }
  uint64_t s = ((match->state << 1) | match->start) & pattern.letterMask[base - u'a'];
  match->start = 0;
  second = LowerAscii(second);
  // The pattern's last letter may be a ligature's first: found all the same.
  if (IsLowerLetter(second) && !(s & pattern.last)) s = (s << 1) & pattern.letterMask[second - u'a'];
  match->state = s;
  match->found = (s & pattern.last) != 0;
  return match->found;
}
