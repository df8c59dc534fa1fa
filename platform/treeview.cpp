#include "platform/treeview.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/controls.h"
#include "platform/menu_text.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/scrollbar.h"

namespace {

struct Node {
  UINT id = 0;
  Node* parent = nullptr;
  std::vector<Node*> children;
  std::u16string text;
  LPARAM param = 0;
  UINT state = 0;
  int childrenFlag = 0;
  int image = 0;
  int selectedImage = 0;
};

struct Tree {
  HWND hwnd = nullptr;
  Node root;
  std::unordered_map<UINT, std::unique_ptr<Node>> items;
  UINT nextId = 1;
  Node* caret = nullptr;
  int top = 0;  // index of the first shown row in the visible order
  HWND edit = nullptr;
  Node* editing = nullptr;
  WNDPROC editProc = nullptr;
  bool ending = false;
  Node* downItem = nullptr;  // item under the stylus at pen down
  UINT downHit = 0;
  bool downWasSelected = false;
};

Tree* TreeOf(HWND hwnd) { return reinterpret_cast<Tree*>(GetWindowLongPtrW(hwnd, 0)); }

HTREEITEM Handle(const Node* n) {
  return n ? reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(n->id) << 4) : nullptr;
}

Node* FindNode(Tree* t, HTREEITEM h) {
  auto v = reinterpret_cast<ULONG_PTR>(h);
  if (!v || (v & 0xF)) return nullptr;
  auto it = t->items.find(static_cast<UINT>(v >> 4));
  return it == t->items.end() ? nullptr : it->second.get();
}

bool IsSpecial(HTREEITEM h) { return h == TVI_ROOT || h == TVI_FIRST || h == TVI_LAST || h == TVI_SORT; }

DWORD Style(Tree* t) { return static_cast<DWORD>(GetWindowLongW(t->hwnd, GWL_STYLE)); }

bool HasChildren(const Node* n) { return !n->children.empty() || n->childrenFlag != 0; }
bool Expanded(const Node* n) { return (n->state & TVIS_EXPANDED) != 0; }

int RowHeight() { return std::max(MenuTextHeight(), ScaleToScreenDpi(13)) + ScaleToScreenDpi(4); }
int Indent() { return ScaleToScreenDpi(16); }

int Depth(const Node* n) {
  int d = 0;
  for (const Node* p = n->parent; p && p->parent; p = p->parent) ++d;
  return d;
}

void CollectVisible(const Node* n, std::vector<Node*>* out) {
  for (Node* c : n->children) {
    out->push_back(c);
    if (Expanded(c)) CollectVisible(c, out);
  }
}

std::vector<Node*> VisibleRows(Tree* t) {
  std::vector<Node*> rows;
  CollectVisible(&t->root, &rows);
  return rows;
}

int RowOf(Tree* t, const Node* n) {
  auto rows = VisibleRows(t);
  auto it = std::find(rows.begin(), rows.end(), n);
  return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

int PageRows(Tree* t) {
  RECT rc;
  GetClientRect(t->hwnd, &rc);
  return std::max(1, static_cast<int>(rc.bottom) / RowHeight());
}

void UpdateScroll(Tree* t) {
  int count = static_cast<int>(VisibleRows(t).size());
  int page = PageRows(t);
  t->top = std::clamp(t->top, 0, std::max(0, count - page));
  if (Style(t) & WS_VSCROLL) {
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, count - 1), static_cast<UINT>(page), t->top, 0};
    SetScrollInfo(t->hwnd, SB_VERT, &si, TRUE);
  }
  InvalidateRect(t->hwnd, nullptr, TRUE);
}

// Row geometry, client coordinates: where the button, the state icon and the label are.
struct RowLayout {
  RECT row, button, stateIcon, label;
};

