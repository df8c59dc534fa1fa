#include "engine/index_search.h"

#include <algorithm>
#include <cstring>

#include "engine/bit_reader.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/search_results.h"
#include "engine/table_cursor.h"

namespace {

// First row whose key lies in [low, end), or -1.
int64_t FirstRowInRange(TableCursor* cursor, uint32_t column, uint32_t low, uint32_t end) {
  if (low >= end) return -1;
  int64_t row = FindRowByKey(cursor, column, low, 0, 1);
  if (row < 0) return -1;
  int64_t key = GetRowKeyByRow(cursor, column, static_cast<uint32_t>(row));
  if (key < static_cast<int64_t>(low)) {
    // Below the block's keys: the key lies past every row of the column.
    if (static_cast<uint32_t>(row) + 1 >= GetColumnRowCount(cursor, column)) return -1;
    ++row;
    key = GetRowKeyByRow(cursor, column, static_cast<uint32_t>(row));
  }
  if (key < static_cast<int64_t>(low) || key >= static_cast<int64_t>(end)) return -1;
  return row;
}

// Last row whose key lies in [first row's key, last] (last inclusive).
int64_t LastRowUpTo(TableCursor* cursor, uint32_t column, int64_t firstRow, uint32_t last) {
  int64_t row = FindRowByKey(cursor, column, last, 0, 0);
  if (row < firstRow) return firstRow;
  int64_t key = GetRowKeyByRow(cursor, column, static_cast<uint32_t>(row));
  if (key < 0 || key > static_cast<int64_t>(last)) return firstRow;
  return row;
}

uint32_t AllBits(uint32_t w) { return w >= 32 ? 0xFFFFFFFFu : (1u << w) - 1; }

// Positions [a, b) of a run of values sorted ascending: first position whose
// value is at least v (b when none).
uint32_t LowerBound(TableCursor* cursor, uint32_t column, uint32_t a, uint32_t b, uint32_t v) {
  while (a < b) {
    uint32_t mid = a + (b - a) / 2;
    if (ReadSingleValue(cursor, column, mid) < v)
      a = mid + 1;
    else
      b = mid;
  }
  return a;
}

// Keeps, of the n sorted values in `values`, those that the posting row
// holds, looking each up in the row (its values ascend) rather than reading
// the whole row: a few candidates against a long row are checked in a few
// reads each. Returns the count kept, -1 when the row is the too-common
// mark, or -2 when the row is long enough to be read whole instead.
int32_t KeepFoundInRow(TableCursor* cursor, uint32_t column, uint32_t row, MemHandle* values, uint32_t n) {
  const uint32_t from = GetRowRecordOffset(cursor, column, row);
  const uint32_t length = GetRowRecordLength(cursor, column, row);
  const uint32_t count = std::min(length, kPostingReadLimit);
  if (count == 0) return 0;
  if (count == 1 && ReadSingleValue(cursor, column, from) == AllBits(GetColumnUnitSize(cursor, column))) return -1;
  uint32_t log = 1;
  while ((count >> log) != 0) ++log;
  if (uint64_t{n} * log * 2 >= count) return -2;
  if (n > GetMemHandleSize(values) / 4) n = GetMemHandleSize(values) / 4;
  auto* a = static_cast<uint32_t*>(LockMemHandle(values));
  if (!a) return -2;
  const uint32_t end = from + count;
  uint32_t at = from, kept = 0;
  for (uint32_t i = 0; i < n && at < end; ++i) {
    at = LowerBound(cursor, column, at, end, a[i]);
    if (at < end && ReadSingleValue(cursor, column, at) == a[i] && a[i] != 0xFFFFFFFFu) a[kept++] = a[i];
  }
  UnlockMemHandle(values);
  return static_cast<int32_t>(kept);
}

struct Level {
  uint32_t end;  // position after the level's last matched character
  RangeList ranges;
};

void AddEntry(SearchResultList* list, uint16_t slot, int64_t entry, bool* full) {
  if (entry < 0) return;
  if (AddResultListItem(list, slot, static_cast<uint32_t>(entry)) != 0) *full = true;
}

}  // namespace

