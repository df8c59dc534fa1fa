// Fills, clipping, DC origins, system colours, handle checking and threads.
#include <cstdint>
#include <thread>
#include <vector>

#include "tests/platform/gdi_test_support.h"

using namespace gditest;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

TEST(GdiFill, FillsExactlyTheRectangleWithoutRightAndBottomEdges) {
  auto s = MakeSurface(20, 20);
  HDC dc = WholeDC(s.get());
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT r{3, 4, 8, 10};
  EXPECT_NE(FillRect(dc, &r, red), 0);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      bool inside = x >= 3 && x < 8 && y >= 4 && y < 10;
      ASSERT_EQ(Px(s.get(), x, y), inside ? 0xFF0000u : kWhite) << x << "," << y;
    }
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_TRUE(ReleaseSurfaceDC(dc));
}

TEST(GdiFill, SystemColourBrushesAndClassBrushValues) {
  auto s = MakeSurface(10, 10, 0);
  HDC dc = WholeDC(s.get());
  RECT a{0, 0, 5, 10}, b{5, 0, 10, 10};
  FillRect(dc, &a, GetSysColorBrush(COLOR_HIGHLIGHT));
  // A class background brush is given as the colour index + 1.
  FillRect(dc, &b, reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
  EXPECT_EQ(Px(s.get(), 0, 0), ColorRefToXrgb(GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_EQ(Px(s.get(), 9, 9), ColorRefToXrgb(GetSysColor(COLOR_BTNFACE)));

  // The device's own static colours exist and the brush follows a change.
  int index = COLOR_STATIC;
  COLORREF old = GetSysColor(COLOR_STATIC);
  COLORREF teal = RGB(0, 128, 128);
  ASSERT_TRUE(SetSysColors(1, &index, &teal));
  EXPECT_EQ(GetSysColor(COLOR_STATIC), teal);
  FillRect(dc, &a, GetSysColorBrush(COLOR_STATIC));
  EXPECT_EQ(Px(s.get(), 2, 2), 0x008080u);
  ASSERT_TRUE(SetSysColors(1, &index, &old));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
  EXPECT_EQ(GetSysColor(COLOR_STATICTEXT), RGB(0, 0, 0));
  EXPECT_EQ(GetSysColorBrush(99), nullptr);
  int bad = 99;
  EXPECT_FALSE(SetSysColors(1, &bad, &teal));
  ReleaseSurfaceDC(dc);
}

TEST(GdiFill, SharedBrushesSurviveDeleteObject) {
  auto s = MakeSurface(4, 4);
  HDC dc = WholeDC(s.get());
  HBRUSH sys = GetSysColorBrush(COLOR_WINDOWTEXT);
  auto black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  EXPECT_TRUE(DeleteObject(sys));
  EXPECT_TRUE(DeleteObject(black));
  RECT r{0, 0, 4, 4};
  EXPECT_NE(FillRect(dc, &r, sys), 0);
  EXPECT_EQ(Px(s.get(), 1, 1), 0u);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_NE(FillRect(dc, &r, black), 0);
  EXPECT_EQ(Px(s.get(), 1, 1), 0u);
  ReleaseSurfaceDC(dc);
}

TEST(GdiHandles, StaleForeignAndWrongKindHandlesAreRefused) {
  auto s = MakeSurface(4, 4);
  HDC dc = WholeDC(s.get());
  RECT r{0, 0, 4, 4};
  HBRUSH old = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_TRUE(DeleteObject(old));
  EXPECT_FALSE(DeleteObject(old));
  // The freed slot is reused; the old handle must not reach the new brush.
  HBRUSH fresh = CreateSolidBrush(RGB(0, 0, 255));
  EXPECT_EQ(FillRect(dc, &r, old), 0);
  EXPECT_EQ(Px(s.get(), 0, 0), kWhite);
  EXPECT_NE(FillRect(dc, &r, fresh), 0);
  EXPECT_EQ(Px(s.get(), 0, 0), 0x0000FFu);

  int local = 0;
  auto foreign = reinterpret_cast<HBRUSH>(&local);
  EXPECT_EQ(FillRect(dc, &r, foreign), 0);
  EXPECT_EQ(SelectObject(dc, foreign), nullptr);
  EXPECT_FALSE(DeleteObject(foreign));
  EXPECT_EQ(GetObjectType(foreign), 0u);

  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  EXPECT_EQ(FillRect(dc, &r, reinterpret_cast<HBRUSH>(pen)), 0);
  EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
  EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_DC));
  EXPECT_FALSE(DeleteDC(dc));  // window DCs are released, not deleted

  ASSERT_TRUE(ReleaseSurfaceDC(dc));
  EXPECT_FALSE(ReleaseSurfaceDC(dc));
  EXPECT_EQ(FillRect(dc, &r, fresh), 0);
  EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
  DeleteObject(pen);
  DeleteObject(fresh);
}

TEST(GdiHandles, ObjectCountSeesLeaksButNotSharedObjects) {
  int start = GetGdiObjectCount();
  GetSysColorBrush(COLOR_WINDOW);
  GetStockObject(BLACK_PEN);
  EXPECT_EQ(GetGdiObjectCount(), start);
  HBRUSH b = CreateSolidBrush(0);
  HRGN r = CreateRectRgn(0, 0, 1, 1);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetGdiObjectCount(), start + 3);
  DeleteObject(b);
  DeleteObject(r);
  DeleteDC(dc);
  EXPECT_EQ(GetGdiObjectCount(), start);
}

