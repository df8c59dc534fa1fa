// The tool image lists' bitmaps as the main window loads them: every id of
// the three sizes resolves to a picture of its size whose undrawn pixels
// are the transparent green.
#include "resources/tool_images.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "platform/gdi.h"
#include "platform/imagelist.h"
#include "platform/resources.h"
#include "resources/resources.h"

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

struct Size {
  uint32_t iconSize;
  int smallSize;
};
constexpr Size kSizes[] = {{16, 8}, {22, 10}, {32, 16}};

// The pixels of a bitmap, row by row, read through a memory DC.
std::vector<COLORREF> Pixels(HBITMAP bitmap, int width, int height) {
  std::vector<COLORREF> pixels;
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, bitmap);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(mem, x, y));
  SelectObject(mem, old);
  DeleteDC(mem);
  return pixels;
}

// Loads bitmap `id`, expects it `size` square and returns its pixels.
std::vector<COLORREF> LoadSquare(UINT id, int size) {
  HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
  EXPECT_NE(bitmap, nullptr);
  if (!bitmap) return {};
  BITMAP info{};
  EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidth, size);
  EXPECT_EQ(info.bmHeight, size);
  std::vector<COLORREF> pixels = Pixels(bitmap, size, size);
  DeleteObject(bitmap);
  return pixels;
}

// A picture: drawn somewhere, green around it (its four corners are never
// drawn, so a button shows its own face there), and no pixel blended
// towards the key colour, which would show as a green fringe on a button.
void ExpectPicture(const std::vector<COLORREF>& pixels, int size) {
  ASSERT_EQ(pixels.size(), static_cast<size_t>(size * size));
  int drawn = 0;
  for (COLORREF p : pixels) {
    if (p == kGreen) continue;
    ++drawn;
    bool greenish = GetGValue(p) >= 0xC0 && GetRValue(p) <= 0x60 && GetBValue(p) <= 0x60;
    EXPECT_FALSE(greenish) << std::hex << "pixel 0x" << p << " is nearly the transparent green";
  }
  EXPECT_GT(drawn, 0) << "nothing drawn";
  EXPECT_LT(drawn, size * size) << "no transparent pixel";
  for (int corner : {0, size - 1, size * (size - 1), size * size - 1})
    EXPECT_EQ(pixels[corner], kGreen) << "corner " << corner;
}

class ToolImagesTest : public testing::Test {
 protected:
  void SetUp() override { RegisterSorviResources(); }
};

