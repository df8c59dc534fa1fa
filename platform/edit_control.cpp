// EDIT: single-line and multi-line text entry with selection, limit, undo,
// clipboard, password and number styles, and EN_* notifications.
#include <algorithm>
#include <cstring>

#include "platform/caret.h"
#include "platform/clipboard.h"
#include "platform/controls_internal.h"
#include "platform/heap.h"
#include "platform/screen.h"

namespace {

constexpr int kDefaultLimit = 0x7FFFFFFE;

struct Edit {
  std::u16string text;
  int anchor = 0, caret = 0;
  int limit = kDefaultLimit;
  bool modified = false;
  bool focused = false;
  bool tracking = false;
  WCHAR password = 0;
  int xOffset = 0;  // single-line horizontal scroll, pixels
  int topLine = 0;  // multi-line first visible line
  bool canUndo = false;
  std::u16string undoText;
  int undoAnchor = 0, undoCaret = 0;
};

struct VLine {
  int start, length;
};

bool Multi(HWND hwnd) { return (ctl::StyleOf(hwnd) & ES_MULTILINE) != 0; }
int Margin() { return ScaleToScreenDpi(2); }
int SelMin(const Edit* e) { return std::min(e->anchor, e->caret); }
int SelMax(const Edit* e) { return std::max(e->anchor, e->caret); }

std::u16string Shown(HWND hwnd, const Edit* e, int start, int length) {
  if (e->password || (ctl::StyleOf(hwnd) & ES_PASSWORD)) return std::u16string(static_cast<size_t>(length), e->password ? e->password : u'*');
  return e->text.substr(static_cast<size_t>(start), static_cast<size_t>(length));
}

int TextWidth(HWND hwnd, const Edit* e, int start, int length) {
  std::u16string s = Shown(hwnd, e, start, length);
  return DialogTextWidth(s.c_str(), static_cast<int>(s.size()));
}

// Visual lines: paragraphs split at line breaks, wrapped to the width unless
// the control scrolls horizontally.
std::vector<VLine> Lines(HWND hwnd, const Edit* e) {
  std::vector<VLine> out;
  const std::u16string& t = e->text;
  int n = static_cast<int>(t.size());
  if (!Multi(hwnd)) {
    out.push_back(VLine{0, n});
    return out;
  }
  RECT rc;
  GetClientRect(hwnd, &rc);
  int width = rc.right - rc.left - 2 * Margin();
  bool wrap = !(ctl::StyleOf(hwnd) & ES_AUTOHSCROLL);
  int start = 0;
  while (true) {
    int end = start;
    while (end < n && t[static_cast<size_t>(end)] != u'\r' && t[static_cast<size_t>(end)] != u'\n') ++end;
    int p = start;
    while (wrap && width > 0 && p < end && TextWidth(hwnd, e, p, end - p) > width) {
      int fit = p + 1;
      while (fit < end && TextWidth(hwnd, e, p, fit + 1 - p) <= width) ++fit;
      int cut = fit;
      for (int k = fit; k > p; --k)
        if (t[static_cast<size_t>(k - 1)] == u' ') {
          cut = k;
          break;
        }
      out.push_back(VLine{p, cut - p});
      p = cut;
    }
    out.push_back(VLine{p, end - p});
    if (end >= n) break;
    start = end + ((t[static_cast<size_t>(end)] == u'\r' && end + 1 < n && t[static_cast<size_t>(end) + 1] == u'\n') ? 2 : 1);
  }
  return out;
}

int LineOf(const std::vector<VLine>& lines, int index) {
  for (size_t i = 0; i < lines.size(); ++i) {
    int end = lines[i].start + lines[i].length;
    if (index <= end && (i + 1 == lines.size() || index < lines[i + 1].start)) return static_cast<int>(i);
  }
  return static_cast<int>(lines.size()) - 1;
}

// Single-line ES_CENTER / ES_RIGHT text that fits is shifted inside the field.
int AlignOffset(HWND hwnd, const Edit* e) {
  DWORD style = ctl::StyleOf(hwnd);
  if (Multi(hwnd) || !(style & (ES_CENTER | ES_RIGHT))) return 0;
  RECT rc;
  GetClientRect(hwnd, &rc);
  int room = rc.right - rc.left - 2 * Margin() - TextWidth(hwnd, e, 0, static_cast<int>(e->text.size()));
  if (room <= 0) return 0;
  return (style & ES_RIGHT) ? room : room / 2;
}

int TextTop(HWND hwnd) {
  if (Multi(hwnd)) return Margin();
  RECT rc;
  GetClientRect(hwnd, &rc);
  return std::max(0, (rc.bottom - rc.top - DialogFontLineHeight()) / 2);
}

POINT CaretPoint(HWND hwnd, const Edit* e) {
  std::vector<VLine> lines = Lines(hwnd, e);
  int li = LineOf(lines, e->caret);
  int x = Margin() + TextWidth(hwnd, e, lines[static_cast<size_t>(li)].start, e->caret - lines[static_cast<size_t>(li)].start);
  if (!Multi(hwnd)) x += AlignOffset(hwnd, e) - e->xOffset;
  int y = TextTop(hwnd) + (li - e->topLine) * DialogFontLineHeight();
  return POINT{x, y};
}

void ScrollToCaret(HWND hwnd, Edit* e) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  if (!Multi(hwnd)) {
    int cx = TextWidth(hwnd, e, 0, e->caret);
    int width = rc.right - rc.left - 2 * Margin();
    if (cx - e->xOffset > width) e->xOffset = cx - width;
    if (cx < e->xOffset) e->xOffset = cx;
    if (e->xOffset < 0) e->xOffset = 0;
  } else {
    std::vector<VLine> lines = Lines(hwnd, e);
    int li = LineOf(lines, e->caret);
    int visible = std::max(1, (rc.bottom - rc.top - 2 * Margin()) / DialogFontLineHeight());
    if (li < e->topLine) e->topLine = li;
    if (li >= e->topLine + visible) e->topLine = li - visible + 1;
  }
}

