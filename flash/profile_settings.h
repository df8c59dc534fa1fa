// The 171 settings of a profile: their keys, the three preset tables, the
// stored property set of each profile ("sorvi_flash_profilesettings", set
// number = profile id) and the cache of the current profile's settings.
//
// A setting holds a number or, for the integer-list settings, a text. An
// integer 0 is stored as NULL and reads back as a present 0. Results: 0
// success, 1 failure unless stated.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct FlashcardStore;

inline constexpr uint32_t kProfileSettingCount = 171;
extern const char* const kProfileSettingKeys[kProfileSettingCount];

// Ids the flashcard engine reads by name.
enum : uint32_t {
  kSetLanguage = 0,
  kSetType = 1,
  kSetScoreFilterFirst = 34,  // 34-45: score bands as integer lists
  kSetScoreFilterLast = 45,
  kSetCardCount = 46,
  kSetCategories = 47,
  kSetLimitTimeTime = 49,
  kSetLimitCategories = 63,
  kSetCardSelection = 64,
  kSetUnlearnedRatio = 75,
  kSetChoicesCustomCats = 86,
  kSetButtonWhichCat = 113,
  kSetScorefile = 116,
  kSetScoreType = 117,
  kSetForceDictsOrder = 163,
};

// 1 for the integer-list settings (ids 34-45, 47, 63, 86, 163).
int IsTextProfileSetting(uint32_t id);

struct ProfileSettingRecord {
  uint32_t id;
  int32_t value;
  WCHAR* text;  // owned (local heap); null for a number
  uint32_t present;
  uint32_t dirty;
};

struct ProfileSettingValue {
  int32_t value;
  const WCHAR* text;  // in; on Get a copy the caller frees with LocalFree
};

// Presets: 0 "Simple", 1 "Spaced Repetition", 2 "Weighted".
struct PresetSettingRow {
  uint16_t id;
  int32_t value;
  const char* text;  // null for a number
};
inline constexpr uint32_t kPresetCount = 3;
// The rows of a preset in id order and their number (0 for another preset).
uint32_t GetPresetRows(uint32_t preset, const PresetSettingRow** rows);
// The preset-0 row of a setting, or null.
const PresetSettingRow* FindPreset0Row(uint32_t id);

// Frees the texts of `count` records and clears their values (ids stay).
void ClearProfileSettingRecords(ProfileSettingRecord* records, uint32_t count);
// Refills each record (ids preset) from property set `profile`. Absent
// settings with a preset-0 value get it, present and dirty; others stay
// absent. 0, or 1 when the set cannot be read.
int LoadProfileSettings(FlashcardStore* store, int32_t profile, ProfileSettingRecord* records, uint32_t count);
// Writes every present, dirty record (INSERT OR REPLACE) and stamps the
// profile's "modified", in one transaction; clears the dirty marks on
// success. 0 or the SQLite code.
int SaveProfileSettings(FlashcardStore* store, int32_t profile, ProfileSettingRecord* records, uint32_t count);
// "pro_scorefile" = first scorefile, "pro_limittimetime" = now, then the
// preset's rows. 0 or the SQLite code.
int WritePresetSettings(FlashcardStore* store, int32_t profile, uint32_t preset);
// A copy of source's settings (or preset 0 when source < 0 or unreadable).
int CopyProfileSettings(FlashcardStore* store, int32_t profile, int32_t source);
// mode bit 0: preset 1; else bit 1: preset 2; else preset 0. The profile's
// stored set is replaced. 0 or the SQLite code.
int ResetProfileToPreset(FlashcardStore* store, int32_t profile, uint32_t mode);

// The current profile's cache.
int LoadCurrentProfileSettings(FlashcardStore* store);
void UnloadProfileSettingsCache(FlashcardStore* store);
// 0 with the value; 1 (0 and none) for id >= 171, a failed load or an
// absent setting.
int GetProfileSetting(FlashcardStore* store, uint32_t id, ProfileSettingValue* out);
// 0; 1 for id >= 171 or a failed load. An equal value leaves the setting as
// it is; otherwise it becomes present and dirty.
int SetProfileSetting(FlashcardStore* store, uint32_t id, const ProfileSettingValue* value);
// 1 when the cache is not loaded; else SaveProfileSettings' result.
int SaveCurrentProfileSettings(FlashcardStore* store);
// "pro_scorefile", or -1 when absent, 0, -1 or -2.
int32_t GetProfileScorefileId(FlashcardStore* store);

// Score bands of a test type (0 Review Only ... 5 Tone Practice): the
// number of bands (the shortest list read), 0 when no list was read or it
// holds more than 10 values. Each given out gets a new array (LocalFree)
// when the result is above 0, else null.
int ReadScoreFilterSettings(FlashcardStore* store, uint32_t testType, int32_t** starts, int32_t** shows,
                            int32_t** asks);
int WriteScoreFilterSettings(FlashcardStore* store, uint32_t testType, const int32_t* starts, const int32_t* shows,
                             const int32_t* asks, uint32_t count);
// "pro_limitcategories": the checked ids first, then the unchecked ones,
// flags removed. *ids is a new array (LocalFree) or null.
int ReadCategorySelection(FlashcardStore* store, int32_t** ids, uint32_t* total, uint32_t* checked);
int WriteCategorySelection(FlashcardStore* store, const int32_t* ids, uint32_t total, uint32_t checked);

// Null when a session can start with the current profile, else the message
// to show.
const WCHAR* ValidateProfileForSession(FlashcardStore* store);
inline constexpr char16_t kProfileLoadFailedMessage[] =
    u"Could not load profile settings - please select a different profile and try again.";
inline constexpr char16_t kInvalidScorefileMessage[] =
    u"Invalid scorefile - please go to the Scoring tab of Advanced settings and choose another scorefile.";

// Integer lists as text: each value in decimal followed by ","; with
// groupSize > 1 the values of a group are separated by ":" and a short
// group reads padded with zeros. Flagged lists mark a value with "+" (bit
// 31) or "~" (bit 30); only the low 30 bits are the number.
inline constexpr uint32_t kIntListFlagChecked = 0x80000000u;
inline constexpr uint32_t kIntListFlagListed = 0x40000000u;
// New text (LocalFree) of `count` groups of `groupSize` values, or null.
WCHAR* FormatIntList(const int32_t* values, uint32_t count, uint32_t groupSize, int flagged);
// New array (LocalFree) of count x groupSize values; *count the number of
// groups. Any text, however malformed, is read within the array. Null (and
// 0) for an empty text or when memory runs out.
int32_t* ParseIntList(const WCHAR* text, uint32_t groupSize, int flagged, uint32_t* count);
