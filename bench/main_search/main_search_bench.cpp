// Search as you type over the device data, headless and drawing included.
// The program starts as it does on a device (InitInstance) over a device
// root of the benchmark's own whose "Program Files\Sorvi" links to the
// device folder's files, so the device folder is only read. 200 headwords
// are taken evenly from the dictionary's word list; for each, the pinyin a
// user types (tone marks dropped, no spaces) is put into the input field one
// prefix at a time. Each prefix sets the search timer; the time measured is
// from the timer firing (the virtual clock moved past the delay) until the
// window's queue is quiet again: the search, the session's notice, the
// definition set and every paint it caused. Median and 95th percentile.
//
// Usage: bench_main_search [device root]; default $SORVI_ROOT, else
// ~/.local/share/sorvi/device.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_instance.h"
#include "app/app_startup.h"
#include "app/main_window.h"
#include "engine/lookup_session.h"
#include "engine/preferences.h"
#include "engine/text_encoding.h"
#include "platform/clock.h"
#include "platform/device_paths.h"
#include "platform/heap.h"
#include "platform/message.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "resources/resources.h"
#include "toolkit/app_context.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kHeadwords = 200;
constexpr DWORD kDelayMs = 500;
constexpr uint32_t kTextUnits = 256;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void PumpUntilQuiet() {
  for (int round = 0; round < 64 && PumpPendingMessages() > 0; ++round) {
  }
}

// What a user types for a row of the word list: the pinyin that follows
// the headword in the row's text, with the tones and every character other
// than a letter left out, in lower case.
std::u16string TypedPinyin(LookupSession* session, uint32_t row) {
  WCHAR text[kTextUnits] = {};
  if (FormatLookupEntryToBuffer(session, row, text, kTextUnits) != 0) return {};
  const std::u16string line(text);
  const size_t space = line.find(u' ');
  if (space == std::u16string::npos) return {};
  const size_t end = line.find(u' ', space + 1);
  const std::u16string pron = line.substr(space + 1, end == std::u16string::npos ? end : end - space - 1);
  WCHAR digits[2 * kTextUnits + 1] = {};
  if (!ConvertPinyinToneMarks(pron.c_str(), digits)) return {};
  std::u16string out;
  for (const WCHAR* p = digits; *p; ++p) {
    WCHAR c = *p;
    if (c >= u'A' && c <= u'Z') c = static_cast<WCHAR>(c - u'A' + u'a');
    if (c >= u'a' && c <= u'z') out += c;
  }
  return out;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  std::string device = argc > 1 ? argv[1] : "";
  if (device.empty() && std::getenv("SORVI_ROOT")) device = std::getenv("SORVI_ROOT");
  if (device.empty() && std::getenv("HOME")) device = std::string(std::getenv("HOME")) + "/.local/share/sorvi/device";
  const fs::path data = fs::path(device) / "Program Files" / "Sorvi";
  if (!fs::is_directory(data)) {
    std::fprintf(stderr, "bench_main_search: no device data in %s (make data)\n", data.c_str());
    return 1;
  }
  std::string pattern = (fs::temp_directory_path() / "sorvi-bench-main-search-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const fs::path root = pattern;
  fs::create_directories(root / "Program Files" / "Sorvi");
  fs::create_directories(root / "My Documents");
  for (const auto& entry : fs::directory_iterator(data))
    if (entry.is_regular_file())
      fs::create_symlink(entry.path(), root / "Program Files" / "Sorvi" / entry.path().filename());

  setenv("SORVI_BACKEND", "headless", 1);
  SetDeviceRoot(root.c_str());
  SYSTEMTIME start{};
  start.wYear = 2026;
  start.wMonth = 12;
  start.wDay = 10;
  InstallVirtualClock(&start, 1000);
  InitUiThread();
  RegisterSorviResources();
  int status = 1;
  if (InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL, u"")) {
    PumpUntilQuiet();
    AppContext* app = AppContextPointer;
    LookupSession* session = app->lookupSession;
    SetPref(app->engine, kPrefSearchDelay, static_cast<int32_t>(kDelayMs));
    HWND input = MainWindow.inputField;

    // The word list's rows, then 200 of them spread over it.
    SendMessageW(input, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(u"a"));
    AdvanceVirtualClock(kDelayMs);
    PumpUntilQuiet();
    LookupHandleCommand(session, kLookupToFullList, -1);
    PumpUntilQuiet();
    uint32_t rows = 0;
    LookupGetCounts(session, &rows, nullptr);
    std::vector<std::u16string> typed;
    for (int i = 0; i < kHeadwords && rows > 0; ++i) {
      std::u16string word = TypedPinyin(session, static_cast<uint32_t>(static_cast<uint64_t>(rows) * i / kHeadwords));
      if (!word.empty()) typed.push_back(word);
    }
    PumpUntilQuiet();

    std::vector<double> times;
    int searched = 0;
    for (const std::u16string& word : typed) {
      SendMessageW(input, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(u""));
      PumpUntilQuiet();
      for (size_t n = 1; n <= word.size(); ++n) {
        const std::u16string prefix = word.substr(0, n);
        SendMessageW(input, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(prefix.c_str()));
        PumpUntilQuiet();  // the typing itself, before the timer
        const auto t0 = Clock::now();
        AdvanceVirtualClock(kDelayMs);
        PumpUntilQuiet();
        times.push_back(Micros(Clock::now() - t0));
        searched += std::u16string(session->query) == prefix && app->definitionTextLocked != nullptr;
      }
    }
    std::printf("Search as you type on the main window (%zu headwords, %zu typed prefixes, headless, drawn)\n",
                typed.size(), times.size());
    std::printf("  timer fired -> definition shown: median %.0f us, 95th percentile %.0f us, max %.0f us\n",
                Percentile(times, 0.5), Percentile(times, 0.95), Percentile(times, 1.0));
    std::printf("  prefixes searched and shown: %d of %zu\n", searched, times.size());
    DestroyWindow(AppMainWindow);
    RunAppMessageLoop();
    ShutdownApplication();
    status = times.empty() ? 1 : 0;
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return status;
}
