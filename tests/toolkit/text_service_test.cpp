// Text service over slot 0 (DejaVu Sans, and the CJK face where the machine
// has it): style codes, measuring, breaking, hit-testing, links and drawing,
// with the compositor's two paths compared on real text.
#include <cstring>
#include <functional>
#include <string>

#include "platform/heap.h"
#include "tests/toolkit/toolkit_fixture.h"

// The style table names only the fields a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using toolkit_test::kCjk;
using toolkit_test::kLatin;
using toolkit_test::kLatinBold;
using toolkit_test::kLatinOblique;

constexpr uint16_t kSize = 14;

class TextServiceTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    std::vector<toolkit_test::TestFont> fonts = {kLatin, kLatinBold, kLatinOblique};
    if (fonts_->Has(kCjk)) fonts.push_back(kCjk);
    engine_ = MakeEngine(fonts);
  }
  int Width(const std::u16string& text, uint16_t size = kSize) {
    TextStyleState style{};
    return MeasureText(engine_, 0, size, text.c_str(), static_cast<uint16_t>(text.size()), &style);
  }
  DictEngine* engine_ = nullptr;
};

// A style code with its 30-bit payload.
std::u16string Coded(WCHAR code, uint32_t number) {
  return std::u16string{code, static_cast<WCHAR>(0x8000 | (number >> 15)),
                        static_cast<WCHAR>(0x8000 | (number & 0x7FFF))};
}

