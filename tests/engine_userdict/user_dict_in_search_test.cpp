// Search reaches user dictionaries like any other dictionary.
#include "engine/search.h"
#include "engine/search_results.h"
#include "tests/engine_userdict/userdict_fixture.h"

namespace {

std::vector<uint32_t> Found(DictEngine* engine, const char16_t* query, uint16_t language, uint16_t slot) {
  SearchRequest r{};
  r.query = query;
  r.language = language;
  r.currentSlot = 65535;
  r.sortMode = kSortByRank;
  std::vector<uint32_t> uids;
  SearchResultList* list = Search(engine, &r);
  if (!list) return uids;
  for (uint32_t i = 0; i < list->count; ++i)
    if (list->items[i].first == slot) uids.push_back(list->items[i].entry);
  FreeResultList(list);
  return uids;
}

TEST_F(UserDictTest, SearchFindsUserEntries) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const int32_t hello = AddUserDictEntry(engine, zh, u"你好", u"妳好", u"ni3hao3", u"hello");
  const int32_t good = AddUserDictEntry(engine, zh, u"好", nullptr, u"hao3", u"good");
  ASSERT_GT(hello, 0);
  ASSERT_GT(good, 0);
  const uint16_t en = NewDict(kLanguageEnglish);
  const int32_t apple = AddUserDictEntry(engine, en, u"apple", nullptr, nullptr, u"苹果");
  ASSERT_GT(apple, 0);

  struct Case {
    const char16_t* query;
    uint16_t language;
    uint16_t slot;
    int32_t uid;
  } cases[] = {
      {u"你好", kLanguageChinese, zh, hello},
      {u"nihao", kLanguageChinese, zh, hello},
      {u"ni3 hao3", kLanguageChinese, zh, hello},
      {u"hao", kLanguageChinese, zh, good},
      {u"apple", kLanguageEnglish, en, apple},
  };
  for (const Case& c : cases) {
    const std::vector<uint32_t> uids = Found(engine, c.query, c.language, c.slot);
    ASSERT_FALSE(uids.empty()) << Utf8(c.query);
    EXPECT_EQ(uids[0], static_cast<uint32_t>(c.uid)) << Utf8(c.query);
  }
  EXPECT_TRUE(Found(engine, u"xyzzy", kLanguageEnglish, en).empty());
}

}  // namespace
