// The "RecentQueries" and "RecentEntries" records: saving and restoring
// through BuildHistoryBlobs and NewLookupSession, damaged records, the
// saved place of the current dictionary and the start without records.
#include <cstring>

#include "engine/dict_order.h"
#include "tests/engine_session/session_fixture.h"

using namespace sessionfix;
using lookupfix::kCedict;
using lookupfix::kEnglish;
using lookupfix::kMini;

namespace {

MemHandle* Blob(const std::vector<uint8_t>& bytes) {
  MemHandle* h = NewMemHandle(static_cast<uint32_t>(bytes.size()));
  if (bytes.empty()) return h;
  std::memcpy(LockMemHandle(h), bytes.data(), bytes.size());
  UnlockMemHandle(h);
  return h;
}

std::vector<uint8_t> Bytes(MemHandle* h) {
  std::vector<uint8_t> out(GetMemHandleSize(h));
  std::memcpy(out.data(), LockMemHandle(h), out.size());
  UnlockMemHandle(h);
  return out;
}

std::vector<uint8_t> QueryBytes(const std::u16string& text, uint32_t creator, uint32_t dictId) {
  RecentQueryRecord r{};
  for (size_t i = 0; i < text.size() && i < kRecentQueryUnits; ++i) r.text[i] = text[i];
  r.language = kLanguageChinese;
  r.creator = creator;
  r.dictId = dictId;
  std::vector<uint8_t> out(kRecentQueryRecordSize);
  EncodeRecentQueryRecord(&r, out.data());
  return out;
}

TEST(RecentRecords, LayoutIsLittleEndianAtFixedOffsets) {
  RecentQueryRecord q{};
  q.text[0] = u'h';
  q.text[1] = u'\u597D';
  q.language = 4096;
  q.transLanguage = 0;
  q.creator = 0x11223344;
  q.dictId = 7;
  uint8_t bytes[kRecentQueryRecordSize];
  EncodeRecentQueryRecord(&q, bytes);
  EXPECT_EQ(bytes[0], 'h');
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 0x7D);
  EXPECT_EQ(bytes[3], 0x59);
  EXPECT_EQ(bytes[60], 0x00);
  EXPECT_EQ(bytes[61], 0x10);
  EXPECT_EQ(bytes[68], 0x44);
  EXPECT_EQ(bytes[71], 0x11);
  EXPECT_EQ(bytes[72], 7);
  RecentEntryRecord e{0xA1B2C3D4, 2, 0x01020304};
  uint8_t eb[kRecentEntryRecordSize];
  EncodeRecentEntryRecord(&e, eb);
  EXPECT_EQ(eb[0], 0xD4);
  EXPECT_EQ(eb[3], 0xA1);
  EXPECT_EQ(eb[4], 2);
  EXPECT_EQ(eb[8], 0x04);
  RecentEntryRecord back{};
  DecodeRecentEntryRecord(eb, &back);
  EXPECT_EQ(back.creator, e.creator);
  EXPECT_EQ(back.entryKey, e.entryKey);
}

