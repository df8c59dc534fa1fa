// The shared record cache under pressure from whole files: tables whose
// key ranges pass 16 bits, and more tables holding blocks than the cache
// has entries.
#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;

// A dictionary of `rows` one-row blocks without a block index: each table
// reserves as many cache keys as it has rows.
firstgen::DatabaseSpec OneRowBlocks(uint32_t id, uint32_t rows, char16_t tag) {
  firstgen::DatabaseSpec spec;
  firstgen::DictHeaderSpec h;
  h.id = id;
  spec.header = firstgen::DictionaryHeader(h);
  firstgen::TableSpec t;
  t.flags = firstgen::kTextRows | firstgen::kNoIndex;
  t.rowsPerBlock = 1;
  t.kind = firstgen::kKindEntryTable;
  for (uint32_t i = 0; i < rows; ++i)
    t.subTables[0].push_back({std::u16string(1, tag) + u"\u4E00" + char16_t(u'0' + i % 10), {}, 0});
  spec.tables = {t};
  return spec;
}

std::u16string Entry(FirstGenDictionary* d, uint32_t n) {
  uint32_t block = 0, row = 0;
  if (LocateFirstGenEntry(d->entries, 0, n, &block, &row) != 0) return u"<none>";
  OwnedText text;
  ReadFirstGenEntry(d->entries, 0, block, row, &text.tb, nullptr, 0, nullptr);
  return text.Text();
}

// Two dictionaries reserving 40,000 keys each: the second's keys pass
// 65,535, where 16-bit keys would hand it blocks of the first.
TEST_F(ReaderTest, KeysOfLargeDictionariesNeverCollide) {
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("a.pdb", OneRowBlocks(1, 40000, u'A')).c_str(), cache_), 0);
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("b.pdb", OneRowBlocks(2, 40000, u'B')).c_str(), cache_), 0);
  FirstGenDictionary* a = FindFirstGenDictionary(&set_, 1);
  FirstGenDictionary* b = FindFirstGenDictionary(&set_, 2);
  ASSERT_TRUE(a && b);
  EXPECT_GE(b->entries->keyBase + 30000u, 65536u);
  // B's row 30000 and A's row (30000 + 40000) mod 65536 would share a 16-bit key.
  const uint32_t folded = (b->entries->keyBase + 30000) % 65536 - a->entries->keyBase;
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Entry(a, folded), u"A\u4E00" + std::u16string(1, u'0' + folded % 10));
    EXPECT_EQ(Entry(b, 30000), u"B\u4E000");
  }
}

// A user file with 130 lists: each list's table keeps its loaded block, so
// more blocks are in use than the cache holds; reading goes on uncached.
TEST_F(ReaderTest, MoreListsThanCacheEntriesStillRead) {
  firstgen::UserFileSpec spec;
  for (uint32_t l = 0; l < 130; ++l) {
    firstgen::CardListSpec list{"List " + std::to_string(l), {}};
    for (uint32_t k = 0; k < 3; ++k) {
      firstgen::CardSpec c;
      c.entryNumber = 1000 * l + k;
      list.cards.push_back(c);
    }
    spec.lists.push_back(list);
  }
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("lists.pdb", firstgen::UserFile(spec)).c_str(), cache_), 0);
  UserDataView* view = set_.userData;
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(GetUserListCount(view), 130u);
  for (uint32_t k = 0; k < 3; ++k) {
    for (uint32_t l = 0; l < 130; ++l) {
      FirstGenCardRecord card;
      ASSERT_EQ(ReadUserCard(view, l, k, &card), 0);
      EXPECT_EQ(card.entryNumber, 1000 * l + k);
    }
  }
  EXPECT_EQ(cache_->count, kRecordCacheEntries);
}

}  // namespace
}  // namespace reader_test
