// The dictionary set over data files built by the writer.
#include <gtest/gtest.h>

#include <string>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/table_cursor.h"
#include "tests/engine_data/dict_fixture.h"

using namespace dictfix;

namespace {

std::u16string Text(const WCHAR* s) { return std::u16string(s); }

class DictSet : public ::testing::Test {
 protected:
  void TearDown() override {
    if (engine_) DestroyAndFree(engine_);
  }
  DictEngine* Create() {
    EngineParams p = QuietParams();
    engine_ = CreateEngine(files_.files().data(), static_cast<uint32_t>(files_.files().size()), &p);
    EXPECT_NE(engine_, nullptr);
    return engine_;
  }
  DataFiles files_;
  DictEngine* engine_ = nullptr;
};

TEST_F(DictSet, TakesAtMostNineteenDictionaryTablesOfAFile) {
  DictInfo d;
  db::DataFileSpec desc;
  desc.tables.push_back(TextTable(0x0FFF, {}));
  desc.tables.push_back(EntryTable(d, 2));
  desc.tables.push_back(TextTable(0x1401, {}));
  desc.tables.push_back(TextTable(0x1400, {}));
  for (uint32_t i = 0; i < 23; ++i) desc.tables.push_back(TextTable(0x1200 + i, {}));
  files_.Add(desc);
  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 1);
  const DictSlot* s = e->slots[0];
  ASSERT_EQ(s->cursorCount, 19u);
  EXPECT_EQ(s->tableTypes[0], 0x1000u);
  EXPECT_EQ(s->tableTypes[1], 0x1400u);
  EXPECT_EQ(s->tableTypes[2], 0x1200u);
  EXPECT_EQ(s->tableTypes[18], 0x1210u);  // the 20th dictionary table and later are passed over
}

TEST_F(DictSet, FilesWithoutAUsableEntryTableMakeNoSlot) {
  DictInfo d;
  db::DataFileSpec noEntryTable;
  noEntryTable.tables.push_back(TextTable(0x1010, {{1, u"a"}}));
  files_.Add(noEntryTable);

  db::DataFileSpec newerFormat;  // its only entry table is of format 3
  db::TableSpec v3 = EntryTable(d, 2);
  v3.version = 3;
  newerFormat.tables.push_back(v3);
  files_.Add(newerFormat);

  // A newer-format table beside a good entry table is left out of the slot.
  DictInfo good;
  good.id = 7;
  db::TableSpec map = IdMapTable({{5, 1}});
  map.version = 3;
  files_.AddDict(good, 2, {map});

  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 1);
  EXPECT_EQ(GetDictId(e, 0), 7);
  EXPECT_EQ(e->slots[0]->cursorCount, 1u);
  EXPECT_EQ(MapDictEntryId(e, 0, 5), 5);  // no map: the id is the entry
}

TEST_F(DictSet, HeadersWhoseCountsDoNotFitTheirInfoAreaMakeNoSlot) {
  DictInfo tooManyFields;
  tooManyFields.fields = {{u"one", 1}};
  tooManyFields.fieldCountWord = 2;  // claims a descriptor that is not there
  files_.AddDict(tooManyFields);
  DictInfo huge;
  huge.fieldCountWord = 0x20000000;  // 424 x count overflows 32 bits
  files_.AddDict(huge);
  DictInfo tooShort;
  tooShort.infoSize = 200;
  files_.AddDict(tooShort);
  DictInfo good;
  good.id = 9;
  good.fields = {{u"word", 0}, {u"definition", 2}};
  files_.AddDict(good);

  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 1);
  EXPECT_EQ(GetDictId(e, 0), 9);
  EXPECT_EQ(GetDictFieldCount(e, 0), 2u);
  uint32_t level = 0;
  WCHAR name[8], name2[16];
  EXPECT_EQ(GetDictFieldInfo(e, 0, 1, &level, name, 8, name2, 16), 0);
  EXPECT_EQ(Text(name), u"definit");  // cut to the buffer, terminated
  EXPECT_EQ(Text(name2), u"definition2");
  EXPECT_EQ(level, 2u);
  EXPECT_EQ(GetDictFieldInfo(e, 1, 0, &level, name, 8, name2, 16), 1);  // no such slot
}

