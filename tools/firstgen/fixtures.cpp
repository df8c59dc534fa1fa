#include "tools/firstgen/fixtures.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/firstgen/bytes.h"

namespace firstgen {

namespace {

constexpr char16_t kHeadwordMark = 0xEA01;
constexpr char16_t kPinyinMark = 0xEA02;
constexpr char16_t kDefinitionMark = 0xEA03;
constexpr char16_t kLineBreakMark = 0xEAB1;

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(s);
  while (std::getline(in, part, sep)) out.push_back(part);
  return out;
}

// 1904-based local seconds of a 1970-based time.
constexpr uint32_t kEpoch1904 = 2082844800u;

}  // namespace

bool LoadCedictRows(const std::string& path, std::vector<CedictRow>* rows, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  rows->clear();
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = Split(line, '\t');
    if (f.size() < 4) continue;
    rows->push_back({f[0], f[1], f[2], f[3]});
  }
  return true;
}

std::u16string PinyinMarkup(const std::string& pinyin) {
  std::u16string out;
  for (char c : pinyin) {
    if (c >= '1' && c <= '4') {
      out += static_cast<char16_t>(0x2070 + (c - '0'));
    } else if (c != '5') {
      out += static_cast<char16_t>(static_cast<uint8_t>(c));
    }
  }
  return out;
}

std::u16string EntryMarkup(const CedictRow& row, bool withDefinition) {
  const std::u16string simp = Utf16(row.simplified);
  const std::u16string trad = Utf16(row.traditional);
  std::u16string text(1, kHeadwordMark);
  text += simp;
  if (trad != simp) {
    text += u'[';
    for (size_t i = 0; i < trad.size(); ++i) text += (i < simp.size() && simp[i] == trad[i]) ? u'-' : trad[i];
    text += u']';
  }
  text += kPinyinMark;
  text += PinyinMarkup(row.pinyin);
  if (withDefinition) {
    text += kDefinitionMark;
    std::vector<std::string> senses = Split(row.definitions, '/');
    for (size_t i = 0; i < senses.size(); ++i) {
      if (i) text += kLineBreakMark;
      text += Utf16(senses[i]);
    }
  }
  return text;
}

Bytes DictionaryHeader(const DictHeaderSpec& s) {
  Bytes h(90, 0);
  PutBe(&h, 2, 2, s.kind);
  PutBe(&h, 4, 4, s.id);
  PutBe(&h, 24, 2, s.flags);
  PutBe(&h, 26, 2, s.identity1);
  PutBe(&h, 32, 2, s.headwordLanguage);
  PutBe(&h, 34, 2, s.secondLanguage);
  PutBe(&h, 36, 2, s.identity2);
  PutBe(&h, 38, 2, s.identity3);
  PutBe(&h, 40, 4, s.extraWord);
  PutText(&h, 44, s.name.substr(0, 31));
  return h;
}

DatabaseSpec ChineseEnglishDictionary(const std::vector<CedictRow>& rows) {
  DatabaseSpec db;
  DictHeaderSpec h;
  h.id = kCedictId;
  h.flags = 0x0002;
  h.identity3 = 1;
  h.name = "CC-CEDICT";
  db.header = DictionaryHeader(h);
  TableSpec entries;
  entries.flags = kTextRows | kKeys16 | kKeyedEntries | kEntryTable;
  entries.huffman = true;
  entries.rowsPerBlock = 16;
  entries.kind = kKindEntryTable;
  entries.name = "Entries";
  for (uint32_t i = 0; i < rows.size(); ++i) {
    entries.subTables[0].push_back({EntryMarkup(rows[i], true), {}, CedictEntryNumber(i)});
  }
  TableSpec pinyin;
  pinyin.flags = kTextRows | kIndexPacked;
  pinyin.rowsPerBlock = 32;
  pinyin.kind = kKindSecondaryTable;
  for (const CedictRow& r : rows) pinyin.subTables[0].push_back({PinyinMarkup(r.pinyin), {}, 0});
  db.tables = {pinyin, entries};
  return db;
}

