// The recogniser binding: which "Quillet.dll" is loaded, the flags and
// bounds of a recognition, and the message shown without a recogniser.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_handwriting.h"
#include "platform/dialog.h"
#include "platform/dialog_automation.h"
#include "platform/library.h"
#include "platform/msgbox.h"
#include "tests/app/app_fixture.h"

namespace {

constexpr char16_t kNoRecognizerText[] =
    u"Cannot access the handwriting recognition engine; please make sure that you've installed the file "
    u"\"Quillet.dll\" to your handheld's internal memory (the installer should have put it there by default).";

using ScriptProc = void (*)(const uint16_t* codes, int count, int result);
using LastCallProc = void (*)(int* calls, int* maxCount, uint32_t* flags, const int16_t** ink);

class HandwritingTest : public ::testing::Test {
 protected:
  void TearDown() override {
    CloseHandwritingEngine(engine_);
    AutoResetDialogScripts();
  }
  // Loads the scripted library from the tree and reaches its script.
  void OpenScripted() {
    tree_.Copy(SORVI_TEST_SCRIPTED_RECOGNIZER, "Program Files/Sorvi/Quillet.dll");
    engine_ = OpenHandwritingEngine();
    ASSERT_NE(engine_, nullptr);
    script_ = reinterpret_cast<ScriptProc>(GetProcAddress(engine_->module, "ScriptRecognizer"));
    lastCall_ = reinterpret_cast<LastCallProc>(GetProcAddress(engine_->module, "RecognizerLastCall"));
    ASSERT_NE(script_, nullptr);
    ASSERT_NE(lastCall_, nullptr);
  }
  struct Call {
    int calls;
    int maxCount;
    uint32_t flags;
  };
  Call LastCall() {
    Call c{};
    const int16_t* ink = nullptr;
    lastCall_(&c.calls, &c.maxCount, &c.flags, &ink);
    return c;
  }
  uint16_t Recognize(uint32_t points, int s, int t, int r, uint32_t maximum = kHwrScreenMaximum) {
    return RecognizeHandwriting(engine_, kInk, points, nullptr, engine_->candidates, maximum, s, t, r);
  }

  static constexpr int16_t kInk[] = {10, 10, 50, 10, -1, 0, -1, -1};
  appfix::DeviceTree tree_;
  HwrEngineHandle* engine_ = nullptr;
  ScriptProc script_ = nullptr;
  LastCallProc lastCall_ = nullptr;
};

TEST_F(HandwritingTest, NoneFoundGivesNoRecogniserAndTheMessageTellsWhy) {
  tree_.WriteText("Windows/Quillet.dll", "never searched here");
  EXPECT_EQ(OpenHandwritingEngine(), nullptr);
  AutoExpectMessageBox(kNoRecognizerText, u"No Handwriting Recognizer", IDOK);
  ShowNoHandwritingEngineMessage(nullptr);
  EXPECT_TRUE(AutoScriptFailures().empty());
  const auto log = AutoMessageBoxLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].caption, u"No Handwriting Recognizer");
  EXPECT_EQ(log[0].text, kNoRecognizerText);
  EXPECT_EQ(log[0].type, 0x50010u);
}

TEST_F(HandwritingTest, CandidatesThatDoNotServeArePassedOver) {
  tree_.StorageCards("Card A\nCard B\nCard C\n");
  tree_.WriteText("Quillet.dll", "not a library");
  tree_.Copy(SORVI_TEST_NO_EXPORT_RECOGNIZER, "Card A/Program Files/Quillet.dll");
  tree_.Copy(SORVI_TEST_SCRIPTED_RECOGNIZER, "Card B/Program Files/Quillet.dll");
  tree_.Copy(SORVI_TEST_SCRIPTED_RECOGNIZER, "Card C/Program Files/Quillet.dll");
  engine_ = OpenHandwritingEngine();
  ASSERT_NE(engine_, nullptr);
  ASSERT_NE(engine_->recognize, nullptr);
  // The last candidate that failed, and the first that serves is kept.
  EXPECT_EQ(std::u16string(engine_->path), u"\\Card A\\Program Files\\Quillet.dll");
  HMODULE b = LoadLibraryW(u"\\Card B\\Program Files\\Quillet.dll");
  EXPECT_EQ(b, engine_->module);
  FreeLibrary(b);
}

