#include "toolkit/control_grid.h"

#include <algorithm>

#include "platform/core.h"
#include "toolkit/app_context.h"
#include "toolkit/text_service.h"

namespace {

constexpr const WCHAR* kGridProperty = u"SorviGridInfo";

GridState* StateOf(HWND hwnd) { return static_cast<GridState*>(GetControlState(hwnd, kGridProperty)); }

// The item a cell shows, in the owner's array (doubled in pairs mode).
uint32_t CellItem(const GridState* s, int column, int row) {
  uint32_t cell = static_cast<uint16_t>(s->first + row * s->columns + column);
  return s->pairs ? cell * 2 : cell;
}

// Whether an item lies inside the owner's array; in pairs mode its second
// value (the next item) must lie inside it too.
bool ItemExists(const GridState* s, uint32_t item) {
  if (!s->items) return false;
  return s->pairs ? item + 1 < s->itemCount : item < s->itemCount;
}

uint16_t SecondValue(const GridState* s, uint32_t item) {
  if (s->secondValues) return s->secondValues[item];
  if (s->pairs && item + 1 < s->itemCount) return s->items[item + 1];
  return 0;
}

// Cells (or pairs) the owner lent.
uint32_t CellCount(const GridState* s) { return s->pairs ? s->itemCount / 2u : s->itemCount; }

int ColumnWidth(const GridState* s, int c) { return s->cellWidth + (c < s->spareWidth ? 1 : 0); }
int RowHeight(const GridState* s, int r) { return s->cellHeight + (r < s->spareHeight ? 1 : 0); }

const GridSpan* SpanAt(const GridState* s, int row, int column) {
  if (!s->params.fixedLayout || !s->params.spans) return nullptr;
  for (uint16_t i = 0; i < s->params.spanCount; ++i) {
    const GridSpan& span = s->params.spans[i];
    if (span.row == row && span.firstColumn <= column && column <= span.lastColumn) return &span;
  }
  return nullptr;
}

// True when a span of the row joins column c to the next one.
bool JoinedToNext(const GridState* s, int row, int column) {
  if (!s->params.spans) return false;
  for (uint16_t i = 0; i < s->params.spanCount; ++i) {
    const GridSpan& span = s->params.spans[i];
    if (span.row == row && span.firstColumn <= column && column < span.lastColumn) return true;
  }
  return false;
}

uint32_t BitmapWordOf(const GridState* s, uint32_t item) {
  if (!s->params.bitmapCells) return 0;
  for (uint16_t i = 0; i < s->params.bitmapCellCount; ++i) {
    if (s->params.bitmapCells[i].itemIndex == item) return s->params.bitmapCells[i].bitmapWord;
  }
  return 0;
}

// The column (or row) under an offset from the grid's origin: walks the
// cells while the offset stays inside.
int CellAt(int offset, int count, int size, int spare) {
  if (offset < 0) return 0;
  int i = 0;
  while (i < count) {
    int width = size + (i < spare ? 1 : 0);
    if (offset - width < 0) break;
    offset -= width;
    ++i;
  }
  return i;
}

ShortRect ClientShortRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

void FillCallbacks(GridCreateParams* p) {
  p->chosen = &SendGridChosen;
  p->pressed = &SendGridPressed;
}

bool MakeGrid(HWND hwnd, const GridCreateParams* given) {
  GridCreateParams record{};
  if (given) record = *given;
  FillCallbacks(&record);
  DrawContext* context = NewDrawContext(hwnd, AppInstance);
  if (!context) return false;
  GridState* state = NewGridState(ControlEngine(), hwnd, ClientShortRect(hwnd), context, &record);
  if (!state) {
    FreeDrawContext(context);
    return false;
  }
  SetControlState(hwnd, kGridProperty, state);
  return true;
}

void DropGrid(HWND hwnd) { FreeGridState(static_cast<GridState*>(RemoveControlState(hwnd, kGridProperty))); }

void ScrollGrid(GridState* s, int bar, WPARAM code) {
  int total = 0, firstLine = 0, page = 0;
  GetGridScrollInfo(s, &total, &firstLine, &page);
  int line = firstLine;
  switch (LOWORD(code)) {
    case SB_LINEUP:
      line -= 1;
      break;
    case SB_LINEDOWN:
      line += 1;
      break;
    case SB_PAGEUP:
      line -= page;
      break;
    case SB_PAGEDOWN:
      line += page;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(s->window, bar, &info);
      line = info.nTrackPos;
      break;
    }
    default:
      break;
  }
  // Lowered to the last page first and raised to 0 after, so that a grid
  // whose lines all fit never scrolls to a negative line.
  line = std::min(line, total - page);
  line = std::max(line, 0);
  if (line != firstLine) ScrollGridToLine(s, static_cast<uint16_t>(line));
  SetScrollPos(s->window, bar, line, TRUE);
}

}  // namespace

