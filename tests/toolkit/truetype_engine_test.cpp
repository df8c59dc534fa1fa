// TrueType engine and font slots over the machine's DejaVu Sans (three
// styles) and WenQuanYi Zen Hei: file choice, refused files, the advance and
// metrics caches, render modes, text scale, the font stream's retries and
// the cache manager's face churn, and the CJK fixture face's coverage.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "engine/preferences.h"
#include "tests/toolkit/toolkit_fixture.h"
#include "toolkit/font_slot.h"

namespace {

using toolkit_test::kCjk;
using toolkit_test::kLatin;
using toolkit_test::kLatinBold;
using toolkit_test::kLatinOblique;

class TrueTypeTest : public ToolkitTest {
 protected:
  // A copy of a font whose cmap records all claim Mac Roman, so that it has
  // no Unicode charmap.
  std::string WriteFontWithoutUnicodeCmap() {
    std::ifstream in(toolkit_test::FixtureFontPath(kLatin), std::ios::binary);
    std::vector<uint8_t> font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(font[at] << 8 | font[at + 1]); };
    auto u32 = [&](size_t at) { return u16(at) << 16 | u16(at + 2); };
    uint32_t tables = u16(4);
    for (uint32_t t = 0; t < tables; ++t) {
      size_t entry = 12 + 16 * t;
      if (std::memcmp(&font[entry], "post", 4) == 0) {
        // Version 3: no glyph names, from which FreeType would make up a
        // Unicode charmap.
        size_t post = u32(entry + 8);
        font[post] = 0, font[post + 1] = 3, font[post + 2] = 0, font[post + 3] = 0;
        continue;
      }
      if (std::memcmp(&font[entry], "cmap", 4) != 0) continue;
      size_t cmap = u32(entry + 8);
      uint32_t records = u16(cmap + 2);
      for (uint32_t r = 0; r < records; ++r) {
        size_t rec = cmap + 4 + 8 * r;
        font[rec] = 0, font[rec + 1] = 1;      // Macintosh
        font[rec + 2] = 0, font[rec + 3] = 0;  // Roman
      }
    }
    std::string host = fonts_->HostPath("nounicode.ttf");
    std::ofstream(host, std::ios::binary)
        .write(reinterpret_cast<const char*>(font.data()), static_cast<std::streamsize>(font.size()));
    return toolkit_test::TestFonts::DevicePath("nounicode.ttf");
  }
  std::string WriteNotAFont() {
    std::ofstream(fonts_->HostPath("notafont.ttf")) << "This is not a font file at all.\n";
    return toolkit_test::TestFonts::DevicePath("notafont.ttf");
  }
};

TEST_F(TrueTypeTest, FindGlyphTakesTheBestStyleThatHasTheCharacter) {
  REQUIRE_CJK();
  struct Case {
    bool withBold;  // engine [Latin, Bold, Oblique, CJK] or [Latin, Oblique, CJK]
    uint32_t character;
    int bold, italic;
    uint16_t file;
    const char* why;
  } cases[] = {
      {true, 'A', 0, 0, 0, "regular Latin"},
      {true, 'A', 1, 0, 1, "bold file"},
      {true, 'A', 0, 1, 2, "oblique file"},
      {true, 'A', 1, 1, 2, "bold italic: italic kept, bold flipped (pass 2 flips bold)"},
      {false, 'A', 1, 0, 0, "no bold file: from the regular one"},
      {false, 'A', 1, 1, 1, "no bold file: the oblique"},
      {true, 0x4E2D, 0, 0, 3, "Han from the CJK file"},
      {true, 0x4E2D, 1, 0, 3, "Han from the CJK file, bold"},
      {true, 0x4E2D, 1, 1, 3, "Han from the CJK file, bold italic"},
      {false, 0x4E2D, 0, 1, 2, "Han from the CJK file, italic"},
      {true, 0x01D0, 0, 0, 0, "pinyin letter from DejaVu"},
      {true, 0x2460, 1, 0, 1, "circled one: DejaVu Bold has it"},
      {true, 0x2471, 0, 0, 3, "circled eighteen: only the CJK face"},
      {true, 0x0378, 0, 0, kNoFontFile, "an unassigned character"},
  };
  DictEngine* withBold = MakeEngine({kLatin, kLatinBold, kLatinOblique, kCjk});
  (void)withBold;
  TrueTypeEngine* full = Slot0();
  ASSERT_EQ(GetFontFileCount(full), 4u);
  auto keep = std::move(app_);
  MakeEngine({kLatin, kLatinOblique, kCjk});
  TrueTypeEngine* noBold = Slot0();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    uint32_t glyph = 99;
    uint16_t file = FindGlyph(c.withBold ? full : noBold, c.character, c.bold, c.italic, &glyph);
    EXPECT_EQ(file, c.file);
    EXPECT_EQ(glyph != 0, c.file != kNoFontFile);
  }
  app_.reset();
  app_ = std::move(keep);
}