RowLayout Layout(Tree* t, const Node* n, int rowIndex) {
  RowLayout l{};
  DWORD style = Style(t);
  int h = RowHeight();
  int y = (rowIndex - t->top) * h;
  RECT rc;
  GetClientRect(t->hwnd, &rc);
  l.row = RECT{0, y, rc.right, y + h};
  bool rootLines = (style & TVS_LINESATROOT) && (style & (TVS_HASLINES | TVS_HASBUTTONS));
  int x = (Depth(n) + (rootLines ? 1 : 0)) * Indent();
  l.button = RECT{x - Indent(), y, x, y + h};
  if (style & TVS_CHECKBOXES) {
    l.stateIcon = RECT{x, y, x + h, y + h};
    x += h;
  }
  int w = MenuTextWidth(n->text) + ScaleToScreenDpi(6);
  l.label = RECT{x, y, x + w, y + h};
  return l;
}

void FillItem(const Node* n, UINT mask, TVITEMW* item) {
  item->mask = mask;
  item->hItem = Handle(n);
  item->state = n ? n->state : 0;
  item->stateMask = 0xFFFFu;
  item->lParam = n ? n->param : 0;
  item->pszText = nullptr;
  item->cchTextMax = 0;
  item->iImage = n ? n->image : 0;
  item->iSelectedImage = n ? n->selectedImage : 0;
  item->cChildren = n ? (HasChildren(n) ? 1 : 0) : 0;
}

LRESULT Notify(Tree* t, NMHDR* hdr, UINT code) {
  hdr->hwndFrom = t->hwnd;
  hdr->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(t->hwnd));
  hdr->code = code;
  HWND parent = GetParent(t->hwnd);
  return parent ? SendNotify(parent, hdr) : 0;
}

LRESULT NotifyTree(Tree* t, UINT code, UINT action, const Node* oldItem, const Node* newItem) {
  NMTREEVIEWW nm{};
  nm.action = action;
  FillItem(oldItem, TVIF_HANDLE | TVIF_STATE | TVIF_PARAM, &nm.itemOld);
  FillItem(newItem, TVIF_HANDLE | TVIF_STATE | TVIF_PARAM, &nm.itemNew);
  return Notify(t, &nm.hdr, code);
}

void EnsureVisible(Tree* t, Node* n);

bool Expand(Tree* t, Node* n, UINT how, bool notify = true) {
  if (!n) return false;
  bool open = Expanded(n);
  bool want = how == TVE_TOGGLE ? !open : how == TVE_EXPAND;
  if ((how & 3) == 0) return false;
  if (want == open) return true;
  UINT action = want ? TVE_EXPAND : TVE_COLLAPSE;
  if (notify && HasChildren(n) && NotifyTree(t, TVN_ITEMEXPANDINGW, action, nullptr, n)) return false;
  if (want) n->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
  else n->state &= ~TVIS_EXPANDED;
  if (!want && t->caret) {
    // The selection cannot hide inside a collapsed item: it moves up to it.
    for (Node* p = t->caret->parent; p; p = p->parent)
      if (p == n) {
        t->caret->state &= ~TVIS_SELECTED;
        Node* old = t->caret;
        t->caret = n;
        n->state |= TVIS_SELECTED;
        NotifyTree(t, TVN_SELCHANGEDW, TVC_UNKNOWN, old, n);
        break;
      }
  }
  if (notify && HasChildren(n)) NotifyTree(t, TVN_ITEMEXPANDEDW, action, nullptr, n);
  UpdateScroll(t);
  return true;
}

void EnsureVisible(Tree* t, Node* n) {
  for (Node* p = n->parent; p && p->parent; p = p->parent)
    if (!Expanded(p)) Expand(t, p, TVE_EXPAND);
  int row = RowOf(t, n);
  if (row < 0) return;
  int page = PageRows(t);
  if (row < t->top) t->top = row;
  else if (row >= t->top + page) t->top = row - page + 1;
  UpdateScroll(t);
}

// Moves the selection; FALSE when the parent refused it.
bool Select(Tree* t, Node* n, UINT action) {
  if (n == t->caret) {
    if (n) EnsureVisible(t, n);
    return true;
  }
  if (NotifyTree(t, TVN_SELCHANGINGW, action, t->caret, n)) return false;
  Node* old = t->caret;
  if (old) old->state &= ~TVIS_SELECTED;
  t->caret = n;
  if (n) {
    n->state |= TVIS_SELECTED;
    EnsureVisible(t, n);
  }
  InvalidateRect(t->hwnd, nullptr, TRUE);
  NotifyTree(t, TVN_SELCHANGEDW, action, old, n);
  return true;
}

