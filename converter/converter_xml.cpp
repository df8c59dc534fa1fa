#include "converter/converter_xml.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "converter/firstgen_dict_set.h"
#include "converter/firstgen_user_data.h"
#include "engine/engine_time.h"
#include "engine/mem_handle.h"
#include "engine/system_services.h"
#include "engine/text_buffer.h"
#include "flash/exchange_xml.h"
#include "platform/clock.h"

namespace converter {
namespace {

constexpr char kGenerator[] = "Sorvi v1-v2 Converter";
constexpr char16_t kUntitled[] = u"Untitled";
constexpr char16_t kUserDictCards[] = u"User Dict Cards";
constexpr char16_t kFreeDictCards[] = u"Free Dict Cards";
constexpr char16_t kUserDictEntries[] = u"User Dict Entries";
// Reviews a history can name: one bit each of a 32-bit word.
constexpr uint32_t kHistoryMax = 32;
constexpr int32_t kDefaultScore = 100;

bool IsStructural(char16_t c) { return c >= 0xEA00 && c <= 0xEAAF; }
bool IsFormatting(char16_t c) { return c >= 0xEAB0 && c <= 0xEAFF; }

struct ProductCode {
  uint16_t identity3;
  uint32_t id;
  const char* code;
};
// The five first-generation dictionaries the dictionary engine knows, under
// our codes.
constexpr ProductCode kProductCodes[] = {
    {1, 1, "SCEC"},       // Chinese-English
    {1, 2, "SCHR"},       // characters
    {2, 1, "SECD"},       // English-Chinese
    {3, 1, "SIDM"},       // idioms
    {3, 0x3001, "SHWD"},  // headword list
};

struct Writer {
  FirstGenDictSet* set = nullptr;
  const UserDataView* user = nullptr;
  ExportOptions options{};
  const ConverterOutput* output = nullptr;
  uint8_t block[kConverterBlockSize];
  uint32_t fill = 0;
  bool failed = false;
  TextBuffer pending{};
  std::vector<std::pair<uint32_t, uint32_t>> carded;
  uint32_t cards = 0;
  int32_t biasSeconds = 0;

  bool Option(uint32_t i) const { return options.bytes[i] != 0; }
  // Without a user data file there are no lists, flags or ranks.
  uint32_t Lists() const { return user ? GetUserListCount(user) : 0; }
  uint32_t Flags() const { return user ? GetUserFlagCount(user) : 0; }
  uint32_t Ranks() const { return user ? GetUserRankCount(user) : 0; }
};

// --- Output ---------------------------------------------------------------

void WriteBlock(Writer* w) {
  if (w->fill == 0 || w->failed) return;
  if (!w->output->write || w->output->write(w->output->user, w->block, w->fill) != 0) w->failed = true;
  w->fill = 0;
}

// The pending text as UTF-8 into the block, a character never split; the
// block is written whenever the next character would not fit. A failed
// write drops the pending text.
void Flush(Writer* w) {
  const WCHAR* t = w->pending.data;
  const uint32_t n = w->pending.length;
  w->pending.length = 0;
  for (uint32_t i = 0; i < n && !w->failed; ++i) {
    uint32_t c = t[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    uint8_t bytes[4];
    uint32_t k = 0;
    if (c < 0x80) {
      bytes[k++] = static_cast<uint8_t>(c);
    } else if (c < 0x800) {
      bytes[k++] = static_cast<uint8_t>(0xC0 | (c >> 6));
      bytes[k++] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes[k++] = static_cast<uint8_t>(0xE0 | (c >> 12));
      bytes[k++] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
      bytes[k++] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    } else {
      bytes[k++] = static_cast<uint8_t>(0xF0 | (c >> 18));
      bytes[k++] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
      bytes[k++] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
      bytes[k++] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    }
    if (w->fill + k > kConverterBlockSize) WriteBlock(w);
    std::memcpy(w->block + w->fill, bytes, k);
    w->fill += k;
  }
}

// Pending text beyond this many units is moved into the block after the
// element that passed it: the pending buffer grows by a fixed step, so
// letting a long run of elements (thousands of rank categories) pile up
// there would copy it again at every step.
constexpr uint32_t kPendingFlushUnits = 8192;

void Tag(Writer* w, uint32_t kind, uint32_t element, const XmlAttrValue* values = nullptr, uint32_t count = 0) {
  if (WriteXmlElement(&w->pending, kind, element, values, count) != 0) w->failed = true;
  if (w->pending.length >= kPendingFlushUnits) Flush(w);
}
void TextElement(Writer* w, uint32_t element, const std::u16string& text, const XmlAttrValue* values = nullptr,
                 uint32_t count = 0) {
  if (WriteXmlTextElement(&w->pending, element, values, count, text.c_str(), 0) != 0) w->failed = true;
  if (w->pending.length >= kPendingFlushUnits) Flush(w);
}

XmlAttrValue Int(uint32_t index, int32_t value) { return {index, nullptr, nullptr, value}; }
XmlAttrValue Narrow(uint32_t index, const char* text) { return {index, text, nullptr, 0}; }
XmlAttrValue Wide(uint32_t index, const std::u16string& text) { return {index, nullptr, text.c_str(), 0}; }

// --- Names ------------------------------------------------------------------

// 8-bit names are ISO 8859-1: one byte, one character, never sign-extended.
// '/' would split the name into levels on import: it becomes '\'.
std::u16string CategoryName(const uint8_t* bytes, size_t n) {
  std::u16string out;
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] == 0) break;
    out.push_back(bytes[i] == '/' ? u'\\' : static_cast<char16_t>(bytes[i]));
  }
  return out;
}
std::u16string ListName(const Writer* w, uint32_t list) {
  const ByteView name = GetUserListName(w->user, list);
  return CategoryName(name.data, name.size);
}
std::u16string FlagCategory(const Writer* w, uint32_t i) {
  char name[kFlagNameBytes + 1] = {};
  if (GetUserFlagName(w->user, i, name) != 0) return {};
  return u"Flags/" + CategoryName(reinterpret_cast<const uint8_t*>(name), std::strlen(name));
}
std::u16string RankCategory(uint32_t n) {
  std::u16string out = u"Ranks/Rank";
  for (char c : std::to_string(n)) out.push_back(static_cast<char16_t>(c));
  return out;
}

