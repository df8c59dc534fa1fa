#include "tools/devicedata/font_coverage.h"

#include <cstdio>

#include "toolkit/truetype_engine.h"

namespace devicedata {

std::u16string CoverageCharacters() {
  std::u16string s =
      u"āáǎàēéěèīíǐìōóǒòūúǔùǖǘǚǜüĀÁǍÀĒÉĚÈŌÓǑÒǕǗǙǛÜńňǹ"         // pinyin tone letters
      u"ˇˉˊˋ˙"                                                 // zhuyin tone marks
      u"·…∼"                                                   // U+00B7, U+2026, U+223C
      u"¹²³⁰⁴⁵⁶⁷⁸⁹"                                            // homograph digits
      u"ßäöüÄÖÜ§éèçàù°¨£µ²";                                   // German and French keys
  for (char16_t c = 0x2460; c <= 0x2473; ++c) s.push_back(c);  // ① to ⑳
  for (char16_t c = 0x3105; c <= 0x3129; ++c) s.push_back(c);  // zhuyin letters
  return s;
}

static std::string Utf8(char16_t c) {
  char out[4] = {};
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return std::string(out, 2);
  }
  out[0] = static_cast<char>(0xE0 | (c >> 12));
  out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (c & 0x3F));
  return std::string(out, 3);
}

int CheckFontCoverage(const std::vector<std::string>& devicePaths, int* files, std::string* error) {
  if (files) *files = 0;
  TrueTypeEngine* tt = CreateTrueTypeEngine(nullptr, kRenderDefault);
  if (!tt) {
    *error = "FreeType could not be started";
    return 1;
  }
  for (const std::string& path : devicePaths) AddFontFile(tt, path.c_str());
  if (files) *files = static_cast<int>(GetFontFileCount(tt));
  std::string missing;
  int count = 0;
  for (char16_t c : CoverageCharacters()) {
    for (int bold = 0; bold < 2; ++bold) {
      if (FindGlyph(tt, c, bold, 0, nullptr) != kNoFontFile) continue;
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      missing += (missing.empty() ? "" : ", ") + std::string(code) + " " + Utf8(c) + (bold ? " (bold)" : "");
      ++count;
    }
  }
  FreeTrueTypeEngine(tt);
  if (count == 0) return 0;
  *error = std::to_string(count) + " characters have no glyph in the installed fonts: " + missing;
  return 1;
}

}  // namespace devicedata
