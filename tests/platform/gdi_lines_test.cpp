// Pens, lines, polygons, edges and inversion.
#include <cstdint>

#include "tests/platform/gdi_test_support.h"

using namespace gditest;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

struct Drawn {
  SurfacePtr surface;
  HDC dc;
  explicit Drawn(int w, int h, std::uint32_t fill = 0xFFFFFF)
      : surface(MakeSurface(w, h, fill)), dc(WholeDC(surface.get())) {}
  ~Drawn() { ReleaseSurfaceDC(dc); }
};

TEST(GdiLines, SolidLinesLeaveOutTheirEndPoint) {
  Drawn d(20, 20);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(d.dc, pen);
  POINT h[] = {{2, 3}, {9, 3}};
  ASSERT_TRUE(Polyline(d.dc, h, 2));
  for (int x = 0; x < 20; ++x) EXPECT_EQ(Px(d.surface.get(), x, 3), (x >= 2 && x < 9) ? 0xFF0000u : kWhite) << x;
  POINT diag[] = {{0, 10}, {5, 15}};
  Polyline(d.dc, diag, 2);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Px(d.surface.get(), i, 10 + i), 0xFF0000u);
  EXPECT_EQ(Px(d.surface.get(), 5, 15), kWhite);
  EXPECT_EQ(Count(d.surface.get(), 0xFF0000), 7 + 5);

  // MoveToEx / LineTo go the same way and move the position.
  POINT prev;
  MoveToEx(d.dc, 15, 0, &prev);
  EXPECT_TRUE(LineTo(d.dc, 15, 4));
  EXPECT_TRUE(LineTo(d.dc, 19, 4));
  MoveToEx(d.dc, 0, 0, &prev);
  EXPECT_EQ(prev.x, 19);
  EXPECT_EQ(prev.y, 4);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(Px(d.surface.get(), 15, y), 0xFF0000u);
  EXPECT_EQ(Px(d.surface.get(), 18, 4), 0xFF0000u);
  EXPECT_EQ(Px(d.surface.get(), 19, 4), kWhite);
  SelectObject(d.dc, old);
  DeleteObject(pen);
}

TEST(GdiLines, ZeroLengthSegmentPlotsOneDot) {
  Drawn d(10, 10);
  POINT dot[] = {{4, 6}, {4, 6}};
  ASSERT_TRUE(Polyline(d.dc, dot, 2));
  EXPECT_EQ(Px(d.surface.get(), 4, 6), 0u);
  EXPECT_EQ(Count(d.surface.get(), 0), 1);
  MoveToEx(d.dc, 1, 1, nullptr);
  LineTo(d.dc, 1, 1);
  EXPECT_EQ(Px(d.surface.get(), 1, 1), 0u);
  EXPECT_EQ(Count(d.surface.get(), 0), 2);
  EXPECT_FALSE(Polyline(d.dc, dot, 1));
}

TEST(GdiLines, DashedPenAlternatesAndHonoursTheBackgroundMode) {
  Drawn d(40, 4, 0x123456);
  HPEN pen = CreatePen(PS_DASH, 1, RGB(0xCC, 0xCC, 0xCC));
  SelectObject(d.dc, pen);
  SetBkColor(d.dc, RGB(255, 255, 255));
  POINT opaque[] = {{0, 1}, {30, 1}};
  Polyline(d.dc, opaque, 2);
  SetBkMode(d.dc, TRANSPARENT);
  POINT clear[] = {{0, 2}, {30, 2}};
  Polyline(d.dc, clear, 2);
  for (int x = 0; x < 30; ++x) {
    bool on = x % 10 < 6;
    EXPECT_EQ(Px(d.surface.get(), x, 1), on ? 0xCCCCCCu : kWhite) << x;
    EXPECT_EQ(Px(d.surface.get(), x, 2), on ? 0xCCCCCCu : 0x123456u) << x;
  }
  EXPECT_EQ(Px(d.surface.get(), 30, 1), 0x123456u);
  // The dash pattern runs on across the joints of a polyline.
  POINT bent[] = {{0, 3}, {4, 3}, {12, 3}};
  Polyline(d.dc, bent, 3);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(Px(d.surface.get(), x, 3), x % 10 < 6 ? 0xCCCCCCu : 0x123456u) << x;
  SelectObject(d.dc, GetStockObject(BLACK_PEN));
  DeleteObject(pen);
}

TEST(GdiLines, NullPenAndWidePen) {
  Drawn d(20, 20);
  SelectObject(d.dc, GetStockObject(NULL_PEN));
  POINT line[] = {{0, 0}, {10, 0}};
  Polyline(d.dc, line, 2);
  EXPECT_EQ(Count(d.surface.get(), kWhite), 400);
  HPEN wide = CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
  SelectObject(d.dc, wide);
  POINT dot[] = {{10, 10}, {10, 10}};
  Polyline(d.dc, dot, 2);
  EXPECT_EQ(Count(d.surface.get(), 0), 9);
  EXPECT_EQ(Px(d.surface.get(), 9, 9), 0u);
  EXPECT_EQ(Px(d.surface.get(), 11, 11), 0u);
  SelectObject(d.dc, GetStockObject(BLACK_PEN));
  DeleteObject(wide);
  EXPECT_EQ(CreatePen(42, 1, 0), nullptr);
}

