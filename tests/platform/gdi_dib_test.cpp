// DIB sections: depths, palettes, row order and alignment; bitmap selection.
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/platform/gdi_test_support.h"

using namespace gditest;

namespace {

// A header with room for a palette of n entries.
struct Info {
  std::vector<std::uint8_t> block;
  explicit Info(LONG width, LONG height, WORD bits, const std::vector<RGBQUAD>& palette = {}) {
    block.resize(sizeof(BITMAPINFOHEADER) + palette.size() * sizeof(RGBQUAD) + sizeof(RGBQUAD));
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = BI_RGB;
    h.biClrUsed = static_cast<DWORD>(palette.size());
    std::memcpy(block.data(), &h, sizeof h);
    if (!palette.empty()) std::memcpy(block.data() + sizeof h, palette.data(), palette.size() * sizeof(RGBQUAD));
  }
  BITMAPINFOHEADER& header() { return *reinterpret_cast<BITMAPINFOHEADER*>(block.data()); }
  const BITMAPINFO* get() const { return reinterpret_cast<const BITMAPINFO*>(block.data()); }
};

RGBQUAD Q(std::uint32_t xrgb) {
  return RGBQUAD{static_cast<BYTE>(xrgb), static_cast<BYTE>(xrgb >> 8), static_cast<BYTE>(xrgb >> 16), 0};
}

// Copies the whole bitmap to a fresh surface through a memory DC.
SurfacePtr Show(HBITMAP bm, int w, int h) {
  auto s = MakeSurface(w, h, 0x777777);
  HDC dc = WholeDC(s.get());
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bm);
  EXPECT_NE(old, nullptr);
  EXPECT_TRUE(BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY));
  SelectObject(mem, old);
  DeleteDC(mem);
  ReleaseSurfaceDC(dc);
  return s;
}

TEST(GdiDib, OneBitPaletteBackgroundAndForegroundWithDwordRows) {
  Info info(10, -2, 1, {Q(0xFFFFEE), Q(0x112233)});
  void* bits = nullptr;
  HBITMAP bm = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bm, nullptr);
  ASSERT_NE(bits, nullptr);
  BITMAP b{};
  ASSERT_EQ(GetObjectW(bm, sizeof b, &b), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(b.bmWidth, 10);
  EXPECT_EQ(b.bmHeight, 2);
  EXPECT_EQ(b.bmWidthBytes, 4);  // 10 bits round up to a DWORD
  EXPECT_EQ(b.bmBitsPixel, 1);
  EXPECT_EQ(b.bmBits, bits);
  auto* p = static_cast<std::uint8_t*>(bits);
  // Top-down: the first row in memory is the top row. MSB is the left pixel.
  p[0] = 0x80;
  p[1] = 0x40;  // x = 9
  p[4] = 0x01;  // row 1, x = 7
  auto s = Show(bm, 10, 2);
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(Px(s.get(), x, 0), (x == 0 || x == 9) ? 0x112233u : 0xFFFFEEu) << x;
    EXPECT_EQ(Px(s.get(), x, 1), x == 7 ? 0x112233u : 0xFFFFEEu) << x;
  }
  EXPECT_TRUE(DeleteObject(bm));
}

TEST(GdiDib, EightBitGradientPaletteTopDownAndBottomUp) {
  std::vector<RGBQUAD> palette;
  for (int i = 0; i < 256; ++i) palette.push_back(Q(static_cast<std::uint32_t>(i) * 0x010101u));
  for (LONG height : {-3, 3}) {
    SCOPED_TRACE(height);
    Info info(5, height, 8, palette);
    info.header().biClrUsed = 0;  // 0 = the full palette
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bm, nullptr);
    BITMAP b{};
    GetObjectW(bm, sizeof b, &b);
    EXPECT_EQ(b.bmWidthBytes, 8);
    auto* p = static_cast<std::uint8_t*>(bits);
    for (int row = 0; row < 3; ++row)
      for (int x = 0; x < 5; ++x) p[row * 8 + x] = static_cast<std::uint8_t>(row * 100 + x);
    auto s = Show(bm, 5, 3);
    for (int y = 0; y < 3; ++y) {
      int row = height < 0 ? y : 2 - y;  // bottom-up stores the bottom row first
      for (int x = 0; x < 5; ++x) ASSERT_EQ(Px(s.get(), x, y), static_cast<std::uint32_t>(row * 100 + x) * 0x010101u);
    }
    DeleteObject(bm);
  }
}

