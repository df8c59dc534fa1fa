// The action dispatcher and the menu commands on the headless main window:
// the menu items and the entry points of the screens built on their own,
// the actions that do nothing, the input-field actions (full-text prefix,
// clear, copy to input), deleting a custom entry, full screen, quitting and
// playing the pronunciation.
#include "app/main_actions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/app_registry.h"
#include "app/audio_playback.h"
#include "engine/dict_set.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "platform/dialog.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/wave.h"
#include "tests/app/audio_clips.h"
#include "tests/app/field_probe.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/utf16_print.h"
#include "toolkit/control_flashtext.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/entry_markup.h"

namespace {

using mainfix::MainWindowTest;

constexpr char16_t kNoAudioDataText[] =
    u"Sorry, the audio data files could not be found - please make sure you've installed them correctly.";

// Waits in real time for the audio worker.
template <typename Pred>
bool WaitUntil(Pred pred, int ms = 5000) {
  for (int i = 0; i < ms && !pred(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return pred();
}

// What the screens' entry points were asked, in order.
std::vector<std::string> gSeamCalls;

void RecordSeams() {
  gSeamCalls.clear();
  AppSeams.showPopupDefinition = [](HWND, const WCHAR* text, int main, int plain, int32_t option) {
    gSeamCalls.push_back("popup " + Utf8Of(text) + " " + std::to_string(main) + std::to_string(plain) +
                         std::to_string(option));
  };
  AppSeams.showCharInfo = [](HWND, WCHAR c, int page) {
    gSeamCalls.push_back("charinfo " + Utf8Of(std::u16string(1, c)) + " " + std::to_string(page));
  };
  AppSeams.openInputSheet = [](HWND, HWND target) {
    gSeamCalls.push_back(std::string("inputsheet") + (target == MainWindow.inputField ? " input" : " other"));
  };
  AppSeams.openAddEditEntryDialog = [](HWND) { gSeamCalls.push_back("addedit"); };
  AppSeams.openPreferences = [](HWND) { gSeamCalls.push_back("preferences"); };
  AppSeams.openManageDictionaries = [](HWND) { gSeamCalls.push_back("managedicts"); };
  AppSeams.openAboutDialog = [](HWND) { gSeamCalls.push_back("about"); };
  AppSeams.openReaderOnText = [](HWND, const WCHAR* text, uint32_t bytes) {
    const std::u16string t(text);
    gSeamCalls.push_back(std::string("readertext ") + ((t.size() + 1) * 2 == bytes ? "bytes-ok" : "bytes-wrong"));
  };
  AppSeams.openReaderStartDialog = [](HWND) { gSeamCalls.push_back("readerstart"); };
  AppSeams.openFlashcards = [](HWND) { gSeamCalls.push_back("flashcards"); };
}

// Every top-level window of the process.
int TopLevelWindows() {
  int n = 0;
  EnumWindows([](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<int*>(p), TRUE; }, reinterpret_cast<LPARAM>(&n));
  return n;
}

class ActionsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    SetPref(kPrefSearchDelay, 0);
  }
  void TearDown() override {
    gSeamCalls.clear();
    MainWindowTest::TearDown();
  }
  // Searches the word and makes the entry whose definition holds `gloss`
  // current.
  void ShowEntry(const std::u16string& typed, const std::u16string& gloss) {
    SetInputText(typed);
    for (uint32_t i = 0; i < 12; ++i) {
      if (mainfix::Shows(DefinitionText(), gloss)) return;
      LookupShowEntryAt(session(), i);
      Pump();
    }
    ASSERT_TRUE(mainfix::Shows(DefinitionText(), gloss));
  }
  void SelectInDefinition(uint32_t start, uint32_t end) { ProbeSetSelection(definition(), start, end); }
  // The definition's offset of `text`.
  uint32_t DefinitionOffset(const std::u16string& text) {
    const size_t at = DefinitionText().find(text);
    EXPECT_NE(at, std::u16string::npos);
    return static_cast<uint32_t>(at);
  }
  std::u16string Prefix() const { return std::u16string(1, static_cast<char16_t>(Pref(kPrefFullTextPrefix))); }
  void Command(UINT id) {
    SendMessageW(main_, WM_COMMAND, id, 0);
    Pump();
  }
};

TEST_F(ActionsTest, MenuItemsReachTheScreensThroughTheirEntryPoints) {
  RecordSeams();
  ShowEntry(u"nihao", u"hello");
  const uint32_t hello = DefinitionOffset(u"hello");
  const uint32_t ni = DefinitionOffset(u"你");
  const struct {
    UINT id;
    uint32_t start, end;  // the definition's selection
    const char* call;
  } cases[] = {
      {kMenuPreferences, 0, 0, "preferences"},
      {kMenuManageDicts, 0, 0, "managedicts"},
      {kMenuAbout, 0, 0, "about"},
      {kMenuOpenFlashcards, 0, 0, "flashcards"},
      {kMenuOpenReader, 0, 0, "readerstart"},
      {kMenuAddEditEntry, 0, 0, "addedit"},
      {kMenuSendToReader, 0, 0, "readertext bytes-ok"},
      // The pop-up definition of the selection, with no options.
      {kMenuPopupDefinition, hello, hello + 5, "popup hello 00-1"},
      // Character information at page 1: the selection's first character,
      // else the headword's.
      {kMenuCharInfo, ni, ni + 2, "charinfo 你 1"},
      {kMenuCharInfo, hello, hello + 5, "charinfo 你 1"},
      // "Input Text...": the input section asked for side 3, which is the
      // Input sheet, with the input field as its receiver.
      {kMenuInputText, 0, 0, "inputsheet input"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    gSeamCalls.clear();
    SelectInDefinition(c.start, c.end);
    Command(c.id);
    EXPECT_EQ(gSeamCalls, std::vector<std::string>{c.call});
  }
  // Without a selection the pop-up definition has nothing to show.
  gSeamCalls.clear();
  SelectInDefinition(0, 0);
  Command(kMenuPopupDefinition);
  EXPECT_TRUE(gSeamCalls.empty());
}

TEST_F(ActionsTest, ScreensNotBuiltYetOpenNothing) {
  ShowEntry(u"nihao", u"hello");
  SelectInDefinition(DefinitionOffset(u"hello"), DefinitionOffset(u"hello") + 5);
  const int windows = TopLevelWindows();
  const std::u16string input = InputText();
  for (int action : {17, 18, 19, 22, 23, 25, 33, 34, 35}) {
    SCOPED_TRACE(action);
    ExecuteAction(action, -1);
    Pump();
    EXPECT_EQ(TopLevelWindows(), windows);
    EXPECT_EQ(InputText(), input);
  }
  Command(kMenuInputText);
  EXPECT_EQ(TopLevelWindows(), windows);
  EXPECT_TRUE(AutoMessageBoxLog().empty());
}

TEST_F(ActionsTest, TheActionsWithoutAMeaningDoNothingFromMenusKeysOrCalls) {
  ShowEntry(u"nihao", u"hello");
  // Four application keys bound to the four actions in key list 6.
  const int32_t keys[] = {VK_APP1, 15, VK_APP1 + 1, 31, VK_APP1 + 2, 32, VK_APP1 + 3, 37};
  SetPrefArray(engine(), kPrefArrayActionKeys, keys, 8);
  auto snapshot = [&] {
    std::vector<int32_t> prefs;
    for (int32_t id = 0; id < kPrefCount; ++id) prefs.push_back(Pref(id));
    return std::make_tuple(InputText(), DefinitionText(), Query(), ListRows(), prefs, TopLevelWindows());
  };
  const auto before = snapshot();
  for (int action : {15, 31, 32, 37, 0, 41, -1}) {
    SCOPED_TRACE(action);
    ExecuteAction(action, -1);
    ExecuteAction(action, 2);
    Pump();
    EXPECT_TRUE(snapshot() == before);
  }
  for (UINT key = VK_APP1; key < VK_APP1 + 4; ++key) {
    SendMessageW(main_, WM_KEYDOWN, key, 0);
    Pump();
    EXPECT_TRUE(snapshot() == before) << key;
  }
  Command(kMenuUnused);
  EXPECT_TRUE(snapshot() == before);
  EXPECT_TRUE(AutoMessageBoxLog().empty());
}

TEST_F(ActionsTest, FullTextPrefixTwiceGivesTheTextBack) {
  for (const std::u16string text : {u"hao", u"", u"你好"}) {
    SCOPED_TRACE(Utf8Of(text));
    SetInputText(text);
    ExecuteAction(38, -1);
    EXPECT_EQ(InputText(), Prefix() + text);
    Command(kMenuFullText);
    EXPECT_EQ(InputText(), text);
  }
}

TEST_F(ActionsTest, ClearKeepsTheFullTextPrefixWhenAsked) {
  const std::u16string p = Prefix();
  const struct {
    int32_t keep;  // preference 123
    std::u16string text;
    uint32_t start, end;  // the input field's selection
    std::u16string after;
  } cases[] = {
      {1, p + u"hao", 4, 4, p},         // the prefix alone stays
      {0, p + u"hao", 4, 4, u""},       // everything goes
      {1, u"hao", 3, 3, u""},           // no prefix to keep
      {1, p + u"hao", 1, 3, p + u"o"},  // a selection: only it goes
      {0, u"nihao", 0, 2, u"hao"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8Of(c.text));
    SetPref(kPrefLockFullTextPrefix, c.keep);
    SetInputText(c.text);
    ProbeSetSelection(input(), c.start, c.end);
    ExecuteAction(11, -1);
    Pump();
    EXPECT_EQ(InputText(), c.after);
    EXPECT_EQ(GetFocus(), input());
  }
}

TEST_F(ActionsTest, CopyToInputTakesTheSelectionElseTheHeadwordElseItsPinyin) {
  ShowEntry(u"nihao", u"hello");
  // The definition's selection.
  const uint32_t hello = DefinitionOffset(u"hello");
  SelectInDefinition(hello, hello + 5);
  ExecuteAction(21, -1);
  EXPECT_EQ(InputText(), u"hello");
  EXPECT_EQ(GetFocus(), input());
  // No selection: the headword.
  ShowEntry(u"nihao", u"hello");
  SelectInDefinition(0, 0);
  ExecuteAction(21, -1);
  EXPECT_EQ(InputText(), u"你好");
  // The headword is what was searched: its other form.
  ShowEntry(u"你好", u"hello");
  SelectInDefinition(0, 0);
  WCHAR pinyin[64] = {};
  LookupFetchEntry(session(), pinyin, 41, 1);
  ASSERT_NE(pinyin[0], 0);
  Command(kMenuCopyToInput);
  EXPECT_EQ(InputText(), std::u16string(pinyin));
  EXPECT_NE(InputText(), u"你好");
  EXPECT_EQ(Query(), InputText());  // and it was searched at once
  // A full-text query keeps its prefix with preference 123.
  SetPref(kPrefLockFullTextPrefix, 1);
  ShowEntry(u"nihao", u"hello");
  SetInputText(Prefix() + u"hello");
  SelectInDefinition(hello, hello + 5);
  ExecuteAction(21, -1);
  EXPECT_EQ(InputText(), Prefix() + u"hello");
  // In the input field with the focus, only its selection stays, behind the
  // prefix.
  SetInputText(Prefix() + u"abcdef");
  SetFocus(input());
  ProbeSetSelection(input(), 3, 5);
  ExecuteAction(21, -1);
  EXPECT_EQ(InputText(), Prefix() + u"cd");
}

TEST_F(ActionsTest, DeletingFromABuiltInDictionaryIsRefused) {
  ShowEntry(u"nihao", u"hello");
  AutoExpectMessageBox(u"Sorry, entries can only be deleted from editable dictionaries.", u"Can't Delete Entry", IDOK);
  Command(kMenuDeleteEntry);
  EXPECT_TRUE(AutoScriptFailures().empty());
  ASSERT_EQ(AutoMessageBoxLog().size(), 1u);
  EXPECT_EQ(AutoMessageBoxLog()[0].type, 0x40010u);
  ShowEntry(u"nihao", u"hello");  // still there
}

TEST_F(ActionsTest, DeletingFromAUserDictionaryAsksFirst) {
  const uint16_t before = GetDictCount(engine());
  ASSERT_EQ(CreateUserDictFileNamed(engine(), kLanguageChinese, 65535, nullptr), 0);
  const uint16_t slot = before;
  const auto uid = AddUserDictEntry(engine(), slot, u"好", u"好", u"hao3", u"good");
  ASSERT_GE(uid, 0);
  for (int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer);
    ASSERT_EQ(LookupShowEntry(session(), slot, static_cast<uint32_t>(uid)), 0);
    Pump();
    AutoExpectMessageBox(u"Are you sure you want to delete this dictionary entry?", u"Delete Entry", answer);
    ExecuteAction(20, -1);
    Pump();
    EXPECT_TRUE(AutoScriptFailures().empty());
    EXPECT_EQ(HasUserDictEntry(engine(), slot, uid), answer == IDYES ? 0 : 1);
  }
}

TEST_F(ActionsTest, FullScreenFollowsOnlyThePortraitChoice) {
  AppContext* app = AppContextPointer;
  app->fullScreenLandscape = 0;
  ExecuteAction(40, -1);
  EXPECT_EQ(app->fullScreenPortrait, 1);
  EXPECT_EQ(app->fullScreen, 1);
  EXPECT_EQ(app->fullScreenLandscape, 0);
  ExecuteAction(40, -1);
  EXPECT_EQ(app->fullScreenPortrait, 0);
  EXPECT_EQ(app->fullScreen, 0);
  EXPECT_EQ(app->fullScreenLandscape, 0);
}

class LandscapeActionsTest : public ActionsTest {
 protected:
  LandscapeActionsTest() {
    width_ = 640;
    height_ = 480;
  }
};

TEST_F(LandscapeActionsTest, FullScreenFollowsOnlyTheLandscapeChoice) {
  AppContext* app = AppContextPointer;
  app->fullScreenPortrait = 0;
  ExecuteAction(40, -1);
  EXPECT_EQ(app->fullScreenLandscape, 1);
  EXPECT_EQ(app->fullScreen, 1);
  EXPECT_EQ(app->fullScreenPortrait, 0);
}

TEST_F(ActionsTest, QuitClosesTheWindowAndTheRecordsAreSaved) {
  ShowEntry(u"nihao", u"hello");
  Command(kMenuQuit);
  Drain();
  EXPECT_FALSE(IsWindow(main_));
  ShutdownApplication();
  HKEY key = nullptr;
  ASSERT_EQ(OpenAppRegistryKey(&key), ERROR_SUCCESS);
  for (const RegistryRecordName* r : {&kEngineRecord, &kRecentQueriesRecord, &kRecentEntriesRecord}) {
    MemHandle* h = LoadRegistryRecord(key, *r);
    EXPECT_NE(h, nullptr) << Utf8Of(r->name);
    FreeMemHandle(h);
  }
  RegCloseKey(key);
}

// Action 13 over an audio data file whose one clip is 好's.
class PlayAudioActionTest : public ActionsTest {
 protected:
  void BeforeStart() override {
    SetWaveDeviceKind(WAVE_DEVICE_NULL);
    SetNullWaveConsumption(WAVE_NULL_INSTANT);
    ClearNullWaveRecord();
    if (!withAudio_) return;
    {
      TempDeviceRoot scratch;
      clip_ = audiofix::MakeClip(scratch.path(), "hao3", 2 * audiofix::kBufferSamples + 100);
    }
    const databuild::ByteVec bytes = audiofix::AudioFileOf({{"hao3", clip_}});
    ASSERT_FALSE(bytes.empty());
    tree_.Write("Program Files/Sorvi/audio.pdb", bytes);
  }
  void TearDown() override {
    if (AppContextPointer) StopAudio();
    ActionsTest::TearDown();
    SetWaveDeviceKind(WAVE_DEVICE_AUTO);
  }
  bool withAudio_ = true;
  audiofix::Bytes clip_;
};

TEST_F(PlayAudioActionTest, TheLevelIsSetBeforePlayingAndMinusOneKeepsIt) {
  AppContext* app = AppContextPointer;
  ShowEntry(u"hao", u"good");
  const struct {
    int argument;
    int32_t before, after;
  } cases[] = {{4, 8, 5}, {-1, 8, 8}, {9, 3, 10}, {0, 3, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    ClearNullWaveRecord();
    SetPref(kPrefAudioVolume, c.before);
    ExecuteAction(13, c.argument);
    EXPECT_EQ(Pref(kPrefAudioVolume), c.after);
    ASSERT_TRUE(WaitUntil([&] { return app->audioBusy.load() == 0; }));
    const NullWaveRecord record = GetNullWaveRecord();
    EXPECT_EQ(record.rates, std::vector<DWORD>{audiofix::kRate});
    EXPECT_EQ(record.volumes, std::vector<DWORD>{AudioVolumeFor(c.after).volumeWord});
    EXPECT_FALSE(record.pcm.empty());
  }
  EXPECT_TRUE(AutoMessageBoxLog().empty());
}

class NoAudioActionTest : public PlayAudioActionTest {
 protected:
  NoAudioActionTest() { withAudio_ = false; }
};

TEST_F(NoAudioActionTest, WithoutAudioDataTheBoxSaysSo) {
  ShowEntry(u"hao", u"good");
  SetPref(kPrefAudioVolume, 8);
  AutoExpectMessageBox(kNoAudioDataText, u"Audio Unavailable", IDOK);
  Command(kMenuPlayAudio);
  EXPECT_TRUE(AutoScriptFailures().empty());
  EXPECT_EQ(AutoMessageBoxLog().size(), 1u);
  EXPECT_EQ(Pref(kPrefAudioVolume), 8);
  EXPECT_TRUE(GetNullWaveRecord().rates.empty());
}

}  // namespace

namespace {

TEST_F(ActionsTest, PaneActionsReadASigned16BitSide) {
  RecordSeams();
  // The list pane: -1 (also as 0xFFFF from a 16-bit source) hides it and
  // gives it back.
  SetPref(kPrefListSide, 0);
  LayoutMainWindow(main_, false);
  const struct {
    int argument;
    int32_t side;
  } listCases[] = {{-1, 4}, {0xFFFF, 0}, {2, 2}, {0x1FFFF, 4}, {-1, 2}};
  for (const auto& c : listCases) {
    SCOPED_TRACE(c.argument);
    ExecuteAction(26, c.argument);
    Pump();
    EXPECT_EQ(Pref(kPrefListSide), c.side);
    bool laid = false, shown = false;
    GetPaneLayoutFlags(engine(), &laid, &shown);
    EXPECT_EQ(shown, c.side != 4) << "laid out again";
  }
  // The input section, with its kind for 28-30.
  SetPref(kPrefInputSide, 4);
  SetPref(kPrefInputSideSaved, 3);
  SetPref(kPrefInputKind, 2);
  const struct {
    int action, argument;
    int32_t side, saved, kind;
  } inputCases[] = {
      {27, 0, 0, 0, 2},       // shown on the right, remembered there
      {27, 0xFFFF, 4, 0, 2},  // -1: hidden, its side remembered
      {27, -1, 0, 0, 2},      // back
      {28, 2, 2, 0, 0},       // handwriting at the bottom
      {29, 2, 4, 0, 1},       // the same side again hides it
      {30, 1, 1, 0, 2},       // the keyboard on the left
  };
  for (const auto& c : inputCases) {
    SCOPED_TRACE(testing::Message() << c.action << " " << c.argument);
    ExecuteAction(c.action, c.argument);
    Pump();
    EXPECT_EQ(Pref(kPrefInputSide), c.side);
    EXPECT_EQ(Pref(kPrefInputSideSaved), c.saved);
    EXPECT_EQ(Pref(kPrefInputKind), c.kind);
    bool laid = false, shown = false;
    GetPaneLayoutFlags(engine(), &laid, &shown);
    EXPECT_EQ(laid, c.side != 4) << "laid out again";
  }
  EXPECT_TRUE(gSeamCalls.empty());
}

TEST_F(ActionsTest, TheInputSheetGetsTheDefinitionsCharacterAndAClearedField) {
  RecordSeams();
  ShowEntry(u"nihao", u"hello");
  const uint32_t ni = DefinitionOffset(u"好");
  SelectInDefinition(ni, ni + 1);
  SetPref(kPrefClearBeforeInput, 1);
  ProbeSetSelection(input(), 0, 2);
  ExecuteAction(27, 3);
  EXPECT_EQ(gSeamCalls, std::vector<std::string>{"inputsheet input"});
  EXPECT_EQ(AppContextPointer->inputSheetChar, u'好');
  EXPECT_EQ(InputText(), u"") << "the field was cleared for the sheet's text";
}

TEST_F(ActionsTest, SwitchLanguageTakesTheDefinitionsSelectionOrTidiesTheInput) {
  ShowEntry(u"nihao", u"hello");
  const uint32_t before = session()->language;
  const uint32_t hello = DefinitionOffset(u"hello");
  SelectInDefinition(hello, hello + 5);
  highlightShown = 0;
  ExecuteAction(1, -1);
  EXPECT_NE(session()->language, before);
  EXPECT_EQ(InputText(), u"hello");
  EXPECT_EQ(Query(), u"hello") << "searched at once";
  EXPECT_EQ(GetFocus(), input());
  // No selection: the full-text prefix goes, or with preference 116 the
  // whole text.
  SelectInDefinition(0, 0);
  SetInputText(Prefix() + u"abc");
  ExecuteAction(1, -1);
  EXPECT_EQ(InputText(), u"abc");
  SetPref(kPrefClearOnLanguageSwitch, 1);
  ExecuteAction(1, -1);
  EXPECT_EQ(InputText(), u"");
  // While the highlight shows, the selection is the search's, not the user's.
  ShowEntry(u"nihao", u"hello");
  SelectInDefinition(hello, hello + 5);
  SetInputText(u"xyz");
  highlightShown = 1;
  SetPref(kPrefClearOnLanguageSwitch, 0);
  ExecuteAction(1, -1);
  EXPECT_EQ(InputText(), u"xyz");
}

TEST_F(ActionsTest, SearchNowRunsWhatTypingDoesNotWithTheOnDemandDelay) {
  SetPref(kPrefSearchDelay, 65535);
  LookupResetQuery(session());
  Type(u"hao");
  Advance(5000);
  EXPECT_EQ(Query(), u"");
  ExecuteAction(12, -1);
  Pump();
  EXPECT_EQ(Query(), u"hao");
}

TEST_F(ActionsTest, CutPasteAndBackspaceWorkOnTheInputField) {
  SetInputText(u"abc");
  SetFocus(input());
  ProbeSetSelection(input(), 0, 1);
  ExecuteAction(8, -1);
  EXPECT_EQ(InputText(), u"bc");
  ProbeSetSelection(input(), 0, 0);
  ExecuteAction(10, -1);
  EXPECT_EQ(InputText(), u"abc");
  // Copy takes the definition's selection when nothing has the pen.
  ShowEntry(u"nihao", u"hello");
  const uint32_t hello = DefinitionOffset(u"hello");
  SelectInDefinition(hello, hello + 5);
  ExecuteAction(9, -1);
  SetInputText(u"");
  SetFocus(input());
  ExecuteAction(10, -1);
  EXPECT_EQ(InputText(), u"hello");
  ExecuteAction(39, -1);
  EXPECT_EQ(InputText(), u"hell");
  EXPECT_EQ(GetFocus(), input());
}

TEST_F(ActionsTest, MagnifyShowsTheSelectionsChineseElseTheHeadword) {
  ShowEntry(u"nihao", u"hello");
  const uint32_t ni = DefinitionOffset(u"你");
  const uint32_t hello = DefinitionOffset(u"hello");
  const struct {
    uint32_t start, end;
    std::u16string shown;
  } cases[] = {
      {ni, ni + 2, u"你好"},        // the selection
      {hello, hello + 5, u"你好"},  // no Chinese in it: the headword
      {0, 0, u"你好"},              // no selection: the headword
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    if (HWND old = FindWindowW(kFlashTextClassName, nullptr)) DestroyWindow(old);
    SelectInDefinition(c.start, c.end);
    ExecuteAction(24, -1);
    HWND toast = FindWindowW(kFlashTextClassName, nullptr);
    ASSERT_NE(toast, nullptr);
    EXPECT_EQ(AutoGetWindowText(toast), c.shown);
    DestroyWindow(toast);
  }
}

}  // namespace
