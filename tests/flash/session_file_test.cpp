// The saved session: a round trip that gives the same session back, which
// chunks a session writes, and the damaged, foreign and stale files that
// must be deleted without giving a session.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "flash/session_commands.h"
#include "flash/session_file.h"
#include "platform/clock.h"
#include "session_fixture.h"

namespace {

constexpr char kSavedFile[] = "\\Program Files\\Sorvi\\Sorvi Saved Flash Session";

class SessionFileTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    Plain();
    Set(kProType, kTestSelfScored);
    Set(kProScoreprompt, 0);
  }
  std::vector<uint8_t> File() {
    std::ifstream in(HostOf(kSavedFile), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  bool FileExists() { return std::filesystem::exists(HostOf(kSavedFile)); }
  void WriteFile(const std::vector<uint8_t>& bytes) {
    std::ofstream out(HostOf(kSavedFile), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
  }
  static void SetWord(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  // The roles of the chunks after the record.
  std::vector<uint32_t> Roles(const std::vector<uint8_t>& b) {
    std::vector<uint32_t> roles;
    for (size_t at = Word(b, 4); at + 16 <= b.size(); at += Word(b, at)) {
      roles.push_back(Word(b, at + 8));
      if (Word(b, at) == 0) break;
    }
    return roles;
  }
  void Answer(int n) {
    for (int i = 0; i < n && session; ++i) {
      ProcessSessionCommand(session, kCmdReveal, -1);
      ProcessSessionCommand(session, i % 2 ? kCmdIncorrect : kCmdCorrect, -1);
    }
  }
  FlashSession* Resume() { return ResumeFlashSession(store, &SessionTest::Record, nullptr, this); }
  // A session saved and its file.
  std::vector<uint8_t> Saved() {
    EXPECT_EQ(SaveFlashSession(session), 0);
    return File();
  }
};

TEST_F(SessionFileTest, FrequencySessionRoundTripsUnchanged) {
  Set(kProCardselection, kSelectFrequency);
  Set(kProCardcount, 50);
  Set(kProSelectionnorepeat, 0);
  Set(kProCardrepeatincorrect, 1);
  Cards(1, 300);  // three chunks of the list
  Build();
  ASSERT_NE(session, nullptr);
  ProcessSessionCommand(session, kCmdStart, -1);
  Answer(12);  // cards drawn from several chunks, the ring full and turning
  ASSERT_NE(session, nullptr);
  ASSERT_GT(session->ringCount, 0);
  AdvanceVirtualClock(4000);
  ProcessSessionCommand(session, kCmdReveal, -1);
  AdvanceVirtualClock(1000);
  const std::vector<uint8_t> first = Saved();
  EXPECT_EQ(Roles(first), (std::vector<uint32_t>{kRoleCards, kRoleOrder, kRoleRing}));
  EXPECT_EQ(Word(first, 0), 5u);
  EXPECT_EQ(Word(first, 4), 24 + SavedSessionRecordSize());
  EXPECT_EQ(Word(first, 20), 1000u);  // the answer shows for a second
  EXPECT_EQ(Word(first, 16), 5000u);

  FlashSession* resumed = Resume();
  ASSERT_NE(resumed, nullptr);
  EXPECT_FALSE(FileExists());
  EXPECT_EQ(resumed->store, store);
  EXPECT_EQ(resumed->resumed, 1);
  EXPECT_EQ(resumed->currentCard, session->currentCard);
  EXPECT_EQ(resumed->state, kSessionAnswerShown);
  EXPECT_EQ(resumed->cards->count, session->cards->count);
  EXPECT_EQ(resumed->totalWeight, session->totalWeight);
  EXPECT_EQ(GetTicks() - resumed->answerTicks, 1000u);
  EXPECT_EQ(std::memcmp(resumed->undo, session->undo, sizeof session->undo), 0);
  // The resumed session writes the same file again.
  FlashSession* original = session;
  session = resumed;
  const std::vector<uint8_t> second = Saved();
  session = original;
  EXPECT_EQ(second, first);
  // And draws on as the original would.
  const DWORD r = 777;
  ScriptRandomForTests(&r, 1);
  const int32_t a = PickWeightedCard(session);
  ScriptRandomForTests(&r, 1);
  EXPECT_EQ(PickWeightedCard(resumed), a);
  ScriptRandomForTests(nullptr, 0);
  FreeFlashSession(resumed);
}

TEST_F(SessionFileTest, RandomSessionWritesOnlyItsLists) {
  Set(kProCardselection, kSelectRandom);
  Set(kProUnlearnedratio, 0);
  Cards(1, 5);
  Build();
  ASSERT_NE(session, nullptr);
  ProcessSessionCommand(session, kCmdStart, -1);
  EXPECT_EQ(Roles(Saved()), (std::vector<uint32_t>{kRoleCards, kRoleOrder}));
}

TEST_F(SessionFileTest, EndingWithSaveKeepsTheSessionForLater) {
  Cards(1, 5);
  Build();
  ASSERT_NE(session, nullptr);
  ProcessSessionCommand(session, kCmdStart, -1);
  Answer(2);
  EXPECT_EQ(ProcessSessionCommand(session, kCmdEnd, 1), 0);
  EXPECT_EQ(session, nullptr);
  ASSERT_EQ(HasSavedFlashSession(), 1);
  session = Resume();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->currentCard, 3);
  EXPECT_EQ(session->questionIndex, 2);
  EXPECT_EQ(session->answerTicks, 0u);  // the answer was not shown: still not
  events.clear();
  ProcessSessionCommand(session, kCmdStart, -1);  // redraws the saved card
  EXPECT_EQ(session->currentCard, 3);
  EXPECT_EQ(Asked(kEventLayout), 1);
  // Resumed once: the file is gone.
  EXPECT_EQ(HasSavedFlashSession(), 0);
  EXPECT_EQ(Resume(), nullptr);
}

TEST_F(SessionFileTest, MissingFileGivesNothingAndDeletesNothing) {
  EXPECT_EQ(HasSavedFlashSession(), 0);
  EXPECT_EQ(Resume(), nullptr);
  EXPECT_FALSE(FileExists());
}

TEST_F(SessionFileTest, DamagedOrForeignFilesAreDeleted) {
  Set(kProCardselection, kSelectFrequency);
  Set(kProCardcount, 50);
  Set(kProSelectionnorepeat, 0);
  Cards(1, 300);
  Build();
  ASSERT_NE(session, nullptr);
  ProcessSessionCommand(session, kCmdStart, -1);
  Answer(3);
  const std::vector<uint8_t> good = Saved();
  const size_t list = Word(good, 4);  // the card list chunk
  ASSERT_EQ(Word(good, list + 8), kRoleCards);
  const size_t order = list + Word(good, list);
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
  } cases[] = {
      {"version 4", 0, 4},
      {"another database", 8, Word(good, 8) ^ 1},
      {"another record size", 4, Word(good, 4) + 4},
      {"list width 3", list + 24, 3},
      {"more chunks than the maximum", list + 20, 600},
      {"maximum chunks beyond 512", list + 32, 100000},
      {"a chunk count beyond perChunk", list + 40, 5000},
      {"chunk counts that miss the record count", list + 16, Word(good, list + 16) + 1},
      {"a chunk size that does not fit", list, Word(good, list) + 4},
      {"order count above its capacity", order + 16, 2000},
      {"ring count not in whole entries", order + Word(good, order) + 16, 4},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    ASSERT_LT(c.at + 4, bad.size()) << c.what;
    SetWord(bad, c.at, c.value);
    WriteFile(bad);
    EXPECT_EQ(Resume(), nullptr) << c.what;
    EXPECT_FALSE(FileExists()) << c.what;
  }
  // Cut inside a chunk.
  WriteFile(std::vector<uint8_t>(good.begin(), good.end() - 6));
  EXPECT_EQ(Resume(), nullptr);
  EXPECT_FALSE(FileExists());
  // The good file still resumes.
  WriteFile(good);
  FlashSession* resumed = Resume();
  EXPECT_NE(resumed, nullptr);
  FreeFlashSession(resumed);
}

TEST_F(SessionFileTest, RecordIndexesAreChecked) {
  Cards(1, 5);
  Build();
  ASSERT_NE(session, nullptr);
  ProcessSessionCommand(session, kCmdStart, -1);
  struct Case {
    const char* what;
    void (*mutate)(FlashSession*);
  } cases[] = {
      {"state", [](FlashSession* s) { s->state = 9; }},
      {"saved state", [](FlashSession* s) { s->savedState = -1; }},
      {"test type", [](FlashSession* s) { s->testType = 6; }},
      {"method", [](FlashSession* s) { s->method = 4; }},
      {"field-set count", [](FlashSession* s) { s->fieldSetCount = 11; }},
      {"field-set index", [](FlashSession* s) { s->currentFieldSet = s->fieldSetCount; }},
      {"shown count", [](FlashSession* s) { s->fieldSets[0].shownCount = 5; }},
      {"browse position", [](FlashSession* s) { s->browsePosition = s->orderCount; }},
      {"question index", [](FlashSession* s) { s->questionIndex = -2; }},
      {"answer count", [](FlashSession* s) { s->correctAnswers = -1; }},
      {"undo count", [](FlashSession* s) { s->undoCount = 33; }},
      {"next position", [](FlashSession* s) { s->nextPosition = s->cards->count + 1; }},
      {"mark count", [](FlashSession* s) { s->markCount = 33; }},
  };
  for (const Case& c : cases) {
    FlashSession copy = *session;
    c.mutate(session);
    ASSERT_EQ(SaveFlashSession(session), 0) << c.what;
    *session = copy;
    EXPECT_EQ(Resume(), nullptr) << c.what;
    EXPECT_FALSE(FileExists()) << c.what;
  }
}

TEST_F(SessionFileTest, DeletedScorefileRefusesTheResume) {
  Cards(1, 5);
  Build();
  ASSERT_NE(session, nullptr);
  ProcessSessionCommand(session, kCmdStart, -1);
  ASSERT_EQ(SaveFlashSession(session), 0);
  OnStore("DROP TABLE sorvi_flash_scores_" + std::to_string(scorefile));
  EXPECT_EQ(Resume(), nullptr);
  EXPECT_FALSE(FileExists());
}

}  // namespace

