// Start-up and shutdown in this process: the screen's resolution factor,
// the saved records at first and later runs, the start without any
// dictionary, what the engine is given, the flashcard databases' notice,
// and a restart that restores what shutdown saved.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/app_registry.h"
#include "app/app_startup.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "platform/dialog.h"
#include "platform/dialog_automation.h"
#include "platform/errors.h"
#include "platform/msgbox.h"
#include "platform/registry.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "resources/resources.h"
#include "tests/app/app_fixture.h"
#include "toolkit/app_context.h"

namespace {

constexpr char16_t kNoDictionariesText[] =
    u"Sorry, no dictionary data files were found. Please check that you've installed them correctly.";
constexpr char16_t kMultipleText[] =
    u"Multiple flashcard database files were found on your system. Sorvi has automatically opened the oldest one, "
    u"but we recommend that you double-check your system and remove any additional databases (backup copies, "
    u"e.g.) in order to avoid opening one of them accidentally.";

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSorviResources();
    AutoResetDialogScripts();
  }
  void TearDown() override {
    if (AppContextPointer) ShutdownApplication();
    SetScreenProfile(480, 640, 192);
    AutoResetDialogScripts();
  }
  void InstallDictionaryAndFonts() {
    tree_.Write("Program Files/Sorvi/words.pdb", appfix::SmallDictionary());
    const std::string fonts = SORVI_FIXTURE_FONTS;
    tree_.Copy(fonts + "/DejaVuSans-subset.ttf", "Program Files/Sorvi/tahoma.ttf");
    tree_.Copy(fonts + "/DejaVuSans-Bold-subset.ttf", "Program Files/Sorvi/tahomabd.ttf");
    tree_.Copy(fonts + "/wqy-zenhei-subset.ttf", "Program Files/Sorvi/ZYSong.ttf");
  }
  static bool Exists(const WCHAR* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool found = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
  }
  static DWORD Version(const WCHAR* name) {
    HKEY key = nullptr;
    DWORD v = 0, size = sizeof v;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
    RegCloseKey(key);
    return v;
  }
  static void Delete(const RegistryRecordName& record) { SaveRegistryRecord(record, nullptr); }
  static int BoxesCaptioned(const std::u16string& caption) {
    int n = 0;
    for (const auto& box : AutoMessageBoxLog()) n += box.caption == caption;
    return n;
  }

  appfix::DeviceTree tree_;
};

TEST_F(StartupTest, ResolutionFactorAndIconSizeFollowTheScreen) {
  InstallDictionaryAndFonts();
  struct Case {
    int dpi;
    uint16_t factor;
    uint32_t icon;
  };
  for (const Case c : {Case{96, 3, 16}, Case{128, 4, 22}, Case{192, 6, 32}}) {
    SCOPED_TRACE(c.dpi);
    SetScreenProfile(480, 640, c.dpi);
    ASSERT_EQ(StartApplication(), 0);
    ASSERT_NE(AppContextPointer, nullptr);
    EXPECT_EQ(AppContextPointer->dpiFactor, c.factor);
    EXPECT_EQ(AppContextPointer->iconSize, c.icon);
    EXPECT_EQ(AppContextPointer->engine->scaleNumerator, c.factor);
    EXPECT_EQ(AppContextPointer->engine->scaleDenominator, 3u);
    ShutdownApplication();
    EXPECT_EQ(AppContextPointer, nullptr);
  }
}

TEST_F(StartupTest, OsFlagsFollowTheVersion) {
  InstallDictionaryAndFonts();
  struct Case {
    DWORD major, minor, build;
    uint8_t atLeast5, atLeast5_2_20480;
  };
  const Case cases[] = {
      {4, 21, 99999, 0, 0}, {5, 0, 30000, 1, 0}, {5, 2, 20479, 1, 0}, {5, 2, 20480, 1, 1}, {6, 3, 30000, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.major << "." << c.minor << "." << c.build);
    SetOsVersion(c.major, c.minor, c.build);
    ASSERT_EQ(StartApplication(), 0);
    EXPECT_EQ(AppContextPointer->osAtLeast5, c.atLeast5);
    EXPECT_EQ(AppContextPointer->osAtLeast5_2_20480, c.atLeast5_2_20480);
    ShutdownApplication();
  }
  SetOsVersion(5, 2, 21000);
}

