// make-icons OUTPUT_FOLDER [--sheet SHEET.png] [--sans F] [--bold F] [--cjk F]
// make-icons --list
//
// Draws every bitmap of the two tool image lists (resources/tool_images.h)
// as a PNG named by its id: the 105 tool images in 16, 22 and 32 pixels and
// the four marks of the small list in 8, 10 and 16. Each picture is a few
// layers from kIcons below (a glyph of an installed font scaled into a box,
// or a simple shape), so a new picture is one row. Pure green (0x00FF00) is
// the transparent colour; edges are smoothed against white, the colour of
// the buttons the images sit on, and a pixel less than a quarter covered is
// left transparent so that no green fringe shows.
//
// Fonts default to Debian's DejaVu Sans (fonts-dejavu-core) for symbols and
// Latin letters, and WenQuanYi Zen Hei (fonts-wqy-zenhei) for Chinese
// characters. --sheet also writes a contact sheet of the 32- and 16-pixel
// pictures, twice their size with their index under each, to look at.
// --list prints what each tool image index shows.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/tool_images.h"

namespace {

// kCjkSharp is the Chinese font's face with hand-tuned bitmaps of 12 to 16
// pixels; it stands in for kCjk in the smallest pictures, where outlines
// blur into grey.
enum Font { kSans, kBold, kCjk, kCjkSharp, kFontCount };

enum Kind {
  kNone,   // ends a picture's layers
  kText,   // a UTF-8 string scaled to fit the box, centred in it
  kFill,   // a filled rectangle
  kFrame,  // a rectangle's outline, `weight` thick
  kLine,   // a segment from the box's (x0, y0) to (x1, y1), `weight` thick
  kRing,   // the outline of the ellipse inside the box, `weight` thick
};

// Boxes are fractions of the square; a weight is a fraction of its side,
// never thinner than one pixel.
struct Layer {
  Kind kind = kNone;
  const char* text = nullptr;
  Font font = kSans;
  unsigned colour = 0;  // 0xRRGGBB
  float x0 = 0, y0 = 0, x1 = 1, y1 = 1;
  float weight = 0;
};

constexpr int kMaxLayers = 12;
struct Icon {
  int index;
  const char* meaning;  // what the picture says; shown by --list
  Layer layers[kMaxLayers];
};

// Colours: none is pure green, the transparent colour.
constexpr unsigned kInk = 0x202020, kBlue = 0x1F4FB0, kRed = 0xC02020, kDarkGreen = 0x108A20, kOrange = 0xD07000,
                   kPurple = 0x7030A0, kBrown = 0x805020, kGrey = 0x8C8C8C, kPaper = 0xFFF4C0, kTeal = 0x107070;

constexpr Layer T(const char* text, Font font, unsigned colour, float x0 = 0.04f, float y0 = 0.04f, float x1 = 0.96f,
                  float y1 = 0.96f) {
  return {kText, text, font, colour, x0, y0, x1, y1, 0};
}
constexpr Layer Fill(unsigned colour, float x0, float y0, float x1, float y1) {
  return {kFill, nullptr, kSans, colour, x0, y0, x1, y1, 0};
}
constexpr Layer Frame(unsigned colour, float x0, float y0, float x1, float y1, float weight = 0.07f) {
  return {kFrame, nullptr, kSans, colour, x0, y0, x1, y1, weight};
}
constexpr Layer Line(unsigned colour, float x0, float y0, float x1, float y1, float weight = 0.09f) {
  return {kLine, nullptr, kSans, colour, x0, y0, x1, y1, weight};
}
constexpr Layer Ring(unsigned colour, float x0, float y0, float x1, float y1, float weight = 0.09f) {
  return {kRing, nullptr, kSans, colour, x0, y0, x1, y1, weight};
}
// A small sign in the lower right corner over a picture.
constexpr Layer Badge(const char* text, Font font, unsigned colour) {
  return T(text, font, colour, 0.52f, 0.5f, 1.0f, 1.0f);
}
// The full-text prefix over a language picture.
constexpr Layer Hash() { return T("#", kBold, kRed, 0.56f, 0.0f, 1.0f, 0.48f); }

// Shared pictures.
#define CARD Fill(0xFFFFFF, 0.1f, 0.22f, 0.9f, 0.8f), Frame(kBlue, 0.1f, 0.22f, 0.9f, 0.8f)
#define PAGE Fill(0xFFFFFF, 0.18f, 0.06f, 0.82f, 0.94f), Frame(kInk, 0.18f, 0.06f, 0.82f, 0.94f)
#define FOLDER                                                                                  \
  Fill(0xF0C860, 0.06f, 0.26f, 0.94f, 0.86f), Frame(kBrown, 0.06f, 0.26f, 0.94f, 0.86f, 0.06f), \
      Fill(kBrown, 0.06f, 0.16f, 0.42f, 0.28f)
#define BOOK                                                                                       \
  Fill(0xFFFFFF, 0.06f, 0.2f, 0.94f, 0.84f), Frame(kBrown, 0.06f, 0.2f, 0.5f, 0.84f, 0.06f),       \
      Frame(kBrown, 0.5f, 0.2f, 0.94f, 0.84f, 0.06f), Line(kGrey, 0.16f, 0.4f, 0.4f, 0.4f, 0.05f), \
      Line(kGrey, 0.6f, 0.4f, 0.84f, 0.4f, 0.05f)
#define LENS Ring(kInk, 0.08f, 0.08f, 0.68f, 0.68f, 0.1f), Line(kInk, 0.6f, 0.6f, 0.86f, 0.86f, 0.14f)

// Every index a screen names, with what it does there; the indexes no
// screen names get a grey dot so that an unbound image shows as unused.
// Two pictures of one meaning are the Latin one (the "no Chinese character
// icons" choice) and the Chinese one, or simplified and traditional.
const Icon kIcons[] = {
    {0, "new card, add to flashcards", {CARD, T("+", kBold, kDarkGreen, 0.3f, 0.2f, 0.7f, 0.82f)}},
    {1, "check the answer (Chinese)", {T("答", kCjk, kBlue)}},
    {2, "play the pronunciation", {T("♪", kBold, kBlue)}},
    {3, "backspace", {T("⌫", kSans, kInk)}},
    {5, "character information", {T("字", kCjk, kInk, 0.0f, 0.0f, 0.8f, 0.8f), Badge("i", kBold, kBlue)}},
    {6, "searching Chinese headwords (Chinese)", {T("中", kCjk, kRed)}},
    {7, "clear", {T("⌧", kSans, kRed)}},
    {8,
     "copy",
     {Fill(0xFFFFFF, 0.08f, 0.08f, 0.6f, 0.66f), Frame(kInk, 0.08f, 0.08f, 0.6f, 0.66f),
      Fill(0xFFFFFF, 0.4f, 0.34f, 0.92f, 0.92f), Frame(kBlue, 0.4f, 0.34f, 0.92f, 0.92f)}},
    {9,
     "copy to the input field",
     {Frame(kInk, 0.04f, 0.04f, 0.96f, 0.36f), T("⬆", kSans, kBlue, 0.2f, 0.42f, 0.8f, 0.98f)}},
    {10, "correct", {T("✔", kSans, kDarkGreen)}},
    {11, "cut", {T("✂", kSans, kInk)}},
    {12, "reveal the definition (Chinese)", {T("英", kCjk, kTeal)}},
    {13, "delete the dictionary entry", {PAGE, T("✖", kSans, kRed, 0.3f, 0.3f, 1.0f, 1.0f)}},
    {14, "showing an entry (Chinese)", {T("义", kCjk, kTeal)}},
    {15, "next, down", {T("▼", kSans, kBlue)}},
    {16, "add or edit a dictionary entry", {PAGE, T("✎", kSans, kOrange, 0.28f, 0.18f, 1.0f, 1.0f)}},
    {18, "searching English headwords (Chinese)", {T("英", kCjk, kBlue)}},
    {19, "close, quit", {T("✖", kSans, kRed)}},
    {20,
     "flashcards",
     {Fill(0xFFFFFF, 0.28f, 0.06f, 0.96f, 0.6f), Frame(kBlue, 0.28f, 0.06f, 0.96f, 0.6f),
      Fill(0xFFFFFF, 0.04f, 0.36f, 0.72f, 0.92f), Frame(kBlue, 0.04f, 0.36f, 0.72f, 0.92f),
      T("?", kBold, kRed, 0.14f, 0.42f, 0.62f, 0.88f)}},
    {21, "full-text search (Chinese)", {T("全", kCjk, kPurple)}},
    {26, "reveal the headword (simplified)", {T("汉", kCjk, kBlue)}},
    {27, "handwriting (simplified)", {T("写", kCjk, kOrange)}},
    {28, "writing over the text: off", {Frame(kGrey, 0.08f, 0.08f, 0.92f, 0.92f, 0.1f)}},
    {29,
     "writing over the text: on",
     {Frame(kBlue, 0.08f, 0.08f, 0.92f, 0.92f, 0.1f), T("∿", kBold, kOrange, 0.18f, 0.18f, 0.82f, 0.82f)}},
    {30, "handwriting (traditional)", {T("寫", kCjk, kOrange)}},
    {31, "reveal the headword (traditional)", {T("漢", kCjk, kBlue)}},
    {32, "incorrect", {T("✘", kSans, kRed)}},
    {33, "card information", {T("ℹ", kBold, kBlue)}},
    {34, "input section, input sheet (Chinese)", {T("入", kCjk, kOrange)}},
    {35,
     "keyboard",
     {Fill(0xFFFFFF, 0.04f, 0.2f, 0.96f, 0.8f), Frame(kInk, 0.04f, 0.2f, 0.96f, 0.8f),
      Fill(kInk, 0.16f, 0.32f, 0.3f, 0.44f), Fill(kInk, 0.36f, 0.32f, 0.5f, 0.44f),
      Fill(kInk, 0.56f, 0.32f, 0.7f, 0.44f), Fill(kInk, 0.74f, 0.32f, 0.86f, 0.44f),
      Fill(kInk, 0.16f, 0.5f, 0.3f, 0.6f), Fill(kInk, 0.36f, 0.5f, 0.5f, 0.6f), Fill(kInk, 0.56f, 0.5f, 0.7f, 0.6f),
      Fill(kInk, 0.74f, 0.5f, 0.86f, 0.6f), Fill(kInk, 0.26f, 0.64f, 0.74f, 0.7f)}},
    {36, "back, left", {T("⬅", kSans, kBlue)}},
    {37, "list pane position (Chinese)", {T("栏", kCjk, kTeal)}},
    {40, "check the answer", {T("OK", kBold, kBlue)}},
    {41, "searching Chinese headwords", {T("Zh", kBold, kRed)}},
    {42, "reveal the definition", {T("Def", kBold, kTeal)}},
    {43,
     "showing an entry",
     {PAGE, Line(kGrey, 0.3f, 0.3f, 0.7f, 0.3f, 0.07f), Line(kGrey, 0.3f, 0.5f, 0.7f, 0.5f, 0.07f),
      Line(kGrey, 0.3f, 0.7f, 0.6f, 0.7f, 0.07f)}},
    {44, "searching English headwords", {T("En", kBold, kBlue)}},
    {45, "full-text search", {T("#", kBold, kPurple)}},
    {48, "reveal the headword", {T("H", kBold, kBlue)}},
    {49, "handwriting", {T("✍", kSans, kOrange)}},
    {50,
     "input section, input sheet",
     {Frame(kInk, 0.04f, 0.3f, 0.96f, 0.96f), T("✎", kSans, kOrange, 0.2f, 0.0f, 0.8f, 0.62f)}},
    {51,
     "list pane position",
     {Frame(kInk, 0.06f, 0.06f, 0.94f, 0.94f), Fill(kTeal, 0.06f, 0.48f, 0.94f, 0.58f),
      Line(kGrey, 0.2f, 0.27f, 0.8f, 0.27f, 0.07f), Line(kGrey, 0.2f, 0.77f, 0.8f, 0.77f, 0.07f)}},
    {53, "reveal the pronunciation", {T("ǎ", kBold, kDarkGreen)}},
    {54, "reader", {BOOK}},
    {55, "recognise the handwriting", {T("⏎", kBold, kOrange)}},
    {56, "showing the results list", {T("☰", kSans, kTeal)}},
    {57, "grade 1", {T("1", kBold, kRed)}},
    {58, "grade 2", {T("2", kBold, kOrange)}},
    {59, "grade 3", {T("3", kBold, kBrown)}},
    {60, "grade 4", {T("4", kBold, kTeal)}},
    {61, "grade 5", {T("5", kBold, kBlue)}},
    {62, "grade 6", {T("6", kBold, kDarkGreen)}},
    {65,
     "paste",
     {Fill(kPaper, 0.14f, 0.12f, 0.86f, 0.96f), Frame(kBrown, 0.14f, 0.12f, 0.86f, 0.96f),
      Fill(kInk, 0.34f, 0.04f, 0.66f, 0.22f), Line(kGrey, 0.3f, 0.46f, 0.7f, 0.46f, 0.07f),
      Line(kGrey, 0.3f, 0.68f, 0.7f, 0.68f, 0.07f)}},
    {68,
     "pop-up definition",
     {Fill(kPaper, 0.04f, 0.06f, 0.96f, 0.7f), Frame(kInk, 0.04f, 0.06f, 0.96f, 0.7f),
      Line(kInk, 0.3f, 0.66f, 0.22f, 0.96f, 0.08f), Line(kInk, 0.22f, 0.96f, 0.5f, 0.66f, 0.08f),
      T("?", kBold, kBlue, 0.2f, 0.14f, 0.8f, 0.62f)}},
    {69, "preferences", {T("⚙", kSans, kInk)}},
    {70, "reveal the pronunciation (Chinese)", {T("拼", kCjk, kDarkGreen)}},
    {71, "radicals", {T("部", kCjk, kPurple)}},
    {72, "reader (simplified)", {T("读", kCjk, kBrown)}},
    {73, "reader (traditional)", {T("讀", kCjk, kBrown)}},
    {74, "recognise the handwriting (Chinese)", {T("认", kCjk, kOrange)}},
    {75, "skip the card", {T("»", kBold, kBlue)}},
    {76, "showing the results list (Chinese)", {T("表", kCjk, kTeal)}},
    {77, "return", {T("↩", kBold, kBlue)}},
    {78, "reveal the answer", {T("?", kBold, kBlue)}},
    {79, "forward, right", {T("➡", kSans, kBlue)}},
    {80, "change the score", {T("±", kBold, kPurple)}},
    {81, "grade 1 (Chinese)", {T("一", kCjk, kRed)}},
    {82, "grade 2 (Chinese)", {T("二", kCjk, kOrange)}},
    {83, "grade 3 (Chinese)", {T("三", kCjk, kBrown)}},
    {84, "grade 4 (Chinese)", {T("四", kCjk, kTeal)}},
    {85, "grade 5 (Chinese)", {T("五", kCjk, kBlue)}},
    {86, "grade 6 (Chinese)", {T("六", kCjk, kDarkGreen)}},
    {87, "simplified characters", {T("简", kCjk, kBrown)}},
    {88, "search", {LENS}},
    {90, "traditional characters", {T("繁", kCjk, kBrown)}},
    {91, "undo", {T("↶", kBold, kBlue)}},
    {92, "previous, up", {T("▲", kSans, kBlue)}},
    {93, "magnify", {LENS, T("+", kBold, kInk, 0.18f, 0.16f, 0.58f, 0.6f)}},
    {95, "full-text search of Chinese (Chinese)", {T("中", kCjk, kRed, 0.04f, 0.24f, 0.78f, 0.96f), Hash()}},
    {96, "full-text search of Chinese", {T("Zh", kBold, kRed, 0.04f, 0.36f, 0.8f, 0.96f), Hash()}},
    {97, "full-text search of English (Chinese)", {T("英", kCjk, kBlue, 0.04f, 0.24f, 0.78f, 0.96f), Hash()}},
    {98, "full-text search of English", {T("En", kBold, kBlue, 0.04f, 0.36f, 0.8f, 0.96f), Hash()}},
    {100,
     "send the entry to the reader",
     {Fill(0xFFFFFF, 0.36f, 0.3f, 0.96f, 0.9f), Frame(kBrown, 0.36f, 0.3f, 0.66f, 0.9f, 0.06f),
      Frame(kBrown, 0.66f, 0.3f, 0.96f, 0.9f, 0.06f), T("➜", kSans, kBlue, 0.0f, 0.0f, 0.5f, 0.5f)}},
    {101, "add to the category", {FOLDER, T("+", kBold, kDarkGreen, 0.28f, 0.3f, 0.72f, 0.86f)}},
    {102, "remove from the category", {FOLDER, T("−", kBold, kRed, 0.28f, 0.3f, 0.72f, 0.86f)}},
    {104,
     "full screen",
     {Line(kInk, 0.08f, 0.08f, 0.4f, 0.08f), Line(kInk, 0.08f, 0.08f, 0.08f, 0.4f),
      Line(kInk, 0.92f, 0.08f, 0.6f, 0.08f), Line(kInk, 0.92f, 0.08f, 0.92f, 0.4f),
      Line(kInk, 0.08f, 0.92f, 0.4f, 0.92f), Line(kInk, 0.08f, 0.92f, 0.08f, 0.6f),
      Line(kInk, 0.92f, 0.92f, 0.6f, 0.92f), Line(kInk, 0.92f, 0.92f, 0.92f, 0.6f)}},
};

const Icon kUnused = {-1, "not used", {Ring(kGrey, 0.4f, 0.4f, 0.6f, 0.6f, 0.1f)}};

// The small list: simple marks (a dot, a tick, a triangle and a cross).
const Icon kMarks[kSmallImageCount] = {
    {0, "dot", {Ring(kInk, 0.2f, 0.2f, 0.8f, 0.8f, 0.3f)}},
    {1, "tick", {Line(kDarkGreen, 0.1f, 0.55f, 0.4f, 0.85f, 0.16f), Line(kDarkGreen, 0.4f, 0.85f, 0.9f, 0.2f, 0.16f)}},
    {2, "triangle", {T("▶", kSans, kBlue, 0.15f, 0.15f, 0.85f, 0.85f)}},
    {3, "cross", {Line(kRed, 0.15f, 0.15f, 0.85f, 0.85f, 0.16f), Line(kRed, 0.85f, 0.15f, 0.15f, 0.85f, 0.16f)}},
};

// A square canvas of premultiplied colour and coverage.
struct Canvas {
  int size;
  std::vector<float> r, g, b, a;
  explicit Canvas(int s) : size(s), r(s * s), g(s * s), b(s * s), a(s * s) {}
  void Blend(int x, int y, unsigned colour, float cover) {
    if (x < 0 || y < 0 || x >= size || y >= size || cover <= 0) return;
    cover = std::min(cover, 1.0f);
    int i = y * size + x;
    r[i] = ((colour >> 16) & 0xFF) / 255.0f * cover + r[i] * (1 - cover);
    g[i] = ((colour >> 8) & 0xFF) / 255.0f * cover + g[i] * (1 - cover);
    b[i] = (colour & 0xFF) / 255.0f * cover + b[i] * (1 - cover);
    a[i] = cover + a[i] * (1 - cover);
  }
};

std::vector<FT_Face> gFaces(kFontCount);

bool DecodeUtf8(const char* s, std::vector<unsigned>* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    unsigned c = *p, extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    c &= extra ? 0x3F >> extra : 0x7F;
    ++p;
    for (unsigned k = 0; k < extra; ++k, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      c = (c << 6) | (*p & 0x3F);
    }
    out->push_back(c);
  }
  return true;
}

