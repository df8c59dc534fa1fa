// Feeds arbitrary bytes to the first-generation reader: one input holds a
// dictionary file and a user data file (a u32 little-endian length of the
// first, then the first, then the second). Each is offered as a container
// and as a bundle, and everything the reader offers is read: every row of
// every table, entries by number, flags, ranks, settings, lists and cards.
// Nothing a file holds may make the reader read out of bounds, loop for
// ever or leak.

#include <cstdint>
#include <string>

#include "converter/firstgen_dict_set.h"
#include "converter/firstgen_user_data.h"
#include "engine/mem_handle.h"
#include "engine/text_buffer.h"
#include "tests/fuzz/firstgen_input.h"

using namespace converter;

namespace {

void ReadTables(FirstGenDb* db, TextBuffer* tb) {
  const uint16_t wanted[] = {0xEA01, 0xEA02, 0xEA03};
  for (FirstGenTable* t : db->tables) {
    for (uint32_t c = 0; c < GetSubTableCount(t) && c < 4; ++c) {
      for (uint32_t k = 0; k < GetSubTableBlockCount(t, c) && k < 16; ++k) {
        if (LoadFirstGenBlock(t, c, k) != 0) continue;
        const uint32_t rows = GetBlockRowCount(t);
        for (uint32_t r = 0; r <= rows && r < 24; ++r) {
          GetBlockRow(t, r);
          uint32_t block = 0, row = 0, index = 0;
          FindRowByKey(t, c, GetBlockRowKey(t, r), &block, &row, &index);
          ReadFirstGenEntry(t, c, k, r, tb, nullptr, 0, nullptr);
          ReadFirstGenEntry(t, c, k, r, tb, wanted, 1 + r % 3, u"+");
        }
      }
    }
  }
}

void ReadSet(FirstGenDictSet* set) {
  TextBuffer tb{};
  TextBufInit(&tb);
  for (uint32_t i = 0; i < set->count; ++i) ReadTables(set->dicts[i]->db, &tb);
  if (UserDataView* view = set->userData) {
    char name[kFlagNameBytes + 1];
    for (uint32_t f = 0; f < GetUserFlagCount(view); ++f) GetUserFlagName(view, f, name);
    uint16_t word = 0;
    for (uint32_t r = 0; r <= GetUserRankCount(view) && r < 300; ++r) GetUserRankWord(view, r, r % 7, &word);
    for (uint32_t s = 0; s < 160; s += 2) GetUserSetting(view, s);
    for (uint32_t l = 0; l < GetUserListCount(view) && l < 64; ++l) {
      GetUserListName(view, l);
      const uint32_t cards = GetUserListCardCount(view, l);
      for (uint32_t k = 0; k < cards && k < 64; ++k) {
        FirstGenCardRecord card;
        if (ReadUserCard(view, l, k, &card) != 0) continue;
        // The card's entry, as a conversion reads it.
        FirstGenDictionary* dict = FindFirstGenDictionary(set, card.dictionaryId);
        uint32_t block = 0, row = 0;
        if (dict && LocateFirstGenEntry(dict->entries, 0, card.entryNumber, &block, &row) == 0) {
          ReadFirstGenEntry(dict->entries, 0, block, row, &tb, nullptr, 0, nullptr);
        }
      }
    }
  }
  FreeMemHandle(tb.handle);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UsePrivateDeviceRoot();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  RecordCache* cache = NewRecordCache();
  if (!cache) return 0;
  FirstGenDictSet set{};
  if (!fuzz::OfferFirstGenInput(data, size, cache, &set)) {
    FreeRecordCache(cache);
    return 0;
  }
  ReadSet(&set);
  CloseFirstGenDictSet(&set);
  FreeRecordCache(cache);
  return 0;
}
