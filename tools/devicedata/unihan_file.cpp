#include "tools/devicedata/unihan_file.h"

#include <algorithm>
#include <cstdio>

#include "platform/device_paths.h"
#include "tools/databuild/index_tables.h"

namespace devicedata {

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

std::string Hex(char32_t c) {
  char b[16];
  std::snprintf(b, sizeof b, "U+%04X", static_cast<unsigned>(c));
  return b;
}

// Field style bits as the formatter reads them.
constexpr std::uint32_t kStyleNewLine = 0x1000;
constexpr std::uint32_t kStyleNextOnNewLine = 0x2000;
constexpr std::uint32_t kDisplayPlain = 1;

std::u16string FieldMark(std::uint32_t f) { return std::u16string(1, static_cast<char16_t>(0xEA00 + f)); }

// UTF-16 of a code point.
std::u16string Unit(char32_t c) {
  if (c < 0x10000) return std::u16string(1, static_cast<char16_t>(c));
  c -= 0x10000;
  return {static_cast<char16_t>(0xD800 + (c >> 10)), static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
}

// Source text never holds markup units (syllable codes, field and style
// marks): one would change the entry's structure.
bool HasMarkupUnits(const std::u16string& s) {
  return std::any_of(s.begin(), s.end(), [](char16_t u) { return u >= 0xE000 && u <= 0xEAFF; });
}

// A reading as its syllable code, or its spelling when it is no syllable.
std::u16string ReadingText(const std::string& reading) {
  const char16_t code = ToneMarkedSyllableCode(reading);
  return code ? std::u16string(1, code) : Utf8ToUtf16(reading);
}

std::u16string JoinReadings(const std::vector<std::string>& readings) {
  std::u16string out;
  for (const std::string& r : readings) {
    if (!out.empty()) out += u", ";
    out += ReadingText(r);
  }
  return out;
}

// The variant characters of a property, without the character itself when
// it is the only one.
std::u16string VariantText(const UnihanChar& c, std::string_view property, std::string* error, bool* bad) {
  const std::string_view value = c.Get(property);
  if (value.empty()) return {};
  std::vector<char32_t> codes;
  if (!ParseVariantCodes(value, &codes)) {
    *bad = true;
    if (error) *error = Hex(c.code) + ": " + std::string(property) + " \"" + std::string(value) + "\" is malformed";
    return {};
  }
  if (codes.size() == 1 && codes[0] == c.code) return {};
  std::u16string out;
  for (char32_t v : codes) {
    if (!out.empty()) out += u' ';
    out += Unit(v);
  }
  return out;
}

char16_t RadicalIdeograph(const std::vector<UnihanRadical>& radicals, int number, bool simplified) {
  char16_t fallback = 0;
  for (const UnihanRadical& r : radicals) {
    if (r.number != number) continue;
    if (r.simplified == simplified) return r.ideograph;
    if (!r.simplified) fallback = r.ideograph;
  }
  return fallback;
}

void AddField(databuild::DictInfoSpec* info, const char16_t* name, std::uint32_t cls, std::uint32_t level,
              std::uint32_t type = 0, std::uint32_t style = 0) {
  databuild::DictFieldSpec f;
  f.name = name;
  f.classWord = cls << 8;
  f.type = type;
  f.displayKind = kDisplayPlain;
  f.level = level;
  f.style = style;
  info->fields.push_back(f);
}

// Adds `code` -> entry to a prefix-index column of one-unit keys (rows by
// key, values ascending and once each).
void AddPrefixNode(databuild::ColumnSpec* column, char16_t code, std::uint32_t entry) {
  auto row = std::lower_bound(column->rows.begin(), column->rows.end(), code,
                              [](const databuild::RowSpec& r, char16_t k) { return r.key < k; });
  if (row == column->rows.end() || row->key != code) row = column->rows.insert(row, databuild::MakeValuesRow(code, {}));
  auto at = std::lower_bound(row->values.begin(), row->values.end(), entry);
  if (at == row->values.end() || *at != entry) row->values.insert(at, entry);
}

}  // namespace

int AddReadingKeys(databuild::DataFileSpec* file, const std::vector<std::u16string>& readings, std::string* error) {
  auto table = std::find_if(file->tables.begin(), file->tables.end(),
                            [](const databuild::TableSpec& t) { return t.type == databuild::kTypeDictPrefixIndex; });
  if (table == file->tables.end()) return Fail(error, "the dictionary has no prefix index");
  // Every key of a character entry is one unit long: the index has
  // column 0 (whole keys) and column 1 (first units) only.
  if (table->columns.size() != 2) return Fail(error, "the prefix index has keys longer than one unit");
  for (std::uint32_t e = 0; e < readings.size(); ++e) {
    for (char16_t code : readings[e]) {
      if (code < 0xE000 || code > 0xE9EF) continue;
      AddPrefixNode(&table->columns[0], code, e);
      AddPrefixNode(&table->columns[1], code, e);
    }
  }
  std::size_t longest = 0;
  for (const databuild::ColumnSpec& c : table->columns) {
    for (const databuild::RowSpec& r : c.rows) longest = std::max(longest, (r.values.size() * c.unitSize + 31) / 32 * 4);
  }
  if (longest > databuild::kMaxBlockBytes) return Fail(error, "a reading is shared by too many characters");
  table->maxBlockBytes = std::max<std::uint32_t>(table->maxBlockBytes, static_cast<std::uint32_t>(longest));
  return 0;
}

int KangxiRadicalStrokes(int number) {
  // The first radical of 1, 2, ... 17 strokes.
  static constexpr int kFirst[] = {1, 7, 30, 61, 95, 118, 147, 167, 176, 187, 195, 201, 205, 209, 211, 212, 214};
  if (number < 1 || number > 214) return 0;
  int strokes = 0;
  for (int first : kFirst)
    if (number >= first) ++strokes;
  return strokes;
}

databuild::DictInfoSpec UnihanDictInfo() {
  databuild::DictInfoSpec info;
  info.creator = kUnihanCreator;
  info.dictId = kUnihanDictId;
  info.flags = databuild::kDictCharacters;
  info.language = databuild::kLanguageChinese;
  info.transLanguage = databuild::kLanguageEnglish;
  info.iconText = u"字";
  info.iconFillColor = 0x00806040;
  info.menuName = u"Unihan Character Reference";
  info.shortName = u"Unihan";
  using databuild::kFieldChinese;
  using databuild::kFieldPinyin;
  AddField(&info, u"Pinyin", 3, kLevelCommon, kFieldPinyin, kStyleNextOnNewLine);
  AddField(&info, u"Definition", 3, kLevelCommon, 0, kStyleNextOnNewLine);
  AddField(&info, u"Radical", 3, kLevelCommon);
  AddField(&info, u"Strokes", 3, kLevelCommon);
  info.fields.back().suffix = u" strokes";
  AddField(&info, u"Simplified", 3, kLevelCommon, kFieldChinese);
  info.fields.back().prefix = u"simp. ";
  AddField(&info, u"Traditional", 3, kLevelCommon, kFieldChinese);
  info.fields.back().prefix = u"trad. ";
  AddField(&info, u"Frequency", 4, kLevelUsage);
  info.fields.back().suffix = u" (1 most used)";
  AddField(&info, u"Grade level", 4, kLevelUsage);
  AddField(&info, u"Rare readings", 4, kLevelRare, kFieldPinyin);
  AddField(&info, u"Cantonese", 4, kLevelRare);
  AddField(&info, u"Japanese on", 4, kLevelRare);
  AddField(&info, u"Japanese kun", 4, kLevelRare);
  AddField(&info, u"Korean", 4, kLevelRare);
  AddField(&info, u"Hangul", 4, kLevelRare);
  AddField(&info, u"Vietnamese", 4, kLevelRare);
  AddField(&info, u"Tang", 4, kLevelRare);
  AddField(&info, u"Semantic variants", 5, kLevelRare, kFieldChinese);
  AddField(&info, u"Specialized variants", 5, kLevelRare, kFieldChinese);
  AddField(&info, u"Z-variants", 5, kLevelRare, kFieldChinese);
  AddField(&info, u"Compatibility", 5, kLevelRare, kFieldChinese);
  AddField(&info, u"Reading frequency", 5, kLevelRare);
  AddField(&info, u"Core set", 5, kLevelRare);
  AddField(&info, u"Cangjie", 5, kLevelRare);
  AddField(&info, u"Four-corner code", 5, kLevelRare);
  AddField(&info, u"Alternate strokes", 5, kLevelRare);
  AddField(&info, u"GB 2312", 5, kLevelRare);
  AddField(&info, u"Big5", 5, kLevelRare);
  AddField(&info, u"Numeric value", 5, kLevelRare);
  AddField(&info, u"General standard", 5, kLevelRare);
  AddField(&info, u"Joyo kanji", 5, kLevelRare);
  AddField(&info, u"Korean education", 5, kLevelRare);
  AddField(&info, u"Unicode", 5, kLevelRare);
  AddField(&info, u"Character", 0, kLevelCommon, kFieldChinese);
  AddField(&info, u"Main reading", 1, kLevelNotADetail, kFieldPinyin);
  return info;
}

int MakeUnihanEntry(const UnihanChar& c, const std::vector<UnihanRadical>& radicals, UnihanEntry* out,
                    std::string* error) {
  const std::string where = Hex(c.code) + ": ";
  for (const auto& [name, value] : c.props) {
    if (HasMarkupUnits(Utf8ToUtf16(value))) {
      return Fail(error, where + name + " holds private-use units of the entry markup");
    }
  }
  std::u16string text;
  auto add = [&](UnihanField f, const std::u16string& content) {
    if (!content.empty()) text += FieldMark(f) + content;
  };
  auto plain = [&](UnihanField f, std::string_view property) { add(f, Utf8ToUtf16(c.Get(property))); };

  // Readings: common ones in order of the sources, then the rare rest.
  std::vector<std::string> common;
  for (const char* property : {"kMandarin", "kHanyuPinlu", "kXHC1983", "kTGHZ2013"}) {
    for (const std::string& r : SplitReadings(c.Get(property)))
      if (std::find(common.begin(), common.end(), r) == common.end()) common.push_back(r);
  }
  std::vector<std::string> rare;
  for (const std::string& r : SplitReadings(c.Get("kHanyuPinyin"))) {
    if (std::find(common.begin(), common.end(), r) == common.end()) rare.push_back(r);
  }
  const std::string main = !common.empty() ? common[0] : !rare.empty() ? rare[0] : std::string();
  out->code = c.code;
  out->mainReading = main.empty() ? 0 : ToneMarkedSyllableCode(main);
  out->readings.clear();
  for (const std::string& r : common)
    if (const char16_t code = ToneMarkedSyllableCode(r)) out->readings.push_back(code);

  std::vector<RadicalStroke> rs;
  if (const std::string_view v = c.Get("kRSUnicode"); !v.empty() && !ParseRadicalStrokes(v, &rs)) {
    return Fail(error, where + "kRSUnicode \"" + std::string(v) + "\" is malformed");
  }
  std::u16string radical;
  for (const RadicalStroke& r : rs) {
    if (!radical.empty()) radical += u", ";
    const char16_t ideograph = RadicalIdeograph(radicals, r.radical, r.simplified);
    if (ideograph) radical += std::u16string(1, ideograph) + u" ";
    radical += Utf8ToUtf16(std::to_string(r.radical) + (r.simplified ? "'" : "") + "." + std::to_string(r.residual));
  }
  const int strokes = ParseTotalStrokes(c.Get("kTotalStrokes"));
  bool bad = false;
  const std::u16string simplified = VariantText(c, "kSimplifiedVariant", error, &bad);
  const std::u16string traditional = VariantText(c, "kTraditionalVariant", error, &bad);
  const std::u16string semantic = VariantText(c, "kSemanticVariant", error, &bad);
  const std::u16string specialized = VariantText(c, "kSpecializedSemanticVariant", error, &bad);
  const std::u16string zVariant = VariantText(c, "kZVariant", error, &bad);
  const std::u16string compatibility = VariantText(c, "kCompatibilityVariant", error, &bad);
  if (bad) return 1;
  const std::u16string definition = Utf8ToUtf16(c.Get("kDefinition"));

  // In the order shown: the character and its main reading, the pane's
  // body, then the sheet's other details.
  add(kUnihanCharacter, std::u16string(1, c.code));
  if (!main.empty()) add(kUnihanMainReading, ReadingText(main));
  add(kUnihanPinyin, JoinReadings(common));
  add(kUnihanDefinition, definition);
  if (strokes > 0) add(kUnihanStrokes, Utf8ToUtf16(std::to_string(strokes)));
  add(kUnihanRadical, radical);
  add(kUnihanSimplified, simplified);
  add(kUnihanTraditional, traditional);
  plain(kUnihanFrequency, "kFrequency");
  plain(kUnihanGradeLevel, "kGradeLevel");
  add(kUnihanRareReadings, JoinReadings(rare));
  plain(kUnihanCantonese, "kCantonese");
  plain(kUnihanJapaneseOn, "kJapaneseOn");
  plain(kUnihanJapaneseKun, "kJapaneseKun");
  plain(kUnihanKorean, "kKorean");
  plain(kUnihanHangul, "kHangul");
  plain(kUnihanVietnamese, "kVietnamese");
  plain(kUnihanTang, "kTang");
  add(kUnihanSemantic, semantic);
  add(kUnihanSpecialized, specialized);
  add(kUnihanZVariant, zVariant);
  add(kUnihanCompatibility, compatibility);
  plain(kUnihanPinlu, "kHanyuPinlu");
  plain(kUnihanCore, "kIICore");
  plain(kUnihanCangjie, "kCangjie");
  plain(kUnihanFourCorner, "kFourCornerCode");
  plain(kUnihanAltStrokes, "kAlternateTotalStrokes");
  plain(kUnihanGb, "kGB0");
  plain(kUnihanBig5, "kBigFive");
  for (const char* property : {"kPrimaryNumeric", "kAccountingNumeric", "kOtherNumeric"}) plain(kUnihanNumeric, property);
  plain(kUnihanGeneralStandard, "kTGH");
  plain(kUnihanJoyo, "kJoyoKanji");
  plain(kUnihanKoreanEducation, "kKoreanEducationHanja");
  add(kUnihanCode, Utf8ToUtf16(Hex(c.code)));

  databuild::DictEntrySpec& e = out->entry;
  e = databuild::DictEntrySpec{};
  e.text = std::move(text);
  e.headword = std::u16string(1, c.code);
  e.wordLength = 1;
  e.index.headwords = {e.headword};
  if (out->mainReading) e.index.pinyin = std::u16string(1, out->mainReading);
  return 0;
}

int MakeUnihanRadicalTables(const UnihanData& data, databuild::RadicalTablesSpec* out, std::string* error,
                            const std::unordered_map<char16_t, std::uint64_t>* frequency) {
  databuild::RadicalTablesSpec desc;
  desc.id = kUnihanRadicalTableId;
  desc.infoWord1 = 1;

  // Characters by radical and residual strokes.
  struct Placed {
    char16_t code;
    int residual;
    std::uint64_t frequency;
  };
  auto frequencyOf = [frequency](char16_t code) -> std::uint64_t {
    if (!frequency) return 0;
    auto it = frequency->find(code);
    return it == frequency->end() ? 0 : it->second;
  };
  std::vector<std::vector<Placed>> byRadical(215);
  constexpr char16_t kLowest = 0x3400, kHighestUnified = 0x9FFF;
  std::vector<std::uint16_t> codes(kHighestUnified - kLowest + 1, 0);
  char16_t highest = 0;
  for (const auto& [code, c] : data.chars) {
    std::vector<RadicalStroke> rs;
    const std::string_view v = c.Get("kRSUnicode");
    if (v.empty()) continue;
    if (!ParseRadicalStrokes(v, &rs)) return Fail(error, Hex(code) + ": kRSUnicode \"" + std::string(v) + "\" is malformed");
    if (code >= kLowest && code <= kHighestUnified) {
      codes[code - kLowest] = static_cast<std::uint16_t>(rs[0].radical);
      highest = std::max(highest, code);
    }
    // A compatibility ideograph is a second code of a unified one.
    if (!c.Get("kCompatibilityVariant").empty()) continue;
    std::vector<int> seen;
    for (const RadicalStroke& r : rs) {
      if (std::find(seen.begin(), seen.end(), r.radical) != seen.end()) continue;
      seen.push_back(r.radical);
      byRadical[r.radical].push_back({code, std::max(0, r.residual), frequencyOf(code)});
    }
  }
  for (int number = 1; number <= 214; ++number) {
    std::vector<Placed>& chars = byRadical[number];
    if (chars.empty()) continue;
    // The commoner character first; then the common block before
    // extension A, each by code.
    std::stable_sort(chars.begin(), chars.end(), [](const Placed& a, const Placed& b) {
      if (a.frequency != b.frequency) return a.frequency > b.frequency;
      const bool aExt = a.code < 0x4E00, bExt = b.code < 0x4E00;
      return aExt != bExt ? bExt : a.code < b.code;
    });
    databuild::RadicalChars rc;
    rc.radical = static_cast<std::uint16_t>(number);
    for (const Placed& p : chars) {
      if (rc.sections.size() <= static_cast<std::size_t>(p.residual)) rc.sections.resize(p.residual + 1);
      rc.sections[p.residual].push_back(p.code);
    }
    desc.radicals.push_back(std::move(rc));
  }
  if (highest >= kLowest) {
    desc.lowestCode = kLowest;
    codes.resize(highest - kLowest + 1);
    desc.codes = std::move(codes);
  }

  // The radical list: every radical form of CJKRadicals.txt by strokes.
  struct Item {
    int strokes;
    databuild::RadicalListItem item;
    bool simplified;
  };
  std::vector<Item> items;
  for (const UnihanRadical& r : data.radicals) {
    int strokes = KangxiRadicalStrokes(r.number);
    if (r.simplified) {
      const UnihanChar* c = FindUnihanChar(data, r.ideograph);
      const int own = c ? ParseTotalStrokes(c->Get("kTotalStrokes")) : 0;
      if (own > 0) strokes = own;
    }
    items.push_back({strokes,
                     {r.ideograph, static_cast<std::uint8_t>(strokes), static_cast<std::uint8_t>(r.number)},
                     r.simplified});
  }
  std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    if (a.strokes != b.strokes) return a.strokes < b.strokes;
    if (a.item.key != b.item.key) return a.item.key < b.item.key;
    return !a.simplified && b.simplified;
  });
  int maxStrokes = 0;
  for (const Item& it : items) {
    desc.listB.push_back(it.item);
    maxStrokes = std::max(maxStrokes, it.strokes);
  }
  if (items.empty()) return Fail(error, "CJKRadicals.txt lists no radicals");
  desc.listA.assign(maxStrokes + 1, 0);
  for (int s = 1; s <= maxStrokes; ++s) {
    std::size_t i = 0;
    while (i < items.size() && items[i].strokes < s) ++i;
    desc.listA[s] = static_cast<std::uint16_t>(i);
  }
  *out = std::move(desc);
  return 0;
}

