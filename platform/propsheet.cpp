// PropertySheetW: the sheet is a built-in modal dialog whose procedure
// manages the pages and the tab strip.
#include "platform/propsheet.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/controls_internal.h"
#include "platform/dialog_internal.h"
#include "platform/screen.h"
#include "platform/tab_control.h"

namespace {

struct Sheet {
  PROPSHEETHEADERW header{};
  std::vector<PROPSHEETPAGEW> pages;
  std::vector<HWND> windows;
  std::vector<DialogTemplate> templates;
  int current = -1;
  HWND tab = nullptr;
  HWND ok = nullptr;
};

Sheet* SheetOf(HWND hwnd) { return reinterpret_cast<Sheet*>(GetWindowLongPtrW(hwnd, DWLP_USER)); }

LRESULT NotifyPage(HWND sheet, HWND page, UINT code) {
  if (!page) return 0;
  PSHNOTIFY n{{sheet, 0, code}, 0};
  return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

RECT PageArea(HWND sheet, Sheet* s) {
  RECT rc;
  GetClientRect(sheet, &rc);
  int okH = ctl::RowHeight() + ScaleToScreenDpi(4);
  int tabH = TabStripHeight();
  bool bottom = (GetWindowLongW(s->tab, GWL_STYLE) & TCS_BOTTOM) != 0;
  return bottom ? RECT{0, okH, rc.right, rc.bottom - tabH} : RECT{0, okH + tabH, rc.right, rc.bottom};
}

void Layout(HWND sheet, Sheet* s) {
  RECT rc;
  GetClientRect(sheet, &rc);
  int okH = ctl::RowHeight() + ScaleToScreenDpi(4);
  int okW = ScaleToScreenDpi(48);
  int tabH = TabStripHeight();
  bool bottom = (GetWindowLongW(s->tab, GWL_STYLE) & TCS_BOTTOM) != 0;
  MoveWindow(s->ok, rc.right - okW - 2, 2, okW, okH - 4, TRUE);
  MoveWindow(s->tab, 0, bottom ? rc.bottom - tabH : okH, rc.right, tabH, TRUE);
  RECT a = PageArea(sheet, s);
  for (HWND p : s->windows)
    if (p) MoveWindow(p, a.left, a.top, a.right - a.left, a.bottom - a.top, TRUE);
}

HWND CreatePage(HWND sheet, Sheet* s, int i) {
  PROPSHEETPAGEW& p = s->pages[static_cast<size_t>(i)];
  if ((p.dwFlags & PSP_USECALLBACK) && p.pfnCallback && !p.pfnCallback(nullptr, PSPCB_CREATE, &p)) return nullptr;
  const DialogTemplate* t = (p.dwFlags & PSP_DLGINDIRECT) ? p.pResource : FindDialogTemplate(p.hInstance, p.pszTemplate);
  if (!t) return nullptr;
  DialogTemplate& pt = s->templates[static_cast<size_t>(i)];
  pt = *t;
  pt.style = (pt.style & ~(WS_POPUP | WS_CAPTION | WS_VISIBLE | WS_BORDER | WS_DLGFRAME)) | WS_CHILD | DS_CONTROL;
  pt.x = pt.y = 0;
  HWND page = CreateDialogIndirectParamW(p.hInstance, &pt, sheet, p.pfnDlgProc, reinterpret_cast<LPARAM>(&p));
  if (!page) return nullptr;
  RECT a = PageArea(sheet, s);
  MoveWindow(page, a.left, a.top, a.right - a.left, a.bottom - a.top, FALSE);
  // Pages keep page order among the sheet's children, which is the order
  // they hear WM_DESTROY in when the sheet goes.
  HWND before = HWND_TOP;
  for (int k = i - 1; k >= 0 && before == HWND_TOP; --k)
    if (s->windows[static_cast<size_t>(k)]) before = s->windows[static_cast<size_t>(k)];
  SetWindowPos(page, before, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  s->windows[static_cast<size_t>(i)] = page;
  return page;
}

bool SetPage(HWND sheet, Sheet* s, int i) {
  if (i < 0 || i >= static_cast<int>(s->pages.size())) return false;
  if (i == s->current) return true;
  HWND old = s->current >= 0 ? s->windows[static_cast<size_t>(s->current)] : nullptr;
  if (old && NotifyPage(sheet, old, PSN_KILLACTIVE)) return false;
  HWND page = s->windows[static_cast<size_t>(i)];
  if (!page) page = CreatePage(sheet, s, i);
  if (!page) return false;
  if (old) ShowWindow(old, SW_HIDE);
  s->current = i;
  SendMessageW(s->tab, TCM_SETCURSEL, static_cast<WPARAM>(i), 0);
  NotifyPage(sheet, page, PSN_SETACTIVE);
  ShowWindow(page, SW_SHOW);
  // Pages are children and never activated themselves: they hear the
  // sheet's activation while they are the current page.
  if (GetActiveWindow() == sheet) {
    if (old) SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(page));
    SendMessageW(page, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
  }
  NotifyPage(sheet, page, PSN_PAGEFOCUS);
  return true;
}

void Finish(HWND sheet, Sheet* s, bool ok) {
  HWND cur = s->current >= 0 ? s->windows[static_cast<size_t>(s->current)] : nullptr;
  if (ok) {
    if (cur && NotifyPage(sheet, cur, PSN_KILLACTIVE)) return;
    for (size_t i = 0; i < s->windows.size(); ++i) {
      LRESULT r = s->windows[i] ? NotifyPage(sheet, s->windows[i], PSN_APPLY) : 0;
      if (r == PSNRET_INVALID) SetPage(sheet, s, static_cast<int>(i));
      if (r == PSNRET_INVALID || r == PSNRET_INVALID_NOCHANGEPAGE) return;
    }
  } else {
    if (cur && NotifyPage(sheet, cur, PSN_QUERYCANCEL)) return;
    for (HWND p : s->windows)
      if (p) NotifyPage(sheet, p, PSN_RESET);
  }
  EndDialog(sheet, ok ? 1 : 0);
}

INT_PTR SheetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Sheet* s = SheetOf(hwnd);
  switch (msg) {
    case WM_INITDIALOG: {
      s = reinterpret_cast<Sheet*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      RECT work;
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      MoveWindow(hwnd, work.left, work.top, work.right - work.left, work.bottom - work.top, FALSE);
      s->tab = CreateWindowExW(0, WC_TABCONTROLW, u"", WS_CHILD | WS_VISIBLE | TCS_BOTTOM, 0, 0, 10, 10, hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(PSH_TABCONTROL_ID)), nullptr, nullptr);
      s->ok = CreateWindowExW(0, WC_BUTTONW, u"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 10, 10, hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), nullptr, nullptr);
      for (size_t i = 0; i < s->pages.size(); ++i) {
        const PROPSHEETPAGEW& p = s->pages[i];
        std::u16string title;
        if ((p.dwFlags & PSP_USETITLE) && p.pszTitle && !IS_INTRESOURCE(p.pszTitle)) {
          title = p.pszTitle;
        } else {
          const DialogTemplate* t = (p.dwFlags & PSP_DLGINDIRECT) ? p.pResource : FindDialogTemplate(p.hInstance, p.pszTemplate);
          if (t && t->caption) title = t->caption;
        }
        TCITEMW item{TCIF_TEXT, 0, 0, title.data(), 0, -1, 0};
        SendMessageW(s->tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
      }
      if ((s->header.dwFlags & PSH_USECALLBACK) && s->header.pfnCallback)
        s->header.pfnCallback(hwnd, PSCB_INITIALIZED, 0);
      Layout(hwnd, s);
      int start = std::min<int>(static_cast<int>(s->header.nStartPage), static_cast<int>(s->pages.size()) - 1);
      if (!SetPage(hwnd, s, start)) {
        bool any = false;
        for (int i = 0; i < static_cast<int>(s->pages.size()) && !any; ++i) any = SetPage(hwnd, s, i);
        if (!any) EndDialog(hwnd, -1);
      }
      return FALSE;
    }
    case WM_SIZE:
      if (s && s->tab) Layout(hwnd, s);
      return TRUE;
    case WM_ACTIVATE:
      if (s && s->current >= 0 && s->windows[static_cast<size_t>(s->current)])
        SendMessageW(s->windows[static_cast<size_t>(s->current)], WM_ACTIVATE, wParam, lParam);
      return FALSE;  // the default handling puts the focus back
    case WM_NOTIFY: {
      auto* h = reinterpret_cast<NMHDR*>(lParam);
      if (s && h && h->hwndFrom == s->tab && h->code == TCN_SELCHANGE) {
        int want = static_cast<int>(SendMessageW(s->tab, TCM_GETCURSEL, 0, 0));
        if (!SetPage(hwnd, s, want)) SendMessageW(s->tab, TCM_SETCURSEL, static_cast<WPARAM>(s->current), 0);
        return TRUE;
      }
      return FALSE;
    }
    case WM_COMMAND:
      if (!s) return FALSE;
      if (LOWORD(wParam) == IDOK) Finish(hwnd, s, true);
      else if (LOWORD(wParam) == IDCANCEL) Finish(hwnd, s, false);
      return TRUE;
    case PSM_SETCURSEL: {
      int i = static_cast<int>(wParam);
      if (lParam)
        for (size_t k = 0; k < s->windows.size(); ++k)
          if (reinterpret_cast<LPARAM>(s->windows[k]) == lParam) i = static_cast<int>(k);
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, SetPage(hwnd, s, i) ? TRUE : FALSE);
      return TRUE;
    }
    case PSM_PRESSBUTTON:
      if (wParam == PSBTN_OK || wParam == PSBTN_APPLYNOW) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      else if (wParam == PSBTN_CANCEL) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return TRUE;
    case PSM_GETTABCONTROL:
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(s->tab));
      return TRUE;
    case PSM_GETCURRENTPAGEHWND:
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT,
                        s->current >= 0 ? reinterpret_cast<LONG_PTR>(s->windows[static_cast<size_t>(s->current)]) : 0);
      return TRUE;
    case PSM_INDEXTOHWND: {
      size_t i = wParam;
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, i < s->windows.size() ? reinterpret_cast<LONG_PTR>(s->windows[i]) : 0);
      return TRUE;
    }
    case PSM_SETTITLEW:
      if (lParam && !IS_INTRESOURCE(reinterpret_cast<LPCWSTR>(lParam))) SetWindowTextW(hwnd, reinterpret_cast<LPCWSTR>(lParam));
      return TRUE;
    case PSM_QUERYSIBLINGS:
      for (HWND p : s->windows)
        if (p) {
          LRESULT r = SendMessageW(p, PSM_QUERYSIBLINGS, wParam, lParam);
          if (r) {
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, r);
            return TRUE;
          }
        }
      return TRUE;
    case PSM_CHANGED:
    case PSM_UNCHANGED:
      return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR PropertySheetW(const PROPSHEETHEADERW* header) {
  if (!header || !header->ppsp || header->nPages == 0 || !(header->dwFlags & PSH_PROPSHEETPAGE)) return -1;
  RegisterStandardControls();
  Sheet s;
  s.header = *header;
  s.pages.assign(header->ppsp, header->ppsp + header->nPages);
  s.windows.assign(header->nPages, nullptr);
  s.templates.resize(header->nPages);
  if ((header->dwFlags & PSH_USECALLBACK) && header->pfnCallback) header->pfnCallback(nullptr, PSCB_GETVERSION, 0);
  std::u16string caption = header->pszCaption && !IS_INTRESOURCE(header->pszCaption) ? header->pszCaption : u"";
  if (header->dwFlags & PSH_PROPTITLE) caption = u"Properties for " + caption;
  DialogTemplate t{dlg::kPropertySheetTemplateId, caption.c_str(), WS_POPUP | WS_CAPTION, 0, 0, 0, 160, 200, nullptr, 0};
  INT_PTR r = DialogBoxIndirectParamW(header->hInstance, &t, header->hwndParent, &SheetProc, reinterpret_cast<LPARAM>(&s));
  for (PROPSHEETPAGEW& p : s.pages)
    if ((p.dwFlags & PSP_USECALLBACK) && p.pfnCallback) p.pfnCallback(nullptr, PSPCB_RELEASE, &p);
  return r;
}
