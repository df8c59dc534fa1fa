// Latency of pronunciation playback: the time from a play request (stop what
// plays, copy the clips into the clip buffers as the lookup does, start the
// worker) to the first buffer handed to the wave output, median and 95th
// percentile of 50 runs with nothing playing before, over the recording null device, which takes buffers
// without playing them so the first write is seen as soon as it happens.
//
// Usage: bench_audio [--device ROOT] [clip.ogg ...]. Without clips it speaks
// "ni3" and "hao3" (你好) with tools/devicedata/make_clips.sh at the device
// data's rate of 16,000 Hz, the clips the device data holds for that word.
//
// Then, over the device data itself (ROOT, else $SORVI_ROOT, else
// ~/.local/share/sorvi/device; skipped when it has no audio file), the
// main window's "Play Audio" (action 13) on the entry 你好: the program
// started (headless) over a device root of the benchmark's own whose
// "Program Files\Sorvi" links to the device folder's files, the entry made
// current in the main lookup session, and the time taken from the action
// (which stops what plays, fetches the two clips from the audio file into
// the clip buffers and starts the worker) to the first buffer at the
// device, 50 runs.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/app_instance.h"
#include "app/app_startup.h"
#include "app/audio_playback.h"
#include "app/main_actions.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "platform/device_paths.h"
#include "platform/engine_lock.h"
#include "platform/message.h"
#include "platform/resources.h"
#include "platform/wave.h"
#include "platform/window.h"
#include "resources/resources.h"
#include "toolkit/app_context.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kRuns = 50;
constexpr uint32_t kRate = 16000;

std::vector<char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

int Writes() {
  int n = 0;
  for (const auto& c : GetNullWaveRecord().calls) n += c == "write";
  return n;
}

void Report(const char* what, std::vector<double> us) {
  std::sort(us.begin(), us.end());
  std::printf("%s, %zu runs: median %.0f us, p95 %.0f us\n", what, us.size(), us[us.size() / 2],
              us[us.size() * 95 / 100]);
}