TEST_F(TrueTypeTest, RefusedFilesAreSkippedAndTheRestWork) {
  std::string longPath = "\\Windows\\Fonts\\" + std::string(256 - 15, 'a');
  ASSERT_EQ(longPath.size(), 256u);
  DictEngine* engine = MakeEngineWithPaths(
      {WriteNotAFont(), WriteFontWithoutUnicodeCmap(), longPath, "\\Windows\\Fonts\\none.ttf", fonts_->Path(kLatin)});
  ASSERT_EQ(engine->fontSlotCount, 1);
  TrueTypeEngine* tt = Slot0();
  ASSERT_EQ(GetFontFileCount(tt), 1u);
  EXPECT_STREQ(GetFontFilePath(tt, 0), fonts_->Path(kLatin).c_str());
  EXPECT_GT(GetCharAdvance(engine, 0, 14, u'A', nullptr), 0);
  // The 255-byte path just fits (it names no file, so it is still skipped,
  // but by the open, not by its length).
  EXPECT_EQ(AddFontFile(tt, std::string(255, 'b').c_str()), 0);
  EXPECT_EQ(GetFontFileCount(tt), 1u);
}

TEST_F(TrueTypeTest, ThirteenthFileReturnsOneAndChangesNothing) {
  TrueTypeEngine* tt = CreateTrueTypeEngine(nullptr, 0);
  ASSERT_NE(tt, nullptr);
  EXPECT_EQ(GetRenderMode(tt), kRenderLightCjk) << "mode 0 becomes 2";
  for (int i = 0; i < 12; ++i) EXPECT_EQ(AddFontFile(tt, fonts_->Path(kLatinBold).c_str()), 0);
  ASSERT_EQ(GetFontFileCount(tt), 12u);
  GetGlyphAdvance(tt, 14, 'A', 0, 0);
  EXPECT_EQ(AddFontFile(tt, fonts_->Path(kLatin).c_str()), 1);
  EXPECT_EQ(GetFontFileCount(tt), 12u);
  EXPECT_TRUE(AdvanceCacheHas(tt, 14, 'A', 0, 0)) << "the caches were not emptied";
  FreeTrueTypeEngine(tt);
}

TEST_F(TrueTypeTest, SlotWithoutFilesMeasuresZeroAndDrawsNothing) {
  DictEngine* engine = MakeEngineWithPaths({});
  ASSERT_EQ(engine->fontSlotCount, 1);
  EXPECT_EQ(GetCharAdvance(engine, 0, 14, u'A', nullptr), 0);
  EXPECT_EQ(MeasureText(engine, 0, 14, u"Hello", 5, nullptr), 0);
  DrawContext* dc = Window(100, 40);
  EXPECT_EQ(DrawStyledText(engine, dc, 0, 14, u"Hello", 5, 2, 2, 0, nullptr, 0x000000, 0xFFFFFF), 0);
  EXPECT_EQ(CountInk(), 0);
  // A slot number past the count is no slot.
  EXPECT_EQ(GetCharAdvance(engine, 5, 14, u'A', nullptr), 0);
}

TEST_F(TrueTypeTest, AdvanceCacheKeepsTheRecentlyUsed511) {
  MakeEngine({kLatin});
  TrueTypeEngine* tt = Slot0();
  int16_t first = GetGlyphAdvance(tt, 14, 0x21, 0, 0);
  for (uint32_t i = 1; i < 300; ++i) GetGlyphAdvance(tt, 14, 0x21 + i, 0, 0);
  // Used again, so that it outlives older keys.
  EXPECT_EQ(GetGlyphAdvance(tt, 14, 0x21, 0, 0), first);
  for (uint32_t i = 300; i < 600; ++i) GetGlyphAdvance(tt, 14, 0x21 + i, 0, 0);
  EXPECT_EQ(GetAdvanceCacheCount(tt), kAdvanceCacheLimit);
  EXPECT_TRUE(AdvanceCacheHas(tt, 14, 0x21, 0, 0)) << "recently used";
  EXPECT_FALSE(AdvanceCacheHas(tt, 14, 0x22, 0, 0)) << "the oldest went first";
  EXPECT_TRUE(AdvanceCacheHas(tt, 14, 0x21 + 599, 0, 0));
  // Keys differ by size and style.
  EXPECT_FALSE(AdvanceCacheHas(tt, 15, 0x21 + 599, 0, 0));
  EXPECT_FALSE(AdvanceCacheHas(tt, 14, 0x21 + 599, 1, 0));
  // Entries stay sorted: every cached key is found by the binary search.
  int found = 0;
  for (uint32_t i = 0; i < 600; ++i) found += AdvanceCacheHas(tt, 14, 0x21 + i, 0, 0);
  EXPECT_EQ(found, 511);
}

