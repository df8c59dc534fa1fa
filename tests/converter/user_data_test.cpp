// The user data file: flags, ranks, settings, card lists and cards, from a
// container and from a bundle, and its fields bounded by the header.
#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;

std::string Name(ByteView v) { return std::string(reinterpret_cast<const char*>(v.data), v.size); }

class UserDataTest : public ReaderTest {
 protected:
  UserDataView* Open(const firstgen::UserFileSpec& spec, bool bundle) {
    const firstgen::DatabaseSpec db = firstgen::UserFile(spec);
    const int result = bundle ? OfferFirstGenBundle(&set_, PutBundle("user.kve", db).c_str())
                              : OfferFirstGenContainer(&set_, PutContainer("user.pdb", db).c_str(), cache_);
    EXPECT_EQ(result, kFirstGenAdded);
    return set_.userData;
  }
};

TEST_F(UserDataTest, SampleUserFileReadsFromContainerAndBundle) {
  const firstgen::UserFileSpec spec = firstgen::SampleUserFile(CedictRows());
  for (bool bundle : {false, true}) {
    SCOPED_TRACE(bundle ? "bundle" : "container");
    UserDataView* view = Open(spec, bundle);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(GetUserRankCount(view), 5);
    ASSERT_EQ(GetUserFlagCount(view), 3u);
    char name[kFlagNameBytes + 1];
    ASSERT_EQ(GetUserFlagName(view, 1, name), 0);
    EXPECT_STREQ(name, "a/b");
    EXPECT_EQ(GetUserFlagName(view, 3, name), 1);
    EXPECT_EQ(GetUserSetting(view, kSettingStudyMode), 3);
    EXPECT_EQ(GetUserSetting(view, kSettingRankDivisor), 200);
    EXPECT_EQ(GetUserSetting(view, kSettingRankTableSwitch), 1);
    uint16_t word = 0;
    ASSERT_EQ(GetUserRankWord(view, 3, 1, &word), 0);
    EXPECT_EQ(word, 8);
    ASSERT_EQ(GetUserRankWord(view, 4, 0, &word), 0);
    EXPECT_EQ(word, 25);
    // Rows at or past the rank count are not rows.
    EXPECT_EQ(GetUserRankWord(view, 5, 0, &word), 1);

    ASSERT_EQ(GetUserListCount(view), spec.lists.size());
    for (uint32_t l = 0; l < spec.lists.size(); ++l) {
      SCOPED_TRACE(l);
      EXPECT_EQ(Name(GetUserListName(view, l)), spec.lists[l].name);
      ASSERT_EQ(GetUserListCardCount(view, l), spec.lists[l].cards.size());
      for (uint32_t k = 0; k < spec.lists[l].cards.size(); ++k) {
        const firstgen::CardSpec& want = spec.lists[l].cards[k];
        FirstGenCardRecord card;
        ASSERT_EQ(ReadUserCard(view, l, k, &card), 0);
        EXPECT_EQ(card.dictionaryId, want.dictionaryId);
        EXPECT_EQ(card.entryNumber, want.entryNumber);
        EXPECT_EQ(card.firstReview, want.firstReview);
        EXPECT_EQ(card.lastReview, want.lastReview);
        EXPECT_EQ(card.flags, want.flags);
        EXPECT_EQ(card.history, want.history);
        EXPECT_EQ(card.correct, want.correct);
        EXPECT_EQ(card.incorrect, want.incorrect);
        EXPECT_EQ(card.counterA, want.counterA);
        EXPECT_EQ(card.counterB, want.counterB);
        EXPECT_EQ(card.rank, want.rank);
      }
      FirstGenCardRecord past;
      EXPECT_EQ(ReadUserCard(view, l, static_cast<uint32_t>(spec.lists[l].cards.size()), &past), 1);
    }
    // The long list name comes whole.
    EXPECT_EQ(GetUserListName(view, 4).size, 140u);
    // A second user file is refused; the first stays.
    EXPECT_EQ(OfferFirstGenContainer(&set_, PutContainer("user2.pdb", firstgen::UserFile(spec)).c_str(), cache_),
              kFirstGenRefused);
    EXPECT_EQ(set_.userData, view);
    CloseFirstGenDictSet(&set_);
  }
}