void EndEdit(Tree* t, bool cancel);

void DeleteNode(Tree* t, Node* n) {
  while (!n->children.empty()) DeleteNode(t, n->children.back());
  if (t->editing == n) EndEdit(t, true);
  NotifyTree(t, TVN_DELETEITEMW, 0, n, nullptr);
  auto& siblings = n->parent->children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), n), siblings.end());
  if (t->caret == n) t->caret = nullptr;
  t->items.erase(n->id);
}

bool DeleteItem(Tree* t, HTREEITEM h) {
  if (h == TVI_ROOT || !h) {
    if (t->editing) EndEdit(t, true);
    while (!t->root.children.empty()) DeleteNode(t, t->root.children.back());
    t->caret = nullptr;
    t->top = 0;
    UpdateScroll(t);
    return true;
  }
  Node* n = FindNode(t, h);
  if (!n) return false;
  // A selection inside the subtree moves to a neighbour that stays.
  bool caretInside = false;
  for (Node* p = t->caret; p; p = p->parent)
    if (p == n) caretInside = true;
  Node* next = nullptr;
  if (caretInside) {
    auto& sib = n->parent->children;
    auto it = std::find(sib.begin(), sib.end(), n);
    if (it + 1 != sib.end()) next = *(it + 1);
    else if (it != sib.begin()) next = *(it - 1);
    else if (n->parent != &t->root) next = n->parent;
  }
  Node* parent = n->parent;
  DeleteNode(t, n);
  if (parent != &t->root && parent->children.empty()) parent->state &= ~TVIS_EXPANDED;
  if (caretInside && next) Select(t, next, TVC_UNKNOWN);
  UpdateScroll(t);
  return true;
}

void ApplyItem(Tree* t, Node* n, const TVITEMW& item, bool inserting) {
  if (item.mask & TVIF_TEXT) n->text = item.pszText ? item.pszText : u"";
  if (item.mask & TVIF_PARAM) n->param = item.lParam;
  if (item.mask & TVIF_STATE) {
    UINT keep = TVIS_SELECTED;  // selection only through TVM_SELECTITEM
    UINT mask = item.stateMask & ~keep;
    n->state = (n->state & ~mask) | (item.state & mask);
  }
  if (item.mask & TVIF_CHILDREN) n->childrenFlag = item.cChildren;
  if (item.mask & TVIF_IMAGE) n->image = item.iImage;
  if (item.mask & TVIF_SELECTEDIMAGE) n->selectedImage = item.iSelectedImage;
  if (inserting && (Style(t) & TVS_CHECKBOXES) && STATEIMAGEMASKTOINDEX(n->state) == 0)
    n->state |= INDEXTOSTATEIMAGEMASK(1);
}

HTREEITEM Insert(Tree* t, const TVINSERTSTRUCTW* ins) {
  if (!ins) return nullptr;
  Node* parent = &t->root;
  if (ins->hParent && ins->hParent != TVI_ROOT) {
    parent = FindNode(t, ins->hParent);
    if (!parent) return nullptr;
  }
  auto& sib = parent->children;
  size_t at = sib.size();
  HTREEITEM after = ins->hInsertAfter;
  if (after == TVI_FIRST) {
    at = 0;
  } else if (after == TVI_SORT) {
    std::u16string text = (ins->item.mask & TVIF_TEXT) && ins->item.pszText ? ins->item.pszText : u"";
    at = 0;
    while (at < sib.size() && sib[at]->text <= text) ++at;
  } else if (after && after != TVI_LAST && !IsSpecial(after)) {
    Node* a = FindNode(t, after);
    auto it = std::find(sib.begin(), sib.end(), a);
    if (!a || it == sib.end()) return nullptr;
    at = static_cast<size_t>(it - sib.begin()) + 1;
  }
  auto node = std::make_unique<Node>();
  Node* n = node.get();
  n->id = t->nextId++;
  n->parent = parent;
  ApplyItem(t, n, ins->item, true);
  n->state &= ~TVIS_SELECTED;
  t->items[n->id] = std::move(node);
  sib.insert(sib.begin() + static_cast<std::ptrdiff_t>(at), n);
  UpdateScroll(t);
  return Handle(n);
}