TEST_F(SessionTest, RecordsSurviveSaveAndRestore) {
  BuildStandard();
  Open();
  Search(u"hao");
  Command(kLookupEnglish);
  Search(u"good");
  LookupShowEntry(session_, kMini, 4);
  const auto queries = std::vector<std::u16string>{RecentText(0), RecentText(1)};
  const auto history = History();
  ASSERT_EQ(queries, (std::vector<std::u16string>{u"good", u"hao"}));
  ASSERT_GE(history.size(), 3u);

  LookupHistoryBlobs blobs = BuildHistoryBlobs(session_, 0);
  ASSERT_NE(blobs.recentQueries, nullptr);
  ASSERT_NE(blobs.recentEntries, nullptr);
  EXPECT_EQ(GetMemHandleSize(blobs.recentQueries), 2 * kRecentQueryRecordSize);
  EXPECT_EQ(GetMemHandleSize(blobs.recentEntries), history.size() * kRecentEntryRecordSize);
  // The record names the dictionary and its languages.
  RecentQueryRecord first{};
  DecodeRecentQueryRecord(Bytes(blobs.recentQueries).data(), &first);
  EXPECT_EQ(first.creator, GetDictCreator(engine_, kEnglish));
  EXPECT_EQ(first.dictId, static_cast<uint32_t>(GetDictId(engine_, kEnglish)));
  EXPECT_EQ(first.language, kLanguageEnglish);
  EXPECT_EQ(first.transLanguage, kLanguageChinese);

  Reopen(blobs);
  EXPECT_EQ(LookupGetRecentQueryCount(session_), 2u);
  EXPECT_EQ(RecentText(0), u"good");
  EXPECT_EQ(RecentText(1), u"hao");
  EXPECT_EQ(History(), history);
  EXPECT_EQ(session_->historyIndex, 0u);
  // Going back works over the restored history.
  Command(kLookupBack);
  EXPECT_EQ(Current(), history[1]);

  // Empty lists give no records.
  LookupClearRecentData(session_);
  EXPECT_EQ(LookupGetRecentQueryCount(session_), 0u);
  EXPECT_EQ(session_->results, nullptr);
  LookupHistoryBlobs none = DestroyLookupSession(session_, 0);
  session_ = nullptr;
  EXPECT_EQ(none.recentQueries, nullptr);
  EXPECT_EQ(none.recentEntries, nullptr);
}

TEST_F(SessionTest, DamagedRecordsFallBackSafely) {
  BuildStandard();
  const uint32_t creator = GetDictCreator(engine_, kMini);
  const auto dictId = static_cast<uint32_t>(GetDictId(engine_, kMini));
  {
    SCOPED_TRACE("a text without terminator, and a torn record at the end");
    std::vector<uint8_t> bytes = QueryBytes(std::u16string(30, u'a'), creator, dictId);
    const std::vector<uint8_t> second = QueryBytes(u"hao", creator, dictId);
    bytes.insert(bytes.end(), second.begin(), second.end());
    bytes.resize(bytes.size() + 5, 0x41);
    Open(Blob(bytes));
    ASSERT_EQ(LookupGetRecentQueryCount(session_), 2u);
    EXPECT_EQ(RecentText(0), std::u16string(29, u'a'));
    EXPECT_EQ(RecentText(1), u"hao");
    // Selecting and recording over the cut record stay inside it.
    LookupSelectRecentQuery(session_, 0);
    EXPECT_EQ(session_->currentSlot, kMini);
    Search(std::u16string(29, u'a') + u"b");
    Reopen(LookupHistoryBlobs{});
  }
  {
    SCOPED_TRACE("more than 50 queries and 200 entries: the newest are kept");
    std::vector<uint8_t> queries;
    for (int i = 0; i < 60; ++i) {
      const std::vector<uint8_t> r = QueryBytes(u"q" + std::u16string(1, static_cast<char16_t>(u'A' + i)), creator,
                                                dictId);
      queries.insert(queries.end(), r.begin(), r.end());
    }
    std::vector<uint8_t> entries;
    for (uint32_t i = 0; i < 250; ++i) {
      RecentEntryRecord r{creator, dictId, static_cast<uint32_t>(GetDictEntryKey(engine_, kMini, i % 7))};
      uint8_t b[kRecentEntryRecordSize];
      EncodeRecentEntryRecord(&r, b);
      entries.insert(entries.end(), b, b + kRecentEntryRecordSize);
    }
    Reopen(LookupHistoryBlobs{Blob(queries), Blob(entries)});
    EXPECT_EQ(LookupGetRecentQueryCount(session_), kRecentQueryMax);
    EXPECT_EQ(RecentText(0), u"qA");
    EXPECT_EQ(RecentText(49), std::u16string(u"q") + static_cast<char16_t>(u'A' + 49));
    ASSERT_EQ(session_->historyCount, kHistoryMax);
    EXPECT_EQ(History()[0], std::make_pair(uint16_t{kMini}, 0u));
    EXPECT_EQ(History()[199], std::make_pair(uint16_t{kMini}, 199u % 7));
    // A new query and entry push the oldest out and stay within the limits.
    Search(u"hao");
    EXPECT_EQ(LookupGetRecentQueryCount(session_), kRecentQueryMax);
    EXPECT_EQ(RecentText(0), u"hao");
    EXPECT_EQ(session_->historyCount, kHistoryMax);
    LookupHistoryBlobs saved = BuildHistoryBlobs(session_, 0);
    EXPECT_EQ(GetMemHandleSize(saved.recentQueries), kRecentQueryMax * kRecentQueryRecordSize);
    EXPECT_EQ(GetMemHandleSize(saved.recentEntries), kHistoryMax * kRecentEntryRecordSize);
    FreeMemHandle(saved.recentQueries);
    FreeMemHandle(saved.recentEntries);
  }
  {
    SCOPED_TRACE("records too short to hold one record");
    Reopen(LookupHistoryBlobs{Blob(std::vector<uint8_t>(75, 0x41)), Blob(std::vector<uint8_t>(7, 0x42))});
    EXPECT_EQ(LookupGetRecentQueryCount(session_), 0u);
    EXPECT_EQ(LookupSelectRecentQuery(session_, 0), 0);
    // The history starts with the first entry of slot 0, as without a record.
    ASSERT_EQ(session_->historyCount, 1u);
    EXPECT_EQ(History()[0], std::make_pair(uint16_t{0}, 0u));
    Reopen(LookupHistoryBlobs{Blob({}), nullptr});
    EXPECT_EQ(LookupGetRecentQueryCount(session_), 0u);
    EXPECT_EQ(session_->historyCount, 1u);
  }
}

