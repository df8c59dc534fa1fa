#include "platform/menu.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/engine_lock.h"
#include "platform/errors.h"
#include "platform/menu_internal.h"
#include "platform/menu_text.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/resources.h"
#include "platform/screen.h"
#include "platform/threads.h"

namespace {

struct Item {
  UINT flags = 0;
  UINT id = 0;
  std::u16string text;
  HMENU popup = nullptr;
};

struct Menu {
  bool bar = false;
  std::vector<Item> items;
  HMENU parent = nullptr;  // the menu holding this one as a pop-up
  int tracking = 0;        // levels open on screen now
};

struct Slot {
  Menu* menu = nullptr;
  WORD generation = 0;
};

// One lock for menus, tracking sessions and the automation record. Never
// held while a window procedure runs.
std::mutex& Mutex() {
  static auto* m = new std::mutex;
  return *m;
}
std::condition_variable& Changed() {
  static auto* c = new std::condition_variable;
  return *c;
}
std::vector<Slot>& Slots() {
  static auto* v = new std::vector<Slot>;
  return *v;
}

HMENU Encode(size_t index, WORD generation) {
  auto v = ((static_cast<std::uintptr_t>(generation) << 20) | static_cast<std::uintptr_t>(index + 1)) << 4;
  return reinterpret_cast<HMENU>(v);
}

// Mutex held.
Menu* FindMenu(HMENU h) {
  auto v = reinterpret_cast<std::uintptr_t>(h);
  if (!v || (v & 0xF)) return nullptr;
  v >>= 4;
  size_t index = (v & 0xFFFFF);
  WORD generation = static_cast<WORD>(v >> 20);
  if (index == 0 || index > Slots().size()) return nullptr;
  Slot& s = Slots()[index - 1];
  if (!s.menu || s.generation != generation) return nullptr;
  return s.menu;
}

Menu* FindOrFail(HMENU h) {
  Menu* m = FindMenu(h);
  if (!m) SetLastError(ERROR_INVALID_MENU_HANDLE);
  return m;
}

HMENU NewMenu(bool bar) {
  std::lock_guard<std::mutex> lk(Mutex());
  auto& slots = Slots();
  size_t index = slots.size();
  for (size_t i = 0; i < slots.size(); ++i)
    if (!slots[i].menu) {
      index = i;
      break;
    }
  if (index == slots.size()) {
    if (index >= 0xFFFFF) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    slots.push_back(Slot{});
  }
  Slot& s = slots[index];
  s.menu = new Menu;
  s.menu->bar = bar;
  s.generation = static_cast<WORD>(s.generation + 1);
  return Encode(index, s.generation);
}

// Mutex held. Frees the menu and the pop-ups it holds.
void FreeMenu(HMENU h) {
  Menu* m = FindMenu(h);
  if (!m) return;
  for (Item& it : m->items)
    if (it.popup) FreeMenu(it.popup);
  auto v = reinterpret_cast<std::uintptr_t>(h) >> 4;
  Slots()[(v & 0xFFFFF) - 1].menu = nullptr;
  delete m;
}

bool AnyTracking(Menu* m) {
  if (m->tracking) return true;
  for (Item& it : m->items)
    if (Menu* p = FindMenu(it.popup); p && AnyTracking(p)) return true;
  return false;
}

// Mutex held. The item named by `item` (position or command, searched
// depth first); sets *owner to the menu that holds it.
Item* LocateItem(Menu* m, UINT item, UINT flags, Menu** owner, size_t* position = nullptr) {
  if (flags & MF_BYPOSITION) {
    if (item >= m->items.size()) return nullptr;
    *owner = m;
    if (position) *position = item;
    return &m->items[item];
  }
  for (size_t i = 0; i < m->items.size(); ++i) {
    Item& it = m->items[i];
    if (!it.popup && !(it.flags & MF_SEPARATOR) && it.id == item) {
      *owner = m;
      if (position) *position = i;
      return &it;
    }
    if (it.popup)
      if (Menu* p = FindMenu(it.popup))
        if (Item* found = LocateItem(p, item, flags, owner, position)) return found;
  }
  return nullptr;
}

BOOL InsertItem(HMENU menu, size_t* at, UINT flags, UINT_PTR idOrPopup, LPCWSTR text, UINT position, UINT posFlags) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  if (!m) return FALSE;
  Item it;
  it.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
  if (flags & MF_POPUP) {
    HMENU sub = reinterpret_cast<HMENU>(idOrPopup);
    Menu* s = FindMenu(sub);
    if (!s || s == m || s->parent) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    s->parent = menu;
    it.popup = sub;
  } else if (!(flags & MF_SEPARATOR)) {
    it.id = static_cast<UINT>(idOrPopup);
  }
  if (text && !(flags & MF_SEPARATOR)) it.text = text;
  Menu* target = m;
  size_t index = m->items.size();
  if (at == nullptr) {
    if (posFlags & MF_BYPOSITION) {
      if (position < m->items.size()) index = position;
    } else {
      Menu* holder = nullptr;
      size_t p = 0;
      if (!LocateItem(m, position, MF_BYCOMMAND, &holder, &p)) {
        if (it.popup) FindMenu(it.popup)->parent = nullptr;
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
      }
      target = holder;
      index = p;
    }
  }
  target->items.insert(target->items.begin() + static_cast<std::ptrdiff_t>(index), std::move(it));
  return TRUE;
}

