#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/db_file.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "platform/device_paths.h"
#include "tests/support/temp_device_root.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A small writer of record-database containers, written apart from the
// reader: big-endian header and record list, records in list order.
struct Container {
  std::string type = "SXDB";
  std::string creator = "SRVN";
  std::vector<Bytes> records;
  int countOverride = -1;  // a record count that differs from the list
};

void PutBe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
void PutBe32(Bytes& b, uint32_t v) {
  PutBe16(b, v >> 16);
  PutBe16(b, v & 0xFFFF);
}

Bytes Build(const Container& c) {
  Bytes out(60, 0);
  std::memcpy(out.data(), "test database", 13);
  out.insert(out.end(), c.type.begin(), c.type.end());
  out.insert(out.end(), c.creator.begin(), c.creator.end());
  out.resize(76, 0);
  PutBe16(out, c.countOverride >= 0 ? static_cast<uint32_t>(c.countOverride) : c.records.size());
  uint32_t offset = 78 + 8 * static_cast<uint32_t>(c.records.size()) + 2;  // 2 bytes of padding
  for (size_t i = 0; i < c.records.size(); ++i) {
    PutBe32(out, offset);
    PutBe32(out, 0x40000000u | static_cast<uint32_t>(i));  // attributes, id: not read
    offset += static_cast<uint32_t>(c.records[i].size());
  }
  PutBe16(out, 0);
  for (const Bytes& r : c.records) out.insert(out.end(), r.begin(), r.end());
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string AsString(MemHandle* h) {
  return std::string(static_cast<const char*>(h->data), GetMemHandleSize(h));
}

void WriteDeviceFile(const std::u16string& path, const Bytes& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
  CloseHandle(h);
}

DbFile* Open(const std::u16string& path, int* kind = nullptr) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  int ignored;
  return OpenDbFile(h, path.c_str(), kind ? kind : &ignored);
}

std::string ReadText(DbFile* file, uint32_t index) {
  MemHandle* h = ReadDbRecord(file, index);
  if (!h) return "<null>";
  std::string s = AsString(h);
  FreeDbRecord(file, index, h);
  return s;
}

class DbFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearOpenFileCache();
    handlesBefore_ = GetOpenFileHandleCount();
  }
  void TearDown() override {
    ClearFileErrorInjection();
    if (IsVirtualClockInstalled()) UninstallVirtualClock();
    for (DbFile* f : opened_) CloseDbFile(f);
    EXPECT_EQ(GetOpenFileHandleCount(), handlesBefore_);
    for (int i = 0; i < kOpenFileListSize; ++i) EXPECT_EQ(GetOpenFileListEntry(i), nullptr);
  }

  // Writes a container and opens it; the file is closed at the end.
  DbFile* Make(const std::u16string& path, const Container& c) {
    WriteDeviceFile(path, Build(c));
    DbFile* f = Open(path);
    if (f) opened_.push_back(f);
    return f;
  }
  DbFile* MakeSimple(const std::u16string& path, const std::string& tag) {
    Container c;
    c.records = {Text(tag + "-zero"), Text(tag + "-one!"), Text(tag + "-last record")};
    return Make(path, c);
  }
  void Forget(DbFile* f) { std::erase(opened_, f); }

  std::vector<DbFile*> List() {
    std::vector<DbFile*> l;
    for (int i = 0; i < kOpenFileListSize; ++i) l.push_back(GetOpenFileListEntry(i));
    return l;
  }

  TempDeviceRoot root_;
  DWORD handlesBefore_ = 0;
  std::vector<DbFile*> opened_;
};

