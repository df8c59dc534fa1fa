// The editors' lookup: start and end references, link texts with a reading,
// stepping through rows and dictionaries, the display mode, the entry texts
// and the card addition.
#include "engine/link_lookup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/lookup_services.h"
#include "tests/engine_lookup/lookup_fixture.h"

using namespace lookupfix;

namespace {

class LinkLookupTest : public LookupFixture {
 protected:
  void TearDown() override {
    if (lookup_) DestroyLinkLookup(lookup_, nullptr);
    lookup_ = nullptr;
    LookupFixture::TearDown();
  }
  LinkLookup* Make(const LinkLookupStart* start = nullptr) {
    lookup_ = NewLinkLookup(engine_, start);
    EXPECT_NE(lookup_, nullptr);
    return lookup_;
  }
  std::pair<uint16_t, uint32_t> Current() {
    uint16_t slot = 0;
    uint32_t entry = 0;
    EXPECT_EQ(LinkLookupGetEntry(lookup_, &slot, &entry), 0);
    return {slot, entry};
  }
  std::u16string Headword(uint16_t slot, uint32_t entry) {
    switch (slot) {
      case kCedict:
        return entry < cedict_.size() ? cedict_[entry].simplified : u"?";
      case kMini:
        return entry < mini_.size() ? mini_[entry].simplified : u"?";
      case kEnglish:
        return entry < englishOrder_.size() ? english_[englishOrder_[entry]].simplified : u"?";
      case kChars:
        return entry < chars_.size() ? chars_[entry].simplified : u"?";
      default:
        return u"?";
    }
  }
  std::u16string Pron() {
    WCHAR buffer[41];
    LinkLookupFetchPron(lookup_, buffer, 41);
    return buffer;
  }
  static std::u16string Codes(const char* pinyin) { return db::PinyinNumbersToCodes(pinyin); }

  LinkLookup* lookup_ = nullptr;
};

TEST_F(LinkLookupTest, StartAndEndReferences) {
  BuildStandard();
  SetPref(engine_, 50, 1);
  SetPref(engine_, 210, 3);
  const uint32_t tian = EntryOf(mini_, u"天");
  LinkLookupStart start{GetDictCreator(engine_, kMini), kMiniId,
                        static_cast<uint32_t>(GetDictEntryKey(engine_, kMini, tian)), 0x101};
  Make(&start);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, tian));
  EXPECT_EQ(lookup_->readerList, 1);
  EXPECT_EQ(lookup_->displayMode, 1);
  EXPECT_EQ(lookup_->audioSet, 1);
  EXPECT_EQ(LinkLookupGetDictLanguage(lookup_), kLanguageChinese);
  LookupButtonInfo info;
  EXPECT_EQ(LinkLookupGetDictInfo(lookup_, &info), 0);
  EXPECT_EQ(std::u16string(info.iconText), u"MI");

  // Stepping on and handing the entry back.
  EXPECT_EQ(LinkLookupCommand(lookup_, 7, 0), 0);
  const auto moved = Current();
  EXPECT_NE(moved.second, tian);
  DictEntryRef ref{};
  DestroyLinkLookup(lookup_, &ref);
  lookup_ = nullptr;
  EXPECT_EQ(ref.creator, GetDictCreator(engine_, kMini));
  EXPECT_EQ(ref.dictId, kMiniId);
  EXPECT_EQ(MapDictEntryId(engine_, kMini, static_cast<int32_t>(ref.entry)), static_cast<int32_t>(moved.second));

  // A dictionary that is gone: the first slot, but the reader flag counts.
  LinkLookupStart gone{0x11111111, 99, 0, 1};
  Make(&gone);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{0}, 0u));
  EXPECT_EQ(lookup_->readerList, 1);
}

