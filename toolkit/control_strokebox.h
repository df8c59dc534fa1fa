// SorviStrokeboxClass: how a character is written. The box holds the closed
// outline of each stroke of one character and draws the strokes filled, one
// after another, each growing from its start to its end over a set duration
// (the animation sleeps on the UI thread between bands, as the character
// page expects). In choosing mode the user taps or drags over the strokes in
// the order they think right: the stroke under the pen is highlighted, each
// chosen stroke is recorded and the parent told (0x8351). The owner can then
// mark each stroke green or red.
//
// Stroke data (0x8252): 16-bit values read as (x, y) pairs relative to the
// box's origin; each stroke's outline runs from its start along one side to
// its end and back along the other; (0xFFFF, y != 0xFFFF) ends a stroke and
// (0xFFFF, 0xFFFF) the data. The engine's aux index records
// (engine/stroke_index.h) have this form once scaled to the box.
//
// Bounds: every array is allocated at creation with the create record's
// capacities; segments past the point capacity are dropped, and reading
// stops at the first stroke end that cannot open a stroke within the stroke
// capacity. UI thread only.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/draw_context.h"

struct DictEngine;

inline constexpr const WCHAR* kStrokeboxClassName = u"SorviStrokeboxClass";
inline constexpr const WCHAR* kStrokeboxProperty = u"SorviStrokeboxInfo";

enum StrokeboxMessage : UINT {
  kStrokeboxSetOptions = 0x8251,   // lParam StrokeboxOptions*
  kStrokeboxLoad = 0x8252,         // wParam count | flags below, lParam data
  kStrokeboxAdvance = 0x8253,      // wParam bit 0 show all, lParam strokes (0 = the rest)
  kStrokeboxStepBack = 0x8254,     //
  kStrokeboxGetCounts = 0x8255,    // (shown << 16) + stroke count
  kStrokeboxSetChoosing = 0x8256,  // wParam low byte
  kStrokeboxGetChoices = 0x8257,   // wParam room, lParam uint16_t buffer
  kStrokeboxGetChoiceValues = 0x8258,
  kStrokeboxSetMarks = 0x8259,  // wParam number, lParam uint16_t marks
  kStrokeboxRecreate = 0x825A,  // lParam StrokeboxCreateParams* (null: nothing)
};
inline constexpr UINT kStrokeboxChosenCode = 0x8351;

// Flags of 0x8252's wParam above its 16-bit count.
inline constexpr uint32_t kStrokeLoadShowAll = 1u << 16;
inline constexpr uint32_t kStrokeLoadOrdered = 1u << 17;
inline constexpr uint32_t kStrokeLoadNoRepaint = 1u << 18;

inline constexpr uint16_t kStrokeDataEnd = 0xFFFF;  // x of a stroke end; x and y of the data's end
inline constexpr uint16_t kNoStroke = 0xFFFF;
// A tap inside no outline picks the nearest midline only below this squared
// distance (1000 pixels).
inline constexpr float kStrokeNearLimit = 1000000.0f;

// Colour words of the box.
inline constexpr ColorWord kStrokeGreen = 0x00FF00;
inline constexpr ColorWord kStrokeRed = 0xFF0000;
inline constexpr ColorWord kStrokeHighlight = 0xACD6E5;
inline constexpr ColorWord kStrokeRestore = 0x21000000;  // the static background

// Marks (0x8259).
enum StrokeMark : uint16_t { kStrokePlain = 0, kStrokeRight = 1, kStrokeWrong = 2 };

// One segment in the entry form FillPolygon's callers use: each entry's
// (x1, y1) is a vertex.
struct StrokeSegment {
  uint16_t x1, x2, y1, y2;
};

using StrokeboxNotifyCallback = void (*)(HWND context, uint16_t shown, uint16_t total, uint8_t choosing);

struct StrokeboxCreateParams {
  HWND window;               // filled
  ShortRect boxRect;         // filled from the client rectangle
  DrawContext* drawContext;  // filled
  uint16_t fontSlot;         // kept for the owner
  uint16_t fontSize;
  StrokeboxNotifyCallback notify;  // filled: SendStrokeboxNotify
  uint16_t pointCapacity;          // outline segments
  uint16_t strokeCapacity;
  uint8_t doubleCoordinates;  // data offsets and pen positions are doubled
};

