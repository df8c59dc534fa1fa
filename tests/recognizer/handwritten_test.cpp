// The built-in table against a few characters written by hand in a 300 px
// box: a check that the trained table and the engine agree end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "recognizer/quillet.h"

namespace {

struct Written {
  char16_t character;
  int rank;  // 0: must come first; 1: in the first two
  std::vector<int16_t> ink;
};

constexpr int16_t E = -1;

const std::vector<Written>& Samples() {
  static const std::vector<Written> samples = {
      {u'一', 0, {50, 150, 150, 148, 250, 150, E, 0, E, E}},
      {u'十', 0, {40, 120, 150, 118, 260, 120, E, 0, 150, 20, 150, 140, 150, 260, E, 0, E, E}},
      // 口 and the enclosure 囗 are the same shape.
      {u'口', 1, {60, 60, 60, 150, 60, 240, E, 0, 60, 60, 150, 60, 240, 60, 240, 150, 240, 240, E, 0,
                 60, 240, 150, 240, 240, 240, E, 0, E, E}},
      {u'人', 0, {150, 30, 145, 80, 140, 120, 100, 190, 60, 250, E, 0, 140, 120, 200, 190, 250, 250, E, 0, E, E}},
      {u'三', 0, {70, 60, 230, 60, E, 0, 90, 140, 210, 140, E, 0, 40, 230, 260, 230, E, 0, E, E}},
      {u'大', 0, {40, 110, 150, 108, 260, 110, E, 0, 150, 20, 150, 110, 110, 190, 50, 250, E, 0,
                 150, 110, 200, 190, 260, 250, E, 0, E, E}},
      {u'中', 0, {60, 80, 60, 200, E, 0, 60, 80, 240, 80, 240, 200, E, 0, 60, 200, 240, 200, E, 0,
                 150, 20, 150, 280, E, 0, E, E}},
      {u'木', 0, {40, 100, 260, 100, E, 0, 150, 20, 150, 280, E, 0, 150, 100, 100, 180, 40, 230, E, 0,
                 150, 100, 200, 180, 260, 230, E, 0, E, E}},
  };
  return samples;
}

TEST(Handwritten, SimpleCharactersComeFirst) {
  for (uint32_t flags : {0x1u | 0x2u, 0xFu}) {
    for (const Written& w : Samples()) {
      uint16_t out[11] = {};
      const int n = HWRecognize(w.ink.data(), out, 10, flags);
      ASSERT_GT(n, w.rank) << static_cast<int>(w.character);
      const auto pos = std::find(out, out + n, static_cast<uint16_t>(w.character)) - out;
      EXPECT_LE(pos, w.rank) << "U+" << std::hex << static_cast<int>(w.character) << " flags " << flags;
    }
  }
}

TEST(Handwritten, SameCharacterAtAnotherSizeAndPlace) {
  // The box of a 96-dpi layout (about 100 px) far from the origin.
  for (const Written& w : Samples()) {
    std::vector<int16_t> small = w.ink;
    for (size_t i = 0; i + 1 < small.size(); i += 2) {
      if (small[i] == E) continue;
      small[i] = static_cast<int16_t>(600 + small[i] / 3);
      small[i + 1] = static_cast<int16_t>(500 + small[i + 1] / 3);
    }
    uint16_t out[11] = {};
    const int n = HWRecognize(small.data(), out, 10, 0x3);
    const auto pos = std::find(out, out + n, static_cast<uint16_t>(w.character)) - out;
    EXPECT_LE(pos, w.rank + 1) << "U+" << std::hex << static_cast<int>(w.character);
  }
}

}  // namespace