TEST_F(LinkLookupTest, LinkWithReadingPicksThatReading) {
  BuildStandard();
  Make();
  struct Case {
    const char* reading;
    const char16_t* headword;
  } cases[] = {{"hao4", u"好"}, {"hao3", u"好"}, {"Zhong1 guo2", u"中国"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reading);
    const std::u16string link = u"\uEAD8" + std::u16string(c.headword) + u"\uEAD9" + Codes(c.reading) + u"\uEAD0";
    EXPECT_EQ(LinkLookupSetQuery(lookup_, link.c_str(), 0, 0, kNoDictSlot), 0);
    EXPECT_EQ(std::u16string(lookup_->headword), c.headword);
    EXPECT_EQ(std::u16string(lookup_->secondText), Codes(c.reading));
    ASSERT_NE(lookup_->results, nullptr);
    ASSERT_GT(lookup_->results->count, 1u);
    const auto [slot, entry] = Current();
    EXPECT_EQ(Headword(slot, entry), c.headword);
    EXPECT_EQ(Pron(), Codes(c.reading));
  }
  // Without a reading the first row is shown.
  EXPECT_EQ(LinkLookupSetQuery(lookup_, u"好", 0, 0, kNoDictSlot), 0);
  EXPECT_EQ(lookup_->row, 0u);
  EXPECT_EQ(lookup_->secondText[0], 0);
  const SearchResultItem first = lookup_->results->items[0];
  EXPECT_EQ(Current(), std::make_pair(static_cast<uint16_t>(first.first & kResultSlotMask), first.entry));
}

TEST_F(LinkLookupTest, ExactLinkPicksTheHomograph) {
  BuildStandard();
  Make();
  EXPECT_EQ(LinkLookupSetQuery(lookup_, u"\u00B2hao", 0, 1, kMini), 0);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, EntryOf(mini_, u"好", 1)));
  EXPECT_EQ(LinkLookupSetQuery(lookup_, u"\u00B9hao", 0, 1, kMini), 0);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, EntryOf(mini_, u"好", 0)));
}

TEST_F(LinkLookupTest, NothingToSearch) {
  BuildStandard();
  Make();
  LinkLookupReset(lookup_, kMini, 2);
  // No text and no headword.
  EXPECT_EQ(LinkLookupSetQuery(lookup_, nullptr, 0, 0, kNoDictSlot), 1);
  EXPECT_EQ(LinkLookupSetDict(lookup_, kCedict, 0), 1);
  EXPECT_EQ(LinkLookupCommand(lookup_, 2, 0), 1);
  EXPECT_EQ(LinkLookupCommand(lookup_, 3, -1), 1);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 2u));
  // A search that finds nothing keeps the entry.
  EXPECT_EQ(LinkLookupSetQuery(lookup_, u"", 0, 0, kNoDictSlot), 0);
  EXPECT_EQ(lookup_->results, nullptr);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 2u));
  // Terms without a headword change nothing.
  LinkLookupSetTerms(lookup_, u"天", u"x", 1);
  EXPECT_EQ(LinkLookupSetTerms(lookup_, nullptr, u"y", 0), 0);
  EXPECT_EQ(std::u16string(lookup_->headword), u"天");
  EXPECT_EQ(std::u16string(lookup_->secondText), u"x");
  EXPECT_EQ(lookup_->follow, 1);
  LinkLookupSetTerms(lookup_, u"01234567890123456789012345678901234567890123", u"", 0);
  EXPECT_EQ(std::u16string(lookup_->headword).size(), 39u);
  EXPECT_EQ(lookup_->secondText[0], 0);
}

