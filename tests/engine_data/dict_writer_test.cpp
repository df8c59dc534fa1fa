// Whole dictionaries as the data-file writer lays them out, read through the
// dictionary set: the writer and the reader agree on the info header, the
// entry-id map, the variant table and the entry bitmap.
#include <gtest/gtest.h>

#include <string>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "tests/engine_data/dict_fixture.h"
#include "tools/databuild/dict_tables.h"

using namespace dictfix;

namespace {

db::DictionarySpec Words() {
  db::DictionarySpec d;
  d.info.creator = 0x54455354;
  d.info.dictId = 12;
  d.info.language = db::kLanguageChinese;
  d.info.transLanguage = db::kLanguageEnglish;
  d.info.iconText = u"USR";
  d.info.iconFillColor = 0x0099CC;
  d.info.menuName = u"Words";
  d.info.shortName = u"Words dictionary";
  db::DictFieldSpec field;
  field.name = u"Headword";
  field.name2 = u"Simplified";
  field.level = 3;
  d.info.fields.push_back(field);
  const char16_t* heads[] = {u"一", u"一定", u"丁", u"水"};
  uint32_t key = 500;
  for (const char16_t* h : heads) {
    db::DictEntrySpec e;
    e.hasKey = true;
    e.key = key;
    key += 7;
    e.text = h;
    e.headword = h;
    d.entries.push_back(e);
  }
  d.idMapFromKeys = true;
  d.charVariants = {{u'发', u"發髮"}, {u'后', u"后後"}};
  return d;
}

TEST(DictWriter, AWholeDictionaryReadsBackThroughTheSet) {
  DataFiles files;
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(db::AddDictionaryTables(Words(), &file, &error), 0) << error;
  db::DictionarySpec chars = Words();  // a character dictionary: ignored by the radical filter
  chars.info.dictId = 13;
  chars.info.flags = db::kDictCharacters;
  chars.entries.resize(1);
  chars.entries[0].headword = u"火";
  chars.entries[0].text = u"火";
  chars.charVariants.clear();
  db::DataFileSpec charFile;
  ASSERT_EQ(db::AddDictionaryTables(chars, &charFile, &error), 0) << error;
  files.Add(file);
  files.Add(charFile);

  EngineParams p = QuietParams();
  DictEngine* e = CreateEngine(files.files().data(), 2, &p);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(GetDictCount(e), 2);
  EXPECT_EQ(FindDictSlot(e, 0x54455354, 12), 0);
  EXPECT_EQ(GetDictEntryCount(e, 0), 4u);
  EXPECT_EQ(GetDictLanguage(e, 0), kLanguageChinese);
  WCHAR buf[kDictIconBufferUnits];
  GetDictIconText(e, 0, buf, kDictIconBufferUnits);
  EXPECT_EQ(std::u16string(buf), u"USR");
  WCHAR name[40], name2[40];
  uint32_t level = 0;
  ASSERT_EQ(GetDictFieldInfo(e, 0, 0, &level, name, 40, name2, 40), 0);
  EXPECT_EQ(std::u16string(name), u"Headword");
  EXPECT_EQ(std::u16string(name2), u"Simplified");
  EXPECT_EQ(level, 3u);

  // Keys are the lasting entry ids; the map gives their rows back.
  EXPECT_EQ(GetDictEntryKey(e, 0, 2), 514);
  EXPECT_EQ(MapDictEntryId(e, 0, 514), 2);
  EXPECT_EQ(MapDictEntryId(e, 0, 515), -1);
  EXPECT_EQ(HasDictEntry(e, 0x54455354, 12, 521), 1);

  EXPECT_EQ(MapCharVariant(e, 0, u'发'), u'發');
  EXPECT_EQ(MapCharVariant(e, 0, u'后'), u'后');

  // Single-character headwords only.
  EXPECT_EQ(DictSetHasCharEntry(e, u'一'), 1);
  EXPECT_EQ(DictSetHasCharEntry(e, u'丁'), 1);
  EXPECT_EQ(DictSetHasCharEntry(e, u'定'), 0);
  EXPECT_EQ(DictSetHasCharEntry(e, u'火'), 0);
  EXPECT_EQ(TestDictEntryBit(e, 1, u'火'), 1);

  ASSERT_EQ(GetDictListLength(e, 0), 2);
  EXPECT_EQ(e->orderLists[0]->items[1].slot, 1u);  // the character dictionary goes last
  EXPECT_EQ(e->orderLists[0]->items[0].has1100, 1);
  DestroyAndFree(e);
}

}  // namespace
