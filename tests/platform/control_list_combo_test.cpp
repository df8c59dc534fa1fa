// LISTBOX and COMBOBOX: items with data, selection rules (out of range
// leaves none), notifications only for user changes, and the drop-down
// order CBN_DROPDOWN -> CBN_SELCHANGE -> CBN_SELENDOK -> CBN_CLOSEUP.
#include "tests/platform/dialog_test_util.h"

using namespace dlgtest;

namespace {

using ListComboTest = DialogTest;

void Fill(HWND h, UINT add, UINT setData, const std::vector<std::pair<const char16_t*, LPARAM>>& rows) {
  for (auto& [text, data] : rows) {
    LRESULT i = SendMessageW(h, add, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(h, setData, static_cast<WPARAM>(i), data);
  }
}

std::u16string ListText(HWND h, UINT get, int i) {
  WCHAR buf[64] = {};
  SendMessageW(h, get, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
  return buf;
}

TEST_F(ListComboTest, ListBoxItemsDataAndSelection) {
  HWND d = Modeless({{50, u"LISTBOX", u"", LBS_NOTIFY | WS_VSCROLL | WS_BORDER, 0, 4, 4, 100, 40},
                     {51, u"LISTBOX", u"", LBS_SORT, 0, 4, 50, 100, 40}});
  HWND lb = GetDlgItem(d, 50);
  Fill(lb, LB_ADDSTRING, LB_SETITEMDATA, {{u"alpha", -1}, {u"beta", 65535}, {u"gamma", 4096}, {u"delta", -5}});
  EXPECT_EQ(SendMessageW(lb, LB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageW(lb, LB_GETITEMDATA, 0, 0), -1);
  EXPECT_EQ(SendMessageW(lb, LB_GETITEMDATA, 3, 0), -5);
  EXPECT_EQ(ListText(lb, LB_GETTEXT, 2), u"gamma");
  EXPECT_EQ(SendMessageW(lb, LB_GETTEXTLEN, 2, 0), 5);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), LB_ERR);
  // Programmatic selection notifies nothing; out of range leaves no selection.
  Events().clear();
  EXPECT_EQ(SendMessageW(lb, LB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(SendMessageW(lb, LB_SETCURSEL, 9, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_TRUE(Codes(50).empty());
  // The user's tap and arrow keys notify LBN_SELCHANGE.
  LRESULT rowH = SendMessageW(lb, LB_GETITEMHEIGHT, 0, 0);
  AutoTapWindow(lb, 5, static_cast<int>(rowH + rowH / 2));
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 1);
  AutoKeyPress(VK_DOWN);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Codes(50), (std::vector<int>{LBN_SETFOCUS, LBN_SELCHANGE, LBN_SELCHANGE}));
  // Deleting before the selection moves it; deleting it clears it.
  SendMessageW(lb, LB_DELETESTRING, 0, 0);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 1);
  SendMessageW(lb, LB_DELETESTRING, 1, 0);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(lb, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"DELTA")), 1);
  EXPECT_EQ(SendMessageW(lb, LB_GETITEMDATA, 7, 0), LB_ERR);
  // Enough rows for the scroll bar: its lower arrow scrolls one row.
  for (int i = 0; i < 10; ++i) SendMessageW(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"row"));
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(lb, SB_VERT, &si));
  EXPECT_EQ(si.nMax, 11);
  EXPECT_EQ(SendMessageW(lb, LB_GETTOPINDEX, 0, 0), 0);
  RECT wr;
  GetWindowRect(lb, &wr);
  AutoTap(wr.right - 3, wr.bottom - 3);
  EXPECT_EQ(SendMessageW(lb, LB_GETTOPINDEX, 0, 0), 1);
  EXPECT_EQ(GetScrollPos(lb, SB_VERT), 1);
  SendMessageW(lb, LB_SETCURSEL, 11, 0);  // made visible
  EXPECT_GT(SendMessageW(lb, LB_GETTOPINDEX, 0, 0), 1);
  SendMessageW(lb, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageW(lb, LB_GETCOUNT, 0, 0), 0);
  // Sorted lists insert in order, case-insensitively.
  HWND sorted = GetDlgItem(d, 51);
  for (const char16_t* t : {u"pear", u"Apple", u"mango"}) SendMessageW(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  EXPECT_EQ(ListText(sorted, LB_GETTEXT, 0), u"Apple");
  EXPECT_EQ(ListText(sorted, LB_GETTEXT, 2), u"pear");
}

