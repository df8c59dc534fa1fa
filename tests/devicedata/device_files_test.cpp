// The device files built through the pipeline from committed excerpts (and
// two or three clips spoken at test time), each checked by the program's
// reader; and the checks themselves catching files that read back wrong.
#include "tools/devicedata/device_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "resources/syllables.h"
#include "tools/databuild/code_page_tables.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/devicedata/device_check.h"
#include "tools/devicedata/stroke_outline.h"

namespace devicedata {
namespace {

namespace fs = std::filesystem;
namespace db = databuild;

class DeviceFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sorvi-devicedata-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Writes the file alone in a folder of its own (the check makes that folder the device root).
  std::string Write(const db::DataFileSpec& desc, const std::string& name) {
    fs::create_directories(dir_ / name);
    const std::string path = (dir_ / name / name).string();
    std::string error;
    EXPECT_EQ(db::WriteDataFile(desc, path, &error), 0) << error;
    return path;
  }

  fs::path dir_;
};

const std::string kExcerpts = SORVI_DEVICEDATA_EXCERPTS;

std::string ReadText(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// ---- stroke order ----

TEST_F(DeviceFilesTest, StrokeFileFromTheExcerpt) {
  db::DataFileSpec file;
  db::StrokeIndexSpec index;
  StrokeBuildStats st;
  std::string error;
  ASSERT_EQ(BuildStrokeFile(kExcerpts + "/hanzi-writer-data", u"Notice", &file, &index, &st, &error), 0) << error;
  EXPECT_EQ(st.characters, 4u);
  EXPECT_EQ(st.skipped, 0u);
  EXPECT_EQ(file.notice, u"Notice");
  ASSERT_EQ(index.records.size(), 4u);
  EXPECT_EQ(index.designWidth, kStrokeDesignSize);
  std::set<std::uint32_t> codes;
  for (const auto& r : index.records) codes.insert(r.code);
  EXPECT_EQ(codes, (std::set<std::uint32_t>{0x4E00, 0x4E2D, 0x4E36, 0x6C38}));
  // 中 has four strokes, 一 one: each ends with its own end pair.
  for (const auto& r : index.records) {
    std::size_t ends = 0;
    for (std::size_t i = 0; i + 1 < r.items.size(); i += 2) ends += r.items[i] == 65535 && r.items[i + 1] == 0;
    const std::size_t want = r.code == 0x4E2D ? 4 : r.code == 0x4E00 ? 1 : r.code == 0x6C38 ? 5 : 1;
    EXPECT_EQ(ends, want) << r.code;
  }
  const std::string path = Write(file, "s2stroke.pdb");
  EXPECT_EQ(CheckStrokeFile(path, index, &error), 0) << error;
}

TEST_F(DeviceFilesTest, StrokeCheckCatchesARecordThatReadsBackDifferent) {
  db::DataFileSpec file;
  db::StrokeIndexSpec index;
  std::string error;
  ASSERT_EQ(BuildStrokeFile(kExcerpts + "/hanzi-writer-data", u"", &file, &index, nullptr, &error), 0) << error;
  const std::string path = Write(file, "s2stroke.pdb");
  db::StrokeIndexSpec other = index;
  other.records[1].items[0] ^= 1;
  EXPECT_EQ(CheckStrokeFile(path, other, &error), 1);
  EXPECT_NE(error.find("reads back different"), std::string::npos) << error;
  other = index;
  other.records.push_back({0x4E01, {1, 2, 65535, 65535}});
  EXPECT_EQ(CheckStrokeFile(path, other, &error), 1);
  EXPECT_NE(error.find("U+4E01"), std::string::npos) << error;
}

TEST_F(DeviceFilesTest, BadStrokeSourceFailsWithItsName) {
  const fs::path src = dir_ / "src";
  fs::create_directories(src);
  fs::copy_file(kExcerpts + "/hanzi-writer-data/中.json", src / "中.json");
  std::ofstream(src / "一.json") << R"({"strokes": ["M 0 0 L 10 0 L 10 10 Z"], "medians": []})";
  db::DataFileSpec file;
  std::string error;
  EXPECT_EQ(BuildStrokeFile(src.string(), u"", &file, nullptr, nullptr, &error), 1);
  EXPECT_NE(error.find("一.json"), std::string::npos) << error;
  EXPECT_NE(error.find("medians"), std::string::npos) << error;

  std::ofstream(src / "一.json", std::ios::trunc) << R"({"strokes": ["M 0 0 L 10 0 L 10 10 Z"], )";
  EXPECT_EQ(BuildStrokeFile(src.string(), u"", &file, nullptr, nullptr, &error), 1);
  EXPECT_NE(error.find("bad JSON"), std::string::npos) << error;

  fs::remove(src / "一.json");
  fs::remove(src / "中.json");
  EXPECT_EQ(BuildStrokeFile(src.string(), u"", &file, nullptr, nullptr, &error), 1);
  EXPECT_EQ(BuildStrokeFile((dir_ / "none").string(), u"", &file, nullptr, nullptr, &error), 1);
}

TEST_F(DeviceFilesTest, CharactersTheBoxCannotHoldAreLeftOut) {
  const fs::path src = dir_ / "src";
  fs::create_directories(src);
  fs::copy_file(kExcerpts + "/hanzi-writer-data/中.json", src / "中.json");
  // 51 strokes, and a character outside the BMP.
  std::string strokes, medians;
  for (int i = 0; i < 51; ++i) {
    strokes += std::string(i ? "," : "") + "\"M 0 0 L 100 0 L 100 10 L 0 10 Z\"";
    medians += std::string(i ? "," : "") + "[[5, 5], [95, 5]]";
  }
  std::ofstream(src / "龘.json") << "{\"strokes\": [" << strokes << "], \"medians\": [" << medians << "]}";
  fs::copy_file(kExcerpts + "/hanzi-writer-data/一.json", src / "\xF0\xA0\x80\x80.json");
  db::DataFileSpec file;
  db::StrokeIndexSpec index;
  StrokeBuildStats st;
  std::string error;
  ASSERT_EQ(BuildStrokeFile(src.string(), u"", &file, &index, &st, &error), 0) << error;
  EXPECT_EQ(st.characters, 1u);
  EXPECT_EQ(st.skipped, 2u);
  ASSERT_EQ(index.records.size(), 1u);
  EXPECT_EQ(index.records[0].code, 0x4E2Du);
}

TEST_F(DeviceFilesTest, SourceRecordOfOneCharacter) {
  std::vector<std::uint16_t> items;
  std::string error;
  ASSERT_EQ(ReadStrokeSource(ReadText(kExcerpts + "/hanzi-writer-data/一.json"), &items, &error), 0) << error;
  // One stroke, written left to right: it starts at its left end.
  ASSERT_GE(items.size(), 8u);
  EXPECT_EQ(items[items.size() - 1], 65535);
  EXPECT_EQ(items[items.size() - 2], 65535);
  EXPECT_EQ(items[items.size() - 3], 0);
  EXPECT_EQ(items[items.size() - 4], 65535);
  const std::size_t points = (items.size() - 4) / 2;
  EXPECT_EQ(points % 2, 1u);
  EXPECT_LT(items[0], items[(points / 2) * 2]);
  EXPECT_EQ(items[0], items[items.size() - 6]);
  EXPECT_EQ(items[1], items[items.size() - 5]);
  EXPECT_EQ(ReadStrokeSource("{\"strokes\": [\"M 0 0\"], \"medians\": [[[1, 1]]]}", &items, &error), 1);
  EXPECT_EQ(ReadStrokeSource("{\"strokes\": [], \"medians\": [[[1, 1]]]}", &items, &error), 1);
  EXPECT_EQ(ReadStrokeSource("[]", &items, &error), 1);
}

// ---- pronunciation audio ----

TEST(ClipNamesTest, EveryToneOfEachSyllableMandarinUses) {
  const std::vector<ClipName> names = MandarinClipNames();
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kZhuyinSyllableCount) * 5);
  std::set<std::string> seen;
  std::set<std::u16string> keys;
  for (const ClipName& n : names) {
    EXPECT_TRUE(seen.insert(n.name).second) << n.name;
    EXPECT_TRUE(keys.insert(ClipKey(n.syllable, n.tone)).second) << n.name;
    EXPECT_FALSE(SyllableZhuyin(n.syllable).empty()) << n.name;
    EXPECT_EQ(n.name, std::string(SyllableSpelling(n.syllable)) + std::to_string(n.tone == 0 ? 5 : n.tone));
  }
  for (const char* n : {"zhong1", "ma5", "lv4", "er2", "a1"}) EXPECT_TRUE(seen.count(n)) << n;
  EXPECT_EQ(ClipKey(FindSyllable("ni"), 3), std::u16string(1, static_cast<char16_t>(0xE000 + 5 * FindSyllable("ni") + 3)));
  EXPECT_EQ(ClipKey(FindSyllable("ma"), 0)[0] % 5, (0xE000 % 5));
}

