// The preference block and its "Engine" record.
#include "engine/preferences.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/mem_handle.h"
#include "platform/heap.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutLe32(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void AppendLe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

// An engine that holds only a preference block.
class Prefs : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = static_cast<DictEngine*>(LocalAlloc(LPTR, sizeof(DictEngine)));
    ASSERT_NE(engine_, nullptr);
    engine_->preferences = NewDefaultPreferences();
    ASSERT_NE(engine_->preferences, nullptr);
  }
  void TearDown() override {
    FreePreferenceBlock(engine_->preferences);
    LocalFree(engine_);
  }
  std::vector<int32_t> Array(int32_t id) {
    std::vector<int32_t> items;
    for (uint32_t i = 0; i < GetPrefArrayCount(engine_, id); ++i) items.push_back(GetPrefArrayItem(engine_, id, i));
    return items;
  }
  DictEngine* engine_ = nullptr;
};

// Two blocks hold the same values, arrays and strings.
void ExpectSameBlock(const PreferenceBlock* a, const PreferenceBlock* b) {
  for (int32_t i = 0; i < kPrefCount; ++i) EXPECT_EQ(a->values[i], b->values[i]) << "value " << i;
  for (int32_t i = 0; i < kPrefArrayCount; ++i) {
    ASSERT_EQ(a->arrayCounts[i], b->arrayCounts[i]) << "array " << i;
    for (uint32_t k = 0; k < a->arrayCounts[i]; ++k) EXPECT_EQ(a->arrays[i][k], b->arrays[i][k]);
  }
  for (int32_t i = 0; i < kPrefStringCount; ++i) {
    std::u16string sa = a->strings[i] ? a->strings[i] : u"";
    std::u16string sb = b->strings[i] ? b->strings[i] : u"";
    EXPECT_EQ(sa, sb) << "string " << i;
  }
}

TEST_F(Prefs, Defaults) {
  EXPECT_EQ(GetPref(engine_, 130), 500);  // half a second of ticks
  EXPECT_EQ(GetPref(engine_, 120), 64);
  EXPECT_EQ(GetPref(engine_, 121), 36);
  EXPECT_EQ(GetPref(engine_, 122), 35);
  EXPECT_EQ(GetPref(engine_, 40), -1);
  EXPECT_EQ(GetPref(engine_, 83), -3);
  EXPECT_EQ(GetPref(engine_, 104), 0xFF0000);
  EXPECT_EQ(GetPref(engine_, 235), 1);
  EXPECT_EQ(GetPref(engine_, 0), 0);
  EXPECT_EQ(GetPref(engine_, 255), 0);
  EXPECT_EQ(Array(1), (std::vector<int32_t>{62, 19, 14}));
  EXPECT_EQ(Array(4), (std::vector<int32_t>{1, 2, 4, 5, 14, 13, 22, 23, 19, 16, 27, 26}));
  EXPECT_EQ(Array(7), (std::vector<int32_t>{38, 14, 40, 15}));
  EXPECT_TRUE(Array(0).empty());
  EXPECT_TRUE(Array(6).empty());
  EXPECT_EQ(GetPrefString(engine_, 0), nullptr);
}

TEST_F(Prefs, IdsOutsideTheBlockAreRefused) {
  std::vector<int32_t> before(engine_->preferences->values, engine_->preferences->values + kPrefCount);
  EXPECT_EQ(GetPref(engine_, 256), 0);
  EXPECT_EQ(GetPref(engine_, -1), 0);
  SetPref(engine_, 256, 7);
  SetPref(engine_, -1, 7);
  SetPref(engine_, INT32_MIN, 7);
  EXPECT_EQ(std::vector<int32_t>(engine_->preferences->values, engine_->preferences->values + kPrefCount), before);
  EXPECT_EQ(GetPref(engine_, 256), 0);

  EXPECT_EQ(GetPrefArrayItem(engine_, 20, 0), 0);
  EXPECT_EQ(GetPrefArrayItem(engine_, -1, 0), 0);
  EXPECT_EQ(GetPrefArrayItem(engine_, 7, 4), 0);
  EXPECT_EQ(GetPrefArrayCount(engine_, 20), 0u);
  EXPECT_EQ(GetPrefArrayCount(engine_, -3), 0u);
  SetPrefArrayItem(engine_, -1, 0, 5);
  SetPrefArrayItem(engine_, 20, 0, 5);
  int32_t data[] = {1, 2};
  SetPrefArray(engine_, -2, data, 2);
  SetPrefArray(engine_, 20, data, 2);
  EXPECT_EQ(LookupPrefPair(engine_, 20, 40), -1);
  EXPECT_EQ(LookupPrefPair(engine_, -1, 40), -1);
  SetPrefString(engine_, 20, u"x");
  SetPrefString(engine_, -1, u"x");
  EXPECT_EQ(GetPrefString(engine_, 20), nullptr);
  EXPECT_EQ(GetPrefString(engine_, -1), nullptr);

  // Nothing reached the block's arrays or strings either.
  PreferenceBlock* defaults = NewDefaultPreferences();
  ExpectSameBlock(engine_->preferences, defaults);
  FreePreferenceBlock(defaults);

  // An engine without a block answers 0 and takes nothing.
  DictEngine bare{};
  SetPref(&bare, 3, 4);
  EXPECT_EQ(GetPref(&bare, 3), 0);
  EXPECT_EQ(GetPref(nullptr, 3), 0);
}

