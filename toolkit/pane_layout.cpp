#include "toolkit/pane_layout.h"

#include <algorithm>
#include <vector>

#include "engine/preferences.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/ui_dialog.h"

const uint16_t kMainPaneControls[kPaneControlCount] = {
    1002, 0,    0,    0,    0,    1004, 0,    16,   1020, 0, 10, 1030, 0, 1031, 1032, 0,    1033, 1034,
    0,    1041, 1035, 1036, 1037, 1038, 1039, 1040, 1042, 0, 0,  1043, 0, 1044, 1045, 1046, 1047,
};

namespace {

PaneLayoutBlock gBlock{};

// The button rows' buttons and the top bar's line are 8 units square/high.
constexpr int32_t kButton = 8;
// A client at least this high is tall; a client not tall but this wide is
// wide. Below both, one of the section and the list pane may give way.
constexpr int32_t kRoomyUnits = 81;
// Pane sizes a drag may store: smaller is unusable, larger leaves no content.
constexpr int32_t kLeastPane = 8;
constexpr int32_t kMostPane = 60;
// A handwriting section narrower than this becomes the compact strip.
constexpr int32_t kLeastFullHandwriting = 24;
constexpr int32_t kCompactStrip = 9;
// The full handwriting section's button column before its writing box: three
// buttons and the seven units by which the row's top precedes the box.
constexpr int32_t kHandwritingColumn = 3 * kButton - 1;
// A writing box narrower than two buttons holds too little of a character's
// strokes to recognise.
constexpr int32_t kLeastWritingBox = 2 * kButton;

// Input buttons 1-6 by number (1-based), their table entries.
int Button(int n) { return n == 1 ? kPaneInputButton1 : kPaneInputButton2 + n - 2; }

bool Landscape(DictEngine* engine) { return UseLandscapeInputLayout(engine); }
int32_t Pref(DictEngine* engine, int32_t portrait, int32_t wide) {
  return GetPref(engine, Landscape(engine) ? wide : portrait);
}
void StorePref(DictEngine* engine, int32_t portrait, int32_t wide, int32_t value) {
  SetPref(engine, Landscape(engine) ? wide : portrait, value);
}

bool OnSide(int32_t side) { return side >= kPaneRight && side <= kPaneBottom; }

void ToUnits(int32_t x, int32_t y, int32_t w, int32_t h, uint16_t out[4]) {
  out[0] = static_cast<uint16_t>(x);
  out[1] = static_cast<uint16_t>(y);
  out[2] = static_cast<uint16_t>(std::clamp(w, 0, 0xFFFF));
  out[3] = static_cast<uint16_t>(std::clamp(h, 0, 0xFFFF));
}

int Id(const LayoutSink* sink, int entry) { return sink->controls[entry]; }

void Place(const LayoutSink* sink, int entry, int32_t x, int32_t y, int32_t w, int32_t h) {
  int id = Id(sink, entry);
  if (id == 0) return;
  uint16_t r[4];
  ToUnits(x, y, w, h, r);
  sink->place(sink->context, id, r);
}
void PlaceShow(const LayoutSink* sink, int entry, int32_t x, int32_t y, int32_t w, int32_t h) {
  uint16_t r[4];
  ToUnits(x, y, w, h, r);
  SinkPlaceAndShow(sink, Id(sink, entry), r);
}
void PlaceShow(const LayoutSink* sink, int entry, const PaneRect& r) {
  PlaceShow(sink, entry, r.x, r.y, r.width, r.height);
}
void Show(const LayoutSink* sink, int entry, bool shown) {
  int id = Id(sink, entry);
  if (id != 0) sink->show(sink->context, id, shown);
}
// A tap-and-hold button and its overlay one unit right and down.
void PlaceButton(const LayoutSink* sink, int entry, int overlay, int32_t x, int32_t y) {
  Place(sink, entry, x, y, kButton, kButton);
  if (overlay >= 0) PlaceShow(sink, overlay, x + 1, y + 1, kButton, kButton);
}

void Copy4(uint16_t to[4], const uint16_t from[4]) { std::copy(from, from + 4, to); }

// The handwriting buttons: the compact strip shows one of two sets that
// share three places; the full section shows all but button 2.
void ShowHandwritingButtons(const LayoutSink* sink, bool compact, bool alternate) {
  if (compact) {
    const int shownSet[3] = {alternate ? 3 : 1, alternate ? 5 : 2, alternate ? 4 : 6};
    const int hiddenSet[3] = {alternate ? 1 : 3, alternate ? 2 : 5, alternate ? 6 : 4};
    for (int n : hiddenSet) Show(sink, Button(n), false);
    for (int n : shownSet) Show(sink, Button(n), true);
    return;
  }
  Show(sink, Button(2), false);
  for (int n : {1, 3, 4, 5, 6}) Show(sink, Button(n), true);
}

void PlaceCompactGrid(const LayoutSink* sink, bool alternate) {
  int id = Id(sink, kPaneCandidateGrid);
  if (id == 0) return;
  sink->show(sink->context, id, false);
  sink->place(sink->context, id, gBlock.candidateRects[alternate ? 0 : 1]);
  sink->show(sink->context, id, true);
}

void NoBegin(HWND, bool) {}
void BeginMainWindow(HWND window, bool) { HideChildWindowsExceptInput(window); }

}  // namespace

