// A fresh device root and engine per test, with helpers that make user
// dictionaries and look into their files directly.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_time.h"
#include "engine/mem_handle.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/sql_schema.h"
#include "engine/string_utils.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_import.h"
#include "engine/utf8.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "resources/resources.h"
#include "tests/support/fake_engine_host.h"
#include "tests/support/temp_device_root.h"
#include "tests/support/virtual_clock.h"


// For failure messages.
inline std::string Utf8(const WCHAR* s) {
  if (!s) return "<null>";
  std::string out(Utf8Length(s, 0, false) + 1, '\0');
  WideToUtf8(s, out.data(), static_cast<uint32_t>(out.size()), 0, nullptr, false);
  out.pop_back();
  return out;
}

inline std::u16string U16(const WCHAR* s) { return s ? std::u16string(s) : std::u16string(u"<null>"); }

class UserDictTest : public ::testing::Test {
 public:
  void SetUp() override {
    RegisterSorviResources();
    CreateDirectoryW(u"\\My Documents", nullptr);
    InstallTestClock();
  }
  void TearDown() override {
    if (engine) DestroyEngineAndFree();
    UninstallVirtualClock();
  }

  // An engine over the user databases at these device paths.
  DictEngine* MakeEngine(const std::vector<std::string>& paths = {}) {
    std::vector<const char*> names;
    for (const auto& p : paths) names.push_back(p.c_str());
    EngineParams p{};
    p.userDbNames = names.data();
    p.userDbCount = static_cast<uint16_t>(names.size());
    p.noFonts = 1;
    p.noFlashcards = host.giveStore ? 0 : 1;
    p.host = &host.host;
    p.userFolder = "\\My Documents\\";
    p.userExtension = ".kvb";
    engine = CreateEngine(nullptr, 0, &p);
    EXPECT_NE(engine, nullptr);
    return engine;
  }
  void DestroyEngineAndFree() {
    FreeEngineSaveBlock(DestroyEngine(engine));
    engine = nullptr;
  }

  // A new dictionary; its slot.
  uint16_t NewDict(uint32_t language, const WCHAR* name = nullptr) {
    if (!engine) MakeEngine();
    const uint16_t before = engine->slotCount;
    EXPECT_EQ(CreateUserDictFileNamed(engine, language, 65535, name), 0);
    EXPECT_EQ(engine->slotCount, before + 1);
    return before;
  }
  DictSlot* Slot(uint16_t slot) { return engine->slots[slot]; }
  sqlite3* Conn(uint16_t slot) { return Slot(slot)->db->conn; }

  // Column 0 of every row of a query on the slot's file ("NULL" for NULL).
  std::vector<std::string> Rows(uint16_t slot, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(Conn(slot), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(stmt, 0);
      out.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
    }
    sqlite3_finalize(stmt);
    return out;
  }
  std::string One(uint16_t slot, const std::string& sql) {
    auto rows = Rows(slot, sql);
    return rows.empty() ? "<none>" : rows[0];
  }
  int64_t Count(uint16_t slot, const std::string& table) {
    return std::stoll(One(slot, "SELECT COUNT(*) FROM " + table));
  }
  std::string Property(uint16_t slot, const std::string& id) {
    return One(slot, "SELECT propvalue FROM sorvi_dict_properties WHERE propset = 0 AND propid = '" + id + "'");
  }
  void Exec(uint16_t slot, const std::string& sql) {
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(Conn(slot), sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << sql << ": "
                                                                                           << (error ? error : "");
    sqlite3_free(error);
  }
  // Entries rows of all index tables for a uid.
  int64_t IndexRows(uint16_t slot, int32_t uid) {
    int64_t n = 0;
    for (const char* t : {"sorvi_dict_posdex_hz_1", "sorvi_dict_posdex_hz_2", "sorvi_dict_posdex_hz_3",
                          "sorvi_dict_posdex_hz_4", "sorvi_dict_posdex_py_1", "sorvi_dict_posdex_py_2",
                          "sorvi_dict_posdex_py_3", "sorvi_dict_posdex_py_4", "sorvi_dict_alphadex"}) {
      if (One(slot, std::string("SELECT COUNT(*) FROM sqlite_master WHERE name = '") + t + "'") == "0") continue;
      n += std::stoll(One(slot, std::string("SELECT COUNT(*) FROM ") + t + " WHERE uid = " + std::to_string(uid)));
    }
    return n;
  }
  std::vector<std::string> HostFiles() {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(root.host() + "/My Documents"))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  TempDeviceRoot root;
  FakeEngineHost host;
  DictEngine* engine = nullptr;
};
