// The window manager: classes, the window tree, creation and destruction,
// positions, z-order, properties, focus, capture and activation.
#include "platform/window.h"

#include <algorithm>
#include <cstring>

#include <unistd.h>

#include "platform/caret.h"
#include "platform/errors.h"
#include "platform/ipc.h"
#include "platform/resources.h"
#include "platform/screen.h"
#include "platform/threads.h"
#include "platform/window_internal.h"

namespace wm {

State& S() {
  static State* state = new State;  // never destroyed: windows may outlive static destruction
  return *state;
}

// ---- Handles: (generation << 17) | (slot << 1); bit 0 always clear ----

Window* Find(HWND hwnd) {
  auto v = reinterpret_cast<std::uintptr_t>(hwnd);
  if (v == 0 || (v & 1) != 0) return nullptr;
  std::uintptr_t slot = (v >> 1) & 0xFFFF;
  std::uintptr_t gen = v >> 17;
  State& s = S();
  if (slot >= s.slots.size() || s.slots[slot] == nullptr || s.generations[slot] != gen) return nullptr;
  return s.slots[slot];
}

Window* FindMasked(HWND hwnd) {
  return Find(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(hwnd) & ~std::uintptr_t{1}));
}

Window* FindOrFail(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

HWND AllocHandle(Window* window) {
  State& s = S();
  DWORD slot;
  if (!s.freeSlots.empty()) {
    slot = s.freeSlots.front();
    s.freeSlots.erase(s.freeSlots.begin());
  } else {
    if (s.slots.size() >= 0xFFFF) return nullptr;
    slot = static_cast<DWORD>(s.slots.size());
    s.slots.push_back(nullptr);
    s.generations.push_back(0);
  }
  WORD gen = static_cast<WORD>((s.generations[slot] % 0x7FFF) + 1);
  s.generations[slot] = gen;
  s.slots[slot] = window;
  return reinterpret_cast<HWND>((static_cast<std::uintptr_t>(gen) << 17) | (static_cast<std::uintptr_t>(slot) << 1));
}

void FreeHandle(HWND hwnd) {
  auto v = reinterpret_cast<std::uintptr_t>(hwnd);
  DWORD slot = static_cast<DWORD>((v >> 1) & 0xFFFF);
  State& s = S();
  s.slots[slot] = nullptr;
  // Slots are reused oldest first so a stale handle stays refused for long.
  s.freeSlots.push_back(slot);
}

bool SameName(const std::u16string& a, LPCWSTR b) {
  if (!b) return false;
  size_t i = 0;
  for (; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (y == 0) return false;
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return b[i] == 0;
}

std::u16string ToU16(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

// ---- Geometry ----

bool RectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (RectEmpty(r)) r = RECT{0, 0, 0, 0};
  return r;
}
RECT Union(const RECT& a, const RECT& b) {
  if (RectEmpty(a)) return b;
  if (RectEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}
bool PtIn(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

RECT NonClientInsets(const Window* w) {
  RECT in{0, 0, 0, 0};
  if (w->style & (WS_BORDER | WS_DLGFRAME)) in = RECT{1, 1, 1, 1};
  if ((w->style & WS_CAPTION) == WS_CAPTION) in.top += GetSystemMetrics(SM_CYCAPTION);
  if (w->bars[SB_VERT].visible) in.right += GetSystemMetrics(SM_CXVSCROLL);
  if (w->bars[SB_HORZ].visible) in.bottom += GetSystemMetrics(SM_CYHSCROLL);
  return in;
}

int ClientWidth(const Window* w) {
  RECT in = NonClientInsets(w);
  return std::max<LONG>(0, w->rect.right - w->rect.left - in.left - in.right);
}
int ClientHeight(const Window* w) {
  RECT in = NonClientInsets(w);
  return std::max<LONG>(0, w->rect.bottom - w->rect.top - in.top - in.bottom);
}

Window* TopLevelOf(Window* w) {
  while (w && w->parent) w = Find(w->parent);
  return w;
}

POINT WindowOriginInSurface(Window* w) {
  if (!w->parent) return POINT{0, 0};
  Window* p = Find(w->parent);
  if (!p) return POINT{0, 0};
  POINT o = ClientOriginInSurface(p);
  return POINT{o.x + w->rect.left, o.y + w->rect.top};
}

POINT ClientOriginInSurface(Window* w) {
  POINT o = WindowOriginInSurface(w);
  RECT in = NonClientInsets(w);
  return POINT{o.x + in.left, o.y + in.top};
}

RECT VisibleClientInSurface(Window* w) {
  POINT o = ClientOriginInSurface(w);
  RECT r{o.x, o.y, o.x + ClientWidth(w), o.y + ClientHeight(w)};
  for (Window* p = w->parent ? Find(w->parent) : nullptr; p; p = p->parent ? Find(p->parent) : nullptr) {
    POINT po = ClientOriginInSurface(p);
    r = Intersect(r, RECT{po.x, po.y, po.x + ClientWidth(p), po.y + ClientHeight(p)});
  }
  return r;
}

POINT ClientOriginOnScreen(Window* w) {
  Window* top = TopLevelOf(w);
  POINT o = ClientOriginInSurface(w);
  return POINT{o.x + top->rect.left, o.y + top->rect.top};
}

bool IsVisibleLocked(Window* w) {
  for (; w; w = w->parent ? Find(w->parent) : nullptr)
    if (!(w->style & WS_VISIBLE)) return false;
  return true;
}

bool IsDescendantLocked(HWND ancestor, HWND hwnd) {
  Window* w = Find(hwnd);
  while (w && w->parent) {
    if (w->parent == ancestor) return true;
    w = Find(w->parent);
  }
  return false;
}

namespace {

std::vector<HWND>* SiblingList(Window* w) {
  if (w->parent) {
    Window* p = Find(w->parent);
    return p ? &p->children : nullptr;
  }
  return &S().topLevels;
}

void Unlink(Window* w) {
  std::vector<HWND>* list = SiblingList(w);
  if (!list) return;
  list->erase(std::remove(list->begin(), list->end(), w->handle), list->end());
}

// Index of the first non-topmost top-level window.
size_t TopmostBandEnd() {
  State& s = S();
  size_t i = 0;
  while (i < s.topLevels.size()) {
    Window* t = Find(s.topLevels[i]);
    if (!t || !(t->exStyle & WS_EX_TOPMOST)) break;
    ++i;
  }
  return i;
}

void InsertTopLevelAtTop(Window* w) {
  State& s = S();
  s.topLevels.erase(std::remove(s.topLevels.begin(), s.topLevels.end(), w->handle), s.topLevels.end());
  size_t at = (w->exStyle & WS_EX_TOPMOST) ? 0 : TopmostBandEnd();
  s.topLevels.insert(s.topLevels.begin() + static_cast<std::ptrdiff_t>(at), w->handle);
}

// Brings a top-level window and the windows it owns to the top of its band,
// owned windows above their owner.
void BringToTopLocked(Window* w) {
  if (w->parent) {
    Window* p = Find(w->parent);
    if (!p) return;
    p->children.erase(std::remove(p->children.begin(), p->children.end(), w->handle), p->children.end());
    p->children.insert(p->children.begin(), w->handle);
    return;
  }
  InsertTopLevelAtTop(w);
  std::vector<HWND> owned;
  for (HWND h : S().topLevels) {
    Window* o = Find(h);
    if (o && o->owner == w->handle) owned.push_back(h);
  }
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
    Window* o = Find(*it);
    if (o) BringToTopLocked(o);
  }
  MarkScreenDirty();
}

void SetZOrderLocked(Window* w, HWND after) {
  auto v = reinterpret_cast<std::intptr_t>(after);
  if (!w->parent) {
    if (v == -1) w->exStyle |= WS_EX_TOPMOST;
    if (v == -2) w->exStyle &= ~WS_EX_TOPMOST;
  }
  if (v == 0 || v == -1 || v == -2) {
    BringToTopLocked(w);
    return;
  }
  std::vector<HWND>* list = SiblingList(w);
  if (!list) return;
  list->erase(std::remove(list->begin(), list->end(), w->handle), list->end());
  if (v == 1) {
    list->push_back(w->handle);
  } else {
    auto it = std::find(list->begin(), list->end(), after);
    if (it == list->end()) list->insert(list->begin(), w->handle);
    else list->insert(it + 1, w->handle);
  }
  if (!w->parent) MarkScreenDirty();
}

WindowClass* FindClassLocked(LPCWSTR name) {
  if (!name) return nullptr;
  auto v = reinterpret_cast<std::uintptr_t>(name);
  for (WindowClass* c : S().classes) {
    if (v <= 0xFFFF ? c->atom == v : SameName(c->name, name)) return c;
  }
  return nullptr;
}

LRESULT SendChanged(HWND hwnd, const WINDOWPOS& pos) {
  WINDOWPOS copy = pos;
  return SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&copy));
}

// WM_DESTROY parent first.
void SendDestroyTree(HWND hwnd) {
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  std::vector<HWND> kids;
  {
    Lock lk(S().mutex);
    if (Window* w = Find(hwnd)) kids = w->children;
  }
  for (HWND k : kids) SendDestroyTree(k);
}

void MarkDestroying(Window* w) {
  w->destroying = true;
  for (HWND k : w->children)
    if (Window* c = Find(k)) MarkDestroying(c);
}

// WM_NCDESTROY children first, then the handle dies.
void NcDestroyTree(HWND hwnd) {
  std::vector<HWND> kids;
  {
    Lock lk(S().mutex);
    if (Window* w = Find(hwnd)) kids = w->children;
  }
  for (HWND k : kids) NcDestroyTree(k);
  SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
  CaretWindowDestroyed(hwnd);
  ClipboardWindowDestroyed(hwnd);
  IpcUnpublish(hwnd);
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  if (!w) return;
  State& s = S();
  KillTimersOf(hwnd);
  if (s.focus == hwnd) s.focus = nullptr;
  if (s.capture == hwnd) s.capture = nullptr;
  if (s.active == hwnd) s.active = nullptr;
  if (s.track.hwnd == hwnd) s.track = ScrollTrack{};
  if (s.lastDownWindow == hwnd) s.lastDownWindow = nullptr;
  if (w->queue) {
    auto& q = w->queue->posted;
    q.erase(std::remove_if(q.begin(), q.end(), [&](const MSG& m) { return m.hwnd == hwnd; }), q.end());
  }
  Unlink(w);
  if (w->surface) DestroySurface(w->surface);
  if (w->cls) w->cls->windows--;
  FreeHandle(hwnd);
  delete w;
}

}  // namespace

void ActivateNext(HWND leaving) {
  HWND next = nullptr;
  {
    Lock lk(S().mutex);
    State& s = S();
    if (s.active != leaving) return;
    Window* lw = Find(leaving);
    HWND owner = lw ? lw->owner : nullptr;
    Window* ow = Find(owner);
    if (ow && !ow->destroying && IsVisibleLocked(ow) && !(ow->style & WS_DISABLED)) {
      next = owner;
    } else {
      for (HWND h : s.topLevels) {
        Window* t = Find(h);
        if (h == leaving || !t || t->destroying || !(t->style & WS_VISIBLE) || (t->style & WS_DISABLED)) continue;
        if (t->exStyle & WS_EX_NOACTIVATE) continue;
        next = h;
        break;
      }
    }
  }
  if (next) {
    ActivateWindow(next, WA_ACTIVE);
    return;
  }
  HWND focus;
  {
    Lock lk(S().mutex);
    S().active = nullptr;
    focus = S().focus;
    S().focus = nullptr;
  }
  SendMessageW(leaving, WM_ACTIVATE, WA_INACTIVE, 0);
  if (focus) SendMessageW(focus, WM_KILLFOCUS, 0, 0);
}

void ActivateWindow(HWND hwnd, int how) {
  HWND old;
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w) return;
    w = TopLevelOf(w);
    hwnd = w->handle;
    BringToTopLocked(w);
    old = S().active;
    if (old == hwnd) return;
    S().active = hwnd;
  }
  if (old) SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
  {
    Lock lk(S().mutex);
    if (S().active != hwnd) return;  // someone activated another window meanwhile
  }
  SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(old));
}

}  // namespace wm

