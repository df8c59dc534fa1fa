// Seeds of the user-dictionary import target: the import tests' text
// fixtures behind the four choice bytes, each once for the Chinese and once
// for the English dictionary (UTF-8, blocks of 7, the encoding check
// answered yes), plus a UTF-16LE file with its mark, written as
// DIR/<dictionary>-<n>.
#include <cstdio>
#include <string>

#include "tests/fuzz/fuzz_support.h"

namespace {

const char* const kTexts[] = {
    "\xE9\xB1\xBC\ty\xC3\xBA\tfish\n\xE9\xA9\xAC\tma3\thorse\n",
    "\xE4\xB8\xAD\xE5\x9B\xBD[\xE4\xB8\xAD\xE5\x9C\x8B]\tzhong1 guo2\tChina\tthe country\r\n",
    "tea[cup]\tCHA2 cha\tmore\n// Books/Lesson 1\nword\t\tdefinition\n",
    "\xEF\xBB\xBF\xE4\xBD\xA0\xE5\xA5\xBD\tn\xC7\x90h\xC7\x8Eo\thello\n\n\r\nx\n",
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  bool ok = true;
  for (int dict = 0; dict < 2; ++dict) {
    const char choices[] = {2, static_cast<char>(dict), 6, 0};
    int n = 0;
    for (const char* t : kTexts) {
      const std::string seed = std::string(choices, sizeof choices) + t;
      ok = fuzz::WriteSeed(argv[1], std::string(dict ? "english-" : "chinese-") + std::to_string(n++), seed.data(),
                           seed.size()) &&
           ok;
    }
  }
  // UTF-16LE with its mark: one Chinese line.
  const char16_t wide[] = u"\uFEFF\u732B\tmao1\tcat\n";
  std::string seed = {3, 0, 6, 0};
  for (const char16_t* u = wide; *u; ++u) {
    seed.push_back(static_cast<char>(*u & 0xFF));
    seed.push_back(static_cast<char>(*u >> 8));
  }
  ok = fuzz::WriteSeed(argv[1], "chinese-utf16le", seed.data(), seed.size()) && ok;
  return ok ? 0 : 1;
}
