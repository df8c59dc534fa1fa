#include "recognizer/recognizer.h"

#include "recognizer/quillet.h"

namespace quillet {

namespace {

bool IsGestureCode(uint16_t code) {
  return code == 8 || code == 9 || code == 13 || code == 16 || code == 32;
}

}  // namespace

int PrepareInk(const int16_t* ink, RecognizerWorkArea* wa) {
  int strokes = CleanInk(ink, wa->ink);
  if (strokes == 0) return 0;
  strokes = NormalizeInk(wa->ink, strokes, wa->xMap, wa->yMap);
  if (strokes == 0) return 0;
  DrawStrokes(wa->ink, wa->grid);
  return strokes;
}

int ComputeFeatures(TemplateTable table, const int16_t* ink, RecognizerWorkArea* wa) {
  if (PrepareInk(ink, wa) == 0) return 0;
  ExtractFeatures(table, wa->ink, wa->grid, &wa->features, wa->sums, &wa->projected);
  return 1;
}

int ConvertCandidates(TemplateTable table, const CandidateEntry* candidates, int n, uint32_t flags,
                      RecognizerWorkArea* wa) {
  int raw = 0;
  for (int i = 0; i < n && raw < kMaxRawCodes; ++i) {
    const uint16_t cls = EntryClass(candidates[i]);
    const uint16_t score = EntryScore(candidates[i]);
    if (!(cls & kMarkedClass)) {
      wa->rawCodes[raw] = ClassCode(table, cls);
      wa->rawScores[raw++] = score;
      continue;
    }
    const uint16_t base = ClassCode(table, cls & 0x7FFF);
    if (flags & kToSimplified) {
      for (int k = 0; k < kVariantPairs && raw < kMaxRawCodes; ++k)
        if (ListA(table, k) == base) {
          wa->rawCodes[raw] = ListB(table, k);
          wa->rawScores[raw++] = score;
        }
    } else if (flags & kToTraditional) {
      for (int k = 0; k < kVariantPairs && raw < kMaxRawCodes; ++k)
        if (ListB(table, k) == base) {
          wa->rawCodes[raw] = ListA(table, k);
          wa->rawScores[raw++] = score;
        }
    }
  }
  int count = 0;
  for (int i = 0; i < raw && count < kMaxResults; ++i) {
    bool taken = false;
    for (int j = 0; j < count && !taken; ++j) taken = wa->codes[j] == wa->rawCodes[i];
    if (taken) continue;
    wa->codes[count] = wa->rawCodes[i];
    wa->scores[count++] = wa->rawScores[i];
  }
  if ((flags & kGestures) && count > 0) {
    if (IsGestureCode(wa->codes[0])) {
      count = 1;
    } else {
      int kept = 1;
      for (int i = 1; i < count; ++i) {
        if (IsGestureCode(wa->codes[i])) continue;
        wa->codes[kept] = wa->codes[i];
        wa->scores[kept++] = wa->scores[i];
      }
      count = kept;
    }
  }
  wa->resultCount = static_cast<uint16_t>(count);
  return count;
}

int RecognizeCore(TemplateTable table, const int16_t* ink, uint32_t flags, RecognizerWorkArea* wa) {
  wa->resultCount = 0;
  if (ComputeFeatures(table, ink, wa) == 0) return 0;
  const int n = FineMatchStage(table, &wa->match, wa->projected, flags);
  return ConvertCandidates(table, wa->match.candidates, n, flags, wa);
}

}  // namespace quillet

extern "C" QUILLET_API int HWRecognize(const int16_t* ink, uint16_t* out, int maxCount, uint32_t flags) {
  // out must hold maxCount + 1 codes; a count below 1 leaves no valid place
  // for the closing 0, so it is refused like any other failure.
  if (ink == nullptr || out == nullptr || maxCount < 1) return 0;
  quillet::RecognizerWorkArea wa;
  const int found = quillet::RecognizeCore(quillet::BuiltInTemplateTable(),
                                           ink, flags & 0xFFFF, &wa);
  if (found == 0) return 0;
  const int count = found < maxCount ? found : maxCount;
  for (int i = 0; i < count; ++i) out[i] = wa.codes[i];
  out[count] = 0;
  return count;
}