BOOL GetItem(Tree* t, TVITEMW* item) {
  if (!item) return FALSE;
  Node* n = FindNode(t, item->hItem);
  if (!n) return FALSE;
  if (item->mask & TVIF_TEXT) {
    if (item->pszText && item->cchTextMax > 0) {
      int copy = std::min(static_cast<int>(n->text.size()), item->cchTextMax - 1);
      std::copy_n(n->text.data(), copy, item->pszText);
      item->pszText[copy] = 0;
    }
  }
  if (item->mask & TVIF_PARAM) item->lParam = n->param;
  if (item->mask & TVIF_STATE) item->state = n->state & (item->stateMask ? item->stateMask : 0xFFFFu);
  if (item->mask & TVIF_CHILDREN) item->cChildren = HasChildren(n) ? 1 : 0;
  if (item->mask & TVIF_IMAGE) item->iImage = n->image;
  if (item->mask & TVIF_SELECTEDIMAGE) item->iSelectedImage = n->selectedImage;
  return TRUE;
}

Node* NextItem(Tree* t, UINT how, Node* n) {
  switch (how) {
    case TVGN_ROOT: return t->root.children.empty() ? nullptr : t->root.children.front();
    case TVGN_CARET: return t->caret;
    case TVGN_FIRSTVISIBLE: {
      auto rows = VisibleRows(t);
      return t->top < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(t->top)] : nullptr;
    }
    case TVGN_LASTVISIBLE: {
      auto rows = VisibleRows(t);
      return rows.empty() ? nullptr : rows.back();
    }
    case TVGN_DROPHILITE: return nullptr;
    case TVGN_CHILD: {
      Node* p = n ? n : &t->root;
      return p->children.empty() ? nullptr : p->children.front();
    }
    default: break;
  }
  if (!n) return nullptr;
  switch (how) {
    case TVGN_PARENT: return n->parent == &t->root ? nullptr : n->parent;
    case TVGN_NEXT:
    case TVGN_PREVIOUS: {
      auto& sib = n->parent->children;
      auto it = std::find(sib.begin(), sib.end(), n);
      if (how == TVGN_NEXT) return it + 1 == sib.end() ? nullptr : *(it + 1);
      return it == sib.begin() ? nullptr : *(it - 1);
    }
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
      auto rows = VisibleRows(t);
      auto it = std::find(rows.begin(), rows.end(), n);
      if (it == rows.end()) return nullptr;
      if (how == TVGN_NEXTVISIBLE) return it + 1 == rows.end() ? nullptr : *(it + 1);
      return it == rows.begin() ? nullptr : *(it - 1);
    }
    default: return nullptr;
  }
}

UINT HitTest(Tree* t, POINT p, Node** out) {
  *out = nullptr;
  RECT rc;
  GetClientRect(t->hwnd, &rc);
  UINT flags = 0;
  if (p.x < 0) flags |= TVHT_TOLEFT;
  if (p.x >= rc.right) flags |= TVHT_TORIGHT;
  if (p.y < 0) flags |= TVHT_ABOVE;
  if (p.y >= rc.bottom) flags |= TVHT_BELOW;
  if (flags) return flags;
  auto rows = VisibleRows(t);
  int row = t->top + p.y / RowHeight();
  if (row < 0 || row >= static_cast<int>(rows.size())) return TVHT_NOWHERE;
  Node* n = rows[static_cast<size_t>(row)];
  *out = n;
  RowLayout l = Layout(t, n, row);
  auto in = [&](const RECT& r) { return p.x >= r.left && p.x < r.right; };
  if ((Style(t) & TVS_CHECKBOXES) && in(l.stateIcon)) return TVHT_ONITEMSTATEICON;
  if (in(l.label)) return TVHT_ONITEMLABEL;
  if ((Style(t) & TVS_HASBUTTONS) && HasChildren(n) && in(l.button)) return TVHT_ONITEMBUTTON;
  if (p.x < l.label.left) return TVHT_ONITEMINDENT;
  return TVHT_ONITEMRIGHT;
}

