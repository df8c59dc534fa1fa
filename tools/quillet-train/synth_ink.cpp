#include "tools/quillet-train/synth_ink.h"

#include <algorithm>
#include <cmath>

namespace quillet_tools {

SynthParams SynthParams::Scaled(double f) const {
  SynthParams p = *this;
  p.aspect *= f;
  p.rotateDeg *= f;
  p.shear *= f;
  p.warp *= f;
  p.strokeShift *= f;
  p.strokeScale *= f;
  p.strokeRotateDeg *= f;
  p.pointJitter *= f;
  p.hookChance = std::min(1.0, p.hookChance * f);
  p.joinChance = std::min(1.0, p.joinChance * f);
  return p;
}

uint64_t SynthRandom::Next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double SynthRandom::Uniform(double lo, double hi) {
  return lo + (hi - lo) * static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
}

double SynthRandom::Gauss(double sigma) {
  // Sum of four uniforms: close enough to normal, bounded tails.
  double s = 0;
  for (int i = 0; i < 4; ++i) s += Uniform(-1, 1);
  return s * sigma * std::sqrt(3.0 / 4.0);
}

SynthRandom MakeRandom(uint64_t seed, uint64_t character, uint64_t sample) {
  SynthRandom r{seed * 0x100000001B3ull ^ (character << 20) ^ sample};
  r.Next();
  return r;
}

namespace {

constexpr double kPi = 3.14159265358979323846;

Point Rotate(Point p, Point c, double rad) {
  const double s = std::sin(rad), k = std::cos(rad);
  return Point{c.x + (p.x - c.x) * k - (p.y - c.y) * s, c.y + (p.x - c.x) * s + (p.y - c.y) * k};
}

// Points every `step` along the polyline, ends included.
Stroke Resample(const Stroke& s, double step) {
  Stroke out;
  if (s.empty()) return out;
  out.push_back(s[0]);
  double carry = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    const double dx = s[i].x - s[i - 1].x, dy = s[i].y - s[i - 1].y;
    const double len = std::sqrt(dx * dx + dy * dy);
    double t = step - carry;
    while (t < len) {
      out.push_back(Point{s[i - 1].x + dx * t / len, s[i - 1].y + dy * t / len});
      t += step;
    }
    carry = len - (t - step);
  }
  out.push_back(s.back());
  return out;
}

}  // namespace

std::vector<Stroke> SynthesizeWriting(const std::vector<Stroke>& medians, const SynthParams& p,
                                      SynthRandom* rng) {
  const double box = rng->Uniform(p.minBox, p.maxBox);
  // Glyphs keep their place in the 1024 em box, as a writer fills the box.
  const double scale = box / 1024.0;
  const double sx = scale * (1 + rng->Uniform(-p.aspect, p.aspect));
  const double sy = scale * (1 + rng->Uniform(-p.aspect, p.aspect));
  const double rot = rng->Uniform(-p.rotateDeg, p.rotateDeg) * kPi / 180;
  const double shear = rng->Uniform(-p.shear, p.shear);
  const double warpA = rng->Uniform(-p.warp, p.warp) * box, warpB = rng->Uniform(-p.warp, p.warp) * box;
  const double warpPhase = rng->Uniform(0, 2 * kPi);
  const double originX = rng->Uniform(2, 1020 - box), originY = rng->Uniform(2, 1020 - box);
  const Point centre{box / 2, box / 2};

  std::vector<Stroke> strokes;
  for (const Stroke& median : medians) {
    // Per-stroke changes about the stroke's own centre, in glyph units.
    double cx = 0, cy = 0;
    for (const Point& q : median) cx += q.x, cy += q.y;
    cx /= static_cast<double>(median.size());
    cy /= static_cast<double>(median.size());
    const double ss = 1 + rng->Uniform(-p.strokeScale, p.strokeScale);
    const double sr = rng->Uniform(-p.strokeRotateDeg, p.strokeRotateDeg) * kPi / 180;
    const double shiftX = rng->Gauss(p.strokeShift * 1024), shiftY = rng->Gauss(p.strokeShift * 1024);
    Stroke s;
    for (const Point& q : median) {
      Point g = Rotate(Point{cx + (q.x - cx) * ss, cy + (q.y - cy) * ss}, Point{cx, cy}, sr);
      g.x += shiftX;
      g.y += shiftY;
      Point b{g.x * sx, g.y * sy};
      b.x += shear * (b.y - centre.y);
      b = Rotate(b, centre, rot);
      b.x += warpA * std::sin(kPi * b.y / box + warpPhase);
      b.y += warpB * std::sin(kPi * b.x / box + warpPhase);
      s.push_back(b);
    }
    s = Resample(s, rng->Uniform(p.minStep, p.maxStep));
    if (s.size() >= 2 && rng->Uniform(0, 1) < p.hookChance) {
      const Point a = s[s.size() - 2], e = s.back();
      const double dir = std::atan2(e.y - a.y, e.x - a.x) +
                         (rng->Uniform(0, 1) < 0.5 ? 1 : -1) * rng->Uniform(90, 150) * kPi / 180;
      const double len = rng->Uniform(0.03, 0.08) * box;
      s.push_back(Point{e.x + len * std::cos(dir) * 0.5, e.y + len * std::sin(dir) * 0.5});
      s.push_back(Point{e.x + len * std::cos(dir), e.y + len * std::sin(dir)});
    }
    for (Point& q : s) {
      q.x += rng->Gauss(p.pointJitter * box) + originX;
      q.y += rng->Gauss(p.pointJitter * box) + originY;
    }
    if (!strokes.empty() && rng->Uniform(0, 1) < p.joinChance) {
      Stroke& prev = strokes.back();
      prev.insert(prev.end(), s.begin(), s.end());
    } else {
      strokes.push_back(std::move(s));
    }
  }
  return strokes;
}

}  // namespace quillet_tools