// The coverage of `text` at pixel size `px`, laid out on one baseline; the
// ink's bounding box in *w x *h.
bool RenderText(FT_Face face, const std::vector<unsigned>& text, int px, std::vector<float>* cover, int* w, int* h) {
  FT_Set_Pixel_Sizes(face, 0, px);
  struct Glyph {
    int x, y, width, rows;
    std::vector<unsigned char> bits;
  };
  std::vector<Glyph> glyphs;
  int pen = 0;
  int minX = 1 << 20, minY = 1 << 20, maxX = -(1 << 20), maxY = -(1 << 20);
  for (unsigned c : text) {
    FT_UInt index = FT_Get_Char_Index(face, c);
    if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) return false;
    FT_GlyphSlot g = face->glyph;
    Glyph glyph{
        pen + g->bitmap_left, -g->bitmap_top, static_cast<int>(g->bitmap.width), static_cast<int>(g->bitmap.rows), {}};
    for (int y = 0; y < glyph.rows; ++y)
      for (int x = 0; x < glyph.width; ++x) {
        const unsigned char* row = g->bitmap.buffer + y * g->bitmap.pitch;
        unsigned char v = g->bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x / 8] >> (7 - x % 8)) & 1) * 255 : row[x];
        glyph.bits.push_back(v);
        if (v > 40) {
          minX = std::min(minX, glyph.x + x);
          maxX = std::max(maxX, glyph.x + x);
          minY = std::min(minY, glyph.y + y);
          maxY = std::max(maxY, glyph.y + y);
        }
      }
    pen += static_cast<int>(g->advance.x >> 6);
    glyphs.push_back(std::move(glyph));
  }
  if (maxX < minX) return false;
  *w = maxX - minX + 1;
  *h = maxY - minY + 1;
  cover->assign(*w * *h, 0.0f);
  for (const Glyph& glyph : glyphs)
    for (int y = 0; y < glyph.rows; ++y)
      for (int x = 0; x < glyph.width; ++x) {
        int cx = glyph.x + x - minX, cy = glyph.y + y - minY;
        if (cx < 0 || cy < 0 || cx >= *w || cy >= *h) continue;
        float& c = (*cover)[cy * *w + cx];
        c = std::min(1.0f, c + glyph.bits[y * glyph.width + x] / 255.0f);
      }
  return true;
}