TEST_F(DictSet, SecondaryTableNeedsTheFlag) {
  DictInfo withFlag;
  withFlag.flags = kDictFlagSecondary;
  DictInfo secondaryInfo;
  db::TableSpec secondary = TextTable(kDictSecondaryTableType, {{1, u"s"}});
  secondary.info = InfoHeader(secondaryInfo);
  files_.AddDict(withFlag, 2, {secondary});
  DictInfo without;
  without.id = 2;
  files_.AddDict(without, 2, {secondary});

  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 2);
  EXPECT_NE(e->slots[0]->secondary, nullptr);
  EXPECT_NE(e->slots[0]->secondaryHeader, nullptr);
  EXPECT_EQ(e->slots[1]->secondary, nullptr);
  EXPECT_EQ(e->slots[1]->cursorCount, 2u);  // still in the cursor list
}

TEST_F(DictSet, IdentityAndNeutralAnswers) {
  DictInfo d;
  d.creator = 0xABCD;
  d.id = 42;
  d.flags = kDictFlagSortLast;
  d.language = kLanguageEnglish;
  d.transLanguage = kLanguageChinese;
  d.iconColor = 0x00FF00;
  files_.AddDict(d, 5);
  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 1);
  EXPECT_EQ(GetDictCreator(e, 0), 0xABCDu);
  EXPECT_EQ(GetDictId(e, 0), 42);
  EXPECT_EQ(GetDictFlags(e, 0), kDictFlagSortLast);
  EXPECT_EQ(GetDictLanguage(e, 0), kLanguageEnglish);
  EXPECT_EQ(GetDictTransLanguage(e, 0), kLanguageChinese);
  EXPECT_EQ(GetDictIconColor(e, 0), 0x00FF00u);
  EXPECT_EQ(GetDictEntryCount(e, 0), 5u);
  EXPECT_EQ(DictHasEntries(e, 0), 1);
  EXPECT_EQ(GetDictEntryKey(e, 0, 2), 102);

  EXPECT_EQ(FindDictSlot(e, 0xABCD, 42), 0);
  EXPECT_EQ(FindDictSlot(e, 0xABCD, 43), kNoDictSlot);
  EXPECT_EQ(FindDictSlot(e, 0xABCE, 42), kNoDictSlot);
  EXPECT_EQ(GetDictId(e, kNoDictSlot), -1);
  EXPECT_EQ(GetDictId(e, 1), -1);
  EXPECT_EQ(GetDictFlags(e, 1), 0u);
  EXPECT_EQ(GetDictFieldCount(e, 1), 0u);
  EXPECT_EQ(GetDictEntryCount(e, 1), 0u);
  WCHAR buf[8] = {u'x'};
  EXPECT_EQ(GetDictShortName(e, 1, buf, 8), 1);
  EXPECT_EQ(buf[0], 0);
}

TEST_F(DictSet, NamesAreAlwaysTerminatedAndBoundedToTheirField) {
  DictInfo d;
  d.menuName = std::u16string(32, u'M');  // fills its field: no terminator in the file
  d.shortName = u"Short";
  files_.AddDict(d);
  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 1);

  WCHAR buf[40];
  std::fill(std::begin(buf), std::end(buf), u'#');
  EXPECT_EQ(GetDictMenuName(e, 0, buf, 40), 0);
  EXPECT_EQ(Text(buf), std::u16string(32, u'M'));  // stops at the field's end, not at the short name

  std::fill(std::begin(buf), std::end(buf), u'#');
  EXPECT_EQ(GetDictMenuName(e, 0, buf, 32), 0);
  EXPECT_EQ(Text(buf), std::u16string(31, u'M'));
  EXPECT_EQ(buf[32], u'#');

  std::fill(std::begin(buf), std::end(buf), u'#');
  EXPECT_EQ(GetDictShortName(e, 0, buf, 4), 0);
  EXPECT_EQ(Text(buf), u"Sho");
  EXPECT_EQ(buf[4], u'#');

  buf[0] = u'#';
  EXPECT_EQ(GetDictShortName(e, 0, buf, 0), 1);
  EXPECT_EQ(buf[0], u'#');
}

