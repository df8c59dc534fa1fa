// Session commands: revealing and grading, Review Only, browsing and undo,
// deleting the last card, the re-test pass, score changes, replays and the
// out-of-due-cards question.
#include <string>
#include <vector>

#include "engine/preferences.h"
#include "flash/card_scores.h"
#include "flash/session_commands.h"
#include "flash/session_queries.h"
#include "platform/random.h"
#include "resources/resources.h"
#include "session_fixture.h"

namespace {

class SessionCommandTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    Plain();  // Fixed order: cards come in id order
    Set(kProType, kTestSelfScored);
    Set(kProScoretype, kScoringAutomatic);
    Set(kProScoreprompt, 0);
    Set(kProCardrepeatincorrect, 0);
    Cards(1, 3);
  }
  // Builds and shows the first card.
  void Start() {
    Build();
    ASSERT_NE(session, nullptr);
    ASSERT_EQ(ProcessSessionCommand(session, kCmdStart, -1), 0);
    ASSERT_NE(session, nullptr);
  }
  int Command(int32_t command, int32_t argument = -1) { return ProcessSessionCommand(session, command, argument); }
  CardScoreRecord Row(int32_t card) {
    CardScoreRecord r;
    EXPECT_EQ(ReadCardScore(store, scorefile, card, &r, 0), 0);
    return r;
  }
};

TEST_F(SessionCommandTest, SelfScoredRevealThenCorrectGradesSix) {
  Start();
  EXPECT_EQ(session->state, kSessionQuestion);
  EXPECT_EQ(session->currentCard, 1);
  EXPECT_EQ(session->questionIndex, 0);
  Command(kCmdReveal);
  EXPECT_EQ(session->state, kSessionAnswerShown);
  EXPECT_NE(session->answerTicks, 0u);
  Command(kCmdCorrect);
  EXPECT_EQ(Row(1).history[0], 6);
  EXPECT_EQ(Row(1).reviewed, 1);
  EXPECT_EQ(session->currentCard, 2);
  EXPECT_EQ(session->state, kSessionQuestion);
  EXPECT_EQ(session->answerTicks, 0u);
}

TEST_F(SessionCommandTest, ScorePromptWaitsForAGrade) {
  Set(kProScoreprompt, 1);
  Start();
  Command(kCmdCorrect);
  EXPECT_EQ(session->state, kSessionAfterCorrect);
  EXPECT_EQ(Row(1).reviewed, 0);
  Command(kCmdGrade1 + 3);  // grade 4
  EXPECT_EQ(Row(1).history[0], 4);
  EXPECT_EQ(session->currentCard, 2);
  Command(kCmdIncorrect);
  EXPECT_EQ(session->state, kSessionAfterIncorrect);
  Command(kCmdNext);
  EXPECT_EQ(Row(2).history[0], 2);
  // Grades outside the answer side do nothing.
  Command(kCmdGrade6);
  EXPECT_EQ(session->currentCard, 3);
  EXPECT_EQ(session->state, kSessionQuestion);
}

TEST_F(SessionCommandTest, RevealSeparatelyStepsThroughTheAskedFields) {
  Set(kProSimpleSelfshow, 3);  // the sound only: headword, pronunciation and definition asked
  Start();
  Command(kCmdRevealHeadword);
  EXPECT_EQ(session->state, kSessionHiddenPron);
  Command(kCmdRevealPron);
  EXPECT_EQ(session->state, kSessionAnswerShown);
}

TEST_F(SessionCommandTest, ReviewOnlyAcknowledges) {
  Set(kProType, kTestReviewOnly);
  Start();
  EXPECT_EQ(session->state, kSessionAnswerShown);
  Command(kCmdNext);
  const CardScoreRecord r = Row(1);
  EXPECT_EQ(r.reviewed, 1);
  EXPECT_EQ(r.history[0], 0);  // no grade
  EXPECT_EQ(session->correctAnswers + session->incorrectAnswers, 0);
  EXPECT_EQ(session->currentCard, 2);
}