TEST(GdiPolygon, RectangleIsFilledAndOutlined) {
  Drawn d(20, 20);
  HBRUSH fill = CreateSolidBrush(RGB(0, 0, 255));
  HPEN edge = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  SelectObject(d.dc, fill);
  SelectObject(d.dc, edge);
  POINT box[] = {{2, 2}, {10, 2}, {10, 8}, {2, 8}};
  ASSERT_TRUE(Polygon(d.dc, box, 4));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      std::uint32_t want = kWhite;
      if (x >= 2 && x <= 10 && y >= 2 && y <= 8) want = (x == 2 || x == 10 || y == 2 || y == 8) ? 0xFF0000 : 0x0000FF;
      ASSERT_EQ(Px(d.surface.get(), x, y), want) << x << "," << y;
    }
  SelectObject(d.dc, GetStockObject(WHITE_BRUSH));
  SelectObject(d.dc, GetStockObject(BLACK_PEN));
  DeleteObject(fill);
  DeleteObject(edge);
}

TEST(GdiPolygon, TriangleFillWithoutPenCoversItsInterior) {
  Drawn d(30, 30);
  SelectObject(d.dc, GetStockObject(BLACK_BRUSH));
  SelectObject(d.dc, GetStockObject(NULL_PEN));
  POINT tri[] = {{0, 0}, {20, 0}, {0, 20}};
  ASSERT_TRUE(Polygon(d.dc, tri, 3));
  // Row y covers x in [0, 20 - y): 20 + 19 + ... + 1.
  EXPECT_EQ(Count(d.surface.get(), 0), 210);
  for (int y = 0; y < 20; ++y) {
    EXPECT_EQ(Px(d.surface.get(), 19 - y, y), 0u) << y;
    EXPECT_EQ(Px(d.surface.get(), 20 - y, y), kWhite) << y;
  }
  // Even-odd rule: this outline encloses the rectangle (0,5)-(10,15) twice,
  // so it stays empty while the rest of the square is filled.
  Drawn e(30, 30);
  SelectObject(e.dc, GetStockObject(BLACK_BRUSH));
  SelectObject(e.dc, GetStockObject(NULL_PEN));
  POINT twice[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}, {0, 5}, {10, 5}, {10, 15}, {0, 15}, {0, 0}};
  Polygon(e.dc, twice, 9);
  EXPECT_EQ(Px(e.surface.get(), 15, 10), 0u);
  EXPECT_EQ(Px(e.surface.get(), 5, 10), kWhite);
  EXPECT_EQ(Px(e.surface.get(), 5, 2), 0u);
}

TEST(GdiEdge, EtchedMonoEdgeIsAOnePixelFrame) {
  Drawn d(20, 20, 0x808080);
  RECT r{3, 4, 13, 12};
  ASSERT_TRUE(DrawEdge(d.dc, &r, EDGE_ETCHED, BF_RECT | BF_MONO));
  std::uint32_t frame = ColorRefToXrgb(GetSysColor(COLOR_WINDOWFRAME));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      bool onFrame = x >= 3 && x < 13 && y >= 4 && y < 12 && (x == 3 || x == 12 || y == 4 || y == 11);
      ASSERT_EQ(Px(d.surface.get(), x, y), onFrame ? frame : 0x808080u) << x << "," << y;
    }
  RECT adj{3, 4, 13, 12};
  DrawEdge(d.dc, &adj, EDGE_ETCHED, BF_RECT | BF_MONO | BF_ADJUST);
  EXPECT_EQ(adj.left, 4);
  EXPECT_EQ(adj.top, 5);
  EXPECT_EQ(adj.right, 12);
  EXPECT_EQ(adj.bottom, 11);
}

TEST(GdiEdge, ThreeDimensionalEtchedEdgeUsesShadowAndHighlight) {
  Drawn d(20, 20, 0x123456);
  RECT r{0, 0, 10, 10};
  DrawEdge(d.dc, &r, EDGE_ETCHED, BF_RECT);
  std::uint32_t shadow = ColorRefToXrgb(GetSysColor(COLOR_BTNSHADOW));
  std::uint32_t light = ColorRefToXrgb(GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(Px(d.surface.get(), 5, 0), shadow);      // outer top: sunken
  EXPECT_EQ(Px(d.surface.get(), 5, 9), light);       // outer bottom
  EXPECT_EQ(Px(d.surface.get(), 5, 1), light);       // inner top: raised
  EXPECT_EQ(Px(d.surface.get(), 5, 8), shadow);      // inner bottom
  EXPECT_EQ(Px(d.surface.get(), 5, 5), 0x123456u);   // inside untouched
}

TEST(GdiInvert, InvertingTwiceRestoresThePixels) {
  auto s = MakeSurface(16, 16);
  FillRandom(s.get(), 7);
  auto before = Snapshot(s.get());
  HDC dc = CreateSurfaceDC(s.get(), POINT{2, 2}, RECT{0, 0, 16, 16});
  RECT r{1, 1, 9, 6};
  ASSERT_TRUE(InvertRect(dc, &r));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      bool inside = x >= 3 && x < 11 && y >= 3 && y < 8;
      ASSERT_EQ(Px(s.get(), x, y), inside ? (before[y * 16 + x] ^ 0xFFFFFF) : before[y * 16 + x]);
    }
  InvertRect(dc, &r);
  EXPECT_EQ(Snapshot(s.get()), before);
  ReleaseSurfaceDC(dc);
}

}  // namespace
