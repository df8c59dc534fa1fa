// Pronunciation playback over the recording null device: what reaches the
// device (gain, padding, order, volume), the ring's hand-over with the
// device, stops and repeated starts, a bad clip after a good one, the memory
// source's bounds and the error boxes. Clips are made by oggenc from
// synthetic tones in the test's own folder, encoded like the device data's.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/app_startup.h"
#include "app/audio_playback.h"
#include "engine/dict_engine.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "platform/dialog.h"
#include "platform/dialog_automation.h"
#include "platform/handles.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/wave.h"
#include "resources/resources.h"
#include "tests/app/app_fixture.h"
#include "tests/app/audio_clips.h"
#include "tests/support/temp_device_root.h"
#include "tests/support/utf16_print.h"
#include "toolkit/app_context.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/entry_markup.h"

namespace {

using audiofix::Bytes;
using audiofix::Expected;
using audiofix::kBufferSamples;
using audiofix::kRate;
using audiofix::MakeClip;
constexpr char16_t kNoAudioDataText[] =
    u"Sorry, the audio data files could not be found - please make sure you've installed them correctly.";

template <typename Pred>
bool WaitUntil(Pred pred, int ms = 5000) {
  for (int i = 0; i < ms; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return pred();
}

int Count(const std::vector<std::string>& calls, const std::string& name) {
  int n = 0;
  for (const auto& c : calls) n += c == name;
  return n;
}

class AudioPlaybackTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TempDeviceRoot root;
    shortClip_ = new Bytes(MakeClip(root.path(), "short", 1000));
    longClip_ = new Bytes(MakeClip(root.path(), "long", 16 * kBufferSamples + 5000));
  }
  static void TearDownTestSuite() {
    delete shortClip_;
    delete longClip_;
  }
  void SetUp() override {
    ASSERT_FALSE(shortClip_->empty());
    ASSERT_FALSE(longClip_->empty());
    SetWaveDeviceKind(WAVE_DEVICE_NULL);
    SetNullWaveConsumption(WAVE_NULL_INSTANT);
    ClearNullWaveRecord();
    for (MemHandle*& clip : context_.clipBuffers) clip = NewMemHandle(kAudioShrunkClipBytes);
    AppContextPointer = &context_;
  }
  void TearDown() override {
    // Whatever a test left playing ends before its clips are freed.
    SetNullWaveConsumption(WAVE_NULL_INSTANT);
    EXPECT_EQ(ShutdownAudio(&context_), 1);
    for (MemHandle*& clip : context_.clipBuffers) FreeMemHandle(clip);
    AppContextPointer = nullptr;
    SetWaveDeviceKind(WAVE_DEVICE_AUTO);
    AutoResetDialogScripts();
  }

  // Copies the clips into the clip buffers and starts them.
  void Start(const std::vector<const Bytes*>& clips, bool wait) {
    for (size_t i = 0; i < clips.size(); ++i) {
      ASSERT_EQ(ResizeMemHandle(context_.clipBuffers[i], static_cast<uint32_t>(clips[i]->size())), 0);
      std::memcpy(LockMemHandle(context_.clipBuffers[i]), clips[i]->data(), clips[i]->size());
      UnlockMemHandle(context_.clipBuffers[i]);
      lengths_[i] = static_cast<uint32_t>(clips[i]->size());
    }
    StartAudio(context_.clipBuffers, lengths_, kAudioMaxClips, kRate, wait);
  }
  DWORD ExitCode() {
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(context_.audioThread, &code));
    return code;
  }

  static Bytes* shortClip_;
  static Bytes* longClip_;
  AppContext context_{};
  uint32_t lengths_[kAudioMaxClips] = {};
};

Bytes* AudioPlaybackTest::shortClip_ = nullptr;
Bytes* AudioPlaybackTest::longClip_ = nullptr;

TEST(AudioGain, ClipsToPlusMinus32767AndNeverTheMostNegative) {
  struct Case {
    int16_t in;
    bool boost;
    int16_t out;
    const char* why;
  } cases[] = {
      {-16384, false, -32767, "the lower clip point of x2"},
      {16383, false, 32766, "just below the upper clip point"},
      {16384, false, 32767, "the upper clip point"},
      {-16383, false, -32766, "just above the lower clip point"},
      {-32768, false, -32767, "the most negative sample stays symmetric"},
      {100, false, 200, "plain x2"},
      {8192, true, 32767, "boosted clip point"},
      {8191, true, 32764, "just below the boosted clip point"},
      {-8192, true, -32767, "boosted lower clip point"},
      {-32768, true, -32767, "boosted most negative"},
      {0, true, 0, "silence stays silent"},
  };
  for (const Case& c : cases) EXPECT_EQ(ApplyAudioGain(c.in, c.boost), c.out) << c.why;
}

