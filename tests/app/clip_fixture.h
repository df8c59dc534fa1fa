// Pronunciation clips for the playback tests: tones encoded by oggenc in a
// folder of the test's own, as the device data's clips are, and a wait on
// the audio worker in real time.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/audio_playback.h"

namespace clipfix {

using Bytes = std::vector<uint8_t>;
inline constexpr uint32_t kRate = 16000;  // the device data's clip rate
inline constexpr size_t kBufferSamples = kAudioBufferBytes / 2;
inline constexpr char16_t kNoAudioDataText[] =
    u"Sorry, the audio data files could not be found - please make sure you've installed them correctly.";

// A tone of `samples` samples, loud enough that the x2 gain clips its peaks.
inline Bytes MakeClip(const std::filesystem::path& dir, const std::string& name, uint32_t samples) {
  const std::filesystem::path wav = dir / (name + ".wav");
  const std::filesystem::path ogg = dir / (name + ".ogg");
  {
    std::ofstream out(wav, std::ios::binary);
    auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    put32(36 + samples * 2);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(1);
    put32(kRate);
    put32(kRate * 2);
    put16(2);
    put16(16);
    out.write("data", 4);
    put32(samples * 2);
    for (uint32_t i = 0; i < samples; ++i)
      put16(static_cast<uint16_t>(static_cast<int16_t>(20000 * std::sin(2 * 3.14159265 * 440.0 * i / kRate))));
  }
  // Encoded as the device data's clips are.
  const std::string command = "oggenc -Q -q 0 --resample " + std::to_string(kRate) + " --serial 1 -o '" + ogg.string() +
                              "' '" + wav.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(ogg, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

template <typename Pred>
inline bool WaitUntil(Pred pred, int ms = 5000) {
  for (int i = 0; i < ms; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return pred();
}

}  // namespace clipfix