BOOL RemoveItem(HMENU menu, UINT position, UINT flags, bool destroy) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  if (!m) return FALSE;
  Menu* holder = nullptr;
  size_t p = 0;
  if (!LocateItem(m, position, flags, &holder, &p)) {
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return FALSE;
  }
  HMENU sub = holder->items[p].popup;
  holder->items.erase(holder->items.begin() + static_cast<std::ptrdiff_t>(p));
  if (Menu* s = FindMenu(sub)) {
    s->parent = nullptr;
    if (destroy) FreeMenu(sub);
  }
  return TRUE;
}

// ---- Tracking ----

struct Level {
  HMENU menu = nullptr;
  HWND hwnd = nullptr;
  RECT rect{};  // screen
  int hot = -1;
};

struct RequestState {
  menu_internal::ScriptAnswer answer{};
  bool done = false;
  bool ok = false;
};

struct Session {
  DWORD threadId = 0;
  HWND owner = nullptr;
  UINT flags = 0;
  std::vector<Level> levels;
  volatile BOOL finished = FALSE;
  UINT chosen = 0;
  bool penInside = false;
  // An automation request waiting for the menu thread.
  std::shared_ptr<RequestState> pending;
  HWND first = nullptr;  // the first level's window, for other threads
  size_t historyIndex = 0;
};

std::vector<Session*>& Sessions() {
  static auto* v = new std::vector<Session*>;
  return *v;
}
std::deque<menu_internal::TrackView>& HistoryStore() {
  static auto* v = new std::deque<menu_internal::TrackView>;
  return *v;
}
std::deque<menu_internal::ScriptAnswer>& Script() {
  static auto* v = new std::deque<menu_internal::ScriptAnswer>;
  return *v;
}

int ItemHeight() { return MenuTextHeight() + ScaleToScreenDpi(8); }
int SeparatorHeight() { return ScaleToScreenDpi(7); }
int CheckMargin() { return ScaleToScreenDpi(18); }
int ArrowMargin() { return ScaleToScreenDpi(16); }
int Border() { return 1; }

// Mutex held.
SIZE MeasureMenu(Menu* m) {
  int w = 0;
  int h = 0;
  for (const Item& it : m->items) {
    if (it.flags & MF_SEPARATOR) {
      h += SeparatorHeight();
      continue;
    }
    h += ItemHeight();
    w = std::max(w, MenuTextWidth(it.text));
  }
  w += CheckMargin() + ArrowMargin();
  w = std::max(w, ScaleToScreenDpi(60));
  if (m->items.empty()) h = ItemHeight() / 2;
  return SIZE{w + 2 * Border(), h + 2 * Border()};
}

