#include "platform/datetime.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/menu_text.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/screen.h"

namespace {

struct Picker {
  HWND hwnd = nullptr;
  SYSTEMTIME st{};
  bool none = false;
  int field = 0;
  HWND calendar = nullptr;
  WORD calYear = 0;
  WORD calMonth = 0;
};

Picker* PickerOf(HWND hwnd) { return reinterpret_cast<Picker*>(GetWindowLongPtrW(hwnd, 0)); }

bool IsTime(HWND hwnd) { return (static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & DTS_TIMEFORMAT) == DTS_TIMEFORMAT; }

bool Leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysIn(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && Leap(y) ? 29 : kDays[(m - 1) % 12];
}

// Fills wDayOfWeek; FALSE for a date or time that does not exist.
bool Normalize(SYSTEMTIME* st) {
  FILETIME ft;
  if (!SystemTimeToFileTime(st, &ft)) return false;
  WORD ms = st->wMilliseconds;
  FileTimeToSystemTime(&ft, st);
  st->wMilliseconds = ms;
  return true;
}

std::u16string Format(const Picker* p) {
  WCHAR buf[64] = {};
  if (IsTime(p->hwnd)) GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &p->st, nullptr, buf, 64);
  else GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &p->st, nullptr, buf, 64);
  return buf;
}

// The text's fields: runs of digits (and the AM/PM marker), as [start, end).
std::vector<std::pair<size_t, size_t>> Fields(const std::u16string& text) {
  std::vector<std::pair<size_t, size_t>> out;
  size_t i = 0;
  while (i < text.size()) {
    auto kind = [&](char16_t c) { return (c >= u'0' && c <= u'9') ? 1 : ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')) ? 2 : 0; };
    int k = kind(text[i]);
    if (!k) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < text.size() && kind(text[i]) == k) ++i;
    out.emplace_back(start, i);
  }
  return out;
}

int ButtonWidth(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  return std::min<int>(rc.bottom, ScaleToScreenDpi(20));
}

int TextLeft() { return ScaleToScreenDpi(3); }

LRESULT NotifyParent(Picker* p, NMHDR* hdr, UINT code) {
  hdr->hwndFrom = p->hwnd;
  hdr->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(p->hwnd));
  hdr->code = code;
  HWND parent = GetParent(p->hwnd);
  return parent ? SendNotify(parent, hdr) : 0;
}

void Changed(Picker* p) {
  Normalize(&p->st);
  InvalidateRect(p->hwnd, nullptr, TRUE);
  NMDATETIMECHANGE nm{};
  nm.dwFlags = p->none ? GDT_NONE : GDT_VALID;
  nm.st = p->st;
  NotifyParent(p, &nm.nmhdr, DTN_DATETIMECHANGE);
}

int Wrap(int v, int lo, int hi) {
  int n = hi - lo + 1;
  return lo + (((v - lo) % n) + n) % n;
}

void Step(Picker* p, int delta) {
  SYSTEMTIME& st = p->st;
  if (IsTime(p->hwnd)) {
    switch (p->field) {
      case 0: st.wHour = static_cast<WORD>(Wrap(st.wHour + delta, 0, 23)); break;
      case 1: st.wMinute = static_cast<WORD>(Wrap(st.wMinute + delta, 0, 59)); break;
      case 2: st.wSecond = static_cast<WORD>(Wrap(st.wSecond + delta, 0, 59)); break;
      default: st.wHour = static_cast<WORD>((st.wHour + 12) % 24); break;  // AM/PM
    }
  } else {
    switch (p->field) {
      case 0: st.wMonth = static_cast<WORD>(Wrap(st.wMonth + delta, 1, 12)); break;
      case 1: st.wDay = static_cast<WORD>(Wrap(st.wDay + delta, 1, DaysIn(st.wYear, st.wMonth))); break;
      default: st.wYear = static_cast<WORD>(std::clamp(st.wYear + delta, 1601, 9999)); break;
    }
    st.wDay = static_cast<WORD>(std::min<int>(st.wDay, DaysIn(st.wYear, st.wMonth)));
  }
  p->none = false;
  Changed(p);
}

void MoveField(Picker* p, int delta) {
  int n = static_cast<int>(Fields(Format(p)).size());
  if (n) p->field = std::clamp(p->field + delta, 0, n - 1);
  InvalidateRect(p->hwnd, nullptr, TRUE);
}

// ---- The month calendar ----

const WCHAR* kCalendarClass = u"DateCalendarClass";

int Cell() { return ScaleToScreenDpi(22); }

void CloseCalendar(Picker* p) {
  HWND cal = p->calendar;
  if (!cal) return;
  p->calendar = nullptr;
  if (GetCapture() == cal) ReleaseCapture();
  SetWindowLongPtrW(cal, GWL_USERDATA, 0);
  DestroyWindow(cal);
  NMHDR hdr{};
  NotifyParent(p, &hdr, DTN_CLOSEUP);
}

