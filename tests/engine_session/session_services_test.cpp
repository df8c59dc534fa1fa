// The services over the session: entry texts, the audio file set that each
// playback tries first, and the tool-bar button states.
#include "tests/engine_session/session_fixture.h"

using namespace sessionfix;
using lookupfix::kCedict;
using lookupfix::kEnglish;

namespace {

TEST_F(SessionTest, EntryPartsMenuNameAndButtons) {
  BuildStandard();
  Open();
  const uint32_t hao3 = EntryOf(cedict_, u"好", 0);
  LookupShowEntry(session_, kCedict, hao3);
  WCHAR text[40];
  LookupFetchEntry(session_, text, 40, 0);
  EXPECT_EQ(Plain(text), u"好");
  LookupFetchEntry(session_, text, 40, 1);
  EXPECT_EQ(Plain(text), u"hao3");
  WCHAR name[40];
  EXPECT_EQ(LookupGetDictMenuName(session_, name, 40), 0);
  EXPECT_EQ(std::u16string(name), u"CEDICT");
  LookupButtonInfo info{};
  LookupGetNavState(session_, 3, &info);
  EXPECT_EQ(info.code, 14u);
  EXPECT_EQ(std::u16string(info.iconText), u"CE");
  LookupGetNavState(session_, 6, &info);
  EXPECT_EQ(info.code, 13u);
  LookupGetNavState(session_, 1, &info);
  EXPECT_EQ(info.code, 3u);  // an older record exists
  LookupGetNavState(session_, 42, &info);
  EXPECT_EQ(info.code, 0u);
  // An English dictionary has no pronunciation.
  LookupShowEntry(session_, kEnglish, 0);
  text[0] = u'x';
  LookupFetchEntry(session_, text, 40, 1);
  EXPECT_EQ(text[0], 0);
  // An entry that is gone while nothing else is wrong: message 5.
  session_->currentEntry = 0xFFFFFFFFu;
  EXPECT_NE(Definition().find(u"deleted from the dictionary"), std::u16string::npos);
}

TEST_F(SessionTest, AudioFileSetByPreference210) {
  BuildStandard();
  Open();
  MemHandle* clips[4] = {};
  uint32_t sizes[4] = {};
  auto play = [&] {
    // No syllable index group in these files: nothing is found either way.
    EXPECT_NE(GetLookupEntryAudio(session_, clips, sizes, nullptr), 0);
    return static_cast<int>(session_->audioSet);
  };
  struct Case {
    int32_t pref;
    std::vector<int> sets;  // the set tried first on each of three plays after showing an entry
  } cases[] = {
      {0, {0, 1, 0}},  // alternates from the set used last (1 here)
      {1, {0, 0, 0}},
      {2, {1, 1, 1}},
      {3, {0, 1, 0}},  // each new entry starts with set 0
      {4, {1, 0, 1}},  // ... with set 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pref);
    SetPref(engine_, 210, c.pref);
    session_->audioSet = 1;
    LookupShowEntryAt(session_, 1);
    LookupShowEntryAt(session_, 2);  // a newly shown entry
    if (c.pref == 0) session_->audioSet = 1;
    std::vector<int> sets;
    for (int i = 0; i < 3; ++i) sets.push_back(play());
    EXPECT_EQ(sets, c.sets);
  }
  for (MemHandle* h : clips) EXPECT_EQ(h, nullptr);
}

}  // namespace
