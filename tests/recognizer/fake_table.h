// A template table built in memory, so tests can steer every stage. All
// zero by default: every projection is 128, every code and score 0, and no
// cluster belongs to any group.
#pragma once
#include <cstdint>
#include <vector>

#include "recognizer/template_table.h"

struct FakeTable {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(quillet::kTableSize, 0);

  quillet::TemplateTable View() const { return quillet::TemplateTable{bytes.data()}; }

  void U16(size_t off, uint16_t v) {
    bytes[off] = static_cast<uint8_t>(v & 0xFF);
    bytes[off + 1] = static_cast<uint8_t>(v >> 8);
  }
  void ValueRow(int v, int index, int16_t value) {
    U16(quillet::kOffValueRows + ((v - 1) * 256 + index) * 2, static_cast<uint16_t>(value));
  }
  void Codebook(int counter, int j, uint8_t index) {
    bytes[quillet::kOffCodebook + counter * quillet::kProjections + j] = index;
  }
  // A cluster whose centre lies `distance` (L1, over q = 128) from the input.
  void Cluster(int c, uint8_t mask, uint8_t size, uint16_t start, int distance) {
    bytes[quillet::kOffClusterMask + c] = mask;
    bytes[quillet::kOffClusterSize + c] = size;
    U16(quillet::kOffClusterStart + c * 2, start);
    for (int i = 0; i < 16; ++i) {
      const int part = distance > 127 ? 127 : distance;
      bytes[quillet::kOffClusterCentre + c * 16 + i] = static_cast<uint8_t>(128 + part);
      distance -= part;
    }
  }
  void ClassList(int pos, uint16_t cls) { U16(quillet::kOffClassList + pos * 2, cls); }
  void FixedList(int pos, uint16_t cls) { U16(quillet::kOffFixedList + pos * 2, cls); }
  void Stage(int k, int cls, uint8_t b) { bytes[quillet::kOffStageBytes + static_cast<size_t>(k) * quillet::kClasses + cls] = b; }
  void AllStages(int cls, uint8_t b) {
    for (int k = 0; k < quillet::kStages; ++k) Stage(k, cls, b);
  }
  void Code(int cls, uint16_t code) { U16(quillet::kOffClassCodes + cls * 2, code); }
  void Weight(int d, uint16_t w) { U16(quillet::kOffWeights + d * 2, w); }
  void Decoder(int k, int i, uint8_t v) { bytes[quillet::kOffDecoders + k * 32 + i] = v; }
  void Pair(int k, uint16_t a, uint16_t b) {
    U16(quillet::kOffListA + k * 2, a);
    U16(quillet::kOffListB + k * 2, b);
  }
};

// A diagonal line: enough ink to reach the matching.
inline std::vector<int16_t> LineInk() { return {100, 100, 200, 180, -1, 0, -1, -1}; }