TEST_F(StartupTest, NoDictionaryEndsWithTheMessageAndLeavesNothing) {
  tree_.Copy(std::string(SORVI_FIXTURE_FONTS) + "/DejaVuSans-subset.ttf", "tahoma.ttf");
  tree_.Copy(SORVI_TEST_SCRIPTED_RECOGNIZER, "Program Files/Sorvi/Quillet.dll");
  AutoExpectMessageBox(kNoDictionariesText, u"No Dictionaries Found", IDOK);
  EXPECT_NE(StartApplication(), 0);
  EXPECT_EQ(AppContextPointer, nullptr);
  const auto log = AutoMessageBoxLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].type, 0x50010u);
  EXPECT_TRUE(AutoScriptFailures().empty());
  for (const WCHAR* name : {u"Engine", u"EngineVersion", u"Dicts", u"DictsVersion"}) EXPECT_FALSE(Exists(name));
  EXPECT_EQ(AppFoundFiles.dataFileCount, 0u);
  EXPECT_EQ(AppFoundFiles.fontCount, 0u);
}

TEST_F(StartupTest, FirstRunSavesTheEngineRecordAtOnce) {
  InstallDictionaryAndFonts();
  ASSERT_EQ(StartApplication(), 0);
  EXPECT_TRUE(Exists(u"Engine"));
  EXPECT_EQ(Version(u"EngineVersion"), 12u);
  ShutdownApplication();

  // With either saved record present the run is not a first run: nothing
  // is written during start-up.
  for (const RegistryRecordName* kept : {&kEngineRecord, &kDictsRecord}) {
    SCOPED_TRACE(kept == &kEngineRecord ? "Engine kept" : "Dicts kept");
    ASSERT_EQ(StartApplication(), 0);
    ShutdownApplication();
    ASSERT_TRUE(Exists(u"Dicts"));
    Delete(kept == &kEngineRecord ? kDictsRecord : kEngineRecord);
    ASSERT_EQ(StartApplication(), 0);
    EXPECT_FALSE(Exists(kept == &kEngineRecord ? u"Dicts" : u"Engine"));
    ShutdownApplication();
  }
}

TEST_F(StartupTest, TheEngineGetsTheFoundFilesAndTheDefaultPaths) {
  InstallDictionaryAndFonts();
  ASSERT_EQ(StartApplication(), 0);
  AppContext* app = AppContextPointer;
  ASSERT_NE(app, nullptr);
  DictEngine* engine = app->engine;
  EXPECT_EQ(engine->fontSlotCount, 1u);
  EXPECT_STREQ(engine->userFolder, "\\My Documents\\");
  EXPECT_STREQ(engine->userExtension, ".kvb");
  // The flashcard store was made at the default path.
  EXPECT_NE(app->flashcardStore, nullptr);
  EXPECT_TRUE(std::filesystem::exists(tree_.root().path() / "My Documents" / "Sorvi Flashcards.kvb"));
  EXPECT_NE(app->lookupSession, nullptr);
  for (MemHandle* clip : app->clipBuffers) {
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(GetMemHandleSize(clip), 64u);
  }
  // The path lists were handed over and freed.
  EXPECT_EQ(AppFoundFiles.userDbCount, 0u);
  EXPECT_EQ(AppFoundFiles.fontCount, 0u);
  EXPECT_EQ(AppFoundFiles.dataFileCount, 1u);
  ShutdownApplication();
  EXPECT_EQ(AppFoundFiles.dataFileCount, 0u);

  // The next start finds that database on its walk and opens it.
  ASSERT_EQ(StartApplication(), 0);
  EXPECT_EQ(AppContextPointer->engine->userDbCount, 1u);
  EXPECT_EQ(BoxesCaptioned(u"Multiple Flashcard Datatabase"), 0);
}

