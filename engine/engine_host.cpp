#include "engine/engine_host.h"

#include "engine/dict_engine.h"

const EngineHost* GetEngineHost(const DictEngine* engine) { return engine ? engine->host : nullptr; }

namespace {

// The member, or null when the engine has no host or the host lacks it.
template <typename Fn>
Fn Member(const DictEngine* engine, Fn EngineHost::*member) {
  const EngineHost* host = GetEngineHost(engine);
  return host ? host->*member : nullptr;
}

}  // namespace

FlashcardStore* HostOpenFlashcardStore(DictEngine* engine, void* arg) {
  auto open = Member(engine, &EngineHost::openFlashcardStore);
  return open ? open(engine, arg) : nullptr;
}

void HostCloseFlashcardStore(DictEngine* engine, FlashcardStore* store) {
  auto close = Member(engine, &EngineHost::closeFlashcardStore);
  if (close && store) close(store);
}

int32_t HostSaveCard(DictEngine* engine, CardEditRecord* record, int32_t card) {
  auto save = Member(engine, &EngineHost::saveCard);
  FlashcardStore* store = GetFlashcardStore(engine);
  return save && store && record ? save(store, record, card) : -1;
}

int HostIsFlashcardIndexCurrent(DictEngine* engine) {
  auto current = Member(engine, &EngineHost::isFlashcardIndexCurrent);
  FlashcardStore* store = GetFlashcardStore(engine);
  // Without a store there is no index to upgrade.
  return current && store ? current(store) : 1;
}

int HostRelinkCardsOfUserEntry(DictEngine* engine, uint32_t creator, uint32_t dictId, int32_t uid) {
  auto relink = Member(engine, &EngineHost::relinkCardsOfUserEntry);
  FlashcardStore* store = GetFlashcardStore(engine);
  return relink && store ? relink(store, creator, dictId, uid) : 0;
}

int HostGetCategoryDisplayName(DictEngine* engine, int32_t category, WCHAR* buffer, uint32_t* length) {
  auto name = Member(engine, &EngineHost::getCategoryDisplayName);
  FlashcardStore* store = GetFlashcardStore(engine);
  if (name && store) return name(store, category, buffer, length);
  if (buffer && length && *length) buffer[0] = 0;
  if (length) *length = 0;
  return 1;
}

void HostAddFontSlots(DictEngine* engine, const char* const* paths, uint32_t count) {
  if (auto add = Member(engine, &EngineHost::addFontSlots)) add(engine, paths, count);
}

void HostFreeFontSlots(DictEngine* engine) {
  if (auto free = Member(engine, &EngineHost::freeFontSlots)) free(engine);
}

void HostApplyFontRenderMode(DictEngine* engine) {
  if (auto apply = Member(engine, &EngineHost::applyFontRenderMode)) apply(engine);
}
