#include "tests/support/fake_engine_host.h"

#include "engine/dict_engine.h"

namespace {

// The store the fake hands out is the fake itself: the engine only keeps
// the pointer and passes it back.
FakeEngineHost* FromStore(FlashcardStore* store) { return reinterpret_cast<FakeEngineHost*>(store); }
FakeEngineHost* FromEngine(DictEngine* engine) {
  return static_cast<FakeEngineHost*>(GetEngineHost(engine)->context);
}

FlashcardStore* Open(DictEngine* engine, void* arg) {
  FakeEngineHost* fake = FromEngine(engine);
  ++fake->openCalls;
  fake->lastArg = arg;
  return fake->giveStore ? reinterpret_cast<FlashcardStore*>(fake) : nullptr;
}

int Close(FlashcardStore* store) {
  ++FromStore(store)->closeCalls;
  return 0;
}

int32_t Save(FlashcardStore* store, CardEditRecord* record, int32_t cardId) {
  FakeEngineHost* fake = FromStore(store);
  ++fake->saveCalls;
  fake->lastCard = *record;
  fake->lastCategories.assign(record->categories, record->categories + record->categoryCount);
  fake->lastCard.categories = nullptr;
  fake->lastCardId = cardId;
  if (fake->saveFails) return -1;
  record->usedExisting = fake->cardExisted ? 1 : 0;
  record->filed = fake->cardFiled ? 1 : 0;
  return 1;
}

int IndexCurrent(FlashcardStore* store) { return FromStore(store)->indexCurrent ? 1 : 0; }

int Relink(FlashcardStore* store, uint32_t, uint32_t, int32_t uid) {
  FromStore(store)->relinked.push_back(uid);
  return 0;
}

// One category, id 7, named "Words"; the pseudo ids as the store names them.
int CategoryName(FlashcardStore*, int32_t category, WCHAR* buffer, uint32_t* length) {
  const char16_t* name = category == 7    ? u"Words"
                         : category == -1 ? u"None"
                         : category == -2 ? u"Flashcards"
                         : category == -3 ? u"Uncategorized"
                                          : u"";
  uint32_t n = 0;
  while (name[n]) ++n;
  uint32_t i = 0;
  for (; i + 1 < *length && i < n; ++i) buffer[i] = name[i];
  if (*length) buffer[i] = 0;
  *length = n;
  return n ? 0 : 1;
}

void AddFonts(DictEngine* engine, const char* const*, uint32_t count) {
  FakeEngineHost* fake = FromEngine(engine);
  ++fake->addFontCalls;
  fake->lastFontCount = count;
}
void FreeFonts(DictEngine* engine) { ++FromEngine(engine)->freeFontCalls; }
void RenderMode(DictEngine* engine) { ++FromEngine(engine)->renderModeCalls; }

}  // namespace

FakeEngineHost::FakeEngineHost() {
  host.context = this;
  host.openFlashcardStore = Open;
  host.closeFlashcardStore = Close;
  host.saveCard = Save;
  host.isFlashcardIndexCurrent = IndexCurrent;
  host.relinkCardsOfUserEntry = Relink;
  host.getCategoryDisplayName = CategoryName;
  host.addFontSlots = AddFonts;
  host.freeFontSlots = FreeFonts;
  host.applyFontRenderMode = RenderMode;
}

void FakeEngineHost::ResetCards() {
  saveCalls = 0;
  lastCard = CardEditRecord{};
  lastCategories.clear();
  lastCardId = 0;
  saveFails = false;
  cardExisted = false;
  cardFiled = false;
}