using namespace wm;

// ---- Classes ----

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Lock lk(S().mutex);
  if (FindClassLocked(wc->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto* c = new WindowClass;
  c->atom = S().nextAtom++;
  c->name = wc->lpszClassName;
  c->style = wc->style;
  c->proc = wc->lpfnWndProc;
  c->wndExtra = std::max(0, wc->cbWndExtra);
  c->instance = wc->hInstance;
  c->brush = wc->hbrBackground;
  S().classes.push_back(c);
  return c->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  Lock lk(S().mutex);
  WindowClass* c = FindClassLocked(className);
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (c->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  auto& v = S().classes;
  v.erase(std::remove(v.begin(), v.end(), c), v.end());
  delete c;
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* wc) {
  Lock lk(S().mutex);
  WindowClass* c = FindClassLocked(className);
  if (!c || !wc) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *wc = WNDCLASSW{c->style, c->proc, 0, c->wndExtra, c->instance, nullptr, nullptr, c->brush, nullptr, className};
  return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR name, int size) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w || !name || size <= 0) return 0;
  std::u16string n = w->cls ? w->cls->name : std::u16string(u"#remote");
  int count = std::min<int>(static_cast<int>(n.size()), size - 1);
  std::memcpy(name, n.data(), static_cast<size_t>(count) * sizeof(WCHAR));
  name[count] = 0;
  return count;
}

