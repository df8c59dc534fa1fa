// SorviTapholdClass: a tool button that reports a tap (0x8381) and, when
// held for half a second with hold enabled, a hold (0x8382) instead, after
// which the release reports nothing. It shows an image of an image list, or
// up to three letters from the letter strips (LetterGlyphStrip) in a box of
// its colour.
#pragma once

#include <cstdint>

#include "platform/imagelist.h"
#include "platform/ui.h"
#include "toolkit/draw_context.h"

inline constexpr const WCHAR* kTapholdClassName = u"SorviTapholdClass";
inline constexpr UINT kTapholdSetInfo = 0x8281;  // lParam TapholdButtonInfo*
inline constexpr UINT kTapholdTapCode = 0x8381;
inline constexpr UINT kTapholdHoldCode = 0x8382;
inline constexpr UINT_PTR HoldTimerId = 37124;
inline constexpr UINT kHoldTime = 500;  // ms

// The letter strips: one row of 38 equal glyphs (A-Z, 0-9, "-", a fallback),
// white on black. The button picks one by the application's UI metric.
struct LetterGlyphStrip {
  uint16_t resource;
  uint8_t glyphWidth;
  uint8_t glyphHeight;
};
inline constexpr LetterGlyphStrip kLetterStripSmall{4211, 4, 10};
inline constexpr LetterGlyphStrip kLetterStripMedium{5501, 5, 14};
inline constexpr LetterGlyphStrip kLetterStripLarge{4212, 8, 20};
// 32 -> large, 22 -> medium, any other -> small.
LetterGlyphStrip LetterStripForMetric(int16_t metric);
// The glyph of a label character: 0-25 for A-Z and a-z, 26-35 for 0-9, 36
// for "-", 37 for anything else.
int LetterGlyphIndex(char c);

// The create record, or lParam of 0x8281; all zero when absent.
struct TapholdButtonInfo {
  HIMAGELIST imageList;  // or null
  int32_t imageIndex;    // negative: no image
  uint8_t holdEnabled;
  uint8_t tapReportsHold;  // a tap and Enter report a hold
  uint8_t unused;
  uint8_t textLabel;  // 1: letters instead of an image
  uint8_t inverted;   // box white, letters copied inverted
  uint16_t maxSize;   // the label box at most this wide and high; 0: no limit
  ColorWord color;    // the label box's background
  char label[4];      // up to three ASCII characters, ending at the first 0
};

struct TapholdState {
  TapholdButtonInfo info;
  DrawContext* drawContext;
  uint8_t penDown;
  uint8_t shown;
  uint8_t focused;
};

// The label box in a client rectangle: narrowed to the maximum size and
// centred; a maximum of 0 leaves the client rectangle whole.
ShortRect TapholdLabelBox(const ShortRect& client, uint16_t maxSize);
// Left edges of the letters of an n-letter label in a box.
void TapholdLetterPositions(int boxX, int boxWidth, int glyphWidth, int n, int* xs);

LRESULT TapholdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
