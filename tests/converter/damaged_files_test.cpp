// Damaged first-generation files: every number the reader takes from a
// file is checked, so a damaged file is ignored, a damaged table refused
// and a damaged row read as empty, never a crash, a hang or a read outside
// what the file holds (the ASan build checks the last).
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/errors.h"
#include "platform/files.h"
#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;
using firstgen::Bytes;
using firstgen::PutBe;
using firstgen::PutLe;

enum class Outcome {
  kIgnored,  // the file does not open
  kRefused,  // the file opens, its database does not
  kReads,    // the database opens; the case's check runs
};

// The Chinese-English dictionary of 40 rows: table 0 plain pinyin, table 1
// Huffman-coded keyed entries in blocks of 16.
firstgen::DatabaseSpec Dictionary() { return firstgen::ChineseEnglishDictionary(FirstRows(40)); }

// Where block `k` of the entry table keeps its row index.
uint32_t IndexAt(const Bytes& block) { return ((block[0] << 8) | block[1]) + 4; }

struct DamageCase {
  const char* what;
  bool bundle;
  std::function<void(std::vector<Bytes>&, const firstgen::DatabaseLayout&)> onRecords;
  std::function<void(Bytes&, const std::vector<uint32_t>&)> onFile;
  Outcome outcome;
  std::function<void(FirstGenDb*)> check;
};

uint32_t EntryLength(FirstGenDb* db, uint32_t block, uint32_t row) {
  OwnedText text;
  return ReadFirstGenEntry(db->tables[1], 0, block, row, &text.tb, nullptr, 0, nullptr);
}

