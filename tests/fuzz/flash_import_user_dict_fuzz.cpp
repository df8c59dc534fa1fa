// Tab-separated text imported into a user dictionary (the import's second
// target): one engine for the whole run with a Chinese and an English user
// dictionary, each input imported into one of them and its import undone
// again, so that a run stays cheap and every input meets the same
// dictionaries. The first four input bytes choose the encoding, the
// dictionary and journal, the block size and the encoding-check answer.
// Nothing a file holds may make the import read out of bounds, loop
// forever, leak, or leave entries behind that its undo does not take back.
#include <cstdint>
#include <string>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/user_dict.h"
#include "engine/user_dict_import.h"
#include "flash/exchange_import.h"
#include "flash/store.h"
#include "tests/fuzz/flash_import_fuzz.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Target {
  DictEngine* engine = nullptr;
  uint16_t slots[2] = {65535, 65535};  // Chinese, English
};

Target& Dictionaries() {
  static EngineHost host{};
  static Target target = [] {
    Target t;
    std::filesystem::create_directories(fuzz::UsePrivateDeviceRoot() + "/My Documents");
    FillFlashcardHost(&host);
    EngineParams p{};
    p.noFonts = 1;
    p.noFlashcards = 1;
    p.host = &host;
    t.engine = CreateEngine(nullptr, 0, &p);
    if (!t.engine) return t;
    const uint32_t languages[2] = {kLanguageChinese, kLanguageEnglish};
    const char16_t* names[2] = {u"Fuzz Chinese", u"Fuzz English"};
    for (int i = 0; i < 2; ++i) {
      if (CreateUserDictFileNamed(t.engine, languages[i], 65535, names[i]) != 0) continue;
      t.slots[i] = FindDictByLanguages(t.engine, languages[i], 65535);
    }
    return t;
  }();
  return target;
}

uint32_t ScriptedAnswer(uint32_t kind, const void*, const void*, uint32_t count, uint32_t, void* data) {
  const auto answer = *static_cast<const uint8_t*>(data);
  if (kind == kImportAskEncoding) return answer == 0xFF ? 1 : 0;
  return count > 5000 ? 1 : 0;  // bounds one run
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Dictionaries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Target& t = Dictionaries();
  if (!t.engine || size < 4) return 0;
  const uint16_t slot = t.slots[data[1] & 1];
  if (slot == 65535) return 0;
  ImportSettingsRecord s;
  InitImportSettings(&s);
  s.target = kImportTargetUserDict;
  s.format = kImportFormatText;
  s.encoding = 1 + data[0] % 5;
  // The dictionary's language wins over this one.
  s.language = data[1] & 2 ? kImportChineseEnglish : kImportEnglishChinese;
  s.unsafeMode = (data[1] & 12) != 0;
  s.dictCreator = GetDictCreator(t.engine, slot);
  s.dictId = static_cast<uint32_t>(GetDictId(t.engine, slot));
  const uint32_t block = 1 + data[2];
  const uint8_t answer = data[3];
  s.run.callback = ScriptedAnswer;
  s.run.data = const_cast<uint8_t*>(&answer);
  data += 4;
  size -= 4;
  FlashImport* im = CreateFlashImport(t.engine, &s, kImportDefaultLineLimit);
  if (!im) __builtin_trap();  // the dictionary is open and writable
  fuzz::FeedImportBlocks(im, data, size, block);
  // Every committed chunk is under the import's log: its undo empties the
  // dictionary again.
  for (int i = 0; i < 4 && UndoLastUserDictImport(t.engine, slot) == 0; ++i) {
  }
  if (GetUserDictEntryCount(t.engine, slot) != 0) __builtin_trap();
  return 0;
}
