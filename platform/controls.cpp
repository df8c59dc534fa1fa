// Control class registration and the helpers the standard controls share.
#include "platform/controls_internal.h"

#include <algorithm>
#include <mutex>

#include "platform/screen.h"

namespace ctl {

void RegisterControlClass(LPCWSTR name, WNDPROC proc, bool dblclks) {
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_PARENTDC | (dblclks ? CS_DBLCLKS : 0u);
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = static_cast<int>(sizeof(void*));
  wc.lpszClassName = name;
  RegisterClassW(&wc);  // already there: fine
}

void NotifyParent(HWND hwnd, int code) {
  HWND parent = GetParent(hwnd);
  if (!parent || (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) == 0) return;
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

HBRUSH ControlColors(HWND hwnd, HDC dc, UINT msg) {
  int text = COLOR_WINDOWTEXT, back = COLOR_WINDOW;
  if (msg == WM_CTLCOLORBTN) {
    text = COLOR_BTNTEXT;
    back = COLOR_BTNFACE;
  } else if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORDLG) {
    text = COLOR_STATICTEXT;
    back = COLOR_STATIC;
  }
  if (!IsWindowEnabled(hwnd)) text = COLOR_GRAYTEXT;
  SetTextColor(dc, GetSysColor(text));
  SetBkColor(dc, GetSysColor(back));
  HWND parent = GetParent(hwnd);
  HBRUSH brush = nullptr;
  if (parent && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
    brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
  return brush ? brush : GetSysColorBrush(back);
}

std::u16string TextOf(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::u16string s(static_cast<size_t>(n) + 1, u'\0');
  int got = GetWindowTextW(hwnd, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(0, got)));
  return s;
}

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

int RowHeight() { return DialogFontLineHeight() + ScaleToScreenDpi(4); }

void FillColor(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void Frame(HDC dc, const RECT& r, COLORREF color) {
  FillColor(dc, RECT{r.left, r.top, r.right, r.top + 1}, color);
  FillColor(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, color);
  FillColor(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, color);
  FillColor(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, color);
}

void Text(HDC dc, const std::u16string& text, RECT r, UINT format, COLORREF color) {
  COLORREF old = SetTextColor(dc, color);
  int mode = SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
  SetBkMode(dc, mode);
  SetTextColor(dc, old);
}

namespace {
int CompareNoCase(const std::u16string& a, const std::u16string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
}  // namespace

int ItemList::Add(const std::u16string& text) {
  int at = static_cast<int>(items.size());
  if (sorted) {
    at = 0;
    while (at < static_cast<int>(items.size()) && CompareNoCase(items[static_cast<size_t>(at)].text, text) <= 0) ++at;
  }
  return Insert(at, text);
}

int ItemList::Insert(int index, const std::u16string& text) {
  if (index < 0 || index > static_cast<int>(items.size())) index = static_cast<int>(items.size());
  items.insert(items.begin() + index, Item{text, 0});
  if (sel >= index) ++sel;
  return index;
}

int ItemList::Find(int after, const std::u16string& prefix, bool exact) const {
  int n = static_cast<int>(items.size());
  for (int k = 1; k <= n; ++k) {
    int i = ((after < 0 ? -1 : after) + k) % n;
    const std::u16string& t = items[static_cast<size_t>(i)].text;
    if (exact ? CompareNoCase(t, prefix) == 0 : (t.size() >= prefix.size() && CompareNoCase(t.substr(0, prefix.size()), prefix) == 0))
      return i;
  }
  return -1;
}

void DrawItems(HDC dc, const ItemList& list, RECT area, int rowHeight, HBRUSH background, COLORREF textColor,
               bool enabled) {
  FillRect(dc, &area, background);
  int pad = ScaleToScreenDpi(2);
  int y = area.top;
  for (int i = std::max(0, list.top); i < static_cast<int>(list.items.size()) && y < area.bottom; ++i, y += rowHeight) {
    RECT row{area.left, y, area.right, y + rowHeight};
    COLORREF color = enabled ? textColor : GetSysColor(COLOR_GRAYTEXT);
    if (i == list.sel) {
      FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
      color = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    RECT tr{row.left + pad, row.top, row.right - pad, row.bottom};
    Text(dc, list.items[static_cast<size_t>(i)].text, tr, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, color);
  }
}

}  // namespace ctl

namespace {
std::mutex& RegistrarMutex() {
  static std::mutex m;
  return m;
}
std::vector<void (*)()>& Registrars() {
  static std::vector<void (*)()> list;
  return list;
}
}  // namespace

void AddControlRegistrar(void (*registrar)()) {
  std::lock_guard<std::mutex> lk(RegistrarMutex());
  if (std::find(Registrars().begin(), Registrars().end(), registrar) == Registrars().end())
    Registrars().push_back(registrar);
}

void RegisterStandardControls() {
  std::vector<void (*)()> extra;
  {
    std::lock_guard<std::mutex> lk(RegistrarMutex());
    extra = Registrars();
  }
  // RegisterClassW refuses a second registration, so running again is harmless.
  ctl::RegisterButtonClass();
  ctl::RegisterStaticClass();
  ctl::RegisterEditClass();
  ctl::RegisterListBoxClass();
  ctl::RegisterComboBoxClass();
  ctl::RegisterTabControlClass();
  for (auto fn : extra) fn();
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (!init || init->dwSize < sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  RegisterStandardControls();
  return TRUE;
}

void InitCommonControls() { RegisterStandardControls(); }
