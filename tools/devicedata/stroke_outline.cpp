#include "tools/devicedata/stroke_outline.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace devicedata {

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

// Curves are cut into this many lines: enough for a 1024 box, and the
// resampling later spreads the points out anyway.
constexpr int kCurvePieces = 8;

double Dist(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Nearest place on the closed polygon to p: segment index and the point.
std::size_t NearestOnPolygon(const std::vector<Point>& poly, Point p, Point* at) {
  std::size_t best = 0;
  double bestD = 1e300;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    Point a = poly[i], b = poly[(i + 1) % poly.size()];
    double dx = b.x - a.x, dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    Point q{a.x + t * dx, a.y + t * dy};
    double d = Dist(p, q);
    if (d < bestD) {
      bestD = d;
      best = i;
      *at = q;
    }
  }
  return best;
}

double PathLength(const std::vector<Point>& path) {
  double len = 0;
  for (std::size_t i = 1; i < path.size(); ++i) len += Dist(path[i - 1], path[i]);
  return len;
}

// `pieces` equal-length pieces of an open path: pieces + 1 points, the ends kept.
std::vector<Point> Resample(const std::vector<Point>& path, std::size_t pieces) {
  std::vector<Point> out;
  const double total = PathLength(path);
  out.push_back(path.front());
  std::size_t seg = 1;
  double walked = 0;  // length up to path[seg - 1]
  for (std::size_t k = 1; k < pieces; ++k) {
    const double want = total * static_cast<double>(k) / static_cast<double>(pieces);
    while (seg < path.size() - 1 && walked + Dist(path[seg - 1], path[seg]) < want) {
      walked += Dist(path[seg - 1], path[seg]);
      ++seg;
    }
    Point a = path[seg - 1], b = path[seg];
    double l = Dist(a, b);
    double t = l > 0 ? std::clamp((want - walked) / l, 0.0, 1.0) : 0;
    out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
  }
  out.push_back(path.back());
  return out;
}

std::uint16_t Coord(double v) {
  long r = std::lround(v);
  return static_cast<std::uint16_t>(std::clamp<long>(r, 0, kStrokeDesignSize - 1));
}

Point ToDesign(Point p) { return {p.x, kStrokeSourceTop - p.y}; }

}  // namespace

int FlattenSvgPath(std::string_view path, std::vector<Point>* polygon, std::string* error) {
  std::vector<Point> pts;
  std::size_t pos = 0;
  auto skip = [&] {
    while (pos < path.size() && (std::isspace(static_cast<unsigned char>(path[pos])) || path[pos] == ',')) ++pos;
  };
  auto number = [&](double* v) {
    skip();
    std::size_t start = pos;
    if (pos < path.size() && (path[pos] == '-' || path[pos] == '+')) ++pos;
    while (pos < path.size() && (std::isdigit(static_cast<unsigned char>(path[pos])) || path[pos] == '.')) ++pos;
    if (pos == start) return false;
    std::string s(path.substr(start, pos - start));
    char* end = nullptr;
    *v = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
  };
  auto point = [&](Point* p) { return number(&p->x) && number(&p->y); };
  char cmd = 0;
  bool closed = false;
  while (true) {
    skip();
    if (pos >= path.size()) break;
    char c = path[pos];
    if (std::isalpha(static_cast<unsigned char>(c))) {
      cmd = c;
      ++pos;
    } else if (cmd == 0) {
      return Fail(error, "path does not start with a command");
    }
    if (closed) return Fail(error, "path goes on after Z");
    Point cur = pts.empty() ? Point{} : pts.back();
    switch (cmd) {
      case 'M': {
        if (!pts.empty()) return Fail(error, "path has more than one part");
        Point p;
        if (!point(&p)) return Fail(error, "bad M");
        pts.push_back(p);
        cmd = 'L';  // further pairs are lines
        break;
      }
      case 'L': {
        Point p;
        if (pts.empty() || !point(&p)) return Fail(error, "bad L");
        pts.push_back(p);
        break;
      }
      case 'Q': {
        Point c1, p;
        if (pts.empty() || !point(&c1) || !point(&p)) return Fail(error, "bad Q");
        for (int i = 1; i <= kCurvePieces; ++i) {
          double t = static_cast<double>(i) / kCurvePieces, u = 1 - t;
          pts.push_back({u * u * cur.x + 2 * u * t * c1.x + t * t * p.x, u * u * cur.y + 2 * u * t * c1.y + t * t * p.y});
        }
        break;
      }
      case 'C': {
        Point c1, c2, p;
        if (pts.empty() || !point(&c1) || !point(&c2) || !point(&p)) return Fail(error, "bad C");
        for (int i = 1; i <= kCurvePieces; ++i) {
          double t = static_cast<double>(i) / kCurvePieces, u = 1 - t;
          double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
          pts.push_back({a * cur.x + b * c1.x + d * c2.x + e * p.x, a * cur.y + b * c1.y + d * c2.y + e * p.y});
        }
        break;
      }
      case 'Z':
      case 'z':
        closed = true;
        break;
      default:
        return Fail(error, std::string("unknown path command '") + cmd + "'");
    }
  }
  // Closing: the last point coming back to the first is not a vertex of its own.
  while (pts.size() > 1 && Dist(pts.front(), pts.back()) < 1e-9) pts.pop_back();
  if (pts.size() < 3) return Fail(error, "path has fewer than 3 points");
  *polygon = std::move(pts);
  return 0;
}

