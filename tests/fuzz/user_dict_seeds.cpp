// Writes a seed corpus for fuzz_user_dict: user-dictionary databases made
// by the engine (an empty one, and Chinese and English ones with entries and
// their search index). Usage: fuzz_user_dict_seeds DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "resources/resources.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Entry {
  const char16_t *word, *altword, *pron, *defn;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_user_dict_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string root = dir + "/.user-dict-root";
  std::filesystem::create_directories(root + "/My Documents");
  SetDeviceRoot(root.c_str());
  RegisterSorviResources();
  EngineParams params{};
  params.noFonts = 1;
  params.noFlashcards = 1;
  params.userFolder = "\\My Documents\\";
  params.userExtension = ".kvb";
  DictEngine* engine = CreateEngine(nullptr, 0, &params);
  if (!engine) return 1;
  bool ok = CreateUserDictFileNamed(engine, kLanguageChinese, 65535, u"Empty") == 0;
  ok = ok && CreateUserDictFileNamed(engine, kLanguageChinese, 65535, u"Chinese") == 0;
  const uint16_t chinese = static_cast<uint16_t>(engine->slotCount - 1);
  const Entry chineseEntries[] = {
      {u"你好", u"你好", u"ni3 hao3", u"hello; hi"},
      {u"中国", u"中國", u"Zhong1 guo2", u"China"},
      {u"好", nullptr, u"hao3", u"good\nwell"},
  };
  for (const Entry& e : chineseEntries)
    ok = ok && AddUserDictEntry(engine, chinese, e.word, e.altword, e.pron, e.defn) > 0;
  ok = ok && CreateUserDictFileNamed(engine, kLanguageEnglish, 65535, u"English") == 0;
  const uint16_t english = static_cast<uint16_t>(engine->slotCount - 1);
  ok = ok && AddUserDictEntry(engine, english, u"hello", nullptr, nullptr, u"你好") > 0;
  ok = ok && AddUserDictEntry(engine, english, u"good", nullptr, nullptr, u"好") > 0;
  FreeEngineSaveBlock(DestroyEngine(engine));
  for (const char* name : {"Empty", "Chinese", "English"}) {
    std::ifstream in(root + "/My Documents/" + name + ".kvb", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ok = !bytes.empty() && fuzz::WriteSeed(dir, std::string(name) + ".kvb", bytes.data(), bytes.size()) && ok;
  }
  std::filesystem::remove_all(root);
  if (!ok) std::fprintf(stderr, "the user dictionaries were not all made\n");
  return ok ? 0 : 1;
}
