#include "tools/quillet-train/synth_ink.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

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
  // The other-hand kinds: chances and sizes scale; the straightening
  // tolerance is a property of the hand, not a strength, and stays.
  p.straightenChance = std::min(1.0, p.straightenChance * f);
  p.hookDropChance = std::min(1.0, p.hookDropChance * f);
  p.componentChance = std::min(1.0, p.componentChance * f);
  p.componentShift *= f;
  p.componentScale *= f;
  p.proportionChance = std::min(1.0, p.proportionChance * f);
  p.proportion = std::min(0.5, p.proportion * f);
  p.speedChance = std::min(1.0, p.speedChance * f);
  p.swapChance = std::min(1.0, p.swapChance * f);
  p.reverseChance = std::min(1.0, p.reverseChance * f);
  return p;
}

SynthParams TrainingParams() {
  SynthParams p;
  p.straightenChance = 0.20;
  p.hookDropChance = 0.10;
  p.componentChance = 0.15;
  p.proportionChance = 0.15;
  p.speedChance = 0.30;
  p.swapChance = 0.03;
  p.reverseChance = 0.03;
  return p;
}

namespace {

// One evaluation kind: the named other-hand step, always on.
struct KindEntry {
  const char* name;
  void (*apply)(SynthParams*);
};

const KindEntry kKindTable[] = {
    // The largest training tolerance: the hardest straightening.
    {"straight", [](SynthParams* p) { p->straightenChance = 1, p->minStraighten = p->maxStraighten = 0.12; }},
    {"straight-mid", [](SynthParams* p) { p->straightenChance = 1, p->minStraighten = p->maxStraighten = 0.06; }},
    // No hook added on top, so that every stroke ends at its corner.
    {"hooks", [](SynthParams* p) { p->hookDropChance = 1, p->hookChance = 0; }},
    {"components", [](SynthParams* p) { p->componentChance = 1; }},
    {"proportions", [](SynthParams* p) { p->proportionChance = 1; }},
    {"speed", [](SynthParams* p) { p->speedChance = 1; }},
    {"swap", [](SynthParams* p) { p->swapChance = 1; }},
    {"reverse", [](SynthParams* p) { p->reverseChance = 1; }},
    // The training mix itself.
    {"mixed", [](SynthParams* p) { *p = TrainingParams(); }},
};

}  // namespace

std::vector<const char*> SynthKindNames() {
  std::vector<const char*> names;
  for (const KindEntry& k : kKindTable) names.push_back(k.name);
  return names;
}

