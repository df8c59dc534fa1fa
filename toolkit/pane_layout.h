// The main window's pane layout: a top bar with the input field and two rows
// of buttons, an input section (handwriting, radical or keyboard page) on a
// chosen side, the list pane on a chosen side and the content area in what is
// left. A pass computes every rectangle from the window size and the
// preferences, places the controls through a layout sink and keeps its
// results in the program's PaneLayoutBlock, which the splitter drags and the
// getters read. Drags and side changes only write preferences; the owner then
// runs the pass again.
//
// Every position and size is in layout units (one unit is one resolution
// factor of pixels; the sink's callbacks scale). Rectangles reach the sink as
// four unsigned 16-bit values {x, y, width, height}; a width or height that
// would fall below 0 is 0, a position is truncated to 16 bits.
//
// UI thread only. A pass has no effects beyond its sink calls and the block;
// a 0 entry of the control table is never passed to the sink.
#pragma once

#include <cstdint>

#include "platform/ui.h"

struct DictEngine;

// Entries of a layout control table: the control ids of the panes by role,
// 0 = the control does not exist. The button rows and their overlays are
// base ids (button i is base + i).
enum PaneControlEntry : int {
  kPaneInputField = 0,
  kPaneSecondInputField = 1,
  kPaneExtraButton = 2,
  kPaneBelowField = 3,  // 40 units high, 7 wider than the field
  kPaneSmallControl = 4,
  kPaneFirstButtonRow = 5,
  kPaneFirstRowOverlays = 6,
  kPaneFirstRowCapacity = 7,
  kPaneSecondButtonRow = 8,
  kPaneSecondRowOverlays = 9,
  kPaneSecondRowCapacity = 10,
  kPaneContent = 11,
  kPaneSideStrip = 12,
  kPaneList = 13,
  kPaneListSplitter = 14,
  kPaneInputSplitter = 16,
  kPaneInputButton1 = 17,
  kPaneInputButton1Overlay = 18,
  kPaneCandidateGrid = 19,
  kPaneInputButton2 = 20,  // buttons 2-6 are entries 20-24
  kPaneInputButton6 = 24,
  kPaneCaptureBox = 25,
  kPaneSelector = 26,
  kPaneComboBox = 29,
  kPaneKeyboardGrid = 31,
  kPaneKeyboardButton1 = 32,  // three push buttons, entries 32-34
  kPaneControlCount = 35,
};

// The main window's table.
extern const uint16_t kMainPaneControls[kPaneControlCount];

// A rectangle in layout units. A client rectangle starts at (0, 0); only
// its width and height are read.
struct PaneRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// How a pass reaches the controls. `begin` is called once at the start of a
// pass with whether the client is tall (at least 81 units high).
struct LayoutSink {
  void (*place)(HWND context, int control, const uint16_t rect[4]);
  void (*move)(HWND context, int control, uint16_t x, uint16_t y);
  void (*show)(HWND context, int control, bool shown);
  void (*begin)(HWND context, bool tall);
  HWND context;
  const uint16_t* controls;  // kPaneControlCount entries for the main window
};

// The main window's sink: the dialog callbacks that scale by the resolution
// factor, and a begin that hides every child but the input field, so that
// what a pass does not show stays hidden.
LayoutSink MakeMainWindowSink(HWND window);

// Sides of the panes.
enum PaneSide : int32_t {
  kPaneRight = 0,
  kPaneLeft = 1,
  kPaneBottom = 2,
  kPaneFill = 3,  // list pane: fills the content area; input section: none
  kPaneHidden = 4,
};

