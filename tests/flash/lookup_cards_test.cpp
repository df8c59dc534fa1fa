// The lookup session's "add to flashcards" reaching the real store through
// the engine's host table.
#include <gtest/gtest.h>

#include "engine/preferences.h"
#include "flash/cards.h"
#include "flash/store.h"
#include "tests/engine_session/session_fixture.h"

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

}  // namespace
