#include "app/audio_playback.h"

#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "engine/dict_engine.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "platform/engine_lock.h"
#include "platform/handles.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/wave.h"
#include "toolkit/app_context.h"

namespace {

constexpr uint32_t kSamplesPerBuffer = kAudioBufferBytes / 2;
// Drain: a queued header is given up to 5,000 tries 1 ms apart (a full ring
// plays for about 1.5 s at 22,050 Hz).
constexpr int kDrainTries = 5000;
constexpr int32_t kFullLevel = 10;

const char16_t kAudioCaption[] = u"Audio Unavailable";
const char16_t kNoDataFilesText[] =
    u"Sorry, the audio data files could not be found - please make sure you've installed them correctly.";
const char16_t kPlaybackFailedText[] = u"Sorry, the audio playback system failed to load correctly.";

// Made by StartAudio, owned by the worker.
struct AudioRequest {
  AppContext* app;
  MemHandle* clips[kAudioMaxClips];
  uint32_t lengths[kAudioMaxClips];
  uint32_t count;
  uint32_t sampleRate;
};

// The device polls are on the real clock even when the program runs on the
// virtual one: the device plays in real time.
void SleepOneMs() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

ov_callbacks SourceCallbacks() {
  ov_callbacks callbacks;
  callbacks.read_func = AudioSourceRead;
  callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) {
    return AudioSourceSeek(source, static_cast<int64_t>(offset), whence);
  };
  callbacks.close_func = AudioSourceClose;
  callbacks.tell_func = AudioSourceTell;
  return callbacks;
}

// Reads the volume preference under the engine lock; the engine may already
// be gone at shutdown, when the full level serves.
int32_t ReadVolumePreference(AppContext* app) {
  EngineLockGuard lock;
  return app->engine ? GetPref(app->engine, kPrefAudioVolume) : kFullLevel;
}

void ShrinkClip(MemHandle* clip) {
  if (clip) ResizeMemHandle(clip, kAudioShrunkClipBytes);
}

// The worker's device and ring. Every exit goes through Finish, which hands
// every buffer back before the device is closed and the memory freed: a
// buffer still queued would otherwise be read after the free.
struct Playback {
  AppContext* app = nullptr;
  AudioRequest* request = nullptr;
  HWAVEOUT device = nullptr;
  uint8_t* pcm = nullptr;
  WAVEHDR headers[kAudioRingBuffers] = {};

  // `reset`: stop at once (failure or stop); otherwise the queued buffers
  // play out first.
  DWORD Finish(bool reset, DWORD result) {
    if (device) {
      if (reset) waveOutReset(device);
      for (WAVEHDR& header : headers) {
        if (!(WaveHeaderFlags(&header) & WHDR_PREPARED)) continue;
        for (int tries = 0; tries < kDrainTries; ++tries) {
          if (waveOutUnprepareHeader(device, &header, sizeof header) != WAVERR_STILLPLAYING) break;
          SleepOneMs();
        }
      }
      app->waveOut.store(nullptr);
      if (waveOutClose(device) == WAVERR_STILLPLAYING) {
        // A driver that kept a buffer after all the tries: stop it before
        // the ring is freed under it.
        waveOutReset(device);
        waveOutClose(device);
      }
      device = nullptr;
    }
    delete[] pcm;
    pcm = nullptr;
    delete request;
    request = nullptr;
    app->audioBusy.store(0);  // last: the UI thread may reuse everything now
    return result;
  }
};

enum class ClipEnd { kNormal, kStop };

