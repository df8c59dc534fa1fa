// EDIT: typed text, selection, the limit with EN_MAXTEXT, EN_UPDATE /
// EN_CHANGE on every change (also WM_SETTEXT), undo, clipboard, number and
// read-only styles, multi-line lines.
#include "tests/platform/dialog_test_util.h"

using namespace dlgtest;

namespace {

using EditTest = DialogTest;

HWND EditIn(HWND d, int id) { return GetDlgItem(d, id); }

TEST_F(EditTest, TypingReplacesTheSelectionWithinTheLimit) {
  HWND d = Modeless({{40, u"EDIT", u"", WS_TABSTOP | ES_AUTOHSCROLL, 0, 4, 4, 100, 12}});
  HWND e = EditIn(d, 40);
  SendMessageW(e, EM_LIMITTEXT, 5, 0);
  EXPECT_EQ(SendMessageW(e, EM_GETLIMITTEXT, 0, 0), 5);
  SetFocus(e);
  Events().clear();
  AutoTypeText(u"abc");
  EXPECT_EQ(AutoGetWindowText(e), u"abc");
  EXPECT_EQ(Codes(40), (std::vector<int>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE}));
  Events().clear();
  AutoTypeText(u"defg");  // only two fit
  EXPECT_EQ(AutoGetWindowText(e), u"abcde");
  EXPECT_EQ(Codes(40), (std::vector<int>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE, EN_MAXTEXT, EN_MAXTEXT}));
  // Select all and type over it.
  SendMessageW(e, EM_SETSEL, 0, -1);
  DWORD a = 9, b = 9;
  SendMessageW(e, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(b, 5u);
  AutoTypeText(u"X");
  EXPECT_EQ(AutoGetWindowText(e), u"X");
  // Keys: Home, Shift+End selects, Backspace deletes the selection; Delete.
  AutoTypeText(u"yz");
  AutoKeyPress(VK_HOME);
  AutoKeyPress(VK_RIGHT);
  AutoKeyDown(VK_SHIFT);
  AutoKeyPress(VK_END);
  AutoKeyUp(VK_SHIFT);
  AutoKeyPress(VK_BACK);
  EXPECT_EQ(AutoGetWindowText(e), u"X");
  AutoKeyPress(VK_HOME);
  AutoKeyPress(VK_DELETE);
  EXPECT_EQ(AutoGetWindowText(e), u"");
  EXPECT_TRUE(SendMessageW(e, EM_GETMODIFY, 0, 0));
}

TEST_F(EditTest, SetTextNotifiesAndResetsAndUndoRestores) {
  HWND d = Modeless({{41, u"EDIT", u"start", 0, 0, 4, 4, 100, 12}});
  HWND e = EditIn(d, 41);
  Events().clear();
  // WM_SETTEXT is not limited and notifies like an edit.
  SendMessageW(e, EM_LIMITTEXT, 3, 0);
  EXPECT_TRUE(SetWindowTextW(e, u"New-0123ABCD"));
  EXPECT_EQ(AutoGetWindowText(e), u"New-0123ABCD");
  EXPECT_EQ(GetWindowTextLengthW(e), 12);
  EXPECT_EQ(Codes(41), (std::vector<int>{EN_UPDATE, EN_CHANGE}));
  EXPECT_FALSE(SendMessageW(e, EM_GETMODIFY, 0, 0));
  EXPECT_FALSE(SendMessageW(e, EM_CANUNDO, 0, 0));
  SendMessageW(e, EM_SETSEL, 4, 8);
  SendMessageW(e, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u"-"));
  EXPECT_EQ(AutoGetWindowText(e), u"New--ABCD");
  EXPECT_TRUE(SendMessageW(e, EM_CANUNDO, 0, 0));
  EXPECT_TRUE(SendMessageW(e, EM_UNDO, 0, 0));
  EXPECT_EQ(AutoGetWindowText(e), u"New-0123ABCD");
  // EM_SETSEL -1 drops the selection; WM_CLEAR then removes nothing.
  SendMessageW(e, EM_SETSEL, 0, 3);
  SendMessageW(e, EM_SETSEL, static_cast<WPARAM>(-1), 0);
  SendMessageW(e, WM_CLEAR, 0, 0);
  EXPECT_EQ(AutoGetWindowText(e), u"New-0123ABCD");
  SendMessageW(e, EM_SETSEL, 0, 4);
  SendMessageW(e, WM_CLEAR, 0, 0);
  EXPECT_EQ(AutoGetWindowText(e), u"0123ABCD");
}