bool DrawText(Canvas* canvas, const Layer& layer) {
  std::vector<unsigned> text;
  if (!DecodeUtf8(layer.text, &text)) return false;
  int n = canvas->size;
  int boxX = static_cast<int>(std::lround(layer.x0 * n)), boxY = static_cast<int>(std::lround(layer.y0 * n));
  int boxW = static_cast<int>(std::lround(layer.x1 * n)) - boxX,
      boxH = static_cast<int>(std::lround(layer.y1 * n)) - boxY;
  std::vector<float> cover;
  int w = 0, h = 0;
  // The largest size whose ink fits the box.
  Font font = layer.font == kCjk && n <= 16 ? kCjkSharp : layer.font;
  for (int px = 2 * std::max(boxW, boxH); px >= 3; --px) {
    if (!RenderText(gFaces[font], text, px, &cover, &w, &h)) {
      std::fprintf(stderr, "no glyph for \"%s\" in font %d\n", layer.text, layer.font);
      return false;
    }
    if (w <= boxW && h <= boxH) break;
  }
  int left = boxX + (boxW - w) / 2, top = boxY + (boxH - h) / 2;
  // Thin strokes of small glyphs are mostly partly covered pixels: darken
  // them so that the stroke keeps its colour.
  float boost = n <= 16 ? 1.5f : n <= 22 ? 1.25f : 1.0f;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) canvas->Blend(left + x, top + y, layer.colour, cover[y * w + x] * boost);
  return true;
}

