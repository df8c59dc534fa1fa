// The dialog side of the layout sink (real child windows placed and moved at
// value x factor, seen in their WM_WINDOWPOSCHANGED records), showing and
// hiding controls and children, and full-screen dialogs with their menu bar.
#include <map>
#include <vector>

#include "engine/preferences.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "tests/toolkit/toolkit_fixture.h"
#include "toolkit/ui_dialog.h"

namespace {

// The full-screen dialogs' bar: one command key.
const MENU_RESOURCE_ITEM kBar102[] = {{MF_END, 4001, u"Done"}};

class UiDialogTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    MakeEngine({toolkit_test::kLatin});  // factor 6
    dialog_ = Top(0, 0, 480, 640);
    // Every WINDOWPOS a window receives, by window.
    wintest::TheHook() = [this](HWND h, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
      if (msg == WM_WINDOWPOSCHANGED) positions_[h].push_back(*reinterpret_cast<const WINDOWPOS*>(lParam));
      return std::nullopt;
    };
  }
  void TearDown() override {
    wintest::TheHook() = nullptr;
    ToolkitTest::TearDown();
  }
  RECT Rect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
  }
  HWND dialog_ = nullptr;
  std::map<HWND, std::vector<WINDOWPOS>> positions_;
};

TEST_F(UiDialogTest, SinkPlacesAndMovesChildrenAtUnitsTimesFactor) {
  HWND a = Child(dialog_, 11, 0, 0, 10, 10);
  HWND b = Child(dialog_, 12, 0, 0, 10, 10);
  const uint16_t rect[4] = {10, 20, 30, 40};
  PlaceDlgItemScaled(dialog_, 11, rect);
  ASSERT_FALSE(positions_[a].empty());
  WINDOWPOS placed = positions_[a].back();
  EXPECT_EQ(placed.x, 60);
  EXPECT_EQ(placed.y, 120);
  EXPECT_EQ(placed.cx, 180);
  EXPECT_EQ(placed.cy, 240);
  EXPECT_EQ(placed.flags & (SWP_NOZORDER | SWP_NOOWNERZORDER), SWP_NOZORDER | SWP_NOOWNERZORDER);
  EXPECT_EQ(placed.flags & SWP_NOSIZE, 0u);

  MoveDlgItemScaled(dialog_, 12, 5, 7);
  ASSERT_FALSE(positions_[b].empty());
  WINDOWPOS moved = positions_[b].back();
  EXPECT_EQ(moved.x, 30);
  EXPECT_EQ(moved.y, 42);
  EXPECT_EQ(moved.flags & (SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER),
            SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER);
  RECT r = Rect(b);
  EXPECT_EQ(r.right - r.left, 10) << "the size is kept";

  // Units whose product passes 16 bits are truncated, as the sink's
  // rectangle is.
  const uint16_t wide[4] = {0, 0, 11000, 1};
  PlaceDlgItemScaled(dialog_, 11, wide);
  EXPECT_EQ(positions_[a].back().cx, static_cast<uint16_t>(66000));

  // A missing control is no error.
  PlaceDlgItemScaled(dialog_, 99, rect);
  MoveDlgItemScaled(dialog_, 99, 1, 1);
}

TEST_F(UiDialogTest, ShowingAndHidingControlsAndChildren) {
  HWND input = Child(dialog_, kMainInputFieldId, 0, 0, 10, 10);
  HWND other = Child(dialog_, 5, 0, 0, 10, 10);
  HWND hidden = Child(dialog_, 6, 0, 0, 10, 10, 0);
  SetDlgItemShown(dialog_, 6, true);
  EXPECT_TRUE(IsWindowVisible(hidden));
  SetDlgItemShown(dialog_, 6, false);
  EXPECT_FALSE(IsWindowVisible(hidden));

  HWND focusBefore = GetFocus();
  ShowDlgItem(dialog_, 6, true);
  EXPECT_TRUE(IsWindowVisible(hidden));
  EXPECT_EQ(GetFocus(), focusBefore) << "shown without activation";
  ShowDlgItem(dialog_, 6, false);
  EXPECT_FALSE(IsWindowVisible(hidden));

  HideChildWindowsExceptInput(dialog_);
  EXPECT_TRUE(IsWindowVisible(input));
  EXPECT_FALSE(IsWindowVisible(other));
  HideChildWindows(dialog_);
  EXPECT_FALSE(IsWindowVisible(input));
}