TEST_F(StartupTest, TwoFlashcardDatabasesGiveTheNoticeAndStartGoesOn) {
  InstallDictionaryAndFonts();
  ASSERT_EQ(StartApplication(), 0);
  ShutdownApplication();
  // A backup copy in the device root.
  tree_.Copy((tree_.root().path() / "My Documents" / "Sorvi Flashcards.kvb").string(), "Copy.kvb");
  AutoExpectMessageBox(kMultipleText, u"Multiple Flashcard Datatabase", IDOK);
  ASSERT_EQ(StartApplication(), 0);
  EXPECT_NE(AppContextPointer->flashcardStore, nullptr);
  EXPECT_EQ(BoxesCaptioned(u"Multiple Flashcard Datatabase"), 1);
  EXPECT_TRUE(AutoScriptFailures().empty());
  const auto log = AutoMessageBoxLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().type, 0x50010u);
}

TEST_F(StartupTest, ShutdownSavesTheRecordsAndARestartRestoresThem) {
  InstallDictionaryAndFonts();
  ASSERT_EQ(StartApplication(), 0);
  LookupSearchFor(AppContextPointer->lookupSession, u"zhongguo", 1);
  ShutdownApplication();
  EXPECT_TRUE(Exists(u"Engine"));
  EXPECT_TRUE(Exists(u"Dicts"));
  EXPECT_EQ(Version(u"EngineVersion"), 12u);
  EXPECT_EQ(Version(u"DictsVersion"), 13u);
  ASSERT_TRUE(Exists(u"RecentQueries"));
  EXPECT_EQ(Version(u"RecentQueriesVersion"), 11u);

  ASSERT_EQ(StartApplication(), 0);
  LookupSession* session = AppContextPointer->lookupSession;
  ASSERT_GE(LookupGetRecentQueryCount(session), 1u);
  WCHAR text[64] = {};
  LookupGetRecentQueryText(session, 0, text, 64);
  EXPECT_EQ(std::u16string(text), u"zhongguo");
  ShutdownApplication();

  // Cleared state: no history at the next start, preferences kept.
  EXPECT_EQ(ClearSavedState(), ERROR_SUCCESS);
  ASSERT_EQ(StartApplication(), 0);
  EXPECT_EQ(LookupGetRecentQueryCount(AppContextPointer->lookupSession), 0u);
  EXPECT_TRUE(Exists(u"Engine"));
}

TEST_F(StartupTest, ARescanHandsNewDictionariesToTheRunningEngine) {
  InstallDictionaryAndFonts();
  ASSERT_EQ(StartApplication(), 0);
  DictEngine* engine = AppContextPointer->engine;
  const uint16_t before = GetDictCount(engine);
  RescanDictionaryFiles();
  EXPECT_EQ(GetDictCount(engine), before);
  tree_.Write("Program Files/Sorvi/more.pdb", appfix::SmallDictionary(2, u"More"));
  RescanDictionaryFiles();
  EXPECT_EQ(GetDictCount(engine), before + 1);
  EXPECT_EQ(AppFoundFiles.dataFileCount, 2u);
}

TEST_F(StartupTest, AKeyThatCannotBeOpenedSavesNothing) {
  InstallDictionaryAndFonts();
  SetRegistryOpenFailure(kAppRegistryKey, ERROR_ACCESS_DENIED);
  ASSERT_EQ(StartApplication(), 0);
  ShutdownApplication();
  SetRegistryOpenFailure(nullptr, 0);
  EXPECT_FALSE(Exists(u"Engine"));
  EXPECT_FALSE(Exists(u"Dicts"));
  EXPECT_TRUE(AutoMessageBoxLog().empty());
}

}  // namespace