PaneLayoutBlock* GetPaneLayoutBlock() { return &gBlock; }

LayoutSink MakeMainWindowSink(HWND window) {
  return LayoutSink{PlaceDlgItemScaled, MoveDlgItemScaled, SetDlgItemShown, BeginMainWindow, window, kMainPaneControls};
}

void SinkPlaceAndShow(const LayoutSink* sink, int control, const uint16_t rect[4]) {
  if (control == 0) return;
  sink->place(sink->context, control, rect);
  sink->show(sink->context, control, true);
}

void GetSplitterRect(const PaneRect& pane, PaneRect* out, int32_t side) {
  *out = pane;
  if (side == kPaneLeft) {
    out->x = pane.x + pane.width;
    out->width = 1;
  } else if (side == kPaneRight) {
    out->x = pane.x - 1;
    out->width = 1;
  } else {
    out->y = pane.y - 1;
    out->height = 1;
  }
}

// ---- Top bar ----

int32_t LayoutTopBar(DictEngine* engine, const LayoutSink* sink, const PaneRect& client) {
  const bool keys = UseLandscapeKeyLists(engine);
  const int32_t width = std::max(client.width, 0);
  // Counts beyond the table's capacity have no controls to lay.
  int32_t first = std::clamp(GetPref(engine, keys ? kPrefFirstRowInUseWide : kPrefFirstRowInUse), 0,
                             static_cast<int32_t>(sink->controls[kPaneFirstRowCapacity]));
  int32_t second = std::clamp(GetPref(engine, keys ? kPrefSecondRowInUseWide : kPrefSecondRowInUse), 0,
                              static_cast<int32_t>(sink->controls[kPaneSecondRowCapacity]));
  if (width < kButton * first) first = width / kButton;
  gBlock.firstRowInUse = static_cast<uint16_t>(first);
  gBlock.secondRowInUse = static_cast<uint16_t>(second);
  const bool fromRight = GetPref(engine, kPrefTopBarFromRight) != 0;
  // Everything is laid from the left, then mirrored for the right-hand form.
  auto mirror = [&](int32_t x, int32_t w) { return fromRight ? width - x - w : x; };

  // The first row spread over the width; one button stands at the start.
  int32_t gap = 0;
  int32_t wider = 0;  // gaps one unit wider, from the start
  if (first > 1) {
    gap = (width - kButton * first) / (first - 1);
    wider = (width - kButton * first) % (first - 1);
  }
  std::vector<int32_t> firstX(static_cast<size_t>(first));
  for (int32_t i = 0, x = 0; i < first; ++i) {
    firstX[i] = x;
    x += kButton + gap + (i < wider ? 1 : 0);
  }
  const uint16_t* t = sink->controls;
  for (int32_t i = 0; i < first; ++i) {
    int32_t x = mirror(firstX[i], kButton);
    uint16_t r[4];
    ToUnits(x, 0, kButton, kButton, r);
    if (t[kPaneFirstButtonRow] != 0) SinkPlaceAndShow(sink, t[kPaneFirstButtonRow] + i, r);
    ToUnits(x + 1, 1, kButton, kButton, r);
    if (t[kPaneFirstRowOverlays] != 0) SinkPlaceAndShow(sink, t[kPaneFirstRowOverlays] + i, r);
  }

  // The field line: [outer extra] field [small] [extra beside] second row.
  const int32_t y = first > 0 ? kButton + 1 : 0;
  const int32_t extraMode = GetPref(engine, kPrefExtraButton);
  const bool small = t[kPaneSmallControl] != 0;
  int32_t fieldWidth = width - second * (kButton + gap) - (small ? 6 : 0) - (extraMode != 0 ? kButton : 0);
  fieldWidth = std::max(fieldWidth, 0);
  int32_t x = 0;
  if (extraMode == 2) {
    PlaceShow(sink, kPaneExtraButton, mirror(0, kButton), y, kButton, kButton);
    x = kButton;
  }
  const int32_t fieldX = mirror(x, fieldWidth);
  for (int entry : {kPaneInputField, kPaneSecondInputField}) Place(sink, entry, fieldX, y, fieldWidth, kButton);
  PlaceShow(sink, kPaneBelowField, fieldX, y + kButton, fieldWidth + 7, 40);
  x += fieldWidth;
  if (small) {
    PlaceShow(sink, kPaneSmallControl, mirror(x, 6), y, 6, kButton);
    x += 6;
  }
  if (extraMode != 0 && extraMode != 2) PlaceShow(sink, kPaneExtraButton, mirror(x, kButton), y, kButton, kButton);
  for (int32_t j = 0; j < second; ++j) {
    // Under the last buttons of the first row, or packed against the edge.
    int32_t bx = (!fromRight && first >= second) ? firstX[first - second + j]
                                                 : width - kButton - (second - 1 - j) * (kButton + gap);
    uint16_t r[4];
    ToUnits(mirror(bx, kButton), y, kButton, kButton, r);
    if (t[kPaneSecondButtonRow] != 0) SinkPlaceAndShow(sink, t[kPaneSecondButtonRow] + j, r);
    ToUnits(mirror(bx, kButton) + 1, y + 1, kButton, kButton, r);
    if (t[kPaneSecondRowOverlays] != 0) SinkPlaceAndShow(sink, t[kPaneSecondRowOverlays] + j, r);
  }
  const bool secondField = GetPref(engine, kPrefSecondInputField) != 0;
  Show(sink, kPaneInputField, !secondField);
  Show(sink, kPaneSecondInputField, secondField);
  return first > 0 ? 2 * kButton + 1 : kButton;
}

