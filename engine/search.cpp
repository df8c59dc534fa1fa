#include "engine/search.h"


#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/latin_fold.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/search_methods.h"
#include "engine/search_results.h"
#include "engine/string_utils.h"
#include "engine/table_cursor.h"
#include "engine/text_buffer.h"
#include "engine/text_compare.h"
#include "engine/user_dict_search.h"

namespace {

// Sorts keys that are all different (so that every sort gives the same
// order). Ranked word postings come in entry order with their rank in the
// key's top bits, so a long list is first split by its highest varying bits
// with a stable counting pass, which often leaves it sorted; only when it
// does not is the general sort run.
void SortDistinctKeys(std::vector<uint64_t>& keys) {
  if (keys.empty()) return;
  // Whether they are sorted, and the bits that vary, in one pass.
  bool sorted = true;
  uint64_t varying = 0;
  for (size_t i = 1; i < keys.size(); ++i) {
    sorted &= !(keys[i] < keys[i - 1]);
    varying |= keys[i] ^ keys[0];
  }
  if (sorted) return;
  constexpr size_t kCountingFrom = 256;  // below this the general sort is quicker
  constexpr uint32_t kDigitBits = 10;
  if (keys.size() >= kCountingFrom) {
    uint32_t top = 63;
    while (!(varying >> top & 1)) --top;  // varying is non-zero: the keys are not all sorted
    const uint32_t shift = top + 1 > kDigitBits ? top + 1 - kDigitBits : 0;
    const uint32_t mask = (1u << kDigitBits) - 1;
    std::vector<uint32_t> start((1u << kDigitBits) + 1, 0);
    for (uint64_t k : keys) ++start[(k >> shift & mask) + 1];
    for (uint32_t d = 0; d < (1u << kDigitBits); ++d) start[d + 1] += start[d];
    std::vector<uint64_t> out(keys.size());
    for (uint64_t k : keys) out[start[k >> shift & mask]++] = k;
    keys.swap(out);
    if (std::is_sorted(keys.begin(), keys.end())) return;
  }
  std::sort(keys.begin(), keys.end());
}

constexpr uint32_t kKeyUnits = 40;

WCHAR PrefChar(DictEngine* engine, int32_t id) { return static_cast<WCHAR>(GetPref(engine, id) & 0xFFFF); }

bool IsToneLatin(WCHAR c) {
  static constexpr WCHAR kToned[] = {0x00C0, 0x00C1, 0x00C8, 0x00C9, 0x00D9, 0x00DA, 0x00E0, 0x00E1, 0x00E8, 0x00E9,
                                     0x00EC, 0x00ED, 0x00F2, 0x00F3, 0x00F9, 0x00FA, 0x00FC, 0x0100, 0x0101, 0x0112,
                                     0x0113, 0x011B, 0x012B, 0x0144, 0x0148, 0x014C, 0x014D, 0x016B, 0x01CE, 0x01D0,
                                     0x01D2, 0x01D4, 0x01D6, 0x01D8, 0x01DA, 0x01DC, 0x01F9};
  for (WCHAR t : kToned)
    if (c == t) return true;
  return false;
}
bool IsLatin(WCHAR c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsToneLatin(c); }

DictOrderList* OrderList(DictEngine* engine, uint32_t language) {
  for (uint32_t i = 0; i < engine->orderListCount && i < 2; ++i)
    if (engine->orderLists[i] && engine->orderLists[i]->language == language) return engine->orderLists[i];
  return nullptr;
}

bool PassesListFilters(const SearchRequest* r, const DictOrderRecord& item) {
  if (r->searchListOnly && !(item.saved.options & kDictOptionSearch)) return false;
  if (r->readerListOnly && !(item.saved.options & kDictOptionReader)) return false;
  return true;
}

// True when the order list of that language has a searchable dictionary.
bool HasSearchableDict(DictEngine* engine, const SearchRequest* r, uint32_t language) {
  DictOrderList* list = OrderList(engine, language);
  if (!list) return false;
  for (uint32_t i = 0; i < list->count; ++i) {
    const DictOrderRecord& item = list->items[i];
    if (item.slot == kOrderNoSlot || !PassesListFilters(r, item)) continue;
    if (IsDictSearchable(engine, r, static_cast<uint16_t>(item.slot), language, 65535)) return true;
  }
  return false;
}

uint16_t ItemSlot(const SearchResultItem& item) { return static_cast<uint16_t>(item.first & kResultSlotMask); }

// The entry mask of a dictionary's ranked word index (0 when it has none).
uint32_t RankedEntryMask(DictEngine* engine, uint16_t slot) {
  TableCursor* c = FindDictTableCursor(engine, slot, kRankedWordIndexType);
  if (!c) return 0;
  const uint8_t* info = GetTableInfoArea(c);
  if (!info || GetTableInfoAreaSize(c) < 36) return 0;
  uint32_t w = info[28] | info[29] << 8 | info[30] << 16 | static_cast<uint32_t>(info[31]) << 24;
  uint32_t x = info[32];
  if (w == 0 || w > 32 || x >= w) return 0;
  uint32_t bits = w - x;
  return bits >= 32 ? 0xFFFFFFFF : (1u << bits) - 1;
}

struct RankRecord {
  uint32_t rank;
  uint32_t slot;
  uint32_t position;
  uint32_t entry;
};

}  // namespace