TEST_F(EditTest, ClipboardNumberAndReadOnly) {
  HWND d = Modeless({
      {42, u"EDIT", u"hello world", 0, 0, 4, 4, 100, 12},
      {43, u"EDIT", u"", ES_NUMBER, 0, 4, 20, 100, 12},
      {44, u"EDIT", u"fixed", ES_READONLY, 0, 4, 36, 100, 12},
  });
  HWND e = EditIn(d, 42);
  SendMessageW(e, EM_SETSEL, 6, 11);
  SendMessageW(e, WM_CUT, 0, 0);
  EXPECT_EQ(AutoGetWindowText(e), u"hello ");
  SendMessageW(e, EM_SETSEL, 0, 0);
  SendMessageW(e, WM_PASTE, 0, 0);
  EXPECT_EQ(AutoGetWindowText(e), u"worldhello ");
  SetFocus(EditIn(d, 43));
  AutoTypeText(u"1a2-3");
  EXPECT_EQ(AutoGetWindowText(EditIn(d, 43)), u"123");
  SetFocus(EditIn(d, 44));
  AutoTypeText(u"zz");
  SendMessageW(EditIn(d, 44), WM_PASTE, 0, 0);
  EXPECT_EQ(AutoGetWindowText(EditIn(d, 44)), u"fixed");
  SendMessageW(EditIn(d, 44), EM_SETREADONLY, FALSE, 0);
  AutoTypeText(u"!");
  EXPECT_EQ(AutoGetWindowText(EditIn(d, 44)), u"!fixed");
}

TEST_F(EditTest, MultiLineKeepsLinesAndSingleLineDropsBreaks) {
  HWND d = Modeless({
      {45, u"EDIT", u"", ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 0, 4, 4, 150, 60},
      {46, u"EDIT", u"", 0, 0, 4, 70, 100, 12},
  });
  HWND m = EditIn(d, 45);
  SetFocus(m);
  AutoTypeText(u"ab\rcd");
  EXPECT_EQ(AutoGetWindowText(m), u"ab\r\ncd");
  EXPECT_EQ(SendMessageW(m, EM_GETLINECOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(m, EM_LINEINDEX, 1, 0), 4);
  EXPECT_EQ(SendMessageW(m, EM_LINEFROMCHAR, 5, 0), 1);
  WCHAR line[8] = {7};
  EXPECT_EQ(SendMessageW(m, EM_GETLINE, 1, reinterpret_cast<LPARAM>(line)), 2);
  EXPECT_EQ(std::u16string(line, 2), u"cd");
  AutoKeyPress(VK_UP);
  AutoTypeText(u"X");
  EXPECT_EQ(AutoGetWindowText(m), u"abX\r\ncd");
  // Backspace over a line break removes both characters.
  SendMessageW(m, EM_SETSEL, 5, 5);
  AutoKeyPress(VK_BACK);
  EXPECT_EQ(AutoGetWindowText(m), u"abXcd");
  SetWindowTextW(EditIn(d, 46), u"one\r\ntwo");
  EXPECT_EQ(AutoGetWindowText(EditIn(d, 46)), u"one");
}

TEST_F(EditTest, TapsPlaceTheCaretInAlignedText) {
  HWND d = Modeless({{47, u"EDIT", u"12", ES_RIGHT | ES_NUMBER, 0, 4, 4, 100, 12}});
  HWND e = EditIn(d, 47);
  RECT rc;
  GetClientRect(e, &rc);
  DWORD a = 0, b = 0;
  // The text sits at the right: a tap at the far left lands before it,
  // one at the far right after it.
  AutoTapWindow(e, 2, 5);
  SendMessageW(e, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(GetFocus(), e);
  AutoTapWindow(e, rc.right - 2, 5);
  SendMessageW(e, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(b, 2u);
  AutoTypeText(u"3");
  EXPECT_EQ(AutoGetWindowText(e), u"123");
  HWND caretWindow = nullptr;
  RECT caret{};
  BOOL shown = FALSE;
  ASSERT_TRUE(GetCaretStateForTest(&caretWindow, &caret, &shown));
  EXPECT_EQ(caretWindow, e);
  EXPECT_GT(caret.left, rc.right / 2);
}

}  // namespace
