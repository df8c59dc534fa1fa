// The sorvi-firstgen command: the sample device root it writes, and a
// field set on the command line, read back through the converter.
#include <cstdlib>

#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;

int RunFirstgen(const std::string& args) { return std::system((std::string(SORVI_FIRSTGEN_EXE) + " " + args).c_str()); }

TEST_F(ReaderTest, SampleCommandWritesADeviceRootTheReaderOpens) {
  ASSERT_EQ(RunFirstgen("sample '" + root_.host() + "'"), 0);
  EXPECT_EQ(OfferFirstGenContainer(&set_, u"\\My Documents\\cedict.pdb", cache_), kFirstGenAdded);
  EXPECT_EQ(OfferFirstGenContainer(&set_, u"\\My Documents\\headwords.pdb", cache_), kFirstGenAdded);
  EXPECT_EQ(OfferFirstGenBundle(&set_, u"\\My Documents\\mywords.kve"), kFirstGenAdded);
  EXPECT_EQ(OfferFirstGenContainer(&set_, u"\\Program Files\\Old Sorvi Data\\userdata.pdb", cache_), kFirstGenAdded);
  EXPECT_EQ(set_.count, 3);
  ASSERT_NE(set_.userData, nullptr);
  EXPECT_EQ(GetUserListCount(set_.userData), 5u);
}

TEST_F(ReaderTest, SetWritesAFieldOfTheFinishedFile) {
  // The user file's header follows the container header (78), its record
  // list and the directory's table list; its flag count is at 36 of it.
  std::vector<firstgen::Bytes> records = Records(firstgen::UserFile(firstgen::SampleUserFile(CedictRows())));
  const size_t tables = (records[0][0] << 8) | records[0][1];
  const size_t flagCount = 78 + 8 * records.size() + 2 + 2 * tables + 36;
  ASSERT_EQ(
      RunFirstgen("write user-file '" + root_.Host("u.pdb") + "' --set " + std::to_string(flagCount) + ":2:40:le"), 0);
  ASSERT_EQ(RunFirstgen("write user-file '" + root_.Host("u.kve") + "' --bundle"), 0);
  ASSERT_EQ(OfferFirstGenContainer(&set_, u"\\u.pdb", cache_), kFirstGenAdded);
  ASSERT_NE(set_.userData, nullptr);
  EXPECT_EQ(GetUserFlagCount(set_.userData), kMaxUserFlags);
  CloseFirstGenDictSet(&set_);
  ASSERT_EQ(OfferFirstGenBundle(&set_, u"\\u.kve"), kFirstGenAdded);
  ASSERT_NE(set_.userData, nullptr);
  EXPECT_EQ(GetUserFlagCount(set_.userData), 3u);
  EXPECT_NE(RunFirstgen("write no-such-kind '" + root_.Host("x.pdb") + "' 2>/dev/null"), 0);
}

}  // namespace
}  // namespace reader_test
