// The simplified headwords of a search's results, in result order, for the
// device dictionary tests that check what a learner sees first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/search.h"
#include "engine/search_results.h"

// headwords: every entry's simplified headword, by entry number, as the
// build recorded them; an entry beyond them shows as "?".
inline std::vector<std::u16string> ResultHeadwords(DictEngine* engine, const std::vector<std::u16string>& headwords,
                                                   const char16_t* query, uint16_t language) {
  SearchRequest r{};
  r.query = query;
  r.language = language;
  r.currentSlot = 65535;
  r.sortMode = kSortByRank;
  std::vector<std::u16string> out;
  SearchResultList* list = Search(engine, &r);
  if (!list) return out;
  for (uint32_t i = 0; i < list->count; ++i) {
    const uint32_t e = list->items[i].entry;
    out.push_back(e < headwords.size() ? headwords[e] : u"?");
  }
  FreeResultList(list);
  return out;
}
