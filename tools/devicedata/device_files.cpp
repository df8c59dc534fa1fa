#include "tools/devicedata/device_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/device_paths.h"
#include "resources/syllables.h"
#include "tools/databuild/code_page_tables.h"
#include "tools/devicedata/json_value.h"
#include "tools/devicedata/stroke_outline.h"

namespace devicedata {

namespace {

namespace fs = std::filesystem;

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

int ReadWholeFile(const fs::path& path, std::string* out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return 1;
  std::ostringstream ss;
  ss << f.rdbuf();
  *out = ss.str();
  return f.bad() ? 1 : 0;
}

int ReadPoint(const JsonValue& v, Point* p) {
  if (v.kind != JsonKind::Array || v.items.size() != 2 || v.items[0].kind != JsonKind::Number ||
      v.items[1].kind != JsonKind::Number) {
    return 1;
  }
  p->x = v.items[0].number;
  p->y = v.items[1].number;
  return 0;
}

}  // namespace

int ReadStrokeSource(const std::string& json, std::vector<std::uint16_t>* items, std::string* error) {
  JsonValue root;
  std::string why;
  if (ParseJson(json, &root, &why) != 0) return Fail(error, "bad JSON: " + why);
  const JsonValue* strokes = root.kind == JsonKind::Object ? JsonMember(root, "strokes") : nullptr;
  const JsonValue* medians = root.kind == JsonKind::Object ? JsonMember(root, "medians") : nullptr;
  if (!strokes || strokes->kind != JsonKind::Array || !medians || medians->kind != JsonKind::Array) {
    return Fail(error, "no \"strokes\" and \"medians\" lists");
  }
  if (strokes->items.size() != medians->items.size()) {
    return Fail(error, std::to_string(strokes->items.size()) + " strokes but " +
                           std::to_string(medians->items.size()) + " medians");
  }
  std::vector<SourceStroke> source(strokes->items.size());
  for (std::size_t s = 0; s < source.size(); ++s) {
    const JsonValue& path = strokes->items[s];
    if (path.kind != JsonKind::String) return Fail(error, "stroke " + std::to_string(s + 1) + " is not a path");
    if (FlattenSvgPath(path.text, &source[s].outline, &why) != 0) {
      return Fail(error, "stroke " + std::to_string(s + 1) + ": " + why);
    }
    const JsonValue& median = medians->items[s];
    if (median.kind != JsonKind::Array || median.items.empty()) {
      return Fail(error, "median " + std::to_string(s + 1) + " is not a list of points");
    }
    for (const JsonValue& pv : median.items) {
      Point p;
      if (ReadPoint(pv, &p) != 0) return Fail(error, "median " + std::to_string(s + 1) + " has a bad point");
      source[s].median.push_back(p);
    }
  }
  const int r = BuildStrokeRecord(source, kStrokeStep, items, &why);
  if (r != 0) Fail(error, why);
  return r;
}

int BuildStrokeFile(const std::string& folder, const std::u16string& notice, databuild::DataFileSpec* file,
                    databuild::StrokeIndexSpec* index, StrokeBuildStats* stats, std::string* error) {
  std::error_code ec;
  std::vector<fs::path> paths;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    if (e.is_regular_file() && e.path().extension() == ".json" && e.path().filename() != "package.json") {
      paths.push_back(e.path());
    }
  }
  if (ec) return Fail(error, folder + ": " + ec.message());
  std::sort(paths.begin(), paths.end());
  databuild::StrokeIndexSpec desc;
  desc.version = 1;
  desc.designWidth = kStrokeDesignSize;
  desc.designHeight = kStrokeDesignSize;
  StrokeBuildStats st;
  for (const fs::path& p : paths) {
    const std::u16string name = Utf8ToUtf16(p.stem().string());
    // One BMP character per record: the program looks strokes up by one unit.
    if (name.size() != 1 || (name[0] >= 0xD800 && name[0] < 0xE000)) {
      ++st.skipped;
      continue;
    }
    std::string json;
    if (ReadWholeFile(p, &json) != 0) return Fail(error, p.string() + ": cannot read");
    databuild::StrokeRecord rec;
    rec.code = name[0];
    std::string why;
    const int r = ReadStrokeSource(json, &rec.items, &why);
    if (r == 2) {  // more strokes than the stroke box holds: left out
      ++st.skipped;
      continue;
    }
    if (r != 0) return Fail(error, p.string() + ": " + why);
    const std::size_t segs = CountRecordSegments(rec.items);
    st.segments += segs;
    st.maxSegments = std::max(st.maxSegments, segs);
    desc.records.push_back(std::move(rec));
  }
  st.characters = desc.records.size();
  if (desc.records.empty()) return Fail(error, folder + ": no stroke records (*.json)");

