// Sources and dictionaries for the reader's document tests.
//
// Sources sit behind a read proc that counts its calls and the bytes they
// asked for. The dictionaries (written by tools/databuild) hold the words
// the segmentation tables need: 中, 中国, 中国人, 中国人民, 人民, 我们, 好,
// 国家 in "Words" (slot 0, 好 twice: hao3 and hao4), and 中国 and 好 again in "Second" (slot 1), so
// that the next-dictionary command has somewhere to go; and one audio group
// (file set A) with clips of 中国 and 好.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/reader_document.h"
#include "engine/dict_engine.h"
#include "engine/preferences.h"
#include "resources/resources.h"
#include "tests/engine_search/search_fixture.h"
#include "tests/support/fake_engine_host.h"
#include "tests/support/virtual_clock.h"
#include "tools/databuild/audio_tables.h"

namespace readerfix {

struct Read {
  uint32_t offset, count;
  bool operator==(const Read&) const = default;
};

// A source in memory; every read is recorded.
struct Source {
  std::vector<uint8_t> bytes;
  std::vector<Read> reads;
  uint64_t bytesRead = 0;

  static uint32_t Proc(void* context, void* buffer, uint32_t offset, uint32_t count) {
    auto* s = static_cast<Source*>(context);
    s->reads.push_back({offset, count});
    if (offset >= s->bytes.size()) return 0;
    const uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(s->bytes.size() - offset));
    std::memcpy(buffer, s->bytes.data() + offset, n);
    s->bytesRead += n;
    return n;
  }
};