TEST_F(SessionCommandTest, BackNeedsAnEarlierCard) {
  Start();
  EXPECT_EQ(Command(kCmdBack), 0);
  EXPECT_EQ(session->state, kSessionQuestion);
  Command(kCmdReveal);
  Command(kCmdCorrect);
  Command(kCmdReveal);
  Command(kCmdCorrect);
  ASSERT_EQ(session->orderCount, 3);
  EXPECT_EQ(Command(kCmdBack), 0);
  EXPECT_EQ(session->state, kSessionBrowsing);
  EXPECT_EQ(GetSessionCurrentCardId(session), 2);
  EXPECT_EQ(Command(kCmdBack), 0);
  EXPECT_EQ(GetSessionCurrentCardId(session), 1);
  EXPECT_EQ(Command(kCmdBack), 1);
  Command(kCmdForward);
  EXPECT_EQ(GetSessionCurrentCardId(session), 2);
  Command(kCmdForward);
  EXPECT_EQ(session->state, kSessionQuestion);
  EXPECT_EQ(GetSessionCurrentCardId(session), 3);
}

TEST_F(SessionCommandTest, UndoRestoresTheAnswerOnce) {
  Start();
  Command(kCmdReveal);
  Command(kCmdIncorrect);  // card 1, grade 2
  ASSERT_EQ(session->incorrectAnswers, 1);
  ASSERT_EQ(Row(1).incorrect, 1);
  Command(kCmdBack);
  ASSERT_EQ(GetSessionCurrentCardId(session), 1);
  Command(kCmdUndo);
  EXPECT_EQ(session->incorrectAnswers, 0);
  EXPECT_EQ(session->order[1] & kOrderIncorrectFlag, 0u);
  EXPECT_EQ(Row(1).incorrect, 0);
  EXPECT_EQ(Row(1).reviewed, 0);
  // A second undo of the same answer does nothing.
  Command(kCmdReturn);
  Command(kCmdReveal);
  Command(kCmdCorrect);  // card 2
  Command(kCmdBack);
  Command(kCmdBack);
  ASSERT_EQ(GetSessionCurrentCardId(session), 1);
  const int32_t correct = session->correctAnswers;
  Command(kCmdUndo);
  EXPECT_EQ(session->correctAnswers, correct);
}

TEST_F(SessionCommandTest, DeletingTheLastCardEndsTheSession) {
  OnStore("DELETE FROM sorvi_flash_cards WHERE id > 1");
  Start();
  Command(kCmdDeleteCard);
  EXPECT_EQ(session, nullptr);  // ended and freed by the move
  EXPECT_EQ(Asked(kEventEnded), 1);
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sorvi_flash_cards"), "0");
}

TEST_F(SessionCommandTest, RemovingABrowsedCardKeepsTheShownOne) {
  Start();
  Command(kCmdReveal);
  Command(kCmdCorrect);
  Command(kCmdBack);
  ASSERT_EQ(GetSessionCurrentCardId(session), 1);
  Command(kCmdRemoveCard);
  EXPECT_EQ(session->state, kSessionQuestion);
  EXPECT_EQ(session->currentCard, 2);
  EXPECT_EQ(session->orderCount, 1);
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sorvi_flash_cards"), "3");
}

TEST_F(SessionCommandTest, EndingStartsTheRetestOfWrongAnswers) {
  Set(kProCardrepeatincorrect, 1);
  Start();
  Command(kCmdReveal);
  Command(kCmdIncorrect);  // 1 wrong
  Command(kCmdReveal);
  Command(kCmdCorrect);  // 2 right
  Command(kCmdReveal);
  Command(kCmdIncorrect);  // 3 wrong
  // The list is done: the re-test of 1 and 3 began on its own.
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->retestPass, 1);
  EXPECT_EQ(Asked(kEventRetest), 1);
  EXPECT_EQ(session->cardsToAsk, 2);
  EXPECT_EQ(session->currentCard, 1);
  EXPECT_EQ(session->scoring.kind, kScoringNone);
  const CardScoreRecord before = Row(1);
  Command(kCmdReveal);
  Command(kCmdCorrect);
  EXPECT_EQ(Row(1).score, before.score);
  EXPECT_EQ(Row(1).reviewed, before.reviewed);
  EXPECT_EQ(session->currentCard, 3);
  Command(kCmdReveal);
  Command(kCmdCorrect);
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(Asked(kEventEnded), 1);
  EXPECT_EQ(Asked(kEventRetest), 1);
}

