// Time of one division of a 39-letter query that reads in exponentially
// many ways ("anan...a"): the cap on key pairs keeps it short enough for
// searching as the user types.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/dict_engine.h"
#include "engine/mem_handle.h"
#include "engine/syllable_keys.h"
#include "platform/heap.h"
#include "resources/resources.h"

namespace {

DictEngine* NewEngine() {
  RegisterSorviResources();
  EngineParams p{};
  p.noFonts = 1;
  p.noFlashcards = 1;
  p.scaleNumerator = 3;
  p.scaleDenominator = 3;
  return CreateEngine(nullptr, 0, &p);
}

// 39 letters; `tail` replaces the last letters.
std::u16string AmbiguousQuery(const std::u16string& tail = u"") {
  std::u16string text;
  while (text.size() < 39) text += u"an";
  text.resize(39 - tail.size());
  return text + tail;
}

void SplitAmbiguousQuery(benchmark::State& state, uint32_t flags, const std::u16string& tail = u"") {
  DictEngine* engine = NewEngine();
  const std::u16string text = AmbiguousQuery(tail);
  WCHAR low[kSyllableKeyUnits], high[kSyllableKeyUnits];
  uint32_t pairs = 0;
  for (auto _ : state) {
    SyllableKeyList list{};
    benchmark::DoNotOptimize(SplitPinyinSyllables(engine, text.c_str(), flags, &list, low, high, 0));
    pairs = list.count;
    FreeSyllableKeyList(&list);
  }
  state.counters["pairs"] = pairs;
  FreeEngineSaveBlock(DestroyEngine(engine));
}

void BM_SplitAllDivisions(benchmark::State& state) { SplitAmbiguousQuery(state, 0); }
void BM_SplitFirstDivision(benchmark::State& state) { SplitAmbiguousQuery(state, 64); }
void BM_SplitBeforeVowelFirst(benchmark::State& state) { SplitAmbiguousQuery(state, 96); }
// Every way of reading the front fails at the end ("vz" has no division).
void BM_SplitNoDivision(benchmark::State& state) { SplitAmbiguousQuery(state, 0, u"vz"); }

BENCHMARK(BM_SplitAllDivisions)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SplitFirstDivision)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SplitBeforeVowelFirst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SplitNoDivision)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