// A spare record handle is read into: the same handle comes back with the
// new record, in its old block when that is large enough and not much
// larger, else in a block of the record's size; a failed read frees the
// spare (the heap's block count shows it).
TEST_F(DbFileTest, ReadsIntoASpareRecord) {
  const std::string big(400, 'b');
  Container c;
  c.records = {Text("header"), Text(std::string(380, 'a')), Text(big), Text("tiny"), Text(std::string(100, 'd'))};
  WriteDeviceFile(u"\\My Documents\\spare.pdb", Build(c));
  DbFile* f = Open(u"\\My Documents\\spare.pdb");
  ASSERT_NE(f, nullptr);
  opened_.push_back(f);
  const struct {
    uint32_t from, to;  // the spare holds record `from`; record `to` is read
    bool sameBlock;     // whether the spare's block is kept
    const char* why;
  } cases[] = {
      {2, 2, true, "the same size"},          {2, 1, true, "a little smaller: within the slack"},
      {1, 2, false, "larger than the block"}, {2, 3, false, "much smaller: a block of its own size"},
      {4, 0, false, "much smaller again"},
  };
  for (const auto& k : cases) {
    MemHandle* spare = ReadDbRecord(f, k.from);
    ASSERT_NE(spare, nullptr) << k.why;
    LockMemHandle(spare);  // a used record: its lock count is given back
    UnlockMemHandle(spare);
    const void* oldBlock = spare->data;
    MemHandle* got = ReadDbRecordReusing(f, k.to, spare);
    ASSERT_EQ(got, spare) << k.why;
    EXPECT_EQ(AsString(got), ReadText(f, k.to)) << k.why;
    EXPECT_EQ(GetMemHandleSize(got), c.records[k.to].size()) << k.why;
    if (k.sameBlock) {
      EXPECT_EQ(got->data, oldBlock) << k.why;
    }
    // Whichever block holds it wastes at most an eighth of the record.
    EXPECT_GE(LocalSize(got->data), c.records[k.to].size()) << k.why;
    EXPECT_LE(LocalSize(got->data), c.records[k.to].size() * 9 / 8) << k.why;
    EXPECT_EQ(got->MemHandleFromStore, 1) << k.why;
    EXPECT_EQ(GetMemHandleLockCount(got), 0) << k.why;
    FreeDbRecord(f, k.to, got);
  }
  // No spare: a fresh handle, as ReadDbRecord gives.
  MemHandle* fresh = ReadDbRecordReusing(f, 3, nullptr);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(AsString(fresh), "tiny");
  FreeDbRecord(f, 3, fresh);
  // A read that fails frees the spare.
  const SIZE_T blocks = GetLocalHeapBlockCount();
  MemHandle* spare = ReadDbRecord(f, 2);
  ASSERT_NE(spare, nullptr);
  EXPECT_EQ(ReadDbRecordReusing(f, 5, spare), nullptr);
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
}

// Block records are windows on the file as it was opened: no copy, and a
// spare handle gives up its own block; the last record, which follows the
// file's current size, is read as ever. A file cut short under the view
// reads as zeros there rather than ending the program, and once a block
// read meets the cut the file is read instead.
TEST_F(DbFileTest, BlockRecordsBorrowTheFilesView) {
  Container c;
  c.records = {Text("header"), Text(std::string(5000, 'a')), Text(std::string(70000, 'b')), Text("last")};
  DbFile* f = Make(u"\\My Documents\\view.pdb", c);
  ASSERT_NE(f, nullptr);

  MemHandle* first = ReadDbBlockRecord(f, 1, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(AsString(first), ReadText(f, 1));
  EXPECT_EQ(first->MemHandleBorrowed, 1);
  EXPECT_EQ(first->MemHandleFromStore, 1);
  // A spare with a block of its own: the block goes back to the heap.
  MemHandle* spare = ReadDbRecord(f, 1);
  ASSERT_NE(spare, nullptr);
  const SIZE_T blocks = GetLocalHeapBlockCount();
  MemHandle* second = ReadDbBlockRecord(f, 2, spare);
  ASSERT_EQ(second, spare);
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks - 1);
  EXPECT_EQ(AsString(second), std::string(70000, 'b'));
  EXPECT_EQ(second->MemHandleBorrowed, 1);
  EXPECT_EQ(GetMemHandleLockCount(second), 0);

  // The last record is read (and follows an append).
  std::string host;
  ASSERT_TRUE(DevicePathToHostPath(u"\\My Documents\\view.pdb", &host));
  std::ofstream(host, std::ios::binary | std::ios::app) << "+more";
  MemHandle* last = ReadDbBlockRecord(f, 3, nullptr);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(AsString(last), "last+more");
  EXPECT_EQ(last->MemHandleBorrowed, 0);
  FreeDbRecord(f, 3, last);

  // Cut inside record 2. The record borrowed before reads as zeros past the
  // cut; reading it again finds the cut, and from then on the file is read:
  // the lost record fails, the one before it comes whole from the file.
  const uint32_t record2 = 78 + 4 * 8 + 2 + 6 + 5000;
  std::filesystem::resize_file(host, record2 + 100);
  const auto* bytes = static_cast<const volatile uint8_t*>(second->data);
  EXPECT_EQ(bytes[GetMemHandleSize(second) - 1], 0);
  EXPECT_EQ(bytes[50], 'b');
  EXPECT_EQ(ReadDbBlockRecord(f, 2, nullptr), nullptr);
  MemHandle* again = ReadDbBlockRecord(f, 1, nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->MemHandleBorrowed, 0);
  EXPECT_EQ(AsString(again), std::string(5000, 'a'));
  FreeDbRecord(f, 1, again);
  FreeDbRecord(f, 2, second);
  FreeDbRecord(f, 1, first);
}

