#include "toolkit/truetype_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_CACHE_H
#include FT_GLYPH_H
#include FT_LCD_FILTER_H
#include FT_MODULE_H

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/dict_engine.h"
#include "platform/files.h"
#include "platform/heap.h"

namespace {

// One font file. Its address is the cache manager's face id, and FreeType
// keeps the address of `stream` while the face lives, so records live in the
// engine block and never move.
struct FontFileRecord {
  char path[kFontPathMax];
  int32_t faceIndex;     // always 0
  int32_t styleFlags;    // FreeType's: bit 0 italic, bit 1 bold
  int32_t charmapIndex;  // of the face's Unicode charmap
  FT_StreamRec stream;   // open while the manager holds the face
};

struct AdvanceEntry {
  uint32_t key;  // size (bits 0-13) | italic (14) | bold (15) | character (16-31)
  int32_t advance;
  uint32_t stamp;
};

inline constexpr int kMetricSizes = 96;
inline constexpr int kSbitLimit = 48;  // smaller glyphs come from the SBit cache

}  // namespace

struct TrueTypeEngine {
  FT_MemoryRec_ memory;  // zero-filling allocator of the library (see CreateTrueTypeEngine)
  FT_Library library;
  FTC_Manager manager;
  FTC_SBitCache sbits;
  FTC_ImageCache images;
  FTC_CMapCache charmaps;
  FontFileRecord files[kMaxFontFiles];
  uint32_t fileCount;
  uint32_t mode;
  AdvanceEntry advances[kAdvanceCacheLimit + 1];
  uint32_t useCounter;
  uint16_t advanceCount;
  uint8_t metricsReady;
  int16_t maxAdvance[kMetricSizes];
  int16_t height[kMetricSizes];
  int16_t ascent[kMetricSizes];
  int16_t descent[kMetricSizes];
  uint64_t hits;  // advance-cache statistics
  uint64_t misses;
};

// ---- The font stream ----

FILE* OpenFontFileUtf8(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  size_t length = std::strlen(path);
  auto* wide = static_cast<WCHAR*>(LocalAlloc(LPTR, (length + 1) * sizeof(WCHAR)));
  if (!wide) return nullptr;
  const auto* s = reinterpret_cast<const unsigned char*>(path);
  size_t i = 0, n = 0;
  while (i < length) {
    unsigned char b = s[i];
    if (b < 0x80) {
      wide[n++] = b;
      ++i;
    } else if ((b & 0xC0) == 0x80) {
      // A continuation where a lead belongs: dropped with those after it.
      ++i;
      while (i < length && !(s[i] & 0x40)) ++i;
    } else {
      int trail = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
      if (i + static_cast<size_t>(trail) >= length) break;  // the path ends inside the sequence
      uint32_t code = trail == 1 ? (b & 0x1F) : trail == 2 ? (b & 0x0F) : (b & 0x07);
      for (int t = 1; t <= trail; ++t) code = (code << 6) | (s[i + t] & 0x3F);
      i += static_cast<size_t>(trail) + 1;
      if (trail == 3 && code >= 0x10000) {
        code -= 0x10000;
        wide[n++] = static_cast<WCHAR>(0xD800 + (code >> 10));
        wide[n++] = static_cast<WCHAR>(0xDC00 + (code & 0x3FF));
      } else {
        wide[n++] = static_cast<WCHAR>(code);
      }
    }
  }
  wide[n] = 0;
  WCHAR wideMode[8] = {};
  for (int m = 0; m < 7 && mode[m]; ++m) wideMode[m] = static_cast<unsigned char>(mode[m]);
  FILE* file = _wfopen(wide, wideMode);
  LocalFree(wide);
  return file;
}

static void FontStreamClose(FT_Stream stream) {
  if (stream->descriptor.pointer) std::fclose(static_cast<FILE*>(stream->descriptor.pointer));
  stream->descriptor.pointer = nullptr;
  stream->size = 0;
  stream->base = nullptr;
}

// Closes the stream's file, opens it again by path and seeks; false when the
// file does not come back.
static bool ReopenAndSeek(FT_Stream stream, unsigned long offset) {
  if (stream->descriptor.pointer) std::fclose(static_cast<FILE*>(stream->descriptor.pointer));
  FILE* file = OpenFontFileUtf8(static_cast<const char*>(stream->pathname.pointer), "rb");
  stream->descriptor.pointer = file;
  return file && std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
}