// Mutex held. Item index at a client y, -1 for none or a separator.
int ItemAt(Menu* m, int y) {
  int top = 0;
  for (size_t i = 0; i < m->items.size(); ++i) {
    int h = (m->items[i].flags & MF_SEPARATOR) ? SeparatorHeight() : ItemHeight();
    if (y >= top && y < top + h) return (m->items[i].flags & MF_SEPARATOR) ? -1 : static_cast<int>(i);
    top += h;
  }
  return -1;
}

int ItemTop(Menu* m, int index) {
  int top = 0;
  for (int i = 0; i < index && i < static_cast<int>(m->items.size()); ++i)
    top += (m->items[static_cast<size_t>(i)].flags & MF_SEPARATOR) ? SeparatorHeight() : ItemHeight();
  return top;
}

bool Choosable(const Item& it) { return !(it.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)) && !it.popup; }

struct PaintData {
  HMENU menu;
  const int* hot;
  Session* session;
};

// Posted to the first level's window when an automation request waits:
// handled there or by the loop's filter, whichever comes first (a pump of
// automation may dispatch it outside the filter).
constexpr UINT kRequestMessage = WM_USER + 0x100;

void HandlePending(Session* s);
void PenInput(Session* s, UINT msg, HWND hwnd, LPARAM lParam);

LRESULT PopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    auto* data = reinterpret_cast<PaintData*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_MENU));
    std::vector<Item> items;
    int hot = -1;
    if (data) {
      std::lock_guard<std::mutex> lk(Mutex());
      if (Menu* m = FindMenu(data->menu)) items = m->items;
      hot = *data->hot;
    }
    int top = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      const Item& it = items[i];
      if (it.flags & MF_SEPARATOR) {
        RECT line{ScaleToScreenDpi(2), top + SeparatorHeight() / 2, rc.right - ScaleToScreenDpi(2),
                  top + SeparatorHeight() / 2 + 1};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
        top += SeparatorHeight();
        continue;
      }
      int h = ItemHeight();
      RECT row{0, top, rc.right, top + h};
      bool isHot = static_cast<int>(i) == hot;
      bool grayed = (it.flags & (MF_GRAYED | MF_DISABLED)) != 0;
      if (isHot) FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
      COLORREF color = grayed ? GetSysColor(COLOR_GRAYTEXT) : isHot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_MENUTEXT);
      int ty = top + (h - MenuTextHeight()) / 2;
      if (it.flags & MF_CHECKED) {
        // A tick in the margin.
        int w = CheckMargin(), cy = top + h / 2, u = std::max(1, w / 8);
        HPEN pen = CreatePen(PS_SOLID, std::max(1, u), color);
        HGDIOBJ old = SelectObject(dc, pen);
        POINT tick[3] = {{2 * u, cy}, {4 * u, cy + 2 * u}, {7 * u, cy - 3 * u}};
        Polyline(dc, tick, 3);
        SelectObject(dc, old);
        DeleteObject(pen);
      }
      MenuDrawText(dc, CheckMargin(), ty, it.text, color);
      if (it.popup) MenuDrawText(dc, rc.right - ArrowMargin() + ScaleToScreenDpi(4), ty, u">", color);
      top += h;
    }
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  // The stylus is captured by the first level, so its messages come here
  // however they are dispatched.
  if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP) {
    if (auto* data = reinterpret_cast<PaintData*>(GetWindowLongPtrW(hwnd, GWL_USERDATA)))
      PenInput(data->session, msg, hwnd, lParam);
    return 0;
  }
  if (msg == kRequestMessage) {
    if (auto* data = reinterpret_cast<PaintData*>(GetWindowLongPtrW(hwnd, GWL_USERDATA))) HandlePending(data->session);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

const WCHAR* kPopupClass = u"PopupMenuClass";

bool RegisterPopupClass() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &PopupProc;
    wc.lpszClassName = kPopupClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_MENU + 1));
    ok = RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  });
  return ok;
}

