#include "toolkit/control_list.h"

#include <algorithm>

#include "platform/core.h"
#include "toolkit/app_context.h"
#include "toolkit/control_capturebox.h"
#include "toolkit/text_service.h"

PopupListRecord PopupListWindow{};

namespace {

constexpr const WCHAR* kListProperty = u"SorviListInfo";

// The rows inside the frame: inset by one pixel on each side with a border.
ShortRect UsableRect(const ListState* s) {
  ShortRect u = s->rect;
  if (s->border) {
    u.x = static_cast<int16_t>(u.x + 1);
    u.y = static_cast<int16_t>(u.y + 1);
    u.width = u.width >= 2 ? static_cast<uint16_t>(u.width - 2) : 0;
    u.height = u.height >= 2 ? static_cast<uint16_t>(u.height - 2) : 0;
  }
  return u;
}

uint32_t ShownRows(const ListState* s) {
  if (s->top >= s->itemCount) return 0;
  return std::min(s->visibleRows, s->itemCount - s->top);
}

// How the shown rows share the usable height. When a full line is left over
// (or fewer than two rows are shown) every row is one line high and the rest
// stays empty; otherwise the leftover pixels are spread over all rows but
// the last, so the rows fill the list exactly.
struct RowLayout {
  int usableTop;
  int usableBottom;
  uint32_t shown;
  int lineHeight;
  bool spread;
  int extra;           // q: pixels every spread row gains
  uint32_t extraRows;  // s: rows that gain one more
  int Height(uint32_t i) const {
    if (!spread || i + 1 >= shown) return lineHeight;
    return lineHeight + extra + (i < extraRows ? 1 : 0);
  }
};

RowLayout LayOutRows(const ListState* s) {
  RowLayout l{};
  ShortRect u = UsableRect(s);
  l.usableTop = u.y;
  l.usableBottom = u.y + u.height;
  l.shown = ShownRows(s);
  l.lineHeight = GetLineHeight(s->engine, s->fontSlot, s->fontSize);
  int used = static_cast<int>(l.shown) * l.lineHeight;
  l.spread = !(static_cast<int>(u.height) - used >= l.lineHeight || l.shown < 2) && l.lineHeight > 0;
  if (l.spread) {
    int leftover = u.height % l.lineHeight;
    l.extra = leftover / static_cast<int>(l.shown - 1);
    l.extraRows = static_cast<uint32_t>(leftover % static_cast<int>(l.shown - 1));
  }
  return l;
}

void CountListRows(ListState* s) {
  uint16_t usable = s->rect.height;
  if (s->border) usable = usable >= 2 ? static_cast<uint16_t>(usable - 2) : 0;
  uint16_t line = GetLineHeight(s->engine, s->fontSlot, s->fontSize);
  s->visibleRows = line ? usable / line : 0;
}

ListState* StateOf(HWND hwnd) { return static_cast<ListState*>(GetControlState(hwnd, kListProperty)); }

void SendListNotify(HWND hwnd, UINT code, uint32_t selection) {
  ControlNotify record{};
  record.payload.index = selection;
  SendControlNotify(hwnd, code, &record);
}

ShortRect ClientShortRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

void RegisterPopup(HWND hwnd, const ListState* s) {
  if (s->popup) {
    PopupListWindow.window = hwnd;
    GetWindowRect(hwnd, &PopupListWindow.screenRect);
  } else if (PopupListWindow.window == hwnd) {
    PopupListWindow = PopupListRecord{};
  }
}

// Makes the state from a create record (or the class defaults when there is
// none) and keeps it in the property.
bool MakeList(HWND hwnd, const ListCreateParams* given, bool defaults) {
  ListCreateParams record{};
  if (given) {
    record = *given;
  } else if (defaults) {
    record.fontSize = kListFontSizeDefault;
    record.border = 1;
  }
  record.window = hwnd;
  record.rect = ClientShortRect(hwnd);
  record.drawContext = NewDrawContext(hwnd, AppInstance);
  record.itemText = &RequestListItemText;
  record.doubleTapTime = kListDoubleTapDefault;
  if (!record.drawContext) return false;
  ListState* state = NewListState(ControlEngine(), &record);
  if (!state) {
    FreeDrawContext(record.drawContext);
    return false;
  }
  SetControlState(hwnd, kListProperty, state);
  RegisterPopup(hwnd, state);
  return true;
}

void DropList(HWND hwnd) {
  ListState* state = static_cast<ListState*>(RemoveControlState(hwnd, kListProperty));
  FreeControlState(state);
}

void ScrollList(ListState* s, WPARAM code) {
  int64_t top = s->top;
  int64_t rows = s->visibleRows;
  switch (LOWORD(code)) {
    case SB_LINEUP:
      top -= 1;
      break;
    case SB_LINEDOWN:
      top += 1;
      break;
    case SB_PAGEUP:
      top -= rows - 1;
      break;
    case SB_PAGEDOWN:
      top += rows - 1;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(s->window, SB_VERT, &info);
      top = info.nTrackPos;
      break;
    }
    default:
      break;
  }
  // Lowered to the last full page first and raised to 0 after, so that a
  // list whose items all fit keeps top 0 instead of going negative.
  top = std::min<int64_t>(top, static_cast<int64_t>(s->itemCount) - rows);
  top = std::max<int64_t>(top, 0);
  if (static_cast<uint32_t>(top) != s->top) {
    s->top = static_cast<uint32_t>(top);
    DrawList(s, kListNone);
  }
  SetScrollPos(s->window, SB_VERT, static_cast<int>(top), TRUE);
}

