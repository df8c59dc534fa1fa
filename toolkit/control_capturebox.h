// The capture box: what the stylus writes becomes ink, a list of points
// broken into strokes, and each stroke is drawn while it is written. One
// state record serves two forms: the SorviCaptureboxClass window (a framed
// panel) and a box embedded in a host window (a field or a list), whose state
// sits under the same property name on the host and covers its whole client
// area.
//
// Ink (`InkPoints`): pairs of unsigned 16-bit values (x, y), x first, in the
// box's client pixels; the recogniser reads them as signed 16-bit, so 0xFFFF
// is -1 to it. A point is 0..32767 on each axis (negative coordinates are
// stored as 0); (0xFFFF, 0) ends every stroke; (0xFFFF, 0xFFFF) ends the ink
// and is written only when the ink is handed out. No pair equals the one
// before it. The ink is the box's: a receiver reads it in place and frees
// nothing; the pointer stays good until the box next stores a point, clears
// or is destroyed.
//
// Result convention: 1 where an operation or message has nothing else to say.
// UI thread only.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/draw_context.h"

struct DictEngine;
struct MemHandle;

inline constexpr const WCHAR* kCaptureboxClassName = u"SorviCaptureboxClass";
inline constexpr const WCHAR* kCaptureboxProperty = u"SorviCaptureboxInfo";

// Messages of the box window; an embedded box answers the same numbers
// through EmbeddedCaptureboxMessage.
inline constexpr UINT kCaptureboxGetInk = 0x8261;        // lParam uint16_t* gets the pair count; result: the pairs
inline constexpr UINT kCaptureboxSetSmoothing = 0x8262;  // wParam low byte: 1 on, 0 off
inline constexpr UINT kCaptureboxClear = 0x8263;
inline constexpr UINT kCaptureboxUndoStroke = 0x8264;  // nothing redrawn: the sender invalidates the box
// Notification codes (ControlNotify payload: one 32-bit value in `index`).
inline constexpr UINT kCaptureboxStrokeEnded = 0x8361;  // the new stroke count
inline constexpr UINT kCaptureboxStrokeBegun = 0x8362;  // the number the new stroke will have

// The messages a field or a list shares for its embedded box.
inline constexpr UINT kSetInkMessage = 0x8298;  // wParam non-zero: ink on (attaches a box); 0: off (stays attached)
inline constexpr UINT kHasInkMessage = 0x8299;  // 1 when ink is on and the box holds a stroke
// Results of EmbeddedCaptureboxMessage that ask the host to act on its
// vertical scroll bar and then return 1.
inline constexpr LRESULT kInkHideScrollBar = 0x8282;
inline constexpr LRESULT kInkRefreshScrollBar = 0x8283;

// Pairs the ink may hold, markers and the end-of-ink pair included. Points
// are stored only below kInkPointLimit pairs and stroke ends only below
// kInkPointLimit + 1, so that every stroke stored is ended and the end of the
// ink always fits when it is handed out.
inline constexpr uint16_t kInkMaxPairs = 8191;
inline constexpr uint16_t kInkPointLimit = 8189;
// The ink handle grows by this many pairs.
inline constexpr uint16_t kInkGrowth = 32;
inline constexpr uint16_t kInkMarker = 0xFFFF;  // x of a stroke end and of the end of the ink

// Told when a stroke begins (begun 1, the number it will have) and ends
// (begun 0, the new stroke count).
using CaptureboxNotifyCallback = void (*)(HWND context, uint16_t stroke, uint8_t begun);

struct InkPoint {
  uint16_t x;
  uint16_t y;
};

struct CaptureboxState {
  DictEngine* engine;  // its scaled flag widens the ink; its preferences are read
  DrawContext* draw;   // owned: freed with the state
  ShortRect rect;      // the client rectangle
  uint8_t embedded;
  uint8_t smoothing;     // 1 at creation
  MemHandle* inkHandle;  // made on the first point, kept until the state is freed
  uint16_t* ink;         // x, y of each pair: the handle's data, locked once and kept locked
  uint16_t count;        // pairs in the ink
  uint16_t capacity;     // pairs the handle holds
  uint8_t penDown;
  InkPoint lastRaw;    // the last pen position received
  InkPoint lastDrawn;  // where the drawn smoothed stroke ends
  uint16_t rawCount;   // move points of this stroke (smoothing)
  uint16_t processed;  // smoothed points produced (smoothing), else move points drawn
  InkPoint ring[5];    // the last five raw move points: point n in slot n mod 5
  HWND notifyContext;
  CaptureboxNotifyCallback notify;  // null: nobody is told
  uint32_t strokeCount;             // completed strokes in the ink
};

