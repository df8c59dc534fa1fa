#include "toolkit/pane_windows.h"

#include <algorithm>

#include "engine/engine_host.h"
#include "engine/preferences.h"

const uint16_t kTestWindowControls[kTestControlCount] = {
    1102, 1103, 1104, 0,    0,    1105, 0,    1106, 1108, 1109, 1110, 1111, 1112, 1113, 1114,
    1115, 1116, 1117, 1118, 1119, 4,    1123, 1124, 1125, 4,    1129, 1130, 1131, 1132, 1133,
    8,    0,    0,    1141, 1142, 1143, 1144, 1145, 1146, 1147, 1148, 1149, 1150, 1151, 1152,
};

const uint16_t kReaderWindowControls[kReaderControlCount] = {
    1202, 0, 1203, 0,    1204, 0,    1205, 1206, 1207, 0,    1208, 1209, 1210, 1211, 0,    1212, 1213, 1214,
    1215, 0, 1226, 1227, 1216, 1217, 0,    1218, 0,    1219, 1220, 1221, 1222, 1223, 1224, 1225, 0,
};

namespace {

// Every value of these passes is unsigned 16-bit; U truncates.
uint16_t U(int32_t v) { return static_cast<uint16_t>(v); }

// Small helpers over a table entry; a 0 entry is skipped.
struct Sink {
  const LayoutSink* sink;
  int Id(int entry) const { return sink->controls[entry]; }
  void PlaceId(int id, int32_t x, int32_t y, int32_t w, int32_t h, bool show) const {
    if (id == 0) return;
    const uint16_t r[4] = {U(x), U(y), U(w), U(h)};
    if (show) SinkPlaceAndShow(sink, id, r);
    else
      sink->place(sink->context, id, r);
  }
  void Shown(int entry, int32_t x, int32_t y, int32_t w, int32_t h) const { PlaceId(Id(entry), x, y, w, h, true); }
  void PlacedOnly(int entry, int32_t x, int32_t y, int32_t w, int32_t h) const {
    PlaceId(Id(entry), x, y, w, h, false);
  }
  void MoveId(int id, int32_t x, int32_t y) const {
    if (id != 0) sink->move(sink->context, id, U(x), U(y));
  }
  void Moved(int entry, int32_t x, int32_t y) const { MoveId(Id(entry), x, y); }
  void Show(int entry) const {
    if (Id(entry) != 0) sink->show(sink->context, Id(entry), true);
  }
  void Begin() const {
    if (sink->begin) sink->begin(sink->context, false);
  }
};

uint16_t CeilDiv(uint16_t a, uint16_t b) { return U((a + b - 1) / b); }

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The middle area of the test window; returns the content height K.
uint16_t LayoutTestMiddle(DictEngine* engine, const Sink& s, const uint32_t* f, uint16_t x0, uint16_t y0, uint16_t W,
                          uint16_t R) {
  PaneLayoutBlock* block = GetPaneLayoutBlock();
  const uint32_t mode = f[kLayoutAnswerMode];
  const uint32_t form = f[kLayoutForm];
  if (mode == 0 || mode == 1) {
    uint16_t K = R;
    const uint32_t wanted = f[kLayoutWritingHeight];
    if (wanted != 0 && R >= 22) {
      const uint16_t h = U(std::min<uint32_t>(std::max<uint32_t>(wanted, 10), R - 12u));
      K = U(R - h - 1);
      s.Shown(kTestWritingArea, x0, y0 + R - h, W, h);
      s.Moved(kTestWritingTool, x0 + W - 8, y0 + R - 8);
      s.Show(kTestWritingTool);
      block->testWritingArea = 1;
    }
    return K;
  }
  if (mode == 2) {
    // A damaged setting can ask for more rows than fit; the content then
    // keeps no height rather than a wrapped one.
    const uint32_t rows = std::min<uint32_t>(f[kLayoutChoiceRows], R / 8u);
    const uint16_t h = U(8 * rows);
    const uint16_t K = U(R - h);
    s.Shown(kTestChoices, x0, y0 + K + 1, W, h);
    return K;
  }
  if (mode == 4) {
    block->testKind = kTestKindStrokeBox;
    const uint16_t A = std::min(U(W - 25), R);
    const uint16_t B = std::min(U(R - 9), W);
    if (A < B && W >= 85) {
      s.Shown(kTestStrokeBox, x0 + (W - B) / 2, y0, B, B);
      const int32_t yr = y0 + B + 2;
      const int32_t xr = x0 + (W - 85) / 2;
      s.Shown(kTestStrokeField1, xr, yr, 23, 7);
      s.Shown(kTestStrokeField2, xr + 25, yr, 23, 7);
      for (int e : {kTestUndo, kTestCorrect}) s.Moved(e, xr + 50, yr + 1);
      for (int e : {kTestClear, kTestEntered}) s.Moved(e, xr + 70, yr + 1);
    } else {
      const int32_t xs = x0 + U(W - A - 25) / 2;
      const int32_t xb = xs + A + 1;
      s.Shown(kTestStrokeBox, xs, y0, A, A);
      s.Shown(kTestStrokeField1, xb, y0, 23, 7);
      s.Shown(kTestStrokeField2, xb, y0 + 9, 23, 7);
      s.Moved(kTestReplay, xb + 2, y0 + A - 22);
      for (int e : {kTestUndo, kTestCorrect}) s.Moved(e, xb + 2, y0 + A - 14);
      for (int e : {kTestClear, kTestEntered}) s.Moved(e, xb + 2, y0 + A - 6);
    }
    return 0;
  }
  if (mode != 3 && mode != 5) return 0;
  if (form == 1) {
    block->testKind = kTestKindSquare;
    const bool left = GetPref(engine, kPrefMirrorInputSection) != 0;
    const uint16_t n = s.sink->controls[kTestSquareSelectorCount];
    block->testSelectors = n;
    const int32_t ys = y0 + R - 35;
    s.Shown(kTestSquare, left ? x0 : x0 + W - 36, ys, 36, 36);
    block->testSquare = 1;
    const int32_t xf = left ? x0 + 37 : x0;
    const uint16_t wf = U(W - 37);
    s.Shown(kTestSquareGrid, xf, ys + 19, wf, 17);
    const int32_t toolX[3] = {xf, xf + 8 + CeilDiv(U(wf - 24), 2), xf + wf - 8};
    for (int i = 0; i < 3; ++i) s.Shown(kTestSquareTool1 + (left ? 2 - i : i), toolX[i], ys + 10, 8, 8);
    const int32_t step = n > 1 ? 9 + U(wf - 9 * n) / (n - 1) : 0;
    const int first = s.Id(kTestSquareSelectors);
    for (int i = 0; i < n && first != 0; ++i) s.PlaceId(first + i, xf + i * step, ys, 9, 9, true);
    return U(R - 36);
  }
  if (form < 2 || form > 6) return 0;
  uint16_t e = (form == 2 || form == 3) ? 25 : form == 4 ? 10 : 0;
  if (!(e + 22 < R)) e = 0;
  const uint16_t K = U(R - e - 10);
  const int32_t yr = y0 + K + 1;
  if (form == 2 || form == 5) {
    block->testKind = kTestKindAnswerField;
    block->testSelectors = 1;
    s.Shown(kTestAnswerField, x0, yr, W, 8);
  } else {
    block->testKind = kTestKindRowSelectors;
    const uint16_t n = s.sink->controls[kTestRowSelectorCount];
    block->testSelectors = n;
    const int first = s.Id(kTestRowSelectors);
    if (n > 0 && first != 0) {
      const uint16_t d = W / n;
      for (int i = 0; i < n; ++i) s.PlaceId(first + i, x0 + i * d, yr, d - 1, 8, true);
    }
  }
  if (e != 0) s.Shown(kTestAnswerGrid, x0, yr + 9, W, e);
  return K;
}

}  // namespace