GridState* NewGridState(DictEngine* engine, HWND window, const ShortRect& rect, DrawContext* context,
                        const GridCreateParams* params) {
  auto* s = static_cast<GridState*>(LocalAlloc(LPTR, sizeof(GridState)));
  if (!s) return nullptr;
  s->window = window;
  s->engine = engine;
  s->drawContext = context;
  s->rect = rect;
  s->params = *params;
  return s;
}

void FreeGridState(GridState* state) {
  if (!state) return;
  FreeDrawContext(state->drawContext);
  LocalFree(state);
}

void LayoutGrid(GridState* s) {
  uint16_t metrics[4] = {};
  GetFontMetrics(s->engine, s->params.fontSlot, s->params.fontSize, metrics);
  uint16_t pad = s->params.cellSpacing;
  uint16_t cellW = static_cast<uint16_t>(metrics[0] + pad);
  uint16_t cellH = static_cast<uint16_t>(metrics[1] + pad);
  if (!cellW || !cellH) return;
  if (s->params.fixedLayout) {
    s->columns = s->params.fixedColumns;
    s->rows = s->params.fixedRows;
    s->params.frame = 1;
  } else {
    int width = s->rect.width + pad;
    int height = s->rect.height + pad;
    if (width >= 4 && height >= 4) {
      width -= 4;
      height -= 4;
    }
    s->columns = static_cast<uint16_t>(width / cellW);
    s->rows = static_cast<uint16_t>(height / cellH);
  }
  if (!s->columns || !s->rows) return;
  int w = std::max(0, s->rect.width - 1);
  int h = std::max(0, s->rect.height - 1);
  s->cellWidth = static_cast<uint16_t>(w / s->columns);
  s->spareWidth = static_cast<uint16_t>(w % s->columns);
  s->cellHeight = static_cast<uint16_t>(h / s->rows);
  s->spareHeight = static_cast<uint16_t>(h % s->rows);
  s->marginX = 2;
  s->marginY = 2;
}

int GridCellX(const GridState* s, int c) {
  return s->rect.x + s->marginX / 2 + c * s->cellWidth + std::min<int>(c, s->spareWidth);
}

int GridCellY(const GridState* s, int r) {
  return s->rect.y + s->marginY / 2 + r * s->cellHeight + std::min<int>(r, s->spareHeight);
}

void DrawGrid(GridState* s) {
  DrawContext* dc = s->drawContext;
  FillShortRect(dc, s->rect, kColorStatic);
  uint16_t metrics[4] = {};
  GetFontMetrics(s->engine, s->params.fontSlot, s->params.fontSize, metrics);
  int fontHeight = metrics[1];
  int yOffset = std::max(0, (s->cellHeight - fontHeight) / 2);
  if (s->params.frame) {
    ShortRect frame{
        static_cast<int16_t>(s->rect.x + s->marginX / 2 - 1), static_cast<int16_t>(s->rect.y + s->marginY / 2 - 1),
        static_cast<uint16_t>(s->rect.width - s->marginX + 2), static_cast<uint16_t>(s->rect.height - s->marginY + 2)};
    DrawShortRectEdge(dc, frame, kColorStatic);
  }
  if (s->params.fixedLayout) {
    for (int r = 0; r < s->rows; ++r) {
      for (int c = 0; c < s->columns; ++c) {
        int right = GridCellX(s, c) + s->cellWidth - 1;
        int bottom = GridCellY(s, r + 1) - 1;
        if (c < s->columns - 1 && !JoinedToNext(s, r, c)) {
          DrawLineColored(dc, right, GridCellY(s, r), right, bottom, kColorStatic);
        }
        if (r < s->rows - 1) DrawLineColored(dc, GridCellX(s, c) - 1, bottom, right, bottom, kColorStatic);
      }
    }
  }
  if (!s->items || !s->rows) return;
  for (int r = 0; r < s->rows; ++r) {
    for (int c = 0; c < s->columns; ++c) {
      uint32_t item = CellItem(s, c, r);
      if (!ItemExists(s, item)) break;
      int x = GridCellX(s, c);
      int y = GridCellY(s, r);
      uint32_t word = BitmapWordOf(s, item);
      if (word) {
        DrawBitmapResource(dc, word, x, y, s->cellWidth, s->cellHeight);
        continue;
      }
      WCHAR character = s->items[item];
      TextStyleState style{};
      int advance = GetCharAdvance(s->engine, s->params.fontSlot, s->params.fontSize, character, &style);
      if (advance <= 0) continue;
      int cellW = ColumnWidth(s, c);
      int cellH = RowHeight(s, r);
      TextStyleState drawStyle{};
      if (s->params.fixedLayout && (advance >= cellW || fontHeight >= cellH)) {
        // Too big for its cell: drawn from the corner and kept inside it.
        ShortRect clip{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(std::max(0, cellW - 1)),
                       static_cast<uint16_t>(std::max(0, cellH - 1))};
        SetClipShortRect(dc, clip);
        DrawStyledChar(s->engine, dc, s->params.fontSlot, s->params.fontSize, character, x, y, cellH, &drawStyle);
        ClearClip(dc);
      } else {
        DrawStyledChar(s->engine, dc, s->params.fontSlot, s->params.fontSize, character,
                       x + std::max(0, (s->cellWidth - advance) / 2), y + yOffset, fontHeight, &drawStyle);
      }
    }
  }
}

