#include "engine/radical_table.h"

#include "engine/data_file_db.h"
#include "engine/data_resources.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/table_cursor.h"
#include "platform/heap.h"

namespace {

// Radicals with a traditional and a simplified block of characters: the
// radical number, its simplified form, the two code ranges and the
// characters of each form that lie outside its block.
struct RadicalVariant {
  uint16_t radical;
  WCHAR simplified;
  WCHAR tradFirst, tradLast;
  WCHAR simpFirst, simpLast;
  WCHAR tradExtra[5];
  WCHAR simpExtra[5];
};

constexpr RadicalVariant kRadicalVariants[] = {
    {120, 0x7E9F, 0x7CF8, 0x7E9E, 0x7E9F, 0x7F35, {0x8F61, 0x8FAE, 0x9848}, {0x8FAB, 0x98A3}},
    {147, 0x89C1, 0x898B, 0x89C0, 0x89C1, 0x89D1, {}, {}},
    {149, 0x8BA0, 0x8A00, 0x8B9F, 0x8BA0, 0x8C36, {}, {}},
    {154, 0x8D1D, 0x8C9D, 0x8D1C, 0x8D1D, 0x8D63, {}, {}},
    {159, 0x8F66, 0x8ECA, 0x8F65, 0x8F66, 0x8F9A, {}, {}},
    {167, 0x9485, 0x91D1, 0x9484, 0x9485, 0x9576, {}, {}},
    {168, 0x957F, 0x9577, 0x957E, 0x957F, 0x957F, {0x5957, 0x9ADF, 0x8086}, {}},
    {169, 0x95E8, 0x9580, 0x95E7, 0x95E8, 0x961B, {0x554F, 0x60B6, 0x805E}, {}},
    {181, 0x9875, 0x9801, 0x9874, 0x9875, 0x98A7, {0x6F41, 0x71B2, 0x7A4E}, {}},
    {182, 0x98CE, 0x98A8, 0x98CD, 0x98CE, 0x98DA, {0x6A92}, {}},
    {184, 0x9963, 0x98DF, 0x9962, 0x9963, 0x9995, {0x8755}, {0x8680}},
    {187, 0x9A6C, 0x99AC, 0x9A6B, 0x9A6C, 0x9AA7, {}, {0x51AF}},
    {195, 0x9C7C, 0x9B5A, 0x9C7B, 0x9C7C, 0x9CE4, {0x7A4C}, {0x7A23}},
    {196, 0x9E1F, 0x9CE5, 0x9E1E, 0x9E1F, 0x9E74, {0x7FF5}, {}},
    {197, 0x5364, 0x9E75, 0x9E7D, 0x9E7E, 0x9E7E, {}, {0x5364, 0x5365}},
    {199, 0x9EA6, 0x9EA7, 0x9EB7, 0x9EB8, 0x9EBA, {0x9EA5}, {0x9EA6}},
    {210, 0x9F50, 0x9F4A, 0x9F4F, 0x9F50, 0x9F51, {}, {0x6589}},
    {211, 0x9F7F, 0x9F52, 0x9F7E, 0x9F7F, 0x9F8C, {}, {}},
    {212, 0x9F99, 0x9F8D, 0x9F98, 0x9F99, 0x9F9B, {0x58DF, 0x7931, 0x8972}, {0x5390, 0x5784, 0x5E9E, 0x783B, 0x88AD}},
};

const RadicalVariant* FindVariant(uint32_t radical) {
  for (const RadicalVariant& v : kRadicalVariants)
    if (v.radical == radical) return &v;
  return nullptr;
}

// What a variant row leaves out of the list.
struct Exclusion {
  WCHAR first = 1, last = 0;  // empty range
  const WCHAR* extra = nullptr;
  bool Excludes(WCHAR c) const {
    if (c >= first && c <= last) return true;
    if (extra)
      for (int i = 0; i < 5 && extra[i]; ++i)
        if (extra[i] == c) return true;
    return false;
  }
};

constexpr uint32_t kCharListInitialBytes = 64;

// 16-bit values of a record as WCHARs (a new block, null when n is 0 or the
// heap is exhausted).
WCHAR* DecodeUnits(const uint8_t* p, uint32_t n) {
  if (n == 0) return nullptr;
  auto* out = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, n * sizeof(WCHAR)));
  if (!out) return nullptr;
  for (uint32_t i = 0; i < n; ++i) out[i] = LoadLe16(p + 2 * i);
  return out;
}

