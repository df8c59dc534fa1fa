// Property sheets: the callbacks, pages created when first shown, the PSN_*
// notifications and their vetoes, PSM_SETCURSEL / tab taps /
// PSM_PRESSBUTTON, the tab strip at the bottom and WM_DESTROY to every
// created page on close.
#include "platform/propsheet.h"
#include "platform/tab_control.h"
#include "tests/platform/dialog_test_util.h"

using namespace dlgtest;

namespace {

const DialogItemTemplate kPageItems[] = {
    {1401, u"EDIT", u"", WS_VISIBLE | WS_TABSTOP, 0, 4, 4, 60, 12},
};
const DialogTemplate kPages[] = {
    {5101, u"Handwriting", WS_CHILD, 0, 0, 0, 160, 100, kPageItems, 1},
    {5102, u"Radical", WS_CHILD, 0, 0, 0, 160, 100, kPageItems, 1},
    {5103, u"Keyboard", WS_CHILD, 0, 0, 0, 160, 100, kPageItems, 1},
};

constexpr int kActive = 1000, kInactive = 1001;  // WM_ACTIVATE seen by a page

struct PageEvent {
  int page;
  int what;  // a PSN_ code, or WM_INITDIALOG / WM_DESTROY
};
std::vector<PageEvent> g_pages;
std::vector<UINT> g_callback;
int g_vetoKill = -1;     // page index whose PSN_KILLACTIVE refuses
int g_invalidApply = -1;  // page index whose PSN_APPLY answers PSNRET_INVALID
LPARAM g_initParam = 0;

INT_PTR PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  int page = static_cast<int>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      auto* psp = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
      page = static_cast<int>(psp->lParam);
      if (page == 1) g_initParam = psp->lParam;
      SetWindowLongPtrW(hwnd, DWLP_USER, page);
      g_pages.push_back({page, static_cast<int>(WM_INITDIALOG)});
      return TRUE;
    }
    case WM_DESTROY:
      g_pages.push_back({page, static_cast<int>(WM_DESTROY)});
      return TRUE;
    case WM_ACTIVATE:
      g_pages.push_back({page, LOWORD(wParam) == WA_INACTIVE ? kInactive : kActive});
      return TRUE;
    case WM_NOTIFY: {
      auto* h = reinterpret_cast<NMHDR*>(lParam);
      g_pages.push_back({page, static_cast<int>(h->code)});
      LONG_PTR answer = 0;
      if (h->code == PSN_KILLACTIVE && page == g_vetoKill) answer = TRUE;
      if (h->code == PSN_APPLY && page == g_invalidApply) answer = PSNRET_INVALID;
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, answer);
      return TRUE;
    }
  }
  return FALSE;
}

int SheetCallback(HWND hwnd, UINT msg, LPARAM) {
  g_callback.push_back(msg);
  if (msg == PSCB_INITIALIZED) {
    HWND tab = GetDlgItem(hwnd, PSH_TABCONTROL_ID);
    SetWindowLongW(tab, GWL_STYLE, GetWindowLongW(tab, GWL_STYLE) | TCS_BOTTOM);
  }
  return msg == PSCB_GETVERSION ? 524 : 1;
}

class PropSheetTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    for (const DialogTemplate& t : kPages) RegisterDialogTemplate(&t);
    g_pages.clear();
    g_callback.clear();
    g_vetoKill = g_invalidApply = -1;
    for (int i = 0; i < 3; ++i) {
      pages_[i] = PROPSHEETPAGEW{};
      pages_[i].dwSize = 40;
      pages_[i].pszTemplate = MAKEINTRESOURCEW(5101 + i);
      pages_[i].pfnDlgProc = &PageProc;
      pages_[i].lParam = i;
    }
    header_ = PROPSHEETHEADERW{};
    header_.dwSize = 40;
    header_.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_MAXIMIZE;
    header_.pszCaption = u"Input";
    header_.nPages = 3;
    header_.nStartPage = 1;
    header_.ppsp = pages_;
    header_.pfnCallback = &SheetCallback;
  }
  std::vector<int> Of(int page) {
    std::vector<int> out;
    for (const PageEvent& e : g_pages)
      if (e.page == page) out.push_back(e.what);
    return out;
  }
  PROPSHEETPAGEW pages_[3];
  PROPSHEETHEADERW header_;
};

const int kInit = static_cast<int>(WM_INITDIALOG);
const int kDestroy = static_cast<int>(WM_DESTROY);
const int kSet = static_cast<int>(PSN_SETACTIVE);
const int kKill = static_cast<int>(PSN_KILLACTIVE);
const int kFocus = static_cast<int>(PSN_PAGEFOCUS);
const int kApply = static_cast<int>(PSN_APPLY);
const int kReset = static_cast<int>(PSN_RESET);