// ---- Input sections ----

int32_t LayoutInputSectionKind0(DictEngine* engine, const LayoutSink* sink, const PaneRect& window, int32_t x,
                                int32_t y, int32_t length, int32_t size, int32_t side) {
  const bool mirrored = GetPref(engine, kPrefMirrorInputSection) != 0;
  const int32_t L = length;
  if (GetPref(engine, kPrefCompactHandwriting) != 0) {
    gBlock.inputLaid = 1;
    // Two sets of three buttons share three places; the grid follows them.
    int32_t px[3], py[3];
    int32_t gx, gy, gw, gh;
    for (int i = 0; i < 3; ++i) {
      if (side == kPaneBottom) {
        px[i] = mirrored ? x + L - kCompactStrip - kButton * i : x + kButton * i;
        py[i] = y;
      } else {
        px[i] = x;
        py[i] = y + kButton * i;
      }
    }
    if (side == kPaneBottom) {
      gx = mirrored ? x : x + 25;
      gy = y;
      gw = L - 25;
      gh = kCompactStrip;
    } else {
      gx = x;
      gy = y + 25;
      gw = kCompactStrip;
      gh = L - 25;
    }
    const int pairs[3][2] = {{1, 3}, {2, 5}, {6, 4}};
    for (int i = 0; i < 3; ++i)
      for (int n : pairs[i]) Place(sink, Button(n), px[i], py[i], kButton, kButton);
    ToUnits(gx, gy, gw, gh, gBlock.candidateRects[0]);
    Copy4(gBlock.candidateRects[1], gBlock.candidateRects[0]);
    ToUnits(0, 0, window.width, 2 * kButton + 1, gBlock.writingArea);
    PlaceCompactGrid(sink, false);
    ShowHandwritingButtons(sink, true, false);
    return kCompactStrip;
  }

  // The row of three buttons along the box's edge needs the section's least
  // size across; a cap that squeezes the section below it lays nothing.
  const int32_t S = size;
  if (S < kLeastFullHandwriting) return 0;
  // Along the side, the outer button column (input mode, backspace, and the
  // row's first button) needs 3 x 8 units before the box. A short band (a
  // landscape window) keeps the column whole and shrinks the box; a band
  // that leaves less than kLeastWritingBox to write in lays nothing.
  const int32_t B = std::min(S, L - kHandwritingColumn);  // the box and its one-unit margins
  if (B - 2 < kLeastWritingBox) return 0;
  gBlock.inputLaid = 1;
  const int32_t rest = L - B - 7;       // the length left above (beside) the writing box
  const int32_t centred = (S - B) / 2;  // the box's offset across when it is shrunk
  if (side == kPaneBottom) {
    PlaceShow(sink, kPaneCandidateGrid, mirrored ? x + B + 7 : x + 1, y + 1, L - B - 8, S - 9);
    const int32_t cx = mirrored ? x + B - 1 : x + rest;
    Place(sink, Button(3), cx, y, kButton, kButton);
    Place(sink, Button(5), cx, y + (S - 8) / 2, kButton, kButton);
    Place(sink, Button(4), cx, y + S - 8, kButton, kButton);
    const int32_t dir = mirrored ? 1 : -1;
    Place(sink, Button(6), cx + dir * (rest / 2), y + S - 8, kButton, kButton);
    PlaceButton(sink, Button(1), kPaneInputButton1Overlay, cx + dir * rest, y + S - 8);
    PlaceShow(sink, kPaneCaptureBox, mirrored ? x + 1 : x + L - B + 1, y + 1 + centred, B - 2, B - 2);
    ToUnits(0, 0, window.width, window.height - S, gBlock.outsideRect);
  } else {
    const bool left = side == kPaneLeft;
    const int32_t bx = left ? x : x + S - kButton;
    const int32_t inward = left ? 1 : -1;
    PlaceButton(sink, Button(1), kPaneInputButton1Overlay, bx, y);
    Place(sink, Button(6), bx, y + rest / 2, kButton, kButton);
    Place(sink, Button(3), bx, y + rest, kButton, kButton);
    Place(sink, Button(5), bx + inward * ((S - 8) / 2), y + rest, kButton, kButton);
    Place(sink, Button(4), bx + inward * (S - 8), y + rest, kButton, kButton);
    PlaceShow(sink, kPaneCandidateGrid, left ? x + 8 : x + 1, y + 1, S - 9, L - B - 8);
    PlaceShow(sink, kPaneCaptureBox, x + 1 + centred, y + L - B + 1, B - 2, B - 2);
    if (left) ToUnits(S, 0, window.width - S, window.height, gBlock.outsideRect);
    else
      ToUnits(0, 0, window.width - S, window.height, gBlock.outsideRect);
  }
  ShowHandwritingButtons(sink, false, false);
  return S;
}

