// The small flashcard store the saved-session target resumes over and its
// seeding program saves from: 300 Chinese cards of word lengths 1-6, a few
// with score rows and priority letters, in one scorefile.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "engine/sql_db.h"
#include "flash/store.h"
#include "flash/store_schema.h"

namespace fuzz {

inline constexpr char kSavedSessionHostPath[] = "/Program Files/Sorvi/Sorvi Saved Flash Session";

// The store in the current device root (`root` is its host path), or null.
inline FlashcardStore* OpenSessionStore(const std::string& root, DictEngine** engine) {
  static EngineHost host{};
  FillFlashcardHost(&host);
  std::filesystem::create_directories(root + "/My Documents");
  EngineParams p{};
  p.noFonts = 1;
  p.host = &host;
  p.flashcardArg = const_cast<char*>("\\My Documents\\Fuzz.kvb");
  *engine = CreateEngine(nullptr, 0, &p);
  FlashcardStore* store = *engine ? GetFlashcardStore(*engine) : nullptr;
  if (!store) return nullptr;
  const char* sql =
      "BEGIN;"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
      "INSERT INTO sorvi_flash_cards (id, lang, hw, pron, defn, wordlength, created) "
      "SELECT i, 4096, 'w' || i, 'ni3', 'd' || i, 1 + i % 6, i FROM n;"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 3 FROM n WHERE i < 280) "
      "INSERT INTO sorvi_flash_scores_1 (card, score, difficulty, history, reviewed, lastreviewedtime) "
      "SELECT i, 100 + i * 7, 100, CASE i % 4 WHEN 0 THEN '52V' WHEN 1 THEN '5' ELSE '21W' END, 2, 1000000 FROM n;"
      "COMMIT;";
  if (sqlite3_exec(store->database->conn, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return nullptr;
  return store;
}

}  // namespace fuzz
