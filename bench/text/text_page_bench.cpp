// Also the text field: laying out a 30,000-unit styled text and scrolling
// the field by one line (aims: 20 ms and 2 ms or less).
//
// Time to measure and draw a 40-line definition page (pinyin, Chinese and
// English at 14 px, text scale 6/3 on the 480x640 192-dpi screen) with a
// warm cache, and the advance cache's hit rate over the timed pages. Aim:
// 10 ms or less per page.
//
// Uses DejaVu Sans (Latin and bold) and WenQuanYi Zen Hei from the machine,
// linked into a device root of its own.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "platform/core.h"
#include "platform/ui.h"
#include "toolkit/field_layout.h"
#include "toolkit/font_slot.h"
#include "toolkit/text_service.h"
#include "toolkit/truetype_engine.h"

namespace {

std::string FindFont(const char* name) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator("/usr/share/fonts", ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (it->path().filename() == name) return it->path().string();
  return "";
}

std::u16string Coded(char16_t code, uint32_t n) {
  return std::u16string{code, static_cast<char16_t>(0x8000 | (n >> 15)), static_cast<char16_t>(0x8000 | (n & 0x7FFF))};
}

std::vector<std::u16string> PageLines() {
  const std::u16string red = Coded(0xEAC1, 0xD00000), blue = Coded(0xEAC1, 0x0000D0);
  const std::u16string lines[] = {
      u"\uEAB2中文\uEAB3 " + red + u"zhōng\uEAC2" + blue + u"wén\uEAC2 Chinese language; written Chinese",
      u"① the language of the Han people, \uEAB4spoken and written\uEAB5",
      u"\uEAB8see also\uEABB 汉语 hànyǔ, 普通话 pǔtōnghuà, 国语 guóyǔ",
      u"② a Chinese course; 我学中文 wǒ xué Zhōngwén: I study Chinese",
  };
  std::vector<std::u16string> page;
  for (int i = 0; i < 40; ++i) page.push_back(lines[i % 4]);
  return page;
}

struct Fixture {
  std::string folder;
  DictEngine* engine = nullptr;
  HWND hwnd = nullptr;
  DrawContext* context = nullptr;
  EngineHost host{};

  bool Start() {
    StartBackend(BACKEND_HEADLESS);
    SetScreenProfile(480, 640, 192);
    std::string pattern = (std::filesystem::temp_directory_path() / "sorvi-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return false;
    folder = pattern;
    SetDeviceRoot(folder.c_str());
    std::vector<std::string> paths;
    for (const char* name : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "wqy-zenhei.ttc"}) {
      std::string host = FindFont(name);
      if (host.empty()) return false;
      std::error_code ec;
      std::filesystem::create_symlink(host, folder + "/" + name, ec);
      paths.push_back(std::string("\\") + name);
    }
    std::vector<const char*> pointers;
    for (const std::string& p : paths) pointers.push_back(p.c_str());
    SetFontSlotHost(&host);
    EngineParams params{};
    params.fontFiles = pointers.data();
    params.fontFileCount = static_cast<uint16_t>(pointers.size());
    params.noFlashcards = 1;
    params.dataOnly = 1;
    params.host = &host;
    params.scaleNumerator = 6;
    params.scaleDenominator = 3;
    engine = CreateEngine(nullptr, 0, &params);
    if (!engine || engine->fontSlotCount == 0) return false;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = u"SorviBenchText";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 640, nullptr, nullptr, nullptr,
                           nullptr);
    UpdateWindow(hwnd);
    context = NewDrawContext(hwnd, GetModuleHandleW(nullptr));
    return context != nullptr;
  }
  ~Fixture() {
    if (context) FreeDrawContext(context);
    if (hwnd) DestroyWindow(hwnd);
    if (engine) FreeEngineSaveBlock(DestroyEngine(engine));
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
  }
};

void DrawPage(Fixture& f, const std::vector<std::u16string>& page) {
  int y = 0;
  for (const std::u16string& line : page) {
    TextStyleState measure{}, draw{};
    uint16_t count = static_cast<uint16_t>(line.size());
    uint16_t height = GetTextLineHeight(f.engine, 0, 14, line.c_str(), count, &measure);
    measure = TextStyleState{};
    benchmark::DoNotOptimize(MeasureText(f.engine, 0, 14, line.c_str(), count, &measure));
    DrawStyledText(f.engine, f.context, 0, 14, line.c_str(), count, 2, y % 600, height, &draw, 0x3000000, 0x1000000);
    y += height / 2;  // overlapping lines keep the page on the screen
  }
}

void BM_DefinitionPage(benchmark::State& state) {
  Fixture f;
  if (!f.Start()) {
    state.SkipWithError("fonts (fonts-dejavu-core, fonts-wqy-zenhei) or the engine are missing");
    return;
  }
  const std::vector<std::u16string> page = PageLines();
  DrawPage(f, page);  // warm the caches
  TrueTypeEngine* tt = GetSlotTrueTypeEngine(f.engine, 0);
  uint64_t hits0, misses0;
  GetAdvanceCacheStats(tt, &hits0, &misses0);
  for (auto _ : state) DrawPage(f, page);
  uint64_t hits, misses;
  GetAdvanceCacheStats(tt, &hits, &misses);
  double lookups = static_cast<double>((hits - hits0) + (misses - misses0));
  state.counters["advance_hit_rate"] = lookups > 0 ? static_cast<double>(hits - hits0) / lookups : 0;
}
BENCHMARK(BM_DefinitionPage)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A field over the whole 480x640 window holding the page's lines repeated
// to 30,000 units.
bool MakeField(Fixture& f, FieldState* s) {
  std::u16string text;
  const std::vector<std::u16string> page = PageLines();
  for (size_t i = 0; text.size() < 30000; ++i) text += page[i % page.size()] + u"\r\n";
  text.resize(30000);
  *s = FieldState{};
  if (InitFieldStorage(s) != 0) return false;
  s->engine = f.engine;
  s->fontSize = 14;
  s->margin = 1;
  s->draw = f.context;
  StoreFieldText(s, reinterpret_cast<const WCHAR*>(text.c_str()), text.size());
  ResizeField(s, ShortRect{0, 0, 480, 640}, 0);
  return true;
}

void BM_LayoutField30000(benchmark::State& state) {
  Fixture f;
  FieldState s{};
  if (!f.Start() || !MakeField(f, &s)) {
    state.SkipWithError("fonts (fonts-dejavu-core, fonts-wqy-zenhei) or the engine are missing");
    return;
  }
  for (auto _ : state) LayoutField(&s);
  state.counters["lines"] = s.lineCount;
  FreeFieldStorage(&s);
}
BENCHMARK(BM_LayoutField30000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ScrollFieldOneLine(benchmark::State& state) {
  Fixture f;
  FieldState s{};
  if (!f.Start() || !MakeField(f, &s)) {
    state.SkipWithError("fonts (fonts-dejavu-core, fonts-wqy-zenhei) or the engine are missing");
    return;
  }
  RedrawField(&s);
  bool up = false;
  for (auto _ : state) {
    // Down and back up keeps the top inside the text however long the run.
    ScrollFieldBy(&s, 1, up);
    up = !up;
  }
  FreeFieldStorage(&s);
}
BENCHMARK(BM_ScrollFieldOneLine)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
