// Pronunciation clips for the playback tests: tones encoded by oggenc as the
// device data's clips are, Tremor's own decode of a clip apart from the
// playback's memory source, and what the device must receive for a clip.
#pragma once

#include <gtest/gtest.h>
#include <tremor/ivorbisfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/audio_playback.h"
#include "tests/support/tone_wav.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/entry_markup.h"

namespace audiofix {

using Bytes = std::vector<uint8_t>;
inline constexpr uint32_t kRate = 16000;  // the device data's clip rate
inline constexpr size_t kBufferSamples = kAudioBufferBytes / 2;

// A tone of `samples` samples at `hertz`, loud enough that the x2 gain clips
// its peaks, encoded in `dir`.
inline Bytes MakeClip(const std::filesystem::path& dir, const std::string& name, uint32_t samples,
                      double hertz = 440.0) {
  const std::filesystem::path wav = dir / (name + ".wav");
  const std::filesystem::path ogg = dir / (name + ".ogg");
  EXPECT_TRUE(tonewav::WriteToneWav(wav.string(), kRate, samples, 20000, hertz)) << wav;
  // Encoded as the device data's clips are.
  const std::string command = "oggenc -Q -q 0 --resample " + std::to_string(kRate) + " --serial 1 -o '" + ogg.string() +
                              "' '" + wav.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(ogg, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Tremor's own file reader over the clip, apart from the playback's source.
inline std::vector<int16_t> ReferenceDecode(const Bytes& clip) {
  std::vector<int16_t> pcm;
  FILE* file = fmemopen(const_cast<uint8_t*>(clip.data()), clip.size(), "rb");
  OggVorbis_File vf;
  if (ov_open(file, &vf, nullptr, 0) != 0) {
    fclose(file);
    return pcm;
  }
  char buffer[4096];
  int bitstream = 0;
  long n = 0;
  while ((n = ov_read(&vf, buffer, sizeof buffer, &bitstream)) > 0) {
    const auto* s = reinterpret_cast<const int16_t*>(buffer);
    pcm.insert(pcm.end(), s, s + n / 2);
  }
  ov_clear(&vf);  // closes the file
  return pcm;
}

// What the device must receive for a clip: gained samples, then zeros up to
// the end of the buffer that was not filled completely (a clip of whole
// buffers ends with one silent buffer).
inline std::vector<int16_t> Expected(const Bytes& clip, bool boost = false) {
  std::vector<int16_t> pcm = ReferenceDecode(clip);
  for (int16_t& s : pcm) s = ApplyAudioGain(s, boost);
  pcm.resize((pcm.size() / kBufferSamples + 1) * kBufferSamples, 0);
  return pcm;
}

// An audio data file as the device data has it: a syllable index and a
// clip table, the kind being the clips' sample rate, each clip under its
// syllable with a tone number ("hao3"). Empty, with a failure, when it
// cannot be built.
inline databuild::ByteVec AudioFileOf(const std::vector<std::pair<std::string, Bytes>>& clips) {
  databuild::AudioGroupSpec group;
  group.kind = kRate;
  for (const auto& [syllable, clip] : clips)
    group.clips.push_back({databuild::PinyinNumbersToCodes(syllable), databuild::ByteVec(clip.begin(), clip.end())});
  databuild::DataFileSpec file;
  file.shortName = u"Audio";
  std::string error;
  databuild::ByteVec bytes;
  const int added = databuild::AddAudioGroup(group, &file, &error);
  EXPECT_EQ(added, 0) << error;
  if (added != 0) return {};
  EXPECT_EQ(databuild::BuildDataFile(file, &bytes, nullptr, &error), 0) << error;
  return bytes;
}

}  // namespace audiofix