TEST_F(TextServiceTest, StyleCodesChangeTheStyleAsTheirTableSays) {
  struct Case {
    std::u16string text;
    TextStyleState want;
    uint8_t hidden;
    const char* why;
  } cases[] = {
      {u"\uEAB2\uEAB4\uEAB6", {1, 1, 1}, 0, "bold, italic, underline on"},
      {u"\uEAB2\uEAB3", {}, 0, "bold off"},
      {u"\uEAB8", {.inLink = 1, .linkUnderlined = 1}, 0, "link start"},
      {u"\uEAB9", {.inLink = 1}, 0, "plain link"},
      {Coded(0xEABA, 0x12345),
       {.inLink = 1, .linkUnderlined = 1, .hasLinkId = 1, .linkId = 0x12345},
       0,
       "link with id"},
      {Coded(0xEABA, 7) + u"\uEABB", {.linkId = 7}, 0, "link end clears the flags, not the id"},
      {Coded(0xEAC1, 0xC00000), {.colourOn = 1, .colour = 0xC00000}, 0, "colour"},
      {Coded(0xEAC1, 0xC00000) + u"\uEAC2", {}, 0, "colour off"},
      {Coded(0xEAC5, 0x3FFFFFFF), {.sizeOn = 1, .size = 0x3FFFFFFF}, 0, "all 30 bits"},
      {u"\uEAC5", {.sizeOn = 1}, 0, "no payload: size 0"},
      {Coded(0xEAC3, 1), {}, 1, "hidden on"},
      {u"\uEAD1", {.inLink = 1, .linkUnderlined = 1, .hiddenTargetLink = 1}, 1, "hidden-target link"},
      {u"\uEAD1\uEAD0", {.inLink = 1, .linkUnderlined = 1, .hiddenTargetLink = 1}, 0, "its target ends"},
      {u"\uEAD1\uEAD0\uEAD2", {.hiddenTargetLink = 1}, 0, "link end keeps the mark"},
      {u"\uEAB0\uEABC\uEAC7\uEAFF", {}, 0, "unassigned codes change nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TextStyleState style{};
    uint8_t hidden = 0;
    for (size_t i = 0; i < c.text.size(); ++i) {
      uint32_t payload = 0;
      WCHAR code = c.text[i];
      if (StyleCodeHasPayload(code) && i + 2 < c.text.size()) {
        payload = StylePayload(c.text[i + 1], c.text[i + 2]);
        i += 2;
      }
      EXPECT_EQ(ApplyStyleCode(code, payload, &style, &hidden), 0);
    }
    EXPECT_EQ(std::memcmp(&style, &c.want, sizeof(style)), 0);
    EXPECT_EQ(hidden, c.hidden);
  }
  uint8_t hidden = 0;
  EXPECT_EQ(ApplyStyleCode(kStyleLineEnd, 0, nullptr, &hidden), 0) << "no style: nothing";
  TextStyleState style{};
  EXPECT_EQ(ApplyStyleCode(kStyleLineEnd, 0, &style, &hidden), 1);
}

TEST_F(TextServiceTest, EdgeCasesOfMeasuringBreakingAndHitTesting) {
  const int abWidth = Width(u"ab");
  const int cdAt24 = Width(u"cd", 24);
  const std::u16string sized = u"ab" + Coded(0xEAC5, 24) + u"cd";
  const std::u16string hiddenRun = u"x" + Coded(0xEAC3, 1) + u"hidden\uEAC4y";
  const std::u16string targetLink = u"see \uEAD1target\uEAD0word\uEAD2 end";
  const int fill = Width(u"abc def");
  struct Case {
    const char* why;
    std::function<void()> check;
  } cases[] = {
      {"size payload: cd at 24 pixels, ab at the call's size",
       [&] {
         EXPECT_EQ(Width(sized), abWidth + cdAt24);
         TextStyleState style{};
         EXPECT_EQ(GetTextLineHeight(engine_, 0, kSize, sized.c_str(), static_cast<uint16_t>(sized.size()), &style),
                   GetLineHeight(engine_, 0, 24));
         EXPECT_GT(GetLineHeight(engine_, 0, 24), GetLineHeight(engine_, 0, kSize));
         EXPECT_EQ(style.size, 24u);
       }},
      {"size code before a 0 unit: size 0, the 0 ends the text",
       [&] {
         std::u16string t = u"ab\uEAC5";
         t.push_back(0);
         t += u"\x8000\x8018"
              u"cd";
         TextStyleState style{};
         EXPECT_EQ(MeasureText(engine_, 0, kSize, t.c_str(), static_cast<uint16_t>(t.size()), &style), abWidth);
         EXPECT_EQ(style.sizeOn, 1u);
         EXPECT_EQ(style.size, 0u);
         EXPECT_EQ(GetTextLineHeight(engine_, 0, kSize, t.c_str(), 0, &style), GetLineHeight(engine_, 0, kSize));
       }},
      {"hidden span measures as xy", [&] { EXPECT_EQ(Width(hiddenRun), Width(u"xy")); }},
      {"hidden-target link shows only its word",
       [&] {
         EXPECT_EQ(Width(targetLink), Width(u"see word end"));
         uint16_t start = 0, end = 0;
         WCHAR* target = nullptr;
         int32_t id = 5;
         uint16_t inWord = static_cast<uint16_t>(targetLink.find(u"word") + 2);
         GetLinkAt(engine_, targetLink.c_str(), inWord, &start, &end, &target, &id);
         EXPECT_EQ(start, targetLink.find(u"word"));
         EXPECT_EQ(end, targetLink.find(u'\uEAD2'));
         ASSERT_NE(target, nullptr);
         EXPECT_EQ(std::u16string(target), u"target");
         LocalFree(target);
         EXPECT_EQ(id, -1);
       }},
      {"link with an id",
       [&] {
         std::u16string t = u"a " + Coded(0xEABA, 40000) + u"link\uEABB b";
         uint16_t start = 0, end = 0;
         int32_t id = 0;
         GetLinkAt(engine_, t.c_str(), static_cast<uint16_t>(t.find(u"link") + 1), &start, &end, nullptr, &id);
         EXPECT_EQ(start, t.find(u"link"));
         EXPECT_EQ(end, t.find(u'\uEABB'));
         EXPECT_EQ(id, 40000);
       }},
      {"link without an end: end 0",
       [&] {
         std::u16string t = u"\uEAB8open";
         uint16_t start = 9, end = 9;
         GetLinkAt(engine_, t.c_str(), 2, &start, &end, nullptr, nullptr);
         EXPECT_EQ(start, 1);
         EXPECT_EQ(end, 0);
       }},
      {"abc defg where abc def exactly fills the width breaks after the space",
       [&] {
         // At exactly the width the walk stops after "f" (the running width
         // is no longer below it) without exceeding it; "f" reaching the width
         // is no break point, and "g" follows, so the line ends at the break
         // after the space. Without the "g" the same width holds every unit,
         // while one pixel less is exceeded and breaks after the space.
         TextStyleState style{};
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"abc defg", fill, &style), 4);
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"abc def", fill, &style), 7);
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"abc def", fill - 1, &style), 4);
       }},
      {"a word wider than the width keeps what fits, at least one unit",
       [&] {
         TextStyleState style{};
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"abcdefgh", Width(u"abc") + 1, &style), 3);
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"abcdefgh", 1, &style), 1);
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"abcdefgh", 0, &style), 0);
       }},
      {"no break after an opening bracket, a break after a comma or Han character",
       [&] {
         struct Row {
           WCHAR mark;
           uint16_t want;
         } rows[] = {{0xFF08, 5}, {0x300C, 5}, {0xFF0C, 3}, {0x4E2D, 3}, {u'(', 5}, {u',', 3}};
         for (const Row& r : rows) {
           SCOPED_TRACE(static_cast<int>(r.mark));
           std::u16string t = u"ab";
           t.push_back(r.mark);
           int width = Width(t + u"cd") + 1;
           t += u"cdefgh";
           TextStyleState style{};
           EXPECT_EQ(FindLineBreak(engine_, 0, kSize, t.c_str(), width, &style), r.want);
         }
       }},
      {"line ends: LF, CR LF and U+EAB1 end the line after themselves",
       [&] {
         TextStyleState style{};
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"ab\ncd", 1000, &style), 3);
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"ab\r\ncd", 1000, &style), 4);
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"a b\uEAB1cd", 1000, &style), 4);
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"a b", 1000, &style), 3) << "all text fits";
       }},
      {"the style at the break is handed back",
       [&] {
         TextStyleState style{};
         EXPECT_EQ(FindLineBreak(engine_, 0, kSize, u"\uEAB2ab \uEAB3cdefgh", Width(u"ab cd"), &style), 4);
         EXPECT_EQ(style.bold, 1u);
       }},
      {"a tab at 20 moves to 40",
       [&] {
         TextStyleState style{};
         EXPECT_EQ(FitText(engine_, 0, kSize, u"\t\tx", 40, &style), 2);
         EXPECT_EQ(FitText(engine_, 0, kSize, u"\tx", 20, &style), 1);
       }},
      {"hit test on the last unit's right edge gives 2 x count",
       [&] {
         TextStyleState style{};
         int w = Width(u"abc");
         EXPECT_EQ(HitTestText(engine_, 0, kSize, u"abc", 3, w, &style), 6);
         EXPECT_EQ(HitTestText(engine_, 0, kSize, u"abc", 3, w - 1, &style), 5) << "right half of c";
         EXPECT_EQ(HitTestText(engine_, 0, kSize, u"abc", 3, 0, &style), 0) << "left half of a";
         EXPECT_EQ(HitTestText(engine_, 0, kSize, u"abc", 3, 5000, &style), 6);
       }},
      {"fit counts CR LF as two units",
       [&] {
         TextStyleState style{};
         EXPECT_EQ(FitText(engine_, 0, kSize, u"ab\r\ncd", 1000, &style), 4);
         EXPECT_EQ(FitText(engine_, 0, kSize, u"ab\ncd", 1000, &style), 3);
         EXPECT_EQ(FitText(engine_, 0, kSize, u"abcdef", Width(u"abc") + 1, &style), 3);
         EXPECT_EQ(FitText(engine_, 0, kSize, u"abc", 0, &style), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    c.check();
  }
}

TEST_F(TextServiceTest, StyledBoldAndSizeMeasureWithTheirFaces) {
  EXPECT_GT(Width(u"\uEAB2WWW"), Width(u"WWW")) << "bold is wider";
  EXPECT_EQ(GetCharAdvance(engine_, 0, kSize, 0xEAB2, nullptr), 0);
  EXPECT_EQ(GetCharAdvance(engine_, 0, kSize, 0xEA10, nullptr), 0);
  // A size far beyond the screen is clamped (to 640 here) for measuring and
  // drawing alike.
  std::u16string huge = Coded(0xEAC5, 50000) + u"W";
  std::u16string clamped = Coded(0xEAC5, 640) + u"W";
  EXPECT_EQ(Width(huge), Width(clamped));
  EXPECT_GT(Width(huge), 300);
}

TEST_F(TextServiceTest, OffscreenLineEqualsTheDirectLine) {
  const std::u16string text = u"Hello, wide world \uEAB6under\uEAB7 \uEAB2bold\uEAB3 \u01D0";
  struct Colours {
    ColorWord text, background;
  } combos[] = {{0x3000000, 0x1000000}, {0x7000000, 0x7000000}};
  for (const Colours& c : combos) {
    SCOPED_TRACE(c.text);
    std::vector<uint32_t> lines[2];
    for (int direct = 0; direct < 2; ++direct) {
      SetTextDrawDirectOnly(direct != 0);
      DrawContext* dc = Window(400, 60);
      TextStyleState style{};
      DrawStyledText(engine_, dc, 0, kSize, text.c_str(), static_cast<uint16_t>(text.size()), 4, 10,
                     GetLineHeight(engine_, 0, kSize), &style, c.text, c.background);
      lines[direct] = Pixels();
      FreeDrawContext(dc);
      context_ = nullptr;
      DestroyWindow(hwnd_);
    }
    EXPECT_EQ(lines[0], lines[1]);
    int ink = 0;
    for (uint32_t p : lines[0]) ink += (p & 0xFFFFFF) == ResolveColorWord(c.text, kRoleForeground);
    EXPECT_GT(ink, 20);
  }
}

TEST_F(TextServiceTest, TransparentBackgroundKeepsTheWindow) {
  DrawContext* dc = Window(300, 40);
  FillShortRect(dc, ShortRect{0, 0, 300, 40}, 0x123456);
  const std::u16string text = u"Zh\u014Dngw\u00E9n text";
  TextStyleState style{};
  DrawStyledText(engine_, dc, 0, kSize, text.c_str(), static_cast<uint16_t>(text.size()), 2, 2, 0, &style, 0x000000,
                 kColorTransparent);
  int background = 0, white = 0, ink = 0;
  for (uint32_t p : Pixels()) {
    p &= 0xFFFFFF;
    background += p == 0x123456;
    white += p == 0xFFFFFF;
    ink += p == 0x000000;
  }
  EXPECT_EQ(white, 0) << "the glyphs' background is not drawn";
  EXPECT_GT(ink, 10);
  EXPECT_GT(background, 300 * 40 / 2);
}

TEST_F(TextServiceTest, DrawingWithoutAStyleDrawsTheCodesAsNothing) {
  std::vector<uint32_t> drawn[2];
  int travel[2];
  const std::u16string texts[2] = {u"a\uEAB2b" + Coded(0xEAC5, 40) + u"c", u"abc"};
  for (int i = 0; i < 2; ++i) {
    DrawContext* dc = Window(200, 40);
    travel[i] = DrawStyledText(engine_, dc, 0, kSize, texts[i].c_str(), static_cast<uint16_t>(texts[i].size()), 2, 2, 0,
                               nullptr, 0, 0xFFFFFF);
    drawn[i] = Pixels();
    FreeDrawContext(dc);
    context_ = nullptr;
    DestroyWindow(hwnd_);
  }
  EXPECT_EQ(travel[0], travel[1]);
  EXPECT_EQ(drawn[0], drawn[1]);
  EXPECT_EQ(travel[1], Width(u"abc"));
}

TEST_F(TextServiceTest, DrawnTravelEqualsMeasuredWidth) {
  const std::u16string text =
      u"m\u01CEi \uEAB2b\u00F3ld\uEAB3 \uEAB4it\uEAB5 " + Coded(0xEAC5, 20) + u"big\uEAC6 \u4E2D\u6587 \u2460";
  DrawContext* dc = Window(400, 60);
  TextStyleState a{}, b{};
  int measured = MeasureText(engine_, 0, kSize, text.c_str(), static_cast<uint16_t>(text.size()), &a);
  int drawn =
      DrawStyledText(engine_, dc, 0, kSize, text.c_str(), static_cast<uint16_t>(text.size()), 2, 2, 0, &b, 0, 0xFFFFFF);
  EXPECT_EQ(drawn, measured);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof(a)), 0) << "both walks leave the same style";
}

