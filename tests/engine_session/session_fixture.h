// A lookup session over the lookup tests' dictionaries, with a callback that
// records every notice.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/lookup_services.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/search_results.h"
#include "tests/engine_lookup/lookup_fixture.h"

namespace sessionfix {

// The flags of a notice as letters, for readable expectations:
// T tool bar, D definition, H highlight, R list redraw, L list length,
// S list selection, E entry chosen, N dictionary notice, A search again,
// V save state.
inline std::string Flags(const LookupUpdateRecord& u) {
  std::string out;
  if (u.toolBar) out += 'T';
  if (u.definition) out += 'D';
  if (u.highlight) out += 'H';
  if (u.listRedraw) out += 'R';
  if (u.listLength) out += 'L';
  if (u.listSelection) out += 'S';
  if (u.entryChosen) out += 'E';
  if (u.dictNotice) out += 'N';
  if (u.searchAgain) out += 'A';
  if (u.saveState) out += 'V';
  return out;
}

// Private-use units (markup, syllable codes, style codes) left out.
inline std::u16string Plain(const std::u16string& s) {
  std::u16string out;
  for (char16_t c : s)
    if (c < 0xE000 || c > 0xF8FF) out.push_back(c);
  return out;
}

class SessionTest : public lookupfix::LookupFixture {
 protected:
  void TearDown() override {
    if (session_) {
      LookupHistoryBlobs b = DestroyLookupSession(session_, 0);
      FreeMemHandle(b.recentQueries);
      FreeMemHandle(b.recentEntries);
      session_ = nullptr;
    }
    lookupfix::LookupFixture::TearDown();
  }

  static int Record(void* context, const LookupUpdateRecord* update) {
    static_cast<SessionTest*>(context)->notices_.push_back(*update);
    return 0;
  }

  LookupSession* Open(MemHandle* queries = nullptr, MemHandle* entries = nullptr, bool fresh = false) {
    LookupSessionParams p{};
    p.recentQueries = queries;
    p.recentEntries = entries;
    p.callback = &SessionTest::Record;
    p.context = this;
    p.freshStart = fresh ? 1 : 0;
    session_ = NewLookupSession(engine_, &p);
    EXPECT_NE(session_, nullptr);
    return session_;
  }
  void Reopen(LookupHistoryBlobs blobs) {
    LookupHistoryBlobs old = DestroyLookupSession(session_, 0);
    FreeMemHandle(old.recentQueries);
    FreeMemHandle(old.recentEntries);
    session_ = nullptr;
    Open(blobs.recentQueries, blobs.recentEntries);
  }

  // The notices since the last call, as flag letters.
  std::vector<std::string> Taken() {
    std::vector<std::string> out;
    for (const auto& u : notices_) out.push_back(Flags(u));
    notices_.clear();
    return out;
  }
  std::string Last() { return notices_.empty() ? "<none>" : Flags(notices_.back()); }

  void Search(const std::u16string& text, int force = 0) { LookupSearchFor(session_, text.c_str(), force); }
  int Command(uint32_t command, int32_t argument = -1) { return LookupHandleCommand(session_, command, argument); }

  // The definition of the current entry as the main window shows it.
  std::u16string Definition() {
    MemHandle* h = NewMemHandle(2);
    LookupFormatCurrentEntry(session_, h, 0);
    std::u16string text = HandleText(h);
    FreeMemHandle(h);
    return text;
  }
  std::u16string RowText(uint32_t row) {
    WCHAR buffer[200];
    buffer[0] = u'?';
    EXPECT_EQ(FormatLookupEntryToBuffer(session_, row, buffer, 200), 0);
    return buffer;
  }
  uint32_t Rows() {
    uint32_t rows = 0;
    LookupGetCounts(session_, &rows, nullptr);
    return rows;
  }
  std::pair<uint16_t, uint32_t> Current() { return {session_->currentSlot, session_->currentEntry}; }
  // (slot, entry) of each history record, newest first.
  std::vector<std::pair<uint16_t, uint32_t>> History() {
    std::vector<std::pair<uint16_t, uint32_t>> out;
    for (uint32_t i = 0; i < session_->historyCount; ++i) {
      const RecentEntryRecord& r = session_->history[i];
      const uint16_t slot = FindDictSlot(engine_, r.creator, r.dictId);
      out.push_back({slot, static_cast<uint32_t>(MapDictEntryId(engine_, slot, static_cast<int32_t>(r.entryKey)))});
    }
    return out;
  }
  std::u16string RecentText(uint32_t n) {
    WCHAR buffer[64] = {};
    EXPECT_EQ(LookupGetRecentQueryText(session_, n, buffer, 64), 0);
    return buffer;
  }

  LookupSession* session_ = nullptr;
  std::vector<LookupUpdateRecord> notices_;
};

}  // namespace sessionfix