DatabaseSpec UserDictionary(const std::vector<CedictRow>& rows) {
  DatabaseSpec db;
  DictHeaderSpec h;
  h.id = kUserDictId;
  h.flags = 0x0007;
  h.name = "My Words";
  db.header = DictionaryHeader(h);
  TableSpec entries;
  entries.flags = kTextRows | kIndexPacked | kEntryTable;
  entries.rowsPerBlock = 8;
  entries.kind = kKindEntryTable;
  for (const CedictRow& r : rows) entries.subTables[0].push_back({EntryMarkup(r, true), {}, 0});
  db.tables = {entries};
  return db;
}

DatabaseSpec NoDefinitionsDictionary(const std::vector<CedictRow>& rows) {
  DatabaseSpec db;
  DictHeaderSpec h;
  h.id = kNoDefinitionsId;
  h.flags = 0;
  h.identity3 = 3;
  h.name = "Headwords";
  db.header = DictionaryHeader(h);
  TableSpec entries;
  entries.flags = kTextRows | kKeys32 | kKeyedEntries | kIndexKeys32 | kIndexExtra | kEntryTable;
  entries.huffman = true;
  entries.singleLengthCode = true;
  entries.rowsPerBlock = 8;
  entries.kind = kKindEntryTable;
  for (uint32_t i = 0; i < rows.size(); ++i) {
    entries.subTables[0].push_back({EntryMarkup(rows[i], false), {}, 0x10000u * (i + 1)});
  }
  db.tables = {entries};
  return db;
}

Bytes CardRow(const CardSpec& c, uint32_t rowSize) {
  Bytes b;
  PutLe(&b, 0, 4, c.dictionaryId);
  PutLe(&b, 4, 4, c.entryNumber);
  PutLe(&b, 8, 4, c.firstReview);
  PutLe(&b, 12, 4, c.lastReview);
  PutLe(&b, 16, 4, c.flags);
  PutLe(&b, 20, 4, c.history);
  PutLe(&b, 24, 2, c.correct);
  PutLe(&b, 26, 2, c.incorrect);
  PutLe(&b, 28, 1, c.counterA);
  PutLe(&b, 29, 1, c.counterB);
  PutLe(&b, 30, 1, c.rank);
  b.resize(rowSize, 0);
  return b;
}

DatabaseSpec UserFile(const UserFileSpec& s) {
  DatabaseSpec db;
  Bytes h(952 + 14 * s.rankRows.size(), 0);
  PutBe(&h, 2, 2, 0xA000);
  PutLe(&h, 34, 2, s.rankCount >= 0 ? static_cast<uint32_t>(s.rankCount) : static_cast<uint32_t>(s.rankRows.size()));
  PutLe(&h, 36, 2, s.flagCount >= 0 ? static_cast<uint32_t>(s.flagCount) : static_cast<uint32_t>(s.flagNames.size()));
  PutLe(&h, 40 + 6, 2, s.rankDivisor);
  PutLe(&h, 40 + 16, 2, s.studyMode);
  PutLe(&h, 40 + 20, 2, s.rankTableSwitch);
  for (size_t i = 0; i < s.flagNames.size() && i < 32; ++i) PutText(&h, 184 + 24 * i, s.flagNames[i].substr(0, 24));
  for (size_t r = 0; r < s.rankRows.size(); ++r) {
    for (size_t w = 0; w < 7; ++w) PutLe(&h, 952 + 14 * r + 2 * w, 2, s.rankRows[r][w]);
  }
  db.header = h;
  for (const CardListSpec& list : s.lists) {
    TableSpec t;
    t.flags = kFixedRows;
    t.fixedRowSize = s.cardRowSize;
    t.rowsPerBlock = s.cardsPerBlock;
    t.name = list.name;
    for (const CardSpec& c : list.cards) t.subTables[0].push_back({{}, CardRow(c, s.cardRowSize), 0});
    db.tables.push_back(t);
  }
  return db;
}

