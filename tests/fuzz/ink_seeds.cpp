// Writes a seed corpus for fuzz_ink: a few characters written by hand in a
// 300 px box (one, two and four strokes), in the target's input layout.
// Usage: fuzz_ink_seeds DIR
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int16_t E = -1;

struct Seed {
  const char* name;
  uint8_t flags;
  std::vector<int16_t> ink;  // without the final end marks
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_ink_seeds DIR\n");
    return 2;
  }
  const std::vector<Seed> seeds = {
      {"one", 0x3, {50, 150, 150, 148, 250, 150}},
      {"ten", 0xF, {40, 120, 150, 118, 260, 120, E, 0, 150, 20, 150, 140, 150, 260}},
      {"middle", 0x1, {60, 80, 60, 200, E,   0,   60, 80, 240, 80, 240, 200,
                       E,  0,  60, 200, 240, 200, E,  0,  150, 20, 150, 280}},
      {"dot", 0x2, {100, 100}},
      {"far", 0x3, {30000, -30000, -30000, 30000, E, 0, 0, 0, 0, 0}},
  };
  bool ok = true;
  for (const Seed& s : seeds) {
    std::vector<uint8_t> bytes = {s.flags, 10};
    for (int16_t v : s.ink) {
      bytes.push_back(static_cast<uint8_t>(v));
      bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
    }
    ok = fuzz::WriteSeed(argv[1], s.name, bytes.data(), bytes.size()) && ok;
  }
  return ok ? 0 : 1;
}