// ---- Creation ----

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  ThreadQueue* queue = CurrentQueue();
  HWND hwnd;
  bool wantVisible = (style & WS_VISIBLE) != 0;
  {
    Lock lk(S().mutex);
    WindowClass* cls = FindClassLocked(className);
    if (!cls) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    Window* parentWindow = nullptr;
    if (parent) {
      parentWindow = Find(parent);
      if (!parentWindow || parentWindow->remote || parentWindow->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
      }
    }
    if ((style & WS_CHILD) && !parentWindow) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    auto* w = new Window;
    w->cls = cls;
    w->proc = cls->proc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->instance = instance;
    w->extra.assign(static_cast<size_t>(cls->wndExtra), 0);
    w->queue = queue;
    w->threadId = queue->threadId;
    if (style & WS_CHILD) {
      w->parent = parent;
      w->id = reinterpret_cast<LONG_PTR>(menu);
      if (x == CW_USEDEFAULT) x = y = 0;
      if (width == CW_USEDEFAULT) width = height = 0;
    } else {
      w->owner = parentWindow ? TopLevelOf(parentWindow)->handle : nullptr;
      RECT work{};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      if (x == CW_USEDEFAULT) x = work.left, y = work.top;
      if (width == CW_USEDEFAULT) width = work.right - work.left, height = work.bottom - work.top;
    }
    w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    // A scroll-bar style shows the bar until the program sets a range that fits.
    for (int bar : {SB_HORZ, SB_VERT}) {
      if (!(style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL))) continue;
      w->bars[bar].visible = true;
      w->bars[bar].max = 100;
    }
    hwnd = AllocHandle(w);
    if (!hwnd) {
      delete w;
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    w->handle = hwnd;
    cls->windows++;
    if (w->parent) {
      parentWindow->children.push_back(hwnd);  // new children go to the bottom
    } else {
      w->surface = CreateSurface(std::max(1, width), std::max(1, height));
      InsertTopLevelAtTop(w);
    }
  }
  CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), windowName, className,
                   exStyle};
  if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  LRESULT created = SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
  if (!IsWindow(hwnd)) return nullptr;
  if (created == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  int cw, ch;
  POINT origin;
  bool topLevel;
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    cw = ClientWidth(w);
    ch = ClientHeight(w);
    RECT in = NonClientInsets(w);
    origin = POINT{w->rect.left + in.left, w->rect.top + in.top};
    topLevel = w->parent == nullptr;
  }
  SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cw, ch));
  SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
  if (!IsWindow(hwnd)) return nullptr;
  if (topLevel) IpcPublish(hwnd);
  if (wantVisible) ShowWindow(hwnd, SW_SHOW);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  HWND parent = nullptr;
  bool wasVisible = false;
  std::vector<HWND> owned;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return FALSE;
    if (w->remote) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->threadId != CurrentQueue()->threadId) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return FALSE;
    MarkDestroying(w);
    wasVisible = IsVisibleLocked(w);
    parent = w->parent;
    for (HWND h : S().topLevels) {
      Window* o = Find(h);
      if (o && o->owner == hwnd) owned.push_back(h);
    }
    if (S().capture && (S().capture == hwnd || IsDescendantLocked(hwnd, S().capture))) S().capture = nullptr;
    if (S().track.hwnd && (S().track.hwnd == hwnd || IsDescendantLocked(hwnd, S().track.hwnd))) S().track = ScrollTrack{};
  }
  for (HWND o : owned) DestroyWindow(o);
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w) return TRUE;
    if (wasVisible) InvalidateCoveredLocked(w);
    w->style &= ~WS_VISIBLE;
  }
  ActivateNext(hwnd);
  {
    // Focus inside a dying window goes nowhere.
    Lock lk(S().mutex);
    if (S().focus && (S().focus == hwnd || IsDescendantLocked(hwnd, S().focus))) S().focus = nullptr;
  }
  SendDestroyTree(hwnd);
  NcDestroyTree(hwnd);
  (void)parent;
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  Lock lk(S().mutex);
  return Find(hwnd) != nullptr;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
      Lock lk(S().mutex);
      if (Window* w = Find(hwnd); w && cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
      return TRUE;
    }
    case WM_SETTEXT: {
      bool republish;
      {
        Lock lk(S().mutex);
        Window* w = Find(hwnd);
        if (!w) return FALSE;
        w->text = ToU16(reinterpret_cast<LPCWSTR>(lParam));
        if ((w->style & WS_CAPTION) == WS_CAPTION) w->ncDirty = true;  // the caption shows the title
        republish = w->published;
        w->published = false;
      }
      // Other processes find windows by title: publish under the new one.
      if (republish) {
        IpcUnpublish(hwnd);
        IpcPublish(hwnd);
      }
      return TRUE;
    }
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      int size = static_cast<int>(wParam);
      Lock lk(S().mutex);
      Window* w = Find(hwnd);
      if (!w || !out || size <= 0) return 0;
      int n = std::min<int>(static_cast<int>(w->text.size()), size - 1);
      std::memcpy(out, w->text.data(), static_cast<size_t>(n) * sizeof(WCHAR));
      out[n] = 0;
      return n;
    }
    case WM_GETTEXTLENGTH: {
      Lock lk(S().mutex);
      Window* w = Find(hwnd);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush;
      {
        Lock lk(S().mutex);
        Window* w = Find(hwnd);
        if (!w || !w->cls || !w->cls->brush) return 0;
        brush = w->cls->brush;
      }
      auto dc = reinterpret_cast<HDC>(wParam);
      RECT box;
      if (GetClipBox(dc, &box) == ERROR) return 0;
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, brush);
      return 1;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != hwnd && !IsChild(hwnd, focus)) SetFocus(hwnd);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONUP:
      ScrollBarNcMessage(hwnd, msg, wParam, POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
      return 0;
    case WM_NCHITTEST: {
      POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      Lock lk(S().mutex);
      Window* w = Find(hwnd);
      if (!w) return HTNOWHERE;
      Window* top = TopLevelOf(w);
      POINT o = WindowOriginInSurface(w);
      POINT local{p.x - top->rect.left - o.x, p.y - top->rect.top - o.y};
      RECT in = NonClientInsets(w);
      RECT client{in.left, in.top, in.left + ClientWidth(w), in.top + ClientHeight(w)};
      if (PtIn(client, local)) return HTCLIENT;
      if (PtIn(ScrollBarRect(w, SB_VERT), local)) return HTVSCROLL;
      if (PtIn(ScrollBarRect(w, SB_HORZ), local)) return HTHSCROLL;
      if ((w->style & WS_CAPTION) == WS_CAPTION && local.y < in.top && local.y >= 1) return HTCAPTION;
      return HTBORDER;
    }
    case WM_GETDLGCODE:
      return 0;
    default:
      return 0;
  }
}