// The four metrics straight from FreeType, rounded up as the engine does.
void ExpectedMetrics(const std::vector<std::string>& hostFiles, int size, int16_t out[4]) {
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  out[0] = out[1] = out[2] = out[3] = 0;
  for (const std::string& file : hostFiles) {
    FT_Face face;
    ASSERT_EQ(FT_New_Face(library, file.c_str(), 0, &face), 0);
    FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(size), static_cast<FT_UInt>(size));
    const FT_Size_Metrics& m = face->size->metrics;
    out[0] = std::max<int16_t>(out[0], static_cast<int16_t>((m.max_advance + 63) >> 6));
    out[1] = std::max<int16_t>(out[1], static_cast<int16_t>((m.height + 63) >> 6));
    out[2] = std::max<int16_t>(out[2], static_cast<int16_t>((m.ascender + 63) >> 6));
    out[3] = std::min<int16_t>(out[3], static_cast<int16_t>((m.descender + 63) >> 6));
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
}

TEST_F(TrueTypeTest, MetricsRoundUpAndComeBackFromTheCache) {
  MakeEngine({kLatin, kLatinBold});
  TrueTypeEngine* tt = Slot0();
  std::vector<std::string> hosts = {toolkit_test::FixtureFontPath(kLatin), toolkit_test::FixtureFontPath(kLatinBold)};
  for (int size : {9, 14, 24, 95, 96, 120}) {
    SCOPED_TRACE(size);
    int16_t want[4];
    ExpectedMetrics(hosts, size, want);
    for (int round = 0; round < 2; ++round) {
      int16_t a, h, up, down;
      GetSizeMetrics(tt, size, &a, &h, &up, &down);
      EXPECT_EQ(a, want[0]);
      EXPECT_EQ(h, want[1]);
      EXPECT_EQ(up, want[2]);
      EXPECT_EQ(down, want[3]);
      EXPECT_LE(down, 0);
    }
    EXPECT_EQ(GetLineHeight(app_->engine(), 0, static_cast<uint16_t>(size)), want[1] + 1);
    uint16_t m[4];
    EXPECT_EQ(GetFontMetrics(app_->engine(), 0, static_cast<uint16_t>(size), m), 0);
    EXPECT_EQ(m[0], std::min(want[0], want[1]));
    EXPECT_EQ(m[1], want[1]);
    EXPECT_EQ(m[2], want[1]);
    EXPECT_EQ(m[3], 0);
  }
}

TEST_F(TrueTypeTest, TextScaleSixThirdsMeasuresAtTwiceTheSize) {
  MakeEngine({kLatin}, 6, 3);
  DictEngine* scaled = app_->engine();
  TrueTypeEngine* tt = Slot0();
  for (WCHAR c : std::u16string(u"AaWg.\u01D0")) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_EQ(GetCharAdvance(scaled, 0, 14, c, nullptr), GetGlyphAdvance(tt, 28, c, 0, 0));
  }
  int16_t a, h, up, down;
  GetSizeMetrics(tt, 14, &a, &h, &up, &down);
  EXPECT_EQ(GetLineHeight(scaled, 0, 14), ((h + 1) * 6) / 3) << "measured at the size, result scaled";
}

