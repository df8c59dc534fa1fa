#include "engine/pinyin_table.h"

#include "engine/dict_engine.h"
#include "engine/text_compare.h"

uint32_t PinyinRowCount(const DictEngine* engine) {
  return engine && engine->pinyinSpelling.data ? engine->pinyinSpelling.count : 0;
}

bool PinyinRow(const DictEngine* engine, uint32_t r, char* row) {
  if (r >= PinyinRowCount(engine)) return false;
  const uint8_t* p = engine->pinyinSpelling.data + kSpellingWidth * r;
  for (uint32_t k = 0; k < kSpellingWidth; ++k) row[k] = static_cast<char>(p[k]);
  row[kSpellingWidth] = 0;
  return true;
}

uint32_t FindPinyinRow(const DictEngine* engine, const WCHAR* text, uint32_t places) {
  uint32_t lo = 0, hi = PinyinRowCount(engine);
  char row[kSpellingWidth + 1];
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    PinyinRow(engine, mid, row);
    if (PinyinWordCmpNarrow(text, row, places) > 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

uint32_t LastPinyinRowWithPrefix(const DictEngine* engine, const WCHAR* text, uint32_t letters, uint32_t from) {
  const uint32_t count = PinyinRowCount(engine);
  if (from >= count) return from;
  uint32_t lo = from, hi = count;  // first row above the prefix
  char row[kSpellingWidth + 1];
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    PinyinRow(engine, mid, row);
    if (PinyinWordCmpNarrow(text, row, letters) >= 0) lo = mid + 1;
    else hi = mid;
  }
  return lo > from ? lo - 1 : from;
}