// ---- Tree ----

HWND GetWindow(HWND hwnd, UINT relation) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (relation == GW_OWNER) return w->owner;
  std::vector<HWND>* list = SiblingList(w);
  if (!list || list->empty()) return nullptr;
  auto it = std::find(list->begin(), list->end(), hwnd);
  switch (relation) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return (it == list->end() || it + 1 == list->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == list->end() || it == list->begin()) ? nullptr : *(it - 1);
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

HWND GetParent(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w) return nullptr;
  return w->parent ? w->parent : w->owner;
}

HWND SetParent(HWND child, HWND newParent) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(child);
  Window* p = newParent ? FindOrFail(newParent) : nullptr;
  if (!w || (newParent && !p) || newParent == child || (newParent && IsDescendantLocked(child, newParent))) return nullptr;
  HWND old = w->parent;
  if (!old || !p) {
    SetLastError(ERROR_INVALID_PARAMETER);  // only children move between parents
    return nullptr;
  }
  InvalidateCoveredLocked(w);
  Unlink(w);
  w->parent = newParent;
  p->children.insert(p->children.begin(), child);
  InvalidateLocked(w, nullptr, true);
  w->ncDirty = true;
  return old;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  Lock lk(S().mutex);
  return parent && IsDescendantLocked(parent, hwnd);
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w) return nullptr;
  if (flags == GA_PARENT) return w->parent;
  Window* top = TopLevelOf(w);
  if (flags == GA_ROOT) return top->handle;
  while (top->owner) {
    Window* o = Find(top->owner);
    if (!o) break;
    top = o;
  }
  return top->handle;
}