int IsDictSearchable(DictEngine* engine, const SearchRequest*, uint16_t slot, uint32_t language,
                     uint32_t transLanguage) {
  if (slot >= GetDictCount(engine)) return 0;
  if (language != 65535 && GetDictLanguage(engine, slot) != language) return 0;
  if (transLanguage != 65535 && GetDictTransLanguage(engine, slot) != transLanguage) return 0;
  if (!DictHasEntries(engine, slot)) return 0;
  if (GetDictFlags(engine, slot) & kDictFlagNeverSearched) return 0;
  return 1;
}

uint32_t ClassifyQuery(DictEngine* engine, const SearchRequest* r, int32_t kinds[3], int* noDictionary) {
  *noDictionary = 0;
  bool latin = false, tone = false, wild = false, hanzi = false, zhuyin = false;
  WCHAR one = PrefChar(engine, kPrefSingleWildcard), many = PrefChar(engine, kPrefAnyWildcard);
  WCHAR prev = 0;
  for (const WCHAR* q = r->query; *q; ++q) {
    WCHAR c = *q;
    if (IsLatin(c)) latin = true;
    else if (c >= '0' && c <= '5' && IsLatin(prev)) tone = true;
    else if ((one && c == one) || (many && c == many)) wild = true;
    if (c >= 0x3400 && c <= 0xFAFF) hanzi = true;
    else if (c >= 0x3105 && c <= 0x3129) zhuyin = true;
    prev = c;
  }
  uint32_t n = 0;
  auto put = [&](int32_t k) {
    if (n < 3) kinds[n++] = k;
  };
  if (!latin && !hanzi && !zhuyin) return 0;
  uint16_t mode = r->kindMode;
  if (wild && !r->plainWildcards) {
    if (mode == kKindModeByLanguage) {
      put(r->language != 0 ? kSearchChineseWildcard : kSearchEnglishWildcard);
    } else if (!hanzi && !tone) {
      if (mode == kKindModeEnglishFirst) put(kSearchEnglishWildcard);
      else if (r->language == kLanguageChinese) {
        put(kSearchChineseWildcard);
        put(kSearchEnglishWildcard);
      } else {
        put(kSearchEnglishWildcard);
        put(kSearchChineseWildcard);
      }
    } else {
      put(kSearchChineseWildcard);
    }
    return n;
  }
  if (r->fullText) {
    if (mode != kKindModeByLanguage) {
      if (!hanzi) {
        put(kSearchEnglishText);
        if (r->addHeadword) put(kSearchEnglishHeadword);
      } else {
        put(kSearchChineseText);
        if (r->addHeadword) put(kSearchChineseHeadword);
      }
    } else if (r->language != 0) {
      put(kSearchChineseText);
      put(kSearchChineseHeadword);
    } else {
      put(kSearchEnglishText);
      put(kSearchEnglishHeadword);
    }
    return n;
  }
  bool chineseOk = HasSearchableDict(engine, r, kLanguageChinese);
  bool englishOk = HasSearchableDict(engine, r, kLanguageEnglish);
  if (!chineseOk || !englishOk) *noDictionary = 1;
  if (mode != kKindModeByLanguage) {
    if (hanzi) {
      put(kSearchChineseHeadword);
      if (r->addFullText || !chineseOk) put(kSearchChineseText);
    } else if ((tone || zhuyin) && mode != kKindModeBothNoPinyinTest) {
      put(kSearchChineseHeadword);
    } else if (mode == kKindModeEnglishFirst) {
      put(kSearchEnglishHeadword);
      if (r->addFullText || !englishOk) put(kSearchEnglishText);
    } else if (r->language != kLanguageChinese) {
      put(kSearchEnglishHeadword);
      if (mode != kKindModeBothNoPinyinTest && ParseQuerySimple(engine, r->query)) {
        if (!r->addFullText && englishOk) put(kSearchChineseHeadword);
        else {
          put(kSearchEnglishText);
          put(kSearchChineseHeadword);
        }
      } else if (r->addFullText || !englishOk) {
        put(kSearchEnglishText);
      }
    } else {
      put(kSearchChineseHeadword);
      put(kSearchEnglishHeadword);
      if ((r->addFullText || !englishOk) && mode != kKindModeBothNoPinyinTest) put(kSearchEnglishText);
    }
    return n;
  }
  if (r->language != 0) {
    put(kSearchChineseHeadword);
    if (hanzi && (r->addFullText || !chineseOk)) put(kSearchChineseText);
  } else {
    put(kSearchEnglishHeadword);
    if (r->addFullText || !englishOk) put(kSearchEnglishText);
  }
  return n;
}

