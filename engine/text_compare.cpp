#include "engine/text_compare.h"

#include "engine/latin_fold.h"

namespace {

constexpr const WCHAR kEmpty[1] = {0};

const WCHAR* OrEmpty(const WCHAR* s) { return s ? s : kEmpty; }
const char* OrEmpty(const char* s) { return s ? s : ""; }

WCHAR LowerAscii(WCHAR u) { return (u >= u'A' && u <= u'Z') ? static_cast<WCHAR>(u + 32) : u; }
// A narrow byte as a unit, sign-extended (bytes 0x80-0xFF become U+FF80-U+FFFF).
WCHAR Widen(char c) { return static_cast<WCHAR>(static_cast<int16_t>(static_cast<signed char>(c))); }
WCHAR PinyinFold(WCHAR u) { return (u == 0x00DC || u == 0x00FC) ? u'v' : LowerAscii(u); }
bool IsAsciiDigit(WCHAR u) { return u >= u'0' && u <= u'9'; }
bool IsLowerLetter(WCHAR u) { return u >= u'a' && u <= u'z'; }

// Walks the letters of a text under the English key rules, up to `end`
// (null: up to the terminator).
struct KeyCursor {
  const WCHAR* p;
  const WCHAR* end;
};

[[gnu::always_inline]] inline WCHAR NextKeyLetter(KeyCursor& c) {
  while (c.p != c.end && *c.p) {
    WCHAR u = *c.p++;
    if (u == u'(') {
      while (c.p != c.end && *c.p && *c.p != u')') ++c.p;
      if (c.p != c.end && *c.p == u')') ++c.p;
      continue;
    }
    if (u >= 0xE0 && u <= 0xE2) return u'a';
    if (u >= 0xE8 && u <= 0xEA) return u'e';
    u = LowerAscii(u);
    if (IsLowerLetter(u)) return u;
  }
  return 0;
}

int EnglishKeyCmpRange(const WCHAR* a, const WCHAR* aEnd, const WCHAR* b, const WCHAR* bEnd) {
  KeyCursor ca{a, aEnd};
  KeyCursor cb{b, bEnd};
  for (;;) {
    const WCHAR la = NextKeyLetter(ca);
    const WCHAR lb = NextKeyLetter(cb);
    if (la != lb) return static_cast<int>(la) - static_cast<int>(lb);
    if (la == 0) return 0;
  }
}

// Compares the digit runs starting at a and b as numbers of any length;
// advances both past their runs.
int CompareDigitRuns(const WCHAR*& a, const WCHAR*& b) {
  while (*a == u'0' && IsAsciiDigit(a[1])) ++a;
  while (*b == u'0' && IsAsciiDigit(b[1])) ++b;
  const WCHAR* ae = a;
  const WCHAR* be = b;
  while (IsAsciiDigit(*ae)) ++ae;
  while (IsAsciiDigit(*be)) ++be;
  const auto na = ae - a;
  const auto nb = be - b;
  int result = 0;
  if (na <= 9 && nb <= 9) {
    int64_t va = 0, vb = 0;
    for (const WCHAR* p = a; p != ae; ++p) va = va * 10 + (*p - u'0');
    for (const WCHAR* p = b; p != be; ++p) vb = vb * 10 + (*p - u'0');
    result = static_cast<int>(va - vb);
  } else if (na != nb) {
    result = na < nb ? -1 : 1;
  } else {
    for (auto i = 0; i < na && result == 0; ++i) {
      if (a[i] != b[i]) result = a[i] < b[i] ? -1 : 1;
    }
  }
  a = ae;
  b = be;
  return result;
}

bool IsBlank(WCHAR u) { return u == u' ' || u == u'\t'; }

}  // namespace

int WideStrCmp(const WCHAR* a, const WCHAR* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  while (*a && *a == *b) {
    ++a;
    ++b;
  }
  return static_cast<int>(*a) - static_cast<int>(*b);
}

