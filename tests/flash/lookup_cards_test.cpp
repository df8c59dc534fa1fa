// The lookup session's "add to flashcards" reaching the real store through
// the engine's host table.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/sql_db.h"
#include "flash/cards.h"
#include "flash/store.h"
#include "platform/heap.h"
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
    // Slot 6: reading marks in a built-in dictionary's headwords.
    AddDict(searchfix::ChineseDict({lookupfix::Row(u"好²（老）/x们", u"好¹(hǎo)", "hao3 men5", {u"marked"})}, 11,
                                   u"Marked"));
    FillFlashcardHost(&host_.host);
    ASSERT_NE(Build(false, kKvb), nullptr);
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

// A new string from GetCardEntryTexts as text, freed.
std::u16string Take(WCHAR* text) {
  std::u16string out = text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : u"<null>";
  if (text) LocalFree(text);
  return out;
}

TEST_F(LookupCardTest, EntryTextsOfABuiltinDictionaryLoseTheirReadingMarks) {
  BuildWithStore();
  FlashcardStore* store = GetFlashcardStore(engine_);
  WCHAR *hw = nullptr, *althw = nullptr, *pron = nullptr;
  ASSERT_EQ(GetCardEntryTexts(store, 6, 0, &hw, &althw, &pron), 0);
  // Superscript digit, fullwidth "(...)" and "/x" go from the first form;
  // "¹" and an ASCII "(...)" from the second.
  EXPECT_EQ(Take(hw), u"好们");
  EXPECT_EQ(Take(althw), u"好");
  const std::u16string p = Take(pron);
  EXPECT_NE(p, u"<null>");
  EXPECT_EQ(p.find(u'('), std::u16string::npos) << Utf8Of(p);
  // The card saved from it stores the cleaned texts.
  CardEditRecord r{};
  r.scorefile = -1;
  r.linked = 1;
  r.dictSlot = 6;
  r.entry = 0;
  r.duplicateMode = kDuplicateAllow;
  const int32_t id = SaveCard(store, &r, -1);
  ASSERT_GT(id, 0);
  MemHandle* h = NewMemHandle(2);
  ASSERT_EQ(GetCardFieldText(store, id, kCardFieldHeadword, h), 0);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(h->data)), u"好们");
  FreeMemHandle(h);
  // A slot that is not open gives nothing.
  hw = reinterpret_cast<WCHAR*>(&r);
  EXPECT_EQ(GetCardEntryTexts(store, 99, 0, &hw, nullptr, nullptr), 1);
  EXPECT_EQ(hw, nullptr);
}

TEST_F(LookupCardTest, ALinkedCardResolvesToItsOpenEntry) {
  BuildWithStore();
  Open();
  LookupShowEntry(session_, lookupfix::kCedict, 5);
  EXPECT_EQ(Add(), kCardResultAdded);
  FlashcardStore* store = GetFlashcardStore(engine_);
  uint16_t slot = 0;
  int32_t entry = 0;
  ASSERT_EQ(ResolveCardEntry(store, 1, &slot, &entry), 0);
  EXPECT_EQ(slot, lookupfix::kCedict);
  EXPECT_EQ(entry, 5);
  EXPECT_EQ(IsCardLinkedToUserDict(store, 1), 0);  // a built-in dictionary
  // A missing card resolves to nothing.
  EXPECT_EQ(ResolveCardEntry(store, 42, &slot, &entry), 1);
  EXPECT_EQ(slot, kNoCardSlot);
  EXPECT_EQ(entry, -1);
  EXPECT_EQ(IsCardLinkedToUserDict(store, 42), 0);
}

TEST_F(LookupCardTest, FieldTextsOfCustomAndLinkedCards) {
  BuildWithStore();
  Open();
  LookupShowEntry(session_, lookupfix::kCedict, 5);
  EXPECT_EQ(Add(), kCardResultAdded);  // card 1, linked
  FlashcardStore* store = GetFlashcardStore(engine_);
  CardEditRecord r{};
  r.scorefile = -1;
  r.language = kCardLanguageChinese;
  r.headword = reinterpret_cast<const WCHAR*>(u"你好");
  r.pronunciation = reinterpret_cast<const WCHAR*>(u"ni3 hao3");
  r.definition = reinterpret_cast<const WCHAR*>(u"hello");
  r.duplicateMode = kDuplicateAllow;
  const int32_t custom = SaveCard(store, &r, -1);
  ASSERT_GT(custom, 0);
  uint16_t slot = 0;
  int32_t entry = 0;
  EXPECT_EQ(ResolveCardEntry(store, custom, &slot, &entry), 1);  // unlinked
  MemHandle* h = NewMemHandle(2);                                // grows to fit
  auto text = [&] { return std::u16string(static_cast<const char16_t*>(h->data)); };
  struct Case {
    int32_t card;
    uint32_t field;
    const char16_t* expected;  // null: the call fails
  } cases[] = {
      {custom, kCardFieldHeadword, u"你好"},                           // "@" stripped from "你@好"
      {custom, kCardFieldAltHeadword, u""},                            // NULL column
      {custom, kCardFieldDefinition, u"hello"}, {custom, 4, nullptr},  // no such field
      {99, kCardFieldHeadword, nullptr},                               // no such card
  };
  for (const Case& c : cases) {
    const int rc = GetCardFieldText(store, c.card, c.field, h);
    if (!c.expected) {
      EXPECT_EQ(rc, 1) << c.card << "/" << c.field;
      continue;
    }
    ASSERT_EQ(rc, 0) << c.card << "/" << c.field;
    EXPECT_EQ(text(), c.expected) << c.card << "/" << c.field;
  }
  ASSERT_EQ(GetCardFieldText(store, custom, kCardFieldPronunciation, h), 0);
  EXPECT_EQ(text().find(u'@'), std::u16string::npos) << Utf8Of(text());
  EXPECT_NE(text().find(u"ni3"), std::u16string::npos) << Utf8Of(text());
  // A linked card stores no definition: it comes from the open entry.
  ASSERT_EQ(GetCardFieldText(store, 1, kCardFieldDefinition, h), 0);
  EXPECT_FALSE(text().empty());
  EXPECT_EQ(text().find(u'@'), std::u16string::npos);
  // Its headword comes back without key marks.
  ASSERT_EQ(GetCardFieldText(store, 1, kCardFieldHeadword, h), 0);
  EXPECT_FALSE(text().empty());
  FreeMemHandle(h);
}