// Shapes are sampled 4 x 4 times per pixel.
template <typename Inside>
void DrawShape(Canvas* canvas, unsigned colour, Inside inside) {
  int n = canvas->size;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) hits += inside((x + (sx + 0.5f) / 4) / n, (y + (sy + 0.5f) / 4) / n);
      canvas->Blend(x, y, colour, hits / 16.0f);
    }
}

bool DrawLayer(Canvas* canvas, const Layer& l) {
  float n = static_cast<float>(canvas->size);
  float weight = std::max(l.weight, 1.0f / n);
  switch (l.kind) {
    case kText:
      return DrawText(canvas, l);
    case kFill:
      DrawShape(canvas, l.colour, [&](float x, float y) { return x >= l.x0 && x < l.x1 && y >= l.y0 && y < l.y1; });
      return true;
    case kFrame:
      DrawShape(canvas, l.colour, [&](float x, float y) {
        bool outer = x >= l.x0 && x < l.x1 && y >= l.y0 && y < l.y1;
        bool inner = x >= l.x0 + weight && x < l.x1 - weight && y >= l.y0 + weight && y < l.y1 - weight;
        return outer && !inner;
      });
      return true;
    case kLine:
      DrawShape(canvas, l.colour, [&](float x, float y) {
        float dx = l.x1 - l.x0, dy = l.y1 - l.y0;
        float len2 = dx * dx + dy * dy;
        float t = len2 > 0 ? std::clamp(((x - l.x0) * dx + (y - l.y0) * dy) / len2, 0.0f, 1.0f) : 0.0f;
        float ex = x - (l.x0 + t * dx), ey = y - (l.y0 + t * dy);
        return ex * ex + ey * ey <= weight * weight / 4;
      });
      return true;
    case kRing:
      DrawShape(canvas, l.colour, [&](float x, float y) {
        float cx = (l.x0 + l.x1) / 2, cy = (l.y0 + l.y1) / 2, rx = (l.x1 - l.x0) / 2, ry = (l.y1 - l.y0) / 2;
        auto in = [&](float ax, float ay) {
          if (ax <= 0 || ay <= 0) return false;
          float u = (x - cx) / ax, v = (y - cy) / ay;
          return u * u + v * v <= 1;
        };
        return in(rx, ry) && !in(rx - weight, ry - weight);
      });
      return true;
    case kNone:
      return true;
  }
  return false;
}