bool Overlaps(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

RECT PlaceMenu(SIZE size, UINT flags, int x, int y, const RECT* exclude) {
  int sw = GetSystemMetrics(SM_CXSCREEN);
  int sh = GetSystemMetrics(SM_CYSCREEN);
  int left = (flags & TPM_RIGHTALIGN) ? x - size.cx : (flags & TPM_CENTERALIGN) ? x - size.cx / 2 : x;
  int top = (flags & TPM_BOTTOMALIGN) ? y - size.cy : (flags & TPM_VCENTERALIGN) ? y - size.cy / 2 : y;
  // Off the bottom or right: open the other way from the point.
  if (top + size.cy > sh) top = y - size.cy;
  if (top < 0) top = std::min(y, sh - size.cy);
  if (left + size.cx > sw) left = x - size.cx;
  if (left < 0) left = std::min(x, sw - size.cx);
  RECT r{left, top, left + size.cx, top + size.cy};
  if (exclude && Overlaps(r, *exclude)) {
    if (flags & TPM_VERTICAL) {
      int below = exclude->bottom, above = exclude->top - size.cy;
      bool preferAbove = (flags & TPM_BOTTOMALIGN) != 0;
      bool fitsBelow = below + size.cy <= sh, fitsAbove = above >= 0;
      if (preferAbove ? fitsAbove || !fitsBelow : !fitsBelow && fitsAbove) top = above;
      else top = below;
    } else {
      int right = exclude->right, leftSide = exclude->left - size.cx;
      bool preferLeft = (flags & TPM_RIGHTALIGN) != 0;
      bool fitsRight = right + size.cx <= sw, fitsLeft = leftSide >= 0;
      if (preferLeft ? fitsLeft || !fitsRight : !fitsRight && fitsLeft) left = leftSide;
      else left = right;
    }
  }
  left = std::clamp(left, 0, std::max(0, sw - size.cx));
  top = std::clamp(top, 0, std::max(0, sh - size.cy));
  return RECT{left, top, left + size.cx, top + size.cy};
}

std::vector<menu_internal::ItemView> ViewOf(HMENU h) {
  std::vector<menu_internal::ItemView> out;
  Menu* m = FindMenu(h);
  if (!m) return out;
  for (const Item& it : m->items)
    out.push_back(menu_internal::ItemView{it.id, it.flags, it.text, it.popup ? ViewOf(it.popup) : std::vector<menu_internal::ItemView>{}});
  return out;
}

// Opens a level on screen (menu thread, no lock held).
bool OpenLevel(Session* s, HMENU menu, int position, RECT rect) {
  Level level;
  level.menu = menu;
  level.rect = rect;
  s->levels.push_back(level);
  Level& l = s->levels.back();
  auto* data = new PaintData{menu, &l.hot, s};
  // The paint data points into the level; keep the vector from moving.
  HWND owner = s->owner;
  HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kPopupClass, u"", WS_POPUP | WS_BORDER,
                           rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, owner, nullptr,
                           nullptr, nullptr);
  if (!w) {
    delete data;
    s->levels.pop_back();
    return false;
  }
  SetWindowLongPtrW(w, GWL_USERDATA, reinterpret_cast<LONG_PTR>(data));
  s->levels.back().hwnd = w;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    if (Menu* m = FindMenu(menu)) ++m->tracking;
  }
  (void)position;
  ShowWindow(w, SW_SHOWNA);
  return true;
}

void CloseLevel(Session* s) {
  Level l = s->levels.back();
  s->levels.pop_back();
  if (l.hwnd) {
    auto* data = reinterpret_cast<PaintData*>(GetWindowLongPtrW(l.hwnd, GWL_USERDATA));
    SetWindowLongPtrW(l.hwnd, GWL_USERDATA, 0);
    DestroyWindow(l.hwnd);
    delete data;
  }
  std::lock_guard<std::mutex> lk(Mutex());
  if (Menu* m = FindMenu(l.menu)) --m->tracking;
}

void SendInitPopup(Session* s, HMENU menu, int position) {
  if (!(s->flags & TPM_NONOTIFY) && IsWindow(s->owner))
    SendMessageW(s->owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(position, FALSE));
}

