// The label font: DejaVu Sans through FreeType, one pixel size for the
// screen's dpi, glyphs cached as coverage masks.
#include "platform/dialog_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi_internal.h"
#include "platform/screen.h"

namespace {

struct Glyph {
  int width = 0, height = 0, left = 0, top = 0, advance = 0;
  std::vector<unsigned char> coverage;
};

struct Font {
  std::mutex mutex;
  bool tried = false;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int pixelSize = 0;
  int ascent = 0;
  int lineHeight = 0;
  std::unordered_map<char32_t, Glyph> glyphs;
};

Font& TheFont() {
  static Font* font = new Font;  // lives for the process (threads may draw at exit)
  return *font;
}

const char* FontPath() {
  const char* env = std::getenv("SORVI_DIALOG_FONT");
  return env && *env ? env : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

// Font mutex held.
void Load(Font& f) {
  int size = ScaleToScreenDpi(11);
  if (f.tried && f.pixelSize == size) return;
  f.tried = true;
  f.pixelSize = size;
  f.glyphs.clear();
  if (!f.library && FT_Init_FreeType(&f.library) != 0) f.library = nullptr;
  if (f.library && !f.face && FT_New_Face(f.library, FontPath(), 0, &f.face) != 0) f.face = nullptr;
  if (f.face && FT_Set_Pixel_Sizes(f.face, 0, static_cast<FT_UInt>(size)) == 0) {
    f.ascent = static_cast<int>((f.face->size->metrics.ascender + 63) >> 6);
    int descent = static_cast<int>((-f.face->size->metrics.descender + 63) >> 6);
    f.lineHeight = f.ascent + descent;
  } else {
    f.ascent = size;
    f.lineHeight = size + size / 4;
  }
}

// Font mutex held.
const Glyph& GlyphOf(Font& f, char32_t c) {
  auto it = f.glyphs.find(c);
  if (it != f.glyphs.end()) return it->second;
  Glyph g;
  if (f.face && FT_Load_Char(f.face, c, FT_LOAD_RENDER) == 0) {
    FT_GlyphSlot slot = f.face->glyph;
    g.width = static_cast<int>(slot->bitmap.width);
    g.height = static_cast<int>(slot->bitmap.rows);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.coverage.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
    for (int y = 0; y < g.height; ++y)
      std::memcpy(&g.coverage[static_cast<size_t>(y) * static_cast<size_t>(g.width)],
                  slot->bitmap.buffer + static_cast<std::ptrdiff_t>(y) * slot->bitmap.pitch, static_cast<size_t>(g.width));
  } else {
    // No font: a hollow box keeps the layout.
    g.advance = std::max(2, f.pixelSize / 2);
    if (c != U' ') {
      g.width = g.advance - 1;
      g.height = f.pixelSize * 2 / 3;
      g.top = g.height;
      g.coverage.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.height), 0);
      for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
          if (y == 0 || x == 0 || y == g.height - 1 || x == g.width - 1)
            g.coverage[static_cast<size_t>(y * g.width + x)] = 255;
    }
  }
  return f.glyphs.emplace(c, std::move(g)).first->second;
}

char32_t Decode(const WCHAR* s, int n, int* i) {
  char32_t c = s[*i];
  if (c >= 0xD800 && c < 0xDC00 && *i + 1 < n && s[*i + 1] >= 0xDC00 && s[*i + 1] < 0xE000) {
    c = 0x10000 + ((c - 0xD800) << 10) + (s[*i + 1] - 0xDC00);
    ++*i;
  }
  ++*i;
  return c;
}

// Font mutex held.
int Width(Font& f, const WCHAR* s, int n) {
  int w = 0;
  for (int i = 0; i < n;) {
    char32_t c = Decode(s, n, &i);
    if (c == U'\t') c = U' ';
    w += GlyphOf(f, c).advance;
  }
  return w;
}

int Length(LPCWSTR text, int count) {
  if (!text) return 0;
  if (count >= 0) return count;
  int n = 0;
  while (text[n]) ++n;
  return n;
}

struct Line {
  int start, length;
};

// Splits into lines at breaks and (wordBreak) to fit `width`.
std::vector<Line> SplitLines(Font& f, const WCHAR* s, int n, bool single, bool wordBreak, int width) {
  std::vector<Line> lines;
  if (single) {
    int len = n;
    for (int i = 0; i < n; ++i)
      if (s[i] == u'\r' || s[i] == u'\n') {
        len = i;
        break;
      }
    lines.push_back(Line{0, len});
    return lines;
  }
  int start = 0;
  while (true) {
    int end = start;
    while (end < n && s[end] != u'\n' && s[end] != u'\r') ++end;
    // [start, end) is one paragraph.
    int p = start;
    if (wordBreak && width > 0) {
      while (Width(f, s + p, end - p) > width) {
        int fit = p, lastSpace = -1;
        int w = 0;
        while (fit < end) {
          int cw = GlyphOf(f, s[fit] == u'\t' ? U' ' : s[fit]).advance;
          if (w + cw > width && fit > p) break;
          if (s[fit] == u' ') lastSpace = fit;
          w += cw;
          ++fit;
        }
        int cut = (fit < end && s[fit] == u' ') ? fit : (lastSpace > p ? lastSpace : fit);
        lines.push_back(Line{p, cut - p});
        p = cut;
        while (p < end && s[p] == u' ') ++p;
      }
    }
    lines.push_back(Line{p, end - p});
    if (end >= n) break;
    start = end + ((s[end] == u'\r' && end + 1 < n && s[end + 1] == u'\n') ? 2 : 1);
    if (start >= n) break;
  }
  return lines;
}