uint32_t BuildSearchDictList(DictEngine* engine, const SearchRequest* r, int32_t kind, int firstKind,
                             uint16_t* slots) {
  uint32_t language = 65535;
  if (kind == kSearchChineseHeadword || kind == kSearchChineseWildcard) language = kLanguageChinese;
  if (kind == kSearchEnglishHeadword || kind == kSearchEnglishWildcard) language = kLanguageEnglish;
  if ((kind == kSearchChineseHeadword || kind == kSearchEnglishHeadword) && firstKind && r->allLanguagesFirst) language = 65535;
  uint32_t n = 0;
  uint16_t count = GetDictCount(engine);
  if (r->slots && r->slotCount > 0) {
    uint32_t start = 0;
    for (uint32_t i = 0; i < r->slotCount; ++i)
      if (r->slots[i] == r->currentSlot) {
        start = i;
        break;
      }
    for (uint32_t k = 0; k < r->slotCount && n < count; ++k) {
      uint16_t s = r->slots[(start + k) % r->slotCount];
      if (IsDictSearchable(engine, r, s, language, 65535)) slots[n++] = s;
    }
    return n;
  }
  DictOrderList* lists[2] = {};
  bool mixed = false;
  if (language != 65535) {
    lists[0] = OrderList(engine, language);
  } else if (kind == kSearchChineseText) {
    lists[0] = OrderList(engine, kLanguageEnglish);
    lists[1] = OrderList(engine, kLanguageChinese);
  } else if (kind == kSearchEnglishText) {
    lists[0] = OrderList(engine, kLanguageChinese);
    lists[1] = OrderList(engine, kLanguageEnglish);
  } else if (kind == kSearchChineseHeadword) {
    lists[0] = OrderList(engine, kLanguageChinese);
    lists[1] = OrderList(engine, kLanguageEnglish);
    mixed = true;
  } else {
    lists[0] = OrderList(engine, kLanguageEnglish);
    lists[1] = OrderList(engine, kLanguageChinese);
    mixed = true;
  }
  bool mayRotate = true;
  if (!r->anyLanguageStart && r->currentSlot < count && !mixed && lists[0] &&
      GetDictLanguage(engine, r->currentSlot) != lists[0]->language)
    mayRotate = false;
  for (int li = 0; li < 2; ++li) {
    DictOrderList* list = lists[li];
    if (!list) continue;
    bool second = li == 1 && mixed;
    for (uint32_t i = 0; i < list->count && n < count; ++i) {
      const DictOrderRecord& item = list->items[i];
      if (item.slot == kOrderNoSlot || item.slot >= count) continue;
      uint16_t s = static_cast<uint16_t>(item.slot);
      bool user = GetDictKind(engine, s) == kDictKindUser;
      if (kind == kSearchChineseHeadword || kind == kSearchChineseWildcard) {
        if (!item.has1100 && !user && !second) continue;
        if (kind == kSearchChineseWildcard && (GetDictFlags(engine, s) & kDictFlagCharDict)) continue;
      }
      if (kind == kSearchChineseText || kind == kSearchEnglishText || (kind == kSearchEnglishHeadword && second)) {
        if (user) continue;
        if (kind == kSearchChineseText ? !item.has1120 : !item.has1130) continue;
      }
      if (!PassesListFilters(r, item)) continue;
      if (!IsDictSearchable(engine, r, s, language, 65535)) continue;
      if (std::find(slots, slots + n, s) != slots + n) continue;
      slots[n++] = s;
    }
  }
  if (mayRotate) {
    uint16_t* at = std::find(slots, slots + n, r->currentSlot);
    if (at != slots + n) std::rotate(slots, at, slots + n);
  }
  return n;
}

