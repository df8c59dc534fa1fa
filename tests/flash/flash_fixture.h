// An engine over the test's own device root whose host table holds the real
// flashcard services, so that creating the engine opens (or creates) the
// store. Databases are listed by their device paths; raw SQLite helpers set
// up fixtures the store must then cope with.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "engine/preferences.h"
#include "engine/sql_db.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "tests/support/temp_device_root.h"
#include "tests/support/virtual_clock.h"

inline constexpr char kDefaultKvb[] = "\\My Documents\\Sorvi Flashcards.kvb";

class FlashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTestClock();
    FillFlashcardHost(&host);
    std::filesystem::create_directories(root.Host("My Documents"));
  }
  void TearDown() override { Destroy(); }

  // The engine over `dbs` (device paths), creating at `defaultPath`.
  FlashcardStore* Open(std::vector<std::string> dbs = {}, const char* defaultPath = kDefaultKvb,
                       bool noFlashcards = false) {
    Destroy();
    names = std::move(dbs);
    pointers.clear();
    for (const std::string& n : names) pointers.push_back(n.c_str());
    EngineParams p{};
    p.userDbNames = pointers.data();
    p.userDbCount = static_cast<uint16_t>(pointers.size());
    p.noFonts = 1;
    p.noFlashcards = noFlashcards ? 1 : 0;
    p.flashcardArg = const_cast<char*>(defaultPath);
    p.host = &host;
    engine = CreateEngine(nullptr, 0, &p);
    EXPECT_NE(engine, nullptr);
    store = GetFlashcardStore(engine);
    return store;
  }
  void Destroy() {
    if (engine) FreeEngineSaveBlock(DestroyEngine(engine));
    engine = nullptr;
    store = nullptr;
  }

  // A flashcard database made by the code itself and closed again.
  void MakeDatabase(const char* path) {
    SqlDb* db = CreateFlashcardSchema(nullptr, path);
    ASSERT_NE(db, nullptr);
    SqlClose(db);
  }
  std::string HostOf(const std::string& device) {
    std::string rel = device.substr(1);
    for (char& c : rel)
      if (c == '\\') c = '/';
    return root.Host(rel);
  }
  // Runs SQL on the file directly (fixtures only).
  void Raw(const std::string& device, const std::string& sql) {
    sqlite3* c = nullptr;
    ASSERT_EQ(sqlite3_open(HostOf(device).c_str(), &c), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(c, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
    sqlite3_free(error);
    sqlite3_close(c);
  }
  // One value from the file (fixtures and checks).
  std::string Query(const std::string& device, const std::string& sql) {
    sqlite3* c = nullptr;
    std::string out = "<none>";
    if (sqlite3_open_v2(HostOf(device).c_str(), &c, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* s = nullptr;
      if (sqlite3_prepare_v2(c, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        out = sqlite3_column_text(s, 0) ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "<null>";
      sqlite3_finalize(s);
    }
    sqlite3_close(c);
    return out;
  }
  // Runs SQL on the store's own connection (triggers that must fire there).
  void OnStore(const std::string& sql) {
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(sqlite3_exec(store->database->conn, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  }
  void SetWriteTime(const std::string& device, time_t seconds) {
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, HostOf(device).c_str(), times, 0), 0);
  }

  TempDeviceRoot root;
  EngineHost host{};
  DictEngine* engine = nullptr;
  FlashcardStore* store = nullptr;
  std::vector<std::string> names;
  std::vector<const char*> pointers;
};
