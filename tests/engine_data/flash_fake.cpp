// The flashcard services the engine calls, for tests: a store that counts
// how it is opened and closed.
#include "tests/engine_data/flash_fake.h"

namespace flashfake {
int openCalls = 0;
int closeCalls = 0;
void* lastArg = nullptr;
bool giveStore = false;
int saveCalls = 0;
CardEditRecord lastCard{};
std::vector<int32_t> lastCategories;
int32_t lastCardId = 0;
bool saveFails = false;
bool cardExisted = false;
bool cardFiled = false;

void ResetCards() {
  saveCalls = 0;
  lastCard = CardEditRecord{};
  lastCategories.clear();
  lastCardId = 0;
  saveFails = false;
  cardExisted = false;
  cardFiled = false;
}
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

// Records the card and answers as the test asked: card id 1, or -1 without
// a store or when told to fail.
int32_t SaveCard(FlashcardStore* store, CardEditRecord* record, int32_t cardId) {
  ++flashfake::saveCalls;
  flashfake::lastCard = *record;
  flashfake::lastCategories.assign(record->categories, record->categories + record->categoryCount);
  flashfake::lastCard.categories = nullptr;
  flashfake::lastCardId = cardId;
  if (!store || flashfake::saveFails) return -1;
  record->usedExisting = flashfake::cardExisted ? 1 : 0;
  record->filed = flashfake::cardFiled ? 1 : 0;
  return 1;
}
