// What the flashcard benchmarks share: a device root of their own under
// /tmp, a store opened through an engine as the program opens it, and SQL
// run straight on the store's file for the fixture rows.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "platform/device_paths.h"

namespace bench {

// Makes /tmp/bench-<tag>-XXXXXX with its "My Documents" folder and sets it
// as the device root; its host path, empty when it cannot be made.
inline std::string MakeBenchDeviceRoot(const char* tag) {
  std::string temp = std::string("/tmp/bench-") + tag + "-XXXXXX";
  if (!mkdtemp(temp.data())) return {};
  SetDeviceRoot(temp.c_str());
  std::filesystem::create_directories(std::filesystem::path(temp) / "My Documents");
  return temp;
}

// An engine without fonts over the flashcard database at `path` (a device
// path, created when missing); null when it or its store cannot be opened.
inline DictEngine* OpenBenchEngine(const EngineHost* host, const char* path) {
  EngineParams p{};
  p.noFonts = 1;
  p.host = host;
  p.flashcardArg = const_cast<char*>(path);
  DictEngine* engine = CreateEngine(nullptr, 0, &p);
  if (engine && !GetFlashcardStore(engine)) {
    FreeEngineSaveBlock(DestroyEngine(engine));
    return nullptr;
  }
  return engine;
}

// Runs SQL on the store's connection; false (with SQLite's message) when it
// fails.
inline bool ExecSql(sqlite3* c, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(c, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return true;
  std::fprintf(stderr, "%s\n", error ? error : "?");
  sqlite3_free(error);
  return false;
}

}  // namespace bench