TEST_F(TextServiceTest, GlyphTallerThanTheOffscreensIsDrawnWhole) {
  // Half the screen's smaller side is 240 rows; a 400-pixel "H" does not fit
  // the offscreens and is drawn straight to the window.
  std::u16string text = u"a" + Coded(0xEAC5, 400) + u"H";
  DrawContext* dc = Window(480, 600);
  TextStyleState style{};
  uint16_t height = GetTextLineHeight(engine_, 0, kSize, text.c_str(), static_cast<uint16_t>(text.size()), &style);
  style = TextStyleState{};
  DrawStyledText(engine_, dc, 0, kSize, text.c_str(), static_cast<uint16_t>(text.size()), 0, 0, height, &style,
                 0x000000, 0xFFFFFF);
  std::vector<uint32_t> pixels = Pixels();
  int top = -1, bottom = -1;
  for (int y = 0; y < 600; ++y)
    for (int x = 20; x < 480; ++x)
      if ((pixels[static_cast<size_t>(y) * 480 + x] & 0xFFFFFF) == 0) {
        if (top < 0) top = y;
        bottom = y;
      }
  ASSERT_GE(top, 0);
  EXPECT_GT(bottom - top, 240) << "taller than the offscreens";
  int16_t a, h, up, down;
  GetSizeMetrics(Slot0(), 400, &a, &h, &up, &down);
  EXPECT_LE(bottom, height) << "inside its own line";
  EXPECT_EQ(height, h + 1);
}

}  // namespace