void SortSearchResults(DictEngine* engine, const SearchRequest* r, int32_t kind, SearchResultList* list,
                       uint32_t methodFlags) {
  if (!list || list->count == 0) return;
  bool rankBytes = (list->flags & kResultSearchWork1) != 0;
  bool someUnranked = (list->flags & kResultSearchWork2) != 0;
  // Ranked word postings carry relevance bits above the entry; each
  // dictionary has its own split.
  bool maskLater = false;
  std::vector<uint32_t> itemMask;
  if (kind == kSearchEnglishText) {
    // Each slot's mask found once, not once an item, and the last slot's
    // at hand: a list's items mostly come from one dictionary.
    std::vector<uint32_t> slotMask;
    std::vector<uint8_t> slotKnown;
    uint32_t lastSlot = 0xFFFFFFFF, lastMask = 0;
    auto maskOf = [&](uint16_t slot) {
      if (slot >= slotMask.size()) {
        slotMask.resize(slot + 1u, 0);
        slotKnown.resize(slot + 1u, 0);
      }
      if (!slotKnown[slot]) {
        slotMask[slot] = RankedEntryMask(engine, slot);
        slotKnown[slot] = 1;
      }
      lastSlot = slot;
      lastMask = slotMask[slot];
      return lastMask;
    };
    bool maskNow = r->sortMode == kSortKeepOrder || GetPref(engine, kPrefMaskRanksEarly) || list->count == 1;
    // Each item's mask kept as it is found, for masking later.
    std::vector<uint32_t> masks(maskNow ? 0 : list->count);
    for (uint32_t i = 0; i < list->count; ++i) {
      const uint16_t slot = ItemSlot(list->items[i]);
      const uint32_t m = slot == lastSlot ? lastMask : maskOf(slot);
      if (!maskNow) masks[i] = m;
      if (m == 0) continue;
      if (maskNow) list->items[i].entry &= m;
      else maskLater = true;
    }
    if (maskLater) itemMask.swap(masks);
  }
  auto clearRank = [&](SearchResultItem& it) {
    if (rankBytes) it.entry &= 0x00FFFFFF;
  };
  if (r->sortMode == kSortKeepOrder || list->count == 1) {
    for (uint32_t i = 0; i < list->count; ++i) clearRank(list->items[i]);
  } else if (r->sortMode == kSortByRank && (kind == kSearchChineseHeadword || kind == kSearchChineseWildcard) && !(methodFlags & kMethodAllSingle)) {
    std::vector<RankRecord> recs(list->count);
    // Word lengths all read at once, before the rank bytes are cleared.
    const bool storedRanks = rankBytes && !someUnranked;
    std::vector<uint16_t> lengths(storedRanks ? 0 : list->count);
    if (!storedRanks)
      GetEntryWordLengths(engine, list->items, list->count, rankBytes ? 0x00FFFFFF : 0xFFFFFFFF, lengths.data());
    for (uint32_t i = 0; i < list->count; ++i) {
      SearchResultItem& it = list->items[i];
      uint32_t rank = storedRanks ? it.entry >> 24 : lengths[i];
      clearRank(it);
      recs[i] = {rank, ItemSlot(it), i, it.entry};
    }
    std::stable_sort(recs.begin(), recs.end(), [](const RankRecord& a, const RankRecord& b) {
      if (a.rank != b.rank) return a.rank < b.rank;
      if (a.slot != b.slot) return a.slot < b.slot;
      return a.entry < b.entry;
    });
    uint32_t out = 0;
    for (uint32_t i = 0; i < recs.size(); ++i) {
      if (out > 0 && recs[out - 1].slot == recs[i].slot && recs[out - 1].entry == recs[i].entry) continue;
      recs[out++] = recs[i];
    }
    recs.resize(out);
    if ((methodFlags & kMethodEndsWithSyllable) && kind == kSearchChineseHeadword)
      std::stable_sort(recs.begin(), recs.end(), [](const RankRecord& a, const RankRecord& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.slot != b.slot) return a.slot < b.slot;
        if (a.position != b.position) return a.position < b.position;
        return a.entry < b.entry;
      });
    std::vector<uint32_t> masks(out, 0);
    for (uint32_t i = 0; i < out; ++i) {
      list->items[i] = {recs[i].slot, recs[i].entry};
      if (maskLater) masks[i] = itemMask[recs[i].position];
    }
    list->count = out;
    if (maskLater) itemMask = masks;
  } else {
    // By entry, then slot, so that equal items of one dictionary meet; equal
    // ones keep their order. One 64-bit key an item (entry, slot, position:
    // a list holds fewer than 2^20 items) sorts as the stable sort would.
    static_assert(kResultListLimit <= (1u << 20));
    std::vector<uint64_t> keys(list->count);
    for (uint32_t i = 0; i < list->count; ++i) {
      clearRank(list->items[i]);
      keys[i] = uint64_t{list->items[i].entry} << 32 | uint64_t{ItemSlot(list->items[i])} << 20 | i;
    }
    // Postings come in entry order already, often.
    SortDistinctKeys(keys);
    std::vector<SearchResultItem> items(list->items, list->items + list->count);
    std::vector<uint32_t> masks;
    if (maskLater) masks = itemMask;
    uint32_t out = 0;
    uint64_t previous = 0;
    for (uint32_t i = 0; i < keys.size(); ++i) {
      const uint64_t item = keys[i] >> 20;  // entry and slot
      if (out > 0 && item == previous) continue;
      previous = item;
      const uint32_t from = static_cast<uint32_t>(keys[i] & 0xFFFFF);
      list->items[out] = items[from];
      if (maskLater) itemMask[out] = masks[from];
      ++out;
    }
    list->count = out;
  }
  const bool maskAtEnd = maskLater && !GetPref(engine, kPrefMaskRanksEarly);
  for (uint32_t i = 0; i < list->count; ++i) {
    list->items[i].first &= kResultSlotMask;
    if (maskAtEnd && itemMask[i]) list->items[i].entry &= itemMask[i];
  }
  list->flags &= ~(kResultSearchWork1 | kResultSearchWork2);
}

void CleanSearchKey(WCHAR* key, WCHAR* parallel, int keepSlashes) {
  if (!key) return;
  uint32_t out = 0, depth = 0;
  bool skipNext = false;
  uint32_t i = 0;
  for (; i < kKeyUnits && key[i]; ++i) {
    WCHAR c = key[i];
    bool keep = true;
    if (c == '(' || c == 0xFF08) {
      ++depth;
      keep = false;
    } else if (c == ')' || c == 0xFF09) {
      if (depth) --depth;
      keep = false;
    } else if (depth) {
      keep = false;
    } else if (skipNext) {
      skipNext = false;
      keep = false;
    } else if (c == ' ' || c == 0x3000 || c == '\t' || (c >= 0xEA00 && c <= 0xEAFF)) {
      keep = false;
    } else if (c == '/' && !keepSlashes) {
      skipNext = true;
      keep = false;
    }
    if (keep) {
      key[out] = c;
      if (parallel) parallel[out] = parallel[i];
      ++out;
    }
  }
  key[out] = 0;
  if (parallel) parallel[out] = 0;
}

