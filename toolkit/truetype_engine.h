// The TrueType engine of a font slot: up to twelve font files rendered
// through FreeType's cache subsystem, acting as one font. Each character
// comes from the first file, in the order of adding, whose style (bold,
// italic) matches best and that has the character, so that a Latin font, its
// bold face, the extra pinyin fonts and a CJK font work together.
//
// Measuring is cached (advances in a 511-entry LRU table, line metrics per
// size below 96 pixels); glyph images, small bitmaps, charmaps, faces and
// sizes live in FreeType's caches (6 faces, 12 sizes, 1 MiB). Faces are read
// through our own stream, which opens files by UTF-8 device path and reopens
// a file whose handle went stale (a removed storage card) once per read.
//
// UI thread only; nothing here locks. Every pixel size handed to FreeType is
// clamped to the screen's larger side: a style payload can ask for any size,
// and a glyph larger than the screen only costs memory.
#pragma once

#include <cstdint>
#include <cstdio>

#include "toolkit/draw_context.h"
#include "toolkit/text_style.h"

struct DictEngine;
struct TrueTypeEngine;

inline constexpr uint32_t kMaxFontFiles = 12;
inline constexpr uint32_t kFontPathMax = 256;  // bytes with the terminator
inline constexpr uint32_t kAdvanceCacheLimit = 511;
inline constexpr uint16_t kNoFontFile = 65535;

// Render modes (preference 218 maps 1 -> 1, 2 -> 4, 3 -> 5, 4 -> 3, else 2).
enum : uint32_t {
  kRenderMonochrome = 1,
  kRenderLightCjk = 2,  // light hinting for CJK at 48 pixels or less
  kRenderDefault = 3,
  kRenderLight = 4,
  kRenderWide = 5,  // every advance one pixel wider
};
uint32_t RenderModeFromPref(int32_t pref);

// Makes the text offscreens (once for the program), the FreeType library and
// its caches. Null when any of it fails; nothing is left behind.
TrueTypeEngine* CreateTrueTypeEngine(DictEngine* engine, uint32_t mode);
void FreeTrueTypeEngine(TrueTypeEngine* tt);
void SetRenderMode(TrueTypeEngine* tt, uint32_t mode);  // 0 becomes 2
uint32_t GetRenderMode(const TrueTypeEngine* tt);

// 1 when 12 files are already present (nothing changes), else 0. A file that
// cannot be opened, has no Unicode charmap, or whose path has 256 bytes or
// more (a cut path could name another file) is skipped. Adding a file
// empties the advance and metrics caches.
int AddFontFile(TrueTypeEngine* tt, const char* path);
uint32_t GetFontFileCount(const TrueTypeEngine* tt);
const char* GetFontFilePath(const TrueTypeEngine* tt, uint32_t file);

// File index, or kNoFontFile when no file has the character.
uint16_t FindGlyph(TrueTypeEngine* tt, uint32_t character, int bold, int italic, uint32_t* glyphIndex);
// Cached; 0 for a character in no file. Sizes are pixels, already scaled.
int16_t GetGlyphAdvance(TrueTypeEngine* tt, int size, uint32_t character, int bold, int italic);
// Advance-cache inspection (tests, the benchmark).
uint32_t GetAdvanceCacheCount(const TrueTypeEngine* tt);
bool AdvanceCacheHas(const TrueTypeEngine* tt, int size, uint32_t character, int bold, int italic);
void GetAdvanceCacheStats(const TrueTypeEngine* tt, uint64_t* hits, uint64_t* misses);

void GetSizeMetrics(TrueTypeEngine* tt, int size, int16_t* maxAdvance, int16_t* height, int16_t* ascent,
                    int16_t* descent);

// The dict engine supplies the text scale; `style` may be null.
int16_t GetSlotCharAdvance(DictEngine* engine, TrueTypeEngine* tt, int size, uint32_t character,
                           const TextStyleState* style);
uint16_t GetTrueTypeLineHeight(DictEngine* engine, TrueTypeEngine* tt, int size);
int GetTrueTypeMetrics(DictEngine* engine, TrueTypeEngine* tt, int size, uint16_t out[4]);
// Draws the run and returns the pen's travel. `height` 0 draws at the font's
// own height. Without a style the codes are zero width and change nothing.
int DrawTrueTypeText(DictEngine* engine, DrawContext* context, TrueTypeEngine* tt, int size, const WCHAR* text,
                     int count, int x, int y, int height, TextStyleState* style, ColorWord textColor,
                     ColorWord background);

// A pixel size under the dict engine's text scale and the screen clamp.
int ScaleFontSize(const DictEngine* engine, int size);
// The screen clamp alone.
int ClampFontSize(int size);

// The wide open of a UTF-8 device path: 1-, 2-, 3- and 4-byte sequences (a
// 4-byte one as a surrogate pair); a stray continuation byte is dropped with
// the continuation bytes after it; a path ending inside a sequence opens the
// name converted up to that point. Null when either argument is null.
FILE* OpenFontFileUtf8(const char* path, const char* mode);
