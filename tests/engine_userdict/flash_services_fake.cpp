// The flashcard services the user dictionaries call, for these tests: a
// store whose index can be made stale and that records relinks. Defined
// here in whole, so the shared test store is never linked in beside it.
#include "tests/engine_userdict/userdict_fixture.h"

struct FlashcardStore {
  int unused;
};

namespace udfake {
bool giveStore = false;
bool indexCurrent = true;
std::vector<int32_t> relinked;
}  // namespace udfake

namespace {
FlashcardStore theStore;
}

FlashcardStore* OpenFlashcardStoreFromEngine(DictEngine*, void*) { return udfake::giveStore ? &theStore : nullptr; }
int CloseFlashcardStore(FlashcardStore*) { return 0; }
int IsFlashcardIndexCurrent(FlashcardStore*) { return udfake::indexCurrent ? 1 : 0; }
int RelinkCardsOfUserEntry(FlashcardStore*, uint32_t, uint32_t, int32_t uid) {
  udfake::relinked.push_back(uid);
  return 0;
}