int FindKeyRowRange(TableCursor* cursor, uint32_t column, uint32_t low, uint32_t high, RowRange* range) {
  uint32_t end = (low == high) ? low + 1 : high;
  int64_t first = FirstRowInRange(cursor, column, low, end);
  if (first < 0) return 0;
  int64_t last = first;
  int64_t firstKey = GetRowKeyByRow(cursor, column, static_cast<uint32_t>(first));
  if (static_cast<int64_t>(end) - firstKey > 1) last = LastRowUpTo(cursor, column, first, end - 1);
  range->first = GetRowRecordOffset(cursor, column, static_cast<uint32_t>(first));
  range->end = GetRowRecordOffset(cursor, column, static_cast<uint32_t>(last)) +
               GetRowRecordLength(cursor, column, static_cast<uint32_t>(last));
  if (range->end < range->first) range->end = range->first;
  return 1;
}

uint32_t MatchIndexLevel(TableCursor* cursor, const WCHAR* low, const WCHAR* high, uint32_t position, WCHAR wildcard,
                         RangeList** current, RangeList** spare, int* stillMatching) {
  *stillMatching = 1;
  uint32_t columns = GetTableColumnCount(cursor);
  uint32_t i = position;
  for (; low[i] != 0 && !(wildcard != 0 && low[i] == wildcard); ++i) {
    uint32_t c = i + 1;
    if (c >= columns) {
      *stillMatching = 0;
      break;
    }
    WCHAR hi = high ? high[i] : low[i];
    if (i == position) {
      (*current)->count = 0;
      RowRange r{};
      if (!FindKeyRowRange(cursor, c, low[i], hi, &r) || AddRangeListItem(*current, r.first, r.end) != 0) {
        *stillMatching = 0;
        break;
      }
      continue;
    }
    RangeList* cur = *current;
    RangeList* next = *spare;
    next->count = 0;
    uint32_t end = (low[i] == hi || hi < low[i]) ? static_cast<uint32_t>(low[i]) + 1 : hi;
    int64_t firstRow = FirstRowInRange(cursor, c, low[i], end);
    if (firstRow >= 0) {
      int64_t lastRow = LastRowUpTo(cursor, c, firstRow, end - 1);
      for (int64_t row = firstRow; row <= lastRow; ++row) {
        uint32_t a = GetRowRecordOffset(cursor, c, static_cast<uint32_t>(row));
        uint32_t b = a + GetRowRecordLength(cursor, c, static_cast<uint32_t>(row));
        for (uint32_t k = 0; k < cur->count; ++k) {
          uint32_t lo = cur->ranges[k].first, rangeEnd = cur->ranges[k].end;
          uint32_t p1 = LowerBound(cursor, c, a, b, lo);
          if (p1 >= b || ReadSingleValue(cursor, c, p1) >= rangeEnd) continue;
          uint32_t p2 = LowerBound(cursor, c, p1 + 1, b, rangeEnd);
          AddRangeListItem(next, p1, p2);
        }
      }
    }
    *current = next;
    *spare = cur;
    if (next->count == 0) {
      *stillMatching = 0;
      *current = cur;
      *spare = next;
      break;
    }
  }
  return i;
}

int SearchSingleCharacter(TableCursor* cursor, uint16_t slot, WCHAR low, WCHAR high, SearchResultList* list) {
  RowRange r{};
  if (!FindKeyRowRange(cursor, 0, low, high, &r)) return 0;
  bool full = false;
  if (r.end > r.first) ReserveResultListItems(list, r.end - r.first);
  for (uint32_t p = r.first; p < r.end && !full; ++p) AddEntry(list, slot, ReadSingleValue(cursor, 0, p), &full);
  return 0;
}