int FirstWeekday(int year, int month) {
  SYSTEMTIME st{static_cast<WORD>(year), static_cast<WORD>(month), 0, 1, 0, 0, 0, 0};
  Normalize(&st);
  return st.wDayOfWeek;
}

LRESULT CalendarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* p = reinterpret_cast<Picker*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
      if (p) {
        int c = Cell();
        COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
        auto centered = [&](const std::u16string& s, RECT r, COLORREF color) {
          MenuDrawText(dc, r.left + (r.right - r.left - MenuTextWidth(s)) / 2, r.top + (r.bottom - r.top - MenuTextHeight()) / 2, s,
                       color);
        };
        RECT head{0, 0, rc.right, c};
        FillRect(dc, &head, GetSysColorBrush(COLOR_ACTIVECAPTION));
        SYSTEMTIME first{p->calYear, p->calMonth, 0, 1, 0, 0, 0, 0};
        WCHAR title[32] = {};
        GetDateFormatW(LOCALE_USER_DEFAULT, 0, &first, u"MMMM yyyy", title, 32);
        centered(title, head, GetSysColor(COLOR_CAPTIONTEXT));
        centered(u"<", RECT{0, 0, c, c}, GetSysColor(COLOR_CAPTIONTEXT));
        centered(u">", RECT{rc.right - c, 0, rc.right, c}, GetSysColor(COLOR_CAPTIONTEXT));
        const char16_t* names[7] = {u"S", u"M", u"T", u"W", u"T", u"F", u"S"};
        for (int i = 0; i < 7; ++i) centered(names[i], RECT{i * c, c, (i + 1) * c, 2 * c}, GetSysColor(COLOR_GRAYTEXT));
        int start = FirstWeekday(p->calYear, p->calMonth);
        int days = DaysIn(p->calYear, p->calMonth);
        for (int d = 1; d <= days; ++d) {
          int slot = start + d - 1;
          RECT cell{(slot % 7) * c, (2 + slot / 7) * c, (slot % 7 + 1) * c, (3 + slot / 7) * c};
          bool chosen = !p->none && p->st.wYear == p->calYear && p->st.wMonth == p->calMonth && p->st.wDay == d;
          if (chosen) FillRect(dc, &cell, GetSysColorBrush(COLOR_HIGHLIGHT));
          centered(std::u16string(d >= 10 ? std::u16string(1, static_cast<char16_t>(u'0' + d / 10)) : u"") +
                       static_cast<char16_t>(u'0' + d % 10),
                   cell, chosen ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
        }
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN: {
      if (!p) return 0;
      RECT rc;
      GetClientRect(hwnd, &rc);
      POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      if (pt.x < 0 || pt.y < 0 || pt.x >= rc.right || pt.y >= rc.bottom) {
        CloseCalendar(p);
        return 0;
      }
      int c = Cell();
      int col = pt.x / c, row = pt.y / c;
      if (row == 0 && (col == 0 || col == 6)) {
        int m = p->calMonth + (col == 0 ? -1 : 1);
        int y = p->calYear;
        if (m < 1) {
          m = 12;
          --y;
        }
        if (m > 12) {
          m = 1;
          ++y;
        }
        if (y >= 1601 && y <= 9999) {
          p->calYear = static_cast<WORD>(y);
          p->calMonth = static_cast<WORD>(m);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
      }
      if (row >= 2) {
        int d = (row - 2) * 7 + col - FirstWeekday(p->calYear, p->calMonth) + 1;
        if (d >= 1 && d <= DaysIn(p->calYear, p->calMonth)) {
          p->st.wYear = p->calYear;
          p->st.wMonth = p->calMonth;
          p->st.wDay = static_cast<WORD>(d);
          p->none = false;
          Changed(p);
          CloseCalendar(p);
        }
      }
      return 0;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void OpenCalendar(Picker* p) {
  static bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &CalendarProc;
    wc.lpszClassName = kCalendarClass;
    RegisterClassW(&wc);
    return true;
  }();
  (void)registered;
  if (p->calendar) return;
  p->calYear = p->st.wYear;
  p->calMonth = p->st.wMonth;
  RECT r;
  GetWindowRect(p->hwnd, &r);
  int w = 7 * Cell() + 2, h = 8 * Cell() + 2;
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  int x = std::clamp<int>(r.left, 0, std::max(0, sw - w));
  int y = r.bottom + h <= sh ? r.bottom : std::max<int>(0, r.top - h);
  HWND top = GetAncestor(p->hwnd, GA_ROOT);
  HWND cal = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kCalendarClass, u"", WS_POPUP | WS_BORDER, x,
                             y, w, h, top, nullptr, nullptr, nullptr);
  if (!cal) return;
  SetWindowLongPtrW(cal, GWL_USERDATA, reinterpret_cast<LONG_PTR>(p));
  p->calendar = cal;
  ShowWindow(cal, SW_SHOWNA);
  SetCapture(cal);
  NMHDR hdr{};
  NotifyParent(p, &hdr, DTN_DROPDOWN);
}

// ---- The picker ----

void Paint(Picker* p) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(p->hwnd, &ps);
  RECT rc;
  GetClientRect(p->hwnd, &rc);
  bool enabled = IsWindowEnabled(p->hwnd);
  FillRect(dc, &rc, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
  RECT frame = rc;
  DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
  int bw = ButtonWidth(p->hwnd);
  RECT button{rc.right - bw, 0, rc.right, rc.bottom};
  RECT face = button;
  DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_MIDDLE);
  COLORREF text = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
  int cy = (rc.bottom - MenuTextHeight()) / 2;
  if (IsTime(p->hwnd)) {
    RECT mid{button.left + 2, rc.bottom / 2, button.right - 2, rc.bottom / 2 + 1};
    FillRect(dc, &mid, GetSysColorBrush(COLOR_BTNSHADOW));
    MenuDrawText(dc, button.left + (bw - MenuTextWidth(u"^")) / 2, rc.bottom / 4 - MenuTextHeight() / 3, u"^", text);
    MenuDrawText(dc, button.left + (bw - MenuTextWidth(u"v")) / 2, rc.bottom * 3 / 4 - MenuTextHeight() / 2, u"v", text);
  } else {
    MenuDrawText(dc, button.left + (bw - MenuTextWidth(u"v")) / 2, cy, u"v", text);
  }
  std::u16string s = Format(p);
  auto fields = Fields(s);
  if (GetFocus() == p->hwnd && p->field < static_cast<int>(fields.size())) {
    auto [a, b] = fields[static_cast<size_t>(p->field)];
    int x0 = TextLeft() + MenuTextWidth(s.substr(0, a));
    int x1 = TextLeft() + MenuTextWidth(s.substr(0, b));
    RECT hi{x0, cy, x1, cy + MenuTextHeight()};
    FillRect(dc, &hi, GetSysColorBrush(COLOR_HIGHLIGHT));
  }
  if (!p->none) MenuDrawText(dc, TextLeft(), cy, s, text);
  EndPaint(p->hwnd, &ps);
}

void PenDown(Picker* p, POINT pt) {
  SetFocus(p->hwnd);
  RECT rc;
  GetClientRect(p->hwnd, &rc);
  int bw = ButtonWidth(p->hwnd);
  if (pt.x >= rc.right - bw) {
    if (IsTime(p->hwnd)) Step(p, pt.y < rc.bottom / 2 ? 1 : -1);
    else OpenCalendar(p);
    return;
  }
  std::u16string s = Format(p);
  auto fields = Fields(s);
  for (size_t i = 0; i < fields.size(); ++i) {
    int x1 = TextLeft() + MenuTextWidth(s.substr(0, fields[i].second));
    if (pt.x < x1 || i + 1 == fields.size()) {
      p->field = static_cast<int>(i);
      break;
    }
  }
  InvalidateRect(p->hwnd, nullptr, TRUE);
}

LRESULT PickerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Picker* p = PickerOf(hwnd);
  if (!p && msg != WM_NCCREATE) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCCREATE:
      p = new Picker;
      p->hwnd = hwnd;
      GetLocalTime(&p->st);
      p->st.wMilliseconds = 0;
      SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(p));
      break;
    case WM_DESTROY: CloseCalendar(p); break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, 0, 0);
      delete p;
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_PAINT: Paint(p); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN:
      switch (wParam) {
        case VK_UP: Step(p, 1); break;
        case VK_DOWN: Step(p, -1); break;
        case VK_LEFT: MoveField(p, -1); break;
        case VK_RIGHT: MoveField(p, 1); break;
        default: break;
      }
      return 0;
    case WM_LBUTTONDOWN:
      PenDown(p, POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
      return 0;
    case DTM_GETSYSTEMTIME: {
      if (p->none) return GDT_NONE;
      auto* st = reinterpret_cast<SYSTEMTIME*>(lParam);
      if (!st) return GDT_ERROR;
      *st = p->st;
      return GDT_VALID;
    }
    case DTM_SETSYSTEMTIME: {
      if (static_cast<int>(wParam) == GDT_NONE) {
        if (!(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & DTS_SHOWNONE)) return FALSE;
        p->none = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
      }
      auto* st = reinterpret_cast<const SYSTEMTIME*>(lParam);
      if (static_cast<int>(wParam) != GDT_VALID || !st) return FALSE;
      SYSTEMTIME v = *st;
      if (!Normalize(&v)) return FALSE;
      p->st = v;
      p->none = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterDateTimeClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &PickerProc;
  wc.cbWndExtra = sizeof(void*);
  wc.lpszClassName = WC_DATETIMEPICKW;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_WINDOW + 1));
  RegisterClassW(&wc);  // a second registration is refused, which is fine
}

HWND GetDateTimeCalendar(HWND picker) {
  WCHAR cls[32] = {};
  if (!GetClassNameW(picker, cls, 32) || std::u16string(cls) != WC_DATETIMEPICKW) return nullptr;
  Picker* p = PickerOf(picker);
  return p ? p->calendar : nullptr;
}
