// What the test window asks a session: statistics, buttons by state,
// status texts and due labels, the score-change label, setting ids, and
// key actions pressing the offered buttons.
#include <sqlite3.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_index.h"
#include "engine/dict_order.h"
#include "engine/engine_host.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/sql_query.h"
#include "engine/stroke_index.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/flash_sql.h"
#include "flash/session_commands.h"
#include "flash/session_queries.h"
#include "flash/store_schema.h"
#include "platform/clock.h"
#include "platform/engine_lock.h"
#include "resources/resources.h"
#include "session_fixture.h"
#include "tests/engine_resources/resources_fixture.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/entry_markup.h"

namespace {

std::u16string Str(const WCHAR* w) { return reinterpret_cast<const char16_t*>(w); }

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTestClock();
    s = std::make_unique<FlashSession>();
    s->startTicks = GetTicks();
    s->currentFieldSet = -1;
  }
  void TearDown() override { UninstallVirtualClock(); }
  std::u16string Statistics(const char16_t* before = u"") {
    WCHAR buffer[256] = {};
    for (int i = 0; before[i]; ++i) buffer[i] = before[i];
    FormatSessionStatistics(s.get(), buffer, 256);
    return Str(buffer);
  }
  std::vector<int32_t> Buttons() {
    SessionActionButtons b;
    GetSessionActionButtons(s.get(), &b);
    std::vector<int32_t> out;
    for (int32_t c : b.commands)
      if (c) out.push_back(c);
    return out;
  }
  std::unique_ptr<FlashSession> s;
};

TEST_F(QueryTest, StatisticsText) {
  EXPECT_EQ(Statistics(), u"No Cards Tested");
  s->correctAnswers = 7;
  s->incorrectAnswers = 3;
  s->scoreSum = 2500;
  s->difficultySum = 1000;
  AdvanceVirtualClock(3725 * 1000);
  EXPECT_EQ(Statistics(u">"),
            u">Session Statistics:\nCorrect: 7 (70%)\nIncorrect: 3 (30%)\nAverage Score: 250\nElapsed Time: 1:02:05");
  s->difficultySum = 1234;
  s->startTicks = GetTicks() - 65 * 1000;
  EXPECT_EQ(Statistics(),
            u"Session Statistics:\nCorrect: 7 (70%)\nIncorrect: 3 (30%)\nAverage Score: 250\nAverage Difficulty: "
            u"123\nElapsed Time: 1:05");
}

TEST_F(QueryTest, DueLabels) {
  const int64_t t = 1800000000, day = 86400;  // score 100 at 100 points: due a day after review
  struct Case {
    bool reviewed;
    int64_t lastReviewed;
    const char16_t* label;
  } cases[] = {
      {false, 0, u"New"},
      {true, t - day + 5400, u"-1h"},         // due 90 minutes after T
      {true, t - day - 26 * 3600, u"1d 2h"},  // 26 hours overdue
      {true, t - 2 * day, u"1d 0h"},          // exactly a day
      {true, t - day - 2700, u"45m"},
      {true, t - 3 * day, u"2d 0h"},
      {true, t - day + 30, u"-0m"},
  };
  for (const Case& c : cases) {
    WCHAR text[32];
    FormatDueLabel(c.reviewed, c.lastReviewed, 100, 1, 100, t, text, 32);
    EXPECT_EQ(Str(text), c.label);
  }
}

TEST_F(QueryTest, DefaultScoreChangeLabel) {
  struct Case {
    int32_t direction, amount, type;
    int bare;
    const char16_t* label;
  } cases[] = {
      {1, 50, 1, 0, u"Default (-50%)"}, {2, 200, 1, 0, u"Default (to 200)"},
      {1, 50, 1, 1, u"-50%"},           {0, 30, 0, 0, u"Default (+30)"},
      {2, -7, 0, 1, u"to 7"},
  };
  for (const Case& c : cases) {
    DisplaySettings d{};
    d.buttonScoreChange = c.direction;
    d.buttonScoreTarget = c.amount;
    d.buttonScoreType = c.type;
    WCHAR text[32];
    FormatDefaultScoreChangeLabel(&d, text, 32, c.bare);
    EXPECT_EQ(Str(text), c.label);
  }
}