// --- Entries ------------------------------------------------------------------

struct EntryParts {
  std::u16string simplified, traditional, pron, defn;
};

void TrimTrailingSpaces(std::u16string* s) {
  while (!s->empty() && s->back() == u' ') s->pop_back();
}

// Each run of n '/' goes with the n characters after it.
std::u16string RemoveSlashRuns(const std::u16string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    if (s[i] != u'/') {
      out.push_back(s[i++]);
      continue;
    }
    size_t n = 0;
    while (i < s.size() && s[i] == u'/') ++n, ++i;
    i = std::min(s.size(), i + n);
  }
  return out;
}

// The line-break mark between the senses of a definition.
constexpr char16_t kLineBreakMark = 0xEAB1;

// The section after `marker` up to the next structural marker, without
// formatting marks; empty when the entry has no such section. A line break
// becomes a blank, so that the senses it separated do not run together.
std::u16string Section(const std::u16string& text, char16_t marker) {
  const size_t at = text.find(marker);
  if (at == std::u16string::npos) return {};
  std::u16string out;
  for (size_t i = at + 1; i < text.size() && !IsStructural(text[i]); ++i) {
    if (text[i] == kLineBreakMark) out.push_back(u' ');
    else if (!IsFormatting(text[i]))
      out.push_back(text[i]);
  }
  return out;
}

EntryParts SplitEntry(const std::u16string& text, bool userDict, bool withDefinition) {
  EntryParts p;
  size_t i = !text.empty() && text[0] == 0xEA01 ? 1 : 0;
  std::u16string head;
  for (; i < text.size() && !IsStructural(text[i]); ++i)
    if (!IsFormatting(text[i])) head.push_back(text[i]);
  const size_t open = head.find(u'[');
  p.simplified = head.substr(0, open);
  if (open != std::u16string::npos) {
    const size_t close = head.find(u']', open + 1);
    p.traditional = head.substr(open + 1, close == std::u16string::npos ? std::u16string::npos : close - open - 1);
    // '-' stands for the simplified character at the same place; past the
    // end of the simplified text it stays.
    for (size_t k = 0; k < p.traditional.size(); ++k)
      if (p.traditional[k] == u'-' && k < p.simplified.size()) p.traditional[k] = p.simplified[k];
  }
  if (!userDict) {
    p.simplified = RemoveSlashRuns(p.simplified);
    p.traditional = RemoveSlashRuns(p.traditional);
  }
  TrimTrailingSpaces(&p.simplified);
  TrimTrailingSpaces(&p.traditional);
  p.pron = Section(text, 0xEA02);
  for (char16_t& c : p.pron) {
    if (c == 0x2071) c = 0x00B9;
    else if (c == 0x2072)
      c = 0x00B2;
    else if (c == 0x2073)
      c = 0x00B3;
  }
  TrimTrailingSpaces(&p.pron);
  if (withDefinition) p.defn = Section(text, 0xEA03);
  TrimTrailingSpaces(&p.defn);
  return p;
}

