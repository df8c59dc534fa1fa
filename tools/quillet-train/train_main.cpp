// quillet-train: the C++ half of the trainer. It turns stroke medians into
// synthetic writings and those into the recogniser's 1,024 feature counters;
// train.py learns the table from them. See README.md.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "recognizer/recognizer.h"
#include "tools/quillet-train/ink_text.h"
#include "tools/quillet-train/synth_ink.h"

namespace {

using namespace quillet_tools;

struct Options {
  std::string medians, out, inkOut;
  int perChar = 20;
  uint64_t seed = 1;
  double distort = 1.0;
  int threads = 4;
  bool reference = false;  // --recipe reference: today's distortions only
};

void Usage() {
  std::fprintf(stderr,
               "usage: quillet-train features --medians FILE --out FILE [--per-char N] [--seed S]\n"
               "                              [--distort F] [--threads T] [--recipe training|reference]\n"
               "       quillet-train ink --medians FILE --out FILE [--per-char N] [--seed S] [--distort F]\n"
               "                         [--recipe training|reference]\n"
               "  features: one record per writing: u32 LE line index, 1,024 counter bytes\n"
               "  ink: the writings as text (CHAR<TAB>STROKES), for quillet-recognize\n"
               "  --recipe: training (default) adds the other-hand kinds; reference is the\n"
               "            distortions alone, as the reference evaluation draws them\n");
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return false;
    const char* v = argv[++i];
    if (a == "--medians") o->medians = v;
    else if (a == "--out") o->out = v;
    else if (a == "--per-char") o->perChar = std::atoi(v);
    else if (a == "--seed") o->seed = std::strtoull(v, nullptr, 10);
    else if (a == "--distort") o->distort = std::atof(v);
    else if (a == "--threads") o->threads = std::atoi(v);
    else if (a == "--recipe" && (std::strcmp(v, "training") == 0 || std::strcmp(v, "reference") == 0))
      o->reference = std::strcmp(v, "reference") == 0;
    else return false;
  }
  return !o->medians.empty() && !o->out.empty() && o->perChar > 0 && o->threads > 0;
}

SynthParams Recipe(const Options& o) {
  return (o.reference ? SynthParams{} : TrainingParams()).Scaled(o.distort);
}

int RunFeatures(const Options& o, const std::vector<InkSample>& medians) {
  const SynthParams params = Recipe(o);
  const size_t n = medians.size();
  std::vector<std::vector<uint8_t>> chunks(o.threads);
  std::vector<std::thread> workers;
  for (int t = 0; t < o.threads; ++t) {
    workers.emplace_back([&, t] {
      auto wa = std::make_unique<quillet::RecognizerWorkArea>();
      std::vector<uint8_t>& buf = chunks[t];
      for (size_t c = t; c < n; c += o.threads) {
        for (int s = 0; s < o.perChar; ++s) {
          SynthRandom rng = MakeRandom(o.seed, c, s);
          const std::vector<int16_t> ink = ToInkPoints(SynthesizeWriting(medians[c].strokes, params, &rng));
          if (quillet::PrepareInk(ink.data(), wa.get()) == 0) continue;
          quillet::ExtractCounters(wa->ink, wa->grid, &wa->features);
          const uint32_t label = static_cast<uint32_t>(c);
          for (int b = 0; b < 4; ++b) buf.push_back(static_cast<uint8_t>(label >> (8 * b)));
          buf.insert(buf.end(), wa->features.counters, wa->features.counters + quillet::kCounters);
        }
      }
    });
  }
  for (std::thread& w : workers) w.join();
  FILE* f = std::fopen(o.out.c_str(), "wb");
  if (!f) return 1;
  for (const auto& buf : chunks) std::fwrite(buf.data(), 1, buf.size(), f);
  return std::fclose(f) == 0 ? 0 : 1;
}

int RunInk(const Options& o, const std::vector<InkSample>& medians) {
  const SynthParams params = Recipe(o);
  FILE* f = std::fopen(o.out.c_str(), "w");
  if (!f) return 1;
  for (size_t c = 0; c < medians.size(); ++c) {
    for (int s = 0; s < o.perChar; ++s) {
      SynthRandom rng = MakeRandom(o.seed, c, s);
      const std::vector<Stroke> strokes = SynthesizeWriting(medians[c].strokes, params, &rng);
      std::string line = ToUtf8(medians[c].character) + "\t";
      for (size_t k = 0; k < strokes.size(); ++k) {
        if (k) line += " | ";
        for (size_t i = 0; i < strokes[k].size(); ++i) {
          const Point p = strokes[k][i];
          const long x = std::lround(p.x), y = std::lround(p.y);
          char text[32];
          std::snprintf(text, sizeof text, "%s%ld,%ld", i ? " " : "", x < 0 ? 0 : x > 1023 ? 1023 : x,
                        y < 0 ? 0 : y > 1023 ? 1023 : y);
          line += text;
        }
      }
      std::fprintf(f, "%s\n", line.c_str());
    }
  }
  return std::fclose(f) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (argc < 2 || !ParseOptions(argc, argv, &o)) {
    Usage();
    return 2;
  }
  std::vector<InkSample> medians;
  if (!ReadInkFile(o.medians, &medians)) {
    std::fprintf(stderr, "quillet-train: cannot read %s\n", o.medians.c_str());
    return 1;
  }
  const std::string mode = argv[1];
  if (mode == "features") return RunFeatures(o, medians);
  if (mode == "ink") return RunInk(o, medians);
  Usage();
  return 2;
}