// The radical list of subtable record 0; a list that does not fit its
// record is left empty.
void LoadRadicalList(RadicalTable* rt) {
  uint32_t size = 0;
  const uint8_t* data = GetSubtableRecord(rt->mainCursor, 0, &size);
  if (!data || size < 2) return;
  uint32_t n = LoadLe16(data);
  if (2 + 2ull * n > size) return;
  uint32_t b = (size - 2 - 2 * n) / 2;
  rt->listA = DecodeUnits(data + 2, n);
  rt->listACount = rt->listA ? n : 0;
  rt->listB = DecodeUnits(data + 2 + 2 * n, b);
  rt->listBCount = rt->listB ? b : 0;
}

void ClearCharList(RadicalTable* rt) {
  rt->charListLength = 0;
  rt->sectionCount = 0;
}

}  // namespace

RadicalTable* GetRadicalTable(DictEngine* engine) {
  DataResources* res = GetDataResources(engine, false);
  return res ? res->radical : nullptr;
}

int LoadRadicalTable(DictEngine* engine, DataFileDb* const* readers, uint32_t count) {
  DataResources* res = GetDataResources(engine, true);
  if (!res) return 1;
  FreeRadicalTable(engine);
  RadicalTable* rt = nullptr;
  for (uint32_t r = 0; r < count; ++r) {
    DataFileDb* db = readers[r];
    if (!db) continue;
    for (uint32_t i = 0; i < GetTableCount(db); ++i) {
      DataTable* table = GetTableByIndex(db, i);
      if (!table) continue;
      const uint32_t type = GetTableProperty(table, 1);
      if (!rt && type == kRadicalTableType) {
        // The id and code range sit in the first four info words.
        if (!table->infoArea || table->infoAreaSize < 16) continue;
        rt = static_cast<RadicalTable*>(LocalAlloc(LPTR, sizeof(RadicalTable)));
        if (!rt) return 1;
        rt->mainCursor = NewTableCursor(table);
        if (!rt->mainCursor) {
          LocalFree(rt);
          return 1;
        }
        rt->id = LoadLe32(table->infoArea);
        rt->infoWord1 = LoadLe32(table->infoArea + 4);
        rt->lowestCode = LoadLe32(table->infoArea + 8);
        rt->highestCode = LoadLe32(table->infoArea + 12);
        LoadRadicalList(rt);
        res->radical = rt;
      } else if (rt && !rt->codeCursor && type == kRadicalCodeTableType) {
        if (table->infoArea && table->infoAreaSize >= 4 && LoadLe32(table->infoArea) == rt->id)
          rt->codeCursor = NewTableCursor(table);
      }
      if (rt && rt->codeCursor) return 0;
    }
  }
  return rt ? 0 : 1;
}

void FreeRadicalTable(DictEngine* engine) {
  DataResources* res = GetDataResources(engine, false);
  if (!res || !res->radical) return;
  RadicalTable* rt = res->radical;
  if (rt->mainCursor) FreeTableCursor(rt->mainCursor);
  if (rt->codeCursor) FreeTableCursor(rt->codeCursor);
  FreeMemHandle(rt->record);
  FreeMemHandle(rt->charList);
  if (rt->listA) LocalFree(rt->listA);
  if (rt->listB) LocalFree(rt->listB);
  LocalFree(rt);
  res->radical = nullptr;
}

void SetRadicalTableFlag(DictEngine* engine, uint8_t flag) {
  if (RadicalTable* rt = GetRadicalTable(engine)) rt->modeFlag = flag;
}

uint8_t GetRadicalTableFlag(DictEngine* engine) {
  RadicalTable* rt = GetRadicalTable(engine);
  return rt ? rt->modeFlag : 0;
}

uint32_t LookupRadicalCode(DictEngine* engine, uint32_t code) {
  RadicalTable* rt = GetRadicalTable(engine);
  if (!rt || !rt->codeCursor || code < rt->lowestCode || code > rt->highestCode) return 0;
  return ReadSingleValue(rt->codeCursor, 0, code - rt->lowestCode) & 0xFFFF;
}

uint32_t FindRadicalIndex(DictEngine* engine, uint32_t value) {
  RadicalTable* rt = GetRadicalTable(engine);
  if (!rt) return 0;
  // Items of two values: the character, then a byte and the number byte.
  for (uint32_t i = 0; i + 1 < rt->listBCount; i += 2)
    if ((rt->listB[i + 1] >> 8) == value) return rt->listB[i];
  return 0;
}

