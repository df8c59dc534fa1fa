// Seeds of both import targets: the test fixtures behind the four choice
// bytes (UTF-8, Chinese-English, blocks of 7, policy Merge/Create
// Blank/Prefer File, answer 0), written as DIR/text-* and DIR/xml-*. Each
// target reads both kinds: a text seed is a malformed XML file and the
// other way round.
#include <cstdio>
#include <string>

#include "tests/fuzz/fuzz_support.h"

namespace {

const char kChoices[] = {2, 1, 6, 1 | (1 << 4), 0};

const char* const kTexts[] = {
    "\xE4\xB8\xAD\xE5\x9B\xBD[\xE4\xB8\xAD\xE5\x9C\x8B]\tzhong1 guo2\tChina\r\n",
    "// Books/Lesson 1\n\xE5\xA5\xBD\thao3\tgood\n\xE5\xA5\xBD\thao3\tgood\n//\nx\tx1\n",
    "\xEF\xBB\xBF\xE4\xBD\xA0\xE5\xA5\xBD\tn\xC7\x90h\xC7\x8Eo\thello\n//One/Two/Three/Four\nd\t\tdeep\n",
};
const char* const kXml[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sorviflash formatversion=\"2\"><categories><category "
    "name=\"Books/Lesson 1\"/></categories><cards><card language=\"chinese\" created=\"5\"><entry><headword "
    "charset=\"sc\">\xE5\xA5\xBD</headword><headword charset=\"tc\">\xE5\xA5\xBD</headword><pron "
    "tones=\"numbers\">hao3</pron><defn>good</defn></entry><dictref dictcreator=\"5\" dictid=\"ABCD\" "
    "entryid=\"17\"/><scoreinfo scorefile=\"Mine\" score=\"250\" history=\"112Q\" priority=\"high\" "
    "forcepool=\"exclude\"/><scoreinfo score=\"120\"/><catassign category=\"Books/Lesson "
    "1\"/></card></cards></sorviflash>",
    "<sorviflash><cards><card language=\"english\"><entry><headword>tea</headword><defn>drink</defn></entry>"
    "</card><card><entry><pron tones=\"marks\">ch\xC3\xA1</pron></entry></card></cards></sorviflash>",
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  bool ok = true;
  int n = 0;
  for (const char* t : kTexts) {
    const std::string seed = std::string(kChoices, sizeof(kChoices)) + t;
    ok = fuzz::WriteSeed(argv[1], "text-" + std::to_string(n++), seed.data(), seed.size()) && ok;
  }
  n = 0;
  for (const char* t : kXml) {
    const std::string seed = std::string(kChoices, sizeof(kChoices)) + t;
    ok = fuzz::WriteSeed(argv[1], "xml-" + std::to_string(n++), seed.data(), seed.size()) && ok;
  }
  return ok ? 0 : 1;
}