namespace {
void CollectDescendants(Window* w, std::vector<HWND>* out) {
  for (HWND k : w->children) {
    out->push_back(k);
    if (Window* c = Find(k)) CollectDescendants(c, out);
  }
}
}  // namespace

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> all;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(parent);
    if (!w || !proc) return FALSE;
    CollectDescendants(w, &all);
  }
  for (HWND h : all) {
    if (!IsWindow(h)) continue;
    if (!proc(h, lParam)) break;
  }
  return TRUE;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> all;
  {
    Lock lk(S().mutex);
    for (HWND h : S().topLevels)
      if (Window* w = Find(h); w && !w->foreign) all.push_back(h);
  }
  for (HWND h : all) {
    if (!IsWindow(h)) continue;
    if (!proc(h, lParam)) break;
  }
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(dialog);
  if (!w) return nullptr;
  for (HWND k : w->children)
    if (Window* c = Find(k); c && static_cast<int>(c->id) == id) return k;
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  return w && w->parent ? static_cast<int>(w->id) : 0;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  {
    Lock lk(S().mutex);
    for (HWND h : S().topLevels) {
      Window* w = Find(h);
      if (!w || w->destroying || w->remote || !w->cls) continue;
      if (w->foreign && (!className || !windowName)) continue;
      if (className && !SameName(w->cls->name, className)) continue;
      if (windowName && w->text != windowName) continue;
      return h;
    }
  }
  if (!className) return nullptr;
  return FindRemoteWindow(className, windowName);
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w) return 0;
  if (processId) *processId = static_cast<DWORD>(w->remote ? 0 : ::getpid());
  return w->threadId;
}

