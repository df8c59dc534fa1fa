#include "engine/text_encoding.h"

#include <array>

#include "engine/builtin_tables.h"
#include "engine/code_pages.h"
#include "engine/mem_handle.h"
#include "engine/string_utils.h"
#include "engine/table_cursor.h"
#include "engine/utf8.h"
#include "platform/heap.h"

namespace {

constexpr WCHAR kFirstHan = 0x4E00;
constexpr WCHAR kLastHan = 0x9FAF;
constexpr uint32_t kNoGridIndex = 65535;

struct CodePageShape {
  uint8_t lastLead;
  uint32_t rowSize;
};

CodePageShape ShapeOf(uint32_t encoding) {
  return encoding == kEncodingGb2312 ? CodePageShape{0xF7, 94} : CodePageShape{0xF9, 157};
}

bool IsLead(uint32_t encoding, uint8_t b) { return b >= 0xA1 && b <= ShapeOf(encoding).lastLead; }

// Grid index of a lead and trail, or -1 when the trail is not one.
int32_t GridIndex(uint32_t encoding, uint8_t lead, uint8_t trail) {
  const CodePageShape s = ShapeOf(encoding);
  const int32_t row = (lead - 0xA1) * static_cast<int32_t>(s.rowSize);
  if (encoding == kEncodingGb2312) return trail >= 0xA1 && trail <= 0xFE ? row + (trail - 0xA1) : -1;
  if (trail >= 0x40 && trail <= 0x7E) return row + (trail - 0x40);
  if (trail >= 0xA1 && trail <= 0xFE) return row + (trail - 0x62);
  return -1;
}

// ---- Tone letters.

const std::array<uint8_t, kToneLetterTableSize>& ToneLetters() {
  static const std::array<uint8_t, kToneLetterTableSize> table = [] {
    std::array<uint8_t, kToneLetterTableSize> t{};
    MemHandle* h = NewToneLetterTable();
    if (h) {
      const auto* data = static_cast<const uint8_t*>(h->data);
      for (uint32_t i = 0; i < kToneLetterTableSize && i < h->size; ++i) t[i] = data[i];
      FreeMemHandle(h);
    }
    return t;
  }();
  return table;
}

// The base letter (ASCII, 'v' for ü) and tone of a tone-marked letter; false
// for any other character.
bool SplitToneLetter(WCHAR c, char* base, int* tone) {
  if (c < kToneLetterFirst || c > kToneLetterLast) return false;
  const uint8_t b = ToneLetters()[4 + (c - kToneLetterFirst)];
  if (b == 0) return false;
  *base = static_cast<char>(b / 4 + 64);
  *tone = b % 4 + 1;
  return true;
}

bool IsAsciiLetter(uint32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
uint32_t LowerAscii(uint32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
bool IsPinyinVowel(uint32_t c) {
  c = LowerAscii(c);
  return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'v' || c == 0xFC || c == 0xDC;
}

// Characters that keep a syllable going after its tone letter.
bool ContinuesSyllable(WCHAR c) { return IsAsciiLetter(c) || c == 0x0320 || c == 0x0323; }

// Whether c, ending a syllable, begins the next one with a vowel: a
// tone-marked i, u or ü anywhere, a tone-marked a, e or o right after a
// letter.
bool BeginsWithVowel(WCHAR c, WCHAR previous) {
  char base = 0;
  int tone = 0;
  if (!SplitToneLetter(c, &base, &tone)) return false;
  const uint32_t b = LowerAscii(static_cast<uint8_t>(base));
  if (b == 'i' || b == 'u' || b == 'v') return true;
  char pb = 0;
  int pt = 0;
  return IsAsciiLetter(previous) || SplitToneLetter(previous, &pb, &pt);
}

// Moves the digit that follows a tone letter behind the syllable's final
// once the syllable ends. Works on any output unit type.
template <typename Unit>
struct ToneDigit {
  bool pending = false;
  uint32_t at = 0;      // the digit's place in the output
  uint32_t base = 0;    // lower-case base letter
  bool beginsSyllable = false;

  void Start(uint32_t digitAt, char baseLetter, bool begins) {
    pending = true;
    at = digitAt;
    base = LowerAscii(static_cast<uint8_t>(baseLetter));
    beginsSyllable = begins;
  }

  // The syllable ends at `end` (the output length); nextVowel: the next
  // syllable begins with a vowel, so a last n or n g belongs to it.
  void Finish(Unit* out, uint32_t end, bool nextVowel) {
    if (!pending) return;
    pending = false;
    uint32_t count = end > at + 1 ? end - (at + 1) : 0;
    const Unit* letters = out + at + 1;
    auto letter = [&](uint32_t k) -> uint32_t { return k < count ? LowerAscii(static_cast<uint16_t>(letters[k])) : 0; };
    if (nextVowel) {
      if (count >= 2 && letter(count - 2) == 'n' && letter(count - 1) == 'g') {
        count -= 2;
      } else if (count >= 1 && letter(count - 1) == 'n') {
        count -= 1;
      }
    }
    const uint32_t d = static_cast<uint16_t>(out[at]);
    if (count < 1 || d < '1' || d > '4') return;
    const uint32_t c1 = letter(0), c2 = letter(1), c3 = letter(2);
    uint32_t behind = 0;  // letters the digit moves over
    if (IsPinyinVowel(c1)) {
      behind = 1;
    } else if (c1 == 'n') {
      if (IsPinyinVowel(c2)) return;
      behind = c2 == 'g' && !IsPinyinVowel(c3) ? 2 : 1;
    } else if ((c1 == 'r' && base == 'e' && beginsSyllable) || (c1 == 'g' && base == 'n')) {
      if (IsPinyinVowel(c2)) return;
      behind = 1;
    }
    if (behind == 0 || behind > count) return;
    const Unit digit = out[at];
    for (uint32_t k = 0; k < behind; ++k) out[at + k] = out[at + k + 1];
    out[at + behind] = digit;
  }
};

// ---- GB-2312 and Big5.

uint32_t EncodedGridIndex(TableCursor* cursor, uint32_t encoding, WCHAR c) {
  const uint32_t position = c - kFirstHan;
  if (position >= GetTableEntryCount(cursor)) return kNoGridIndex;
  const uint32_t index = ReadSingleValue(cursor, 0, position);
  const CodePageShape s = ShapeOf(encoding);
  if (index >= (s.lastLead - 0xA1 + 1u) * s.rowSize) return kNoGridIndex;
  return index;
}

// Walks text as EncodeWideText does for a code page; with out null it only
// counts. Returns the bytes written.
uint32_t EncodeWithCodePage(TableCursor* cursor, uint32_t encoding, const WCHAR* text, uint32_t maxChars,
                            char* out, uint32_t outBytes) {
  const uint32_t room = out ? (outBytes > 0 ? outBytes - 1 : 0) : UINT32_MAX;
  uint32_t n = 0;
  ToneDigit<char> tone;
  auto put = [&](std::initializer_list<uint8_t> bytes) {
    if (room - n < bytes.size()) return false;
    for (uint8_t b : bytes) {
      if (out) out[n] = static_cast<char>(b);
      ++n;
    }
    return true;
  };
  uint32_t i = 0;
  for (; i < maxChars && text[i]; ++i) {
    const WCHAR c = text[i];
    if (tone.pending && !ContinuesSyllable(c) && out) {
      tone.Finish(out, n, BeginsWithVowel(c, i > 0 ? text[i - 1] : 0));
    }
    tone.pending = tone.pending && ContinuesSyllable(c);
    bool fits = true;
    char base = 0;
    int t = 0;
    if (c >= kFirstHan && c <= kLastHan) {
      const uint32_t index = EncodedGridIndex(cursor, encoding, c);
      if (index == kNoGridIndex) continue;
      const CodePageShape s = ShapeOf(encoding);
      const uint32_t lead = index / s.rowSize + 0xA1;
      uint32_t trail = index % s.rowSize;
      if (encoding == kEncodingGb2312) {
        trail += 0xA1;
      } else {
        trail += trail < 63 ? 0x40 : 0x62;
      }
      fits = put({static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)});
    } else if ((c == 'u' || c == 'U') && i + 1 < maxChars && text[i + 1] == ':') {
      fits = put({static_cast<uint8_t>(c == 'u' ? 'v' : 'V')});
      if (fits) ++i;
    } else if (c == 0xFC) {
      fits = put({'v'});
    } else if (SplitToneLetter(c, &base, &t)) {
      const bool begins = i == 0 || !IsAsciiLetter(text[i - 1]);
      fits = put({static_cast<uint8_t>(base), static_cast<uint8_t>('0' + t)});
      if (fits) tone.Start(n - 1, base, begins);
    } else if (c < 0x80) {
      fits = put({static_cast<uint8_t>(c)});
    } else if (c == 0x223C) {
      fits = put({'~'});
    }
    if (!fits) break;
  }
  if (tone.pending && out) tone.Finish(out, n, false);
  if (out && outBytes > 0) out[n] = 0;
  return n;
}

// Walks bytes as DecodeTextToWide does for a code page; with out null it
// only counts. Returns the characters written and sets *used.
uint32_t DecodeWithCodePage(TableCursor* cursor, uint32_t encoding, const uint8_t* bytes, uint32_t limit,
                            WCHAR* out, uint32_t outUnits, uint32_t* used) {
  const uint32_t room = out ? (outUnits > 0 ? outUnits - 1 : 0) : UINT32_MAX;
  const uint32_t rows = GetTableEntryCount(cursor);
  auto atEnd = [&](uint32_t i) { return (limit != 0 && i >= limit) || bytes[i] == 0; };
  uint32_t i = 0;
  uint32_t n = 0;
  while (!atEnd(i) && n < room) {
    const uint8_t b = bytes[i];
    if (!IsLead(encoding, b)) {
      if (out) out[n] = b;
      ++n;
      ++i;
      continue;
    }
    if (atEnd(i + 1)) break;  // the lead waits for its trail
    const int32_t index = GridIndex(encoding, b, bytes[i + 1]);
    if (index < 0 || static_cast<uint32_t>(index) >= rows) {
      if (out) out[n] = b;
      ++n;
      ++i;
      continue;
    }
    if (out) out[n] = static_cast<WCHAR>(ReadSingleValue(cursor, 0, static_cast<uint32_t>(index)));
    ++n;
    i += 2;
  }
  if (out && outUnits > 0) out[n] = 0;
  *used = i;
  return n;
}

// ---- UTF-16 bytes.

void PutUnit(char* out, WCHAR c, bool bigEndian) {
  out[bigEndian ? 1 : 0] = static_cast<char>(c & 0xFF);
  out[bigEndian ? 0 : 1] = static_cast<char>(c >> 8);
}

WCHAR GetUnit(const char* in, bool bigEndian) {
  const auto lo = static_cast<uint8_t>(in[bigEndian ? 1 : 0]);
  const auto hi = static_cast<uint8_t>(in[bigEndian ? 0 : 1]);
  return static_cast<WCHAR>(lo | hi << 8);
}

// Whole units in the input: limit & ~1, or up to a 0 unit when limit is 0.
uint32_t Utf16InputBytes(const char* bytes, uint32_t limit) {
  if (limit != 0) return limit & ~1u;
  uint32_t i = 0;
  while (bytes[i] != 0 || bytes[i + 1] != 0) i += 2;
  return i;
}

bool IsCodePageEncoding(uint32_t e) { return e == kEncodingGb2312 || e == kEncodingBig5; }

}  // namespace

uint32_t GetEncodedTextSize(DictEngine* engine, uint32_t encoding, const WCHAR* text, uint32_t length) {
  if (encoding > kEncodingUtf16Be) return 1;
  if (!text) return 0;
  switch (encoding) {
    case kEncodingUtf8:
    case kEncodingUtf8Too:
      return Utf8Length(text, length, false);
    case kEncodingUtf16Le:
    case kEncodingUtf16Be:
      return 2 * (length ? length : WideStrLen(text));
    default:
      break;
  }
  CodePageRecord* page = FindCodePage(encoding, engine);
  if (!page || !page->encoding) return 1;
  const uint32_t n = EncodeWithCodePage(page->encoding, encoding, text, length ? length : UINT32_MAX, nullptr, 0);
  ResetCursor(page->encoding);
  return n;
}

int EncodeWideText(DictEngine* engine, uint32_t encoding, const WCHAR* text, char* out, uint32_t outBytes,
                   uint32_t textBytes, uint32_t* written) {
  if (written) *written = 0;
  const uint32_t maxChars = textBytes / 2;
  if (encoding == kEncodingUtf8 || encoding == kEncodingUtf8Too) {
    uint32_t length = 0;
    if (maxChars == 0 || !text) {
      if (outBytes > 0 && out) out[0] = 0;
    } else if (out) {
      WideToUtf8(text, out, outBytes, maxChars, &length, false);
    }
    if (written) *written = length;
    return 0;
  }
  if (encoding == kEncodingUtf16Le || encoding == kEncodingUtf16Be) {
    const bool big = encoding == kEncodingUtf16Be;
    const uint32_t room = outBytes >= 2 ? (outBytes - 2) / 2 : 0;
    uint32_t k = 0;
    bool ended = false;  // a 0 was copied
    while (text && out && k < maxChars && k < room && !ended) {
      PutUnit(out + 2 * k, text[k], big);
      ended = text[k] == 0;
      ++k;
    }
    if (out && outBytes >= 2) PutUnit(out + 2 * k, 0, big);
    // The text's own 0 is not counted: it is the terminator.
    if (written) *written = 2 * (ended ? k - 1 : k);
    return 0;
  }
  if (!IsCodePageEncoding(encoding)) return 1;
  CodePageRecord* page = FindCodePage(encoding, engine);
  if (!page || !page->encoding) return 1;
  uint32_t n = 0;
  if (text && out) n = EncodeWithCodePage(page->encoding, encoding, text, maxChars, out, outBytes);
  else if (out && outBytes > 0) out[0] = 0;
  ResetCursor(page->encoding);
  if (written) *written = n;
  return 0;
}

uint32_t GetDecodedTextSize(DictEngine* engine, uint32_t encoding, const char* bytes, uint32_t* length) {
  const uint32_t limit = length ? *length : 0;
  if (length) *length = 0;
  if (!bytes) return 0;
  switch (encoding) {
    case kEncodingUtf8:
    case kEncodingUtf8Too: {
      uint32_t i = 0;
      uint32_t units = 0;
      while ((limit == 0 || i < limit) && bytes[i] != 0) {
        WCHAR pair[2];
        uint32_t count = 0;
        const uint32_t used = Utf8DecodeChar(bytes + i, limit ? limit - i : 4, pair, &count);
        if (used == 0) break;
        i += used;
        units += count;
      }
      if (length) *length = i;
      return 2 * units;
    }
    case kEncodingUtf16Le:
    case kEncodingUtf16Be: {
      const uint32_t n = Utf16InputBytes(bytes, limit);
      if (length) *length = n;
      return n;
    }
    default:
      break;
  }
  if (!IsCodePageEncoding(encoding)) return 0;
  CodePageRecord* page = FindCodePage(encoding, engine);
  if (!page || !page->decoding) return 0;
  uint32_t used = 0;
  const uint32_t n =
      DecodeWithCodePage(page->decoding, encoding, reinterpret_cast<const uint8_t*>(bytes), limit, nullptr, 0, &used);
  ResetCursor(page->decoding);
  if (length) *length = used;
  return 2 * n;
}

int DecodeTextToWide(DictEngine* engine, uint32_t encoding, const char* bytes, WCHAR* out, uint32_t outUnits,
                     uint32_t* length, uint32_t* written) {
  const uint32_t limit = length ? *length : 0;
  if (written) *written = 0;
  if (!out || !bytes) {
    if (out && outUnits > 0) out[0] = 0;
    if (length) *length = 0;
    if (encoding > kEncodingUtf16Be) return 1;
    return IsCodePageEncoding(encoding) && !FindCodePage(encoding, engine) ? 1 : 0;
  }
  switch (encoding) {
    case kEncodingUtf8:
    case kEncodingUtf8Too: {
      uint32_t consumed = limit;
      uint32_t bytesOut = 0;
      Utf8ToWide(bytes, out, outUnits, &consumed, &bytesOut);
      if (length) *length = consumed;
      if (written) *written = bytesOut;
      return 0;
    }
    case kEncodingUtf16Le:
    case kEncodingUtf16Be: {
      const bool big = encoding == kEncodingUtf16Be;
      uint32_t units = Utf16InputBytes(bytes, limit) / 2;
      if (outUnits == 0) units = 0;
      else if (units > outUnits - 1) units = outUnits - 1;
      for (uint32_t k = 0; k < units; ++k) out[k] = GetUnit(bytes + 2 * k, big);
      if (outUnits > 0) out[units] = 0;
      if (length) *length = 2 * units;
      if (written) *written = 2 * units;
      return 0;
    }
    default:
      break;
  }
  CodePageRecord* page = IsCodePageEncoding(encoding) ? FindCodePage(encoding, engine) : nullptr;
  if (!page || !page->decoding) {
    if (outUnits > 0) out[0] = 0;
    if (length) *length = 0;
    return 1;
  }
  uint32_t used = 0;
  const uint32_t n = DecodeWithCodePage(page->decoding, encoding, reinterpret_cast<const uint8_t*>(bytes), limit,
                                        out, outUnits, &used);
  ResetCursor(page->decoding);
  if (length) *length = used;
  if (written) *written = 2 * n;
  return 0;
}

WCHAR* ConvertPinyinToneMarks(const WCHAR* text, WCHAR* out) {
  if (!text || !text[0]) return nullptr;
  const uint32_t length = WideStrLen(text);
  if (!out) {
    out = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (2 * static_cast<size_t>(length) + 1) * sizeof(WCHAR)));
    if (!out) return nullptr;
  }
  uint32_t n = 0;
  ToneDigit<WCHAR> tone;
  for (uint32_t i = 0; i < length; ++i) {
    const WCHAR c = text[i];
    if (tone.pending && !ContinuesSyllable(c)) tone.Finish(out, n, BeginsWithVowel(c, i > 0 ? text[i - 1] : 0));
    char base = 0;
    int t = 0;
    if ((c == 'u' || c == 'U') && text[i + 1] == ':') {
      out[n++] = c == 'u' ? u'v' : u'V';
      ++i;
    } else if (SplitToneLetter(c, &base, &t)) {
      const bool begins = i == 0 || !IsAsciiLetter(text[i - 1]);
      out[n++] = static_cast<WCHAR>(static_cast<uint8_t>(base));
      out[n++] = static_cast<WCHAR>(u'0' + t);
      tone.Start(n - 1, base, begins);
    } else if (c == 0x0320 || c == 0x0323 || (c >= 0x9FB0 && c != 0xFF5E)) {
      // dropped
    } else if (c == 0x223C || c == 0xFF5E) {
      out[n++] = u'~';
    } else {
      out[n++] = c;
    }
  }
  tone.Finish(out, n, false);
  out[n] = 0;
  return out;
}
