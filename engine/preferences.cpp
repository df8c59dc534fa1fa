#include "engine/preferences.h"

#include <cstring>

#include "engine/dict_engine.h"
#include "engine/engine_time.h"
#include "engine/mem_handle.h"
#include "engine/string_utils.h"
#include "platform/heap.h"

namespace {

struct PrefDefault {
  int16_t id;
  int32_t value;
};

constexpr PrefDefault kDefaults[] = {
    {3, 4},       {4, 0},       {5, 3},         {7, 28},        {8, 0},         {9, 1},         {11, 28},
    {12, 25},     {13, 28},     {14, 4},        {15, 0},        {16, 3},        {18, 28},       {20, 28},
    {21, 28},     {22, 28},     {28, 19968},    {29, 1},        {32, 1},        {33, 1},        {34, 1},
    {35, 1},      {36, 1},      {39, 4096},     {40, -1},       {41, -1},       {42, -1},       {43, -1},
    {56, 0},      {57, 1},      {58, 19968},    {59, 1},        {62, 1},        {63, 1},        {64, 1},
    {65, 1},      {66, 1},      {70, 0},        {72, 2},        {73, 1},        {75, 2},        {83, -3},
    {90, 1},      {91, 1},      {92, 14},       {93, 14},       {94, 26},       {95, 48},       {96, 20},
    {97, 20},     {104, 0xFF0000}, {105, 0x00FF00}, {106, 0x0000FF}, {107, 0xCC33FF}, {108, 0x777777},
    {109, 1},     {115, 1},     {120, 64},      {121, 36},      {122, 35},      {130, 500},     {131, 2},
    {135, 1},     {146, -1},    {148, 1},       {160, 0},       {161, 0},       {171, 1},       {173, 9},
    {174, 3},     {175, 12},    {176, 3},       {182, 3},       {183, 2},       {184, 2},       {192, 2},
    {194, 3},     {196, 1},     {201, 1},       {202, 1},       {206, 1},       {210, 1},       {213, 10},
    {215, 3},     {218, 0},     {219, 0},       {220, 1},       {224, 8},       {226, 1},       {235, 1},
};

constexpr int32_t kArray1[] = {62, 19, 14};
constexpr int32_t kArray2[] = {1, 2, 4, 5, 14, 13, 16, 27, 26};
constexpr int32_t kArray3[] = {11, 21, 3};
constexpr int32_t kArray4[] = {1, 2, 4, 5, 14, 13, 22, 23, 19, 16, 27, 26};
constexpr int32_t kArray5[] = {11, 21, 3};
constexpr int32_t kArray7[] = {38, 14, 40, 15};

struct DefaultArray {
  int32_t id;
  const int32_t* items;
  uint32_t count;
};

constexpr DefaultArray kDefaultArrays[] = {
    {1, kArray1, 3}, {2, kArray2, 9}, {3, kArray3, 3}, {4, kArray4, 12}, {5, kArray5, 3}, {7, kArray7, 4},
};

// Blob offsets.
constexpr uint32_t kBlobValues = 16;
constexpr uint32_t kBlobArrayCounts = 1040;
constexpr uint32_t kBlobStringLengths = 1120;

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
uint32_t GetLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

int32_t* NewItems(uint32_t n) { return static_cast<int32_t*>(LocalAlloc(LPTR, size_t{n} * sizeof(int32_t))); }

PreferenceBlock* Prefs(DictEngine* engine) { return engine ? engine->preferences : nullptr; }

bool ValidArray(int32_t array) { return array >= 0 && array < kPrefArrayCount; }

}  // namespace

PreferenceBlock* NewDefaultPreferences() {
  auto* p = static_cast<PreferenceBlock*>(LocalAlloc(LPTR, sizeof(PreferenceBlock)));
  if (!p) return nullptr;
  for (const PrefDefault& d : kDefaults) p->values[d.id] = d.value;
  // The search delay is half a second of ticks.
  p->values[kPrefSearchDelay] = static_cast<int32_t>(GetTicksPerSecond() / 2);
  for (const DefaultArray& a : kDefaultArrays) {
    int32_t* items = NewItems(a.count);
    if (!items) continue;
    std::memcpy(items, a.items, a.count * sizeof(int32_t));
    p->arrays[a.id] = items;
    p->arrayCounts[a.id] = a.count;
  }
  return p;
}

