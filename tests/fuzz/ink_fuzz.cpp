// Feeds arbitrary bytes to the recogniser as raw ink. Input: a flags byte, a
// count byte, then {x, y} pairs of little-endian int16. The ink always gets
// its end marks behind the input, as the ink box writes them, so the input
// decides everything before them. Nothing an ink holds may make the
// recogniser read or write out of bounds, divide by zero or loop forever.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "recognizer/quillet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t flags = data[0];
  const int maxCount = data[1] % 40;  // 0 asks for nothing
  std::vector<int16_t> ink;
  for (size_t i = 2; i + 1 < size; i += 2) ink.push_back(static_cast<int16_t>(data[i] | (data[i + 1] << 8)));
  if (ink.size() % 2) ink.pop_back();
  for (int16_t v : {-1, 0, -1, -1}) ink.push_back(v);  // end the stroke, then the ink
  std::vector<uint16_t> out(static_cast<size_t>(maxCount) + 1, 0xFFFF);
  const int n = HWRecognize(ink.data(), out.data(), maxCount, flags);
  // The contract: at most maxCount codes and a terminator behind them.
  if (n < 0 || n > maxCount || (n > 0 && out[static_cast<size_t>(n)] != 0)) __builtin_trap();
  return 0;
}
