// The query classes of the lookup benchmark and a deterministic sample of
// queries of each class drawn from a dictionary's own entries, each with
// the nearest query the SQLite FTS5 peer can run for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/lookup/entry_lines.h"

namespace lookupbench {

enum QueryClass : int {
  kQueryTones,        // zhong1 guo2
  kQueryToneless,     // zhong guo
  kQueryNoSpaces,     // zhongguo
  kQueryPartial,      // zhonggu (the last syllable cut short)
  kQueryZhuyin,       // ㄓㄨㄥㄍㄨㄛˊ
  kQuerySimplified,   // 中国
  kQueryTraditional,  // 中國
  kQueryEnglishWord,  // country
  kQueryEnglishPair,  // middle kingdom
  kQueryWildcard,     // zhong$
  kQueryFullText,     // #中国 (characters inside definitions)
  kQueryClassCount,
};

const char* QueryClassName(int queryClass);

// How the peer answers a class: the FTS5 query, and whether it asks the
// same question as the engine (else its time is for information only).
struct PeerQueryRule {
  const char* definition;
  bool sameQuestion;
};
const PeerQueryRule& PeerRuleOf(int queryClass);

struct Query {
  std::u16string text;  // as typed into the input field
  std::string peer;     // the FTS5 MATCH expression, UTF-8
  size_t source = 0;    // the entry (index into the sampled list) it was drawn from
};

struct QuerySample {
  std::vector<Query> byClass[kQueryClassCount];
};

// The columns of the peer's table for one entry.
struct PeerRow {
  std::string headwords;  // simplified, and traditional when it differs
  std::string toneless;   // "zhong guo"
  std::string toned;      // "zhong1 guo2"
  std::string english;    // the senses joined by " / "
};
PeerRow MakePeerRow(const EntryText& entry);

// `perClass` queries of every class, drawn (with replacement) from the
// entries by a generator seeded with `seed`: the same entries and seed give
// the same sample. A class the entries cannot feed stays short.
QuerySample SampleQueries(const std::vector<EntryText>& entries, uint32_t perClass, uint64_t seed);

// The syllables of a reading that holds nothing else (word starts
// allowed): (syllable number, tone 0-4) pairs; empty when the reading holds
// text, is empty, or has more than `maxSyllables`.
struct Syllable {
  int number;
  int tone;
};
std::vector<Syllable> PlainSyllables(const std::u16string& reading, size_t maxSyllables);

}  // namespace lookupbench
