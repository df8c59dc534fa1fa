#include "converter/firstgen_user_data.h"

#include <new>

namespace converter {

UserDataView* OpenUserDataView(FirstGenDb* db) {
  auto* view = new (std::nothrow) UserDataView{};
  if (!view) {
    CloseFirstGenDb(db);
    return nullptr;
  }
  view->db = db;
  return view;
}

void CloseUserDataView(UserDataView* view) {
  if (!view) return;
  CloseFirstGenDb(view->db);
  delete view;
}

uint16_t GetUserRankCount(const UserDataView* view) { return ViewLe16(view->db->header, 34); }

uint32_t GetUserFlagCount(const UserDataView* view) {
  uint32_t n = ViewLe16(view->db->header, 36);
  if (n > kMaxUserFlags) n = kMaxUserFlags;
  while (n > 0 && !ViewHas(view->db->header, kFlagNamesOffset + uint64_t{n - 1} * kFlagNameBytes, 1)) --n;
  return n;
}

int GetUserFlagName(const UserDataView* view, uint32_t i, char out[kFlagNameBytes + 1]) {
  out[0] = 0;
  if (i >= GetUserFlagCount(view)) return 1;
  const uint64_t at = kFlagNamesOffset + uint64_t{i} * kFlagNameBytes;
  uint32_t n = 0;
  for (; n < kFlagNameBytes; ++n) {
    const uint8_t c = ViewByte(view->db->header, at + n);
    if (c == 0) break;
    out[n] = static_cast<char>(c);
  }
  out[n] = 0;
  return 0;
}

uint16_t GetUserSetting(const UserDataView* view, uint32_t offset) {
  return ViewLe16(view->db->header, uint64_t{kSettingsBlockOffset} + offset);
}

int GetUserRankWord(const UserDataView* view, uint32_t r, uint32_t w, uint16_t* word) {
  const uint64_t at = kRankTableOffset + uint64_t{r} * kRankRowWords * 2 + 2ull * w;
  if (r >= GetUserRankCount(view) || w >= kRankRowWords || !ViewHas(view->db->header, at, 2)) return 1;
  *word = ViewLe16(view->db->header, at);
  return 0;
}

uint32_t GetUserListCount(const UserDataView* view) { return static_cast<uint32_t>(view->db->tables.size()); }

ByteView GetUserListName(const UserDataView* view, uint32_t list) {
  if (list >= view->db->tables.size()) return {nullptr, 0};
  return view->db->tables[list]->name;
}

uint32_t GetUserListCardCount(const UserDataView* view, uint32_t list) {
  if (list >= view->db->tables.size()) return 0;
  const FirstGenTable* t = view->db->tables[list];
  return t->rowCount < t->rowCapacity ? t->rowCount : static_cast<uint32_t>(t->rowCapacity);
}

int ReadUserCard(UserDataView* view, uint32_t list, uint32_t k, FirstGenCardRecord* card) {
  *card = FirstGenCardRecord{};
  if (list >= view->db->tables.size()) return 1;
  FirstGenTable* table = view->db->tables[list];
  uint32_t block = 0, row = 0;
  if (FindBlockOfRow(table, 0, k, &block, &row) != 0 || LoadFirstGenBlock(table, 0, block) != 0) return 1;
  const ByteView r = GetBlockRow(table, row);
  if (r.size == 0) return 1;
  card->dictionaryId = ViewLe32(r, 0);
  card->entryNumber = ViewLe32(r, 4);
  card->firstReview = ViewLe32(r, 8);
  card->lastReview = ViewLe32(r, 12);
  card->flags = ViewLe32(r, 16);
  card->history = ViewLe32(r, 20);
  card->correct = ViewLe16(r, 24);
  card->incorrect = ViewLe16(r, 26);
  card->counterA = ViewByte(r, 28);
  card->counterB = ViewByte(r, 29);
  card->rank = ViewByte(r, 30);
  return 0;
}

}  // namespace converter
