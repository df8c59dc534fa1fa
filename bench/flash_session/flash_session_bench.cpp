// BuildFlashSession over 60,000 Chinese cards with the "Spaced Repetition"
// preset: two cards in three reviewed (due and not due mixed, a few with
// priority letters), the rest new and held back by the unlearned limit.
// The cards and score rows are written straight into the store's file; the
// benchmark then times building and freeing a session, reporting the
// median and the slowest of the runs and the cards listed and due.
//
// Usage: bench_flash_session [runs]. It runs in a device root of its own
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
#include "engine/engine_time.h"
#include "engine/sql_db.h"
#include "flash/chunked_array.h"
#include "flash/profile_lists.h"
#include "flash/profile_settings.h"
#include "flash/session.h"
#include "flash/store.h"
#include "platform/device_paths.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCards = 60000;

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const std::string temp = bench::MakeBenchDeviceRoot("session");
  if (temp.empty()) return 1;

  EngineHost host{};
  FillFlashcardHost(&host);
  DictEngine* engine = bench::OpenBenchEngine(&host, "\\My Documents\\Bench.kvb");
  if (!engine) return 1;
  FlashcardStore* store = GetFlashcardStore(engine);
  if (ResetProfileToPreset(store, GetCurrentProfileId(store), 1) != 0) return 1;
  const int32_t scorefile = GetProfileScorefileId(store);

  const int64_t now = GetUtcSeconds();
  const char* const letters[] = {"", "", "", "", "V", "W", "Y", "Z"};
  sqlite3* c = store->database->conn;
  if (!bench::ExecSql(c, "BEGIN;")) return 1;
  for (int i = 1; i <= kCards; ++i) {
    std::string sql = "INSERT INTO sorvi_flash_cards (id, lang, hw, wordlength, created, modified) VALUES (" +
                      std::to_string(i) + ", 4096, 'w" + std::to_string(i) + "', 2, " + std::to_string(now - i) +
                      ", 0);";
    if (i % 3 != 0) {
      const int score = 100 + (i * 37) % 5000;
      const int64_t last = now - (i % 90) * 86400;
      sql += "INSERT INTO sorvi_flash_scores_" + std::to_string(scorefile) +
             " (card, score, difficulty, history, reviewed, lastreviewedtime) VALUES (" + std::to_string(i) + ", " +
             std::to_string(score) + ", 100, '" + (i % 2 ? "54" : "25") + letters[i % 8] + "', 2, " +
             std::to_string(last) + ");";
    }
    if (!bench::ExecSql(c, sql)) return 1;
  }
  if (!bench::ExecSql(c, "COMMIT;")) return 1;

  std::vector<double> ms;
  int32_t listed = 0, due = 0;
  for (int r = 0; r < runs; ++r) {
    int32_t status = 1;
    const auto start = Clock::now();
    FlashSession* session = BuildFlashSession(store, nullptr, nullptr, nullptr, &status);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    listed = session ? session->cards->count : -1;
    due = session ? session->dueCount : -1;
    FreeFlashSession(session);
  }
  std::sort(ms.begin(), ms.end());
  std::printf(
      "BuildFlashSession, Repetition-spaced over %d cards: %d listed, %d due; median %.2f ms, slowest %.2f ms (%d "
      "runs)\n",
      kCards, listed, due, ms[ms.size() / 2], ms.back(), runs);
  FreeEngineSaveBlock(DestroyEngine(engine));
  std::filesystem::remove_all(temp);
  return 0;
}
