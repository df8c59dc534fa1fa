#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "core_fixture.h"

namespace {

using RegistryTest = CoreTest;

const char16_t kAppKey[] = u"Software\\Sorvi Software\\Sorvi Dictionary";

HKEY CreateKey(const char16_t* path = kAppKey, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
            ERROR_SUCCESS);
  return key;
}

std::vector<BYTE> Query(HKEY key, const char16_t* name, DWORD* type) {
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return {};
  std::vector<BYTE> data(size);
  EXPECT_EQ(RegQueryValueExW(key, name, nullptr, type, data.data(), &size), ERROR_SUCCESS);
  return data;
}

TEST_F(RegistryTest, ValuesSurviveAReloadWithTypeAndBytes) {
  DWORD disposition = 0;
  HKEY key = CreateKey(kAppKey, &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const std::vector<BYTE> blob = {0, 1, 2, 0, 0, 255, 128, 0};
  const DWORD version = 12;
  const char16_t text[] = u"Sorvi \u4E2D\u6587";
  ASSERT_EQ(RegSetValueExW(key, u"Engine", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size())),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"EngineVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version), 4),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

  ReloadRegistryForTests();
  HKEY again = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\sorvi software\\SORVI DICTIONARY", 0, KEY_READ, &again),
            ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(Query(again, u"engine", &type), blob);
  EXPECT_EQ(type, REG_BINARY);
  const std::vector<BYTE> v = Query(again, u"EngineVersion", &type);
  EXPECT_EQ(type, REG_DWORD);
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(v[0], 12);
  const std::vector<BYTE> t = Query(again, u"Name", &type);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(t, std::vector<BYTE>(reinterpret_cast<const BYTE*>(text), reinterpret_cast<const BYTE*>(text) + sizeof text));
  DWORD size = 99;
  EXPECT_EQ(RegQueryValueExW(again, u"Empty", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, REG_BINARY);

  HKEY existing = CreateKey(kAppKey, &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(existing);
  RegCloseKey(again);
}

TEST_F(RegistryTest, SizeQueriesAndMissingValues) {
  HKEY key = CreateKey();
  const BYTE data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_EQ(RegSetValueExW(key, u"Dicts", 0, REG_BINARY, data, 10), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Dicts", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 10u);
  BYTE small[4] = {};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, u"Dicts", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
  BYTE exact[10];
  size = 10;
  EXPECT_EQ(RegQueryValueExW(key, u"Dicts", nullptr, nullptr, exact, &size), ERROR_SUCCESS);
  EXPECT_EQ(exact[9], 10);

  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key, u"Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key, u"DICTS"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"Dicts", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  const BYTE three[3] = {};
  EXPECT_EQ(RegSetValueExW(key, u"Bad", 0, REG_DWORD, three, 3), ERROR_INVALID_PARAMETER);

  HKEY missing = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Nobody", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(RegSetValueExW(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x777)), u"x", 0, REG_BINARY, data, 1),
            ERROR_INVALID_HANDLE);
  RegCloseKey(key);
}

TEST_F(RegistryTest, KeysOfTheTwoRootsAreSeparate) {
  HKEY lm = CreateKey(u"Software\\Shared");
  HKEY cu = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Shared", 0, nullptr, 0, 0, nullptr, &cu, nullptr),
            ERROR_SUCCESS);
  const BYTE one = 1, two = 2;
  RegSetValueExW(lm, u"v", 0, REG_BINARY, &one, 1);
  RegSetValueExW(cu, u"v", 0, REG_BINARY, &two, 1);
  DWORD type;
  EXPECT_EQ(Query(lm, u"v", &type), std::vector<BYTE>{1});
  EXPECT_EQ(Query(cu, u"v", &type), std::vector<BYTE>{2});
  HKEY child = nullptr;
  ASSERT_EQ(RegCreateKeyExW(lm, u"Child", 0, nullptr, 0, 0, nullptr, &child, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software"), ERROR_ACCESS_DENIED);  // has sub-keys
  EXPECT_EQ(RegDeleteKeyW(lm, u"child"), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(child, u"v", 0, REG_BINARY, &one, 1), ERROR_KEY_DELETED);
  RegCloseKey(child);
  RegCloseKey(lm);
  RegCloseKey(cu);
}

TEST_F(RegistryTest, CorruptStoreIsSetAsideAndReplaced) {
  HKEY key = CreateKey();
  const BYTE data[4] = {9, 9, 9, 9};
  RegSetValueExW(key, u"Engine", 0, REG_BINARY, data, 4);
  RegCloseKey(key);
  const std::string good = ReadHostFile(SORVI_REGISTRY_FILE);
  ASSERT_GT(good.size(), 16u);

  const std::string damaged[] = {
      "not a registry at all",
      good.substr(0, good.size() - 3),                         // cut short
      std::string(good).replace(good.size() - 2, 1, "\x55"),   // one byte changed
      std::string(),                                           // empty file
  };
  for (const std::string& bytes : damaged) {
    SCOPED_TRACE(bytes.size());
    WriteHostFile(SORVI_REGISTRY_FILE, bytes);
    std::filesystem::remove(Host(SORVI_REGISTRY_FILE ".bad"));
    ReloadRegistryForTests();
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppKey, 0, 0, &k), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadHostFile(SORVI_REGISTRY_FILE ".bad"), bytes);
    // The empty replacement works and persists.
    k = CreateKey();
    RegSetValueExW(k, u"Engine", 0, REG_BINARY, data, 4);
    RegCloseKey(k);
    ReloadRegistryForTests();
    k = CreateKey();
    DWORD type;
    EXPECT_EQ(Query(k, u"Engine", &type), std::vector<BYTE>(data, data + 4));
    RegCloseKey(k);
  }
}

TEST_F(RegistryTest, KeysCanBeMadeToFailToOpen) {
  SetRegistryOpenFailure(u"software\\sorvi software\\sorvi dictionary", ERROR_ACCESS_DENIED);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppKey, 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(key, nullptr);
  HKEY other = CreateKey(u"Software\\Other");
  EXPECT_NE(other, nullptr);
  RegCloseKey(other);
  SetRegistryOpenFailure(nullptr, ERROR_CANTOPEN);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Other", 0, 0, &key), ERROR_CANTOPEN);
  SetRegistryOpenFailure(nullptr, 0);
  key = CreateKey();
  EXPECT_NE(key, nullptr);
  RegCloseKey(key);
}

TEST_F(RegistryTest, ValueReadsCanBeMadeToFail) {
  HKEY key = CreateKey();
  const BYTE data[3] = {1, 2, 3};
  RegSetValueExW(key, u"Engine", 0, REG_BINARY, data, 3);
  RegSetValueExW(key, u"Dicts", 0, REG_BINARY, data, 3);
  SetRegistryReadFailure(u"ENGINE", ERROR_CANTREAD);
  // The size and type still come back; the bytes do not, in any key.
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Engine", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  BYTE out[3] = {};
  EXPECT_EQ(RegQueryValueExW(key, u"Engine", nullptr, &type, out, &size), ERROR_CANTREAD);
  EXPECT_EQ(Query(key, u"Dicts", &type), std::vector<BYTE>(data, data + 3));
  SetRegistryReadFailure(nullptr, 0);
  EXPECT_EQ(Query(key, u"Engine", &type), std::vector<BYTE>(data, data + 3));
  RegCloseKey(key);
}

// Fills a value of `size` bytes with `fill`.
LONG WriteBig(BYTE fill, size_t size) {
  std::vector<BYTE> data(size, fill);
  HKEY key = nullptr;
  LONG r = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppKey, 0, nullptr, 0, 0, nullptr, &key, nullptr);
  if (r != ERROR_SUCCESS) return r;
  r = RegSetValueExW(key, u"Big", 0, REG_BINARY, data.data(), static_cast<DWORD>(size));
  RegCloseKey(key);
  return r;
}

TEST_F(RegistryTest, AKilledWriterLeavesTheOldOrTheNewStore) {
  constexpr size_t kSize = 2 << 20;
  ASSERT_EQ(WriteBig(0, kSize), ERROR_SUCCESS);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Rewrites the store over and over, reporting each finished save, until
      // it is killed.
      close(progress[0]);
      for (BYTE fill = 1;; fill = static_cast<BYTE>(fill % 250 + 1)) {
        WriteBig(fill, kSize);
        const char done = 1;
        if (write(progress[1], &done, 1) != 1) _exit(1);
      }
    }
    close(progress[1]);
    char done;
    ASSERT_EQ(read(progress[0], &done, 1), 1);
    // Kill at a different point of the next save each round.
    usleep(round * 2500);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(progress[0]);
    ASSERT_TRUE(WIFSIGNALED(status));

    ReloadRegistryForTests();
    HKEY key = CreateKey();
    DWORD type = 0;
    const std::vector<BYTE> value = Query(key, u"Big", &type);
    RegCloseKey(key);
    ASSERT_EQ(value.size(), kSize);
    EXPECT_EQ(type, REG_BINARY);
    const BYTE fill = value[0];
    EXPECT_NE(fill, 0);  // at least the reported save is there
    EXPECT_EQ(std::count(value.begin(), value.end(), fill), static_cast<long>(kSize));
    EXPECT_FALSE(std::filesystem::exists(Host(SORVI_REGISTRY_FILE ".bad")));
  }
  // The killed writers' temporary files are cleaned up on the next load.
  ReloadRegistryForTests();
  HKEY key = CreateKey();
  RegCloseKey(key);
  for (const auto& entry : std::filesystem::directory_iterator(root_))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

}  // namespace