TEST_F(ToolImagesTest, TablesExistForTheThreeIconSizesOnly) {
  for (uint32_t size : {0u, 8u, 15u, 20u, 24u, 48u}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(ToolBitmapIds(size), nullptr);
    EXPECT_EQ(SmallBitmapIds(size), nullptr);
    EXPECT_EQ(SmallImageSize(size), 0);
  }
  // The ids the layout records fix, and no id used twice in any table.
  struct Fixed {
    uint32_t size;
    UINT first[3];
    UINT small[4];
  } fixed[] = {{16, {4201, 4221, 4231}, {4741, 4701, 4721, 4731}},
               {22, {5500, 5502, 5503}, {5554, 5550, 5552, 5553}},
               {32, {4202, 4222, 4232}, {5301, 4391, 4631, 5161}}};
  std::set<UINT> seen;
  for (const Fixed& f : fixed) {
    SCOPED_TRACE(f.size);
    const UINT* tool = ToolBitmapIds(f.size);
    const UINT* small = SmallBitmapIds(f.size);
    ASSERT_NE(tool, nullptr);
    ASSERT_NE(small, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(tool[i], f.first[i]);
    for (int i = 0; i < kSmallImageCount; ++i) EXPECT_EQ(small[i], f.small[i]);
    for (int i = 0; i < kToolImageCount; ++i) EXPECT_TRUE(seen.insert(tool[i]).second) << "tool id " << tool[i];
    for (int i = 0; i < kSmallImageCount; ++i) EXPECT_TRUE(seen.insert(small[i]).second) << "small id " << small[i];
  }
  // None of them is one of the other bitmaps: the letter strips and the
  // keyboard's arrows and drop-down button.
  for (UINT other : {4211u, 4212u, 5501u, 4591u, 4592u, 4611u, 4612u, 5325u, 5326u, 5348u, 5349u})
    EXPECT_EQ(seen.count(other), 0u) << other;
}

TEST_F(ToolImagesTest, EveryBitmapLoadsAsAPictureOfItsSize) {
  for (const Size& s : kSizes) {
    const UINT* tool = ToolBitmapIds(s.iconSize);
    for (int i = 0; i < kToolImageCount; ++i) {
      SCOPED_TRACE(testing::Message() << s.iconSize << " px, tool image " << i << ", id " << tool[i]);
      ExpectPicture(LoadSquare(tool[i], static_cast<int>(s.iconSize)), static_cast<int>(s.iconSize));
    }
    EXPECT_EQ(SmallImageSize(s.iconSize), s.smallSize);
    const UINT* small = SmallBitmapIds(s.iconSize);
    for (int i = 0; i < kSmallImageCount; ++i) {
      SCOPED_TRACE(testing::Message() << s.iconSize << " px, mark " << i << ", id " << small[i]);
      ExpectPicture(LoadSquare(small[i], s.smallSize), s.smallSize);
    }
  }
}

// Each size's pictures differ from one another (a copied row in the
// drawing table would give two buttons one face); only the indexes no
// screen names share their one picture.
TEST_F(ToolImagesTest, NamedPicturesAreDistinct) {
  for (const Size& s : kSizes) {
    SCOPED_TRACE(s.iconSize);
    const UINT* tool = ToolBitmapIds(s.iconSize);
    std::set<std::vector<COLORREF>> pictures;
    std::vector<COLORREF> unused;
    for (int i = 0; i < kToolImageCount; ++i) {
      std::vector<COLORREF> p = LoadSquare(tool[i], static_cast<int>(s.iconSize));
      if (!pictures.insert(p).second) {
        // Only the one "unused" picture may repeat.
        if (unused.empty()) unused = p;
        EXPECT_EQ(p, unused) << "tool image " << i << " repeats another picture";
      }
    }
  }
}

// Built as the main window builds its list (masked by green, no background
// colour) and drawn over a coloured button face: the face shows exactly
// where a picture is green, the picture everywhere else.
TEST_F(ToolImagesTest, ImageListDrawsThroughTheGreenMask) {
  for (const Size& s : kSizes) {
    SCOPED_TRACE(s.iconSize);
    int n = static_cast<int>(s.iconSize);
    HIMAGELIST list = ImageList_Create(n, n, ILC_MASK | ILC_COLOR32, kToolImageCount, 0);
    ASSERT_NE(list, nullptr);
    ImageList_SetBkColor(list, CLR_NONE);
    const UINT* tool = ToolBitmapIds(s.iconSize);
    std::vector<std::vector<COLORREF>> sources;
    for (int i = 0; i < kToolImageCount; ++i) {
      HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(tool[i]));
      ASSERT_NE(bitmap, nullptr);
      sources.push_back(Pixels(bitmap, n, n));
      EXPECT_EQ(ImageList_AddMasked(list, bitmap, kGreen), i);
      DeleteObject(bitmap);
    }
    EXPECT_EQ(ImageList_GetImageCount(list), kToolImageCount);
    HBITMAP face = CreateCompatibleBitmap(nullptr, n, n);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, face);
    HBRUSH magenta = CreateSolidBrush(kMagenta);
    RECT all{0, 0, n, n};
    for (int i = 0; i < kToolImageCount; ++i) {
      FillRect(mem, &all, magenta);
      ASSERT_TRUE(ImageList_DrawEx(list, i, mem, 0, 0, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_TRANSPARENT));
      int mismatches = 0;
      for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
          COLORREF source = sources[i][y * n + x];
          COLORREF want = source == kGreen ? kMagenta : source;
          mismatches += GetPixel(mem, x, y) != want;
        }
      EXPECT_EQ(mismatches, 0) << "tool image " << i;
    }
    DeleteObject(magenta);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(face);
    ImageList_Destroy(list);
  }
}

}  // namespace