// Zero-filled with smoothing on; null when the heap is exhausted (the draw
// context is then left to the caller).
CaptureboxState* NewCaptureboxState(DictEngine* engine, const ShortRect& rect, DrawContext* draw, uint8_t embedded,
                                    HWND notifyContext, CaptureboxNotifyCallback notify);
// Frees the ink handle, the draw context and the state. Null is ignored.
void FreeCaptureboxState(CaptureboxState* state);

// Pen events 0 down, 1 move, 2 up (PenEvent) at client (x, y). 1 when
// handled; 0 for a move or up while the pen is not down. A move outside the
// rectangle is stored as the stroke's last point and ends the stroke.
int CaptureboxPenEvent(CaptureboxState* state, int event, int x, int y);
// Stores one pen position, or the stroke end (0xFFFF, 0). A point is limited
// to 0..32767 on each axis; a stroke end only follows a pair. Dropped
// without a word when it equals the last pair, when the limit is reached or
// when the handle cannot grow.
void AddInkPoint(CaptureboxState* state, int x, int y);
// Appends the end of the ink and hands the ink out: *count gets the pairs
// including that end, which the next stored point overwrites. An empty box
// hands out the end pair alone. `count` may be null.
const uint16_t* TakeInk(CaptureboxState* state, uint16_t* count);
// Removes the last stroke (meant for a pen that is up); 1 when more than one
// pair is left, else 0. Nothing is redrawn.
int UndoInkStroke(CaptureboxState* state);
// Empties the ink; a box window repaints its background and frame at once.
void ClearInk(CaptureboxState* state);
// Redraws: a box window its background and etched frame first, then every
// stroke of the ink (a stroke of one point as a dot).
void DrawCaptureboxInk(CaptureboxState* state);
void SetCaptureboxRect(CaptureboxState* state, const ShortRect& rect);
// Non-zero: on. Within a stroke the change keeps every point: going off
// stores the points smoothing held back, coming on starts from the pen.
void SetInkSmoothing(CaptureboxState* state, uint8_t on);
uint16_t GetInkStrokeCount(const CaptureboxState* state);  // the low 16 bits
bool IsCaptureboxEmbedded(const CaptureboxState* state);

// Sends 0x8362 (begun) or 0x8361 with the stroke number to the parent of
// `window`, with its control id as wParam and in the record.
void SendCaptureboxNotify(HWND window, uint16_t stroke, uint8_t begun);

// The state of a box window or of a host's embedded box; null without one.
CaptureboxState* GetCaptureboxState(HWND window);

// ---- Embedding ----
// Makes an embedded box over the host's client area unless the host has one.
void AttachCapturebox(HWND host);
// Frees the host's embedded box, if any.
void DetachCapturebox(HWND host);
// The host offers every message here first while its ink is on. 0: not the
// box's (or no box), the host handles it; kInkHideScrollBar or
// kInkRefreshScrollBar: the host acts on its scroll bar and returns 1; any
// other value is the message's result. Pen down fades the host before the
// first stroke; move, size and position changes re-take the rectangle and
// return 0, so that the host sees them too.
LRESULT EmbeddedCaptureboxMessage(HWND host, UINT msg, WPARAM wParam, LPARAM lParam);
// The host calls it after handling each message while its ink is on: after
// WM_PAINT with a completed stroke, the host is faded and the ink drawn over
// it.
void EmbeddedCaptureboxPaint(HWND host, UINT msg);
// ORs RGB(192, 192, 192) into the window's client area: dark text turns grey,
// white stays white.
void FadeWindowForInk(HWND window);

LRESULT CaptureboxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
