#include "engine/entry_fetch_seams.h"

#include "engine/entry_fetch.h"
#include "engine/text_buffer.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_search.h"

int FetchUserDictEntrySeam(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer) {
  if (!buffer) return kFetchNoEntry;
  TextBufInit(buffer);
  int result = LoadUserDictEntryText(engine, request, buffer);
  TextBufFinish(buffer);
  return result;
}

uint16_t GetUserDictWordLengthSeam(DictEngine* engine, uint16_t slot, uint32_t uid) {
  return GetUserDictEntryLength(engine, slot, static_cast<int32_t>(uid));
}
