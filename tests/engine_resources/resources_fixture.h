// Data files for the resource tests, written by tools/databuild and opened
// through the program's reader into a bare engine: its readers over one
// record cache, the default preferences and the dictionary slots (the radical
// list's filter reads them). The resources are loaded by the tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_file_db.h"
#include "engine/data_resources.h"
#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/record_cache.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "resources/syllables.h"
#include "tests/support/temp_device_root.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/row_sort.h"

namespace res_test {

namespace db = databuild;

inline void PutLe16(db::ByteVec& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutLe32(db::ByteVec& b, uint32_t v) {
  PutLe16(b, v & 0xFFFF);
  PutLe16(b, v >> 16);
}
inline void SetLe16(db::ByteVec& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2, 0);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void SetLe32(db::ByteVec& b, size_t at, uint32_t v) {
  SetLe16(b, at, v & 0xFFFF);
  SetLe16(b, at + 2, v >> 16);
}
inline db::ByteVec Units(std::u16string_view units) {
  db::ByteVec b;
  for (char16_t c : units) PutLe16(b, c);
  return b;
}
inline db::ByteVec Ascii(std::string_view text) { return db::ByteVec(text.begin(), text.end()); }

// Syllable code of a pinyin spelling and tone (0 neutral).
inline char16_t Syl(const char* spelling, int tone) {
  int n = FindSyllable(spelling);
  EXPECT_GE(n, 0) << spelling;
  return static_cast<char16_t>(0xE000 + 5 * n + tone);
}

// A table of 16-bit keyed byte records (sorted by key).
inline db::TableSpec KeyedTable(uint32_t type, std::vector<db::RowSpec> rows, uint32_t unit = 2) {
  db::TableSpec t;
  t.type = type;
  t.flags = db::kTableKeyed | db::kTableSorted;
  db::ColumnSpec c;
  c.unitSize = unit;
  c.rows = std::move(rows);
  db::SortRowsByKey(c);
  t.columns.push_back(std::move(c));
  return t;
}

inline db::RowSpec Row(uint32_t key, db::ByteVec bytes) {
  db::RowSpec r;
  r.key = key;
  r.bytes = std::move(bytes);
  return r;
}

// A dictionary (creator, id, flags) whose entries have the given headwords;
// its entry bitmap marks the one-character headwords.
inline db::DataFileSpec DictFile(uint32_t creator, uint32_t id, uint32_t flags,
                                 std::vector<std::u16string> headwords) {
  db::DictionarySpec d;
  d.info.creator = creator;
  d.info.dictId = id;
  d.info.flags = flags;
  d.info.shortName = u"Dict";
  for (std::u16string& h : headwords) {
    db::DictEntrySpec e;
    e.text = h;
    e.headword = std::move(h);
    d.entries.push_back(std::move(e));
  }
  db::DataFileSpec f;
  f.shortName = u"Dict";
  std::string error;
  EXPECT_EQ(db::AddDictionaryTables(d, &f, &error), 0) << error;
  return f;
}

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<TempDeviceRoot>();
    root_ = temp_->path();
    ClearOpenFileCache();
    engine_ = static_cast<DictEngine*>(LocalAlloc(LPTR, sizeof(DictEngine)));
    ASSERT_NE(engine_, nullptr);
    engine_->cache = NewRecordCache(0);
    engine_->preferences = NewDefaultPreferences();
    ASSERT_NE(engine_->preferences, nullptr);
  }

  void TearDown() override {
    FreeDataResources(engine_);
    FreeDictSlots(engine_);
    for (uint32_t i = 0; i < engine_->readerCount; ++i) CloseDataFileDb(engine_->readers[i]);
    for (DbFile* f : files_) CloseDbFile(f);
    FreeRecordCache(engine_->cache);
    FreePreferenceBlock(engine_->preferences);
    LocalFree(engine_);
    temp_.reset();
  }

  // Builds the file and opens it (null when the writer or the container
  // reader refused it); the test closes it at its end.
  DbFile* WriteFile(const db::DataFileSpec& desc) {
    db::ByteVec bytes;
    std::string error;
    EXPECT_EQ(db::BuildDataFile(desc, &bytes, nullptr, &error), 0) << error;
    std::string name = "f" + std::to_string(files_.size()) + ".pdb";
    std::ofstream(root_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::u16string path = u"\\";
    for (char c : name) path.push_back(static_cast<char16_t>(c));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    int kind = 0;
    DbFile* f = OpenDbFile(h, path.c_str(), &kind);
    if (f) files_.push_back(f);
    return f;
  }

  // Builds the file and adds its reader to the engine (false when either
  // the writer or the reader refused it).
  bool Add(const db::DataFileSpec& desc) {
    DbFile* f = WriteFile(desc);
    if (!f) return false;
    DataFileDb* d = OpenDataFileDb(f, engine_->cache);
    EXPECT_NE(d, nullptr);
    if (!d) return false;
    engine_->readers[engine_->readerCount++] = d;
    return true;
  }

  // Dictionary slots over the readers added so far.
  void BuildSlots() { BuildDictSlots(engine_, engine_->readers, engine_->readerCount, nullptr, 0); }

  DictEngine* engine_ = nullptr;
  std::unique_ptr<TempDeviceRoot> temp_;
  std::filesystem::path root_;
  std::vector<DbFile*> files_;
};

}  // namespace res_test