int NarrowWideCmp(const char* a, const WCHAR* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (;; ++a, ++b) {
    const WCHAR ua = Widen(*a);
    if (ua != *b) return static_cast<int>(ua) - static_cast<int>(*b);
    if (ua == 0) return 0;
  }
}

int WideStrCmpWildcard(const WCHAR* a, const WCHAR* b, WCHAR w) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (; *a; ++a, ++b) {
    if (*b == 0) return static_cast<int>(*a);  // a wildcard never matches b's end
    if (w != 0 && (*a == w || *b == w)) continue;
    if (*a != *b) return static_cast<int>(*a) - static_cast<int>(*b);
  }
  if (*b == 0 || (w != 0 && *b == w)) return 0;
  return -static_cast<int>(*b);
}

int WideStrPrefixCmp(const WCHAR* a, const WCHAR* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  while (*a && *b) {
    if (*a != *b) return static_cast<int>(*a) - static_cast<int>(*b);
    ++a;
    ++b;
  }
  return *b == 0 ? 0 : -1;
}

int EnglishKeyCmp(const WCHAR* a, const WCHAR* b) {
  return EnglishKeyCmpRange(OrEmpty(a), nullptr, OrEmpty(b), nullptr);
}

int EnglishKeyCmpCommon(const WCHAR* a, const WCHAR* b, uint32_t* common) {
  // EnglishKeyCmp and EnglishKeyCommonLength walk the same letters: the
  // first difference decides the one and ends the other.
  KeyCursor ca{OrEmpty(a), nullptr};
  KeyCursor cb{OrEmpty(b), nullptr};
  uint32_t n = 0;
  for (;;) {
    const WCHAR la = NextKeyLetter(ca);
    const WCHAR lb = NextKeyLetter(cb);
    if (la != lb) {
      *common = n;
      return static_cast<int>(la) - static_cast<int>(lb);
    }
    ++n;
    if (la == 0) {
      *common = n;
      return 0;
    }
  }
}

uint32_t EnglishKeyCommonLength(const WCHAR* a, const WCHAR* b) {
  uint32_t n = 0;
  EnglishKeyCmpCommon(a, b, &n);
  return n;
}

uint32_t CommonPrefixLength(const WCHAR* a, const WCHAR* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  uint32_t i = 0;
  while (LowerAscii(a[i]) == LowerAscii(b[i])) {
    if (a[i] == 0) return i + 1;
    ++i;
  }
  return i;
}

uint32_t CommonPrefixLengthNarrow(const WCHAR* a, const char* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  uint32_t i = 0;
  while (LowerAscii(a[i]) == LowerAscii(Widen(b[i]))) {
    if (a[i] == 0) return i + 1;
    ++i;
  }
  return i;
}

uint32_t PinyinCommonLengthNarrow(const WCHAR* a, const char* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  uint32_t i = 0;
  while (PinyinFold(a[i]) == LowerAscii(Widen(b[i]))) {
    if (a[i] == 0) return i + 1;
    ++i;
  }
  return i;
}

uint32_t PinyinWordCommonLengthNarrow(const WCHAR* a, const char* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  uint32_t i = 0;
  while (a[i] != u' ' && PinyinFold(a[i]) == LowerAscii(Widen(b[i]))) {
    if (a[i] == 0) return i + 1;
    ++i;
  }
  return i;
}

int WordPrefixCmpNarrow(const WCHAR* a, const char* b, uint32_t n) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (uint32_t i = 0; i < n; ++i) {
    const WCHAR ua = LowerAscii(a[i]);
    const WCHAR ub = LowerAscii(Widen(b[i]));
    if (ua == 0 && ub == u' ') return 1;
    if (ua != ub) return static_cast<int>(ua) - static_cast<int>(ub);
    if (ua == 0 || ua == u' ') return 0;
  }
  return 0;
}

