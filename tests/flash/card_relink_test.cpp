// Relinking cards to dictionary entries: to the entries of another
// dictionary (languages, a dictionary that takes no cards, several
// matches under each mode and each answer of the question), refreshing
// linked cards from their entries, and the cards of an edited
// user-dictionary entry through the engine's host table.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/search_results.h"
#include "engine/sql_db.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "flash/card_batch.h"
#include "flash/card_info.h"
#include "flash/cards.h"
#include "flash/chunked_array.h"
#include "flash/exchange_import.h"
#include "flash/store.h"
#include "tests/engine_session/session_fixture.h"
#include "tests/support/utf16_print.h"

namespace {

inline constexpr char kKvb[] = "\\My Documents\\Sorvi Flashcards.kvb";
enum : uint16_t { kFlagged = 4, kLends = 5 };

const WCHAR* W(const char16_t* s) { return reinterpret_cast<const WCHAR*>(s); }

// Answers the ambiguity question from a script and records what it saw.
struct Asker {
  std::vector<uint32_t> answers;  // one per question, then the last again
  std::vector<std::u16string> texts;
  std::vector<uint32_t> counts, defaults;
  std::vector<uint32_t> positions;
};
uint32_t Ask(uint32_t kind, const void* argument, const void* list, uint32_t count, uint32_t defaultIndex, void* data) {
  auto* a = static_cast<Asker*>(data);
  if (kind == kImportAskProgress) {
    a->positions.push_back(count);
    return 0;
  }
  EXPECT_EQ(kind, kImportAskAmbiguous);
  EXPECT_EQ(static_cast<const SearchResultList*>(list)->count, count);
  a->texts.push_back(static_cast<const char16_t*>(argument));
  a->counts.push_back(count);
  a->defaults.push_back(defaultIndex);
  const size_t asked = a->texts.size() - 1;
  return a->answers.empty() ? defaultIndex : a->answers[asked < a->answers.size() ? asked : a->answers.size() - 1];
}

class RelinkTest : public sessionfix::SessionTest {
 protected:
  void SetUp() override {
    sessionfix::SessionTest::SetUp();
    AddCedict();
    AddMini();
    AddEnglish();
    AddChars();
    databuild::DictionarySpec d =
        searchfix::ChineseDict({lookupfix::Row(u"好", u"好", "hao3", {u"good"})}, 9, u"Flagged");
    d.info.flags |= kDictFlagNoCards;
    AddDict(d);
    // Slot 5 lends its text to custom cards; one 好 has none to lend.
    databuild::DictionarySpec lends = searchfix::ChineseDict(
        {lookupfix::Row(u"好", u"好", "hao3", {}), lookupfix::Row(u"好", u"好", "hao4", {u"to like"}),
         lookupfix::Row(u"天", u"天", "tian1", {u"heaven"})},
        10, u"Lends");
    lends.info.flags |= kDictFlagLendsText;
    AddDict(lends);
    FillFlashcardHost(&host_.host);
    ASSERT_NE(Build(false, kKvb), nullptr);
    store = GetFlashcardStore(engine_);
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(GetDictCount(engine_), 6);
  }
  void TearDown() override {
    FreeChunkedArray(list);
    sessionfix::SessionTest::TearDown();
  }
  int32_t Custom(const char16_t* hw, const char16_t* pron, uint32_t language = kCardLanguageChinese) {
    CardEditRecord r{};
    r.scorefile = -1;
    r.language = language;
    r.headword = W(hw);
    r.pronunciation = pron ? W(pron) : nullptr;
    r.definition = W(u"custom");
    r.duplicateMode = kDuplicateAllow;
    const int32_t card = SaveCard(store, &r, -1);
    EXPECT_GT(card, 0);
    return card;
  }
  int32_t Linked(uint16_t slot, uint32_t entry) {
    CardEditRecord r{};
    r.scorefile = -1;
    r.linked = 1;
    r.dictSlot = slot;
    r.entry = entry;
    r.duplicateMode = kDuplicateAllow;
    const int32_t card = SaveCard(store, &r, -1);
    EXPECT_GT(card, 0);
    return card;
  }
  ChunkedArray* List(std::initializer_list<int32_t> cards) {
    FreeChunkedArray(list);
    list = CreateChunkedArray(1, 2048, 32, 0);
    for (int32_t c : cards) AppendChunkedArray(list, c, 0);
    return list;
  }
  // The ids as a plain array (valid until the next call).
  const int32_t* Ids(std::initializer_list<int32_t> cards) {
    ids.assign(cards);
    return ids.data();
  }
  static std::pair<uint16_t, int32_t> At(uint16_t slot, uint32_t entry) { return {slot, static_cast<int32_t>(entry)}; }
  // (slot, entry) the card links to; slot 65535 when it links nowhere open.
  std::pair<uint16_t, int32_t> Link(int32_t card) {
    uint16_t slot = kNoCardSlot;
    int32_t entry = -1;
    ResolveCardEntry(store, card, &slot, &entry);
    return {slot, entry};
  }
  std::u16string Text(int32_t card, uint32_t field) {
    MemHandle* h = NewMemHandle(2);
    std::u16string out;
    if (GetCardFieldText(store, card, field, h) == 0) out = static_cast<const char16_t*>(h->data);
    FreeMemHandle(h);
    return out;
  }
  // The Mini dictionary's entries of 好: hao3 (the character dictionary's
  // first reading) and hao4.
  uint32_t Hao(int tone) { return lookupfix::LookupFixture::EntryOf(mini_, u"好", tone == 3 ? 0 : 1); }