// Local seconds since 1904 as UTC seconds since 1970; 0 for a time not
// after 1970.
int32_t CardTime(const Writer* w, uint32_t local1904) {
  if (local1904 <= kEpoch1904) return 0;
  return static_cast<int32_t>(local1904 - kEpoch1904 + static_cast<uint32_t>(w->biasSeconds));
}

// One card with its entry (block, row of the entry table), the categories
// given, and the card record when there is one. Nothing is written for an
// entry that cannot be read.
void WriteConverterCard(Writer* w, FirstGenDictionary* dict, uint32_t block, uint32_t row,
                        const std::vector<std::u16string>& categories, const FirstGenCardRecord* card,
                        bool withDefinition) {
  TextBuffer text{};
  TextBufInit(&text);
  const uint32_t n = ReadFirstGenEntry(dict->entries, 0, block, row, &text, nullptr, 0, nullptr);
  std::u16string entry;
  if (n != 0 && n != kEntryUnreadable && text.data) entry.assign(text.data, text.length);
  TextBufFinish(&text);
  FreeMemHandle(text.handle);
  if (entry.empty()) return;
  if (w->output->progress) w->output->progress(w->output->user, w->cards);
  ++w->cards;
  const EntryParts p = SplitEntry(entry, (dict->flags & kDictUser) != 0, withDefinition);

  const char* language =
      dict->headwordLanguage == kLanguageChinese ? "chinese" : (dict->headwordLanguage == 0 ? "english" : "unknown");
  XmlAttrValue cardAttrs[2] = {Narrow(kXmlCardLanguage, language), Int(kXmlCardCreated, 0)};
  if (card) cardAttrs[1] = Int(kXmlCardCreated, CardTime(w, card->firstReview));
  Tag(w, kXmlStartTag, kXmlCard, cardAttrs, card ? 2 : 1);
  Tag(w, kXmlStartTag, kXmlEntry);
  const XmlAttrValue sc = Narrow(kXmlHeadwordCharset, "sc"), tc = Narrow(kXmlHeadwordCharset, "tc");
  if (!p.simplified.empty()) TextElement(w, kXmlHeadword, p.simplified, &sc, p.traditional.empty() ? 0 : 1);
  if (!p.traditional.empty()) TextElement(w, kXmlHeadword, p.traditional, &tc, 1);
  if (!p.pron.empty()) {
    const XmlAttrValue pron[2] = {Narrow(kXmlPronType, "hypy"), Narrow(kXmlPronTones, "marks")};
    TextElement(w, kXmlPron, p.pron, pron, 2);
  }
  if (!p.defn.empty()) TextElement(w, kXmlDefn, p.defn);
  Tag(w, kXmlEndTag, kXmlEntry);
  if (const char* code = GetFirstGenProductCode(dict)) {
    const XmlAttrValue ref = Narrow(kXmlDictRefId, code);
    Tag(w, kXmlEmptyTag, kXmlDictRef, &ref, 1);
  }
  std::vector<std::u16string> all = categories;
  if (card) {
    if (w->Option(kOptionFlagCategories)) {
      const uint32_t flags = w->Flags();
      for (uint32_t i = 0; i < flags; ++i)
        if (card->flags & (1u << i)) all.push_back(FlagCategory(w, i));
    }
    const uint32_t ranks = w->Ranks();
    if (w->Option(kOptionRankCategories) && ranks > 0)
      all.push_back(RankCategory(std::min<uint32_t>(card->rank, ranks - 1) + 1));
  }
  for (const std::u16string& name : all) {
    if (name.empty()) continue;
    const XmlAttrValue v = Wide(kXmlCatAssignCategory, name);
    Tag(w, kXmlEmptyTag, kXmlCatAssign, &v, 1);
  }
  const bool scored = w->Option(kOptionRankFrequency) || w->Option(kOptionRankSpaced);
  if (card && scored && (card->lastReview || card->rank || card->correct || card->incorrect)) {
    const uint32_t reviews = std::min<uint32_t>(card->correct + card->incorrect, kHistoryMax);
    char history[kHistoryMax + 1] = {};
    for (uint32_t i = 0; i < reviews; ++i) history[i] = (card->history >> i) & 1 ? 'C' : 'I';
    XmlAttrValue s[8] = {
        Int(kXmlScoreScore, ComputeRankScore(w->user, card->rank, !w->Option(kOptionRankFrequency))),
        Narrow(kXmlScoreHistory, history),
        Int(kXmlScoreCorrect, card->correct),
        Int(kXmlScoreIncorrect, card->incorrect),
        Int(kXmlScoreReviewed, card->correct + card->incorrect),
        Int(kXmlScoreSinceLast, card->counterA + card->counterB),
        Int(kXmlScoreFirstReviewed, CardTime(w, card->firstReview)),
        Int(kXmlScoreLastReviewed, CardTime(w, card->lastReview)),
    };
    Tag(w, kXmlEmptyTag, kXmlScoreInfo, s, card->lastReview ? 8 : 7);
  }
  Tag(w, kXmlEndTag, kXmlCard);
  Flush(w);
}