TEST(AudioVolume, PreferenceGivesVolumeWordAndGain) {
  struct Case {
    int32_t pref;
    DWORD word;
    bool boost;
    const char* why;
  } cases[] = {
      {0, 0xFFFFFFFFu, false, "0 means the full level"},
      {5, 0x7FFF7FFFu, false, "half the level in both halves"},
      {10, 0xFFFFFFFFu, false, "the full level"},
      {11, 0xFFFFFFFFu, true, "above 10: full level with the x4 gain"},
      {1, 0x19991999u, false, "the lowest level"},
      {-3, 0xFFFFFFFFu, false, "a negative value neither mutes nor wraps"},
  };
  for (const Case& c : cases) {
    const AudioVolume v = AudioVolumeFor(c.pref);
    EXPECT_EQ(v.volumeWord, c.word) << c.why;
    EXPECT_EQ(v.boost, c.boost) << c.why;
  }
}

TEST(AudioMemorySourceTest, SeekOutsideTheClipFailsAndLeavesThePosition) {
  const uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  struct Case {
    int64_t offset;
    int whence;
    int result;
    int32_t position;  // from position 4
    const char* why;
  } cases[] = {
      {7, SEEK_SET, 0, 7, "inside"},
      {10, SEEK_SET, 0, 10, "the very end is a place"},
      {11, SEEK_SET, -1, 4, "past the end"},
      {-1, SEEK_SET, -1, 4, "before the start"},
      {-4, SEEK_CUR, 0, 0, "back to the start"},
      {-5, SEEK_CUR, -1, 4, "before the start from here"},
      {-3, SEEK_END, 0, 7, "from the end"},
      {1, SEEK_END, -1, 4, "past the end from the end"},
      {(int64_t{1} << 40), SEEK_CUR, -1, 4, "far beyond 32 bits"},
      {0, 99, -1, 4, "unknown origin"},
  };
  for (const Case& c : cases) {
    AudioMemorySource s = {data, sizeof data, 4};
    EXPECT_EQ(AudioSourceSeek(&s, c.offset, c.whence), c.result) << c.why;
    EXPECT_EQ(s.position, c.position) << c.why;
    EXPECT_EQ(AudioSourceTell(&s), c.position) << c.why;
  }
}

TEST(AudioMemorySourceTest, ReadCopiesOnlyFromInsideTheClip) {
  const uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  struct Case {
    int32_t position;
    size_t size, count;
    size_t result;
    const char* why;
  } cases[] = {
      {0, 1, 4, 4, "from the start"},
      {8, 1, 4, 2, "cut at the end"},
      {10, 1, 4, 0, "at the end"},
      {-3, 1, 4, 0, "a position before the clip copies nothing"},
      {12, 1, 4, 0, "a position after the clip copies nothing"},
      {2, 2, 3, 6, "items of two bytes"},
      {0, SIZE_MAX / 2, 4, 10, "an item count that would overflow"},
  };
  for (const Case& c : cases) {
    AudioMemorySource s = {data, sizeof data, c.position};
    uint8_t out[16];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(AudioSourceRead(out, c.size, c.count, &s), c.result) << c.why;
    for (size_t i = 0; i < c.result; ++i) EXPECT_EQ(out[i], data[c.position + static_cast<int32_t>(i)]) << c.why;
    EXPECT_EQ(out[c.result], 0xEE) << c.why;
  }
}

TEST_F(AudioPlaybackTest, DeviceGetsTheGainedDecodeOfEveryClipPaddedToWholeBuffers) {
  Start({shortClip_, longClip_}, true);
  EXPECT_EQ(context_.audioBusy.load(), 0);
  EXPECT_EQ(ExitCode(), 0u);
  std::vector<int16_t> expected = Expected(*shortClip_);
  const std::vector<int16_t> second = Expected(*longClip_);
  expected.insert(expected.end(), second.begin(), second.end());
  const NullWaveRecord record = GetNullWaveRecord();
  EXPECT_EQ(record.pcm, expected);
  EXPECT_EQ(record.rates, std::vector<DWORD>{kRate});
  EXPECT_EQ(record.volumes, std::vector<DWORD>{0xFFFFFFFFu});  // no engine: the full level
  EXPECT_EQ(record.openDevices, 0);
  EXPECT_EQ(Count(record.calls, "prepare"), Count(record.calls, "unprepare"));
  for (MemHandle* clip : context_.clipBuffers) EXPECT_EQ(GetMemHandleSize(clip), kAudioShrunkClipBytes);
  EXPECT_EQ(context_.waveOut.load(), nullptr);
}

