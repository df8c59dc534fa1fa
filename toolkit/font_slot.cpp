#include "toolkit/font_slot.h"

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "engine/preferences.h"
#include "platform/heap.h"
#include "toolkit/truetype_engine.h"

void AddTrueTypeFontSlot(DictEngine* engine, const char* const* paths, uint32_t count) {
  TrueTypeEngine* tt = CreateTrueTypeEngine(engine, RenderModeFromPref(GetPref(engine, kPrefFontRenderMode)));
  if (!tt) return;
  for (uint32_t i = 0; i < count; ++i) AddFontFile(tt, paths[i]);
  if (engine->fontSlotCount >= kMaxFontSlots) {
    FreeTrueTypeEngine(tt);
    return;
  }
  auto* slot = static_cast<FontSlot*>(LocalAlloc(LPTR, sizeof(FontSlot)));
  if (!slot) {
    FreeTrueTypeEngine(tt);
    return;
  }
  slot->kind = kFontSlotTrueType;
  slot->engine = tt;
  engine->fontSlots[engine->fontSlotCount++] = slot;
}

void FreeFontSlots(DictEngine* engine) {
  for (uint32_t i = 0; i < engine->fontSlotCount; ++i) {
    FontSlot* slot = engine->fontSlots[i];
    if (!slot) continue;
    if (slot->kind == kFontSlotTrueType) FreeTrueTypeEngine(slot->engine);
    LocalFree(slot);
    engine->fontSlots[i] = nullptr;
  }
  engine->fontSlotCount = 0;
}

void ApplyFontRenderMode(DictEngine* engine) {
  uint32_t mode = RenderModeFromPref(GetPref(engine, kPrefFontRenderMode));
  for (uint32_t i = 0; i < engine->fontSlotCount; ++i)
    if (TrueTypeEngine* tt = GetSlotTrueTypeEngine(engine, i)) SetRenderMode(tt, mode);
}

TrueTypeEngine* GetSlotTrueTypeEngine(DictEngine* engine, uint32_t slot) {
  if (!engine || slot >= engine->fontSlotCount) return nullptr;
  FontSlot* s = engine->fontSlots[slot];
  return s && s->kind == kFontSlotTrueType ? s->engine : nullptr;
}

void SetFontSlotHost(EngineHost* host) {
  host->addFontSlots = AddTrueTypeFontSlot;
  host->freeFontSlots = FreeFontSlots;
  host->applyFontRenderMode = ApplyFontRenderMode;
}
