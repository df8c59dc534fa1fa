#include "flash/profile_settings.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

#include "engine/sql_db.h"
#include "engine/sql_properties.h"
#include "engine/sql_query.h"
#include "engine/string_utils.h"
#include "flash/profile_lists.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// A profile's property set is numbered by the low 16 bits of its id.
int32_t SetOf(int32_t profile) { return profile & 0xFFFF; }

// A copy on the local heap; an empty text stays an empty text.
WCHAR* DupText(const WCHAR* text) {
  if (!text) return nullptr;
  const uint32_t n = WideStrLen(text);
  auto* copy = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (n + 1) * sizeof(WCHAR)));
  if (copy) std::memcpy(copy, text, (n + 1) * sizeof(WCHAR));
  return copy;
}

WCHAR* DupNarrow(const char* text) {
  std::u16string wide;
  for (const char* p = text; *p; ++p) wide.push_back(static_cast<unsigned char>(*p));
  return DupText(wide.c_str());
}

bool SameText(const WCHAR* a, const WCHAR* b) {
  if (!a || !b) return a == b;
  return WideStrLen(a) == WideStrLen(b) && std::memcmp(a, b, WideStrLen(a) * sizeof(WCHAR)) == 0;
}

// The property list that names each record's setting in record order.
SqlPropertyList* ListFor(const ProfileSettingRecord* records, uint32_t count) {
  SqlPropertyList* list = SqlNewPropertyList(count, kProfileSettingKeys, kProfileSettingCount);
  if (!list) return nullptr;
  for (uint32_t i = 0; i < count; ++i) list->entries[i].nameIndex = static_cast<uint16_t>(records[i].id);
  return list;
}

// The score-band settings of a test type: starts, shows, asks (0: none).
struct ScoreFilterIds {
  uint32_t ids[3];
};
constexpr ScoreFilterIds kScoreFilters[6] = {
    {{34, 35, 0}}, {{36, 37, 0}}, {{38, 39, 40}}, {{41, 42, 43}}, {{0, 0, 0}}, {{44, 45, 0}},
};
constexpr uint32_t kScoreBandsMax = 10;
constexpr uint32_t kValueCharsMax = 20;

int32_t ParseValue(const WCHAR* text, uint32_t length, int flagged) {
  uint32_t i = 0;
  uint32_t flags = 0;
  if (flagged) {
    for (; i < length && (text[i] == u'+' || text[i] == u'~'); ++i)
      flags |= text[i] == u'+' ? kIntListFlagChecked : kIntListFlagListed;
  }
  bool negative = false;
  if (i < length && text[i] == u'-') {
    negative = true;
    ++i;
  }
  uint64_t n = 0;
  for (; i < length && text[i] >= u'0' && text[i] <= u'9'; ++i) n = (n * 10 + (text[i] - u'0')) & 0xFFFFFFFFull;
  uint32_t value = static_cast<uint32_t>(n);
  if (negative) value = 0u - value;
  if (flagged) value = (value & 0x3FFFFFFFu) | flags;
  return static_cast<int32_t>(value);
}

}  // namespace

int IsTextProfileSetting(uint32_t id) {
  return (id >= kSetScoreFilterFirst && id <= kSetScoreFilterLast) || id == kSetCategories ||
         id == kSetLimitCategories || id == kSetChoicesCustomCats || id == kSetForceDictsOrder;
}

void ClearProfileSettingRecords(ProfileSettingRecord* records, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (records[i].text) LocalFree(records[i].text);
    const uint32_t id = records[i].id;
    records[i] = ProfileSettingRecord{};
    records[i].id = id;
  }
}

int LoadProfileSettings(FlashcardStore* store, int32_t profile, ProfileSettingRecord* records, uint32_t count) {
  if (!store || !records) return 1;
  EngineLockGuard lock;
  ClearProfileSettingRecords(records, count);
  SqlPropertyList* list = ListFor(records, count);
  if (!list) return 1;
  if (SqlLoadPropertySet(store->database, kFlashProfileSettingsTable, SetOf(profile), list) != SQLITE_OK) {
    SqlFreePropertyList(list);
    return 1;
  }
  int rc = 0;
  for (uint32_t i = 0; i < count; ++i) {
    ProfileSettingRecord& r = records[i];
    const SqlPropertyEntry& e = list->entries[i];
    if (e.hasValue) {
      r.present = 1;
      r.value = e.value;
      if (e.isText && !(r.text = DupText(e.text))) rc = 1;
      continue;
    }
    // An absent setting takes its default and is stored at the next save.
    const PresetSettingRow* row = FindPreset0Row(r.id);
    if (!row) continue;
    r.value = row->value;
    if (row->text && !(r.text = DupNarrow(row->text))) rc = 1;
    r.present = 1;
    r.dirty = 1;
  }
  SqlFreePropertyList(list);
  return rc;
}