static unsigned long FontStreamRead(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                                    unsigned long count) {
  // FreeType checks its seeks with reads of 0 bytes and wants 0 back.
  if (count == 0) return 0;
  auto* file = static_cast<FILE*>(stream->descriptor.pointer);
  if (!file || std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) {
    if (!ReopenAndSeek(stream, offset)) return 0;
    file = static_cast<FILE*>(stream->descriptor.pointer);
  }
  size_t got = std::fread(buffer, 1, count, file);
  if (got == count && !std::ferror(file)) return got;
  if (!ReopenAndSeek(stream, offset)) return 0;
  file = static_cast<FILE*>(stream->descriptor.pointer);
  got = std::fread(buffer, 1, count, file);
  if (got != count || std::ferror(file)) return 0;
  return got;
}

// The program's own stream over a device path (FreeType's FT_Stream_Open is
// not exported by the system library). The path stays the record's.
static FT_Error OpenFontStream(FT_Stream stream, const char* path) {
  if (!stream) return FT_Err_Invalid_Stream_Handle;
  FILE* file = OpenFontFileUtf8(path, "rb");
  if (!file) return FT_Err_Cannot_Open_Resource;
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  std::memset(stream, 0, sizeof(*stream));
  stream->descriptor.pointer = file;
  stream->pathname.pointer = const_cast<char*>(path);
  stream->size = size > 0 ? static_cast<unsigned long>(size) : 0;
  stream->pos = 0;
  stream->read = FontStreamRead;
  stream->close = FontStreamClose;
  return FT_Err_Ok;
}

static FT_Error RequestFreeTypeFace(FTC_FaceID faceId, FT_Library library, FT_Pointer, FT_Face* face) {
  auto* record = static_cast<FontFileRecord*>(faceId);
  *face = nullptr;
  FT_Error error = OpenFontStream(&record->stream, record->path);
  if (error) return error;
  FT_Open_Args args{};
  args.flags = FT_OPEN_STREAM;
  args.stream = &record->stream;
  error = FT_Open_Face(library, &args, record->faceIndex, face);
  if (error) {
    *face = nullptr;
    FontStreamClose(&record->stream);  // FreeType may have closed it already; then this does nothing
    return error;
  }
  error = FT_Select_Charmap(*face, FT_ENCODING_UNICODE);
  if (error) {
    FT_Done_Face(*face);
    *face = nullptr;
    return error;
  }
  record->styleFlags = static_cast<int32_t>((*face)->style_flags & 3);
  record->charmapIndex = FT_Get_Charmap_Index((*face)->charmap);
  return FT_Err_Ok;
}

// ---- Engine ----

uint32_t RenderModeFromPref(int32_t pref) {
  switch (pref) {
    case 1:
      return kRenderMonochrome;
    case 2:
      return kRenderLight;
    case 3:
      return kRenderWide;
    case 4:
      return kRenderDefault;
    default:
      return kRenderLightCjk;
  }
}

// FreeType's cache manager leaves its running weight uninitialised when its
// record comes from recycled memory (Debian's 2.12 allocates it without
// clearing); the weight then starts as garbage above the 1 MiB limit, and
// every lookup flushes the whole cache and loads its glyph from the file
// again. The library therefore gets an allocator that clears every block.
static void* ZeroAlloc(FT_Memory, long size) { return std::calloc(1, static_cast<size_t>(size)); }
static void FreeBlock(FT_Memory, void* block) { std::free(block); }
static void* ReallocBlock(FT_Memory, long, long size, void* block) {
  return std::realloc(block, static_cast<size_t>(size));
}

TrueTypeEngine* CreateTrueTypeEngine(DictEngine*, uint32_t mode) {
  auto* tt = static_cast<TrueTypeEngine*>(LocalAlloc(LPTR, sizeof(TrueTypeEngine)));
  if (!tt) return nullptr;
  CreateTextOffscreens();
  tt->memory.alloc = ZeroAlloc;
  tt->memory.free = FreeBlock;
  tt->memory.realloc = ReallocBlock;
  bool ok = FT_New_Library(&tt->memory, &tt->library) == 0;
  if (ok) {
    FT_Add_Default_Modules(tt->library);
    FT_Set_Default_Properties(tt->library);
    ok = FTC_Manager_New(tt->library, 6, 12, 0x100000, RequestFreeTypeFace, tt, &tt->manager) == 0 &&
         FTC_SBitCache_New(tt->manager, &tt->sbits) == 0 && FTC_ImageCache_New(tt->manager, &tt->images) == 0 &&
         FTC_CMapCache_New(tt->manager, &tt->charmaps) == 0;
    if (!ok) FT_Done_Library(tt->library);  // also ends a manager made
  }
  if (!ok) {
    DeleteTextOffscreens();
    LocalFree(tt);
    return nullptr;
  }
  // Nothing renders LCD; builds without subpixel support refuse this, which
  // must not cost the font.
  (void)FT_Library_SetLcdFilter(tt->library, FT_LCD_FILTER_DEFAULT);
  SetRenderMode(tt, mode);
  return tt;
}

