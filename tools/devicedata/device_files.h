// The device data files built from their sources: stroke order from the
// stroke data of hanzi-writer-data, pronunciation clips from a folder of
// Ogg Vorbis files, and the code pages. Each Build... fills a DataFileSpec
// and a few counts for the progress line; the sources are checked and a bad
// one fails with its name and reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/audio_tables.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/stroke_tables.h"

namespace devicedata {

// ---- stroke order ("s2stroke.pdb") ----

// Source units per outline segment along each side of a stroke.
constexpr double kStrokeStep = 32;

struct StrokeBuildStats {
  std::size_t characters = 0;  // records written
  std::size_t skipped = 0;     // outside the BMP or over the stroke box's limits
  std::size_t segments = 0;    // over all records
  std::size_t maxSegments = 0;
};

// One source record (the JSON text of one character) to its stroke record:
// 0; 2 when the stroke box cannot hold it (over 50 strokes); 1 with the
// reason when the record is bad.
int ReadStrokeSource(const std::string& json, std::vector<std::uint16_t>* items, std::string* error);

// Every "<character>.json" in `folder` (the hanzi-writer-data package). A
// character the stroke box cannot hold (more than 50 strokes) or outside
// the BMP is skipped and counted; an unreadable record fails the build.
int BuildStrokeFile(const std::string& folder, const std::u16string& notice, databuild::DataFileSpec* file,
                    databuild::StrokeIndexSpec* index, StrokeBuildStats* stats, std::string* error);

// ---- pronunciation audio ----

struct ClipName {
  int syllable = 0;
  int tone = 0;      // 0 neutral, 1-4
  std::string name;  // pinyin with tone digit, 5 for neutral ("zhong1", "ma5")
};

// A clip per tone (1-4 and neutral) of each syllable Mandarin uses (the
// syllable table's rows that have a zhuyin spelling).
std::vector<ClipName> MandarinClipNames();
// The clip key text of a syllable and tone.
std::u16string ClipKey(int syllable, int tone);

struct AudioBuildStats {
  std::size_t clips = 0;
  std::size_t bytes = 0;
};

// The clips "<name>.ogg" of `names` from `folder`; a missing, empty or
// non-Ogg clip fails the build. The group's kind is the clips' sample rate.
int BuildAudioFile(const std::string& folder, const std::vector<ClipName>& names, std::uint32_t sampleRate,
                   const std::u16string& notice, databuild::DataFileSpec* file, databuild::AudioGroupSpec* group,
                   AudioBuildStats* stats, std::string* error);

// Clips per clip table: a table's records stay well within the reader's limits.
constexpr std::uint32_t kClipsPerTable = 512;

// ---- code pages ----

int BuildCodePageFile(databuild::DataFileSpec* file, std::string* error);

}  // namespace devicedata
