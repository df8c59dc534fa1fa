// Blits: every raster operation, overlapping copies, clipping, memory DCs,
// monochrome conversion, scaling and colour-keyed copies.
#include <cstdint>
#include <functional>

#include "tests/platform/gdi_test_support.h"

using namespace gditest;

namespace {

struct RopCase {
  const char* name;
  DWORD rop;
  std::function<std::uint32_t(std::uint32_t p, std::uint32_t s, std::uint32_t d)> expect;
};

TEST(GdiBlit, EachRasterOperationCombinesSourceDestinationAndPattern) {
  const RopCase cases[] = {
      {"SRCCOPY", SRCCOPY, [](auto, auto s, auto) { return s; }},
      {"SRCPAINT", SRCPAINT, [](auto, auto s, auto d) { return s | d; }},
      {"SRCAND", SRCAND, [](auto, auto s, auto d) { return s & d; }},
      {"SRCINVERT", SRCINVERT, [](auto, auto s, auto d) { return s ^ d; }},
      {"SRCERASE", SRCERASE, [](auto, auto s, auto d) { return s & ~d; }},
      {"NOTSRCCOPY", NOTSRCCOPY, [](auto, auto s, auto) { return ~s; }},
      {"NOTSRCERASE", NOTSRCERASE, [](auto, auto s, auto d) { return ~(s | d); }},
      {"MERGEPAINT", MERGEPAINT, [](auto, auto s, auto d) { return ~s | d; }},
      {"PATCOPY", PATCOPY, [](auto p, auto, auto) { return p; }},
      {"PATINVERT", PATINVERT, [](auto p, auto, auto d) { return p ^ d; }},
      {"DSTINVERT", DSTINVERT, [](auto, auto, auto d) { return ~d; }},
      {"BLACKNESS", BLACKNESS, [](auto, auto, auto) { return 0u; }},
      {"WHITENESS", WHITENESS, [](auto, auto, auto) { return 0xFFFFFFu; }},
  };
  const std::uint32_t pattern = 0x3366CC;
  // The source is a window surface, or a 24-bit DIB section holding the same
  // pixels (which takes the general conversion path).
  for (bool fromDib : {false, true})
    for (const RopCase& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.name << (fromDib ? " from DIB" : " from window"));
      auto src = MakeSurface(8, 8);
      auto dst = MakeSurface(8, 8);
      FillRandom(src.get(), 11);
      FillRandom(dst.get(), 12);
      auto s0 = Snapshot(src.get()), d0 = Snapshot(dst.get());
      HDC sdc = WholeDC(src.get()), ddc = WholeDC(dst.get());
      HDC mem = nullptr;
      HBITMAP dib = nullptr;
      HGDIOBJ oldBitmap = nullptr;
      if (fromDib) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 8;
        info.bmiHeader.biHeight = -8;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(dib, nullptr);
        auto* p = static_cast<BYTE*>(bits);
        for (int i = 0; i < 64; ++i) {
          p[(i / 8) * 24 + (i % 8) * 3] = s0[i] & 0xFF;
          p[(i / 8) * 24 + (i % 8) * 3 + 1] = (s0[i] >> 8) & 0xFF;
          p[(i / 8) * 24 + (i % 8) * 3 + 2] = (s0[i] >> 16) & 0xFF;
        }
        mem = CreateCompatibleDC(nullptr);
        oldBitmap = SelectObject(mem, dib);
      }
      HBRUSH brush = CreateSolidBrush(XrgbToColorRef(pattern));
      SelectObject(ddc, brush);
      ASSERT_TRUE(BitBlt(ddc, 0, 0, 8, 8, fromDib ? mem : sdc, 0, 0, c.rop));
      auto d1 = Snapshot(dst.get());
      for (int i = 0; i < 64; ++i) ASSERT_EQ(d1[i], c.expect(pattern, s0[i], d0[i]) & 0xFFFFFF) << i;
      EXPECT_EQ(Snapshot(src.get()), s0);
      SelectObject(ddc, GetStockObject(WHITE_BRUSH));
      DeleteObject(brush);
      if (fromDib) {
        SelectObject(mem, oldBitmap);
        DeleteDC(mem);
        DeleteObject(dib);
      }
      ReleaseSurfaceDC(sdc);
      ReleaseSurfaceDC(ddc);
    }
}

TEST(GdiBlit, OverlappingCopiesWithinOneSurfaceInBothDirections) {
  struct Move {
    int dx, dy;
  };
  for (Move m : {Move{3, 2}, Move{-3, -2}, Move{4, -1}, Move{-2, 5}, Move{0, 1}, Move{0, -1}}) {
    SCOPED_TRACE(::testing::Message() << m.dx << "," << m.dy);
    auto s = MakeSurface(24, 24);
    FillRandom(s.get(), 21);
    auto before = Snapshot(s.get());
    HDC dc = WholeDC(s.get());
    // Move the 12x10 block at (6, 6) by (dx, dy).
    ASSERT_TRUE(BitBlt(dc, 6 + m.dx, 6 + m.dy, 12, 10, dc, 6, 6, SRCCOPY));
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x) {
        int sx = x - m.dx, sy = y - m.dy;
        bool moved = x >= 6 + m.dx && x < 18 + m.dx && y >= 6 + m.dy && y < 16 + m.dy;
        ASSERT_EQ(Px(s.get(), x, y), moved ? before[sy * 24 + sx] : before[y * 24 + x]) << x << "," << y;
      }
    ReleaseSurfaceDC(dc);
  }
}

