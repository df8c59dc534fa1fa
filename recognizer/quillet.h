// Quillet: the handwriting recogniser. One exported function.
#pragma once
#include <cstdint>

#if defined(QUILLET_BUILD)
#define QUILLET_API __attribute__((visibility("default")))
#else
#define QUILLET_API
#endif

extern "C" {

// ink: pairs {x, y} of int16; (-1, 0) ends a stroke, y = -1 ends the ink.
// out: room for maxCount + 1 codes. Returns the number of codes written
// (out[count] is set to 0), or 0 with out untouched.
QUILLET_API int HWRecognize(const int16_t* ink, uint16_t* out, int maxCount, uint32_t flags);

typedef int (*HWRecognizeProc)(const int16_t* ink, uint16_t* out, int maxCount, uint32_t flags);
}
