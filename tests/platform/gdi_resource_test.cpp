// PNG capture and read-back, bitmap resources and image lists.
#include <png.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/imagelist.h"
#include "platform/resources.h"
#include "tests/platform/gdi_test_support.h"

using namespace gditest;

namespace {

// Writes RGBA pixels as PNG with libpng directly, independent of the layer.
std::vector<std::uint8_t> RgbaPng(int w, int h, const std::vector<std::uint8_t>& rgba) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr));
  std::vector<std::uint8_t> out(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr));
  out.resize(size);
  return out;
}

std::string TempPath(const char* name) {
  return ::testing::TempDir() + "sorvi_gdi_" + std::to_string(getpid()) + "_" + name + ".png";
}

TEST(GdiPng, SavedSurfaceReadsBackEqual) {
  auto s = MakeSurface(37, 23);
  FillRandom(s.get(), 99);
  std::string path = TempPath("whole");
  ASSERT_TRUE(SaveSurfacePng(s.get(), nullptr, path.c_str()));

  // Read with libpng itself, not through the layer.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
  EXPECT_EQ(image.width, 37u);
  EXPECT_EQ(image.height, 23u);
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) {
      const std::uint8_t* p = &rgb[(y * 37 + x) * 3];
      ASSERT_EQ((std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2], Px(s.get(), x, y));
    }

  Surface* back = LoadSurfacePng(path.c_str());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Snapshot(back), Snapshot(s.get()));
  DestroySurface(back);
  std::remove(path.c_str());
}

TEST(GdiPng, SavingAnAreaCutsItToTheSurface) {
  auto s = MakeSurface(20, 20);
  FillRandom(s.get(), 4);
  std::string path = TempPath("area");
  RECT area{15, 12, 40, 16};
  ASSERT_TRUE(SaveSurfacePng(s.get(), &area, path.c_str()));
  Surface* back = LoadSurfacePng(path.c_str());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->width, 5);
  ASSERT_EQ(back->height, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(Px(back, x, y), Px(s.get(), 15 + x, 12 + y));
  DestroySurface(back);
  std::remove(path.c_str());
  RECT empty{30, 30, 40, 40};
  std::vector<std::uint8_t> png;
  EXPECT_FALSE(EncodeSurfacePng(s.get(), &empty, &png));
  EXPECT_FALSE(SaveSurfacePng(s.get(), nullptr, "/nonexistent-folder/x.png"));
  EXPECT_EQ(LoadSurfacePng("/nonexistent-folder/x.png"), nullptr);
}