namespace {

// A store file with the given payload, framed and checksummed as the
// registry writes it.
std::string StoreFile(const std::vector<BYTE>& payload) {
  DWORD crc = 0xFFFFFFFFu;
  for (BYTE b : payload) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  crc ^= 0xFFFFFFFFu;
  std::string file = "SRVREG01";
  for (DWORD v : {static_cast<DWORD>(payload.size()), crc})
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<char>(v >> (8 * i)));
  file.append(payload.begin(), payload.end());
  return file;
}

void PutText(std::vector<BYTE>* b, const std::u16string& s) {
  b->push_back(static_cast<BYTE>(s.size()));
  b->push_back(static_cast<BYTE>(s.size() >> 8));
  for (char16_t c : s) {
    b->push_back(static_cast<BYTE>(c));
    b->push_back(static_cast<BYTE>(c >> 8));
  }
}

void PutU32(std::vector<BYTE>* b, DWORD v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<BYTE>(v >> (8 * i)));
}

}  // namespace

TEST_F(RegistryTest, EmptyValuesReadBackIntoABuffer) {
  // An empty binary value set through the API and read into a buffer.
  HKEY key = CreateKey();
  ASSERT_EQ(RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  BYTE buffer[4] = {7, 7, 7, 7};
  DWORD type = 0, size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExW(key, u"Empty", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(buffer[0], 7);
  RegCloseKey(key);

  // A valid store holding DWORDs of a wrong size (which the API never
  // writes): they read as absent, the well-formed one beside them stays.
  std::vector<BYTE> payload;
  PutU32(&payload, 1);
  PutText(&payload, std::u16string(u"HKLM\\") + kAppKey);
  PutU32(&payload, 3);
  for (DWORD bytes : {0u, 2u, 4u}) {
    PutText(&payload, u"D" + std::u16string(1, static_cast<char16_t>(u'0' + bytes)));
    PutU32(&payload, REG_DWORD);
    PutU32(&payload, bytes);
    for (DWORD i = 0; i < bytes; ++i) payload.push_back(static_cast<BYTE>(i + 1));
  }
  WriteHostFile(SORVI_REGISTRY_FILE, StoreFile(payload));
  ReloadRegistryForTests();
  key = CreateKey();
  for (const char16_t* name : {u"D0", u"D2"}) {
    DWORD value = 99;
    size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_FILE_NOT_FOUND)
        << Narrow(name);
    EXPECT_EQ(value, 99u);
  }
  EXPECT_EQ(Query(key, u"D4", &type), (std::vector<BYTE>{1, 2, 3, 4}));
  EXPECT_FALSE(std::filesystem::exists(Host(SORVI_REGISTRY_FILE ".bad")));
  RegCloseKey(key);
}

// Whatever stands in the store's place, the first registry call answers at
// once with an empty store and the thing is set aside untouched.
TEST_F(RegistryTest, AStoreThatIsNotAReadableFileIsSetAsideAtOnce) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> make;
    std::function<void(const std::string& aside)> check;
  };
  const Case cases[] = {
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
       [](const std::string& a) { EXPECT_EQ(std::filesystem::status(a).type(), std::filesystem::file_type::fifo); }},
      {"a link to /dev/zero", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
       [](const std::string& a) { EXPECT_EQ(std::filesystem::read_symlink(a), "/dev/zero"); }},
      {"a file past the cap",  // sparse, so it costs no disk
       [](const std::string& p) {
         std::ofstream(p) << "SRVREG01";
         std::filesystem::resize_file(p, 64u << 20);
       },
       [](const std::string& a) { EXPECT_EQ(std::filesystem::file_size(a), 64u << 20); }},
      {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); },
       [](const std::string& a) { EXPECT_TRUE(std::filesystem::is_directory(a)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReloadRegistryForTests();
    HKEY key = CreateKey();  // makes the root
    RegCloseKey(key);
    const std::string store = Host(SORVI_REGISTRY_FILE), aside = store + ".bad";
    std::filesystem::remove_all(store);
    std::filesystem::remove_all(aside);
    c.make(store);
    ReloadRegistryForTests();
    const auto start = std::chrono::steady_clock::now();
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppKey, 0, 0, &k), ERROR_FILE_NOT_FOUND);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    c.check(aside);
    // The fresh store works and persists.
    k = CreateKey();
    const BYTE one = 1;
    EXPECT_EQ(RegSetValueExW(k, u"v", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
    RegCloseKey(k);
    ReloadRegistryForTests();
    k = CreateKey();
    DWORD type;
    EXPECT_EQ(Query(k, u"v", &type), std::vector<BYTE>{1});
    RegCloseKey(k);
  }
}

