// Syllable index groups: which groups are kept, the clip of a key with its
// result codes, and the pronunciation lookup with the tone changes of spoken
// Mandarin.
#include "engine/audio_index.h"

#include <string>

#include "tests/engine_resources/resources_fixture.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/table_rules.h"

namespace res_test {
namespace {

struct IndexRecord {
  std::u16string key;
  uint16_t wordA;
  uint16_t wordB;
};

// An index table (table 0 of its file, searched by text, three rows a
// block) and its clip tables, as the writer lays them out.
db::DataFileSpec AudioFileOf(uint32_t id, uint32_t flags, uint16_t kind, std::vector<uint16_t> listTables,
                             const std::vector<IndexRecord>& records, std::vector<db::ClipTableSpec> clipTables,
                             uint32_t blockRows = 3) {
  db::SyllableIndexSpec index;
  index.id = id;
  index.flags = flags;
  index.kind = kind;
  index.clipTables = std::move(listTables);
  index.maxBlockRows = blockRows;
  for (const IndexRecord& r : records) {
    db::SyllableClipRef ref;
    ref.key = r.key;
    ref.list = static_cast<uint8_t>((r.wordA >> 8) & 0xF);
    ref.table = static_cast<uint8_t>(r.wordA & 0xFF);
    ref.row = r.wordB;
    ref.yiBuOnly = (r.wordA & 0x1000) != 0;
    index.keys.push_back(ref);
  }
  db::DataFileSpec f;
  f.shortName = u"Audio";
  std::string error;
  EXPECT_EQ(db::AddSyllableIndexTable(index, &f, &error), 0) << error;
  for (const db::ClipTableSpec& c : clipTables) EXPECT_EQ(db::AddClipTable(c, &f, &error), 0) << error;
  EXPECT_EQ(db::CheckDataFileRules(f, &error), 0) << error;
  return f;
}

// A clip table: row i holds clips[i].
db::ClipTableSpec ClipSpec(uint32_t groupId, uint16_t list, uint16_t place, const std::vector<std::string>& clips) {
  db::ClipTableSpec c;
  c.groupId = groupId;
  c.list = list;
  c.place = place;
  for (const std::string& s : clips) c.clips.push_back(Ascii(s));
  c.maxBlockRows = 4;
  return c;
}

std::u16string Key(std::initializer_list<std::pair<const char*, int>> syllables) {
  std::u16string k;
  for (auto& [s, t] : syllables) k.push_back(Syl(s, t));
  return k;
}

constexpr uint32_t kMainId = 5;
constexpr uint16_t kMainKind = 7;

// Group 5 (set bit 0): list 0 has tables 0 and 1, list 1 has tables 0 and
// 1, the last without a clip table.
db::DataFileSpec MainAudioFile() {
  std::vector<IndexRecord> records = {
      {Key({{"hao", 3}}), 0x0001, 1},
      {Key({{"hao", 2}}), 0x0001, 2},
      {Key({{"ni", 2}}), 0x0001, 3},
      {Key({{"ni", 3}}), 0x0001, 4},
      {Key({{"ni", 3}, {"hao", 3}}), 0x0001, 5},
      {Key({{"e", 4}}), 0x0001, 6},
      {Key({{"ge", 1}}), 0x0001, 7},
      {Key({{"tian", 1}}), 0x0001, 8},
      {Key({{"shi", 4}}), 0x0001, 9},
      {Key({{"yi", 1}}), 0x0100, 1},
      {Key({{"yi", 2}}), 0x0100, 2},
      {Key({{"yi", 4}}), 0x0100, 3},
      {Key({{"bu", 4}}), 0x0100, 4},
      {Key({{"bu", 2}}), 0x0100, 5},
      {Key({{"yao", 1}}), 0x1100, 6},  // for 一 and 不 only
      {Key({{"ma", 1}}), 0x0300, 1},   // no list 3
      {Key({{"ma", 2}}), 0x0101, 1},   // list 1 table 1: empty slot
      {Key({{"ma", 3}}), 0x0105, 1},   // list 1 has no table 5
  };
  return AudioFileOf(kMainId, 1, kMainKind, {2, 2}, records,
                     {ClipSpec(kMainId, 0, 0, {"zero"}),
                      ClipSpec(kMainId, 0, 1, {"row0", "hao3", "hao2", "ni2", "ni3", "nihao", "", "ge1", "tian1", "shi4"}),
                      ClipSpec(kMainId, 1, 0, {"row0", "yi1", "yi2", "yi4", "bu4", "bu2", "yao1"}),
                      ClipSpec(99, 0, 0, {"stray"})});  // no group has this id
}

// Another group: one list of two tables, hao3 in the second.
db::DataFileSpec OtherAudioFile(uint32_t id, uint32_t flags, const std::string& clip,
                                uint32_t format = kSyllableIndexFormat) {
  db::DataFileSpec f = AudioFileOf(id, flags, 3, {2}, {{Key({{"hao", 3}}), 0x0001, 1}},
                                   {ClipSpec(id, 0, 0, {"unused"}), ClipSpec(id, 0, 1, {"row0", clip})});
  SetLe32(f.tables[0].info, 16, format);
  return f;
}

class AudioIndexTest : public ResourcesTest {
 protected:
  void SetUp() override {
    ResourcesTest::SetUp();
    for (MemHandle*& h : handles_) h = NewMemHandle(64);
  }
  void TearDown() override {
    for (MemHandle* h : handles_) FreeMemHandle(h);
    ResourcesTest::TearDown();
  }