TEST(GdiResources, LoadBitmapDecodesAPngResource) {
  // 3x2: red, transparent, blue / green, white, half-transparent black.
  static const std::vector<std::uint8_t> png = RgbaPng(
      3, 2, {255, 0, 0, 255, 9, 9, 9, 0, 0, 0, 255, 255, 0, 255, 0, 255, 255, 255, 255, 255, 0, 0, 0, 200});
  RegisterResource(RT_BITMAP, 4591, png.data(), static_cast<DWORD>(png.size()));
  HMODULE module = GetModuleHandleW(nullptr);
  HBITMAP bm = LoadBitmapW(module, MAKEINTRESOURCEW(4591));
  ASSERT_NE(bm, nullptr);
  BITMAP b{};
  ASSERT_EQ(GetObjectW(bm, sizeof b, &b), static_cast<int>(sizeof b));
  EXPECT_EQ(b.bmWidth, 3);
  EXPECT_EQ(b.bmHeight, 2);

  // Drawn the way bitmap resources are: green is transparent.
  auto s = MakeSurface(3, 2, 0x777777);
  HDC dc = WholeDC(s.get());
  ASSERT_TRUE(TransparentImage(dc, 0, 0, 3, 2, bm, 0, 0, 3, 2, RGB(0, 255, 0)));
  EXPECT_EQ(Px(s.get(), 0, 0), 0xFF0000u);
  EXPECT_EQ(Px(s.get(), 1, 0), 0x777777u);  // alpha 0 became the key
  EXPECT_EQ(Px(s.get(), 2, 0), 0x0000FFu);
  EXPECT_EQ(Px(s.get(), 0, 1), 0x777777u);
  EXPECT_EQ(Px(s.get(), 1, 1), 0xFFFFFFu);
  EXPECT_EQ(Px(s.get(), 2, 1), 0x000000u);  // mostly opaque stays
  ReleaseSurfaceDC(dc);
  EXPECT_TRUE(DeleteObject(bm));

  EXPECT_EQ(LoadBitmapW(module, MAKEINTRESOURCEW(4592)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  static const char junk[] = "not a png file at all";
  RegisterResource(RT_BITMAP, 4593, junk, sizeof junk);
  EXPECT_EQ(LoadBitmapW(module, MAKEINTRESOURCEW(4593)), nullptr);
}

// A 2-image strip (each 2x2) drawn through memory DCs.
HBITMAP Strip(const std::uint32_t (&px)[8]) {
  HBITMAP bm = CreateCompatibleBitmap(nullptr, 4, 2);
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, bm);
  for (int i = 0; i < 8; ++i) SetPixel(mem, i % 4, i / 4, XrgbToColorRef(px[i]));
  SelectObject(mem, old);
  DeleteDC(mem);
  return bm;
}

TEST(GdiImageList, MaskedImagesDrawTransparentOrOnTheBackground) {
  HIMAGELIST list = ImageList_Create(2, 2, ILC_MASK | ILC_COLOR32, 2, 1);
  ASSERT_NE(list, nullptr);
  HBITMAP image = Strip({0x110000, 0x220000, 0x000011, 0x000022, 0x330000, 0x440000, 0x000033, 0x000044});
  // Mask: white = transparent. Image 0 keeps its left column, image 1 its top row.
  HBITMAP mask = Strip({0, 0xFFFFFF, 0, 0, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF});
  EXPECT_EQ(ImageList_Add(list, image, mask), 0);
  EXPECT_EQ(ImageList_GetImageCount(list), 2);
  int cx = 0, cy = 0;
  ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
  EXPECT_EQ(cx, 2);
  EXPECT_EQ(cy, 2);

  auto s = MakeSurface(6, 2, 0x777777);
  HDC dc = WholeDC(s.get());
  ASSERT_TRUE(ImageList_DrawEx(list, 0, dc, 0, 0, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_NORMAL));
  EXPECT_EQ(Px(s.get(), 0, 0), 0x110000u);
  EXPECT_EQ(Px(s.get(), 1, 0), 0x777777u);
  EXPECT_EQ(Px(s.get(), 0, 1), 0x330000u);
  EXPECT_EQ(Px(s.get(), 1, 1), 0x777777u);
  ASSERT_TRUE(ImageList_DrawEx(list, 1, dc, 2, 0, 0, 0, RGB(0, 0, 255), CLR_DEFAULT, ILD_NORMAL));
  EXPECT_EQ(Px(s.get(), 2, 0), 0x000011u);
  EXPECT_EQ(Px(s.get(), 3, 0), 0x000022u);
  EXPECT_EQ(Px(s.get(), 2, 1), 0x0000FFu);  // masked, painted in the background
  // CLR_DEFAULT takes the list's background, CLR_NONE unless set.
  ImageList_DrawEx(list, 1, dc, 4, 0, 0, 0, CLR_DEFAULT, CLR_DEFAULT, ILD_NORMAL);
  EXPECT_EQ(Px(s.get(), 4, 1), 0x777777u);
  EXPECT_EQ(ImageList_SetBkColor(list, RGB(255, 0, 0)), CLR_NONE);
  ImageList_DrawEx(list, 1, dc, 4, 0, 0, 0, CLR_DEFAULT, CLR_DEFAULT, ILD_NORMAL);
  EXPECT_EQ(Px(s.get(), 4, 1), 0xFF0000u);

  EXPECT_FALSE(ImageList_DrawEx(list, 2, dc, 0, 0, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_NORMAL));
  EXPECT_TRUE(ImageList_Destroy(list));
  EXPECT_FALSE(ImageList_Destroy(list));
  EXPECT_FALSE(ImageList_GetIconSize(list, &cx, &cy));
  EXPECT_FALSE(ImageList_DrawEx(list, 0, dc, 0, 0, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_NORMAL));
  DeleteObject(image);
  DeleteObject(mask);
  ReleaseSurfaceDC(dc);
}

TEST(GdiImageList, ColourKeyMaskAndUnmaskedLists) {
  HBITMAP image = Strip({0x00FF00, 0x123456, 0x00FF00, 0x654321, 0, 0, 0, 0});
  HIMAGELIST keyed = ImageList_Create(2, 2, ILC_MASK, 1, 1);
  EXPECT_EQ(ImageList_AddMasked(keyed, image, RGB(0, 255, 0)), 0);
  EXPECT_EQ(ImageList_GetImageCount(keyed), 2);
  HIMAGELIST plain = ImageList_Create(2, 2, ILC_COLOR32, 1, 1);
  EXPECT_EQ(ImageList_Add(plain, image, nullptr), 0);

  auto s = MakeSurface(4, 2, 0x777777);
  HDC dc = WholeDC(s.get());
  ImageList_DrawEx(keyed, 0, dc, 0, 0, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_TRANSPARENT);
  EXPECT_EQ(Px(s.get(), 0, 0), 0x777777u);
  EXPECT_EQ(Px(s.get(), 1, 0), 0x123456u);
  ImageList_DrawEx(plain, 0, dc, 2, 0, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_TRANSPARENT);
  EXPECT_EQ(Px(s.get(), 2, 0), 0x00FF00u);  // no mask: every pixel drawn
  // A smaller width and height crop the image.
  auto t = MakeSurface(2, 2, 0x777777);
  HDC tdc = WholeDC(t.get());
  ImageList_DrawEx(plain, 0, tdc, 0, 0, 1, 1, CLR_NONE, CLR_DEFAULT, ILD_NORMAL);
  EXPECT_EQ(Count(t.get(), 0x777777), 3);
  EXPECT_EQ(ImageList_Add(plain, nullptr, nullptr), -1);
  ImageList_Destroy(keyed);
  ImageList_Destroy(plain);
  DeleteObject(image);
  ReleaseSurfaceDC(dc);
  ReleaseSurfaceDC(tdc);
}

}  // namespace