TEST(GdiBlit, CopyBetweenTwoWindowsOfOneSurfaceUsesEachOrigin) {
  auto s = MakeSurface(30, 30);
  FillRandom(s.get(), 5);
  auto before = Snapshot(s.get());
  HDC a = CreateSurfaceDC(s.get(), POINT{2, 3}, RECT{2, 3, 20, 20});
  HDC b = CreateSurfaceDC(s.get(), POINT{5, 4}, RECT{0, 0, 30, 30});
  // b's (0,0) is surface (5,4); a's (1,1) is surface (3,4). Overlapping.
  ASSERT_TRUE(BitBlt(a, 1, 1, 10, 10, b, 0, 0, SRCCOPY));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(Px(s.get(), 3 + x, 4 + y), before[(4 + y) * 30 + 5 + x]);
  EXPECT_EQ(Px(s.get(), 13, 4), before[4 * 30 + 13]);
  ReleaseSurfaceDC(a);
  ReleaseSurfaceDC(b);
}

TEST(GdiBlit, DestinationClipAndSourceBoundsLimitTheCopy) {
  auto dst = MakeSurface(20, 20);
  HDC dc = CreateSurfaceDC(dst.get(), POINT{0, 0}, RECT{0, 0, 20, 20});
  HRGN rgn = CreateRectRgn(0, 0, 20, 5);
  SelectClipRgn(dc, rgn);
  DeleteObject(rgn);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bm = CreateCompatibleBitmap(dc, 8, 8);
  HGDIOBJ old = SelectObject(mem, bm);
  ASSERT_NE(old, nullptr);
  RECT all{0, 0, 8, 8};
  FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ASSERT_TRUE(BitBlt(dc, 2, 2, 20, 20, mem, 0, 0, SRCCOPY));
  // Columns 2..9 (the source is 8 wide), rows 2..4 (the clip ends at 5).
  EXPECT_EQ(Count(dst.get(), 0), 8 * 3);
  EXPECT_EQ(Px(dst.get(), 2, 2), 0u);
  EXPECT_EQ(Px(dst.get(), 9, 4), 0u);
  EXPECT_EQ(Px(dst.get(), 10, 4), 0xFFFFFFu);
  // Source coordinates left of the bitmap draw nothing for those columns.
  SelectClipRgn(dc, nullptr);
  auto s2 = MakeSurface(20, 20);
  HDC dc2 = WholeDC(s2.get());
  BitBlt(dc2, 0, 10, 6, 2, mem, -3, 0, SRCCOPY);
  EXPECT_EQ(Px(s2.get(), 2, 10), 0xFFFFFFu);
  EXPECT_EQ(Px(s2.get(), 3, 10), 0u);
  EXPECT_EQ(Count(s2.get(), 0), 3 * 2);
  // A blit that needs a source refuses a missing or stale one.
  EXPECT_FALSE(BitBlt(dc2, 0, 0, 4, 4, nullptr, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dc2, 0, 0, 4, 4, nullptr, 0, 0, BLACKNESS));
  SelectObject(mem, old);
  DeleteDC(mem);
  EXPECT_FALSE(BitBlt(dc2, 0, 0, 4, 4, mem, 0, 0, SRCCOPY));
  DeleteObject(bm);
  ReleaseSurfaceDC(dc);
  ReleaseSurfaceDC(dc2);
}

TEST(GdiBlit, OrWithGreyFadesDarkPixelsAndKeepsWhite) {
  // The ink fade: a grey bitmap OR-ed over the window.
  auto s = MakeSurface(4, 1);
  SurfaceRow(s.get(), 0)[0] = 0x000000;
  SurfaceRow(s.get(), 0)[1] = 0xFFFFFF;
  SurfaceRow(s.get(), 0)[2] = 0x102030;
  HDC dc = WholeDC(s.get());
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP grey = CreateCompatibleBitmap(dc, 4, 1);
  SelectObject(mem, grey);
  RECT r{0, 0, 4, 1};
  HBRUSH b = CreateSolidBrush(RGB(192, 192, 192));
  FillRect(mem, &r, b);
  BitBlt(dc, 0, 0, 4, 1, mem, 0, 0, SRCPAINT);
  EXPECT_EQ(Px(s.get(), 0, 0), 0xC0C0C0u);
  EXPECT_EQ(Px(s.get(), 1, 0), 0xFFFFFFu);
  EXPECT_EQ(Px(s.get(), 2, 0), 0xD0E0F0u);
  DeleteDC(mem);
  DeleteObject(grey);
  DeleteObject(b);
  ReleaseSurfaceDC(dc);
}