void UpdateCaret(HWND hwnd, Edit* e) {
  ScrollToCaret(hwnd, e);
  if (e->focused) {
    POINT p = CaretPoint(hwnd, e);
    SetCaretPos(p.x, p.y);
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

int HitTest(HWND hwnd, Edit* e, int x, int y) {
  std::vector<VLine> lines = Lines(hwnd, e);
  int li = Multi(hwnd) ? e->topLine + (y - TextTop(hwnd)) / std::max(1, DialogFontLineHeight()) : 0;
  li = std::clamp(li, 0, static_cast<int>(lines.size()) - 1);
  const VLine& l = lines[static_cast<size_t>(li)];
  std::u16string s = Shown(hwnd, e, l.start, l.length);
  int px = x - Margin() + (Multi(hwnd) ? 0 : e->xOffset - AlignOffset(hwnd, e));
  return l.start + DialogTextHitTest(s.c_str(), static_cast<int>(s.size()), px);
}

// Replaces the selection. User edits respect the limit (EN_MAXTEXT when cut).
void Replace(HWND hwnd, Edit* e, std::u16string insert, bool byUser, bool undoable = true) {
  DWORD style = ctl::StyleOf(hwnd);
  if (!Multi(hwnd)) {
    size_t br = insert.find_first_of(u"\r\n");
    if (br != std::u16string::npos) insert.resize(br);
  }
  if (style & ES_UPPERCASE)
    for (auto& c : insert) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if (style & ES_LOWERCASE)
    for (auto& c : insert) c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  int a = SelMin(e), b = SelMax(e);
  long long room = static_cast<long long>(e->limit) - (static_cast<long long>(e->text.size()) - (b - a));
  bool cut = false;
  if (byUser && static_cast<long long>(insert.size()) > room) {
    insert.resize(static_cast<size_t>(std::max<long long>(0, room)));
    cut = true;
  }
  if (insert.empty() && a == b) {
    if (cut) ctl::NotifyParent(hwnd, EN_MAXTEXT);
    return;
  }
  if (undoable) {
    e->undoText = e->text;
    e->undoAnchor = e->anchor;
    e->undoCaret = e->caret;
    e->canUndo = true;
  }
  e->text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), insert);
  e->anchor = e->caret = a + static_cast<int>(insert.size());
  e->modified = true;
  UpdateCaret(hwnd, e);
  if (cut) ctl::NotifyParent(hwnd, EN_MAXTEXT);
  ctl::NotifyParent(hwnd, EN_UPDATE);
  ctl::NotifyParent(hwnd, EN_CHANGE);
}