TEST(GdiDib, TwentyFourBitRowsAreBlueGreenRed) {
  Info info(3, -1, 24);
  void* bits = nullptr;
  HBITMAP bm = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bm, nullptr);
  BITMAP b{};
  GetObjectW(bm, sizeof b, &b);
  EXPECT_EQ(b.bmWidthBytes, 12);
  const BYTE px[] = {0x01, 0x02, 0x03, 0x10, 0x20, 0x30, 0xFF, 0x00, 0x80};
  std::memcpy(bits, px, sizeof px);
  auto s = Show(bm, 3, 1);
  EXPECT_EQ(Px(s.get(), 0, 0), 0x030201u);
  EXPECT_EQ(Px(s.get(), 1, 0), 0x302010u);
  EXPECT_EQ(Px(s.get(), 2, 0), 0x8000FFu);
  DeleteObject(bm);
}

TEST(GdiDib, DrawingIntoAPaletteBitmapPicksTheNearestEntry) {
  Info info(4, -1, 8, {Q(0x000000), Q(0xFF0000), Q(0x00FF00), Q(0x0000FF)});
  void* bits = nullptr;
  HBITMAP bm = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bm, nullptr);
  HDC mem = CreateCompatibleDC(nullptr);
  SelectObject(mem, bm);
  RECT r{1, 0, 3, 1};
  HBRUSH nearlyGreen = CreateSolidBrush(RGB(10, 240, 20));
  FillRect(mem, &r, nearlyGreen);
  auto* p = static_cast<std::uint8_t*>(bits);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 2);
  // Inversion flips the index bits of a palette bitmap.
  RECT one{0, 0, 1, 1};
  InvertRect(mem, &one);
  EXPECT_EQ(p[0], 0xFF);
  InvertRect(mem, &one);
  EXPECT_EQ(p[0], 0);
  DeleteDC(mem);
  DeleteObject(nearlyGreen);
  DeleteObject(bm);
}

TEST(GdiDib, InvalidHeadersAreRefused) {
  struct Bad {
    const char* what;
    void (*spoil)(BITMAPINFOHEADER&);
  };
  const Bad cases[] = {
      {"two planes", [](BITMAPINFOHEADER& h) { h.biPlanes = 2; }},
      {"compressed", [](BITMAPINFOHEADER& h) { h.biCompression = 1; }},
      {"4 bits", [](BITMAPINFOHEADER& h) { h.biBitCount = 4; }},
      {"16 bits", [](BITMAPINFOHEADER& h) { h.biBitCount = 16; }},
      {"zero width", [](BITMAPINFOHEADER& h) { h.biWidth = 0; }},
      {"zero height", [](BITMAPINFOHEADER& h) { h.biHeight = 0; }},
      {"short header", [](BITMAPINFOHEADER& h) { h.biSize = 12; }},
      {"huge", [](BITMAPINFOHEADER& h) { h.biWidth = 1 << 20; }},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.what);
    Info info(4, 4, 24);
    c.spoil(info.header());
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
  }
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 4), nullptr);
}

TEST(GdiDib, ABitmapIsSelectedIntoOneDcAtATimeAndNotDeletedThere) {
  HBITMAP bm = CreateCompatibleBitmap(nullptr, 4, 4);
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(a, bm);
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(SelectObject(b, bm), nullptr);
  EXPECT_FALSE(DeleteObject(bm));
  EXPECT_EQ(GetObjectType(bm), static_cast<DWORD>(OBJ_BITMAP));
  SelectObject(a, old);
  EXPECT_NE(SelectObject(b, bm), nullptr);
  EXPECT_TRUE(DeleteDC(b));  // deselects
  EXPECT_TRUE(DeleteObject(bm));
  EXPECT_EQ(GetObjectW(bm, sizeof(BITMAP), nullptr), 0);
  auto s = MakeSurface(2, 2);
  HDC window = WholeDC(s.get());
  HBITMAP other = CreateCompatibleBitmap(window, 2, 2);
  EXPECT_EQ(SelectObject(window, other), nullptr);  // only memory DCs hold bitmaps
  DeleteObject(other);
  ReleaseSurfaceDC(window);
  DeleteDC(a);
}

}  // namespace