bool KindParams(const char* name, SynthParams* out) {
  for (const KindEntry& k : kKindTable) {
    if (std::strcmp(k.name, name) == 0) {
      *out = SynthParams{};
      k.apply(out);
      return true;
    }
  }
  return false;
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

double Distance(Point a, Point b) { return std::hypot(b.x - a.x, b.y - a.y); }

double PathLength(const Stroke& s) {
  double len = 0;
  for (size_t i = 1; i < s.size(); ++i) len += Distance(s[i - 1], s[i]);
  return len;
}

// Distance of p from the segment a-b.
double SegmentDistance(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  if (len2 == 0) return Distance(p, a);
  const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
  return Distance(p, Point{a.x + t * dx, a.y + t * dy});
}

// Indexes kept by Douglas-Peucker, ascending, both ends included.
std::vector<size_t> TurningPoints(const Stroke& s, double tolerance) {
  std::vector<size_t> kept;
  if (s.empty()) return kept;
  std::vector<char> keep(s.size(), 0);
  keep.front() = keep.back() = 1;
  std::vector<std::pair<size_t, size_t>> todo = {{0, s.size() - 1}};
  while (!todo.empty()) {
    const auto [a, b] = todo.back();
    todo.pop_back();
    double worst = tolerance;
    size_t at = 0;
    for (size_t i = a + 1; i < b; ++i) {
      const double d = SegmentDistance(s[i], s[a], s[b]);
      if (d > worst) worst = d, at = i;
    }
    if (at == 0) continue;
    keep[at] = 1;
    todo.push_back({a, at});
    todo.push_back({at, b});
  }
  for (size_t i = 0; i < s.size(); ++i)
    if (keep[i]) kept.push_back(i);
  return kept;
}

// Turn between the moves a->b and b->c, in degrees (0: straight on).
double TurnDeg(Point a, Point b, Point c) {
  const double d1 = std::atan2(b.y - a.y, b.x - a.x), d2 = std::atan2(c.y - b.y, c.x - b.x);
  double t = std::fabs(d2 - d1) * 180 / kPi;
  return t > 180 ? 360 - t : t;
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

struct Box {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty = true;
  void Add(const Box& b) {
    if (b.empty) return;
    if (empty) {
      *this = b;
      return;
    }
    x0 = std::min(x0, b.x0), y0 = std::min(y0, b.y0), x1 = std::max(x1, b.x1), y1 = std::max(y1, b.y1);
  }
  double Area() const { return empty ? 0 : (x1 - x0) * (y1 - y0); }
};

Box StrokeBox(const Stroke& s, double pad) {
  Box b{s[0].x, s[0].y, s[0].x, s[0].y, false};
  for (const Point& p : s)
    b.x0 = std::min(b.x0, p.x), b.y0 = std::min(b.y0, p.y), b.x1 = std::max(b.x1, p.x), b.y1 = std::max(b.y1, p.y);
  b.x0 -= pad, b.y0 -= pad, b.x1 += pad, b.y1 += pad;
  return b;
}

// The other-hand steps applied to the medians (em units) before the writing
// is drawn: moved components, dropped hooks, changed lengths, straightening.
std::vector<Stroke> OtherHand(const std::vector<Stroke>& medians, const SynthParams& p, SynthRandom* extra) {
  std::vector<Stroke> work = medians;
  if (extra->Uniform(0, 1) < p.componentChance) {
    const std::vector<StrokeRun> runs = FindComponents(work);
    const double shiftX = extra->Gauss(p.componentShift * 1024), shiftY = extra->Gauss(p.componentShift * 1024);
    // Width and height change apart: another hand's radical is narrower or
    // wider, not only smaller.
    const double scaleX = 1 + extra->Uniform(-p.componentScale, p.componentScale);
    const double scaleY = 1 + extra->Uniform(-p.componentScale, p.componentScale);
    if (!runs.empty()) {
      const StrokeRun run = runs[std::min(runs.size() - 1, static_cast<size_t>(extra->Uniform(0, static_cast<double>(runs.size()))))];
      Box box;
      for (size_t k = run.first; k < run.last; ++k) box.Add(StrokeBox(work[k], 0));
      const double cx = (box.x0 + box.x1) / 2, cy = (box.y0 + box.y1) / 2;
      for (size_t k = run.first; k < run.last; ++k)
        for (Point& q : work[k]) q = Point{cx + (q.x - cx) * scaleX + shiftX, cy + (q.y - cy) * scaleY + shiftY};
    }
  }
  for (Stroke& s : work) {
    if (extra->Uniform(0, 1) < p.hookDropChance) DropLastTurn(&s, 0.12 * 1024);
    if (extra->Uniform(0, 1) < p.proportionChance)
      s = ChangeStrokeLength(s, 1 + extra->Uniform(-p.proportion, p.proportion));
  }
  if (extra->Uniform(0, 1) < p.straightenChance) {
    const double tolerance = extra->Uniform(p.minStraighten, p.maxStraighten) * 1024;
    for (Stroke& s : work) s = StraightenStroke(s, tolerance);
  }
  return work;
}

}  // namespace

Stroke StraightenStroke(const Stroke& s, double tolerance) {
  Stroke out;
  for (size_t i : TurningPoints(s, tolerance)) out.push_back(s[i]);
  return out;
}

bool DropLastTurn(Stroke* s, double maxTurn) {
  if (s->size() < 3) return false;
  const std::vector<size_t> v = TurningPoints(*s, maxTurn / 4);
  const size_t m = v.size() - 1;
  if (m < 2) return false;
  double turn = 0;
  for (size_t i = v[m - 1] + 1; i <= v[m]; ++i) turn += Distance((*s)[i - 1], (*s)[i]);
  if (turn >= maxTurn || turn >= PathLength(*s) / 3) return false;
  if (TurnDeg((*s)[v[m - 2]], (*s)[v[m - 1]], (*s)[v[m]]) <= 45) return false;
  s->resize(v[m - 1] + 1);
  return true;
}

Stroke ChangeStrokeLength(const Stroke& s, double factor) {
  const double len = PathLength(s);
  if (s.size() < 2 || len == 0) return s;
  const double d = (factor - 1) * len / 2;
  if (d >= 0) {
    // Extend along the first and last moves of non-zero length.
    size_t a = 1, b = s.size() - 2;
    while (Distance(s[a], s[0]) == 0) ++a;
    while (Distance(s[b], s.back()) == 0) --b;
    const double la = Distance(s[a], s[0]), lb = Distance(s[b], s.back());
    Stroke out;
    out.push_back(Point{s[0].x + (s[0].x - s[a].x) * d / la, s[0].y + (s[0].y - s[a].y) * d / la});
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(Point{s.back().x + (s.back().x - s[b].x) * d / lb, s.back().y + (s.back().y - s[b].y) * d / lb});
    return out;
  }
  // Trim: keep the path from arc length -d to len + d.
  const double from = -d, to = len + d;
  Stroke out;
  double at = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    const double seg = Distance(s[i - 1], s[i]);
    const double next = at + seg;
    auto pointAt = [&](double t) {
      const double f = seg > 0 ? (t - at) / seg : 0;
      return Point{s[i - 1].x + (s[i].x - s[i - 1].x) * f, s[i - 1].y + (s[i].y - s[i - 1].y) * f};
    };
    if (out.empty() && next >= from) out.push_back(pointAt(from));
    if (!out.empty()) {
      if (next >= to) {
        out.push_back(pointAt(to));
        break;
      }
      out.push_back(s[i]);
    }
    at = next;
  }
  return out;
}

