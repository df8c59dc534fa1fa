#include "engine/user_dict_display.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/entry_formatter.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/search_methods.h"
#include "engine/search_results.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/string_utils.h"
#include "engine/syllable_keys.h"
#include "engine/text_buffer.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_search.h"
#include "engine/utf8.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

using userdict::IsAsciiLetter;
using userdict::IsCjk;
using userdict::IsSyllableCode;
using userdict::SyllableText;
namespace {

constexpr WCHAR kBoldOn = 0xEAB2;
constexpr WCHAR kBoldOff = 0xEAB3;
constexpr WCHAR kColorOn = 0xEAC1;
constexpr WCHAR kColorOff = 0xEAC2;
constexpr WCHAR kLinkOn = 0xEAC5;
constexpr WCHAR kLinkOff = 0xEAC6;
constexpr uint32_t kFormText = 256;

// A style code with its 30-bit argument in two units, high half first.
void AppendStyle(TextBuffer* tb, WCHAR code, uint32_t value) {
  TextBufAppendChar(tb, code);
  TextBufAppendChar(tb, static_cast<WCHAR>((value >> 15) | 0x8000));
  TextBufAppendChar(tb, static_cast<WCHAR>((value & 0x7FFF) | 0x8000));
}

bool IsDisplayCjk(WCHAR c) { return (c >= 0x3400 && c <= 0xFAFF) || (c >= 0xEE00 && c <= 0xEFFF) || (c >= 0xD800 && c <= 0xDBFF); }

// Stored UTF-8 to UTF-16 with the key marks removed; empty for NULL.
void DecodeStored(const char* utf8, WCHAR* out, uint32_t units, bool strip) {
  out[0] = 0;
  if (utf8) Utf8ToWide(utf8, out, units, nullptr, nullptr);
  if (strip) StripKeyMarks(out);
}

uint32_t CountCjk(const WCHAR* s) {
  uint32_t n = 0;
  for (; *s; ++s)
    if (IsDisplayCjk(*s)) ++n;
  return n;
}

bool Equal(const WCHAR* a, const WCHAR* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

}  // namespace

int FormatUserDictEntry(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* tb, const char* word,
                        const char* altword, const char* pron, const char* defn) {
  if (!request || !tb) return 0;
  const uint32_t options = request->options;
  if (options & kFetchClassMask) {
    if (!(request->classMask & 1)) word = altword = nullptr;
    if (!(request->classMask & 2)) pron = nullptr;
    if (!(request->classMask & 8)) defn = nullptr;
  }
  WCHAR w[kFormText], a[kFormText], p[kFormText], codes[kFormText];
  DecodeStored(word, w, kFormText, true);
  DecodeStored(altword, a, kFormText, true);
  DecodeStored(pron, p, kFormText, true);
  if (a[0] && Equal(a, w)) a[0] = 0;
  codes[0] = 0;
  if (p[0]) {
    ParsePinyinQuery(engine, p, codes, nullptr, kFormText,
                     kParseDefiniteTone | kParseCapitalWords | kParseKeepSeparators);
    StripKeyMarks(codes);
  }
  const bool plain = (options & kFetchRawFields) || request->suppressStyles == 0xFFFFFFFFu;
  const bool hasDefn = defn && defn[0];

  if (!a[0] && !p[0] && CountCjk(w) == 0) {
    TextBufAppendChar(tb, kBoldOn);
    TextBufAppendWide(tb, w, 0);
    TextBufAppendChar(tb, kBoldOff);
    if (hasDefn) {
      TextBufAppendChar(tb, u' ');
      TextBufAppendUtf8(tb, defn, 0);
    }
    return 0;
  }
  const WCHAR separator = GetPref(engine, kPrefChineseOwnLine) && !(options & kFetchOneLine) ? u'\n' : u' ';

  // The headword forms.
  uint32_t tones[kFormText];
  uint32_t toneCount = 0;
  if ((options & kFetchToneColors) && !plain)
    for (const WCHAR* c = codes; *c && toneCount < kFormText; ++c)
      if (IsSyllableCode(*c)) tones[toneCount++] = (*c - kSyllableFirst) % 5;
  uint32_t formCount = 0;
  const WCHAR* order[2] = {};
  if ((options & kFetchSecondFormFirst) && a[0]) {
    order[formCount++] = a;
    if ((options & kFetchOtherFormBracket) && w[0]) order[formCount++] = w;
  } else {
    if (w[0]) order[formCount++] = w;
    if (a[0] && ((options & kFetchOtherFormBracket) || !w[0])) order[formCount++] = a;
  }
  const int32_t limit = GetPref(engine, kPrefEnlargeLimit);
  const uint32_t linkValue = request->enlargedSize;
  bool linkOpen = false;
  if ((options & 0x80) && linkValue && !plain && formCount &&
      (limit <= 0 || CountCjk(order[0]) <= static_cast<uint32_t>(limit))) {
    AppendStyle(tb, kLinkOn, linkValue);
    linkOpen = true;
  }
  for (uint32_t f = 0; f < formCount; ++f) {
    const WCHAR* form = order[f];
    if (f > 0) {
      if (linkOpen && (options & 0x100)) {
        TextBufAppendChar(tb, kLinkOff);
        linkOpen = false;
      }
      TextBufAppendChar(tb, u'[');
    }
    uint32_t syllable = 0;
    for (uint32_t i = 0; form[i]; ++i) {
      WCHAR c = form[i];
      if (f > 0 && (options & kFetchBracketDashMain) && IsDisplayCjk(c) && i < WideStrLen(order[0]) &&
          order[0][i] == c)
        c = u'-';
      const bool colored = IsDisplayCjk(c) && syllable < toneCount;
      if (colored) AppendStyle(tb, kColorOn, GetToneColor(engine, tones[syllable]));
      TextBufAppendChar(tb, c);
      if (c >= 0xD800 && c <= 0xDBFF && form[i + 1] >= 0xDC00 && form[i + 1] <= 0xDFFF) {
        TextBufAppendChar(tb, form[++i]);
      }
      if (c == u'/') {
        if (syllable > 0) --syllable;
      } else if (IsDisplayCjk(c) || IsAsciiLetter(c) || c == u'-') {
        ++syllable;
        if (colored) TextBufAppendChar(tb, kColorOff);
      }
    }
    if (f > 0) TextBufAppendChar(tb, u']');
  }
  if (linkOpen) TextBufAppendChar(tb, kLinkOff);
  if (p[0] || hasDefn) TextBufAppendChar(tb, separator);

  if (p[0]) {
    if (!plain) TextBufAppendChar(tb, kBoldOn);
    if (options & kFetchRawSyllables) {
      TextBufAppendWide(tb, p, 0);
    } else {
      FormatSyllableText(engine, request->syllableFormat ? request->syllableFormat : 4097, codes, tb);
    }
    if (!plain) TextBufAppendChar(tb, kBoldOff);
    if (hasDefn) TextBufAppendChar(tb, separator);
  }
  if (hasDefn) TextBufAppendUtf8(tb, defn, 0);
  return 0;
}

int LoadUserDictEntryText(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer) {
  if (!request || !buffer) return 0;
  DictSlot* s = GetUserDictSlot(engine, static_cast<uint16_t>(request->slot));
  if (!s) return 0;
  EngineLockGuard lock;
  sqlite3_stmt* stmt = SelectUserDictEntry(s->db, static_cast<int32_t>(request->entry));
  if (!stmt) return 1;
  if (!SqlIsRow(SqlStep(stmt))) {
    SqlFinalize(stmt);
    return kUserDictNoEntry;
  }
  FormatUserDictEntry(engine, request, buffer, SqlColumnText(stmt, 0), SqlColumnText(stmt, 1),
                      SqlColumnText(stmt, 2), SqlColumnText(stmt, 3));
  SqlFinalize(stmt);
  if (request->options & kFetchDictNameAfter) {
    WCHAR name[kDictNameUnits + 1];
    GetDictShortName(engine, static_cast<uint16_t>(request->slot), name, kDictNameUnits + 1);
    TextBufAppendChar(buffer, u'\n');
    TextBufAppendChar(buffer, u'[');
    TextBufAppendWide(buffer, name, 0);
    TextBufAppendChar(buffer, u']');
  }
  return 0;
}