void BlendGlyph(const gdi::Canvas& cv, const Glyph& g, int x, int y, std::uint32_t color) {
  for (int gy = 0; gy < g.height; ++gy)
    for (int gx = 0; gx < g.width; ++gx) {
      unsigned a = g.coverage[static_cast<size_t>(gy * g.width + gx)];
      if (!a) continue;
      long long dx = static_cast<long long>(x) + gx + cv.origin.x, dy = static_cast<long long>(y) + gy + cv.origin.y;
      if (!cv.Inside(static_cast<int>(dx), static_cast<int>(dy))) continue;
      std::uint32_t out = color;
      if (a < 255) {
        std::uint32_t bg = cv.target.Read(static_cast<int>(dx), static_cast<int>(dy));
        out = 0;
        for (int sh = 0; sh <= 16; sh += 8) {
          unsigned fc = (color >> sh) & 0xFF, bc = (bg >> sh) & 0xFF;
          out |= ((fc * a + bc * (255 - a) + 127) / 255) << sh;
        }
      }
      cv.target.Write(static_cast<int>(dx), static_cast<int>(dy), out);
    }
}

}  // namespace

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  if (!rect) return 0;
  int n = Length(text, count);
  Font& f = TheFont();
  std::lock_guard<std::mutex> fl(f.mutex);
  Load(f);
  bool single = (format & DT_SINGLELINE) != 0;
  int width = rect->right - rect->left;
  std::vector<Line> lines = SplitLines(f, text ? text : u"", n, single, (format & DT_WORDBREAK) != 0, width);
  int height = static_cast<int>(lines.size()) * f.lineHeight;
  if (format & DT_CALCRECT) {
    int w = 0;
    for (const Line& l : lines) w = std::max(w, Width(f, text + l.start, l.length));
    rect->right = rect->left + w;
    rect->bottom = rect->top + height;
    return height;
  }
  gdi::Guard g(gdi::Mutex());
  auto data = gdi::Get<gdi::DcData>(dc, gdi::Kind::Dc);
  if (!data) return 0;
  gdi::Canvas cv = gdi::CanvasOf(*data);
  if (!cv.ok) return height;
  if (!(format & DT_NOCLIP)) {
    RECT r = gdi::Offset(*rect, cv.origin);
    cv.clip = gdi::Intersect(cv.clip, r);
  }
  std::uint32_t color = ColorRefToXrgb(data->textColor);
  std::uint32_t bk = ColorRefToXrgb(data->bkColor);
  int y = rect->top;
  if (single && (format & DT_VCENTER)) y = rect->top + (rect->bottom - rect->top - f.lineHeight) / 2;
  else if (single && (format & DT_BOTTOM)) y = rect->bottom - f.lineHeight;
  for (const Line& l : lines) {
    std::u16string s(text + l.start, static_cast<size_t>(l.length));
    int w = Width(f, s.data(), static_cast<int>(s.size()));
    if ((format & DT_END_ELLIPSIS) && w > width) {
      int ell = Width(f, u"...", 3);
      while (!s.empty() && Width(f, s.data(), static_cast<int>(s.size())) + ell > width) s.pop_back();
      s += u"...";
      w = Width(f, s.data(), static_cast<int>(s.size()));
    }
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (width - w) / 2;
    else if (format & DT_RIGHT) x = rect->right - w;
    if (data->bkMode == OPAQUE) {
      RECT box = gdi::Intersect(gdi::Offset(RECT{x, y, x + w, y + f.lineHeight}, cv.origin), cv.clip);
      if (!gdi::IsEmpty(box)) cv.FillRectDevice(box, bk);
    }
    int n2 = static_cast<int>(s.size());
    for (int i = 0; i < n2;) {
      char32_t c = Decode(s.data(), n2, &i);
      if (c == U'\t') c = U' ';
      const Glyph& gl = GlyphOf(f, c);
      BlendGlyph(cv, gl, x + gl.left, y + f.ascent - gl.top, color);
      x += gl.advance;
    }
    y += f.lineHeight;
  }
  return height;
}

BOOL GetTextExtentPoint32W(HDC, LPCWSTR text, int count, SIZE* size) {
  if (!size || count < 0) return FALSE;
  Font& f = TheFont();
  std::lock_guard<std::mutex> fl(f.mutex);
  Load(f);
  size->cx = Width(f, text ? text : u"", text ? count : 0);
  size->cy = f.lineHeight;
  return TRUE;
}

int DialogFontLineHeight() {
  Font& f = TheFont();
  std::lock_guard<std::mutex> fl(f.mutex);
  Load(f);
  return f.lineHeight;
}

int DialogTextWidth(LPCWSTR text, int count) {
  Font& f = TheFont();
  std::lock_guard<std::mutex> fl(f.mutex);
  Load(f);
  return Width(f, text ? text : u"", Length(text, count));
}

int DialogTextHitTest(LPCWSTR text, int count, int x) {
  int n = Length(text, count);
  Font& f = TheFont();
  std::lock_guard<std::mutex> fl(f.mutex);
  Load(f);
  int w = 0;
  for (int i = 0; i < n; ++i) {
    int cw = GlyphOf(f, text[i] == u'\t' ? U' ' : text[i]).advance;
    if (x < w + cw / 2) return i;
    w += cw;
  }
  return n;
}

BOOL DialogFontAvailable() {
  Font& f = TheFont();
  std::lock_guard<std::mutex> fl(f.mutex);
  Load(f);
  return f.face ? TRUE : FALSE;
}
