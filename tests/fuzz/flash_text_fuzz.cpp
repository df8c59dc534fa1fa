// Feeds arbitrary bytes to the readers of the texts a flashcard database
// stores beside its SQL values: the integer lists of profile settings and
// the history text of score rows. A file may hold any text there; nothing
// in it may make them write out of bounds or leak, and a list written back
// must read the same number of groups.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "flash/card_scores.h"
#include "flash/profile_settings.h"
#include "platform/heap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint32_t groupSize = 1 + (data[0] & 3);
  const int flagged = (data[0] >> 2) & 1;
  std::u16string text;
  for (size_t i = 1; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (unit) text.push_back(unit);
  }
  uint32_t count = 0;
  int32_t* values = ParseIntList(text.c_str(), groupSize, flagged, &count);
  if (values) {
    WCHAR* again = FormatIntList(values, count, groupSize, flagged);
    if (!again) std::abort();
    uint32_t recount = 0;
    int32_t* reread = ParseIntList(again, groupSize, flagged, &recount);
    if (recount != count) std::abort();
    LocalFree(reread);
    LocalFree(again);
    LocalFree(values);
  }
  std::string history(reinterpret_cast<const char*>(data + 1), size - 1);
  CardScoreRecord record{};
  DecodeScoreHistory(history.c_str(), &record);
  char encoded[kHistoryTextMax];
  EncodeScoreHistory(&record, encoded);
  return 0;
}