TEST_F(LookupCardTest, AUserDictionaryKeepsItsTextsAndIsReported) {
  BuildWithStore();
  FlashcardStore* store = GetFlashcardStore(engine_);
  const uint16_t slot = AddUserDict();
  const int32_t uid = AddUserDictEntry(engine_, slot, reinterpret_cast<const WCHAR*>(u"猫²"), nullptr,
                                       reinterpret_cast<const WCHAR*>(u"mao1"), reinterpret_cast<const WCHAR*>(u"cat"));
  ASSERT_GE(uid, 0);
  const int32_t entry = MapDictEntryId(engine_, slot, uid);
  ASSERT_GE(entry, 0);
  // A user's own text is kept as typed: no reading marks are removed.
  WCHAR* hw = nullptr;
  ASSERT_EQ(GetCardEntryTexts(store, slot, static_cast<uint32_t>(entry), &hw, nullptr, nullptr), 0);
  EXPECT_EQ(Take(hw), u"猫²");
  CardEditRecord r{};
  r.scorefile = -1;
  r.linked = 1;
  r.dictSlot = slot;
  r.entry = static_cast<uint32_t>(entry);
  r.duplicateMode = kDuplicateAllow;
  const int32_t id = SaveCard(store, &r, -1);
  ASSERT_GT(id, 0);
  EXPECT_EQ(IsCardLinkedToUserDict(store, id), 1);
  uint16_t resolved = 0;
  int32_t resolvedEntry = -1;
  ASSERT_EQ(ResolveCardEntry(store, id, &resolved, &resolvedEntry), 0);
  EXPECT_EQ(resolved, slot);
  EXPECT_EQ(resolvedEntry, entry);
}

TEST_F(LookupCardTest, ACustomCardBecomesAUserDictionaryEntry) {
  BuildWithStore();
  FlashcardStore* store = GetFlashcardStore(engine_);
  CardEditRecord r{};
  r.scorefile = -1;
  r.language = kCardLanguageChinese;
  r.headword = reinterpret_cast<const WCHAR*>(u"猫咪");
  r.pronunciation = reinterpret_cast<const WCHAR*>(u"mao1 mi1");
  r.definition = reinterpret_cast<const WCHAR*>(u"kitty");
  r.duplicateMode = kDuplicateAllow;
  const int32_t id = SaveCard(store, &r, -1);
  ASSERT_GT(id, 0);
  const uint16_t before = GetDictCount(engine_);
  // No user dictionary yet: one is created and the card linked to it.
  ASSERT_EQ(ConvertCardToUserDictEntry(store, id), 0);
  EXPECT_EQ(GetDictCount(engine_), before + 1);
  EXPECT_EQ(IsCardUnlinked(store, id), 0);
  EXPECT_EQ(IsCardLinkedToUserDict(store, id), 1);
  MemHandle* h = NewMemHandle(2);
  auto field = [&](uint32_t f) {
    EXPECT_EQ(GetCardFieldText(store, id, f, h), 0);
    return std::u16string(static_cast<const char16_t*>(h->data));
  };
  EXPECT_EQ(field(kCardFieldHeadword), u"猫咪");
  // The definition now comes from the entry (the stored one is gone).
  EXPECT_NE(field(kCardFieldDefinition).find(u"kitty"), std::u16string::npos) << Utf8Of(field(kCardFieldDefinition));
  FreeMemHandle(h);
  sqlite3_stmt* s = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(store->database->conn, "SELECT defn IS NULL OR defn = '' FROM sorvi_flash_cards", -1, &s,
                               nullptr),
            0);
  ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(s, 0), 1);
  sqlite3_finalize(s);
  // A linked card is left alone: no second entry, no second dictionary.
  ASSERT_EQ(ConvertCardToUserDictEntry(store, id), 0);
  EXPECT_EQ(GetDictCount(engine_), before + 1);
  EXPECT_EQ(ConvertCardToUserDictEntry(store, 999), 1);  // no such card
}

}  // namespace