TEST_F(QueryTest, ButtonsByState) {
  const std::vector<int32_t> down = {17, 16, 15, 14, 13, 12}, up = {12, 13, 14, 15, 16, 17};
  struct Case {
    int32_t state, type, prompt, showAll, kind;
    std::vector<int32_t> buttons;
  } cases[] = {
      {1, kTestReviewOnly, 0, 0, 4, {11}},         {1, kTestSelfScored, 0, 0, 4, {1}},
      {1, kTestMultipleChoice, 0, 0, 4, {}},       {1, kTestFreeAnswer, 0, 0, 4, {10}},
      {2, kTestMultipleChoice, 0, 0, 4, {}},       {4, kTestSelfScored, 0, 0, 4, {1, 8, 9}},
      {6, kTestReviewOnly, 1, 1, 4, {11}},         {6, kTestSelfScored, 0, 0, kScoringNone, {11}},
      {6, kTestSelfScored, 0, 0, 4, {8, 9}},       {6, kTestSelfScored, 1, 1, 4, down},
      {6, kTestSelfScored, 1, 6, 4, down},         {6, kTestSelfScored, 1, 5, 4, up},
      {6, kTestSelfScored, 1, 0, 4, {8, 9}},       {7, kTestSelfScored, 0, 0, 4, {11}},
      {7, kTestSelfScored, 1, 0, 4, {17, 16, 15}}, {7, kTestSelfScored, 1, 4, 4, {17, 16, 15}},
      {7, kTestSelfScored, 1, 3, 4, {15, 16, 17}}, {7, kTestSelfScored, 1, 6, 4, down},
      {7, kTestSelfScored, 1, 5, 4, up},           {8, kTestSelfScored, 0, 0, 4, {11}},
      {8, kTestSelfScored, 1, 2, 4, {12, 13, 14}}, {8, kTestSelfScored, 1, 4, 4, {14, 13, 12}},
      {8, kTestSelfScored, 1, 1, 4, up},           {8, kTestSelfScored, 1, 6, 4, down},
  };
  for (const Case& c : cases) {
    s->state = c.state;
    s->testType = c.type;
    s->scoring.scorePrompt = c.prompt;
    s->scoring.promptShowAll = c.showAll;
    s->scoring.kind = c.kind;
    EXPECT_EQ(Buttons(), c.buttons) << "state " << c.state << " type " << c.type << " show-all " << c.showAll;
  }
}

TEST_F(QueryTest, BrowsingAndRevealButtons) {
  s->state = kSessionBrowsing;
  s->browsePosition = 1;
  s->undoCount = 2;
  EXPECT_EQ(Buttons(), (std::vector<int32_t>{30, 19, 20}));
  s->undone[1] = 1;
  EXPECT_EQ(Buttons(), (std::vector<int32_t>{18, 19, 20}));
  s->browsePosition = 5;  // no saved row that far back
  EXPECT_EQ(Buttons(), (std::vector<int32_t>{18, 19, 20}));

  s->state = kSessionQuestion;
  s->testType = kTestSelfScored;
  s->revealSeparately = 1;
  s->fieldSetCount = 1;
  s->currentFieldSet = 0;
  s->fieldSets[0].askedCount = 3;
  s->fieldSets[0].asked[0] = kFieldPron;
  s->fieldSets[0].asked[1] = kFieldHeadword;
  s->fieldSets[0].asked[2] = kFieldDefinition;
  EXPECT_EQ(Buttons(), (std::vector<int32_t>{6, 4, 1}));
}

TEST_F(QueryTest, CardCounter) {
  struct Case {
    int32_t method, state, questionIndex, browse, toAsk, due;
    const char16_t* text;
  } cases[] = {
      {kSelectRandom, kSessionQuestion, 4, -1, 20, 0, u"5/20"},
      {kSelectRandom, kSessionBrowsing, 4, 2, 20, 0, u"3/20"},
      {kSelectRepetitionSpaced, kSessionQuestion, 2, -1, 50, 7, u"3/7"},
      {kSelectRepetitionSpaced, kSessionQuestion, 7, -1, 50, 7, u"8/50"},
      {kSelectRandom, kSessionQuestion, 0, -1, 0, 0, u"1"},
  };
  for (const Case& c : cases) {
    s->method = c.method;
    s->state = c.state;
    s->questionIndex = c.questionIndex;
    s->browsePosition = c.browse;
    s->cardsToAsk = c.toAsk;
    s->dueCount = c.due;
    WCHAR text[16];
    FormatSessionInfoText(s.get(), kInfoCardCounter, text, 16);
    EXPECT_EQ(Str(text), c.text);
  }
}