inline std::vector<uint8_t> Utf16Le(const std::u16string& s) {
  std::vector<uint8_t> b;
  for (char16_t c : s) b.push_back(static_cast<uint8_t>(c)), b.push_back(static_cast<uint8_t>(c >> 8));
  return b;
}
inline std::vector<uint8_t> Utf16Be(const std::u16string& s) {
  std::vector<uint8_t> b;
  for (char16_t c : s) b.push_back(static_cast<uint8_t>(c >> 8)), b.push_back(static_cast<uint8_t>(c));
  return b;
}
inline std::vector<uint8_t> Utf8(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// 50,000 UTF-16 units: CJK and ASCII mixed, each position telling its place.
inline std::u16string MixedText(size_t units) {
  std::u16string s;
  for (size_t i = 0; s.size() < units; ++i) {
    s.push_back(static_cast<char16_t>(0x4E00 + (i * 7) % 0x5000));
    s.push_back(static_cast<char16_t>('a' + i % 26));
  }
  s.resize(units);
  return s;
}

// Every notice the document sends.
inline std::vector<ReaderUpdate>* g_updates = nullptr;
inline void Record(ReaderDocument*, const ReaderUpdate* u) {
  if (g_updates) g_updates->push_back(*u);
}

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSorviResources();
    InstallTestClock();
    g_updates = &updates_;
  }
  void TearDown() override {
    if (doc_) CloseReaderDocument(doc_);
    doc_ = nullptr;
    if (engine_) dictfix::DestroyAndFree(engine_);
    engine_ = nullptr;
    g_updates = nullptr;
    UninstallVirtualClock();
  }

  void BuildEngine(bool dictionaries = true) {
    using searchfix::Row;
    if (dictionaries) {
      words_ = {Row(u"中", u"中", "zhong1", {u"middle"}),
                Row(u"中国", u"中國", "Zhong1 guo2", {u"China"}),
                Row(u"中国人", u"中國人", "Zhong1 guo2 ren2", {u"Chinese person"}),
                Row(u"中国人民", u"中國人民", "Zhong1 guo2 ren2 min2", {u"the Chinese people"}),
                Row(u"人民", u"人民", "ren2 min2", {u"the people"}),
                Row(u"我们", u"我們", "wo3 men5", {u"we"}),
                Row(u"好", u"好", "hao3", {u"good"}),
                Row(u"国家", u"國家", "guo2 jia1", {u"country"}),
                Row(u"好", u"好", "hao4", {u"to be fond of"})};
      AddDict(searchfix::ChineseDict(words_, 1, u"Words"), u"WD");
      second_ = {Row(u"中国", u"中國", "Zhong1 guo2", {u"the Middle Kingdom"}), Row(u"好", u"好", "hao3", {u"fine"})};
      databuild::DictionarySpec second = searchfix::ChineseDict(second_, 2, u"Second");
      second.info.flags |= secondFlags_;
      AddDict(second, u"SE");
      // One audio group (file set A): the whole word 中国 and 好.
      databuild::AudioGroupSpec audio;
      audio.flags = databuild::kAudioSetA;
      audio.clips = {{databuild::PinyinNumbersToCodes("zhong1 guo2"), {'z', 'g'}},
                     {databuild::PinyinNumbersToCodes("hao3"), {'h', '3'}}};
      databuild::DataFileSpec audioFile;
      audioFile.shortName = u"Audio";
      std::string error;
      ASSERT_EQ(databuild::AddAudioGroup(audio, &audioFile, &error), 0) << error;
      files_.Add(audioFile);
    }
    for (auto& spec : extra_) {
      databuild::ByteVec bytes;
      std::string error;
      ASSERT_EQ(databuild::BuildDataFile(spec, &bytes, nullptr, &error), 0) << error;
      files_.AddBytes(bytes);
    }
    EngineParams p = dictfix::QuietParams();
    p.noFlashcards = 0;
    host_.giveStore = true;
    p.host = &host_.host;
    engine_ = CreateEngine(files_.files().data(), static_cast<uint32_t>(files_.files().size()), &p);
    ASSERT_NE(engine_, nullptr);
  }
  void AddDict(databuild::DictionarySpec d, std::u16string icon) {
    d.info.iconText = icon;
    databuild::DataFileSpec file;
    file.shortName = d.info.shortName;
    std::string error;
    ASSERT_EQ(databuild::AddDictionaryTables(d, &file, &error), 0) << error;
    files_.Add(file);
  }

  static ReaderSettings Request(uint32_t source, uint32_t encoding) {
    ReaderSettings r{};
    r.source = source;
    r.encoding = encoding;
    r.firstId = kReaderNoDocumentId;
    r.showHighlight = 1;
    r.hardwarePageScroll = 1;
    return r;
  }
  // A callback document over `source`, its first page read.
  ReaderDocument* Open(Source* source, uint32_t encoding, const char16_t* keyName = u"a.txt",
                       uint32_t kind = kReaderSourceTextFile) {
    const ReaderSettings r = Request(kind, encoding);
    doc_ = OpenReaderDocument(engine_, &r, u"Title", Record, Source::Proc, source, keyName,
                              static_cast<uint32_t>(source->bytes.size()), 0x1234);
    EXPECT_NE(doc_, nullptr);
    if (doc_) GoToStartPosition(doc_);
    return doc_;
  }
  // A UTF-16LE page holding `text` alone.
  ReaderDocument* OpenText(const std::u16string& text) {
    page_.bytes = Utf16Le(text);
    return Open(&page_, kReaderUtf16Le);
  }
  void Close() {
    CloseReaderDocument(doc_);
    doc_ = nullptr;
  }
  std::u16string Word(uint32_t* start = nullptr, uint32_t* end = nullptr) const {
    return GetReaderWord(doc_, start, end);
  }
  std::u16string Selected() const {
    int32_t s = 0, e = 0;
    const WCHAR* text = GetReaderText(doc_, nullptr, &s, &e);
    return std::u16string(text + s, text + e);
  }

  FakeEngineHost host_;
  dictfix::DataFiles files_;
  std::vector<databuild::DataFileSpec> extra_;
  uint32_t secondFlags_ = 0;  // extra flags of the "Second" dictionary
  DictEngine* engine_ = nullptr;
  ReaderDocument* doc_ = nullptr;
  Source page_;
  std::vector<ReaderUpdate> updates_;
  std::vector<searchfix::CedictRow> words_, second_;
};

}  // namespace readerfix
