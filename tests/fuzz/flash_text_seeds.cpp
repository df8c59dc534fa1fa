// Writes a seed corpus for fuzz_flash_text: each input is one selector byte
// (group size and flag) followed by a UTF-16LE integer list, which the
// target also reads as a score history. Usage: fuzz_flash_text_seeds DIR
#include <cstdio>
#include <string>

namespace {

bool WriteSeed(const std::string& dir, const char* name, unsigned char selector, const std::u16string& text) {
  const std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fputc(selector, f);
  for (char16_t c : text) {
    std::fputc(c & 0xFF, f);
    std::fputc(c >> 8, f);
  }
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  struct Seed {
    const char* name;
    unsigned char selector;  // bits 0-1: group size - 1; bit 2: flagged
    std::u16string text;
  } seeds[] = {
      {"single", 0, u"1,2,3,40,500"},
      {"pairs", 1, u"1,2,3,4,-5,6"},
      {"flagged", 4 | 2, u"*1,2,3,4,5,6"},
      {"negative", 3, u"-1,-2,-3,-4"},
      {"history", 0, u"AaBbCc1234"},
      {"empty", 0, u""},
  };
  for (const Seed& s : seeds) {
    if (!WriteSeed(dir, s.name, s.selector, s.text)) {
      std::perror(s.name);
      return 1;
    }
  }
  return 0;
}
