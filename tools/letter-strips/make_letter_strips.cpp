// make-letter-strips FONT.ttf OUTPUT_FOLDER
//
// Draws the three letter strips of the tap-and-hold buttons' text labels as
// PNGs: one row of 38 glyphs of equal size (A-Z, 0-9, "-" and a fallback
// box), white on black, because the buttons OR them onto their colour or
// copy them inverted. 4211.png has 4 x 10-pixel glyphs, 5501.png 5 x 14 and
// 4212.png 8 x 20. The two larger are rendered from a monospace font in
// monochrome at the largest pixel size whose glyphs all fit their cell,
// capitals centred in it; no outline font is legible 4 pixels wide, so the
// smallest is drawn from the 3 x 5 pixel letters below. Run it by hand with
// Debian's DejaVu Sans Mono Bold (fonts-dejavu-core) after a change; the PNGs
// are committed and embedded.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-";  // 37, then the fallback
constexpr int kGlyphCount = 38;

struct Strip {
  int id;
  int width;  // of one glyph
  int height;
  bool pixelFont;  // drawn from kTinyLetters instead of the font
};
constexpr Strip kStrips[] = {{4211, 4, 10, true}, {5501, 5, 14, false}, {4212, 8, 20, false}};

// 3 x 5 letters in the order of kLetters, then the fallback: five rows of
// three bits each, the high bit on the left.
constexpr unsigned char kTinyLetters[kGlyphCount][5] = {
    {2, 5, 7, 5, 5}, {6, 5, 6, 5, 6}, {3, 4, 4, 4, 3}, {6, 5, 5, 5, 6}, {7, 4, 6, 4, 7},  // A-E
    {7, 4, 6, 4, 4}, {3, 4, 5, 5, 3}, {5, 5, 7, 5, 5}, {7, 2, 2, 2, 7}, {1, 1, 1, 5, 2},  // F-J
    {5, 5, 6, 5, 5}, {4, 4, 4, 4, 7}, {5, 7, 7, 5, 5}, {6, 5, 5, 5, 5}, {2, 5, 5, 5, 2},  // K-O
    {6, 5, 6, 4, 4}, {2, 5, 5, 6, 3}, {6, 5, 6, 5, 5}, {3, 4, 2, 1, 6}, {7, 2, 2, 2, 2},  // P-T
    {5, 5, 5, 5, 7}, {5, 5, 5, 5, 2}, {5, 5, 7, 7, 5}, {5, 5, 2, 5, 5}, {5, 5, 2, 2, 2},  // U-Y
    {7, 1, 2, 4, 7},                                                                      // Z
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {6, 1, 2, 4, 7}, {6, 1, 2, 1, 6}, {5, 5, 7, 1, 1},  // 0-4
    {7, 4, 6, 1, 6}, {3, 4, 7, 5, 7}, {7, 1, 2, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 6},  // 5-9
    {0, 0, 7, 0, 0},                                                                      // -
    {6, 1, 2, 0, 2},                                                                      // fallback: "?"
};

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;  // 1 white, 0 black
  void Set(int x, int y) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[y * width + x] = 1;
  }
};

bool Render(FT_Face face, char c) { return !FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO); }

// Whether every glyph fits a cell at the face's current size; the ascent of
// "H" (the capitals' height) in *cap.
bool AllFit(FT_Face face, const Strip& s, int* cap) {
  if (!Render(face, 'H')) return false;
  *cap = face->glyph->bitmap_top;
  for (const char* p = kLetters; *p; ++p) {
    if (!Render(face, *p)) return false;
    const FT_Bitmap& b = face->glyph->bitmap;
    if (static_cast<int>(b.width) > s.width || static_cast<int>(b.rows) > s.height) return false;
    // Below the baseline (none for these glyphs in most fonts) must still fit.
    int top = (s.height - *cap) / 2 + (*cap - face->glyph->bitmap_top);
    if (top < 0 || top + static_cast<int>(b.rows) > s.height) return false;
  }
  return true;
}

bool WritePng(const std::string& path, const Image& image) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<unsigned char> row(image.width * 3);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      unsigned char v = image.pixels[y * image.width + x] ? 0xFF : 0x00;
      row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = v;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

// The 3 x 5 letters, each in the left three columns of its cell and
// centred vertically.
Image TinyStrip(const Strip& s) {
  Image image;
  image.width = s.width * kGlyphCount;
  image.height = s.height;
  image.pixels.assign(image.width * image.height, 0);
  int top = (s.height - 5) / 2;
  for (int g = 0; g < kGlyphCount; ++g)
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 3; ++x)
        if (kTinyLetters[g][y] & (4 >> x)) image.Set(g * s.width + x, top + y);
  return image;
}

bool Save(const Strip& s, const Image& image, const std::string& folder, const char* how) {
  std::string path = folder + "/" + std::to_string(s.id) + ".png";
  if (!WritePng(path, image)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s: %d x %d glyphs %s\n", path.c_str(), s.width, s.height, how);
  return true;
}

bool MakeStrip(FT_Face face, const Strip& s, const std::string& folder) {
  if (s.pixelFont) return Save(s, TinyStrip(s), folder, "from the pixel letters");
  int size = 0, cap = 0;
  for (int trySize = 4; trySize <= 64; ++trySize) {
    FT_Set_Pixel_Sizes(face, 0, trySize);
    int c = 0;
    if (AllFit(face, s, &c)) {
      size = trySize;
      cap = c;
    }
  }
  if (!size) {
    std::fprintf(stderr, "no size of the font fits %d x %d\n", s.width, s.height);
    return false;
  }
  FT_Set_Pixel_Sizes(face, 0, size);
  Image image;
  image.width = s.width * kGlyphCount;
  image.height = s.height;
  image.pixels.assign(image.width * image.height, 0);
  int capTop = (s.height - cap) / 2;
  for (int g = 0; kLetters[g]; ++g) {
    Render(face, kLetters[g]);
    const FT_Bitmap& b = face->glyph->bitmap;
    int left = g * s.width + (s.width - static_cast<int>(b.width)) / 2;
    int top = capTop + (cap - face->glyph->bitmap_top);
    for (unsigned y = 0; y < b.rows; ++y)
      for (unsigned x = 0; x < b.width; ++x)
        if (b.buffer[y * b.pitch + x / 8] & (0x80 >> (x % 8))) image.Set(left + x, top + y);
  }
  // The fallback: a hollow box of the capitals' height.
  int left = (kGlyphCount - 1) * s.width;
  for (int y = capTop; y < capTop + cap; ++y) {
    for (int x = 0; x < s.width - 1; ++x) {
      bool edge = y == capTop || y == capTop + cap - 1 || x == 0 || x == s.width - 2;
      if (edge) image.Set(left + x, y);
    }
  }
  std::string how = "from the font at " + std::to_string(size) + " px";
  return Save(s, image, folder, how.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-letter-strips FONT.ttf OUTPUT_FOLDER\n");
    return 2;
  }
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[1], 0, &face)) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  bool ok = true;
  for (const Strip& s : kStrips) ok = MakeStrip(face, s, argv[2]) && ok;
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return ok ? 0 : 1;
}
