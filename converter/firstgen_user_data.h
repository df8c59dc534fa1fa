// The user's first-generation data file (database kind 0xA000): card lists,
// flag names, the rank table and the settings block.
//
// Header fields (little-endian, offsets within the database header): u16 at
// 34 rank count; u16 at 36 flag count; the settings block at 40; flag names
// at 184, 24 bytes each (at most 32: the space up to 952 holds 32, and card
// flags are 32 bits); the rank table at 952, rows of seven u16. Only what
// lies inside the header is read.
//
// Each table is a card list: its name is the table's name, its card count
// the table record's big-endian u32 at 8, and card k is fixed-size row k.
#pragma once

#include <cstdint>

#include "converter/firstgen_db.h"

namespace converter {

inline constexpr uint32_t kSettingsBlockOffset = 40;
inline constexpr uint32_t kFlagNamesOffset = 184;
inline constexpr uint32_t kFlagNameBytes = 24;
inline constexpr uint32_t kMaxUserFlags = 32;
inline constexpr uint32_t kRankTableOffset = 952;
inline constexpr uint32_t kRankRowWords = 7;
// Bytes of a card row that carry fields; a shorter row reads 0 for the rest.
inline constexpr uint32_t kCardRecordBytes = 31;

// Fields of the settings block (offsets within it).
inline constexpr uint32_t kSettingRankDivisor = 6;
inline constexpr uint32_t kSettingStudyMode = 16;
inline constexpr uint32_t kSettingRankTableSwitch = 20;

struct UserDataView {
  FirstGenDb* db;
};

// One card of a list (times are local seconds since 1904-01-01).
struct FirstGenCardRecord {
  uint32_t dictionaryId;
  uint32_t entryNumber;
  uint32_t firstReview;
  uint32_t lastReview;  // 0 when never reviewed
  uint32_t flags;       // bit i = user flag i
  uint32_t history;     // bit i set = review i correct
  uint16_t correct;
  uint16_t incorrect;
  uint8_t counterA;
  uint8_t counterB;
  uint8_t rank;
};

// Takes over db (kind 0xA000). Null when memory is short (db closed).
UserDataView* OpenUserDataView(FirstGenDb* db);
void CloseUserDataView(UserDataView* view);

uint16_t GetUserRankCount(const UserDataView* view);
// The flag count, at most 32 and no more than the names inside the header.
uint32_t GetUserFlagCount(const UserDataView* view);
// Flag i's name: up to 24 bytes, ending at the first 0. 0 on success.
int GetUserFlagName(const UserDataView* view, uint32_t i, char out[kFlagNameBytes + 1]);
// A u16 of the settings block (0 outside the header).
uint16_t GetUserSetting(const UserDataView* view, uint32_t offset);
// Word w of rank row r. 0 and the word when the row lies inside the header
// and r is below the rank count; else 1.
int GetUserRankWord(const UserDataView* view, uint32_t r, uint32_t w, uint16_t* word);

uint32_t GetUserListCount(const UserDataView* view);
// The list's name bytes (8-bit text, not terminated; may be empty).
ByteView GetUserListName(const UserDataView* view, uint32_t list);
// The table record's card count, but no more than its blocks can hold: a
// damaged count of billions would otherwise keep a conversion busy for
// hours reading rows that are not there.
uint32_t GetUserListCardCount(const UserDataView* view, uint32_t list);
// Card k of a list. 0 on success; 1 when its row cannot be read. Fields
// past a short row read 0.
int ReadUserCard(UserDataView* view, uint32_t list, uint32_t k, FirstGenCardRecord* card);

}  // namespace converter