bool IsUserDictWithDefinitions(const FirstGenDictionary* d) {
  return (d->flags & (kDictUser | kDictHasDefinitions)) == (kDictUser | kDictHasDefinitions);
}

void WriteListCards(Writer* w, uint32_t list) {
  const std::u16string name = ListName(w, list);
  const uint32_t count = GetUserListCardCount(w->user, list);
  for (uint32_t k = 0; k < count && !w->failed; ++k) {
    FirstGenCardRecord card{};
    if (ReadUserCard(const_cast<UserDataView*>(w->user), list, k, &card) != 0) continue;
    FirstGenDictionary* dict = FindFirstGenDictionary(w->set, card.dictionaryId);
    if (!dict || !dict->entries) continue;
    std::vector<std::u16string> categories{name};
    bool definition = false;
    if (IsUserDictWithDefinitions(dict) && w->Option(kOptionUserDefinitions)) {
      categories.push_back(kUserDictCards);
      definition = true;
    } else if ((dict->flags & kDictHasDefinitions) && w->Option(kOptionFreeDefinitions)) {
      categories.push_back(kFreeDictCards);
      definition = true;
    }
    // A carded entry of a user dictionary is never written again among the
    // uncarded ones, whether or not its definition went with the card.
    if (IsUserDictWithDefinitions(dict) && w->Option(kOptionUncarded))
      w->carded.push_back({dict->id, card.entryNumber});
    uint32_t block = 0, row = 0;
    if (LocateFirstGenEntry(dict->entries, 0, card.entryNumber, &block, &row) != 0) continue;
    WriteConverterCard(w, dict, block, row, categories, &card, definition);
  }
}

void WriteUncardedEntries(Writer* w, FirstGenDictionary* dict) {
  FirstGenTable* t = dict->entries;
  if (!t) return;
  const bool keyed = (t->flags & kTableKeyedEntries) != 0;
  const std::vector<std::u16string> categories{kUserDictEntries};
  const uint32_t blocks = GetSubTableBlockCount(t, 0);
  for (uint32_t k = 0; k < blocks && !w->failed; ++k) {
    if (LoadFirstGenBlock(t, 0, k) != 0) continue;
    const uint32_t first = GetBlockFirstRow(t, 0, k);
    const uint32_t rows = GetBlockRowCount(t);
    for (uint32_t r = 0; r < rows && !w->failed; ++r) {
      if (LoadFirstGenBlock(t, 0, k) != 0) break;  // reading an entry may have loaded another block
      const uint32_t number = keyed ? GetBlockRowKey(t, r) : first + r;
      if (std::binary_search(w->carded.begin(), w->carded.end(), std::make_pair(dict->id, number))) continue;
      WriteConverterCard(w, dict, k, r, categories, nullptr, true);
    }
  }
}