TEST(GdiHandles, SelectObjectReturnsThePreviousObjectAndStateIsPerDc) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
  HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
  HPEN pen = CreatePen(PS_DASH, 1, RGB(0xCC, 0xCC, 0xCC));
  EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), static_cast<HGDIOBJ>(pen));
  EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), 0u);
  EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
  EXPECT_EQ(SetBkColor(dc, RGB(4, 5, 6)), RGB(255, 255, 255));
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  EXPECT_EQ(SetBkMode(dc, 7), 0);
  HDC other = CreateCompatibleDC(dc);
  EXPECT_EQ(GetTextColor(other), 0u);
  EXPECT_EQ(GetBkMode(other), OPAQUE);
  EXPECT_TRUE(DeleteDC(other));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(pen));
}

TEST(GdiHandles, ABrushDeletedWhileSelectedStaysUsableByThatDc) {
  auto s = MakeSurface(8, 8);
  HDC dc = WholeDC(s.get());
  HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
  HGDIOBJ old = SelectObject(dc, brush);
  EXPECT_TRUE(DeleteObject(brush));
  SelectObject(dc, GetStockObject(NULL_PEN));
  POINT pts[] = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
  EXPECT_TRUE(Polygon(dc, pts, 4));
  EXPECT_EQ(Px(s.get(), 4, 4), 0x00FF00u);
  SelectObject(dc, old);
  ReleaseSurfaceDC(dc);
}

TEST(GdiClip, OriginAndBaseClipPlaceAndLimitDrawing) {
  auto s = MakeSurface(40, 40);
  // A child whose client area starts at (10, 20), visible only within
  // surface rect (12, 22)-(30, 35).
  HDC dc = CreateSurfaceDC(s.get(), POINT{10, 20}, RECT{12, 22, 30, 35});
  RECT all{-100, -100, 100, 100};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(Count(s.get(), 0), 18 * 13);
  EXPECT_EQ(Px(s.get(), 12, 22), 0u);
  EXPECT_EQ(Px(s.get(), 11, 22), kWhite);
  EXPECT_EQ(Px(s.get(), 29, 34), 0u);
  EXPECT_EQ(Px(s.get(), 30, 34), kWhite);

  RECT box;
  EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.top, 2);
  EXPECT_EQ(box.right, 20);
  EXPECT_EQ(box.bottom, 15);

  // Logical (5, 5) is surface (15, 25).
  EXPECT_EQ(SetPixel(dc, 5, 5, RGB(255, 0, 0)), RGB(255, 0, 0));
  EXPECT_EQ(Px(s.get(), 15, 25), 0xFF0000u);
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);  // outside the clip
  ReleaseSurfaceDC(dc);
}