int GridPenEvent(GridState* s, int event, int x, int y) {
  switch (event) {
    case kPenDown: {
      s->pressed.penDown = 0;
      s->pressed.shown = 0;
      if (!s->cellWidth || !s->cellHeight) return 0;
      int column = CellAt(x - s->rect.x - s->marginX / 2, s->columns, s->cellWidth, s->spareWidth);
      int row = CellAt(y - s->rect.y - s->marginY / 2, s->rows, s->cellHeight, s->spareHeight);
      if (column >= s->columns || row >= s->rows) return 0;
      ShortRect area{};
      uint32_t item = 0;
      const GridSpan* span = SpanAt(s, row, column);
      if (span) {
        // The whole span presses as its first cell.
        item = static_cast<uint16_t>(s->first + row * s->columns + span->firstColumn);
        int left = GridCellX(s, span->firstColumn);
        area = ShortRect{static_cast<int16_t>(left), static_cast<int16_t>(GridCellY(s, row)),
                         static_cast<uint16_t>(GridCellX(s, span->lastColumn + 1) - left - 1),
                         static_cast<uint16_t>(RowHeight(s, row) - 1)};
      } else {
        item = CellItem(s, column, row);
        int fixed = s->params.fixedLayout ? 1 : 0;
        area = ShortRect{static_cast<int16_t>(GridCellX(s, column)), static_cast<int16_t>(GridCellY(s, row)),
                         static_cast<uint16_t>(ColumnWidth(s, column) - fixed),
                         static_cast<uint16_t>(RowHeight(s, row) - fixed)};
      }
      if (!ItemExists(s, item)) return 0;
      if (s->secondValues && s->secondValues[item] == 0) return 0;
      PressAreaDown(s->drawContext, &s->pressed, area);
      s->pressedItem = static_cast<uint16_t>(item);
      uint16_t character = s->items[item];
      if (s->params.pressed && character) s->params.pressed(s->window, character, SecondValue(s, item), 0);
      return 1;
    }
    case kPenMove:
      if (!s->pressed.penDown) return 0;
      PressAreaMove(s->drawContext, &s->pressed, x, y);
      return 1;
    case kPenUp: {
      if (!s->pressed.penDown) return 0;
      if (!PressAreaUp(s->drawContext, &s->pressed, x, y)) return 0;
      uint32_t item = s->pressedItem;
      if (ItemExists(s, item) && s->items[item] && s->params.chosen) {
        s->params.chosen(s->window, s->items[item], SecondValue(s, item), 0);
      }
      return 1;
    }
    default:
      return 0;
  }
}

void SetGridItems(GridState* s, const GridItems* items) {
  s->items = items->items;
  s->secondValues = items->secondValues;
  s->itemCount = items->count;
  s->first = 0;
  if (items->redraw) DrawGrid(s);
}

void ReconfigureGrid(GridState* s, const GridCreateParams* params, const GridItems* items) {
  GridNotifyCallback chosen = s->params.chosen;
  GridNotifyCallback pressed = s->params.pressed;
  s->params = *params;
  s->params.chosen = chosen;
  s->params.pressed = pressed;
  if (items) {
    s->items = items->items;
    s->secondValues = items->secondValues;
    s->itemCount = items->count;
  }
  s->first = 0;
  LayoutGrid(s);
  DrawGrid(s);
}

void SetGridRect(GridState* s, const ShortRect& rect) {
  s->rect = rect;
  LayoutGrid(s);
}