// A file already cut short when its first block is read is not mapped: its
// records are read, and those past the end fail.
TEST_F(DbFileTest, AFileCutBeforeItsFirstBlockIsRead) {
  Container c;
  c.records = {Text("header"), Text("one"), Text(std::string(3000, 't')), Text("last")};
  DbFile* f = Make(u"\\cut.pdb", c);
  ASSERT_NE(f, nullptr);
  std::string host;
  ASSERT_TRUE(DevicePathToHostPath(u"\\cut.pdb", &host));
  std::filesystem::resize_file(host, 78 + 4 * 8 + 2 + 6 + 3 + 100);
  MemHandle* one = ReadDbBlockRecord(f, 1, nullptr);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(AsString(one), "one");
  EXPECT_EQ(one->MemHandleBorrowed, 0);
  FreeDbRecord(f, 1, one);
  EXPECT_EQ(ReadDbBlockRecord(f, 2, nullptr), nullptr);
}

TEST_F(DbFileTest, OpensAndReadsRecords) {
  Container c;
  c.records = {Text("header"), Text(""), Text("middle"), Text("the last one")};
  const Bytes bytes = Build(c);
  WriteDeviceFile(u"\\My Documents\\a.pdb", bytes);
  int kind = 0;
  DbFile* f = Open(u"\\My Documents\\a.pdb", &kind);
  ASSERT_NE(f, nullptr);
  opened_.push_back(f);
  EXPECT_EQ(kind, kDbKindDataFile);
  EXPECT_EQ(f->handle, nullptr);  // handed-over handle closed at once
  EXPECT_EQ(GetOpenFileHandleCount(), handlesBefore_);
  EXPECT_EQ(GetDbRecordCount(f), 4u);
  EXPECT_EQ(f->dataSize, 6u + 0 + 6 + 12);

  EXPECT_EQ(ReadText(f, 0), "header");
  EXPECT_EQ(ReadText(f, 1), "");
  EXPECT_EQ(ReadText(f, 2), "middle");
  MemHandle* last = ReadDbRecord(f, 3);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(AsString(last), "the last one");
  EXPECT_EQ(last->MemHandleFromStore, 1);
  EXPECT_EQ(last->MemHandleBorrowed, 0);
  EXPECT_EQ(GetMemHandleLockCount(last), 0);
  FreeDbRecord(f, 3, last);
  EXPECT_EQ(ReadDbRecord(f, 4), nullptr);

  EXPECT_EQ(CheckDbFileSizes(f, 4, static_cast<uint32_t>(bytes.size()), 24), 0);
  EXPECT_EQ(CheckDbFileSizes(f, 3, static_cast<uint32_t>(bytes.size()), 24), 1);
  EXPECT_EQ(CheckDbFileSizes(f, 4, static_cast<uint32_t>(bytes.size()) + 1, 24), 1);
  EXPECT_EQ(CheckDbFileSizes(f, 4, static_cast<uint32_t>(bytes.size()), 23), 1);

  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(u"\\My Documents\\a.pdb", GetFileExInfoStandard, &data));
  EXPECT_EQ(GetDbFileWriteStamp(f), data.ftLastWriteTime.dwLowDateTime);
}

TEST_F(DbFileTest, RefusesMalformedContainersAndClosesTheHandle) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  Container good;
  good.records = {Text("r0"), Text("r1")};
  std::vector<Case> cases;
  {
    Container c = good;
    c.creator = "XXXX";
    cases.push_back({"wrong creator", Build(c)});
  }
  {
    Container c = good;
    c.type = "TEXt";
    cases.push_back({"wrong type", Build(c)});
  }
  {
    Container c;
    cases.push_back({"no records", Build(c)});
  }
  {
    Container c = good;
    c.countOverride = 40;  // the list in the file holds only 2 entries
    Bytes b = Build(c);
    b.resize(78 + 8 * 2);
    cases.push_back({"short record list", b});
  }
  {
    Bytes b = Build(good);
    b.resize(70);
    cases.push_back({"short header", b});
  }
  {
    Bytes b = Build(good);
    b[78 + 8 + 3] = 0x10;  // record 1 before record 0
    b[78 + 8 + 2] = 0;
    cases.push_back({"descending offsets", b});
  }
  {
    Bytes b = Build(good);
    b[78 + 8] = 0x7F;  // record 1 far past the end
    cases.push_back({"offset past the end", b});
  }
  for (const Case& c : cases) {
    WriteDeviceFile(u"\\bad.pdb", c.bytes);
    EXPECT_EQ(Open(u"\\bad.pdb"), nullptr) << c.what;
    EXPECT_EQ(GetOpenFileHandleCount(), handlesBefore_) << c.what;
  }
  Container sddb = good;
  sddb.type = "SDDB";
  EXPECT_NE(Make(u"\\ok.pdb", sddb), nullptr);
}

