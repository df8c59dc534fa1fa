// The pronunciation-audio tables of a data file, described as data:
//   0x7010 the syllable clip index of one group (rows searched by text);
//   0x7000 clip tables (row r of column 0 is one clip).
//
// Index row record: word A (0x1000: the clip is for 一 or 不 only; bits
// 8-11 the clip list; bits 0-7 the clip table in the list), word B (the row
// of that clip table), then the key text (syllable codes U+E000 + 5 x
// syllable + tone), unterminated, at most 19 units so that the record fits
// the reader's 42-byte read.
//
// Rules the reader relies on and that fail silently when broken (the Make
// and Add functions keep them; CheckDataFileRules checks a whole file):
// - the index is table 0 (the first directory entry) of its file;
// - its info word 4 is 512;
// - rows ascend by their key text in plain unit order (search mode 7), and
//   the block index's first-key texts are the key texts WITHOUT words A and B;
// - key texts have 1 to 19 units and differ.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/table_builder.h"

namespace databuild {

constexpr std::uint32_t kTypeClips = 0x7000;
constexpr std::uint32_t kTypeSyllableIndex = 0x7010;
constexpr std::uint32_t kSyllableIndexMarker = 512;  // info word 4
constexpr std::size_t kSyllableKeyMaxUnits = 19;
constexpr std::uint16_t kClipYiBuOnly = 0x1000;
constexpr std::size_t kClipListDescriptorOffset = 84;
constexpr std::size_t kClipListDescriptorSize = 72;

// Group flags (info word 3): two groups sharing a bit compete, the higher id wins.
constexpr std::uint32_t kAudioSetA = 0x1;
constexpr std::uint32_t kAudioSetB = 0x2;

struct SyllableClipRef {
  std::u16string key;  // 1 to 19 units
  std::uint8_t list = 0;   // clip list (0-15)
  std::uint8_t table = 0;  // clip table in the list
  std::uint16_t row = 0;   // row of that clip table
  bool yiBuOnly = false;   // word A bit 0x1000
};

// Info area: word 0 id, bytes 4-5 clip list count, bytes 8-9 kind, word 3
// flags, word 4 = 512, from byte 84 one 72-byte descriptor per clip list
// (its first 16-bit value the list's clip-table count, the rest zero).
struct SyllableIndexSpec {
  std::uint32_t id = 1;
  std::uint32_t flags = kAudioSetA;
  std::uint16_t kind = 0;
  std::vector<std::uint16_t> clipTables;  // per clip list: its number of clip tables
  std::vector<SyllableClipRef> keys;      // sorted here
  std::uint32_t maxBlockRows = 0;
};

// Info area: word 0 the group id, bytes 4-5 the clip list, bytes 8-9 the
// place in that list. Clips up to 49,152 bytes; an empty clip is allowed.
struct ClipTableSpec {
  std::uint32_t groupId = 1;
  std::uint16_t list = 0;
  std::uint16_t place = 0;
  std::vector<ByteVec> clips;
  std::uint32_t maxBlockRows = 0;
};

int MakeSyllableIndexTable(const SyllableIndexSpec& desc, TableSpec* out, std::string* error);
int MakeClipTable(const ClipTableSpec& desc, TableSpec* out, std::string* error);

// Inserts the index as table 0 of the file; fails when table 0 is already
// one that must be first (another 0x7010, or a 0x9010).
int AddSyllableIndexTable(const SyllableIndexSpec& desc, DataFileSpec* file, std::string* error);
int AddClipTable(const ClipTableSpec& desc, DataFileSpec* file, std::string* error);

// A whole group from key -> clip: the index (table 0) and its clip tables in
// clip list 0, at most clipsPerTable clips each (0: all in one table).
struct SyllableClip {
  std::u16string key;
  ByteVec data;
  bool yiBuOnly = false;
};
struct AudioGroupSpec {
  std::uint32_t id = 1;
  std::uint32_t flags = kAudioSetA;
  std::uint16_t kind = 0;
  std::vector<SyllableClip> clips;
  std::uint32_t clipsPerTable = 0;
};
int AddAudioGroup(const AudioGroupSpec& desc, DataFileSpec* file, std::string* error);

}  // namespace databuild
