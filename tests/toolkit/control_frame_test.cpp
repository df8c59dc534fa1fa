// The control pattern shared by every custom control: the class table and
// its registration, the pen position of mouse messages, the notification
// senders and their records.
#include <string>

#include "tests/toolkit/control_fixture.h"

namespace {

using ControlFrameTest = ControlTest;

TEST_F(ControlFrameTest, ClassesAreRegisteredInOrderWithTheirStylesAndBrushes) {
  struct Want {
    std::u16string name;
    UINT style;
    int brush;
  } want[] = {
      {u"SorviFieldClass", 0x28B, COLOR_WINDOW + 1},
      {u"SorviListClass", 0x28B, COLOR_WINDOW + 1},
      {u"SorviGridClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviZoomboxClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviChoicesClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviSelectorClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviStrokeboxClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviCaptureboxClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviResizerClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviFlashTextClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviColorPickerClass", 0x283, COLOR_WINDOW + 1},
      {u"SorviTapholdClass", 0x283, COLOR_BTNFACE + 1},
      {u"SorviToolBackgroundClass", 0x283, COLOR_BTNFACE + 1},
  };
  int count = 0;
  const ControlClassRow* rows = GetControlClassTable(&count);
  ASSERT_EQ(count, static_cast<int>(std::size(want)));
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(std::u16string(rows[i].name), want[i].name);
    WNDCLASSW wc{};
    ASSERT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), rows[i].name, &wc));
    EXPECT_EQ(wc.style, want[i].style);
    EXPECT_EQ(reinterpret_cast<intptr_t>(wc.hbrBackground), want[i].brush);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hCursor, nullptr);
    EXPECT_EQ(wc.lpszMenuName, nullptr);
  }
  WNDCLASSW background{};
  GetClassInfoW(GetModuleHandleW(nullptr), kToolBackgroundClassName, &background);
  EXPECT_EQ(background.lpfnWndProc, &DefWindowProcW);
  // Atoms are handed out in order, so the next class's atom follows the
  // returned one exactly when the returned atom is the last class's.
  WNDCLASSW probe{};
  probe.lpfnWndProc = &DefWindowProcW;
  probe.lpszClassName = u"TestProbeClass";
  ATOM next = RegisterClassW(&probe);
  EXPECT_EQ(next, static_cast<ATOM>(lastAtom_ + 1));
  UnregisterClassW(u"TestProbeClass", nullptr);
  // A second registration fails on the first taken name.
  EXPECT_EQ(RegisterControlClasses(GetModuleHandleW(nullptr)), 0);
}

TEST_F(ControlFrameTest, PenPositionIsTheSignedHalvesOfLParam) {
  struct Case {
    LPARAM l;
    int x, y;
  } cases[] = {{MAKELPARAM(10, 20), 10, 20}, {MAKELPARAM(0xFFFF, 0xFFFE), -1, -2}, {MAKELPARAM(0x8000, 5), -32768, 5}};
  for (const Case& c : cases) {
    EXPECT_EQ(PenX(c.l), c.x);
    EXPECT_EQ(PenY(c.l), c.y);
  }
}

TEST_F(ControlFrameTest, SendersBuildTypedRecordsForTheParent) {
  HWND child = MakeControl(kToolBackgroundClassName, 77, 0, 0, 20, 20, nullptr);
  ASSERT_NE(child, nullptr);
  SendGridChosen(child, 0x4E2D, 7, 9);
  SendGridPressed(child, 0x41, 0, 0);
  SendChoicesNotify(child, 3);
  SendSelectorModeNotify(child, 2);
  SendSelectorKeyNotify(child, 1, 0x61, 1);
  ASSERT_EQ(notes_.size(), 5u);
  for (const ControlNotify& n : notes_) {
    EXPECT_EQ(n.header.hwndFrom, child);
    EXPECT_EQ(n.header.idFrom, 77u);
  }
  EXPECT_EQ(notes_[0].header.code, 0x8321u);
  EXPECT_EQ(notes_[0].payload.grid.value1, 0x4E2D);
  EXPECT_EQ(notes_[0].payload.grid.value2, 7);
  EXPECT_EQ(notes_[0].payload.grid.value3, 9u);
  EXPECT_EQ(notes_[1].header.code, 0x8322u);
  EXPECT_EQ(notes_[1].payload.grid.value1, 0x41);
  EXPECT_EQ(notes_[2].header.code, 0x8331u);
  EXPECT_EQ(notes_[2].payload.index, 3u);
  EXPECT_EQ(notes_[3].header.code, 0x8341u);
  EXPECT_EQ(notes_[3].payload.selector.mode, 2u);
  EXPECT_EQ(notes_[4].header.code, 0x8342u);
  EXPECT_EQ(notes_[4].payload.selector.character, 0x61u);
  EXPECT_EQ(notes_[4].payload.selector.flag, 1u);
  // Codes travel inside WM_NOTIFY only: the parent saw no message of those numbers.
  for (UINT code : {0x8321u, 0x8322u, 0x8331u, 0x8341u, 0x8342u}) EXPECT_TRUE(wintest::TheLog().Of(code).empty());
}

}  // namespace
