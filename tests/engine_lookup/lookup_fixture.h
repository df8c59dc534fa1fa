// An engine for the lookup tests: dictionaries written by tools/databuild
// into a device root of the test's own, with an optional user dictionary.
//
// The standard set (BuildStandard), in slot order:
//   kCedict   Chinese-English, the CC-CEDICT excerpt (entry i = row i)
//   kMini     a second Chinese-English dictionary with homographs: the
//             readings of 好 carry the numbers 1 and 2, 明 comes as Ming2
//             (a word with a capital) and ming2
//   kEnglish  English-Chinese
//   kChars    a character dictionary (flag 0x10); 人 has no main reading
// and a Chinese user dictionary when asked for (AddUserDict, after Build).
//
// Tests that include this header from another folder link sorvi_engine and
// sorvi_databuild.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/search_results.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/engine_search/search_fixture.h"
#include "tests/support/fake_engine_host.h"
#include "tests/support/virtual_clock.h"

namespace lookupfix {

namespace db = databuild;
using searchfix::CedictRow;
using searchfix::Row;

enum : uint16_t { kCedict = 0, kMini = 1, kEnglish = 2, kChars = 3 };

inline constexpr uint32_t kCedictId = 1;
inline constexpr uint32_t kMiniId = 2;
inline constexpr uint32_t kEnglishId = 3;
inline constexpr uint32_t kCharsId = 4;

// Puts a homograph number before the reading of a written entry.
inline void AddHomographNumber(db::DictEntrySpec* entry, char16_t digit) {
  const size_t at = entry->text.find(u'\uEA01');
  ASSERT_NE(at, std::u16string::npos);
  entry->text.insert(at + 1, 1, digit);
}

class LookupFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSorviResources();
    InstallTestClock();
  }
  void TearDown() override {
    if (engine_) dictfix::DestroyAndFree(engine_);
    engine_ = nullptr;
    UninstallVirtualClock();
  }

  // Dictionaries, added in slot order before Build.
  void AddDict(const db::DictionarySpec& desc) {
    db::DataFileSpec file;
    file.shortName = desc.info.shortName;
    std::string error;
    ASSERT_EQ(db::AddDictionaryTables(desc, &file, &error), 0) << error;
    files_.Add(file);
  }
  void AddCedict() {
    cedict_ = searchfix::LoadCedictExcerpt();
    ASSERT_GT(cedict_.size(), 200u);
    db::DictionarySpec d = searchfix::ChineseDict(cedict_, kCedictId, u"CEDICT");
    d.info.iconText = u"CE";
    d.info.iconFillColor = 0x0000FF;
    d.info.iconTextColor = 0xFFFFFF;
    AddDict(d);
  }
  // The homograph dictionary, under `dictId` (another id makes it the
  // dictionary of the marked results).
  void AddMini(uint32_t dictId = kMiniId) {
    mini_ = {Row(u"那", u"那", "na4", {u"that"}),
             Row(u"中国", u"中國", "Zhong1 guo2", {u"the Middle Kingdom"}),
             Row(u"好", u"好", "hao3", {u"good; well"}),
             Row(u"好", u"好", "hao4", {u"to be fond of"}),
             Row(u"天", u"天", "tian1", {u"sky; day"}),
             Row(u"明", u"明", "Ming2", {u"Ming Dynasty"}),
             Row(u"明", u"明", "ming2", {u"bright"})};
    db::DictionarySpec d = searchfix::ChineseDict(mini_, dictId, u"Mini");
    AddHomographNumber(&d.entries[2], u'1');
    AddHomographNumber(&d.entries[3], u'2');
    d.info.iconText = u"MI";
    AddDict(d);
  }
  void AddEnglish() {
    english_ = {Row(u"student", u"", "", {u"学生", u"pupil"}), Row(u"study", u"", "", {u"学习"}),
                Row(u"good", u"", "", {u"好"}), Row(u"sky", u"", "", {u"天"})};
    db::DictionarySpec d = searchfix::EnglishDict(english_, kEnglishId);
    englishOrder_ = db::DictionaryEntryOrder(d);
    AddDict(d);
  }
  void AddChars() {
    chars_ = {Row(u"中", u"中", "zhong1 zhong4", {}), Row(u"好", u"好", "hao3 hao4", {}), Row(u"人", u"人", "", {})};
    AddDict(searchfix::CharDict(chars_, kCharsId));
  }
  void BuildStandard() {
    AddCedict();
    AddMini();
    AddEnglish();
    AddChars();
    Build();
    ASSERT_EQ(GetDictCount(engine_), 4);
  }

  // The engine over the files added; with giveStore a fake flashcard store,
  // with storeFile the store that the flashcard services the test put into
  // the host open at that device path.
  DictEngine* Build(bool giveStore = false, const char* storeFile = nullptr) {
    host_.giveStore = giveStore;
    CreateDirectoryW(u"\\My Documents", nullptr);
    EngineParams p = dictfix::QuietParams();
    p.noFlashcards = giveStore || storeFile ? 0 : 1;
    p.flashcardArg = const_cast<char*>(storeFile);
    p.host = &host_.host;
    p.userFolder = "\\My Documents\\";
    p.userExtension = ".kvb";
    engine_ = CreateEngine(files_.files().data(), static_cast<uint32_t>(files_.files().size()), &p);
    EXPECT_NE(engine_, nullptr);
    return engine_;
  }

  // A new user dictionary of the language (after Build); its slot.
  uint16_t AddUserDict(uint32_t language = kLanguageChinese) {
    const uint16_t before = GetDictCount(engine_);
    EXPECT_EQ(CreateUserDictFileNamed(engine_, language, 65535, nullptr), 0);
    EXPECT_EQ(GetDictCount(engine_), before + 1);
    return before;
  }

  // The entry numbers of a headword in the test's own rows.
  static uint32_t EntryOf(const std::vector<CedictRow>& rows, const std::u16string& simplified, size_t nth = 0) {
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].simplified == simplified && nth-- == 0) return static_cast<uint32_t>(i);
    ADD_FAILURE() << "no such row";
    return 0xFFFFFFFFu;
  }
  uint32_t EnglishEntryOf(const std::u16string& head) const {
    for (size_t e = 0; e < englishOrder_.size(); ++e)
      if (english_[englishOrder_[e]].simplified == head) return static_cast<uint32_t>(e);
    ADD_FAILURE() << "no such English headword";
    return 0xFFFFFFFFu;
  }

  // A MemHandle's text.
  static std::u16string HandleText(MemHandle* h) {
    if (!h || GetMemHandleSize(h) < 2) return {};
    const auto* p = static_cast<const char16_t*>(LockMemHandle(h));
    std::u16string s;
    for (uint32_t i = 0; i < GetMemHandleSize(h) / 2 && p[i]; ++i) s.push_back(p[i]);
    UnlockMemHandle(h);
    return s;
  }
  // The (slot, entry) items of a list.
  static std::vector<std::pair<uint16_t, uint32_t>> Items(const SearchResultList* list) {
    std::vector<std::pair<uint16_t, uint32_t>> out;
    for (uint32_t i = 0; list && i < list->count; ++i)
      out.push_back({static_cast<uint16_t>(list->items[i].first & kResultSlotMask), list->items[i].entry});
    return out;
  }

  FakeEngineHost host_;
  dictfix::DataFiles files_;
  DictEngine* engine_ = nullptr;
  std::vector<CedictRow> cedict_, mini_, english_, chars_;
  std::vector<size_t> englishOrder_;
};

}  // namespace lookupfix