// The results of the last pass (one block per program, zero at start).
struct PaneLayoutBlock {
  uint8_t landscape;           // the window was wider than high
  uint8_t inputLaid;           // a section writer laid its controls
  uint8_t inputHiddenForRoom;  // the small-window option hid the section
  uint8_t listShown;           // the list pane is on a side or fills
  uint16_t firstRowInUse;      // buttons laid in the two rows
  uint16_t secondRowInUse;
  int32_t inputSide;       // where the section was laid (kPaneHidden: nowhere)
  int32_t inputBand;       // units it took across its side, its splitter included
  int32_t inputLimits[2];  // the input splitter's drag range
  int32_t listLimits[2];   // the list splitter's; 0, 0 when it has none
  uint16_t content[4];
  // The compact handwriting strip's two candidate-grid places, and the area
  // the user writes in (the top bar).
  uint16_t candidateRects[2][4];
  uint16_t writingArea[4];
  // The window area beside a full handwriting section.
  uint16_t outsideRect[4];
  // The flashcard test window's last pass (toolkit/pane_windows.h).
  uint32_t testKind;
  uint8_t testWritingArea;
  uint8_t testSquare;
  uint16_t testSelectors;
  // The reader window's last pass: its splitter's drag range.
  int32_t readerLimits[2];
};

// The program's block.
PaneLayoutBlock* GetPaneLayoutBlock();

// ---- Passes ----
void LayoutMainPanes(DictEngine* engine, const LayoutSink* sink, const PaneRect& client, const PaneRect& window);
// The top bar; its height: 8 without a first button row, 17 with one.
int32_t LayoutTopBar(DictEngine* engine, const LayoutSink* sink, const PaneRect& client);
// The section writers: (x, y) its corner, `length` along its side, `size`
// across. The extent used across the side; 0 when the size is below the
// kind's least (for full handwriting also: the band too short for its button
// column and a writing box two buttons wide) and nothing was laid.
int32_t LayoutInputSectionKind0(DictEngine* engine, const LayoutSink* sink, const PaneRect& window, int32_t x,
                                int32_t y, int32_t length, int32_t size, int32_t side);
int32_t LayoutInputSectionKind1(DictEngine* engine, const LayoutSink* sink, const PaneRect& window, int32_t x,
                                int32_t y, int32_t length, int32_t size, int32_t side);
int32_t LayoutInputSectionKind2(DictEngine* engine, const LayoutSink* sink, const PaneRect& window, int32_t x,
                                int32_t y, int32_t length, int32_t size, int32_t side);
// Switches the handwriting section's two button sets (compact form) or shows
// its full set; nothing unless the section is handwriting on a side 0-2.
void ShowInputPanelControls(DictEngine* engine, const LayoutSink* sink, bool alternate);

// ---- Helpers ----
// Place, then show; nothing for control 0.
void SinkPlaceAndShow(const LayoutSink* sink, int control, const uint16_t rect[4]);
// The one-unit strip at the pane's inner edge for a pane on `side`.
void GetSplitterRect(const PaneRect& pane, PaneRect* out, int32_t side);

// ---- Drags and side changes (they write preferences only) ----
// The list pane's side (0-4); -1 hides a shown pane, remembering its side,
// or gives a hidden one its remembered side back.
void SetPanePosition(DictEngine* engine, int32_t side);
// The input section's side; see the source for the whole table. Returns 1
// after a change; after a refusal (`refused` set) 1 when the section stands
// on a side 0-2 and a 3 was asked, else 0.
int32_t ChangeInputPaneSide(DictEngine* engine, int32_t side, bool* refused);
// A splitter released at `position` (x, or y for the bottom side): the size
// it measures, clamped to 8-60, is stored for the next pass. `input` picks the
// input splitter, else the list pane's. A side 3 or 4 stores nothing.
void SetPaneSizeFromDrag(DictEngine* engine, const PaneRect& client, bool input, int32_t position);

// ---- Getters (null outs are skipped) ----
void GetListPaneLayout(DictEngine* engine, int32_t* side, int32_t* size);
void GetPaneLayoutFlags(DictEngine* engine, bool* inputLaid, bool* listShown);
void GetButtonRowCounts(uint16_t* first, uint16_t* second);
// `input` 1: the input splitter; 0: the list splitter.
void GetSplitterLimits(int32_t input, int32_t* low, int32_t* high);
int32_t GetLayoutSetting10(DictEngine* engine);
void SetLayoutSetting10(DictEngine* engine, int32_t value);
