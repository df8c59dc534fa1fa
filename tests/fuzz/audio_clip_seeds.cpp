// Writes a seed corpus for fuzz_audio_clip: tones of one, several and more
// than sixteen ring buffers, encoded as the device data's clips are (oggenc
// at 16,000 Hz), and a cut one. Usage: fuzz_audio_clip_seeds DIR
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tests/support/tone_wav.h"

namespace {

constexpr unsigned kRate = 16000;

std::vector<char> Encode(const std::string& dir, const std::string& name, unsigned samples) {
  const std::string wav = dir + "/." + name + ".wav";
  const std::string ogg = dir + "/." + name + ".ogg";
  if (!tonewav::WriteToneWav(wav, kRate, samples, 12000, 330.0)) return {};
  const std::string command = "oggenc -Q -q 0 --serial 1 -o '" + ogg + "' '" + wav + "'";
  std::vector<char> bytes;
  if (std::system(command.c_str()) == 0) {
    std::ifstream in(ogg, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::remove(wav.c_str());
  std::remove(ogg.c_str());
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  struct Seed {
    const char* name;
    unsigned samples;
  } seeds[] = {{"one-buffer", 900}, {"few-buffers", 7000}, {"past-the-ring", 16 * 2048 + 3000}};
  for (const Seed& s : seeds) {
    const std::vector<char> bytes = Encode(dir, s.name, s.samples);
    if (bytes.empty()) {
      std::fprintf(stderr, "oggenc failed for %s\n", s.name);
      return 1;
    }
    if (!fuzz::WriteSeed(dir, s.name, bytes.data(), bytes.size())) return 1;
    if (std::string(s.name) == "few-buffers" && !fuzz::WriteSeed(dir, "cut", bytes.data(), bytes.size() * 2 / 3)) {
      return 1;
    }
  }
  return 0;
}