TEST_F(TrueTypeTest, WideModeWidensAdvancesButNotGlyphs) {
  DictEngine* engine = MakeEngine({kLatin});
  TrueTypeEngine* tt = Slot0();
  SetRenderMode(tt, kRenderDefault);
  int16_t normal = GetCharAdvance(engine, 0, 20, u'W', nullptr);
  DrawContext* dc = Window(200, 60);
  int travelled = DrawStyledText(engine, dc, 0, 20, u"W", 1, 10, 10, 0, nullptr, 0x000000, 0xFFFFFF);
  EXPECT_EQ(travelled, normal);
  std::vector<uint32_t> before = Pixels();
  SetRenderMode(tt, kRenderWide);
  EXPECT_EQ(GetCharAdvance(engine, 0, 20, u'W', nullptr), normal + 1);
  EXPECT_EQ(MeasureText(engine, 0, 20, u"WW", 2, nullptr), 2 * (normal + 1));
  FillShortRect(dc, ShortRect{0, 0, 200, 60}, 0xFFFFFF);
  EXPECT_EQ(DrawStyledText(engine, dc, 0, 20, u"W", 1, 10, 10, 0, nullptr, 0x000000, 0xFFFFFF), normal + 1)
      << "drawing moves the pen as measuring counts";
  EXPECT_EQ(Pixels(), before);
}

TEST_F(TrueTypeTest, MonochromeModeDrawsOnlyForegroundAndBackground) {
  for (uint32_t mode : {kRenderMonochrome, kRenderDefault}) {
    SCOPED_TRACE(mode);
    DictEngine* engine = MakeEngine({kLatin});
    SetRenderMode(Slot0(), mode);
    DrawContext* dc = Window(200, 60);
    for (int size : {14, 60})  // the small-bitmap cache and the image cache
      DrawStyledText(engine, dc, 0, static_cast<uint16_t>(size), u"Rag", 3, 5, size == 14 ? 0 : 20, 0, nullptr,
                     0x000000, 0xFFFFFF);
    int grey = 0, ink = 0;
    for (uint32_t p : Pixels()) {
      p &= 0xFFFFFF;
      if (p == 0) ++ink;
      else if (p != 0xFFFFFF)
        ++grey;
    }
    EXPECT_GT(ink, 50);
    if (mode == kRenderMonochrome) EXPECT_EQ(grey, 0);
    else
      EXPECT_GT(grey, 0) << "anti-aliased";
    FreeDrawContext(context_);
    context_ = nullptr;
    DestroyWindow(hwnd_);
  }
}

TEST_F(TrueTypeTest, RenderModePreferenceReachesEverySlot) {
  DictEngine* engine = MakeEngine({kLatin});
  std::string second = fonts_->Path(kLatinBold);
  const char* paths[] = {second.c_str()};
  AddTrueTypeFontSlot(engine, paths, 1);
  ASSERT_EQ(engine->fontSlotCount, 2);
  struct Case {
    int32_t pref;
    uint32_t mode;
  } cases[] = {{1, 1}, {2, 4}, {3, 5}, {4, 3}, {0, 2}, {7, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pref);
    SetPref(engine, kPrefFontRenderMode, c.pref);
    ApplyFontRenderMode(engine);
    EXPECT_EQ(GetRenderMode(GetSlotTrueTypeEngine(engine, 0)), c.mode);
    EXPECT_EQ(GetRenderMode(GetSlotTrueTypeEngine(engine, 1)), c.mode);
  }
  // A new slot starts in the preference's mode.
  SetPref(engine, kPrefFontRenderMode, 1);
  AddTrueTypeFontSlot(engine, paths, 1);
  EXPECT_EQ(GetRenderMode(GetSlotTrueTypeEngine(engine, 2)), 1u);
}

TEST_F(TrueTypeTest, EngineCreationMakesSlotZeroAndDestructionFreesIt) {
  std::vector<std::string> paths = {fonts_->Path(kLatin), fonts_->Path(kLatinBold)};
  if (fonts_->Has(kCjk)) paths.push_back(fonts_->Path(kCjk));
  {
    toolkit_test::TestAppContext app(paths, 6);
    ASSERT_NE(app.engine(), nullptr);
    EXPECT_EQ(app.engine()->fontSlotCount, 1);
    EXPECT_EQ(AppContextPointer, &app.context());
    EXPECT_EQ(GetFontFileCount(GetSlotTrueTypeEngine(app.engine(), 0)), paths.size());
    DrawContext* dc = Window(300, 40);
    EXPECT_GT(DrawStyledText(app.engine(), dc, 0, 14, u"Zh\u01D2ng \u4E2D", 7, 2, 2, 0, nullptr, 0, 0xFFFFFF), 0);
    EXPECT_GT(CountInk(), 0);
    FreeDrawContext(context_);
    context_ = nullptr;
  }
  // Destroyed with the engine (LeakSanitizer checks the rest); the
  // offscreens went with the last engine.
  EXPECT_EQ(GetTextOffscreen(0), nullptr);
  EXPECT_EQ(AppContextPointer, nullptr);
}