namespace {

// A whole test through key actions: half answered, saved, resumed under
// another current profile, finished.
TEST_F(SessionFileTest, AnsweredSavedResumedAndFinished) {
  Set(kProScoreprompt, 1);
  Set(kProScorepromptshowall, 0);
  Set(kProScoreonceaday, 0);
  Cards(1, 20);
  const int32_t profile = GetCurrentProfileId(store);
  Build();
  ASSERT_NE(session, nullptr);
  const uint32_t start = session->startTime;
  ProcessSessionCommand(session, kCmdStart, -1);
  // Cards 1-10: right and graded 6 (keys 4, 5, 11), or wrong and graded 1
  // (keys 4, 6, 9), in turn.
  for (int32_t card = 1; card <= 10; ++card) {
    ASSERT_EQ(session->currentCard, card);
    HandleSessionKeyAction(session, 4);
    HandleSessionKeyAction(session, card % 2 ? 5 : 6);
    HandleSessionKeyAction(session, card % 2 ? 11 : 9);
  }
  AdvanceVirtualClock(60 * 1000);
  ASSERT_EQ(ProcessSessionCommand(session, kCmdEnd, 1), 0);
  ASSERT_EQ(session, nullptr);
  const int32_t other = CreateProfile(store, W(u"Other"), -1);
  ASSERT_EQ(SelectFlashProfile(store, other), 0);
  AdvanceVirtualClock(3600 * 1000);

  session = Resume();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->currentCard, 11);
  EXPECT_EQ(session->correctAnswers, 5);
  EXPECT_EQ(session->incorrectAnswers, 5);
  // Cards 11-20: right, graded 5 (keys 4, 5, 10).
  for (int32_t card = 11; card <= 20 && session; ++card) {
    ASSERT_EQ(session->currentCard, card);
    HandleSessionKeyAction(session, 4);
    HandleSessionKeyAction(session, 5);
    HandleSessionKeyAction(session, 10);
  }
  EXPECT_EQ(session, nullptr);  // the list ran out
  // New cards at 100 and difficulty 100 under the "Simple" Automatic rules:
  // grade 6 raises to the initial interval 400 and the difficulty by 4;
  // grade 1 keeps 0 % (raised to the minimum 100), the difficulty drops 12;
  // grade 5 gives 300 and keeps the difficulty.
  const struct {
    int32_t card, score, difficulty;
  } expected[] = {{1, 400, 104}, {2, 100, 88}, {11, 300, 100}};
  for (const auto& e : expected) {
    CardScoreRecord r;
    ASSERT_EQ(ReadCardScore(store, scorefile, e.card, &r, 1), 0);
    EXPECT_EQ(r.score, e.score) << e.card;
    EXPECT_EQ(r.difficulty, e.difficulty) << e.card;
    EXPECT_EQ(r.reviewed, 1) << e.card;
  }
  const std::string of = " FROM sorvi_flash_profiles WHERE id = ";
  EXPECT_EQ(Query(kDefaultKvb, "SELECT laststart" + of + std::to_string(profile)), std::to_string(start));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT lastend" + of + std::to_string(profile)), std::to_string(GetUtcSeconds()));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT ifnull(laststart, 0)" + of + std::to_string(other)), "0");
}

}  // namespace
