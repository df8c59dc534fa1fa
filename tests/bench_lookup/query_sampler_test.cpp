// The query sample: which queries each class makes of an entry, that the
// sample is the same for the same seed, and that each query's peer
// expression finds the entry it was drawn from.
#include <sqlite3.h>

#include <set>

#include "bench/lookup/fts_peer.h"
#include "bench/lookup/query_sampler.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "tests/bench_lookup/bench_fixture.h"

namespace {

using namespace lookupbench;

EntryText China() {
  EntryText e;
  e.simplified = u"中国";
  e.traditional = u"中國";
  e.reading = databuild::PinyinNumbersToCodes("Zhong1 guo2");
  e.senses = {u"China", u"(old) Middle Kingdom"};
  return e;
}

std::set<std::u16string> Texts(const std::vector<Query>& qs) {
  std::set<std::u16string> out;
  for (const Query& q : qs) out.insert(q.text);
  return out;
}

TEST(QuerySamplerTest, EachClassMakesItsQueryOfAnEntry) {
  const QuerySample s = SampleQueries({China()}, 40, 7);
  using Set = std::set<std::u16string>;
  EXPECT_EQ(Texts(s.byClass[kQueryTones]), Set{u"zhong1 guo2"});
  EXPECT_EQ(Texts(s.byClass[kQueryToneless]), Set{u"zhong guo"});
  EXPECT_EQ(Texts(s.byClass[kQueryNoSpaces]), Set{u"zhongguo"});
  EXPECT_EQ(Texts(s.byClass[kQueryPartial]), (Set{u"zhongg", u"zhonggu"}));
  EXPECT_EQ(Texts(s.byClass[kQueryZhuyin]), Set{u"ㄓㄨㄥㄍㄨㄛˊ"});
  EXPECT_EQ(Texts(s.byClass[kQuerySimplified]), Set{u"中国"});
  EXPECT_EQ(Texts(s.byClass[kQueryTraditional]), Set{u"中國"});
  // Words of three letters and more; the parenthesised aside is left out,
  // and a pair never spans it.
  EXPECT_EQ(Texts(s.byClass[kQueryEnglishWord]), (Set{u"china", u"middle", u"kingdom"}));
  EXPECT_EQ(Texts(s.byClass[kQueryEnglishPair]), Set{u"middle kingdom"});
  EXPECT_EQ(Texts(s.byClass[kQueryWildcard]), Set{u"zhong$"});
  // No characters in the senses: the class gets none.
  EXPECT_TRUE(s.byClass[kQueryFullText].empty());
  for (int c = 0; c < kQueryClassCount; ++c) {
    if (c != kQueryFullText) {
      EXPECT_EQ(s.byClass[c].size(), 40u) << QueryClassName(c);
    }
  }
}

TEST(QuerySamplerTest, EntriesThatCannotFeedAClassAreSkipped) {
  EntryText one = China();
  one.simplified = u"中";
  one.traditional = u"中";
  one.reading = databuild::PinyinNumbersToCodes("zhong1");
  one.senses = {u"middle; see 中國[zhong1 guo2]"};
  EntryText latin = China();
  latin.reading = databuild::PinyinNumbersToCodes("ka3 la1 O K");  // text in the reading
  const QuerySample s = SampleQueries({one, latin}, 30, 3);
  using Set = std::set<std::u16string>;
  // One syllable has nothing to divide or cut; a reading with letters gives no pinyin query.
  EXPECT_TRUE(s.byClass[kQueryNoSpaces].empty());
  EXPECT_TRUE(s.byClass[kQueryPartial].empty());
  EXPECT_EQ(Texts(s.byClass[kQueryTones]), Set{u"zhong1"});
  // The one-form entry has no traditional query; the other's has.
  EXPECT_EQ(Texts(s.byClass[kQueryTraditional]), Set{u"中國"});
  EXPECT_EQ(Texts(s.byClass[kQueryFullText]), Set{u"#中國"});
}

TEST(QuerySamplerTest, SameSeedSameSample) {
  std::vector<EntryText> entries;
  for (const char* p : {"zhong1 guo2", "ren2", "xue2 sheng5", "da4 xue2", "bai2 se4"}) {
    EntryText e = China();
    e.reading = databuild::PinyinNumbersToCodes(p);
    entries.push_back(e);
  }
  const QuerySample a = SampleQueries(entries, 50, 11), b = SampleQueries(entries, 50, 11),
                    c = SampleQueries(entries, 50, 12);
  bool differs = false;
  for (int k = 0; k < kQueryClassCount; ++k) {
    ASSERT_EQ(a.byClass[k].size(), b.byClass[k].size());
    for (size_t i = 0; i < a.byClass[k].size(); ++i) {
      EXPECT_EQ(a.byClass[k][i].text, b.byClass[k][i].text);
      EXPECT_EQ(a.byClass[k][i].peer, b.byClass[k][i].peer);
    }
    for (size_t i = 0; i < a.byClass[k].size() && i < c.byClass[k].size(); ++i)
      differs = differs || a.byClass[k][i].text != c.byClass[k][i].text;
  }
  EXPECT_TRUE(differs);
}

class SampleOverExcerptTest : public benchfix::EngineOver {};

// Each peer expression is valid FTS5 and finds its source entry (full text
// aside: the peer matches whole runs of characters only), and the engine
// finds the source of every headword query.
TEST_F(SampleOverExcerptTest, QueriesFindTheEntryTheyWereDrawnFrom) {
  WriteExcerpt();
  DictEngine* engine = Create();
  std::vector<EntryText> entries = ReadDictEntries(engine, 0, nullptr);
  ASSERT_FALSE(entries.empty());
  std::vector<PeerRow> rows;
  for (const EntryText& e : entries) rows.push_back(MakePeerRow(e));
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("sorvi-bench-peer-" + std::to_string(getpid()) + ".sqlite"))
                               .string();
  std::string error;
  FtsPeer* peer = CreateFtsPeer(path, rows, &error);
  ASSERT_NE(peer, nullptr) << error;
  sqlite3_stmt* has = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(peer->db, "SELECT count(*) FROM entries WHERE entries MATCH ? AND rowid = ?", -1, &has,
                               nullptr),
            SQLITE_OK);

  const QuerySample sample = SampleQueries(entries, 60, 5);
  for (int c = 0; c < kQueryClassCount; ++c) {
    ASSERT_EQ(sample.byClass[c].size(), 60u) << QueryClassName(c);
    for (const Query& q : sample.byClass[c]) {
      ASSERT_GE(RunPeerQuery(peer, q.peer, nullptr), 0) << q.peer;
      if (c != kQueryFullText) {
        sqlite3_reset(has);
        sqlite3_bind_text(has, 1, q.peer.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(has, 2, static_cast<sqlite3_int64>(q.source) + 1);
        ASSERT_EQ(sqlite3_step(has), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(has, 0), 1) << QueryClassName(c) << ": " << q.peer;
      }
      if (c == kQueryTones || c == kQueryToneless || c == kQueryNoSpaces || c == kQueryZhuyin ||
          c == kQuerySimplified || c == kQueryTraditional) {
        SearchRequest r{};
        r.query = reinterpret_cast<const WCHAR*>(q.text.c_str());
        r.language = 4096;
        r.currentSlot = 0;
        r.sortMode = kSortByRank;
        r.keepPartial = 1;
        r.wholeKey = 1;
        SearchResultList* list = Search(engine, &r);
        ASSERT_NE(list, nullptr) << QueryClassName(c);
        EXPECT_GE(FindResultListItem(list, 0, static_cast<uint32_t>(entries[q.source].entry)), 0)
            << QueryClassName(c) << ": " << std::string(q.peer);
        FreeResultList(list);
      }
    }
  }
  sqlite3_finalize(has);
  DestroyFtsPeer(peer);
  std::filesystem::remove(path);
}

}  // namespace