// ---- Longs, text, properties ----

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWL_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWL_USERDATA: return w->userdata;
    default: break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  LONG_PTR v;
  std::memcpy(&v, w->extra.data() + index, sizeof v);
  return v;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  HWND redraw = nullptr;
  LONG_PTR old = 0;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return 0;
    switch (index) {
      case GWL_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        if (value) w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
      case GWL_ID: old = w->id; w->id = value; return old;
      case GWL_USERDATA: old = w->userdata; w->userdata = value; return old;
      case GWL_EXSTYLE: old = static_cast<LONG_PTR>(w->exStyle); w->exStyle = static_cast<DWORD>(value); return old;
      case GWL_STYLE: {
        old = static_cast<LONG_PTR>(w->style);
        // Visibility changes go through ShowWindow; frame bits take effect now.
        DWORD keep = w->style & WS_VISIBLE;
        w->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | keep;
        w->ncDirty = true;
        redraw = hwnd;
        break;
      }
      case GWL_HINSTANCE: old = reinterpret_cast<LONG_PTR>(w->instance); w->instance = reinterpret_cast<HINSTANCE>(value); return old;
      default:
        if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return 0;
        }
        std::memcpy(&old, w->extra.data() + index, sizeof old);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        return old;
    }
  }
  if (redraw) InvalidateRect(redraw, nullptr, TRUE);
  return old;
}

LONG GetWindowLongW(HWND hwnd, int index) {
  if (index >= 0) {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) return 0;
    LONG v;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
  }
  return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  if (index >= 0) {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) return 0;
    LONG old;
    std::memcpy(&old, w->extra.data() + index, sizeof old);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
  }
  return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int GetWindowTextW(HWND hwnd, LPWSTR text, int size) {
  if (!text || size <= 0) return 0;
  text[0] = 0;
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w || !name) return FALSE;
  for (auto& p : w->props)
    if (SameName(p.first, name)) {
      p.second = data;
      return TRUE;
    }
  w->props.emplace_back(name, data);
  return TRUE;
}

HANDLE GetPropW(HWND hwnd, LPCWSTR name) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  if (!w || !name) return nullptr;
  for (auto& p : w->props)
    if (SameName(p.first, name)) return p.second;
  return nullptr;
}

HANDLE RemovePropW(HWND hwnd, LPCWSTR name) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  if (!w || !name) return nullptr;
  for (auto it = w->props.begin(); it != w->props.end(); ++it)
    if (SameName(it->first, name)) {
      HANDLE h = it->second;
      w->props.erase(it);
      return h;
    }
  return nullptr;
}