void FreeTrueTypeEngine(TrueTypeEngine* tt) {
  if (!tt) return;
  FTC_Manager_Done(tt->manager);
  FT_Done_Library(tt->library);
  DeleteTextOffscreens();
  LocalFree(tt);
}

void SetRenderMode(TrueTypeEngine* tt, uint32_t mode) {
  if (tt) tt->mode = mode == 0 ? kRenderLightCjk : mode;
}

uint32_t GetRenderMode(const TrueTypeEngine* tt) { return tt ? tt->mode : 0; }

static void ClearMeasureCaches(TrueTypeEngine* tt) {
  tt->advanceCount = 0;
  tt->useCounter = 0;
  tt->metricsReady = 0;
}

int AddFontFile(TrueTypeEngine* tt, const char* path) {
  if (tt->fileCount >= kMaxFontFiles) return 1;
  if (!path || std::strlen(path) >= kFontPathMax) return 0;
  FontFileRecord* record = &tt->files[tt->fileCount];
  std::memset(record, 0, sizeof(*record));
  std::strcpy(record->path, path);
  FT_Face face = nullptr;
  if (FTC_Manager_LookupFace(tt->manager, record, &face) != 0) {
    // The record is reused by the next file under the same face id.
    FTC_Manager_RemoveFaceID(tt->manager, record);
    std::memset(record, 0, sizeof(*record));
    return 0;
  }
  ++tt->fileCount;
  ClearMeasureCaches(tt);
  return 0;
}

uint32_t GetFontFileCount(const TrueTypeEngine* tt) { return tt ? tt->fileCount : 0; }

const char* GetFontFilePath(const TrueTypeEngine* tt, uint32_t file) {
  return tt && file < tt->fileCount ? tt->files[file].path : nullptr;
}

uint16_t FindGlyph(TrueTypeEngine* tt, uint32_t character, int bold, int italic, uint32_t* glyphIndex) {
  if (glyphIndex) *glyphIndex = 0;
  int wanted = (bold ? 2 : 0) + (italic ? 1 : 0);
  static constexpr int kFlips[4] = {0, 2, 1, 3};  // as asked, bold flipped, italic flipped, both
  for (int flip : kFlips) {
    int style = wanted ^ flip;
    for (uint32_t i = 0; i < tt->fileCount; ++i) {
      FontFileRecord* record = &tt->files[i];
      if (record->styleFlags != style) continue;
      FT_UInt index = FTC_CMapCache_Lookup(tt->charmaps, record, record->charmapIndex, character);
      if (index != 0) {
        if (glyphIndex) *glyphIndex = index;
        return static_cast<uint16_t>(i);
      }
    }
  }
  return kNoFontFile;
}

static uint32_t AdvanceKey(int size, uint32_t character, int bold, int italic) {
  return (static_cast<uint32_t>(size) & 0x3FFF) | (italic ? 0x4000u : 0) | (bold ? 0x8000u : 0) |
         ((character & 0xFFFF) << 16);
}

// The index of the first entry with a key not below `key`.
static uint32_t AdvanceSlot(const TrueTypeEngine* tt, uint32_t key) {
  const AdvanceEntry* first = tt->advances;
  const AdvanceEntry* found = std::lower_bound(first, first + tt->advanceCount, key,
                                               [](const AdvanceEntry& e, uint32_t k) { return e.key < k; });
  return static_cast<uint32_t>(found - first);
}

