#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "core_fixture.h"

namespace {

using FileMappingTest = CoreTest;

constexpr DWORD kGranularity = 65536;

HANDLE OpenForReading(const char16_t* path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Pattern(size_t bytes) {
  std::string s(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

TEST_F(FileMappingTest, AViewHoldsTheFileAndOutlivesItsHandles) {
  const std::string content = Pattern(3 * kGranularity + 123);
  WriteHostFile("Program Files/data.bin", content);
  HANDLE file = OpenForReading(u"\\Program Files\\data.bin");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  const auto* whole = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  const auto* tail = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 2 * kGranularity, 100));
  ASSERT_NE(whole, nullptr);
  ASSERT_NE(tail, nullptr);
  // Neither handle is needed once the views exist.
  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(std::string(whole, content.size()), content);
  EXPECT_EQ(std::string(tail, 100), content.substr(2 * kGranularity, 100));
  EXPECT_TRUE(UnmapViewOfFile(whole));
  EXPECT_TRUE(UnmapViewOfFile(tail));
  // A view goes once.
  EXPECT_FALSE(UnmapViewOfFile(whole));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
}

TEST_F(FileMappingTest, RefusedRequestsSetTheirErrors) {
  WriteHostFile("Program Files/data.bin", Pattern(1000));
  WriteHostFile("Program Files/empty.bin", "");
  HANDLE file = OpenForReading(u"\\Program Files\\data.bin");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE empty = OpenForReading(u"\\Program Files\\empty.bin");
  ASSERT_NE(empty, INVALID_HANDLE_VALUE);
  HANDLE writeOnly = CreateFileW(u"\\Program Files\\out.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);

  struct Case {
    const char* what;
    HANDLE file;
    DWORD protect;
    DWORD size;
    LPCWSTR name;
    DWORD error;
  } cases[] = {
      {"a write protection", file, 0x04 /* read-write */, 0, nullptr, ERROR_NOT_SUPPORTED},
      {"a named mapping", file, PAGE_READONLY, 0, u"shared", ERROR_NOT_SUPPORTED},
      {"a size past the end", file, PAGE_READONLY, 1001, nullptr, ERROR_FILE_INVALID},
      {"an empty file", empty, PAGE_READONLY, 0, nullptr, ERROR_FILE_INVALID},
      {"a file not opened for reading", writeOnly, PAGE_READONLY, 0, nullptr, ERROR_ACCESS_DENIED},
      {"no file", nullptr, PAGE_READONLY, 0, nullptr, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(CreateFileMappingW(c.file, nullptr, c.protect, 0, c.size, c.name), nullptr) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }

  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 1000, nullptr);
  ASSERT_NE(mapping, nullptr);
  struct ViewCase {
    const char* what;
    HANDLE mapping;
    DWORD access;
    DWORD offset;
    SIZE_T bytes;
    DWORD error;
  } views[] = {
      {"an offset off the granularity", mapping, FILE_MAP_READ, 4096, 0, ERROR_INVALID_PARAMETER},
      {"an offset past the end", mapping, FILE_MAP_READ, kGranularity, 0, ERROR_INVALID_PARAMETER},
      {"more bytes than the mapping", mapping, FILE_MAP_READ, 0, 1001, ERROR_INVALID_PARAMETER},
      {"write access", mapping, 0x0002 /* write */, 0, 0, ERROR_NOT_SUPPORTED},
      {"a file handle", file, FILE_MAP_READ, 0, 0, ERROR_INVALID_HANDLE},
  };
  for (const ViewCase& v : views) {
    SetLastError(0);
    EXPECT_EQ(MapViewOfFile(v.mapping, v.access, 0, v.offset, v.bytes), nullptr) << v.what;
    EXPECT_EQ(GetLastError(), v.error) << v.what;
  }
  CloseHandle(mapping);
  CloseHandle(writeOnly);
  CloseHandle(empty);
  CloseHandle(file);
}

// The file cut short under a view: the pages it no longer backs read as
// zeros, and the program goes on; the pages it still backs keep its bytes.
TEST_F(FileMappingTest, PagesPastAShrunkFileReadAsZeros) {
  const std::string content = Pattern(4 * kGranularity);
  WriteHostFile("Program Files/data.bin", content);
  HANDLE file = OpenForReading(u"\\Program Files\\data.bin");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  const auto* view = static_cast<const volatile char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  CloseHandle(mapping);
  CloseHandle(file);
  EXPECT_EQ(view[3 * kGranularity], content[3 * kGranularity]);  // a page read before the cut

  ASSERT_EQ(truncate(Host("Program Files/data.bin").c_str(), kGranularity), 0);
  const DWORD zeroedBefore = GetFileViewZeroedPageCount();
  EXPECT_EQ(view[kGranularity - 1], content[kGranularity - 1]);
  EXPECT_EQ(view[2 * kGranularity + 5], 0);
  EXPECT_EQ(view[3 * kGranularity], 0);
  EXPECT_EQ(view[4 * kGranularity - 1], 0);
  EXPECT_GE(GetFileViewZeroedPageCount(), zeroedBefore + 2);
  EXPECT_TRUE(UnmapViewOfFile(const_cast<const char*>(view)));
}

// The handler answers for views only: any other bus error goes to the
// handler installed before it, and still ends the program.
TEST_F(FileMappingTest, OtherBusErrorsStillEndTheProgram) {
  WriteHostFile("Program Files/data.bin", Pattern(100));
  HANDLE file = OpenForReading(u"\\Program Files\\data.bin");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);  // the handler is in place
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The handler before it takes the signal: the default action, or a
  // sanitizer's report and abort.
  EXPECT_DEATH(raise(SIGBUS), "");
  EXPECT_TRUE(UnmapViewOfFile(view));
  CloseHandle(mapping);
  CloseHandle(file);
}

}  // namespace
