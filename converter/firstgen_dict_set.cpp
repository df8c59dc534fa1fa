#include "converter/firstgen_dict_set.h"

#include <cstring>
#include <new>

#include "converter/firstgen_user_data.h"

namespace converter {

namespace {

constexpr uint32_t kTableKindsOffset = 90;

// The table whose kind (high byte of its header word) is `kind`, or null.
// Kinds past the header are not read.
FirstGenTable* TableOfKind(const FirstGenDb* db, uint8_t kind) {
  for (uint32_t i = 0; i < db->tables.size(); ++i) {
    const uint64_t at = kTableKindsOffset + 2ull * i;
    if (!ViewHas(db->header, at, 2)) break;
    if ((ViewBe16(db->header, at) >> 8) == kind) return db->tables[i];
  }
  return nullptr;
}

// Dictionaries sort by flags, then by entry-table size, larger first.
bool SortsBefore(const FirstGenDictionary* a, const FirstGenDictionary* b) {
  if (a->flags != b->flags) return a->flags < b->flags;
  return a->entries->rowCount > b->entries->rowCount;
}

void CloseDictionary(FirstGenDictionary* dict) {
  if (!dict) return;
  CloseFirstGenDb(dict->db);
  delete dict;
}

}  // namespace

int AddFirstGenDictionary(FirstGenDictSet* set, FirstGenDb* db) {
  FirstGenTable* entries = TableOfKind(db, 1);
  const uint32_t id = ViewBe32(db->header, 4);
  if (set->count >= kMaxFirstGenDicts || !entries || FindFirstGenDictionary(set, id)) {
    CloseFirstGenDb(db);
    return kFirstGenRefused;
  }
  auto* dict = new (std::nothrow) FirstGenDictionary{};
  if (!dict) {
    CloseFirstGenDb(db);
    return kFirstGenIgnored;
  }
  const ByteView h = db->header;
  dict->db = db;
  dict->entries = entries;
  dict->secondary = TableOfKind(db, 2);
  dict->id = id;
  dict->flags = ViewBe16(h, 24);
  // Only a bundle may mark its dictionary as from a bundle.
  if (db->file) dict->flags &= static_cast<uint16_t>(~kDictFromBundle);
  dict->identity1 = ViewBe16(h, 26);
  dict->headwordLanguage = ViewBe16(h, 32);
  dict->secondLanguage = ViewBe16(h, 34);
  if (dict->headwordLanguage == kLanguageChinese && dict->secondLanguage == kLanguageChinese) dict->secondLanguage = 0;
  dict->identity2 = ViewBe16(h, 36);
  dict->identity3 = ViewBe16(h, 38);
  dict->extraWord = ViewBe32(h, 40);
  for (uint32_t i = 0; i < kFirstGenDictNameBytes; ++i) {
    const uint8_t c = ViewByte(h, 44 + i);
    if (c == 0) break;
    dict->name[i] = static_cast<char>(c);
  }
  uint32_t at = 0;
  while (at < set->count && !SortsBefore(dict, set->dicts[at])) ++at;
  for (uint32_t j = set->count; j > at; --j) set->dicts[j] = set->dicts[j - 1];
  set->dicts[at] = dict;
  ++set->count;
  return kFirstGenAdded;
}

int OfferFirstGenDb(FirstGenDictSet* set, FirstGenDb* db) {
  if (!db) return kFirstGenIgnored;
  if (db->kind == kFirstGenKindDictionary) return AddFirstGenDictionary(set, db);
  if (db->kind == kFirstGenKindUserData) {
    if (set->userData) {
      CloseFirstGenDb(db);
      return kFirstGenRefused;
    }
    set->userData = OpenUserDataView(db);
    return set->userData ? kFirstGenAdded : kFirstGenIgnored;
  }
  CloseFirstGenDb(db);
  return kFirstGenIgnored;
}

int OfferFirstGenContainer(FirstGenDictSet* set, LPCWSTR path, RecordCache* cache) {
  FirstGenDatabaseFile* file = OpenFirstGenDatabaseFile(path);
  if (!file) return kFirstGenIgnored;
  return OfferFirstGenDb(set, OpenFirstGenDbFromFile(file, cache));
}

int OfferFirstGenBundle(FirstGenDictSet* set, LPCWSTR path) {
  FirstGenBundle* bundle = OpenFirstGenBundle(path);
  if (!bundle) return kFirstGenIgnored;
  return OfferFirstGenDb(set, OpenFirstGenDbFromBundle(bundle));
}

FirstGenDictionary* FindFirstGenDictionary(const FirstGenDictSet* set, uint32_t id) {
  for (uint32_t i = 0; i < set->count; ++i) {
    if (set->dicts[i]->id == id) return set->dicts[i];
  }
  return nullptr;
}

void CloseFirstGenDictSet(FirstGenDictSet* set) {
  for (uint32_t i = 0; i < set->count; ++i) CloseDictionary(set->dicts[i]);
  set->count = 0;
  CloseUserDataView(set->userData);
  set->userData = nullptr;
}

}  // namespace converter