struct ComboFixture : ListComboTest {
  HWND d = nullptr, cb = nullptr;
  void Make() {
    d = Modeless({{60, u"COMBOBOX", u"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 4, 4, 100, 80}});
    cb = GetDlgItem(d, 60);
    Fill(cb, CB_ADDSTRING, CB_SETITEMDATA, {{u"Default", 1}, {u"Spaced", 2}, {u"Simple", -3}});
    SendMessageW(cb, CB_SETCURSEL, 0, 0);
    Events().clear();
  }
  HWND Popup() { return AutoFindWindow(nullptr, u"ComboLBox", -1); }
};

TEST_F(ComboFixture, ItemsDataAndOneRowHigh) {
  Make();
  EXPECT_EQ(SendMessageW(cb, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(cb, CB_GETITEMDATA, 2, 0), -3);
  EXPECT_EQ(SendMessageW(cb, CB_GETITEMDATA, 5, 0), CB_ERR);
  EXPECT_EQ(ListText(cb, CB_GETLBTEXT, 1), u"Spaced");
  EXPECT_EQ(SendMessageW(cb, CB_GETLBTEXT, 7, 0), CB_ERR);
  EXPECT_EQ(AutoGetWindowText(cb), u"Default");
  EXPECT_EQ(SendMessageW(cb, CB_SETCURSEL, 3, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_TRUE(Events().empty());
  // The window is one row high; the given height is the dropped height.
  RECT r, dropped;
  GetWindowRect(cb, &r);
  SendMessageW(cb, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  EXPECT_LT(r.bottom - r.top, dropped.bottom - dropped.top);
  MoveWindow(cb, 0, 0, 200, 135, TRUE);
  GetWindowRect(cb, &r);
  SendMessageW(cb, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  EXPECT_EQ(dropped.bottom - dropped.top, 135);
  EXPECT_LT(r.bottom - r.top, 135);
  SendMessageW(cb, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageW(cb, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(ComboFixture, PickingFromTheDroppedListNotifiesInOrder) {
  Make();
  // The owner refills the list when it drops.
  TheDlgHook() = [&](HWND, UINT msg, WPARAM wParam, LPARAM, INT_PTR*) {
    if (msg == WM_COMMAND && LOWORD(wParam) == 60 && HIWORD(wParam) == CBN_DROPDOWN)
      SendMessageW(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Added"));
    if (msg == WM_COMMAND && LOWORD(wParam) == 60 && HIWORD(wParam) == CBN_CLOSEUP) {
      EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 3);  // the choice is in place at CBN_CLOSEUP
    }
    return false;
  };
  AutoTapWindow(cb, 5, 5);
  HWND popup = Popup();
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(SendMessageW(cb, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_TRUE(IsWindowVisible(popup));
  LRESULT rowH = SendMessageW(cb, CB_GETITEMHEIGHT, 0, 0);
  AutoTapWindow(popup, 5, static_cast<int>(3 * rowH + rowH / 2));
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_FALSE(SendMessageW(cb, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(GetFocus(), cb);  // it had the focus already (first tab stop)
  EXPECT_EQ(Codes(60), (std::vector<int>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
}

TEST_F(ComboFixture, CancellingKeepsTheSelection) {
  Make();
  SetFocus(cb);
  Events().clear();
  // Tap outside the dropped list.
  SendMessageW(cb, CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_NE(Popup(), nullptr);
  RECT pr;
  GetWindowRect(Popup(), &pr);
  AutoTap(pr.right + 20 < 480 ? pr.right + 20 : 2, pr.bottom + 20);
  EXPECT_EQ(Popup(), nullptr);
  EXPECT_EQ(Codes(60), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
  // Keys: Down moves within the dropped list, Escape cancels, Enter accepts.
  Events().clear();
  SendMessageW(cb, CB_SHOWDROPDOWN, TRUE, 0);
  MSG m{cb, WM_KEYDOWN, VK_DOWN, 1, 0, {}};
  EXPECT_TRUE(IsDialogMessageW(d, &m));
  m.wParam = VK_ESCAPE;
  EXPECT_TRUE(IsDialogMessageW(d, &m));  // goes to the list, not to the dialog
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 0);
  SendMessageW(cb, CB_SHOWDROPDOWN, TRUE, 0);
  m.wParam = VK_DOWN;
  IsDialogMessageW(d, &m);
  m.wParam = VK_RETURN;
  IsDialogMessageW(d, &m);
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Codes(60), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP, CBN_DROPDOWN, CBN_SELCHANGE,
                                         CBN_SELENDOK, CBN_CLOSEUP}));
  EXPECT_TRUE(Codes(IDCANCEL).empty());
  EXPECT_TRUE(Codes(IDOK).empty());
  // Closed: arrows change the selection with CBN_SELCHANGE alone.
  Events().clear();
  m.wParam = VK_DOWN;
  IsDialogMessageW(d, &m);
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Codes(60), std::vector<int>{CBN_SELCHANGE});
  // Destroying the dialog while dropped takes the list along.
  SendMessageW(cb, CB_SHOWDROPDOWN, TRUE, 0);
  DestroyWindow(d);
  EXPECT_EQ(Popup(), nullptr);
}

}  // namespace
