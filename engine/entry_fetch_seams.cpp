#include "engine/entry_fetch_seams.h"

#include "engine/entry_fetch.h"
#include "engine/text_buffer.h"

int FetchUserDictEntrySeam(DictEngine* /*engine*/, const EntryFetchRequest* /*request*/, TextBuffer* buffer) {
  if (buffer) {
    TextBufInit(buffer);
    TextBufFinish(buffer);
  }
  return kFetchNoEntry;
}

uint16_t GetUserDictWordLengthSeam(DictEngine* /*engine*/, uint16_t /*slot*/, uint32_t /*uid*/) { return 0; }