TEST_F(DictSet, IconTextKeepsAllThreeUnits) {
  DictInfo usr;
  usr.icon = u"USR";
  files_.AddDict(usr);
  DictInfo two;
  two.id = 2;
  two.icon = u"AB";
  files_.AddDict(two);
  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 2);

  WCHAR buf[kDictIconBufferUnits + 1];
  std::fill(std::begin(buf), std::end(buf), u'#');
  EXPECT_EQ(GetDictIconText(e, 0, buf, kDictIconBufferUnits), 0);
  EXPECT_EQ(Text(buf), u"USR");
  EXPECT_EQ(buf[4], u'#');

  // A caller that gives exactly three units gets them, unterminated.
  std::fill(std::begin(buf), std::end(buf), u'#');
  EXPECT_EQ(GetDictIconText(e, 0, buf, 3), 0);
  EXPECT_EQ(std::u16string(buf, 4), u"USR#");

  std::fill(std::begin(buf), std::end(buf), u'#');
  EXPECT_EQ(GetDictIconText(e, 1, buf, kDictIconBufferUnits), 0);
  EXPECT_EQ(Text(buf), u"AB");
}

TEST_F(DictSet, EntryIdsMapThroughTheIdTable) {
  DictInfo mapped;
  mapped.creator = 1;
  mapped.id = 1;
  files_.AddDict(mapped, 4, {IdMapTable({{10, 3}, {20, 0}, {7000, 2}})});
  DictInfo plain;
  plain.creator = 1;
  plain.id = 2;
  files_.AddDict(plain, 4);
  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 2);

  EXPECT_EQ(MapDictEntryId(e, 0, 10), 3);
  EXPECT_EQ(MapDictEntryId(e, 0, 20), 0);
  EXPECT_EQ(MapDictEntryId(e, 0, 7000), 2);
  EXPECT_EQ(MapDictEntryId(e, 0, 11), -1);
  EXPECT_EQ(MapDictEntryId(e, 0, 10), 3);  // the cursor was reset after each look-up
  EXPECT_EQ(MapDictEntryId(e, 1, 11), 11);

  EXPECT_EQ(HasDictEntry(e, 1, 1, 10), 1);
  EXPECT_EQ(HasDictEntry(e, 1, 1, 11), 0);
  EXPECT_EQ(HasDictEntry(e, 1, 2, 11), 1);
  EXPECT_EQ(HasDictEntry(e, 1, 3, 10), 0);  // not installed
}

TEST_F(DictSet, CharacterVariantsThroughTheVariantTable) {
  auto variants = [](uint32_t flags) {
    db::TableSpec t = TextTable(kDictCharVariantType, {{u'发', u"發髮"}, {u'后', u"后後"}, {u'空', u""}});
    t.info.assign(12, 0);
    SetLe32(t.info, 8, flags);
    return t;
  };
  DictInfo d;
  files_.AddDict(d, 2, {variants(kLanguageChinese)});
  DictInfo other;
  other.id = 2;
  files_.AddDict(other, 2, {variants(0)});
  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 2);

  EXPECT_EQ(MapCharVariant(e, 0, u'发'), u'發');  // not among its forms: the first form
  EXPECT_EQ(MapCharVariant(e, 0, u'后'), u'后');  // among them: itself
  EXPECT_EQ(MapCharVariant(e, 0, u'空'), u'空');  // empty record
  EXPECT_EQ(MapCharVariant(e, 0, u'水'), u'水');  // no row
  EXPECT_EQ(MapCharVariant(e, 1, u'发'), u'发');  // the table is not for Chinese
}

