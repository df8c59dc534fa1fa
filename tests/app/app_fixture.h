// Device trees for the start-up tests: a temporary device root with data
// files written by tools/databuild, user databases, fonts and recogniser
// libraries at chosen device paths, and the found-file lists emptied again
// after each test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_file_search.h"
#include "engine/utf8.h"
#include "platform/heap.h"
#include "tests/engine_search/search_fixture.h"
#include "tests/support/temp_device_root.h"
#include "tools/databuild/data_file_builder.h"

namespace appfix {

namespace db = databuild;

// A dictionary of three words from the CC-CEDICT excerpt's style.
inline db::ByteVec SmallDictionary(uint32_t dictId = 1, std::u16string name = u"Words") {
  using searchfix::Row;
  std::vector<searchfix::CedictRow> rows = {Row(u"中", u"中", "zhong1", {u"middle"}),
                                            Row(u"中国", u"中國", "Zhong1 guo2", {u"China"}),
                                            Row(u"好", u"好", "hao3", {u"good"})};
  db::DataFileSpec file;
  file.shortName = name;
  db::DictionarySpec dict = searchfix::ChineseDict(rows, dictId, name);
  dict.info.iconText = u"WD";
  std::string error;
  EXPECT_EQ(db::AddDictionaryTables(dict, &file, &error), 0) << error;
  db::ByteVec bytes;
  EXPECT_EQ(db::BuildDataFile(file, &bytes, nullptr, &error), 0) << error;
  return bytes;
}

// The smallest container the data-file layer accepts as a data file.
inline db::ByteVec TinyDataFile(int n) {
  db::DataFileSpec file;
  file.shortName = u"T" + searchfix::Utf16(std::to_string(n));
  db::ByteVec bytes;
  std::string error;
  EXPECT_EQ(db::BuildDataFile(file, &bytes, nullptr, &error), 0) << error;
  return bytes;
}

// A container whose creator is not ours: the data-file layer refuses it.
inline db::ByteVec WrongCreator(db::ByteVec bytes) {
  if (bytes.size() > 67) bytes[64] = 'X';
  return bytes;
}

class DeviceTree {
 public:
  DeviceTree() = default;
  ~DeviceTree() {
    CloseFoundDataFiles();
    FreeFoundPaths();
  }

  // `path` relative to the root, "/" between names.
  void Write(const std::string& path, const db::ByteVec& bytes) {
    std::filesystem::path host = root_.path() / path;
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void WriteText(const std::string& path, const std::string& text) {
    Write(path, db::ByteVec(text.begin(), text.end()));
  }
  void Copy(const std::string& from, const std::string& path) {
    std::filesystem::path host = root_.path() / path;
    std::filesystem::create_directories(host.parent_path());
    std::filesystem::copy_file(from, host, std::filesystem::copy_options::overwrite_existing);
  }
  void Folder(const std::string& path) { std::filesystem::create_directories(root_.path() / path); }
  // Storage cards: folders of the root listed in "storage-cards.txt".
  void StorageCards(const std::string& lines) { WriteText("storage-cards.txt", lines); }

  const TempDeviceRoot& root() const { return root_; }

 private:
  TempDeviceRoot root_;
};

// The found lists as device paths, for comparison.
inline std::vector<std::u16string> DataFilePaths() {
  std::vector<std::u16string> out;
  for (uint32_t i = 0; i < AppFoundFiles.dataFileCount; ++i) out.push_back(AppFoundFiles.dataFiles[i]->path);
  return out;
}
inline std::vector<std::string> Strings(char* const* list, uint32_t count) {
  return std::vector<std::string>(list, list + count);
}

}  // namespace appfix
