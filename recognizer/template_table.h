// The read-only template table compiled into the library: offsets of its
// regions and little-endian readers. Its values are produced by quillet-train.
#pragma once
#include <cstddef>
#include <cstdint>

namespace quillet {

constexpr size_t kTableSize = 1149508;
constexpr int kProjections = 96;
constexpr int kStages = 48;
constexpr int kCounters = 1024;
constexpr int kClasses = 19475;
constexpr int kClusters = 984;
constexpr int kDirectClusters = 576;
constexpr int kClassListSize = 12034;
constexpr int kFixedListSize = 42;
constexpr int kVariantPairs = 2773;
constexpr int kMaxClusterSize = 44;
constexpr uint16_t kMarkedClass = 0x8000;

constexpr size_t kOffCodebook = 0;          // K: 1,024 x 96 bytes
constexpr size_t kOffValueRows = 98304;     // P: 16 x 256 int16
constexpr size_t kOffWeights = 106496;      // W: 256 u16
constexpr size_t kOffQuantisers = 107008;   // Q: 48 x 256 bytes
constexpr size_t kOffDecoders = 119296;     // R: 48 x 32 bytes
constexpr size_t kOffClusterMask = 120832;  // 984 bytes
constexpr size_t kOffClusterSize = 121816;  // 984 bytes
constexpr size_t kOffClusterStart = 122800; // 984 u16
constexpr size_t kOffClusterCentre = 124768;  // 984 x 16 bytes
constexpr size_t kOffClassList = 140512;    // 12,034 u16
constexpr size_t kOffFixedList = 164580;    // 42 u16
constexpr size_t kOffStageBytes = 164664;   // 48 x 19,475 bytes
constexpr size_t kOffClassCodes = 1099464;  // 19,475 u16 + one 0
constexpr size_t kOffListA = 1138416;       // 2,773 u16
constexpr size_t kOffListB = 1143962;       // 2,773 u16

struct TemplateTable {
  const uint8_t* bytes;  // kTableSize bytes
};

// The table compiled into the library.
TemplateTable BuiltInTemplateTable();

inline uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t ReadI16(const uint8_t* p) { return static_cast<int16_t>(ReadU16(p)); }

inline uint8_t CodebookIndex(TemplateTable t, int counter, int j) {
  return t.bytes[kOffCodebook + counter * kProjections + j];
}
inline int16_t ValueRow(TemplateTable t, int v, int index) {  // v: 1..16
  return ReadI16(t.bytes + kOffValueRows + ((v - 1) * 256 + index) * 2);
}
inline uint16_t Weight(TemplateTable t, int d) { return ReadU16(t.bytes + kOffWeights + d * 2); }
inline const uint8_t* Quantiser(TemplateTable t, int k) { return t.bytes + kOffQuantisers + k * 256; }
inline const uint8_t* Decoder(TemplateTable t, int k) { return t.bytes + kOffDecoders + k * 32; }
inline uint8_t ClusterMask(TemplateTable t, int c) { return t.bytes[kOffClusterMask + c]; }
inline uint8_t ClusterSize(TemplateTable t, int c) { return t.bytes[kOffClusterSize + c]; }
inline uint16_t ClusterStart(TemplateTable t, int c) { return ReadU16(t.bytes + kOffClusterStart + c * 2); }
inline const uint8_t* ClusterCentre(TemplateTable t, int c) { return t.bytes + kOffClusterCentre + c * 16; }
inline uint16_t ClassListEntry(TemplateTable t, int pos) { return ReadU16(t.bytes + kOffClassList + pos * 2); }
inline uint16_t FixedListEntry(TemplateTable t, int pos) { return ReadU16(t.bytes + kOffFixedList + pos * 2); }
inline const uint8_t* StageRow(TemplateTable t, int k) { return t.bytes + kOffStageBytes + static_cast<size_t>(k) * kClasses; }
inline uint16_t ClassCode(TemplateTable t, int cls) { return ReadU16(t.bytes + kOffClassCodes + cls * 2); }
inline uint16_t ListA(TemplateTable t, int k) { return ReadU16(t.bytes + kOffListA + k * 2); }
inline uint16_t ListB(TemplateTable t, int k) { return ReadU16(t.bytes + kOffListB + k * 2); }

}  // namespace quillet