int BuildStrokeRecord(const std::vector<SourceStroke>& strokes, double step, std::vector<std::uint16_t>* items,
                      std::string* error) {
  if (strokes.empty()) return Fail(error, "no strokes");
  if (strokes.size() > kStrokeMaxStrokes) {
    Fail(error, std::to_string(strokes.size()) + " strokes (the stroke box holds 50)");
    return 2;
  }
  // Each stroke's two sides, both from start to end of the stroke.
  std::vector<std::vector<Point>> sideA(strokes.size()), sideB(strokes.size());
  std::vector<std::size_t> pieces(strokes.size());
  std::size_t total = 0;
  for (std::size_t s = 0; s < strokes.size(); ++s) {
    const SourceStroke& st = strokes[s];
    if (st.outline.size() < 3) return Fail(error, "stroke " + std::to_string(s + 1) + " has no outline");
    if (st.median.empty()) return Fail(error, "stroke " + std::to_string(s + 1) + " has no median");
    std::vector<Point> poly;
    for (Point p : st.outline) poly.push_back(ToDesign(p));
    Point start, end;
    std::size_t i0 = NearestOnPolygon(poly, ToDesign(st.median.front()), &start);
    std::size_t i1 = NearestOnPolygon(poly, ToDesign(st.median.back()), &end);
    if (i0 == i1 && Dist(start, end) < 1) {
      // A dot: its end is the outline point farthest from its start.
      std::size_t far = 0;
      for (std::size_t i = 0; i < poly.size(); ++i) {
        if (Dist(poly[i], start) > Dist(poly[far], start)) far = i;
      }
      i1 = far;
      end = poly[far];
    }
    // Walk the polygon forward from start: up to end is one side, on back
    // to start the other (reversed so that both run start -> end).
    const std::size_t n = poly.size();
    std::vector<Point> a{start}, b{end};
    bool sameSegmentAhead = i0 == i1 && Dist(poly[i0], start) <= Dist(poly[i0], end);
    if (sameSegmentAhead) {
      a.push_back(end);
      for (std::size_t k = 1; k <= n; ++k) b.push_back(poly[(i1 + k) % n]);
      b.push_back(start);
    } else {
      for (std::size_t i = (i0 + 1) % n;; i = (i + 1) % n) {
        a.push_back(poly[i]);
        if (i == i1) break;
      }
      a.push_back(end);
      // Both on one segment with the end behind the start: the way back is direct.
      for (std::size_t i = (i1 + 1) % n; i0 != i1; i = (i + 1) % n) {
        b.push_back(poly[i]);
        if (i == i0) break;
      }
      b.push_back(start);
    }
    std::reverse(b.begin(), b.end());
    sideA[s] = std::move(a);
    sideB[s] = std::move(b);
    double len = std::max(PathLength(sideA[s]), PathLength(sideB[s]));
    pieces[s] = std::max<std::size_t>(2, static_cast<std::size_t>(std::lround(len / step)));
    total += 2 * pieces[s];
  }
  if (total > kStrokeMaxSegments) {
    // Cut every stroke down alike; each keeps at least 2 pieces a side.
    const double scale = static_cast<double>(kStrokeMaxSegments - 4 * strokes.size()) /
                         static_cast<double>(total - 4 * strokes.size());
    total = 0;
    for (std::size_t& p : pieces) {
      p = 2 + static_cast<std::size_t>(std::floor(static_cast<double>(p - 2) * scale));
      total += 2 * p;
    }
    if (total > kStrokeMaxSegments) return Fail(error, "too many segments");
  }
  std::vector<std::uint16_t> out;
  for (std::size_t s = 0; s < strokes.size(); ++s) {
    std::vector<Point> a = Resample(sideA[s], pieces[s]);
    std::vector<Point> b = Resample(sideB[s], pieces[s]);
    // start -> along a to end -> back along b to start: P0 .. P2m, P2m = P0.
    for (Point p : a) {
      out.push_back(Coord(p.x));
      out.push_back(Coord(p.y));
    }
    for (std::size_t k = b.size() - 1; k-- > 0;) {
      out.push_back(Coord(b[k].x));
      out.push_back(Coord(b[k].y));
    }
    out.push_back(kStrokeEndX);
    out.push_back(0);
  }
  out.push_back(kStrokeEndX);
  out.push_back(kStrokeEndX);
  if (out.size() > kStrokeMaxValues) return Fail(error, "record passes 10000 values");
  *items = std::move(out);
  return 0;
}

std::size_t CountRecordSegments(const std::vector<std::uint16_t>& items) {
  std::size_t segments = 0, points = 0;
  for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
    if (items[i] == kStrokeEndX) {
      if (points > 0) segments += points - 1;
      points = 0;
      if (items[i + 1] == kStrokeEndX) break;
    } else {
      ++points;
    }
  }
  return segments;
}

}  // namespace devicedata
