// A stand-in for the recogniser library: HWRecognize answers with the codes
// a test scripts and records how it was called. The test reaches the two
// script functions through the library it loaded.
#include <cstdint>

extern "C" {

namespace {
uint16_t gCodes[64];
int gCodeCount = 0;
int gResult = 0;
int gCalls = 0;
int gLastMax = -1;
uint32_t gLastFlags = 0;
const int16_t* gLastInk = nullptr;
}  // namespace

// `result` is what HWRecognize returns; it writes min(count, 64) codes,
// as many as it is told, whatever maxCount says (a faulty library).
__attribute__((visibility("default"))) void ScriptRecognizer(const uint16_t* codes, int count, int result) {
  gCodeCount = count < 0 ? 0 : count > 64 ? 64 : count;
  for (int i = 0; i < gCodeCount; ++i) gCodes[i] = codes[i];
  gResult = result;
  gCalls = 0;
  gLastMax = -1;
  gLastFlags = 0;
  gLastInk = nullptr;
}

__attribute__((visibility("default"))) void RecognizerLastCall(int* calls, int* maxCount, uint32_t* flags,
                                                               const int16_t** ink) {
  *calls = gCalls;
  *maxCount = gLastMax;
  *flags = gLastFlags;
  *ink = gLastInk;
}

__attribute__((visibility("default"))) int HWRecognize(const int16_t* ink, uint16_t* out, int maxCount,
                                                       uint32_t flags) {
  ++gCalls;
  gLastMax = maxCount;
  gLastFlags = flags;
  gLastInk = ink;
  for (int i = 0; i < gCodeCount; ++i) out[i] = gCodes[i];
  return gResult;
}
}