TEST_F(DbFileTest, OpenFileListIsNotLeastRecentlyUsed) {
  DbFile* a = MakeSimple(u"\\a.pdb", "a");
  DbFile* b = MakeSimple(u"\\b.pdb", "b");
  DbFile* c = MakeSimple(u"\\c.pdb", "c");
  DbFile* d = MakeSimple(u"\\d.pdb", "d");
  ASSERT_TRUE(a && b && c && d);

  // Each file takes the first free entry.
  EXPECT_EQ(ReadText(a, 0), "a-zero");
  EXPECT_EQ(ReadText(b, 0), "b-zero");
  EXPECT_EQ(ReadText(c, 0), "c-zero");
  EXPECT_EQ(List(), (std::vector<DbFile*>{a, b, c}));

  // A fourth file closes the handle of entry 2 and goes first.
  EXPECT_EQ(ReadText(d, 1), "d-one!");
  EXPECT_EQ(List(), (std::vector<DbFile*>{d, a, b}));
  EXPECT_EQ(c->handle, nullptr);
  EXPECT_NE(a->handle, nullptr);
  EXPECT_EQ(GetOpenFileHandleCount(), handlesBefore_ + 3);

  // A file that still holds its handle does not move.
  EXPECT_EQ(ReadText(b, 2), "b-last record");
  EXPECT_EQ(ReadText(a, 2), "a-last record");
  EXPECT_EQ(List(), (std::vector<DbFile*>{d, a, b}));

  // The file that lost its handle gets a new one and pushes b out.
  EXPECT_EQ(ReadText(c, 2), "c-last record");
  EXPECT_EQ(List(), (std::vector<DbFile*>{c, d, a}));
  EXPECT_EQ(b->handle, nullptr);
  EXPECT_EQ(GetOpenFileHandleCount(), handlesBefore_ + 3);

  // Closing a file takes it out of the list; the next file fills the gap.
  CloseDbFile(d);
  Forget(d);
  EXPECT_EQ(List(), (std::vector<DbFile*>{c, a, nullptr}));
  EXPECT_EQ(ReadText(b, 0), "b-zero");
  EXPECT_EQ(List(), (std::vector<DbFile*>{c, a, b}));
}

TEST_F(DbFileTest, KeepsPathsLongerThan260Characters) {
  std::u16string path = u"\\My Documents";
  for (int i = 0; i < 3; ++i) {
    path += u"\\" + std::u16string(100, static_cast<char16_t>(u'p' + i));
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
  }
  path += u"\\dictionary.pdb";
  ASSERT_GT(path.size(), 300u);
  DbFile* f = MakeSimple(path, "long");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->path == path);
  // The reads open the file by its path.
  EXPECT_EQ(ReadText(f, 1), "long-one!");
}

TEST_F(DbFileTest, LastRecordFollowsTheCurrentFileSize) {
  DbFile* f = MakeSimple(u"\\grow.pdb", "g");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadText(f, 2), "g-last record");
  // Another program appends to the file behind the reader's back.
  std::string host;
  ASSERT_TRUE(DevicePathToHostPath(u"\\grow.pdb", &host));
  std::ofstream(host, std::ios::binary | std::ios::app) << " and more";
  EXPECT_EQ(ReadText(f, 2), "g-last record and more");
}

TEST_F(DbFileTest, ShortReadOfAShrunkFileIsAFailure) {
  DbFile* f = MakeSimple(u"\\shrink.pdb", "s");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadText(f, 0), "s-zero");
  // Cut the file in the middle of record 1.
  const uint32_t record1 = 78 + 3 * 8 + 2 + 6;
  std::string host;
  ASSERT_TRUE(DevicePathToHostPath(u"\\shrink.pdb", &host));
  std::filesystem::resize_file(host, record1 + 2);
  const SIZE_T blocks = GetLocalHeapBlockCount();
  EXPECT_EQ(ReadDbRecord(f, 1), nullptr);
  EXPECT_EQ(ReadDbRecord(f, 2), nullptr);  // now starts past the end
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
  EXPECT_EQ(ReadText(f, 0), "s-zero");  // the rest stays readable
}