void FreePreferenceBlock(PreferenceBlock* preferences) {
  if (!preferences) return;
  for (int32_t i = 0; i < kPrefArrayCount; ++i)
    if (preferences->arrays[i]) LocalFree(preferences->arrays[i]);
  for (int32_t i = 0; i < kPrefStringCount; ++i)
    if (preferences->strings[i]) LocalFree(preferences->strings[i]);
  LocalFree(preferences);
}

PreferenceBlock* ReadEngineBlob(const uint8_t* data, uint32_t size) {
  if (!data || size < kEngineBlobFixedSize) return nullptr;
  if (GetLe32(data) != kEngineBlobVersion) return nullptr;
  uint32_t valueCount = GetLe32(data + 4);
  uint32_t arrayCount = GetLe32(data + 8);
  uint32_t stringCount = GetLe32(data + 12);
  // The fixed part has room for 20 counts and 20 lengths only.
  if (arrayCount > uint32_t{kPrefArrayCount} || stringCount > uint32_t{kPrefStringCount}) return nullptr;

  // Check the whole variable part before taking anything.
  uint64_t end = kEngineBlobFixedSize;
  for (uint32_t i = 0; i < arrayCount; ++i) {
    uint32_t count = GetLe32(data + kBlobArrayCounts + 4 * i);
    if (count > kPrefArrayMaxItems) return nullptr;
    end += uint64_t{count} * 4;
  }
  for (uint32_t i = 0; i < stringCount; ++i) end += uint64_t{GetLe32(data + kBlobStringLengths + 4 * i)} * 2;
  if (end > size) return nullptr;

  auto* p = static_cast<PreferenceBlock*>(LocalAlloc(LPTR, sizeof(PreferenceBlock)));
  if (!p) return nullptr;
  uint32_t values = valueCount < uint32_t{kPrefCount} ? valueCount : uint32_t{kPrefCount};
  for (uint32_t i = 0; i < values; ++i) p->values[i] = static_cast<int32_t>(GetLe32(data + kBlobValues + 4 * i));

  uint32_t at = kEngineBlobFixedSize;
  for (uint32_t i = 0; i < arrayCount; ++i) {
    uint32_t count = GetLe32(data + kBlobArrayCounts + 4 * i);
    if (count) {
      int32_t* items = NewItems(count);
      if (!items) {
        FreePreferenceBlock(p);
        return nullptr;
      }
      for (uint32_t k = 0; k < count; ++k) items[k] = static_cast<int32_t>(GetLe32(data + at + 4 * k));
      p->arrays[i] = items;
      p->arrayCounts[i] = count;
    }
    at += count * 4;
  }
  for (uint32_t i = 0; i < stringCount; ++i) {
    uint32_t length = GetLe32(data + kBlobStringLengths + 4 * i);
    // A length counts the terminator; the last unit is made one whatever it
    // holds, and an empty text is a missing string.
    if (length > 1) {
      auto* text = static_cast<WCHAR*>(LocalAlloc(LPTR, size_t{length} * sizeof(WCHAR)));
      if (!text) {
        FreePreferenceBlock(p);
        return nullptr;
      }
      for (uint32_t k = 0; k + 1 < length; ++k)
        text[k] = static_cast<WCHAR>(data[at + 2 * k] | data[at + 2 * k + 1] << 8);
      text[length - 1] = 0;
      if (text[0]) {
        p->strings[i] = text;
      } else {
        LocalFree(text);
      }
    }
    at += length * 2;
  }
  return p;
}