// The selector and the combo box have no size of their own in the section's
// rules; they fill the room their neighbours leave.
int32_t LayoutInputSectionKind1(DictEngine* engine, const LayoutSink* sink, const PaneRect&, int32_t x, int32_t y,
                                int32_t length, int32_t size, int32_t side) {
  const int32_t S = size;
  const int32_t L = length;
  if (S < 16) return 0;
  gBlock.inputLaid = 1;
  const int32_t odd = S & 1;
  if (side == kPaneBottom) {
    const bool mirrored = GetPref(engine, kPrefMirrorInputSection) != 0;
    const int32_t bx = mirrored ? x + L - kButton : x;
    PlaceShow(sink, Button(6), bx, y, kButton, kButton);
    PlaceButton(sink, Button(1), kPaneInputButton1Overlay, bx, y + S - kButton + odd);
    Show(sink, Button(1), true);
    const int32_t cx = mirrored ? bx - 13 : bx + 9;
    PlaceShow(sink, kPaneSelector, cx + 2, y + 1, 9, S - 9);
    PlaceShow(sink, kPaneComboBox, cx, y + S - 7, 12, 7);
    PlaceShow(sink, kPaneCandidateGrid, mirrored ? x : x + 22, y, L - 22, S);
  } else {
    const bool left = side == kPaneLeft;
    // An odd size moves the button at the window's edge one unit outwards; on
    // the left side that button stands at the inner edge, where a unit more
    // would cover the splitter.
    const int32_t rightX = x + S - kButton + (left ? 0 : odd);
    PlaceButton(sink, Button(1), kPaneInputButton1Overlay, left ? x : rightX, y);
    Show(sink, Button(1), true);
    PlaceShow(sink, Button(6), left ? rightX : x, y, kButton, kButton);
    PlaceShow(sink, kPaneSelector, x + 1, y + 9, S - 15, kButton);
    PlaceShow(sink, kPaneComboBox, x + S - 13, y + 10, 12, 7);
    PlaceShow(sink, kPaneCandidateGrid, x, y + 18, S, L - 18);
  }
  return S;
}

