// SearchCards over 60,000 cards: three conditions joined by OR (a category
// with its subcategory, score below 50, headwords beginning with "a"), so
// the statement is three selects joined by UNION. The cards, their score
// rows and assignments are written straight into the store's file; the
// benchmark then times the search, reporting the median and the slowest of
// the runs and the number of cards found.
//
// Usage: bench_flash_search [runs]. It runs in a device root of its own
// under /tmp.
#include <sqlite3.h>
#include <unistd.h>

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
#include "flash/card_search.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/store.h"
#include "platform/device_paths.h"
#include "platform/files.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCards = 60000;

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const std::string temp = bench::MakeBenchDeviceRoot("flash");
  if (temp.empty()) return 1;

  EngineHost host{};
  FillFlashcardHost(&host);
  DictEngine* engine = bench::OpenBenchEngine(&host, "\\My Documents\\Bench.kvb");
  if (!engine) return 1;
  FlashcardStore* store = GetFlashcardStore(engine);
  const int32_t cat = CreateCategory(store, reinterpret_cast<const WCHAR*>(u"Lesson"), -1, kCategoryRoot, -1);
  const int32_t sub = CreateCategory(store, reinterpret_cast<const WCHAR*>(u"Part"), -1, cat, -1);

  // Fixture rows straight into the file: every third card scored, every
  // tenth in the category, every twentieth in its subcategory.
  sqlite3* c = store->database->conn;
  std::string sql = "BEGIN;";
  if (!bench::ExecSql(c, sql)) return 1;
  for (int i = 1; i <= kCards; ++i) {
    const char first = static_cast<char>('a' + i % 26);
    sql =
        "INSERT INTO sorvi_flash_cards (id, lang, hw, pron, dictcreator, dictid, dictentry, wordlength, created, "
        "modified) VALUES (" +
        std::to_string(i) + ", 0, '" + first + "word" + std::to_string(i) + "', NULL, -1, -1, -1, 0, 0, 0);";
    if (i % 3 == 0)
      sql += "INSERT INTO sorvi_flash_scores_1 (card, score, difficulty, history) VALUES (" + std::to_string(i) + ", " +
             std::to_string(10 + i % 200) + ", 100, '5');";
    if (i % 10 == 0)
      sql += "INSERT INTO sorvi_flash_categoryassigns (card, cat) VALUES (" + std::to_string(i) + ", " +
             std::to_string(cat) + ");";
    if (i % 20 == 5)
      sql += "INSERT INTO sorvi_flash_categoryassigns (card, cat) VALUES (" + std::to_string(i) + ", " +
             std::to_string(sub) + ");";
    if (!bench::ExecSql(c, sql)) return 1;
  }
  if (!bench::ExecSql(c, "COMMIT;")) return 1;

  FlashQueryRecord q{};
  q.scorefile = 1;
  q.count = 3;
  q.conditions[0] = {kQueryCategory, kQueryOpEqual, cat, 0, {}, kQueryOr};
  q.conditions[1] = {kQueryScore, kQueryOpLess, 50, 0, {}, kQueryOr};
  q.conditions[2] = {kQueryHeadword, kQueryOpEqual, 0, 0, {u'a', u'%'}, kQueryAnd};
  std::vector<double> ms;
  int32_t found = 0;
  for (int r = 0; r < runs; ++r) {
    const auto start = Clock::now();
    ChunkedArray* list = SearchCards(store, &q);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    found = list ? list->count : -1;
    FreeChunkedArray(list);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("SearchCards, 3-condition OR query over %d cards: %d found; median %.2f ms, slowest %.2f ms (%d runs)\n",
              kCards, found, ms[ms.size() / 2], ms.back(), runs);
  FreeEngineSaveBlock(DestroyEngine(engine));
  std::filesystem::remove_all(temp);
  return 0;
}
