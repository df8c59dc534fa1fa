// The flashcard services the engine calls, for tests: a store that counts
// how it is opened and closed.
#include "tests/engine_data/flash_fake.h"

namespace flashfake {
int openCalls = 0;
int closeCalls = 0;
void* lastArg = nullptr;
bool giveStore = false;
}  // namespace flashfake

struct FlashcardStore {
  int unused;
};

namespace {
FlashcardStore theStore;
}

FlashcardStore* OpenFlashcardStoreFromEngine(DictEngine*, void* arg) {
  ++flashfake::openCalls;
  flashfake::lastArg = arg;
  return flashfake::giveStore ? &theStore : nullptr;
}

int CloseFlashcardStore(FlashcardStore* store) {
  if (store) ++flashfake::closeCalls;
  return 0;
}

// The fake store keeps no cards: its indexes are always current and there is
// nothing to relink.
int IsFlashcardIndexCurrent(FlashcardStore*) { return 1; }

int RelinkCardsOfUserEntry(FlashcardStore*, uint32_t, uint32_t, int32_t) { return 0; }