std::u16string UnihanNotice(const std::string& version) {
  return Utf8ToUtf16("Character reference: the Unihan database" +
                     (version.empty() ? std::string() : " of Unicode " + version) +
                     ", copyright Unicode, Inc., under the Unicode License (https://www.unicode.org/license.txt).");
}

int BuildUnihanFile(const UnihanData& data, const std::u16string& notice, databuild::DataFileSpec* file,
                    UnihanContents* contents, UnihanBuildStats* stats, std::string* error, const WordCounts* words) {
  // Each character's frequency: its dict.txt count, else its kHanyuPinlu
  // readings together.
  WordCounts pinlu;
  if (AddHanyuPinlu(data, &pinlu, error) != 0) return 1;
  std::unordered_map<char16_t, std::uint64_t> frequency;
  std::vector<char16_t> order;
  for (const auto& [code, c] : data.chars) {
    order.push_back(code);
    std::uint64_t f = CharacterFrequency(pinlu, code);
    if (words) {
      auto it = words->words.find(std::u16string(1, code));
      if (it != words->words.end()) f = it->second;
    }
    if (f != 0) frequency[code] = f;
  }
  // The commoner character first (by code among equals), so the characters
  // of one reading are found commonest first.
  auto frequencyOf = [&frequency](char16_t code) {
    auto it = frequency.find(code);
    return it == frequency.end() ? std::uint64_t{0} : it->second;
  };
  std::stable_sort(order.begin(), order.end(),
                   [&frequencyOf](char16_t a, char16_t b) { return frequencyOf(a) > frequencyOf(b); });

  databuild::DictionarySpec dict;
  dict.info = UnihanDictInfo();
  dict.wordLengths = true;
  dict.searchIndexes = true;
  databuild::SearchIndexOptions options = databuild::SearchIndexOptionsFor(databuild::kLanguageChinese);
  // Entries of one character have no character pairs worth a table, and
  // English is looked up in the word dictionaries: the character reference
  // answers characters and readings only (the word index would add 14%).
  options.charPairs = false;
  options.words = databuild::WordIndexKind::None;
  dict.indexOptions = options;
  UnihanContents got;
  UnihanBuildStats st;
  st.outsideBmp = data.outsideBmp;
  st.version = data.version;
  for (char16_t code : order) {
    const UnihanChar& c = data.chars.at(code);
    UnihanEntry e;
    if (MakeUnihanEntry(c, data.radicals, &e, error) != 0) return 1;
    got.chars.push_back(code);
    got.mainReadings.push_back(e.mainReading);
    got.readings.push_back(e.readings);
    st.withReading += e.mainReading != 0;
    st.withDefinition += !c.Get("kDefinition").empty();
    dict.entries.push_back(std::move(e.entry));
  }
  st.entries = dict.entries.size();
  st.withFrequency = frequency.size();
  if (MakeUnihanRadicalTables(data, &got.radicals, error, &frequency) != 0) return 1;
  for (const databuild::RadicalChars& r : got.radicals.radicals) {
    for (const std::u16string& s : r.sections) st.radicalChars += s.size();
  }
  st.radicals = got.radicals.radicals.size();

  databuild::DataFileSpec f;
  f.shortName = u"Unihan";
  f.longName = u"Unihan character reference";
  f.notice = notice;
  if (databuild::AddDictionaryTables(dict, &f, error) != 0) return 1;
  if (AddReadingKeys(&f, got.readings, error) != 0) return 1;
  if (databuild::AddRadicalTables(got.radicals, &f, error) != 0) return 1;
  *file = std::move(f);
  if (contents) *contents = std::move(got);
  if (stats) *stats = st;
  return 0;
}

}  // namespace devicedata
