// The driver both import targets share: one engine with a flashcard store
// for the whole run, each input imported into it and taken back again, so
// that a run stays cheap. The first four input bytes choose the encoding,
// the language and journal, the block size and the policies; a scripted callback
// answers the questions from the fifth. Nothing a file holds may make the
// import read out of bounds, loop forever, leak, or leave the store
// different from the database.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "flash/exchange_import.h"
#include "flash/store.h"
#include "tests/fuzz/fuzz_support.h"

namespace fuzz {

inline DictEngine* ImportEngine() {
  static EngineHost host{};
  static DictEngine* engine = [] {
    UsePrivateDeviceRoot();
    std::filesystem::create_directories(UsePrivateDeviceRoot() + "/My Documents");
    FillFlashcardHost(&host);
    EngineParams p{};
    p.noFonts = 1;
    p.flashcardArg = const_cast<char*>("\\My Documents\\fuzz.kvb");
    p.host = &host;
    return CreateEngine(nullptr, 0, &p);
  }();
  return engine;
}

inline uint32_t ScriptedAnswer(uint32_t kind, const void*, const void*, uint32_t count, uint32_t defaultIndex,
                               void* data) {
  const auto answer = *static_cast<const uint8_t*>(data);
  switch (kind) {
    case kImportAskAmbiguous:
      return answer < 8 ? 65528u + answer : defaultIndex + answer % 3;
    case kImportAskDuplicate:
      return answer % 9;
    case kImportAskEncoding:
      return answer == 0xFF ? 1 : 0;
    default:
      return count > 5000 ? 1 : 0;  // bounds one run
  }
}

// Hands `data` to the import in blocks of `block` bytes, as a file is read,
// keeping what a block leaves unconsumed for the next; stops at the import's
// first failure or after the final block.
inline void FeedImportBlocks(FlashImport* im, const uint8_t* data, size_t size, size_t block) {
  std::string pending;
  size_t at = 0;
  for (;;) {
    const size_t n = size - at < block ? size - at : block;
    pending.append(reinterpret_cast<const char*>(data) + at, n);
    at += n;
    const int final = at >= size ? 1 : 0;
    uint32_t length = static_cast<uint32_t>(pending.size());
    if (ImportDataBlock(im, reinterpret_cast<const uint8_t*>(pending.data()), &length, final) != 0 || final) break;
    if (length > pending.size()) __builtin_trap();  // consumed more than given
    pending.erase(0, length);
  }
}

inline int RunImport(uint32_t format, const uint8_t* data, size_t size) {
  DictEngine* engine = ImportEngine();
  if (!engine || size < 5) return 0;
  ImportSettingsRecord s;
  InitImportSettings(&s);
  s.format = format;
  s.encoding = 1 + data[0] % 5;
  s.language = data[1] & 1 ? kImportChineseEnglish : kImportEnglishChinese;
  // The relaxed journal also keeps a run cheap: most inputs take it.
  s.unsafeMode = (data[1] & 6) != 0;
  const uint32_t block = 1 + data[2];
  s.duplicates = data[3] % 5;
  s.missing = (data[3] >> 3) & 1;
  s.definitionSource = (data[3] >> 4) & 3;
  s.ambiguous = (data[3] >> 6) % 3;
  const uint8_t answer = data[4];
  s.run.callback = ScriptedAnswer;
  s.run.data = const_cast<uint8_t*>(&answer);
  data += 5;
  size -= 5;
  if (FlashImport* im = CreateFlashImport(engine, &s, kImportDefaultLineLimit)) FeedImportBlocks(im, data, size, block);
  FlashcardStore* store = GetFlashcardStore(engine);
  for (int i = 0; i < 4 && UndoLastFlashImport(store) == 0; ++i) {
  }
  return 0;
}

}  // namespace fuzz