TEST_F(DictSet, EntryBitmapTellsWhichCharactersHaveEntries) {
  DictInfo words;
  files_.AddDict(words, 2, {EntryBitmapTable({u'一', u'丁', u'A'})});
  DictInfo chars;  // a character dictionary: not counted by the radical filter
  chars.id = 2;
  chars.flags = kDictFlagCharDict;
  files_.AddDict(chars, 2, {EntryBitmapTable({u'水'})});
  DictInfo shortMap;  // its bitmap stops before U+4E00
  shortMap.id = 3;
  files_.AddDict(shortMap, 2, {EntryBitmapTable({u'B'}, 64)});
  DictEngine* e = Create();
  ASSERT_EQ(GetDictCount(e), 3);

  EXPECT_EQ(DictHasTable1100(e, 0), 1);
  EXPECT_EQ(TestDictEntryBit(e, 0, u'一'), 1);
  EXPECT_EQ(TestDictEntryBit(e, 0, u'丁'), 1);
  EXPECT_EQ(TestDictEntryBit(e, 0, u'丂'), 0);
  EXPECT_EQ(TestDictEntryBit(e, 0, u'A'), 1);
  EXPECT_EQ(TestDictEntryBit(e, 0, u'B'), 0);
  EXPECT_EQ(TestDictEntryBit(e, 0, 0x10000), 0);  // beyond the BMP
  EXPECT_EQ(TestDictEntryBit(e, 2, u'B'), 1);
  EXPECT_EQ(TestDictEntryBit(e, 2, u'一'), 0);  // past the record's end

  EXPECT_EQ(DictSetHasCharEntry(e, u'一'), 1);
  EXPECT_EQ(DictSetHasCharEntry(e, u'B'), 1);
  EXPECT_EQ(DictSetHasCharEntry(e, u'水'), 0);  // only the character dictionary has it
  EXPECT_EQ(DictSetHasCharEntry(e, u'火'), 0);
}

TEST_F(DictSet, FollowIndexLevelsWalksTheColumnsDownward) {
  // Three columns of bare values: each level's value is a row of the next.
  db::TableSpec levels;
  levels.type = 0x1120;
  for (const std::vector<uint32_t>& values : {std::vector<uint32_t>{70, 71, 72, 73}, {3, 2, 1, 0}, {1, 2, 3, 0}}) {
    db::ColumnSpec c;
    c.unitSize = 4;
    c.values = values;
    levels.columns.push_back(c);
  }
  DictInfo d;
  files_.AddDict(d, 2, {levels});
  DictEngine* e = Create();
  TableCursor* c = FindDictTableCursor(e, 0, 0x1120);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(DictHasTable1120(e, 0), 1);
  EXPECT_EQ(FollowIndexLevels(c, 1, -1, 0), 71);  // the value of column 0
  EXPECT_EQ(FollowIndexLevels(c, 1, 4096, 0), 1);  // the row itself
  EXPECT_EQ(FollowIndexLevels(c, 0, 1, 0), 2);     // columns 2, 1: 0 -> 1 -> 2
  EXPECT_EQ(FollowIndexLevels(c, 0, 1, -1), 72);   // columns 2, 1, 0: 0 -> 1 -> 2 -> 72
}

TEST_F(DictSet, CharacterDictionaryFallback) {
  DictInfo words;
  files_.AddDict(words);
  DictEngine* e = Create();
  uint16_t slot = 0;
  int32_t entry = 0;
  EXPECT_EQ(FindEntryInFlaggedDicts(e, u'水', &slot, &entry), 0);
  EXPECT_EQ(slot, kNoDictSlot);
  EXPECT_EQ(entry, -1);
  DictInfo chars;
  chars.id = 2;
  chars.flags = kDictFlagCharDict;
  DbFile* more[] = {files_.AddDict(chars)};
  ASSERT_EQ(AddDictionaries(e, more, 1), 0);
  // Until the headword search is in, no search finds the character: the
  // first character dictionary and no entry.
  EXPECT_EQ(FindEntryInFlaggedDicts(e, u'水', &slot, &entry), 0);
  EXPECT_EQ(slot, 1);
  EXPECT_EQ(entry, -1);
  EXPECT_EQ(FindEntryInFlaggedDicts(e, u'水', nullptr, nullptr), 0);
}

TEST_F(DictSet, SlotArrayStopsAtSixtyFour) {
  for (uint32_t i = 0; i < 70; ++i) {
    DictInfo d;
    d.id = i;
    files_.AddDict(d, 1);
  }
  DictEngine* e = Create();
  ASSERT_EQ(e->readerCount, 70);
  ASSERT_EQ(GetDictCount(e), kMaxDictSlots);
  EXPECT_EQ(GetDictId(e, 63), 63);
  EXPECT_EQ(FindDictSlot(e, DictInfo{}.creator, 64), kNoDictSlot);
  DictSlot extra{};
  EXPECT_EQ(AddDictSlot(e, &extra), 1);
  EXPECT_EQ(GetDictCount(e), kMaxDictSlots);
}

}  // namespace