TEST_F(Prefs, ArrayItemsAndWholeArrays) {
  SetPrefArrayItem(engine_, 6, 3, 9);
  EXPECT_EQ(Array(6), (std::vector<int32_t>{0, 0, 0, 9}));
  SetPrefArrayItem(engine_, 6, 1, 5);
  EXPECT_EQ(Array(6), (std::vector<int32_t>{0, 5, 0, 9}));
  SetPrefArrayItem(engine_, 6, kPrefArrayMaxItems, 1);  // too far: ignored
  EXPECT_EQ(GetPrefArrayCount(engine_, 6), 4u);

  // Growing with data, shrinking (the block keeps its items), growing again
  // without data keeps the items still counted and adds zeros.
  int32_t data[] = {7, 8, 9, 10, 11};
  SetPrefArray(engine_, 1, data, 5);
  EXPECT_EQ(Array(1), (std::vector<int32_t>{7, 8, 9, 10, 11}));
  SetPrefArray(engine_, 1, nullptr, 2);
  EXPECT_EQ(Array(1), (std::vector<int32_t>{7, 8}));
  int32_t two[] = {1, 2};
  SetPrefArray(engine_, 1, two, 2);
  EXPECT_EQ(Array(1), (std::vector<int32_t>{1, 2}));
  SetPrefArray(engine_, 1, nullptr, 4);
  EXPECT_EQ(Array(1), (std::vector<int32_t>{1, 2, 0, 0}));
  SetPrefArray(engine_, 1, nullptr, 0);
  EXPECT_TRUE(Array(1).empty());
  SetPrefArrayItem(engine_, 1, 0, 3);
  EXPECT_EQ(Array(1), (std::vector<int32_t>{3}));
}

TEST_F(Prefs, LookupPrefPair) {
  EXPECT_EQ(LookupPrefPair(engine_, 7, 40), 15);
  EXPECT_EQ(LookupPrefPair(engine_, 7, 38), 14);
  EXPECT_EQ(LookupPrefPair(engine_, 7, 14), -1);  // a value, not a key
  EXPECT_EQ(LookupPrefPair(engine_, 6, 0), -1);   // empty
  int32_t odd[] = {5, 50, 6};                     // the unpaired last item is no key
  SetPrefArray(engine_, 8, odd, 3);
  EXPECT_EQ(LookupPrefPair(engine_, 8, 5), 50);
  EXPECT_EQ(LookupPrefPair(engine_, 8, 6), -1);
  int32_t twice[] = {1, 10, 1, 20};
  SetPrefArray(engine_, 9, twice, 4);
  EXPECT_EQ(LookupPrefPair(engine_, 9, 1), 10);
}

TEST_F(Prefs, BlobRoundTripKeepsValuesArraysAndStrings) {
  SetPref(engine_, 0, -123456);
  SetPref(engine_, 255, 0x7FFFFFFF);
  SetPrefArrayItem(engine_, 0, 2, -1);
  SetPrefArrayItem(engine_, 19, 0, 42);
  SetPrefString(engine_, 0, u"first");
  SetPrefString(engine_, 7, u"汉字 text");
  SetPrefString(engine_, 19, u"last");
  MemHandle* blob = MakeEngineBlob(engine_->preferences);
  ASSERT_NE(blob, nullptr);
  uint32_t arrayItems = 0;
  for (int32_t i = 0; i < kPrefArrayCount; ++i) arrayItems += engine_->preferences->arrayCounts[i];
  // Each string with its terminator; the 17 missing ones as a lone zero.
  uint32_t stringUnits = 6 + 8 + 5 + 17;
  EXPECT_EQ(GetMemHandleSize(blob), kEngineBlobFixedSize + 4 * arrayItems + 2 * stringUnits);
  EXPECT_EQ(GetMemHandleLockCount(blob), 0);

  PreferenceBlock* back = ReadEngineBlob(static_cast<const uint8_t*>(blob->data), GetMemHandleSize(blob));
  ASSERT_NE(back, nullptr);
  ExpectSameBlock(engine_->preferences, back);
  EXPECT_EQ(std::u16string(back->strings[19]), u"last");
  FreePreferenceBlock(back);
  FreeMemHandle(blob);
}

