// Dictionary data files for the engine's tests, written by the data-file
// writer (tools/databuild) into a temporary device root and opened as
// DbFiles. A dictionary is described by its info header and its tables.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "platform/heap.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "tests/support/temp_device_root.h"
#include "tools/databuild/data_file_builder.h"

namespace dictfix {

namespace db = databuild;

inline void SetLe32(db::ByteVec& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void SetText(db::ByteVec& b, size_t at, std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    b[at + 2 * i] = static_cast<uint8_t>(text[i]);
    b[at + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
}
inline db::ByteVec Le32(uint32_t v) {
  db::ByteVec b(4);
  SetLe32(b, 0, v);
  return b;
}

struct DictInfo {
  uint32_t creator = 0x53525653;
  uint32_t id = 1;
  uint32_t flags = 0;
  uint32_t language = kLanguageChinese;
  uint32_t transLanguage = kLanguageEnglish;
  std::u16string icon = u"CE";
  uint32_t iconColor = 0x112233;
  std::u16string menuName = u"Menu";
  std::u16string shortName = u"Short";
  std::vector<std::pair<std::u16string, uint32_t>> fields;  // name, level
  uint32_t levels = 0;
  // Overrides of the counts, to make headers that do not fit.
  int64_t fieldCountWord = -1;
  size_t infoSize = 0;  // 0: exactly what the header needs
};

// The info area of a dictionary table.
inline db::ByteVec InfoHeader(const DictInfo& d) {
  size_t need = kDictInfoHeaderSize + d.fields.size() * kDictFieldDescriptorSize + d.levels * kDictLevelDescriptorSize;
  db::ByteVec b(std::max(need, d.infoSize ? d.infoSize : need), 0);
  if (d.infoSize && d.infoSize < kDictInfoHeaderSize) b.resize(d.infoSize);
  auto put32 = [&](size_t at, uint32_t v) {
    if (at + 4 <= b.size()) SetLe32(b, at, v);
  };
  auto putText = [&](size_t at, std::u16string_view t) {
    if (at + 2 * t.size() <= b.size()) SetText(b, at, t);
  };
  put32(0, d.creator);
  put32(4, d.id);
  put32(8, d.flags);
  put32(16, d.language);
  put32(20, d.transLanguage);
  putText(32, d.icon.substr(0, 3));
  put32(44, d.iconColor);
  putText(52, d.menuName.substr(0, 32));
  putText(116, d.shortName.substr(0, 32));
  put32(316, d.fieldCountWord >= 0 ? static_cast<uint32_t>(d.fieldCountWord) : static_cast<uint32_t>(d.fields.size()));
  put32(320, d.levels);
  for (size_t f = 0; f < d.fields.size(); ++f) {
    size_t at = kDictInfoHeaderSize + f * kDictFieldDescriptorSize;
    putText(at, d.fields[f].first.substr(0, 32));
    putText(at + 64, d.fields[f].first.substr(0, 32) + u"2");
    put32(at + 392, d.fields[f].second);
  }
  if (d.infoSize && d.infoSize < b.size()) b.resize(d.infoSize);
  return b;
}

// A keyed table of `type` whose rows are (key, UTF-16 text).
inline db::TableSpec TextTable(uint32_t type, const std::vector<std::pair<uint32_t, std::u16string>>& rows) {
  db::TableSpec t;
  t.type = type;
  t.flags = db::kTableKeyed | db::kTableSorted;
  db::ColumnSpec c;
  c.unitSize = 2;
  for (const auto& [key, text] : rows) c.rows.push_back(db::MakeTextRow(key, text));
  if (c.rows.empty()) c.rows.push_back(db::MakeTextRow(0, u"-"));
  t.columns.push_back(c);
  return t;
}

// The entry table (0x1000) of a dictionary with `entries` rows keyed 100,
// 101, ...
inline db::TableSpec EntryTable(const DictInfo& d, uint32_t entries) {
  std::vector<std::pair<uint32_t, std::u16string>> rows;
  for (uint32_t i = 0; i < entries; ++i) rows.push_back({100 + i, u"entry"});
  db::TableSpec t = TextTable(kDictEntryTableType, rows);
  t.info = InfoHeader(d);
  return t;
}

// The entry-id map (0x1030): key id -> entry number.
inline db::TableSpec IdMapTable(const std::vector<std::pair<uint32_t, uint32_t>>& map) {
  db::TableSpec t;
  t.type = kDictEntryIdMapType;
  t.flags = db::kTableKeyed | db::kTableKey32 | db::kTableSorted | db::kTableFixedLength;
  t.fixedLength = 1;
  db::ColumnSpec c;
  c.unitSize = 4;
  for (const auto& [id, entry] : map) {
    db::RowSpec r;
    r.key = id;
    r.bytes = Le32(entry);
    c.rows.push_back(r);
  }
  t.columns.push_back(c);
  return t;
}

// The entry bitmap: a 0x1100 table whose subtable record 0 has bit c set for
// each character c given (MSB first in each little-endian 32-bit word).
inline db::TableSpec EntryBitmapTable(const std::vector<char16_t>& chars, size_t bytes = 8192) {
  db::TableSpec t = TextTable(kDictPrefixIndexType, {{1, u"x"}});
  db::ByteVec bitmap(bytes, 0);
  for (char16_t c : chars) {
    size_t word = c / 32;
    if (word * 4 + 4 > bitmap.size()) continue;
    uint32_t v = uint32_t{bitmap[word * 4]} | uint32_t{bitmap[word * 4 + 1]} << 8 |
                 uint32_t{bitmap[word * 4 + 2]} << 16 | uint32_t{bitmap[word * 4 + 3]} << 24;
    v |= 1u << (31 - c % 32);
    SetLe32(bitmap, word * 4, v);
  }
  t.subtables.push_back(bitmap);
  return t;
}

// A device root of its own and the data files opened in it.
class DataFiles {
 public:
  DataFiles() : root_(temp_.path()) { ClearOpenFileCache(); }
  ~DataFiles() {
    for (DbFile* f : files_) CloseDbFile(f);
  }
  DataFiles(const DataFiles&) = delete;
  DataFiles& operator=(const DataFiles&) = delete;

  // Writes the file and opens it; null (with a test failure) when either fails.
  DbFile* Add(const db::DataFileSpec& desc) {
    db::ByteVec bytes;
    std::string error;
    EXPECT_EQ(db::BuildDataFile(desc, &bytes, nullptr, &error), 0) << error;
    return AddBytes(bytes);
  }
  DbFile* AddDict(const DictInfo& d, uint32_t entries = 3, std::vector<db::TableSpec> more = {}) {
    db::DataFileSpec desc;
    desc.shortName = d.shortName;
    desc.tables.push_back(EntryTable(d, entries));
    for (auto& t : more) desc.tables.push_back(t);
    return Add(desc);
  }
  // Any bytes under a new name; the DbFile is kept open until the end.
  DbFile* AddBytes(const db::ByteVec& bytes) {
    std::string name = "f" + std::to_string(counter_++) + ".pdb";
    std::ofstream(root_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::u16string path = u"\\";
    for (char c : name) path.push_back(static_cast<char16_t>(c));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_RANDOM_ACCESS, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    int kind = 0;
    DbFile* f = OpenDbFile(h, path.c_str(), &kind);
    EXPECT_NE(f, nullptr);
    if (f) files_.push_back(f);
    return f;
  }
  std::vector<DbFile*>& files() { return files_; }

 private:
  TempDeviceRoot temp_;
  std::filesystem::path root_;
  std::vector<DbFile*> files_;
  int counter_ = 0;
};

// Parameters that keep the engine to its data: no fonts, no flashcards.
inline EngineParams QuietParams() {
  EngineParams p{};
  p.noFonts = 1;
  p.noFlashcards = 1;
  p.scaleNumerator = 3;
  p.scaleDenominator = 3;
  return p;
}

// Destroys the engine and frees what it hands back.
inline void DestroyAndFree(DictEngine* engine, MemHandle** engineRecord = nullptr, MemHandle** dicts = nullptr) {
  EngineSaveBlock* block = DestroyEngine(engine);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->unused, nullptr);
  if (engineRecord) {
    *engineRecord = block->engineRecord;
  } else {
    FreeMemHandle(block->engineRecord);
  }
  if (dicts) {
    *dicts = block->dictsRecord;
  } else {
    FreeMemHandle(block->dictsRecord);
  }
  LocalFree(block);
}

}  // namespace dictfix
