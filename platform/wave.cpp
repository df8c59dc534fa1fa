#include "platform/wave.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/message.h"
#include "platform/threads.h"

namespace {

struct Device {
  std::mutex mutex;
  HWAVEOUT handle = nullptr;
  bool isNull = true;
  int consumption = WAVE_NULL_INSTANT;
  DWORD rate = 0;
  DWORD volume = 0xFFFFFFFFu;
  std::deque<WAVEHDR*> queue;
  DWORD offset = 0;  // bytes of the front header already played
  DWORD callbackType = CALLBACK_NULL;
  DWORD_PTR callback = 0;
  DWORD_PTR instance = 0;
  SDL_AudioDeviceID sdl = 0;
  bool closed = false;
  // Clock consumption.
  DWORD lastTick = 0;
  DWORD remainder = 0;  // sample-milliseconds not yet played
  std::thread clockThread;
  std::condition_variable stopCv;
  bool stop = false;
};

struct Slot {
  std::shared_ptr<Device> device;
  WORD generation = 0;
};

struct Global {
  std::mutex mutex;  // taken before any device's mutex, never after
  std::vector<Slot> slots;
  int kind = WAVE_DEVICE_AUTO;
  int consumption = WAVE_NULL_INSTANT;
  bool hookInstalled = false;
  bool sdlTried = false;
  bool sdlReady = false;
};

Global& G() {
  static auto* g = new Global;
  return *g;
}

std::mutex& RecordMutex() {
  static auto* m = new std::mutex;
  return *m;
}
NullWaveRecord& Rec() {
  static auto* r = new NullWaveRecord;
  return *r;
}

constexpr size_t kMaxRecordedSamples = size_t{1} << 24;
constexpr size_t kMaxRecordedCalls = 1 << 16;

void Note(const Device& d, const char* call) {
  if (!d.isNull) return;
  std::lock_guard<std::mutex> lk(RecordMutex());
  if (Rec().calls.size() < kMaxRecordedCalls) Rec().calls.push_back(call);
}

HWAVEOUT Encode(size_t index, WORD generation) {
  auto v = ((static_cast<std::uintptr_t>(generation) << 20) | static_cast<std::uintptr_t>(index + 1)) << 4;
  return reinterpret_cast<HWAVEOUT>(v | 0x8);
}

std::shared_ptr<Device> Lookup(HWAVEOUT h) {
  auto v = reinterpret_cast<std::uintptr_t>(h);
  if ((v & 0xF) != 0x8) return nullptr;
  v >>= 4;
  size_t index = v & 0xFFFFF;
  auto generation = static_cast<WORD>(v >> 20);
  std::lock_guard<std::mutex> lk(G().mutex);
  if (index == 0 || index > G().slots.size()) return nullptr;
  Slot& s = G().slots[index - 1];
  if (!s.device || s.generation != generation) return nullptr;
  return s.device;
}

void MarkDone(WAVEHDR* h) {
  std::atomic_ref<DWORD> flags(h->dwFlags);
  DWORD old = flags.load(std::memory_order_relaxed);
  while (!flags.compare_exchange_weak(old, (old & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release,
                                      std::memory_order_relaxed)) {
  }
}

void SetFlags(WAVEHDR* h, DWORD set, DWORD clear) {
  std::atomic_ref<DWORD> flags(h->dwFlags);
  DWORD old = flags.load(std::memory_order_relaxed);
  while (!flags.compare_exchange_weak(old, (old & ~clear) | set, std::memory_order_release, std::memory_order_relaxed)) {
  }
}

struct Report {
  DWORD type;
  DWORD_PTR callback;
  DWORD_PTR instance;
  HWAVEOUT handle;
  UINT msg;
  WAVEHDR* header;
};

// Called with no device lock held.
void Deliver(const std::vector<Report>& reports) {
  for (const Report& r : reports) {
    switch (r.type) {
      case CALLBACK_FUNCTION:
        if (r.callback)
          reinterpret_cast<WAVEOUTPROC>(r.callback)(r.handle, r.msg, r.instance, reinterpret_cast<DWORD_PTR>(r.header), 0);
        break;
      case CALLBACK_WINDOW:
        PostMessageW(reinterpret_cast<HWND>(r.callback), r.msg, reinterpret_cast<WPARAM>(r.handle),
                     reinterpret_cast<LPARAM>(r.header));
        break;
      case CALLBACK_THREAD:
        PostThreadMessageW(static_cast<DWORD>(r.callback), r.msg, reinterpret_cast<WPARAM>(r.handle),
                           reinterpret_cast<LPARAM>(r.header));
        break;
      case CALLBACK_EVENT: SetEvent(reinterpret_cast<HANDLE>(r.callback)); break;
      default: break;
    }
  }
}

Report MakeReport(const Device& d, UINT msg, WAVEHDR* h) {
  return Report{d.callbackType, d.callback, d.instance, d.handle, msg, h};
}

// Device mutex held. Plays up to `samples` samples from the queue into `out`
// (may be null), with the volume applied; finished headers are reported.
DWORD Consume(Device& d, DWORD samples, std::int16_t* out, std::vector<Report>* reports) {
  DWORD played = 0;
  DWORD gain = d.volume & 0xFFFF;
  std::vector<std::int16_t> recorded;
  while (played < samples && !d.queue.empty()) {
    WAVEHDR* h = d.queue.front();
    DWORD total = h->dwBufferLength / 2;
    DWORD at = d.offset / 2;
    DWORD n = std::min(samples - played, total - at);
    for (DWORD i = 0; i < n; ++i) {
      std::int16_t s;
      std::memcpy(&s, h->lpData + 2 * (at + i), 2);
      auto v = static_cast<std::int16_t>(static_cast<std::int32_t>(s) * static_cast<std::int32_t>(gain) / 65535);
      if (out) out[played + i] = v;
      if (d.isNull) recorded.push_back(v);
    }
    played += n;
    d.offset += 2 * n;
    if (d.offset / 2 >= total) {
      d.queue.pop_front();
      d.offset = 0;
      MarkDone(h);
      reports->push_back(MakeReport(d, WOM_DONE, h));
    }
  }
  if (d.isNull && (!recorded.empty() || !reports->empty())) {
    std::lock_guard<std::mutex> lk(RecordMutex());
    // A headless program may play for hours: the record keeps its first 16M samples.
    size_t room = kMaxRecordedSamples - std::min(kMaxRecordedSamples, Rec().pcm.size());
    Rec().pcm.insert(Rec().pcm.end(), recorded.begin(), recorded.begin() + static_cast<std::ptrdiff_t>(std::min(room, recorded.size())));
    for (size_t i = 0; i < reports->size() && Rec().calls.size() < kMaxRecordedCalls; ++i) Rec().calls.push_back("done");
  }
  return played;
}

// Device mutex held.
void ConsumeByClock(Device& d, std::vector<Report>* reports) {
  DWORD now = GetTickCount();
  DWORD elapsed = now - d.lastTick;
  d.lastTick = now;
  if (d.queue.empty()) {
    d.remainder = 0;
    return;
  }
  std::uint64_t owed = static_cast<std::uint64_t>(elapsed) * d.rate + d.remainder;
  d.remainder = static_cast<DWORD>(owed % 1000);
  Consume(d, static_cast<DWORD>(std::min<std::uint64_t>(owed / 1000, 0xFFFFFFFFu)), nullptr, reports);
}

std::vector<std::shared_ptr<Device>> OpenDevices() {
  std::vector<std::shared_ptr<Device>> out;
  std::lock_guard<std::mutex> lk(G().mutex);
  for (const Slot& s : G().slots)
    if (s.device) out.push_back(s.device);
  return out;
}

// The virtual clock moved: clock-driven null devices play what that time covers.
void ClockAdvanced(void*) {
  for (auto& d : OpenDevices()) {
    std::vector<Report> reports;
    {
      std::lock_guard<std::mutex> lk(d->mutex);
      if (!d->isNull || d->consumption != WAVE_NULL_CLOCK || d->closed) continue;
      ConsumeByClock(*d, &reports);
    }
    Deliver(reports);
  }
}

void ClockLoop(Device* d) {
  std::unique_lock<std::mutex> lk(d->mutex);
  while (!d->stop) {
    d->stopCv.wait_for(lk, std::chrono::milliseconds(1));
    if (d->stop) break;
    std::vector<Report> reports;
    ConsumeByClock(*d, &reports);
    if (!reports.empty()) {
      lk.unlock();
      Deliver(reports);
      lk.lock();
    }
  }
}

void SdlCallback(void* user, Uint8* stream, int len) {
  auto* d = static_cast<Device*>(user);
  auto samples = static_cast<DWORD>(len / 2);
  std::vector<std::int16_t> buffer(samples, 0);
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lk(d->mutex);
    if (!d->closed) Consume(*d, samples, buffer.data(), &reports);
  }
  std::memcpy(stream, buffer.data(), static_cast<size_t>(len) & ~static_cast<size_t>(1));
  if (len & 1) stream[len - 1] = 0;
  Deliver(reports);
}

bool HeadlessEnvironment() {
  const char* b = std::getenv("SORVI_BACKEND");
  return b && std::strcmp(b, "headless") == 0;
}

// Global mutex held.
bool SdlAudioReady() {
  if (!G().sdlTried) {
    G().sdlTried = true;
    G().sdlReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  }
  return G().sdlReady;
}

SDL_AudioDeviceID OpenSdl(Device* d) {
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(d->rate);
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 512;
  want.callback = &SdlCallback;
  want.userdata = d;
  SDL_AudioSpec have{};
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id) SDL_PauseAudioDevice(id, 0);
  return id;
}