int PinyinWordCmpNarrow(const WCHAR* a, const char* b, uint32_t n) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (uint32_t i = 0; i < n; ++i) {
    if (a[i] == 0 || a[i] == u' ') return 0;
    const WCHAR ua = PinyinFold(a[i]);
    // b is read only while a goes on; a blank-padded row never ends early,
    // and a shorter one stops at its terminator.
    const WCHAR ub = LowerAscii(Widen(b[i]));
    const bool la = IsLowerLetter(ua);
    const bool lb = IsLowerLetter(ub);
    if (la && lb) {
      if (ua != ub) return static_cast<int>(ua) - static_cast<int>(ub);
      continue;
    }
    if (la) return 1;
    if (lb) return -1;
    return 0;
  }
  return 0;
}

int MatchCharsByPosition(const WCHAR* a, const WCHAR* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  auto isCjk = [](WCHAR u) { return u >= 0x3400 && u <= 0xD7FF; };
  int k = 0;
  for (const WCHAR* q = b; *q; ++q) {
    if (!isCjk(*q)) continue;
    bool found = false;
    int index = 0;
    for (const WCHAR* p = a; *p && !found; ++p) {
      if (*p == u'/') {
        --index;
      } else if (isCjk(*p)) {
        if (index == k && *p == *q) found = true;
        ++index;
      }
    }
    if (!found) return 1;
    ++k;
  }
  return 0;
}

int EntryTextsMatch(const WCHAR* a, const WCHAR* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  // Next syllable number outside parentheses, or -1 at the end.
  auto next = [](const WCHAR*& p) -> int {
    int depth = 0;
    for (; *p; ++p) {
      const WCHAR u = *p;
      if (u == u'(') {
        ++depth;
      } else if (u == u')') {
        if (depth > 0) --depth;
      } else if (depth == 0 && u >= 0xE000 && u <= 0xE9EF) {
        ++p;
        return (u - 0xE000) / 5;
      }
    }
    return -1;
  };
  for (;;) {
    const int sa = next(a);
    const int sb = next(b);
    if (sa != sb) return 0;
    if (sa < 0) return 1;
  }
}

int CompareNatural(const WCHAR* a, const WCHAR* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (;;) {
    if (IsAsciiDigit(*a) && IsAsciiDigit(*b)) {
      const int d = CompareDigitRuns(a, b);
      if (d != 0) return d;
      continue;
    }
    if (*a != *b) return static_cast<int>(*a) - static_cast<int>(*b);
    if (*a == 0) return 0;
    ++a;
    ++b;
  }
}

uint32_t TrimCompareLength(const WCHAR* text) {
  if (!text) return 0;
  bool sawBlank = false;
  uint32_t lastBlank = 0;
  uint32_t i = 0;
  for (; text[i]; ++i) {
    const WCHAR u = text[i];
    if (IsBlank(u)) {
      sawBlank = true;
      lastBlank = i;
    } else if (u == u'.' && sawBlank) {
      return lastBlank;
    } else if (u == u'=' || u == u',' || (u >= 0x4E00 && u <= 0x9FAF)) {
      return i;
    }
  }
  return i;
}

void TrimCompareText(WCHAR* text) {
  if (!text) return;
  text[TrimCompareLength(text)] = 0;
}

int CompareTableText(int mode, const WCHAR* a, const WCHAR* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  switch (mode) {
    case 0: {
      WCHAR ka[kFoldKeyMaxUnits + 1];
      WCHAR kb[kFoldKeyMaxUnits + 1];
      FoldToKeyCopy(ka, kFoldKeyMaxUnits + 1, a, false);
      FoldToKeyCopy(kb, kFoldKeyMaxUnits + 1, b, false);
      return CompareNatural(ka, kb);
    }
    case 5:
    case 6:
      return EnglishKeyCmpRange(a, a + TrimCompareLength(a), b, b + TrimCompareLength(b));
    case 7:
      return WideStrCmp(a, b);
    default:
      return 0;
  }
}
