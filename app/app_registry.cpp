#include "app/app_registry.h"

#include "engine/mem_handle.h"
#include "platform/errors.h"
#include "platform/registry.h"

LONG OpenAppRegistryKey(HKEY* key) {
  *key = nullptr;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, key, &disposition);
  if (status != ERROR_SUCCESS) *key = nullptr;
  return status;
}

MemHandle* LoadRegistryRecord(HKEY key, const WCHAR* valueName, const WCHAR* versionName, uint32_t version) {
  // Only the number is compared: a 4-byte value of another type counts.
  uint8_t versionBytes[4] = {};
  DWORD size = sizeof versionBytes;
  if (RegQueryValueExW(key, versionName, nullptr, nullptr, versionBytes, &size) != ERROR_SUCCESS) return nullptr;
  const uint32_t stored = uint32_t{versionBytes[0]} | uint32_t{versionBytes[1]} << 8 | uint32_t{versionBytes[2]} << 16 |
                          uint32_t{versionBytes[3]} << 24;
  if (stored != version) return nullptr;

  DWORD type = 0;
  DWORD dataSize = 0;
  if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS) return nullptr;
  if (type != REG_BINARY || dataSize == 0) return nullptr;

  MemHandle* handle = NewMemHandle(dataSize);
  if (!handle) return nullptr;
  // A read that fails or comes back short would otherwise hand the owner a
  // block of zeros as its record.
  DWORD readSize = dataSize;
  void* data = LockMemHandle(handle);
  LONG status = RegQueryValueExW(key, valueName, nullptr, &type, static_cast<BYTE*>(data), &readSize);
  UnlockMemHandle(handle);
  if (status != ERROR_SUCCESS || readSize != dataSize || type != REG_BINARY) {
    FreeMemHandle(handle);
    return nullptr;
  }
  return handle;
}

MemHandle* LoadRegistryRecord(HKEY key, const RegistryRecordName& record) {
  return LoadRegistryRecord(key, record.name, record.versionName, record.version);
}

void SaveRegistryRecord(const WCHAR* valueName, const WCHAR* versionName, uint32_t version, MemHandle* record) {
  HKEY key;
  if (OpenAppRegistryKey(&key) != ERROR_SUCCESS) return;
  if (!record) {
    RegDeleteValueW(key, valueName);
    RegDeleteValueW(key, versionName);
  } else {
    const void* data = LockMemHandle(record);
    RegSetValueExW(key, valueName, 0, REG_BINARY, static_cast<const BYTE*>(data), GetMemHandleSize(record));
    const BYTE number[4] = {static_cast<BYTE>(version), static_cast<BYTE>(version >> 8),
                            static_cast<BYTE>(version >> 16), static_cast<BYTE>(version >> 24)};
    RegSetValueExW(key, versionName, 0, REG_DWORD, number, sizeof number);
    UnlockMemHandle(record);
  }
  RegFlushKey(key);
  RegCloseKey(key);
}

void SaveRegistryRecord(const RegistryRecordName& record, MemHandle* handle) {
  SaveRegistryRecord(record.name, record.versionName, record.version, handle);
}

LONG ClearSavedState() {
  static constexpr const RegistryRecordName* kCleared[] = {
      &kRecentQueriesRecord,      &kRecentEntriesRecord,      &kLastFlashQueryRecord,
      &kLastImportSettingsRecord, &kLastExportSettingsRecord, &kLastReaderSettingsRecord,
  };
  HKEY key;
  LONG status = OpenAppRegistryKey(&key);
  if (status != ERROR_SUCCESS) return status;
  for (const RegistryRecordName* record : kCleared) {
    RegDeleteValueW(key, record->name);
    RegDeleteValueW(key, record->versionName);
  }
  RegFlushKey(key);
  return RegCloseKey(key);
}