int SaveProfileSettings(FlashcardStore* store, int32_t profile, ProfileSettingRecord* records, uint32_t count) {
  if (!store || !records) return SQLITE_MISUSE;
  EngineLockGuard lock;
  SqlPropertyList* list = ListFor(records, count);
  if (!list) return SQLITE_NOMEM;
  int bad = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const ProfileSettingRecord& r = records[i];
    if (!r.present || !r.dirty) continue;
    bad |= r.text ? SqlSetPropertyText(list, i, r.text) : SqlSetPropertyInt(list, i, r.value);
  }
  SqlDb* db = store->database;
  int rc = bad ? SQLITE_NOMEM : SqlBegin(db);
  if (rc == SQLITE_OK) {
    rc = SqlSavePropertySet(db, kFlashProfileSettingsTable, SetOf(profile), list);
    if (rc == SQLITE_OK) {
      SqlTerm where{};
      where.column = kListId;
      where.value = profile;
      SqlTerm set{};
      set.column = kListModified;
      set.value = FlashNow();
      rc = SqlUpdate(db, kFlashProfilesTable, kFlashProfileColumns, &where, 1, &set, 1);
    }
    if (rc == SQLITE_OK) rc = SqlCommit(db);
    else
      SqlRollback(db);
  }
  SqlFreePropertyList(list);
  if (rc == SQLITE_OK)
    for (uint32_t i = 0; i < count; ++i) records[i].dirty = 0;
  return rc;
}

int WritePresetSettings(FlashcardStore* store, int32_t profile, uint32_t preset) {
  const PresetSettingRow* rows = nullptr;
  const uint32_t rowCount = GetPresetRows(preset, &rows);
  if (!store || !rows) return SQLITE_MISUSE;
  EngineLockGuard lock;
  SqlDb* db = store->database;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  ProfileSettingRecord one{};
  one.present = one.dirty = 1;
  const int32_t scorefile = GetScorefileIdByIndex(store, 0);
  if (scorefile != -1) {
    one.id = kSetScorefile;
    one.value = scorefile;
    rc = SaveProfileSettings(store, profile, &one, 1);
  }
  if (rc == SQLITE_OK) {
    one.id = kSetLimitTimeTime;
    one.value = FlashNow();
    one.dirty = 1;
    rc = SaveProfileSettings(store, profile, &one, 1);
  }
  ProfileSettingRecord all[kProfileSettingCount] = {};
  for (uint32_t i = 0; rc == SQLITE_OK && i < rowCount; ++i) {
    all[i].id = rows[i].id;
    all[i].value = rows[i].value;
    all[i].present = all[i].dirty = 1;
    if (rows[i].text && !(all[i].text = DupNarrow(rows[i].text))) rc = SQLITE_NOMEM;
  }
  if (rc == SQLITE_OK) rc = SaveProfileSettings(store, profile, all, rowCount);
  ClearProfileSettingRecords(all, rowCount);
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return rc;
  }
  return SqlCommit(db);
}

int CopyProfileSettings(FlashcardStore* store, int32_t profile, int32_t source) {
  if (!store) return SQLITE_MISUSE;
  if (source >= 0) {
    ProfileSettingRecord all[kProfileSettingCount] = {};
    for (uint32_t i = 0; i < kProfileSettingCount; ++i) all[i].id = i;
    if (LoadProfileSettings(store, source, all, kProfileSettingCount) == 0) {
      for (ProfileSettingRecord& r : all) r.dirty = 1;
      const int rc = SaveProfileSettings(store, profile, all, kProfileSettingCount);
      ClearProfileSettingRecords(all, kProfileSettingCount);
      return rc;
    }
    ClearProfileSettingRecords(all, kProfileSettingCount);
  }
  return WritePresetSettings(store, profile, 0);
}

int ResetProfileToPreset(FlashcardStore* store, int32_t profile, uint32_t mode) {
  if (!store) return SQLITE_MISUSE;
  EngineLockGuard lock;
  const uint32_t preset = (mode & 1) ? 1 : (mode & 2) ? 2 : 0;
  const bool current = profile == store->currentProfile;
  SqlDb* db = store->database;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  rc = SqlDeletePropertySet(db, kFlashProfileSettingsTable, SetOf(profile));
  if (rc == SQLITE_OK) rc = WritePresetSettings(store, profile, preset);
  // Memory changes only from here on; a rollback before leaves it alone.
  if (rc == SQLITE_OK) rc = FlashRegisterRollback(store);
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return rc;
  }
  if (current) UnloadProfileSettingsCache(store);
  rc = SqlCommit(db);
  if (rc == SQLITE_OK && current) LoadCurrentProfileSettings(store);
  return rc;
}