TEST_F(TrueTypeTest, WarmCacheDrawsWithoutReadingTheFiles) {
  // Recycled heap blocks full of garbage, as a long-running program has:
  // nothing FreeType allocates may take its state from them.
  std::vector<void*> blocks;
  for (size_t size = 16; size <= 4096; size += 16) {
    void* block = std::malloc(size);
    std::memset(block, 0xA5, size);
    blocks.push_back(block);
  }
  for (void* block : blocks) std::free(block);
  DictEngine* engine = MakeEngine({kLatin, kLatinBold});
  const std::u16string text = u"Warm \uEAB2cache\uEAB3 zh\u014Dng";
  DrawContext* dc = Window(300, 40);
  DrawStyledText(engine, dc, 0, 20, text.c_str(), static_cast<uint16_t>(text.size()), 2, 2, 0, nullptr, 0, 0xFFFFFF);
  std::vector<uint32_t> first = Pixels();
  // Every file read fails from here on: the second drawing must come from
  // the caches alone.
  InjectFileError(FileCall::StreamRead, 1, ERROR_INVALID_HANDLE, 100000);
  FillShortRect(dc, ShortRect{0, 0, 300, 40}, 0xFFFFFF);
  DrawStyledText(engine, dc, 0, 20, text.c_str(), static_cast<uint16_t>(text.size()), 2, 2, 0, nullptr, 0, 0xFFFFFF);
  ClearFileErrorInjection();
  EXPECT_EQ(Pixels(), first);
}

// ---- The font stream ----

TEST_F(TrueTypeTest, ReadThatFailsOnceReopensTheFile) {
  DictEngine* engine = MakeEngine({kLatin});
  auto reference = std::make_unique<toolkit_test::TestAppContext>(std::vector<std::string>{fonts_->Path(kLatin)}, 6);
  int16_t want = GetCharAdvance(reference->engine(), 0, 33, u'Q', nullptr);
  ASSERT_GT(want, 0);
  InjectFileError(FileCall::StreamRead, 1, ERROR_INVALID_HANDLE, 1);
  EXPECT_EQ(GetCharAdvance(engine, 0, 33, u'Q', nullptr), want);
  ClearFileErrorInjection();
  reference.reset();
}

TEST_F(TrueTypeTest, ReadThatFailsTwiceLosesTheGlyphOnly) {
  DictEngine* engine = MakeEngine({kLatin});
  auto reference = std::make_unique<toolkit_test::TestAppContext>(std::vector<std::string>{fonts_->Path(kLatin)}, 6);
  int16_t want = GetCharAdvance(reference->engine(), 0, 35, u'R', nullptr);
  reference.reset();
  InjectFileError(FileCall::StreamRead, 1, ERROR_INVALID_HANDLE, 2);
  int16_t lost = GetCharAdvance(engine, 0, 35, u'R', nullptr);
  ClearFileErrorInjection();
  // The small-bitmap load meets the short read; the image cache may load
  // the glyph again afterwards. Never a made-up advance.
  EXPECT_TRUE(lost == 0 || lost == want) << lost;
  // Everything else still works, the lost glyph at another size too.
  EXPECT_GT(GetCharAdvance(engine, 0, 36, u'R', nullptr), 0);
  DrawContext* dc = Window(200, 60);
  InjectFileError(FileCall::StreamRead, 1, ERROR_INVALID_HANDLE, 2);
  DrawStyledText(engine, dc, 0, 37, u"xyz", 3, 2, 2, 0, nullptr, 0, 0xFFFFFF);
  ClearFileErrorInjection();
  EXPECT_GT(CountInk(), 0) << "the glyphs after the lost one are drawn";
}