void PageList(ListState* s, bool down) {
  uint32_t top = s->top;
  if (down) {
    top += s->visibleRows;
  } else {
    top = top > s->visibleRows ? top - s->visibleRows : 0;
  }
  SetListState(s, kListNone, kListNone, top);
  DrawList(s, kListNone);
  UpdateListScrollBar(s);
}

}  // namespace

ListState* NewListState(DictEngine* engine, const ListCreateParams* params) {
  auto* s = static_cast<ListState*>(LocalAlloc(LPTR, sizeof(ListState)));
  if (!s) return nullptr;
  s->window = params->window;
  s->engine = engine;
  s->drawContext = params->drawContext;
  s->itemText = params->itemText;
  s->itemCount = params->itemCount;
  s->selection = 0;
  s->fontSlot = params->fontSlot;
  s->fontSize = params->fontSize;
  s->rect = params->rect;
  s->border = params->border;
  s->popup = params->popup;
  s->doubleTapTime = params->doubleTapTime;
  CountListRows(s);
  return s;
}

void FreeControlState(ListState* state) {
  if (!state) return;
  FreeDrawContext(state->drawContext);
  LocalFree(state);
}

void SetListState(ListState* s, uint32_t count, uint32_t selection, uint32_t top) {
  if (count != kListNone) s->itemCount = count;
  if (selection != kListNone) s->selection = std::min(selection, s->itemCount - 1);
  if (top != kListNone) {
    if (s->visibleRows < s->itemCount) {
      s->top = std::min(top, s->itemCount - s->visibleRows);
    } else {
      s->top = 0;
    }
  }
}

void GetListState(const ListState* s, uint32_t* count, uint32_t* selection, uint32_t* top, uint32_t* rows) {
  if (count) *count = s->itemCount;
  if (selection) *selection = s->selection;
  if (top) *top = s->top;
  if (rows) *rows = s->visibleRows;
}

void SetListRect(ListState* s, const ShortRect& rect) {
  s->rect = rect;
  CountListRows(s);
}

void SetListFont(ListState* s, uint16_t slot, uint16_t size) {
  s->fontSlot = slot;
  s->fontSize = size;
  CountListRows(s);
}

void ShowListSelection(ListState* s) {
  if (s->selection == kListNone || s->selection >= s->itemCount) return;
  if (s->selection < s->top) {
    s->top = s->selection;
  } else if (s->visibleRows && s->selection >= s->top + s->visibleRows) {
    s->top = s->selection - s->visibleRows + 1;
  }
}

