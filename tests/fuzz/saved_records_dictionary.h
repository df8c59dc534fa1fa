// The small fixed dictionary under the saved-record and user-dictionary
// fuzz targets (and their seeding programs): a few Chinese and English
// headword entries in one data file.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/engine_search/search_fixture.h"
#include "tools/databuild/data_file_builder.h"

namespace fuzz {

inline std::vector<uint8_t> RecordsDictionaryFile() {
  using searchfix::Row;
  const std::vector<searchfix::CedictRow> rows = {
      Row(u"你", u"你", "ni3", {u"you (informal)"}),    Row(u"好", u"好", "hao3", {u"good", u"well"}),
      Row(u"好", u"好", "hao4", {u"to be fond of"}),    Row(u"你好", u"你好", "ni3 hao3", {u"hello; hi"}),
      Row(u"中国", u"中國", "Zhong1 guo2", {u"China"}),
  };
  databuild::DataFileSpec file;
  file.shortName = u"Test";
  std::string error;
  std::vector<uint8_t> bytes;
  if (databuild::AddDictionaryTables(searchfix::ChineseDict(rows, 1, u"Test"), &file, &error) != 0 ||
      databuild::AddDictionaryTables(searchfix::EnglishDict(rows, 2), &file, &error) != 0 ||
      databuild::BuildDataFile(file, &bytes, nullptr, &error) != 0) {
    std::fprintf(stderr, "the fuzz dictionary: %s\n", error.c_str());
    std::abort();
  }
  return bytes;
}

}  // namespace fuzz