void CopySelection(HWND hwnd, Edit* e) {
  if (SelMin(e) == SelMax(e) || (ctl::StyleOf(hwnd) & ES_PASSWORD)) return;
  std::u16string s = e->text.substr(static_cast<size_t>(SelMin(e)), static_cast<size_t>(SelMax(e) - SelMin(e)));
  if (!OpenClipboard(hwnd)) return;
  EmptyClipboard();
  HLOCAL block = LocalAlloc(0, (s.size() + 1) * sizeof(WCHAR));
  if (block) {
    std::memcpy(block, s.c_str(), (s.size() + 1) * sizeof(WCHAR));
    SetClipboardData(CF_UNICODETEXT, block);
  }
  CloseClipboard();
}

void Paste(HWND hwnd, Edit* e) {
  if (!OpenClipboard(hwnd)) return;
  std::u16string s;
  if (auto* data = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT))) s = data;
  CloseClipboard();
  if (!s.empty()) Replace(hwnd, e, s, true);
}

void MoveCaret(HWND hwnd, Edit* e, int to, bool extend) {
  to = std::clamp(to, 0, static_cast<int>(e->text.size()));
  e->caret = to;
  if (!extend) e->anchor = to;
  UpdateCaret(hwnd, e);
}

void KeyDown(HWND hwnd, Edit* e, UINT vk) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  std::vector<VLine> lines = Lines(hwnd, e);
  int li = LineOf(lines, e->caret);
  const VLine& l = lines[static_cast<size_t>(li)];
  switch (vk) {
    case VK_LEFT:
      if (!shift && e->anchor != e->caret) MoveCaret(hwnd, e, SelMin(e), false);
      else {
        int to = e->caret - 1;
        if (to > 0 && e->text[static_cast<size_t>(to)] == u'\n' && e->text[static_cast<size_t>(to) - 1] == u'\r') --to;
        MoveCaret(hwnd, e, to, shift);
      }
      break;
    case VK_RIGHT:
      if (!shift && e->anchor != e->caret) MoveCaret(hwnd, e, SelMax(e), false);
      else {
        int to = e->caret + 1;
        if (to < static_cast<int>(e->text.size()) && e->text[static_cast<size_t>(to) - 1] == u'\r' && e->text[static_cast<size_t>(to)] == u'\n') ++to;
        MoveCaret(hwnd, e, to, shift);
      }
      break;
    case VK_HOME:
      MoveCaret(hwnd, e, l.start, shift);
      break;
    case VK_END:
      MoveCaret(hwnd, e, l.start + l.length, shift);
      break;
    case VK_UP:
    case VK_DOWN: {
      int target = li + (vk == VK_UP ? -1 : 1);
      if (!Multi(hwnd) || target < 0 || target >= static_cast<int>(lines.size())) break;
      int x = TextWidth(hwnd, e, l.start, e->caret - l.start);
      const VLine& t = lines[static_cast<size_t>(target)];
      std::u16string s = Shown(hwnd, e, t.start, t.length);
      MoveCaret(hwnd, e, t.start + DialogTextHitTest(s.c_str(), static_cast<int>(s.size()), x), shift);
      break;
    }
    case VK_DELETE:
      if (ctl::StyleOf(hwnd) & ES_READONLY) break;
      if (e->anchor == e->caret) {
        if (e->caret >= static_cast<int>(e->text.size())) break;
        e->anchor = e->caret + 1;
        if (e->text[static_cast<size_t>(e->caret)] == u'\r' && e->anchor < static_cast<int>(e->text.size()) &&
            e->text[static_cast<size_t>(e->anchor)] == u'\n')
          ++e->anchor;
      }
      Replace(hwnd, e, u"", true);
      break;
    default:
      break;
  }
}