bool DrawIcon(Canvas* canvas, const Icon& icon) {
  for (const Layer& l : icon.layers)
    if (!DrawLayer(canvas, l)) return false;
  return true;
}

// Colour of each pixel: green where less than a quarter covered, else the
// picture over white. A drawn pixel is never exactly the transparent green.
std::vector<unsigned char> Flatten(const Canvas& c) {
  std::vector<unsigned char> rgb(c.size * c.size * 3);
  for (int i = 0; i < c.size * c.size; ++i) {
    unsigned char* p = &rgb[i * 3];
    if (c.a[i] < 0.25f) {
      p[0] = 0x00, p[1] = 0xFF, p[2] = 0x00;
      continue;
    }
    float white = 1 - c.a[i];
    p[0] = static_cast<unsigned char>(std::lround((c.r[i] + white) * 255));
    p[1] = static_cast<unsigned char>(std::lround((c.g[i] + white) * 255));
    p[2] = static_cast<unsigned char>(std::lround((c.b[i] + white) * 255));
    if (p[0] == 0 && p[1] == 0xFF && p[2] == 0) p[1] = 0xFE;
  }
  return rgb;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb) {
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
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, const_cast<unsigned char*>(&rgb[y * width * 3]));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

const Icon* FindIcon(int index) {
  for (const Icon& icon : kIcons)
    if (icon.index == index) return &icon;
  return nullptr;
}

