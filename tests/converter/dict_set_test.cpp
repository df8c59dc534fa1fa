// The set of open dictionaries: header fields, entries read by number from
// a container and from a bundle, the order, and the dictionaries refused.
#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;

// The dictionary without definitions under another id and flags.
firstgen::DatabaseSpec SmallDictionary(uint32_t id, uint16_t flags) {
  firstgen::DatabaseSpec spec = firstgen::NoDefinitionsDictionary(FirstRows(3));
  firstgen::PutBe(&spec.header, 4, 4, id);
  firstgen::PutBe(&spec.header, 24, 2, flags);
  return spec;
}

std::u16string EntryText(FirstGenDictionary* dict, uint32_t entryNumber) {
  uint32_t block = 0, row = 0;
  if (LocateFirstGenEntry(dict->entries, 0, entryNumber, &block, &row) != 0) return u"<not found>";
  OwnedText text;
  const uint32_t n = ReadFirstGenEntry(dict->entries, 0, block, row, &text.tb, nullptr, 0, nullptr);
  if (n == 0 || n == kEntryUnreadable) return u"<unreadable>";
  return text.Text();
}

TEST_F(ReaderTest, SampleDictionariesOpenWithTheirFieldsAndEntries) {
  std::string error;
  ASSERT_TRUE(firstgen::WriteSample(root_.host(), CedictRows(), &error)) << error;
  EXPECT_EQ(OfferFirstGenContainer(&set_, u"\\My Documents\\cedict.pdb", cache_), kFirstGenAdded);
  EXPECT_EQ(OfferFirstGenContainer(&set_, u"\\My Documents\\headwords.pdb", cache_), kFirstGenAdded);
  EXPECT_EQ(OfferFirstGenBundle(&set_, u"\\My Documents\\mywords.kve"), kFirstGenAdded);
  EXPECT_EQ(OfferFirstGenContainer(&set_, u"\\Program Files\\Old Sorvi Data\\userdata.pdb", cache_), kFirstGenAdded);
  ASSERT_EQ(set_.count, 3);
  ASSERT_NE(set_.userData, nullptr);

  // Ordered by flags: no definitions (0), Chinese-English (2), user (7).
  FirstGenDictionary* plain = set_.dicts[0];
  FirstGenDictionary* cedict = set_.dicts[1];
  FirstGenDictionary* user = set_.dicts[2];
  EXPECT_EQ(plain->id, firstgen::kNoDefinitionsId);
  EXPECT_EQ(cedict->id, firstgen::kCedictId);
  EXPECT_EQ(user->id, firstgen::kUserDictId);
  EXPECT_EQ(FindFirstGenDictionary(&set_, firstgen::kUserDictId), user);
  EXPECT_EQ(FindFirstGenDictionary(&set_, firstgen::kMissingDictId), nullptr);

  EXPECT_STREQ(cedict->name, "CC-CEDICT");
  EXPECT_EQ(cedict->flags, kDictHasDefinitions);
  EXPECT_EQ(cedict->identity3, 1);
  EXPECT_EQ(cedict->headwordLanguage, kLanguageChinese);
  EXPECT_EQ(cedict->secondLanguage, 0);
  EXPECT_NE(cedict->secondary, nullptr);
  EXPECT_EQ(cedict->entries->rowCount, CedictRows().size());
  // A bundle keeps its "from a bundle" flag.
  EXPECT_EQ(user->flags, kDictFromBundle | kDictHasDefinitions | kDictUser);
  EXPECT_EQ(user->secondary, nullptr);

  const auto& rows = CedictRows();
  for (uint32_t i : {0u, 1u, 17u, static_cast<uint32_t>(rows.size() - 1)}) {
    EXPECT_EQ(ShowUtf16(EntryText(cedict, firstgen::CedictEntryNumber(i))),
              ShowUtf16(firstgen::EntryMarkup(rows[i], true)));
  }
  EXPECT_EQ(EntryText(cedict, firstgen::CedictEntryNumber(0) + 1), u"<not found>");
  for (uint32_t i : {0u, 7u, 11u}) {
    EXPECT_EQ(ShowUtf16(EntryText(user, i)), ShowUtf16(firstgen::EntryMarkup(rows[i], true)));
  }
  for (uint32_t i : {0u, 30u, 59u}) {
    EXPECT_EQ(ShowUtf16(EntryText(plain, 0x10000u * (i + 1))), ShowUtf16(firstgen::EntryMarkup(rows[i], false)));
  }
  // The headword of 中国 in entry markup.
  uint32_t china = 0;
  for (uint32_t i = 0; i < rows.size(); ++i) {
    if (rows[i].simplified == "中国") china = i;
  }
  const std::u16string text = EntryText(cedict, firstgen::CedictEntryNumber(china));
  EXPECT_EQ(ShowUtf16(text.substr(0, text.find(u'\uEA03'))), ShowUtf16(u"\uEA01中国[-國]\uEA02Zhong\u2071 guo\u2072"));
}