void DrawList(ListState* s, uint32_t item) {
  if (!s->rect.width || !s->rect.height) return;
  s->top = std::min(s->top, s->itemCount - s->visibleRows);
  RowLayout l = LayOutRows(s);
  ShortRect u = UsableRect(s);
  if (s->border) DrawShortRectEdge(s->drawContext, s->rect, kColorStatic);
  if (!l.spread) {
    int below = l.usableTop + static_cast<int>(l.shown) * l.lineHeight;
    if (below < l.usableBottom) {
      ShortRect rest{u.x, static_cast<int16_t>(below), u.width, static_cast<uint16_t>(l.usableBottom - below)};
      FillShortRect(s->drawContext, rest, kColorStatic);
    }
  }
  int rowTop = l.usableTop;
  for (uint32_t i = 0; i < l.shown; ++i) {
    int height = l.Height(i);
    uint32_t index = s->top + i;
    if (item == kListNone || item == index) {
      // One unit more than the capacity, so that a parent that forgets the
      // terminator still leaves a terminated string.
      WCHAR text[kListTextCapacity + 1] = {};
      WCHAR second[kListTextCapacity + 1] = {};
      if (s->itemText) s->itemText(s->window, index, text, second, kListTextCapacity);
      text[kListTextCapacity] = 0;
      second[kListTextCapacity] = 0;
      ColorWord word = index == s->selection ? kColorSelected : kColorStaticText;
      ShortRect row{u.x, static_cast<int16_t>(rowTop), u.width, static_cast<uint16_t>(std::max(height, 0))};
      FillShortRect(s->drawContext, row, word);
      int width = static_cast<int>(u.width) - 2;
      int x = u.x + 2;
      bool both = text[0] && second[0];
      const WCHAR* parts[2] = {text, second};
      int starts[2] = {x, both ? x + width / 2 : x};
      int widths[2] = {both ? width / 2 : width, both ? width / 2 : width};
      for (int p = 0; p < 2; ++p) {
        if (!parts[p][0] || widths[p] <= 0) continue;
        TextStyleState style{};
        uint16_t units = FitText(s->engine, s->fontSlot, s->fontSize, parts[p], widths[p], &style);
        TextStyleState drawStyle{};
        DrawStyledText(s->engine, s->drawContext, s->fontSlot, s->fontSize, parts[p], units, starts[p], rowTop, height,
                       &drawStyle, word, word);
      }
    }
    rowTop += height;
  }
}

uint32_t ListRowAtY(const ListState* s, int y, int* rowTop, int* rowHeight) {
  RowLayout l = LayOutRows(s);
  int top = l.usableTop;
  for (uint32_t i = 0; i < l.shown; ++i) {
    int height = l.Height(i);
    if (top + height > y) {
      *rowTop = top;
      *rowHeight = std::max(0, std::min(height, l.usableBottom - top));
      return i;
    }
    top += height;
  }
  *rowTop = top;
  *rowHeight = 0;
  return l.shown;
}

int ListPenEvent(ListState* s, int event, int x, int y) {
  ShortRect u = UsableRect(s);
  switch (event) {
    case kPenDown: {
      s->penDown = 1;
      s->pressedShown = 0;
      int top = 0, height = 0;
      uint32_t row = ListRowAtY(s, y, &top, &height);
      // Below the last shown row there is no row: the press takes nothing.
      if (row >= s->visibleRows || row >= ShownRows(s)) {
        s->penDown = 0;
        return 0;
      }
      s->pressedRect = ShortRect{u.x, static_cast<int16_t>(top), u.width, static_cast<uint16_t>(height)};
      s->pressedRow = row;
      InvertShortRect(s->drawContext, s->pressedRect);
      s->pressedShown = 1;
      return 1;
    }
    case kPenMove: {
      if (!s->penDown) return 0;
      uint8_t inside = ShortRectContains(s->rect, x, y) ? 1 : 0;
      if (inside != s->pressedShown) {
        InvertShortRect(s->drawContext, s->pressedRect);
        s->pressedShown = inside;
      }
      if (s->pressedShown) {
        int top = 0, height = 0;
        uint32_t row = ListRowAtY(s, y, &top, &height);
        if (row != s->pressedRow && row < s->visibleRows && row < ShownRows(s)) {
          InvertShortRect(s->drawContext, s->pressedRect);
          s->pressedRect.y = static_cast<int16_t>(top);
          s->pressedRect.height = static_cast<uint16_t>(height);
          InvertShortRect(s->drawContext, s->pressedRect);
          s->pressedRow = row;
        }
      }
      return 1;
    }
    case kPenUp: {
      if (!s->penDown) return 0;
      int result = 0;
      if (s->pressedShown) {
        uint32_t old = s->selection;
        s->selection = s->pressedRow + s->top;
        if (old == kListNone) {
          DrawList(s, kListNone);
        } else {
          DrawList(s, old);
          DrawList(s, s->selection);
        }
        DWORD now = GetTickCount();
        if (old != s->selection) {
          result = 2;
        } else if (!s->popup && s->doubleTapTime) {
          result = now - s->lastRelease <= s->doubleTapTime ? 3 : 2;
        } else {
          result = 2;
        }
        s->lastRelease = now;
      }
      s->penDown = 0;
      s->pressedShown = 0;
      return result;
    }
    default:
      return 0;
  }
}

