// The lookup session's "add to flashcards" reaching the real store through
// the engine's host table.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "engine/dict_set.h"
#include "engine/preferences.h"
#include "engine/sql_db.h"
#include "flash/cards.h"
#include "flash/store.h"
#include "tests/engine_session/session_fixture.h"
#include "tests/support/utf16_print.h"

namespace {

inline constexpr char kKvb[] = "\\My Documents\\Sorvi Flashcards.kvb";

class LookupCardTest : public sessionfix::SessionTest {
 protected:
  // The standard dictionaries with the real flashcard services.
  void BuildWithStore() {
    AddCedict();
    AddMini();
    AddEnglish();
    AddChars();
    // Slot 4 gives no cards, slot 5 lends its text to custom cards.
    for (uint32_t flag : {kDictFlagNoCards, kDictFlagLendsText}) {
      databuild::DictionarySpec d = searchfix::ChineseDict({lookupfix::Row(u"好", u"好", "hao3", {u"good"})},
                                                           flag == kDictFlagNoCards ? 9 : 10, u"Flagged");
      d.info.flags |= flag;
      AddDict(d);
    }
    FillFlashcardHost(&host_.host);
    CreateDirectoryW(u"\\My Documents", nullptr);
    EngineParams p = dictfix::QuietParams();
    p.noFlashcards = 0;
    p.host = &host_.host;
    p.flashcardArg = const_cast<char*>(kKvb);
    p.userFolder = "\\My Documents\\";
    p.userExtension = ".kvb";
    engine_ = CreateEngine(files_.files().data(), static_cast<uint32_t>(files_.files().size()), &p);
    ASSERT_NE(engine_, nullptr);
    ASSERT_NE(GetFlashcardStore(engine_), nullptr);
  }
  uint32_t Add() {
    notices_.clear();
    EXPECT_EQ(Command(kLookupAddCard, -1), 0);
    EXPECT_EQ(notices_.size(), 1u);
    return notices_.empty() ? 0 : notices_[0].cardResult;
  }
};

TEST_F(LookupCardTest, AddingTheCurrentEntryFilesARealCard) {
  BuildWithStore();
  Open();
  LookupShowEntry(session_, lookupfix::kCedict, 5);
  // Defaults: preference 201 = 1 (merge), no default category.
  EXPECT_EQ(Add(), kCardResultAdded);
  FlashcardStore* store = GetFlashcardStore(engine_);
  int32_t creator = 0, dictId = 0, entry = 0;
  ASSERT_EQ(GetCardDictRef(store, 1, &creator, &dictId, &entry), 0);
  EXPECT_EQ(creator, static_cast<int32_t>(GetDictCreator(engine_, lookupfix::kCedict)));
  EXPECT_EQ(dictId, GetDictId(engine_, lookupfix::kCedict));
  EXPECT_EQ(entry, static_cast<int32_t>(GetDictEntryKey(engine_, lookupfix::kCedict, 5)));
  EXPECT_EQ(Add(), kCardResultExisted);
  SetPref(engine_, kPrefCardMode, 4);
  EXPECT_EQ(Add(), kCardResultAsk);
  EXPECT_EQ(IsCardUnlinked(store, 1), 0);
  EXPECT_EQ(IsCardUnlinked(store, 2), 1);  // no second card
}

TEST_F(LookupCardTest, ADictionaryThatGivesNoCardsWritesNothing) {
  BuildWithStore();
  ASSERT_TRUE(GetDictFlags(engine_, 4) & kDictFlagNoCards);
  CardEditRecord r{};
  r.scorefile = -2;
  r.linked = 1;
  r.dictSlot = 4;
  r.entry = 0;
  EXPECT_EQ(SaveCard(GetFlashcardStore(engine_), &r, -1), -1);
  EXPECT_EQ(IsCardUnlinked(GetFlashcardStore(engine_), 1), 1);  // no card 1
  // A slot that does not exist is refused the same way.
  r.dictSlot = 99;
  EXPECT_EQ(SaveCard(GetFlashcardStore(engine_), &r, -1), -1);
}

TEST_F(LookupCardTest, ADictionaryThatLendsItsTextGivesACustomCard) {
  BuildWithStore();
  FlashcardStore* store = GetFlashcardStore(engine_);
  CardEditRecord r{};
  r.scorefile = -1;
  r.linked = 1;
  r.dictSlot = 5;
  r.entry = 0;
  r.duplicateMode = kDuplicateAllow;
  const int32_t id = SaveCard(store, &r, -1);
  ASSERT_GT(id, 0);
  int32_t creator = 0, dictId = 0, entry = 0;
  ASSERT_EQ(GetCardDictRef(store, id, &creator, &dictId, &entry), 0);
  EXPECT_EQ(creator, -1);
  EXPECT_EQ(dictId, -1);
  EXPECT_EQ(entry, -1);
  sqlite3_stmt* s = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(store->database->conn, "SELECT defn, hw FROM sorvi_flash_cards", -1, &s, nullptr), 0);
  ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
  const std::u16string defn(static_cast<const char16_t*>(sqlite3_column_text16(s, 0)));
  const std::u16string hw(static_cast<const char16_t*>(sqlite3_column_text16(s, 1)));
  sqlite3_finalize(s);
  EXPECT_NE(defn.find(u"good"), std::u16string::npos);
  EXPECT_EQ(hw, u"好");
  EXPECT_EQ(defn.find(u"好"), std::u16string::npos) << Utf8Of(defn);
}

}  // namespace
