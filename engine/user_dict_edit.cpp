// Updating an entry asks the flashcard store first and relinks its cards
// afterwards. Kept apart from the other entry functions so that programs
// that open user dictionaries without the flashcard subsystem link
// without its services.
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/flash_services.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_import.h"
#include "platform/engine_lock.h"

int UpdateUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, const WCHAR* word, const WCHAR* altword,
                        const WCHAR* pron, const WCHAR* defn) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return -1;
  if (IsUserDictLocked(s) || IsUserDictImportRunningElsewhere(s)) return kUserDictLocked;
  EngineLockGuard lock;
  if (engine->flashcards && !IsFlashcardIndexCurrent(engine->flashcards)) return -1;
  if (SaveUserDictEntry(engine, slot, uid, word, altword, pron, defn) < 0) return 1;
  if (engine->flashcards) RelinkCardsOfUserEntry(engine->flashcards, GetUserDictCreator(s), GetUserDictId(s), uid);
  return 0;
}