void ToggleCheck(Tree* t, Node* n) {
  UINT index = STATEIMAGEMASKTOINDEX(n->state) == 2 ? 1 : 2;
  n->state = (n->state & ~TVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(index);
  InvalidateRect(t->hwnd, nullptr, TRUE);
}

// ---- Label editing ----

LRESULT EditSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND treeWnd = GetParent(hwnd);
  Tree* t = treeWnd ? TreeOf(treeWnd) : nullptr;
  WNDPROC base = t && t->edit == hwnd ? t->editProc : nullptr;
  if (!base) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | CallWindowProcW(base, hwnd, msg, wParam, lParam);
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
        EndEdit(t, wParam == VK_ESCAPE);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) return 0;
      break;
    case WM_KILLFOCUS: {
      LRESULT r = CallWindowProcW(base, hwnd, msg, wParam, lParam);
      if (!t->ending) EndEdit(t, false);
      return r;
    }
    default: break;
  }
  return CallWindowProcW(base, hwnd, msg, wParam, lParam);
}

HWND BeginEdit(Tree* t, Node* n) {
  if (!n) return nullptr;
  if (t->edit) EndEdit(t, false);
  NMTVDISPINFOW di{};
  FillItem(n, TVIF_HANDLE | TVIF_STATE | TVIF_PARAM | TVIF_TEXT, &di.item);
  std::u16string text = n->text;
  di.item.pszText = text.data();
  di.item.cchTextMax = static_cast<int>(text.size()) + 1;
  if (Notify(t, &di.hdr, TVN_BEGINLABELEDITW)) return nullptr;
  if (!FindNode(t, Handle(n))) return nullptr;  // deleted by the parent meanwhile
  EnsureVisible(t, n);
  RegisterStandardControls();
  RowLayout l = Layout(t, n, RowOf(t, n));
  RECT rc;
  GetClientRect(t->hwnd, &rc);
  HWND edit = CreateWindowExW(0, WC_EDITW, n->text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                              l.label.left, l.label.top, std::max<int>(rc.right - l.label.left, ScaleToScreenDpi(40)),
                              l.label.bottom - l.label.top, t->hwnd, nullptr, nullptr, nullptr);
  if (!edit) return nullptr;
  t->edit = edit;
  t->editing = n;
  t->editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&EditSubclassProc)));
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SetFocus(edit);
  return edit;
}

void EndEdit(Tree* t, bool cancel) {
  if (!t->edit || t->ending) return;
  t->ending = true;
  HWND edit = t->edit;
  Node* n = t->editing;
  std::u16string text;
  int len = GetWindowTextLengthW(edit);
  text.resize(static_cast<size_t>(len) + 1);
  GetWindowTextW(edit, text.data(), len + 1);
  text.resize(static_cast<size_t>(len));
  NMTVDISPINFOW di{};
  FillItem(n, TVIF_HANDLE | TVIF_PARAM | TVIF_TEXT, &di.item);
  di.item.mask = TVIF_TEXT;
  di.item.pszText = cancel ? nullptr : text.data();
  di.item.cchTextMax = cancel ? 0 : len + 1;
  bool hadFocus = GetFocus() == edit;
  LRESULT keep = Notify(t, &di.hdr, TVN_ENDLABELEDITW);
  if (!cancel && keep && FindNode(t, Handle(n))) n->text = text;
  t->edit = nullptr;
  t->editing = nullptr;
  if (IsWindow(edit)) {
    SetWindowLongPtrW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(t->editProc));
    DestroyWindow(edit);
  }
  t->editProc = nullptr;
  t->ending = false;
  if (hadFocus && IsWindow(t->hwnd)) SetFocus(t->hwnd);
  InvalidateRect(t->hwnd, nullptr, TRUE);
}

// ---- Painting ----

