// ExportFlashcards over 20,000 Chinese cards, each with a definition, an
// assignment to one of three categories and a score row: the whole store
// as one XML document, and as text by category in UTF-8 and UTF-16LE. The
// cards are written straight into the store's file; the write callback
// only counts bytes, so the rate is the export's own. Reports the median
// of the runs in cards per second and the bytes written.
//
// Then the XML document imported into a new, empty database, in safe and
// in unsafe mode, handed over in export-sized blocks as the import thread
// reads them; the rate is the import's own, creating the store excluded.
//
// Usage: bench_flash_export [runs]. It runs in a device root of its own
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
#include "flash/categories.h"
#include "flash/exchange_export.h"
#include "flash/exchange_import.h"
#include "flash/store.h"
#include "platform/device_paths.h"
#include "resources/resources.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCards = 20000;

int CountBytes(ExportSettingsRecord* s, const uint8_t*, uint32_t length) {
  *static_cast<uint64_t*>(s->run.user) += length;
  return 0;
}
int KeepBytes(ExportSettingsRecord* s, const uint8_t* bytes, uint32_t length) {
  static_cast<std::string*>(s->run.user)->append(reinterpret_cast<const char*>(bytes), length);
  return 0;
}
uint32_t TakeDefaults(uint32_t, const void*, const void*, uint32_t, uint32_t defaultIndex, void*) {
  return defaultIndex;
}

// Imports `xml` into a new database at `path` (a device path); the seconds
// the import took, or a negative number when it failed or lost cards.
double TimeImport(const EngineHost* host, const std::string& xml, const char* path, uint32_t unsafeMode) {
  DictEngine* engine = bench::OpenBenchEngine(host, path);
  if (!engine) return -1;
  FlashcardStore* store = GetFlashcardStore(engine);
  ImportSettingsRecord s;
  InitImportSettings(&s);
  s.format = kImportFormatXml;
  s.definitionSource = kDefnFileOnly;
  s.unsafeMode = unsafeMode;
  s.run.callback = TakeDefaults;
  const auto start = Clock::now();
  FlashImport* im = CreateFlashImport(engine, &s, kImportDefaultLineLimit);
  int rc = im ? 0 : 1;
  std::string pending;
  for (size_t at = 0; rc == 0;) {
    const size_t n = std::min<size_t>(kExportBlockSize, xml.size() - at);
    pending.append(xml, at, n);
    at += n;
    const int final = at >= xml.size() ? 1 : 0;
    uint32_t length = static_cast<uint32_t>(pending.size());
    rc = ImportDataBlock(im, reinterpret_cast<const uint8_t*>(pending.data()), &length, final);
    if (final) break;
    pending.erase(0, length);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sqlite3_stmt* q = nullptr;
  int cards = -1;
  if (sqlite3_prepare_v2(store->database->conn, "SELECT count(*) FROM sorvi_flash_cards", -1, &q, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(q) == SQLITE_ROW)
    cards = sqlite3_column_int(q, 0);
  sqlite3_finalize(q);
  FreeEngineSaveBlock(DestroyEngine(engine));
  if (rc != 0 || cards != kCards) {
    std::fprintf(stderr, "import: result %d, %d cards\n", rc, cards);
    return -1;
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string temp = bench::MakeBenchDeviceRoot("export");
  if (temp.empty()) return 1;
  RegisterSorviResources();

  EngineHost host{};
  FillFlashcardHost(&host);
  DictEngine* engine = bench::OpenBenchEngine(&host, "\\My Documents\\Bench.kvb");
  if (!engine) return 1;
  FlashcardStore* store = GetFlashcardStore(engine);
  int32_t cats[3];
  cats[0] = CreateCategory(store, u"Lesson", -1, kCategoryRoot, -1);
  cats[1] = CreateCategory(store, u"Part", -1, cats[0], -1);
  cats[2] = CreateCategory(store, u"Verbs", -1, kCategoryRoot, -1);

  sqlite3* c = store->database->conn;
  if (!bench::ExecSql(c, "BEGIN;")) return 1;
  for (int i = 1; i <= kCards; ++i) {
    const std::string n = std::to_string(i);
    std::string sql =
        "INSERT INTO sorvi_flash_cards (id, lang, hw, althw, pron, defn, dictcreator, dictid, dictentry, wordlength, "
        "created, modified) VALUES (" +
        n + ", 4096, '中@国" + n + "', '中@國', 'zhong1@guo2', 'China; the Middle Kingdom, number " + n +
        "', -1, -1, -1, 2, 1700000000, 1700000000);" +
        "INSERT INTO sorvi_flash_scores_1 (card, score, difficulty, history, correct, incorrect, reviewed) VALUES (" +
        n + ", " + std::to_string(10 + i % 200) + ", 100, '5624', 3, 1, 4);" +
        "INSERT INTO sorvi_flash_categoryassigns (card, cat) VALUES (" + n + ", " + std::to_string(cats[i % 3]) + ");";
    if (!bench::ExecSql(c, sql)) return 1;
  }
  if (!bench::ExecSql(c, "COMMIT;")) return 1;

  struct Case {
    const char* name;
    uint32_t format, encoding;
  } cases[] = {{"XML", kExportFormatXml, kExportUtf8},
               {"text by category, UTF-8", kExportFormatText, kExportUtf8},
               {"text by category, UTF-16LE", kExportFormatText, kExportUtf16Le}};
  std::printf("ExportFlashcards over %d cards (median of %d runs)\n", kCards, runs);
  for (const Case& k : cases) {
    std::vector<double> seconds;
    uint64_t bytes = 0;
    for (int r = 0; r < runs; ++r) {
      ExportSettingsRecord s;
      InitExportSettings(&s);
      s.format = k.format;
      s.encoding = k.encoding;
      s.run.write = CountBytes;
      s.run.user = &bytes;
      bytes = 0;
      const auto start = Clock::now();
      if (ExportFlashcards(engine, &s) != 0) return 1;
      seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("  %-28s %8.0f cards/s  %.3f s  %llu bytes\n", k.name, kCards / median, median,
                static_cast<unsigned long long>(bytes));
  }

  std::string xml;
  {
    ExportSettingsRecord s;
    InitExportSettings(&s);
    s.format = kExportFormatXml;
    s.encoding = kExportUtf8;
    s.run.write = KeepBytes;
    s.run.user = &xml;
    if (ExportFlashcards(engine, &s) != 0) return 1;
  }
  FreeEngineSaveBlock(DestroyEngine(engine));
  std::printf("Import of that XML into an empty database (median of %d runs)\n", runs);
  for (uint32_t unsafeMode : {0u, 1u}) {
    std::vector<double> seconds;
    for (int r = 0; r < runs; ++r) {
      const std::string name = "Import" + std::to_string(unsafeMode) + "-" + std::to_string(r) + ".kvb";
      const double t = TimeImport(&host, xml, ("\\My Documents\\" + name).c_str(), unsafeMode);
      std::filesystem::remove(std::filesystem::path(temp) / "My Documents" / name);
      if (t < 0) return 1;
      seconds.push_back(t);
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("  %-28s %8.0f cards/s  %.3f s\n", unsafeMode ? "unsafe mode" : "safe mode", kCards / median, median);
  }
  std::filesystem::remove_all(temp);
  return 0;
}
