#include "engine/engine_seams.h"

#include "engine/code_pages.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"

SqlDb* OpenUserDatabaseSeam(const char*) { return nullptr; }
void CloseUserDatabaseSeam(SqlDb*) {}
int VacuumUserDatabaseSeam(SqlDb*) { return 0; }

int OpenUserDictSlotSeam(DictEngine*, SqlDb*) { return 1; }
void FreeUserDictSlotSeam(DictSlot*) {}
int GetUserDictNumberSeam(const DictSlot*, const char*, uint32_t*) { return 1; }
int GetUserDictTextSeam(const DictSlot*, const char*, WCHAR* buf, uint32_t n) {
  if (buf && n) buf[0] = 0;
  return 1;
}
int HasUserDictEntrySeam(DictEngine*, uint16_t, int32_t) { return 0; }
int32_t UserDictEntryAtPositionSeam(DictEngine*, uint16_t, int32_t position) { return position; }
int32_t UserDictPositionOfEntrySeam(DictEngine*, uint16_t, int32_t entry) { return entry; }
void SetUserDictIconSeam(DictEngine*, uint16_t, const WCHAR*, uint32_t, uint32_t) {}
int SetUserDictTextSeam(DictEngine*, uint16_t, int, const WCHAR*) { return 1; }
int GetUserDictImportRangeSeam(DictEngine*, uint16_t, uint32_t*, uint32_t*, uint32_t*) { return 1; }
int UndoUserDictImportSeam(DictEngine*, uint16_t) { return 1; }
int SetUserDictEditLockSeam(DictEngine*, uint16_t, int, UserDictProgress*) { return 1; }
int BuildUserDictSearchIndexSeam(DictEngine*, uint16_t, UserDictProgress*) { return 1; }
int CreateUserDictSeam(DictEngine*, uint32_t, uint32_t, const WCHAR*) { return 1; }

void LoadCodePagesSeam(DictEngine* engine, DataFileDb* const* readers, uint32_t count) {
  LoadCodePages(engine, readers, count);
}
void FreeCodePagesSeam(DictEngine* engine) { FreeCodePages(engine); }
int FindCodePageSeam(DictEngine* engine, uint32_t encoding) { return FindCodePage(encoding, engine) ? 1 : 0; }

void AddFontSlotSeam(DictEngine*, const char* const*, uint32_t) {}
void FreeFontSlotsSeam(DictEngine*) {}
void ApplyFontRenderModeSeam(DictEngine*) {}

int FindCharEntryInSlotSeam(DictEngine*, uint16_t, WCHAR, int32_t* entry) {
  if (entry) *entry = -1;
  return 1;
}