int32_t LayoutInputSectionKind2(DictEngine* engine, const LayoutSink* sink, const PaneRect&, int32_t x, int32_t y,
                                int32_t length, int32_t size, int32_t side) {
  const int32_t S = size;
  const int32_t L = length;
  if (S < 27) return 0;
  gBlock.inputLaid = 1;
  if (side == kPaneBottom) {
    const bool mirrored = GetPref(engine, kPrefMirrorInputSection) != 0;
    const int32_t bx = mirrored ? x + L - kButton : x;
    for (int i = 0; i < 3; ++i) PlaceShow(sink, kPaneKeyboardButton1 + i, bx + 1, y + 1 + 6 * i, 6, 6);
    PlaceButton(sink, Button(1), kPaneInputButton1Overlay, bx, y + S - kButton);
    Show(sink, Button(1), true);
    PlaceShow(sink, kPaneKeyboardGrid, mirrored ? x : x + 10, y, L - 10, S);
  } else {
    const bool left = side == kPaneLeft;
    PlaceButton(sink, Button(1), kPaneInputButton1Overlay, left ? x : x + S - kButton, y);
    Show(sink, Button(1), true);
    const int32_t px = left ? x + S - 18 : x + 1;
    for (int i = 0; i < 3; ++i) PlaceShow(sink, kPaneKeyboardButton1 + i, px + 6 * i, y + 1, 6, 6);
    PlaceShow(sink, kPaneKeyboardGrid, x, y + kButton, S, L - 10);
  }
  return S;
}

void ShowInputPanelControls(DictEngine* engine, const LayoutSink* sink, bool alternate) {
  if (!OnSide(Pref(engine, kPrefInputSide, kPrefInputSideWide)) || GetPref(engine, kPrefInputKind) != 0) return;
  const bool compact = GetPref(engine, kPrefCompactHandwriting) != 0;
  if (compact) PlaceCompactGrid(sink, alternate);
  ShowHandwritingButtons(sink, compact, alternate);
}

// ---- The pass ----

