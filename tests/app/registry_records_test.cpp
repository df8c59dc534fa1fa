// The saved records: framing, the cases that read as absent, a failed read,
// deleting, ClearSavedState and a key that cannot be opened.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_registry.h"
#include "engine/mem_handle.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "tests/support/temp_device_root.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Utf8Name(const WCHAR* name) {
  std::string out;
  for (; *name; ++name) out.push_back(static_cast<char>(*name));
  return out;
}

class RegistryRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OpenAppRegistryKey(&key_), ERROR_SUCCESS); }
  void TearDown() override {
    SetRegistryReadFailure(nullptr, 0);
    SetRegistryOpenFailure(nullptr, 0);
    if (key_) RegCloseKey(key_);
  }
  void Set(const WCHAR* name, DWORD type, const Bytes& bytes) {
    ASSERT_EQ(RegSetValueExW(key_, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())), ERROR_SUCCESS);
  }
  static Bytes Le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
  }
  // False when the record reads as absent.
  bool Load(const RegistryRecordName& record, Bytes* out) {
    MemHandle* h = LoadRegistryRecord(key_, record);
    if (!h) return false;
    const auto* data = static_cast<const uint8_t*>(LockMemHandle(h));
    out->assign(data, data + GetMemHandleSize(h));
    UnlockMemHandle(h);
    FreeMemHandle(h);
    return true;
  }
  bool Exists(const WCHAR* name) { return RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, nullptr) == 0; }
  static void Save(const RegistryRecordName& record, const Bytes& bytes) {
    MemHandle* h = NewMemHandleFromCopy(bytes.data(), static_cast<uint32_t>(bytes.size()));
    SaveRegistryRecord(record, h);
    FreeMemHandle(h);
  }

  TempDeviceRoot root_;
  HKEY key_ = nullptr;
};

TEST_F(RegistryRecordTest, SavedRecordComesBackWithItsVersionAsANumber) {
  Save(kEngineRecord, {1, 2, 3, 250});
  Bytes got;
  ASSERT_TRUE(Load(kEngineRecord, &got));
  EXPECT_EQ(got, (Bytes{1, 2, 3, 250}));
  DWORD type = 0, version = 0, size = sizeof version;
  ASSERT_EQ(RegQueryValueExW(key_, u"EngineVersion", nullptr, &type, reinterpret_cast<BYTE*>(&version), &size), 0);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(version, 12u);
  ASSERT_EQ(RegQueryValueExW(key_, u"Engine", nullptr, &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 4u);
}

TEST_F(RegistryRecordTest, WhatReadsAsAbsent) {
  struct Case {
    const char* what;
    bool writeData;
    DWORD dataType;
    Bytes data;
    bool writeVersion;
    DWORD versionType;
    Bytes version;
    bool present;
  };
  const Case cases[] = {
      {"both values right", true, REG_BINARY, {9, 8}, true, REG_DWORD, Le32(12), true},
      // Only the number is compared, not the version value's type.
      {"version 12 stored as 4 binary bytes", true, REG_BINARY, {9, 8}, true, REG_BINARY, Le32(12), true},
      {"data without its version value", true, REG_BINARY, {9, 8}, false, 0, {}, false},
      {"another version", true, REG_BINARY, {9, 8}, true, REG_DWORD, Le32(11), false},
      {"version without data", false, 0, {}, true, REG_DWORD, Le32(12), false},
      {"data of another type", true, REG_SZ, {'a', 0, 0, 0}, true, REG_DWORD, Le32(12), false},
      {"empty data", true, REG_BINARY, {}, true, REG_DWORD, Le32(12), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegDeleteValueW(key_, u"Engine");
    RegDeleteValueW(key_, u"EngineVersion");
    if (c.writeData) Set(u"Engine", c.dataType, c.data);
    if (c.writeVersion) Set(u"EngineVersion", c.versionType, c.version);
    Bytes got;
    EXPECT_EQ(Load(kEngineRecord, &got), c.present);
    if (c.present) {
      EXPECT_EQ(got, c.data);
    }
  }
}

TEST_F(RegistryRecordTest, FailedReadGivesNoRecordRatherThanZeros) {
  Save(kDictsRecord, {7, 7, 7});
  SetRegistryReadFailure(u"Dicts", ERROR_CANTREAD);
  EXPECT_EQ(LoadRegistryRecord(key_, kDictsRecord), nullptr);
  SetRegistryReadFailure(nullptr, 0);
  Bytes got;
  EXPECT_TRUE(Load(kDictsRecord, &got));
  EXPECT_EQ(got, (Bytes{7, 7, 7}));
}

TEST_F(RegistryRecordTest, SavingNullDeletesTheRecordAndLeavesOthers) {
  Save(kRecentQueriesRecord, {1});
  Save(kRecentEntriesRecord, {2});
  SaveRegistryRecord(kRecentQueriesRecord, nullptr);
  EXPECT_FALSE(Exists(u"RecentQueries"));
  EXPECT_FALSE(Exists(u"RecentQueriesVersion"));
  EXPECT_TRUE(Exists(u"RecentEntries"));
  // A record that does not exist: nothing to delete, no error, key unchanged.
  SaveRegistryRecord(kLastFlashQueryRecord, nullptr);
  EXPECT_TRUE(Exists(u"RecentEntries"));
  EXPECT_TRUE(Exists(u"RecentEntriesVersion"));
}

TEST_F(RegistryRecordTest, ClearSavedStateKeepsEngineAndDicts) {
  const RegistryRecordName* all[] = {&kEngineRecord,
                                     &kDictsRecord,
                                     &kRecentQueriesRecord,
                                     &kRecentEntriesRecord,
                                     &kLastReaderSettingsRecord,
                                     &kLastFlashQueryRecord,
                                     &kLastImportSettingsRecord,
                                     &kLastExportSettingsRecord};
  for (const RegistryRecordName* r : all) Save(*r, {5});
  EXPECT_EQ(ClearSavedState(), ERROR_SUCCESS);
  for (const RegistryRecordName* r : all) {
    const bool kept = r == &kEngineRecord || r == &kDictsRecord;
    EXPECT_EQ(Exists(r->name), kept) << Utf8Name(r->name);
    EXPECT_EQ(Exists(r->versionName), kept);
  }
}

TEST_F(RegistryRecordTest, KeyThatCannotBeOpenedSavesNothing) {
  SetRegistryOpenFailure(kAppRegistryKey, ERROR_ACCESS_DENIED);
  Save(kEngineRecord, {1, 2});
  EXPECT_EQ(ClearSavedState(), ERROR_ACCESS_DENIED);
  HKEY other = nullptr;
  EXPECT_NE(OpenAppRegistryKey(&other), ERROR_SUCCESS);
  EXPECT_EQ(other, nullptr);
  SetRegistryOpenFailure(nullptr, 0);
  EXPECT_FALSE(Exists(u"Engine"));
}

}  // namespace
