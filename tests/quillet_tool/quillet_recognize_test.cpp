// quillet-recognize over inputs the test makes: readable sample files with
// lines that are not samples, and inputs that cannot be read at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "tests/support/temp_device_root.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exitCode = -1;
  std::string out, err;
};

ToolRun Recognize(const fs::path& input, const fs::path& errFile) {
  const std::string command =
      std::string("'") + QUILLET_RECOGNIZE_TOOL + "' '" + input.string() + "' 2>'" + errFile.string() + "'";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errFile);
  std::stringstream text;
  text << err.rdbuf();
  run.err = text.str();
  return run;
}

size_t Lines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

TEST(QuilletRecognize, LinesThatAreNotSamplesAreCountedAndReported) {
  TempDeviceRoot temp;
  const fs::path dir = temp.path();
  struct Case {
    const char* text;
    size_t results;
    const char* report;  // null: nothing on stderr
  } cases[] = {
      {"一\t50,150 150,148 250,150\n", 1, nullptr},
      {"# a comment\n\n一\t50,150 150,148 250,150\r\n", 1, nullptr},
      {"一\t50,150 150,148 250,150\n十\t40,120 oops\nno tab at all\n", 1, "skipped 2 line(s)"},
      {"\t50,150\n", 0, "skipped 1 line(s)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::ofstream(dir / "ink.txt", std::ios::binary) << c.text;
    const ToolRun run = Recognize(dir / "ink.txt", dir / "err.txt");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), c.results) << run.out;
    if (c.report) EXPECT_NE(run.err.find(c.report), std::string::npos) << run.err;
    else
      EXPECT_EQ(run.err, "");
  }
}

TEST(QuilletRecognize, AnInputThatCannotBeReadFailsWithAMessage) {
  TempDeviceRoot temp;
  const fs::path dir = temp.path();
  struct Case {
    const char* what;
    std::function<fs::path()> make;
  } cases[] = {
      {"a folder",
       [&] {
         fs::create_directory(dir / "folder");
         return dir / "folder";
       }},
      {"a missing file", [&] { return dir / "missing.txt"; }},
      {"a FIFO",
       [&] {
         mkfifo((dir / "fifo").c_str(), 0600);
         return dir / "fifo";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run = Recognize(c.make(), dir / "err.txt");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
  }
}

}  // namespace