TEST_F(AudioPlaybackTest, OneBufferClipIsWrittenAtOnce) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  Start({shortClip_}, false);
  ASSERT_TRUE(WaitUntil([] { return Count(GetNullWaveRecord().calls, "write") == 1; }));
  const NullWaveRecord record = GetNullWaveRecord();
  EXPECT_EQ(Count(record.calls, "prepare"), 1);
  StepNullWaveDevice(kBufferSamples);
  ASSERT_TRUE(WaitUntil([&] { return context_.audioBusy.load() == 0; }));
  EXPECT_EQ(GetNullWaveRecord().pcm, Expected(*shortClip_));
}

TEST_F(AudioPlaybackTest, LongClipWrapsTheRingOnlyOverPlayedBuffers) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  Start({longClip_}, false);
  // The ring fills and the worker waits for the device.
  ASSERT_TRUE(WaitUntil([] { return Count(GetNullWaveRecord().calls, "write") == 16; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Count(GetNullWaveRecord().calls, "write"), 16);
  while (context_.audioBusy.load()) {
    StepNullWaveDevice(kBufferSamples);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const NullWaveRecord r = GetNullWaveRecord();
    // A buffer is written again only after the device marked it done.
    ASSERT_LE(Count(r.calls, "write") - Count(r.calls, "done"), 16);
  }
  EXPECT_EQ(GetNullWaveRecord().pcm, Expected(*longClip_));
}

TEST_F(AudioPlaybackTest, BusyFromTheStartSoASecondStartIsIgnored) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  Start({longClip_}, false);
  // Busy before the worker has run at all: nothing may take its place.
  EXPECT_EQ(context_.audioBusy.load(), 1);
  HANDLE first = context_.audioThread;
  // Other buffers: the worker holds the clip buffers.
  MemHandle* other = NewMemHandleFromCopy(shortClip_->data(), static_cast<uint32_t>(shortClip_->size()));
  const uint32_t length = static_cast<uint32_t>(shortClip_->size());
  StartAudio(&other, &length, 1, kRate, false);
  EXPECT_EQ(context_.audioThread, first);
  EXPECT_EQ(StopAudio(), 1);
  EXPECT_EQ(context_.audioBusy.load(), 0);
  EXPECT_EQ(context_.audioStop.load(), 0);
  const NullWaveRecord record = GetNullWaveRecord();
  EXPECT_LE(record.rates.size(), 1u);
  EXPECT_EQ(record.openDevices, 0);
  EXPECT_EQ(GetMemHandleSize(other), length);  // never played
  FreeMemHandle(other);
}

TEST_F(AudioPlaybackTest, PlayDuringPlaybackStartsAgainFromTheFirstSyllable) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  Start({longClip_, shortClip_}, false);
  ASSERT_TRUE(WaitUntil([] { return Count(GetNullWaveRecord().calls, "write") == 16; }));
  StepNullWaveDevice(kBufferSamples);
  ASSERT_EQ(StopAudio(), 1);
  ClearNullWaveRecord();
  SetNullWaveConsumption(WAVE_NULL_INSTANT);
  Start({longClip_, shortClip_}, true);
  std::vector<int16_t> expected = Expected(*longClip_);
  const std::vector<int16_t> second = Expected(*shortClip_);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(GetNullWaveRecord().pcm, expected);
  for (MemHandle* clip : context_.clipBuffers) EXPECT_EQ(GetMemHandleSize(clip), kAudioShrunkClipBytes);
}

TEST_F(AudioPlaybackTest, BadClipAfterAGoodOneHandsEveryBufferBackBeforeClosing) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  const Bytes garbage(3000, 0x5A);
  Start({shortClip_, &garbage, shortClip_}, false);
  ASSERT_TRUE(WaitUntil([&] { return context_.audioBusy.load() == 0; }));
  EXPECT_EQ(ExitCode(), 1u);
  const NullWaveRecord record = GetNullWaveRecord();
  // The good clip's buffer was still queued: reset, unprepare, then close.
  std::vector<std::string> tail;
  for (const auto& c : record.calls) {
    if (c == "reset" || c == "unprepare" || c == "close") tail.push_back(c);
  }
  EXPECT_EQ(tail, (std::vector<std::string>{"reset", "unprepare", "close"}));
  EXPECT_EQ(record.openDevices, 0);
  EXPECT_EQ(GetMemHandleSize(context_.clipBuffers[0]), kAudioShrunkClipBytes);
  EXPECT_EQ(GetMemHandleSize(context_.clipBuffers[2]), shortClip_->size());  // never reached
}