TEST(SettingIds, MapTestTypesAndDirections) {
  int32_t starts, shows, asks;
  ScoreFilterSettingIds(kTestMultipleChoice, &starts, &shows, &asks);
  EXPECT_EQ(starts, 38);
  EXPECT_EQ(shows, 39);
  EXPECT_EQ(asks, 40);
  ScoreFilterSettingIds(kTestStrokeOrder, &starts, &shows, &asks);
  EXPECT_EQ(starts, -1);
  ScoreFilterSettingIds(kTestTonePractice, &starts, &shows, &asks);
  EXPECT_EQ(shows, 45);
  EXPECT_EQ(asks, -1);
  struct Case {
    int32_t type, direction, ask, field, prompt;
  } cases[] = {
      {kTestReviewOnly, 3, 0, 3, 15},   {kTestSelfScored, 2, 0, 4, 17},  {kTestMultipleChoice, 2, 1, 6, 22},
      {kTestFreeAnswer, 3, 0, 7, 29},   {kTestFreeAnswer, 1, 1, 8, 26},  {kTestTonePractice, 1, 0, 9, 31},
      {kTestStrokeOrder, 1, 0, -1, -1}, {kTestReviewOnly, 1, 1, -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapFieldToCode(c.type, c.ask), c.field) << c.type;
    EXPECT_EQ(MapPromptToCode(c.type, c.direction, c.ask), c.prompt) << c.type;
  }
  EXPECT_EQ(MapPromptToCode(kTestMultipleChoice, 4, 0), -1);
}

class SessionQueryTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    Plain();
    Set(kProType, kTestSelfScored);
    Set(kProScoreprompt, 1);
    Set(kProScorepromptshowall, 0);
    Cards(1, 3);
    Build();
    ASSERT_NE(session, nullptr);
    ProcessSessionCommand(session, kCmdStart, -1);
  }
  std::u16string Info(int32_t code) {
    session->display.topField1 = code;
    WCHAR text[64];
    FormatSessionInfoText(session, kInfoTopField1, text, 64);
    return Str(text);
  }
  CardScoreRecord Row(int32_t card) {
    CardScoreRecord r;
    EXPECT_EQ(ReadCardScore(store, scorefile, card, &r, 0), 0);
    return r;
  }
};

TEST_F(SessionQueryTest, TopFieldCodes) {
  Score(1, 250, "52", now - 86400, 2);
  OnStore("UPDATE sorvi_flash_scores_" + std::to_string(scorefile) +
          " SET correct = 1, incorrect = 3, difficulty = 90, history = '52W' WHERE card = 1");
  session->correctAnswers = 3;
  session->incorrectAnswers = 1;
  EXPECT_EQ(Info(0), u"");
  EXPECT_EQ(Info(3), u"75%");
  EXPECT_EQ(Info(4), u"3:1");
  EXPECT_EQ(Info(5), u"25%");
  EXPECT_EQ(Info(6), u"1:3");
  EXPECT_EQ(Info(7), u"250");
  EXPECT_EQ(Info(8), u"90");
  EXPECT_EQ(Info(10), u"2");  // high priority
  EXPECT_EQ(Info(99), u"3");
  AdvanceVirtualClock(65 * 1000);
  EXPECT_EQ(Info(2), u"1:05");
  EXPECT_EQ(Info(9), u"1:05");
  // Due in 2.5 days from a review a day ago (100 points a day).
  EXPECT_EQ(Info(11), u"-1d 12h");
  session->currentCard = 2;  // no score row
  EXPECT_EQ(Info(11), u"New");
}