// A valid record: the fixed part and the given array items (array 0) and
// strings (string 0, 1, ...; lengths with their terminators).
Bytes Record(const std::vector<int32_t>& array0, const std::vector<std::u16string>& strings) {
  Bytes b(kEngineBlobFixedSize, 0);
  PutLe32(b, 0, 1);
  PutLe32(b, 4, 256);
  PutLe32(b, 8, 20);
  PutLe32(b, 12, 20);
  for (int i = 0; i < 256; ++i) PutLe32(b, 16 + 4 * i, static_cast<uint32_t>(i + 1000));
  PutLe32(b, 1040, static_cast<uint32_t>(array0.size()));
  for (int i = 0; i < 20; ++i) PutLe32(b, 1120 + 4 * i, 1);
  for (int32_t v : array0) PutLe32(b, b.size(), static_cast<uint32_t>(v));
  for (int i = 0; i < 20; ++i) {
    if (i < static_cast<int>(strings.size())) {
      PutLe32(b, 1120 + 4 * i, static_cast<uint32_t>(strings[i].size() + 1));
      for (char16_t c : strings[i]) AppendLe16(b, c);
    }
    AppendLe16(b, 0);
  }
  return b;
}

TEST(EngineBlob, RecordsThisEngineDidNotWriteAreRefused) {
  const Bytes good = Record({1, 2, 3}, {u"abc"});
  PreferenceBlock* p = ReadEngineBlob(good.data(), static_cast<uint32_t>(good.size()));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->values[5], 1005);
  EXPECT_EQ(p->arrayCounts[0], 3u);
  EXPECT_EQ(std::u16string(p->strings[0]), u"abc");
  FreePreferenceBlock(p);

  struct Case {
    const char* what;
    Bytes bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"shorter than the fixed part", Bytes(good.begin(), good.begin() + 1199)});
  cases.push_back({"cut inside the strings", Bytes(good.begin(), good.end() - 2)});
  cases.push_back({"cut inside the arrays", Bytes(good.begin(), good.begin() + 1204)});
  Bytes b = good;
  PutLe32(b, 0, 2);
  cases.push_back({"another version", b});
  b = good;
  PutLe32(b, 8, 21);
  cases.push_back({"21 arrays", b});
  b = good;
  PutLe32(b, 12, 21);
  cases.push_back({"21 strings", b});
  b = good;
  PutLe32(b, 1040, 0x40000001);  // x 4 wraps 32 bits to 4
  cases.push_back({"array count that wraps", b});
  b = good;
  PutLe32(b, 1120, 0x80000002);  // x 2 wraps 32 bits to 4
  cases.push_back({"string length that wraps", b});
  b = good;
  PutLe32(b, 1120 + 4 * 19, 50);
  cases.push_back({"last string runs past the end", b});
  for (const Case& c : cases)
    EXPECT_EQ(ReadEngineBlob(c.bytes.data(), static_cast<uint32_t>(c.bytes.size())), nullptr) << c.what;
  EXPECT_EQ(ReadEngineBlob(nullptr, 5000), nullptr);
}

TEST(EngineBlob, CountsOtherThanTheBlocksAreHonoured) {
  // Fewer values than 256: the rest are 0; fewer arrays and strings: the
  // items that follow belong to the ones present.
  Bytes b = Record({}, {});
  b.resize(kEngineBlobFixedSize);
  PutLe32(b, 4, 3);
  PutLe32(b, 8, 1);
  PutLe32(b, 12, 1);
  PutLe32(b, 1040, 2);
  PutLe32(b, 1120, 3);
  PutLe32(b, b.size(), 77);
  PutLe32(b, b.size(), 88);
  for (char16_t c : std::u16string(u"xyz")) AppendLe16(b, c);  // no terminator stored
  PreferenceBlock* p = ReadEngineBlob(b.data(), static_cast<uint32_t>(b.size()));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->values[2], 1002);
  EXPECT_EQ(p->values[3], 0);
  ASSERT_EQ(p->arrayCounts[0], 2u);
  EXPECT_EQ(p->arrays[0][1], 88);
  EXPECT_EQ(p->arrayCounts[1], 0u);
  ASSERT_NE(p->strings[0], nullptr);
  EXPECT_EQ(std::u16string(p->strings[0]), u"xy");  // the last unit becomes the terminator
  FreePreferenceBlock(p);

  // More values than 256: the extra ones are passed over.
  b = Record({5}, {});
  PutLe32(b, 4, 400);
  p = ReadEngineBlob(b.data(), static_cast<uint32_t>(b.size()));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->values[255], 1255);
  EXPECT_EQ(p->arrays[0][0], 5);
  FreePreferenceBlock(p);
}

TEST_F(Prefs, StringsAreCopies) {
  std::u16string text = u"keep";
  SetPrefString(engine_, 3, text.c_str());
  text[0] = u'X';
  EXPECT_EQ(std::u16string(GetPrefString(engine_, 3)), u"keep");
  SetPrefString(engine_, 3, u"");
  EXPECT_EQ(GetPrefString(engine_, 3), nullptr);
}

}  // namespace
