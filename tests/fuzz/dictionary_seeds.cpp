// Writes a seed corpus for fuzz_dictionary: small well-formed dictionary
// files of each kind the engine reads: Chinese and English headwords with
// their search indexes, and files with code pages, radicals, a stroke index
// and a syllable index with its clips. Usage: fuzz_dictionary_seeds DIR
#include <cstdio>
#include <string>
#include <vector>

#include "tests/engine_search/search_fixture.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/code_page_tables.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/radical_tables.h"
#include "tools/databuild/stroke_tables.h"

namespace {

namespace db = databuild;
using searchfix::Row;

const std::vector<searchfix::CedictRow> kRows = {
    Row(u"你", u"你", "ni3", {u"you (informal)"}),
    Row(u"好", u"好", "hao3", {u"good", u"well"}),
    Row(u"好", u"好", "hao4", {u"to be fond of"}),
    Row(u"你好", u"你好", "ni3 hao3", {u"hello; hi"}),
    Row(u"中国", u"中國", "Zhong1 guo2", {u"China"}),
    Row(u"中", u"中", "zhong1", {u"within; among"}),
    Row(u"绿", u"綠", "lu:4", {u"green"}),
};

char16_t Syl(int syllable, int tone) { return static_cast<char16_t>(0xE000 + 5 * syllable + tone); }

bool Write(const std::string& dir, const std::string& name, const db::DataFileSpec& file) {
  db::ByteVec bytes;
  std::string error;
  if (db::BuildDataFile(file, &bytes, nullptr, &error) != 0) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
    return false;
  }
  return fuzz::WriteSeed(dir, name, bytes.data(), bytes.size());
}

bool Add(int rc, const std::string& error) {
  if (rc != 0) std::fprintf(stderr, "%s\n", error.c_str());
  return rc == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_dictionary_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::string error;
  bool ok = true;

  db::DataFileSpec chinese;
  chinese.shortName = u"Test";
  ok = ok && Add(db::AddDictionaryTables(searchfix::ChineseDict(kRows, 1, u"Test"), &chinese, &error), error);
  ok = ok && Write(dir, "chinese.pdb", chinese);

  db::DataFileSpec english;
  english.shortName = u"EC";
  ok = ok && Add(db::AddDictionaryTables(searchfix::EnglishDict(kRows, 2), &english, &error), error);
  ok = ok && Write(dir, "english.pdb", english);

  // The character reference's resources beside a dictionary.
  db::DataFileSpec resources = chinese;
  ok = ok && Add(db::AddCodePageTables(db::kCodePageGb2312, &resources, &error), error);
  db::RadicalTablesSpec radicals;
  radicals.id = 1;
  radicals.listA = {0, 2};
  radicals.listB = {{0x4EBA, 1, 2}, {0x5973, 2, 3}};
  for (std::uint16_t rad : {1, 2, 3}) {
    db::RadicalChars rc;
    rc.radical = rad;
    rc.sections = {u"", u"\u4F60", u"\u597D\u5979"};
    radicals.radicals.push_back(rc);
  }
  radicals.lowestCode = 0x4F60;
  radicals.codes = {1, 2, 3};
  ok = ok && Add(db::AddRadicalTables(radicals, &resources, &error), error);
  db::StrokeIndexSpec strokes;
  strokes.version = 2;
  strokes.designWidth = 192;
  strokes.designHeight = 192;
  strokes.records = {{0x4F60, {10, 20, 30, 40, 65535, 50, 60}}, {0x597D, {1, 2, 3, 4}}};
  ok = ok && Add(db::AddStrokeIndexTable(strokes, &resources, &error), error);
  ok = ok && Write(dir, "resources.pdb", resources);

  db::DataFileSpec audio;
  audio.shortName = u"Audio";
  db::SyllableIndexSpec index;
  index.id = 7;
  index.clipTables = {1};
  index.keys = {{{Syl(10, 3)}, 0, 0, 0, false}, {{Syl(10, 3), Syl(20, 1)}, 0, 0, 1, false}};
  ok = ok && Add(db::AddSyllableIndexTable(index, &audio, &error), error);
  db::ClipTableSpec clips;
  clips.groupId = 7;
  clips.clips = {{'O', 'g', 'g', 'S'}, {1, 2, 3}};
  ok = ok && Add(db::AddClipTable(clips, &audio, &error), error);
  ok = ok && Write(dir, "audio.pdb", audio);
  return ok ? 0 : 1;
}