TEST_F(ReaderTest, ContainerDictionariesLoseTheBundleFlag) {
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("d.pdb", SmallDictionary(5, 0x0003)).c_str(), cache_),
            kFirstGenAdded);
  ASSERT_EQ(OfferFirstGenBundle(&set_, PutBundle("d.kve", SmallDictionary(6, 0x0003)).c_str()), kFirstGenAdded);
  EXPECT_EQ(FindFirstGenDictionary(&set_, 5)->flags, 0x0002);
  EXPECT_EQ(FindFirstGenDictionary(&set_, 6)->flags, 0x0003);
}

TEST_F(ReaderTest, DuplicateIdsAndAThirtyThirdDictionaryAreRefused) {
  for (uint32_t i = 0; i < kMaxFirstGenDicts; ++i) {
    const std::u16string path = PutContainer("d" + std::to_string(i) + ".pdb", SmallDictionary(100 + i, 0x0002));
    ASSERT_EQ(OfferFirstGenContainer(&set_, path.c_str(), cache_), kFirstGenAdded) << i;
  }
  // The 33rd is refused even though its flags would sort it first.
  EXPECT_EQ(OfferFirstGenContainer(&set_, PutContainer("first.pdb", SmallDictionary(999, 0)).c_str(), cache_),
            kFirstGenRefused);
  EXPECT_EQ(set_.count, kMaxFirstGenDicts);
  EXPECT_EQ(FindFirstGenDictionary(&set_, 999), nullptr);
  CloseFirstGenDictSet(&set_);

  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("a.pdb", SmallDictionary(7, 2)).c_str(), cache_),
            kFirstGenAdded);
  EXPECT_EQ(OfferFirstGenBundle(&set_, PutBundle("b.kve", SmallDictionary(7, 0)).c_str()), kFirstGenRefused);
  EXPECT_EQ(set_.count, 1);
}

TEST_F(ReaderTest, OrderIsByFlagsThenEntryTableSize) {
  firstgen::DatabaseSpec big = firstgen::NoDefinitionsDictionary(FirstRows(20));
  firstgen::PutBe(&big.header, 4, 4, 50);
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("s.pdb", SmallDictionary(40, 2)).c_str(), cache_), 0);
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("b.pdb", big).c_str(), cache_), 0);
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("z.pdb", SmallDictionary(60, 0)).c_str(), cache_), 0);
  ASSERT_EQ(set_.count, 3);
  EXPECT_EQ(set_.dicts[0]->id, 50u);  // flags 0, 20 entries
  EXPECT_EQ(set_.dicts[1]->id, 60u);  // flags 0, 3 entries
  EXPECT_EQ(set_.dicts[2]->id, 40u);  // flags 2
}

TEST_F(ReaderTest, DatabasesThatAreNotDictionariesAreSetAside) {
  // No entry table (only a secondary one).
  firstgen::DatabaseSpec noEntries = SmallDictionary(3, 2);
  noEntries.tables[0].kind = firstgen::kKindSecondaryTable;
  EXPECT_EQ(OfferFirstGenContainer(&set_, PutContainer("n.pdb", noEntries).c_str(), cache_), kFirstGenRefused);
  // A kind that is neither dictionary nor user data.
  firstgen::DatabaseSpec other = SmallDictionary(4, 2);
  firstgen::PutBe(&other.header, 2, 2, 0x1234);
  EXPECT_EQ(OfferFirstGenContainer(&set_, PutContainer("o.pdb", other).c_str(), cache_), kFirstGenIgnored);
  // Table kinds past the header are not read: the entry table's kind word is cut off.
  firstgen::DatabaseSpec cut = SmallDictionary(5, 2);
  std::vector<firstgen::Bytes> records = Records(cut);
  records[0].resize(2 + 2 + 90 + 1);
  EXPECT_EQ(OfferFirstGenContainer(&set_, Put("c.pdb", firstgen::WriteContainer(records)).c_str(), cache_),
            kFirstGenRefused);
  EXPECT_EQ(OfferFirstGenContainer(&set_, u"\\missing.pdb", cache_), kFirstGenIgnored);
  EXPECT_EQ(set_.count, 0);
}

}  // namespace
}  // namespace reader_test
