// Entries written by the data-file writer from plain fields and read back
// through the program's fetch: the writer and the formatter agree on the
// markup.
#include "tools/databuild/entry_markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine_fetch/fetch_fixture.h"

using namespace fetchfix;

namespace {

TEST(EntryMarkup, PinyinWithToneNumbersBecomesSyllableCodes) {
  struct Case {
    const char* pinyin;
    std::u16string codes;
  };
  const Case cases[] = {
      {"ni3 hao3", Syl("ni", 3) + Syl("hao", 3)},
      {"xue2 sheng5", Syl("xue", 2) + Syl("sheng", 0)},
      {"ma", Syl("ma", 0)},
      {"Bei3 jing1", kWordBreak + Syl("bei", 3) + Syl("jing", 1)},
      {"lu:4", Syl("lv", 4)},
      {"lü4", Syl("lv", 4)},
      {"nv3", Syl("nv", 3)},
      {"A xing2", u"A " + Syl("xing", 2)},
      {"ni3 , hao3", Syl("ni", 3) + u" , " + Syl("hao", 3)},
      {"  hao3  ", Syl("hao", 3)},
      {"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(db::PinyinNumbersToCodes(c.pinyin), c.codes) << c.pinyin;
}

TEST(EntryMarkup, WritesFieldsSectionsAndLinks) {
  db::PlainEntry e;
  e.simplified = u"学生";
  e.traditional = u"學生";
  e.pinyin = "xue2 sheng5";
  e.senses = {{u"student", {}}, {u"see", {{u"习惯", u"習慣", "xi2 guan4"}}}};
  e.classifiers = {{u"个", u"個", "ge4"}};
  std::u16string markup;
  std::string error;
  ASSERT_EQ(db::MakeEntryMarkup(e, &markup, &error), 0) << error;
  const std::u16string xiguan = Syl("xi", 2) + Syl("guan", 4);
  EXPECT_EQ(markup, Field(db::kMarkupHeadword) + u"学生" + kSep + u"學-" + Field(db::kMarkupPinyin) + Syl("xue", 2) +
                        Syl("sheng", 0) + Sec(0) + Field(db::kMarkupDefinition) + u"student" + Sec(0) +
                        Field(db::kMarkupDefinition) + u"see" + Field(db::kMarkupLink) + u"习惯" + xiguan + kSep +
                        u"习惯|習慣[" + xiguan + u"]" + kClose + Field(db::kMarkupClassifiers) + u"个|個[" +
                        Syl("ge", 4) + u"]");

  // One sense, one form: no sections, no separator.
  db::PlainEntry plain{u"好", u"好", "hao3", {{u"good", {}}}, {}};
  ASSERT_EQ(db::MakeEntryMarkup(plain, &markup, &error), 0) << error;
  EXPECT_EQ(markup, Field(db::kMarkupHeadword) + u"好" + Field(db::kMarkupPinyin) + Syl("hao", 3) +
                        Field(db::kMarkupDefinition) + u"good");

  db::DictEntrySpec desc;
  ASSERT_EQ(db::MakeMarkupEntry(e, &desc, &error), 0) << error;
  EXPECT_EQ(desc.headword, u"学生");
  EXPECT_EQ(desc.wordLength, 2u);
}

TEST(EntryMarkup, RefusesWhatTheMarkupCannotHold) {
  std::string error;
  std::u16string markup;
  db::PlainEntry noHead;
  EXPECT_EQ(db::MakeEntryMarkup(noHead, &markup, &error), 1);
  EXPECT_FALSE(error.empty());
  db::PlainEntry reserved{u"好", u"", "", {{u"a\uE123b", {}}}, {}};
  EXPECT_EQ(db::MakeEntryMarkup(reserved, &markup, &error), 1);
  db::PlainEntry emptyLink{u"好", u"", "", {{u"", {{u"", u"", "hao3"}}}}, {}};
  EXPECT_EQ(db::MakeEntryMarkup(emptyLink, &markup, &error), 1);

  db::DictInfoSpec info;
  db::SetEntryMarkupFields(&info);
  EXPECT_EQ(db::CheckEntryFields(info, &error), 0) << error;
  db::DictInfoSpec plainLink = info;
  plainLink.fields[db::kMarkupLink].style = 0;  // its hidden target would show
  EXPECT_EQ(db::CheckEntryFields(plainLink, &error), 1);
  db::DictInfoSpec classTwo = info;
  classTwo.fields[db::kMarkupHeadword].classWord = 0x0200;  // both forms would run together
  EXPECT_EQ(db::CheckEntryFields(classTwo, &error), 1);
}

class EntryMarkupRead : public EngineFixture {};

TEST_F(EntryMarkupRead, TheProgramShowsWhatTheWriterMeant) {
  db::DictionarySpec desc;
  desc.info.creator = 0x434544;
  desc.info.dictId = 3;
  desc.info.shortName = u"Plain";
  db::SetEntryMarkupFields(&desc.info);
  desc.wordLengths = true;
  std::vector<db::PlainEntry> entries = {
      {u"学生",
       u"學生",
       "xue2 sheng5",
       {{u"student", {}}, {u"schoolchild", {}}},
       {{u"个", u"個", "ge4"}, {u"名", u"", "ming2"}}},
      {u"传统", u"傳統", "chuan2 tong3", {{u"tradition", {}}, {u"see also", {{u"习惯", u"習慣", "xi2 guan4"}}}}, {}},
      {u"北京", u"", "Bei3 jing1", {{u"Beijing", {}}}, {}},
  };
  for (const db::PlainEntry& e : entries) {
    db::DictEntrySpec entry;
    std::string error;
    ASSERT_EQ(db::MakeMarkupEntry(e, &entry, &error), 0) << error;
    desc.entries.push_back(entry);
  }
  AddDict(desc);
  ASSERT_NE(Create(), nullptr);

  const std::u16string xiguan = Syl("xi", 2) + Syl("guan", 4);
  struct Case {
    uint32_t entry;
    uint32_t options;
    std::u16string expected;
  };
  const Case cases[] = {
      {0, 0, u"学生\nxuésheng\n1. student\n2. schoolchild\n\uEAB2CL: \uEAB3个|個[gè], 名[míng]"},
      {0, kFetchOtherFormBracket,
       u"学生[學生]\nxuésheng\n1. student\n2. schoolchild\n\uEAB2CL: \uEAB3个|個[gè], 名[míng]"},
      {0, kFetchSecondFormFirst | kFetchOtherFormBracket | kFetchBracketDashMain | kFetchOneLine,
       u"學生[学-] xuésheng 1. student 2. schoolchild \uEAB2CL: \uEAB3个|個[gè], 名[míng]"},
      {1, 0, u"传统\nchuántǒng\n1. tradition\n2. see also \uEAD1习惯" + xiguan + u"\uEAD0习惯|習慣[xíguàn]\uEAD2"},
      {2, 0, u"北京\nBěijīng\nBeijing"},
  };
  for (const Case& c : cases) {
    EntryFetchRequest request{};
    request.entry = c.entry;
    request.options = c.options;
    int rc = -1;
    EXPECT_EQ(Fetch(request, &rc), c.expected) << c.entry << " " << c.options;
    EXPECT_EQ(rc, 0);
  }
  EXPECT_EQ(GetEntryWordLength(engine_, 0, 0), 2);
  EXPECT_EQ(GetEntryWordLength(engine_, 0, 2), 2);
}

}  // namespace
