// The handwriting recogniser binding. The program does not link the
// recogniser: at start-up it looks for "Quillet.dll" with the file walk,
// loads the first copy in walk order that loads and exports HWRecognize,
// and keeps it in an HwrEngineHandle. Screens that take handwriting call
// RecognizeHandwriting; when no recogniser was found they show
// ShowNoHandwritingEngineMessage instead. UI thread only.
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "recognizer/quillet.h"

inline constexpr uint32_t kHwrPathUnits = 260;
inline constexpr uint32_t kHwrCandidateSlots = 28;
// The recogniser is never asked for more, whatever the caller's maximum.
inline constexpr uint32_t kHwrAskedCandidates = 10;
// The maximum the screens pass with the record's own buffer.
inline constexpr uint32_t kHwrScreenMaximum = 14;

// Zero-filled while a recogniser is loaded.
struct HwrEngineHandle {
  HMODULE module;
  // The last candidate that did not load (empty when the first one did);
  // cut to kHwrPathUnits - 1 units and always terminated.
  WCHAR path[kHwrPathUnits];
  HWRecognizeProc recognize;
  uint16_t candidates[kHwrCandidateSlots];  // callers pass it as the output buffer
  uint16_t count;                           // valid candidates after the last recognition
};

// The record OpenHandwritingEngine is filling during its walk (null
// otherwise); TryLoadHandwritingEngine fills it.
extern HwrEngineHandle* FillingHwrEngine;

// The loaded recogniser, or null when no loadable library with the export
// was found (start-up goes on without one).
HwrEngineHandle* OpenHandwritingEngine();
// Unloads the library and frees the record; null is ignored.
void CloseHandwritingEngine(HwrEngineHandle* engine);

// The walk's callback for "Quillet.dll": 0 (stop) once a copy is loaded and
// bound; 1 (keep looking) for a file that does not load or lacks the
// export, whose path is kept in the record being filled.
uint32_t TryLoadHandwritingEngine(const WCHAR* path, uint16_t param);

// Recognises `ink` (the capture box's points, see recognizer/quillet.h) into
// `out`, keeping only codes from U+3400 up to U+D7FF, packed to the front in
// the recogniser's order; the record's count is set to their number, which
// is returned. A point count of 0 returns 0 at once with the count left as
// it was. `box` is not used by the recogniser. Neither simplified nor
// traditional asked means all three of simplified, traditional and rare.
// `out` holds at least min(maximum, 10) + 1 codes.
uint16_t RecognizeHandwriting(HwrEngineHandle* engine, const int16_t* ink, uint32_t pointCount, const RECT* box,
                              uint16_t* out, uint32_t maximum, int simplified, int traditional, int rare);
// The flag word handed to the recogniser for the three choices.
uint32_t HandwritingFlags(int simplified, int traditional, int rare);

// The message box shown when recognition is asked for without a recogniser.
void ShowNoHandwritingEngineMessage(HWND owner);
