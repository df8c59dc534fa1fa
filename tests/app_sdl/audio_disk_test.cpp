// The pronunciation of 你好 as it leaves the program through the SDL audio
// backend. SDL's disk audio driver (asked for by name: it is never picked on
// its own) writes what the speakers would have played into a file kept in
// this folder's output/; at volume 10 the device scales nothing, so the file
// must hold the gained Tremor decode of the two clips, in order, each
// zero-padded to whole 4,096-byte buffers, with only silence before, after
// and between buffers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/app_startup.h"
#include "app/audio_playback.h"
#include "engine/lookup_session.h"
#include "engine/preferences.h"
#include "platform/dialog_automation.h"
#include "platform/wave.h"
#include "resources/resources.h"
#include "tests/app/app_fixture.h"
#include "tests/app/audio_clips.h"
#include "tests/app_sdl/disk_audio.h"
#include "toolkit/app_context.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/entry_markup.h"

namespace {

namespace fs = std::filesystem;
using audiofix::Bytes;

// The checker itself, over small made-up buffers: a table of files.
TEST(DiskAudioMatch, AcceptsOnlyWholeBuffersInOrderWithSilenceAround) {
  const std::vector<std::vector<int16_t>> buffers = {{0, 5, 6}, {7, 0, 8}};
  struct Case {
    std::vector<int16_t> file;
    bool matches;
    const char* why;
  } cases[] = {
      {{0, 5, 6, 7, 0, 8}, true, "back to back"},
      {{0, 0, 0, 5, 6, 0, 0, 7, 0, 8, 0, 0}, true, "silence before, between and after"},
      {{0, 5, 6, 0, 7, 0, 8}, true, "a buffer that begins with a zero after silence"},
      {{0, 5, 6, 1, 7, 0, 8}, false, "a sound between buffers"},
      {{0, 5, 0, 6, 7, 0, 8}, false, "silence inside a buffer"},
      {{7, 0, 8, 0, 5, 6}, false, "the buffers in the wrong order"},
      {{0, 5, 6}, false, "the second buffer missing"},
      {{0, 5, 6, 7, 0, 8, 0, 3}, false, "a sound after the last buffer"},
      {{}, false, "an empty file"},
  };
  for (const Case& c : cases) EXPECT_EQ(diskaudio::MatchBuffers(c.file, buffers).empty(), c.matches) << c.why;
}

class DiskAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(SORVI_APP_SDL_OUTPUT);
    file_ = std::string(SORVI_APP_SDL_OUTPUT) + "/nihao-disk-audio.raw";
    fs::remove(file_);
    // Read when SDL's audio starts and when a device opens.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
    SetWaveDeviceKind(WAVE_DEVICE_SDL);
    RegisterSorviResources();
    AutoResetDialogScripts();

    using searchfix::Row;
    appfix::db::DataFileSpec words;
    words.shortName = u"Words";
    std::string error;
    ASSERT_EQ(appfix::db::AddDictionaryTables(searchfix::ChineseDict({Row(u"你", u"你", "ni3", {u"you"}),
                                                                      Row(u"你好", u"你好", "ni3 hao3", {u"hello"}),
                                                                      Row(u"好", u"好", "hao3", {u"good"})},
                                                                     1, u"Words"),
                                              &words, &error),
              0)
        << error;
    appfix::db::ByteVec bytes;
    ASSERT_EQ(appfix::db::BuildDataFile(words, &bytes, nullptr, &error), 0) << error;
    tree_.Write("Program Files/Sorvi/words.pdb", bytes);
    const std::string fonts = SORVI_FIXTURE_FONTS;
    tree_.Copy(fonts + "/DejaVuSans-subset.ttf", "Program Files/Sorvi/tahoma.ttf");
    tree_.Copy(fonts + "/wqy-zenhei-subset.ttf", "Program Files/Sorvi/ZYSong.ttf");

    // Two syllables of different pitches and lengths, neither a whole
    // number of buffers, as the device data's audio file holds them. A
    // third tone before a third tone is spoken in the second: 你好 plays
    // ni2 and hao3.
    {
      TempDeviceRoot scratch;
      ni_ = audiofix::MakeClip(scratch.path(), "ni2", 3 * audiofix::kBufferSamples + 700, 330.0);
      hao_ = audiofix::MakeClip(scratch.path(), "hao3", 2 * audiofix::kBufferSamples + 100, 520.0);
    }
    ASSERT_FALSE(ni_.empty());
    ASSERT_FALSE(hao_.empty());
    bytes = audiofix::AudioFileOf({{"ni2", ni_}, {"hao3", hao_}});
    ASSERT_FALSE(bytes.empty());
    tree_.Write("Program Files/Sorvi/audio.pdb", bytes);
  }
  void TearDown() override {
    if (AppContextPointer) ShutdownApplication();
    SetWaveDeviceKind(WAVE_DEVICE_AUTO);
    AutoResetDialogScripts();
  }

  // The buffers the backend must have played for the two clips.
  std::vector<std::vector<int16_t>> ExpectedBuffers() const {
    std::vector<std::vector<int16_t>> buffers;
    diskaudio::AppendBuffers(audiofix::Expected(ni_), audiofix::kBufferSamples, &buffers);
    diskaudio::AppendBuffers(audiofix::Expected(hao_), audiofix::kBufferSamples, &buffers);
    return buffers;
  }

  appfix::DeviceTree tree_;
  std::string file_;
  Bytes ni_, hao_;
};

TEST_F(DiskAudioTest, PlayAudioOfNihaoReachesTheSpeakersAsTheGainedDecode) {
  ASSERT_EQ(StartApplication(), 0);
  AppContext* app = AppContextPointer;
  LookupSession* session = app->lookupSession;
  ASSERT_EQ(LookupSearchFor(session, reinterpret_cast<const WCHAR*>(u"你好"), 1), 0);
  uint32_t rows = 0, index = 0;
  LookupGetCounts(session, &rows, &index);
  ASSERT_EQ(LookupShowEntryAt(session, index), 0);
  WCHAR headword[16] = {};
  LookupFetchEntry(session, headword, 16, 0);
  ASSERT_EQ(std::u16string(reinterpret_cast<const char16_t*>(headword)), u"你好");

  PlayEntryAudio(nullptr, 9);  // the hold menu's "10": the device scales nothing
  EXPECT_EQ(GetPref(app->engine, kPrefAudioVolume), 10);
  // The clips last about 0.9 s; SDL's disk driver plays in real time.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (app->audioBusy.load() != 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(app->audioBusy.load(), 0) << "the playback did not end";
  EXPECT_TRUE(AutoMessageBoxLog().empty());

  // The worker closed the device, which closed the file.
  const std::vector<int16_t> played = diskaudio::ReadSamples(file_);
  const std::vector<std::vector<int16_t>> buffers = ExpectedBuffers();
  ASSERT_EQ(buffers.size(), 4u + 3u);
  size_t sounding = 0;
  for (int16_t s : played) sounding += s != 0;
  EXPECT_GT(sounding, played.size() / 4) << "the file is (nearly) silent";
  EXPECT_EQ(diskaudio::MatchBuffers(played, buffers), "") << "kept in " << file_;
}

}  // namespace