void LayoutMainPanes(DictEngine* engine, const LayoutSink* sink, const PaneRect& client, const PaneRect& window) {
  // 1. Flags, the tall/wide test and the landscape flag (read by the
  // preference lookups below).
  gBlock.inputLaid = 0;
  gBlock.inputHiddenForRoom = 0;
  gBlock.listShown = 0;
  gBlock.inputSide = kPaneHidden;
  gBlock.inputBand = 0;
  gBlock.inputLimits[0] = gBlock.inputLimits[1] = 0;
  gBlock.listLimits[0] = gBlock.listLimits[1] = 0;
  const int32_t W = std::max(client.width, 0);
  const int32_t H = std::max(client.height, 0);
  const bool tall = H >= kRoomyUnits;
  const bool wide = !tall && W >= kRoomyUnits;
  (sink->begin ? sink->begin : NoBegin)(sink->context, tall);
  gBlock.landscape = window.width > window.height ? 1 : 0;

  // 2. Top bar.
  const int32_t T = LayoutTopBar(engine, sink, client);

  // 3. The section's kind, size and least size.
  const int32_t kind = GetPref(engine, kPrefInputKind);
  const bool compact = kind == 0 && GetPref(engine, kPrefCompactHandwriting) != 0;
  int32_t inSide = Pref(engine, kPrefInputSide, kPrefInputSideWide);
  int32_t sectionSize = 0;
  int32_t least = 0;
  if (kind == 0) {
    sectionSize = compact ? kCompactStrip : Pref(engine, kPrefHandwritingSize, kPrefHandwritingSizeWide);
    least = compact ? kCompactStrip : kLeastFullHandwriting;
  } else if (kind == 1) {
    sectionSize = Pref(engine, kPrefRadicalSize, kPrefRadicalSizeWide);
    least = 16;
  } else if (kind == 2) {
    sectionSize = Pref(engine, kPrefKeyboardSize, kPrefKeyboardSizeWide);
    least = 27;
  } else {
    inSide = kPaneHidden;
  }
  if (!OnSide(inSide)) inSide = kPaneHidden;
  int32_t listSide = Pref(engine, kPrefListSide, kPrefListSideWide);
  if (listSide < kPaneRight || listSide > kPaneFill) listSide = kPaneHidden;

  // 4. A small window gives way.
  if (!tall && !wide && OnSide(inSide) && OnSide(listSide)) {
    const int32_t option = Pref(engine, kPrefSmallWindowGivesWay, kPrefSmallWindowGivesWayWide);
    if ((option == 1 && !compact) || option == 3) {
      inSide = kPaneHidden;
      gBlock.inputHiddenForRoom = 1;
    } else if (option == 2) {
      listSide = kPaneHidden;
    }
  }

  // 5. Sizes.
  int32_t listSize = std::max(Pref(engine, kPrefListSize, kPrefListSizeWide), kLeastPane);
  sectionSize = std::max(sectionSize, least);
  if (OnSide(inSide)) {
    int32_t cap = INT32_MAX;
    const bool opposite =
        (inSide == kPaneLeft && listSide == kPaneRight) || (inSide == kPaneRight && listSide == kPaneLeft);
    if (tall || wide) cap = 40;
    else if (inSide == listSide || opposite)
      cap = 16;
    else if (OnSide(listSide))
      cap = 27;
    listSize = std::min(listSize, cap);
    sectionSize = std::min(sectionSize, cap);
  }

  // What is left for the content; each band takes its side of it.
  PaneRect room{0, T, W, std::max(H - T, 0)};
  auto takeBand = [&](int32_t side, int32_t band) {
    if (side == kPaneLeft) {
      room.x += band;
      room.width -= band;
    } else if (side == kPaneRight) {
      room.width -= band;
    } else {
      room.height -= band;
    }
  };

  // 6-7. The input section at its edge, below the top bar.
  if (OnSide(inSide)) {
    PaneRect band{0, T, sectionSize, room.height};
    if (inSide == kPaneRight) band.x = W - sectionSize;
    if (inSide == kPaneBottom) band = PaneRect{0, H - sectionSize, W, sectionSize};
    const int32_t length = inSide == kPaneBottom ? band.width : band.height;
    int32_t used = 0;
    if (kind == 0) used = LayoutInputSectionKind0(engine, sink, window, band.x, band.y, length, sectionSize, inSide);
    else if (kind == 1)
      used = LayoutInputSectionKind1(engine, sink, window, band.x, band.y, length, sectionSize, inSide);
    else
      used = LayoutInputSectionKind2(engine, sink, window, band.x, band.y, length, sectionSize, inSide);
    if (used > 0) {
      // The band shrinks to what the writer used, at the same edge.
      if (inSide == kPaneRight) band.x = W - used;
      if (inSide == kPaneBottom) band.y = H - used;
      if (inSide == kPaneBottom) band.height = used;
      else
        band.width = used;
      int32_t taken = used;
      if (!compact) {
        PaneRect splitter;
        GetSplitterRect(band, &splitter, inSide);
        PlaceShow(sink, kPaneInputSplitter, splitter);
        taken += 1;
      }
      takeBand(inSide, taken);
      gBlock.inputSide = inSide;
      gBlock.inputBand = taken;
      const int32_t most = listSide == inSide ? 30 : 40;
      if (inSide == kPaneBottom) {
        gBlock.inputLimits[0] = H - most;
        gBlock.inputLimits[1] = H - least;
      } else if (inSide == kPaneRight) {
        gBlock.inputLimits[0] = W - most;
        gBlock.inputLimits[1] = W - least;
      } else {
        gBlock.inputLimits[0] = least;
        gBlock.inputLimits[1] = most;
      }
    }
  }

  // 8. The list pane next to its edge, inside a section on the same side.
  // It never reaches past the room the section left (both at the bottom of a
  // short landscape window): it shrinks to that room less its splitter, and
  // where that is below the least pane it is not laid.
  if (OnSide(listSide)) listSize = std::min(listSize, (listSide == kPaneBottom ? room.height : room.width) - 1);
  if (OnSide(listSide) && listSize >= kLeastPane) {
    gBlock.listShown = 1;
    PaneRect pane = room;
    if (listSide == kPaneRight) pane.x = room.x + room.width - listSize;
    if (listSide == kPaneBottom) pane.y = room.y + room.height - listSize;
    if (listSide == kPaneBottom) pane.height = listSize;
    else
      pane.width = listSize;
    PlaceShow(sink, kPaneList, pane);
    PaneRect splitter;
    GetSplitterRect(pane, &splitter, listSide);
    PlaceShow(sink, kPaneListSplitter, splitter);
    takeBand(listSide, listSize + 1);
    int32_t* lim = gBlock.listLimits;
    if (gBlock.inputSide == listSide) {
      // E: the section's inner edge (after its gap on the left).
      if (listSide == kPaneLeft) {
        const int32_t e = gBlock.inputBand;
        lim[0] = e + 8;
        lim[1] = e + 30;
      } else {
        const int32_t e = (listSide == kPaneRight ? W : H) - gBlock.inputBand + (compact ? 0 : 1);
        lim[0] = e - 31;
        lim[1] = e - 9;
      }
    } else if (listSide == kPaneBottom) {
      lim[0] = H - 40;
      lim[1] = H - 8;
    } else {
      const int32_t most = (wide && gBlock.inputSide == kPaneHidden) ? W / 2 : 40;
      lim[0] = listSide == kPaneLeft ? 8 : W - most;
      lim[1] = listSide == kPaneLeft ? most : W - 8;
    }
  } else if (listSide == kPaneFill) {
    gBlock.listShown = 1;
  }

  // 9. The content area, less a side strip at its right.
  if (Id(sink, kPaneSideStrip) != 0) {
    room.width -= 4;
    PlaceShow(sink, kPaneSideStrip, room.x + std::max(room.width, 0), room.y, 4, room.height);
  }
  ToUnits(room.x, room.y, room.width, room.height, gBlock.content);
  PlaceShow(sink, listSide == kPaneFill ? kPaneList : kPaneContent, room);
}