TEST_F(HandwritingTest, FailedPathIsCutToTheField) {
  HwrEngineHandle record{};
  FillingHwrEngine = &record;
  const std::u16string longPath = u"\\Storage Card\\" + std::u16string(300, u'x') + u"\\Quillet.dll";
  EXPECT_EQ(TryLoadHandwritingEngine(longPath.c_str(), 0), 1u);
  FillingHwrEngine = nullptr;
  EXPECT_EQ(std::u16string(record.path), longPath.substr(0, kHwrPathUnits - 1));
  EXPECT_EQ(record.module, nullptr);
}

TEST_F(HandwritingTest, FlagsForTheThreeChoices) {
  OpenScripted();
  struct Case {
    int simplified, traditional, rare;
    uint32_t flags;
  };
  const Case cases[] = {
      {1, 1, 1, 15}, {0, 0, 1, 15},  // rare alone: as all three
      {0, 0, 0, 15}, {1, 0, 0, 1},  {1, 0, 1, 3}, {0, 1, 0, 4}, {0, 1, 1, 12},
  };
  const uint16_t codes[] = {0x4E00};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.simplified << c.traditional << c.rare);
    script_(codes, 1, 1);
    EXPECT_EQ(Recognize(4, c.simplified, c.traditional, c.rare), 1);
    const Call call = LastCall();
    EXPECT_EQ(call.calls, 1);
    EXPECT_EQ(call.flags, c.flags);
    EXPECT_EQ(call.maxCount, 10);  // 14 asked for, never more than 10
  }
}

TEST_F(HandwritingTest, OnlyCharacterCodesAreKeptInOrder) {
  OpenScripted();
  const uint16_t codes[] = {0x4E00, 0x0041, 0x4E8C, 0x33FF, 0xD800, 0x3400, 0xD7FF};
  script_(codes, 7, 7);
  EXPECT_EQ(Recognize(4, 1, 1, 1), 4);
  EXPECT_EQ(engine_->count, 4);
  EXPECT_EQ(std::vector<uint16_t>(engine_->candidates, engine_->candidates + 4),
            (std::vector<uint16_t>{0x4E00, 0x4E8C, 0x3400, 0xD7FF}));
  // A result of nothing but other codes keeps none.
  const uint16_t latin[] = {0x41, 0x42};
  script_(latin, 2, 2);
  EXPECT_EQ(Recognize(4, 1, 1, 1), 0);
  EXPECT_EQ(engine_->count, 0);
}

TEST_F(HandwritingTest, NoPointsCallsNothingAndKeepsTheCount) {
  OpenScripted();
  const uint16_t codes[] = {0x4E00, 0x4E8C};
  script_(codes, 2, 2);
  ASSERT_EQ(Recognize(4, 1, 1, 1), 2);
  script_(codes, 2, 2);
  EXPECT_EQ(Recognize(0, 1, 1, 1), 0);
  EXPECT_EQ(LastCall().calls, 0);
  EXPECT_EQ(engine_->count, 2);
}

TEST_F(HandwritingTest, MoreCodesReportedThanAskedForAreNotRead) {
  OpenScripted();
  std::vector<uint16_t> codes(20);
  for (size_t i = 0; i < codes.size(); ++i) codes[i] = static_cast<uint16_t>(0x4E00 + i);
  // Asked for 3, the library reports 20: only the first 3 count.
  script_(codes.data(), 20, 20);
  EXPECT_EQ(Recognize(4, 1, 1, 1, 3), 3);
  EXPECT_EQ(LastCall().maxCount, 3);
  // Only the low 16 bits of the result count: 0x10002 is 2.
  script_(codes.data(), 20, 0x10002);
  EXPECT_EQ(Recognize(4, 1, 1, 1), 2);
}

TEST_F(HandwritingTest, TheRealRecogniserReadsAHorizontalStroke) {
  tree_.Copy(SORVI_TEST_QUILLET, "Program Files/Sorvi/Quillet.dll");
  engine_ = OpenHandwritingEngine();
  ASSERT_NE(engine_, nullptr);
  const int16_t stroke[] = {100, 300, 200, 301, 300, 300, 400, 299, 500, 300, -1, 0, -1, -1};
  const uint16_t n = RecognizeHandwriting(engine_, stroke, 5, nullptr, engine_->candidates, kHwrScreenMaximum, 1, 1, 1);
  ASSERT_GT(n, 0);
  EXPECT_NE(std::find(engine_->candidates, engine_->candidates + n, 0x4E00), engine_->candidates + n);
}

}  // namespace