const DamageCase kCases[] = {
    // Container framing.
    {"wrong type code", false, nullptr, [](Bytes& f, auto&) { f[60] = 'X'; }, Outcome::kIgnored, nullptr},
    {"wrong creator code", false, nullptr, [](Bytes& f, auto&) { f[67] = 'X'; }, Outcome::kIgnored, nullptr},
    {"record list past the end", false, nullptr, [](Bytes& f, auto&) { PutBe(&f, 76, 2, 0xFFFF); }, Outcome::kIgnored,
     nullptr},
    {"falling offsets", false, nullptr,
     [](Bytes& f, const std::vector<uint32_t>& o) { PutBe(&f, 78 + 8 * 3, 4, o[1]); }, Outcome::kIgnored, nullptr},
    {"offset past the end", false, nullptr,
     [](Bytes& f, const std::vector<uint32_t>& o) { PutBe(&f, 78 + 8 * (o.size() - 1), 4, f.size() + 1); },
     Outcome::kIgnored, nullptr},
    {"cut in the record list", false, nullptr, [](Bytes& f, auto&) { f.resize(90); }, Outcome::kIgnored, nullptr},
    {"cut inside the last record", false, nullptr, [](Bytes& f, auto&) { f.resize(f.size() - 3); }, Outcome::kReads,
     [](FirstGenDb* db) { ReadEverything(db); }},
    {"shorter than a header", false, nullptr, [](Bytes& f, auto&) { f.resize(40); }, Outcome::kIgnored, nullptr},

    // Directory and table records.
    {"table count past the directory", false, [](auto& r, auto&) { PutBe(&r[0], 0, 2, 0xFFFF); }, nullptr,
     Outcome::kRefused, nullptr},
    {"table record number out of range", false, [](auto& r, auto&) { PutBe(&r[0], 2, 2, 0x7000); }, nullptr,
     Outcome::kRefused, nullptr},
    {"table record is the directory", false, [](auto& r, auto&) { PutBe(&r[0], 2, 2, 0); }, nullptr, Outcome::kRefused,
     nullptr},
    {"block count past the record list", false, [](auto& r, auto& l) { PutBe(&r[l.tableRecords[1]], 4, 2, 0x4000); },
     nullptr, Outcome::kRefused, nullptr},
    {"sub-table past the blocks", false,
     [](auto& r, auto& l) {
       Bytes& t = r[l.tableRecords[1]];
       PutBe(&t, 44 + ((t[20] << 8) | t[21]), 2, 0x100);
     },
     nullptr, Outcome::kRefused, nullptr},
    {"name past the record", false, [](auto& r, auto& l) { PutBe(&r[l.tableRecords[1]], 20, 2, 0xFFF0); }, nullptr,
     Outcome::kRefused, nullptr},
    {"table record cut inside its index", false,
     [](auto& r, auto& l) { r[l.tableRecords[1]].resize(r[l.tableRecords[1]].size() - 1); }, nullptr, Outcome::kRefused,
     nullptr},
    {"no index and no rows per block", false,
     [](auto& r, auto& l) {
       PutBe(&r[l.tableRecords[0]], 0, 2, firstgen::kTextRows | firstgen::kNoIndex);
       PutBe(&r[l.tableRecords[0]], 12, 2, 0);
     },
     nullptr, Outcome::kRefused, nullptr},
    {"fixed rows of size 0", false, [](auto& r, auto& l) { PutBe(&r[l.tableRecords[0]], 0, 2, firstgen::kFixedRows); },
     nullptr, Outcome::kRefused, nullptr},
    {"table record shorter than its fields", false, [](auto& r, auto& l) { r[l.tableRecords[0]].resize(30); }, nullptr,
     Outcome::kRefused, nullptr},

    // Code records.
    {"code record before record 0", false, [](auto& r, auto& l) { PutBe(&r[l.tableRecords[1]], 14, 2, 0x7FFF); },
     nullptr, Outcome::kRefused, nullptr},
    {"code record with Lmin 0", false, [](auto& r, auto& l) { PutBe(&r[l.codeRecords[1]], 2, 2, 0); }, nullptr,
     Outcome::kRefused, nullptr},
    {"code record with Lmax 40", false, [](auto& r, auto& l) { PutBe(&r[l.codeRecords[1]], 0, 2, 40); }, nullptr,
     Outcome::kRefused, nullptr},
    {"code counts that overlap", false, [](auto& r, auto& l) { PutBe(&r[l.codeRecords[1]], 4, 4, 1); }, nullptr,
     Outcome::kRefused, nullptr},
    {"code record cut", false, [](auto& r, auto& l) { r[l.codeRecords[1]].resize(9); }, nullptr, Outcome::kRefused,
     nullptr},

    // Blocks and rows: the database opens, the damaged rows read as empty.
    {"block row area past its record", false, [](auto& r, auto& l) { PutBe(&r[l.tableRecords[1] + 1], 0, 2, 0xFFF0); },
     nullptr, Outcome::kReads,
     [](FirstGenDb* db) {
       EXPECT_EQ(EntryLength(db, 0, 0), 0u);
       EXPECT_GT(EntryLength(db, 1, 0), 0u);
     }},
    {"row count past the block", false,
     [](auto& r, auto& l) {
       Bytes& b = r[l.tableRecords[1] + 1];
       PutBe(&b, IndexAt(b) - 4, 2, 0xFFFF);
     },
     nullptr, Outcome::kReads,
     [](FirstGenDb* db) {
       EXPECT_GT(EntryLength(db, 0, 3), 0u);
       EXPECT_EQ(EntryLength(db, 0, 40), 0u);
       EXPECT_EQ(EntryLength(db, 0, 60000), 0u);
     }},
    {"row start above its end", false,
     [](auto& r, auto& l) {
       Bytes& b = r[l.tableRecords[1] + 1];
       // Row 1 starts past the data: row 0 ends past it and row 1 starts above row 2's start.
       PutBe(&b, IndexAt(b) + 4 * 1 + 2, 2, 0xF000);
     },
     nullptr, Outcome::kReads,
     [](FirstGenDb* db) {
       EXPECT_EQ(EntryLength(db, 0, 0), 0u);
       EXPECT_EQ(EntryLength(db, 0, 1), 0u);
       EXPECT_GT(EntryLength(db, 0, 2), 0u);
     }},
    {"data length past the data", false,
     [](auto& r, auto& l) {
       Bytes& b = r[l.tableRecords[1] + 3];  // the last block
       PutBe(&b, IndexAt(b) - 2, 2, 0xFFFF);
     },
     nullptr, Outcome::kReads,
     [](FirstGenDb* db) {
       const uint32_t last = GetSubTableBlockCount(db->tables[1], 0) - 1;
       ASSERT_EQ(LoadFirstGenBlock(db->tables[1], 0, last), 0);
       const uint32_t rows = GetBlockRowCount(db->tables[1]);
       EXPECT_EQ(EntryLength(db, last, rows - 1), 0u);
       EXPECT_GT(EntryLength(db, last, 0), 0u);
     }},
    {"bits that form no code", false,
     [](auto& r, auto& l) {
       // A code of one symbol: any bit 1 forms no code.
       Bytes& c = r[l.codeRecords[1]];
       c = {0, 1, 0, 1, 0, 0, 0, 1, 0, 0};
       Bytes& b = r[l.tableRecords[1] + 1];
       for (uint32_t i = 2; i < IndexAt(b) - 4; ++i) b[i] = 0xFF;
     },
     nullptr, Outcome::kReads, [](FirstGenDb* db) { EXPECT_EQ(EntryLength(db, 0, 0), kEntryUnreadable); }},

    // Bundle framing.
    {"wrong magic", true, nullptr, [](Bytes& f, auto&) { f[3] = '?'; }, Outcome::kIgnored, nullptr},
    {"version 2", true, nullptr, [](Bytes& f, auto&) { PutLe(&f, 16, 4, 2); }, Outcome::kIgnored, nullptr},
    {"members above the entry count", true, nullptr,
     [](Bytes& f, auto&) { PutLe(&f, 24, 4, (f[28] | (f[29] << 8)) + 1); }, Outcome::kIgnored, nullptr},
    {"directory past the end", true, nullptr, [](Bytes& f, auto&) { PutLe(&f, 28, 4, 0x10000000); }, Outcome::kIgnored,
     nullptr},
    {"used above stored, directory member", true, nullptr,
     [](Bytes& f, auto&) { PutLe(&f, 32 + 4, 4, (f[40] | (f[41] << 8)) + 1); }, Outcome::kRefused, nullptr},
    {"used above stored, block member", true, nullptr,
     [](Bytes& f, const std::vector<uint32_t>&) {
       // Member 6 is the first block of the entry table (0 directory, 1 pinyin table, 2-3 its blocks, 4 code,
       // 5 entry table).
       const uint32_t e = 32 + 12 * 6;
       PutLe(&f, e + 4, 4, (f[e + 8] | (f[e + 9] << 8)) + 1);
     },
     Outcome::kReads,
     [](FirstGenDb* db) {
       EXPECT_EQ(EntryLength(db, 0, 0), kEntryUnreadable);
       EXPECT_GT(EntryLength(db, 1, 0), 0u);
     }},
    {"member past the end", true, nullptr,
     [](Bytes& f, auto&) {
       const uint32_t e = 32 + 12 * 6;
       PutLe(&f, e, 4, static_cast<uint32_t>(f.size()) - 2);
     },
     Outcome::kReads, [](FirstGenDb* db) { EXPECT_EQ(EntryLength(db, 0, 0), kEntryUnreadable); }},
    {"bundle cut before its members", true, nullptr, [](Bytes& f, auto&) { f.resize(32 + 12 * 3); }, Outcome::kIgnored,
     nullptr},
    {"bundle cut inside its members", true, nullptr, [](Bytes& f, auto&) { f.resize(f.size() - 10); }, Outcome::kReads,
     [](FirstGenDb* db) { ReadEverything(db); }},
};

