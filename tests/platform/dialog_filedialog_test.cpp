// Open and save dialogs over a temporary device root: scripted paths with
// their checks (missing file, overwrite prompt answered by the message box
// script), filters and the filter index, folders, the list and name field
// driven like a user, and the errors.
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/filedialog.h"
#include "tests/support/temp_device_root.h"
#include "tests/platform/dialog_test_util.h"

using namespace dlgtest;

namespace {

constexpr WCHAR kFilters[] = u"XML\0*.XML\0Text\0*.TXT\0";

class FileDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    temp_ = std::make_unique<TempDeviceRoot>();
    root_ = temp_->host();
    for (const char* f : {"My Documents/cards.xml", "My Documents/notes.txt", "My Documents/words.TXT",
                          "My Documents/Sub/deep.txt"}) {
      std::filesystem::create_directories(std::filesystem::path(root_ + "/" + f).parent_path());
      std::ofstream(root_ + "/" + f) << "x";
    }
    ofn_ = OPENFILENAMEW{};
    ofn_.lStructSize = 88;
    ofn_.lpstrFilter = kFilters;
    ofn_.nFilterIndex = 2;
    ofn_.lpstrFile = file_;
    ofn_.nMaxFile = 256;
    ofn_.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    file_[0] = 0;
  }
  void TearDown() override {
    DialogTest::TearDown();
    temp_.reset();
  }
  std::unique_ptr<TempDeviceRoot> temp_;
  std::string root_;
  OPENFILENAMEW ofn_{};
  WCHAR file_[256];
};

TEST_F(FileDialogTest, ScriptedOpenGivesThePathOffsetsAndFilter) {
  AutoExpectFileDialog(u"\\My Documents\\cards.xml", 1);
  ASSERT_TRUE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(std::u16string(file_), u"\\My Documents\\cards.xml");
  EXPECT_EQ(ofn_.nFilterIndex, 1u);
  EXPECT_EQ(ofn_.nFileOffset, 14);
  EXPECT_EQ(ofn_.nFileExtension, 20);
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  // A name alone is taken in the starting folder (My Documents).
  AutoExpectFileDialog(u"notes.txt", 0);
  ASSERT_TRUE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(std::u16string(file_), u"\\My Documents\\notes.txt");
  EXPECT_EQ(ofn_.nFilterIndex, 1u);  // kept from the last call's record
  // Cancel.
  AutoExpectFileDialog(u"", 0);
  EXPECT_FALSE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
}

