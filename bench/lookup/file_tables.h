// The bytes of a data file by table: each table's records (header, block
// index, subtables and blocks) as they lie in the file, and what is left
// for the container and the database header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DbFile;

namespace lookupbench {

struct TableBytes {
  uint32_t type = 0;
  std::string name;  // UTF-8: the table's own name, else what its type holds
  uint32_t rows = 0;
  uint64_t bytes = 0;
};

struct FileTables {
  std::string fileName;
  uint64_t fileBytes = 0;
  uint64_t otherBytes = 0;  // container, record list, database header
  std::vector<TableBytes> tables;
};

// 0, or 1 when the data-file reader refuses the file.
int MeasureFileTables(DbFile* file, const std::string& fileName, FileTables* out);

}  // namespace lookupbench