TEST_F(LinkLookupTest, StepsThroughResults) {
  BuildStandard();
  Make();
  ASSERT_EQ(LinkLookupSetQuery(lookup_, u"na", 1, 0, kNoDictSlot), 0);
  ASSERT_NE(lookup_->results, nullptr);
  const uint32_t count = lookup_->results->count;
  ASSERT_GT(count, 2u);
  auto itemAt = [&](uint32_t row) {
    const SearchResultItem& it = lookup_->results->items[row];
    return std::make_pair(static_cast<uint16_t>(it.first & kResultSlotMask), it.entry);
  };
  // From the first row on.
  uint32_t row = 99, rows = 0;
  LinkLookupGetPosition(lookup_, &row, &rows);
  EXPECT_EQ(row, 0u);
  EXPECT_EQ(rows, count);
  EXPECT_EQ(LinkLookupCommand(lookup_, 8, 0), 0);  // nothing before the first
  EXPECT_EQ(Current(), itemAt(0));
  EXPECT_EQ(LinkLookupCommand(lookup_, 7, 0), 0);
  EXPECT_EQ(Current(), itemAt(1));
  EXPECT_EQ(lookup_->row, 1u);
  // The last row: 7 changes nothing, 8 goes back.
  ASSERT_EQ(LinkLookupSetResults(lookup_, lookup_->results, count - 1), 0);
  EXPECT_EQ(Current(), itemAt(count - 1));
  EXPECT_EQ(LinkLookupCommand(lookup_, 7, 0), 0);
  EXPECT_EQ(Current(), itemAt(count - 1));
  EXPECT_EQ(lookup_->row, count - 1);
  EXPECT_EQ(LinkLookupCommand(lookup_, 8, 0), 0);
  EXPECT_EQ(Current(), itemAt(count - 2));
  // A row beyond the list starts at the first.
  SearchResultList* copy = CopyResultList(lookup_->results);
  LinkLookupSetResults(lookup_, copy, count + 5);
  FreeResultList(copy);
  EXPECT_EQ(lookup_->row, 0u);
  EXPECT_EQ(Current(), itemAt(0));
  // An empty list changes nothing.
  SearchResultList* empty = NewResultList(0);
  EXPECT_EQ(LinkLookupSetResults(lookup_, empty, 0), 0);
  FreeResultList(empty);
  EXPECT_EQ(lookup_->results->count, count);
}

TEST_F(LinkLookupTest, StepsThroughTheWordListAndFollows) {
  BuildStandard();
  Make();
  const uint32_t count = GetDictEntryCount(engine_, kMini);
  const int32_t last = GetDictEntryAtPosition(engine_, kMini, static_cast<int32_t>(count - 1));
  const int32_t first = GetDictEntryAtPosition(engine_, kMini, 0);
  // The last entry: 7 changes nothing.
  LinkLookupReset(lookup_, kMini, static_cast<uint32_t>(last));
  EXPECT_EQ(LinkLookupCommand(lookup_, 7, 0), 0);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, static_cast<uint32_t>(last)));
  uint32_t position = 0, rows = 0;
  LinkLookupGetPosition(lookup_, &position, &rows);
  EXPECT_EQ(position, count - 1);
  EXPECT_EQ(rows, count);
  // The first: 8 changes nothing; 7 takes the next and, following, its
  // headword and reading.
  LinkLookupReset(lookup_, kMini, static_cast<uint32_t>(first));
  LinkLookupSetTerms(lookup_, u"old", u"old", 1);
  EXPECT_EQ(LinkLookupCommand(lookup_, 8, 0), 0);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, static_cast<uint32_t>(first)));
  EXPECT_EQ(std::u16string(lookup_->headword), u"old");
  EXPECT_EQ(LinkLookupCommand(lookup_, 7, 0), 0);
  const int32_t second = GetDictEntryAtPosition(engine_, kMini, 1);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, static_cast<uint32_t>(second)));
  EXPECT_NE(std::u16string(lookup_->headword).find(mini_[static_cast<size_t>(second)].simplified),
            std::u16string::npos);
  EXPECT_EQ(std::u16string(lookup_->secondText), Pron());
  EXPECT_FALSE(Pron().empty());
  // Without follow the texts stay.
  LinkLookupSetTerms(lookup_, u"old", u"old", 0);
  LinkLookupCommand(lookup_, 7, 0);
  EXPECT_EQ(std::u16string(lookup_->headword), u"old");
}

TEST_F(LinkLookupTest, OtherLanguage) {
  BuildStandard();
  Make();
  ASSERT_EQ(LinkLookupSetQuery(lookup_, u"好", 0, 0, kNoDictSlot), 0);
  ASSERT_EQ(LinkLookupGetDictLanguage(lookup_), kLanguageChinese);
  // The one English dictionary is the last item of its list, and still taken.
  LinkLookupSetTerms(lookup_, u"good", nullptr, 0);
  EXPECT_EQ(LinkLookupCommand(lookup_, 2, 0), 0);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kEnglish}, EnglishEntryOf(u"good")));
  EXPECT_EQ(LinkLookupGetDictLanguage(lookup_), kLanguageEnglish);
  EXPECT_EQ(lookup_->dictChosen, 1);
  // No pronunciation in an English dictionary.
  EXPECT_EQ(Pron(), u"");
  LinkLookupClearDictChosen(lookup_);
  EXPECT_EQ(lookup_->dictChosen, 0);
}