  std::string Clip(uint32_t k) const {
    return std::string(static_cast<const char*>(handles_[k]->data), sizes_[k]);
  }

  // The clips a lookup gives, in order.
  std::vector<std::string> Lookup(const std::u16string& syllables, const char16_t* characters = nullptr,
                                  const uint8_t* overrides = nullptr, int wholeWordOnly = 0, int* result = nullptr) {
    int r = LookupSyllableRecord(engine_, 0, syllables.c_str(), characters, overrides, handles_, sizes_,
                                 wholeWordOnly);
    if (result) *result = r;
    std::vector<std::string> clips;
    for (uint32_t k = 0; k < kMaxSyllableClips && sizes_[k]; ++k) clips.push_back(Clip(k));
    return clips;
  }

  MemHandle* handles_[kMaxSyllableClips] = {};
  uint32_t sizes_[kMaxSyllableClips] = {};
};

using Clips = std::vector<std::string>;

TEST_F(AudioIndexTest, ClipOfOneKeyAndResultCodes) {
  ASSERT_TRUE(Add(MainAudioFile()));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(GetSyllableIndexGroupCount(engine_), 1u);
  EXPECT_EQ(GetSyllableIndexGroupKind(engine_, 0), kMainKind);
  EXPECT_EQ(IsSyllableIndexGroupUsable(engine_, 0), 1);
  EXPECT_EQ(EnsureSyllableIndexGroup(engine_, 1), 0);
  EXPECT_EQ(IsSyllableIndexGroupComplete(engine_, 0), 0);  // list 1 table 1 is missing

  struct Case {
    std::u16string key;
    const char16_t* characters;
    int result;
    std::string clip;
  } cases[] = {
      {Key({{"hao", 3}}), nullptr, kClipFound, "hao3"},
      {Key({{"ni", 3}, {"hao", 3}}), u"你好", kClipFound, "nihao"},
      {Key({{"bu", 2}}), nullptr, kClipFound, "bu2"},
      {Key({{"hao", 1}}), nullptr, kClipNoRecord, ""},
      {Key({{"hao", 3}, {"hao", 3}}), nullptr, kClipNoRecord, ""},  // no such word
      {Key({{"yao", 1}}), u"要", kClipNoRecord, ""},
      {Key({{"yao", 1}}), u"一", kClipFound, "yao1"},
      {Key({{"yao", 1}}), u"不", kClipFound, "yao1"},
      {Key({{"yao", 1}}), nullptr, kClipFound, "yao1"},
      {Key({{"ma", 1}}), nullptr, kClipNoList, ""},
      {Key({{"ma", 2}}), nullptr, kClipNoTable, ""},
      {Key({{"ma", 3}}), nullptr, kClipNoTable, ""},
      {Key({{"e", 4}}), nullptr, kClipEmpty, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "key unit " << std::hex << static_cast<int>(c.key[0]));
    uint32_t size = 12345;
    EXPECT_EQ(LookupSyllableClip(engine_, 0, c.key.c_str(), c.characters, handles_[0], &size), c.result);
    if (c.result == kClipFound) {
      EXPECT_EQ(std::string(static_cast<const char*>(handles_[0]->data), size), c.clip);
      // Without a handle only the record is checked.
      EXPECT_EQ(LookupSyllableClip(engine_, 0, c.key.c_str(), c.characters, nullptr, nullptr), kClipFound);
    }
  }
  EXPECT_EQ(LookupSyllableClip(engine_, 1, Key({{"hao", 3}}).c_str(), nullptr, handles_[0], nullptr), kClipNoGroup);
}

TEST_F(AudioIndexTest, ToneChangesOfSpokenMandarin) {
  ASSERT_TRUE(Add(MainAudioFile()));
  ASSERT_EQ(LoadDataResources(engine_), 0);

  struct Case {
    const char* name;
    std::u16string syllables;
    const char16_t* characters;
    Clips clips;
  } cases[] = {
      {"3 before 3 becomes 2", Key({{"hao", 3}, {"hao", 3}}), nullptr, {"hao2", "hao3"}},
      {"a whole-word clip wins", Key({{"ni", 3}, {"hao", 3}}), u"你好", {"nihao"}},
      {"yi before 4 becomes 2", Key({{"yi", 1}, {"shi", 4}}), u"一是", {"yi2", "shi4"}},
      {"yi before 1 becomes 4", Key({{"yi", 1}, {"tian", 1}}), u"一天", {"yi4", "tian1"}},
      {"yi before 3 becomes 4", Key({{"yi", 1}, {"hao", 3}}), u"一好", {"yi4", "hao3"}},
      {"yi at the end stays", Key({{"hao", 3}, {"yi", 1}}), u"好一", {"hao3", "yi1"}},
      {"bu before 4 becomes 2", Key({{"bu", 4}, {"shi", 4}}), u"不是", {"bu2", "shi4"}},
      {"bu before 3 stays", Key({{"bu", 4}, {"hao", 3}}), u"不好", {"bu4", "hao3"}},
      {"no characters, no yi rule", Key({{"yi", 1}, {"shi", 4}}), nullptr, {"yi1", "shi4"}},
      {"another character, no yi rule", Key({{"yi", 1}, {"shi", 4}}), u"衣是", {"yi1", "shi4"}},
      {"neutral tried as 1", Key({{"ge", 0}, {"hao", 3}}), nullptr, {"ge1", "hao3"}},
      {"syllables without clips are passed over", Key({{"zhuang", 4}, {"hao", 3}}), nullptr, {"hao3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int result = -1;
    EXPECT_EQ(Lookup(c.syllables, c.characters, nullptr, 0, &result), c.clips);
    EXPECT_EQ(result, kClipFound);
  }

  // Preference 235 off: every syllable as written.
  SetPref(engine_, 235, 0);
  EXPECT_EQ(Lookup(Key({{"hao", 3}, {"hao", 3}})), (Clips{"hao3", "hao3"}));
  EXPECT_EQ(Lookup(Key({{"yi", 1}, {"shi", 4}}), u"一是"), (Clips{"yi1", "shi4"}));
  EXPECT_EQ(Lookup(Key({{"bu", 4}, {"shi", 4}}), u"不是"), (Clips{"bu4", "shi4"}));
  // A tone override holds either way.
  const uint8_t overrides[2] = {2, 0};
  EXPECT_EQ(Lookup(Key({{"ni", 3}, {"ge", 1}}), nullptr, overrides), (Clips{"ni2", "ge1"}));
  SetPref(engine_, 235, 1);
  const uint8_t secondOverride[2] = {0, 2};
  EXPECT_EQ(Lookup(Key({{"hao", 3}, {"hao", 3}}), nullptr, secondOverride), (Clips{"hao2", "hao2"}));
  const uint8_t yiOverride[2] = {1, 0};
  EXPECT_EQ(Lookup(Key({{"yi", 1}, {"shi", 4}}), u"一是", yiOverride), (Clips{"yi1", "shi4"}));
}

TEST_F(AudioIndexTest, WholeTextResultsAndLimits) {
  ASSERT_TRUE(Add(MainAudioFile()));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  int result = -1;
  // Nothing found: the whole text's result.
  EXPECT_TRUE(Lookup(Key({{"zhuang", 4}, {"zhuang", 1}}), nullptr, nullptr, 0, &result).empty());
  EXPECT_EQ(result, kClipNoRecord);
  // Whole word only: no syllable is looked up.
  EXPECT_TRUE(Lookup(Key({{"hao", 3}, {"hao", 3}}), nullptr, nullptr, 1, &result).empty());
  EXPECT_EQ(result, kClipNoRecord);
  EXPECT_EQ(Lookup(Key({{"ni", 3}, {"hao", 3}}), nullptr, nullptr, 1, &result), (Clips{"nihao"}));
  EXPECT_EQ(result, kClipFound);
  // An empty whole-word clip is an answer of its own.
  EXPECT_TRUE(Lookup(Key({{"e", 4}}), nullptr, nullptr, 0, &result).empty());
  EXPECT_EQ(result, kClipEmpty);
  // At most eight clips.
  std::u16string ten;
  for (int i = 0; i < 10; ++i) ten += Key({{"shi", 4}});
  EXPECT_EQ(Lookup(ten, nullptr, nullptr, 0, &result), Clips(8, "shi4"));
  EXPECT_EQ(result, kClipFound);
  // No group.
  EXPECT_EQ(LookupSyllableRecord(engine_, 3, Key({{"hao", 3}}).c_str(), nullptr, nullptr, handles_, sizes_, 0),
            kClipNoGroup);
}

TEST_F(AudioIndexTest, GroupsSharingASetBitKeepTheHigherId) {
  ASSERT_TRUE(Add(MainAudioFile()));                     // id 5, bit 0
  ASSERT_TRUE(Add(OtherAudioFile(9, 1, "hao3 of 9")));   // id 9, bit 0: replaces 5
  ASSERT_TRUE(Add(OtherAudioFile(3, 1, "hao3 of 3")));   // id 3, bit 0: loses
  ASSERT_TRUE(Add(OtherAudioFile(2, 2, "hao3 of 2")));   // bit 1: a group of its own
  ASSERT_TRUE(Add(OtherAudioFile(8, 2, "marker", 511)));  // not an index of this format
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(GetSyllableIndexGroupCount(engine_), 2u);
  EXPECT_EQ(FindSyllableIndexGroup(engine_, 0), 0);
  EXPECT_EQ(FindSyllableIndexGroup(engine_, 1), 1);
  EXPECT_EQ(IsSyllableIndexGroupComplete(engine_, 0), 1);
  EXPECT_EQ(GetSyllableIndexGroupKind(engine_, 0), 3);

  uint32_t size = 0;
  ASSERT_EQ(LookupSyllableClip(engine_, 0, Key({{"hao", 3}}).c_str(), nullptr, handles_[0], &size), kClipFound);
  EXPECT_EQ(std::string(static_cast<const char*>(handles_[0]->data), size), "hao3 of 9");
  ASSERT_EQ(LookupSyllableClip(engine_, 1, Key({{"hao", 3}}).c_str(), nullptr, handles_[0], &size), kClipFound);
  EXPECT_EQ(std::string(static_cast<const char*>(handles_[0]->data), size), "hao3 of 2");
}

TEST_F(AudioIndexTest, TheHigherIdWinsInEitherOrder) {
  ASSERT_TRUE(Add(OtherAudioFile(9, 3, "hao3 of 9")));
  ASSERT_TRUE(Add(MainAudioFile()));  // id 5, shares bit 0
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(GetSyllableIndexGroupCount(engine_), 1u);
  EXPECT_EQ(FindSyllableIndexGroup(engine_, 1), 0);
  uint32_t size = 0;
  ASSERT_EQ(LookupSyllableClip(engine_, 0, Key({{"hao", 3}}).c_str(), nullptr, handles_[0], &size), kClipFound);
  EXPECT_EQ(std::string(static_cast<const char*>(handles_[0]->data), size), "hao3 of 9");
}

TEST_F(AudioIndexTest, IndexMustBeTableZero) {
  db::DataFileSpec f = OtherAudioFile(9, 1, "hao3");
  std::swap(f.tables[0], f.tables[1]);
  ASSERT_TRUE(Add(f));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  EXPECT_EQ(GetSyllableIndexGroupCount(engine_), 0u);
  EXPECT_EQ(FindSyllableIndexGroup(engine_, 0), kNoSyllableIndexGroup);
  EXPECT_EQ(LookupSyllableClip(engine_, 0, Key({{"hao", 3}}).c_str(), nullptr, nullptr, nullptr), kClipNoGroup);
}

// Words A and B are data: a record for list 0, table 0, row 0 begins with
// two zero units and must still be found by its key, and must not hide the
// records around it.
TEST_F(AudioIndexTest, RecordWithZeroWordsIsFound) {
  // 60 one-syllable keys in one block; every seventh names list 0, table 0,
  // row 0 (both words 0), every eleventh row 0 of table 1 (word B 0).
  std::vector<IndexRecord> records;
  std::vector<std::string> expected;
  for (int n = 0; n < 60; ++n) {
    std::u16string key(1, static_cast<char16_t>(0xE000 + 5 * n + 1));
    if (n % 7 == 0) {
      records.push_back({key, 0x0000, 0});
      expected.push_back("zero");
    } else if (n % 11 == 0) {
      records.push_back({key, 0x0001, 0});
      expected.push_back("row0");
    } else {
      records.push_back({key, 0x0001, 1});
      expected.push_back("other");
    }
  }
  ASSERT_TRUE(Add(AudioFileOf(kMainId, 1, kMainKind, {2}, records,
                              {ClipSpec(kMainId, 0, 0, {"zero"}), ClipSpec(kMainId, 0, 1, {"row0", "other"})}, 0)));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  for (int n = 0; n < 60; ++n) {
    SCOPED_TRACE(n);
    uint32_t size = 0;
    if (LookupSyllableClip(engine_, 0, records[n].key.c_str(), nullptr, handles_[0], &size) != kClipFound) {
      ADD_FAILURE() << "not found";
      continue;
    }
    EXPECT_EQ(std::string(static_cast<const char*>(handles_[0]->data), size), expected[n]);
  }
}

}  // namespace
}  // namespace res_test