TEST_F(ReaderTest, DamagedFilesAreIgnoredOrReadAsEmptyNeverOutOfBounds) {
  for (const DamageCase& c : kCases) {
    SCOPED_TRACE(c.what);
    firstgen::DatabaseLayout layout;
    std::vector<Bytes> records = Records(Dictionary(), &layout);
    ASSERT_EQ(layout.tableRecords.size(), 2u);
    if (c.onRecords) c.onRecords(records, layout);
    std::vector<uint32_t> offsets;
    Bytes file = c.bundle ? firstgen::WriteBundle(records, {}, &offsets) : firstgen::WriteContainer(records, &offsets);
    if (c.onFile) c.onFile(file, offsets);
    const std::u16string path = Put(c.bundle ? "damaged.kve" : "damaged.pdb", file);
    FirstGenDatabaseFile* f = c.bundle ? nullptr : OpenFirstGenDatabaseFile(path.c_str());
    FirstGenBundle* b = c.bundle ? OpenFirstGenBundle(path.c_str()) : nullptr;
    if (c.outcome == Outcome::kIgnored) {
      EXPECT_EQ(f, nullptr);
      EXPECT_EQ(b, nullptr);
      CloseFirstGenDatabaseFile(f);
      CloseFirstGenBundle(b);
      continue;
    }
    ASSERT_TRUE(f || b);
    FirstGenDb* db = f ? OpenFirstGenDbFromFile(f, cache_) : OpenFirstGenDbFromBundle(b);
    if (c.outcome == Outcome::kRefused) {
      EXPECT_EQ(db, nullptr);
      CloseFirstGenDb(db);
      continue;
    }
    ASSERT_NE(db, nullptr);
    if (c.check) c.check(db);
    ReadEverything(db);
    CloseFirstGenDb(db);
  }
  EXPECT_EQ(GetOpenFileHandleCount(), 0u);
}