uint32_t SearchPrefixIndex(TableCursor* cursor, uint16_t slot, const WCHAR* low, const WCHAR* high,
                           SearchResultList* list, uint32_t minimum, WCHAR wildcard, uint32_t options) {
  auto isWild = [&](WCHAR ch) { return wildcard != 0 && ch == wildcard; };
  uint32_t p = 0;
  while (isWild(low[p])) ++p;
  Level levels[3] = {};
  uint32_t levelCount = 0;
  RangeList spare{};
  int still = 1;
  while (levelCount < 3 && low[p] != 0 && still) {
    Level& lv = levels[levelCount];
    RangeList* cur = &lv.ranges;
    RangeList* sp = &spare;
    uint32_t start = p;
    uint32_t end = MatchIndexLevel(cursor, low, high, p, wildcard, &cur, &sp, &still);
    if (cur != &lv.ranges) std::swap(lv.ranges, spare);  // keep the matched ranges in the level
    lv.end = end;
    p = end;
    if (end > start && lv.ranges.count > 0) ++levelCount;
    else FreeRangeList(&lv.ranges);
    if (still)
      while (isWild(low[p])) ++p;
  }
  FreeRangeList(&spare);

  if (options & kPrefixMatchOnly) {
    // The walk alone decides the characters matched.
  } else if (p == 1 && (options & kPrefixSingleColumn0)) {
    SearchSingleCharacter(cursor, slot, low[0], high ? high[0] : low[0], list);
  } else if (p >= minimum && levelCount > 0) {
    const Level& last = levels[levelCount - 1];
    bool full = false;
    for (uint32_t k = 0; k < last.ranges.count && !full; ++k) {
      for (uint32_t r = last.ranges.ranges[k].first; r < last.ranges.ranges[k].end && !full; ++r) {
        bool pass = true;
        for (int e = static_cast<int>(levelCount) - 2; e >= 0 && pass; --e) {
          const Level& earlier = levels[e];
          int64_t pos = FollowIndexLevels(cursor, r, static_cast<int16_t>(last.end - 1),
                                          static_cast<int16_t>(earlier.end));
          pass = false;
          for (uint32_t q = 0; q < earlier.ranges.count; ++q)
            if (pos >= earlier.ranges.ranges[q].first && pos < earlier.ranges.ranges[q].end) {
              pass = true;
              break;
            }
        }
        if (pass) AddEntry(list, slot, FollowIndexLevels(cursor, r, static_cast<int16_t>(last.end - 1), 0), &full);
      }
    }
  }
  for (Level& lv : levels) FreeRangeList(&lv.ranges);
  return p;
}

int32_t ReadPostingRange(TableCursor* cursor, uint32_t column, uint32_t firstRow, uint32_t endRow,
                         MemHandle* storage) {
  if (endRow <= firstRow || endRow > GetColumnRowCount(cursor, column)) return 0;
  uint32_t from = GetRowRecordOffset(cursor, column, firstRow);
  uint32_t to = GetRowRecordOffset(cursor, column, endRow - 1) + GetRowRecordLength(cursor, column, endRow - 1);
  if (to <= from) return 0;
  uint32_t count = std::min(to - from, kPostingReadLimit);
  if (GetMemHandleSize(storage) < count * 4 && ResizeMemHandle(storage, count * 4) != 0) return 0;
  uint32_t mark = AllBits(GetColumnUnitSize(cursor, column));
  auto* values = static_cast<uint32_t*>(LockMemHandle(storage));
  if (!values) return 0;
  int32_t result = static_cast<int32_t>(count);
  for (uint32_t i = 0; i < count; ++i) {
    values[i] = ReadSingleValue(cursor, column, from + i);
    if (values[i] == mark) {
      result = -1;
      break;
    }
  }
  if (result > 1 && endRow - firstRow > 1) std::sort(values, values + count);
  UnlockMemHandle(storage);
  return result;
}

