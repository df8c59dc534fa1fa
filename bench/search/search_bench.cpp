// Time of one Search per query class over a Chinese dictionary written
// from the CC-CEDICT excerpt (or the file named by SORVI_SEARCH_TSV) and a
// small English-headword dictionary.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "resources/resources.h"
#include "tools/databuild/cedict_entry.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/entry_markup.h"

namespace {

namespace db = databuild;

db::DictEntrySpec Entry(const std::u16string& simplified, const std::u16string& traditional,
                        const std::string& pinyin, const std::vector<std::u16string>& senses) {
  db::PlainEntry e;
  e.simplified = simplified;
  e.traditional = traditional;
  e.pinyin = pinyin;
  for (const auto& s : senses) e.senses.push_back({s, {}});
  db::DictEntrySpec entry;
  std::string error;
  db::MakeMarkupEntry(e, &entry, &error);
  entry.index.headwords = {simplified};
  if (!traditional.empty()) entry.index.headwords.push_back(traditional);
  entry.index.pinyin = db::PinyinNumbersToCodes(pinyin);
  entry.index.senses = senses;
  return entry;
}

db::DictionarySpec ChineseDict() {
  db::DictionarySpec dict;
  dict.info.creator = 0x43454443;
  dict.info.dictId = 1;
  dict.info.shortName = u"CEDICT";
  db::SetEntryMarkupFields(&dict.info);
  dict.wordLengths = true;
  dict.searchIndexes = true;
  const char* path = std::getenv("SORVI_SEARCH_TSV");
  std::ifstream in(path ? path : SEARCH_FIXTURE_TSV);
  for (const db::CedictRow& r : db::ReadCedictTsv(in))
    dict.entries.push_back(Entry(r.simplified, r.traditional, r.pinyin, r.definitions));
  return dict;
}

db::DictionarySpec EnglishDict() {
  db::DictionarySpec dict;
  dict.info.creator = 0x454E4744;
  dict.info.dictId = 2;
  dict.info.language = kLanguageEnglish;
  dict.info.transLanguage = kLanguageChinese;
  dict.info.shortName = u"EC";
  db::SetEntryMarkupFields(&dict.info);
  dict.searchIndexes = true;
  const char16_t* words[] = {u"student", u"study", u"stupid", u"star", u"daughter", u"dog (animal)", u"café",
                             u"China", u"middle", u"country", u"language", u"person"};
  for (const char16_t* w : words) {
    db::DictEntrySpec e = Entry(w, u"", "", {u"中文"});
    e.index.pinyin.clear();
    dict.entries.push_back(e);
  }
  return dict;
}

struct Fixture {
  std::filesystem::path root;
  std::vector<DbFile*> files;
  DictEngine* engine = nullptr;

  Fixture() {
    root = std::filesystem::temp_directory_path() / ("sorvi-search-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(root);
    SetDeviceRoot(root.c_str());
    RegisterSorviResources();
    Add(ChineseDict(), "c.pdb");
    Add(EnglishDict(), "e.pdb");
    EngineParams p{};
    p.noFonts = 1;
    p.noFlashcards = 1;
    p.scaleNumerator = 3;
    p.scaleDenominator = 3;
    engine = CreateEngine(files.data(), static_cast<uint32_t>(files.size()), &p);
  }
  void Add(const db::DictionarySpec& dict, const std::string& name) {
    db::DataFileSpec file;
    file.shortName = dict.info.shortName;
    std::string error;
    db::ByteVec bytes;
    if (db::AddDictionaryTables(dict, &file, &error) != 0 || db::BuildDataFile(file, &bytes, nullptr, &error) != 0)
      return;
    std::ofstream(root / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::u16string path = u"\\";
    for (char c : name) path.push_back(static_cast<char16_t>(c));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    int kind = 0;
    if (DbFile* f = OpenDbFile(h, path.c_str(), &kind)) files.push_back(f);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void RunQuery(benchmark::State& state, const char16_t* query, uint16_t language) {
  Fixture& f = Shared();
  if (!f.engine) {
    state.SkipWithError("no engine");
    return;
  }
  uint32_t found = 0;
  for (auto _ : state) {
    SearchRequest r{};
    r.query = query;
    r.language = language;
    r.currentSlot = 65535;
    r.sortMode = kSortByRank;
    SearchResultList* list = Search(f.engine, &r);
    found = list ? list->count : 0;
    FreeResultList(list);
    benchmark::DoNotOptimize(found);
  }
  state.counters["results"] = found;
}

}  // namespace

BENCHMARK_CAPTURE(RunQuery, pinyin_tones, u"zhong1guo2", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, pinyin_no_tones, u"zhongguo", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, pinyin_spaces, u"zhong guo", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, pinyin_partial_syllable, u"zhongg", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, pinyin_long_ambiguous, u"anananananananananananananananananan", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, zhuyin, u"ㄓㄨㄥ", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, characters, u"中国", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, one_character, u"中", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, chinese_wildcard_one, u"中@", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, chinese_wildcard_many, u"中$", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, chinese_full_text, u"#酒吧", kLanguageChinese);
BENCHMARK_CAPTURE(RunQuery, english_prefix, u"stud", kLanguageEnglish);
BENCHMARK_CAPTURE(RunQuery, english_wildcard, u"stu$", kLanguageEnglish);
BENCHMARK_CAPTURE(RunQuery, english_full_text_two_words, u"#servant girl", kLanguageEnglish);
BENCHMARK_CAPTURE(RunQuery, nothing, u"qqqqxx", kLanguageChinese);

BENCHMARK_MAIN();