TEST_F(RegistryTest, ADamagedStoreThatCannotBeSetAsideIsLeftAlone) {
  HKEY key = CreateKey();
  RegCloseKey(key);
  const std::string damaged = "SRVREG01 but not a store";
  WriteHostFile(SORVI_REGISTRY_FILE, damaged);
  std::filesystem::create_directory(Host(SORVI_REGISTRY_FILE ".bad"));
  WriteHostFile(SORVI_REGISTRY_FILE ".bad/keep", "x");  // a folder rename cannot replace
  ReloadRegistryForTests();
  key = CreateKey();
  const BYTE one = 1;
  EXPECT_EQ(RegSetValueExW(key, u"v", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
  DWORD type;
  EXPECT_EQ(Query(key, u"v", &type), std::vector<BYTE>{1});  // kept in memory
  RegCloseKey(key);
  EXPECT_EQ(ReadHostFile(SORVI_REGISTRY_FILE), damaged);
  EXPECT_EQ(ReadHostFile(SORVI_REGISTRY_FILE ".bad/keep"), "x");
}

TEST_F(RegistryTest, AValueThatWouldPassTheCapIsRefusedAndNotKept) {
  HKEY key = CreateKey();
  const BYTE one = 1;
  ASSERT_EQ(RegSetValueExW(key, u"Big", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
  std::vector<BYTE> huge(17u << 20, 5);
  EXPECT_EQ(RegSetValueExW(key, u"Big", 0, REG_BINARY, huge.data(), static_cast<DWORD>(huge.size())),
            ERROR_CANTWRITE);
  EXPECT_EQ(RegSetValueExW(key, u"Huge", 0, REG_BINARY, huge.data(), static_cast<DWORD>(huge.size())),
            ERROR_CANTWRITE);
  DWORD type, size = 0;
  EXPECT_EQ(Query(key, u"Big", &type), std::vector<BYTE>{1});
  EXPECT_EQ(RegQueryValueExW(key, u"Huge", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}
