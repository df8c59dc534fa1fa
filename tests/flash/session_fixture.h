// A store with cards written straight into its file, profile settings set
// in the cache, and a session built over them; shared by the session
// tests.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/engine_time.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/profile_lists.h"
#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session.h"
#include "flash_fixture.h"
#include "platform/random.h"

inline const WCHAR* W(const char16_t* s) { return reinterpret_cast<const WCHAR*>(s); }

class SessionTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    SeedRandomForTests(31);
    ASSERT_NE(Open(), nullptr);
    scorefile = GetProfileScorefileId(store);
    ASSERT_GT(scorefile, 0);
    now = GetUtcSeconds();
  }
  void TearDown() override {
    FreeFlashSession(session);
    session = nullptr;
    UnseedRandomForTests();
    FlashTest::TearDown();
  }
  // Cards [first, first + count) of one language and word length.
  void Cards(int32_t first, int32_t count, int32_t lang = 4096, int32_t length = 1, int64_t created = 0) {
    OnStore("WITH RECURSIVE n(i) AS (SELECT " + std::to_string(first) + " UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(first + count - 1) +
            ") INSERT INTO sorvi_flash_cards (id, lang, hw, wordlength, created) SELECT i, " + std::to_string(lang) +
            ", 'w' || i, " + std::to_string(length) + ", " + std::to_string(created) + " FROM n");
  }
  void Score(int32_t card, int32_t score, const std::string& history, int64_t lastReviewed, int32_t reviewed = 1) {
    OnStore("INSERT OR REPLACE INTO sorvi_flash_scores_" + std::to_string(scorefile) +
            " (card, score, difficulty, history, correct, incorrect, reviewed, sincelastchange, firstreviewedtime, "
            "lastreviewedtime, scoreinctime, scoredectime) VALUES (" +
            std::to_string(card) + ", " + std::to_string(score) + ", 100, '" + history + "', 0, 0, " +
            std::to_string(reviewed) + ", 0, 0, " + std::to_string(lastReviewed) + ", 0, 0)");
  }
  void Set(uint32_t id, int32_t value) {
    const ProfileSettingValue v{value, nullptr};
    ASSERT_EQ(SetProfileSetting(store, id, &v), 0);
  }
  void SetText(uint32_t id, const std::u16string& text) {
    const ProfileSettingValue v{0, W(text.c_str())};
    ASSERT_EQ(SetProfileSetting(store, id, &v), 0);
  }
  // Plain selection: every matching card, query order, no pools.
  void Plain() {
    Set(kProCardselection, kSelectFixed);
    Set(kProLimitunlearned, 0);
    Set(kProCardcount, -1);
  }
  int32_t Category(const char16_t* name, int32_t parent = kCategoryRoot) {
    const int32_t id = CreateCategory(store, W(name), -1, parent, -1);
    EXPECT_GT(id, 0);
    return id;
  }
  void Build() {
    FreeFlashSession(session);
    status = -5;
    events.clear();
    session = BuildFlashSession(store, &SessionTest::Record, nullptr, this, &status);
  }
  std::set<int32_t> Selected() {
    Build();
    std::set<int32_t> out;
    if (!session) return out;
    EXPECT_EQ(status, 0);
    for (int32_t i = 0; i < session->cards->count; ++i) out.insert(GetChunkedArrayItem(session->cards, i));
    return out;
  }
  // Keeps every event; an ended session is freed right after its event.
  static void Record(const SessionEventRecord* e, void* self, int32_t) {
    auto* t = static_cast<SessionTest*>(self);
    t->events.emplace_back(e->words, e->words + kSessionEventWords);
    if (e->words[kEventEnded]) t->session = nullptr;
  }
  // How many events asked for word w.
  int Asked(int32_t w) const {
    int n = 0;
    for (const auto& e : events) n += e[w] != 0;
    return n;
  }
  static std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }

  int32_t scorefile = 0;
  uint32_t now = 0;
  FlashSession* session = nullptr;
  int32_t status = 0;
  std::vector<std::vector<int32_t>> events;
};