TEST_F(SessionCommandTest, EndCommandStartsTheRetestWhenNotSaving) {
  Set(kProCardrepeatincorrect, 1);
  Start();
  Command(kCmdReveal);
  Command(kCmdIncorrect);
  EXPECT_EQ(Command(kCmdEnd, 0), 0);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->retestPass, 1);
  EXPECT_EQ(session->currentCard, 1);
  Command(kCmdEnd, 0);
  EXPECT_EQ(session, nullptr);
}

TEST_F(SessionCommandTest, ScoreChanges) {
  Start();
  CardScoreRecord r;
  InitCardScoreRecord(&r);
  r.score = 301;
  ASSERT_EQ(WriteCardScore(store, scorefile, 1, &r), 0);
  Command(kCmdScoreChange, kScoreChangeHalve);
  EXPECT_EQ(Row(1).score, 151);
  EXPECT_EQ(session->answerOverridden, 1);
  // The button settings of a new profile: set to 100.
  Command(kCmdScoreChange, 0);
  EXPECT_EQ(Row(1).score, 100);
  // Percent changes are computed in 64 bits.
  session->display.buttonScoreChange = 0;
  session->display.buttonScoreType = 1;
  session->display.buttonScoreTarget = 2000000000;
  Command(kCmdScoreChange, 0);
  EXPECT_EQ(Row(1).score, 2000000100);
  // The overridden answer changes no score.
  Command(kCmdReveal);
  Command(kCmdCorrect);
  EXPECT_EQ(Row(1).score, 2000000100);
  EXPECT_EQ(Row(1).history[0], 6);
}

TEST_F(SessionCommandTest, ReplaysAreCountedAgainstTheLimit) {
  Set(kProSimpleSelfshow, 3);  // the sound is shown with the question
  Set(kProMaxreplays, 2);
  Start();
  Command(kCmdReplaySound);
  Command(kCmdReplaySound);
  Command(kCmdReplaySound);
  EXPECT_EQ(Asked(kEventPlayAudio), 2);
  Command(kCmdReveal);
  Command(kCmdReplaySound);  // the answer side always plays
  EXPECT_EQ(Asked(kEventPlayAudio), 3);
  Command(kCmdReplaySound, 4);  // also chooses audio source 5
  EXPECT_EQ(GetPref(engine, 213), 5);
  EXPECT_EQ(Asked(kEventPlayAudio), 4);
}

TEST_F(SessionCommandTest, OutOfDueCardsIsAskedOnce) {
  ASSERT_EQ(ResetProfileToPreset(store, GetCurrentProfileId(store), 1), 0);
  Set(kProType, kTestSelfScored);
  Set(kProScoreprompt, 0);
  Set(kProLimitunlearned, 0);
  Score(1, 100, "5", now - 10 * 86400);  // due
  Score(2, 9000, "5", now);              // not due
  Score(3, 9000, "5", now);
  Start();
  EXPECT_EQ(session->dueCount, 1);
  EXPECT_EQ(session->currentCard, 1);
  EXPECT_EQ(Asked(kEventOutOfDue), 0);
  Command(kCmdReveal);
  Command(kCmdCorrect);
  EXPECT_EQ(Asked(kEventOutOfDue), 1);
  Command(kCmdReveal);
  Command(kCmdCorrect);
  EXPECT_EQ(Asked(kEventOutOfDue), 1);
}