// Reads the sample rate and channels of an Ogg Vorbis file's first packet.
bool VorbisFormat(const std::string& bytes, unsigned* channels, unsigned* rate) {
  if (bytes.size() < 28 || bytes.compare(0, 4, "OggS") != 0) return false;
  const std::size_t segments = static_cast<unsigned char>(bytes[26]);
  const std::size_t at = 27 + segments;
  if (bytes.size() < at + 16 || bytes[at] != 1 || bytes.compare(at + 1, 6, "vorbis") != 0) return false;
  *channels = static_cast<unsigned char>(bytes[at + 11]);
  *rate = 0;
  for (int i = 3; i >= 0; --i) *rate = *rate * 256 + static_cast<unsigned char>(bytes[at + 12 + i]);
  return true;
}

TEST_F(DeviceFilesTest, SpokenClipsMakeAnAudioFile) {
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  const std::string cmd = std::string("'") + SORVI_MAKE_CLIPS + "' '" + clips.string() + "' 16000 ma1 lv4 ma5";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << "needs espeak-ng and oggenc (vorbis-tools)";
  std::vector<ClipName> names;
  for (const ClipName& n : MandarinClipNames()) {
    if (n.name == "ma1" || n.name == "lv4" || n.name == "ma5") names.push_back(n);
  }
  ASSERT_EQ(names.size(), 3u);
  for (const ClipName& n : names) {
    unsigned channels = 0, rate = 0;
    const std::string bytes = ReadText(clips / (n.name + ".ogg"));
    ASSERT_TRUE(VorbisFormat(bytes, &channels, &rate)) << n.name;
    EXPECT_EQ(channels, 1u) << n.name;
    EXPECT_EQ(rate, 16000u) << n.name;
    EXPECT_GT(bytes.size(), 1000u) << n.name;  // headers and some sound
  }
  EXPECT_TRUE(fs::is_empty(clips) == false);
  for (const auto& e : fs::directory_iterator(clips)) {
    EXPECT_NE(e.path().filename().string()[0], '.') << "no temporary file left: " << e.path();
  }

  db::DataFileSpec file;
  db::AudioGroupSpec group;
  AudioBuildStats st;
  std::string error;
  ASSERT_EQ(BuildAudioFile(clips.string(), names, 16000, u"Audio notice", &file, &group, &st, &error), 0) << error;
  EXPECT_EQ(st.clips, 3u);
  EXPECT_EQ(group.kind, 16000);
  const std::string path = Write(file, "s2audio.pdb");
  EXPECT_EQ(CheckAudioFile(path, group, &error), 0) << error;

  // The check catches a clip that reads back different and a kind that differs.
  db::AudioGroupSpec other = group;
  other.clips[2].data.back() ^= 1;
  EXPECT_EQ(CheckAudioFile(path, other, &error), 1);
  other = group;
  other.kind = 22050;
  EXPECT_EQ(CheckAudioFile(path, other, &error), 1);
}

