// The text description of sorvi-databuild and the command itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "resources/syllables.h"
#include "tests/databuild/file_decoder.h"
#include "tools/databuild/description.h"

namespace db = databuild;

namespace {

db::DataFileSpec Parse(const std::string& text) {
  db::DataFileSpec draft;
  std::string error;
  EXPECT_EQ(db::ParseDataFileDescription(text, &draft, &error), 0) << error;
  return draft;
}

const char kSample[] = R"(# a small dictionary
file name="Tiny" type=SDDB short="Tiny" long="A tiny dictionary" notice="Made for tests"

table type=0x1010 version=2 flags=key16,sorted name="Words" name2="W" blockrows=2 info=01020304
column unit=2 sort=key
row key=20 text="twenty"
row key=10 text="ten"   # comment after a row
row key=015 words=0x41,66 hex=4300
subtable hex=deadbeef

table type=0x1020 flags=huffman,textindex zlib=finished indexskip=0 entries=9
column unit=1 sort=mode0
row text="cafe"
row text="Apple" index="apple!"

table type=0x1030 flags=bits
column unit=13
values 8191,0 4096
column unit=5 measured
row values=1,2,3
)";

}  // namespace

TEST(DatabuildDescription, SampleDescribesEveryPart) {
  const db::DataFileSpec s = Parse(kSample);
  EXPECT_EQ(s.containerName, "Tiny");
  EXPECT_EQ(s.containerType, db::kDbTypeDataAlt);
  EXPECT_EQ(s.shortName, u"Tiny");
  EXPECT_EQ(s.longName, u"A tiny dictionary");
  EXPECT_EQ(s.notice, u"Made for tests");
  ASSERT_EQ(s.tables.size(), 3u);

  const db::TableSpec& t0 = s.tables[0];
  EXPECT_EQ(t0.type, 0x1010u);
  EXPECT_EQ(t0.version, 2u);
  EXPECT_EQ(t0.flags, db::kTableKeyed | db::kTableSorted);
  EXPECT_EQ(t0.name1, u"Words");
  EXPECT_EQ(t0.name2, u"W");
  EXPECT_EQ(t0.maxBlockRows, 2u);
  EXPECT_EQ(t0.info, (db::ByteVec{1, 2, 3, 4}));
  EXPECT_EQ(t0.subtables, (std::vector<db::ByteVec>{{0xDE, 0xAD, 0xBE, 0xEF}}));
  ASSERT_EQ(t0.columns.size(), 1u);
  EXPECT_EQ(t0.columns[0].unitSize, 2u);
  const auto& rows = t0.columns[0].rows;
  ASSERT_EQ(rows.size(), 3u);  // sorted by key
  EXPECT_EQ(rows[0].key, 10u);
  EXPECT_EQ(rows[1].key, 15u);
  EXPECT_EQ(rows[1].bytes, (db::ByteVec{0x41, 0, 66, 0, 0x43, 0}));
  EXPECT_EQ(rows[2].bytes, db::MakeTextRow(0, u"twenty").bytes);

  const db::TableSpec& t1 = s.tables[1];
  EXPECT_EQ(t1.flags, db::kTableHuffmanText | db::kTableTextIndex | db::kTableZlib);
  EXPECT_EQ(t1.zlibEnd, db::ZlibEnd::Finished);
  EXPECT_TRUE(t1.hasEntryCount);
  EXPECT_EQ(t1.entryCount, 9u);
  ASSERT_EQ(t1.columns[0].rows.size(), 2u);  // sorted by letter key
  EXPECT_EQ(t1.columns[0].rows[0].text, u"Apple");
  EXPECT_EQ(t1.columns[0].rows[0].indexText, u"apple!");
  EXPECT_TRUE(t1.columns[0].rows[0].bytes.empty());

  const db::TableSpec& t2 = s.tables[2];
  EXPECT_EQ(t2.flags, db::kTableBitPacked);
  EXPECT_EQ(t2.columns[0].values, (std::vector<std::uint32_t>{8191, 0, 4096}));
  EXPECT_TRUE(t2.columns[1].lengthsMeasured);
  EXPECT_EQ(t2.columns[1].rows[0].values, (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST(DatabuildDescription, QuotedTextEscapesAndSyllables) {
  const db::DataFileSpec s =
      Parse("file short=\"a\\\"b\\\\c\\n\\u4E2D\\{ni3}\\{zuo}\\{lv4}\\{ma5}\" long=\"\xE4\xB8\xAD\xF0\x9F\x98\x80\"\n");
  const int ni = FindSyllable("ni");
  ASSERT_GE(ni, 0);
  std::u16string expect = u"a\"b\\c\n\u4E2D";
  expect.push_back(static_cast<char16_t>(0xE000 + 5 * ni + 3));
  expect.push_back(static_cast<char16_t>(0xE000 + 5 * FindSyllable("zuo")));
  expect.push_back(static_cast<char16_t>(0xE000 + 5 * FindSyllable("lv") + 4));
  expect.push_back(static_cast<char16_t>(0xE000 + 5 * FindSyllable("ma")));
  EXPECT_EQ(s.shortName, expect);
  EXPECT_EQ(s.longName, u"\u4E2D\U0001F600");

  // A byte-order mark and CR LF line ends are taken in stride.
  const db::DataFileSpec crlf = Parse("\xEF\xBB\xBF" "file short=\"x\"\r\ntable type=5\r\n");
  EXPECT_EQ(crlf.shortName, u"x");
  ASSERT_EQ(crlf.tables.size(), 1u);
  EXPECT_EQ(crlf.tables[0].type, 5u);
}

TEST(DatabuildDescription, ErrorsNameTheirLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"table type=1\nfrobnicate x=1\n", "line 2: unknown directive"},
      {"table type=1 flags=key16,bogus\n", "line 1: unknown flag \"bogus\""},
      {"file short=\"open\n", "line 1: unterminated"},
      {"table type=1\nrow key=1\n", "line 2: \"row\" outside a column"},
      {"column unit=1\n", "line 1: \"column\" outside a table"},
      {"table version=1\n", "line 1: a table needs type="},
      {"table type=1\ncolumn unit=1\nrow text=\"\\{xx3}\"\n", "line 3: unknown syllable"},
      {"table type=1\ncolumn unit=1\nrow key=-4\n", "line 3: bad key"},
      {"table type=1\ncolumn unit=1\nrow key=0x1G\n", "line 3: bad key"},
      {"table type=1\ncolumn unit=1\nrow key=4294967296\n", "line 3: bad key"},
      {"table type=1\ncolumn unit=1\nrow hex=abc\n", "line 3: odd number"},
      {"table type=1\nfile name=x\n", "line 2: \"file\" comes once"},
      {"table type=1 zlib=maybe\n", "zlib=finished or zlib=unfinished"},
      {"table type=1 flags=huffman\ncolumn\nrow hex=00\n", "line 3: Huffman-coded rows"},
      {"\"quoted\" x=1\n", "line 1: a line starts with its directive"},
      // Descriptions that once passed without a word.
      {"table type=1 blockrows=0\n", "line 1: blockrows= takes 1 or more"},
      {"file\ndictionary creator=1 id=1 blockrows=0\n", "line 2: blockrows= takes 1 or more"},
      {"table type=1\ncolumn unit=1 sort=mode99\n", "line 2: sort=modeN takes mode 0, 5, 6 or 7"},
      {"table type=1\ncolumn unit=1 sort=mode3\n", "line 2: sort=modeN takes mode 0, 5, 6 or 7"},
      {"table type=1 flags=key16\ncolumn unit=4\nrow key=1 values=1,2\n", "line 3: values= is for a table with flags=bits"},
      {"dictionary creator=1 id=1 secondary=99\nfield name=\"Headword\"\ntable type=1\n",
       "line 3: the dictionary of line 1: secondary=99 is past its 1 field(s)"},
      {"dictionary creator=1 id=1 secondary=1\nfield name=\"Headword\"\n", "the dictionary of line 1: secondary=1"},
      {"file short=\"a\\0b\"\n", "line 1: \"short\" holds a NUL"},
      {"file long=\"a\\u0000\"\n", "line 1: \"long\" holds a NUL"},
      {"table type=1 name=\"\\uD800x\"\n", "line 1: \"name\" holds an unpaired surrogate"},
      {"file name=ab\xFF\n", "line 1: malformed UTF-8"},
      {"dictionary creator=1 id=1 menu=\"x\\0\"\n", "line 1: \"menu\" holds a NUL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    db::DataFileSpec draft;
    std::string error;
    EXPECT_EQ(db::ParseDataFileDescription(c.text, &draft, &error), 1);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

#ifdef SORVI_DATABUILD_EXE
TEST(DatabuildCommand, WritesTheDescribedFileAndReportsBadInput) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("databuild-cli-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string desc = (dir / "tiny.txt").string();
  const std::string out = (dir / "tiny.pdb").string();
  std::ofstream(desc) << kSample;
  const std::string cmd = std::string(SORVI_DATABUILD_EXE) + " " + desc + " " + out;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(out, std::ios::binary);
  const db::ByteVec written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  db::ByteVec expect;
  std::string error;
  ASSERT_EQ(db::BuildDataFile(Parse(kSample), &expect, nullptr, &error), 0) << error;
  EXPECT_EQ(written, expect);
  EXPECT_EQ(dectest::ContainerRecords(written).size(), db::GetU16BE(&written[76]));

  // Faults of the whole description, each named by its line.
  const struct {
    const char* text;
    const char* message;
  } bad[] = {
      {"file short=\"x\"\ntable type=1\nnonsense\n", "line 3: unknown directive"},
      {"", "line 1: an empty description"},
      {"# only a comment\n\n", "line 2: an empty description"},
      {"\n# the file line is missing\ntable type=1\n", "line 3: the description starts without its \"file\""},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.text);
    std::ofstream(desc) << b.text;
    const int rc = std::system((cmd + " 2>" + (dir / "err.txt").string()).c_str());
    EXPECT_NE(rc, 0);
    std::ifstream err(dir / "err.txt");
    const std::string message((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    EXPECT_NE(message.find(b.message), std::string::npos) << message;
  }
  std::filesystem::remove_all(dir);
}
#endif