void ListSelectStep(ListState* s, int down) {
  uint32_t selection = s->selection;
  if (down) {
    if (selection != kListNone && s->itemCount && selection < s->itemCount - 1) ++selection;
  } else if (selection != 0) {
    --selection;  // none becomes the last item once limited by the count
  }
  SetListState(s, kListNone, selection, kListNone);
  if (s->selection != kListNone && (s->selection < s->top || s->selection >= s->top + s->visibleRows)) {
    SetListState(s, kListNone, kListNone, s->selection);
  }
  DrawList(s, kListNone);
  UpdateListScrollBar(s);
}

bool IsPopupList(const ListState* s) { return s->popup != 0; }
bool IsListInkEnabled(const ListState* s) { return s->ink != 0; }
void SetListInkEnabled(ListState* s, bool on) { s->ink = on ? 1 : 0; }
bool IsListFocusOnTap(const ListState* s) { return s->focusOnTap != 0; }
void SetListFocusOnTap(ListState* s, bool on) { s->focusOnTap = on ? 1 : 0; }

void UpdateListScrollBar(ListState* s) {
  if (s->inkBarHidden) return;
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = s->itemCount ? static_cast<int>(s->itemCount - 1) : 0;
  info.nPage = s->visibleRows;
  info.nPos = static_cast<int>(s->top);
  SetScrollInfo(s->window, SB_VERT, &info, TRUE);
}

