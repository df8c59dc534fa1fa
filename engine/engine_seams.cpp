#include "engine/engine_seams.h"

#include "engine/code_pages.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/sql_db.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_import.h"

SqlDb* OpenUserDatabaseSeam(const char* utf8Path) { return SqlOpen(utf8Path); }
void CloseUserDatabaseSeam(SqlDb* db) { SqlClose(db); }
int VacuumUserDatabaseSeam(SqlDb* db) { return SqlVacuum(db); }

int OpenUserDictSlotSeam(DictEngine* engine, SqlDb* db) { return OpenUserDict(engine, db); }
void FreeUserDictSlotSeam(DictSlot* slot) { FreeUserDictSlot(slot); }
int GetUserDictNumberSeam(const DictSlot* slot, const char* name, uint32_t* value) {
  return GetUserDictNumberByName(slot, name, value);
}
int GetUserDictTextSeam(const DictSlot* slot, const char* name, WCHAR* buf, uint32_t n) {
  return GetUserDictTextByName(slot, name, buf, n);
}
// A query that fails cannot confirm the entry.
int HasUserDictEntrySeam(DictEngine* engine, uint16_t slot, int32_t uid) {
  return HasUserDictEntry(engine, slot, uid) == 1 ? 1 : 0;
}
int32_t UserDictEntryAtPositionSeam(DictEngine* engine, uint16_t slot, int32_t position) {
  return GetUserDictEntryAtLine(engine, slot, position);
}
int32_t UserDictPositionOfEntrySeam(DictEngine* engine, uint16_t slot, int32_t entry) {
  return GetUserDictLineOfEntry(engine, slot, entry);
}
void SetUserDictIconSeam(DictEngine* engine, uint16_t slot, const WCHAR* text, uint32_t textColor,
                         uint32_t fillColor) {
  SetUserDictIcon(engine, slot, text, textColor, fillColor);
}
int SetUserDictTextSeam(DictEngine* engine, uint16_t slot, int which, const WCHAR* text) {
  return SetUserDictText(engine, slot, which, text);
}
int GetUserDictImportRangeSeam(DictEngine* engine, uint16_t slot, uint32_t* first, uint32_t* last,
                               uint32_t* count) {
  return GetLastUserDictImport(engine, slot, first, last, count);
}
int UndoUserDictImportSeam(DictEngine* engine, uint16_t slot) { return UndoLastUserDictImport(engine, slot); }
int SetUserDictEditLockSeam(DictEngine* engine, uint16_t slot, int on, UserDictProgress* progress) {
  return SetUserDictEditLock(engine, slot, on, progress);
}
int BuildUserDictSearchIndexSeam(DictEngine* engine, uint16_t slot, UserDictProgress* progress) {
  return BuildUserDictSearchIndex(engine, slot, progress);
}
int CreateUserDictSeam(DictEngine* engine, uint32_t language, uint32_t transLanguage, const WCHAR* name) {
  return CreateUserDictFileNamed(engine, language, transLanguage, name);
}

void LoadCodePagesSeam(DictEngine* engine, DataFileDb* const* readers, uint32_t count) {
  LoadCodePages(engine, readers, count);
}
void FreeCodePagesSeam(DictEngine* engine) { FreeCodePages(engine); }
int FindCodePageSeam(DictEngine* engine, uint32_t encoding) { return FindCodePage(encoding, engine) ? 1 : 0; }

void AddFontSlotSeam(DictEngine*, const char* const*, uint32_t) {}
void FreeFontSlotsSeam(DictEngine*) {}
void ApplyFontRenderModeSeam(DictEngine*) {}

int FindCharEntryInSlotSeam(DictEngine* engine, uint16_t slot, WCHAR ch, int32_t* entry) {
  if (entry) *entry = -1;
  const WCHAR headword[2] = {ch, 0};
  const uint32_t slots[1] = {slot};
  SearchResultList* list =
      FindEntriesByHeadword(engine, slots, 1, headword, nullptr, nullptr, kLanguageChinese, 65535, 0, 1, 1, 0);
  if (!list) return 1;
  if (entry) *entry = static_cast<int32_t>(list->items[0].entry);
  FreeResultList(list);
  return 0;
}