TEST_F(LinkLookupTest, OtherLanguageWithoutItsDictionaries) {
  AddCedict();
  AddMini();
  Build();
  Make();
  ASSERT_EQ(LinkLookupSetQuery(lookup_, u"好", 0, 0, kNoDictSlot), 0);
  const auto before = Current();
  const uint32_t count = lookup_->results->count;
  EXPECT_EQ(LinkLookupCommand(lookup_, 2, 0), 0);
  EXPECT_EQ(Current(), before);
  EXPECT_EQ(LinkLookupGetDictLanguage(lookup_), kLanguageChinese);
  EXPECT_EQ(lookup_->results->count, count);
  EXPECT_EQ(lookup_->dictChosen, 0);
}

TEST_F(LinkLookupTest, NextDictionarySearchesTheHeadwordThere) {
  BuildStandard();
  Make();
  ASSERT_EQ(LinkLookupSetQuery(lookup_, u"天", 0, 0, kNoDictSlot), 0);
  const uint16_t from = Current().first;
  const uint16_t next = FindNextDictionary(engine_, kLanguageChinese, from, -1, 0);
  ASSERT_NE(next, kNoDictSlot);
  EXPECT_EQ(LinkLookupCommand(lookup_, 3, -1), 0);
  const auto [slot, entry] = Current();
  EXPECT_EQ(slot, next);
  EXPECT_EQ(Headword(slot, entry), u"天");
  // And back again by number: the n-th of the cycle.
  EXPECT_EQ(LinkLookupCommand(lookup_, 3, static_cast<int32_t>(from == kCedict ? 0 : 1)), 0);
  const auto back = Current();
  EXPECT_EQ(back.first, CountCycleDictionaries(engine_, kLanguageChinese, 0, 0, 1, from == kCedict ? 0 : 1));
}

TEST_F(LinkLookupTest, DisplayModeAndTexts) {
  BuildStandard();
  Make();
  const uint32_t guo = EntryOf(mini_, u"中国");
  LinkLookupReset(lookup_, kMini, guo);
  MemHandle* h = NewMemHandle(0);
  ASSERT_EQ(LinkLookupCommand(lookup_, 4, 0), 0);
  LinkLookupFormatEntry(lookup_, h, 0);
  std::u16string plain = HandleText(h);
  ASSERT_EQ(LinkLookupCommand(lookup_, 4, 1), 0);
  LinkLookupFormatEntry(lookup_, h, 0);
  std::u16string second = HandleText(h);
  // The second display mode puts the other form first.
  ASSERT_NE(plain.find(u"中国"), std::u16string::npos);
  ASSERT_NE(second.find(u"中國"), std::u16string::npos);
  EXPECT_LT(plain.find(u"中国"), plain.find(u"中國"));
  EXPECT_LT(second.find(u"中國"), second.find(u"中国"));
  // The same text the service gives with the mode flag.
  FormatEntryText(engine_, h, kMini, guo, 0, 0x1000000);
  EXPECT_EQ(HandleText(h), second);
  // No entry: the "deleted" message.
  LinkLookupReset(lookup_, kMini, 0xFFFFFFFFu);
  LinkLookupFormatEntry(lookup_, h, 0);
  MemHandle* message = NewMemHandle(0);
  LoadBuiltinMessage(kMessageEntryDeleted, message);
  EXPECT_EQ(HandleText(h), HandleText(message));
  FreeMemHandle(message);
  FreeMemHandle(h);

  LinkLookupReset(lookup_, kMini, guo);
  WCHAR buffer[41];
  EXPECT_EQ(LinkLookupFetchEntry(lookup_, buffer, 41, 0), 0);
  EXPECT_NE(std::u16string(buffer).find(u"中"), std::u16string::npos);
  EXPECT_EQ(Pron(), Codes("Zhong1 guo2"));
  // No audio data: the two sets were tried and the flag moved on.
  SetPref(engine_, 210, 0);
  const uint8_t set = lookup_->audioSet;
  EXPECT_EQ(GetLinkLookupEntryAudio(lookup_, nullptr, nullptr, nullptr), kAudioNoGroup);
  EXPECT_NE(lookup_->audioSet, set);
}

