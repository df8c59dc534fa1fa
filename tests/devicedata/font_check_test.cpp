// Font files checked as the program opens them (FreeType, face 0).
#include "tools/devicedata/font_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace devicedata {
namespace {

// From fonts-dejavu-core (in the Makefile's package list).
const char kDejaVu[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

TEST(FontCheckTest, OpensAFontWithTheCharactersAsked) {
  FontInfo info;
  std::string error;
  ASSERT_EQ(CheckFontFile(kDejaVu, u"Aaz09\u0101\u01DA", &info, &error), 0) << error;
  EXPECT_EQ(info.family, "DejaVu Sans");
  EXPECT_EQ(info.faces, 1);
  EXPECT_GT(info.glyphs, 1000);
}

TEST(FontCheckTest, AMissingCharacterOrABadFileFails) {
  std::string error;
  EXPECT_EQ(CheckFontFile(kDejaVu, u"A\u4E2D", nullptr, &error), 1);
  EXPECT_NE(error.find("U+4E2D"), std::string::npos) << error;
  const auto bad = std::filesystem::temp_directory_path() / ("sorvi-font-" + std::to_string(getpid()) + ".ttf");
  std::ofstream(bad) << "not a font";
  EXPECT_EQ(CheckFontFile(bad.string(), u"A", nullptr, &error), 1);
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
  std::filesystem::remove(bad);
  EXPECT_EQ(CheckFontFile(bad.string(), u"A", nullptr, &error), 1);
}

}  // namespace
}  // namespace devicedata