TEST_F(AudioPlaybackTest, ShutdownDuringPlaybackWaitsForTheWorker) {
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  Start({longClip_}, false);
  ASSERT_TRUE(WaitUntil([] { return Count(GetNullWaveRecord().calls, "write") == 16; }));
  EXPECT_EQ(ShutdownAudio(&context_), 1);
  // Nothing of the worker is left to touch the clips or the record.
  EXPECT_EQ(context_.audioBusy.load(), 0);
  EXPECT_EQ(context_.audioThread, nullptr);
  EXPECT_EQ(context_.waveOut.load(), nullptr);
  EXPECT_EQ(GetNullWaveRecord().openDevices, 0);
}

TEST_F(AudioPlaybackTest, ErrorBoxesByCode) {
  struct Case {
    int code;
    const char16_t* text;  // null: no box
  } cases[] = {
      {0x7010, kNoAudioDataText},
      {0x7002, nullptr},
      {0x7006, nullptr},
      {0x7001, u"Sorry, the audio playback system failed to load correctly."},
      {1, u"Sorry, the audio playback system failed to load correctly."},
  };
  for (const Case& c : cases) {
    AutoResetDialogScripts();
    if (c.text) AutoExpectMessageBox(c.text, u"Audio Unavailable", IDOK);
    ShowAudioError(nullptr, c.code);
    EXPECT_TRUE(AutoScriptFailures().empty()) << c.code;
    const auto log = AutoMessageBoxLog();
    if (!c.text) {
      EXPECT_TRUE(log.empty()) << c.code;
      continue;
    }
    ASSERT_EQ(log.size(), 1u) << c.code;
    EXPECT_EQ(log[0].caption, u"Audio Unavailable");
    EXPECT_EQ(log[0].text, c.text);
    EXPECT_EQ(log[0].type, 0x40010u);
  }
}

// The whole program's record around the worker: start-up's clip buffers and
// engine, the volume preference, the main window's "Play Audio" and shutdown.
class AudioApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSorviResources();
    AutoResetDialogScripts();
    SetWaveDeviceKind(WAVE_DEVICE_NULL);
    ClearNullWaveRecord();
    tree_.Write("Program Files/Sorvi/words.pdb", appfix::SmallDictionary());
    const std::string fonts = SORVI_FIXTURE_FONTS;
    tree_.Copy(fonts + "/DejaVuSans-subset.ttf", "Program Files/Sorvi/tahoma.ttf");
    tree_.Copy(fonts + "/wqy-zenhei-subset.ttf", "Program Files/Sorvi/ZYSong.ttf");
    if (withAudio_) {
      // An audio data file as the device data has it: a syllable index and
      // a clip table, the kind being the clips' sample rate.
      {
        TempDeviceRoot scratch;
        clip_ = MakeClip(scratch.path(), "hao3", 3 * kBufferSamples + 700);
      }
      const databuild::ByteVec bytes = audiofix::AudioFileOf({{"hao3", clip_}});
      ASSERT_FALSE(bytes.empty());
      tree_.Write("Program Files/Sorvi/audio.pdb", bytes);
    }
    ASSERT_EQ(StartApplication(), 0);
  }
  void TearDown() override {
    if (AppContextPointer) ShutdownApplication();
    SetNullWaveConsumption(WAVE_NULL_INSTANT);
    SetWaveDeviceKind(WAVE_DEVICE_AUTO);
    AutoResetDialogScripts();
  }
  appfix::DeviceTree tree_;
  bool withAudio_ = false;
  Bytes clip_;
};

class AudioDataTest : public AudioApplicationTest {
 protected:
  void SetUp() override {
    withAudio_ = true;
    AudioApplicationTest::SetUp();
  }
};

