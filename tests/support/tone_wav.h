// A sine tone as a 16-bit mono WAV file, the input oggenc turns into the
// pronunciation clips of tests and fuzz seeds.
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>

namespace tonewav {

// `samples` samples of a tone at `hertz` and peak `amplitude`, at `rate`
// samples a second. False when the file cannot be written.
inline bool WriteToneWav(const std::string& path, uint32_t rate, uint32_t samples, double amplitude, double hertz) {
  std::ofstream out(path, std::ios::binary);
  auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  put32(36 + samples * 2);
  out.write("WAVEfmt ", 8);
  put32(16);
  put16(1);  // PCM
  put16(1);  // mono
  put32(rate);
  put32(rate * 2);
  put16(2);
  put16(16);
  out.write("data", 4);
  put32(samples * 2);
  for (uint32_t i = 0; i < samples; ++i)
    put16(static_cast<uint16_t>(static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hertz * i / rate))));
  return static_cast<bool>(out);
}

}  // namespace tonewav
