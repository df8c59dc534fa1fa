// The wildcard matcher, the LIKE patterns and the English look-up.
#include <chrono>

#include "engine/entry_formatter.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/search_methods.h"
#include "engine/search_results.h"
#include "engine/text_buffer.h"
#include "engine/user_dict_display.h"
#include "engine/user_dict_search.h"
#include "tests/engine_userdict/userdict_fixture.h"

namespace {

using SearchTest = UserDictTest;

constexpr WCHAR kOne = u'?';
constexpr WCHAR kAny = u'*';

// A query with the codes of the typed pinyin.
std::u16string Codes(DictEngine* engine, const char16_t* pinyin, std::u16string* bounds = nullptr) {
  WCHAR low[64], high[64];
  ParsePinyinQuery(engine, pinyin, low, high, 64, 0);
  if (bounds) *bounds = high;
  return low;
}

TEST_F(SearchTest, MatcherWalksQueryAndEntryInStep) {
  MakeEngine();
  struct Case {
    const char16_t* query;
    int whole;
    const char16_t* word;
    const char16_t* alt;
    uint32_t expected;
  } cases[] = {
      {u"中国", 1, u"中@国", nullptr, 2},
      {u"中国", 1, u"中@国@人", nullptr, 0},
      {u"中国", 0, u"中@国@人", nullptr, 2},
      {u"中国人", 0, u"中@国", nullptr, 2},
      {u"中?", 1, u"中@国", nullptr, 2},
      {u"?国", 1, u"中@国", nullptr, 2},
      {u"中國", 1, u"中@国", u"中@國", 2},
      {u"中*人", 1, u"中@华@人", nullptr, 3},
      {u"美", 1, u"中@国", nullptr, 0},
      {u"", 1, u"中", nullptr, 0},
      {u"中", 1, nullptr, nullptr, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchUserDictEntry(engine, kOne, kAny, c.query, nullptr, c.word, c.alt, nullptr, c.whole), c.expected)
        << Utf8(c.query) << " / " << Utf8(c.word);

  // Syllables: a tone-less one covers its five tones.
  std::u16string bounds;
  const std::u16string toneless = Codes(engine, u"zhong guo", &bounds);
  EXPECT_EQ(MatchUserDictEntry(engine, kOne, kAny, toneless.c_str(), bounds.c_str(), nullptr, nullptr,
                               u"zhong1@guo2", 1),
            2u);
  const std::u16string toned = Codes(engine, u"zhong4");
  EXPECT_EQ(MatchUserDictEntry(engine, kOne, kAny, toned.c_str(), nullptr, nullptr, nullptr, u"zhong1", 1), 0u);
}

TEST_F(SearchTest, ManyAnyRunsStayFast) {
  MakeEngine();
  std::u16string word;
  for (int i = 0; i < 60; ++i) word += i ? u"@中" : u"中";
  word += u"@国";
  const std::u16string query = u"*中*中*中*中*中*中*中*中*中*中*中*人";  // never matches
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MatchUserDictEntry(engine, kOne, kAny, query.c_str(), nullptr, word.c_str(), nullptr, nullptr, 1), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(SearchTest, LikePatterns) {
  MakeEngine();
  SetPref(engine, kPrefSingleWildcard, kOne);
  SetPref(engine, kPrefAnyWildcard, kAny);
  auto headword = [&](const std::u16string& text, int trailing, int markers) {
    WCHAR* p = MakeHeadwordLikePattern(engine, text.c_str(), 0, trailing, markers);
    std::u16string s = p ? p : u"<null>";
    if (p) LocalFree(p);
    return s;
  };
  EXPECT_EQ(headword(u"中国", 0, 0), u"中%@国");
  EXPECT_EQ(headword(u"中?*", 1, 0), u"中%@_%%");
  EXPECT_EQ(headword(u"?国", 0, 0), u"_%@国");  // the first character has no '@' before it
  EXPECT_EQ(headword(u"中国", 0, 1), u"中\x0001%@国");
  EXPECT_EQ(headword(Codes(engine, u"ni3") + u"好", 0, 0), u"_%@好");

  std::u16string bounds;
  const std::u16string q = Codes(engine, u"ni3hao", &bounds);
  WCHAR* p = MakePronLikePattern(engine, q.c_str(), bounds.c_str(), 0, 0, 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(U16(p), u"ni3%@hao_");
  LocalFree(p);
}

TEST_F(SearchTest, EnglishLookUpTakesTheLongestBeginning) {
  const uint16_t en = NewDict(kLanguageEnglish);
  SetPref(engine, kPrefSingleWildcard, kOne);
  SetPref(engine, kPrefAnyWildcard, kAny);
  const int32_t abc = AddUserDictEntry(engine, en, u"abc", nullptr, nullptr, nullptr);
  AddUserDictEntry(engine, en, u"abd", nullptr, nullptr, nullptr);
  const int32_t percent = AddUserDictEntry(engine, en, u"zz top", nullptr, nullptr, nullptr);
  struct Case {
    const char16_t* query;
    int status;
    uint32_t best;
    int32_t uid;
  } cases[] = {
      {u"abcx", 1, 3, abc}, {u"ABC", 0, 3, abc}, {u"a?c", 0, 3, abc}, {u"*top", 0, 4, percent},
      {u"q", 2, 0, -1},     {u"%", 2, 0, -1},
  };
  for (const Case& c : cases) {
    SearchResultList* list = NewResultList(0);
    EXPECT_EQ(SearchUserDictAlphadex(engine, en, c.query, list), c.status) << Utf8(c.query);
    if (c.uid >= 0) {
      ASSERT_EQ(GetResultListCount(list), 1u) << Utf8(c.query);
      SearchResultItem item{};
      GetResultListItem(engine, list, 0, &item);
      EXPECT_EQ(item.entry, static_cast<uint32_t>(c.uid));
      EXPECT_EQ(item.first & kResultSlotMask, en);
      EXPECT_EQ(list->bestMatch, c.best);
    } else {
      EXPECT_EQ(GetResultListCount(list), 0u);
    }
    FreeResultList(list);
  }
}

}  // namespace

namespace {

std::u16string Shown(DictEngine* engine, uint16_t slot, int32_t uid, uint32_t options, int* result = nullptr) {
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = static_cast<uint32_t>(uid);
  request.options = options;
  TextBuffer tb{};
  TextBufInit(&tb);
  const int r = LoadUserDictEntryText(engine, &request, &tb);
  if (result) *result = r;
  std::u16string s(tb.data ? tb.data : u"", tb.length);
  TextBufFinish(&tb);
  FreeMemHandle(tb.handle);
  return s;
}

TEST_F(SearchTest, EntriesFormattedForDisplay) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const uint16_t en = NewDict(kLanguageEnglish);
  const int32_t hello = AddUserDictEntry(engine, zh, u"你好", u"妳好", u"ni3hao3", u"hello");
  const int32_t word = AddUserDictEntry(engine, en, u"apple", nullptr, nullptr, u"苹果");
  const std::u16string bold = u"\xEAB2";
  const std::u16string unbold = u"\xEAB3";
  // Plain: no style code at all for an entry with Chinese. Preference 109
  // puts the parts on lines of their own, unless one line is asked for.
  const uint32_t plain = kFetchRawFields | kFetchOneLine;
  EXPECT_EQ(Shown(engine, zh, hello, kFetchRawFields), u"你好\nnǐhǎo\nhello");
  EXPECT_EQ(Shown(engine, zh, hello, plain), u"你好 nǐhǎo hello");
  EXPECT_EQ(Shown(engine, zh, hello, plain | kFetchOtherFormBracket), u"你好[妳好] nǐhǎo hello");
  EXPECT_EQ(Shown(engine, zh, hello, plain | kFetchOtherFormBracket | kFetchBracketDashMain), u"你好[妳-] nǐhǎo hello");
  EXPECT_EQ(Shown(engine, zh, hello, plain | kFetchSecondFormFirst), u"妳好 nǐhǎo hello");
  EXPECT_EQ(Shown(engine, zh, hello, kFetchOneLine), u"你好 " + bold + u"nǐhǎo" + unbold + u" hello");
  SetPref(engine, 109, 0);
  EXPECT_EQ(Shown(engine, zh, hello, kFetchRawFields), u"你好 nǐhǎo hello");
  // Without Chinese the word stays bold, plain or not.
  EXPECT_EQ(Shown(engine, en, word, kFetchRawFields), bold + u"apple" + unbold + u" 苹果");
  EXPECT_EQ(Shown(engine, en, word, kFetchDictNameAfter), bold + u"apple" + unbold + u" 苹果\n[User Dictionary E-C]");
  // Tone colours: a colour code before each character, colour off after.
  const std::u16string colored = Shown(engine, zh, hello, kFetchToneColors);
  EXPECT_EQ(colored.substr(0, 1), u"\xEAC1");
  EXPECT_EQ(colored[3], u'你');
  EXPECT_EQ(colored[4], u'\xEAC2');
  int result = 0;
  Shown(engine, zh, hello + 99, 0, &result);
  EXPECT_EQ(result, kUserDictNoEntry);
}

}  // namespace

namespace {

struct Found {
  int status;
  std::vector<uint32_t> uids;
  uint32_t best;
};

Found RunSearch(DictEngine* engine, uint16_t slot, int32_t kind, const char16_t* query, bool prefix, bool shorten) {
  SearchMethod m{};
  m.query = query;
  m.kind = kind;
  m.wholeKey = prefix ? 1 : 0;
  m.keepPartial = shorten ? 1 : 0;
  SearchResultList* list = NewResultList(0);
  Found f{};
  f.status = SearchUserDict(engine, &m, slot, list);
  for (uint32_t i = 0; i < GetResultListCount(list); ++i) {
    SearchResultItem item{};
    GetResultListItem(engine, list, i, &item);
    EXPECT_EQ(item.first & kResultSlotMask, slot);
    f.uids.push_back(item.entry);
  }
  std::sort(f.uids.begin(), f.uids.end());
  f.best = list->bestMatch;
  FreeResultList(list);
  return f;
}

TEST_F(SearchTest, ChineseHeadwordsByCharactersAndPinyin) {
  const uint16_t zh = NewDict(kLanguageChinese);
  SetPref(engine, kPrefSingleWildcard, kOne);
  SetPref(engine, kPrefAnyWildcard, kAny);
  const auto china = static_cast<uint32_t>(AddUserDictEntry(engine, zh, u"中国", u"中國", u"zhong1guo2", u"China"));
  const auto chinese = static_cast<uint32_t>(AddUserDictEntry(engine, zh, u"中文", nullptr, u"zhong1wen2", nullptr));
  const auto middle = static_cast<uint32_t>(AddUserDictEntry(engine, zh, u"中", nullptr, u"zhong1", nullptr));
  AddUserDictEntry(engine, zh, u"人", nullptr, u"ren2", nullptr);
  const auto rare = static_cast<uint32_t>(AddUserDictEntry(engine, zh, u"𠀀", nullptr, nullptr, nullptr));
  struct Case {
    const char16_t* query;
    bool prefix;
    bool shorten;
    int status;
    std::vector<uint32_t> uids;
    uint32_t best;
  } cases[] = {
      {u"中国", false, false, 0, {china}, 2},
      {u"中國", false, false, 0, {china}, 2},
      {u"中", true, false, 0, {china, chinese, middle}, 1},
      {u"中", false, false, 0, {middle}, 1},
      {u"zhong1 guo2", false, false, 0, {china}, 2},
      {u"zhongguo", false, false, 0, {china}, 2},
      {u"zhong4guo2", false, false, 2, {}, 0},
      {u"中?", false, false, 0, {china, chinese}, 2},
      {u"中国人", false, true, 1, {china}, 2},
      {u"中国人", false, false, 2, {}, 0},
      {u"𠀀", false, false, 0, {rare}, 1},
      {u"%", true, false, 2, {}, 0},
  };
  // Preference 135: a single character finds only single characters.
  SetPref(engine, 135, 1);
  EXPECT_EQ(RunSearch(engine, zh, kSearchChineseHeadword, u"中", true, false).uids, std::vector<uint32_t>{middle});
  SetPref(engine, 135, 0);
  for (const Case& c : cases) {
    const Found f = RunSearch(engine, zh, kSearchChineseHeadword, c.query, c.prefix, c.shorten);
    EXPECT_EQ(f.status, c.status) << Utf8(c.query);
    EXPECT_EQ(f.uids, c.uids) << Utf8(c.query);
    if (c.status != 2) {
      EXPECT_EQ(f.best, c.best) << Utf8(c.query);
    }
  }
}

TEST_F(SearchTest, EnglishHeadwordsWithAndWithoutTheAlphadex) {
  const uint16_t en = NewDict(kLanguageEnglish);
  SetPref(engine, kPrefSingleWildcard, kOne);
  SetPref(engine, kPrefAnyWildcard, kAny);
  const auto apple = static_cast<uint32_t>(AddUserDictEntry(engine, en, u"apple", nullptr, nullptr, nullptr));
  const auto sale = static_cast<uint32_t>(AddUserDictEntry(engine, en, u"50% off", nullptr, nullptr, nullptr));
  EXPECT_EQ(RunSearch(engine, en, kSearchEnglishHeadword, u"app", false, false).uids, std::vector<uint32_t>{apple});
  Slot(en)->indexed = 0;  // an older file: the entries table is searched
  EXPECT_EQ(RunSearch(engine, en, kSearchEnglishHeadword, u"app", true, false).uids, std::vector<uint32_t>{apple});
  EXPECT_EQ(RunSearch(engine, en, kSearchEnglishHeadword, u"app", false, false).status, 2);
  EXPECT_EQ(RunSearch(engine, en, kSearchEnglishWildcard, u"a*e", false, false).uids, std::vector<uint32_t>{apple});
  // A typed '%' is no wildcard.
  EXPECT_EQ(RunSearch(engine, en, kSearchEnglishHeadword, u"%", true, false).uids, (std::vector<uint32_t>{apple, sale}));
  EXPECT_EQ(RunSearch(engine, en, kSearchEnglishHeadword, u"5%", true, false).uids, std::vector<uint32_t>{sale});
}

}  // namespace