  FlashcardStore* store = nullptr;
  ChunkedArray* list = nullptr;
  std::vector<int32_t> ids;
};

TEST_F(RelinkTest, CardsOfAnotherLanguageOrAlreadyLinkedStayAndAFlaggedDictionaryTakesNone) {
  const int32_t chinese = Custom(u"好", nullptr);
  const int32_t english = Custom(u"good", nullptr, kCardLanguageEnglish);
  const int32_t mini = Linked(lookupfix::kMini, Hao(4));
  uint32_t mode = kRelinkUseBest;
  // An English dictionary: the Chinese cards stay as they are.
  Asker asker;
  EXPECT_EQ(RemapCardsToDictionary(store, Ids({chinese, mini}), 2, 1, lookupfix::kEnglish, &mode, 1, Ask, &asker), 0);
  EXPECT_EQ(Link(chinese).first, kNoCardSlot);
  EXPECT_EQ(Link(mini), At(lookupfix::kMini, Hao(4)));
  EXPECT_EQ(asker.positions, (std::vector<uint32_t>{1, 2}));  // every card read is reported
  // The English card finds its entry there.
  EXPECT_EQ(RelinkCardsToDictionary(store, List({english}), lookupfix::kEnglish, nullptr, nullptr), 0);
  EXPECT_EQ(Link(english).first, lookupfix::kEnglish);
  // Already linked to the target: left alone, even where a better match is.
  EXPECT_EQ(RelinkCardsToDictionary(store, List({mini}), lookupfix::kMini, nullptr, nullptr), 0);
  EXPECT_EQ(Link(mini), At(lookupfix::kMini, Hao(4)));
  // No card goes to a dictionary flagged 0x100, and no slot past the end.
  EXPECT_EQ(RemapCardsToDictionary(store, Ids({chinese}), 1, 1, kFlagged, &mode, 1, nullptr, nullptr), 1);
  EXPECT_EQ(RelinkCardsToDictionary(store, List({chinese}), kFlagged, nullptr, nullptr), 1);
  EXPECT_EQ(RelinkCardsToDictionary(store, List({chinese}), 6, nullptr, nullptr), 1);
  EXPECT_EQ(Link(chinese).first, kNoCardSlot);
}

TEST_F(RelinkTest, SeveralMatchesUnderEachMode) {
  const int32_t card = Custom(u"好", nullptr);
  // Mode 0: the character dictionary's reading picks hao3.
  uint32_t mode = kRelinkUseBest;
  EXPECT_EQ(RemapCardsToDictionary(store, Ids({card}), 1, 1, lookupfix::kMini, &mode, 1, nullptr, nullptr), 0);
  EXPECT_EQ(Link(card), At(lookupfix::kMini, Hao(3)));
  EXPECT_EQ(ShowUtf16(Text(card, kCardFieldDefinition)), "good; well");
  // Mode 1: skipped.
  const int32_t other = Custom(u"好", nullptr);
  mode = kRelinkSkip;
  EXPECT_EQ(RemapCardsToDictionary(store, Ids({other}), 1, 1, lookupfix::kMini, &mode, 1, nullptr, nullptr), 0);
  EXPECT_EQ(Link(other).first, kNoCardSlot);
  EXPECT_EQ(mode, kRelinkSkip);
}

TEST_F(RelinkTest, TheQuestionAndEachAnswer) {
  struct Case {
    uint32_t answer;
    int tone;  // 3 or 4: linked to that entry; 0: unchanged
    uint32_t modeAfter;
    int result;
    const char* why;
  };
  const Case cases[] = {
      {kAnswerSkipCard, 0, kRelinkAsk, 0, "skip this card"},
      {kAnswerSkipAll, 0, kRelinkSkip, 0, "skip it and the rest"},
      {kAnswerUseFirstAll, 3, kRelinkUseBest, 0, "the first hit, and the best from now on"},
      {kAnswerCancel, 0, kRelinkAsk, kRelinkStopped, "stop"},
      {1, 4, kRelinkAsk, 0, "an index"},
      {7, 3, kRelinkAsk, 0, "a too-large index takes the first"},
  };
  for (const Case& c : cases) {
    const int32_t card = Custom(u"好", nullptr);
    Asker asker;
    asker.answers = {c.answer};
    uint32_t mode = kRelinkAsk;
    EXPECT_EQ(RemapCardsToDictionary(store, Ids({card}), 1, 1, lookupfix::kMini, &mode, 1, Ask, &asker), c.result)
        << c.why;
    EXPECT_EQ(mode, c.modeAfter) << c.why;
    ASSERT_EQ(asker.texts.size(), 1u) << c.why;
    EXPECT_EQ(asker.counts[0], 2u);
    EXPECT_EQ(asker.defaults[0], 0u);  // hao3 comes first and is the best
    if (c.tone == 0) EXPECT_EQ(Link(card).first, kNoCardSlot) << c.why;
    else
      EXPECT_EQ(Link(card), At(lookupfix::kMini, Hao(c.tone))) << c.why;
  }
}

TEST_F(RelinkTest, TheQuestionShowsTheCardTextInTheDisplayOrder) {
  CardEditRecord r{};
  r.scorefile = -1;
  r.language = kCardLanguageChinese;
  r.headword = W(u"好");
  r.altHeadword = W(u"女子");
  r.definition = W(u"custom");
  r.duplicateMode = kDuplicateAllow;
  const int32_t card = SaveCard(store, &r, -1);
  ASSERT_GT(card, 0);
  std::vector<std::u16string> texts;
  for (int32_t display : {0, 1}) {
    SetPref(engine_, kPrefDisplayMode, display);
    Asker asker;
    asker.answers = {kAnswerSkipCard};
    uint32_t mode = kRelinkAsk;
    RemapCardsToDictionary(store, Ids({card}), 1, 1, lookupfix::kMini, &mode, 1, Ask, &asker);
    ASSERT_EQ(asker.texts.size(), 1u);
    texts.push_back(asker.texts[0]);
  }
  EXPECT_EQ(Utf8Of(texts[0]), "好 [女子]\ncustom");
  EXPECT_EQ(Utf8Of(texts[1]), "女子 [好]\ncustom");
}

TEST_F(RelinkTest, AStopEndsTheCommandAfterCommittingWhatWasDone) {
  const int32_t first = Custom(u"好", nullptr);
  const int32_t second = Custom(u"好", nullptr);
  Asker asker;
  asker.answers = {1, kAnswerCancel};
  EXPECT_EQ(RelinkCardsToDictionary(store, List({first, second}), lookupfix::kMini, Ask, &asker), 0);
  EXPECT_EQ(Link(first), At(lookupfix::kMini, Hao(4)));
  EXPECT_EQ(Link(second).first, kNoCardSlot);
  EXPECT_EQ(asker.positions, (std::vector<uint32_t>{1}));
  EXPECT_EQ(SqlTransactionDepth(store->database), 0u);
}

TEST_F(RelinkTest, DictionaryFieldNamesAnOpenDictionary) {
  const int32_t card = Linked(lookupfix::kMini, Hao(3));
  WCHAR out[64];
  EXPECT_EQ(FormatCardInfo(store, -1, card, kInfoDictionary, out, 64), 0);
  EXPECT_EQ(Utf8Of(out), "Mini");
  sqlite3_exec(store->database->conn, "UPDATE sorvi_flash_cards SET dictid = 999", nullptr, nullptr, nullptr);
  EXPECT_EQ(FormatCardInfo(store, -1, card, kInfoDictionary, out, 64), 0);
  EXPECT_EQ(Utf8Of(out), "None");
}

TEST_F(RelinkTest, AnEntryThatMakesNoCardIsPassedOverAndTheChunkStays) {
  const int32_t good = Custom(u"好", nullptr);
  const int32_t sky = Custom(u"天", nullptr);
  // The best 好 (hao3) lends no text: that card stays, the other takes
  // its entry's text in the same chunk.
  EXPECT_EQ(RelinkCardsToDictionary(store, List({good, sky}), kLends, nullptr, nullptr), 0);
  EXPECT_EQ(Utf8Of(Text(good, kCardFieldDefinition)), "custom");
  EXPECT_EQ(Utf8Of(sessionfix::Plain(Text(sky, kCardFieldDefinition))), "heaven");
}

class UserEntryTest : public RelinkTest {
 protected:
  void SetUp() override {
    RelinkTest::SetUp();
    slot = AddUserDict();
    uid = AddUserDictEntry(engine_, slot, W(u"猫"), nullptr, W(u"mao1"), W(u"cat"));
    ASSERT_GE(uid, 0);
    card = Linked(slot, static_cast<uint32_t>(MapDictEntryId(engine_, slot, uid)));
    other = Custom(u"猫", u"mao1");
  }
  uint16_t slot = 0;
  int32_t uid = -1, card = -1, other = -1;
};

TEST_F(UserEntryTest, RefreshingTakesTheEntrysNewTexts) {
  ASSERT_EQ(SaveUserDictEntry(engine_, slot, uid, W(u"狗"), nullptr, W(u"gou3"), W(u"dog")), uid);
  EXPECT_EQ(Utf8Of(Text(card, kCardFieldHeadword)), "猫");  // not yet
  Asker asker;
  EXPECT_EQ(RefreshLinkedCards(store, Ids({card, other}), 2, 1, 1, Ask, &asker), 0);
  EXPECT_EQ(Utf8Of(Text(card, kCardFieldHeadword)), "狗");
  EXPECT_EQ(Utf8Of(sessionfix::Plain(Text(card, kCardFieldDefinition))), " dog");
  EXPECT_EQ(Utf8Of(Text(other, kCardFieldHeadword)), "猫");  // custom: nothing to refresh
  EXPECT_EQ(asker.positions, (std::vector<uint32_t>{1, 2}));
  // The batch form, over the cards' own dictionaries.
  ASSERT_EQ(SaveUserDictEntry(engine_, slot, uid, W(u"鱼"), nullptr, W(u"yu2"), W(u"fish")), uid);
  EXPECT_EQ(RelinkCardsToDictionary(store, nullptr, kRelinkOwnDictionary, nullptr, nullptr), 0);
  EXPECT_EQ(Utf8Of(Text(card, kCardFieldHeadword)), "鱼");
}

TEST_F(UserEntryTest, EditingTheEntryUpdatesItsCardsThroughTheHostTable) {
  EXPECT_EQ(UpdateUserDictEntry(engine_, slot, uid, W(u"狗"), nullptr, W(u"gou3"), W(u"dog")), 0);
  EXPECT_EQ(Utf8Of(Text(card, kCardFieldHeadword)), "狗");
  EXPECT_EQ(Utf8Of(sessionfix::Plain(Text(card, kCardFieldDefinition))), " dog");
  EXPECT_EQ(Utf8Of(Text(other, kCardFieldHeadword)), "猫");
  EXPECT_EQ(RelinkCardsOfUserEntry(store, 1, 2, 12345), 0);  // no card of that entry
}

TEST_F(UserEntryTest, WhileTheIndexUpgradeIsPendingNothingIsRelinked) {
  store->needsIndexUpgrade = 1;
  EXPECT_EQ(RelinkCardsOfUserEntry(store, GetDictCreator(engine_, slot),
                                   static_cast<uint32_t>(GetDictId(engine_, slot)), uid),
            1);
  EXPECT_EQ(UpdateUserDictEntry(engine_, slot, uid, W(u"狗"), nullptr, W(u"gou3"), W(u"dog")), -1);
  EXPECT_EQ(Utf8Of(Text(card, kCardFieldHeadword)), "猫");
  store->needsIndexUpgrade = 0;
}

TEST_F(UserEntryTest, RelinkingTheEntrysCardsStopsAtTheFirstThatCannotBeSaved) {
  const int32_t second = Linked(slot, static_cast<uint32_t>(MapDictEntryId(engine_, slot, uid)));
  ASSERT_EQ(SaveUserDictEntry(engine_, slot, uid, W(u"狗"), nullptr, W(u"gou3"), W(u"dog")), uid);
  const std::string refuse =
      "CREATE TEMP TRIGGER refuse BEFORE UPDATE ON sorvi_flash_cards WHEN OLD.id = " + std::to_string(card) +
      " BEGIN SELECT RAISE(ABORT, 'refused'); END";
  ASSERT_EQ(sqlite3_exec(store->database->conn, refuse.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  const uint32_t creator = GetDictCreator(engine_, slot);
  const uint32_t dictId = static_cast<uint32_t>(GetDictId(engine_, slot));
  EXPECT_EQ(RelinkCardsOfUserEntry(store, creator, dictId, uid), 1);
  EXPECT_EQ(Utf8Of(Text(card, kCardFieldHeadword)), "猫");
  EXPECT_EQ(Utf8Of(Text(second, kCardFieldHeadword)), "猫");  // not reached
  ASSERT_EQ(sqlite3_exec(store->database->conn, "DROP TRIGGER refuse", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(RelinkCardsOfUserEntry(store, creator, dictId, uid), 0);
  EXPECT_EQ(Utf8Of(Text(second, kCardFieldHeadword)), "狗");
}

}  // namespace
