// quillet-recognize FILE [--flags N]: runs the recogniser on every sample of
// FILE (CHAR<TAB>STROKES) and prints CHAR<TAB> and up to 10 candidates.
// Blank lines and lines starting with '#' are skipped quietly; a line that is
// not a sample is skipped too and counted, and the count is reported on
// stderr. Exit code 0, 1 when FILE cannot be read (a folder, a device,
// missing), 2 for bad arguments.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "recognizer/quillet.h"
#include "tools/quillet-train/ink_text.h"

int main(int argc, char** argv) {
  using namespace quillet_tools;
  std::string path;
  uint32_t flags = 0x1 | 0x2 | 0x4 | 0x8;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--flags" && i + 1 < argc)
      flags = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
    else if (path.empty())
      path = a;
    else
      path.clear(), i = argc;
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: quillet-recognize FILE [--flags N]\n");
    return 2;
  }
  // A folder opens as a stream that reads nothing, and a FIFO or device may
  // never end: only a regular file is read.
  struct stat st;
  std::ifstream in;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    std::fprintf(stderr, "quillet-recognize: cannot read %s (not a readable file)\n", path.c_str());
    return 1;
  }
  std::string line;
  size_t number = 0, skipped = 0;
  InkSample s;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (!ParseInkLine(line, &s)) {
      if (skipped++ < 5) std::fprintf(stderr, "quillet-recognize: line %zu is not a sample\n", number);
      continue;
    }
    const std::vector<int16_t> ink = ToInkPoints(s.strokes);
    uint16_t out[11] = {};
    const int n = HWRecognize(ink.data(), out, 10, flags);
    std::u32string result = s.character + U"\t";
    for (int i = 0; i < n; ++i) {
      if (i) result += U' ';
      result += static_cast<char32_t>(out[i]);
    }
    std::printf("%s\n", ToUtf8(result).c_str());
  }
  if (in.bad()) {
    std::fprintf(stderr, "quillet-recognize: reading %s failed\n", path.c_str());
    return 1;
  }
  if (skipped) std::fprintf(stderr, "quillet-recognize: skipped %zu line(s) that are not samples\n", skipped);
  return 0;
}
