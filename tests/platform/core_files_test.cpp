#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "core_fixture.h"

namespace {

using FilesTest = CoreTest;

HANDLE Open(const char16_t* path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::vector<std::string> List(const char16_t* pattern, bool foldersOnly = false) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW d;
  HANDLE h = foldersOnly ? FindFirstFileExW(pattern, FindExInfoStandard, &d, FindExSearchLimitToDirectories, nullptr, 0)
                         : FindFirstFileW(pattern, &d);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(Narrow(d.cFileName));
  } while (FindNextFileW(h, &d));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(h));
  return names;
}

TEST_F(FilesTest, RootHasTheStandardFoldersAndSpecialFolderPaths) {
  EXPECT_EQ(List(u"\\*", true), (std::vector<std::string>{"My Documents", "Program Files", "Windows"}));
  WCHAR path[MAX_PATH];
  EXPECT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAM_FILES, FALSE));
  EXPECT_EQ(Narrow(path), "\\Program Files");
  EXPECT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE));
  EXPECT_EQ(Narrow(path), "\\My Documents");
  EXPECT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_WINDOWS, FALSE));
  EXPECT_EQ(Narrow(path), "\\Windows");
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x1234, TRUE));
  // A removed folder comes back only when asked to create it.
  std::filesystem::remove(Host("Program Files"));
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAM_FILES, FALSE));
  EXPECT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAM_FILES, TRUE));
  EXPECT_TRUE(std::filesystem::is_directory(Host("Program Files")));
}

TEST_F(FilesTest, NamesMatchWithoutCaseAndNewNamesKeepTheirCase) {
  WriteHostFile("My Documents/Notes.TXT", "hello");
  HANDLE h = Open(u"\\MY DOCUMENTS\\notes.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buffer[16] = {};
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "hello");
  CloseHandle(h);

  h = Open(u"\\my documents\\New File.Dat", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(std::filesystem::exists(Host("My Documents/New File.Dat")));

  std::string host;
  EXPECT_TRUE(DevicePathToHostPath(u"\\my documents\\NOTES.txt", &host));
  EXPECT_EQ(host, Host("My Documents/Notes.TXT"));
  EXPECT_TRUE(DevicePathToHostPath(u"/My Documents/missing.db", &host));
  EXPECT_EQ(host, Host("My Documents/missing.db"));
  EXPECT_FALSE(DevicePathToHostPath(u"\\No Such Folder\\x.db", &host));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesTest, PathsCannotLeaveTheRoot) {
  std::string host;
  for (const char16_t* bad : {u"\\..\\outside", u"\\Windows\\..\\..\\x", u"\\.\\x", u"\\a:b", u"\\Windows\\*"}) {
    EXPECT_FALSE(DevicePathToHostPath(bad, &host)) << Narrow(bad);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME)) << Narrow(bad);
  }
  EXPECT_EQ(Open(u"\\..\\escape", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(root_).parent_path() / "escape"));
}