TEST_F(UserDataTest, ManyCardsSpanBlocks) {
  firstgen::UserFileSpec spec;
  spec.cardsPerBlock = 7;
  spec.lists.push_back({"Big", {}});
  for (uint32_t i = 0; i < 100; ++i) {
    firstgen::CardSpec c;
    c.entryNumber = 3 * i;
    c.rank = static_cast<uint8_t>(i);
    spec.lists[0].cards.push_back(c);
  }
  UserDataView* view = Open(spec, false);
  ASSERT_NE(view, nullptr);
  for (uint32_t k : {0u, 6u, 7u, 50u, 99u}) {
    FirstGenCardRecord card;
    ASSERT_EQ(ReadUserCard(view, 0, k, &card), 0);
    EXPECT_EQ(card.entryNumber, 3 * k);
    EXPECT_EQ(card.rank, k);
  }
}

TEST_F(UserDataTest, FieldsOutsideTheHeaderOrRowReadAsAbsent) {
  firstgen::UserFileSpec spec = firstgen::SampleUserFile(CedictRows());
  // 40 flags claimed: the space for names holds 32, and card flags are 32 bits.
  spec.flagCount = 40;
  // Nine ranks claimed, five rows written: the header ends after row 4.
  spec.rankCount = 9;
  // Card rows of 20 bytes: the fields from 20 on are not there.
  spec.cardRowSize = 20;
  UserDataView* view = Open(spec, false);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(GetUserFlagCount(view), kMaxUserFlags);
  char name[kFlagNameBytes + 1];
  ASSERT_EQ(GetUserFlagName(view, 31, name), 0);
  EXPECT_STREQ(name, "");
  uint16_t word = 0;
  EXPECT_EQ(GetUserRankWord(view, 4, 6, &word), 0);
  EXPECT_EQ(GetUserRankWord(view, 5, 0, &word), 1);
  FirstGenCardRecord card;
  ASSERT_EQ(ReadUserCard(view, 0, 1, &card), 0);
  EXPECT_EQ(card.entryNumber, spec.lists[0].cards[1].entryNumber);
  EXPECT_EQ(card.flags, spec.lists[0].cards[1].flags);
  EXPECT_EQ(card.history, 0u);
  EXPECT_EQ(card.correct, 0);
  EXPECT_EQ(card.rank, 0);
}

TEST_F(UserDataTest, CardCountIsBoundedByTheRowsTheBlocksCanHold) {
  firstgen::UserFileSpec spec = firstgen::SampleUserFile(CedictRows());
  firstgen::DatabaseSpec db = firstgen::UserFile(spec);
  db.tables[0].rowCount = 0xFFFFFFFF;  // "Lesson 1", three cards in one block
  db.tables[1].rowCount = 1;           // "Verbs": fewer than it holds
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("count.pdb", db).c_str(), cache_), kFirstGenAdded);
  UserDataView* view = set_.userData;
  ASSERT_NE(view, nullptr);
  const uint32_t count = GetUserListCardCount(view, 0);
  EXPECT_GE(count, 3u);
  EXPECT_LT(count, 200u);
  EXPECT_EQ(GetUserListCardCount(view, 1), 1u);
  FirstGenCardRecord card;
  for (uint32_t k = 3; k < count; ++k) EXPECT_EQ(ReadUserCard(view, 0, k, &card), 1);
}

TEST_F(UserDataTest, FlagNamesEndAtTwentyFourBytes) {
  firstgen::UserFileSpec spec;
  spec.flagNames = {std::string(24, 'x'), "next"};
  UserDataView* view = Open(spec, true);
  ASSERT_NE(view, nullptr);
  char name[kFlagNameBytes + 1];
  ASSERT_EQ(GetUserFlagName(view, 0, name), 0);
  EXPECT_EQ(std::string(name), std::string(24, 'x'));
  ASSERT_EQ(GetUserFlagName(view, 1, name), 0);
  EXPECT_STREQ(name, "next");
}

TEST_F(UserDataTest, ShortHeaderHoldsOnlyTheFlagsInsideIt) {
  firstgen::DatabaseSpec db = firstgen::UserFile(firstgen::SampleUserFile(CedictRows()));
  // The header ends inside the second flag name.
  db.header.resize(kFlagNamesOffset + kFlagNameBytes + 5);
  ASSERT_EQ(OfferFirstGenContainer(&set_, PutContainer("short.pdb", db).c_str(), cache_), kFirstGenAdded);
  ASSERT_NE(set_.userData, nullptr);
  EXPECT_EQ(GetUserFlagCount(set_.userData), 2u);
  char name[kFlagNameBytes + 1];
  ASSERT_EQ(GetUserFlagName(set_.userData, 1, name), 0);
  EXPECT_STREQ(name, "a/b");
  uint16_t word = 0;
  EXPECT_EQ(GetUserRankWord(set_.userData, 0, 0, &word), 1);
}

}  // namespace
}  // namespace reader_test
