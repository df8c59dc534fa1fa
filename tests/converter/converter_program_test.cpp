// The converter program, headless: where it finds the first-generation
// files, and dialog 1000 with its save worker, progress and messages.
#include "converter/converter_program.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/automation.h"
#include "platform/backend.h"
#include "platform/controls.h"
#include "platform/core.h"
#include "platform/dialog.h"
#include "platform/dialog_automation.h"
#include "platform/msgbox.h"
#include "platform/screen.h"
#include "platform/system_info.h"
#include "platform/ui.h"
#include "tests/converter/reader_fixture.h"
#include "tests/engine_data/dict_fixture.h"
#include "tests/support/virtual_clock.h"

namespace reader_test {
namespace {

using namespace converter;

const std::u16string kNoDictionaries =
    u"Cannot locate any dictionary data files. Please double-check that you've correctly installed the files to "
    u"your Pocket PC.";

class ConverterProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBackend(BACKEND_HEADLESS);
    SetScreenProfile(480, 640, 192);
    InstallTestClock();
    AutoResetDialogScripts();
    RegisterStandardControls();
    RegisterConverterResources();
  }
  void TearDown() override {
    FreeConverterState();
    for (const std::string& f : AutoScriptFailures()) ADD_FAILURE() << f;
    AutoResetDialogScripts();
  }
  std::string Host(const std::string& relative) { return root.Host(relative); }
  void Write(const std::string& relative, const firstgen::DatabaseSpec& spec, bool bundle = false) {
    std::filesystem::create_directories(std::filesystem::path(Host(relative)).parent_path());
    std::string error;
    ASSERT_TRUE(firstgen::WriteDatabase(spec, bundle, Host(relative), &error)) << error;
  }
  firstgen::DatabaseSpec Dict(uint32_t id = firstgen::kCedictId) {
    firstgen::DatabaseSpec d = firstgen::ChineseEnglishDictionary(FirstRows(6));
    firstgen::PutBe(&d.header, 4, 4, id);
    return d;
  }
  firstgen::DatabaseSpec User() { return firstgen::UserFile(firstgen::SampleUserFile(CedictRows())); }
  void Sample() {
    std::string error;
    ASSERT_TRUE(firstgen::WriteSample(root.host(), CedictRows(), &error)) << error;
  }
  std::string Read(const std::string& relative) {
    std::ifstream in(Host(relative), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Runs the program on this thread while `drive` works the dialog from
  // another; the program's result.
  int RunWith(const std::function<void(HWND dialog)>& drive) {
    std::atomic<bool> done{false};
    std::thread driver([&] {
      HWND dialog = AutoWaitForDialog(kConverterDialog, 5000);
      if (dialog) drive(dialog);
      done = true;
    });
    const int ran = RunConverter(GetModuleHandleW(nullptr), nullptr);
    driver.join();
    return ran;
  }
  static void WaitForWorker() {
    for (int i = 0; i < 500 && GetConverterState() && GetConverterState()->workerRunning; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Open host file descriptors of the process.
  static size_t OpenDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
  }
  static void Press(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

  TempDeviceRoot root;
};

TEST_F(ConverterProgramTest, DiscoveryFindsFilesWhereTheyBelong) {
  struct Case {
    const char* what;
    // path, 0 dictionary / 1 user file / 2 bundle dictionary / 3 a data file of this generation
    std::vector<std::pair<std::string, int>> files;
    bool starts;
    uint16_t dictionaries;
    bool user;
  } cases[] = {
      {"empty root", {}, false, 0, false},
      {"dictionary in My Documents, user file in Program Files\\Old Sorvi Data",
       {{"My Documents/d.pdb", 0}, {"Program Files/Old Sorvi Data/u.pdb", 1}},
       true,
       1,
       true},
      {"in Windows, at the root, two Sorvi folders down",
       {{"Windows/d.pdb", 0}, {"d.pdb", 0}, {"A/Sorvi One/Sorvi Two/d.pdb", 0}},
       false,
       0,
       false},
      {"one Sorvi folder down, any case", {{"Data/my sorvi files/D.PDB", 0}}, true, 1, false},
      {"only a dictionary from a bundle", {{"My Documents/d.kve", 2}}, false, 1, false},
      // The data files of this generation sit where the search looks, and
      // are not first-generation files.
      {"only the current data files", {{"Program Files/Sorvi/s2cedict.pdb", 3}}, false, 0, false},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(root.host());
    std::filesystem::create_directories(root.host());
    for (const auto& [path, kind] : c.files) {
      if (kind == 3) {
        databuild::DataFileSpec desc;
        desc.shortName = u"CC-CEDICT";
        desc.tables.push_back(dictfix::TextTable(0x1000, {{100, u"entry"}}));
        databuild::ByteVec bytes;
        std::string error;
        ASSERT_EQ(databuild::BuildDataFile(desc, &bytes, nullptr, &error), 0) << error;
        std::filesystem::create_directories(std::filesystem::path(Host(path)).parent_path());
        ASSERT_TRUE(firstgen::WriteFile(Host(path), firstgen::Bytes(bytes.begin(), bytes.end()), &error)) << error;
        continue;
      }
      firstgen::DatabaseSpec d = kind == 1 ? User() : Dict();
      if (kind == 2) firstgen::PutBe(&d.header, 24, 2, 0x0003);  // as bundles mark their dictionaries
      Write(path, d, kind == 2);
    }
    if (!c.starts) AutoExpectMessageBox(kNoDictionaries, u"No Dictionaries Installed", IDOK);
    EXPECT_EQ(InitConverter(), c.starts ? 0 : 1) << c.what;
    if (c.starts) {
      ASSERT_NE(GetConverterState(), nullptr);
      EXPECT_EQ(GetConverterState()->set.count, c.dictionaries) << c.what;
      EXPECT_EQ(GetConverterState()->set.userData != nullptr, c.user) << c.what;
    } else {
      EXPECT_EQ(GetConverterState(), nullptr) << c.what;
      const auto log = AutoMessageBoxLog();
      ASSERT_FALSE(log.empty());
      EXPECT_EQ(log.back().type & MB_ICONMASK, MB_ICONSTOP);
    }
    FreeConverterState();
  }
}

TEST_F(ConverterProgramTest, EachFileIsReportedOnceAndTheFirstUserFileIsUsed) {
  Write("Program Files/Sorvi/a.pdb", Dict());
  Write("Program Files/Sorvi/b.pdb", User());
  Write("Program Files/Sorvi/c.pdb", User());  // a second user file: refused
  Write("My Documents/x.pdb", Dict(2));
  std::vector<std::u16string> found;
  SearchFirstGenFiles(
      u"*.pdb",
      [](const WCHAR* path, void* context) {
        static_cast<std::vector<std::u16string>*>(context)->push_back(path);
        return 1;
      },
      &found);
  // "\Program Files\Sorvi" is reached from every start folder; one report.
  EXPECT_EQ(found, (std::vector<std::u16string>{u"\\My Documents\\x.pdb", u"\\Program Files\\Sorvi\\a.pdb",
                                                u"\\Program Files\\Sorvi\\b.pdb", u"\\Program Files\\Sorvi\\c.pdb"}));
  ASSERT_EQ(InitConverter(), 0);
  EXPECT_EQ(GetConverterState()->set.count, 2);
  ASSERT_NE(GetConverterState()->set.userData, nullptr);
}

TEST_F(ConverterProgramTest, NothingToConvertEndsTheProgramWithZero) {
  AutoExpectMessageBox(kNoDictionaries, u"No Dictionaries Installed", IDOK);
  EXPECT_EQ(ConverterWinMain(GetModuleHandleW(nullptr), nullptr), 0);
  EXPECT_EQ(GetConverterState(), nullptr);
}

TEST_F(ConverterProgramTest, DialogStartsWithTheDefaultsAndCancelEndsIt) {
  Sample();
  struct Seen {
    std::vector<UINT> checks;
    LRESULT row = -1, rows = 0;
  } seen;
  const int ran = RunWith([&](HWND dialog) {
    for (int id = kIdFreeDefinitions; id <= kIdFlagsAsCategories; ++id)
      if (id != kIdScoreType) seen.checks.push_back(IsDlgButtonChecked(dialog, id));
    seen.row = AutoSendMessage(GetDlgItem(dialog, kIdScoreType), CB_GETCURSEL, 0, 0);
    seen.rows = AutoSendMessage(GetDlgItem(dialog, kIdScoreType), CB_GETCOUNT, 0, 0);
    Press(dialog, kIdCancel);
  });
  EXPECT_EQ(ran, 1);
  // 1001-1003, 1005 and 1008 checked; 1004 and 1007 not.
  EXPECT_EQ(seen.checks, (std::vector<UINT>{1, 1, 1, 0, 1, 0, 1}));
  EXPECT_EQ(seen.rows, 2);
  EXPECT_EQ(seen.row, 1);  // the sample's study mode is 3
}

TEST_F(ConverterProgramTest, ACancelledSaveLeavesTheDialogAsItWas) {
  Sample();
  AutoExpectFileDialog(u"", 0);
  std::u16string progress = u"?";
  const int ran = RunWith([&](HWND dialog) {
    Press(dialog, kIdConvert);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    WaitForWorker();
    progress = AutoGetWindowText(GetDlgItem(dialog, kIdProgress));
    Press(dialog, kIdCancel);
  });
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(progress, u"");
  EXPECT_TRUE(AutoMessageBoxLog().empty());
}

TEST_F(ConverterProgramTest, AChosenPathIsConvertedAndTheDialogEnds) {
  Sample();
  AutoExpectFileDialog(u"\\My Documents\\out.xml", 0);
  AutoExpectMessageBox(u"A total of 17 cards were successfully exported.", u"Export Completed", IDOK);
  std::u16string progress;
  std::atomic<bool> hooked{false};
  // The progress shows the cards written before the last one.
  const int hook = AutoHookDialog(-1, [&](HWND box) {
    progress = AutoGetWindowText(GetDlgItem(GetWindow(box, GW_OWNER), kIdProgress));
    hooked = true;
  });
  const size_t descriptors = OpenDescriptors();
  const int ran = RunWith([&](HWND dialog) { Press(dialog, kIdConvert); });
  AutoUnhookDialog(hook);
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(hooked);
  // The output file is closed; so are the first-generation files with the state.
  FreeConverterState();
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(progress, u"16");
  const std::string xml = Read("My Documents/out.xml");
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sorviflash formatversion=\"2\" name=\"out.xml\" ", 0),
            0u);
  EXPECT_NE(xml.find("</cards></sorviflash>"), std::string::npos);
}

TEST_F(ConverterProgramTest, CreateAndWriteErrorsShowTheSystemTextAndKeepTheDialog) {
  Sample();
  // Every row of the excerpt as a second user dictionary: the document
  // then takes several blocks.
  Write("My Documents/all.kve", firstgen::UserDictionary(CedictRows()), true);
  WCHAR denied[256] = {}, full[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, denied, 256, nullptr);
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_DISK_FULL, 0, full, 256, nullptr);
  struct Case {
    const char* what;
    FileCall call;
    DWORD nth, error;
    const WCHAR* text;
  } cases[] = {{"create", FileCall::CreateFile, 1, ERROR_ACCESS_DENIED, denied},
               {"write of block 2", FileCall::WriteFile, 2, ERROR_DISK_FULL, full},
               {"write of the last block", FileCall::WriteFile, 0, ERROR_DISK_FULL, full}};
  // The writes a whole conversion makes.
  AutoExpectFileDialog(u"\\My Documents\\whole.xml", 0);
  // The count is not known before: the box is answered, its text checked after.
  AutoExpectMessageBox(u"", u"Export Completed", IDOK);
  ASSERT_EQ(RunWith([&](HWND dialog) { Press(dialog, kIdConvert); }), 1);
  const std::string whole = Read("My Documents/whole.xml");
  const size_t bytes = whole.size();
  size_t count = 0;
  for (size_t at = whole.find("<card "); at != std::string::npos; at = whole.find("<card ", at + 1)) ++count;
  const auto done = AutoMessageBoxLog();
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(Utf8Of(done[0].text), "A total of " + std::to_string(count) + " cards were successfully exported.");
  AutoResetDialogScripts();
  const DWORD blocks = static_cast<DWORD>((bytes + kConverterBlockSize - 1) / kConverterBlockSize);
  ASSERT_GE(blocks, 3u);
  FreeConverterState();
  for (const Case& c : cases) {
    AutoExpectFileDialog(u"\\My Documents\\out.xml", 0);
    AutoExpectMessageBox(c.text, u"Error", IDOK);
    bool stayed = false;
    const int ran = RunWith([&](HWND dialog) {
      // The files are open by now: the next calls are the conversion's.
      InjectFileError(c.call, c.nth ? c.nth : blocks, c.error);
      Press(dialog, kIdConvert);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      WaitForWorker();
      stayed = IsWindow(dialog) != FALSE;
      Press(dialog, kIdCancel);
    });
    EXPECT_EQ(ran, 1) << c.what;
    EXPECT_TRUE(stayed) << c.what;
    // No cut file is left behind.
    EXPECT_FALSE(std::filesystem::exists(Host("My Documents/out.xml"))) << c.what;
    const auto log = AutoMessageBoxLog();
    ASSERT_EQ(log.size(), 1u) << c.what;
    EXPECT_EQ(log[0].caption, u"Error");
    for (const std::string& f : AutoScriptFailures()) ADD_FAILURE() << c.what << ": " << f;
    AutoResetDialogScripts();
    FreeConverterState();
  }
}

TEST_F(ConverterProgramTest, ConvertAndCancelDoNothingWhileTheSaveDialogIsOpen) {
  Sample();
  AutoExpectFileDialog(u"", 0);
  std::atomic<int> saveDialogs{0};
  std::atomic<bool> aliveAfterCancel{false};
  HWND main = nullptr;
  // On the worker, while its save dialog is open: press Convert and Cancel
  // on the main dialog (handled there before this returns).
  const int hook = AutoHookDialog(-2, [&](HWND) {
    ++saveDialogs;
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(kIdConvert, BN_CLICKED), 0);
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(kIdCancel, BN_CLICKED), 0);
    aliveAfterCancel = IsWindow(main) != FALSE;
  });
  const int ran = RunWith([&](HWND dialog) {
    main = dialog;
    Press(dialog, kIdConvert);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    WaitForWorker();
    Press(dialog, kIdCancel);
  });
  AutoUnhookDialog(hook);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(saveDialogs, 1);
  EXPECT_TRUE(aliveAfterCancel);
}

}  // namespace
}  // namespace reader_test