// Every cut of a container and of a bundle, and of a user file: each
// either is ignored or reads without a fault.
TEST_F(ReaderTest, EveryTruncationIsSafe) {
  const std::vector<Bytes> dict = Records(firstgen::NoDefinitionsDictionary(FirstRows(12)));
  const std::vector<Bytes> user = Records(firstgen::UserFile(firstgen::SampleUserFile(CedictRows())));
  for (const auto* records : {&dict, &user}) {
    for (bool bundle : {false, true}) {
      const Bytes whole = bundle ? firstgen::WriteBundle(*records) : firstgen::WriteContainer(*records);
      const size_t step = whole.size() / 150 + 1;
      for (size_t cut = 0; cut < whole.size(); cut += step) {
        SCOPED_TRACE(std::to_string(cut) + (bundle ? " bundle" : " container"));
        const std::u16string path = Put("cut.bin", Bytes(whole.begin(), whole.begin() + cut));
        FirstGenDb* db = OpenDb(path, bundle);
        if (db) ReadEverything(db);
        CloseFirstGenDb(db);
      }
    }
  }
  EXPECT_EQ(GetOpenFileHandleCount(), 0u);
}

// Bundles are the user's own files: reading leaves their bytes and times
// as they were, and a read-only bundle still opens.
TEST_F(ReaderTest, BundlesAreReadOnly) {
  const std::u16string path = PutBundle("mine.kve", firstgen::UserDictionary(FirstRows(12)));
  const std::string host = root_.Host("mine.kve");
  std::filesystem::last_write_time(host, std::filesystem::file_time_type::clock::now() - std::chrono::hours(48));
  const auto before = std::filesystem::last_write_time(host);
  Bytes bytesBefore;
  {
    std::ifstream in(host, std::ios::binary);
    bytesBefore.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_EQ(chmod(host.c_str(), 0444), 0);
  ASSERT_EQ(OfferFirstGenBundle(&set_, path.c_str()), kFirstGenAdded);
  FirstGenDictionary* dict = FindFirstGenDictionary(&set_, firstgen::kUserDictId);
  ASSERT_NE(dict, nullptr);
  EXPECT_GT(ReadEverything(dict->db), 0u);
  CloseFirstGenDictSet(&set_);
  // Failed reads give zeros in memory, and still nothing goes back to the file.
  ASSERT_EQ(OfferFirstGenBundle(&set_, path.c_str()), kFirstGenAdded);
  InjectFileError(FileCall::ReadFile, 1, ERROR_ACCESS_DENIED, 4);
  ReadEverything(set_.dicts[0]->db);
  ClearFileErrorInjection();
  CloseFirstGenDictSet(&set_);
  chmod(host.c_str(), 0644);
  EXPECT_EQ(std::filesystem::last_write_time(host), before);
  std::ifstream in(host, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), bytesBefore);
}

}  // namespace
}  // namespace reader_test
