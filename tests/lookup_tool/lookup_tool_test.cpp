// sorvi-lookup over a device root made by the test: a small Chinese-English
// dictionary written by tools/databuild into "Program Files/Sorvi".
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_device_root.h"
#include "tests/engine_search/search_fixture.h"
#include "tools/databuild/data_file_builder.h"

namespace {

namespace fs = std::filesystem;
namespace db = databuild;

struct ToolRun {
  int exitCode = -1;
  std::string out;
  // The tab-separated columns of each row line.
  std::vector<std::vector<std::string>> rows;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

ToolRun RunTool(const std::vector<std::string>& args, const std::string& env = "") {
  std::string command = env + " " + Quote(SORVI_LOOKUP_TOOL);
  for (const std::string& a : args) command += " " + Quote(a);
  command += " 2>/dev/null";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) break;  // the definition follows an empty line
    std::vector<std::string> cols;
    std::istringstream fields(line);
    std::string col;
    while (std::getline(fields, col, '\t')) cols.push_back(col);
    if (cols.size() == 5) run.rows.push_back(cols);
  }
  return run;
}

class LookupTool : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<TempDeviceRoot>();
    root_ = temp_->path();
    fs::create_directories(root_ / "Program Files" / "Sorvi");
  }
  void TearDown() override { temp_.reset(); }

  void WriteDictionary() {
    using searchfix::Row;
    const std::vector<searchfix::CedictRow> rows = {
        Row(u"你", u"你", "ni3", {u"you (informal)"}),
        Row(u"好", u"好", "hao3", {u"good", u"well"}),
        Row(u"好", u"好", "hao4", {u"to be fond of"}),
        Row(u"你好", u"你好", "ni3 hao3", {u"hello; hi"}),
        Row(u"您好", u"您好", "nin2 hao3", {u"hello (polite)"}),
        Row(u"喂", u"喂", "wei2", {u"hello (when answering the phone)"}),
        Row(u"中国", u"中國", "Zhong1 guo2", {u"China"}),
        Row(u"中", u"中", "zhong1", {u"within; among"}),
        Row(u"泥", u"泥", "ni2", {u"mud"}),
        Row(u"号", u"號", "hao4", {u"number"}),
        Row(u"绿", u"綠", "lu:4", {u"green"}),
    };
    db::DictionarySpec dict = searchfix::ChineseDict(rows, 1, u"Test");
    db::DataFileSpec file;
    file.shortName = u"Test";
    std::string error;
    ASSERT_EQ(db::AddDictionaryTables(dict, &file, &error), 0) << error;
    db::ByteVec bytes;
    ASSERT_EQ(db::BuildDataFile(file, &bytes, nullptr, &error), 0) << error;
    std::ofstream(root_ / "Program Files" / "Sorvi" / "test.pdb", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  std::string Root() const { return root_.string(); }

  std::unique_ptr<TempDeviceRoot> temp_;

  fs::path root_;
};

TEST_F(LookupTool, FindsTheWordByCharactersPinyinAndEnglish) {
  WriteDictionary();
  struct Case {
    std::vector<std::string> query;
  } cases[] = {{{"你好"}}, {{"nihao"}}, {{"ni3 hao3"}}, {{"ni3", "hao3"}}, {{"hello"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query[0]);
    std::vector<std::string> args = {"--root", Root()};
    args.insert(args.end(), c.query.begin(), c.query.end());
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    ASSERT_FALSE(run.rows.empty()) << run.out;
    bool found = false;
    for (size_t i = 0; i < run.rows.size() && i < 3; ++i) {
      const auto& r = run.rows[i];
      EXPECT_EQ(r[0], std::to_string(i));
      EXPECT_EQ(r[1], "Test");
      if (r[2] == "你好") {
        found = true;
        EXPECT_EQ(r[3], "nǐhǎo");
        EXPECT_EQ(r[4], "hello; hi");
      }
    }
    EXPECT_TRUE(found) << run.out;
  }
}

TEST_F(LookupTool, EntryPrintsThePlainDefinition) {
  WriteDictionary();
  const ToolRun run = RunTool({"--root", Root(), "--entry", "0", "你好"});
  ASSERT_EQ(run.exitCode, 0) << run.out;
  const size_t gap = run.out.find("\n\n");
  ASSERT_NE(gap, std::string::npos) << run.out;
  const std::string definition = run.out.substr(gap + 2);
  EXPECT_NE(definition.find("你好"), std::string::npos) << definition;
  EXPECT_NE(definition.find("nǐhǎo"), std::string::npos) << definition;
  EXPECT_NE(definition.find("hello; hi"), std::string::npos) << definition;
  // No private-use unit (U+E000-U+F8FF: UTF-8 EE 80 80 - EF A3 BF) is left.
  for (size_t i = 0; i < definition.size(); ++i) {
    const auto b = static_cast<unsigned char>(definition[i]);
    const bool privateUse =
        b == 0xEE || (b == 0xEF && i + 1 < definition.size() && static_cast<unsigned char>(definition[i + 1]) < 0xA4);
    EXPECT_FALSE(privateUse) << "private-use unit at byte " << i << ": " << definition;
  }
  // Tone numbers on request.
  const ToolRun numbers = RunTool({"--root", Root(), "--numbers", "--entry", "0", "你好"});
  ASSERT_FALSE(numbers.rows.empty()) << numbers.out;
  EXPECT_EQ(numbers.rows[0][3], "ni3hao3");
  // The environment names the root when no --root is given.
  const ToolRun byEnv = RunTool({"hao"}, "SORVI_ROOT=" + Quote(Root()));
  EXPECT_EQ(byEnv.exitCode, 0) << byEnv.out;
  EXPECT_GE(byEnv.rows.size(), 2u);
}

TEST_F(LookupTool, BadArgumentsAndMissingDataExitWith2) {
  WriteDictionary();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {"no query", {"--root", Root()}, 2},
      {"unknown option", {"--root", Root(), "--bogus", "hao"}, 2},
      {"root without value", {"--root"}, 2},
      {"entry not a number", {"--root", Root(), "--entry", "x", "hao"}, 2},
      {"entry past the rows", {"--root", Root(), "--entry", "40", "hao"}, 2},
      {"missing root", {"--root", Root() + "/nowhere", "hao"}, 2},
      {"no data folder", {"--root", (root_ / "Program Files").string(), "hao"}, 2},
      {"no matches", {"--root", Root(), "qqqxxx"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunTool(c.args).exitCode, c.exitCode);
  }
}

// Whether any of the first rows is the headword.
bool HasHeadword(const ToolRun& run, const std::string& headword) {
  for (size_t i = 0; i < run.rows.size() && i < 3; ++i)
    if (run.rows[i][2] == headword) return true;
  return false;
}

TEST_F(LookupTool, QueriesAreTakenAsTheMainWindowsFieldTakesThem) {
  WriteDictionary();
  struct Case {
    const char* query;
    const char* headword;  // null: nothing matches
    const char* why;
  } cases[] = {
      {"nǐhǎo", "你好", "tone marks become tone digits"},
      {"zhōngguó", "中国", "also on a word with a capital in the data"},
      {"Nǐ", "你", "a capital tone-marked letter"},
      {"lǜ", "绿", "ü with a tone mark"},
      {"lü", "绿", "ü without one"},
      {"LÜ", "绿", "a capital Ü is the same letter"},
      {"#", nullptr, "the full-text prefix alone searches nothing"},
      {"\xEE\x80\x80", nullptr, "a lone private-use unit is no text"},
      {"\xEF\xA3\xBF", nullptr, "nor the last one"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.why) + ": " + c.query);
    const ToolRun run = RunTool({"--root", Root(), c.query});
    if (!c.headword) {
      EXPECT_EQ(run.exitCode, 1) << run.out;
      EXPECT_TRUE(run.rows.empty()) << run.out;
      continue;
    }
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(HasHeadword(run, c.headword)) << run.out;
  }
}

TEST_F(LookupTool, DataFilesThatAreLinksAreFound) {
  WriteDictionary();
  // The real files live elsewhere; the device root holds only links to them,
  // one of them in a sub-folder.
  const fs::path store = root_ / "elsewhere";
  fs::create_directories(store);
  const fs::path data = root_ / "Program Files" / "Sorvi";
  fs::rename(data / "test.pdb", store / "test.pdb");
  fs::copy_file(store / "test.pdb", store / "copy.pdb");
  fs::create_symlink(store / "test.pdb", data / "test.pdb");
  fs::create_directories(data / "more");
  fs::create_symlink(fs::relative(store / "copy.pdb", data / "more"), data / "more" / "copy.pdb");
  const ToolRun run = RunTool({"--root", Root(), "你好"});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_TRUE(HasHeadword(run, "你好")) << run.out;
}

TEST_F(LookupTool, ARootWithoutDataIsLeftAsItWas) {
  struct Case {
    const char* why;
    std::function<void(const fs::path& folder)> make;
  } cases[] = {
      {"an empty folder", [](const fs::path&) {}},
      {"a folder of other things", [](const fs::path& f) { std::ofstream(f / "notes.txt") << "x"; }},
      {"Program Files without Sorvi", [](const fs::path& f) { fs::create_directories(f / "Program Files"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const fs::path folder = root_ / "other";
    fs::remove_all(folder);
    fs::create_directories(folder);
    c.make(folder);
    std::vector<fs::path> before;
    for (const auto& e : fs::recursive_directory_iterator(folder)) before.push_back(e.path());
    EXPECT_EQ(RunTool({"--root", folder.string(), "hao"}).exitCode, 2);
    std::vector<fs::path> after;
    for (const auto& e : fs::recursive_directory_iterator(folder)) after.push_back(e.path());
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
  }
  // An empty root is an error, not the default root.
  WriteDictionary();
  EXPECT_EQ(RunTool({"--root", "", "hao"}, "SORVI_ROOT=" + Quote(Root())).exitCode, 2);
}

TEST_F(LookupTool, EmptyDataFolderExitsWith2) {
  const ToolRun run = RunTool({"--root", Root(), "hao"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(run.rows.empty());
}

}  // namespace