TEST_F(DbFileTest, AccessDeniedIsRetriedEvery10Ms) {
  DbFile* f = MakeSimple(u"\\busy.pdb", "busy");
  ASSERT_NE(f, nullptr);
  SYSTEMTIME start{2025, 1, 3, 1, 12, 0, 0, 0};
  InstallVirtualClock(&start, 5000);

  InjectFileError(FileCall::ReadFile, 1, ERROR_ACCESS_DENIED, 4);
  EXPECT_EQ(ReadText(f, 1), "busy-one!");
  EXPECT_EQ(GetTickCount(), 5000u + 4 * 10);

  // Eleven refusals: the first read and ten retries.
  InjectFileError(FileCall::ReadFile, 1, ERROR_ACCESS_DENIED, 11);
  const SIZE_T blocks = GetLocalHeapBlockCount();
  EXPECT_EQ(ReadDbRecord(f, 1), nullptr);
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
  EXPECT_EQ(GetTickCount(), 5040u + 10 * 10);
  EXPECT_EQ(ReadText(f, 1), "busy-one!");  // the file stays usable
}

TEST_F(DbFileTest, LostStorageReopensTheFileAndRetriesOnce) {
  DbFile* a = MakeSimple(u"\\a.pdb", "a");
  DbFile* b = MakeSimple(u"\\b.pdb", "b");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(ReadText(a, 0), "a-zero");
  EXPECT_EQ(ReadText(b, 0), "b-zero");
  const std::vector<DbFile*> list = List();
  for (DWORD error : {ERROR_INVALID_HANDLE, ERROR_DEVICE_REMOVED, ERROR_DEVICE_NOT_AVAILABLE}) {
    for (FileCall call : {FileCall::ReadFile, FileCall::SetFilePointer}) {
      InjectFileError(call, 1, error);
      EXPECT_EQ(ReadText(b, 2), "b-last record") << error;
      EXPECT_EQ(List(), list) << error;  // reopening keeps the file's place
      EXPECT_EQ(GetOpenFileHandleCount(), handlesBefore_ + 2);
    }
    // Failing again after the reopen gives up.
    InjectFileError(FileCall::ReadFile, 1, error, 2);
    EXPECT_EQ(ReadDbRecord(b, 1), nullptr) << error;
    EXPECT_EQ(ReadText(b, 1), "b-one!") << error;
  }
}

TEST_F(DbFileTest, OtherErrorsFailTheRead) {
  DbFile* f = MakeSimple(u"\\e.pdb", "e");
  ASSERT_NE(f, nullptr);
  for (FileCall call : {FileCall::ReadFile, FileCall::SetFilePointer}) {
    InjectFileError(call, 1, ERROR_SHARING_VIOLATION);
    const SIZE_T blocks = GetLocalHeapBlockCount();
    EXPECT_EQ(ReadDbRecord(f, 1), nullptr);
    EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
    EXPECT_EQ(ReadText(f, 1), "e-one!");
  }
}

TEST_F(DbFileTest, DeleteRemovesTheFile) {
  DbFile* f = MakeSimple(u"\\gone.pdb", "g");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadText(f, 0), "g-zero");
  EXPECT_EQ(GetOpenFileListEntry(0), f);
  DeleteDbFile(f);
  Forget(f);
  EXPECT_EQ(GetOpenFileListEntry(0), nullptr);
  EXPECT_EQ(GetFileAttributesW(u"\\gone.pdb"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DbFileTest, ThreadsShareTheHandles) {
  // Four files over three handles: the threads keep taking handles from
  // each other while they read.
  std::vector<DbFile*> files;
  for (int i = 0; i < 4; ++i) {
    std::u16string path = u"\\t" + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u".pdb";
    files.push_back(MakeSimple(path, "t" + std::to_string(i)));
    ASSERT_NE(files.back(), nullptr);
  }
  std::atomic<int> wrong{0};
  auto reader = [&](int seed) {
    for (int k = 0; k < 400; ++k) {
      int i = (k * 7 + seed) % 4;
      uint32_t r = static_cast<uint32_t>((k + seed) % 3);
      const std::string tag = "t" + std::to_string(i);
      const std::string expected = r == 0 ? tag + "-zero" : r == 1 ? tag + "-one!" : tag + "-last record";
      if (ReadText(files[i], r) != expected) ++wrong;
    }
  };
  std::thread t1(reader, 1), t2(reader, 2), t3(reader, 5);
  t1.join();
  t2.join();
  t3.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_LE(GetOpenFileHandleCount(), handlesBefore_ + 3);
}

}  // namespace