void LayoutTestWindow(DictEngine* engine, const LayoutSink* sink, const SessionDisplayLayout* layout,
                      const PaneRect& rect) {
  PaneLayoutBlock* block = GetPaneLayoutBlock();
  block->testKind = kTestKindNone;
  block->testWritingArea = 0;
  block->testSquare = 0;
  block->testSelectors = 0;
  const Sink s{sink};
  s.Begin();
  const uint32_t* f = layout->fields;
  const uint16_t m = U(static_cast<int32_t>(f[kLayoutMargin]));
  const uint16_t W = U(rect.width - 2 * m);
  const uint16_t Hi = U(rect.height - 2 * m);
  const uint16_t x0 = m;
  const uint16_t y0 = U(m + 7);
  const uint16_t R = U(Hi - y0 - 18);

  // Top-right pair, then the top row.
  uint16_t rowWidth = W;
  if (s.Id(kTestTopRightA) != 0 && s.Id(kTestTopRightB) != 0) {
    s.Moved(kTestTopRightA, x0 + W - 14, m);
    s.Moved(kTestTopRightB, x0 + W - 5, m);
    s.Show(kTestTopRightA);
    s.Show(kTestTopRightB);
    rowWidth = U(W - 15);
  }
  const uint16_t q = U(rowWidth - 1) / 4;
  s.Shown(kTestTopRow, x0 + 1, m, 2 * q, 6);
  s.Shown(kTestTopRow + 1, x0 + 1 + 2 * q, m, q, 6);
  s.Shown(kTestTopRow + 2, x0 + 1 + 3 * q, m, q, 6);

  // Middle area and content.
  const uint16_t K = LayoutTestMiddle(engine, s, f, x0, y0, W, R);
  if (K != 0) {
    const bool strip = s.Id(kTestSideStrip) != 0;
    s.Shown(kTestContent, x0, y0, strip ? W - 4 : W, K);
    if (strip) s.Shown(kTestSideStrip, x0 + W - 4, y0, 4, K);
  }

  // The bottom row: the corner block (placed only) and the buttons.
  const uint16_t yb = U(Hi + m - 17);
  const bool mirrored = (GetPref(engine, kPrefTestBottomMirrored) & 0xFF) != 0;
  const uint16_t g = U(CeilDiv(W / 2, 17) - 1);
  const uint16_t corner = U(17 * g);
  const int32_t xc = mirrored ? x0 : x0 + U(W - corner);
  s.PlacedOnly(kTestCornerWhole, xc, yb, corner, 17);
  s.PlacedOnly(kTestCornerHalves, xc, yb, 8 * g, 17);
  s.PlacedOnly(kTestCornerHalves + 1, xc + 9 * g, yb, 8 * g, 17);
  for (int i = 0; i < 3; ++i) {
    s.PlacedOnly(kTestCornerFullHeight + i, xc + 6 * g * i, yb, 5 * g, 17);
    s.PlacedOnly(kTestCornerHalfHeight + i, xc + 6 * g * i, yb, 5 * g, 8);
    s.PlacedOnly(kTestCornerHalfHeight + 3 + i, xc + 6 * g * i, yb + 9, 5 * g, 8);
  }

  uint16_t n = 1;
  for (uint32_t i = kLayoutFirstBottomButton; i < kLayoutFirstBottomButton + 7; ++i)
    if (f[i] != 0) ++n;
  n = std::min<uint16_t>(n, sink->controls[kTestBottomCapacity]);
  const int32_t xa = mirrored ? x0 + corner + 1 : x0;
  const uint16_t wa = U(W - corner - 1);
  const uint16_t slots = U(W - corner) / 9;
  const int first = s.Id(kTestBottomButtons);
  const int overlay = s.Id(kTestBottomOverlays);
  auto button = [&](int i, int32_t x, int32_t y, uint16_t b, uint16_t h) {
    if (first != 0) s.PlaceId(first + i, x, y, b, h, true);
    if (overlay != 0) s.MoveId(overlay + i, x + 1, y + h - 23);
  };
  if (n == 0) return;
  if (n <= slots) {
    const uint16_t b = wa / slots;
    const int32_t x = (mirrored && n < slots) ? xa + (slots - n) * (b + 1) : xa;
    for (int i = 0; i < n; ++i) button(i, x + i * (b + 1), yb, b, 17);
  } else {
    const uint16_t c = CeilDiv(n, 2);
    const uint16_t b = U(wa - c + 1) / c;
    for (int i = 0; i < c; ++i) button(i, xa + i * (b + 1), yb, b, 8);
    const int32_t x2 = (mirrored && (n & 1)) ? xa + b + 1 : xa;
    for (int i = 0; i < n - c; ++i) button(c + i, x2 + i * (b + 1), yb + 9, b, 8);
  }
}

