// Test fixture for the typed tables: builds a file with the writer, opens it
// through the program's generic reader (data file, table cursors) and frees
// everything at the end.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_file_db.h"
#include "engine/db_file.h"
#include "engine/mem_handle.h"
#include "engine/record_cache.h"
#include "engine/table_cursor.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "tests/support/temp_device_root.h"
#include "tools/databuild/data_file_builder.h"

namespace typedtest {

namespace db = databuild;

class TypedTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<TempDeviceRoot>();
    root_ = temp_->path();
    ClearOpenFileCache();
    cache_ = NewRecordCache(0);
  }

  void TearDown() override {
    for (TableCursor* c : cursors_) FreeTableCursor(c);
    for (DataFileDb* d : dbs_) CloseDataFileDb(d);
    for (DbFile* f : files_) CloseDbFile(f);
    FreeRecordCache(cache_);
    temp_.reset();
  }

  // Writes the bytes under the device root and opens them as a DbFile.
  DbFile* OpenFile(const db::ByteVec& bytes, const std::string& name) {
    std::ofstream(root_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return OpenDevicePath(name);
  }

  DbFile* OpenDevicePath(const std::string& name) {
    std::u16string path = u"\\";
    for (char c : name) path.push_back(static_cast<char16_t>(c));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    int kind = 0;
    DbFile* f = OpenDbFile(h, path.c_str(), &kind);
    if (f) {
      EXPECT_EQ(kind, kDbKindDataFile);
      files_.push_back(f);
    }
    return f;
  }

  DataFileDb* OpenDb(DbFile* f) {
    if (!f) return nullptr;
    DataFileDb* d = OpenDataFileDb(f, cache_);
    if (d) dbs_.push_back(d);
    return d;
  }

  // Builds the file (failing the test when the writer refuses it) and opens it.
  DataFileDb* Open(const db::DataFileSpec& desc) {
    db::ByteVec bytes;
    std::string error;
    EXPECT_EQ(db::BuildDataFile(desc, &bytes, nullptr, &error), 0) << error;
    lastBytes_ = bytes;
    DbFile* f = OpenFile(bytes, "t" + std::to_string(files_.size()) + ".pdb");
    if (!f) return nullptr;
    DataFileDb* d = OpenDb(f);
    EXPECT_NE(d, nullptr) << "the reader refused the file";
    return d;
  }

  TableCursor* Cursor(DataFileDb* d, std::uint32_t table) {
    DataTable* t = GetTableByIndex(d, table);
    if (!t) return nullptr;
    TableCursor* c = NewTableCursor(t);
    cursors_.push_back(c);
    return c;
  }

  // Row r's record as bytes (at most maxBytes; 0: no limit).
  static db::ByteVec Record(TableCursor* c, std::uint32_t r, std::uint32_t maxBytes = 0) {
    db::ByteVec buf(maxBytes ? maxBytes : 65535);
    std::uint32_t n = 0;
    if (ReadTableRecord(c, 0, r, nullptr, buf.data(), static_cast<std::uint32_t>(buf.size()), &n) != kReadRecordOk) {
      ADD_FAILURE() << "row " << r << " cannot be read";
      return {};
    }
    buf.resize(n);
    return buf;
  }

  // Row r's record as UTF-16 units (Huffman text decodes to native units).
  static std::u16string RecordText(TableCursor* c, std::uint32_t r) {
    const db::ByteVec b = Record(c, r);
    std::u16string s;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
      char16_t u;
      std::memcpy(&u, &b[i], 2);
      s.push_back(u);
    }
    return s;
  }

  static db::ByteVec InfoArea(TableCursor* c) {
    const std::uint8_t* p = GetTableInfoArea(c);
    if (!p) return {};
    return db::ByteVec(p, p + GetTableInfoAreaSize(c));
  }

  std::unique_ptr<TempDeviceRoot> temp_;

  std::filesystem::path root_;
  RecordCache* cache_ = nullptr;
  std::vector<DbFile*> files_;
  std::vector<DataFileDb*> dbs_;
  std::vector<TableCursor*> cursors_;
  db::ByteVec lastBytes_;
};

}  // namespace typedtest