TEST_F(AudioDataTest, PlayAudioPlaysTheCurrentEntrysClipsAtTheChosenLevel) {
  AppContext* app = AppContextPointer;
  SetNullWaveConsumption(WAVE_NULL_INSTANT);
  ASSERT_EQ(LookupSearchFor(app->lookupSession, reinterpret_cast<const WCHAR*>(u"好"), 1), 0);
  // The list shows the dictionary's index around the query: make 好 current.
  bool found = false;
  for (uint32_t i = 0; i < 3 && !found; ++i) {
    ASSERT_EQ(LookupShowEntryAt(app->lookupSession, i), 0);
    WCHAR text[64] = {};
    LookupFetchEntry(app->lookupSession, text, 64, 1);
    found = Utf8Of(text) == "hao3";
  }
  ASSERT_TRUE(found);
  PlayEntryAudio(nullptr, 9);  // level 9: the full device volume
  EXPECT_EQ(GetPref(app->engine, kPrefAudioVolume), 10);
  ASSERT_TRUE(WaitUntil([&] { return app->audioBusy.load() == 0; }));
  EXPECT_TRUE(AutoMessageBoxLog().empty());
  const NullWaveRecord record = GetNullWaveRecord();
  EXPECT_EQ(record.rates, std::vector<DWORD>{kRate});
  EXPECT_EQ(record.volumes, std::vector<DWORD>{0xFFFFFFFFu});
  EXPECT_EQ(record.pcm, Expected(clip_));
  for (MemHandle* clip : app->clipBuffers) EXPECT_EQ(GetMemHandleSize(clip), kAudioShrunkClipBytes);
}

TEST_F(AudioApplicationTest, ShutdownDuringPlaybackStopsTheWorkerBeforeFreeingWhatItUses) {
  AppContext* app = AppContextPointer;
  SetPref(app->engine, kPrefAudioVolume, 5);
  Bytes clip;
  {
    TempDeviceRoot scratch;  // the previous root comes back at its end
    clip = MakeClip(scratch.path(), "long", 16 * kBufferSamples + 5000);
  }
  ASSERT_EQ(ResizeMemHandle(app->clipBuffers[0], static_cast<uint32_t>(clip.size())), 0);
  std::memcpy(LockMemHandle(app->clipBuffers[0]), clip.data(), clip.size());
  UnlockMemHandle(app->clipBuffers[0]);
  const uint32_t lengths[kAudioMaxClips] = {static_cast<uint32_t>(clip.size())};
  SetNullWaveConsumption(WAVE_NULL_STEPPED);
  StartAudio(app->clipBuffers, lengths, kAudioMaxClips, kRate, false);
  // The worker waits on a full ring when the program ends.
  ASSERT_TRUE(WaitUntil([] { return Count(GetNullWaveRecord().calls, "write") == 16; }));
  ShutdownApplication();
  EXPECT_EQ(AppContextPointer, nullptr);
  const NullWaveRecord record = GetNullWaveRecord();
  EXPECT_EQ(record.openDevices, 0);
  EXPECT_EQ(record.volumes, std::vector<DWORD>{0x7FFF7FFFu});  // the preference reached the device
  EXPECT_EQ(Count(record.calls, "prepare"), Count(record.calls, "unprepare"));
}

TEST_F(AudioApplicationTest, PlayAudioSetsTheLevelAndReportsMissingAudioData) {
  AppContext* app = AppContextPointer;
  SetPref(app->engine, kPrefAudioVolume, 8);
  for (int i = 0; i < 2; ++i) AutoExpectMessageBox(kNoAudioDataText, u"Audio Unavailable", IDOK);
  PlayEntryAudio(nullptr, -1);  // -1 keeps the level
  EXPECT_EQ(GetPref(app->engine, kPrefAudioVolume), 8);
  PlayEntryAudio(nullptr, 4);  // level 4 is the fifth step
  EXPECT_EQ(GetPref(app->engine, kPrefAudioVolume), 5);
  EXPECT_TRUE(AutoScriptFailures().empty());
  const auto log = AutoMessageBoxLog();
  ASSERT_EQ(log.size(), 2u);
  for (const auto& box : log) {
    EXPECT_EQ(box.caption, u"Audio Unavailable");
    EXPECT_EQ(box.text, kNoAudioDataText);
  }
  EXPECT_EQ(app->audioBusy.load(), 0);
  EXPECT_TRUE(GetNullWaveRecord().rates.empty());
}

TEST(AudioDecode, GarbageIsRefusedAndEmptyIsRefused) {
  std::vector<int16_t> pcm;
  const Bytes garbage(500, 0x33);
  EXPECT_EQ(DecodeAudioClip(garbage.data(), static_cast<uint32_t>(garbage.size()), &pcm), 1);
  EXPECT_EQ(DecodeAudioClip(nullptr, 0, &pcm), 1);
  EXPECT_TRUE(pcm.empty());
}

}  // namespace