namespace {

LRESULT HandleList(HWND hwnd, ListState* s, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DESTROY:
      if (PopupListWindow.window == hwnd) PopupListWindow = PopupListRecord{};
      DropList(hwnd);
      DetachCapturebox(hwnd);
      return 0;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      SetListRect(s, ClientShortRect(hwnd));
      UpdateListScrollBar(s);
      if (s->popup && PopupListWindow.window == hwnd) GetWindowRect(hwnd, &PopupListWindow.screenRect);
      if (msg == WM_WINDOWPOSCHANGED) return DefWindowProcW(hwnd, msg, wParam, lParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      DrawList(s, kListNone);
      EndPaint(hwnd, &paint);
      UpdateListScrollBar(s);
      return 0;
    }
    case kListGetInfo:
      switch (wParam) {
        case 1:
          return s->itemCount;
        case 2:
          return s->selection;
        case 3:
          return s->top;
        case 4:
          return s->visibleRows;
        default:
          return 1;
      }
    case kListSetInfo: {
      uint32_t value = static_cast<uint32_t>(lParam);
      if (wParam == 1) SetListState(s, value, kListNone, kListNone);
      if (wParam == 2) SetListState(s, kListNone, value, kListNone);
      if (wParam == 3) SetListState(s, kListNone, kListNone, value);
      UpdateListScrollBar(s);
      return 1;
    }
    case kListSetFont:
      SetListFont(s, LOWORD(wParam), LOWORD(lParam));
      DrawList(s, kListNone);
      UpdateListScrollBar(s);
      return 1;
    case kListSelectUp:
    case kListSelectDown:
      ListSelectStep(s, msg == kListSelectDown);
      return 1;
    case kListPageUp:
    case kListPageDown:
      PageList(s, msg == kListPageDown);
      return 1;
    case kListReinitialise:
      if (!lParam) return 1;
      DropList(hwnd);
      if (!MakeList(hwnd, reinterpret_cast<const ListCreateParams*>(lParam), false)) {
        if (PopupListWindow.window == hwnd) PopupListWindow = PopupListRecord{};
      }
      return 1;
    case kListSetFocusOnTap:
      SetListFocusOnTap(s, (wParam & 0xFF) != 0);
      return 1;
    case kListShowSelection:
      ShowListSelection(s);
      UpdateListScrollBar(s);
      return 1;
    case kControlCloseMessage:
      DestroyWindow(hwnd);
      return 1;
    case WM_GETDLGCODE: {
      const MSG* m = reinterpret_cast<const MSG*>(lParam);
      if (m && m->message == WM_KEYDOWN && (m->wParam == VK_LEFT || m->wParam == VK_RIGHT)) return 0;
      return DLGC_WANTARROWS;
    }
    case WM_KEYDOWN:
      if (wParam == VK_UP || wParam == VK_DOWN) {
        bool down = wParam == VK_DOWN;
        SendMessageW(hwnd, s->popup ? (down ? kListSelectDown : kListSelectUp) : (down ? kListPageDown : kListPageUp),
                     0, 0);
        return 0;
      }
      if (wParam == VK_RETURN) {
        if (!s->popup) return 1;
        // An empty list (or one without a selection) has nothing to report.
        if (s->selection < s->itemCount) SendListNotify(hwnd, kListChooseCode, s->selection);
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
        return 1;
      }
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_VSCROLL:
      ScrollList(s, wParam);
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(hwnd);
      ListPenEvent(s, kPenDown, PenX(lParam), PenY(lParam));
      return 1;
    case WM_MOUSEMOVE:
      ListPenEvent(s, kPenMove, PenX(lParam), PenY(lParam));
      return 1;
    case WM_LBUTTONUP: {
      ReleaseCapture();
      int result = ListPenEvent(s, kPenUp, PenX(lParam), PenY(lParam));
      uint32_t selection = s->selection;
      bool popup = s->popup != 0;
      bool focus = s->focusOnTap != 0;
      if ((result == 2 || result == 3) && selection < s->itemCount) {
        SendListNotify(hwnd, result == 2 ? kListChooseCode : kListActivateCode, selection);
      }
      // The parent may have destroyed or re-made the list meanwhile.
      if (!IsWindow(hwnd)) return 1;
      if (popup) {
        DestroyWindow(hwnd);
        return 1;
      }
      if (focus) SetFocus(hwnd);
      if (ListState* now = StateOf(hwnd)) UpdateListScrollBar(now);
      return 1;
    }
    case kSetInkMessage:
      // Turning ink off keeps the box and its ink for the next time.
      SetListInkEnabled(s, (wParam & 0xFF) != 0);
      if (s->ink) AttachCapturebox(hwnd);
      if (!s->ink && s->inkBarHidden) {
        s->inkBarHidden = 0;
        UpdateListScrollBar(s);
      }
      return 1;
    case kHasInkMessage: {
      CaptureboxState* box = GetCaptureboxState(hwnd);
      return s->ink && box && GetInkStrokeCount(box) > 0 ? 1 : 0;
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

LRESULT ListWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    const auto* given = create ? static_cast<const ListCreateParams*>(create->lpCreateParams) : nullptr;
    return MakeList(hwnd, given, true) ? 0 : -1;
  }
  ListState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (!s->ink) return HandleList(hwnd, s, msg, wParam, lParam);
  // While ink is on, the embedded box sees every message first.
  LRESULT taken = EmbeddedCaptureboxMessage(hwnd, msg, wParam, lParam);
  if (taken == kInkHideScrollBar) {
    // Hiding the bar resizes the list; the flag keeps the size handling
    // from bringing the bar straight back.
    s->inkBarHidden = 1;
    SCROLLINFO none{};
    none.cbSize = sizeof(none);
    none.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    SetScrollInfo(hwnd, SB_VERT, &none, FALSE);
    return 1;
  }
  if (taken == kInkRefreshScrollBar) {
    s->inkBarHidden = 0;
    UpdateListScrollBar(s);
    return 1;
  }
  if (taken != 0) return taken;
  LRESULT result = HandleList(hwnd, s, msg, wParam, lParam);
  // The state may be gone (WM_DESTROY, a re-initialisation): only the
  // window is named here.
  EmbeddedCaptureboxPaint(hwnd, msg);
  return result;
}