// ---- Drags and side changes ----

void SetPaneSizeFromDrag(DictEngine* engine, const PaneRect& client, bool input, int32_t position) {
  const int32_t side =
      input ? Pref(engine, kPrefInputSide, kPrefInputSideWide) : Pref(engine, kPrefListSide, kPrefListSideWide);
  if (!OnSide(side)) return;  // a hidden or filling pane has no splitter
  int32_t size = side == kPaneLeft ? position : side == kPaneRight ? client.width - position : client.height - position;
  if (input) {
    size = std::clamp(size, kLeastPane, kMostPane);
    const int32_t kind = GetPref(engine, kPrefInputKind);
    if (kind == 1) {
      StorePref(engine, kPrefRadicalSize, kPrefRadicalSizeWide, size);
    } else if (kind == 2) {
      StorePref(engine, kPrefKeyboardSize, kPrefKeyboardSizeWide, size);
    } else if (kind == 0 && GetPref(engine, kPrefCompactHandwriting) == 0) {
      // Too narrow to write in: the user writes in the input field instead.
      if (size >= kLeastFullHandwriting) StorePref(engine, kPrefHandwritingSize, kPrefHandwritingSizeWide, size);
      else
        SetPref(engine, kPrefCompactHandwriting, 1);
    }
    return;
  }
  if (gBlock.inputSide == side) size -= gBlock.inputBand;
  StorePref(engine, kPrefListSize, kPrefListSizeWide, std::clamp(size, kLeastPane, kMostPane));
}