  databuild::TableSpec table;
  if (databuild::MakeStrokeIndexTable(desc, &table, error) != 0) return 1;
  // Outlines compress well; the reader inflates a block per lookup.
  table.flags |= databuild::kTableZlib;
  table.zlibEnd = databuild::ZlibEnd::Finished;
  databuild::DataFileSpec f;
  f.shortName = u"Stroke Order";
  f.longName = u"Stroke order of Chinese characters";
  f.notice = notice;
  f.tables.push_back(std::move(table));
  *file = std::move(f);
  if (index) *index = std::move(desc);
  if (stats) *stats = st;
  return 0;
}

std::vector<ClipName> MandarinClipNames() {
  std::vector<ClipName> out;
  for (int n = 0; n < kSyllableCount; ++n) {
    if (SyllableZhuyin(n).empty()) continue;
    const std::string spelling(SyllableSpelling(n));
    for (int tone : {1, 2, 3, 4, 0}) {
      ClipName c;
      c.syllable = n;
      c.tone = tone;
      c.name = spelling + std::to_string(tone == 0 ? 5 : tone);
      out.push_back(std::move(c));
    }
  }
  return out;
}

std::u16string ClipKey(int syllable, int tone) {
  return std::u16string(1, static_cast<char16_t>(0xE000 + 5 * syllable + tone));
}

int BuildAudioFile(const std::string& folder, const std::vector<ClipName>& names, std::uint32_t sampleRate,
                   const std::u16string& notice, databuild::DataFileSpec* file, databuild::AudioGroupSpec* group,
                   AudioBuildStats* stats, std::string* error) {
  if (names.empty()) return Fail(error, "no clips");
  if (sampleRate == 0 || sampleRate > 0xFFFF) return Fail(error, "the sample rate must fit 16 bits");
  databuild::AudioGroupSpec g;
  g.id = 1;
  g.flags = databuild::kAudioSetA;
  g.kind = static_cast<std::uint16_t>(sampleRate);
  g.clipsPerTable = kClipsPerTable;
  AudioBuildStats st;
  for (const ClipName& n : names) {
    const fs::path p = fs::path(folder) / (n.name + ".ogg");
    std::string bytes;
    if (ReadWholeFile(p, &bytes) != 0) return Fail(error, p.string() + ": missing clip");
    if (bytes.size() < 4 || bytes.compare(0, 4, "OggS") != 0) return Fail(error, p.string() + ": not an Ogg file");
    if (bytes.size() > databuild::kMaxBlockBytes) return Fail(error, p.string() + ": clip over 49152 bytes");
    databuild::SyllableClip c;
    c.key = ClipKey(n.syllable, n.tone);
    c.data.assign(bytes.begin(), bytes.end());
    st.bytes += c.data.size();
    g.clips.push_back(std::move(c));
  }
  st.clips = g.clips.size();
  databuild::DataFileSpec f;
  f.shortName = u"Pronunciation";
  f.longName = u"Mandarin syllable pronunciations";
  f.notice = notice;
  if (databuild::AddAudioGroup(g, &f, error) != 0) return 1;
  *file = std::move(f);
  if (group) *group = std::move(g);
  if (stats) *stats = st;
  return 0;
}

int BuildCodePageFile(databuild::DataFileSpec* file, std::string* error) {
  databuild::DataFileSpec f;
  f.shortName = u"Code Pages";
  f.longName = u"GB-2312 and Big5 code pages";
  if (databuild::AddCodePageTables(databuild::kCodePageGb2312, &f, error) != 0) return 1;
  if (databuild::AddCodePageTables(databuild::kCodePageBig5, &f, error) != 0) return 1;
  *file = std::move(f);
  return 0;
}

}  // namespace devicedata