void Char(HWND hwnd, Edit* e, WCHAR c) {
  DWORD style = ctl::StyleOf(hwnd);
  switch (c) {
    case 1:  // Ctrl+A
      e->anchor = 0;
      MoveCaret(hwnd, e, static_cast<int>(e->text.size()), true);
      return;
    case 3:  // Ctrl+C
      CopySelection(hwnd, e);
      return;
    case 22:  // Ctrl+V
      if (!(style & ES_READONLY)) Paste(hwnd, e);
      return;
    case 24:  // Ctrl+X
      if (!(style & ES_READONLY)) {
        CopySelection(hwnd, e);
        Replace(hwnd, e, u"", true);
      }
      return;
    case 26:  // Ctrl+Z
      SendMessageW(hwnd, EM_UNDO, 0, 0);
      return;
  }
  if (style & ES_READONLY) return;
  if (c == VK_BACK) {
    if (e->anchor == e->caret) {
      if (e->caret == 0) return;
      e->anchor = e->caret - 1;
      if (e->anchor > 0 && e->text[static_cast<size_t>(e->anchor)] == u'\n' && e->text[static_cast<size_t>(e->anchor) - 1] == u'\r')
        --e->anchor;
    }
    Replace(hwnd, e, u"", true);
    return;
  }
  if (c == u'\r' || c == u'\n') {
    if (Multi(hwnd)) Replace(hwnd, e, u"\r\n", true);
    return;
  }
  if (c < 32 && c != u'\t') return;
  if (c == u'\t' && !Multi(hwnd)) return;
  if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) return;
  Replace(hwnd, e, std::u16string(1, c), true);
}

void Paint(HWND hwnd, Edit* e) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  DWORD style = ctl::StyleOf(hwnd);
  bool grey = (style & ES_READONLY) || !IsWindowEnabled(hwnd);
  HBRUSH brush = ctl::ControlColors(hwnd, dc, grey ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
  COLORREF color = GetTextColor(dc);
  FillRect(dc, &rc, brush);
  std::vector<VLine> lines = Lines(hwnd, e);
  int lh = DialogFontLineHeight();
  int y = TextTop(hwnd);
  bool showSel = e->anchor != e->caret && (e->focused || (style & ES_NOHIDESEL));
  int s0 = SelMin(e), s1 = SelMax(e);
  for (int li = Multi(hwnd) ? e->topLine : 0; li < static_cast<int>(lines.size()) && y < rc.bottom; ++li, y += lh) {
    const VLine& l = lines[static_cast<size_t>(li)];
    int x0 = Margin() + (Multi(hwnd) ? 0 : AlignOffset(hwnd, e) - e->xOffset);
    std::u16string s = Shown(hwnd, e, l.start, l.length);
    RECT tr{x0, y, rc.right + 10000, y + lh};
    ctl::Text(dc, s, tr, DT_SINGLELINE, color);
    if (showSel) {
      int a = std::clamp(s0, l.start, l.start + l.length), b = std::clamp(s1, l.start, l.start + l.length);
      if (a < b) {
        int xa = x0 + TextWidth(hwnd, e, l.start, a - l.start), xb = x0 + TextWidth(hwnd, e, l.start, b - l.start);
        RECT sr{xa, y, xb, y + lh};
        FillRect(dc, &sr, GetSysColorBrush(COLOR_HIGHLIGHT));
        std::u16string part = Shown(hwnd, e, a, b - a);
        RECT pr{xa, y, xb + 10000, y + lh};
        ctl::Text(dc, part, pr, DT_SINGLELINE, GetSysColor(COLOR_HIGHLIGHTTEXT));
      }
    }
  }
  EndPaint(hwnd, &ps);
}