// Opens the pop-up of item `index` of the deepest level beside it.
bool OpenSubmenu(Session* s, int index) {
  Level& parent = s->levels.back();
  HMENU sub = nullptr;
  int itemTop = 0;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    Menu* m = FindMenu(parent.menu);
    if (!m || index < 0 || index >= static_cast<int>(m->items.size())) return false;
    sub = m->items[static_cast<size_t>(index)].popup;
    itemTop = ItemTop(m, index);
  }
  if (!sub || s->levels.size() >= s->levels.capacity()) return false;
  RECT parentRect = parent.rect;
  SendInitPopup(s, sub, index);
  SIZE size;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    Menu* m = FindMenu(sub);
    if (!m) return false;
    size = MeasureMenu(m);
  }
  int sw = GetSystemMetrics(SM_CXSCREEN);
  int left = parentRect.right;
  if (left + size.cx > sw) left = parentRect.left - size.cx;
  RECT r = PlaceMenu(size, TPM_LEFTALIGN | TPM_TOPALIGN, std::max(0, left), parentRect.top + Border() + itemTop, nullptr);
  return OpenLevel(s, sub, index, r);
}

void Finish(Session* s, UINT chosen) {
  s->chosen = chosen;
  s->finished = TRUE;
}

// Path of pop-up positions leading to an item, searched from `menu`. Mutex held.
bool FindPath(HMENU menu, const menu_internal::ScriptAnswer& want, std::vector<int>* path) {
  Menu* m = FindMenu(menu);
  if (!m) return false;
  for (size_t i = 0; i < m->items.size(); ++i) {
    const Item& it = m->items[i];
    bool match = want.kind == 0 ? (!it.popup && !(it.flags & MF_SEPARATOR) && it.id == want.id)
                                : (!(it.flags & MF_SEPARATOR) && menu_internal::PlainText(it.text) == menu_internal::PlainText(want.text));
    if (match && !it.popup) {
      path->push_back(static_cast<int>(i));
      return true;
    }
    if (it.popup) {
      path->push_back(static_cast<int>(i));
      if (FindPath(it.popup, want, path)) return true;
      path->pop_back();
    }
  }
  return false;
}

// Applies a choice as the user would make it: opens the pop-ups on the way
// (each announced with WM_INITMENUPOPUP), then picks the item if it is
// enabled. Menu thread, no lock held.
bool Apply(Session* s, const menu_internal::ScriptAnswer& a) {
  if (a.kind == 2) {
    Finish(s, 0);
    return true;
  }
  std::vector<int> path;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    if (!FindPath(s->levels.front().menu, a, &path)) return false;
  }
  while (s->levels.size() > 1) CloseLevel(s);
  for (size_t i = 0; i + 1 < path.size(); ++i)
    if (!OpenSubmenu(s, path[i])) return false;
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindMenu(s->levels.back().menu);
  if (!m || path.back() >= static_cast<int>(m->items.size())) return false;
  const Item& it = m->items[static_cast<size_t>(path.back())];
  if (!Choosable(it)) return false;
  Finish(s, it.id);
  return true;
}

// The deepest level under a screen point and the item there.
int HitLevel(Session* s, POINT p, int* item) {
  for (int i = static_cast<int>(s->levels.size()) - 1; i >= 0; --i) {
    Level& l = s->levels[static_cast<size_t>(i)];
    if (p.x >= l.rect.left && p.x < l.rect.right && p.y >= l.rect.top && p.y < l.rect.bottom) {
      std::lock_guard<std::mutex> lk(Mutex());
      Menu* m = FindMenu(l.menu);
      *item = m ? ItemAt(m, p.y - l.rect.top - Border()) : -1;
      return i;
    }
  }
  *item = -1;
  return -1;
}

void SetHot(Session* s, size_t level, int item) {
  Level& l = s->levels[level];
  if (l.hot == item) return;
  l.hot = item;
  InvalidateRect(l.hwnd, nullptr, FALSE);
}

// Item kinds for the deepest level's hot item.
void ActivateItem(Session* s, size_t level, int item) {
  while (s->levels.size() > level + 1) CloseLevel(s);
  bool popup = false;
  bool choosable = false;
  UINT id = 0;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    Menu* m = FindMenu(s->levels[level].menu);
    if (!m || item < 0 || item >= static_cast<int>(m->items.size())) return;
    const Item& it = m->items[static_cast<size_t>(item)];
    popup = it.popup != nullptr && !(it.flags & (MF_GRAYED | MF_DISABLED));
    choosable = Choosable(it);
    id = it.id;
  }
  if (popup) OpenSubmenu(s, item);
  else if (choosable) Finish(s, id);
}