TEST_F(DeviceFilesTest, MissingOrBadClipsFailTheAudioFile) {
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  const std::vector<ClipName> all = MandarinClipNames();
  std::vector<ClipName> names(all.begin(), all.begin() + 2);
  std::ofstream(clips / (names[0].name + ".ogg")) << "OggS and more";
  db::DataFileSpec file;
  std::string error;
  EXPECT_EQ(BuildAudioFile(clips.string(), names, 16000, u"", &file, nullptr, nullptr, &error), 1);
  EXPECT_NE(error.find(names[1].name + ".ogg"), std::string::npos) << error;
  std::ofstream(clips / (names[1].name + ".ogg")) << "RIFF....WAVE";
  EXPECT_EQ(BuildAudioFile(clips.string(), names, 16000, u"", &file, nullptr, nullptr, &error), 1);
  EXPECT_NE(error.find("not an Ogg"), std::string::npos) << error;
  std::ofstream(clips / (names[1].name + ".ogg"), std::ios::trunc) << "OggS";
  EXPECT_EQ(BuildAudioFile(clips.string(), names, 16000, u"", &file, nullptr, nullptr, &error), 0) << error;
  EXPECT_EQ(BuildAudioFile(clips.string(), names, 70000, u"", &file, nullptr, nullptr, &error), 1);
  EXPECT_EQ(BuildAudioFile(clips.string(), {}, 16000, u"", &file, nullptr, nullptr, &error), 1);
}

