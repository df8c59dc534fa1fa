// The entry fetch: primary and secondary records, the engine's record
// buffers and lock, entries that cannot be read, word lengths and the
// reading picks.
#include "engine/entry_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/dict_set.h"
#include "engine/search_results.h"
#include "platform/engine_lock.h"
#include "tests/engine_fetch/fetch_fixture.h"

using namespace fetchfix;

namespace {

EntryFetchRequest Request(uint32_t slot, uint32_t entry, uint32_t options = 0, uint32_t classMask = 0) {
  EntryFetchRequest r{};
  r.slot = slot;
  r.entry = entry;
  r.options = options;
  r.classMask = classMask;
  return r;
}

SearchResultList* Results(std::vector<std::pair<uint32_t, uint32_t>> items, uint32_t bestMatch = 0) {
  SearchResultList* list = NewResultList(0);
  for (auto [slot, entry] : items) AddResultListItem(list, slot, entry);
  list->bestMatch = bestMatch;
  return list;
}

class EntryFetch : public EngineFixture {
 protected:
  // The rich dictionary with a secondary table holding fields from kMeasure
  // on; the last entry's secondary record is missing.
  void AddWithSecondary(const std::vector<std::pair<std::u16string, std::u16string>>& entries) {
    db::DictionarySpec desc;
    desc.info = RichInfo();
    for (const auto& [primary, secondary] : entries) {
      db::DictEntrySpec e;
      e.text = primary;
      e.secondary = secondary;
      desc.entries.push_back(e);
    }
    desc.entryBitmap = false;
    desc.secondaryFirstField = kMeasure;
    std::vector<db::TableSpec> tables;
    std::string error;
    ASSERT_EQ(db::MakeDictionaryTables(desc, &tables, &error), 0) << error;
    bool patched = false;
    for (db::TableSpec& t : tables) {
      if (t.type != db::kTypeDictSecondary) continue;
      t.columns[0].rows.pop_back();
      patched = true;
    }
    ASSERT_TRUE(patched);
    AddTables(tables, u"Rich");
  }
};

TEST_F(EntryFetch, JoinsTheSecondaryRecordAndReportsAMissingOne) {
  AddWithSecondary({{Field(kSense) + u"a", Field(kMeasure) + u"m"}, {Field(kUpper) + u"b", Field(kMeasure) + u"n"}});
  ASSERT_NE(Create(), nullptr);
  int rc = -1;
  EXPECT_EQ(Fetch(Request(0, 0), &rc), u"a\n\nm");
  EXPECT_EQ(rc, 0);
  // The second entry's secondary record is missing: its fields are left out.
  EXPECT_EQ(Fetch(Request(0, 1), &rc), u"B");
  EXPECT_EQ(rc, kFetchSecondaryMissing);
  // A request for fields that all come before the secondary table's first
  // (class 4: fields 6 and 7) does not read it.
  EXPECT_EQ(Fetch(Request(0, 1, kFetchClassMask, 0x10), &rc), u"B");
  EXPECT_EQ(rc, 0);
  // Asking for the secondary fields reads it.
  EXPECT_EQ(Fetch(Request(0, 1, kFetchClassMask, 0x20), &rc), u"");
  EXPECT_EQ(rc, kFetchSecondaryMissing);
  EXPECT_EQ(Fetch(Request(0, 0, kFetchClassMask, 0x20), &rc), u"m");
  EXPECT_EQ(rc, 0);
}

TEST_F(EntryFetch, ANestedFetchGivesTheSameText) {
  AddWithSecondary({{Field(kHead) + u"学生" + kSep + u"學-" + Field(kSense) + u"student", Field(kMeasure) + u"个"},
                    {Field(kSense) + u"x", u""}});
  ASSERT_NE(Create(), nullptr);
  const EntryFetchRequest request = Request(0, 0, kFetchOtherFormBracket);
  int rc = -1;
  const std::u16string plain = Fetch(request, &rc);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(plain, u"学生[學生]\nstudent\n\n个");
  ASSERT_NE(engine_->entryText[0], nullptr);
  ASSERT_NE(engine_->entryText[1], nullptr);

  // The engine's buffers in use, as inside a formatter that fetches: the
  // fetch takes buffers and cursors of its own and leaves them be.
  void* primary = LockMemHandle(engine_->entryText[0]);
  void* secondary = LockMemHandle(engine_->entryText[1]);
  std::u16string nested = Fetch(request, &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(nested, plain);
  EXPECT_EQ(GetMemHandleLockCount(engine_->entryText[0]), 1);
  EXPECT_EQ(GetMemHandleLockCount(engine_->entryText[1]), 1);
  EXPECT_EQ(engine_->entryText[0]->data, primary);
  EXPECT_EQ(engine_->entryText[1]->data, secondary);
  UnlockMemHandle(engine_->entryText[0]);
  UnlockMemHandle(engine_->entryText[1]);
  // And free again afterwards.
  EXPECT_EQ(Fetch(request, &rc), plain);
  EXPECT_EQ(GetMemHandleLockCount(engine_->entryText[0]), 0);
}

TEST_F(EntryFetch, AnEntryPastTheEndLeavesAnEmptyText) {
  AddDict(DictOf(RichInfo(), {Field(kSense) + u"only"}));
  ASSERT_NE(Create(), nullptr);
  WCHAR text[16];
  TextBuffer tb{text, 16, nullptr, 0};
  EntryFetchRequest request = Request(0, 0);
  ASSERT_EQ(FetchDictEntryText(engine_, &request, &tb), 0);
  EXPECT_EQ(std::u16string(text), u"only");

  // The stale text of the last fetch must not survive.
  request.entry = 1;
  EXPECT_EQ(FetchDictEntryText(engine_, &request, &tb), kFetchNoEntry);
  EXPECT_EQ(tb.length, 0u);
  EXPECT_EQ(text[0], 0);
  request.entry = 0xFFFFFFFFu;
  EXPECT_EQ(FetchDictEntryText(engine_, &request, &tb), kFetchNoEntry);

  // A slot past the count.
  TextBufAppendWide(&tb, u"stale", 0);
  TextBufFinish(&tb);
  request = Request(1, 0);
  EXPECT_EQ(FetchDictEntryText(engine_, &request, &tb), 1);
  EXPECT_EQ(text[0], 0);
}

TEST_F(EntryFetch, AnUnreadableRecordGives65534) {
  db::DictionarySpec desc = DictOf(RichInfo(), {Field(kSense) + u"one", Field(kSense) + u"two"});
  desc.coding = db::EntryCoding::Zlib;
  db::DataFileSpec file;
  file.shortName = u"Broken";
  std::string error;
  ASSERT_EQ(db::AddDictionaryTables(desc, &file, &error), 0) << error;
  db::ByteVec bytes;
  db::DataFileLayout layout;
  ASSERT_EQ(db::BuildDataFile(file, &bytes, &layout, &error), 0) << error;
  // Overwrite the entry table's first block record.
  const db::TableLayout& entries = layout.tables[0];
  ASSERT_FALSE(entries.blocks.empty());
  ASSERT_FALSE(entries.blocks[0].empty());
  uint32_t record = entries.headerRecord + entries.blocks[0][0].blockNumber;
  ASSERT_LT(record, layout.recordOffsets.size());
  size_t from = layout.recordOffsets[record];
  size_t to = record + 1 < layout.recordOffsets.size() ? layout.recordOffsets[record + 1] : bytes.size();
  for (size_t i = from; i < to; ++i) bytes[i] = 0xFF;
  files_.AddBytes(bytes);
  ASSERT_NE(Create(), nullptr);
  ASSERT_EQ(GetDictCount(engine_), 1);

  WCHAR text[16] = u"stale";
  TextBuffer tb{text, 16, nullptr, 5};
  EntryFetchRequest request = Request(0, 1);
  EXPECT_EQ(FetchDictEntryText(engine_, &request, &tb), kFetchUnreadable);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(GetEntryWordLength(engine_, 0, 1), 0);
}

TEST_F(EntryFetch, HoldsTheEngineLock) {
  AddDict(DictOf(RichInfo(), {Field(kSense) + u"locked"}));
  ASSERT_NE(Create(), nullptr);
  std::atomic<bool> done{false};
  std::u16string seen;
  {
    EngineLockGuard held;
    std::thread worker([&] {
      EntryFetchRequest request = Request(0, 0);
      WCHAR text[16];
      TextBuffer tb{text, 16, nullptr, 0};
      FetchDictEntryText(engine_, &request, &tb);
      EXPECT_FALSE(engine_lock::IsHeldByCurrentThread());
      seen = text;
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The worker waits while another thread holds the engine.
    EXPECT_FALSE(done.load());
    engine_lock::ReleaseAll();
    worker.join();
    engine_lock::Reacquire(1);
  }
  EXPECT_TRUE(done.load());
  EXPECT_EQ(seen, u"locked");
}

TEST_F(EntryFetch, WordLengthFromTheTableOrTheHeadword) {
  std::u16string forty;
  for (int i = 0; i < 40; ++i) forty.push_back(static_cast<char16_t>(0x4E00 + i));
  const std::vector<std::u16string> heads = {
      Field(kHead) + u"你好" + Field(kPinyin) + Syl("ni", 3) + Syl("hao", 3) + Field(kSense) + u"hello",
      Field(kHead) + forty,
      Field(kHead) + u"好(hǎo)" + Field(kSense) + u"good",
      Field(kHead) + u"学生" + kSep + u"學-",
      Field(kHead) + u"台/臺",
      Field(kStyled) + u"no headword",
  };
  db::DictionarySpec plain = DictOf(RichInfo(), heads);
  AddDict(plain);
  db::DictionarySpec stored = DictOf(RichInfo(), heads);
  stored.info.dictId = 8;
  stored.wordLengths = true;
  for (size_t i = 0; i < stored.entries.size(); ++i) stored.entries[i].wordLength = static_cast<uint32_t>(10 + i);
  AddDict(stored);
  ASSERT_NE(Create(), nullptr);

  const uint16_t expected[] = {2, 40, 1, 2, 1, 0};
  for (uint32_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(GetEntryWordLength(engine_, 0, i), expected[i]) << i;
    EXPECT_EQ(GetEntryWordLength(engine_, 1, i), 10 + i) << i;
  }
  EXPECT_EQ(GetEntryWordLength(engine_, 0, 99), 0);
  EXPECT_EQ(GetEntryWordLength(engine_, 7, 0), 0);
}

// A character dictionary whose field 0x21 holds a character's reading.
db::DictionarySpec CharDict() {
  db::DictInfoSpec info;
  info.creator = 0x43484152;
  info.dictId = 1;
  info.flags = db::kDictCharacters;
  info.shortName = u"Chars";
  for (int f = 0; f < 34; ++f) {
    db::DictFieldSpec field;
    field.name = u"F" + std::u16string(1, static_cast<char16_t>(u'A' + f % 26));
    field.classWord = f == 0 ? 0x1000 : f == 1 ? 0x0100 : f == 33 ? 0x0300 : 0x0200;
    field.type = f == 0 ? db::kFieldChinese : (f == 1 || f == 33) ? db::kFieldPinyin : 0;
    field.displayKind = f == 0 ? kDisplayTwoForm : kDisplayPlain;
    info.fields.push_back(field);
  }
  return DictOf(info, {
                          Field(0) + u"行" + Field(33) + Syl("xing", 2) + Field(1) + Syl("hang", 2),
                          Field(0) + u"乐" + Field(1) + Syl("le", 4) + Syl("yue", 4),
                          Field(0) + u"无",
                      });
}

TEST_F(EntryFetch, PicksTheResultWithTheCharactersReading) {
  AddDict(CharDict());
  AddDict(DictOf(RichInfo(), {
                                 Field(kHead) + u"行" + Field(kPinyin) + Syl("hang", 2),
                                 Field(kHead) + u"行" + Field(kPinyin) + Syl("xing", 2),
                                 Field(kHead) + u"乐" + Field(kPinyin) + Syl("le", 4),
                             }));
  ASSERT_NE(Create(), nullptr);

  SearchResultList* list = Results({{1, 0}, {1, 1}, {1, 2}});
  EXPECT_EQ(PickResultByEntryReading(engine_, list, 0, 0), 1u);  // field 0x21: xing2
  EXPECT_EQ(PickResultByEntryReading(engine_, list, 0, 1), 2u);  // no field 0x21: the reading field, le4
  EXPECT_EQ(PickResultByEntryReading(engine_, list, 0, 2), 0u);  // no reading at all
  SearchResultList* broken = Results({{1, 0}, {1, 99}, {1, 1}});
  EXPECT_EQ(PickResultByEntryReading(engine_, broken, 0, 0), 0u);  // a result that cannot be read
  SearchResultList* one = Results({{1, 1}});
  EXPECT_EQ(PickResultByEntryReading(engine_, one, 0, 0), 0u);

  // The query's side: only a Chinese character before any reading counts,
  // and a list matched on more than one character is left alone.
  struct Case {
    const SearchResultList* list;
    std::u16string query;
  };
  SearchResultList* wide = Results({{1, 0}, {1, 1}}, 2);
  const Case zero[] = {
      {one, u"行"}, {list, u"a行"}, {list, u"\u3105行"}, {list, u"abc"}, {list, u""}, {wide, u"行"},
  };
  for (const Case& c : zero)
    EXPECT_EQ(PickResultByCharReading(engine_, c.list, reinterpret_cast<const WCHAR*>(c.query.c_str())), 0u);
  EXPECT_EQ(PickResultByCharReading(engine_, nullptr, u"行"), 0u);
  // The character's entry comes from the character dictionary's headword
  // search; while that finds nothing the first result stands.
  uint16_t charSlot = kNoDictSlot;
  int32_t charEntry = -1;
  FindEntryInFlaggedDicts(engine_, u'行', &charSlot, &charEntry);
  EXPECT_EQ(charSlot, 0);
  EXPECT_EQ(PickResultByCharReading(engine_, list, u"1 行"), charEntry == 0 ? 1u : 0u);
  for (SearchResultList* l : {list, broken, one, wide}) FreeResultList(l);
}

TEST_F(EntryFetch, PicksTheResultWithTheSameSyllables) {
  AddDict(
      DictOf(RichInfo(), {
                             Field(kHead) + u"好" + Field(kPinyin) + Syl("hao", 3),
                             Field(kHead) + u"你好" + Field(kPinyin) + Syl("ni", 3) + Syl("hao", 3),
                             Field(kHead) + u"号" + Field(kPinyin) + Syl("hao", 4),
                             Field(kHead) + u"學生" + kSep + u"学生" + Field(kPinyin) + Syl("xue", 2) + Syl("sheng", 1),
                         }));
  ASSERT_NE(Create(), nullptr);
  SearchResultList* list = Results({{0, 0}, {0, 1}, {0, 2}, {0, 99}, {0, 3}});
  SearchResultList* one = Results({{0, 2}});
  struct Case {
    const SearchResultList* list;
    std::u16string text;
    uint32_t expected;
  };
  const Case cases[] = {
      {list, Syl("ni", 3) + Syl("hao", 3), 1},
      {list, u"x" + Syl("hao", 4) + u"y", 2},
      {list, Syl("xue", 2) + Syl("sheng", 1), 4},  // past an entry that cannot be read
      {list, Syl("hao", 3), 0},                    // the first result
      {list, Syl("hao", 1), 0},                    // none
      {list, Syl("hao", 3) + Syl("hao", 3), 0},    // more syllables than any
      {list, u"abc", 0},
      {list, u"", 0},
      {one, Syl("hao", 4), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PickResultBySyllables(engine_, c.list, reinterpret_cast<const WCHAR*>(c.text.c_str())), c.expected);
  EXPECT_EQ(PickResultBySyllables(engine_, list, nullptr), 0u);
  FreeResultList(list);
  FreeResultList(one);
}

}  // namespace
