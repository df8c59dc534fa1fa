// A whole data file described as data: the database header (record 0) with
// its table directory and texts, then each table's records, all inside the
// record-database container. This is the writer's entry point:
//
//   DataFileSpec desc;            // names, texts
//   desc.tables.push_back(table); // TableSpec, see table_builder.h
//   ByteVec bytes;
//   BuildDataFile(desc, &bytes, &layout, &error);   // or WriteDataFile(desc, path, &error)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/byte_sink.h"
#include "tools/databuild/record_db_writer.h"
#include "tools/databuild/table_builder.h"

namespace databuild {

constexpr char kDataFileMagic[] = "SORVIsorviDB";
constexpr std::uint32_t kDataFileMagicNumber = 0xC8D32E17;
constexpr std::uint32_t kDataFileVersion = 8;
constexpr std::size_t kDataFileHeaderFixedSize = 132;

struct DataFileSpec {
  std::string containerName = "Sorvi data";
  std::uint32_t containerType = kDbTypeData;
  std::u16string shortName;  // at most 31 units
  std::u16string longName;
  std::u16string notice;
  std::vector<TableSpec> tables;
};

struct DataFileLayout {
  std::vector<std::uint32_t> recordOffsets;  // every record's file offset
  std::vector<TableLayout> tables;           // with their header record numbers
  std::uint32_t fileSize = 0;
};

// Returns 0 and the file's bytes, or 1 with a message in `error`.
int BuildDataFile(const DataFileSpec& desc, ByteVec* out, DataFileLayout* layout, std::string* error);

// Builds the file and writes it to a host path. Returns 0 or 1.
int WriteDataFile(const DataFileSpec& desc, const std::string& path, std::string* error);
int WriteFileBytes(const ByteVec& bytes, const std::string& path, std::string* error);

}  // namespace databuild
