// The coverage check of `make data` over the installed font list: passes
// with the list `make data` installs, and names what is missing without the
// CJK face.
#include "tools/devicedata/font_coverage.h"

#include <gtest/gtest.h>

#include "tests/support/toolkit_context.h"

namespace {

using toolkit_test::TestFonts;

TEST(FontCoverage, InstalledListCoversAndFailsWithoutTheCjkFace) {
  // The check is about the packages' full fonts as `make data` installs
  // them, not the tests' pinned subsets.
  TestFonts fonts(toolkit_test::TestFontSource::kSystem);
  if (!fonts.Has(toolkit_test::kCjk)) GTEST_SKIP() << "WenQuanYi Zen Hei (fonts-wqy-zenhei) is not installed";
  ASSERT_TRUE(fonts.Has(toolkit_test::kLatin));
  // The program's order: Latin pair, extra pair (the same DejaVu files, as
  // `make data` installs them), CJK face.
  std::vector<std::string> list = {fonts.Path(toolkit_test::kLatin), fonts.Path(toolkit_test::kLatinBold),
                                   fonts.Path(toolkit_test::kLatin), fonts.Path(toolkit_test::kLatinBold),
                                   fonts.Path(toolkit_test::kCjk)};
  int files = 0;
  std::string error;
  EXPECT_EQ(devicedata::CheckFontCoverage(list, &files, &error), 0) << error;
  EXPECT_EQ(files, 5);

  list.pop_back();
  EXPECT_EQ(devicedata::CheckFontCoverage(list, &files, &error), 1);
  EXPECT_NE(error.find("U+246A"), std::string::npos) << error;  // ⑪ comes from the CJK face only
  EXPECT_NE(error.find("U+3105"), std::string::npos) << error;  // so do the zhuyin letters
  EXPECT_EQ(error.find("U+01D0"), std::string::npos) << error;  // DejaVu has the pinyin letters

  // The CJK face alone lacks the superscripts that DejaVu supplies.
  EXPECT_EQ(devicedata::CheckFontCoverage({fonts.Path(toolkit_test::kCjk)}, &files, &error), 1);
  EXPECT_NE(error.find("U+2075"), std::string::npos) << error;
}

}  // namespace
