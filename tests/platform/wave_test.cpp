// Wave output through the recording null device: header flags through the
// life of a buffer, volume, the three ways of consuming, errors and dead
// handles, callbacks, and a reset from another thread while a worker plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core.h"
#include "platform/message.h"
#include "platform/wave.h"

namespace {

class WaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetWaveDeviceKind(WAVE_DEVICE_NULL);
    SetNullWaveConsumption(WAVE_NULL_INSTANT);
    ClearNullWaveRecord();
  }
  void TearDown() override {
    for (HWAVEOUT d : open_) {
      waveOutReset(d);
      waveOutClose(d);
    }
    SetWaveDeviceKind(WAVE_DEVICE_AUTO);
    SetNullWaveConsumption(WAVE_NULL_INSTANT);
    if (IsVirtualClockInstalled()) UninstallVirtualClock();
    EXPECT_EQ(GetNullWaveRecord().openDevices, 0);
  }
  static WAVEFORMATEX Format(DWORD rate) {
    return WAVEFORMATEX{WAVE_FORMAT_PCM, 1, rate, rate * 2, 2, 16, 0};
  }
  HWAVEOUT Open(DWORD rate = 8000, DWORD_PTR callback = 0, DWORD_PTR instance = 0, DWORD flags = CALLBACK_NULL) {
    WAVEFORMATEX f = Format(rate);
    HWAVEOUT d = nullptr;
    EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &f, callback, instance, flags | WAVE_ALLOWSYNC), MMSYSERR_NOERROR);
    if (d) open_.push_back(d);
    return d;
  }
  void Close(HWAVEOUT d) {
    EXPECT_EQ(waveOutClose(d), MMSYSERR_NOERROR);
    open_.erase(std::remove(open_.begin(), open_.end(), d), open_.end());
  }
  std::vector<HWAVEOUT> open_;
};

struct Buffer {
  explicit Buffer(std::vector<std::int16_t> s) : samples(std::move(s)) {
    header.lpData = reinterpret_cast<LPSTR>(samples.data());
    header.dwBufferLength = static_cast<DWORD>(samples.size() * 2);
  }
  std::vector<std::int16_t> samples;
  WAVEHDR header{};
};

std::vector<std::int16_t> Ramp(int n, int start = 0) {
  std::vector<std::int16_t> v;
  for (int i = 0; i < n; ++i) v.push_back(static_cast<std::int16_t>((start + i) * 100 - 20000));
  return v;
}

