// SorviGridClass: single characters in a grid of equal cells, one per cell,
// from arrays its owner lends. The fitted layout fits as many cells as the
// font allows and scrolls by lines of cells; the fixed layout shows a fixed
// number of columns and rows with separator lines, joined cells (spans) and
// cells drawn as bitmaps. A cell reports a press (0x8322) and a release on
// it (0x8321) with its character and second value.
//
// Items, second values, spans and bitmap cells belong to the owner and must
// outlive the grid's use of them. In pairs mode the items are taken two by
// two (character, second value); a cell exists only while both lie inside
// the count.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/control_frame.h"
#include "toolkit/draw_context.h"

struct DictEngine;

inline constexpr UINT kGridSetItems = 0x8221;     // lParam GridItems*
inline constexpr UINT kGridReconfigure = 0x8222;  // wParam GridCreateParams*, lParam GridItems*
inline constexpr UINT kGridGetColumns = 0x8223;
inline constexpr UINT kGridScrollToLine = 0x8224;  // wParam line
inline constexpr UINT kGridSetPairs = 0x8225;      // wParam flag
inline constexpr UINT kGridSetSpareFlag = 0x8226;  // wParam flag
inline constexpr UINT kGridReinitialise = 0x8227;  // lParam GridCreateParams* (null: nothing)
inline constexpr UINT kGridChosenCode = 0x8321;
inline constexpr UINT kGridPressedCode = 0x8322;

// Cells joined within one row: no separators between the columns, and a
// press anywhere on them presses the first.
struct GridSpan {
  uint16_t row;
  uint16_t firstColumn;
  uint16_t lastColumn;
};

// A cell drawn as a bitmap resource instead of its character (a zero word
// draws the character).
struct GridBitmapCell {
  uint32_t bitmapWord;
  uint16_t itemIndex;
};

struct GridCreateParams {
  GridNotifyCallback chosen;   // filled by the window: SendGridChosen
  GridNotifyCallback pressed;  // filled by the window: SendGridPressed
  uint8_t frame;               // set by the fixed layout
  uint16_t cellSpacing;        // pixels added to the font's cell in the fitted layout
  uint16_t fontSlot;
  uint16_t fontSize;
  uint8_t fixedLayout;
  uint16_t fixedColumns;
  uint16_t fixedRows;
  const GridSpan* spans;
  uint16_t spanCount;
  const GridBitmapCell* bitmapCells;
  uint16_t bitmapCellCount;
};

struct GridItems {
  const uint16_t* items;
  const uint16_t* secondValues;  // or null
  uint16_t count;
  uint8_t redraw;  // 0x8221 only
};

struct GridState {
  HWND window;
  DictEngine* engine;
  DrawContext* drawContext;
  ShortRect rect;
  GridCreateParams params;
  uint16_t columns;
  uint16_t rows;
  uint16_t cellWidth;
  uint16_t cellHeight;
  uint16_t spareWidth;
  uint16_t spareHeight;
  uint16_t first;  // the first shown item (cell units)
  uint16_t marginX;
  uint16_t marginY;
  const uint16_t* items;
  const uint16_t* secondValues;
  uint16_t itemCount;
  uint8_t pairs;
  uint8_t spareFlag;  // kept for the owner, never read
  PressedArea pressed;
  uint16_t pressedItem;
};

// Null when the heap is exhausted; the state owns the draw context. No
// layout yet (columns and rows 0).
GridState* NewGridState(DictEngine* engine, HWND window, const ShortRect& rect, DrawContext* context,
                        const GridCreateParams* params);
void FreeGridState(GridState* state);
void LayoutGrid(GridState* state);
void DrawGrid(GridState* state);
// 0 nothing, 1 taken.
int GridPenEvent(GridState* state, int event, int x, int y);
void SetGridItems(GridState* state, const GridItems* items);
void ReconfigureGrid(GridState* state, const GridCreateParams* params, const GridItems* items);
void SetGridRect(GridState* state, const ShortRect& rect);
void ScrollGridToLine(GridState* state, uint16_t line);
void GetGridScrollInfo(const GridState* state, int* total, int* firstLine, int* page);
uint16_t GetGridColumns(const GridState* state);
uint16_t GetGridCellWidth(const GridState* state);
void SetGridPairs(GridState* state, bool on);
void SetGridSpareFlag(GridState* state, uint8_t flag);
// Left edge of column c and top of row r.
int GridCellX(const GridState* state, int column);
int GridCellY(const GridState* state, int row);

// The window side.
void UpdateGridScrollBars(GridState* state);
LRESULT GridWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