static int32_t MeasureGlyphAdvance(TrueTypeEngine* tt, int size, uint32_t character, int bold, int italic) {
  uint32_t glyph = 0;
  uint16_t file = FindGlyph(tt, character, bold, italic, &glyph);
  if (file == kNoFontFile) return 0;
  FTC_ImageTypeRec type{};
  type.face_id = &tt->files[file];
  type.width = size;
  type.height = size;
  type.flags = 0;  // measured advances never depend on the render mode
  if (size < kSbitLimit) {
    FTC_SBit sbit = nullptr;
    // FreeType marks a glyph it could not load (or that is too large for a
    // small bitmap) with width 255 and no pixels, leaving the rest unset:
    // that one is asked of the image cache instead.
    if (FTC_SBitCache_Lookup(tt->sbits, &type, glyph, &sbit, nullptr) == 0 && sbit &&
        !(sbit->width == 255 && !sbit->buffer))
      return sbit->xadvance;
  }
  FT_Glyph image = nullptr;
  if (FTC_ImageCache_Lookup(tt->images, &type, glyph, &image, nullptr) == 0 && image)
    return static_cast<int32_t>((image->advance.x + 0x8000) >> 16);
  return 0;
}

int16_t GetGlyphAdvance(TrueTypeEngine* tt, int size, uint32_t character, int bold, int italic) {
  uint32_t key = AdvanceKey(size, character, bold, italic);
  uint32_t at = AdvanceSlot(tt, key);
  if (at < tt->advanceCount && tt->advances[at].key == key) {
    ++tt->hits;
    tt->advances[at].stamp = tt->useCounter++;
    return static_cast<int16_t>(tt->advances[at].advance);
  }
  ++tt->misses;
  if (tt->advanceCount >= kAdvanceCacheLimit) {
    uint32_t oldest = 0;
    for (uint32_t i = 1; i < tt->advanceCount; ++i)
      if (tt->advances[i].stamp < tt->advances[oldest].stamp) oldest = i;
    std::memmove(&tt->advances[oldest], &tt->advances[oldest + 1],
                 (tt->advanceCount - oldest - 1) * sizeof(AdvanceEntry));
    --tt->advanceCount;
    if (oldest < at) --at;
  }
  std::memmove(&tt->advances[at + 1], &tt->advances[at], (tt->advanceCount - at) * sizeof(AdvanceEntry));
  ++tt->advanceCount;
  int32_t advance = MeasureGlyphAdvance(tt, size, character, bold, italic);
  tt->advances[at] = AdvanceEntry{key, static_cast<int16_t>(advance), tt->useCounter++};
  return static_cast<int16_t>(advance);
}

uint32_t GetAdvanceCacheCount(const TrueTypeEngine* tt) { return tt->advanceCount; }

bool AdvanceCacheHas(const TrueTypeEngine* tt, int size, uint32_t character, int bold, int italic) {
  uint32_t key = AdvanceKey(size, character, bold, italic);
  uint32_t at = AdvanceSlot(tt, key);
  return at < tt->advanceCount && tt->advances[at].key == key;
}

void GetAdvanceCacheStats(const TrueTypeEngine* tt, uint64_t* hits, uint64_t* misses) {
  if (hits) *hits = tt->hits;
  if (misses) *misses = tt->misses;
}

static int16_t Ceil26_6(FT_Pos v) { return static_cast<int16_t>((v + 63) >> 6); }

void GetSizeMetrics(TrueTypeEngine* tt, int size, int16_t* maxAdvance, int16_t* height, int16_t* ascent,
                    int16_t* descent) {
  if (!tt->metricsReady) {
    for (int16_t& h : tt->height) h = -1;
    tt->metricsReady = 1;
  }
  if (size >= 0 && size < kMetricSizes && tt->height[size] != -1) {
    *maxAdvance = tt->maxAdvance[size];
    *height = tt->height[size];
    *ascent = tt->ascent[size];
    *descent = tt->descent[size];
    return;
  }
  int16_t a = 0, h = 0, up = 0, down = 0;
  for (uint32_t i = 0; i < tt->fileCount; ++i) {
    FTC_ScalerRec scaler{};
    scaler.face_id = &tt->files[i];
    scaler.width = static_cast<FT_UInt>(size);
    scaler.height = static_cast<FT_UInt>(size);
    scaler.pixel = 1;
    FT_Size ftSize = nullptr;
    if (FTC_Manager_LookupSize(tt->manager, &scaler, &ftSize) != 0 || !ftSize) continue;
    const FT_Size_Metrics& m = ftSize->metrics;
    h = std::max(h, Ceil26_6(m.height));
    a = std::max(a, Ceil26_6(m.max_advance));
    up = std::max(up, Ceil26_6(m.ascender));
    down = std::min(down, Ceil26_6(m.descender));
  }
  *maxAdvance = a;
  *height = h;
  *ascent = up;
  *descent = down;
  if (size >= 0 && size < kMetricSizes) {
    tt->maxAdvance[size] = a;
    tt->height[size] = h;
    tt->ascent[size] = up;
    tt->descent[size] = down;
  }
}