SearchResultList* Search(DictEngine* engine, SearchRequest* request) {
  if (!engine || !request || !request->query) return nullptr;
  const WCHAR* savedQuery = request->query;
  uint8_t savedFullText = request->fullText;
  uint8_t savedAllFirst = request->allLanguagesFirst;
  WCHAR prefix = PrefChar(engine, kPrefFullTextPrefix);
  if (prefix && request->query[0] == prefix) {
    ++request->query;
    request->fullText = 1;
    request->allLanguagesFirst = 0;
  }
  auto restore = [&]() {
    request->query = savedQuery;
    request->fullText = savedFullText;
    request->allLanguagesFirst = savedAllFirst;
  };
  if (!request->query[0]) {
    restore();
    return nullptr;
  }
  int32_t kinds[3] = {};
  int noDictionary = 0;
  uint32_t kindCount = ClassifyQuery(engine, request, kinds, &noDictionary);
  if (kindCount == 0) {
    restore();
    return nullptr;
  }
  SearchResultList* list = NewResultList(kResultListGrowItems);
  uint16_t dictCount = GetDictCount(engine);
  std::vector<uint16_t> slots(dictCount > 0 ? dictCount : 1);
  if (!list) {
    restore();
    return nullptr;
  }
  int32_t finalKind = kinds[0];
  uint32_t finalFlags = 0;
  uint32_t keptCount = 0;
  bool earlierKept = false;
  uint32_t finalBest = 0;
  enum class KindOutcome { kNext, kStop, kGaveUp };
  // One kind over its n dictionaries. With `tryAhead` (a later kind tried
  // before the first, see below) it gives up unless its first dictionary
  // takes the query as exact.
  auto runKind = [&](uint32_t ki, SearchMethod* method, uint32_t methodFlags, uint32_t n,
                     bool tryAhead) -> KindOutcome {
    int32_t kind = kinds[ki];
    uint32_t kindBest = 0;
    bool exactFound = false;
    bool stop = false;
    for (uint32_t d = 0; method && d < n; ++d) {
      uint16_t slot = slots[d];
      uint32_t before = list->count;
      list->bestMatch = 0;
      int code = GetDictKind(engine, slot) == kDictKindUser ? SearchUserDict(engine, method, slot, list)
                                                            : (method->method(engine, method, slot, list) & 0xFFFF);
      bool accepted = code == kSearchExact || (code == kSearchPartial && request->partialIsExact);
      if (tryAhead && d == 0 && !accepted) return KindOutcome::kGaveUp;
      if (code == kSearchTooCommon && noDictionary && kind == kSearchEnglishText) stop = true;
      if (accepted && !exactFound) {
        RemoveResultListRange(list, 0, before);
        exactFound = true;
        kindBest = std::max(kindBest, list->bestMatch);
      } else if (!accepted && !request->keepPartial) {
        DropResultListTail(list, list->count - before);
      } else if (!exactFound && list->bestMatch > kindBest && !earlierKept && list->count > before) {
        RemoveResultListRange(list, 0, before);
        kindBest = list->bestMatch;
      } else if (!(list->bestMatch > kindBest || (list->bestMatch == kindBest && request->allDictionaries))) {
        DropResultListTail(list, list->count - before);
      }
      if (exactFound && list->count > 0 && !request->allDictionaries) break;
    }
    list->bestMatch = kindBest;
    int32_t effective = kind;
    if (list->count > 0) {
      uint32_t firstLanguage = GetDictLanguage(engine, ItemSlot(list->items[0]));
      if (kind == kSearchChineseHeadword && firstLanguage == kLanguageEnglish) effective = kSearchChineseText;
      if (kind == kSearchEnglishHeadword && firstLanguage == kLanguageChinese) effective = kSearchEnglishText;
    }
    if (exactFound) {
      finalKind = effective;
      finalFlags = methodFlags;
      finalBest = kindBest;
      keptCount = list->count;
      earlierKept = true;
      return KindOutcome::kStop;
    }
    if (earlierKept) {
      if (list->count > keptCount) DropResultListTail(list, list->count - keptCount);
      list->bestMatch = finalBest;
    } else if (list->count > 0) {
      finalKind = effective;
      finalFlags = methodFlags;
      finalBest = kindBest;
      keptCount = list->count;
      earlierKept = true;
    } else {
      finalKind = effective;
      finalFlags = methodFlags;
    }
    return stop ? KindOutcome::kStop : KindOutcome::kNext;
  };
  // The dictionaries of kind ki into slots (0: none to search).
  auto dictsOf = [&](uint32_t ki) -> uint32_t {
    uint32_t n = BuildSearchDictList(engine, request, kinds[ki], ki == 0, slots.data());
    if (n == 0) return 0;
    if (request->currentOnly && request->currentSlot != 65535) {
      if (slots[0] != request->currentSlot) return 0;
      n = 1;
    }
    return n;
  };

  // An English word is searched as pinyin first, and most parse as pinyin
  // ("country" as cou…) without being pinyin of any headword. Where the
  // prefix index shows that the pinyin search cannot be exact in any of its
  // dictionaries, its partial result counts only when no later kind is
  // exact; so the second kind is tried first, and when its first dictionary
  // takes the query as exact, that kind's outcome (which removes what came
  // before it and does not depend on it) is the search's, and the pinyin
  // search is never run. Otherwise both run in their order.
  uint32_t firstKind = 0;
  SearchMethod* pinyin = nullptr;  // the first kind's method, made once
  uint32_t pinyinFlags = 0;
  if (kindCount >= 2 && kinds[0] == kSearchChineseHeadword && !request->partialIsExact && !request->kindsInOrder) {
    const uint32_t n = dictsOf(0);
    // A query that parses only shortened cannot be exact in a built-in
    // Chinese dictionary; when all the dictionaries are such, the method
    // (whose shortening parses the query again and again) is made only
    // if the pinyin search runs after all.
    bool cannotBeExact = n > 0 && QueryIsShortenedToParse(engine, request);
    for (uint32_t d = 0; d < n && cannotBeExact; ++d)
      cannotBeExact = GetDictKind(engine, slots[d]) == kDictKindBuiltIn &&
                      GetDictLanguage(engine, slots[d]) == kLanguageChinese;
    if (n > 0 && !cannotBeExact) pinyin = CreateSearchMethod(engine, request, kinds[0], &pinyinFlags);
    bool mayBeExact = !pinyin && !cannotBeExact;
    for (uint32_t d = 0; d < n && pinyin && !mayBeExact; ++d)
      mayBeExact = ChineseHeadwordMayBeExact(engine, pinyin, slots[d]) != 0;
    // The next kind with dictionaries to search (those between have none:
    // in order they would change nothing).
    uint32_t ahead = 1, n2 = 0;
    while (!mayBeExact && ahead < kindCount && (n2 = dictsOf(ahead)) == 0) ++ahead;
    if (n2 > 0) {
      uint32_t methodFlags = 0;
      SearchMethod* method = CreateSearchMethod(engine, request, kinds[ahead], &methodFlags);
      const KindOutcome outcome = method ? runKind(ahead, method, methodFlags, n2, true) : KindOutcome::kGaveUp;
      FreeSearchMethod(method);
      if (outcome == KindOutcome::kStop) {
        firstKind = kindCount;  // decided
      } else {
        ClearResultList(list);
        list->bestMatch = 0;
        finalKind = kinds[0];
        finalFlags = 0;
        finalBest = 0;
        keptCount = 0;
        earlierKept = false;
      }
    }
  }
  for (uint32_t ki = firstKind; ki < kindCount; ++ki) {
    const uint32_t n = dictsOf(ki);
    if (n == 0) continue;
    uint32_t methodFlags = 0;
    SearchMethod* method = nullptr;
    if (ki == 0 && pinyin) {
      method = pinyin;
      methodFlags = pinyinFlags;
      pinyin = nullptr;
    } else {
      method = CreateSearchMethod(engine, request, kinds[ki], &methodFlags);
    }
    const KindOutcome outcome = runKind(ki, method, methodFlags, n, false);
    FreeSearchMethod(method);
    if (outcome == KindOutcome::kStop) break;
  }
  FreeSearchMethod(pinyin);
  list->bestMatch = finalBest;
  SortSearchResults(engine, request, finalKind, list, finalFlags);
  list->language = (finalKind == kSearchEnglishHeadword || finalKind == kSearchEnglishWildcard || finalKind == kSearchEnglishText) ? kLanguageEnglish : kLanguageChinese;
  uint32_t flags = 0;
  if (finalKind == kSearchChineseText || finalKind == kSearchEnglishText) flags = noDictionary ? kResultFullText | kResultLanguageUnsearchable
                                                             : kResultFullText;
  if (finalFlags & kMethodNoTones) flags |= kResultNoTones;
  list->flags = flags;
  restore();
  if (list->count == 0) {
    FreeResultList(list);
    return nullptr;
  }
  return list;
}