void ScrollGridToLine(GridState* s, uint16_t line) {
  if (!s->columns) return;
  // The last line that holds a cell; in pairs mode from the halved count, so
  // that no line scrolls to an empty page.
  uint32_t lines = (CellCount(s) + s->columns - 1) / s->columns;
  uint32_t last = lines ? lines - 1 : 0;
  s->first = static_cast<uint16_t>(s->columns * std::min<uint32_t>(line, last));
  DrawGrid(s);
}

void GetGridScrollInfo(const GridState* s, int* total, int* firstLine, int* page) {
  *total = 0;
  *firstLine = 0;
  *page = s->rows;
  if (s->params.fixedLayout || !s->columns || !s->rows) return;
  int lines = static_cast<int>((CellCount(s) + s->columns - 1) / s->columns);
  *total = lines > s->rows ? lines : 0;
  *firstLine = s->first / s->columns;
}

uint16_t GetGridColumns(const GridState* s) { return s->columns; }
uint16_t GetGridCellWidth(const GridState* s) { return s->cellWidth; }
void SetGridPairs(GridState* s, bool on) { s->pairs = on ? 1 : 0; }
void SetGridSpareFlag(GridState* s, uint8_t flag) { s->spareFlag = flag; }

void UpdateGridScrollBars(GridState* s) {
  int total = 0, firstLine = 0, page = 0;
  GetGridScrollInfo(s, &total, &firstLine, &page);
  RECT window{};
  GetWindowRect(s->window, &window);
  // A window too narrow for a cell beside a vertical bar scrolls sideways.
  bool horizontal = (window.right - window.left) - GetSystemMetrics(SM_CXVSCROLL) < s->cellWidth;
  SCROLLINFO clear{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  SCROLLINFO info{sizeof(SCROLLINFO),
                  SIF_RANGE | SIF_PAGE | SIF_POS,
                  0,
                  total ? total - 1 : 0,
                  static_cast<UINT>(page),
                  firstLine,
                  0};
  SetScrollInfo(s->window, horizontal ? SB_VERT : SB_HORZ, &clear, TRUE);
  SetScrollInfo(s->window, horizontal ? SB_HORZ : SB_VERT, &info, TRUE);
}

LRESULT GridWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    const auto* given = create ? static_cast<const GridCreateParams*>(create->lpCreateParams) : nullptr;
    return MakeGrid(hwnd, given) ? 0 : -1;
  }
  GridState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      DropGrid(hwnd);
      return 0;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      SetGridRect(s, ClientShortRect(hwnd));
      UpdateGridScrollBars(s);
      if (msg == WM_WINDOWPOSCHANGED) return DefWindowProcW(hwnd, msg, wParam, lParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      DrawGrid(s);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case kGridSetItems:
      if (lParam) SetGridItems(s, reinterpret_cast<const GridItems*>(lParam));
      UpdateGridScrollBars(s);
      return 1;
    case kGridReconfigure:
      if (wParam) {
        ReconfigureGrid(s, reinterpret_cast<const GridCreateParams*>(wParam),
                        reinterpret_cast<const GridItems*>(lParam));
      }
      UpdateGridScrollBars(s);
      return 1;
    case kGridGetColumns:
      return GetGridColumns(s);
    case kGridScrollToLine:
      ScrollGridToLine(s, LOWORD(wParam));
      UpdateGridScrollBars(s);
      return 1;
    case kGridSetPairs:
      SetGridPairs(s, (wParam & 0xFF) != 0);
      return 1;
    case kGridSetSpareFlag:
      SetGridSpareFlag(s, static_cast<uint8_t>(wParam & 0xFF));
      return 1;
    case kGridReinitialise:
      if (!lParam) return 1;
      DropGrid(hwnd);
      if (MakeGrid(hwnd, reinterpret_cast<const GridCreateParams*>(lParam))) {
        GridState* fresh = StateOf(hwnd);
        LayoutGrid(fresh);
        UpdateGridScrollBars(fresh);
      }
      return 1;
    case WM_HSCROLL:
    case WM_VSCROLL:
      ScrollGrid(s, msg == WM_HSCROLL ? SB_HORZ : SB_VERT, wParam);
      return 1;
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      GridPenEvent(s, kPenDown, PenX(lParam), PenY(lParam));
      return 1;
    case WM_MOUSEMOVE:
      GridPenEvent(s, kPenMove, PenX(lParam), PenY(lParam));
      return 1;
    case WM_LBUTTONUP:
      GridPenEvent(s, kPenUp, PenX(lParam), PenY(lParam));
      ReleaseCapture();
      if (GridState* now = StateOf(hwnd)) UpdateGridScrollBars(now);
      return 1;
    case WM_CAPTURECHANGED:
      PressAreaCancel(s->drawContext, &s->pressed);
      return 1;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
