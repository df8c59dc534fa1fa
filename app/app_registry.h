// The program's saved state: versioned binary records in one registry key.
// A record named N is the binary value N (the bytes of a MemHandle, never
// empty) and the number value N + "Version"; a record of another version,
// type or size reads as absent, so its owner starts from its defaults and
// overwrites it at its next save. Registry errors are never shown.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct MemHandle;

// HKEY_LOCAL_MACHINE below this path holds every record.
inline constexpr const WCHAR* kAppRegistryKey = u"Software\\Sorvi Software\\Sorvi Dictionary";

// The known records: name, version value name, version.
struct RegistryRecordName {
  const WCHAR* name;
  const WCHAR* versionName;
  uint32_t version;
};
inline constexpr RegistryRecordName kEngineRecord{u"Engine", u"EngineVersion", 12};
inline constexpr RegistryRecordName kDictsRecord{u"Dicts", u"DictsVersion", 13};
inline constexpr RegistryRecordName kRecentQueriesRecord{u"RecentQueries", u"RecentQueriesVersion", 11};
inline constexpr RegistryRecordName kRecentEntriesRecord{u"RecentEntries", u"RecentEntriesVersion", 11};
inline constexpr RegistryRecordName kLastReaderSettingsRecord{u"LastReaderSettings", u"LastReaderSettingsVersion", 5};
inline constexpr RegistryRecordName kLastFlashQueryRecord{u"LastFlashQuery", u"LastFlashQueryVersion", 5};
inline constexpr RegistryRecordName kLastImportSettingsRecord{u"LastImportSettings", u"LastImportSettingsVersion", 8};
inline constexpr RegistryRecordName kLastExportSettingsRecord{u"LastExportSettings", u"LastExportSettingsVersion", 6};

// Opens (creating when missing) the program's key; ERROR_SUCCESS or the
// registry's error, with *key null then.
LONG OpenAppRegistryKey(HKEY* key);

// A new MemHandle with the record's bytes, or null when the version value
// is missing or another number (its stored type is not looked at), the data
// value is missing, not REG_BINARY or empty, or cannot be read in full. The
// caller opened `key` and closes it.
MemHandle* LoadRegistryRecord(HKEY key, const WCHAR* valueName, const WCHAR* versionName, uint32_t version);
MemHandle* LoadRegistryRecord(HKEY key, const RegistryRecordName& record);

// Opens the key itself; nothing happens when it cannot. A null handle
// deletes the record (a missing value is no error); otherwise the bytes and
// the version are written. The handle stays the caller's. The key is
// flushed and closed in every case where it was opened.
void SaveRegistryRecord(const WCHAR* valueName, const WCHAR* versionName, uint32_t version, MemHandle* record);
void SaveRegistryRecord(const RegistryRecordName& record, MemHandle* handle);

// Deletes the two history records and the four "Last…" records, keeping
// "Engine" and "Dicts". The status of opening the key, else of closing it.
LONG ClearSavedState();