TEST_F(LinkLookupTest, ResetKeepsTheOrderRecordsEntryUntilGiven) {
  BuildStandard();
  Make();
  FindDictOrderPosition(engine_, kMini)->savedEntry = 4;
  EXPECT_EQ(LinkLookupSetDict(lookup_, kMini, 1), 0);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 4u));
  FindDictOrderPosition(engine_, kMini)->savedEntry = -1;
  EXPECT_EQ(LinkLookupSetDict(lookup_, kMini, 1), 0);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 0u));
  LinkLookupReset(lookup_, kEnglish, 1);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kEnglish}, 1u));
  EXPECT_EQ(LinkLookupGetDictLanguage(lookup_), kLanguageEnglish);
}

// ---- cards ----

class LinkCards : public LinkLookupTest {
 protected:
  void SetUp() override {
    LinkLookupTest::SetUp();
    AddCedict();
    AddMini();
    db::DictionarySpec noCards = searchfix::ChineseDict({Row(u"天", u"天", "tian1", {u"sky"})}, 9, u"NoCards");
    noCards.info.flags = 0x100;
    AddDict(noCards);
    Build(true);
    Make();
    LinkLookupReset(lookup_, kMini, 2);
  }
};

TEST_F(LinkCards, RecordAndResults) {
  struct Case {
    const char* what;
    uint32_t command;
    int32_t argument;
    std::vector<std::pair<int32_t, int32_t>> prefs;
    bool fails, existed, filed;
    int result;
    uint32_t mode;
    std::vector<int32_t> categories;
  } cases[] = {
      {"new card", 6, 5, {}, false, false, false, kLinkCardAdded, 1, {5}},
      {"not reported", 6, 5, {{202, 0}}, false, false, false, kLinkCardNothing, 1, {5}},
      {"failure", 6, 5, {{202, 0}}, true, false, false, kLinkCardFailed, 1, {5}},
      {"existing, ask", 6, 5, {{201, 4}}, false, true, false, kLinkCardAsk, 4, {5}},
      {"existing, filed", 6, 5, {}, false, true, true, kLinkCardFiled, 1, {5}},
      {"existing", 6, 5, {}, false, true, false, kLinkCardExisted, 1, {5}},
      {"add anyway", 21, 5, {}, false, false, false, kLinkCardAdded, 3, {5}},
      {"use existing", 22, 5, {}, false, true, false, kLinkCardExisted, 1, {5}},
      {"default category", 6, -1, {{83, 8}}, false, false, false, kLinkCardAdded, 1, {8}},
      {"default category none", 6, -1, {}, false, false, false, kLinkCardAdded, 1, {}},
      {"no category", 6, -3, {{83, 8}}, false, false, false, kLinkCardAdded, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetPref(engine_, 83, -3);
    SetPref(engine_, 201, 1);
    SetPref(engine_, 202, 1);
    for (auto [id, value] : c.prefs) SetPref(engine_, id, value);
    host_.ResetCards();
    host_.saveFails = c.fails;
    host_.cardExisted = c.existed;
    host_.cardFiled = c.filed;
    EXPECT_EQ(LinkLookupCommand(lookup_, c.command, c.argument), c.result);
    ASSERT_EQ(host_.saveCalls, 1);
    EXPECT_EQ(host_.lastCardId, -1);
    EXPECT_EQ(host_.lastCard.scorefile, -1);
    EXPECT_EQ(host_.lastCard.linked, 1u);
    EXPECT_EQ(host_.lastCard.dictSlot, kMini);
    EXPECT_EQ(host_.lastCard.entry, 2u);
    EXPECT_EQ(host_.lastCard.duplicateMode, c.mode);
    EXPECT_EQ(host_.lastCategories, c.categories);
  }
}

TEST_F(LinkCards, NothingToAdd) {
  host_.ResetCards();
  LinkLookupReset(lookup_, kMini, 0xFFFFFFFFu);
  EXPECT_EQ(LinkLookupCommand(lookup_, 6, 5), kLinkCardNothing);
  LinkLookupReset(lookup_, 2, 0);
  EXPECT_EQ(LinkLookupCommand(lookup_, 6, 5), kLinkCardNotAllowed);
  EXPECT_EQ(host_.saveCalls, 0);
}

}  // namespace