TEST_F(SessionCommandTest, ACardLeavingTheFiltersIsNotAskedAgain) {
  Set(kProCardcount, 6);  // repeats allowed: the list comes round again
  Set(kProSelectionnorepeat, 0);
  Set(kProLimitscore, 1);
  Set(kProLimitscorestart, 0);
  Set(kProLimitscoreend, 250);
  Set(kProScoreonceaday, 0);
  Start();
  Command(kCmdReveal);
  Command(kCmdCorrect);  // card 1 goes to 400: out of the range
  EXPECT_EQ(session->cards->count, 2);
  EXPECT_EQ(session->orderCount, 2);  // its order entry stays
}

}  // namespace

namespace {

std::u16string g_strokes;

int ScriptedStrokes(WCHAR* buffer, WCHAR*, void*) {
  for (size_t i = 0; i < g_strokes.size(); ++i) buffer[i] = g_strokes[i];
  buffer[g_strokes.size()] = 0;
  return 0;
}

TEST_F(SessionCommandTest, StrokeOrderMarksByItemNumber) {
  Set(kProType, kTestStrokeOrder);
  Set(kProRequirefilled, 1);
  struct Case {
    std::u16string items;
    int32_t state;
    std::vector<uint8_t> marks;
    const char* why;
  } cases[] = {
      {{1, 2, 3}, kSessionAfterCorrect, {1, 1, 1}, "in order"},
      {{1, 3, 2}, kSessionAfterIncorrect, {1, 2, 2}, "marks by item number"},
      {{1, 40}, kSessionAfterCorrect, {1}, "a number beyond the marks is passed over"},
      {{2, 0xFFFF, 1}, kSessionAfterIncorrect, {2, 2}, "wrong numbers, one far out"},
      {{1, 0xE9FE}, kSessionQuestion, {}, "an unfilled item is not checked"},
  };
  for (const Case& c : cases) {
    Start();
    session->onText = &ScriptedStrokes;
    g_strokes = c.items;
    events.clear();
    Command(kCmdCheckAnswer);
    EXPECT_EQ(session->state, c.state) << c.why;
    ASSERT_EQ(session->markCount, static_cast<int32_t>(c.marks.size())) << c.why;
    for (size_t i = 0; i < c.marks.size(); ++i) EXPECT_EQ(session->marks[i], c.marks[i]) << c.why << " " << i;
    if (c.state != kSessionQuestion) {
      ASSERT_EQ(events.size(), 1u);
      EXPECT_EQ(events[0][kEventStrokeMarks], c.state == kSessionAfterCorrect ? kMarkColourRight : kMarkColourWrong);
    }
  }
}

}  // namespace