// ---- Position, size, visibility ----

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  WINDOWPOS pos{};
  bool moved = false, sized = false, activate = false, showChange = false, hideActive = false;
  int cw = 0, ch = 0;
  POINT clientOrigin{};
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w || w->remote) return FALSE;
    RECT old = w->rect;
    RECT nr = old;
    if (!(flags & SWP_NOMOVE)) {
      nr.left = x;
      nr.top = y;
      nr.right = x + (old.right - old.left);
      nr.bottom = y + (old.bottom - old.top);
    }
    if (!(flags & SWP_NOSIZE)) {
      nr.right = nr.left + std::max(0, cx);
      nr.bottom = nr.top + std::max(0, cy);
    }
    int oldCw = ClientWidth(w), oldCh = ClientHeight(w);
    RECT oldIn = NonClientInsets(w);
    POINT oldClient{old.left + oldIn.left, old.top + oldIn.top};
    bool wasVisible = IsVisibleLocked(w);
    bool geometry = nr.left != old.left || nr.top != old.top || nr.right != old.right || nr.bottom != old.bottom;
    if (geometry && wasVisible && !(flags & SWP_NOREDRAW)) InvalidateCoveredLocked(w);
    w->rect = nr;
    if (!(flags & SWP_NOZORDER)) SetZOrderLocked(w, insertAfter);
    if ((flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE)) {
      w->style |= WS_VISIBLE;
      showChange = true;
    }
    if ((flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE)) {
      if (!(flags & SWP_NOREDRAW)) InvalidateCoveredLocked(w);
      w->style &= ~WS_VISIBLE;
      showChange = true;
      hideActive = S().active == hwnd;
    }
    if (w->surface && (nr.right - nr.left != old.right - old.left || nr.bottom - nr.top != old.bottom - old.top))
      ResizeSurface(w->surface, std::max<LONG>(1, nr.right - nr.left), std::max<LONG>(1, nr.bottom - nr.top));
    if (flags & SWP_FRAMECHANGED) w->ncDirty = true;
    cw = ClientWidth(w);
    ch = ClientHeight(w);
    RECT in = NonClientInsets(w);
    clientOrigin = POINT{nr.left + in.left, nr.top + in.top};
    moved = clientOrigin.x != oldClient.x || clientOrigin.y != oldClient.y;
    sized = cw != oldCw || ch != oldCh;
    if ((geometry || showChange) && IsVisibleLocked(w) && !(flags & SWP_NOREDRAW)) {
      w->ncDirty = true;
      InvalidateLocked(w, nullptr, true);
    }
    if (!w->parent) MarkScreenDirty();
    activate = !w->parent && !(flags & SWP_NOACTIVATE) && IsVisibleLocked(w) && !(w->exStyle & WS_EX_NOACTIVATE) &&
               !w->foreign && S().active != hwnd;
    pos = WINDOWPOS{hwnd, insertAfter, static_cast<int>(nr.left), static_cast<int>(nr.top),
                    static_cast<int>(nr.right - nr.left), static_cast<int>(nr.bottom - nr.top),
                    flags | (moved ? 0u : SWP_NOMOVE) | (sized ? 0u : SWP_NOSIZE)};
  }
  if (activate) ActivateWindow(hwnd, WA_ACTIVE);
  SendChanged(hwnd, pos);
  if (moved) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(clientOrigin.x, clientOrigin.y));
  if (sized) SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cw, ch));
  if (hideActive) ActivateNext(hwnd);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) {
  return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL ShowWindow(HWND hwnd, int command) {
  bool was, show = command != SW_HIDE;
  bool topLevel, canActivate;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w || w->remote) return FALSE;
    was = (w->style & WS_VISIBLE) != 0;
    topLevel = w->parent == nullptr;
    canActivate = topLevel && !(w->exStyle & WS_EX_NOACTIVATE) && command != SW_SHOWNA &&
                  command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE && command != SW_MINIMIZE;
  }
  if (show == was) {
    if (show && canActivate) ActivateWindow(hwnd, WA_ACTIVE);
    return was;
  }
  SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  WINDOWPOS pos{};
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w) return was;
    if (show) {
      w->style |= WS_VISIBLE;
      w->ncDirty = true;
      if (IsVisibleLocked(w)) InvalidateLocked(w, nullptr, true);
    } else {
      if (IsVisibleLocked(w)) InvalidateCoveredLocked(w);
      w->style &= ~WS_VISIBLE;
    }
    if (!w->parent) MarkScreenDirty();
    pos = WINDOWPOS{hwnd, nullptr, static_cast<int>(w->rect.left), static_cast<int>(w->rect.top),
                    static_cast<int>(w->rect.right - w->rect.left), static_cast<int>(w->rect.bottom - w->rect.top),
                    SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW)};
  }
  SendChanged(hwnd, pos);
  if (show && canActivate) ActivateWindow(hwnd, WA_ACTIVE);
  if (!show && topLevel) ActivateNext(hwnd);
  return was;
}

BOOL IsWindowVisible(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  return w && IsVisibleLocked(w);
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  bool wasDisabled;
  bool loseFocus = false;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable) w->style &= ~WS_DISABLED;
    else w->style |= WS_DISABLED;
    loseFocus = !enable && S().focus && (S().focus == hwnd || IsDescendantLocked(hwnd, S().focus));
    if (!enable && S().capture == hwnd) S().capture = nullptr;
  }
  if (loseFocus) SetFocus(nullptr);
  SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  return w && !(w->style & WS_DISABLED);
}

