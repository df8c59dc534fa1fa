#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "recognizer/quillet.h"
#include "recognizer/recognizer.h"
#include "tests/recognizer/fake_table.h"

using namespace quillet;

namespace {

struct Conversion : testing::Test {
  FakeTable table;
  std::unique_ptr<RecognizerWorkArea> wa = std::make_unique<RecognizerWorkArea>();

  std::vector<uint16_t> Convert(const std::vector<CandidateEntry>& candidates, uint32_t flags) {
    const int n = ConvertCandidates(table.View(), candidates.data(), static_cast<int>(candidates.size()), flags,
                                    wa.get());
    EXPECT_EQ(wa->resultCount, n);
    std::vector<uint16_t> codes;
    for (int i = 0; i < n; ++i) codes.push_back(wa->codes[i]);
    return codes;
  }
};

TEST_F(Conversion, RepeatedCodeComesOnceAtItsBetterClassPlace) {
  table.Code(1, u'甲');
  table.Code(2, u'乙');
  table.Code(3, u'甲');
  table.Code(4, u'丙');
  EXPECT_EQ(Convert({MakeEntry(1, 1), MakeEntry(2, 2), MakeEntry(3, 3), MakeEntry(4, 4)}, 0x1),
            (std::vector<uint16_t>{u'甲', u'乙', u'丙'}));
}

TEST_F(Conversion, MarkedClassesFollowTheVariantLists) {
  table.Code(7, u'國');
  table.Code(8, u'国');
  table.Code(9, u'人');
  table.Pair(0, u'國', u'国');
  table.Pair(1, u'圀', u'国');
  table.Pair(2, u'國', u'囯');
  const std::vector<CandidateEntry> marked = {MakeEntry(1, 0x8000 | 7), MakeEntry(2, 0x8000 | 8), MakeEntry(3, 9)};
  // 0x20: A -> B for every place A holds the code.
  EXPECT_EQ(Convert(marked, 0x20), (std::vector<uint16_t>{u'国', u'囯', u'人'}));
  // 0x40: B -> A.
  EXPECT_EQ(Convert(marked, 0x40), (std::vector<uint16_t>{u'國', u'圀', u'人'}));
  // Neither: marked classes give nothing; all marked gives no result.
  EXPECT_EQ(Convert(marked, 0x1), (std::vector<uint16_t>{u'人'}));
  EXPECT_TRUE(Convert({MakeEntry(1, 0x8000 | 7)}, 0x1).empty());
}

TEST_F(Conversion, RawCodesStopAtTheirCapacity) {
  // A code that the lists name far more often than a sound table allows
  // cannot overrun the raw list.
  table.Code(5, 0x4E00);
  for (int k = 0; k < kVariantPairs; ++k) table.Pair(k, 0x4E00, static_cast<uint16_t>(0x5000 + k));
  std::vector<CandidateEntry> list;
  for (int i = 0; i < 32; ++i) list.push_back(MakeEntry(i, 0x8000 | 5));
  const std::vector<uint16_t> got = Convert(list, 0x20);
  ASSERT_EQ(got.size(), 32u);
  EXPECT_EQ(got[31], 0x5000 + 31);
}

TEST_F(Conversion, GestureRule) {
  table.Code(1, 'a');
  table.Code(2, 13);
  table.Code(3, 'b');
  table.Code(4, 32);
  table.Code(5, 'c');
  const std::vector<CandidateEntry> gestureFirst = {MakeEntry(1, 2), MakeEntry(2, 1), MakeEntry(3, 4)};
  const std::vector<CandidateEntry> letterFirst = {MakeEntry(1, 1), MakeEntry(2, 2), MakeEntry(3, 3),
                                                   MakeEntry(4, 4), MakeEntry(5, 5)};
  EXPECT_EQ(Convert(gestureFirst, 0x8000 | 0x100), (std::vector<uint16_t>{13}));
  EXPECT_EQ(Convert(letterFirst, 0x8000 | 0x100), (std::vector<uint16_t>{'a', 'b', 'c'}));
  // Without the bit, gesture codes are ordinary codes.
  EXPECT_EQ(Convert(letterFirst, 0x100), (std::vector<uint16_t>{'a', 13, 'b', 32, 'c'}));
}

TEST_F(Conversion, GestureFlagAloneGivesOneGestureCode) {
  const uint16_t gestures[] = {8, 13, 16, 32, 9};
  for (int i = 0; i < 5; ++i) table.Code(19470 + i, gestures[i]);
  table.AllStages(19471, 0x00);
  for (int c : {19470, 19472, 19473, 19474}) table.AllStages(c, 0x11);
  for (int k = 0; k < kStages; ++k) {
    table.Decoder(k, 0, 128);
    table.Decoder(k, 16, 128);
  }
  table.Weight(128, 1);
  const std::vector<int16_t> ink = LineInk();
  ASSERT_EQ(RecognizeCore(table.View(), ink.data(), 0x8000, wa.get()), 1);
  EXPECT_EQ(wa->codes[0], 13);
}

// The built-in table, through the exported function.
std::vector<int16_t> ThreeStrokes() {
  // 三: plenty of candidates with any table.
  return {200, 200, 500, 200, 800, 205, -1, 0, 200, 400, 500, 400, 800, 405, -1, 0,
          200, 600, 500, 600, 800, 605, -1, 0, -1, -1};
}

TEST(HWRecognize, CopiesAtMostMaxCountAndClosesWithZero) {
  const std::vector<int16_t> ink = ThreeStrokes();
  uint16_t all[33];
  std::fill(std::begin(all), std::end(all), 0xEEEE);
  const int found = HWRecognize(ink.data(), all, 32, 0xF);
  ASSERT_GE(found, 10);
  EXPECT_EQ(all[found], 0);
  uint16_t out[6];
  std::fill(std::begin(out), std::end(out), 0xEEEE);
  EXPECT_EQ(HWRecognize(ink.data(), out, 3, 0xF), 3);
  EXPECT_EQ(std::vector<uint16_t>(out, out + 3), std::vector<uint16_t>(all, all + 3));
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(out[4], 0xEEEE);
  // A code is never repeated.
  std::vector<uint16_t> codes(all, all + found);
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
}

TEST(HWRecognize, FailuresReturnZeroAndLeaveOutUntouched) {
  const std::vector<int16_t> good = ThreeStrokes();
  const std::vector<int16_t> endFirst = {-1, -1, 100, 100, 300, 300, -1, 0, -1, -1};
  const std::vector<int16_t> tap = {100, 100, -1, 0, -1, -1};
  const std::vector<int16_t> onlyEnds = {-1, 0, -1, 0, -1, -1};
  uint16_t out[11];
  std::fill(std::begin(out), std::end(out), 0xEEEE);
  EXPECT_EQ(HWRecognize(endFirst.data(), out, 10, 0xF), 0);
  EXPECT_EQ(HWRecognize(tap.data(), out, 10, 0xF), 0);
  EXPECT_EQ(HWRecognize(onlyEnds.data(), out, 10, 0xF), 0);
  EXPECT_EQ(HWRecognize(good.data(), out, 10, 0), 0);
  EXPECT_EQ(HWRecognize(good.data(), out, 10, 0x10000), 0);  // only the low 16 bits count
  EXPECT_EQ(HWRecognize(good.data(), out, 0, 0xF), 0);
  EXPECT_EQ(HWRecognize(good.data(), out, -5, 0xF), 0);
  EXPECT_EQ(HWRecognize(nullptr, out, 10, 0xF), 0);
  for (uint16_t c : out) EXPECT_EQ(c, 0xEEEE);
  EXPECT_EQ(HWRecognize(good.data(), nullptr, 10, 0xF), 0);
}

TEST(HWRecognize, GestureFlagAloneReturnsOneGestureCode) {
  const std::vector<int16_t> ink = {800, 500, 500, 500, 200, 502, -1, 0, -1, -1};  // right to left
  uint16_t out[11] = {};
  ASSERT_EQ(HWRecognize(ink.data(), out, 10, 0x8000), 1);
  const std::vector<uint16_t> gestures = {8, 9, 13, 16, 32};
  EXPECT_NE(std::find(gestures.begin(), gestures.end(), out[0]), gestures.end());
}

TEST(QuilletLibrary, ExportsOnlyHWRecognizeAndRecognises) {
  void* lib = dlopen(QUILLET_DLL_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto recognize = reinterpret_cast<HWRecognizeProc>(dlsym(lib, "HWRecognize"));
  ASSERT_NE(recognize, nullptr);
  for (const char* hidden : {"CleanInk", "_ZN7quillet8CleanInkEPKsPNS_8InkPointE", "quillet_template_table",
                             "_ZN7quillet14FineMatchStageENS_13TemplateTableEPNS_12MatchBuffersERKNS_17ProjectedFeaturesEj"})
    EXPECT_EQ(dlsym(lib, hidden), nullptr) << hidden;
  const std::vector<int16_t> ink = ThreeStrokes();
  uint16_t viaLib[11] = {}, direct[11] = {};
  const int n = recognize(ink.data(), viaLib, 10, 0x1 | 0x2);
  EXPECT_EQ(n, HWRecognize(ink.data(), direct, 10, 0x1 | 0x2));
  EXPECT_GT(n, 0);
  EXPECT_EQ(std::vector<uint16_t>(viaLib, viaLib + 11), std::vector<uint16_t>(direct, direct + 11));
  dlclose(lib);
}

}  // namespace
