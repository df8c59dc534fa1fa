// Writes a seed corpus for fuzz_stroke_data: stroke records in the form the
// stroke index holds them (closed outlines, a stroke end after each, the
// data end), in the target's input layout.
// Usage: fuzz_stroke_data_seeds DIR
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr uint16_t E = 0xFFFF;

struct Seed {
  const char* name;
  uint8_t points, strokes, flags;
  std::vector<uint16_t> values;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_stroke_data_seeds DIR\n");
    return 2;
  }
  const std::vector<Seed> seeds = {
      {"square", 250, 50, 0x01, {10, 10, 50, 10, 50, 50, 10, 50, 10, 10, E, 0, E, E}},
      {"two", 250, 50, 0x02, {10, 10, 50, 10, 50, 50, 10, 50, 10, 10, E, 0, 30,
                              10, 70, 10, 70, 50, 30, 50, 30, 10, E,  0, E, E}},
      {"concave", 250, 50, 0x00, {20, 20, 40, 20, 40, 70, 90, 70, 90, 90, 20, 90, 20, 20, E, 0, E, E}},
      {"full", 1, 1, 0x81, {10, 10, 50, 10, 50, 50, E, 0, 60, 60, 70, 70, E, 0, E, E}},
      {"unended", 250, 2, 0x00, {10, 10, 50, 10, E, 0, 5, 5}},
  };
  bool ok = true;
  for (const Seed& s : seeds) {
    std::vector<uint8_t> bytes = {s.points, s.strokes, s.flags};
    for (uint16_t v : s.values) {
      bytes.push_back(static_cast<uint8_t>(v));
      bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    ok = fuzz::WriteSeed(argv[1], s.name, bytes.data(), bytes.size()) && ok;
  }
  return ok ? 0 : 1;
}