TEST_F(SessionTest, SavedPlaceAndDictionariesComeBack) {
  BuildStandard();
  Open();
  Command(kLookupEnglish);
  LookupSetDictionary(session_, kMini, 0);
  LookupShowEntryAt(session_, 4);
  const uint32_t entry = session_->currentEntry;
  LookupHistoryBlobs blobs = BuildHistoryBlobs(session_, 1);
  const DictOrderSaved* saved = FindDictOrderPosition(engine_, kMini);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->savedPosition, 4);
  EXPECT_EQ(saved->savedEntry, static_cast<int32_t>(entry));
  EXPECT_EQ(static_cast<uint32_t>(GetPref(engine_, 40)), GetDictCreator(engine_, kMini));
  EXPECT_EQ(GetPref(engine_, 41), GetDictId(engine_, kMini));
  EXPECT_EQ(static_cast<uint32_t>(GetPref(engine_, 42)), GetDictCreator(engine_, kEnglish));
  EXPECT_EQ(GetPref(engine_, 43), GetDictId(engine_, kEnglish));

  Reopen(blobs);
  EXPECT_EQ(session_->currentSlot, kMini);
  EXPECT_EQ(session_->language, kLanguageChinese);
  EXPECT_EQ(session_->currentPosition, 4u);
  EXPECT_EQ(session_->currentIndex, 4u);
  EXPECT_EQ(session_->currentEntry, entry);
  EXPECT_FALSE(LookupIsShowingResults(session_));
  // The English record came back too: switching goes to that dictionary.
  Command(kLookupEnglish);
  EXPECT_EQ(session_->currentSlot, kEnglish);
  // Leaving a dictionary keeps its place for the next visit.
  LookupShowEntryAt(session_, 2);
  LookupSetDictionary(session_, kCedict, 0);
  LookupSetDictionary(session_, kEnglish, 0);
  EXPECT_EQ(session_->currentPosition, 2u);
  EXPECT_EQ(session_->currentIndex, 2u);
}

TEST_F(SessionTest, FreshStartTakesTheFirstDictionary) {
  BuildStandard();
  SetPref(engine_, 40, static_cast<int32_t>(GetDictCreator(engine_, kMini)));
  SetPref(engine_, 41, GetDictId(engine_, kMini));
  Open(nullptr, nullptr, true);
  const uint16_t first = static_cast<uint16_t>(engine_->orderLists[0]->items[0].slot);
  EXPECT_EQ(session_->currentSlot, first);
  EXPECT_EQ(session_->language, kLanguageChinese);
  EXPECT_EQ(session_->currentIndex, 0u);
  EXPECT_EQ(session_->currentEntry, static_cast<uint32_t>(GetDictEntryAtPosition(engine_, first, 0)));
  // Without it the preferences name the dictionary.
  Reopen(LookupHistoryBlobs{});
  EXPECT_EQ(session_->currentSlot, kMini);
}

}  // namespace
