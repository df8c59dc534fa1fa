// An engine for the text tests: the built-in syllable tables, and the data
// files a test adds (code pages written by tools/databuild).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/pinyin.h"
#include "resources/resources.h"
#include "resources/syllables.h"
#include "tests/engine_data/dict_fixture.h"
#include "tools/databuild/code_page_tables.h"

namespace textfix {

// Both code pages generated once per run.
inline const databuild::CodePageData& CodePage(uint32_t id) {
  static databuild::CodePageData pages[2];
  databuild::CodePageData& page = pages[id == databuild::kCodePageBig5 ? 1 : 0];
  if (page.id == 0) {
    std::string error;
    EXPECT_EQ(databuild::GenerateCodePage(id, &page, &error), 0) << error;
  }
  return page;
}

// A data file holding the given code pages in both directions.
inline databuild::DataFileSpec CodePageFile(const std::vector<const databuild::CodePageData*>& pages) {
  databuild::DataFileSpec desc;
  desc.shortName = u"Code pages";
  for (const databuild::CodePageData* page : pages) {
    databuild::TableSpec encode, decode;
    databuild::MakeCodePageTables(*page, &encode, &decode);
    desc.tables.push_back(encode);
    desc.tables.push_back(decode);
  }
  return desc;
}

class TextEngine : public ::testing::Test {
 protected:
  void TearDown() override {
    if (engine_) dictfix::DestroyAndFree(engine_);
  }
  DictEngine* Create() {
    RegisterSorviResources();
    EngineParams p = dictfix::QuietParams();
    engine_ = CreateEngine(files_.files().data(), static_cast<uint32_t>(files_.files().size()), &p);
    EXPECT_NE(engine_, nullptr);
    return engine_;
  }
  dictfix::DataFiles files_;
  DictEngine* engine_ = nullptr;
};

// Syllable code of a spelling ("hao") and tone; fails the test for an
// unknown spelling.
inline WCHAR Code(const char* spelling, uint32_t tone) {
  const int n = FindSyllable(spelling);
  EXPECT_GE(n, 0) << spelling;
  return SyllableCode(static_cast<uint32_t>(n < 0 ? 0 : n), tone);
}

// The code after the last tone of the last syllable that begins with the
// prefix: the high end of a syllable typed in part.
inline WCHAR Cover(const std::string& prefix) {
  int last = -1;
  for (int n = 0; n < kSyllableCount; ++n)
    if (SyllableSpelling(n).starts_with(prefix)) last = n;
  EXPECT_GE(last, 0) << prefix;
  return SyllableCode(static_cast<uint32_t>(last < 0 ? 0 : last), 5);
}

}  // namespace textfix