MemHandle* IntersectPostingRanges(TableCursor* cursor, uint32_t column, const uint32_t* lows, const uint32_t* highs,
                                  uint32_t keyCount, uint32_t* count, uint32_t mask) {
  *count = 0;
  MemHandle* a = NewMemHandle(512);
  MemHandle* b = NewMemHandle(512);
  if (!a || !b) {
    FreeMemHandle(a);
    FreeMemHandle(b);
    return nullptr;
  }
  uint32_t n = 0;
  bool started = false;
  for (uint32_t i = 0; i < keyCount; ++i) {
    uint32_t lo = lows[i];
    uint32_t hi = highs ? highs[i] : lo;
    // A range's high key is part of it; a single key is itself alone.
    uint32_t last = hi < lo ? lo : hi;
    int64_t firstRow = FirstRowInRange(cursor, column, lo, last + 1 == 0 ? last : last + 1);
    if (firstRow < 0) {
      FreeMemHandle(a);
      FreeMemHandle(b);
      return nullptr;
    }
    int64_t lastRow = last > lo ? LastRowUpTo(cursor, column, firstRow, last) : firstRow;
    uint32_t endRow = static_cast<uint32_t>(lastRow) + 1;
    if (!started) {
      int32_t got = ReadPostingRange(cursor, column, static_cast<uint32_t>(firstRow), endRow, a);
      if (got == -1) continue;  // too common: the next key is read as the first
      started = true;
      n = static_cast<uint32_t>(got);
      if (n == 0) break;
      continue;
    }
    if (mask == 0xFFFFFFFFu && endRow == static_cast<uint32_t>(firstRow) + 1) {
      const int32_t kept = KeepFoundInRow(cursor, column, static_cast<uint32_t>(firstRow), a, n);
      if (kept == -1) continue;  // too common
      if (kept >= 0) {
        n = static_cast<uint32_t>(kept);
        if (n == 0) break;
        continue;
      }
    }
    int32_t m = ReadPostingRange(cursor, column, static_cast<uint32_t>(firstRow), endRow, b);
    if (m == -1) continue;
    if (m == 0) {
      n = 0;
      break;
    }
    n = IntersectSortedWords(a, n, b, static_cast<uint32_t>(m), mask);
    if (n == 0) break;
  }
  FreeMemHandle(b);
  *count = n;
  return a;
}

int32_t ReadWordPostings(TableCursor* cursor, uint32_t column, uint32_t row, uint32_t w, MemHandle* storage,
                         const WCHAR* word, int prefixMode) {
  if (w == 0 || w > 32 || !word) return 0;
  MemHandle* record = NewMemHandle(64);
  if (!record) return 0;
  uint32_t bytes = 0;
  if (ReadTableRecord(cursor, column, row, record, nullptr, 0, &bytes) != kReadRecordOk ||
      bytes > GetMemHandleSize(record)) {
    FreeMemHandle(record);
    return 0;
  }
  const auto* data = static_cast<const uint8_t*>(LockMemHandle(record));
  int32_t result = 0;
  // The stored word, read only inside the record; a word without its
  // terminator there is a malformed record.
  uint32_t units = bytes / 2, chars = 0;
  auto unitAt = [&](uint32_t i) { return static_cast<WCHAR>(data[2 * i] | (data[2 * i + 1] << 8)); };
  while (chars < units && unitAt(chars) != 0) ++chars;
  bool match = chars < units;
  for (uint32_t i = 0; match; ++i) {
    WCHAR q = word[i];
    if (q == 0) {
      match = prefixMode || i == chars;
      break;
    }
    if (i >= chars) {
      match = false;
      break;
    }
    WCHAR s = unitAt(i);
    if (s >= 'A' && s <= 'Z') s = static_cast<WCHAR>(s + 32);
    if (q >= 'A' && q <= 'Z') q = static_cast<WCHAR>(q + 32);
    if (s != q) match = false;
  }
  if (match) {
    uint32_t wordBytes = 2 * ((chars + 2) & ~1u);
    if (wordBytes <= bytes) {
      uint32_t count = static_cast<uint32_t>((uint64_t{bytes - wordBytes} * 8) / w);
      if (count > 0 && (GetMemHandleSize(storage) >= count * 4 || ResizeMemHandle(storage, count * 4) == 0)) {
        auto* values = static_cast<uint32_t*>(LockMemHandle(storage));
        if (values) {
          const uint8_t* post = data + wordBytes;
          size_t postBytes = bytes - wordBytes;
          // ReadBitsBE value by value; where eight bytes are there to load,
          // one load holds the value (its w bits start at most 7 bits in).
          uint32_t j = 0;
          for (; j < count && ((uint64_t{j} * w) >> 3) + 8 <= postBytes; ++j) {
            const uint64_t bit = uint64_t{j} * w;
            uint64_t window;
            std::memcpy(&window, post + (bit >> 3), 8);
            values[j] = static_cast<uint32_t>((__builtin_bswap64(window) << (bit & 7)) >> (64 - w));
          }
          for (; j < count; ++j) values[j] = ReadBitsBE(post, postBytes, uint64_t{j} * w, w);
          // The too-common mark stands alone; bits that pad the record read
          // as further values and are not looked at.
          result = values[0] == AllBits(w) ? -1 : static_cast<int32_t>(count);
          UnlockMemHandle(storage);
        }
      }
    }
  }
  UnlockMemHandle(record);
  FreeMemHandle(record);
  return result;
}

