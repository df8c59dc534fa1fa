// Pictures of the whole screen with the main window after a search, in the
// forms a user meets most: portrait at 480 x 640 and 192 dpi, a small
// 240 x 320 screen at 96 dpi, and landscape at both resolutions with the
// handwriting section shown. They are kept in the build folder (main-window-shots/) for a
// person to look at; the test checks that the window filled its screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/main_window_fixture.h"
#include "toolkit/pane_layout.h"

namespace {

using mainfix::Shows;

struct Shot {
  const char* name;
  int width, height, dpi;
  bool handwriting;
};

class MainWindowShotTest : public mainfix::MainWindowTest, public ::testing::WithParamInterface<Shot> {
 protected:
  MainWindowShotTest() {
    width_ = GetParam().width;
    height_ = GetParam().height;
    dpi_ = GetParam().dpi;
  }
};

TEST_P(MainWindowShotTest, AfterASearch) {
  const Shot& shot = GetParam();
  SetPref(kPrefSearchDelay, 0);
  if (shot.handwriting) {
    SetPref(kPrefInputKind, 0);
    SetPref(kPrefInputKindWide, 0);
    SetPref(kPrefCompactHandwriting, 0);
    SetPref(kPrefInputSide, kPaneRight);
    SetPref(kPrefInputSideWide, kPaneRight);
    SendMessageW(main_, kMainPrefsChanged, 0, 0);
    bool inputLaid = false;
    GetPaneLayoutFlags(engine(), &inputLaid, nullptr);
    EXPECT_TRUE(inputLaid);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(main_, kMainWritingBox)));
  }
  Type(u"zhongwen");
  EXPECT_TRUE(Shows(DefinitionText(), u"Chinese language"));
  RECT window{};
  GetWindowRect(main_, &window);
  EXPECT_EQ(window.right - window.left, shot.width);
  std::filesystem::create_directories(SORVI_MAIN_SHOT_DIR);
  const std::string path = std::string(SORVI_MAIN_SHOT_DIR) + "/" + shot.name + ".png";
  ASSERT_TRUE(AutoSaveWindowPng(nullptr, path.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Screens, MainWindowShotTest,
                         ::testing::Values(Shot{"portrait-480x640-192dpi", 480, 640, 192, false},
                                           Shot{"portrait-240x320-96dpi", 240, 320, 96, false},
                                           Shot{"landscape-640x480-192dpi-handwriting", 640, 480, 192, true},
                                           Shot{"landscape-320x240-96dpi-handwriting", 320, 240, 96, true}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
