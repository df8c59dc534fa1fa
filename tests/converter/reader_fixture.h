// Tests of the first-generation reader: files are written by
// tools/firstgen into the test's own device root and read back through
// converter/.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/firstgen_db.h"
#include "converter/firstgen_dict_set.h"
#include "converter/firstgen_user_data.h"
#include "engine/mem_handle.h"
#include "engine/text_buffer.h"
#include "tests/support/cedict_excerpt.h"
#include "tests/support/temp_device_root.h"
#include "tests/support/utf16_print.h"
#include "tools/firstgen/fixtures.h"

namespace reader_test {

inline const std::vector<firstgen::CedictRow>& CedictRows() {
  static const std::vector<firstgen::CedictRow> rows = [] {
    std::vector<firstgen::CedictRow> r;
    std::string error;
    EXPECT_TRUE(firstgen::LoadCedictRows(kCedictExcerptPath, &r, &error)) << error;
    return r;
  }();
  return rows;
}

inline std::vector<firstgen::CedictRow> FirstRows(size_t n) {
  const auto& all = CedictRows();
  return {all.begin(), all.begin() + (n < all.size() ? n : all.size())};
}

// Records of a database, or a failed test.
inline std::vector<firstgen::Bytes> Records(const firstgen::DatabaseSpec& spec,
                                            firstgen::DatabaseLayout* layout = nullptr) {
  std::vector<firstgen::Bytes> records;
  firstgen::DatabaseLayout l;
  std::string error;
  EXPECT_TRUE(firstgen::BuildDatabaseRecords(spec, &records, &l, &error)) << error;
  if (layout) *layout = l;
  return records;
}

// A text buffer that frees itself.
struct OwnedText {
  TextBuffer tb{};
  OwnedText() { TextBufInit(&tb); }
  ~OwnedText() { FreeMemHandle(tb.handle); }
  std::u16string Text() const { return tb.data ? std::u16string(tb.data, tb.length) : std::u16string(); }
};

// Reads every row of every sub-table of every table in every way the reader
// offers; nothing may crash or read outside its records. Returns the number
// of rows read as text.
inline uint32_t ReadEverything(converter::FirstGenDb* db) {
  using namespace converter;
  uint32_t read = 0;
  OwnedText text;
  const uint16_t wanted[] = {0xEA01, 0xEA03};
  for (FirstGenTable* t : db->tables) {
    for (uint32_t c = 0; c < GetSubTableCount(t); ++c) {
      for (uint32_t k = 0; k < GetSubTableBlockCount(t, c); ++k) {
        GetBlockFirstRow(t, c, k);
        if (LoadFirstGenBlock(t, c, k) != 0) continue;
        const uint32_t rows = GetBlockRowCount(t);
        for (uint32_t r = 0; r <= rows && r < 64; ++r) {
          GetBlockRow(t, r);
          const uint32_t key = GetBlockRowKey(t, r);
          uint32_t b = 0, row = 0, index = 0;
          FindRowByKey(t, c, key, &b, &row, &index);
          LocateFirstGenEntry(t, c, GetBlockFirstRow(t, c, k) + r, &b, &row);
          const uint32_t n = ReadFirstGenEntry(t, c, k, r, &text.tb, nullptr, 0, nullptr);
          if (n != 0 && n != kEntryUnreadable) ++read;
          ReadFirstGenEntry(t, c, k, r, &text.tb, wanted, 2, u"!");
        }
      }
    }
  }
  return read;
}

class ReaderTest : public ::testing::Test {
 protected:
  ~ReaderTest() override {
    converter::CloseFirstGenDictSet(&set_);
    converter::FreeRecordCache(cache_);
  }

  // Writes bytes as a file directly under the device root; its device path.
  std::u16string Put(const std::string& name, const firstgen::Bytes& bytes) {
    std::string error;
    EXPECT_TRUE(firstgen::WriteFile(root_.Host(name), bytes, &error)) << error;
    return u"\\" + std::u16string(name.begin(), name.end());
  }
  std::u16string PutContainer(const std::string& name, const firstgen::DatabaseSpec& spec) {
    return Put(name, firstgen::WriteContainer(Records(spec)));
  }
  std::u16string PutBundle(const std::string& name, const firstgen::DatabaseSpec& spec) {
    return Put(name, firstgen::WriteBundle(Records(spec)));
  }

  // The database of a file, null when refused.
  converter::FirstGenDb* OpenContainerDb(const std::u16string& path) {
    converter::FirstGenDatabaseFile* file = converter::OpenFirstGenDatabaseFile(path.c_str());
    return file ? converter::OpenFirstGenDbFromFile(file, cache_) : nullptr;
  }
  converter::FirstGenDb* OpenBundleDb(const std::u16string& path) {
    converter::FirstGenBundle* bundle = converter::OpenFirstGenBundle(path.c_str());
    return bundle ? converter::OpenFirstGenDbFromBundle(bundle) : nullptr;
  }
  converter::FirstGenDb* OpenDb(const std::u16string& path, bool bundle) {
    return bundle ? OpenBundleDb(path) : OpenContainerDb(path);
  }

  TempDeviceRoot root_;
  converter::RecordCache* cache_ = converter::NewRecordCache();
  converter::FirstGenDictSet set_{};
};

}  // namespace reader_test
