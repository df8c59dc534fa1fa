// Text form of ink samples: one per line, CHAR<TAB>STROKES, strokes separated
// by " | ", points "x,y" separated by spaces, coordinates 0-1023, y down.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillet_tools {

struct Point {
  double x;
  double y;
};

using Stroke = std::vector<Point>;

struct InkSample {
  std::u32string character;  // usually one code point
  std::vector<Stroke> strokes;
};

// Parses one line; false when it is not a sample (empty, comment, malformed).
bool ParseInkLine(const std::string& line, InkSample* out);

// Reads every sample of a file; false when the file cannot be read.
bool ReadInkFile(const std::string& path, std::vector<InkSample>* out);

std::string ToUtf8(const std::u32string& s);
std::u32string FromUtf8(const std::string& s);

// The recogniser's input: points rounded and clamped to 0..1023, (-1, 0)
// after each stroke, (-1, -1) at the end.
std::vector<int16_t> ToInkPoints(const std::vector<Stroke>& strokes);

}  // namespace quillet_tools