TEST_F(DeviceFilesTest, ManyClipsSpreadOverClipTables) {
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  const std::vector<ClipName> all = MandarinClipNames();
  std::vector<ClipName> names(all.begin(), all.begin() + kClipsPerTable + 3);
  for (const ClipName& n : names) std::ofstream(clips / (n.name + ".ogg")) << "OggS" << n.name;
  db::DataFileSpec file;
  db::AudioGroupSpec group;
  std::string error;
  ASSERT_EQ(BuildAudioFile(clips.string(), names, 16000, u"", &file, &group, nullptr, &error), 0) << error;
  ASSERT_EQ(file.tables.size(), 3u);  // the index and two clip tables
  EXPECT_EQ(file.tables[0].type, db::kTypeSyllableIndex);
  EXPECT_EQ(CheckAudioFile(Write(file, "s2audio.pdb"), group, &error), 0) << error;
}

// ---- code pages ----

TEST_F(DeviceFilesTest, CodePagesReadBackThroughTheEngine) {
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(BuildCodePageFile(&file, &error), 0) << error;
  EXPECT_EQ(file.tables.size(), 4u);
  std::vector<db::CodePageData> pages(2);
  ASSERT_EQ(db::GenerateCodePage(db::kCodePageGb2312, &pages[0], &error), 0) << error;
  ASSERT_EQ(db::GenerateCodePage(db::kCodePageBig5, &pages[1], &error), 0) << error;
  const std::string path = Write(file, "s2codes.pdb");
  EXPECT_EQ(CheckCodePageFile(path, pages, &error), 0) << error;
  // A table that says otherwise than the file is caught.
  std::vector<db::CodePageData> other = pages;
  for (char16_t& u : other[1].toUnicode) {
    if (u == u'中') u = u'申';
  }
  EXPECT_EQ(CheckCodePageFile(path, other, &error), 1);
  EXPECT_NE(error.find("code page 3"), std::string::npos) << error;
}

}  // namespace
}  // namespace devicedata
