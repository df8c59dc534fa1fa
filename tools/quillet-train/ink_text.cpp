#include "tools/quillet-train/ink_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace quillet_tools {

std::u32string FromUtf8(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return out;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += len;
  }
  return out;
}

std::string ToUtf8(const std::u32string& s) {
  std::string out;
  for (char32_t cp : s) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

bool ParseInkLine(const std::string& line, InkSample* out) {
  const size_t tab = line.find('\t');
  if (line.empty() || line[0] == '#' || tab == std::string::npos || tab == 0) return false;
  out->character = FromUtf8(line.substr(0, tab));
  out->strokes.clear();
  Stroke stroke;
  const char* p = line.c_str() + tab + 1;
  while (*p) {
    while (*p == ' ') ++p;
    if (*p == '|') {
      if (!stroke.empty()) out->strokes.push_back(stroke);
      stroke.clear();
      ++p;
      continue;
    }
    if (*p == 0 || *p == '\r' || *p == '\n') break;
    char* end = nullptr;
    const double x = std::strtod(p, &end);
    if (end == p || *end != ',') return false;
    p = end + 1;
    const double y = std::strtod(p, &end);
    if (end == p) return false;
    p = end;
    stroke.push_back(Point{x, y});
  }
  if (!stroke.empty()) out->strokes.push_back(stroke);
  return !out->strokes.empty();
}

bool ReadInkFile(const std::string& path, std::vector<InkSample>* out) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  InkSample sample;
  while (std::getline(in, line))
    if (ParseInkLine(line, &sample)) out->push_back(sample);
  return true;
}

std::vector<int16_t> ToInkPoints(const std::vector<Stroke>& strokes) {
  std::vector<int16_t> ink;
  for (const Stroke& s : strokes) {
    for (const Point& p : s) {
      const long x = std::lround(p.x), y = std::lround(p.y);
      ink.push_back(static_cast<int16_t>(x < 0 ? 0 : x > 1023 ? 1023 : x));
      ink.push_back(static_cast<int16_t>(y < 0 ? 0 : y > 1023 ? 1023 : y));
    }
    ink.push_back(-1);
    ink.push_back(0);
  }
  ink.push_back(-1);
  ink.push_back(-1);
  return ink;
}

}  // namespace quillet_tools