void MoveHot(Session* s, int step) {
  Level& l = s->levels.back();
  std::vector<bool> selectable;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    Menu* m = FindMenu(l.menu);
    if (!m) return;
    for (const Item& it : m->items) selectable.push_back(!(it.flags & MF_SEPARATOR));
  }
  int n = static_cast<int>(selectable.size());
  if (n == 0) return;
  int at = l.hot;
  for (int k = 0; k < n; ++k) {
    at = at < 0 ? (step > 0 ? 0 : n - 1) : (at + step + n) % n;
    if (selectable[static_cast<size_t>(at)]) {
      SetHot(s, s->levels.size() - 1, at);
      return;
    }
  }
}

// An automation request, on the menu thread.
void HandlePending(Session* s) {
  std::unique_lock<std::mutex> lk(Mutex());
  std::shared_ptr<RequestState> r = std::move(s->pending);
  s->pending.reset();
  if (!r) return;
  lk.unlock();
  bool ok = !s->finished && Apply(s, r->answer);
  lk.lock();
  r->done = true;
  r->ok = ok;
  Changed().notify_all();
}

void PenInput(Session* s, UINT msg, HWND hwnd, LPARAM lParam) {
  if (s->finished) return;
  POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
  ClientToScreen(hwnd, &p);
  int item = -1;
  int level = HitLevel(s, p, &item);
  if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
    if (level < 0) {
      Finish(s, 0);  // a tap outside dismisses the menu and goes nowhere else
      return;
    }
    s->penInside = true;
  }
  if (level >= 0 && s->penInside) SetHot(s, static_cast<size_t>(level), item);
  if (msg == WM_LBUTTONUP) {
    bool inside = s->penInside;
    s->penInside = false;
    if (level >= 0 && inside && item >= 0) ActivateItem(s, static_cast<size_t>(level), item);
  }
}

// The loop's filter: keys for the menu (they are posted to the focus
// window, which keeps it while the menu is open), automation requests, and
// the end of the menu when its owner goes away.
bool Filter(Session* s, MSG* m) {
  HandlePending(s);
  if (s->finished) return true;
  if (!IsWindow(s->owner)) {
    Finish(s, 0);
    return true;
  }
  UINT msg = m->message;
  if (msg == WM_KEYDOWN) {
    switch (m->wParam) {
      case VK_UP: MoveHot(s, -1); break;
      case VK_DOWN: MoveHot(s, 1); break;
      case VK_LEFT:
        if (s->levels.size() > 1) CloseLevel(s);
        break;
      case VK_RIGHT:
      case VK_RETURN:
        if (s->levels.back().hot >= 0) ActivateItem(s, s->levels.size() - 1, s->levels.back().hot);
        break;
      case VK_ESCAPE:
        if (s->levels.size() > 1) CloseLevel(s);
        else Finish(s, 0);
        break;
      default: break;
    }
    return true;
  }
  if (msg == WM_KEYUP || msg == WM_CHAR || msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP) return true;
  return false;
}

}  // namespace

