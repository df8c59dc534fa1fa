// The main window made headless through the program's real start-up
// (InitInstance) over a small dictionary written by tools/databuild, on the
// virtual clock. Each test gets a fresh device root, so fresh saved records;
// the window, the application and every process-wide byte of the screen are
// taken down and reset afterwards. Helpers type into the input field, read
// the list rows and the definition, run timers and set preferences.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_instance.h"
#include "app/app_startup.h"
#include "app/main_seams.h"
#include "app/main_search.h"
#include "app/main_window.h"
#include "engine/lookup_session.h"
#include "engine/preferences.h"
#include "platform/automation.h"
#include "platform/clock.h"
#include "platform/dialog_automation.h"
#include "platform/menu_automation.h"
#include "platform/message.h"
#include "platform/resources.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "resources/resources.h"
#include "tests/app/app_fixture.h"
#include "tests/support/virtual_clock.h"
#include "toolkit/app_context.h"
#include "toolkit/control_list.h"

namespace mainfix {

using searchfix::Row;

// Words enough for typing, prefixes and a result list that shrinks.
inline std::vector<searchfix::CedictRow> FixtureRows() {
  return {
      Row(u"你", u"你", "ni3", {u"you"}),
      Row(u"你好", u"你好", "ni3 hao3", {u"hello", u"hi"}),
      Row(u"你们", u"你們", "ni3 men5", {u"you (plural)"}),
      Row(u"好", u"好", "hao3", {u"good", u"well"}),
      Row(u"好人", u"好人", "hao3 ren2", {u"good person"}),
      Row(u"中", u"中", "zhong1", {u"middle", u"center"}),
      Row(u"中国", u"中國", "Zhong1 guo2", {u"China"}),
      Row(u"中文", u"中文", "Zhong1 wen2", {u"Chinese language"}),
      Row(u"人", u"人", "ren2", {u"person", u"people"}),
      Row(u"一", u"一", "yi1", {u"one"}),
      Row(u"文", u"文", "wen2", {u"language", u"culture"}),
      Row(u"ABC", u"ABC", "A B C", {u"the alphabet"}),
  };
}

inline databuild::ByteVec FixtureDictionary(uint32_t dictId = 1, const std::u16string& name = u"Words") {
  databuild::DataFileSpec file;
  file.shortName = name;
  databuild::DictionarySpec dict = searchfix::ChineseDict(FixtureRows(), dictId, name);
  dict.info.iconText = u"WD";
  std::string error;
  EXPECT_EQ(databuild::AddDictionaryTables(dict, &file, &error), 0) << error;
  databuild::ByteVec bytes;
  EXPECT_EQ(databuild::BuildDataFile(file, &bytes, nullptr, &error), 0) << error;
  return bytes;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSorviResources();
    AutoResetDialogScripts();
    AutoMenuClearScript();
    AutoMenuClearHistory();
    InstallTestClock();
    SetScreenProfile(width_, height_, dpi_);
    tree_.Write("Program Files/Sorvi/words.pdb", FixtureDictionary());
    const std::string fonts = SORVI_FIXTURE_FONTS;
    tree_.Copy(fonts + "/DejaVuSans-subset.ttf", "Program Files/Sorvi/tahoma.ttf");
    tree_.Copy(fonts + "/DejaVuSans-Bold-subset.ttf", "Program Files/Sorvi/tahomabd.ttf");
    tree_.Copy(fonts + "/wqy-zenhei-subset.ttf", "Program Files/Sorvi/ZYSong.ttf");
#ifdef SORVI_TEST_QUILLET
    if (withRecognizer_) tree_.Copy(SORVI_TEST_QUILLET, "Program Files/Sorvi/Quillet.dll");
#endif
    BeforeStart();
    ASSERT_EQ(InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL, u""), 1);
    main_ = AppMainWindow;
    ASSERT_NE(main_, nullptr);
    Pump();
  }
  void TearDown() override {
    if (main_ && IsWindow(main_)) DestroyWindow(main_);
    Drain();
    ShutdownApplication();
    UnregisterClassW(u"SORVIENGINE", GetModuleHandleW(nullptr));
    AppSeams = MainSeams{};
    AppTestWindow = nullptr;
    AppReaderWindow = nullptr;
    iaActivated = 1;
    skipRescanOnce = 1;
    highlightShown = 0;
    radicalTableOpen = 0;
    AutoResetDialogScripts();
    AutoMenuClearScript();
    SetScreenProfile(480, 640, 192);
    UninstallVirtualClock();
  }
  // Runs after the device tree is written and before the window starts.
  virtual void BeforeStart() {}

  static void Drain() {
    PumpPendingMessages();
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
      if (m.message != WM_QUIT) DispatchMessageW(&m);
  }
  // Everything pending, paints included, until the queues are quiet.
  static void Pump() {
    for (int round = 0; round < 16 && PumpPendingMessages() > 0; ++round) {
    }
  }
  // Moves the virtual clock on, firing the timers that fall due in order.
  static void Advance(DWORD ms) {
    AutoAdvanceClock(ms);
    PumpPendingMessages();
  }

  DictEngine* engine() const { return AppContextPointer->engine; }
  LookupSession* session() const { return AppContextPointer->lookupSession; }
  void SetPref(int32_t id, int32_t value) { ::SetPref(engine(), id, value); }
  int32_t Pref(int32_t id) const { return GetPref(engine(), id); }

  HWND input() const { return MainWindow.inputField; }
  HWND definition() const { return MainWindow.definition; }
  HWND list() const { return MainWindow.resultsList; }

  // Each unit as WM_CHAR to the input field, as the keyboard would.
  void Type(const std::u16string& text) {
    SetFocus(input());
    for (char16_t c : text) SendMessageW(input(), WM_CHAR, c, 0);
    Pump();
  }
  void SetInputText(const std::u16string& text) {
    SendMessageW(input(), WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text.c_str()));
    Pump();
  }
  static std::u16string FieldText(HWND field) {
    // A field holds at most 65,535 units.
    std::vector<WCHAR> buffer(65536, 0);
    SendMessageW(field, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::u16string(buffer.data());
  }
  std::u16string InputText() const { return FieldText(input()); }
  std::u16string DefinitionText() const { return FieldText(definition()); }
  // The session's query as it stands.
  std::u16string Query() const { return std::u16string(session()->query); }

  uint32_t ListInfo(WPARAM which) const { return static_cast<uint32_t>(SendMessageW(list(), kListGetInfo, which, 0)); }
  // The row texts the window hands the results list (first text only).
  std::vector<std::u16string> ListRows() const {
    std::vector<std::u16string> rows;
    const uint32_t count = ListInfo(1);
    for (uint32_t i = 0; i < count; ++i) rows.push_back(RowText(kMainResultsList, i));
    return rows;
  }
  std::u16string RowText(uint32_t controlId, uint32_t index) const {
    WCHAR text[128] = {};
    WCHAR second[128] = {};
    ListItemTextRequest request{controlId, index, text, second, 128};
    SendMessageW(main_, kMainItemTextRequest, 0, reinterpret_cast<LPARAM>(&request));
    return std::u16string(text);
  }
  // A notification as a child would send it.
  LRESULT Notify(HWND from, UINT code, NMHDR* record) {
    record->hwndFrom = from;
    record->idFrom = static_cast<UINT_PTR>(GetWindowLongW(from, GWL_ID));
    record->code = code;
    return SendMessageW(main_, WM_NOTIFY, record->idFrom, reinterpret_cast<LPARAM>(record));
  }

  appfix::DeviceTree tree_;
  HWND main_ = nullptr;
  int width_ = 480;
  int height_ = 640;
  int dpi_ = 192;
  bool withRecognizer_ = false;
};

// The definition contains `needle`.
inline ::testing::AssertionResult Shows(const std::u16string& text, const std::u16string& needle) {
  if (text.find(needle) != std::u16string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the text does not hold the words looked for";
}

}  // namespace mainfix