bool RenderTool(int index, int size, std::vector<unsigned char>* rgb) {
  Canvas canvas(size);
  const Icon* icon = FindIcon(index);
  if (!DrawIcon(&canvas, icon ? *icon : kUnused)) return false;
  *rgb = Flatten(canvas);
  return true;
}

// The contact sheet: the pictures of one size twice as large on grey, 15 to
// a row, each with its index under it.
bool WriteSheet(const std::string& path) {
  constexpr int kColumns = 15, kSizes[] = {32, 16};
  constexpr int kCell = 72, kLabel = 14;
  int rows = (kToolImageCount + kColumns - 1) / kColumns;
  int width = kColumns * kCell, height = 2 * rows * (kCell + kLabel);
  std::vector<unsigned char> sheet(width * height * 3, 0xB0);
  int block = 0;
  for (int size : kSizes) {
    for (int index = 0; index < kToolImageCount; ++index) {
      std::vector<unsigned char> rgb;
      if (!RenderTool(index, size, &rgb)) return false;
      int cx = (index % kColumns) * kCell, cy = block * rows * (kCell + kLabel) + (index / kColumns) * (kCell + kLabel);
      int scale = 64 / size, left = cx + (kCell - size * scale) / 2, top = cy + 2;
      for (int y = 0; y < size * scale; ++y)
        for (int x = 0; x < size * scale; ++x) {
          const unsigned char* p = &rgb[((y / scale) * size + x / scale) * 3];
          unsigned char* q = &sheet[((top + y) * width + left + x) * 3];
          bool clear = p[0] == 0 && p[1] == 0xFF && p[2] == 0;
          // Transparent pixels show as the white of a button face.
          q[0] = clear ? 0xFF : p[0], q[1] = clear ? 0xFF : p[1], q[2] = clear ? 0xFF : p[2];
        }
      std::string number = std::to_string(index);
      std::vector<unsigned> text(number.begin(), number.end());
      std::vector<float> cover;
      int w = 0, h = 0;
      if (!RenderText(gFaces[kSans], text, 11, &cover, &w, &h)) return false;
      int lx = cx + (kCell - w) / 2, ly = cy + kCell - 2;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          unsigned char* q = &sheet[((ly + y) * width + lx + x) * 3];
          float v = cover[y * w + x];
          for (int k = 0; k < 3; ++k) q[k] = static_cast<unsigned char>(q[k] * (1 - v));
        }
    }
    ++block;
  }
  return WritePng(path, width, height, sheet);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder, sheet;
  const char* fonts[kFontCount] = {
      "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
      "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"};
  // The faces of the collection: Zen Hei, Zen Hei Mono, Zen Hei Sharp.
  const FT_Long faceIndex[kFontCount] = {0, 0, 0, 2};
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    for (int index = 0; index < kToolImageCount; ++index) {
      const Icon* icon = FindIcon(index);
      std::printf("%3d  %s\n", index, icon ? icon->meaning : kUnused.meaning);
    }
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool more = i + 1 < argc;
    if (arg == "--sheet" && more) {
      sheet = argv[++i];
    } else if (arg == "--sans" && more) {
      fonts[kSans] = argv[++i];
    } else if (arg == "--bold" && more) {
      fonts[kBold] = argv[++i];
    } else if (arg == "--cjk" && more) {
      fonts[kCjk] = fonts[kCjkSharp] = argv[++i];
    } else if (folder.empty() && arg[0] != '-') {
      folder = arg;
    } else {
      folder.clear();
      break;
    }
  }
  if (folder.empty()) {
    std::fprintf(stderr,
                 "usage: make-icons OUTPUT_FOLDER [--sheet SHEET.png] [--sans F] [--bold F] [--cjk F]\n"
                 "       make-icons --list\n");
    return 2;
  }
  FT_Library library;
  if (FT_Init_FreeType(&library)) return 1;
  for (int f = 0; f < kFontCount; ++f)
    if (FT_New_Face(library, fonts[f], faceIndex[f], &gFaces[f]) &&
        (f != kCjkSharp || FT_New_Face(library, fonts[f], 0, &gFaces[f]))) {
      std::fprintf(stderr, "cannot open the font %s\n", fonts[f]);
      return 1;
    }
  int written = 0;
  for (uint32_t size : {16u, 22u, 32u}) {
    const UINT* ids = ToolBitmapIds(size);
    for (int index = 0; index < kToolImageCount; ++index) {
      std::vector<unsigned char> rgb;
      std::string path = folder + "/" + std::to_string(ids[index]) + ".png";
      if (!RenderTool(index, static_cast<int>(size), &rgb) || !WritePng(path, size, size, rgb)) {
        std::fprintf(stderr, "cannot draw tool image %d at %u pixels into %s\n", index, size, path.c_str());
        return 1;
      }
      ++written;
    }
    const UINT* small = SmallBitmapIds(size);
    int markSize = SmallImageSize(size);
    for (int i = 0; i < kSmallImageCount; ++i) {
      Canvas canvas(markSize);
      std::string path = folder + "/" + std::to_string(small[i]) + ".png";
      if (!DrawIcon(&canvas, kMarks[i]) || !WritePng(path, markSize, markSize, Flatten(canvas))) {
        std::fprintf(stderr, "cannot draw mark %d at %d pixels into %s\n", i, markSize, path.c_str());
        return 1;
      }
      ++written;
    }
  }
  if (!sheet.empty() && !WriteSheet(sheet)) {
    std::fprintf(stderr, "cannot write the sheet %s\n", sheet.c_str());
    return 1;
  }
  std::printf("%d bitmaps written to %s\n", written, folder.c_str());
  for (FT_Face face : gFaces) FT_Done_Face(face);
  FT_Done_FreeType(library);
  return 0;
}