uint32_t IntersectSortedWords(MemHandle* listA, uint32_t countA, MemHandle* listB, uint32_t countB,
                              uint32_t mask) {
  if (!listA || !listB) return 0;
  if (countA > GetMemHandleSize(listA) / 4) countA = GetMemHandleSize(listA) / 4;
  if (countB > GetMemHandleSize(listB) / 4) countB = GetMemHandleSize(listB) / 4;
  auto* a = static_cast<uint32_t*>(LockMemHandle(listA));
  const auto* b = static_cast<const uint32_t*>(LockMemHandle(listB));
  uint32_t kept = 0;
  uint32_t j = 0;
  for (uint32_t i = 0; i < countA; ++i) {
    const uint32_t key = a[i] & mask;
    while (j < countB && (b[j] & mask) < key) ++j;
    if (j == countB) break;  // the rest of A has no partner
    if ((b[j] & mask) == key && a[i] != 0xFFFFFFFFu) a[kept++] = a[i];
  }
  UnlockMemHandle(listB);
  UnlockMemHandle(listA);
  return kept;
}

uint32_t IntersectSortedPairs(MemHandle* listA, uint32_t countA, MemHandle* listB, uint32_t countB, uint32_t mask,
                              bool take) {
  if (!listA || !listB) return 0;
  if (countA > GetMemHandleSize(listA) / 8) countA = GetMemHandleSize(listA) / 8;
  if (countB > GetMemHandleSize(listB) / 8) countB = GetMemHandleSize(listB) / 8;
  auto* a = static_cast<uint32_t*>(LockMemHandle(listA));
  const auto* b = static_cast<const uint32_t*>(LockMemHandle(listB));
  uint32_t j = 0;
  for (uint32_t i = 0; i < countA; ++i) {
    uint32_t* pair = a + 2 * i;
    const uint32_t key = pair[0] & mask;
    while (j < countB && (b[2 * j] & mask) < key) ++j;
    if (j < countB && (b[2 * j] & mask) == key) {
      if (take) pair[0] = b[2 * j];
    } else {
      pair[0] = pair[1] = 0xFFFFFFFFu;
    }
  }
  uint32_t kept = 0;
  for (uint32_t i = 0; i < countA; ++i) {
    const uint32_t* pair = a + 2 * i;
    if (pair[0] == 0xFFFFFFFFu && pair[1] == 0xFFFFFFFFu) continue;
    a[2 * kept] = pair[0];
    a[2 * kept + 1] = pair[1];
    ++kept;
  }
  UnlockMemHandle(listB);
  UnlockMemHandle(listA);
  return kept;
}