int LoadCurrentProfileSettings(FlashcardStore* store) {
  if (!store) return 1;
  if (store->settingsLoaded) return 0;
  EngineLockGuard lock;
  const int32_t profile = GetCurrentProfileId(store);
  for (uint32_t i = 0; i < kProfileSettingCount; ++i) store->settings[i].id = i;
  const int rc = LoadProfileSettings(store, profile, store->settings, kProfileSettingCount);
  if (rc == 0) store->settingsLoaded = 1;
  return rc;
}

void UnloadProfileSettingsCache(FlashcardStore* store) {
  if (!store) return;
  ClearProfileSettingRecords(store->settings, kProfileSettingCount);
  store->settingsLoaded = 0;
}

int GetProfileSetting(FlashcardStore* store, uint32_t id, ProfileSettingValue* out) {
  if (out) *out = ProfileSettingValue{};
  if (!store || !out || id >= kProfileSettingCount || LoadCurrentProfileSettings(store) != 0) return 1;
  const ProfileSettingRecord& r = store->settings[id];
  if (!r.present) return 1;
  out->value = r.value;
  if (r.text) {
    out->text = DupText(r.text);
    if (!out->text) return 1;
  }
  return 0;
}

int SetProfileSetting(FlashcardStore* store, uint32_t id, const ProfileSettingValue* value) {
  if (!store || !value || id >= kProfileSettingCount || LoadCurrentProfileSettings(store) != 0) return 1;
  ProfileSettingRecord& r = store->settings[id];
  if (r.present && r.value == value->value && SameText(r.text, value->text)) return 0;
  WCHAR* copy = nullptr;
  if (value->text && !(copy = DupText(value->text))) return 1;
  if (r.text) LocalFree(r.text);
  r.text = copy;
  r.value = value->value;
  r.present = 1;
  r.dirty = 1;
  return 0;
}

int SaveCurrentProfileSettings(FlashcardStore* store) {
  if (!store || !store->settingsLoaded) return 1;
  return SaveProfileSettings(store, store->currentProfile, store->settings, kProfileSettingCount);
}

int32_t GetProfileScorefileId(FlashcardStore* store) {
  ProfileSettingValue v{};
  if (GetProfileSetting(store, kSetScorefile, &v) != 0) return -1;
  if (v.text) LocalFree(const_cast<WCHAR*>(v.text));
  return v.value == 0 || v.value == -1 || v.value == -2 ? -1 : v.value;
}

int ReadScoreFilterSettings(FlashcardStore* store, uint32_t testType, int32_t** starts, int32_t** shows,
                            int32_t** asks) {
  int32_t** outs[3] = {starts, shows, asks};
  for (int32_t** out : outs)
    if (out) *out = nullptr;
  if (!store || testType >= 6) return 0;
  int32_t* lists[3] = {};
  uint32_t shortest = 0;
  bool any = false;
  for (int i = 0; i < 3; ++i) {
    const uint32_t id = kScoreFilters[testType].ids[i];
    ProfileSettingValue v{};
    if (!id || GetProfileSetting(store, id, &v) != 0 || !v.text) continue;
    uint32_t count = 0;
    lists[i] = ParseIntList(v.text, 1, 0, &count);
    LocalFree(const_cast<WCHAR*>(v.text));
    if (!lists[i]) continue;
    shortest = any ? (count < shortest ? count : shortest) : count;
    any = true;
  }
  const uint32_t bands = any && shortest <= kScoreBandsMax ? shortest : 0;
  for (int i = 0; i < 3; ++i) {
    if (bands && outs[i]) *outs[i] = lists[i];
    else if (lists[i])
      LocalFree(lists[i]);
  }
  return static_cast<int>(bands);
}

int WriteScoreFilterSettings(FlashcardStore* store, uint32_t testType, const int32_t* starts, const int32_t* shows,
                             const int32_t* asks, uint32_t count) {
  if (!store || testType >= 6) return 1;
  const int32_t* lists[3] = {starts, shows, asks};
  int rc = 0;
  for (int i = 0; i < 3; ++i) {
    const uint32_t id = kScoreFilters[testType].ids[i];
    if (!id || !lists[i]) continue;
    WCHAR* text = FormatIntList(lists[i], count, 1, 0);
    const ProfileSettingValue v{0, text};
    rc |= text ? SetProfileSetting(store, id, &v) : 1;
    if (text) LocalFree(text);
  }
  return rc;
}

