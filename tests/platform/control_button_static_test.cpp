// BUTTON and STATIC: clicks by stylus, keys and BM_CLICK with BN_CLICKED,
// check box and radio states, SS_NOTIFY, and painting with the brush and
// colours the parent answers to WM_CTLCOLORBTN / WM_CTLCOLORSTATIC.
#include "platform/tab_control.h"
#include "tests/platform/dialog_test_util.h"

using namespace dlgtest;

namespace {

using ButtonStaticTest = DialogTest;

TEST_F(ButtonStaticTest, ClicksChangeStateBeforeNotifying) {
  HWND d = Modeless({
      {10, u"BUTTON", u"Push", BS_PUSHBUTTON, 0, 4, 4, 60, 14},
      {11, u"BUTTON", u"Auto", BS_AUTOCHECKBOX, 0, 4, 20, 60, 12},
      {12, u"BUTTON", u"Three", BS_AUTO3STATE, 0, 4, 34, 60, 12},
      {13, u"BUTTON", u"Plain", BS_CHECKBOX, 0, 4, 48, 60, 12},
      {14, u"BUTTON", u"R1", BS_AUTORADIOBUTTON | WS_GROUP, 0, 4, 62, 60, 12},
      {15, u"BUTTON", u"R2", BS_AUTORADIOBUTTON, 0, 4, 76, 60, 12},
      {16, u"BUTTON", u"Other group", BS_AUTORADIOBUTTON | WS_GROUP, 0, 4, 90, 60, 12},
  });
  std::vector<UINT> checkAtClick;
  TheDlgHook() = [&](HWND dlg, UINT msg, WPARAM wParam, LPARAM, INT_PTR*) {
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED)
      checkAtClick.push_back(IsDlgButtonChecked(dlg, LOWORD(wParam)));
    return false;
  };
  // Stylus: down and up inside clicks; up outside does not.
  EXPECT_TRUE(AutoTapWindow(GetDlgItem(d, 11), 5, 5));
  EXPECT_EQ(IsDlgButtonChecked(d, 11), BST_CHECKED);
  RECT r;
  GetWindowRect(GetDlgItem(d, 10), &r);
  AutoPenDown(r.left + 3, r.top + 3);
  EXPECT_EQ(SendDlgItemMessageW(d, 10, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
  AutoPenMove(r.right + 30, r.bottom + 30);
  AutoPenUp(r.right + 30, r.bottom + 30);
  EXPECT_TRUE(Codes(10).empty());
  AutoTapWindow(GetDlgItem(d, 10), 3, 3);
  EXPECT_EQ(Codes(10), std::vector<int>{BN_CLICKED});
  // BM_CLICK, the space key.
  SendDlgItemMessageW(d, 12, BM_CLICK, 0, 0);
  SendDlgItemMessageW(d, 12, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(d, 12), BST_INDETERMINATE);
  SendDlgItemMessageW(d, 12, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(d, 12), BST_UNCHECKED);
  SetFocus(GetDlgItem(d, 13));
  AutoKeyPress(VK_SPACE);
  EXPECT_EQ(IsDlgButtonChecked(d, 13), BST_UNCHECKED);  // a plain check box is the owner's to check
  EXPECT_EQ(Codes(13), std::vector<int>{BN_CLICKED});
  // Radio buttons clear the rest of their group only.
  CheckDlgButton(d, 16, BST_CHECKED);
  SendDlgItemMessageW(d, 14, BM_CLICK, 0, 0);
  SendDlgItemMessageW(d, 15, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(d, 14), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(d, 15), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(d, 16), BST_CHECKED);
  // The parent saw the new state in each BN_CLICKED.
  EXPECT_EQ(checkAtClick, (std::vector<UINT>{BST_CHECKED, BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED,
                                             BST_UNCHECKED, BST_CHECKED, BST_CHECKED}));
  // Indeterminate is refused by a two-state box (it becomes checked).
  SendDlgItemMessageW(d, 11, BM_SETCHECK, BST_INDETERMINATE, 0);
  EXPECT_EQ(IsDlgButtonChecked(d, 11), BST_CHECKED);
  // A disabled button ignores clicks.
  EnableWindow(GetDlgItem(d, 10), FALSE);
  Events().clear();
  SendDlgItemMessageW(d, 10, BM_CLICK, 0, 0);
  EXPECT_TRUE(Codes(10).empty());
}

TEST_F(ButtonStaticTest, StaticNotifiesOnlyWithSsNotify) {
  HWND d = Modeless({
      {20, u"STATIC", u"quiet", SS_LEFT, 0, 4, 4, 60, 12},
      {21, u"STATIC", u"50%", SS_NOTIFY | SS_CENTER, 0, 4, 20, 60, 12},
  });
  AutoTapWindow(GetDlgItem(d, 20), 2, 2);
  AutoTapWindow(GetDlgItem(d, 21), 2, 2);
  EXPECT_TRUE(Codes(20).empty());
  EXPECT_EQ(Codes(21), std::vector<int>{STN_CLICKED});
  EXPECT_EQ(SendDlgItemMessageW(d, 21, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
  SetDlgItemTextW(d, 21, u"75%");
  EXPECT_EQ(AutoGetWindowText(GetDlgItem(d, 21)), u"75%");
}

TEST_F(ButtonStaticTest, ControlsPaintWithTheParentsBrushAndColours) {
  HBRUSH orange = CreateSolidBrush(RGB(255, 102, 0));
  HBRUSH teal = CreateSolidBrush(RGB(0, 128, 128));
  std::vector<UINT> asked;
  TheDlgHook() = [&](HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* r) {
    auto ctlId = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    if (msg == WM_CTLCOLORBTN && ctlId == 30) {
      asked.push_back(msg);
      SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 255));
      *r = reinterpret_cast<INT_PTR>(orange);
      return true;
    }
    if (msg == WM_CTLCOLORSTATIC && ctlId == 31) {
      asked.push_back(msg);
      *r = reinterpret_cast<INT_PTR>(teal);
      return true;
    }
    (void)dlg;
    return false;
  };
  HWND d = Modeless({
      {30, u"BUTTON", u"*Search", BS_PUSHBUTTON | BS_CENTER, 0, 4, 4, 60, 16},
      {31, u"STATIC", u"", SS_LEFT, 0, 4, 24, 60, 12},
      {32, u"BUTTON", u"Plain", BS_PUSHBUTTON, 0, 4, 40, 60, 16},
  });
  UpdateWindow(d);
  // Inside the button, off its edges and text: the returned brush.
  EXPECT_EQ(AutoGetPixel(GetDlgItem(d, 30), 6, 6), 0xFF6600u);
  EXPECT_EQ(AutoGetPixel(GetDlgItem(d, 31), 10, 10), 0x008080u);
  EXPECT_EQ(AutoGetPixel(GetDlgItem(d, 32), 6, 6), ColorRefToXrgb(GetSysColor(COLOR_BTNFACE)));
  EXPECT_NE(std::find(asked.begin(), asked.end(), static_cast<UINT>(WM_CTLCOLORBTN)), asked.end());
  EXPECT_NE(std::find(asked.begin(), asked.end(), static_cast<UINT>(WM_CTLCOLORSTATIC)), asked.end());
  if (DialogFontAvailable()) {
    // The label is drawn in the text colour the parent set.
    std::vector<std::uint32_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(AutoCaptureWindow(GetDlgItem(d, 30), &px, &w, &h));
    EXPECT_NE(std::count(px.begin(), px.end(), 0x0000FFu), 0);
  }
  DestroyWindow(d);
  DeleteObject(orange);
  DeleteObject(teal);
}

}  // namespace

namespace {

using TabControlTest = DialogTest;

TEST_F(TabControlTest, TapsNotifyChangingThenChangeAndCanBeRefused) {
  bool refuse = false;
  TheDlgHook() = [&](HWND dlg, UINT msg, WPARAM, LPARAM lParam, INT_PTR* r) {
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGING && refuse) {
      SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);  // a dialog answers WM_NOTIFY through its result slot
      *r = TRUE;
      return true;
    }
    return false;
  };
  HWND d = Modeless({{12320, u"SysTabControl32", u"", TCS_BOTTOM, 0, 0, 100, 160, 14}});
  HWND tab = GetDlgItem(d, 12320);
  for (const char16_t* t : {u"Cards", u"Display", u"Tests"}) {
    TCITEMW item{TCIF_TEXT | TCIF_PARAM, 0, 0, const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(t)), 0, -1, 7};
    SendMessageW(tab, TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&item));
  }
  EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), -1);
  EXPECT_EQ(SendMessageW(tab, TCM_SETCURSEL, 0, 0), -1);  // the previous selection
  EXPECT_EQ(SendMessageW(tab, TCM_SETCURSEL, 5, 0), -1);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
  WCHAR buf[16];
  TCITEMW get{TCIF_TEXT | TCIF_PARAM, 0, 0, buf, 16, 0, 0};
  ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMW, 2, reinterpret_cast<LPARAM>(&get)));
  EXPECT_EQ(std::u16string(buf), u"Tests");
  EXPECT_EQ(get.lParam, 7);
  EXPECT_TRUE(Events().empty());
  RECT r;
  ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r)));
  TCHITTESTINFO hit{{r.left + 1, r.top + 1}, 0};
  EXPECT_EQ(SendMessageW(tab, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 2);
  AutoTapWindow(tab, r.left + 2, r.top + 2);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Codes(12320), (std::vector<int>{static_cast<int>(TCN_SELCHANGING), static_cast<int>(TCN_SELCHANGE)}));
  refuse = true;
  Events().clear();
  ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)));
  AutoTapWindow(tab, r.left + 2, r.top + 2);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Codes(12320), std::vector<int>{static_cast<int>(TCN_SELCHANGING)});
}

}  // namespace