void DrawCheck(HDC dc, RECT box, bool checked) {
  int inset = box.bottom - box.top >= 16 ? (box.bottom - box.top) / 5 : 2;
  RECT r{box.left + inset, box.top + inset, box.right - inset, box.bottom - inset};
  FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOWTEXT));
  RECT in{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  FillRect(dc, &in, GetSysColorBrush(COLOR_WINDOW));
  if (!checked) return;
  HPEN pen = CreatePen(PS_SOLID, std::max(1, (r.right - r.left) / 7), GetSysColor(COLOR_WINDOWTEXT));
  HGDIOBJ old = SelectObject(dc, pen);
  int w = r.right - r.left, h = r.bottom - r.top;
  POINT pts[3] = {{r.left + w / 5, r.top + h / 2}, {r.left + w * 2 / 5, r.bottom - h / 4}, {r.right - w / 5, r.top + h / 5}};
  Polyline(dc, pts, 3);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void DrawButton(HDC dc, RECT cell, bool expanded) {
  int s = std::min(cell.right - cell.left, cell.bottom - cell.top) / 2;
  int cx = (cell.left + cell.right) / 2, cy = (cell.top + cell.bottom) / 2;
  RECT box{cx - s / 2, cy - s / 2, cx - s / 2 + s, cy - s / 2 + s};
  FillRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
  RECT in{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
  FillRect(dc, &in, GetSysColorBrush(COLOR_WINDOW));
  RECT dash{box.left + 2, cy, box.right - 2, cy + 1};
  FillRect(dc, &dash, GetSysColorBrush(COLOR_WINDOWTEXT));
  if (!expanded) {
    RECT bar{cx, box.top + 2, cx + 1, box.bottom - 2};
    FillRect(dc, &bar, GetSysColorBrush(COLOR_WINDOWTEXT));
  }
}

void Paint(Tree* t) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(t->hwnd, &ps);
  RECT rc;
  GetClientRect(t->hwnd, &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
  DWORD style = Style(t);
  bool focused = GetFocus() == t->hwnd || (t->edit && GetFocus() == t->edit);
  auto rows = VisibleRows(t);
  int page = PageRows(t) + 1;
  for (int i = t->top; i < static_cast<int>(rows.size()) && i < t->top + page; ++i) {
    Node* n = rows[static_cast<size_t>(i)];
    RowLayout l = Layout(t, n, i);
    if ((style & TVS_HASBUTTONS) && HasChildren(n) && l.button.left >= 0) DrawButton(dc, l.button, Expanded(n));
    if (style & TVS_CHECKBOXES) DrawCheck(dc, l.stateIcon, STATEIMAGEMASKTOINDEX(n->state) == 2);
    bool selected = n == t->caret && (focused || (style & TVS_SHOWSELALWAYS));
    COLORREF color = GetSysColor(COLOR_WINDOWTEXT);
    if (selected) {
      FillRect(dc, &l.label, GetSysColorBrush(COLOR_HIGHLIGHT));
      color = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    if (n != t->editing)
      MenuDrawText(dc, l.label.left + ScaleToScreenDpi(3), l.label.top + (l.label.bottom - l.label.top - MenuTextHeight()) / 2,
                   n->text, color);
  }
  EndPaint(t->hwnd, &ps);
}

// ---- Input ----

void KeyDown(Tree* t, UINT vk) {
  NMTVKEYDOWN kd{};
  kd.wVKey = static_cast<WORD>(vk);
  Notify(t, &kd.hdr, TVN_KEYDOWN);
  Node* c = t->caret;
  auto rows = VisibleRows(t);
  switch (vk) {
    case VK_UP:
    case VK_DOWN: {
      if (rows.empty()) return;
      int at = c ? RowOf(t, c) : -1;
      int next = at < 0 ? 0 : std::clamp(at + (vk == VK_DOWN ? 1 : -1), 0, static_cast<int>(rows.size()) - 1);
      Select(t, rows[static_cast<size_t>(next)], TVC_BYKEYBOARD);
      break;
    }
    case VK_HOME:
      if (!rows.empty()) Select(t, rows.front(), TVC_BYKEYBOARD);
      break;
    case VK_END:
      if (!rows.empty()) Select(t, rows.back(), TVC_BYKEYBOARD);
      break;
    case VK_LEFT:
      if (c && Expanded(c) && HasChildren(c)) Expand(t, c, TVE_COLLAPSE);
      else if (c && c->parent != &t->root) Select(t, c->parent, TVC_BYKEYBOARD);
      break;
    case VK_RIGHT:
      if (c && HasChildren(c) && !Expanded(c)) Expand(t, c, TVE_EXPAND);
      else if (c && !c->children.empty()) Select(t, c->children.front(), TVC_BYKEYBOARD);
      break;
    case VK_SPACE:
      if (c && (Style(t) & TVS_CHECKBOXES)) ToggleCheck(t, c);
      break;
    case VK_RETURN: {
      NMHDR hdr{};
      Notify(t, &hdr, NM_RETURN);
      break;
    }
    case VK_F1 + 1:  // F2
      if (c && (Style(t) & TVS_EDITLABELS)) BeginEdit(t, c);
      break;
    default: break;
  }
}

void PenDown(Tree* t, POINT p) {
  if (t->edit) EndEdit(t, false);
  SetFocus(t->hwnd);
  Node* n = nullptr;
  UINT hit = HitTest(t, p, &n);
  t->downItem = n;
  t->downHit = hit;
  t->downWasSelected = n && n == t->caret;
  if (!n) return;
  if (hit == TVHT_ONITEMBUTTON) {
    Expand(t, n, TVE_TOGGLE);
    return;
  }
  if (hit == TVHT_ONITEMLABEL || hit == TVHT_ONITEMSTATEICON || hit == TVHT_ONITEMICON || hit == TVHT_ONITEMRIGHT ||
      hit == TVHT_ONITEMINDENT)
    Select(t, n, TVC_BYMOUSE);
}

void PenUp(Tree* t, POINT p) {
  Node* n = nullptr;
  UINT hit = HitTest(t, p, &n);
  bool same = n && n == t->downItem && hit == t->downHit;
  Node* down = t->downItem;
  t->downItem = nullptr;
  if (!same) return;
  NMHDR hdr{};
  LRESULT handled = Notify(t, &hdr, NM_CLICK);
  if (!FindNode(t, Handle(down))) return;
  if (hit == TVHT_ONITEMSTATEICON && (Style(t) & TVS_CHECKBOXES) && !handled) ToggleCheck(t, down);
  else if (hit == TVHT_ONITEMLABEL && t->downWasSelected && (Style(t) & TVS_EDITLABELS)) BeginEdit(t, down);
}

LRESULT TreeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Tree* t = TreeOf(hwnd);
  if (!t && msg != WM_NCCREATE) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCCREATE: {
      t = new Tree;
      t->hwnd = hwnd;
      SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(t));
      break;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, 0, 0);
      delete t;
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_PAINT: Paint(t); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: UpdateScroll(t); break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN: KeyDown(t, static_cast<UINT>(wParam)); return 0;
    case WM_LBUTTONDOWN:
      PenDown(t, POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
      return 0;
    case WM_LBUTTONUP:
      PenUp(t, POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
      return 0;
    case WM_LBUTTONDBLCLK: {
      Node* n = nullptr;
      UINT hit = HitTest(t, POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}, &n);
      NMHDR hdr{};
      if (!Notify(t, &hdr, NM_DBLCLK) && n && (hit == TVHT_ONITEMLABEL || hit == TVHT_ONITEMICON)) Expand(t, n, TVE_TOGGLE);
      return 0;
    }
    case WM_VSCROLL: {
      int count = static_cast<int>(VisibleRows(t).size());
      int page = PageRows(t);
      switch (LOWORD(wParam)) {
        case SB_LINEUP: --t->top; break;
        case SB_LINEDOWN: ++t->top; break;
        case SB_PAGEUP: t->top -= page; break;
        case SB_PAGEDOWN: t->top += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: t->top = static_cast<SHORT>(HIWORD(wParam)); break;
        case SB_TOP: t->top = 0; break;
        case SB_BOTTOM: t->top = count; break;
        default: break;
      }
      UpdateScroll(t);
      return 0;
    }
    case WM_COMMAND: return 0;  // the label editor's EN_* notifications stay here
    case TVM_INSERTITEMW: return reinterpret_cast<LRESULT>(Insert(t, reinterpret_cast<const TVINSERTSTRUCTW*>(lParam)));
    case TVM_DELETEITEM: return DeleteItem(t, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETITEMW: return GetItem(t, reinterpret_cast<TVITEMW*>(lParam));
    case TVM_SETITEMW: {
      auto* item = reinterpret_cast<const TVITEMW*>(lParam);
      Node* n = item ? FindNode(t, item->hItem) : nullptr;
      if (!n) return FALSE;
      ApplyItem(t, n, *item, false);
      UpdateScroll(t);
      return TRUE;
    }
    case TVM_GETITEMSTATE: {
      Node* n = FindNode(t, reinterpret_cast<HTREEITEM>(wParam));
      return n ? static_cast<LRESULT>(n->state & static_cast<UINT>(lParam)) : 0;
    }
    case TVM_GETNEXTITEM: {
      auto h = reinterpret_cast<HTREEITEM>(lParam);
      Node* n = FindNode(t, h);
      if (h && h != TVI_ROOT && !n) return 0;
      return reinterpret_cast<LRESULT>(Handle(NextItem(t, static_cast<UINT>(wParam), n)));
    }
    case TVM_SELECTITEM: {
      auto h = reinterpret_cast<HTREEITEM>(lParam);
      Node* n = FindNode(t, h);
      if (h && !n) return FALSE;
      if (wParam == TVGN_CARET) return Select(t, n, TVC_UNKNOWN);
      if (wParam == TVGN_FIRSTVISIBLE && n) {
        EnsureVisible(t, n);
        t->top = RowOf(t, n);
        UpdateScroll(t);
        return TRUE;
      }
      return wParam == TVGN_DROPHILITE;
    }
    case TVM_ENSUREVISIBLE: {
      Node* n = FindNode(t, reinterpret_cast<HTREEITEM>(lParam));
      if (!n) return FALSE;
      EnsureVisible(t, n);
      return TRUE;
    }
    case TVM_EXPAND: return Expand(t, FindNode(t, reinterpret_cast<HTREEITEM>(lParam)), static_cast<UINT>(wParam));
    case TVM_GETCOUNT: return static_cast<LRESULT>(t->items.size());
    case TVM_GETINDENT: return Indent();
    case TVM_GETVISIBLECOUNT: return PageRows(t);
    case TVM_HITTEST: {
      auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
      if (!info) return 0;
      Node* n = nullptr;
      info->flags = HitTest(t, info->pt, &n);
      info->hItem = Handle(n);
      return reinterpret_cast<LRESULT>(info->hItem);
    }
    case TVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r) return FALSE;
      HTREEITEM h;
      static_assert(sizeof(RECT) >= sizeof(HTREEITEM));
      std::memcpy(&h, r, sizeof(h));
      Node* n = FindNode(t, h);
      int row = n ? RowOf(t, n) : -1;
      if (row < t->top || row > t->top + PageRows(t)) return FALSE;  // collapsed away or scrolled out
      RowLayout l = Layout(t, n, row);
      *r = wParam ? l.label : l.row;
      return TRUE;
    }
    case TVM_EDITLABELW: return reinterpret_cast<LRESULT>(BeginEdit(t, FindNode(t, reinterpret_cast<HTREEITEM>(lParam))));
    case TVM_GETEDITCONTROL: return reinterpret_cast<LRESULT>(t->edit);
    case TVM_ENDEDITLABELNOW:
      if (!t->edit) return FALSE;
      EndEdit(t, wParam != 0);
      return TRUE;
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterTreeViewClass() {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &TreeProc;
  wc.cbWndExtra = sizeof(void*);
  wc.lpszClassName = WC_TREEVIEWW;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_WINDOW + 1));
  RegisterClassW(&wc);  // a second registration is refused, which is fine
}