TEST_F(WaveTest, InstantPlaybackWithVolumeAndFlags) {
  HWAVEOUT d = Open(22050);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(waveOutSetVolume(d, 0x80008000u), MMSYSERR_NOERROR);
  DWORD v = 0;
  EXPECT_EQ(waveOutGetVolume(d, &v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, 0x80008000u);
  Buffer b(Ramp(300));
  EXPECT_EQ(waveOutWrite(d, &b.header, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
  ASSERT_EQ(waveOutPrepareHeader(d, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveHeaderFlags(&b.header), WHDR_PREPARED);
  ASSERT_EQ(waveOutWrite(d, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveHeaderFlags(&b.header), WHDR_PREPARED | WHDR_DONE);
  // Written again: DONE is cleared on the way in and set again when played.
  ASSERT_EQ(waveOutWrite(d, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveHeaderFlags(&b.header), WHDR_PREPARED | WHDR_DONE);
  ASSERT_EQ(waveOutUnprepareHeader(d, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveHeaderFlags(&b.header), WHDR_DONE);
  Close(d);

  NullWaveRecord r = GetNullWaveRecord();
  EXPECT_EQ(r.rates, std::vector<DWORD>{22050});
  EXPECT_EQ(r.volumes, std::vector<DWORD>{0x80008000u});
  ASSERT_EQ(r.pcm.size(), 600u);
  for (size_t i = 0; i < 300; ++i) {
    std::int16_t expected = static_cast<std::int16_t>(b.samples[i] * 0x8000 / 65535);
    ASSERT_EQ(r.pcm[i], expected) << i;
    ASSERT_EQ(r.pcm[300 + i], expected) << i;
  }
  EXPECT_EQ(r.calls, (std::vector<std::string>{"open", "volume", "prepare", "write", "done", "write", "done",
                                               "unprepare", "close"}));
}

TEST_F(WaveTest, SteppedConsumptionPlaysInOrderAndKeepsHeadersQueued) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  HWAVEOUT d = Open();
  Buffer a(Ramp(100)), b(Ramp(50, 100));
  for (Buffer* x : {&a, &b}) {
    ASSERT_EQ(waveOutPrepareHeader(d, &x->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(d, &x->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(WaveHeaderFlags(&x->header), WHDR_PREPARED | WHDR_INQUEUE);
  }
  // Queued headers can be neither unprepared, written again nor closed under.
  EXPECT_EQ(waveOutUnprepareHeader(d, &a.header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutWrite(d, &a.header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutClose(d), WAVERR_STILLPLAYING);
  EXPECT_EQ(StepNullWaveDevice(60), 60u);
  EXPECT_EQ(WaveHeaderFlags(&a.header), WHDR_PREPARED | WHDR_INQUEUE);
  EXPECT_EQ(StepNullWaveDevice(60), 60u);  // the rest of a, 20 of b
  EXPECT_EQ(WaveHeaderFlags(&a.header), WHDR_PREPARED | WHDR_DONE);
  EXPECT_EQ(WaveHeaderFlags(&b.header), WHDR_PREPARED | WHDR_INQUEUE);
  EXPECT_EQ(StepNullWaveDevice(1000), 30u);
  EXPECT_EQ(WaveHeaderFlags(&b.header), WHDR_PREPARED | WHDR_DONE);
  EXPECT_EQ(StepNullWaveDevice(1000), 0u);
  std::vector<std::int16_t> all = a.samples;
  all.insert(all.end(), b.samples.begin(), b.samples.end());
  EXPECT_EQ(GetNullWaveRecord().pcm, all);  // full volume: unchanged
  Close(d);
}

TEST_F(WaveTest, ClockConsumptionFollowsTheVirtualClock) {
  SYSTEMTIME start{2024, 1, 1, 1, 0, 0, 0, 0};
  InstallVirtualClock(&start, 5000);
  SetNullWaveConsumption(WAVE_NULL_CLOCK);
  HWAVEOUT d = Open(8000);
  Buffer a(Ramp(800));  // 100 ms at 8000 Hz
  ASSERT_EQ(waveOutPrepareHeader(d, &a.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(d, &a.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  AdvanceVirtualClock(50);
  EXPECT_EQ(GetNullWaveRecord().pcm.size(), 400u);
  EXPECT_TRUE(WaveHeaderFlags(&a.header) & WHDR_INQUEUE);
  AdvanceVirtualClock(49);
  EXPECT_EQ(GetNullWaveRecord().pcm.size(), 792u);
  EXPECT_TRUE(WaveHeaderFlags(&a.header) & WHDR_INQUEUE);
  AdvanceVirtualClock(1);
  EXPECT_EQ(WaveHeaderFlags(&a.header), WHDR_PREPARED | WHDR_DONE);
  EXPECT_EQ(GetNullWaveRecord().pcm, a.samples);
  // Idle time is not owed to the next buffer.
  AdvanceVirtualClock(1000);
  Buffer b(Ramp(80));
  ASSERT_EQ(waveOutPrepareHeader(d, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(d, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_TRUE(WaveHeaderFlags(&b.header) & WHDR_INQUEUE);
  AdvanceVirtualClock(10);
  EXPECT_EQ(WaveHeaderFlags(&b.header), WHDR_PREPARED | WHDR_DONE);
  Close(d);
}

TEST_F(WaveTest, BadCallsAndDeadHandlesAreRefused) {
  WAVEFORMATEX f = Format(8000);
  HWAVEOUT d = nullptr;
  struct FormatCase {
    WAVEFORMATEX format;
    MMRESULT expected;
  };
  const FormatCase formats[] = {
      {{WAVE_FORMAT_PCM, 2, 8000, 32000, 4, 16, 0}, WAVERR_BADFORMAT},
      {{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0}, WAVERR_BADFORMAT},
      {{3, 1, 8000, 16000, 2, 16, 0}, WAVERR_BADFORMAT},
      {{WAVE_FORMAT_PCM, 1, 4000, 8000, 2, 16, 0}, WAVERR_BADFORMAT},
  };
  for (const FormatCase& c : formats) EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &c.format, 0, 0, 0), c.expected);
  EXPECT_EQ(waveOutOpen(&d, 3, &f, 0, 0, 0), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &f, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
  EXPECT_EQ(GetNullWaveRecord().openDevices, 0);
  SetWaveDeviceKind(WAVE_DEVICE_NONE);
  EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &f, 0, 0, 0), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveOutGetNumDevs(), 0u);
  SetWaveDeviceKind(WAVE_DEVICE_NULL);

  HWAVEOUT live = Open();
  Buffer b(Ramp(10));
  EXPECT_EQ(waveOutPrepareHeader(live, nullptr, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutPrepareHeader(live, &b.header, 4), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutGetVolume(live, nullptr), MMSYSERR_INVALPARAM);
  ASSERT_EQ(waveOutPrepareHeader(live, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  Close(live);

  // The closed handle, a forged one and null: refused by every call, no crash.
  HWAVEOUT forged = reinterpret_cast<HWAVEOUT>(static_cast<std::uintptr_t>(0x12345678));
  for (HWAVEOUT h : {live, forged, static_cast<HWAVEOUT>(nullptr)}) {
    DWORD v;
    EXPECT_EQ(waveOutWrite(h, &b.header, sizeof(WAVEHDR)), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutPrepareHeader(h, &b.header, sizeof(WAVEHDR)), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutUnprepareHeader(h, &b.header, sizeof(WAVEHDR)), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutReset(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutSetVolume(h, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutGetVolume(h, &v), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_INVALHANDLE);
  }
  // A new device may take the slot; the old handle stays dead.
  HWAVEOUT next = Open();
  EXPECT_NE(next, live);
  EXPECT_EQ(waveOutReset(live), MMSYSERR_INVALHANDLE);
  Close(next);
}

struct CallbackLog {
  std::mutex mutex;
  std::vector<UINT> msgs;
  std::vector<WAVEHDR*> headers;
  DWORD_PTR instance = 0;
};

void RecordCallback(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR) {
  auto* log = reinterpret_cast<CallbackLog*>(instance);
  std::lock_guard<std::mutex> lk(log->mutex);
  log->msgs.push_back(msg);
  log->headers.push_back(reinterpret_cast<WAVEHDR*>(p1));
}

TEST_F(WaveTest, CallbacksReportOpenDoneAndClose) {
  CallbackLog log;
  HWAVEOUT d = Open(8000, reinterpret_cast<DWORD_PTR>(&RecordCallback), reinterpret_cast<DWORD_PTR>(&log),
                    CALLBACK_FUNCTION);
  Buffer a(Ramp(10)), b(Ramp(10));
  for (Buffer* x : {&a, &b}) {
    waveOutPrepareHeader(d, &x->header, sizeof(WAVEHDR));
    waveOutWrite(d, &x->header, sizeof(WAVEHDR));
  }
  Close(d);
  EXPECT_EQ(log.msgs, (std::vector<UINT>{WOM_OPEN, WOM_DONE, WOM_DONE, WOM_CLOSE}));
  EXPECT_EQ(log.headers[1], &a.header);
  EXPECT_EQ(log.headers[2], &b.header);

  // An event is signalled for each finished buffer.
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  HWAVEOUT e = Open(8000, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT);
  WaitForSingleObject(event, 0);  // the open
  waveOutPrepareHeader(e, &a.header, sizeof(WAVEHDR));
  waveOutWrite(e, &a.header, sizeof(WAVEHDR));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  StepNullWaveDevice(10);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  Close(e);
  CloseHandle(event);
}

TEST_F(WaveTest, ResetFromAnotherThreadEndsAWorkerWaitingOnItsBuffers) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  HWAVEOUT d = Open(16000);
  std::atomic<bool> writing{false};
  std::atomic<int> unprepared{0};
  std::atomic<DWORD> closeResult{0xFFFF};
  // The audio worker: three buffers written, then it polls their flags, as
  // the player does, until each is done, and closes the device.
  std::thread worker([&] {
    std::vector<Buffer> bufs;
    bufs.reserve(3);
    for (int i = 0; i < 3; ++i) bufs.emplace_back(Ramp(4000, i));
    for (Buffer& b : bufs) {
      waveOutPrepareHeader(d, &b.header, sizeof(WAVEHDR));
      waveOutWrite(d, &b.header, sizeof(WAVEHDR));
    }
    writing = true;
    for (Buffer& b : bufs) {
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!(WaveHeaderFlags(&b.header) & WHDR_DONE) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      if (waveOutUnprepareHeader(d, &b.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR) ++unprepared;
    }
    closeResult = waveOutClose(d);
  });
  while (!writing) std::this_thread::sleep_for(std::chrono::microseconds(200));
  StepNullWaveDevice(1000);  // part of the first buffer played
  // The UI thread stops playback: a reset from this thread, racing the
  // worker's polling, and a second one after it that finds the device gone
  // or empty, never a crash.
  EXPECT_EQ(waveOutReset(d), MMSYSERR_NOERROR);
  worker.join();
  EXPECT_EQ(unprepared.load(), 3);
  EXPECT_EQ(closeResult.load(), MMSYSERR_NOERROR);
  open_.clear();
  EXPECT_EQ(waveOutReset(d), MMSYSERR_INVALHANDLE);
  NullWaveRecord r = GetNullWaveRecord();
  EXPECT_EQ(r.pcm.size(), 1000u);
  EXPECT_EQ(std::count(r.calls.begin(), r.calls.end(), std::string("reset")), 1);
}

TEST_F(WaveTest, ResetAndCloseRaceFromManyThreads) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  for (int round = 0; round < 20; ++round) {
    HWAVEOUT d = Open();
    Buffer b(Ramp(100));
    waveOutPrepareHeader(d, &b.header, sizeof(WAVEHDR));
    waveOutWrite(d, &b.header, sizeof(WAVEHDR));
    std::atomic<int> ok{0};
    std::vector<std::thread> resetters;
    for (int t = 0; t < 3; ++t)
      resetters.emplace_back([&] {
        for (int i = 0; i < 20; ++i)
          if (waveOutReset(d) == MMSYSERR_NOERROR) ++ok;
      });
    // Close as soon as the queue is empty, while the others still reset.
    while (waveOutClose(d) == WAVERR_STILLPLAYING) std::this_thread::yield();
    for (auto& t : resetters) t.join();
    open_.clear();
    EXPECT_GE(ok.load(), 1);
    EXPECT_EQ(WaveHeaderFlags(&b.header), WHDR_PREPARED | WHDR_DONE);
  }
}

}  // namespace
