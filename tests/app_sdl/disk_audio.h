// Reading what SDL's disk audio driver wrote: raw host-endian signed 16-bit
// samples, as the backend handed them to SDL.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace diskaudio {

inline std::vector<int16_t> ReadSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] =
        static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  return samples;
}

// Whether `file` is exactly `buffers` in order, each whole, with nothing
// but silence (zero samples) before, after and between them: the backend
// plays silence whenever no buffer is queued, never inside one. "" when it
// is; otherwise what is wrong. A buffer may itself begin with zeros, so each
// is looked for at every place the silence before it allows.
inline std::string MatchBuffers(const std::vector<int16_t>& file, const std::vector<std::vector<int16_t>>& buffers) {
  size_t at = 0;
  for (size_t b = 0; b < buffers.size(); ++b) {
    const std::vector<int16_t>& want = buffers[b];
    size_t start = at;
    bool found = false;
    for (;;) {
      if (start + want.size() > file.size()) break;
      if (std::equal(want.begin(), want.end(), file.begin() + static_cast<std::ptrdiff_t>(start))) {
        found = true;
        break;
      }
      if (file[start] != 0) break;  // only silence may come before the buffer
      ++start;
    }
    if (!found) {
      std::ostringstream why;
      why << "buffer " << b << " of " << buffers.size() << " not found after sample " << at << " (only silence may "
          << "lie between buffers; the file has " << file.size() << " samples)";
      return why.str();
    }
    at = start + want.size();
  }
  for (size_t i = at; i < file.size(); ++i)
    if (file[i] != 0) {
      std::ostringstream why;
      why << "sound after the last buffer, at sample " << i;
      return why.str();
    }
  return "";
}

// Cuts a clip's expected samples (whole buffers) into its buffers.
inline void AppendBuffers(const std::vector<int16_t>& pcm, size_t bufferSamples,
                          std::vector<std::vector<int16_t>>* buffers) {
  for (size_t i = 0; i + bufferSamples <= pcm.size(); i += bufferSamples)
    buffers->emplace_back(pcm.begin() + static_cast<std::ptrdiff_t>(i),
                          pcm.begin() + static_cast<std::ptrdiff_t>(i + bufferSamples));
}

}  // namespace diskaudio
