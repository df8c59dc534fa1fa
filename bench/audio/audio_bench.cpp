// Latency of pronunciation playback: the time from a play request (stop what
// plays, copy the clips into the clip buffers as the lookup does, start the
// worker) to the first buffer handed to the wave output, median and 95th
// percentile of 50 runs with nothing playing before, over the recording null device, which takes buffers
// without playing them so the first write is seen as soon as it happens.
//
// Usage: bench_audio [clip.ogg ...]. Without arguments it speaks "ni3" and
// "hao3" (你好) with tools/devicedata/make_clips.sh at the device data's
// rate of 16,000 Hz, the clips the device data holds for that word.
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

#include "app/audio_playback.h"
#include "engine/mem_handle.h"
#include "platform/wave.h"
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

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::vector<char>> clips;
  fs::path scratch;
  if (argc > 1) {
    for (int i = 1; i < argc && clips.size() < kAudioMaxClips; ++i) clips.push_back(ReadFile(argv[i]));
  } else {
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

  std::vector<double> us;
  for (int run = 0; run < kRuns; ++run) {
    // The previous run's worker waits on the stepped device: end it before
    // the clock starts, so that each run is a play with nothing playing.
    if (!StopAudio()) return 1;
    ClearNullWaveRecord();
    const auto start = Clock::now();
    if (!StopAudio()) return 1;
    uint32_t lengths[kAudioMaxClips] = {};
    for (size_t i = 0; i < clips.size(); ++i) {
      ResizeMemHandle(context.clipBuffers[i], static_cast<uint32_t>(clips[i].size()));
      std::memcpy(LockMemHandle(context.clipBuffers[i]), clips[i].data(), clips[i].size());
      UnlockMemHandle(context.clipBuffers[i]);
      lengths[i] = static_cast<uint32_t>(clips[i].size());
    }
    StartAudio(context.clipBuffers, lengths, kAudioMaxClips, kRate, false);
    while (Writes() == 0) {
      if (Clock::now() - start > std::chrono::seconds(10)) {
        std::fprintf(stderr, "no buffer reached the device\n");
        return 1;
      }
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  ShutdownAudio(&context);
  for (MemHandle*& clip : context.clipBuffers) FreeMemHandle(clip);
  AppContextPointer = nullptr;

  std::sort(us.begin(), us.end());
  size_t bytes = 0;
  for (const auto& c : clips) bytes += c.size();
  std::printf("clips: %zu (%zu bytes of Ogg Vorbis at %u Hz)\n", clips.size(), bytes, kRate);
  std::printf("play request -> first buffer at the device, %d runs: median %.0f us, p95 %.0f us\n", kRuns,
              us[us.size() / 2], us[us.size() * 95 / 100]);
  return 0;
}