// Plays one clip into the ring. `k`, `filled` and `playing` carry over
// between clips.
ClipEnd PlayClip(Playback& p, OggVorbis_File* file, bool boost, uint32_t& k, uint32_t& filled, bool& playing) {
  AppContext* app = p.app;
  for (;;) {
    WAVEHDR& header = p.headers[k];
    if (k < filled) {
      // Buffer k still belongs to the device until it is played.
      bool gaveUp = true;
      for (DWORD waited = 0; waited < kAudioBufferWaitMs; ++waited) {
        if (app->audioStop.load()) return ClipEnd::kStop;
        if (!(WaveHeaderFlags(&header) & WHDR_INQUEUE)) {
          gaveUp = false;
          break;
        }
        SleepOneMs();
      }
      if (gaveUp) return ClipEnd::kNormal;
      if (waveOutUnprepareHeader(p.device, &header, sizeof header) == WAVERR_STILLPLAYING) return ClipEnd::kNormal;
    }
    char* buffer = reinterpret_cast<char*>(p.pcm) + k * kAudioBufferBytes;
    std::memset(buffer, 0, kAudioBufferBytes);
    uint32_t got = 0;
    while (got < kAudioBufferBytes) {
      int bitstream = 0;
      const long n = ov_read(file, buffer + got, static_cast<int>(kAudioBufferBytes - got), &bitstream);
      if (app->audioStop.load()) return ClipEnd::kStop;
      if (n < 1) break;
      got += static_cast<uint32_t>(n);
    }
    const bool complete = got >= kAudioBufferBytes;
    auto* samples = reinterpret_cast<int16_t*>(buffer);
    for (uint32_t i = 0; i < kSamplesPerBuffer; ++i) samples[i] = ApplyAudioGain(samples[i], boost);
    header = {};
    header.lpData = buffer;
    header.dwBufferLength = kAudioBufferBytes;  // the zeroed rest plays as silence
    if (waveOutPrepareHeader(p.device, &header, sizeof header) != MMSYSERR_NOERROR) return ClipEnd::kNormal;
    if (playing) {
      if (waveOutWrite(p.device, &header, sizeof header) != MMSYSERR_NOERROR) return ClipEnd::kNormal;
    } else if (k >= 1 || !complete) {
      // Output starts once two buffers are ready, or at once for a clip
      // shorter than one buffer.
      for (uint32_t j = 0; j <= k; ++j) {
        if (waveOutWrite(p.device, &p.headers[j], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return ClipEnd::kNormal;
      }
      playing = true;
    }
    filled = std::min(filled + 1, kAudioRingBuffers);
    k = (k + 1) % kAudioRingBuffers;
    if (!complete) return ClipEnd::kNormal;
    if (app->audioStop.load()) return ClipEnd::kStop;
  }
}

}  // namespace

size_t AudioSourceRead(void* buffer, size_t size, size_t count, void* source) {
  auto* s = static_cast<AudioMemorySource*>(source);
  if (s->position < 0 || static_cast<uint32_t>(s->position) > s->length) return 0;
  const size_t left = s->length - static_cast<uint32_t>(s->position);
  if (size != 0 && count > left / size + 1) count = left / size + 1;  // no overflow of size x count
  const size_t n = std::min(size * count, left);
  if (n == 0) return 0;
  std::memcpy(buffer, s->data + s->position, n);
  s->position += static_cast<int32_t>(n);
  return n;
}

int AudioSourceSeek(void* source, int64_t offset, int whence) {
  auto* s = static_cast<AudioMemorySource*>(source);
  int64_t target = 0;
  switch (whence) {
    case SEEK_SET:
      target = offset;
      break;
    case SEEK_CUR:
      target = static_cast<int64_t>(s->position) + offset;
      break;
    case SEEK_END:
      target = static_cast<int64_t>(s->length) + offset;
      break;
    default:
      return -1;
  }
  if (target < 0 || target > static_cast<int64_t>(s->length)) return -1;
  s->position = static_cast<int32_t>(target);
  return 0;
}

long AudioSourceTell(void* source) { return static_cast<AudioMemorySource*>(source)->position; }

int AudioSourceClose(void*) { return 0; }

AudioVolume AudioVolumeFor(int32_t preference) {
  // 0 (never set) plays at full level; a negative value is no level at all
  // and plays the same rather than muting or wrapping the volume word.
  int32_t v = preference <= 0 ? kFullLevel : preference;
  const bool boost = v > kFullLevel;
  const DWORD level = static_cast<DWORD>(boost ? kFullLevel : v) * 65535u / kFullLevel;
  return {level | (level << 16), boost};
}

int16_t ApplyAudioGain(int16_t sample, bool boost) {
  const int limit = boost ? 8192 : 16384;
  if (sample >= limit) return 32767;
  if (sample <= -limit) return -32767;
  return static_cast<int16_t>(sample * (boost ? 4 : 2));
}

int DecodeAudioClip(const void* data, uint32_t length, std::vector<int16_t>* samples) {
  AudioMemorySource source = {static_cast<const uint8_t*>(data), length, 0};
  OggVorbis_File file;
  if (ov_open_callbacks(&source, &file, nullptr, 0, SourceCallbacks()) != 0) return 1;
  char buffer[kAudioBufferBytes];
  for (;;) {
    int bitstream = 0;
    const long n = ov_read(&file, buffer, sizeof buffer, &bitstream);
    if (n < 1) break;
    const size_t at = samples->size();
    samples->resize(at + static_cast<size_t>(n) / 2);
    std::memcpy(samples->data() + at, buffer, static_cast<size_t>(n) / 2 * 2);
  }
  ov_clear(&file);
  return 0;
}

DWORD PlayAudioThread(LPVOID parameter) {
  Playback p;
  p.request = static_cast<AudioRequest*>(parameter);
  p.app = p.request->app;
  AppContext* app = p.app;
  AudioRequest* request = p.request;
  if (app->audioStop.load()) {
    app->audioStop.store(0);
    return p.Finish(false, 0);
  }

  p.pcm = new (std::nothrow) uint8_t[kAudioRingBuffers * kAudioBufferBytes]();
  if (!p.pcm) return p.Finish(false, 1);
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = request->sampleRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 2;
  format.nAvgBytesPerSec = request->sampleRate * 2;
  HWAVEOUT device = nullptr;
  if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, WAVE_ALLOWSYNC | CALLBACK_NULL) != MMSYSERR_NOERROR) {
    return p.Finish(false, 1);
  }
  p.device = device;
  app->waveOut.store(device);

  const AudioVolume volume = AudioVolumeFor(ReadVolumePreference(app));
  waveOutSetVolume(device, volume.volumeWord);

  uint32_t k = 0;
  uint32_t filled = 0;
  bool playing = false;
  bool stopped = false;
  uint32_t i = 0;
  for (; i < request->count && !app->audioStop.load(); ++i) {
    MemHandle* clip = request->clips[i];
    AudioMemorySource source = {static_cast<const uint8_t*>(clip ? LockMemHandle(clip) : nullptr), request->lengths[i],
                                0};
    if (!source.data) source.length = 0;
    OggVorbis_File file;
    if (ov_open_callbacks(&source, &file, nullptr, 0, SourceCallbacks()) != 0) {
      // Not a clip: playback ends here, the clips after it untouched.
      if (clip) UnlockMemHandle(clip);
      return p.Finish(true, 1);
    }
    const ClipEnd end = PlayClip(p, &file, volume.boost, k, filled, playing);
    ov_clear(&file);
    if (clip) UnlockMemHandle(clip);
    ShrinkClip(clip);
    if (end == ClipEnd::kStop) {
      stopped = true;
      ++i;
      break;
    }
  }
  if (app->audioStop.load()) stopped = true;  // asked between two clips
  if (stopped) app->audioStop.store(0);
  for (; i < request->count; ++i) ShrinkClip(request->clips[i]);
  return p.Finish(stopped, 0);
}