void SetText(HWND hwnd, Edit* e, LPCWSTR text) {
  e->text = text ? text : u"";
  if (!Multi(hwnd)) {
    size_t br = e->text.find_first_of(u"\r\n");
    if (br != std::u16string::npos) e->text.resize(br);
  }
  e->anchor = e->caret = 0;
  e->xOffset = 0;
  e->topLine = 0;
  e->modified = false;
  e->canUndo = false;
  UpdateCaret(hwnd, e);
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Edit* e = ctl::StateOf<Edit>(hwnd);
  switch (msg) {
    case WM_NCCREATE: {
      auto* st = new Edit;
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) st->text = cs->lpszName;
      ctl::SetState(hwnd, st);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_NCDESTROY:
      if (e && e->focused) DestroyCaret();
      delete e;
      ctl::SetState<Edit>(hwnd, nullptr);
      return 0;
  }
  if (!e) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      auto* m = reinterpret_cast<const MSG*>(lParam);
      if (Multi(hwnd) && (ctl::StyleOf(hwnd) & ES_WANTRETURN) && m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN)
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_SETTEXT:
      DefWindowProcW(hwnd, msg, wParam, lParam);
      SetText(hwnd, e, reinterpret_cast<LPCWSTR>(lParam));
      ctl::NotifyParent(hwnd, EN_UPDATE);
      ctl::NotifyParent(hwnd, EN_CHANGE);
      return TRUE;
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      int size = static_cast<int>(wParam);
      if (!out || size <= 0) return 0;
      int n = std::min(static_cast<int>(e->text.size()), size - 1);
      std::memcpy(out, e->text.data(), static_cast<size_t>(n) * sizeof(WCHAR));
      out[n] = 0;
      return n;
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(e->text.size());
    case EM_GETSEL:
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(SelMin(e));
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(SelMax(e));
      return MAKELONG(std::min(SelMin(e), 0xFFFF), std::min(SelMax(e), 0xFFFF));
    case EM_SETSEL: {
      int n = static_cast<int>(e->text.size());
      int a = static_cast<int>(static_cast<INT_PTR>(wParam)), b = static_cast<int>(lParam);
      if (a == -1) {
        e->anchor = e->caret;
      } else {
        if (b < 0 || b > n) b = n;
        if (a > n) a = n;
        e->anchor = a;
        e->caret = b;
      }
      UpdateCaret(hwnd, e);
      return 0;
    }
    case EM_REPLACESEL:
      Replace(hwnd, e, reinterpret_cast<LPCWSTR>(lParam) ? reinterpret_cast<LPCWSTR>(lParam) : u"", false, wParam != 0);
      return 0;
    case EM_LIMITTEXT:
      e->limit = wParam == 0 || wParam > static_cast<WPARAM>(kDefaultLimit) ? kDefaultLimit : static_cast<int>(wParam);
      return 0;
    case EM_GETLIMITTEXT:
      return e->limit;
    case EM_GETMODIFY:
      return e->modified;
    case EM_SETMODIFY:
      e->modified = wParam != 0;
      return 0;
    case EM_CANUNDO:
      return e->canUndo;
    case EM_EMPTYUNDOBUFFER:
      e->canUndo = false;
      return 0;
    case EM_UNDO:
      if (!e->canUndo) return FALSE;
      std::swap(e->text, e->undoText);
      std::swap(e->anchor, e->undoAnchor);
      std::swap(e->caret, e->undoCaret);
      e->anchor = std::min(e->anchor, static_cast<int>(e->text.size()));
      e->caret = std::min(e->caret, static_cast<int>(e->text.size()));
      UpdateCaret(hwnd, e);
      ctl::NotifyParent(hwnd, EN_UPDATE);
      ctl::NotifyParent(hwnd, EN_CHANGE);
      return TRUE;
    case EM_SETREADONLY: {
      DWORD style = ctl::StyleOf(hwnd);
      SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(wParam ? style | ES_READONLY : style & ~ES_READONLY));
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case EM_SETPASSWORDCHAR:
      e->password = static_cast<WCHAR>(wParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case EM_GETPASSWORDCHAR:
      return e->password ? e->password : ((ctl::StyleOf(hwnd) & ES_PASSWORD) ? u'*' : 0);
    case EM_GETLINECOUNT:
      return static_cast<LRESULT>(Lines(hwnd, e).size());
    case EM_LINEINDEX: {
      std::vector<VLine> lines = Lines(hwnd, e);
      int li = static_cast<int>(static_cast<INT_PTR>(wParam));
      if (li < 0) li = LineOf(lines, e->caret);
      return li < static_cast<int>(lines.size()) ? lines[static_cast<size_t>(li)].start : -1;
    }
    case EM_LINEFROMCHAR: {
      int idx = static_cast<int>(static_cast<INT_PTR>(wParam));
      return LineOf(Lines(hwnd, e), idx < 0 ? e->caret : std::min(idx, static_cast<int>(e->text.size())));
    }
    case EM_LINELENGTH: {
      std::vector<VLine> lines = Lines(hwnd, e);
      int idx = static_cast<int>(static_cast<INT_PTR>(wParam));
      return lines[static_cast<size_t>(LineOf(lines, idx < 0 ? e->caret : std::min(idx, static_cast<int>(e->text.size()))))].length;
    }
    case EM_GETLINE: {
      std::vector<VLine> lines = Lines(hwnd, e);
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!out || wParam >= lines.size()) return 0;
      int size = *reinterpret_cast<WORD*>(out);
      const VLine& l = lines[wParam];
      int n = std::min(size, l.length);
      std::memcpy(out, e->text.data() + l.start, static_cast<size_t>(n) * sizeof(WCHAR));
      return n;  // not terminated, as on the device
    }
    case EM_GETFIRSTVISIBLELINE:
      return Multi(hwnd) ? e->topLine : 0;
    case EM_GETRECT:
      if (lParam) {
        GetClientRect(hwnd, reinterpret_cast<RECT*>(lParam));
        auto* r = reinterpret_cast<RECT*>(lParam);
        r->left += Margin();
        r->right -= Margin();
      }
      return 0;
    case EM_SCROLLCARET:
      UpdateCaret(hwnd, e);
      return TRUE;
    case WM_CLEAR:
      if (!(ctl::StyleOf(hwnd) & ES_READONLY)) Replace(hwnd, e, u"", true);
      return 0;
    case WM_CUT:
      if (!(ctl::StyleOf(hwnd) & ES_READONLY)) {
        CopySelection(hwnd, e);
        Replace(hwnd, e, u"", true);
      }
      return 0;
    case WM_COPY:
      CopySelection(hwnd, e);
      return 0;
    case WM_PASTE:
      if (!(ctl::StyleOf(hwnd) & ES_READONLY)) Paste(hwnd, e);
      return 0;
    case WM_UNDO:
      return SendMessageW(hwnd, EM_UNDO, 0, 0);
    case WM_CHAR:
      Char(hwnd, e, static_cast<WCHAR>(wParam));
      return 0;
    case WM_KEYDOWN:
      KeyDown(hwnd, e, static_cast<UINT>(wParam));
      return 0;
    case WM_SETFOCUS:
      e->focused = true;
      CreateCaret(hwnd, nullptr, std::max(1, ScaleToScreenDpi(1)), DialogFontLineHeight());
      UpdateCaret(hwnd, e);
      ShowCaret(hwnd);
      ctl::NotifyParent(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      e->focused = false;
      e->tracking = false;
      DestroyCaret();
      InvalidateRect(hwnd, nullptr, TRUE);
      ctl::NotifyParent(hwnd, EN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != hwnd) SetFocus(hwnd);
      int at = HitTest(hwnd, e, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
      MoveCaret(hwnd, e, at, GetKeyState(VK_SHIFT) < 0);
      e->tracking = true;
      SetCapture(hwnd);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (e->tracking)
        MoveCaret(hwnd, e, HitTest(hwnd, e, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))), true);
      return 0;
    case WM_LBUTTONUP:
      if (e->tracking) {
        e->tracking = false;
        if (GetCapture() == hwnd) ReleaseCapture();
      }
      return 0;
    case WM_LBUTTONDBLCLK: {
      int at = HitTest(hwnd, e, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
      int a = at, b = at;
      auto word = [&](int i) { return e->text[static_cast<size_t>(i)] > u' '; };
      while (a > 0 && word(a - 1)) --a;
      while (b < static_cast<int>(e->text.size()) && word(b)) ++b;
      e->anchor = a;
      MoveCaret(hwnd, e, b, true);
      return 0;
    }
    case WM_SIZE:
      UpdateCaret(hwnd, e);
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(hwnd, e);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

namespace ctl {
void RegisterEditClass() { RegisterControlClass(WC_EDITW, &EditProc, true); }
}  // namespace ctl