// ---- Coordinates ----

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w || !rect || w->remote) return FALSE;
  Window* top = TopLevelOf(w);
  POINT o = WindowOriginInSurface(w);
  LONG x = top->rect.left + o.x, y = top->rect.top + o.y;
  *rect = RECT{x, y, x + (w->rect.right - w->rect.left), y + (w->rect.bottom - w->rect.top)};
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w || !rect || w->remote) return FALSE;
  *rect = RECT{0, 0, ClientWidth(w), ClientHeight(w)};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w || !point || w->remote) return FALSE;
  POINT o = ClientOriginOnScreen(w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w || !point || w->remote) return FALSE;
  POINT o = ClientOriginOnScreen(w);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  Lock lk(S().mutex);
  POINT a{0, 0}, b{0, 0};
  if (from) {
    Window* w = FindOrFail(from);
    if (!w) return 0;
    a = ClientOriginOnScreen(w);
  }
  if (to) {
    Window* w = FindOrFail(to);
    if (!w) return 0;
    b = ClientOriginOnScreen(w);
  }
  LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<SHORT>(dx), static_cast<SHORT>(dy));
}

namespace {
// The deepest enabled visible window at a point given in w's client
// coordinates; w itself when no child is there (or the child is disabled).
Window* DeepestAt(Window* w, POINT p) {
  for (HWND k : w->children) {
    Window* c = Find(k);
    if (!c || !(c->style & WS_VISIBLE) || c->destroying || !PtIn(c->rect, p)) continue;
    if (c->style & WS_DISABLED) return w;
    RECT in = NonClientInsets(c);
    return DeepestAt(c, POINT{p.x - c->rect.left - in.left, p.y - c->rect.top - in.top});
  }
  return w;
}
}  // namespace

HWND WindowFromPoint(POINT point) {
  Lock lk(S().mutex);
  for (HWND h : S().topLevels) {
    Window* t = Find(h);
    if (!t || !(t->style & WS_VISIBLE) || t->destroying || !PtIn(t->rect, point)) continue;
    if (t->style & WS_DISABLED) return h;
    RECT in = NonClientInsets(t);
    return DeepestAt(t, POINT{point.x - t->rect.left - in.left, point.y - t->rect.top - in.top})->handle;
  }
  return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(parent);
  if (!w) return nullptr;
  if (point.x < 0 || point.y < 0 || point.x >= ClientWidth(w) || point.y >= ClientHeight(w)) return nullptr;
  for (HWND k : w->children) {
    Window* c = Find(k);
    if (c && PtIn(c->rect, point)) return k;
  }
  return parent;
}

// ---- Focus, capture, activation ----

HWND SetFocus(HWND hwnd) {
  HWND old;
  if (hwnd) {
    HWND top;
    {
      Lock lk(S().mutex);
      Window* w = FindOrFail(hwnd);
      if (!w || w->remote) return nullptr;
      if (w->style & WS_DISABLED) return nullptr;
      top = TopLevelOf(w)->handle;
      old = S().focus;
      if (old == hwnd) return old;
    }
    if (GetActiveWindow() != top) ActivateWindow(top, WA_ACTIVE);
  }
  {
    Lock lk(S().mutex);
    old = S().focus;
    if (old == hwnd) return old;
    if (hwnd && !Find(hwnd)) return nullptr;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  {
    Lock lk(S().mutex);
    if (hwnd && !Find(hwnd)) {
      S().focus = nullptr;
      return old;
    }
    S().focus = hwnd;
  }
  if (hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() {
  Lock lk(S().mutex);
  return S().focus;
}

HWND SetCapture(HWND hwnd) {
  HWND old;
  {
    Lock lk(S().mutex);
    if (!FindOrFail(hwnd)) return nullptr;
    old = S().capture;
    S().capture = hwnd;
  }
  if (old && old != hwnd) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  HWND old;
  {
    Lock lk(S().mutex);
    old = S().capture;
    S().capture = nullptr;
  }
  if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  Lock lk(S().mutex);
  return S().capture;
}

HWND SetActiveWindow(HWND hwnd) {
  HWND old = GetActiveWindow();
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w || w->remote) return nullptr;
  }
  ActivateWindow(hwnd, WA_ACTIVE);
  return old;
}

HWND GetActiveWindow() {
  Lock lk(S().mutex);
  return S().active;
}

BOOL SetForegroundWindow(HWND hwnd) {
  HWND h;
  {
    Lock lk(S().mutex);
    Window* w = FindMasked(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (w->remote) return FALSE;
    h = TopLevelOf(w)->handle;
  }
  ActivateWindow(h, WA_ACTIVE);
  return TRUE;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

HWND GetForegroundKeyboardTarget() {
  Lock lk(S().mutex);
  HWND active = S().active;
  if (S().focus && (S().focus == active || IsDescendantLocked(active, S().focus))) return S().focus;
  return active;
}

BOOL MarkForeignWindow(HWND hwnd) {
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w || w->parent) return FALSE;
    w->foreign = true;
    w->published = false;
  }
  IpcUnpublish(hwnd);  // another program's window is not ours to offer
  return TRUE;
}

BOOL IsForeignWindow(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  return w && w->foreign;
}
