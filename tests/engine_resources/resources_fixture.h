// Data files for the resource tests, written by tools/databuild and opened
// through the program's reader into a bare engine: its readers over one
// record cache, the default preferences and the dictionary slots (the radical
// list's filter reads them). The resources are loaded by the tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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
#include "tools/databuild/data_file_builder.h"
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

// A dictionary: an entry table with its info header and a prefix index
// whose entry bitmap marks the characters the dictionary has entries for.
inline db::DataFileSpec DictFile(uint32_t creator, uint32_t id, uint32_t flags, std::u16string_view chars) {
  db::TableSpec entries = KeyedTable(kDictEntryTableType, {Row(1, Units(u"entry"))});
  entries.info.assign(kDictInfoHeaderSize, 0);
  SetLe32(entries.info, 0, creator);
  SetLe32(entries.info, 4, id);
  SetLe32(entries.info, 8, flags);
  SetLe32(entries.info, 16, kLanguageChinese);
  db::TableSpec prefix = KeyedTable(kDictPrefixIndexType, {Row(1, Units(u"x"))});
  db::ByteVec bitmap(0x10000 / 8, 0);
  for (char16_t c : chars) {
    size_t word = c / 32;
    uint32_t bit = 31 - c % 32;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{bitmap[4 * word + i]} << (8 * i);
    SetLe32(bitmap, 4 * word, v | (1u << bit));
  }
  prefix.subtables.push_back(bitmap);
  db::DataFileSpec f;
  f.shortName = u"Dict";
  f.tables = {entries, prefix};
  return f;
}

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("sorvi-res-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    SetDeviceRoot(root_.c_str());
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
    SetDeviceRoot(nullptr);
    std::filesystem::remove_all(root_);
  }

  // Builds the file and adds its reader to the engine (false when either
  // the writer or the reader refused it).
  bool Add(const db::DataFileSpec& spec) {
    db::ByteVec bytes;
    std::string error;
    EXPECT_EQ(db::BuildDataFile(spec, &bytes, nullptr, &error), 0) << error;
    std::string name = "f" + std::to_string(files_.size()) + ".pdb";
    std::ofstream(root_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::u16string path = u"\\";
    for (char c : name) path.push_back(static_cast<char16_t>(c));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    int kind = 0;
    DbFile* f = OpenDbFile(h, path.c_str(), &kind);
    if (!f) return false;
    files_.push_back(f);
    DataFileDb* d = OpenDataFileDb(f, engine_->cache);
    EXPECT_NE(d, nullptr);
    if (!d) return false;
    engine_->readers[engine_->readerCount++] = d;
    return true;
  }

  // Dictionary slots over the readers added so far.
  void BuildSlots() { BuildDictSlots(engine_, engine_->readers, engine_->readerCount, nullptr, 0); }

  DictEngine* engine_ = nullptr;
  std::filesystem::path root_;
  std::vector<DbFile*> files_;
};

}  // namespace res_test