int ClampFontSize(int size) {
  int limit = std::max(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  if (limit <= 0) limit = 640;
  return std::clamp(size, 0, limit);
}

int ScaleFontSize(const DictEngine* engine, int size) {
  if (engine && engine->scaled && engine->scaleDenominator != 0)
    size = static_cast<int>(static_cast<uint16_t>(static_cast<uint32_t>(size) * engine->scaleNumerator) /
                            engine->scaleDenominator);
  return ClampFontSize(size);
}

static int ScaleResult(const DictEngine* engine, int value) {
  if (engine && engine->scaled && engine->scaleDenominator != 0)
    return static_cast<int>(static_cast<uint16_t>(static_cast<uint32_t>(value) * engine->scaleNumerator) /
                            engine->scaleDenominator);
  return value;
}

int16_t GetSlotCharAdvance(DictEngine* engine, TrueTypeEngine* tt, int size, uint32_t character,
                           const TextStyleState* style) {
  if (style && style->sizeOn) size = static_cast<int>(std::min<uint32_t>(style->size, 0xFFFF));
  size = ScaleFontSize(engine, size);
  int advance = GetGlyphAdvance(tt, size, character, style && style->bold, style && style->italic);
  if (tt->mode == kRenderWide) ++advance;
  return static_cast<int16_t>(advance);
}

uint16_t GetTrueTypeLineHeight(DictEngine* engine, TrueTypeEngine* tt, int size) {
  int16_t a, h, up, down;
  GetSizeMetrics(tt, ClampFontSize(size), &a, &h, &up, &down);
  return static_cast<uint16_t>(ScaleResult(engine, h + 1));
}

int GetTrueTypeMetrics(DictEngine* engine, TrueTypeEngine* tt, int size, uint16_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  int16_t a, h, up, down;
  GetSizeMetrics(tt, ClampFontSize(size), &a, &h, &up, &down);
  out[0] = static_cast<uint16_t>(ScaleResult(engine, std::min(a, h)));
  out[1] = out[2] = static_cast<uint16_t>(ScaleResult(engine, h));
  return 0;
}

namespace {

// One glyph ready to draw, and what owns its pixels.
struct RenderedGlyph {
  GlyphBitmap bitmap;
  int left;
  int top;
  int advance;
  FT_Glyph owned;  // freed after drawing, or null
};

bool RenderGlyph(TrueTypeEngine* tt, uint16_t file, uint32_t glyph, uint32_t character, int size, RenderedGlyph* out) {
  *out = RenderedGlyph{};
  FT_Int32 flags = 0;
  switch (tt->mode) {
    case kRenderMonochrome:
      flags = FT_LOAD_TARGET_MONO;
      break;
    case kRenderLight:
      flags = FT_LOAD_TARGET_LIGHT;
      break;
    case kRenderLightCjk:
      if (character >= 0x3400 && character <= 0xD7FF && size <= 48) flags = FT_LOAD_TARGET_LIGHT;
      break;
    default:
      break;
  }
  FTC_ImageTypeRec type{};
  type.face_id = &tt->files[file];
  type.width = size;
  type.height = size;
  type.flags = flags;
  if (size < kSbitLimit) {
    FTC_SBit sbit = nullptr;
    if (FTC_SBitCache_Lookup(tt->sbits, &type, glyph, &sbit, nullptr) == 0 && sbit && sbit->buffer && sbit->width > 0) {
      out->bitmap = GlyphBitmap{sbit->height, sbit->width,         sbit->pitch,
                                sbit->buffer, sbit->max_grays + 1, sbit->format == FT_PIXEL_MODE_MONO ? 1 : 2};
      out->left = sbit->left;
      out->top = sbit->top;
      out->advance = sbit->xadvance;
      return true;
    }
  }
  FT_Glyph cached = nullptr;
  if (FTC_ImageCache_Lookup(tt->images, &type, glyph, &cached, nullptr) != 0 || !cached) return false;
  FT_Glyph image = cached;
  FT_Render_Mode renderMode = tt->mode == kRenderMonochrome ? FT_RENDER_MODE_MONO
                              : tt->mode == kRenderLight    ? FT_RENDER_MODE_LIGHT
                                                            : FT_RENDER_MODE_NORMAL;
  if (FT_Glyph_To_Bitmap(&image, renderMode, nullptr, 0) != 0) return false;
  if (image != cached) out->owned = image;
  if (image->format != FT_GLYPH_FORMAT_BITMAP) {
    if (out->owned) FT_Done_Glyph(out->owned);
    out->owned = nullptr;
    return false;
  }
  auto* bitmapGlyph = reinterpret_cast<FT_BitmapGlyph>(image);
  const FT_Bitmap& b = bitmapGlyph->bitmap;
  out->bitmap = GlyphBitmap{static_cast<int32_t>(b.rows),
                            static_cast<int32_t>(b.width),
                            b.pitch,
                            b.buffer,
                            b.num_grays,
                            b.pixel_mode == FT_PIXEL_MODE_MONO ? 1 : 2};
  out->left = bitmapGlyph->left;
  out->top = bitmapGlyph->top;
  out->advance = static_cast<int>((cached->advance.x + 0x8000) >> 16);
  return true;
}

}  // namespace

int DrawTrueTypeText(DictEngine* engine, DrawContext* context, TrueTypeEngine* tt, int size, const WCHAR* text,
                     int count, int x, int y, int height, TextStyleState* style, ColorWord textColor,
                     ColorWord background) {
  if (!context || !tt || !text) return 0;
  bool scaled = engine && engine->scaled;
  int runSize = ScaleFontSize(engine, size);
  int16_t maxAdvance, fontHeight, ascent, descent;
  GetSizeMetrics(tt, runSize, &maxAdvance, &fontHeight, &ascent, &descent);
  BeginTextDraw(context, x, y, std::max<int>(fontHeight, height), textColor, background);
  int baseline = height > 0 ? height - (scaled ? 2 : 1) : fontHeight;
  int lineBottom = y + baseline;
  int pen = x;
  uint8_t hidden = 0;
  for (int i = 0; i < count && text[i] != 0; ++i) {
    WCHAR unit = text[i];
    if (IsStyleCode(unit)) {
      uint32_t payload = 0;
      if (StyleCodeHasPayload(unit) && i + 2 < count && text[i + 1] != 0 && text[i + 2] != 0) {
        payload = StylePayload(text[i + 1], text[i + 2]);
        i += 2;
      }
      ApplyStyleCode(unit, payload, style, &hidden);
      continue;
    }
    if (IsMarkupCode(unit) || hidden) continue;
    int glyphSize = runSize;
    int16_t glyphHeight = fontHeight, glyphAscent = ascent;
    if (style && style->sizeOn) {
      glyphSize = ScaleFontSize(engine, static_cast<int>(std::min<uint32_t>(style->size, 0xFFFF)));
      int16_t a, d;
      GetSizeMetrics(tt, glyphSize, &a, &glyphHeight, &glyphAscent, &d);
    }
    bool underline = style && (style->underline || style->linkUnderlined);
    ColorWord colour = style && style->colour != 0 ? style->colour : textColor;
    uint32_t glyph = 0;
    uint16_t file = FindGlyph(tt, unit, style && style->bold, style && style->italic, &glyph);
    if (file == kNoFontFile) continue;
    RenderedGlyph g;
    int advance;
    if (!RenderGlyph(tt, file, glyph, unit, glyphSize, &g)) {
      // Measuring counted this glyph: keep its room and draw the rest.
      pen += GetSlotCharAdvance(engine, tt, size, unit, style);
      continue;
    }
    advance = g.advance + (tt->mode == kRenderWide ? 1 : 0);
    int gx = std::max(0, pen + g.left);
    int gy = y + glyphAscent - g.top;
    if (height > glyphHeight) gy += baseline - glyphHeight;
    gy = std::max(0, gy);
    int rowLimit = gy < lineBottom ? lineBottom - gy : baseline;
    DrawGlyphRun(context, &g.bitmap, gx, gy, pen, advance, rowLimit, colour, background,
                 underline ? kDecorationUnderline : 0, g.left);
    if (g.owned) FT_Done_Glyph(g.owned);
    pen += advance;
  }
  EndTextDraw(context);
  return pen - x;
}
