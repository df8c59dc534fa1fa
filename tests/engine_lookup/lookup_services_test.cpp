// The lookup services: the search request of each option set, the homograph
// and marked rows, the dictionary cycle, the definition text, the audio
// sets, the button info and the compounds search.
#include "engine/lookup_services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/audio_index.h"
#include "engine/builtin_tables.h"
#include "engine/entry_formatter.h"
#include "engine/search.h"
#include "tests/engine_lookup/lookup_fixture.h"
#include "tools/databuild/audio_tables.h"

using namespace lookupfix;

namespace {

std::u16string Message(int n) {
  MemHandle* m = GetMessageText(n);
  std::u16string s = m ? std::u16string(static_cast<const char16_t*>(LockMemHandle(m))) : u"";
  if (m) {
    UnlockMemHandle(m);
    FreeTableHandle(m);
  }
  return s;
}

class LookupServices : public LookupFixture {};

// ---- the search request ----

TEST_F(LookupServices, RequestFieldsFollowOptionsAndPreferences) {
  BuildStandard();
  struct Case {
    const char* what;
    uint32_t options;
    std::vector<std::pair<int32_t, int32_t>> prefs;
    uint16_t slot;
    uint16_t language, kindMode;
    uint8_t anyStart, currentOnly, searchList, readerList, allFirst;
    uint32_t sortMode;
    uint8_t wholeSyllables, exactLength, strictExact, partialIsExact;
  };
  const Case cases[] = {
      // Defaults: sort 2 (preference 131), kind mode 2 (preference 115 = 1).
      {"plain", 0, {}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      {"repeat", kLookupRepeat, {}, kCedict, 4096, kKindModeByLanguage, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      {"any-language start", kLookupAnyLanguageStart, {}, kCedict, 4096, kKindModeBoth, 1, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      // 0x2 with 0x4: the language is the start dictionary's.
      {"start's language", kLookupAnyLanguageStart | kLookupExact, {}, kEnglish, 0, kKindModeBoth, 1, 0, 1, 0, 0, 2,
       0, 0, 0, 0},
      {"editors' link", kLookupAnyLanguageStart | kLookupExact | kLookupReaderList, {}, kEnglish, 0,
       kKindModeByLanguage, 1, 0, 0, 1, 0, 2, 0, 0, 0, 0},
      {"reader exact", kLookupExact | kLookupReaderList, {}, kEnglish, 4096, kKindModeEnglishFirst, 0, 0, 0, 1, 0, 2, 0,
       0, 0, 0},
      {"reader exact repeat", kLookupExact | kLookupReaderList | kLookupRepeat, {}, kCedict, 4096,
       kKindModeEnglishFirst, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0},
      {"reader", kLookupReaderList, {}, kCedict, 4096, kKindModeBoth, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0},
      {"current only", kLookupCurrentOnly, {}, kCedict, 4096, kKindModeBoth, 0, 1, 1, 0, 0, 2, 0, 0, 0, 0},
      {"all languages first", kLookupAllLanguagesFirst, {}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 1, 2, 0, 0, 0,
       0},
      {"scope 2", 0, {{132, 2}}, kCedict, 4096, kKindModeBoth, 0, 1, 1, 0, 0, 2, 0, 0, 0, 0},
      {"scope 2, exact", kLookupExact, {{132, 2}}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      {"scope 2, reader", kLookupReaderList, {{132, 2}}, kCedict, 4096, kKindModeBoth, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0},
      {"scope 1", 0, {{132, 1}}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      {"sort 1", 0, {{131, 1}}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0},
      {"sort 3", 0, {{131, 3}}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},
      {"kind 2", 0, {{115, 2}}, kCedict, 4096, kKindModeBothNoPinyinTest, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      {"kind 0", 0, {{115, 0}}, kCedict, 4096, kKindModeByLanguage, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      {"kind low byte", 0, {{115, 0x101}}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      {"kind 3", 0, {{115, 3}}, kCedict, 4096, kKindModeByLanguage, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0},
      {"exact length 1", 0, {{137, 1}}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 2, 0, 1, 0, 0},
      {"exact length 2", 0, {{137, 2}}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 2, 0, 1, 1, 0},
      {"whole syllables, partial exact", 0, {{117, 1}, {124, 1}}, kCedict, 4096, kKindModeBoth, 0, 0, 1, 0, 0, 2, 1,
       0, 0, 1},
  };
  for (const Case& c : cases) {
    SetPref(engine_, 115, 1);
    SetPref(engine_, 117, 0);
    SetPref(engine_, 124, 0);
    SetPref(engine_, 131, 2);
    SetPref(engine_, 132, 0);
    SetPref(engine_, 137, 0);
    for (auto [id, value] : c.prefs) SetPref(engine_, id, value);
    SearchRequest r;
    std::memset(&r, 0xAB, sizeof r);
    BuildLookupSearchRequest(engine_, u"hao", 4096, c.slot, c.options, &r);
    SCOPED_TRACE(c.what);
    EXPECT_EQ(std::u16string(r.query), u"hao");
    EXPECT_EQ(r.slots, nullptr);
    EXPECT_EQ(r.slotCount, 0);
    EXPECT_EQ(r.language, c.language);
    EXPECT_EQ(r.currentSlot, c.slot);
    EXPECT_EQ(r.anyLanguageStart, c.anyStart);
    EXPECT_EQ(r.sortMode, c.sortMode);
    EXPECT_EQ(r.wholeSyllables, c.wholeSyllables);
    EXPECT_EQ(r.keepPartial, 1);
    EXPECT_EQ(r.wholeKey, 1);
    EXPECT_EQ(r.exactLength, c.exactLength);
    EXPECT_EQ(r.strictExact, c.strictExact);
    EXPECT_EQ(r.partialIsExact, c.partialIsExact);
    EXPECT_EQ(r.currentOnly, c.currentOnly);
    EXPECT_EQ(r.allDictionaries, 0);
    EXPECT_EQ(r.fullText, 0);
    EXPECT_EQ(r.addFullText, 0);
    EXPECT_EQ(r.addHeadword, 0);
    EXPECT_EQ(r.plainWildcards, 0);
    EXPECT_EQ(r.searchListOnly, c.searchList);
    EXPECT_EQ(r.readerListOnly, c.readerList);
    EXPECT_EQ(r.kindMode, c.kindMode);
    EXPECT_EQ(r.allLanguagesFirst, c.allFirst);
  }
}

TEST_F(LookupServices, RunLookupSearchKeepsToTheCurrentDictionaryWhenAsked) {
  BuildStandard();
  SearchResultList* all = RunLookupSearch(engine_, u"hao", 4096, kCedict, 0);
  ASSERT_NE(all, nullptr);
  SearchResultList* mini = RunLookupSearch(engine_, u"hao", 4096, kMini, kLookupCurrentOnly);
  ASSERT_NE(mini, nullptr);
  const auto items = Items(mini);
  EXPECT_EQ(items.size(), 2u);
  for (auto [slot, entry] : items) {
    EXPECT_EQ(slot, kMini);
    EXPECT_EQ(mini_[entry].simplified, u"好");
  }
  bool cedictSeen = false;
  for (auto [slot, entry] : Items(all)) cedictSeen |= slot == kCedict;
  EXPECT_TRUE(cedictSeen);
  FreeResultList(all);
  FreeResultList(mini);
  EXPECT_EQ(RunLookupSearch(engine_, u"", 4096, kCedict, 0), nullptr);
}

// ---- homographs ----

TEST_F(LookupServices, ReadHomographMark) {
  struct Case {
    const char16_t* text;
    uint32_t digits;
    uint16_t number;
    uint8_t capital;
  } cases[] = {
      {u"\u00B2hao", 1, 2, 0},     {u"\u00B9\u00B2Ming", 2, 12, 1}, {u"\u2074\u2070X", 2, 40, 1},
      {u"\u00B3", 1, 3, 0},        {u"hao", 0, 0, 0},                {u"Hao", 0, 0, 1},
      {u"", 0, 0, 0},              {u"2hao", 0, 0, 0},
  };
  for (const Case& c : cases) {
    uint16_t number = 99;
    uint8_t capital = 99;
    EXPECT_EQ(ReadHomographMark(c.text, &number, &capital), c.digits);
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(capital, c.capital);
  }
  uint16_t number = 99;
  EXPECT_EQ(ReadHomographMark(nullptr, &number, nullptr), 0u);
  EXPECT_EQ(number, 0);
}

TEST_F(LookupServices, HomographNumberPicksItsReading) {
  BuildStandard();
  const uint32_t hao3 = EntryOf(mini_, u"好", 0), hao4 = EntryOf(mini_, u"好", 1);
  // The query as the session gets it: the superscript digit typed before the
  // syllable.
  for (const char16_t* query : {u"\u00B2hao", u"hao"}) {
    SearchResultList* list = RunLookupSearch(engine_, query, 4096, kMini, kLookupCurrentOnly);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 2u);
    const auto items = Items(list);
    uint16_t number = 0;
    uint8_t capital = 0;
    ReadHomographMark(u"\u00B2hao", &number, &capital);
    const uint32_t row2 = PickHomographResult(engine_, list, number, capital);
    EXPECT_EQ(items[row2].second, hao4);
    const uint32_t row1 = PickHomographResult(engine_, list, 1, 0);
    EXPECT_EQ(items[row1].second, hao3);
    EXPECT_EQ(PickHomographResult(engine_, list, 3, 0), 0u);
    FreeResultList(list);
  }
}

TEST_F(LookupServices, CapitalMarkPicksTheCapitalisedReading) {
  BuildStandard();
  const uint32_t upper = EntryOf(mini_, u"明", 0), lower = EntryOf(mini_, u"明", 1);
  SearchResultList* list = RunLookupSearch(engine_, u"ming", 4096, kMini, kLookupCurrentOnly);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count, 2u);
  const auto items = Items(list);
  EXPECT_EQ(items[PickHomographResult(engine_, list, 0, 1)].second, upper);
  EXPECT_EQ(items[PickHomographResult(engine_, list, 0, 0)].second, lower);
  FreeResultList(list);
}

TEST_F(LookupServices, HomographScanStopsAfter64Rows) {
  BuildStandard();
  const uint32_t plain = EntryOf(mini_, u"那"), hao4 = EntryOf(mini_, u"好", 1);
  for (uint32_t at : {1u, 63u, 64u, 70u}) {
    SearchResultList* list = NewResultList(80);
    for (uint32_t i = 0; i < 80; ++i) AddResultListItem(list, kMini, i == at ? hao4 : plain);
    EXPECT_EQ(PickHomographResult(engine_, list, 2, 0), at < 64 ? at : 0u) << at;
    FreeResultList(list);
  }
  // Rows that cannot be fetched are passed over.
  SearchResultList* list = NewResultList(4);
  AddResultListItem(list, kMini, 5000);
  AddResultListItem(list, kMini, hao4);
  EXPECT_EQ(PickHomographResult(engine_, list, 2, 0), 1u);
  FreeResultList(list);
  EXPECT_EQ(PickHomographResult(engine_, nullptr, 2, 0), 0u);
}

// ---- the marked result ----

class MarkedResult : public LookupFixture {
 protected:
  void SetUp() override {
    LookupFixture::SetUp();
    marked_ = {Row(u"好", u"好", "hao3", {u"good"}), Row(u"好", u"好", "hao4", {u"to like"}),
               Row(u"天", u"天", "tian1", {u"sky"}), Row(u"好人", u"好人", "hao3 ren2", {u"good person"})};
    db::DictionarySpec d = searchfix::ChineseDict(marked_, kMarkedResultDictId, u"Marked");
    for (size_t e : {1u, 2u, 3u}) Star(&d.entries[e]);
    AddDict(d);
    AddMini();
    Build();
  }
  // A "*" at the end of the entry's reading.
  static void Star(db::DictEntrySpec* entry) {
    size_t at = entry->text.find(u'\uEA01');
    ASSERT_NE(at, std::u16string::npos);
    ++at;
    while (at < entry->text.size() && !(entry->text[at] >= 0xEA00 && entry->text[at] <= 0xEAFF)) ++at;
    entry->text.insert(at, 1, u'*');
  }
  uint32_t Pick(const std::vector<std::pair<uint16_t, uint32_t>>& items, uint32_t best) {
    SearchResultList* list = NewResultList(8);
    for (auto [slot, entry] : items) AddResultListItem(list, slot, entry);
    list->bestMatch = best;
    const uint32_t row = PickMarkedResult(engine_, list);
    FreeResultList(list);
    return row;
  }
  std::vector<CedictRow> marked_;
};

TEST_F(MarkedResult, FirstStarredReadingOfTheBestLength) {
  const uint16_t m = 0;
  ASSERT_EQ(static_cast<uint32_t>(GetDictId(engine_, m)), kMarkedResultDictId);
  struct Case {
    const char* what;
    std::vector<std::pair<uint16_t, uint32_t>> items;
    uint32_t best;
    int32_t wholeSyllables, sort;
    uint32_t row;
  } cases[] = {
      {"hao4 starred", {{m, 0}, {m, 1}}, 1, 0, 2, 1},
      {"no star", {{m, 0}, {m, 0}}, 1, 0, 2, 0},
      {"another dictionary first", {{kMini, 0}, {m, 1}}, 1, 0, 2, 0},
      {"another dictionary ends the scan", {{m, 0}, {kMini, 0}, {m, 1}}, 1, 0, 2, 0},
      // Other syllables than the first text end the scan unless whole
      // syllables are searched.
      {"other syllables", {{m, 0}, {m, 2}}, 1, 0, 2, 0},
      {"other syllables, whole syllables", {{m, 0}, {m, 2}}, 1, 1, 2, 1},
      // A longer word ends the scan when sorted by rank, else it is passed.
      {"longer word, by rank", {{m, 0}, {m, 3}, {m, 1}}, 1, 0, 2, 0},
      {"longer word, by entry", {{m, 0}, {m, 3}, {m, 1}}, 1, 0, 1, 2},
      {"two-character best", {{m, 0}, {m, 3}}, 2, 0, 2, 1},
  };
  for (const Case& c : cases) {
    SetPref(engine_, 117, c.wholeSyllables);
    SetPref(engine_, 131, c.sort);
    EXPECT_EQ(Pick(c.items, c.best), c.row) << c.what;
  }
}

// ---- the dictionary cycle ----

class DictCycle : public LookupFixture {
 protected:
  void SetUp() override {
    LookupFixture::SetUp();
    BuildStandard();
  }
  // Slots of a list in order.
  std::vector<uint16_t> ListSlots(uint32_t list) {
    std::vector<uint16_t> out;
    const DictOrderList* l = engine_->orderLists[list];
    for (uint32_t i = 0; i < l->count; ++i) out.push_back(static_cast<uint16_t>(l->items[i].slot));
    return out;
  }
  uint32_t ItemOf(uint32_t list, uint16_t slot) {
    const auto slots = ListSlots(list);
    for (uint32_t i = 0; i < slots.size(); ++i)
      if (slots[i] == slot) return i;
    ADD_FAILURE() << "slot not in list";
    return 0;
  }
  void SetOptions(uint16_t slot, uint32_t set, uint32_t clear) {
    const uint32_t list = GetDictLanguage(engine_, slot) == kLanguageChinese ? 0 : 1;
    DictListItemView view;
    ASSERT_EQ(GetDictListItem(engine_, list, ItemOf(list, slot), &view), 0);
    view.options = (view.options | set) & ~clear;
    ASSERT_EQ(SetDictListItem(engine_, list, ItemOf(list, slot), &view), 0);
  }
};

TEST_F(DictCycle, NextSkipsTheCurrentAndWraps) {
  // The character dictionary is not on the tool bar: the Chinese cycle is
  // the two other Chinese dictionaries.
  const auto chinese = ListSlots(0);
  ASSERT_EQ(chinese.size(), 3u);
  std::vector<uint16_t> bar;
  for (uint16_t s : chinese)
    if (s != kChars) bar.push_back(s);
  ASSERT_EQ(bar.size(), 2u);
  EXPECT_EQ(FindNextDictionary(engine_, 4096, bar[0], -1, 0), bar[1]);
  EXPECT_EQ(FindNextDictionary(engine_, 4096, bar[1], -1, 0), bar[0]);
  EXPECT_EQ(FindNextDictionary(engine_, 4096, kChars, -1, 0), chinese.back() == kChars ? bar[0] : bar[1]);
  // Not in any list: the first of the language's list.
  EXPECT_EQ(FindNextDictionary(engine_, 4096, kNoDictSlot, -1, 0), bar[0]);
  EXPECT_EQ(FindNextDictionary(engine_, 0, kNoDictSlot, -1, 0), kEnglish);
  // The only qualifying dictionary is the current one: none.
  EXPECT_EQ(FindNextDictionary(engine_, 0, kEnglish, -1, 0), kNoDictSlot);
  SetOptions(bar[1], 0, kDictOptionToolbar);
  EXPECT_EQ(FindNextDictionary(engine_, 4096, bar[0], -1, 0), kNoDictSlot);
  EXPECT_EQ(FindNextDictionary(engine_, 4096, bar[1], -1, 0), bar[0]);
}

TEST_F(DictCycle, OptionsNarrowOrWidenTheCycle) {
  const auto chinese = ListSlots(0);
  std::vector<uint16_t> bar;
  for (uint16_t s : chinese)
    if (s != kChars) bar.push_back(s);
  // All lists: after the last Chinese dictionary comes the English one, and
  // after it the first Chinese one again.
  for (uint32_t all : {uint32_t{kCycleAllLists}, uint32_t{kCycleAllListsToo}}) {
    EXPECT_EQ(FindNextDictionary(engine_, 4096, bar[1], -1, all), kEnglish);
    EXPECT_EQ(FindNextDictionary(engine_, 4096, kEnglish, -1, all), bar[0]);
  }
  // The reader list: a dictionary without the reader bit is passed over.
  SetOptions(bar[1], 0, kDictOptionReader);
  EXPECT_EQ(FindNextDictionary(engine_, 4096, bar[0], -1, 0), bar[1]);
  EXPECT_EQ(FindNextDictionary(engine_, 4096, bar[0], -1, kCycleReaderList), kNoDictSlot);
  SetOptions(bar[1], kDictOptionReader, 0);
  // A character dictionary on the tool bar, and skipped when asked.
  SetOptions(kChars, kDictOptionToolbar, 0);
  const uint32_t charsItem = ItemOf(0, kChars);
  const uint16_t afterChars = chinese[(charsItem + 1) % 3];
  const uint16_t beforeChars = chinese[(charsItem + 2) % 3];
  EXPECT_EQ(FindNextDictionary(engine_, 4096, beforeChars, -1, 0), kChars);
  EXPECT_EQ(FindNextDictionary(engine_, 4096, beforeChars, -1, kCycleSkipCharacterDicts), afterChars);
}

TEST_F(DictCycle, FullTextNeedsTheLanguagesTable) {
  // Full text walks every list for dictionaries with the full-text table of
  // the language; dictionaries without it are passed over.
  std::vector<uint16_t> english, chinese;
  for (uint32_t l = 0; l < 2; ++l) {
    const DictOrderList* list = engine_->orderLists[l];
    for (uint32_t i = 0; i < list->count; ++i) {
      const DictOrderRecord& r = list->items[i];
      if (!(r.saved.options & kDictOptionToolbar)) continue;
      if (r.has1130) english.push_back(static_cast<uint16_t>(r.slot));
      if (r.has1120) chinese.push_back(static_cast<uint16_t>(r.slot));
    }
  }
  // The Chinese dictionaries index their English definitions.
  ASSERT_GE(english.size(), 2u);
  EXPECT_EQ(FindNextDictionary(engine_, 0, english[0], -1, kCycleFullText), english[1]);
  EXPECT_EQ(FindNextDictionary(engine_, 0, english.back(), -1, kCycleFullText), english[0]);
  for (uint16_t s : {english[0], english[1]}) EXPECT_NE(s, kChars);
  if (chinese.size() < 2) {
    // Fewer than two dictionaries with the Chinese table: never another one.
    const uint16_t from = chinese.empty() ? uint16_t{kCedict} : chinese[0];
    EXPECT_EQ(FindNextDictionary(engine_, 4096, from, -1, kCycleFullText), kNoDictSlot);
  }
}

TEST_F(DictCycle, CountAndPick) {
  const auto chinese = ListSlots(0);
  EXPECT_EQ(CountCycleDictionaries(engine_, 4096, 0, 0, 0, 0), 3u);
  EXPECT_EQ(CountCycleDictionaries(engine_, 0, 0, 0, 0, 0), 1u);
  for (uint32_t n = 0; n < 3; ++n) {
    EXPECT_EQ(CountCycleDictionaries(engine_, 4096, 0, 0, 1, n), chinese[n]);
    EXPECT_EQ(FindNextDictionary(engine_, 4096, chinese[0], static_cast<int32_t>(n), 0), chinese[n]);
  }
  EXPECT_EQ(CountCycleDictionaries(engine_, 4096, 0, 0, 1, 3), kNoDictSlot);
  // All lists: every dictionary of the language's own list, then those of
  // the other lists that carry the language's table.
  const uint32_t all = CountCycleDictionaries(engine_, 0, 0, 1, 0, 0);
  EXPECT_EQ(CountCycleDictionaries(engine_, 0, 0, 1, 1, 0), kEnglish);
  EXPECT_GE(all, 3u);
  // Out of the menu, out of the cycle.
  SetOptions(chinese[1], 0, kDictOptionMenu);
  EXPECT_EQ(CountCycleDictionaries(engine_, 4096, 0, 0, 0, 0), 2u);
  EXPECT_EQ(CountCycleDictionaries(engine_, 4096, 0, 0, 1, 1), chinese[2]);
  // A language without a list.
  EXPECT_EQ(CountCycleDictionaries(engine_, 7, 0, 0, 0, 0), 0u);
  EXPECT_EQ(CountCycleDictionaries(engine_, 7, 0, 0, 1, 0), kNoDictSlot);
}

TEST_F(DictCycle, OrderPositionIsTheSavedPart) {
  DictOrderSaved* saved = FindDictOrderPosition(engine_, kMini);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->dictId, kMiniId);
  saved->savedEntry = 5;
  EXPECT_EQ(FindDictOrderRecord(engine_, kMini)->saved.savedEntry, 5);
  EXPECT_EQ(FindDictOrderPosition(engine_, 40), nullptr);
}

// ---- entry text ----

TEST_F(LookupServices, BuiltinMessages) {
  MemHandle* h = NewMemHandle(2);
  EXPECT_EQ(LoadBuiltinMessage(3, h), 0);
  EXPECT_EQ(HandleText(h), Message(3));
  EXPECT_FALSE(Message(3).empty());
  EXPECT_EQ(LoadBuiltinMessage(99, h), 1);
  EXPECT_EQ(HandleText(h), Message(3));
  FreeMemHandle(h);
  EXPECT_EQ(LoadBuiltinMessage(3, nullptr), 1);
}

TEST_F(LookupServices, FormatEntryText) {
  BuildStandard();
  MemHandle* h = NewMemHandle(0);
  // No entry: the message asked for, else "deleted".
  EXPECT_EQ(FormatEntryText(engine_, h, kCedict, 0xFFFFFFFFu, kMessageNoMatches, 0), 0);
  EXPECT_EQ(HandleText(h), Message(3));
  EXPECT_EQ(FormatEntryText(engine_, h, kCedict, 0xFFFFFFFFu, 0, 0), 0);
  EXPECT_EQ(HandleText(h), Message(5));
  EXPECT_EQ(FormatEntryText(engine_, h, kCedict, 0xFFFFFFFFu, kMessageDictionaryGone, 0), 0);
  EXPECT_EQ(HandleText(h), Message(4));
  // An entry past the dictionary's end.
  EXPECT_EQ(FormatEntryText(engine_, h, kMini, 5000, 0, 0), 0);
  EXPECT_EQ(HandleText(h), Message(5));

  // A normal entry.
  const uint32_t hao = EntryOf(mini_, u"好", 0);
  EXPECT_EQ(FormatEntryText(engine_, h, kMini, hao, 0, 0), 0);
  std::u16string text = HandleText(h);
  EXPECT_NE(text.find(u"good; well"), std::u16string::npos);
  EXPECT_NE(text.find(u"好"), std::u16string::npos);
  EXPECT_EQ(GetMemHandleLockCount(h), 0);
  // The short form leaves out the definition classes beyond 5 but keeps
  // the senses; one line has no line break.
  EXPECT_EQ(FormatEntryText(engine_, h, kMini, hao, 0, 0x2), 0);
  text = HandleText(h);
  EXPECT_NE(text.find(u"good"), std::u16string::npos);
  EXPECT_EQ(text.find(u'\n'), std::u16string::npos);

  // A character dictionary: headword and readings, a space, the main reading.
  const uint32_t zhong = EntryOf(chars_, u"中"), ren = EntryOf(chars_, u"人");
  EXPECT_EQ(FormatEntryText(engine_, h, kChars, zhong, 0, 0), 0);
  text = HandleText(h);
  EXPECT_EQ(text.find(Message(7)), std::u16string::npos);
  EXPECT_LT(text.find(u"中"), text.find(u' '));
  // Without one: the "no definition" message after the space.
  EXPECT_EQ(FormatEntryText(engine_, h, kChars, ren, 0, 0), 0);
  text = HandleText(h);
  const std::u16string none = Message(7);
  ASSERT_GE(text.size(), none.size() + 2);
  EXPECT_EQ(text.substr(text.size() - none.size()), none);
  EXPECT_EQ(text[text.size() - none.size() - 1], u' ');
  EXPECT_LT(text.find(u"人"), text.size() - none.size() - 1);
  EXPECT_EQ(GetMemHandleLockCount(h), 0);
  FreeMemHandle(h);
}

TEST_F(LookupServices, EntryTextRequestFollowsFlagsAndPreferences) {
  BuildStandard();
  struct Case {
    const char* what;
    uint16_t slot;
    uint32_t flags;
    std::vector<std::pair<int32_t, int32_t>> prefs;
    uint32_t options, classMask, enlarged;
  } cases[] = {
      // Defaults: Chinese 14, enlarged 26, own size 20, brackets 1 (0x60).
      {"Chinese", kMini, 0, {}, 0xE0, 0, 26},
      {"English", kEnglish, 0, {}, 0x60, 0, 0},
      {"one line", kMini, 0x2, {}, 0x2000060, 0, 0},
      {"second mode", kMini, 0x1000000, {}, 0xCF0, 0, 26},
      {"second mode by 0x8", kMini, 0x8, {}, 0xCF0, 0, 26},
      {"0x8 inverts the second mode", kMini, 0x1000008, {}, 0xE0, 0, 26},
      {"short form", kMini, 0x1, {}, 0x2E1, 47, 26},
      {"enlarged not above", kMini, 0, {{94, 14}}, 0x60, 0, 0},
      {"own size compared", kMini, 0, {{52, 1}, {94, 22}}, 0xE0, 0, 22},
      {"own size not exceeded", kMini, 0, {{52, 1}, {94, 20}}, 0x60, 0, 0},
      {"tone colours", kMini, 0x2, {{102, 1}}, 0x3000060, 0, 0},
      {"dictionary name", kEnglish, 0, {{98, 1}}, 0x400060, 0, 0},
      {"no brackets", kEnglish, 0, {{90, 0}}, 0, 0, 0},
      {"brackets 2", kEnglish, 0, {{90, 2}}, 0x20, 0, 0},
      {"brackets 3", kEnglish, 0, {{90, 3}}, 0x160, 0, 0},
      {"brackets 4", kEnglish, 0, {{90, 4}}, 0x120, 0, 0},
      // A character dictionary: headword and readings, no form options.
      {"characters", kChars, 0x1000001, {{98, 1}}, 0x81, 3, 26},
  };
  for (const Case& c : cases) {
    SetPref(engine_, 52, 0);
    SetPref(engine_, 90, 1);
    SetPref(engine_, 94, 26);
    SetPref(engine_, 98, 0);
    SetPref(engine_, 102, 0);
    for (auto [id, value] : c.prefs) SetPref(engine_, id, value);
    EntryFetchRequest r;
    std::memset(&r, 0xAB, sizeof r);
    BuildEntryTextRequest(engine_, c.slot, 3, c.flags, &r);
    SCOPED_TRACE(c.what);
    EXPECT_EQ(r.slot, c.slot);
    EXPECT_EQ(r.entry, 3u);
    EXPECT_EQ(r.options, c.options);
    EXPECT_EQ(r.classMask, c.classMask);
    EXPECT_EQ(r.enlargedSize, c.enlarged);
    EXPECT_EQ(r.suppressStyles, 0u);
    EXPECT_EQ(r.syllableFormat, GetCharsetModeCode(engine_));
  }
}

TEST_F(LookupServices, UserDictionaryEntryText) {
  BuildStandard();
  const uint16_t user = AddUserDict();
  const int32_t uid = AddUserDictEntry(engine_, user, u"你好", nullptr, u"ni3hao3", u"hello there");
  ASSERT_GT(uid, 0);
  MemHandle* h = NewMemHandle(0);
  EXPECT_EQ(FormatEntryText(engine_, h, user, static_cast<uint32_t>(uid), 0, 0), 0);
  EXPECT_NE(HandleText(h).find(u"hello there"), std::u16string::npos);
  // A deleted entry.
  ASSERT_EQ(DeleteUserDictEntry(engine_, user, uid), 0);
  EXPECT_EQ(FormatEntryText(engine_, h, user, static_cast<uint32_t>(uid), 0, 0), 0);
  EXPECT_EQ(HandleText(h), Message(5));
  FreeMemHandle(h);
}

TEST_F(LookupServices, FetchEntryPart) {
  BuildStandard();
  WCHAR buffer[40];
  const uint32_t guo = EntryOf(mini_, u"中国");
  EXPECT_EQ(FetchEntryPart(engine_, kMini, guo, buffer, 40, 0, 0), 0);
  EXPECT_NE(std::u16string(buffer).find(u"中国"), std::u16string::npos);
  // Raw syllables: the codes themselves.
  EXPECT_EQ(FetchEntryPart(engine_, kMini, guo, buffer, 40, 1, 1), 0);
  std::u16string raw(buffer);
  EXPECT_NE(raw.find(fetchfix::SylCode("guo", 2)), std::u16string::npos);
  EXPECT_NE(raw.find(fetchfix::SylCode("zhong", 1)), std::u16string::npos);
  // Formatted syllables: letters.
  EXPECT_EQ(FetchEntryPart(engine_, kMini, guo, buffer, 40, 1, 0), 0);
  std::u16string formatted(buffer);
  EXPECT_EQ(formatted.find(fetchfix::SylCode("guo", 2)), std::u16string::npos);
  EXPECT_FALSE(formatted.empty());
  // No pronunciation in an English dictionary.
  buffer[0] = u'x';
  EXPECT_EQ(FetchEntryPart(engine_, kEnglish, 0, buffer, 40, 1, 0), 0);
  EXPECT_EQ(buffer[0], 0);
  // A small buffer cuts the text.
  EXPECT_EQ(FetchEntryPart(engine_, kMini, guo, buffer, 2, 0, 0), 0);
  EXPECT_EQ(std::u16string(buffer).size(), 1u);
}

// ---- audio sets ----

TEST_F(LookupServices, AudioFileSets) {
  BuildStandard();
  struct Case {
    int32_t pref;
    int first, second;      // UseAltAudioFileSet for flag 0 and flag 1
    int applied;            // ApplyAudioFileSetPref with default 7
  } cases[] = {{0, 1, 0, 7}, {1, 0, 0, 7}, {2, 1, 1, 7}, {3, 1, 0, 1}, {4, 1, 0, 0}};
  for (const Case& c : cases) {
    SetPref(engine_, 210, c.pref);
    EXPECT_EQ(UseAltAudioFileSet(engine_, 0), c.first) << c.pref;
    EXPECT_EQ(UseAltAudioFileSet(engine_, 1), c.second) << c.pref;
    EXPECT_EQ(ApplyAudioFileSetPref(engine_, 7), c.applied) << c.pref;
  }
  // Without audio data: no group, and the set still alternates (preference
  // 0) or stays (1, 2).
  SetPref(engine_, 210, 0);
  uint8_t set = 0;
  uint16_t kind = 77;
  EXPECT_EQ(CollectEntryAudioAlternating(engine_, &set, kMini, 0, nullptr, nullptr, &kind), kAudioNoGroup);
  EXPECT_EQ(set, 1);
  EXPECT_EQ(CollectEntryAudioAlternating(engine_, &set, kMini, 0, nullptr, nullptr, &kind), kAudioNoGroup);
  EXPECT_EQ(set, 0);
  EXPECT_EQ(kind, 77);
  SetPref(engine_, 210, 2);
  for (int i = 0; i < 2; ++i) {
    CollectEntryAudioAlternating(engine_, &set, kMini, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(set, 1);
  }
  EXPECT_EQ(CollectEntryAudioClips(engine_, 0, kMini, 0, nullptr, nullptr, nullptr), kAudioNoGroup);
}

// Two pronunciation sets: set A speaks 中国 as one word and hao3, hao4 and
// tian1 by syllable; set B only hao3 and hao4, in another voice.
class EntryAudio : public LookupFixture {
 protected:
  void SetUp() override {
    LookupFixture::SetUp();
    AddMini();
    AudioFile(db::kAudioSetA, 1, 5,
              {{Codes("zhong1 guo2"), "A-zhongguo"}, {Codes("hao3"), "A-hao3"}, {Codes("hao4"), "A-hao4"},
               {Codes("tian1"), "A-tian1"}});
    AudioFile(db::kAudioSetB, 2, 6, {{Codes("hao3"), "B-hao3"}, {Codes("hao4"), "B-hao4"}});
    Build();
    for (MemHandle*& h : clips_) h = NewMemHandle(0);
  }
  void TearDown() override {
    for (MemHandle* h : clips_) FreeMemHandle(h);
    LookupFixture::TearDown();
  }
  static std::u16string Codes(const char* pinyin) { return db::PinyinNumbersToCodes(pinyin); }
  void AudioFile(uint32_t flags, uint32_t id, uint16_t kind,
                 const std::vector<std::pair<std::u16string, std::string>>& clips) {
    db::AudioGroupSpec group;
    group.id = id;
    group.flags = flags;
    group.kind = kind;
    for (const auto& [key, text] : clips) group.clips.push_back({key, db::ByteVec(text.begin(), text.end())});
    db::DataFileSpec file;
    file.shortName = u"Audio";
    std::string error;
    ASSERT_EQ(db::AddAudioGroup(group, &file, &error), 0) << error;
    files_.Add(file);
  }
  // The clips found, as text.
  std::vector<std::string> Clips() {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < kMaxSyllableClips && sizes_[i]; ++i) {
      const auto* p = static_cast<const char*>(LockMemHandle(clips_[i]));
      out.emplace_back(p, sizes_[i]);
      UnlockMemHandle(clips_[i]);
    }
    return out;
  }
  using Clip = std::vector<std::string>;
  static constexpr uint16_t kOnly = 0;  // the one dictionary
  MemHandle* clips_[kMaxSyllableClips] = {};
  uint32_t sizes_[kMaxSyllableClips] = {};
};

TEST_F(EntryAudio, ClipsOfTheEntrysReading) {
  const uint32_t guo = EntryOf(mini_, u"中国"), hao3 = EntryOf(mini_, u"好", 0), tian = EntryOf(mini_, u"天");
  uint16_t kind = 0;
  // The whole word first; the homograph number of 好 is no syllable.
  EXPECT_EQ(CollectEntryAudioClips(engine_, 0, kOnly, guo, clips_, sizes_, &kind), 0);
  EXPECT_EQ(Clips(), Clip{"A-zhongguo"});
  EXPECT_EQ(kind, 5);
  EXPECT_EQ(CollectEntryAudioClips(engine_, 0, kOnly, hao3, clips_, sizes_, &kind), 0);
  EXPECT_EQ(Clips(), Clip{"A-hao3"});
  EXPECT_EQ(CollectEntryAudioClips(engine_, 1, kOnly, hao3, clips_, sizes_, &kind), 0);
  EXPECT_EQ(Clips(), Clip{"B-hao3"});
  EXPECT_EQ(kind, 6);
  // Set B has no 天.
  EXPECT_NE(CollectEntryAudioClips(engine_, 1, kOnly, tian, clips_, sizes_, &kind), 0);
}

TEST_F(EntryAudio, SetsAlternateAndFallBack) {
  const uint32_t hao3 = EntryOf(mini_, u"好", 0), tian = EntryOf(mini_, u"天");
  SetPref(engine_, 210, 0);
  uint8_t set = 0;
  std::vector<std::string> heard;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(CollectEntryAudioAlternating(engine_, &set, kOnly, hao3, clips_, sizes_, nullptr), 0);
    heard.push_back(Clips().at(0));
  }
  EXPECT_EQ(heard, (Clip{"B-hao3", "A-hao3", "B-hao3", "A-hao3"}));
  // The set without the word: the other set speaks it, and the flag still
  // names the set tried first.
  set = 0;
  EXPECT_EQ(CollectEntryAudioAlternating(engine_, &set, kOnly, tian, clips_, sizes_, nullptr), 0);
  EXPECT_EQ(Clips(), Clip{"A-tian1"});
  EXPECT_EQ(set, 1);
  // A fixed set.
  SetPref(engine_, 210, 1);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(CollectEntryAudioAlternating(engine_, &set, kOnly, hao3, clips_, sizes_, nullptr), 0);
    EXPECT_EQ(Clips(), Clip{"A-hao3"});
  }
}

// ---- buttons ----

TEST_F(LookupServices, DictDisplayInfo) {
  BuildStandard();
  LookupButtonInfo info;
  std::memset(&info, 0x5A, sizeof info);
  EXPECT_EQ(GetDictDisplayInfo(engine_, kCedict, &info), 0);
  EXPECT_EQ(info.code, 14u);
  EXPECT_EQ(info.reserved, -1);
  EXPECT_EQ(std::u16string(info.iconText), u"CE");
  const DictOrderSaved* saved = FindDictOrderPosition(engine_, kCedict);
  EXPECT_EQ(info.iconFillColor, saved->iconFillColor);
  EXPECT_EQ(info.iconTextColor, saved->iconTextColor);
  // The order record's colours are the ones shown.
  DictOrderSaved* mine = FindDictOrderPosition(engine_, kMini);
  mine->iconFillColor = 0x123456;
  mine->iconTextColor = 0x654321;
  EXPECT_EQ(GetDictDisplayInfo(engine_, kMini, &info), 0);
  EXPECT_EQ(info.iconFillColor, 0x123456u);
  EXPECT_EQ(info.iconTextColor, 0x654321u);
  EXPECT_EQ(std::u16string(info.iconText), u"MI");
  // No order record: the dictionary's own icon and the default text colour.
  EXPECT_EQ(GetDictDisplayInfo(engine_, 50, &info), 0);
  EXPECT_EQ(info.code, 14u);
  EXPECT_EQ(info.iconTextColor, 0xFFFFFFFFu);
  EXPECT_EQ(std::u16string(info.iconText), u"");
}

// ---- compounds ----

TEST_F(LookupServices, CompoundsDictionaryAndSearch) {
  BuildStandard();
  const uint16_t first = FindNextDictionary(engine_, 4096, kNoDictSlot, -1, kCycleReaderList);
  EXPECT_EQ(GetCompoundsDict(engine_), first);
  EXPECT_EQ(static_cast<uint32_t>(GetPref(engine_, 76)), GetDictCreator(engine_, first));
  EXPECT_EQ(GetPref(engine_, 77), GetDictId(engine_, first));

  // Words beginning and ending with a character, from the compounds
  // dictionary only.
  SetPref(engine_, 76, static_cast<int32_t>(GetDictCreator(engine_, kCedict)));
  SetPref(engine_, 77, GetDictId(engine_, kCedict));
  ASSERT_EQ(GetCompoundsDict(engine_), kCedict);
  SearchResultList* starting = FindCompoundsStartingWith(engine_, u'中', 0);
  ASSERT_NE(starting, nullptr);
  size_t longer = 0;
  for (auto [slot, entry] : Items(starting)) {
    EXPECT_EQ(slot, kCedict);
    EXPECT_EQ(cedict_[entry].simplified[0], u'中');
    longer += cedict_[entry].simplified.size() > 1;
  }
  EXPECT_GT(longer, 0u);
  FreeResultList(starting);
  SearchResultList* ending = FindCompoundsEndingWith(engine_, u'国', 0);
  ASSERT_NE(ending, nullptr);
  for (auto [slot, entry] : Items(ending)) {
    EXPECT_EQ(slot, kCedict);
    const std::u16string& head = cedict_[entry].simplified;
    EXPECT_GE(head.size(), 2u);
    EXPECT_EQ(head.back(), u'国');
  }
  FreeResultList(ending);

  // Switching goes to the other Chinese dictionary on the tool bar.
  EXPECT_EQ(SwitchCompoundsDict(engine_), 1);
  EXPECT_EQ(GetCompoundsDict(engine_), kMini);
  LookupButtonInfo info;
  EXPECT_EQ(GetCompoundsDictInfo(engine_, &info), 0);
  EXPECT_EQ(info.code, 14u);
  EXPECT_EQ(std::u16string(info.iconText), u"MI");

  // A search of every dictionary moves the compounds dictionary to the one
  // of the first result.
  SearchResultList* wide = SearchCompoundsDict(engine_, u"baise", 0x1);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->items[0].first & kResultSlotMask, kCedict);
  EXPECT_EQ(GetCompoundsDict(engine_), kCedict);
  FreeResultList(wide);
  // Kept to the compounds dictionary: nothing in Mini.
  SetPref(engine_, 77, static_cast<int32_t>(kMiniId));
  EXPECT_EQ(SearchCompoundsDict(engine_, u"baise", 0), nullptr);
}

TEST_F(LookupServices, CompoundsNeedAChineseDictionary) {
  AddEnglish();
  Build();
  EXPECT_EQ(GetCompoundsDict(engine_), kNoDictSlot);
  EXPECT_EQ(SwitchCompoundsDict(engine_), 0);
  LookupButtonInfo info;
  std::memset(&info, 0x5A, sizeof info);
  EXPECT_EQ(GetCompoundsDictInfo(engine_, &info), 0);
  EXPECT_EQ(info.code, 0u);
  EXPECT_EQ(info.iconText[0], 0);
  EXPECT_EQ(FindCompoundsStartingWith(engine_, u'好', 0), nullptr);
}

}  // namespace