int ReadCategorySelection(FlashcardStore* store, int32_t** ids, uint32_t* total, uint32_t* checked) {
  if (ids) *ids = nullptr;
  if (total) *total = 0;
  if (checked) *checked = 0;
  ProfileSettingValue v{};
  if (!store || !ids || GetProfileSetting(store, kSetLimitCategories, &v) != 0 || !v.text) return 0;
  uint32_t count = 0;
  int32_t* values = ParseIntList(v.text, 1, 1, &count);
  LocalFree(const_cast<WCHAR*>(v.text));
  if (!values) return 0;
  auto* out = static_cast<int32_t*>(LocalAlloc(LPTR, (count ? count : 1) * sizeof(int32_t)));
  if (!out) {
    LocalFree(values);
    return 1;
  }
  uint32_t n = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (uint32_t i = 0; i < count; ++i) {
      const bool isChecked = static_cast<uint32_t>(values[i]) & kIntListFlagChecked;
      if (isChecked == (pass == 0)) out[n++] = static_cast<int32_t>(static_cast<uint32_t>(values[i]) & 0x3FFFFFFFu);
      if (pass == 0 && isChecked && checked) ++*checked;
    }
  LocalFree(values);
  *ids = out;
  if (total) *total = n;
  return 0;
}

int WriteCategorySelection(FlashcardStore* store, const int32_t* ids, uint32_t total, uint32_t checked) {
  if (!store || (!ids && total)) return 1;
  std::u16string text;
  for (uint32_t i = 0; i < total; ++i) {
    const uint32_t flag = i < checked ? kIntListFlagChecked : kIntListFlagListed;
    const int32_t value = static_cast<int32_t>((static_cast<uint32_t>(ids[i]) & 0x3FFFFFFFu) | flag);
    WCHAR* one = FormatIntList(&value, 1, 1, 1);
    if (!one) return 1;
    text += reinterpret_cast<const char16_t*>(one);
    LocalFree(one);
  }
  const ProfileSettingValue v{0, text.c_str()};
  return SetProfileSetting(store, kSetLimitCategories, &v);
}

const WCHAR* ValidateProfileForSession(FlashcardStore* store) {
  if (!store || LoadCurrentProfileSettings(store) != 0) return kProfileLoadFailedMessage;
  char table[kFlashScoresTableMax];
  FlashScoresTableName(GetProfileScorefileId(store), table);
  if (SqlTableExists(store->database, table, 0) != 1) return kInvalidScorefileMessage;
  return nullptr;
}

WCHAR* FormatIntList(const int32_t* values, uint32_t count, uint32_t groupSize, int flagged) {
  if (groupSize == 0) groupSize = 1;
  if (!values && count) return nullptr;
  std::u16string text;
  for (uint32_t g = 0; g < count; ++g) {
    for (uint32_t k = 0; k < groupSize; ++k) {
      uint32_t v = static_cast<uint32_t>(values[g * groupSize + k]);
      if (k) text += u':';
      if (flagged) {
        if (v & kIntListFlagChecked) text += u'+';
        else if (v & kIntListFlagListed)
          text += u'~';
        v &= 0x3FFFFFFFu;
      }
      for (char c : std::to_string(static_cast<int32_t>(v))) text += static_cast<char16_t>(c);
    }
    text += u',';
  }
  return DupText(text.c_str());
}

int32_t* ParseIntList(const WCHAR* text, uint32_t groupSize, int flagged, uint32_t* count) {
  if (count) *count = 0;
  if (!text || !count) return nullptr;
  if (groupSize == 0) groupSize = 1;
  // Groups: one per ",", and one more for text after the last ",". The
  // array is sized from what the text holds, so no text writes past it.
  const uint32_t length = WideStrLen(text);
  uint32_t groups = 0;
  bool pending = false;
  for (uint32_t i = 0; i < length; ++i) {
    if (text[i] == u',') {
      ++groups;
      pending = false;
    } else {
      pending = true;
    }
  }
  if (pending) ++groups;
  if (groups == 0) return nullptr;
  auto* values = static_cast<int32_t*>(LocalAlloc(LPTR, static_cast<size_t>(groups) * groupSize * sizeof(int32_t)));
  if (!values) return nullptr;
  uint32_t g = 0;
  uint32_t k = 0;
  uint32_t start = 0;
  for (uint32_t i = 0; i <= length && g < groups; ++i) {
    const WCHAR c = i < length ? text[i] : u',';
    if (c != u',' && c != u':') continue;
    // Extra ":" beyond the group size are passed over.
    const uint32_t chars = i - start < kValueCharsMax ? i - start : kValueCharsMax;
    if (k < groupSize && chars) values[g * groupSize + k] = ParseValue(text + start, chars, flagged);
    start = i + 1;
    if (c == u':') {
      ++k;
    } else if (i < length || k > 0 || chars) {
      ++g;
      k = 0;
    }
  }
  *count = groups;
  return values;
}
