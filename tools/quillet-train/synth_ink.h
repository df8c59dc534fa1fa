// Synthetic writings of a character from its stroke medians: random affine
// transform, smooth warp, per-stroke jitter, speed-dependent resampling,
// stroke-end hooks and occasional joined strokes.
#pragma once
#include <cstdint>
#include <vector>

#include "tools/quillet-train/ink_text.h"

namespace quillet_tools {

// Ranges of the generator; Scaled() multiplies every distortion by a factor
// (1 = training, 1.5 = the harder evaluation setting).
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

  SynthParams Scaled(double f) const;
};

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

}  // namespace quillet_tools
