// Feeds arbitrary stroke data to the stroke box, as a data file's stroke
// record would reach it. Input: point capacity and stroke capacity (one
// byte each, scaled), the load flags byte, then little-endian 16-bit values.
// The box is then advanced in the order of a choice list, hit-tested, chosen
// with the pen and moved, without a window (nothing is drawn). No input may
// make it read or write outside its arrays or break its counts.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "toolkit/control_strokebox.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckCounts(const StrokeboxState* s) {
  Check(s->strokeCount <= s->strokeCapacity);
  Check(s->outlineCount <= s->outlineCapacity);
  Check(s->midlineCount <= s->midlineCapacity);
  Check(s->shown <= s->strokeCount || s->strokeCount == 0);
  for (uint16_t i = 0; i < s->strokeCount; ++i) {
    Check(s->strokeStarts[i] <= s->outlineCount);
    Check(s->midlineStarts[i] <= s->midlineCount);
    if (i) Check(s->strokeStarts[i - 1] <= s->strokeStarts[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  StrokeboxCreateParams params{};
  params.pointCapacity = static_cast<uint16_t>(data[0] * 8);  // up to 2040, past the program's 2000
  params.strokeCapacity = static_cast<uint16_t>(data[1] % 64);
  params.doubleCoordinates = data[2] >> 7;
  params.boxRect = ShortRect{static_cast<int16_t>(data[2] & 7), 3, 200, 200};
  const uint32_t flags = (static_cast<uint32_t>(data[2] & 0x3) << 16) | kStrokeLoadNoRepaint;
  std::vector<uint16_t> values;
  for (size_t i = 3; i + 1 < size && values.size() < 0xFFFF; i += 2)
    values.push_back(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
  StrokeboxState* s = NewStrokeboxState(nullptr, &params);
  if (!s) return 0;
  LoadStrokes(s, values.data(), static_cast<uint16_t>(values.size()), flags);
  CheckCounts(s);
  // Choose strokes with the pen at points of the data, then advance in the
  // order of the choice list after loading the same data ordered.
  SetStrokeChoosing(s, 1);
  for (size_t i = 0; i + 1 < values.size() && i < 64; i += 2) {
    int x = values[i] % 400, y = values[i + 1] % 400;
    StrokeboxPenEvent(s, 0, x, y);
    StrokeboxPenEvent(s, 1, y, x);
    StrokeboxPenEvent(s, 2, y, x);
    uint8_t direction = 0;
    uint16_t hit = HitTestStroke(s, x, y, y, x, &direction, 1);
    Check(hit == kNoStroke || hit < s->strokeCount);
    CheckCounts(s);
  }
  LoadStrokes(s, values.data(), static_cast<uint16_t>(values.size()), kStrokeLoadOrdered | kStrokeLoadNoRepaint);
  for (int i = 0; i < 70 && !AdvanceStrokes(s, 1, 0); ++i) CheckCounts(s);
  StepBackStroke(s);
  MoveStrokebox(s, ShortRect{-5, 9, 100, 100});
  CheckCounts(s);
  FreeStrokeboxState(s);
  return 0;
}