struct StrokeboxOptions {
  uint16_t duration;    // ms per stroke; 0 draws at once
  uint8_t outlineRest;  // outline the strokes not shown, and every coloured one
  uint8_t reserved1[3];
  uint8_t gradient;  // later strokes lighter
  uint8_t reserved2;
};

struct StrokeboxState {
  HWND context;
  DictEngine* engine;
  DrawContext* draw;  // owned
  uint8_t doubleCoordinates;
  ShortRect box;
  uint16_t fontSlot;
  uint16_t fontSize;
  StrokeboxNotifyCallback notify;
  StrokeSegment* outline;
  uint16_t outlineCount;
  uint16_t outlineCapacity;
  StrokeSegment* midline;
  uint16_t midlineCount;
  uint16_t midlineCapacity;
  uint16_t* strokeStarts;  // first outline segment of each stroke
  uint16_t* midlineStarts;
  uint16_t strokeCount;
  uint16_t strokeCapacity;
  uint8_t ordered;
  uint16_t* choices;       // stroke numbers in the order chosen
  uint16_t* choiceValues;  // 1 for each pen choice
  uint16_t* marks;
  StrokeboxOptions options;
  uint8_t choosing;
  uint16_t highlighted;  // kNoStroke: none
  uint16_t shown;
  uint8_t penDown;
  uint16_t lastX, lastY;
};

// Null when the heap is exhausted (nothing is left allocated). The state
// takes the draw context over only on success.
StrokeboxState* NewStrokeboxState(DictEngine* engine, const StrokeboxCreateParams* params);
void FreeStrokeboxState(StrokeboxState* state);

// `count` 16-bit values of stroke data with the 0x8252 flags; no data or a
// count of 0 keeps the strokes loaded. Repaints unless kStrokeLoadNoRepaint.
void LoadStrokes(StrokeboxState* state, const uint16_t* data, uint16_t count, uint32_t flags);
// Strokes first .. end - 1 (cut to the stroke count): outside choosing by
// their marks, in choosing mode in `colour`; animated over `duration` ms.
void DrawStrokes(StrokeboxState* state, uint16_t first, uint16_t end, uint16_t duration, ColorWord colour);
// One stroke grown from its start in bands paced with Sleep and GetTickCount.
void AnimateStrokeFill(StrokeboxState* state, uint16_t stroke, uint16_t duration, ColorWord colour);
void DrawStrokeOutlines(StrokeboxState* state, uint16_t stroke);
void PaintStrokebox(StrokeboxState* state);
// 1 when the last stroke is shown, else 0.
int AdvanceStrokes(StrokeboxState* state, uint16_t count, int showAll);
void StepBackStroke(StrokeboxState* state);
void SetStrokeChoosing(StrokeboxState* state, int on);
// Pen events (0 down, 1 move, 2 up) in box coordinates; see the up's result:
// 1 when a stroke was chosen.
int StrokeboxPenEvent(StrokeboxState* state, int event, int x, int y);
// The stroke under A (B breaks ties between overlapping outlines), or the one
// whose midline is nearest to A below kStrokeNearLimit; kNoStroke for none.
// `direction` (optional) is set when A lies no farther than B from the
// stroke's first outline point.
uint16_t HitTestStroke(const StrokeboxState* state, int ax, int ay, int bx, int by, uint8_t* direction,
                       int leaveOutChosen);
// Crossing count of a closed outline: 1 inside, 0 outside.
int PointInStrokeOutline(const StrokeSegment* segments, uint16_t count, int px, int py);
// The smallest squared distance below kStrokeNearLimit, else kStrokeNearLimit.
float MinSquaredDistanceToSegments(const StrokeSegment* segments, uint16_t count, int px, int py);
void MoveStrokebox(StrokeboxState* state, const ShortRect& rect);

// Milliseconds per stroke from preference 72: 1 gives 600, 3 gives 200,
// anything else 400.
inline constexpr int32_t kPrefStrokeSpeed = 72;
uint16_t GetStrokeAnimationDelay(DictEngine* engine);

// 0x8351 to the parent of `context` with the counts and the choosing flag.
void SendStrokeboxNotify(HWND context, uint16_t shown, uint16_t total, uint8_t choosing);
StrokeboxState* GetStrokeboxState(HWND hwnd);
LRESULT StrokeboxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