void StartAudio(MemHandle* const* clips, const uint32_t* lengths, uint32_t count, uint32_t sampleRate, bool wait) {
  AppContext* app = AppContextPointer;
  if (!app) return;
  uint8_t idle = 0;
  if (!app->audioBusy.compare_exchange_strong(idle, 1)) return;
  if (app->audioThread) {
    CloseHandle(app->audioThread);
    app->audioThread = nullptr;
  }
  app->audioStop.store(0);
  auto* request = new (std::nothrow) AudioRequest{};
  if (!request) {
    app->audioBusy.store(0);
    return;
  }
  request->app = app;
  const uint32_t n = std::min(count, kAudioMaxClips);
  uint32_t copied = 0;
  while (copied < n && (copied == 0 || lengths[copied] != 0)) {
    request->clips[copied] = clips[copied];
    request->lengths[copied] = lengths[copied];
    ++copied;
  }
  request->count = copied;
  request->sampleRate = sampleRate;
  HANDLE thread = CreateThread(nullptr, 0, PlayAudioThread, request, 0, nullptr);
  if (!thread) {
    delete request;
    app->audioBusy.store(0);
    return;
  }
  app->audioThread = thread;
  SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
  if (wait) WaitForSingleObject(thread, kAudioStartWaitMs);
}

int StopAudio() {
  AppContext* app = AppContextPointer;
  if (!app || !app->audioBusy.load()) return 1;
  app->audioStop.store(1);
  if (HWAVEOUT device = app->waveOut.load()) waveOutReset(device);
  if (!app->audioThread || WaitForSingleObject(app->audioThread, kAudioStopWaitMs) != WAIT_OBJECT_0) return 0;
  return app->audioBusy.load() ? 0 : 1;
}

int ShutdownAudio(AppContext* app) {
  if (!app) return 1;
  if (app->audioBusy.load()) {
    app->audioStop.store(1);
    if (HWAVEOUT device = app->waveOut.load()) waveOutReset(device);
    if (app->audioThread) WaitForSingleObject(app->audioThread, kAudioStopWaitMs);
    if (app->audioBusy.load()) return 0;  // its handle stays: the thread still runs
  }
  if (app->audioThread) {
    CloseHandle(app->audioThread);
    app->audioThread = nullptr;
  }
  return 1;
}

void ShowAudioError(HWND owner, int code) {
  const char16_t* text = nullptr;
  switch (code) {
    case 0:
    case kAudioNoClip:
    case kAudioNoClipSet:
      return;
    case kAudioNoDataFiles:
      text = kNoDataFilesText;
      break;
    default:
      text = kPlaybackFailedText;
      break;
  }
  MessageBoxW(owner, reinterpret_cast<LPCWSTR>(text), reinterpret_cast<LPCWSTR>(kAudioCaption),
              MB_ICONHAND | MB_TOPMOST);
}

void PlayEntryAudio(HWND owner, int level) {
  AppContext* app = AppContextPointer;
  if (!app) return;
  if (level >= 0 && level <= 9 && app->engine) SetPref(app->engine, kPrefAudioVolume, level + 1);
  if (!StopAudio()) return;
  uint32_t lengths[kAudioMaxClips] = {};
  uint16_t sampleRate = 0;
  const int code = GetLookupEntryAudio(app->lookupSession, app->clipBuffers, lengths, &sampleRate);
  if (code != 0) {
    ShowAudioError(owner, code);
    return;
  }
  StartAudio(app->clipBuffers, lengths, kAudioMaxClips, sampleRate, false);
}
