// An engine over dictionaries written for the benchmark tests: the
// CC-CEDICT excerpt of the search tests, or entries given by the test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/lookup/entry_lines.h"
#include "bench/lookup/excerpt_dict.h"
#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/mem_handle.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "resources/resources.h"
#include "tests/support/cedict_excerpt.h"
#include "tests/support/temp_device_root.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/entry_markup.h"

namespace benchfix {

namespace db = databuild;

class EngineOver : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<TempDeviceRoot>();
    root_ = temp_->path();
    ClearOpenFileCache();
    RegisterSorviResources();
  }
  void TearDown() override {
    if (engine_) {
      FreeEngineSaveBlock(DestroyEngine(engine_));
    }
    for (DbFile* f : files_) CloseDbFile(f);
    temp_.reset();
  }

  // The excerpt's dictionary as file `name`.
  void WriteExcerpt(const std::string& name = "c.pdb") {
    std::string error;
    ASSERT_EQ(lookupbench::WriteExcerptDict(kCedictExcerptPath, (root_ / name).string(), &error), 0) << error;
    Open(name);
  }
  // A dictionary of these entries as file `name`, with its search indexes.
  void WriteEntries(const std::vector<db::PlainEntry>& entries, const std::string& name = "d.pdb") {
    db::DictionarySpec dict;
    dict.info.creator = 0x54455354;
    dict.info.dictId = 9;
    dict.info.shortName = u"Test";
    db::SetEntryMarkupFields(&dict.info);
    dict.wordLengths = true;
    dict.searchIndexes = true;
    std::string error;
    for (const db::PlainEntry& p : entries) {
      db::DictEntrySpec e;
      ASSERT_EQ(db::MakeMarkupEntry(p, &e, &error), 0) << error;
      e.index.headwords = {p.simplified, p.traditional};
      e.index.pinyin = db::PinyinNumbersToCodes(p.pinyin);
      dict.entries.push_back(e);
    }
    db::DataFileSpec file;
    file.shortName = dict.info.shortName;
    ASSERT_EQ(db::AddDictionaryTables(dict, &file, &error), 0) << error;
    ASSERT_EQ(db::WriteDataFile(file, (root_ / name).string(), &error), 0) << error;
    Open(name);
  }
  DictEngine* Create() {
    EngineParams p{};
    p.noFonts = 1;
    p.noFlashcards = 1;
    p.scaleNumerator = 3;
    p.scaleDenominator = 3;
    engine_ = CreateEngine(files_.data(), static_cast<uint32_t>(files_.size()), &p);
    EXPECT_NE(engine_, nullptr);
    return engine_;
  }

  std::vector<DbFile*> files_;
  DictEngine* engine_ = nullptr;

 private:
  void Open(const std::string& name) {
    std::u16string path = u"\\" + Utf8ToUtf16(name);
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int kind = 0;
    DbFile* f = OpenDbFile(h, reinterpret_cast<LPCWSTR>(path.c_str()), &kind);
    ASSERT_NE(f, nullptr);
    files_.push_back(f);
  }

  std::unique_ptr<TempDeviceRoot> temp_;

  std::filesystem::path root_;
};

}  // namespace benchfix