TEST(GdiClip, ClipRegionIntersectsAndCanBeRemoved) {
  auto s = MakeSurface(30, 30);
  HDC dc = CreateSurfaceDC(s.get(), POINT{5, 5}, RECT{5, 5, 25, 25});
  HRGN rgn = CreateRectRgn(2, 3, 40, 6);
  EXPECT_EQ(SelectClipRgn(dc, rgn), SIMPLEREGION);
  EXPECT_TRUE(DeleteObject(rgn));  // the DC keeps its own copy
  RECT all{0, 0, 30, 30};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  // Logical x 2..20 (cut by the base clip at surface 25), y 3..6.
  EXPECT_EQ(Count(s.get(), 0), 18 * 3);
  EXPECT_EQ(Px(s.get(), 7, 8), 0u);
  EXPECT_EQ(Px(s.get(), 6, 8), kWhite);
  EXPECT_EQ(Px(s.get(), 7, 11), kWhite);

  HRGN outside = CreateRectRgn(100, 100, 110, 110);
  EXPECT_EQ(SelectClipRgn(dc, outside), NULLREGION);
  DeleteObject(outside);
  EXPECT_EQ(SelectClipRgn(dc, nullptr), SIMPLEREGION);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  EXPECT_EQ(Count(s.get(), 0x808080), 20 * 20);
  EXPECT_EQ(SelectClipRgn(dc, rgn), ERROR);  // deleted region
  ReleaseSurfaceDC(dc);
}

TEST(GdiSurface, DestroyingASurfaceDisconnectsItsDcs) {
  Surface* s = CreateSurface(8, 8);
  ASSERT_NE(s, nullptr);
  HDC dc = WholeDC(s);
  DestroySurface(s);
  RECT r{0, 0, 8, 8};
  EXPECT_NE(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_TRUE(ReleaseSurfaceDC(dc));
  EXPECT_EQ(CreateSurface(0, 5), nullptr);
  EXPECT_EQ(CreateSurfaceDC(nullptr, POINT{0, 0}, RECT{0, 0, 1, 1}), nullptr);
}

TEST(GdiSurface, ResizeKeepsTheSharedAreaAndClipsExistingDcs) {
  auto s = MakeSurface(10, 10);
  FillRandom(s.get(), 3);
  auto before = Snapshot(s.get());
  HDC dc = WholeDC(s.get());
  ASSERT_TRUE(ResizeSurface(s.get(), 6, 14));
  EXPECT_EQ(s->stride, 24);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(Px(s.get(), x, y), before[y * 10 + x]);
  EXPECT_EQ(Px(s.get(), 3, 12), kWhite);
  RECT r{0, 0, 100, 100};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(Count(s.get(), 0), 6 * 10);  // the old clip, cut to the new size
  ReleaseSurfaceDC(dc);
}

}  // namespace

namespace {

// Threads creating, using and deleting objects at the same time neither
// corrupt the handle table nor each other's drawings.
TEST(GdiThreads, ConcurrentDrawingOnSeparateSurfaces) {
  int start = GetGdiObjectCount();
  constexpr int kThreads = 4;
  std::vector<SurfacePtr> surfaces;
  for (int t = 0; t < kThreads; ++t) surfaces.push_back(MakeSurface(16, 16));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, s = surfaces[t].get()] {
      for (int i = 0; i < 300; ++i) {
        HDC dc = WholeDC(s);
        HBRUSH b = CreateSolidBrush(RGB(t * 50, i % 256, 7));
        RECT r{0, 0, 16, 16};
        FillRect(dc, &r, b);
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP bm = CreateCompatibleBitmap(dc, 4, 4);
        HGDIOBJ old = SelectObject(mem, bm);
        BitBlt(mem, 0, 0, 4, 4, dc, 0, 0, SRCCOPY);
        BitBlt(dc, 4, 4, 4, 4, mem, 0, 0, NOTSRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(bm);
        DeleteObject(b);
        ReleaseSurfaceDC(dc);
      }
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    std::uint32_t fill = ColorRefToXrgb(RGB(t * 50, 299 % 256, 7));
    EXPECT_EQ(Px(surfaces[t].get(), 0, 0), fill);
    EXPECT_EQ(Px(surfaces[t].get(), 5, 5), fill ^ 0xFFFFFF);
  }
  EXPECT_EQ(GetGdiObjectCount(), start);
}

}  // namespace