TEST_F(SessionQueryTest, KeyActionsPressTheOfferedButtons) {
  EXPECT_EQ(session->state, kSessionQuestion);
  HandleSessionKeyAction(session, 1);  // the reveal button
  EXPECT_EQ(session->state, kSessionAnswerShown);
  EXPECT_EQ(IsSessionOver(session), 1);
  HandleSessionKeyAction(session, 3);  // buttons 8, 9: the second
  EXPECT_EQ(session->state, kSessionAfterIncorrect);
  HandleSessionKeyAction(session, 11);  // grade 3
  EXPECT_EQ(Row(1).history[0], 3);
  EXPECT_EQ(session->currentCard, 2);
  EXPECT_EQ(IsSessionOver(session), 0);
  HandleSessionKeyAction(session, 4);  // reveal
  HandleSessionKeyAction(session, 5);  // Correct
  EXPECT_EQ(session->state, kSessionAfterCorrect);
  HandleSessionKeyAction(session, 9);  // grade 4
  EXPECT_EQ(Row(2).history[0], 4);
  HandleSessionKeyAction(session, 7);  // back
  EXPECT_EQ(session->state, kSessionBrowsing);
  HandleSessionKeyAction(session, 8);  // return
  EXPECT_EQ(session->state, kSessionQuestion);
  HandleSessionKeyAction(session, 14);  // nothing
  HandleSessionKeyAction(session, 4);
  HandleSessionKeyAction(session, 25);  // grade 6
  EXPECT_EQ(Row(3).history[0], 6);
}

}  // namespace

namespace {

class LayoutTest : public SessionTest {};

TEST_F(LayoutTest, FreeAnswerChineseSession) {
  Plain();
  Set(kProType, kTestFreeAnswer);
  Set(kProLanguage, 4096);
  Set(kProSimpleFreeshow, 5);  // headword and definition shown
  Set(kProSimpleFreeask, 2);   // pronunciation asked
  Set(kProTopfield1, 1);
  Set(kProTopfield2, 9);
  Set(kProAudioall, 0);
  Set(kProButtonback, 1);
  Set(kProButtonremovesession, 1);
  Set(kProButtoninfo, 0);
  Set(kProButtondelete, 0);
  Set(kProButtonscore, 0);
  Set(kProButtoncat, 0);
  Set(kProDefnsize, 3);
  Cards(1, 2);
  Build();
  ASSERT_NE(session, nullptr);
  SessionDisplayLayout layout;
  GetSessionDisplayLayout(session, &layout);
  const uint32_t expected[19] = {4096, kTestFreeAnswer, 3, 0, 0, 1, 3, 1, 0, 0, 0, 0, 1, 0, 0xFFFFFFFFu, 1, 0, 0, 1};
  for (int i = 0; i < 19; ++i) EXPECT_EQ(layout.fields[i], expected[i]) << "word " << i;
  // Without the keyboard the pronunciation is picked, not typed; the sound
  // shown with a question turns the audio button on.
  Set(kProNokeyboard, 1);
  Set(kProSimpleFreeshow, 3);
  Build();
  ASSERT_NE(session, nullptr);
  GetSessionDisplayLayout(session, &layout);
  EXPECT_EQ(layout.fields[kLayoutForm], 6u);
  EXPECT_EQ(layout.fields[kLayoutFirstBottomButton + 6], 1u);
  Set(kProSimpleFreeask, 1);  // the headword asked
  Build();
  ASSERT_NE(session, nullptr);
  GetSessionDisplayLayout(session, &layout);
  EXPECT_EQ(layout.fields[kLayoutForm], 1u);
}

}  // namespace