void SetPanePosition(DictEngine* engine, int32_t side) {
  if (side >= 0) {
    if (side <= kPaneHidden) StorePref(engine, kPrefListSide, kPrefListSideWide, side);
    return;
  }
  const int32_t current = Pref(engine, kPrefListSide, kPrefListSideWide);
  if (current != kPaneHidden) {
    StorePref(engine, kPrefListSideSaved, kPrefListSideSavedWide, current);
    StorePref(engine, kPrefListSide, kPrefListSideWide, kPaneHidden);
  } else {
    StorePref(engine, kPrefListSide, kPrefListSideWide, Pref(engine, kPrefListSideSaved, kPrefListSideSavedWide));
  }
}

// The input section's side changes:
// - the side already set hides the section (4); another side 0-2 is stored,
//   and remembered too when the remembered side is 3;
// - 3, or any request while the section stands on a side but was hidden for
//   room, is refused; a refused 3 becomes the remembered side;
// - -1 (remembered side not 3): a hidden section gets its remembered side
//   back; a shown one is hidden with its side remembered.
int32_t ChangeInputPaneSide(DictEngine* engine, int32_t side, bool* refused) {
  const int32_t current = Pref(engine, kPrefInputSide, kPrefInputSideWide);
  const int32_t saved = Pref(engine, kPrefInputSideSaved, kPrefInputSideSavedWide);
  auto refuse = [&](int32_t result) {
    if (refused) *refused = true;
    return result;
  };
  if (refused) *refused = false;
  if (side == kPaneFill) {
    StorePref(engine, kPrefInputSideSaved, kPrefInputSideSavedWide, kPaneFill);
    return refuse(OnSide(current) ? 1 : 0);
  }
  if (OnSide(current) && gBlock.inputHiddenForRoom) return refuse(0);
  if (side == -1) {
    if (saved == kPaneFill) return refuse(0);
    if (!OnSide(current)) {
      if (!OnSide(saved)) return refuse(0);
      StorePref(engine, kPrefInputSide, kPrefInputSideWide, saved);
    } else {
      StorePref(engine, kPrefInputSideSaved, kPrefInputSideSavedWide, current);
      StorePref(engine, kPrefInputSide, kPrefInputSideWide, kPaneHidden);
    }
    return 1;
  }
  if (!OnSide(side)) return refuse(0);
  if (side == current) {
    StorePref(engine, kPrefInputSide, kPrefInputSideWide, kPaneHidden);
    return 1;
  }
  StorePref(engine, kPrefInputSide, kPrefInputSideWide, side);
  if (saved == kPaneFill) StorePref(engine, kPrefInputSideSaved, kPrefInputSideSavedWide, side);
  return 1;
}

// ---- Getters ----

void GetListPaneLayout(DictEngine* engine, int32_t* side, int32_t* size) {
  if (side) *side = Pref(engine, kPrefListSide, kPrefListSideWide);
  if (size) *size = Pref(engine, kPrefListSize, kPrefListSizeWide);
}

void GetPaneLayoutFlags(DictEngine*, bool* inputLaid, bool* listShown) {
  if (inputLaid) *inputLaid = gBlock.inputLaid != 0;
  if (listShown) *listShown = gBlock.listShown != 0;
}

void GetButtonRowCounts(uint16_t* first, uint16_t* second) {
  if (first) *first = gBlock.firstRowInUse;
  if (second) *second = gBlock.secondRowInUse;
}

void GetSplitterLimits(int32_t input, int32_t* low, int32_t* high) {
  const int32_t* limits = input ? gBlock.inputLimits : gBlock.listLimits;
  if (low) *low = limits[0];
  if (high) *high = limits[1];
}

int32_t GetLayoutSetting10(DictEngine* engine) { return GetPref(engine, kPrefCompactHandwriting); }
void SetLayoutSetting10(DictEngine* engine, int32_t value) { SetPref(engine, kPrefCompactHandwriting, value); }
