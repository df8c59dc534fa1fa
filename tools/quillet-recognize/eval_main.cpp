// quillet-eval: top-1 / top-10 accuracy and time per character on synthetic
// writings (or a sample file), and the most frequent confusions.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "recognizer/quillet.h"
#include "tools/quillet-train/ink_text.h"
#include "tools/quillet-train/synth_ink.h"

namespace {

using namespace quillet_tools;

void Usage() {
  std::fprintf(stderr,
               "usage: quillet-eval --medians FILE [--chars FILE] [--per-char N] [--seed S] [--distort F] [--join P]\n"
               "                    [--kind NAME] [--flags N] [--confusions N]\n"
               "       quillet-eval --samples FILE [--flags N] [--confusions N]\n"
               "  --medians: stroke medians (CHAR<TAB>STROKES), as train.py writes them\n"
               "  --chars: the characters to test, UTF-8 text (default: every median)\n"
               "  --seed: writings differ from training (train.py uses 1); default 777\n"
               "  --join: chance that a stroke is joined to the one before (default from --distort)\n"
               "  --kind: one other-hand kind always applied on top of the distortions: straight\n"
               "          (12%% tolerance), straight-mid (6%%), hooks, components, proportions, speed,\n"
               "          swap, reverse, mixed (the training mix); default: none (the reference set)\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string medians, chars, samplesPath;
  int perChar = 3, confusions = 20;
  uint64_t seed = 777;
  double distort = 1.0, join = -1;
  uint32_t flags = 0x1 | 0x2;
  std::string kind;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    const char* v = argv[i + 1];
    if (a == "--medians") medians = v;
    else if (a == "--chars") chars = v;
    else if (a == "--samples") samplesPath = v;
    else if (a == "--per-char") perChar = std::atoi(v);
    else if (a == "--seed") seed = std::strtoull(v, nullptr, 10);
    else if (a == "--distort") distort = std::atof(v);
    else if (a == "--join") join = std::atof(v);
    else if (a == "--flags") flags = static_cast<uint32_t>(std::strtoul(v, nullptr, 0));
    else if (a == "--confusions") confusions = std::atoi(v);
    else if (a == "--kind") kind = v;
    else return Usage(), 2;
  }
  if ((argc % 2) == 0 || (medians.empty() && samplesPath.empty())) return Usage(), 2;

  std::vector<InkSample> tests;
  if (!samplesPath.empty()) {
    if (!ReadInkFile(samplesPath, &tests)) return std::fprintf(stderr, "cannot read %s\n", samplesPath.c_str()), 1;
  } else {
    std::vector<InkSample> all;
    if (!ReadInkFile(medians, &all)) return std::fprintf(stderr, "cannot read %s\n", medians.c_str()), 1;
    std::vector<const InkSample*> chosen;
    if (chars.empty()) {
      for (const InkSample& s : all) chosen.push_back(&s);
    } else {
      std::ifstream in(chars);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::unordered_map<char32_t, const InkSample*> byChar;
      for (const InkSample& s : all)
        if (s.character.size() == 1) byChar[s.character[0]] = &s;
      for (char32_t c : FromUtf8(text)) {
        auto it = byChar.find(c);
        if (it != byChar.end()) chosen.push_back(it->second);
      }
    }
    SynthParams params;
    if (!kind.empty() && !KindParams(kind.c_str(), &params))
      return std::fprintf(stderr, "unknown kind %s\n", kind.c_str()), 2;
    params = params.Scaled(distort);
    if (join >= 0) params.joinChance = join;
    for (size_t c = 0; c < chosen.size(); ++c)
      for (int s = 0; s < perChar; ++s) {
        SynthRandom rng = MakeRandom(seed, c, s);
        tests.push_back(InkSample{chosen[c]->character, SynthesizeWriting(chosen[c]->strokes, params, &rng)});
      }
  }

  std::vector<std::vector<int16_t>> inks;
  for (const InkSample& s : tests) inks.push_back(ToInkPoints(s.strokes));
  std::vector<std::vector<uint16_t>> results(tests.size(), std::vector<uint16_t>(11));
  // Each call timed on its own: on a shared machine the median is steadier
  // than the mean.
  std::vector<double> times(tests.size());
  double seconds = 0;
  for (size_t i = 0; i < tests.size(); ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    const int n = HWRecognize(inks[i].data(), results[i].data(), 10, flags);
    times[i] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    seconds += times[i];
    results[i].resize(static_cast<size_t>(n));
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  const double median = times.empty() ? 0 : times[times.size() / 2];

  size_t top1 = 0, top10 = 0;
  std::map<std::pair<char32_t, char32_t>, int> confused;
  for (size_t i = 0; i < tests.size(); ++i) {
    const char32_t truth = tests[i].character.size() == 1 ? tests[i].character[0] : 0;
    const std::vector<uint16_t>& r = results[i];
    if (!r.empty() && r[0] == truth) ++top1;
    else if (!r.empty()) ++confused[{truth, r[0]}];
    if (std::find(r.begin(), r.end(), truth) != r.end()) ++top10;
  }
  const double n = static_cast<double>(std::max<size_t>(tests.size(), 1));
  std::printf("writings %zu  flags 0x%X  distort %.2f  kind %s\n", tests.size(), flags, distort,
              kind.empty() ? "reference" : kind.c_str());
  std::printf("top-1 %.2f%%  top-10 %.2f%%  time %.1f us per character (median %.1f us)\n", 100.0 * top1 / n,
              100.0 * top10 / n, 1e6 * seconds / n, 1e6 * median);
  std::vector<std::pair<int, std::pair<char32_t, char32_t>>> worst;
  for (const auto& [pair, count] : confused) worst.push_back({count, pair});
  std::sort(worst.begin(), worst.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  if (!worst.empty()) std::printf("worst confusions (written -> read):\n");
  for (int i = 0; i < confusions && i < static_cast<int>(worst.size()); ++i)
    std::printf("  %s -> %s  %d\n", ToUtf8(std::u32string(1, worst[i].second.first)).c_str(),
                ToUtf8(std::u32string(1, worst[i].second.second)).c_str(), worst[i].first);
  return 0;
}