namespace {

// Field-combo filters of the settings sheets. The fixture's engine has no
// sound files, so the sound entries are cleared throughout.
class FieldMaskTest : public SessionTest {};

TEST_F(FieldMaskTest, ShowAndAskMasksByTypeAndRow) {
  constexpr int32_t kChinese = 4096;
  struct Case {
    const char* why;
    int32_t type, row, ask, show;
    uint32_t mask;
  } cases[] = {
      // Reading shows the headword; an answer type needs something left.
      {"review reading", kTestReviewOnly, 1, 0, 0, 0x861},
      {"multi reading", kTestMultipleChoice, 1, 0, 0, 0x61},
      // Writing shows pronunciation or definition without the headword.
      {"self writing", kTestSelfScored, 2, 0, 0, 262},
      {"free writing", kTestFreeAnswer, 2, 0, 0, 262},
      // Listening plays the sound: nothing is left without it.
      {"review listening", kTestReviewOnly, 3, 0, 0, 0},
      // Tone Practice never shows the pronunciation and asks the tones.
      {"tones reading", kTestTonePractice, 1, 0, 0, 0x41},
      {"tones writing", kTestTonePractice, 2, 0, 0, 0},
      {"tones ask", kTestTonePractice, 1, 1, 0, kAskFlagTones},
      {"stroke show", kTestStrokeOrder, 1, 0, 0, kFieldFlagStroke},
      {"stroke ask", kTestStrokeOrder, 1, 1, 0, kFieldFlagStroke},
      // Asks are the hidden parts of the chosen show value.
      {"ask after headword", kTestMultipleChoice, 1, 1, 0, 262},
      {"ask after pron", kTestFreeAnswer, 2, 1, 1, 69},
      {"ask after defn", kTestMultipleChoice, 2, 1, 2, 35},
      {"ask after sound only", kTestMultipleChoice, 3, 1, 3, 359},
      {"ask after head+pron", kTestFreeAnswer, 1, 1, 4, 4},
      {"ask after head+defn", kTestFreeAnswer, 1, 1, 5, 2},
      {"ask after head+sound", kTestFreeAnswer, 3, 1, 6, 262},
      {"ask after pron+defn", kTestMultipleChoice, 2, 1, 7, 1},
      {"ask after all three", kTestMultipleChoice, 1, 1, 10, 0},
      {"ask after all", kTestMultipleChoice, 3, 1, 14, 0},
      // Types without an ask part, and values out of range.
      {"self has no ask", kTestSelfScored, 1, 1, 0, 0},
      {"show value too large", kTestMultipleChoice, 1, 1, 15, 0},
      {"negative show value", kTestMultipleChoice, 1, 1, -1, 0},
      {"row 0", kTestReviewOnly, 0, 0, 0, 0},
      {"row 4", kTestReviewOnly, 4, 0, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetFlashFieldMask(engine, kChinese, c.type, c.row, c.ask, c.show), c.mask) << c.why;
  // English-Chinese cards have no sound either; no engine is the same.
  EXPECT_EQ(GetFlashFieldMask(engine, 0, kTestSelfScored, 3, 0, 0), 0u);
  EXPECT_EQ(GetFlashFieldMask(nullptr, kChinese, kTestReviewOnly, 1, 0, 0), 0x861u);
}

TEST_F(FieldMaskTest, InputModeFollowsStateAndAskedField) {
  Plain();
  Set(kProType, kTestFreeAnswer);
  Set(kProLanguage, 4096);
  Set(kProSimpleFreeshow, 5);
  Set(kProSimpleFreeask, 2);  // pronunciation asked
  Cards(1, 2);
  struct Case {
    const char* why;
    int32_t language, noKeyboard, state, asked, mode;
  } cases[] = {
      {"typed syllables", 4096, 0, kSessionQuestion, kFieldPron, kInputSyllables},
      {"picked syllables", 4096, 1, kSessionQuestion, kFieldPron, kInputSyllablesNoKeyboard},
      {"handwritten headword", 4096, 0, kSessionQuestion, kFieldHeadword, kInputCharacters},
      {"tone digits", 4096, 1, kSessionQuestion, kFieldTones, kInputTones},
      {"English text", 0, 0, kSessionQuestion, kFieldHeadword, kInputText},
      {"English without keyboard", 0, 1, kSessionQuestion, kFieldPron, kInputTextNoKeyboard},
      // A hidden field decides, whatever the set asks.
      {"hidden headword", 4096, 0, kSessionHiddenHeadword, kFieldPron, kInputCharacters},
      {"hidden pron", 4096, 1, kSessionHiddenPron, kFieldHeadword, kInputSyllablesNoKeyboard},
      {"hidden definition", 4096, 0, kSessionHiddenDefinition, kFieldHeadword, kInputText},
  };
  Build();
  ASSERT_NE(session, nullptr);
  for (const Case& c : cases) {
    session->language = c.language;
    session->display.noKeyboard = c.noKeyboard;
    session->state = c.state;
    session->fieldSets[0].asked[0] = c.asked;
    session->currentFieldSet = 0;
    EXPECT_EQ(GetSessionInputMode(session), c.mode) << c.why;
  }
  // Other test types have no answer box outside states 3-5.
  session->testType = kTestSelfScored;
  session->state = kSessionQuestion;
  EXPECT_EQ(GetSessionInputMode(session), kInputNone);
  EXPECT_EQ(GetSessionInputMode(nullptr), kInputNone);
}

}  // namespace

namespace {

namespace db = databuild;

// A running session whose engine takes data files written by the test
// (closed after the engine).
class DataFileQueryTest : public SessionQueryTest {
 protected:
  void TearDown() override {
    FreeFlashSession(session);
    session = nullptr;
    Destroy();
    for (DbFile* f : files) CloseDbFile(f);
    SessionQueryTest::TearDown();
  }
  void AddDataFile(const db::DataFileSpec& spec) {
    db::ByteVec bytes;
    std::string error;
    ASSERT_EQ(db::BuildDataFile(spec, &bytes, nullptr, &error), 0) << error;
    const std::string name = "data" + std::to_string(files.size()) + ".pdb";
    std::ofstream(root.Host(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const std::u16string path = u"\\" + U(name);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int kind = 0;
    DbFile* file = OpenDbFile(h, path.c_str(), &kind);
    ASSERT_NE(file, nullptr);
    files.push_back(file);
    ASSERT_EQ(AddDictionaries(engine, &file, 1), 0);
  }
  std::vector<DbFile*> files;
};

// A stroke-order file for two characters in a 100 × 100 design.
class StrokeTest : public DataFileQueryTest {
 protected:
  void AddStrokeFile() {
    using res_test::KeyedTable, res_test::Row, res_test::Units;
    db::TableSpec strokes = KeyedTable(kAuxIndexTableType, {Row(0x4F60, Units(u"\u0010\u0020\uFFFF\u0030\u0040")),
                                                            Row(0x59B3, Units(u"\u0050\u0060"))});
    for (uint32_t v : {1u, 1u, 100u, 100u}) res_test::PutLe32(strokes.info, v);
    db::DataFileSpec spec;
    spec.tables = {strokes};
    AddDataFile(spec);
  }
};

TEST_F(StrokeTest, CharacterByCharsetAndItsScaledStrokes) {
  const int32_t card = GetSessionCurrentCardId(session);
  ASSERT_GT(card, 0);
  OnStore("UPDATE sorvi_flash_cards SET hw = '你好', althw = '妳好' WHERE id = " + std::to_string(card));
  struct Case {
    const char* why;
    const char* alt;
    int32_t charset;
    WCHAR expected;
  } cases[] = {
      {"headword form", "妳好", 0, 0x4F60},
      {"alternative form first", "妳好", 1, 0x59B3},
      {"no alternative form", "", 1, 0x4F60},
  };
  session->display.forceCharset = 1;
  for (const Case& c : cases) {
    OnStore(std::string("UPDATE sorvi_flash_cards SET althw = '") + c.alt + "' WHERE id = " + std::to_string(card));
    session->display.charset = c.charset;
    EXPECT_EQ(GetStrokeOrderChar(session), c.expected) << c.why;
  }
  // Without a stroke file there is no data.
  uint32_t n = 7;
  EXPECT_EQ(GetCurrentCardStrokeData(session, 50, 50, &n), nullptr);
  EXPECT_EQ(n, 0u);
  AddStrokeFile();
  session->display.charset = 0;
  const uint16_t* items = GetCurrentCardStrokeData(session, 50, 200, &n);
  ASSERT_NE(items, nullptr);
  // Scaled from the 100 × 100 design: x (even places) halves, y (odd
  // places) doubles; the separator keeps its place.
  EXPECT_EQ(std::vector<uint16_t>(items, items + n), (std::vector<uint16_t>{8, 64, 0xFFFF, 96, 32}));
  // A character without a record gives none.
  OnStore("UPDATE sorvi_flash_cards SET hw = '好' WHERE id = " + std::to_string(card));
  EXPECT_EQ(GetCurrentCardStrokeData(session, 50, 50, &n), nullptr);
  EXPECT_EQ(n, 0u);
  // No card shown.
  EXPECT_EQ(GetStrokeOrderChar(nullptr), 0);
  EXPECT_EQ(GetCurrentCardStrokeData(nullptr, 50, 50, &n), nullptr);
}

}  // namespace

namespace {

class CardQueryTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    Cards(1, 3, 4096, 1);
    Cards(4, 2, 0, 2);
  }
  // Every row of the statement as its integer columns.
  static std::vector<std::vector<int64_t>> Rows(sqlite3_stmt* statement, int columns) {
    std::vector<std::vector<int64_t>> out;
    EXPECT_NE(statement, nullptr);
    if (!statement) return out;
    while (SqlStep(statement) == SQLITE_ROW) {
      out.emplace_back();
      for (int c = 0; c < columns; ++c) out.back().push_back(SqlColumnInt64(statement, c));
    }
    SqlFinalize(statement);
    return out;
  }
};

TEST_F(CardQueryTest, ChosenColumnsOfOneCard) {
  EngineLockGuard lock;
  const uint32_t columns[] = {kCardWordLength, kCardId, kCardLang};
  EXPECT_EQ(Rows(QueryCardColumns(store, 4, columns, 3), 3), (std::vector<std::vector<int64_t>>{{2, 4, 0}}));
  sqlite3_stmt* text = QueryCardColumns(store, 2, std::vector<uint32_t>{kCardHw}.data(), 1);
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(SqlStep(text), SQLITE_ROW);
  EXPECT_STREQ(SqlColumnText(text, 0), "w2");
  SqlFinalize(text);
  // A missing card has no row; a bad column list compiles nothing.
  EXPECT_TRUE(Rows(QueryCardColumns(store, 99, columns, 3), 3).empty());
  const uint32_t bad[] = {kCardId, kCardColumnCount};
  EXPECT_EQ(QueryCardColumns(store, 1, bad, 2), nullptr);
  EXPECT_EQ(QueryCardColumns(store, 1, columns, 0), nullptr);
  EXPECT_EQ(QueryCardColumns(nullptr, 1, columns, 3), nullptr);
}

TEST_F(CardQueryTest, IdsOfCardsMeetingConditions) {
  EngineLockGuard lock;
  SqlTerm longer = FlashIntTerm(kCardWordLength, 1);
  longer.op = kSqlOpGreater;
  SqlTerm english = FlashIntTerm(kCardLang, 0, kSqlOr);
  const SqlTerm first = FlashIntTerm(kCardId, 1);
  struct Case {
    const char* why;
    std::vector<SqlTerm> terms;
    std::vector<int64_t> ids;
  } cases[] = {
      {"no condition: every card in id order", {}, {1, 2, 3, 4, 5}},
      {"one condition", {longer}, {4, 5}},
      {"joined by OR", {english, first}, {1, 4, 5}},
      {"none matches", {FlashIntTerm(kCardLang, 7)}, {}},
  };
  for (const Case& c : cases) {
    std::vector<int64_t> ids;
    for (const auto& row : Rows(QueryCardsWhere(store, c.terms.data(), static_cast<uint32_t>(c.terms.size())), 1))
      ids.push_back(row[0]);
    EXPECT_EQ(ids, c.ids) << c.why;
  }
  const SqlTerm bad = FlashIntTerm(kCardColumnCount, 1);
  EXPECT_EQ(QueryCardsWhere(store, &bad, 1), nullptr);
  EXPECT_EQ(QueryCardsWhere(store, nullptr, 2), nullptr);
}

}  // namespace

namespace {

// Two pronunciation sets: set A speaks hao3 and tian1, set B only hao3.
class CardAudioTest : public DataFileQueryTest {
 protected:
  void SetUp() override {
    // Pronunciations are parsed through the program's spelling tables.
    RegisterSorviResources();
    DataFileQueryTest::SetUp();
    AudioFile(db::kAudioSetA, 1, 5, {{"hao3", "A-hao3"}, {"tian1", "A-tian1"}});
    AudioFile(db::kAudioSetB, 2, 6, {{"hao3", "B-hao3"}});
    for (MemHandle*& h : clips) h = NewMemHandle(0);
  }
  void TearDown() override {
    for (MemHandle* h : clips) FreeMemHandle(h);
    DataFileQueryTest::TearDown();
  }
  void AudioFile(uint32_t flags, uint32_t id, uint16_t kind,
                 const std::vector<std::pair<const char*, std::string>>& keys) {
    db::AudioGroupSpec group;
    group.id = id;
    group.flags = flags;
    group.kind = kind;
    for (const auto& [pinyin, text] : keys)
      group.clips.push_back({db::PinyinNumbersToCodes(pinyin), db::ByteVec(text.begin(), text.end())});
    db::DataFileSpec file;
    file.shortName = u"Audio";
    std::string error;
    ASSERT_EQ(db::AddAudioGroup(group, &file, &error), 0) << error;
    AddDataFile(file);
  }
  // The clips found, as text.
  std::vector<std::string> Clips() {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < kMaxSyllableClips && sizes[i]; ++i) {
      const auto* p = static_cast<const char*>(LockMemHandle(clips[i]));
      out.emplace_back(p, sizes[i]);
      UnlockMemHandle(clips[i]);
    }
    return out;
  }
  MemHandle* clips[kMaxSyllableClips] = {};
  uint32_t sizes[kMaxSyllableClips] = {};
};

TEST_F(CardAudioTest, OwnPronunciationBySetWithTheOtherSetOnAMiss) {
  using Clip = std::vector<std::string>;
  // The program's sound-set setting: 0 alternates from the set played
  // last, 1 always set A, 2 always set B.
  struct Case {
    const char* why;
    int32_t setting;
    const char16_t* hw;
    const char* pron;
    uint8_t setBefore;
    int rc;
    Clip clips;
    uint8_t setAfter;
    uint16_t kind;
  } cases[] = {
      {"set A", 1, u"好", "hao3", 1, 0, {"A-hao3"}, 0, 5},
      {"set B", 2, u"好", "hao3", 0, 0, {"B-hao3"}, 1, 6},
      {"after set A comes set B", 0, u"好", "hao3", 0, 0, {"B-hao3"}, 1, 6},
      {"after set B comes set A", 0, u"好", "hao3", 1, 0, {"A-hao3"}, 0, 5},
      {"set B misses, set A speaks", 2, u"天", "tian1", 0, 0, {"A-tian1"}, 1, 5},
      {"syllable by syllable", 1, u"好天", "hao3 tian1", 0, 0, {"A-hao3", "A-tian1"}, 0, 5},
      {"no set has it", 1, u"飞", "fei1", 1, 1, {}, 0, 0},
      {"no pronunciation: nothing chosen", 2, u"好", "", 0, 1, {}, 0, 0},
  };
  for (const Case& c : cases) {
    // Saved as the card editor saves them: the pronunciation in its
    // stored form.
    const std::u16string pron = U(c.pron);
    CardEditRecord r{};
    r.scorefile = -1;
    r.language = kCardLanguageChinese;
    r.headword = W(c.hw);
    r.pronunciation = W(pron.c_str());
    r.duplicateMode = kDuplicateAllow;
    session->currentCard = SaveCard(store, &r, -1);
    ASSERT_GT(session->currentCard, 0) << c.why;
    SetPref(engine, kPrefAudioFileSet, c.setting);
    uint8_t set = c.setBefore;
    uint16_t kind = 0;
    std::fill(std::begin(sizes), std::end(sizes), 0u);
    EXPECT_EQ(GetCurrentCardAudio(session, &set, clips, sizes, &kind), c.rc) << c.why;
    if (c.rc == 0) {
      EXPECT_EQ(Clips(), c.clips) << c.why;
      EXPECT_EQ(kind, c.kind) << c.why;
    }
    EXPECT_EQ(set, c.setAfter) << c.why;
  }
  EXPECT_EQ(GetCurrentCardAudio(nullptr, nullptr, clips, sizes, nullptr), 1);
  // A link to a slot with no dictionary finds nothing there.
  EXPECT_EQ(FindPronunciationSounds(store, session->currentCard, 3, 0, nullptr, clips, sizes, nullptr), 1);
}

// With sound files the listening row offers the entries that play sound.
TEST_F(CardAudioTest, FieldMasksWithSound) {
  struct Case {
    const char* why;
    int32_t language, type, row;
    uint32_t mask;
  } cases[] = {
      {"review listening: every sound entry", 4096, kTestReviewOnly, 3, kShowSoundFlags},
      {"multi listening: something left to ask", 4096, kTestMultipleChoice, 3, 0x7688},
      {"tones listening: no pronunciation shown", 4096, kTestTonePractice, 3, 0x2488},
      {"reading keeps its entries", 4096, kTestReviewOnly, 1, 0x861},
      {"English-Chinese cards have no sound", 0, kTestReviewOnly, 3, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(GetFlashFieldMask(engine, c.language, c.type, c.row, 0, 0), c.mask) << c.why;
}

}  // namespace