void WriteHead(Writer* w, const WCHAR* documentName) {
  if (TextBufAppendUtf8(&w->pending, kXmlDeclaration, 0) != 0) w->failed = true;
  const std::u16string name = documentName && documentName[0] ? std::u16string(documentName) : kUntitled;
  WCHAR platform[kPlatformNameSize] = {};
  GetPlatformName(platform);
  const XmlAttrValue root[5] = {
      Int(kXmlRootFormatVersion, kXmlFormatVersion), Wide(kXmlRootName, name),
      Narrow(kXmlRootGenerator, kGenerator),         Int(kXmlRootCreated, static_cast<int32_t>(GetLocalSeconds())),
      {kXmlRootPlatform, nullptr, platform, 0},
  };
  Tag(w, kXmlStartTag, kXmlSorviFlash, root, 5);
  Tag(w, kXmlStartTag, kXmlCategories);
  std::vector<std::u16string> names;
  if (!w->Option(kOptionEntriesOnly)) {
    if (w->Option(kOptionFlagCategories))
      for (uint32_t i = 0; i < w->Flags(); ++i) names.push_back(FlagCategory(w, i));
    std::vector<std::u16string> lists;
    for (uint32_t l = 0; l < w->Lists(); ++l) {
      const std::u16string list = ListName(w, l);
      if (std::find(lists.begin(), lists.end(), list) == lists.end()) lists.push_back(list);
    }
    names.insert(names.end(), lists.begin(), lists.end());
  }
  if (w->Option(kOptionRankCategories))
    for (uint32_t n = 1; n <= w->Ranks(); ++n) names.push_back(RankCategory(n));
  if (w->Option(kOptionUserDefinitions)) names.push_back(kUserDictCards);
  if (w->Option(kOptionFreeDefinitions)) names.push_back(kFreeDictCards);
  if (w->Option(kOptionUncarded) || w->Option(kOptionEntriesOnly)) names.push_back(kUserDictEntries);
  for (const std::u16string& n : names) {
    if (n.empty()) continue;
    const XmlAttrValue v = Wide(kXmlCategoryName, n);
    Tag(w, kXmlEmptyTag, kXmlCategory, &v, 1);
  }
  Tag(w, kXmlEndTag, kXmlCategories);
  Tag(w, kXmlStartTag, kXmlCards);
  Flush(w);
}

}  // namespace

const char* GetFirstGenProductCode(const FirstGenDictionary* dict) {
  if (!dict) return nullptr;
  for (const ProductCode& p : kProductCodes)
    if (p.identity3 == dict->identity3 && p.id == dict->id) return p.code;
  return nullptr;
}

int32_t ComputeRankScore(const UserDataView* view, uint32_t rank, bool spaced) {
  if (!view) return kDefaultScore;
  const uint32_t ranks = GetUserRankCount(view);
  // A rank past the table takes its last row, as its category does.
  const uint32_t r = ranks == 0 ? 0 : std::min(rank, ranks - 1);
  int64_t score = kDefaultScore;
  uint16_t word = 0;
  if (spaced) {
    if (ranks > 0 && GetUserRankWord(view, r, 1, &word) == 0 && word != 0) score = int64_t{word} * 100;
  } else if (GetUserSetting(view, kSettingRankTableSwitch) != 0) {
    uint16_t top = 0;
    if (rank != 0 && ranks > 0 && GetUserRankWord(view, 0, 0, &top) == 0 && GetUserRankWord(view, r, 0, &word) == 0 &&
        top != 0 && word != 0)
      score = int64_t{top} * 100 / word;
  } else {
    const uint16_t divisor = GetUserSetting(view, kSettingRankDivisor);
    if (divisor != 0)
      for (uint32_t i = 0; i < rank && score > 0; ++i) score = score * 100 / divisor;
  }
  // A score of 0 would make the import drop the card's reviews.
  return static_cast<int32_t>(std::clamp<int64_t>(score, 1, INT32_MAX));
}

int WriteConverterXml(FirstGenDictSet* set, const ExportOptions* options, const WCHAR* documentName,
                      const ConverterOutput* output, uint32_t* cards) {
  if (cards) *cards = 0;
  if (!set || !options || !output) return 1;
  auto* w = new Writer;
  w->set = set;
  w->user = set->userData;
  w->options = *options;
  w->output = output;
  TIME_ZONE_INFORMATION zone{};
  if (GetTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID) w->biasSeconds = zone.Bias * 60;
  TextBufInit(&w->pending);
  if (!w->pending.handle) w->failed = true;
  if (!w->failed) WriteHead(w, documentName);
  if (!w->Option(kOptionEntriesOnly))
    for (uint32_t l = 0; l < w->Lists() && !w->failed; ++l) WriteListCards(w, l);
  if (w->Option(kOptionUncarded) || w->Option(kOptionEntriesOnly)) {
    std::sort(w->carded.begin(), w->carded.end());
    for (uint16_t i = 0; i < set->count && !w->failed; ++i)
      if (IsUserDictWithDefinitions(set->dicts[i])) WriteUncardedEntries(w, set->dicts[i]);
  }
  Tag(w, kXmlEndTag, kXmlCards);
  Tag(w, kXmlEndTag, kXmlSorviFlash);
  Flush(w);
  WriteBlock(w);
  const bool failed = w->failed;
  if (cards) *cards = w->cards;
  if (w->pending.handle) {
    TextBufFinish(&w->pending);
    FreeMemHandle(w->pending.handle);
  }
  delete w;
  return failed ? 1 : 0;
}

}  // namespace converter
