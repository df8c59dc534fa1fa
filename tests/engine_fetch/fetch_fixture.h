// Dictionaries in entry markup for the formatter and fetch tests: one rich
// dictionary whose fields cover the display kinds and styles, written by
// tools/databuild and opened by an engine of its own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/text_buffer.h"
#include "resources/resources.h"
#include "resources/syllables.h"
#include "tests/engine_data/dict_fixture.h"
#include "tools/databuild/dict_tables.h"

namespace fetchfix {

namespace db = databuild;

// Markup pieces.
inline std::u16string Field(int f) { return std::u16string(1, static_cast<char16_t>(0xEA00 + f)); }
inline std::u16string Sec(int d) { return std::u16string(1, static_cast<char16_t>(0xEAA0 + d)); }
inline const std::u16string kClose = u"\uEAAF";
inline const std::u16string kSep = u"\uEA93";
inline const std::u16string kWordBreak = u"\uE9F1";
inline char16_t SylCode(const char* spelling, int tone) {
  int s = FindSyllable(spelling);
  EXPECT_GE(s, 0) << spelling;
  return static_cast<char16_t>(0xE000 + 5 * s + tone);
}
inline std::u16string Syl(const char* spelling, int tone) { return std::u16string(1, SylCode(spelling, tone)); }
// The two payload units of a style code.
inline std::u16string Payload(uint32_t v) {
  return {static_cast<char16_t>(((v >> 15) & 0x7FFF) | 0x8000), static_cast<char16_t>((v & 0x7FFF) | 0x8000)};
}

// Fields of the rich dictionary.
enum RichField : int {
  kHead = 0,        // two-form Chinese headword, class 0
  kPinyin = 1,      // syllable codes, class 1
  kSense = 2,       // plain definition, class 2
  kStyled = 3,      // bold, italic, underline, colour and link, class 2
  kSee = 4,         // hidden-target link (kind 3), class 3
  kRef = 5,         // link with an id (kind 4), class 3
  kUpper = 6,       // letters written as capitals, class 4
  kNote = 7,        // bold "(" prefix and ")" suffix, class 4, level 3
  kMeasure = 8,     // on a new line after an empty one, class 5
  kSynA = 9,        // grouped with kSynB, class 6
  kSynB = 10,       // group separator label "or", class 6
  kRestart = 11,    // numbering starts again after it, class 2
  kHeadPlain = 12,  // Chinese, display kind 1, class 0
};
inline constexpr uint32_t kStyledColor = 0x123456;

inline db::DictInfoSpec RichInfo() {
  db::DictInfoSpec info;
  info.creator = 0x46455443;
  info.dictId = 7;
  info.language = db::kLanguageChinese;
  info.iconText = u"RC";
  info.menuName = u"Rich";
  info.shortName = u"RichDict";
  auto field = [&](const char16_t* name, uint32_t classWord, uint32_t type, uint32_t kind, uint32_t style) {
    db::DictFieldSpec f;
    f.name = name;
    f.classWord = classWord;
    f.type = type;
    f.displayKind = kind;
    f.style = style;
    info.fields.push_back(f);
    return &info.fields.back();
  };
  field(u"Headword", 0x1000, db::kFieldChinese, kDisplayTwoForm, 0);
  field(u"Pinyin", 0x0100, db::kFieldPinyin, kDisplayPlain, 0);
  field(u"Sense", 0x0200, 0, kDisplayPlain, 0);
  field(u"Styled", 0x0200, 0, kDisplayPlain, kFieldBold | kFieldItalic | kFieldUnderline | kFieldColor | kFieldLink)
      ->color = kStyledColor;
  field(u"See", 0x0300, 0, kDisplayHiddenLink, kFieldLink);
  field(u"Ref", 0x0300, 0, kDisplayLinkId, kFieldLink);
  field(u"Upper", 0x0400, 0, kDisplayPlain, kFieldUpperCase);
  db::DictFieldSpec* note = field(u"Note", 0x0400, 0, kDisplayPlain, kFieldBoldPrefix);
  note->prefix = u"(";
  note->suffix = u")";
  note->level = 3;
  field(u"Measure", 0x0500, 0, kDisplayPlain, kFieldNewLine | kFieldEmptyLineBefore);
  field(u"SynA", 0x0600, 0, kDisplayPlain, 0)->grouping = kFieldGrouped;
  db::DictFieldSpec* synB = field(u"SynB", 0x0600, 0, kDisplayPlain, kFieldBoldSeparator);
  synB->separator = u"or ";
  field(u"Restart", 0x0200, 0, kDisplayPlain, 0)->grouping = kFieldRestartsSections;
  field(u"HeadPlain", 0x0000, db::kFieldChinese, kDisplayPlain, 0);

  db::DictSectionSpec l0;  // 1. 2. 3.
  l0.limit = 1000;
  l0.style = 4;
  l0.suffix = u'.';
  db::DictSectionSpec l1;  // a) b) c)
  l1.limit = 100;
  l1.style = 5;
  l1.suffix = u')';
  db::DictSectionSpec l2;  // circled numbers, kept when empty
  l2.flags = kSectionKeepNumber;
  l2.limit = 100;
  l2.style = 3;
  l2.prefix = u'\u2460';
  info.sections = {l0, l1, l2};
  return info;
}

// An engine over the data files added to it.
class EngineFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    if (engine_) dictfix::DestroyAndFree(engine_);
  }
  void AddDict(const db::DictionarySpec& desc) {
    db::DataFileSpec file;
    file.shortName = desc.info.shortName;
    std::string error;
    ASSERT_EQ(db::AddDictionaryTables(desc, &file, &error), 0) << error;
    files_.Add(file);
  }
  void AddTables(const std::vector<db::TableSpec>& tables, std::u16string shortName = u"D") {
    db::DataFileSpec file;
    file.shortName = shortName;
    file.tables = tables;
    files_.Add(file);
  }
  DictEngine* Create() {
    RegisterSorviResources();  // the syllable tables
    EngineParams p = dictfix::QuietParams();
    engine_ = CreateEngine(files_.files().data(), static_cast<uint32_t>(files_.files().size()), &p);
    EXPECT_NE(engine_, nullptr);
    return engine_;
  }
  // The entry's text through FetchDictEntryText into a growable buffer.
  std::u16string Fetch(const EntryFetchRequest& request, int* rc = nullptr) {
    TextBuffer tb{};
    int r = FetchDictEntryText(engine_, &request, &tb);
    if (rc) *rc = r;
    std::u16string out;
    if (tb.handle) {
      const auto* data = static_cast<const char16_t*>(LockMemHandle(tb.handle));
      out.assign(data, tb.length);
      UnlockMemHandle(tb.handle);
      FreeMemHandle(tb.handle);
    }
    return out;
  }

  dictfix::DataFiles files_;
  DictEngine* engine_ = nullptr;
};

inline db::DictionarySpec DictOf(const db::DictInfoSpec& info, const std::vector<std::u16string>& records) {
  db::DictionarySpec desc;
  desc.info = info;
  for (const auto& r : records) {
    db::DictEntrySpec e;
    e.text = r;
    desc.entries.push_back(e);
  }
  desc.entryBitmap = false;
  return desc;
}

}  // namespace fetchfix
