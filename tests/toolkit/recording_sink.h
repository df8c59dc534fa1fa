// A layout sink that records every call: the log as text in order, and per
// control its last rectangle and shown state. One recorder at a time.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/pane_layout.h"

namespace recording_sink {

using Rect4 = std::array<int, 4>;

struct Recorder {
  std::vector<std::string> log;
  std::map<int, Rect4> placed;
  std::map<int, std::array<int, 2>> moved;
  std::map<int, bool> shown;
  int begins = 0;

  std::optional<Rect4> Placed(int id) const {
    auto it = placed.find(id);
    if (it == placed.end()) return std::nullopt;
    return it->second;
  }
  bool Shown(int id) const {
    auto it = shown.find(id);
    return it != shown.end() && it->second;
  }
};

inline Recorder*& Current() {
  static Recorder* current = nullptr;
  return current;
}

inline void Place(HWND, int id, const uint16_t r[4]) {
  Current()->log.push_back("place " + std::to_string(id) + " " + std::to_string(r[0]) + " " + std::to_string(r[1]) +
                           " " + std::to_string(r[2]) + " " + std::to_string(r[3]));
  Current()->placed[id] = {r[0], r[1], r[2], r[3]};
}
inline void Move(HWND, int id, uint16_t x, uint16_t y) {
  Current()->log.push_back("move " + std::to_string(id) + " " + std::to_string(x) + " " + std::to_string(y));
  Current()->moved[id] = {x, y};
}
inline void Show(HWND, int id, bool on) {
  Current()->log.push_back("show " + std::to_string(id) + " " + (on ? "1" : "0"));
  Current()->shown[id] = on;
}
inline void Begin(HWND, bool tall) {
  Current()->log.push_back(std::string("begin ") + (tall ? "1" : "0"));
  ++Current()->begins;
}

inline LayoutSink MakeSink(const uint16_t* controls) { return LayoutSink{Place, Move, Show, Begin, nullptr, controls}; }

}  // namespace recording_sink
