// The application object and the two globals start-up keeps. The program's
// start-up makes and fills the record and sets both globals before the first
// control window exists; the toolkit and every screen only read it. It is
// declared here, below the application, so that the toolkit reaches it
// without linking the application.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/types.h"
#include "platform/wave.h"

struct DictEngine;
struct FlashcardStore;
struct HwrEngineHandle;
struct LookupSession;
struct MemHandle;

inline constexpr uint32_t kAppClipBuffers = 8;  // 64-byte blocks for pronunciation clips

// One zero-filled record for the life of the process (made with
// placement new over zeroed memory: the atomics need their constructor).
struct AppContext {
  DictEngine* engine;
  FlashcardStore* flashcardStore;  // copied from the engine after creation; may be null
  HwrEngineHandle* hwrEngine;      // null when no recogniser was found
  LookupSession* lookupSession;    // the main screen's lookup
  uint16_t fontId;                 // font slot copied into every custom control's create record
  MemHandle* definitionText;       // text shown in the definition field
  void* definitionTextLocked;      // its locked data while shown
  MemHandle* clipBuffers[kAppClipBuffers];
  // Shared by the UI thread and the audio worker without a lock
  // (app/audio_playback.h): busy is set by the starter before the worker
  // exists and cleared by the worker at its very end.
  std::atomic<uint8_t> audioBusy;  // 1 from the start request until the worker ends
  std::atomic<uint8_t> audioStop;  // stop request to the audio worker
  HANDLE audioThread;              // UI thread only
  std::atomic<HWAVEOUT> waveOut;   // the worker's open device, null when none
  // Tool-bar image and tap-and-hold button size: 16 while dpiFactor is at
  // most 3, 22 at 4, 32 above.
  uint32_t iconSize;
  // max(horizontal, vertical dpi) * 3 / 96: 3 at 96 dpi. Layout values are
  // scaled by dpiFactor / 3.
  uint16_t dpiFactor;
  uint8_t fullScreen;
  uint8_t fullScreenPortrait;
  uint8_t fullScreenLandscape;
  uint16_t inputSheetChar;  // start character of the input sheet
  uint8_t osAtLeast5;
  uint8_t osAtLeast5_2_20480;
};

// Null until start-up sets them; never null afterwards.
extern AppContext* AppContextPointer;
extern HINSTANCE AppInstance;