MemHandle* MakeEngineBlob(const PreferenceBlock* preferences) {
  if (!preferences) return nullptr;
  uint64_t size = kEngineBlobFixedSize;
  for (int32_t i = 0; i < kPrefArrayCount; ++i) size += uint64_t{preferences->arrayCounts[i]} * 4;
  for (int32_t i = 0; i < kPrefStringCount; ++i) size += (uint64_t{WideStrLen(preferences->strings[i])} + 1) * 2;
  if (size > UINT32_MAX) return nullptr;
  MemHandle* handle = NewMemHandle(static_cast<uint32_t>(size));
  if (!handle) return nullptr;
  auto* b = static_cast<uint8_t*>(LockMemHandle(handle));
  PutLe32(b, kEngineBlobVersion);
  PutLe32(b + 4, kPrefCount);
  PutLe32(b + 8, kPrefArrayCount);
  PutLe32(b + 12, kPrefStringCount);
  for (int32_t i = 0; i < kPrefCount; ++i)
    PutLe32(b + kBlobValues + 4 * i, static_cast<uint32_t>(preferences->values[i]));
  uint32_t at = kEngineBlobFixedSize;
  for (int32_t i = 0; i < kPrefArrayCount; ++i) {
    uint32_t count = preferences->arrayCounts[i];
    PutLe32(b + kBlobArrayCounts + 4 * i, count);
    for (uint32_t k = 0; k < count; ++k) PutLe32(b + at + 4 * k, static_cast<uint32_t>(preferences->arrays[i][k]));
    at += count * 4;
  }
  for (int32_t i = 0; i < kPrefStringCount; ++i) {
    const WCHAR* s = preferences->strings[i];
    uint32_t length = WideStrLen(s) + 1;
    PutLe32(b + kBlobStringLengths + 4 * i, length);
    for (uint32_t k = 0; k + 1 < length; ++k) {
      b[at + 2 * k] = static_cast<uint8_t>(s[k]);
      b[at + 2 * k + 1] = static_cast<uint8_t>(s[k] >> 8);
    }
    at += length * 2;  // the terminator is already 0
  }
  UnlockMemHandle(handle);
  return handle;
}

int32_t GetPref(DictEngine* engine, int32_t id) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || id < 0 || id >= kPrefCount) return 0;
  return p->values[id];
}

void SetPref(DictEngine* engine, int32_t id, int32_t value) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || id < 0 || id >= kPrefCount) return;
  p->values[id] = value;
}

int32_t GetPrefArrayItem(DictEngine* engine, int32_t array, uint32_t i) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || !ValidArray(array) || i >= p->arrayCounts[array]) return 0;
  return p->arrays[array][i];
}

uint32_t GetPrefArrayCount(DictEngine* engine, int32_t array) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || !ValidArray(array)) return 0;
  return p->arrayCounts[array];
}

void SetPrefArrayItem(DictEngine* engine, int32_t array, uint32_t i, int32_t value) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || !ValidArray(array)) return;
  uint32_t count = p->arrayCounts[array];
  if (i < count) {
    p->arrays[array][i] = value;
    return;
  }
  if (i >= kPrefArrayMaxItems) return;
  int32_t* items = NewItems(i + 1);
  if (!items) return;
  if (count) std::memcpy(items, p->arrays[array], count * sizeof(int32_t));
  items[i] = value;
  if (p->arrays[array]) LocalFree(p->arrays[array]);
  p->arrays[array] = items;
  p->arrayCounts[array] = i + 1;
}

void SetPrefArray(DictEngine* engine, int32_t array, const int32_t* data, uint32_t n) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || !ValidArray(array)) return;
  uint32_t count = p->arrayCounts[array];
  if (n > count) {
    if (n > kPrefArrayMaxItems) return;
    int32_t* items = NewItems(n);
    if (!items) return;
    if (data) {
      std::memcpy(items, data, n * sizeof(int32_t));
    } else if (count) {
      std::memcpy(items, p->arrays[array], count * sizeof(int32_t));
    }
    if (p->arrays[array]) LocalFree(p->arrays[array]);
    p->arrays[array] = items;
    p->arrayCounts[array] = n;
    return;
  }
  // The block keeps its size; only the count shrinks.
  p->arrayCounts[array] = n;
  if (data && n) std::memcpy(p->arrays[array], data, n * sizeof(int32_t));
}

int32_t LookupPrefPair(DictEngine* engine, int32_t array, int32_t key) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || !ValidArray(array)) return -1;
  uint32_t pairs = p->arrayCounts[array] / 2;
  for (uint32_t k = 0; k < pairs; ++k)
    if (p->arrays[array][2 * k] == key) return p->arrays[array][2 * k + 1];
  return -1;
}

const WCHAR* GetPrefString(DictEngine* engine, int32_t id) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || id < 0 || id >= kPrefStringCount) return nullptr;
  return p->strings[id];
}

void SetPrefString(DictEngine* engine, int32_t id, const WCHAR* text) {
  PreferenceBlock* p = Prefs(engine);
  if (!p || id < 0 || id >= kPrefStringCount) return;
  WCHAR* copy = WideStrDup(text);
  if (text && text[0] && !copy) return;  // out of memory: keep the old text
  if (p->strings[id]) LocalFree(p->strings[id]);
  p->strings[id] = copy;
}
