// Stroke outlines of the stroke-order data turned into the records the stroke
// box draws: per stroke a closed polygon that starts at the stroke's start,
// runs along one side to its end and back along the other, both sides with
// the same number of segments (the box pairs segment k with segment L-1-k
// for its animation bands and midlines); a pair (65535, 0) ends a stroke and
// (65535, 65535) ends the record.
//
// Source coordinates: a 1024-unit box, y up, the baseline at y = 900 from the
// top (so y runs from -124 to 900). Records are in the same box, y down.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace devicedata {

constexpr std::uint32_t kStrokeDesignSize = 1024;
constexpr double kStrokeSourceTop = 900;
constexpr std::size_t kStrokeMaxSegments = 2000;  // the stroke box's point capacity
constexpr std::size_t kStrokeMaxStrokes = 50;     // its stroke capacity
constexpr std::size_t kStrokeMaxValues = 10000;   // the reader's record buffer
constexpr std::uint16_t kStrokeEndX = 65535;

struct Point {
  double x = 0;
  double y = 0;
};

// An SVG path of M, L, Q, C and Z commands (absolute, as the source writes
// them) flattened to a closed polygon, in source coordinates. 0, or 1 with
// the reason in `error`.
int FlattenSvgPath(std::string_view path, std::vector<Point>* polygon, std::string* error);

struct SourceStroke {
  std::vector<Point> outline;  // closed polygon, last point not repeated
  std::vector<Point> median;   // from the stroke's start to its end
};

// The record of a character: strokes in writing order. Each side of a
// stroke gets about one segment per `step` source units (at least 2), cut
// down evenly when the whole character would pass 2,000 segments. 0; 2
// when it has more than 50 strokes; or 1 with the reason (no strokes, a
// stroke without outline or median).
int BuildStrokeRecord(const std::vector<SourceStroke>& strokes, double step, std::vector<std::uint16_t>* items,
                      std::string* error);

// Segment count of a record (for statistics and checks): per stroke its
// points minus one.
std::size_t CountRecordSegments(const std::vector<std::uint16_t>& items);

}  // namespace devicedata
