// Adding 60,000 cards to a category, the largest batch command a search
// result can give (31 chunks of 2048 ids): once from a list as the search
// hands it over, once without a list (every card of the database). Each
// run files the cards in a new category, so every assignment is a new row;
// the benchmark reports the median and the slowest run of each form.
//
// Usage: bench_flash_batch [runs]. It runs in a device root of its own
// under /tmp.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/flash_bench_store.h"
#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "engine/sql_db.h"
#include "flash/card_batch.h"
#include "flash/card_search.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/store.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCards = 60000;

uint32_t CountProgress(uint32_t, const void*, const void*, uint32_t count, uint32_t, void* data) {
  *static_cast<uint32_t*>(data) = count;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string temp = bench::MakeBenchDeviceRoot("flash-batch");
  if (temp.empty()) return 1;

  EngineHost host{};
  FillFlashcardHost(&host);
  DictEngine* engine = bench::OpenBenchEngine(&host, "\\My Documents\\Bench.kvb");
  if (!engine) return 1;
  FlashcardStore* store = GetFlashcardStore(engine);
  sqlite3* c = store->database->conn;
  if (!bench::ExecSql(c, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                             std::to_string(kCards) +
                             ") INSERT INTO sorvi_flash_cards (id, lang, hw, dictcreator, dictid, dictentry, "
                             "wordlength, created, modified) SELECT i, 0, 'word' || i, -1, -1, -1, 0, 0, 0 FROM n"))
    return 1;
  ChunkedArray* list = CreateChunkedArray(1, kSearchPerChunk, kSearchMaxChunks, 0);
  if (!list) return 1;
  for (int i = 1; i <= kCards; ++i)
    if (AppendChunkedArray(list, static_cast<uint32_t>(i), 0) != 0) return 1;

  int failed = 0;
  for (const bool withList : {true, false}) {
    std::vector<double> ms;
    uint32_t last = 0;
    for (int r = 0; r < runs; ++r) {
      const std::string name = std::string(withList ? "L" : "A") + std::to_string(r);
      const std::u16string wide(name.begin(), name.end());
      const int32_t cat = CreateCategory(store, reinterpret_cast<const WCHAR*>(wide.c_str()), -1, kCategoryRoot, -1);
      if (cat < 0) return 1;
      const auto start = Clock::now();
      failed |= AddCardListToCategory(store, withList ? list : nullptr, cat, CountProgress, &last);
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      if (CountCategoryCards(store, cat) != kCards) failed = 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("AddCardListToCategory, %d cards %s: last position %u; median %.1f ms, slowest %.1f ms (%d runs)\n",
                kCards, withList ? "from a search-result list" : "without a list (every card)", last, ms[ms.size() / 2],
                ms.back(), runs);
  }
  FreeChunkedArray(list);
  FreeEngineSaveBlock(DestroyEngine(engine));
  std::filesystem::remove_all(temp);
  if (failed) std::fprintf(stderr, "a run failed\n");
  return failed ? 1 : 0;
}