namespace {

bool IsSuperscriptDigit(WCHAR c, uint32_t* v) {
  if (c >= 0x2070 && c <= 0x2079 && c != 0x2071 && c != 0x2072 && c != 0x2073) {
    *v = c - 0x2070;
    return true;
  }
  if (c == 0x00B9) *v = 1;
  else if (c == 0x00B2) *v = 2;
  else if (c == 0x00B3) *v = 3;
  else return false;
  return true;
}

uint32_t LeadingHomograph(const WCHAR* s) {
  uint32_t h = 0, v = 0;
  for (; s && *s && IsSuperscriptDigit(*s, &v); ++s) h = h * 10 + v;
  return h;
}

// The entry's fields of one class (1 headwords, 2 pronunciations) as raw
// text in a 40-unit buffer; false when the fetch failed.
bool FetchFieldText(DictEngine* engine, uint16_t slot, uint32_t entry, uint32_t classMask, WCHAR* out) {
  TextBuffer tb{};
  tb.data = out;
  tb.capacity = kKeyUnits;
  TextBufInit(&tb);
  EntryFetchRequest req{};
  req.slot = slot;
  req.entry = entry;
  req.options = kFetchRawSyllables | kFetchSecondFormFirst | kFetchClassMask;
  req.suppressStyles = 0xFFFFFFFF;
  req.classMask = classMask;
  int r = FetchDictEntryText(engine, &req, &tb);
  TextBufFinish(&tb);
  out[kKeyUnits - 1] = 0;
  return !(r >= kFetchNoTextFirst && r <= kFetchNoTextLast) && r != 1;
}

enum : uint8_t { kMarkReject = 1, kMarkNear = 2 };

}  // namespace

