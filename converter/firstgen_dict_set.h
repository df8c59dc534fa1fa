// The converter's set of open first-generation dictionaries and its user
// data view, filled file by file during discovery.
//
// Dictionary header fields (big-endian, offsets within the database
// header): 4 u32 id; 24 u16 flags; 26 first identity word; 32 headword
// language; 34 second language; 36, 38 second and third identity words; 40
// a u32 kept with the dictionary; 44 the name (8-bit, up to 31 bytes);
// 90 + 2i the kind of table i (high byte 1 entry table, 2 secondary table).
#pragma once

#include <cstdint>

#include "converter/firstgen_db.h"
#include "platform/types.h"

namespace converter {

struct UserDataView;

inline constexpr uint32_t kMaxFirstGenDicts = 32;
inline constexpr uint32_t kFirstGenDictNameBytes = 31;

enum : uint16_t {
  kDictFromBundle = 0x0001,  // kept only for dictionaries from a bundle
  kDictHasDefinitions = 0x0002,
  kDictUser = 0x0004,
};

inline constexpr uint16_t kLanguageChinese = 4096;

struct FirstGenDictionary {
  FirstGenDb* db;
  FirstGenTable* secondary;  // may be null
  FirstGenTable* entries;
  char name[kFirstGenDictNameBytes + 1];  // 8-bit text, terminated
  uint16_t flags;
  uint16_t identity1;
  uint16_t identity2;
  uint16_t identity3;
  uint32_t id;
  uint16_t headwordLanguage;
  uint16_t secondLanguage;
  uint32_t extraWord;  // header offset 40
};

struct FirstGenDictSet {
  FirstGenDictionary* dicts[kMaxFirstGenDicts];
  uint16_t count;
  UserDataView* userData;  // the first user data file found, or null
};

// Results of offering a file to the set.
enum : int {
  kFirstGenAdded = 0,    // a dictionary joined the set, or the file became the user data view
  kFirstGenIgnored = 1,  // not a first-generation file, or damaged
  kFirstGenRefused = 2,  // a valid database that the set does not take (full, duplicate id, a second user file)
};

// Opens a container file ("*.pdb") whose tables share `cache`, or a bundle
// ("*.kve"), and offers its database to the set.
int OfferFirstGenContainer(FirstGenDictSet* set, LPCWSTR path, RecordCache* cache);
int OfferFirstGenBundle(FirstGenDictSet* set, LPCWSTR path);
// Offers an open database: kind 0 becomes a dictionary (AddFirstGenDictionary),
// 0xA000 the user data view when there is none yet; anything else is closed.
int OfferFirstGenDb(FirstGenDictSet* set, FirstGenDb* db);
// Takes over db. Refused (closed) when 32 dictionaries are open, the
// database has no entry table, or its id is already in the set. The set
// is kept ordered by flags, then entry-table size, larger first.
int AddFirstGenDictionary(FirstGenDictSet* set, FirstGenDb* db);

FirstGenDictionary* FindFirstGenDictionary(const FirstGenDictSet* set, uint32_t id);
// Closes every dictionary and the user data view (before the record cache
// is freed).
void CloseFirstGenDictSet(FirstGenDictSet* set);

}  // namespace converter