TEST_F(FilesTest, FindIsSortedWithoutDotEntries) {
  WriteHostFile("Data/b.txt", "bb");
  WriteHostFile("Data/A.TXT", "a");
  WriteHostFile("Data/c.dat", "");
  WriteHostFile("Data/noext", "");
  std::filesystem::create_directory(Host("Data/Sub"));
  std::filesystem::create_directory_symlink(Host("Windows"), Host("Data/LinkedFolder"));
  std::filesystem::create_symlink(Host("Data/b.txt"), Host("Data/linked.txt"));

  EXPECT_EQ(List(u"\\Data\\*"),
            (std::vector<std::string>{"A.TXT", "b.txt", "c.dat", "linked.txt", "noext", "Sub"}));
  EXPECT_EQ(List(u"\\data\\*.*").size(), 6u);  // "*.*" also matches names without a dot
  EXPECT_EQ(List(u"\\Data\\*.txt"), (std::vector<std::string>{"A.TXT", "b.txt", "linked.txt"}));
  EXPECT_EQ(List(u"\\Data\\?.t*"), (std::vector<std::string>{"A.TXT", "b.txt"}));
  EXPECT_EQ(List(u"\\Data\\*", true), (std::vector<std::string>{"Sub"}));

  // Without wildcards: the entry itself, a folder included.
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW(u"\\DATA\\SUB", &d);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Narrow(d.cFileName), "Sub");
  EXPECT_TRUE(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(FindNextFileW(h, &d));
  FindClose(h);
  h = FindFirstFileW(u"\\Data\\b.TXT", &d);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(d.nFileSizeLow, 2u);
  EXPECT_FALSE(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(h);

  // A folder link is neither listed nor entered.
  EXPECT_EQ(FindFirstFileW(u"\\Data\\LinkedFolder\\*", &d), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(FindFirstFileW(u"\\Data\\*.none", &d), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileW(u"\\Missing\\*", &d), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
  CEOIDINFO info;
  EXPECT_FALSE(CeOidGetInfo(1, &info));
}

struct DispositionCase {
  DWORD disposition;
  bool exists;
  bool succeeds;
  DWORD error;             // last error after the call
  const char* contentAfter;  // null: no file afterwards
};

TEST_F(FilesTest, Dispositions) {
  const DispositionCase cases[] = {
      {CREATE_NEW, false, true, 0, ""},
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {CREATE_ALWAYS, false, true, 0, ""},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_EXISTING, true, true, 0, "old"},
      {OPEN_ALWAYS, false, true, 0, ""},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {TRUNCATE_EXISTING, true, true, 0, ""},
  };
  for (const DispositionCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << " exists " << c.exists);
    std::filesystem::remove(Host("Windows/f.bin"));
    if (c.exists) WriteHostFile("Windows/f.bin", "old");
    SetLastError(12345);
    // An existing file is found under another case; a new one is made as named.
    HANDLE h = Open(c.exists ? u"\\Windows\\F.BIN" : u"\\Windows\\f.bin", GENERIC_READ | GENERIC_WRITE, 0,
                    c.disposition);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.succeeds);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(GetLastError(), c.error);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (c.contentAfter) EXPECT_EQ(ReadHostFile("Windows/f.bin"), c.contentAfter);
    else EXPECT_FALSE(std::filesystem::exists(Host("Windows/f.bin")));
  }
  EXPECT_EQ(Open(u"\\Windows\\f.bin", GENERIC_READ, 0, 9), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Open(u"\\Nowhere\\f.bin", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Open(u"\\Windows", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FilesTest, ShareModesBetweenHandles) {
  WriteHostFile("Windows/s.bin", "x");
  HANDLE exclusive = Open(u"\\Windows\\s.bin", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(u"\\windows\\S.BIN", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  // A refused CREATE_ALWAYS must not have truncated the file.
  EXPECT_EQ(Open(u"\\Windows\\s.bin", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadHostFile("Windows/s.bin"), "x");
  EXPECT_FALSE(DeleteFileW(u"\\Windows\\s.bin"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(exclusive);

  HANDLE r1 = Open(u"\\Windows\\s.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  HANDLE r2 = Open(u"\\Windows\\s.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(r1, INVALID_HANDLE_VALUE);
  EXPECT_NE(r2, INVALID_HANDLE_VALUE);
  // Readers that do not share writing keep a writer out.
  EXPECT_EQ(Open(u"\\Windows\\s.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(r1);
  CloseHandle(r2);
  HANDLE w = Open(u"\\Windows\\s.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(w, INVALID_HANDLE_VALUE);
  CloseHandle(w);
  EXPECT_TRUE(DeleteFileW(u"\\Windows\\S.bin"));
  EXPECT_EQ(GetOpenFileHandleCount(), 0u);
}

TEST_F(FilesTest, InvalidAndStaleHandlesFailWithError6) {
  WriteHostFile("Windows/h.bin", "abc");
  HANDLE h = Open(u"\\Windows\\h.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(CloseHandle(h));
  // The next open may reuse the slot; the old handle must still be refused.
  HANDLE again = Open(u"\\Windows\\h.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_NE(again, h);
  BYTE buffer[4];
  DWORD read = 99;
  for (HANDLE bad : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr), h,
                     reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x12345678))}) {
    SetLastError(0);
    EXPECT_FALSE(ReadFile(bad, buffer, 4, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
    EXPECT_FALSE(CloseHandle(bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_TRUE(ReadFile(again, buffer, 3, &read, nullptr));
  EXPECT_EQ(read, 3u);
  CloseHandle(again);
}

TEST_F(FilesTest, SeekReadWriteAndShrunkFile) {
  HANDLE h = Open(u"\\Windows\\rw.bin", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::vector<BYTE> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, data.data(), 1000, &n, nullptr));
  EXPECT_EQ(n, 1000u);
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(h, &high), 1000u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(SetFilePointer(h, -10, nullptr, FILE_END), 990u);
  EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_CURRENT), 995u);
  EXPECT_EQ(SetFilePointer(h, -1000, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(h, 100, nullptr, FILE_BEGIN), 100u);
  BYTE buffer[200];
  EXPECT_TRUE(ReadFile(h, buffer, 50, &n, nullptr));
  EXPECT_EQ(n, 50u);
  EXPECT_EQ(buffer[0], 100);

  // Another program shrinks the file: the read returns what is left.
  ASSERT_EQ(truncate(Host("Windows/rw.bin").c_str(), 160), 0);
  EXPECT_TRUE(ReadFile(h, buffer, 200, &n, nullptr));
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(buffer[9], 159);
  EXPECT_TRUE(ReadFile(h, buffer, 200, &n, nullptr));
  EXPECT_EQ(n, 0u);

  // Handles opened for reading only cannot write.
  HANDLE r = Open(u"\\Windows\\rw.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(r, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteFile(r, buffer, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(r);
  CloseHandle(h);
}


// The file pointer belongs to the handle: reads and writes start at it and
// move it, a second handle on the same file keeps its own, a write past the
// end fills the gap with zeros, and SetEndOfFile cuts at it.
TEST_F(FilesTest, EachHandleKeepsItsOwnFilePointer) {
  HANDLE w = Open(u"\\Windows\\ptr.bin", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  ASSERT_NE(w, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(w, "abcdef", 6, &n, nullptr));
  EXPECT_EQ(SetFilePointer(w, 0, nullptr, FILE_CURRENT), 6u);
  HANDLE r = Open(u"\\Windows\\ptr.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(r, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SetFilePointer(r, 0, nullptr, FILE_CURRENT), 0u);  // a new handle starts at 0
  char got[8] = {};
  EXPECT_TRUE(ReadFile(r, got, 2, &n, nullptr));
  EXPECT_EQ(std::string(got, n), "ab");
  EXPECT_EQ(SetFilePointer(w, 2, nullptr, FILE_BEGIN), 2u);  // moving w leaves r where it was
  EXPECT_TRUE(WriteFile(w, "XY", 2, &n, nullptr));
  EXPECT_TRUE(ReadFile(r, got, 3, &n, nullptr));
  EXPECT_EQ(std::string(got, n), "XYe");
  EXPECT_EQ(SetFilePointer(r, 0, nullptr, FILE_CURRENT), 5u);

  EXPECT_EQ(SetFilePointer(w, 8, nullptr, FILE_BEGIN), 8u);
  EXPECT_TRUE(WriteFile(w, "Z", 1, &n, nullptr));
  EXPECT_EQ(GetFileSize(w, nullptr), 9u);
  EXPECT_TRUE(ReadFile(r, got, 8, &n, nullptr));
  EXPECT_EQ(std::string(got, n), std::string("f\0\0Z", 4));
  EXPECT_EQ(SetFilePointer(w, 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_TRUE(SetEndOfFile(w));
  EXPECT_EQ(GetFileSize(r, nullptr), 4u);
  CloseHandle(r);
  CloseHandle(w);
}
TEST_F(FilesTest, InformationAndAttributesReportTheWriteTime) {
  WriteHostFile("Windows/t.bin", "12345");
  timespec times[2] = {{1700000000, 0}, {1700000000, 500000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, Host("Windows/t.bin").c_str(), times, 0), 0);
  const ULONGLONG expected = 1700000000ull * 10000000ull + 5000000ull + 116444736000000000ull;

  WIN32_FILE_ATTRIBUTE_DATA a;
  ASSERT_TRUE(GetFileAttributesExW(u"\\windows\\T.BIN", GetFileExInfoStandard, &a));
  EXPECT_EQ(a.nFileSizeLow, 5u);
  EXPECT_EQ((static_cast<ULONGLONG>(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime,
            expected);
  HANDLE h = Open(u"\\Windows\\t.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  BY_HANDLE_FILE_INFORMATION info;
  ASSERT_TRUE(GetFileInformationByHandle(h, &info));
  EXPECT_EQ(info.ftLastWriteTime.dwLowDateTime, static_cast<DWORD>(expected));
  EXPECT_EQ(info.nFileSizeLow, 5u);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"\\Windows") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(GetFileAttributesExW(u"\\Windows\\none", GetFileExInfoStandard, &a));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, FoldersMovesAndTemporaryNames) {
  EXPECT_TRUE(CreateDirectoryW(u"\\Program Files\\Sorvi", nullptr));
  EXPECT_FALSE(CreateDirectoryW(u"\\program files\\SORVI", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(u"\\No\\Deeper", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  WriteHostFile("Program Files/Sorvi/a.txt", "A");
  WriteHostFile("Program Files/Sorvi/b.txt", "B");
  EXPECT_FALSE(MoveFileW(u"\\Program Files\\Sorvi\\a.txt", u"\\Program Files\\Sorvi\\B.TXT"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(MoveFileW(u"\\Program Files\\Sorvi\\a.txt", u"\\My Documents\\moved.txt"));
  EXPECT_EQ(ReadHostFile("My Documents/moved.txt"), "A");
  // Changing only the case renames the entry.
  EXPECT_TRUE(MoveFileW(u"\\My Documents\\moved.txt", u"\\My Documents\\MOVED.txt"));
  EXPECT_EQ(List(u"\\My Documents\\*"), (std::vector<std::string>{"MOVED.txt"}));

  EXPECT_FALSE(RemoveDirectoryW(u"\\Program Files\\Sorvi"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(DeleteFileW(u"\\Program Files\\Sorvi\\b.txt"));
  EXPECT_FALSE(DeleteFileW(u"\\Program Files\\Sorvi\\b.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(RemoveDirectoryW(u"\\Program Files\\Sorvi"));

  WCHAR name[MAX_PATH];
  const UINT n1 = GetTempFileNameW(u"\\Windows", u"srvx", 0, name);
  EXPECT_NE(n1, 0u);
  const std::string first = Narrow(name);
  EXPECT_EQ(first.rfind("\\Windows\\srv", 0), 0u) << first;
  EXPECT_EQ(first.substr(first.size() - 4), ".tmp");
  EXPECT_EQ(GetFileAttributesW(name) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(GetTempFileNameW(u"\\Windows\\", u"srv", 0, name), 0u);
  EXPECT_NE(Narrow(name), first);
  EXPECT_EQ(GetTempFileNameW(u"\\Windows", u"x", 0x2AB, name), 0x2ABu);
  EXPECT_EQ(Narrow(name), "\\Windows\\x2AB.tmp");
  EXPECT_EQ(GetTempFileNameW(u"\\Nowhere", u"x", 0, name), 0u);
}

TEST_F(FilesTest, InjectedErrorsHitTheChosenCalls) {
  WriteHostFile("Windows/i.bin", "0123456789");
  HANDLE h = Open(u"\\Windows\\i.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  InjectFileError(FileCall::ReadFile, 2, ERROR_DEVICE_REMOVED, 2);
  BYTE b[2];
  DWORD n;
  EXPECT_TRUE(ReadFile(h, b, 1, &n, nullptr));
  EXPECT_FALSE(ReadFile(h, b, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_REMOVED));
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(ReadFile(h, b, 1, &n, nullptr));
  EXPECT_TRUE(ReadFile(h, b, 1, &n, nullptr));
  EXPECT_EQ(b[0], '1');  // failed reads consumed nothing

  InjectFileError(FileCall::SetFilePointer, 1, ERROR_DEVICE_NOT_AVAILABLE);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_AVAILABLE));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
  CloseHandle(h);

  InjectFileError(FileCall::CreateFile, 1, ERROR_ACCESS_DENIED, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Open(u"\\Windows\\i.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  h = Open(u"\\Windows\\i.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  InjectFileError(FileCall::ReadFile, 1, ERROR_INVALID_HANDLE, 5);
  ClearFileErrorInjection();
  EXPECT_TRUE(ReadFile(h, b, 1, &n, nullptr));
  CloseHandle(h);
}

TEST_F(FilesTest, WideFopenUsesTheDevicePaths) {
  WriteHostFile("Windows/Fonts/Sorvi.TTF", "font bytes");
  FILE* f = _wfopen(u"\\windows\\fonts\\sorvi.ttf", u"rb");
  ASSERT_NE(f, nullptr);
  char buffer[32] = {};
  EXPECT_EQ(fseek(f, 5, SEEK_SET), 0);
  EXPECT_EQ(fread(buffer, 1, sizeof buffer, f), 5u);
  EXPECT_EQ(std::string(buffer), "bytes");
  EXPECT_EQ(ftell(f), 10);
  fclose(f);
  EXPECT_EQ(_wfopen(u"\\Windows\\Fonts\\none.ttf", u"rb"), nullptr);
  EXPECT_EQ(_wfopen(u"\\Windows\\Fonts", u"rb"), nullptr);
  EXPECT_EQ(_wfopen(u"\\..\\x", u"rb"), nullptr);
}

TEST_F(FilesTest, StorageCardsComeFromTheListFile) {
  EXPECT_FALSE(IsStorageCardFolder(u"Storage Card"));
  WriteHostFile(SORVI_STORAGE_CARD_LIST, "# cards\nStorage Card\r\n\n  SD Card 2  \n");
  EXPECT_TRUE(IsStorageCardFolder(u"storage card"));
  EXPECT_TRUE(IsStorageCardFolder(u"\\SD Card 2"));
  EXPECT_FALSE(IsStorageCardFolder(u"# cards"));
  EXPECT_FALSE(IsStorageCardFolder(u"Windows"));
  EXPECT_FALSE(IsStorageCardFolder(u""));
}

TEST_F(FilesTest, StorageCardListEdgeCases) {
  struct Case {
    const char* list;
    const char16_t* name;
    bool card;
    const char* why;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBFStorage Card\n", u"Storage Card", true, "a byte-order mark is not part of the first name"},
      {"\xEF\xBB\xBF# cards\nSD\n", u"SD", true, "nor does it hide a comment"},
      {".\n..\nWindows\nwindows\n", u".", false, "the root is no card"},
      {".\n..\nWindows\n", u"..", false, "nor the way out of it"},
      {".\n..\nWindows\n", u"WINDOWS", false, "nor the system folder"},
      {"Card\n", u"Card", true, "a changed list is read again"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteHostFile(SORVI_STORAGE_CARD_LIST, c.list);
    EXPECT_EQ(IsStorageCardFolder(c.name), c.card ? TRUE : FALSE);
  }
}

// A list file that would block or never end is no list, and answers at once.
TEST_F(FilesTest, StorageCardListThatIsNotASmallFileIsIgnoredAtOnce) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> make;
  };
  const Case cases[] = {
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
      {"a link to /dev/zero", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }},
      {"a 100 MB line", [](const std::string& p) {
         std::ofstream(p) << "Storage Card\nx";
         std::filesystem::resize_file(p, 100u << 20);  // sparse: a line of NULs
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteHostFile(SORVI_STORAGE_CARD_LIST, "Storage Card\n");
    ASSERT_TRUE(IsStorageCardFolder(u"Storage Card"));
    const std::string path = Host(SORVI_STORAGE_CARD_LIST);
    std::filesystem::remove(path);
    c.make(path);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(IsStorageCardFolder(u"Storage Card"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    std::filesystem::remove(path);
  }
}

}  // namespace