SearchResultList* FindEntriesByHeadword(DictEngine* engine, const uint32_t* slots, uint32_t slotCount,
                                        const WCHAR* headword, const WCHAR* alternative, const WCHAR* pronunciation,
                                        uint32_t language, uint32_t transLanguage, int, int stopAtFirstDict,
                                        int stopAtFirstHit, int unique) {
  auto empty = [](const WCHAR* s) { return !s || !s[0]; };
  if (!engine || language == 65535) return nullptr;
  if (language == kLanguageEnglish && empty(headword)) return nullptr;
  if (language == kLanguageChinese && empty(headword) && empty(alternative) && empty(pronunciation)) return nullptr;
  SearchResultList* list = NewResultList(kResultListGrowItems);
  auto* m = static_cast<SearchMethod*>(std::calloc(1, sizeof(SearchMethod)));
  if (!list || !m) {
    FreeResultList(list);
    std::free(m);
    return nullptr;
  }
  if (language == kLanguageChinese) {
    m->kind = kSearchChineseHeadword;
    m->method = SearchChineseHeadword;
    WCHAR low[kKeyUnits] = {}, high[kKeyUnits] = {};
    const WCHAR* chars = !empty(headword) ? headword : alternative;
    if (!empty(chars)) {
      WideStrCopyN(low, chars, kKeyUnits);
      low[kKeyUnits - 1] = 0;
      WideStrCopy(high, low);
    } else {
      ParsePinyinQuery(engine, pronunciation, low, high, kKeyUnits, kParseWholeSyllables);
    }
    CleanSearchKey(low, high, 0);
    AddSyllableKeyPair(&m->keys, low, high);
    m->query = headword ? headword : u"";
  } else {
    m->kind = kSearchEnglishHeadword;
    m->method = SearchEnglishHeadword;
    m->query = headword;
    FoldToKeyCopy(m->key, kMethodKeyUnits, headword, false);
    FoldToKeyCopy(m->spacedKey, kMethodKeyUnits, headword, true);
  }
  uint16_t dictCount = GetDictCount(engine);
  uint32_t total = (slots && slotCount > 0) ? slotCount : dictCount;
  bool exactFound = false;
  for (uint32_t i = 0; i < total; ++i) {
    uint32_t s32 = (slots && slotCount > 0) ? slots[i] : i;
    if (s32 >= dictCount) continue;
    uint16_t slot = static_cast<uint16_t>(s32);
    uint32_t flags = GetDictFlags(engine, slot);
    if (GetDictLanguage(engine, slot) != language) continue;
    if (transLanguage != 65535 && GetDictTransLanguage(engine, slot) != transLanguage) continue;
    if ((flags & 0x100) || ((flags & kDictFlagNeverSearched) && !(flags & kDictFlagCharDict))) continue;
    uint32_t before = list->count;
    list->bestMatch = 0;
    int code = GetDictKind(engine, slot) == kDictKindUser ? SearchUserDict(engine, m, slot, list)
                                                          : m->method(engine, m, slot, list);
    if (code == kSearchExact && list->count > before) {
      if (!exactFound) RemoveResultListRange(list, 0, before);
      exactFound = true;
      if (stopAtFirstDict || stopAtFirstHit) break;
    } else if (code == kSearchPartial && exactFound) {
      DropResultListTail(list, list->count - before);
    }
  }
  FreeSearchMethod(m);
  if (list->count == 0 || !exactFound) {
    FreeResultList(list);
    return nullptr;
  }
  if (language == kLanguageEnglish || (list->count == 1 && !unique)) return list;

  bool altCheck = !empty(headword) && !empty(alternative);
  bool pronCheck = (!empty(headword) || !empty(alternative)) && !empty(pronunciation);
  if (!altCheck && !pronCheck) return list;

  WCHAR altKey[kKeyUnits] = {};
  if (altCheck) {
    WideStrCopyN(altKey, alternative, kKeyUnits);
    altKey[kKeyUnits - 1] = 0;
    StripHighUnits(altKey);
    CleanSearchKey(altKey, nullptr, 0);
    for (uint32_t i = 0; altKey[i] && headword[i]; ++i)
      if (altKey[i] == '-') altKey[i] = headword[i];
  }
  uint32_t h = 0;
  WCHAR pronLow[kKeyUnits] = {}, pronHigh[kKeyUnits] = {};
  if (pronCheck) {
    h = LeadingHomograph(pronunciation);
    WCHAR clean[kKeyUnits] = {};
    WideStrCopyN(clean, pronunciation, kKeyUnits);
    clean[kKeyUnits - 1] = 0;
    CleanSearchKey(clean, nullptr, 0);
    ParsePinyinQuery(engine, clean, pronLow, pronHigh, kKeyUnits,
                     kParseLettersOnly | kParseWholeSyllables | kParseCapitalWords);
    for (uint32_t i = 0; pronLow[i]; ++i) {
      WCHAR c = pronLow[i];
      if (c >= kSyllableFirst && c <= kSyllableLastArea && (c - kSyllableFirst) % 5 == 0 && pronHigh[i] == c + 5)
        pronHigh[i] = static_cast<WCHAR>(c + 1);
    }
  }
  std::vector<uint8_t> marks(list->count, 0);
  bool anyExact = false, homographSeen = false;
  for (uint32_t i = 0; i < list->count; ++i) {
    uint16_t slot = ItemSlot(list->items[i]);
    uint32_t entry = list->items[i].entry;
    bool homograph = false;
    if (altCheck) {
      WCHAR text[kKeyUnits];
      if (!FetchFieldText(engine, slot, entry, 1, text)) {
        marks[i] |= kMarkReject;
        continue;
      }
      StripHighUnits(text);
      CleanSearchKey(text, nullptr, 1);
      if (MatchCharsByPosition(text, altKey) != 0) {
        marks[i] |= kMarkReject;
        continue;
      }
    }
    if (pronCheck) {
      WCHAR text[kKeyUnits];
      if (!FetchFieldText(engine, slot, entry, 2, text)) {
        marks[i] |= kMarkReject;
        continue;
      }
      if (h != 0 && LeadingHomograph(text) == h) homograph = true;
      CleanSearchKey(text, nullptr, 0);
      WCHAR codes[kKeyUnits];
      uint32_t nc = 0;
      for (uint32_t k = 0; text[k]; ++k)
        if (text[k] >= 0xE000 && text[k] <= 0xE9FF && !(text[k] >= 0xE9F3 && text[k] <= 0xE9F7)) codes[nc++] = text[k];
      uint32_t a = 0, b = 0;
      while ((a < nc || pronLow[b]) && !(marks[i] & kMarkReject)) {
        WCHAR e = a < nc ? codes[a] : 0;
        WCHAR lo = pronLow[b], hi = pronHigh[b];
        if (e == kSyllableSeparator && lo == kSyllableSeparator) {
          // A word break on both sides is the same spelling.
          ++a;
          ++b;
          continue;
        }
        if (e >= kSyllableMarkFirst) {
          marks[i] |= kMarkNear;
          ++a;
          continue;
        }
        if (lo >= kSyllableMarkFirst || (lo && lo < kSyllableFirst)) {
          marks[i] |= kMarkNear;
          ++b;
          continue;
        }
        if (!e || !lo) {
          marks[i] |= kMarkReject;
          break;
        }
        if (e >= lo && e < hi) {
          ++a;
          ++b;
          continue;
        }
        uint32_t es = (e - kSyllableFirst) / 5, et = (e - kSyllableFirst) % 5;
        uint32_t ks = (lo - kSyllableFirst) / 5, kt = (lo - kSyllableFirst) % 5;
        if (es == ks && (et == 0 || kt == 0)) {
          marks[i] |= kMarkNear;
          ++a;
          ++b;
          continue;
        }
        marks[i] |= kMarkReject;
      }
    }
    if (marks[i]) continue;
    if (homograph && !homographSeen) {
      homographSeen = true;
      for (uint32_t k = 0; k < i; ++k) marks[k] |= kMarkNear;
      anyExact = true;
    } else if (homographSeen && !homograph) {
      marks[i] |= kMarkNear;
    } else {
      anyExact = true;
      if (stopAtFirstHit && h == 0) {
        for (uint32_t k = i + 1; k < list->count; ++k) marks[k] |= kMarkReject;
        break;
      }
    }
  }
  bool anyNear = std::any_of(marks.begin(), marks.end(), [](uint8_t v) { return (v & kMarkNear) != 0; });
  uint32_t out = 0;
  if (anyExact) {
    for (uint32_t i = 0; i < list->count; ++i)
      if (!marks[i]) list->items[out++] = list->items[i];
  } else if (unique) {
    FreeResultList(list);
    return nullptr;
  } else if (!anyNear) {
    out = list->count;
  } else {
    for (uint32_t i = 0; i < list->count; ++i)
      if (!(marks[i] & kMarkReject)) list->items[out++] = list->items[i];
  }
  list->count = out;
  if (out == 0) {
    FreeResultList(list);
    return nullptr;
  }
  return list;
}
