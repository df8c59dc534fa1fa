// quillet-peer: Quillet and Zinnia side by side on the same synthetic ink:
// coverage, top-1 / top-10 accuracy and time per character.
#include <zinnia.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "recognizer/quillet.h"
#include "recognizer/template_table.h"
#include "tools/quillet-train/ink_text.h"
#include "tools/quillet-train/synth_ink.h"

namespace {

using namespace quillet_tools;

struct Tally {
  size_t top1 = 0, top10 = 0, n = 0;
  double seconds = 0;
};

void Print(const char* name, size_t coverage, size_t covered, size_t tests, const Tally& t) {
  const double n = static_cast<double>(std::max<size_t>(t.n, 1));
  std::printf("%-10s %10zu %13.1f%% %8.2f%% %8.2f%% %10.1f\n", name, coverage, 100.0 * covered / std::max<size_t>(tests, 1),
              100.0 * t.top1 / n, 100.0 * t.top10 / n, 1e6 * t.seconds / n);
}

}  // namespace

int main(int argc, char** argv) {
  std::string medians, chars, model = "/usr/share/tegaki/models/zinnia/handwriting-zh_CN.model";
  int perChar = 1;
  uint64_t seed = 777;
  double distort = 1.0, join = -1;
  uint32_t flags = 0x1 | 0x2;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    const char* v = argv[i + 1];
    if (a == "--medians") medians = v;
    else if (a == "--chars") chars = v;
    else if (a == "--model") model = v;
    else if (a == "--per-char") perChar = std::atoi(v);
    else if (a == "--seed") seed = std::strtoull(v, nullptr, 10);
    else if (a == "--distort") distort = std::atof(v);
    else if (a == "--join") join = std::atof(v);
    else if (a == "--flags") flags = static_cast<uint32_t>(std::strtoul(v, nullptr, 0));
  }
  if (medians.empty()) {
    std::fprintf(stderr,
                 "usage: quillet-peer --medians FILE [--chars FILE] [--per-char N] [--seed S] [--distort F] [--join P]\n"
                 "                    [--flags N] [--model ZINNIA_MODEL]\n");
    return 2;
  }
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
    for (char32_t c : FromUtf8(text))
      if (byChar.count(c)) chosen.push_back(byChar[c]);
  }

  std::unique_ptr<zinnia::Recognizer> zin(zinnia::Recognizer::create());
  if (!zin->open(model.c_str())) return std::fprintf(stderr, "zinnia: %s\n", zin->what()), 1;
  std::set<char32_t> zinSet, quilletSet;
  for (size_t i = 0; i < zin->size(); ++i) {
    const std::u32string v = FromUtf8(zin->value(i));
    if (v.size() == 1) zinSet.insert(v[0]);
  }
  const quillet::TemplateTable table = quillet::BuiltInTemplateTable();
  for (int c = 0; c < quillet::kClasses; ++c)
    if (quillet::ClassCode(table, c) >= 0x3400) quilletSet.insert(quillet::ClassCode(table, c));

  SynthParams params = SynthParams{}.Scaled(distort);
  if (join >= 0) params.joinChance = join;
  std::unique_ptr<zinnia::Character> zc(zinnia::Character::create());
  Tally q, z;
  size_t tests = 0, qCovered = 0, zCovered = 0;
  for (size_t c = 0; c < chosen.size(); ++c) {
    const char32_t truth = chosen[c]->character.size() == 1 ? chosen[c]->character[0] : 0;
    for (int s = 0; s < perChar; ++s) {
      SynthRandom rng = MakeRandom(seed, c, s);
      const std::vector<Stroke> strokes = SynthesizeWriting(chosen[c]->strokes, params, &rng);
      const std::vector<int16_t> ink = ToInkPoints(strokes);
      ++tests;
      qCovered += quilletSet.count(truth);
      zCovered += zinSet.count(truth);

      uint16_t out[11];
      auto t0 = std::chrono::steady_clock::now();
      const int n = HWRecognize(ink.data(), out, 10, flags);
      q.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      ++q.n;
      q.top1 += n > 0 && out[0] == truth;
      q.top10 += std::find(out, out + n, truth) != out + n;

      // Zinnia takes the writing in a square 1000 x 1000 box around the ink,
      // the canvas its models are trained on.
      double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
      for (const Stroke& st : strokes)
        for (const Point& p : st) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y),
                                  maxY = std::max(maxY, p.y);
      const double side = std::max(maxX - minX, maxY - minY) * 1.2 + 1;
      const double ox = (minX + maxX - side) / 2, oy = (minY + maxY - side) / 2;
      t0 = std::chrono::steady_clock::now();
      zc->clear();
      zc->set_width(1000);
      zc->set_height(1000);
      for (size_t k = 0; k < strokes.size(); ++k)
        for (const Point& p : strokes[k]) zc->add(k, static_cast<int>((p.x - ox) * 1000 / side), static_cast<int>((p.y - oy) * 1000 / side));
      std::unique_ptr<zinnia::Result> r(zin->classify(*zc, 10));
      z.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      ++z.n;
      if (r) {
        for (size_t i = 0; i < r->size(); ++i) {
          const std::u32string v = FromUtf8(r->value(i));
          if (v.size() == 1 && v[0] == truth) {
            z.top1 += i == 0;
            ++z.top10;
            break;
          }
        }
      }
    }
  }
  std::printf("writings %zu  distort %.2f  Quillet flags 0x%X\n", tests, distort, flags);
  std::printf("%-10s %10s %14s %9s %9s %10s\n", "", "coverage", "test covered", "top-1", "top-10", "us/char");
  Print("Quillet", quilletSet.size(), qCovered, tests, q);
  Print("Zinnia", zinSet.size(), zCovered, tests, z);
  return 0;
}