bool CheckHeader(const WAVEHDR* h, UINT size) { return h && size >= 32 && h->lpData; }

}  // namespace

DWORD WaveHeaderFlags(const WAVEHDR* header) {
  if (!header) return 0;
  return std::atomic_ref<DWORD>(const_cast<WAVEHDR*>(header)->dwFlags).load(std::memory_order_acquire);
}

UINT waveOutGetNumDevs() { return GetWaveDeviceKind() == WAVE_DEVICE_NONE ? 0 : 1; }

MMRESULT waveOutOpen(HWAVEOUT* device, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
  if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
  if (!format) return MMSYSERR_INVALPARAM;
  if (format->wFormatTag != WAVE_FORMAT_PCM || format->nChannels != 1 || format->wBitsPerSample != 16 ||
      format->nSamplesPerSec < 8000 || format->nSamplesPerSec > 48000)
    return WAVERR_BADFORMAT;
  DWORD type = flags & CALLBACK_TYPEMASK;
  if (type != CALLBACK_NULL && type != CALLBACK_WINDOW && type != CALLBACK_THREAD && type != CALLBACK_FUNCTION &&
      type != CALLBACK_EVENT)
    return MMSYSERR_INVALFLAG;
  int kind;
  int consumption;
  {
    std::lock_guard<std::mutex> lk(G().mutex);
    kind = G().kind;
    consumption = G().consumption;
  }
  if (kind == WAVE_DEVICE_NONE) return MMSYSERR_NODRIVER;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  if (!device) return MMSYSERR_INVALPARAM;
  *device = nullptr;
  auto d = std::make_shared<Device>();
  d->rate = format->nSamplesPerSec;
  d->callbackType = type;
  d->callback = callback;
  d->instance = instance;
  d->consumption = consumption;
  bool useSdl = kind == WAVE_DEVICE_SDL || (kind == WAVE_DEVICE_AUTO && !HeadlessEnvironment());
  if (useSdl) {
    bool ready;
    {
      std::lock_guard<std::mutex> lk(G().mutex);
      ready = SdlAudioReady();
    }
    if (ready) d->sdl = OpenSdl(d.get());
  }
  d->isNull = d->sdl == 0;
  {
    std::lock_guard<std::mutex> lk(G().mutex);
    auto& slots = G().slots;
    size_t index = slots.size();
    for (size_t i = 0; i < slots.size(); ++i)
      if (!slots[i].device) {
        index = i;
        break;
      }
    if (index == slots.size()) slots.push_back(Slot{});
    Slot& s = slots[index];
    s.generation = static_cast<WORD>(s.generation + 1);
    s.device = d;
    d->handle = Encode(index, s.generation);
    if (d->isNull && !G().hookInstalled) {
      G().hookInstalled = true;
      AddVirtualClockAdvanceHook(&ClockAdvanced, nullptr);
    }
  }
  if (d->isNull) {
    std::lock_guard<std::mutex> lk(RecordMutex());
    Rec().rates.push_back(d->rate);
    Rec().calls.push_back("open");
    ++Rec().openDevices;
  }
  if (d->isNull && d->consumption == WAVE_NULL_CLOCK) {
    d->lastTick = GetTickCount();
    d->clockThread = std::thread(&ClockLoop, d.get());
  }
  *device = d->handle;
  Deliver({MakeReport(*d, WOM_OPEN, nullptr)});
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT device) {
  std::shared_ptr<Device> d;
  {
    std::lock_guard<std::mutex> lk(G().mutex);
    auto v = reinterpret_cast<std::uintptr_t>(device);
    if ((v & 0xF) != 0x8) return MMSYSERR_INVALHANDLE;
    v >>= 4;
    size_t index = v & 0xFFFFF;
    if (index == 0 || index > G().slots.size()) return MMSYSERR_INVALHANDLE;
    Slot& s = G().slots[index - 1];
    if (!s.device || s.generation != static_cast<WORD>(v >> 20)) return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> dl(s.device->mutex);
    if (!s.device->queue.empty()) return WAVERR_STILLPLAYING;
    s.device->closed = true;
    s.device->stop = true;
    s.device->stopCv.notify_all();
    d = std::move(s.device);
  }
  if (d->clockThread.joinable()) d->clockThread.join();
  if (d->sdl) SDL_CloseAudioDevice(d->sdl);
  if (d->isNull) {
    std::lock_guard<std::mutex> lk(RecordMutex());
    Rec().calls.push_back("close");
    --Rec().openDevices;
  }
  Deliver({MakeReport(*d, WOM_CLOSE, nullptr)});
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size) {
  auto d = Lookup(device);
  if (!d) return MMSYSERR_INVALHANDLE;
  if (!CheckHeader(header, size)) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> lk(d->mutex);
  if (d->closed) return MMSYSERR_INVALHANDLE;
  if (WaveHeaderFlags(header) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  SetFlags(header, WHDR_PREPARED, 0);
  Note(*d, "prepare");
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size) {
  auto d = Lookup(device);
  if (!d) return MMSYSERR_INVALHANDLE;
  if (!CheckHeader(header, size)) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> lk(d->mutex);
  if (d->closed) return MMSYSERR_INVALHANDLE;
  if (WaveHeaderFlags(header) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  SetFlags(header, 0, WHDR_PREPARED);
  Note(*d, "unprepare");
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT size) {
  auto d = Lookup(device);
  if (!d) return MMSYSERR_INVALHANDLE;
  if (!CheckHeader(header, size)) return MMSYSERR_INVALPARAM;
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lk(d->mutex);
    if (d->closed) return MMSYSERR_INVALHANDLE;
    DWORD flags = WaveHeaderFlags(header);
    if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (d->queue.empty()) {
      d->lastTick = GetTickCount();
      d->remainder = 0;
    }
    header->lpNext = nullptr;
    SetFlags(header, WHDR_INQUEUE, WHDR_DONE);
    d->queue.push_back(header);
    Note(*d, "write");
    if (d->isNull && d->consumption == WAVE_NULL_INSTANT) Consume(*d, 0xFFFFFFFFu, nullptr, &reports);
  }
  Deliver(reports);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT device) {
  auto d = Lookup(device);
  if (!d) return MMSYSERR_INVALHANDLE;
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lk(d->mutex);
    if (d->closed) return MMSYSERR_INVALHANDLE;
    Note(*d, "reset");
    for (WAVEHDR* h : d->queue) {
      MarkDone(h);
      reports.push_back(MakeReport(*d, WOM_DONE, h));
    }
    d->queue.clear();
    d->offset = 0;
  }
  Deliver(reports);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume) {
  auto d = Lookup(device);
  if (!d) return MMSYSERR_INVALHANDLE;
  std::lock_guard<std::mutex> lk(d->mutex);
  if (d->closed) return MMSYSERR_INVALHANDLE;
  d->volume = volume;
  if (d->isNull) {
    std::lock_guard<std::mutex> rl(RecordMutex());
    Rec().volumes.push_back(volume);
    Rec().calls.push_back("volume");
  }
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT device, DWORD* volume) {
  auto d = Lookup(device);
  if (!d) return MMSYSERR_INVALHANDLE;
  if (!volume) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> lk(d->mutex);
  if (d->closed) return MMSYSERR_INVALHANDLE;
  *volume = d->volume;
  return MMSYSERR_NOERROR;
}

void SetWaveDeviceKind(int kind) {
  std::lock_guard<std::mutex> lk(G().mutex);
  G().kind = kind;
}

int GetWaveDeviceKind() {
  std::lock_guard<std::mutex> lk(G().mutex);
  return G().kind;
}

void SetNullWaveConsumption(int mode) {
  std::lock_guard<std::mutex> lk(G().mutex);
  G().consumption = mode;
}

DWORD StepNullWaveDevice(DWORD samples) {
  DWORD most = 0;
  for (auto& d : OpenDevices()) {
    std::vector<Report> reports;
    DWORD played = 0;
    {
      std::lock_guard<std::mutex> lk(d->mutex);
      if (!d->isNull || d->consumption != WAVE_NULL_STEPPED || d->closed) continue;
      played = Consume(*d, samples, nullptr, &reports);
    }
    most = std::max(most, played);
    Deliver(reports);
  }
  return most;
}

NullWaveRecord GetNullWaveRecord() {
  std::lock_guard<std::mutex> lk(RecordMutex());
  return Rec();
}

void ClearNullWaveRecord() {
  std::lock_guard<std::mutex> lk(RecordMutex());
  int open = Rec().openDevices;
  Rec() = NullWaveRecord{};
  Rec().openDevices = open;
}