TEST(GdiBlit, MonochromeBitmapsUseTextAndBackgroundColours) {
  // Two rows of 8 pixels, rows WORD-aligned.
  const BYTE bits[] = {0xF0, 0x00, 0x0F, 0x00};
  HBITMAP mono = CreateBitmap(8, 2, 1, 1, bits);
  ASSERT_NE(mono, nullptr);
  auto s = MakeSurface(8, 2);
  HDC dc = WholeDC(s.get());
  SetTextColor(dc, RGB(255, 0, 0));
  SetBkColor(dc, RGB(0, 0, 255));
  HDC mem = CreateCompatibleDC(dc);
  SelectObject(mem, mono);
  BitBlt(dc, 0, 0, 8, 2, mem, 0, 0, SRCCOPY);
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(Px(s.get(), x, 0), x < 4 ? 0x0000FFu : 0xFF0000u) << x;  // 1 = background
    EXPECT_EQ(Px(s.get(), x, 1), x < 4 ? 0xFF0000u : 0x0000FFu) << x;
  }
  // Into a monochrome bitmap: the source's background colour becomes 1.
  HDC src = WholeDC(s.get());
  SetBkColor(src, RGB(255, 0, 0));
  BitBlt(mem, 0, 0, 8, 2, src, 0, 0, SRCCOPY);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(GetPixel(mem, x, 0), x < 4 ? RGB(0, 0, 0) : RGB(255, 255, 255)) << x;
  DeleteDC(mem);
  DeleteObject(mono);
  ReleaseSurfaceDC(src);
  ReleaseSurfaceDC(dc);
}

TEST(GdiBlit, StretchScalesByNearestPixelAndMirrors) {
  auto src = MakeSurface(2, 2);
  SurfaceRow(src.get(), 0)[0] = 0x110000;
  SurfaceRow(src.get(), 0)[1] = 0x002200;
  SurfaceRow(src.get(), 1)[0] = 0x000033;
  SurfaceRow(src.get(), 1)[1] = 0x444444;
  auto dst = MakeSurface(4, 4);
  HDC s = WholeDC(src.get()), d = WholeDC(dst.get());
  ASSERT_TRUE(StretchBlt(d, 0, 0, 4, 4, s, 0, 0, 2, 2, SRCCOPY));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(dst.get(), x, y), Px(src.get(), x / 2, y / 2));
  StretchBlt(d, 0, 0, 4, 2, s, 2, 0, -2, 1, SRCCOPY);
  EXPECT_EQ(Px(dst.get(), 0, 0), 0x002200u);
  EXPECT_EQ(Px(dst.get(), 3, 1), 0x110000u);
  ReleaseSurfaceDC(s);
  ReleaseSurfaceDC(d);
}

TEST(GdiTransparent, KeyColouredPixelsAreSkippedFromBitmapOrDc) {
  auto dst = MakeSurface(12, 6, 0x777777);
  HDC dc = WholeDC(dst.get());
  HBITMAP bm = CreateCompatibleBitmap(dc, 3, 3);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bm);
  RECT all{0, 0, 3, 3}, centre{1, 1, 2, 2};
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  FillRect(mem, &all, green);
  FillRect(mem, &centre, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  // From the DC, at its own size.
  ASSERT_TRUE(TransparentImage(dc, 0, 0, 3, 3, mem, 0, 0, 3, 3, RGB(0, 255, 0)));
  EXPECT_EQ(Count(dst.get(), 0), 1);
  EXPECT_EQ(Px(dst.get(), 1, 1), 0u);
  EXPECT_EQ(Count(dst.get(), 0x00FF00), 0);
  // From the bitmap handle, doubled.
  SelectObject(mem, old);
  ASSERT_TRUE(TransparentImage(dc, 5, 0, 6, 6, bm, 0, 0, 3, 3, RGB(0, 255, 0)));
  EXPECT_EQ(Count(dst.get(), 0), 1 + 4);
  EXPECT_EQ(Px(dst.get(), 7, 2), 0u);
  EXPECT_EQ(Px(dst.get(), 8, 3), 0u);
  EXPECT_EQ(Px(dst.get(), 6, 2), 0x777777u);
  // White key, as for glyphs on a transparent background.
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(mem, bm);
  TransparentImage(dc, 0, 0, 3, 3, mem, 0, 0, 3, 3, RGB(255, 255, 255));
  EXPECT_EQ(Px(dst.get(), 0, 0), 0x00FF00u);
  SelectObject(mem, old);
  int local = 0;
  EXPECT_FALSE(TransparentImage(dc, 0, 0, 3, 3, &local, 0, 0, 3, 3, 0));
  DeleteDC(mem);
  DeleteObject(green);
  DeleteObject(bm);
  ReleaseSurfaceDC(dc);
}

}  // namespace
