// The layout passes of the flashcard test window and of the reader window.
// Each places its window's controls through a LayoutSink (toolkit/
// pane_layout.h) in layout units and leaves a few results in the program's
// PaneLayoutBlock, read back right after the pass.
//
// Every value here is unsigned 16-bit arithmetic, as the windows' records
// store them: a window smaller than its margins wraps and places hidden
// controls meaninglessly, but the pass completes. A control is either placed
// and shown, placed only (the window shows it when its state needs it) or
// moved only (it keeps its size); which, is fixed per control. Only the
// rectangle's width and height are read.
//
// UI thread only.
#pragma once

#include <cstdint>

#include "toolkit/pane_layout.h"

struct DictEngine;
struct SessionDisplayLayout;

// The test window's control table entries.
enum TestControlEntry : int {
  kTestTopRow = 0,     // three fields, entries 0-2
  kTestTopRightA = 3,  // the top-right pair, moved when both exist
  kTestTopRightB = 4,
  kTestContent = 5,
  kTestSideStrip = 6,
  kTestWritingArea = 7,  // answer modes 0 and 1
  kTestWritingTool = 8,
  kTestChoices = 9,     // answer mode 2
  kTestStrokeBox = 10,  // answer mode 4 and its controls, 11-17
  kTestStrokeField1 = 11,
  kTestStrokeField2 = 12,
  kTestUndo = 13,
  kTestClear = 14,
  kTestReplay = 15,
  kTestCorrect = 16,
  kTestEntered = 17,
  kTestAnswerField = 18,  // form 2 and 5
  kTestRowSelectors = 19,
  kTestRowSelectorCount = 20,
  kTestAnswerGrid = 21,
  kTestSquare = 22,  // form 1
  kTestSquareSelectors = 23,
  kTestSquareSelectorCount = 24,
  kTestSquareGrid = 25,
  kTestSquareTool1 = 26,  // 26-28
  kTestBottomButtons = 29,
  kTestBottomCapacity = 30,
  kTestBottomOverlays = 31,
  kTestCornerHalfHeight = 33,  // six cells, 33-38
  kTestCornerFullHeight = 39,  // three cells, 39-41
  kTestCornerHalves = 42,      // 42-43
  kTestCornerWhole = 44,
  kTestControlCount = 45,
};
extern const uint16_t kTestWindowControls[kTestControlCount];

// The reader window's control table entries.
enum ReaderControlEntry : int {
  kReaderTopField = 0,  // fields at 0, 2, 4; the taller control under each at 1, 3, 5
  kReaderText = 6,
  kReaderSideUpper = 7,
  kReaderSideLower = 8,
  kReaderSplitter = 15,
  kReaderStatusLeft = 16,
  kReaderStatusRight = 17,
  kReaderTool1 = 18,
  kReaderTool2Overlay = 19,
  kReaderTool4 = 20,
  kReaderTool5 = 21,
  kReaderTool2 = 22,
  kReaderTool3 = 23,
  kReaderTool3Overlay = 24,
  kReaderRightmost = 25,
  kReaderRightmostOverlay = 26,
  kReaderSecondRight = 27,
  kReaderStripLeft1 = 28,
  kReaderStripLeft2 = 29,
  kReaderStripField = 30,
  kReaderStripRight1 = 31,
  kReaderStripRight2 = 32,
  kReaderLowerPane = 33,
  kReaderSideStrip = 34,
  kReaderControlCount = 35,
};
extern const uint16_t kReaderWindowControls[kReaderControlCount];

// Offsets in the reader's stored settings record (little-endian); it is read
// by offset, never overlaid, since it comes from the registry.
enum : uint32_t {
  kReaderRecordSize = 564,
  kReaderStripShown = 536,
  kReaderTallStrip = 537,
  kReaderLowerPaneOff = 538,
  kReaderNoSideButton1 = 540,  // both set: no side buttons
  kReaderNoSideButton2 = 541,
  kReaderLowerPaneSize = 542,  // u16: splitter to the window's lower edge
  kReaderTopRowShown = 560,
  kReaderTopRowCount = 562,  // u16; more than 3 counts as 3
};

// Preferences the test window's pass reads.
enum : int32_t {
  kPrefTestBottomMirrored = 158,  // low byte: the bottom row is mirrored
};

// Test layout kinds (GetPaneLayoutValue).
enum : uint32_t {
  kTestKindNone = 0,
  kTestKindStrokeBox = 1,
  kTestKindAnswerField = 2,
  kTestKindRowSelectors = 3,
  kTestKindSquare = 4,
};

// The test window's pass over `layout` (the session's display words).
void LayoutTestWindow(DictEngine* engine, const LayoutSink* sink, const SessionDisplayLayout* layout,
                      const PaneRect& rect);
// The reader's pass over its kReaderRecordSize-byte settings record.
void LayoutReaderWindow(DictEngine* engine, const LayoutSink* sink, const uint8_t* settings, const PaneRect& rect);

// The test pass's kind.
uint32_t GetPaneLayoutValue(DictEngine* engine);
// The test pass's flags and selector count; null outs are skipped.
void GetTestLayoutFlags(DictEngine* engine, uint8_t* writingArea, uint8_t* square, uint16_t* selectors);
// The reader pass's splitter range, each truncated to 16 bits.
void GetReaderSplitterLimits(DictEngine* engine, uint16_t* top, uint16_t* bottom);
