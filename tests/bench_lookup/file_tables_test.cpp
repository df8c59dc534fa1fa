// Sizes by table: the tables and the container account for every byte of
// the file, and each table is measured over its own records.
#include <filesystem>

#include "bench/lookup/file_tables.h"
#include "engine/dict_set.h"
#include "tests/bench_lookup/bench_fixture.h"

namespace {

using lookupbench::FileTables;
using lookupbench::MeasureFileTables;
using lookupbench::TableBytes;

class FileTablesTest : public benchfix::EngineOver {};

TEST_F(FileTablesTest, TablesAndContainerMakeUpTheFile) {
  WriteExcerpt("c.pdb");
  FileTables t;
  ASSERT_EQ(MeasureFileTables(files_[0], "c.pdb", &t), 0);
  EXPECT_EQ(t.fileBytes, std::filesystem::file_size(std::filesystem::path(GetDeviceRoot()) / "c.pdb"));
  uint64_t sum = t.otherBytes;
  bool entries = false;
  for (const TableBytes& tb : t.tables) {
    EXPECT_GT(tb.bytes, 0u) << std::hex << tb.type;
    sum += tb.bytes;
    if (tb.type == 0x1000) {
      entries = true;
      EXPECT_EQ(tb.rows, GetDictEntryCount(Create(), 0));
    }
  }
  EXPECT_TRUE(entries);
  EXPECT_EQ(sum, t.fileBytes);
  // The container and database header are small beside the tables.
  EXPECT_GT(t.otherBytes, 78u);
  EXPECT_LT(t.otherBytes, t.fileBytes / 10);
}

}  // namespace