int BuildRadicalCharList(DictEngine* engine, uint32_t radical, WCHAR form, int unfiltered, int useVariants) {
  RadicalTable* rt = GetRadicalTable(engine);
  if (!rt) return 1;
  int64_t row = FindRowByKey(rt->mainCursor, 0, radical, 1, 0);
  if (row < 0) {
    ResetCursor(rt->mainCursor);
    return 1;
  }

  Exclusion excluded;
  if (useVariants) {
    if (const RadicalVariant* v = FindVariant(radical)) {
      if (form == v->simplified) {
        excluded.first = v->tradFirst;
        excluded.last = v->tradLast;
        excluded.extra = v->tradExtra;
      } else {
        excluded.first = v->simpFirst;
        excluded.last = v->simpLast;
        excluded.extra = v->simpExtra;
      }
    }
  }

  if (!rt->record && !(rt->record = NewMemHandle(kCharListInitialBytes))) return 1;
  if (!rt->charList && !(rt->charList = NewMemHandle(kCharListInitialBytes))) return 1;
  ClearCharList(rt);
  uint32_t bytes = 0;
  int status = ReadTableRecord(rt->mainCursor, 0, static_cast<uint32_t>(row), rt->record, nullptr, 0, &bytes);
  ResetCursor(rt->mainCursor);
  if (status != kReadRecordOk || bytes < 2) return 1;
  const uint8_t* rec = static_cast<const uint8_t*>(rt->record->data);
  const uint32_t units = bytes / 2;
  const uint32_t k = LoadLe16(rec);
  if (k + 1 > units) return 1;  // the section starts run past the record
  const uint32_t charCount = units - k - 1;

  // Only the first 20 sections have places to go.
  uint16_t starts[kMaxRadicalSections];
  const uint32_t kept = k < kMaxRadicalSections ? k : kMaxRadicalSections;
  for (uint32_t i = 0; i < kept; ++i) starts[i] = LoadLe16(rec + 2 + 2 * i);
  auto nextSection = [&](uint32_t from) -> uint32_t {
    for (uint32_t i = from; i < kept; ++i)
      if (starts[i] != kNoRadicalSection) return i;
    return kMaxRadicalSections;  // none
  };

  // Room for every character and every mark.
  const uint32_t needed = (charCount + kMaxRadicalSections + 1) * sizeof(WCHAR);
  if (GetMemHandleSize(rt->charList) < needed && ResizeMemHandle(rt->charList, needed) != 0) return 1;
  auto* out = static_cast<WCHAR*>(rt->charList->data);

  uint32_t length = 0;
  uint32_t current = nextSection(0);
  const uint8_t* chars = rec + 2 + 2 * k;
  for (uint32_t p = 0; p < charCount; ++p) {
    const WCHAR c = LoadLe16(chars + 2 * p);
    if (excluded.Excludes(c)) continue;
    if (!unfiltered && !DictSetHasCharEntry(engine, c)) continue;
    if (current < kMaxRadicalSections && rt->sectionCount < kMaxRadicalSections && p >= starts[current]) {
      uint32_t s = current;
      for (uint32_t i = current + 1; i < kept; ++i)
        if (starts[i] != kNoRadicalSection && starts[i] <= p) s = i;
      if (s >= 1 && s <= kMaxRadicalSections) out[length++] = static_cast<WCHAR>(kRadicalSectionMarkBase + s);
      rt->sectionStarts[rt->sectionCount] = static_cast<uint16_t>(length);
      rt->sectionNumbers[rt->sectionCount] = static_cast<uint16_t>(s);
      ++rt->sectionCount;
      current = nextSection(s + 1);
    }
    out[length++] = c;
  }
  out[length] = 0;
  rt->charListLength = length;
  return 0;
}

const WCHAR* GetRadicalListData(DictEngine* engine, int which, uint32_t* count) {
  if (count) *count = 0;
  RadicalTable* rt = GetRadicalTable(engine);
  if (!rt) return nullptr;
  if (which) {
    if (count) *count = rt->listBCount;
    return rt->listB;
  }
  if (count) *count = rt->charListLength;
  return rt->charList ? static_cast<const WCHAR*>(rt->charList->data) : nullptr;
}

int GetRadicalSections(DictEngine* engine, int which, uint16_t* numbers, uint32_t* count) {
  if (count) *count = 0;
  RadicalTable* rt = GetRadicalTable(engine);
  if (!rt) return 1;
  uint32_t n;
  if (which) {
    n = rt->listACount > 0 ? rt->listACount - 1 : 0;
    if (n > kMaxRadicalSections) n = kMaxRadicalSections;
    if (numbers)
      for (uint32_t i = 0; i < n; ++i) numbers[i] = static_cast<uint16_t>(i + 1);
  } else {
    n = rt->sectionCount;
    if (numbers)
      for (uint32_t i = 0; i < n; ++i) numbers[i] = rt->sectionNumbers[i];
  }
  if (count) *count = n;
  return 0;
}

uint32_t GetRadicalSectionStart(DictEngine* engine, uint32_t i) {
  RadicalTable* rt = GetRadicalTable(engine);
  if (!rt) return 0;
  if (rt->modeFlag == 0) return i < rt->sectionCount ? rt->sectionStarts[i] : 0;
  if (i + 1 < rt->listACount && rt->listA[i] != kNoRadicalSection) return rt->listA[i + 1];
  return 0;
}