namespace menu_internal {

std::u16string PlainText(const std::u16string& text) { return MenuPlainText(text); }

bool Request(int kind, UINT id, const std::u16string& text, DWORD timeoutMs) {
  std::unique_lock<std::mutex> lk(Mutex());
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // Wait for a pop-up that is open and idle.
  Session* s = nullptr;
  if (!Changed().wait_until(lk, deadline, [&] {
        s = Sessions().empty() ? nullptr : Sessions().back();
        return s && !s->pending && !s->finished;
      }))
    return false;
  auto r = std::make_shared<RequestState>();
  r->answer = ScriptAnswer{kind, id, text};
  s->pending = r;
  HWND first = s->first;
  lk.unlock();
  PostMessageW(first, kRequestMessage, 0, 0);
  lk.lock();
  auto alive = [&] {
    auto& v = Sessions();
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  Changed().wait_until(lk, deadline, [&] { return r->done || !alive(); });
  if (!r->done && alive() && s->pending == r) s->pending.reset();
  return r->done && r->ok;
}

bool WaitOpen(DWORD timeoutMs, TrackView* view) {
  std::unique_lock<std::mutex> lk(Mutex());
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!Changed().wait_until(lk, deadline, [] { return !Sessions().empty() && !Sessions().back()->finished; }))
    return false;
  if (view) *view = HistoryStore()[Sessions().back()->historyIndex];
  return true;
}

std::vector<TrackView> History() {
  std::lock_guard<std::mutex> lk(Mutex());
  return std::vector<TrackView>(HistoryStore().begin(), HistoryStore().end());
}

void ClearHistory() {
  std::lock_guard<std::mutex> lk(Mutex());
  if (Sessions().empty()) HistoryStore().clear();
}

void AddScriptAnswer(const ScriptAnswer& answer) {
  std::lock_guard<std::mutex> lk(Mutex());
  Script().push_back(answer);
}

void ClearScript() {
  std::lock_guard<std::mutex> lk(Mutex());
  Script().clear();
}

}  // namespace menu_internal

HMENU CreateMenu() { return NewMenu(true); }
HMENU CreatePopupMenu() { return NewMenu(false); }

BOOL DestroyMenu(HMENU menu) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  if (!m) return FALSE;
  if (AnyTracking(m)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (Menu* p = FindMenu(m->parent)) {
    for (auto it = p->items.begin(); it != p->items.end(); ++it)
      if (it->popup == menu) {
        p->items.erase(it);
        break;
      }
  }
  FreeMenu(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  std::lock_guard<std::mutex> lk(Mutex());
  return FindMenu(menu) != nullptr;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  return InsertItem(menu, nullptr, flags, idOrPopup, text, 0xFFFFFFFFu, MF_BYPOSITION);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  return InsertItem(menu, nullptr, flags & ~MF_BYPOSITION, idOrPopup, text, position, flags & MF_BYPOSITION);
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return RemoveItem(menu, position, flags, false); }
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return RemoveItem(menu, position, flags, true); }

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  Menu* holder = nullptr;
  Item* it = m ? LocateItem(m, item, flags, &holder) : nullptr;
  if (!it) return 0xFFFFFFFFu;
  DWORD old = it->flags & MF_CHECKED;
  it->flags = (it->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  return old;
}

DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  Menu* holder = nullptr;
  Item* it = m ? LocateItem(m, item, flags, &holder) : nullptr;
  if (!it) return 0xFFFFFFFFu;
  DWORD old = it->flags & (MF_GRAYED | MF_DISABLED);
  it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return old;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  Menu* holder = nullptr;
  Item* it = m ? LocateItem(m, item, flags, &holder) : nullptr;
  if (!it) return 0xFFFFFFFFu;
  return it->flags;
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return 0xFFFFFFFFu;
  const Item& it = m->items[static_cast<size_t>(position)];
  return it.popup ? 0xFFFFFFFFu : it.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return nullptr;
  return m->items[static_cast<size_t>(position)].popup;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR text, int size, UINT flags) {
  std::lock_guard<std::mutex> lk(Mutex());
  Menu* m = FindOrFail(menu);
  Menu* holder = nullptr;
  Item* it = m ? LocateItem(m, item, flags, &holder) : nullptr;
  if (!it) return 0;
  int n = static_cast<int>(it->text.size());
  if (text && size > 0) {
    int copy = std::min(n, size - 1);
    std::copy_n(it->text.data(), copy, text);
    text[copy] = 0;
    return copy;
  }
  return n;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params) {
  if (!IsWindow(owner)) return FALSE;
  if (!RegisterPopupClass()) return FALSE;
  Session session;
  Session* s = &session;
  s->threadId = GetCurrentThreadId();
  s->owner = owner;
  s->flags = flags;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    if (!FindOrFail(menu)) return FALSE;
    for (Session* other : Sessions())
      if (other->threadId == s->threadId) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
      }
  }
  s->levels.reserve(16);  // levels are pointed at by their windows' paint data
  SendInitPopup(s, menu, 0);
  RECT rect;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    Menu* m = FindOrFail(menu);
    if (!m) return FALSE;
    rect = PlaceMenu(MeasureMenu(m), flags, x, y, params ? &params->rcExclude : nullptr);
  }
  if (!OpenLevel(s, menu, 0, rect)) return FALSE;
  HWND first = s->levels.front().hwnd;
  s->first = first;
  UpdateWindow(first);
  SetCapture(first);
  bool haveScript = false;
  menu_internal::ScriptAnswer answer{};
  {
    std::lock_guard<std::mutex> lk(Mutex());
    menu_internal::TrackView view;
    view.owner = owner;
    view.menu = menu;
    view.threadId = s->threadId;
    view.rect = rect;
    view.items = ViewOf(menu);
    HistoryStore().push_back(view);
    s->historyIndex = HistoryStore().size() - 1;
    if (!Script().empty()) {
      answer = Script().front();
      Script().pop_front();
      haveScript = true;
    } else {
      Sessions().push_back(s);
    }
    Changed().notify_all();
  }
  bool scriptFailed = false;
  if (haveScript) {
    if (!Apply(s, answer)) {
      scriptFailed = true;
      Finish(s, 0);
    }
  } else {
    // A modal loop: every level of the engine lock is let go while it runs
    // (the messages it dispatches take their own level).
    EngineLockReleaser unlocked;
    RunMessageLoopUntil(&s->finished, [s](MSG* m) { return Filter(s, m); });
  }
  if (GetCapture() == first) ReleaseCapture();
  while (!s->levels.empty()) CloseLevel(s);
  UINT chosen = s->chosen;
  {
    std::lock_guard<std::mutex> lk(Mutex());
    auto& v = Sessions();
    v.erase(std::remove(v.begin(), v.end(), s), v.end());
    auto& h = HistoryStore()[s->historyIndex];
    h.chosen = chosen;
    h.ended = true;
    h.scriptFailed = scriptFailed;
    Changed().notify_all();
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen && IsWindow(owner)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL EndMenu() {
  std::unique_lock<std::mutex> lk(Mutex());
  if (Sessions().empty()) return FALSE;
  Session* s = Sessions().back();
  auto r = std::make_shared<RequestState>();
  r->answer = menu_internal::ScriptAnswer{2, 0, {}};
  s->pending = r;
  HWND first = s->first;
  lk.unlock();
  PostMessageW(first, kRequestMessage, 0, 0);
  return TRUE;
}

// ---- Resources ----

namespace {

// Builds one level from items[*at..]; returns false on malformed data.
bool BuildLevel(HMENU menu, const MENU_RESOURCE_ITEM* items, size_t count, size_t* at, int depth) {
  if (depth > 16) return false;
  while (*at < count) {
    const MENU_RESOURCE_ITEM& r = items[(*at)++];
    UINT flags = r.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR);
    if (r.flags & MF_POPUP) {
      HMENU sub = CreatePopupMenu();
      if (!sub) return false;
      if (!BuildLevel(sub, items, count, at, depth + 1) ||
          !AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), r.text)) {
        DestroyMenu(sub);
        return false;
      }
    } else if (!AppendMenuW(menu, flags, r.id, r.text)) {
      return false;
    }
    if (r.flags & MF_END) return true;
  }
  return depth == 0;  // only the top level may end with the data
}

}  // namespace

HMENU LoadMenuIndirectW(const MENU_RESOURCE_ITEM* items, size_t count) {
  if (!items && count) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HMENU menu = CreateMenu();
  if (!menu) return nullptr;
  size_t at = 0;
  if (!BuildLevel(menu, items, count, &at, 0) || at != count) {
    DestroyMenu(menu);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return menu;
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  HRSRC res = FindResourceW(instance, name, RT_MENU);
  if (!res) return nullptr;
  const void* data = LockResource(LoadResource(instance, res));
  DWORD size = SizeofResource(instance, res);
  if (!data || size % sizeof(MENU_RESOURCE_ITEM)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadMenuIndirectW(static_cast<const MENU_RESOURCE_ITEM*>(data), size / sizeof(MENU_RESOURCE_ITEM));
}