TEST_F(UiDialogTest, FullScreenDialogAndItsMenuBar) {
  RegisterResource(RT_MENU, kFullScreenMenuBarResource, kBar102, sizeof(kBar102));
  ClearShellCalls();
  HWND bar = CreateFullScreenMenuBar(dialog_);
  ASSERT_NE(bar, nullptr);
  std::vector<ShellCall> calls = GetShellCalls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "SHInitDialog");
  EXPECT_EQ(calls[0].value, 0x14);
  EXPECT_EQ(calls[1].name, "SHCreateMenuBar");
  EXPECT_EQ(calls[1].value, 0);
  int barHeight = GetMenuBarHeight();
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(bar, kOldMenuHeightProperty)), barHeight);
  EXPECT_FALSE(IsMenuBarHidden(dialog_));

  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  ClearShellCalls();
  SetFullScreenMode(dialog_, true);
  calls = GetShellCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].name, "SHFullScreen");
  EXPECT_EQ(calls[0].value, 0x2A);
  RECT b = Rect(bar);
  EXPECT_EQ(b.left, -1);
  EXPECT_EQ(b.top, -1);
  EXPECT_EQ(b.right - b.left, 0);
  EXPECT_EQ(b.bottom - b.top, 0);
  EXPECT_TRUE(IsMenuBarHidden(dialog_));
  RECT d = Rect(dialog_);
  EXPECT_EQ(d.left, 0);
  EXPECT_EQ(d.top, 0);
  EXPECT_EQ(d.right, sw);
  EXPECT_EQ(d.bottom, sh);

  ClearShellCalls();
  SetFullScreenMode(dialog_, false);
  calls = GetShellCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].value, 0x15);
  b = Rect(bar);
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.top, sh - barHeight);
  EXPECT_EQ(b.right, sw);
  EXPECT_EQ(b.bottom, sh);
  EXPECT_FALSE(IsMenuBarHidden(dialog_));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  d = Rect(dialog_);
  EXPECT_EQ(d.top, work.top);
  EXPECT_EQ(d.left, work.left);
  EXPECT_EQ(d.right, work.right);
  EXPECT_EQ(d.bottom, sh - barHeight) << "the dialog ends where the bar begins";
}

TEST_F(UiDialogTest, SizingForModeKeepsClearOfTheRememberedHeight) {
  RegisterResource(RT_MENU, kFullScreenMenuBarResource, kBar102, sizeof(kBar102));
  HWND bar = CreateFullScreenMenuBar(dialog_);
  ASSERT_NE(bar, nullptr);
  // A bar remembered taller than the strip the system keeps raises the
  // dialog's bottom above it.
  SetPropW(bar, kOldMenuHeightProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(100)));
  SizeWindowForMode(dialog_, false);
  EXPECT_EQ(Rect(dialog_).bottom, GetSystemMetrics(SM_CYSCREEN) - 100);
  PlaceMenuBar(bar, false);
  RECT b = Rect(bar);
  EXPECT_EQ(b.top, GetSystemMetrics(SM_CYSCREEN) - 100);
  EXPECT_EQ(b.bottom - b.top, 100);
}

TEST_F(UiDialogTest, MenuBarsHideUnlessPreferenceIsOne) {
  const std::pair<int32_t, bool> cases[] = {{0, true}, {1, false}, {2, true}};
  for (const auto& [value, hide] : cases) {
    SCOPED_TRACE(value);
    SetPref(app_->engine(), kPrefKeepMenuBars, value);
    EXPECT_EQ(ShouldHideMenuBars(), hide);
  }
}

}  // namespace