UserFileSpec SampleUserFile(const std::vector<CedictRow>& rows) {
  uint32_t china = 0;
  for (uint32_t i = 0; i < rows.size(); ++i) {
    if (rows[i].simplified == "中国") china = i;
  }
  UserFileSpec s;
  s.flagNames = {"Important", "a/b", "Tones"};
  s.rankRows = {{{100, 1, 0, 0, 0, 0, 0}},
                {{90, 2, 0, 0, 0, 0, 0}},
                {{80, 4, 0, 0, 0, 0, 0}},
                {{50, 8, 0, 0, 0, 0, 0}},
                {{25, 16, 0, 0, 0, 0, 0}}};
  s.rankDivisor = 200;
  s.studyMode = 3;
  s.rankTableSwitch = 1;
  const uint32_t day = 86400;
  const uint32_t t0 = kEpoch1904 + 1700000000u;  // November 2023, local time
  CardSpec never;
  never.entryNumber = CedictEntryNumber(0);
  CardSpec reviewed;
  reviewed.entryNumber = CedictEntryNumber(china);
  reviewed.firstReview = t0;
  reviewed.lastReview = t0 + 30 * day;
  reviewed.flags = 0x5;  // flags 0 and 2
  reviewed.history = 0x2AAAAAAAu;
  reviewed.correct = 20;
  reviewed.incorrect = 15;
  reviewed.counterA = 3;
  reviewed.counterB = 4;
  reviewed.rank = 2;
  CardSpec aboveRanks;
  aboveRanks.entryNumber = CedictEntryNumber(1);
  aboveRanks.firstReview = t0;
  aboveRanks.lastReview = t0 + day;
  aboveRanks.correct = 1;
  aboveRanks.rank = 9;
  CardSpec notOpen;
  notOpen.dictionaryId = kMissingDictId;
  notOpen.entryNumber = 5;
  CardSpec unreadable;
  unreadable.entryNumber = CedictEntryNumber(0) + 1;  // odd: no such key
  CardSpec user;
  user.dictionaryId = kUserDictId;
  user.entryNumber = 2;
  user.firstReview = t0;
  user.lastReview = t0 + 2 * day;
  user.incorrect = 1;
  user.rank = 1;
  s.lists = {{"Lesson 1", {never, reviewed, aboveRanks}},
             {"Verbs", {notOpen, unreadable}},
             {"Verbs", {user}},
             {"A/B", {reviewed}},
             {std::string(140, 'L'), {never}}};
  return s;
}

bool WriteDatabase(const DatabaseSpec& spec, bool bundle, const std::string& path, std::string* error) {
  std::vector<Bytes> records;
  DatabaseLayout layout;
  if (!BuildDatabaseRecords(spec, &records, &layout, error)) return false;
  return WriteFile(path, bundle ? WriteBundle(records) : WriteContainer(records), error);
}

bool WriteSample(const std::string& root, const std::vector<CedictRow>& rows, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(fs::path(root) / "My Documents", ec);
  fs::create_directories(fs::path(root) / "Program Files" / "Old Sorvi Data", ec);
  if (ec) {
    *error = "cannot make the folders of " + root;
    return false;
  }
  std::vector<CedictRow> few(rows.begin(), rows.begin() + (rows.size() < 12 ? rows.size() : 12));
  std::vector<CedictRow> some(rows.begin(), rows.begin() + (rows.size() < 60 ? rows.size() : 60));
  return WriteDatabase(ChineseEnglishDictionary(rows), false, root + "/My Documents/cedict.pdb", error) &&
         WriteDatabase(NoDefinitionsDictionary(some), false, root + "/My Documents/headwords.pdb", error) &&
         WriteDatabase(UserDictionary(few), true, root + "/My Documents/mywords.kve", error) &&
         WriteDatabase(UserFile(SampleUserFile(rows)), false, root + "/Program Files/Old Sorvi Data/userdata.pdb",
                       error);
}

}  // namespace firstgen
