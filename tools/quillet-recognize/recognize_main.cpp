// quillet-recognize FILE [--flags N]: runs the recogniser on every sample of
// FILE (CHAR<TAB>STROKES) and prints CHAR<TAB> and up to 10 candidates.
#include <cstdio>
#include <cstdlib>
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
  std::vector<InkSample> samples;
  if (!ReadInkFile(path, &samples)) {
    std::fprintf(stderr, "quillet-recognize: cannot read %s\n", path.c_str());
    return 1;
  }
  for (const InkSample& s : samples) {
    const std::vector<int16_t> ink = ToInkPoints(s.strokes);
    uint16_t out[11] = {};
    const int n = HWRecognize(ink.data(), out, 10, flags);
    std::u32string line = s.character + U"\t";
    for (int i = 0; i < n; ++i) {
      if (i) line += U' ';
      line += static_cast<char32_t>(out[i]);
    }
    std::printf("%s\n", ToUtf8(line).c_str());
  }
  return 0;
}
