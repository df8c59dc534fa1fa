// Card content: each caller's field mask over a custom card, a linked card
// and a card whose dictionary is gone; the session's charset choice and the
// shown card's content.
#include "flash/card_content.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "engine/audio_index.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/lookup_services.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/sql_db.h"
#include "flash/cards.h"
#include "flash/session.h"
#include "flash/session_queries.h"
#include "flash/store.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"
#include "tests/engine_session/session_fixture.h"
#include "tests/support/utf16_print.h"
#include "tools/databuild/audio_tables.h"

namespace {

inline constexpr char kKvb[] = "\\My Documents\\Sorvi Flashcards.kvb";

class CardContentTest : public sessionfix::SessionTest {
 protected:
  void SetUp() override {
    sessionfix::SessionTest::SetUp();
    AddCedict();
    FillFlashcardHost(&host_.host);
    ASSERT_NE(Build(false, kKvb), nullptr);
    store_ = GetFlashcardStore(engine_);
    ASSERT_NE(store_, nullptr);
    handle_ = NewMemHandle(2);
    // A custom card with both headword forms, two linked cards; the second
    // then points at a dictionary that is not there.
    CardEditRecord r{};
    r.scorefile = -1;
    r.language = kCardLanguageChinese;
    r.headword = reinterpret_cast<const WCHAR*>(u"你好");
    r.altHeadword = reinterpret_cast<const WCHAR*>(u"妳好");
    r.pronunciation = reinterpret_cast<const WCHAR*>(u"ni3 hao3");
    r.definition = reinterpret_cast<const WCHAR*>(u"hello");
    r.duplicateMode = kDuplicateAllow;
    custom_ = SaveCard(store_, &r, -1);
    ASSERT_GT(custom_, 0);
    for (int32_t* card : {&linked_, &broken_}) {
      CardEditRecord l{};
      l.scorefile = -1;
      l.linked = 1;
      l.dictSlot = lookupfix::kCedict;
      l.entry = card == &linked_ ? 5 : 6;
      l.duplicateMode = kDuplicateAllow;
      *card = SaveCard(store_, &l, -1);
      ASSERT_GT(*card, 0);
    }
    const std::string sql = "UPDATE sorvi_flash_cards SET dictid = 999 WHERE id = " + std::to_string(broken_);
    ASSERT_EQ(sqlite3_exec(store_->database->conn, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  }
  void TearDown() override {
    FreeMemHandle(handle_);
    sessionfix::SessionTest::TearDown();
  }
  std::u16string Text() const { return static_cast<const char16_t*>(handle_->data); }
  std::u16string Content(int32_t card, uint32_t fields) {
    CardContentRecord c{};
    c.store = store_;
    c.card = card;
    c.fields = fields;
    c.text = handle_;
    EXPECT_EQ(BuildCardContent(nullptr, &c), 0) << card << "/" << fields;
    return Text();
  }
  std::u16string Stored(int32_t card, uint32_t field) {
    EXPECT_EQ(GetCardStoredText(store_, card, field, handle_), 0);
    return Text();
  }
  // The entry of a linked card as the lookup renders it.
  std::u16string Entry(uint32_t entry, uint32_t flags) {
    EngineLockGuard lock;
    FormatEntryText(engine_, handle_, lookupfix::kCedict, entry, 0, flags);
    return Text();
  }

  FlashcardStore* store_ = nullptr;
  MemHandle* handle_ = nullptr;
  int32_t custom_ = 0, linked_ = 0, broken_ = 0;
};

TEST_F(CardContentTest, EachCallersMaskOverEachKindOfCard) {
  // The broken card's own fields as the lines the builder writes.
  const std::u16string brokenHw = Stored(broken_, kCardFieldHeadword);
  const std::u16string brokenAlt = Stored(broken_, kCardFieldAltHeadword);
  const std::u16string brokenPron = Stored(broken_, kCardFieldPronunciation);
  ASSERT_FALSE(brokenHw.empty());
  auto head = [&](bool altFirst) {
    const std::u16string& first = altFirst && !brokenAlt.empty() ? brokenAlt : brokenHw;
    const std::u16string& other = altFirst && !brokenAlt.empty() ? brokenHw : brokenAlt;
    return other.empty() || other == first ? first : first + u" [" + other + u"]";
  };
  const std::u16string note = kMissingLinkNote;
  enum Kind { kLiteral, kEntry, kEntryDefinition };
  struct Case {
    const char* what;
    int32_t card;
    uint32_t fields;
    Kind kind;
    std::u16string expected;  // kLiteral
    uint32_t entryFlags;      // kEntry: FormatEntryText's flags
  } cases[] = {
      // Card lists (567 / 55): a custom card's fields on one line, the
      // chosen form first and the other in brackets.
      {"list, alt first", custom_, kCardListMask | kContentAltFirst, kLiteral, u"妳好 [你好] ni3 hao3 hello", 0},
      {"list", custom_, kCardListMask, kLiteral, u"你好 [妳好] ni3 hao3 hello", 0},
      // A linked card shows its entry instead, in the one-line form and
      // the second display mode for alt first.
      {"list, linked, alt first", linked_, kCardListMask | kContentAltFirst, kEntry, u"", 0x2 | 0x1000000},
      {"list, linked", linked_, kCardListMask, kEntry, u"", 0x2},
      // A link that leads nowhere: the note, then the card's own fields.
      {"list, broken", broken_, kCardListMask, kLiteral,
       note + u"\n" + head(false) + (brokenPron.empty() ? u"" : u" " + brokenPron), 0},
      // The linked definition (820 / 308): only the text after headword
      // and reading.
      {"definition, linked", linked_, kLinkedDefinitionMask, kEntryDefinition, u"", 0},
      {"definition, custom", custom_, kLinkedDefinitionMask | kContentAltFirst, kLiteral, u"hello", 0},
      {"definition, broken", broken_, kLinkedDefinitionMask, kLiteral, note, 0},
      // Export (12340 / 12343 and with 0x200): a stored definition wins,
      // and a broken link writes no note into the file.
      {"export definition, custom", custom_, kExportDefinitionMask, kLiteral, u"hello", 0},
      {"export card, custom", custom_, kExportFullCardMask | kContentAltFirst, kLiteral, u"妳好 [你好] ni3 hao3 hello",
       0},
      {"export card, linked", linked_, kExportFullCardMask, kEntry, u"", 0x2},
      {"export card, broken", broken_, kExportFullCardMask, kLiteral,
       head(false) + (brokenPron.empty() ? u"" : u" " + brokenPron), 0},
      // Import's duplicate question (519 / 7) and the exchange file's
      // existing card (0x1207 / 0x1007): the card's own text, one field a
      // line, whatever its link.
      {"import", custom_, kImportQuestionMask, kLiteral, u"你好 [妳好]\nni3 hao3\nhello", 0},
      {"import, alt first", custom_, kImportQuestionMask | kContentAltFirst, kLiteral, u"妳好 [你好]\nni3 hao3\nhello",
       0},
      {"import, broken", broken_, kImportQuestionMask | kContentAltFirst, kLiteral,
       head(true) + (brokenPron.empty() ? u"" : u"\n" + brokenPron), 0},
      {"exchange", custom_, kExchangeExistingMask | kContentAltFirst, kLiteral, u"妳好 [你好]\nni3 hao3\nhello", 0},
      // Single fields.
      {"headword only", custom_, kContentHeadword, kLiteral, u"你好 [妳好]", 0},
      {"nothing asked", custom_, 0, kLiteral, u"", 0},
  };
  for (const Case& c : cases) {
    std::u16string expected = c.expected;
    if (c.kind == kEntry) expected = Entry(5, c.entryFlags);
    if (c.kind == kEntryDefinition) {
      EngineLockGuard lock;
      expected = GetLinkedEntryDefinition(engine_, lookupfix::kCedict, 5);
    }
    if (c.kind != kLiteral) {
      ASSERT_FALSE(expected.empty()) << c.what;
    }
    EXPECT_EQ(Content(c.card, c.fields), expected) << c.what << ": " << Utf8Of(Text());
  }
}

TEST_F(CardContentTest, FieldAndDisplayTextsGoThroughTheBuilder) {
  // The linked card stores no definition: GetCardFieldText takes the
  // entry's, the broken one says its link is missing.
  std::u16string entryDefinition;
  {
    EngineLockGuard lock;
    entryDefinition = GetLinkedEntryDefinition(engine_, lookupfix::kCedict, 5);
  }
  ASSERT_EQ(GetCardFieldText(store_, linked_, kCardFieldDefinition, handle_), 0);
  EXPECT_EQ(Text(), entryDefinition);
  ASSERT_EQ(GetCardFieldText(store_, broken_, kCardFieldDefinition, handle_), 0);
  EXPECT_EQ(Text(), kMissingLinkNote);
  // Card lists follow the program's display mode.
  SetPref(engine_, kPrefDisplayMode, 0);
  ASSERT_EQ(GetCardDisplayText(store_, custom_, handle_), 0);
  EXPECT_EQ(Text(), u"你好 [妳好] ni3 hao3 hello");
  SetPref(engine_, kPrefDisplayMode, 1);
  ASSERT_EQ(GetCardDisplayText(store_, custom_, handle_), 0);
  EXPECT_EQ(Text(), u"妳好 [你好] ni3 hao3 hello");
  ASSERT_EQ(GetCardDisplayText(store_, linked_, handle_), 0);
  const std::u16string shown = Text();
  EXPECT_EQ(shown, Entry(5, 0x2 | 0x1000000));
  // A card that is not there, or no store, fails.
  EXPECT_EQ(GetCardDisplayText(store_, 999, handle_), 1);
  EXPECT_EQ(GetCardDisplayText(nullptr, custom_, handle_), 1);
}

TEST_F(CardContentTest, TheSessionChoosesCharsetAndShownFields) {
  auto* s = new FlashSession{};
  s->store = store_;
  struct Case {
    const char* what;
    int32_t force, charset, displayMode;
    int expected;
  } charsets[] = {
      {"forced, the other form", 1, 1, 0, 1},
      {"forced, the headword", 1, 0, 1, 0},
      {"not forced: the program's mode", 0, 1, 1, 1},
      {"not forced, mode off", 0, 1, 0, 0},
  };
  for (const Case& c : charsets) {
    s->display.forceCharset = c.force;
    s->display.charset = c.charset;
    SetPref(engine_, kPrefDisplayMode, c.displayMode);
    EXPECT_EQ(SelectCardCharset(s), c.expected) << c.what;
  }
  EXPECT_EQ(SelectCardCharset(nullptr), 0);

  // The shown card: with the definition among the set's fields, its
  // definition; the whole card on request; nothing shown gives 1.
  s->display.forceCharset = 1;
  s->display.charset = 1;
  EXPECT_EQ(PrepareCurrentCardContent(s, handle_, 1), 1);  // no card yet
  s->currentCard = custom_;
  s->fieldSetCount = 1;
  s->currentFieldSet = 0;
  s->fieldSets[0].display[0] = kFieldHeadword;
  s->fieldSets[0].display[1] = kFieldDefinition;
  s->fieldSets[0].displayCount = 2;
  ASSERT_EQ(PrepareCurrentCardContent(s, handle_, 0), 0);
  EXPECT_EQ(Text(), u"hello");
  ASSERT_EQ(PrepareCurrentCardContent(s, handle_, 1), 0);
  EXPECT_EQ(Text(), u"妳好 [你好]\nni3 hao3\nhello");
  s->fieldSets[0].displayCount = 1;  // headword only: the window draws it
  ASSERT_EQ(PrepareCurrentCardContent(s, handle_, 0), 0);
  EXPECT_EQ(Text(), u"");
  s->currentCard = linked_;
  s->fieldSets[0].displayCount = 2;
  ASSERT_EQ(PrepareCurrentCardContent(s, handle_, 0), 0);
  EXPECT_EQ(Text(), Entry(5, 0x1000000));
  delete s;
}

TEST_F(CardContentTest, SyllablesAndPronunciationOfTheShownCard) {
  auto* s = new FlashSession{};
  s->store = store_;
  WCHAR buffer[20];
  auto text = [&] { return std::u16string(reinterpret_cast<const char16_t*>(buffer)); };
  EXPECT_EQ(GetCardSyllableText(s, 0, buffer, 20), 1);  // no card shown
  EXPECT_EQ(text(), u"");
  s->currentCard = custom_;  // "ni3 hao3"
  struct Case {
    const char* what;
    int32_t charsetMode;  // preference 91
    int32_t index;
    const char16_t* expected;  // null: no such syllable
  } cases[] = {
      {"tone marks", 1, 0, u"n\u01d0"},
      {"tone marks, second", 1, 1, u"h\u01ceo"},
      {"tone digits", 2, 1, u"hao3"},
      {"the first mode: pinyin without tones", 0, 0, u"ni"},
      {"past the last syllable", 2, 2, nullptr},
      {"negative index", 2, -1, nullptr},
  };
  for (const Case& c : cases) {
    SetPref(engine_, kPrefCharsetMode, c.charsetMode);
    EXPECT_EQ(GetCardSyllableText(s, c.index, buffer, 20), c.expected ? 0 : 1) << c.what;
    EXPECT_EQ(text(), c.expected ? c.expected : u"") << c.what << ": " << Utf8Of(text());
  }
  // A buffer too small keeps a terminated start.
  SetPref(engine_, kPrefCharsetMode, 2);
  ASSERT_EQ(GetCardSyllableText(s, 1, buffer, 3), 0);
  EXPECT_EQ(text().size(), 2u);
  // The whole pronunciation, and none without a card.
  ASSERT_EQ(GetCurrentCardPronText(s, buffer, 16), 0);
  EXPECT_EQ(text(), u"ni3 hao3") << Utf8Of(text());  // the space between words kept
  s->currentCard = -1;
  EXPECT_EQ(GetCurrentCardPronText(s, buffer, 16), 1);
  EXPECT_EQ(text(), u"");
  delete s;
}

TEST(AnswerFieldCode, FollowsTheHiddenField) {
  auto* s = new FlashSession{};
  const struct {
    int32_t state;
    int32_t expected;
  } cases[] = {
      {kSessionHiddenHeadword, kAnswerFieldHeadword},      // 3 gives 6
      {kSessionHiddenPron, kAnswerFieldPron},              // 4 gives 5
      {kSessionHiddenDefinition, kAnswerFieldDefinition},  // 5 gives 3
      {kSessionQuestion, 0},
      {kSessionAnswerShown, 0},
      {kSessionBrowsing, 0},
  };
  for (const auto& c : cases) {
    s->state = c.state;
    EXPECT_EQ(GetAnswerFieldCode(s), c.expected) << c.state;
  }
  EXPECT_EQ(GetAnswerFieldCode(nullptr), 0);
  delete s;
}

// A linked card speaks its dictionary entry, read from the entry (not the
// card) and through the engine's alternating sets.
TEST_F(CardContentTest, LinkedCardSpeaksItsEntry) {
  // The syllable codes of an entry's reading.
  auto keyOf = [&](uint32_t entry) {
    WCHAR syllables[32] = {};
    EngineLockGuard lock;
    FetchEntryPart(engine_, lookupfix::kCedict, entry, syllables, 32, 1, 1);
    std::u16string key;
    for (const WCHAR* c = syllables; *c; ++c)
      if (*c >= kSyllableFirst && *c <= kSyllableLastArea) key.push_back(static_cast<char16_t>(*c));
    return key;
  };
  const std::u16string key = keyOf(5);
  ASSERT_FALSE(key.empty());
  // An entry that shares no syllable with it has no clip.
  uint32_t other = 6;
  while (other < 200 && keyOf(other).find_first_of(key) != std::u16string::npos) ++other;
  ASSERT_LT(other, 200u);
  databuild::AudioGroupSpec group;
  group.id = 1;
  group.flags = databuild::kAudioSetA;
  group.kind = 5;
  const std::string clip = "entry-5";
  group.clips.push_back({key, databuild::ByteVec(clip.begin(), clip.end())});
  databuild::DataFileSpec file;
  file.shortName = u"Audio";
  std::string error;
  ASSERT_EQ(databuild::AddAudioGroup(group, &file, &error), 0) << error;
  DbFile* audio = files_.Add(file);
  ASSERT_NE(audio, nullptr);
  ASSERT_EQ(AddDictionaries(engine_, &audio, 1), 0);
  SetPref(engine_, kPrefAudioFileSet, 1);  // always set A

  MemHandle* clips[kMaxSyllableClips] = {};
  for (MemHandle*& h : clips) h = NewMemHandle(0);
  uint32_t sizes[kMaxSyllableClips] = {};
  uint16_t kind = 0;
  uint8_t set = 1;
  auto* s = new FlashSession{};
  s->store = store_;
  s->currentCard = linked_;
  s->dictRef = SessionDictRef{lookupfix::kCedict, 5};
  EXPECT_EQ(GetCurrentCardAudio(s, &set, clips, sizes, &kind), 0);
  ASSERT_GT(sizes[0], 0u);
  EXPECT_EQ(std::string(static_cast<const char*>(clips[0]->data), sizes[0]), clip);
  EXPECT_EQ(kind, 5);
  EXPECT_EQ(set, 0);
  s->dictRef.entry = static_cast<int32_t>(other);
  EXPECT_EQ(GetCurrentCardAudio(s, &set, clips, sizes, &kind), 1);
  delete s;
  for (MemHandle* h : clips) FreeMemHandle(h);
}

}  // namespace
