// The engine's font slots: up to 16, numbered in the order of adding. The
// only kind made is the TrueType slot; a slot of any other kind measures 0
// and draws nothing. The engine reaches these through its host table
// (engine/engine_host.h), since it never links the toolkit.
#pragma once

#include <cstdint>

struct DictEngine;
struct EngineHost;
struct TrueTypeEngine;

inline constexpr uint32_t kFontSlotTrueType = 1;

struct FontSlot {
  uint32_t kind;
  TrueTypeEngine* engine;
};

// A TrueType slot over the paths in the render mode of preference 218
// (files that cannot be added are skipped). No slot when the engine cannot
// be made or 16 slots exist.
void AddTrueTypeFontSlot(DictEngine* engine, const char* const* paths, uint32_t count);
// Frees every slot; the count becomes 0.
void FreeFontSlots(DictEngine* engine);
// Reads preference 218 again into every slot.
void ApplyFontRenderMode(DictEngine* engine);
// The slot's TrueType engine, or null (no such slot, other kind).
TrueTypeEngine* GetSlotTrueTypeEngine(DictEngine* engine, uint32_t slot);

// Fills the font members of a host table with the three above.
void SetFontSlotHost(EngineHost* host);