namespace {

class ChoiceTest : public SessionCommandTest {
 protected:
  void SetUp() override {
    SessionCommandTest::SetUp();
    OnStore("DELETE FROM sorvi_flash_cards");
    Set(kProType, kTestMultipleChoice);
    Set(kProNumchoices, 4);
    Set(kProChoicesfrom, 0);
    Set(kProSimpleMultishow, 2);  // the definition shown
    Set(kProSimpleMultiask, 1);   // the headword asked
    Cards(1, 6, 4096, 2);         // "w1" ... "w6", two syllables
    Cards(7, 3, 4096, 1);         // one syllable
    // Another card with the headword of card 1.
    OnStore("INSERT INTO sorvi_flash_cards (id, lang, hw, wordlength) VALUES (20, 4096, 'w1', 2)");
    // A shown definition must be there for a card to be asked.
    OnStore("UPDATE sorvi_flash_cards SET defn = 'd' || id");
  }
  std::u16string Choice(int32_t i) {
    WCHAR text[32];
    GetSessionChoiceText(session, i, text, 32);
    return reinterpret_cast<const char16_t*>(text);
  }
};

TEST_F(ChoiceTest, DistractorsComeFromTheCardsLengthWithoutRepeats) {
  Start();
  ASSERT_EQ(session->currentCard, 1);
  ASSERT_EQ(session->choiceCount, 4);
  EXPECT_EQ(session->choiceIds[session->correctChoice], 1);
  std::set<int32_t> seen;
  for (int32_t i = 0; i < 4; ++i) {
    const int32_t id = session->choiceIds[i];
    if (i == session->correctChoice) continue;
    EXPECT_GE(id, 2) << "never the card itself nor an equal text";
    EXPECT_LE(id, 6) << "two syllables only";
    EXPECT_TRUE(seen.insert(id).second) << "no repeated card";
  }
  EXPECT_EQ(Choice(session->correctChoice), u"w1");

  // The walk goes on where it stopped; the correct index is R mod the
  // number of choices.
  const int32_t cursor = session->poolCursor[1];
  EXPECT_GT(cursor, 0);
  const DWORD r[] = {6};
  ScriptRandomForTests(r, 1);
  session->poolCursor[1] = 0;  // no wrap, so no reshuffle draws
  PickChoiceDistractors(session, 1, 0);
  ScriptRandomForTests(nullptr, 0);
  EXPECT_EQ(session->correctChoice, 2);
  EXPECT_EQ(session->choiceIds[2], 1);
  EXPECT_EQ(session->poolCursor[1], cursor);

  // More choices than candidates: the rest stay empty.
  session->numChoices = 8;
  PickChoiceDistractors(session, 1, 0);
  int empty = 0;
  for (int32_t i = 0; i < 8; ++i) empty += session->choiceIds[i] == -1;
  EXPECT_EQ(empty, 2);
  EXPECT_EQ(GetSessionChoiceText(session, session->correctChoice == 0 ? 1 : 0, nullptr, 0), 1);
}

TEST_F(ChoiceTest, CheckingMarksTheChosenAndTheCorrectChoice) {
  Start();
  const int32_t wrong = (session->correctChoice + 1) % 4;
  Command(kCmdCheckAnswer, wrong);
  EXPECT_EQ(session->state, kSessionAfterIncorrect);
  uint8_t marks[4];
  ASSERT_EQ(GetSessionAnswerMarks(session, marks, 4), 4);
  EXPECT_EQ(marks[wrong], kMarkWrong);
  EXPECT_EQ(marks[session->correctChoice], kMarkRight);
  Command(kCmdNext);  // grade 2, the next card
  ASSERT_EQ(session->currentCard, 2);
  ASSERT_EQ(GetSessionAnswerMarks(session, marks, 4), 4);
  EXPECT_EQ(marks[0], kMarkPlain);
  Command(kCmdCheckAnswer, session->correctChoice);
  EXPECT_EQ(session->state, kSessionAfterCorrect);
}

TEST_F(ChoiceTest, TwoAskedPartsNeedBothRight) {
  Set(kProSimpleMultiask, 5);  // headword, then pronunciation
  OnStore("UPDATE sorvi_flash_cards SET pron = 'p' || id");
  Start();
  Command(kCmdCheckAnswer, session->correctChoice);
  EXPECT_EQ(session->state, kSessionSecondChoice);
  EXPECT_EQ(Choice(session->correctChoice), u"p1");
  Command(kCmdCheckAnswer, (session->correctChoice + 1) % 4);
  EXPECT_EQ(session->state, kSessionAfterIncorrect);
}

}  // namespace