Stroke ResampleUneven(const Stroke& s, double step, double reach) {
  Stroke out;
  if (s.empty()) return out;
  // Arc position of every point, and the slow places: ends and corners.
  std::vector<double> at(s.size(), 0);
  for (size_t i = 1; i < s.size(); ++i) at[i] = at[i - 1] + Distance(s[i - 1], s[i]);
  const double len = at.back();
  std::vector<double> slow = {0};
  size_t prev = 0;
  for (size_t i = 1; i + 1 < s.size(); ++i) {
    if (Distance(s[i], s[prev]) == 0 || Distance(s[i], s[i + 1]) == 0) continue;
    if (TurnDeg(s[prev], s[i], s[i + 1]) > 30) slow.push_back(at[i]);
    prev = i;
  }
  slow.push_back(len);
  out.push_back(s[0]);
  double t = 0;
  size_t seg = 1, nextSlow = 1;
  while (true) {
    while (nextSlow < slow.size() && slow[nextSlow] <= t + 1e-9) ++nextSlow;
    double near = 1e300;
    for (double c : slow) near = std::min(near, std::fabs(c - t));
    double local = step * (1.0 / 3 + (2.5 - 1.0 / 3) * std::min(1.0, near / reach));
    // Land on a corner rather than cutting it.
    if (nextSlow < slow.size()) local = std::min(local, slow[nextSlow] - t);
    t += local;
    if (t >= len - 1e-9) break;
    while (seg + 1 < s.size() && at[seg] < t) ++seg;
    const double segLen = at[seg] - at[seg - 1];
    const double f = segLen > 0 ? (t - at[seg - 1]) / segLen : 0;
    out.push_back(Point{s[seg - 1].x + (s[seg].x - s[seg - 1].x) * f, s[seg - 1].y + (s[seg].y - s[seg - 1].y) * f});
  }
  out.push_back(s.back());
  return out;
}

std::vector<StrokeRun> FindComponents(const std::vector<Stroke>& strokes) {
  // Thin strokes have no area of their own: every box is padded by 2% of
  // the em box.
  constexpr double kPad = 0.02 * 1024;
  const size_t n = strokes.size();
  std::vector<StrokeRun> runs;
  if (n < 3) return runs;
  std::vector<Box> boxes, prefix(n + 1), suffix(n + 1);
  for (const Stroke& s : strokes) boxes.push_back(StrokeBox(s, kPad));
  for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i], prefix[i + 1].Add(boxes[i]);
  for (size_t i = n; i-- > 0;) suffix[i] = suffix[i + 1], suffix[i].Add(boxes[i]);
  for (size_t i = 0; i < n; ++i) {
    Box run;
    for (size_t j = i + 1; j <= n; ++j) {
      run.Add(boxes[j - 1]);
      if (j - i < 2 || (i == 0 && j == n)) continue;
      Box rest = prefix[i];
      rest.Add(suffix[j]);
      const double ix = std::min(run.x1, rest.x1) - std::max(run.x0, rest.x0);
      const double iy = std::min(run.y1, rest.y1) - std::max(run.y0, rest.y0);
      const double overlap = ix > 0 && iy > 0 ? ix * iy : 0;
      if (overlap <= 0.2 * std::min(run.Area(), rest.Area())) runs.push_back(StrokeRun{i, j});
    }
  }
  return runs;
}

std::vector<Stroke> SynthesizeWriting(const std::vector<Stroke>& medians, const SynthParams& p,
                                      SynthRandom* rng) {
  // The other-hand steps draw from a stream of their own, seeded from the
  // writing's, so the steps below draw exactly what they did without them.
  SynthRandom extra{rng->state ^ 0xD1B54A32D192ED03ull};
  extra.Next();
  const std::vector<Stroke> shaped = OtherHand(medians, p, &extra);

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
  std::vector<char> joined;  // joined[k]: stroke k continues stroke k - 1
  for (const Stroke& median : shaped) {
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
    const double step = rng->Uniform(p.minStep, p.maxStep);
    s = extra.Uniform(0, 1) < p.speedChance ? ResampleUneven(s, step, 0.1 * box) : Resample(s, step);
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
    joined.push_back(!strokes.empty() && rng->Uniform(0, 1) < p.joinChance);
    strokes.push_back(std::move(s));
  }

  // Order faults act on the drawn strokes, so they change nothing but the
  // order and direction of the pen.
  const size_t n = strokes.size();
  if (extra.Uniform(0, 1) < p.swapChance && n >= 2) {
    const size_t k = std::min(n - 2, static_cast<size_t>(extra.Uniform(0, static_cast<double>(n - 1))));
    std::swap(strokes[k], strokes[k + 1]);
  }
  if (extra.Uniform(0, 1) < p.reverseChance && n >= 1) {
    const size_t k = std::min(n - 1, static_cast<size_t>(extra.Uniform(0, static_cast<double>(n))));
    std::reverse(strokes[k].begin(), strokes[k].end());
  }

  std::vector<Stroke> out;
  for (size_t k = 0; k < n; ++k) {
    if (joined[k] && !out.empty()) {
      out.back().insert(out.back().end(), strokes[k].begin(), strokes[k].end());
    } else {
      out.push_back(std::move(strokes[k]));
    }
  }
  return out;
}

}  // namespace quillet_tools