void LayoutReaderWindow(DictEngine*, const LayoutSink* sink, const uint8_t* rec, const PaneRect& rect) {
  const Sink s{sink};
  s.Begin();
  const uint16_t W = U(rect.width);
  const uint16_t H = U(rect.height);
  const bool off = rec[kReaderLowerPaneOff] != 0;
  const bool strip = rec[kReaderStripShown] != 0 && !off;
  const bool tall = rec[kReaderTallStrip] != 0;
  const bool topRow = rec[kReaderTopRowShown] != 0 && Le16(rec + kReaderTopRowCount) != 0;
  const bool noSide = rec[kReaderNoSideButton1] != 0 && rec[kReaderNoSideButton2] != 0;
  const uint16_t P = Le16(rec + kReaderLowerPaneSize);

  // Heights. The strip takes its room from the text whatever the lower
  // pane's size, so nothing reaches into the bottom bar.
  uint16_t a = U(H - (off ? 10 : 11));
  if (topRow) a = U(a - 9);
  uint16_t o = 11;
  const uint16_t stripHeight = tall ? 14 : 8;
  if (strip) {
    const uint16_t t = tall ? 15 : 9;
    a = U(a - t);
    o = U(t + 11);
  }
  const uint16_t p = off ? 0 : (P > o + 8 ? U(P - o) : 8);
  const uint16_t T = U(a - p);

  // Top row.
  uint16_t y = 0;
  if (topRow) {
    const uint16_t k = std::min<uint16_t>(Le16(rec + kReaderTopRowCount), 3);
    const uint16_t w = U(W - 2 * k) / k;
    for (int i = 0; i < k; ++i) s.Shown(kReaderTopField + 2 * i, 1 + i * (w + 2), 1, w, 7);
    if (s.Id(kReaderTopField + 1) != 0)
      for (int i = 0; i < k; ++i) s.PlacedOnly(kReaderTopField + 2 * i + 1, 8 + i * (w + 2), 1, w - 7, 34);
    y = 9;
  }

  // Text and its side buttons.
  s.Shown(kReaderText, 0, y, noSide ? W : W - 7, T);
  if (!noSide) {
    const uint16_t j = std::min<uint16_t>(T / 2, 14);
    s.Shown(kReaderSideUpper, W - 7, y, 7, j);
    s.Shown(kReaderSideLower, W - 7, y + T - j, 7, j);
  }
  uint16_t top = U(y + T);
  if (!off) {
    s.Shown(kReaderSplitter, 0, top, W, 1);
    top = U(top + 1);
  }
  if (strip) {
    const uint16_t bh = tall ? 12 : 6;
    s.Shown(kReaderStripLeft1, 1, top + 1, 7, bh);
    s.Shown(kReaderStripLeft2, 9, top + 1, 7, bh);
    s.Shown(kReaderStripRight1, W - 16, top + 1, 7, bh);
    s.Shown(kReaderStripRight2, W - 8, top + 1, 7, bh);
    s.Shown(kReaderStripField, 17, top, W - 34, stripHeight);
    top = U(top + stripHeight + 1);
  }
  PaneLayoutBlock* block = GetPaneLayoutBlock();
  block->readerLimits[0] = y + 16;
  block->readerLimits[1] = H - 19 - (strip ? stripHeight + 1 : 0);
  if (!off) {
    const bool side = s.Id(kReaderSideStrip) != 0;
    s.Shown(kReaderLowerPane, 0, top, side ? W - 4 : W, p);
    if (side) s.Shown(kReaderSideStrip, W - 4, top, 4, p);
  }

  // Bottom bar.
  const int32_t by = H - 9;
  if (!off) {
    s.Shown(kReaderTool1, 0, by, 8, 8);
    s.Shown(kReaderTool2, 9, by, 8, 8);
    s.Shown(kReaderTool3, 18, by, 8, 8);
    s.PlacedOnly(kReaderTool4, 27, by, 8, 8);
    s.PlacedOnly(kReaderTool5, 36, by, 8, 8);
    s.Moved(kReaderTool2Overlay, 10, H - 8);
    s.Moved(kReaderTool3Overlay, 19, H - 8);
    s.Shown(kReaderStatusRight, 46, H - 8, W - 65, 8);
  } else {
    const uint16_t f = U(W - 20);
    const uint16_t r = f / 3;
    const uint16_t l = U(f - r);
    if (l != 0) s.Shown(kReaderStatusLeft, 0, H - 8, l, 8);
    if (r != 0) s.Shown(kReaderStatusRight, l + 3, H - 8, r, 8);
  }
  s.Shown(kReaderSecondRight, W - 17, by, 8, 8);
  s.Shown(kReaderRightmost, W - 8, by, 8, 8);
  s.Moved(kReaderRightmostOverlay, W - 7, H - 8);
}

uint32_t GetPaneLayoutValue(DictEngine*) { return GetPaneLayoutBlock()->testKind; }

void GetTestLayoutFlags(DictEngine*, uint8_t* writingArea, uint8_t* square, uint16_t* selectors) {
  const PaneLayoutBlock* block = GetPaneLayoutBlock();
  if (writingArea) *writingArea = block->testWritingArea;
  if (square) *square = block->testSquare;
  if (selectors) *selectors = block->testSelectors;
}

void GetReaderSplitterLimits(DictEngine*, uint16_t* top, uint16_t* bottom) {
  const PaneLayoutBlock* block = GetPaneLayoutBlock();
  if (top) *top = U(block->readerLimits[0]);
  if (bottom) *bottom = U(block->readerLimits[1]);
}