TEST_F(PropSheetTest, PagesAreCreatedWhenFirstShownAndAllHearTheClose) {
  HWND sheet = nullptr;
  int hook = AutoHookDialog(-3, [&](HWND s) {
    sheet = s;
    // Only the start page exists; the tab strip sits at the bottom of the work area.
    EXPECT_EQ(AutoGetPropertySheetPage(s, 0), nullptr);
    HWND page1 = AutoGetPropertySheetPage(s, 1);
    ASSERT_NE(page1, nullptr);
    EXPECT_EQ(GetParent(page1), s);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(s, PSM_GETCURRENTPAGEHWND, 0, 0)), page1);
    HWND tab = GetDlgItem(s, PSH_TABCONTROL_ID);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(s, PSM_GETTABCONTROL, 0, 0)), tab);
    RECT tr, pr, sr;
    GetWindowRect(tab, &tr);
    GetWindowRect(page1, &pr);
    GetWindowRect(s, &sr);
    EXPECT_EQ(tr.bottom, sr.bottom - 1);  // inside the frame
    EXPECT_LE(pr.bottom, tr.top);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(sr.top, work.top);
    EXPECT_EQ(sr.bottom, work.bottom);
    EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 1);
    // Switch by message, then by a tap on the first tab.
    EXPECT_TRUE(AutoSetPropertySheetPage(s, 2));
    EXPECT_FALSE(IsWindowVisible(page1));
    EXPECT_NE(AutoGetPropertySheetPage(s, 2), nullptr);
    EXPECT_EQ(AutoGetPropertySheetPage(s, 0), nullptr);
    EXPECT_FALSE(AutoSetPropertySheetPage(s, 3));
    RECT first;
    SendMessageW(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    AutoTapWindow(tab, first.left + 3, first.top + 3);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(IsWindowVisible(AutoGetPropertySheetPage(s, 0)));
    // Close as if OK were pressed.
    SendMessageW(s, PSM_PRESSBUTTON, PSBTN_OK, 0);
  });
  INT_PTR r = PropertySheetW(&header_);
  AutoUnhookDialog(hook);
  EXPECT_EQ(r, 1);
  EXPECT_FALSE(IsWindow(sheet));
  EXPECT_EQ(g_callback, (std::vector<UINT>{PSCB_GETVERSION, PSCB_INITIALIZED}));
  EXPECT_EQ(g_initParam, 1);
  // The start page hears the sheet's activation when it is shown; later
  // pages their own switch.
  EXPECT_EQ(Of(1), (std::vector<int>{kInit, kSet, kFocus, kActive, kKill, kInactive, kApply, kDestroy}));
  EXPECT_EQ(Of(2), (std::vector<int>{kInit, kSet, kActive, kFocus, kKill, kInactive, kApply, kDestroy}));
  // The page current at the close hears the sheet's deactivation.
  EXPECT_EQ(Of(0), (std::vector<int>{kInit, kSet, kActive, kFocus, kKill, kApply, kInactive, kDestroy}));
  // WM_DESTROY goes to the pages in page order.
  std::vector<int> destroyed;
  for (const PageEvent& e : g_pages)
    if (e.what == kDestroy) destroyed.push_back(e.page);
  EXPECT_EQ(destroyed, (std::vector<int>{0, 1, 2}));
}

TEST_F(PropSheetTest, VetoesKeepThePageAndCancelResets) {
  header_.nStartPage = 0;
  int hook = AutoHookDialog(-3, [&](HWND s) {
    g_vetoKill = 0;
    EXPECT_FALSE(AutoSetPropertySheetPage(s, 1));
    EXPECT_EQ(AutoGetPropertySheetPage(s, 1), nullptr);
    HWND tab = GetDlgItem(s, PSH_TABCONTROL_ID);
    RECT second;
    SendMessageW(tab, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
    AutoTapWindow(tab, second.left + 3, second.top + 3);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);  // the tab went back
    g_vetoKill = -1;
    EXPECT_TRUE(AutoSetPropertySheetPage(s, 1));
    // An invalid page on OK is brought back and the sheet stays.
    g_invalidApply = 0;
    SendMessageW(s, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindow(s));
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
    g_invalidApply = -1;
    g_pages.clear();
    SendMessageW(s, WM_COMMAND, IDCANCEL, 0);
  });
  INT_PTR r = PropertySheetW(&header_);
  AutoUnhookDialog(hook);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Of(0), (std::vector<int>{static_cast<int>(PSN_QUERYCANCEL), kReset, kInactive, kDestroy}));
  EXPECT_EQ(Of(1), (std::vector<int>{kReset, kDestroy}));
  EXPECT_TRUE(Of(2).empty());
}

TEST_F(PropSheetTest, BadHeadersAndMissingPages) {
  EXPECT_EQ(PropertySheetW(nullptr), -1);
  PROPSHEETHEADERW h = header_;
  h.nPages = 0;
  EXPECT_EQ(PropertySheetW(&h), -1);
  h = header_;
  h.dwFlags &= ~PSH_PROPSHEETPAGE;
  EXPECT_EQ(PropertySheetW(&h), -1);
  // A start page whose template is missing falls back to another page.
  pages_[1].pszTemplate = MAKEINTRESOURCEW(5199);
  int hook = AutoHookDialog(-3, [&](HWND s) {
    EXPECT_EQ(AutoGetPropertySheetPage(s, 1), nullptr);
    EXPECT_NE(AutoGetPropertySheetPage(s, 0), nullptr);
    PostMessageW(s, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(PropertySheetW(&header_), 0);
  AutoUnhookDialog(hook);
}

}  // namespace