TEST_F(FileDialogTest, OpenRefusesAMissingFileAndKeepsTheDialog) {
  AutoExpectFileDialog(u"\\My Documents\\missing.txt", 0);
  AutoExpectMessageBox(u"missing.txt\nFile not found.", u"Open", IDOK);
  int hook = AutoHookDialog(-2, [](HWND d) {
    // Still open after the refusal: the user cancels.
    PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(GetOpenFileNameW(&ofn_));
  AutoUnhookDialog(hook);
  ASSERT_EQ(AutoMessageBoxLog().size(), 1u);
  AutoExpectFileDialog(u"\\Nowhere\\a.txt", 0);
  AutoExpectMessageBox(u"\\Nowhere\nThe folder does not exist.", u"Open", IDOK);
  hook = AutoHookDialog(-2, [](HWND d) { PostMessageW(d, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_FALSE(GetOpenFileNameW(&ofn_));
  AutoUnhookDialog(hook);
}

TEST_F(FileDialogTest, SaveAddsTheExtensionAndAsksBeforeReplacing) {
  ofn_.Flags = OFN_OVERWRITEPROMPT;
  ofn_.lpstrFilter = u"Text\0*.TXT\0";
  ofn_.nFilterIndex = 1;
  ofn_.lpstrTitle = u"Export";
  AutoExpectFileDialog(u"export", 0);
  ASSERT_TRUE(GetSaveFileNameW(&ofn_));
  EXPECT_EQ(std::u16string(file_), u"\\My Documents\\export.TXT");
  // An existing file: No keeps the dialog (then cancelled), Yes replaces.
  AutoExpectFileDialog(u"notes.txt", 0);
  AutoExpectMessageBox(u"notes.txt already exists. Replace it?", u"Export", IDNO);
  int hook = AutoHookDialog(-2, [](HWND d) { PostMessageW(d, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_FALSE(GetSaveFileNameW(&ofn_));
  AutoUnhookDialog(hook);
  AutoExpectFileDialog(u"notes.txt", 0);
  AutoExpectMessageBox(u"notes.txt already exists. Replace it?", u"Export", IDYES);
  ASSERT_TRUE(GetSaveFileNameW(&ofn_));
  EXPECT_EQ(std::u16string(file_), u"\\My Documents\\notes.txt");
  ofn_.lpstrDefExt = u"xml";
  AutoExpectFileDialog(u"\\My Documents\\Sub\\out", 0);
  ASSERT_TRUE(GetSaveFileNameW(&ofn_));
  EXPECT_EQ(std::u16string(file_), u"\\My Documents\\Sub\\out.xml");
}

TEST_F(FileDialogTest, ListShowsFoldersAndMatchingFilesAndIsDrivenByTaps) {
  std::vector<std::u16string> rows;
  int hook = AutoHookDialog(-2, [&](HWND d) {
    HWND list = AutoFindWindow(d, u"LISTBOX", -1);
    HWND type = AutoFindWindow(d, u"COMBOBOX", -1);
    auto read = [&] {
      rows.clear();
      LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
      for (LRESULT i = 0; i < n; ++i) {
        WCHAR buf[64];
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        rows.push_back(buf);
      }
    };
    read();
    EXPECT_EQ(rows, (std::vector<std::u16string>{u"[..]", u"[Sub]", u"notes.txt", u"words.TXT"}));
    EXPECT_EQ(SendMessageW(type, CB_GETCURSEL, 0, 0), 1);
    // The user picks the XML filter, then a file, then OK.
    SendMessageW(type, CB_SETCURSEL, 0, 0);
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(type), CBN_SELCHANGE), reinterpret_cast<LPARAM>(type));
    read();
    EXPECT_EQ(rows, (std::vector<std::u16string>{u"[..]", u"[Sub]", u"cards.xml"}));
    // Into Sub and back up by taps.
    LRESULT rowH = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    AutoTapWindow(list, 5, static_cast<int>(rowH + rowH / 2));
    read();
    EXPECT_EQ(rows, (std::vector<std::u16string>{u"[..]"}));
    AutoTapWindow(list, 5, static_cast<int>(rowH / 2));
    read();
    ASSERT_EQ(rows.size(), 3u);
    AutoTapWindow(list, 5, static_cast<int>(2 * rowH + rowH / 2));
    HWND ok = GetDlgItem(d, IDOK);
    AutoTapWindow(ok, 3, 3);
  });
  ASSERT_TRUE(GetOpenFileNameW(&ofn_));
  AutoUnhookDialog(hook);
  EXPECT_EQ(std::u16string(file_), u"\\My Documents\\cards.xml");
  EXPECT_EQ(ofn_.nFilterIndex, 1u);
}

TEST_F(FileDialogTest, ErrorsBadRecordAndSmallBuffer) {
  EXPECT_FALSE(GetOpenFileNameW(nullptr));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_INITIALIZATION);
  OPENFILENAMEW bad = ofn_;
  bad.lpstrFile = nullptr;
  EXPECT_FALSE(GetOpenFileNameW(&bad));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_INITIALIZATION);
  ofn_.nMaxFile = 10;
  AutoExpectFileDialog(u"\\My Documents\\cards.xml", 0);
  EXPECT_FALSE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  EXPECT_EQ(file_[0], 24);
}

}  // namespace
