// What the engine and the display toolkit use of the application: the
// application object and the two globals start-up keeps. The application
// defines them; engine and toolkit only read them.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct FlashcardStore;

// Made at start-up with its engine before any control window exists; lives
// until shutdown.
struct AppContext {
  DictEngine* engine;
  FlashcardStore* flashcards;
  uint16_t interfaceFontSlot;  // default font slot of the small controls
  // Tap-and-hold button size: 16 for a resolution factor up to 3, 22 at 4,
  // 32 above.
  int16_t holdButtonSize;
  // 3 x the larger screen dpi / 96 (3 at 96 dpi).
  uint16_t resolutionFactor;
};

// Set by start-up before the first control is created; never null after.
extern AppContext* AppContextPointer;
extern HINSTANCE AppInstance;
