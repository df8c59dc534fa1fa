// The record-database container: a 78-byte big-endian header, a list of
// 8-byte record entries (big-endian offset, attribute byte, 3-byte id), then
// the records back to back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/byte_sink.h"

namespace databuild {

constexpr std::uint32_t kDbTypeData = FourCharCode("SXDB");
constexpr std::uint32_t kDbTypeDataAlt = FourCharCode("SDDB");
constexpr std::uint32_t kDbCreator = FourCharCode("SRVN");
constexpr std::size_t kDbContainerHeaderSize = 78;
constexpr std::size_t kDbRecordEntrySize = 8;
constexpr std::size_t kDbMaxRecords = 65535;  // the count is a 16-bit field

struct RecordDbSpec {
  std::string name;  // at most 31 bytes are stored, zero-terminated
  std::uint32_t type = kDbTypeData;
  std::uint32_t creator = kDbCreator;
};

// Offset of record 0 in a container of `recordCount` records.
std::size_t RecordDbFirstOffset(std::size_t recordCount);

// Builds the whole container. Returns 0, or 1 when there are no records or
// more than 65,535 (with a message in `error`). `offsets`, when given,
// receives every record's offset from the start of the file.
int BuildRecordDb(const RecordDbSpec& desc, const std::vector<ByteVec>& records, ByteVec* out,
                  std::vector<std::uint32_t>* offsets, std::string* error);

}  // namespace databuild
