// Feeds arbitrary bytes to the engine as a user-dictionary database: the
// engine opens it (refusing what is not one of its databases), and the
// lookup session searches it and formats the first results, through the
// user dictionary's search index and its entry rows. The seeds are whole
// SQLite files, so the mutations reach their pages, schema and rows. Nothing
// a database holds may make the engine read out of bounds, loop forever or
// leak.
#include <cstdint>
#include <string>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/search_results.h"
#include "resources/resources.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char* const kUserDb = "\\My Documents\\fuzz.kvb";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UsePrivateDeviceRoot();
  RegisterSorviResources();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string root = fuzz::UsePrivateDeviceRoot();
  // SQLite's journal of a run that stopped half way would be replayed.
  std::error_code ec;
  std::filesystem::remove(root + "/My Documents/fuzz.kvb-journal", ec);
  if (!fuzz::WriteBytes(root + "/My Documents/fuzz.kvb", data, size)) return 0;
  EngineParams params{};
  params.userDbNames = &kUserDb;
  params.userDbCount = 1;
  params.noFonts = 1;
  params.noFlashcards = 1;
  params.scaleNumerator = 3;
  params.scaleDenominator = 3;
  DictEngine* engine = CreateEngine(nullptr, 0, &params);
  if (!engine) return 0;
  for (uint32_t list = 0; list < 2; ++list) {
    WCHAR text[64];
    for (int what = 1; what <= 6; ++what) GetDictListItemText(engine, list, 0, what, text, 64);
    uint32_t first = 0, last = 0, count = 0;
    GetDictListItemImportRange(engine, list, 0, &first, &last, &count);
  }
  LookupSessionParams sessionParams{};
  sessionParams.freshStart = 1;
  if (LookupSession* session = NewLookupSession(engine, &sessionParams)) {
    for (const char16_t* query : {u"你好", u"nihao", u"ni3", u"hello", u"h*", u"#good"}) {
      LookupSearchFor(session, query, 0);
      const uint32_t rows = session->results ? session->results->count : 0;
      for (uint32_t i = 0; i < rows && i < 2; ++i) {
        LookupShowEntryAt(session, i);
        if (MemHandle* text = NewMemHandle(2)) {
          LookupFormatCurrentEntry(session, text, 0);
          FreeMemHandle(text);
        }
      }
    }
    LookupHistoryBlobs blobs = DestroyLookupSession(session, 1);
    FreeMemHandle(blobs.recentQueries);
    FreeMemHandle(blobs.recentEntries);
  }
  FreeEngineSaveBlock(DestroyEngine(engine));
  return 0;
}