TEST_F(TrueTypeTest, OpenFontFileDecodesTheUtf8Path) {
  // "\Windows\Fonts\" + name, the name in UTF-8.
  struct Case {
    const char* onDisk;  // UTF-8 host name
    std::string asked;   // UTF-8 bytes of the device name
    bool opens;
    const char* why;
  } cases[] = {
      {"ab\xc3\xa9.ttf", "ab\xc3\xa9.ttf", true, "two-byte sequence"},
      {"\xe4\xb8\xad.ttf", "\xe4\xb8\xad.ttf", true, "three-byte sequence"},
      {"x\xf0\x9f\x98\x80.ttf", "x\xf0\x9f\x98\x80.ttf", true, "four-byte sequence as a surrogate pair"},
      {"cut", "cut\xe4\xb8", true, "ending inside a sequence opens the name up to it"},
      {"stray", "stray\x80\x81", true, "stray continuation bytes are dropped"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::ofstream(fonts_->HostPath(c.onDisk)) << "data";
    std::string device = toolkit_test::TestFonts::DevicePath(c.asked);
    FILE* f = OpenFontFileUtf8(device.c_str(), "rb");
    EXPECT_EQ(f != nullptr, c.opens);
    if (f) {
      char buffer[8] = {};
      EXPECT_EQ(std::fread(buffer, 1, 4, f), 4u);
      EXPECT_STREQ(buffer, "data");
      std::fclose(f);
    }
  }
  // The four-byte name is not confused with another one.
  std::ofstream(fonts_->HostPath("x\xef\x98\x80.ttf")) << "other";
  FILE* f = OpenFontFileUtf8("\\Windows\\Fonts\\x\xf0\x9f\x98\x80.ttf", "rb");
  ASSERT_NE(f, nullptr);
  char buffer[8] = {};
  std::fread(buffer, 1, 4, f);
  EXPECT_STREQ(buffer, "data");
  std::fclose(f);
  EXPECT_EQ(OpenFontFileUtf8(nullptr, "rb"), nullptr);
  EXPECT_EQ(OpenFontFileUtf8("\\x", nullptr), nullptr);
}

TEST_F(TrueTypeTest, FacesDroppedByTheManagerComeBackTheSame) {
  // Eight files: more than the manager's six open faces (copies of the
  // fixtures under other names are other faces to the manager). Measuring a
  // character that no file has walks every file's charmap, so faces are
  // dropped and opened again through the stream.
  const struct {
    toolkit_test::TestFont font;
    const char* name;
  } extra[] = {{kLatin, "extra1.ttf"},
               {kLatinBold, "extra2.ttf"},
               {kLatinOblique, "extra3.ttf"},
               {kCjk, "extra4.ttf"},
               {kLatin, "extra5.ttf"}};
  std::vector<std::string> paths = {fonts_->Path(kLatin), fonts_->Path(kLatinBold), fonts_->Path(kLatinOblique)};
  for (const auto& e : extra) {
    fonts_->Place(toolkit_test::FixtureFontPath(e.font), e.name);
    paths.push_back(toolkit_test::TestFonts::DevicePath(e.name));
  }
  DictEngine* engine = MakeEngineWithPaths(paths);
  ASSERT_EQ(GetFontFileCount(Slot0()), paths.size());
  const std::u16string text = u"\uEAB2Bold\uEAB3 \uEAB4it\uEAB5 plain";
  DrawContext* dc = Window(300, 40);
  TextStyleState style{};
  DrawStyledText(engine, dc, 0, 16, text.c_str(), static_cast<uint16_t>(text.size()), 2, 2, 0, &style, 0, 0xFFFFFF);
  std::vector<uint32_t> before = Pixels();
  for (int size = 10; size < 40; ++size) {
    EXPECT_EQ(GetCharAdvance(engine, 0, static_cast<uint16_t>(size), 0x0378, nullptr), 0);
    GetLineHeight(engine, 0, static_cast<uint16_t>(size + 100));  // sizes of every file
  }
  FillShortRect(dc, ShortRect{0, 0, 300, 40}, 0xFFFFFF);
  style = TextStyleState{};
  DrawStyledText(engine, dc, 0, 16, text.c_str(), static_cast<uint16_t>(text.size()), 2, 2, 0, &style, 0, 0xFFFFFF);
  EXPECT_EQ(Pixels(), before);
}

}  // namespace

namespace {

// The Han text the tests and demos draw must be in the CJK fixture face, or
// their pictures show gaps where a character should be.
TEST(FixtureFontCoverage, HanTextTheFixturesDrawIsInTheCjkFace) {
  const std::u16string drawn[] = {
      u"你好你们好人",    // the main window's fixture dictionary
      u"中国中文人一文",  // its results list and definitions
      u"再见",            // the controls demo's word list
      u"汉语",            // the field window's picture
  };
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face;
  ASSERT_EQ(FT_New_Face(library, toolkit_test::FixtureFontPath(kCjk).c_str(), 0, &face), 0);
  for (const std::u16string& text : drawn)
    for (char16_t c : text) EXPECT_NE(FT_Get_Char_Index(face, c), 0u) << "U+" << std::hex << static_cast<int>(c);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

}  // namespace