// Times `play` to the first write at the stepped null device, kRuns times;
// empty when a run saw no buffer within 10 s.
template <typename Play>
std::vector<double> TimeFirstBuffer(Play play) {
  std::vector<double> us;
  for (int run = 0; run < kRuns; ++run) {
    // The previous run's worker waits on the stepped device: end it before
    // the clock starts, so that each run is a play with nothing playing.
    if (!StopAudio()) return {};
    ClearNullWaveRecord();
    const auto start = Clock::now();
    play();
    // The program's UI thread goes back to its message loop, which lets go
    // of the engine lock the worker takes to read the volume.
    EngineLockReleaser idle;
    while (Writes() == 0) {
      if (Clock::now() - start > std::chrono::seconds(10)) {
        std::fprintf(stderr, "no buffer reached the device\n");
        return {};
      }
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  return us;
}

// The device folder of the data, or "" when it holds no audio file.
fs::path DeviceData(const std::string& given) {
  std::string root = given;
  if (root.empty() && std::getenv("SORVI_ROOT")) root = std::getenv("SORVI_ROOT");
  if (root.empty() && std::getenv("HOME")) root = std::string(std::getenv("HOME")) + "/.local/share/sorvi/device";
  const fs::path data = fs::path(root) / "Program Files" / "Sorvi";
  return fs::is_regular_file(data / "s2audio.pdb") && fs::is_regular_file(data / "s2cedict.pdb") ? data : fs::path();
}

// Makes `headword` the current entry of the main session: searched for, then
// the first row from the query's place on whose headword it is shown.
bool ShowEntry(LookupSession* session, const std::u16string& headword) {
  if (LookupSearchFor(session, reinterpret_cast<const WCHAR*>(headword.c_str()), 1) != 0) return false;
  uint32_t rows = 0, index = 0;
  LookupGetCounts(session, &rows, &index);
  // The list is the dictionary's whole index around the query's place.
  for (uint32_t i = index; i < rows && i < index + 50; ++i) {
    if (LookupShowEntryAt(session, i) != 0) continue;
    WCHAR text[64] = {};
    LookupFetchEntry(session, text, 64, 0);
    if (std::u16string(reinterpret_cast<const char16_t*>(text)) == headword) return true;
  }
  return false;
}

// "Play Audio" on 你好 over the device data; 1 on failure.
int BenchDevicePlay(const fs::path& data) {
  std::string pattern = (fs::temp_directory_path() / "sorvi-bench-audio-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const fs::path root = pattern;
  fs::create_directories(root / "Program Files" / "Sorvi");
  for (const auto& entry : fs::directory_iterator(data))
    if (entry.is_regular_file())
      fs::create_symlink(entry.path(), root / "Program Files" / "Sorvi" / entry.path().filename());
  SetDeviceRoot(root.c_str());
  // The window is made but never shown on a screen.
  setenv("SORVI_BACKEND", "headless", 1);
  InitUiThread();
  RegisterSorviResources();
  int result = 1;
  if (InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL, u"")) {
    PumpPendingMessages();
    AppContext* app = AppContextPointer;
    if (!ShowEntry(app->lookupSession, u"你好")) {
      std::fprintf(stderr, "the device data has no entry 你好\n");
    } else {
      uint32_t lengths[kAudioMaxClips] = {};
      uint16_t rate = 0;
      GetLookupEntryAudio(app->lookupSession, app->clipBuffers, lengths, &rate);
      uint32_t clips = 0, bytes = 0;
      while (clips < kAudioMaxClips && lengths[clips]) bytes += lengths[clips++];
      std::vector<double> us = TimeFirstBuffer([] { ExecuteAction(kActionPlayAudio, -1); });
      if (!us.empty()) {
        std::printf("device data %s: 你好 has %u clips (%u bytes of Ogg Vorbis at %u Hz)\n", data.c_str(), clips, bytes,
                    rate);
        Report("action 13 (Play Audio) -> first buffer at the device", us);
        result = 0;
      }
    }
    StopAudio();
    DestroyWindow(AppMainWindow);
    RunAppMessageLoop();
    ShutdownApplication();
  }
  SetDeviceRoot(nullptr);
  fs::remove_all(root);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::vector<char>> clips;
  std::string device;
  fs::path scratch;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--device") == 0 && i + 1 < argc) {
      device = argv[++i];
    } else if (clips.size() < kAudioMaxClips) {
      clips.push_back(ReadFile(argv[i]));
    }
  }
  if (clips.empty()) {
    char tmpl[] = "/tmp/bench_audio.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    scratch = tmpl;
    const std::string command = std::string("bash '") + AUDIO_MAKE_CLIPS + "' '" + scratch.string() + "' " +
                                std::to_string(kRate) + " ni3 hao3";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "making the clips failed: %s\n", command.c_str());
      fs::remove_all(scratch);
      return 1;
    }
    clips.push_back(ReadFile((scratch / "ni3.ogg").string()));
    clips.push_back(ReadFile((scratch / "hao3.ogg").string()));
    fs::remove_all(scratch);
  }
  for (const auto& c : clips) {
    if (c.empty()) {
      std::fprintf(stderr, "an empty clip\n");
      return 1;
    }
  }

  static AppContext context{};
  AppContextPointer = &context;
  for (MemHandle*& clip : context.clipBuffers) clip = NewMemHandle(kAudioShrunkClipBytes);
  SetWaveDeviceKind(WAVE_DEVICE_NULL);
  SetNullWaveConsumption(WAVE_NULL_STEPPED);

  std::vector<double> us = TimeFirstBuffer([&] {
    if (!StopAudio()) return;
    uint32_t lengths[kAudioMaxClips] = {};
    for (size_t i = 0; i < clips.size(); ++i) {
      ResizeMemHandle(context.clipBuffers[i], static_cast<uint32_t>(clips[i].size()));
      std::memcpy(LockMemHandle(context.clipBuffers[i]), clips[i].data(), clips[i].size());
      UnlockMemHandle(context.clipBuffers[i]);
      lengths[i] = static_cast<uint32_t>(clips[i].size());
    }
    StartAudio(context.clipBuffers, lengths, kAudioMaxClips, kRate, false);
  });
  ShutdownAudio(&context);
  for (MemHandle*& clip : context.clipBuffers) FreeMemHandle(clip);
  AppContextPointer = nullptr;
  if (us.empty()) return 1;

  size_t bytes = 0;
  for (const auto& c : clips) bytes += c.size();
  std::printf("clips: %zu (%zu bytes of Ogg Vorbis at %u Hz)\n", clips.size(), bytes, kRate);
  Report("play request -> first buffer at the device", us);

  const fs::path data = DeviceData(device);
  if (data.empty()) {
    std::printf("no device data with audio (make data, or --device ROOT): Play Audio over it not measured\n");
    return 0;
  }
  return BenchDevicePlay(data);
}
