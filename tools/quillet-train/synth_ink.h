// Synthetic writings of a character from its stroke medians: random affine
// transform, smooth warp, per-stroke jitter, speed-dependent resampling,
// stroke-end hooks and occasional joined strokes; and, for robustness to other
// hands, straightened strokes, dropped hooks, moved components, changed stroke
// lengths, uneven pen speed and small order and direction faults.
#pragma once
#include <cstdint>
#include <vector>

#include "tools/quillet-train/ink_text.h"

namespace quillet_tools {

// Ranges of the generator; Scaled() multiplies every distortion by a factor
// (1 = training, 1.5 = the harder evaluation setting).
//
// The "other hand" kinds below the first block are off in a default
// SynthParams, so the reference evaluation keeps producing exactly the
// writings it always did; TrainingParams() switches them on. They draw from a
// random stream of their own, so switching one on never changes what the
// other steps draw.
struct SynthParams {
  double minBox = 100, maxBox = 400;  // writing box side, px
  double aspect = 0.15;               // x and y scale each 1 +- aspect
  double rotateDeg = 6;               // whole character
  double shear = 0.12;
  double warp = 0.04;                 // smooth warp amplitude, box fraction
  double strokeShift = 0.03;          // per stroke, box fraction (sigma)
  double strokeScale = 0.08;          // per stroke, 1 +- this
  double strokeRotateDeg = 4;
  double pointJitter = 0.003;         // per point, box fraction (sigma)
  double minStep = 1.5, maxStep = 12; // resampling distance, px
  double hookChance = 0.25;
  double joinChance = 0.08;

  // Straightened strokes (per writing: one hand writes all strokes alike):
  // each stroke becomes the Douglas-Peucker polyline of its turning points at
  // a tolerance drawn from this range (em-box fraction).
  double straightenChance = 0;
  double minStraighten = 0.02, maxStraighten = 0.12;
  // Dropped hooks and serifs (per stroke): the last short turn is cut off.
  double hookDropChance = 0;
  // Component shift (per writing): a run of strokes that overlaps little
  // with the rest moves (sigma, em-box fraction) and scales (width and
  // height each 1 +- this) together. The shift is wider than the per-stroke
  // shift on purpose.
  double componentChance = 0;
  double componentShift = 0.06;
  double componentScale = 0.20;
  // Stroke proportions (per stroke): length 1 +- this, along the stroke.
  double proportionChance = 0;
  double proportion = 0.20;
  // Uneven pen speed (per stroke): dense points at corners and ends,
  // sparse on straight runs.
  double speedChance = 0;
  // Order faults (per writing): two neighbouring strokes swapped; one
  // stroke drawn backwards.
  double swapChance = 0;
  double reverseChance = 0;

  SynthParams Scaled(double f) const;
};

// The training recipe: today's distortions plus every other-hand kind at its
// training chance (README.md, "The recipe").
SynthParams TrainingParams();

// Evaluation kinds: one other-hand kind alone, always applied, on top of the
// default distortions. Unknown names give false.
bool KindParams(const char* name, SynthParams* out);
// The names KindParams knows, in report order.
std::vector<const char*> SynthKindNames();

// A small deterministic generator (splitmix64).
struct SynthRandom {
  uint64_t state;
  uint64_t Next();
  double Uniform(double lo, double hi);
  double Gauss(double sigma);
};

SynthRandom MakeRandom(uint64_t seed, uint64_t character, uint64_t sample);

// medians: strokes in writing order inside a 0..1023 box, y down.
std::vector<Stroke> SynthesizeWriting(const std::vector<Stroke>& medians, const SynthParams& params,
                                      SynthRandom* rng);

// The steps of the other-hand kinds, exposed for their tests.

// Douglas-Peucker: keeps both ends and every point that lies farther than
// `tolerance` from the chord of the points kept around it.
Stroke StraightenStroke(const Stroke& s, double tolerance);

// Cuts off the stroke's last turn when it is short: shorter than
// `maxTurn` and than a third of the stroke, and turning by more than 45
// degrees. The points up to the corner stay as they are. Returns false
// (stroke unchanged) when the stroke ends without such a turn.
bool DropLastTurn(Stroke* s, double maxTurn);

// Lengthens (factor > 1) or shortens the stroke along itself, half at each
// end: ends are extended along their end segments, or trimmed along the path.
Stroke ChangeStrokeLength(const Stroke& s, double factor);

// Resamples a polyline at a step that shrinks near corners (turns of more
// than 30 degrees) and ends to a third and grows on straight runs to 2.5
// times `step`; `reach` is the distance over which the pen speeds up.
Stroke ResampleUneven(const Stroke& s, double step, double reach);

// Runs of consecutive strokes [first, last) whose bounding box overlaps the
// box of the other strokes by at most a fifth of the smaller box: candidate
// components (a radical, one side of a left-right character).
struct StrokeRun {
  size_t first, last;
};
std::vector<StrokeRun> FindComponents(const std::vector<Stroke>& strokes);

}  // namespace quillet_tools