namespace {

std::u16string g_typed;

int ScriptedAnswer(WCHAR* buffer, WCHAR*, void*) {
  for (size_t i = 0; i < g_typed.size(); ++i) buffer[i] = g_typed[i];
  buffer[g_typed.size()] = 0;
  return 0;
}

class TypedAnswerTest : public SessionCommandTest {
 protected:
  void SetUp() override {
    SessionCommandTest::SetUp();
    RegisterSorviResources();  // the pinyin tables
    ASSERT_NE(Open({kDefaultKvb}), nullptr);
    OnStore("DELETE FROM sorvi_flash_cards");
    OnStore(
        "INSERT INTO sorvi_flash_cards (id, lang, hw, pron, defn, wordlength) "
        "VALUES (1, 4096, '你好', 'ni3 hao3', 'hello', 2)");
    Plain();
    Set(kProLanguage, 4096);
    Set(kProSimpleFreeshow, 5);  // headword and definition shown
  }
};

TEST_F(TypedAnswerTest, PositionsAreMarkedRightOrWrong) {
  struct Case {
    int32_t type, ask, ignoreTones, requireFilled;
    std::u16string typed;
    int32_t state;
    std::vector<uint8_t> marks;
    const char* why;
  } cases[] = {
      {kTestFreeAnswer, 2, 0, 0, u"ni3 hao3", kSessionAfterCorrect, {1, 1}, "pinyin as stored"},
      {kTestFreeAnswer, 2, 0, 0, u"ni3hao3", kSessionAfterCorrect, {1, 1}, "pinyin run together"},
      {kTestFreeAnswer, 2, 0, 0, u"ni3 hao4", kSessionAfterIncorrect, {1, 2}, "a wrong tone"},
      {kTestFreeAnswer, 2, 1, 0, u"ni3 hao4", kSessionAfterCorrect, {1, 1}, "tones ignored"},
      {kTestFreeAnswer, 2, 0, 0, u"ni3", kSessionAfterIncorrect, {1, 2}, "a syllable missing"},
      {kTestFreeAnswer, 2, 0, 1, u"ni3\xE9FE", kSessionQuestion, {}, "an empty syllable is not checked"},
      {kTestFreeAnswer, 1, 0, 0, u"你们", kSessionAfterIncorrect, {1, 2}, "headword"},
      {kTestFreeAnswer, 1, 0, 0, u"你好", kSessionAfterCorrect, {1, 1}, "headword right"},
      {kTestTonePractice, 0, 0, 0, u"33", kSessionAfterCorrect, {1, 1}, "tones"},
      {kTestTonePractice, 0, 0, 0, u"34", kSessionAfterIncorrect, {1, 2}, "a wrong tone digit"},
      {kTestTonePractice, 0, 0, 1, u"3", kSessionQuestion, {}, "too few digits are not checked"},
  };
  for (const Case& c : cases) {
    Set(kProType, c.type);
    Set(kProSimpleFreeask, c.ask);
    Set(kProIgnoretones, c.ignoreTones);
    Set(kProRequirefilled, c.requireFilled);
    Start();
    session->onText = &ScriptedAnswer;
    g_typed = c.typed;
    Command(kCmdCheckAnswer);
    EXPECT_EQ(session->state, c.state) << c.why;
    ASSERT_EQ(session->markCount, static_cast<int32_t>(c.marks.size())) << c.why;
    uint8_t marks[4] = {};
    GetSessionAnswerMarks(session, marks, 4);
    for (size_t i = 0; i < c.marks.size(); ++i) EXPECT_EQ(marks[i], c.marks[i]) << c.why << " " << i;
  }
}

}  // namespace

namespace {

TEST_F(TypedAnswerTest, CardTextsAndWordLength) {
  OnStore("UPDATE sorvi_flash_cards SET hw = '你@好', althw = '妳好' WHERE id = 1");
  WCHAR hw[16], alt[16], pron[16];
  ASSERT_EQ(ReadCardTexts(store, 1, hw, alt, pron, 16, 1), 0);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(hw)), u"你好");
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(alt)), u"妳好");
  const std::u16string codes = reinterpret_cast<const char16_t*>(pron);
  ASSERT_EQ(codes.size(), 2u);
  for (char16_t c : codes) EXPECT_EQ((c - 0xE000) % 5, 3) << "third tone";
  EXPECT_EQ(ReadCardTexts(store, 99, hw, nullptr, nullptr, 16, 1), 1);
  Set(kProType, kTestFreeAnswer);
  Set(kProSimpleFreeask, 2);
  Start();
  EXPECT_EQ(GetCurrentCardWordLength(session), 2);
}

}  // namespace
