// Every primitive drawn through a DC with an origin and a clip equals the same
// drawing at origin (0,0), shifted and cut to the clip.
#include <cstdint>
#include <functional>

#include "platform/imagelist.h"
#include "tests/platform/gdi_test_support.h"

using namespace gditest;

namespace {

struct Primitive {
  const char* name;
  std::function<void(HDC)> draw;
};

// A bitmap with a green key border around a 4x4 red-blue block.
HBITMAP Sprite() {
  HBITMAP bm = CreateCompatibleBitmap(nullptr, 6, 6);
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, bm);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      bool edge = x == 0 || y == 0 || x == 5 || y == 5;
      SetPixel(mem, x, y, edge ? RGB(0, 255, 0) : RGB(200, 0, x * 40));
    }
  SelectObject(mem, old);
  DeleteDC(mem);
  return bm;
}

TEST(GdiClip, EveryPrimitiveHonoursOriginAndClip) {
  HBITMAP sprite = Sprite();
  HIMAGELIST list = ImageList_Create(6, 6, ILC_MASK, 1, 1);
  ImageList_AddMasked(list, sprite, RGB(0, 255, 0));
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  HPEN dash = CreatePen(PS_DASH, 1, RGB(255, 0, 0));
  const Primitive primitives[] = {
      {"FillRect", [&](HDC dc) { RECT r{1, 2, 25, 9}; FillRect(dc, &r, blue); }},
      {"Polyline", [&](HDC dc) {
         SelectObject(dc, dash);
         POINT p[] = {{0, 0}, {29, 17}, {3, 28}, {3, 28}};
         Polyline(dc, p, 4);
       }},
      {"Polygon", [&](HDC dc) {
         SelectObject(dc, blue);
         POINT p[] = {{2, 1}, {28, 6}, {15, 29}};
         Polygon(dc, p, 3);
       }},
      {"DrawEdge", [&](HDC dc) { RECT r{4, 4, 20, 18}; DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT | BF_MONO); }},
      {"InvertRect", [&](HDC dc) { RECT r{4, 0, 30, 12}; InvertRect(dc, &r); }},
      {"BitBlt within", [&](HDC dc) { BitBlt(dc, 5, 3, 20, 20, dc, 0, 0, SRCCOPY); }},
      {"TransparentImage", [&](HDC dc) { TransparentImage(dc, 1, 2, 24, 24, sprite, 0, 0, 6, 6, RGB(0, 255, 0)); }},
      {"ImageList_DrawEx",
       [&](HDC dc) { ImageList_DrawEx(list, 0, dc, 3, 19, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_NORMAL); }},
      {"SetPixel", [&](HDC dc) { for (int i = 0; i < 30; ++i) SetPixel(dc, i, 29 - i, RGB(1, 2, 3)); }},
  };
  const POINT origin{6, 4};
  const RECT clip{9, 7, 30, 25};  // surface coordinates
  for (const Primitive& p : primitives) {
    SCOPED_TRACE(p.name);
    auto shifted = MakeSurface(40, 40);
    FillRandom(shifted.get(), 17);
    auto before = Snapshot(shifted.get());
    auto plain = MakeSurface(34, 36);
    for (int y = 0; y < 36; ++y)
      for (int x = 0; x < 34; ++x) SurfaceRow(plain.get(), y)[x] = before[(y + origin.y) * 40 + x + origin.x];

    HDC a = WholeDC(plain.get());
    p.draw(a);
    ReleaseSurfaceDC(a);
    HDC b = CreateSurfaceDC(shifted.get(), origin, clip);
    p.draw(b);
    ReleaseSurfaceDC(b);

    int changed = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        bool inClip = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
        std::uint32_t want = inClip ? Px(plain.get(), x - origin.x, y - origin.y) : before[y * 40 + x];
        ASSERT_EQ(Px(shifted.get(), x, y), want) << x << "," << y;
        changed += Px(shifted.get(), x, y) != before[y * 40 + x];
      }
    EXPECT_GT(changed, 0);
  }
  ImageList_Destroy(list);
  DeleteObject(sprite);
  DeleteObject(blue);
  DeleteObject(dash);
}

}  // namespace

namespace {

// Coordinates far outside every surface draw nothing and break nothing (run
// under the sanitizers this also checks for overflow).
TEST(GdiClip, ExtremeCoordinatesAreHarmless) {
  auto s = MakeSurface(16, 16);
  HDC dc = CreateSurfaceDC(s.get(), POINT{3, 3}, RECT{0, 0, 16, 16});
  const LONG big = 0x7FFFFFFF, small = -0x7FFFFFFF - 1;
  RECT huge{small, small, big, big};
  FillRect(dc, &huge, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(Count(s.get(), 0), 16 * 16);
  InvertRect(dc, &huge);
  EXPECT_EQ(Count(s.get(), 0xFFFFFF), 16 * 16);
  POINT far[] = {{small, small}, {big, big}, {big, small}};
  EXPECT_TRUE(Polyline(dc, far, 3));
  EXPECT_TRUE(Polygon(dc, far, 3));
  EXPECT_EQ(GetPixel(dc, big, big), CLR_INVALID);
  EXPECT_EQ(SetPixel(dc, small, 0, 0), CLR_INVALID);
  EXPECT_FALSE(BitBlt(dc, big, big, big, big, dc, small, small, SRCCOPY));
  EXPECT_FALSE(StretchBlt(dc, 0, 0, 10, 10, dc, 0, 0, big, big, SRCCOPY));
  HRGN rgn = CreateRectRgn(small, small, big, big);
  EXPECT_EQ(SelectClipRgn(dc, rgn), SIMPLEREGION);
  DeleteObject(rgn);
  ReleaseSurfaceDC(dc);
}

}  // namespace
