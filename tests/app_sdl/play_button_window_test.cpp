// "Play Audio" tried as a new user would, with the sound captured instead of
// heard: the main window in a real SDL window under Xvfb, over a small
// dictionary and an audio file of two clips, the volume set to 10 from the
// play button's hold menu, "nihao" typed, and the play button clicked through
// the X server (xdotool). SDL's disk audio driver writes what the speakers
// would play into output/nihao-play-button.raw under this folder's build
// directory: it must hold the gained Tremor decode of the clips of 你好 in
// order, each zero-padded to whole 4,096-byte buffers, with only silence
// before, after and between buffers. The window's picture is kept beside it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/audio_playback.h"
#include "app/main_toolbar.h"
#include "platform/backend.h"
#include "platform/engine_lock.h"
#include "platform/message.h"
#include "platform/wave.h"
#include "tests/app/audio_clips.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app_sdl/disk_audio.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_taphold.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/entry_markup.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using mainfix::Shows;

bool OnPath(const char* program) {
  const std::string command = std::string("command -v ") + program + " > /dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// A shell command's standard output.
std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[1024];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

class PlayButtonWindowTest : public mainfix::MainWindowTest {
 protected:
  void SetUp() override {
    if (!OnPath("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    fs::create_directories(SORVI_APP_SDL_OUTPUT);
    sound_ = std::string(SORVI_APP_SDL_OUTPUT) + "/nihao-play-button.raw";
    fs::remove(sound_);
    // Read when SDL's audio starts and when a device opens. The program
    // picks its wave device itself: SDL, as the backend is SDL.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", sound_.c_str(), 1);
    mainfix::MainWindowTest::SetUp();
  }
  void TearDown() override {
    if (AppContextPointer) WaitForSilence();
    mainfix::MainWindowTest::TearDown();
  }

  // The audio file of the device data for 你好: ni2 (a third tone before a
  // third tone is spoken in the second) and hao3, of different pitches and
  // lengths, neither a whole number of buffers.
  void BeforeStart() override {
    {
      TempDeviceRoot scratch;
      ni_ = audiofix::MakeClip(scratch.path(), "ni2", 3 * audiofix::kBufferSamples + 700, 330.0);
      hao_ = audiofix::MakeClip(scratch.path(), "hao3", 2 * audiofix::kBufferSamples + 100, 520.0);
    }
    ASSERT_FALSE(ni_.empty());
    ASSERT_FALSE(hao_.empty());
    const databuild::ByteVec bytes = audiofix::AudioFileOf({{"ni2", ni_}, {"hao3", hao_}});
    ASSERT_FALSE(bytes.empty());
    tree_.Write("Program Files/Sorvi/audio.pdb", bytes);
  }

  // Handles the window's messages (the X server's clicks among them) until
  // `done` holds or `seconds` pass, letting go of the engine lock between
  // rounds as the message loop does while it waits.
  template <typename Done>
  bool RunUntil(Done done, int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (Clock::now() > deadline) return false;
      PumpPendingMessages();
      EngineLockReleaser idle;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  void WaitForSilence() {
    RunUntil([] { return AppContextPointer->audioBusy.load() == 0; }, 20);
  }

  // The visible tool button bound to `action`, or null.
  HWND ToolButtonOf(int action) const {
    for (int id = 1004; id <= 1029; ++id) {
      HWND button = GetDlgItem(main_, id);
      if (button && IsWindowVisible(button) && ToolActionOfButton(id) == action) return button;
    }
    return nullptr;
  }

  std::string sound_;
  audiofix::Bytes ni_, hao_;
};

TEST_F(PlayButtonWindowTest, TappingPlayOnNihaoSendsItsClipsToTheSpeakers) {
  ASSERT_EQ(GetBackendKind(), BACKEND_SDL) << "run under an X server with SORVI_BACKEND=sdl";
  ASSERT_EQ(GetWaveDeviceKind(), WAVE_DEVICE_AUTO) << "the program's own choice of device: SDL";
  HWND play = ToolButtonOf(13);
  ASSERT_NE(play, nullptr) << "the default tool bar has a play button";

  SetFocus(input());
  AutoTypeText(u"nihao");
  Advance(static_cast<DWORD>(Pref(kPrefSearchDelay)) + 1);
  ASSERT_TRUE(Shows(DefinitionText(), u"你好"));

  // The volume from the play button's hold menu: "10", where the device
  // scales nothing.
  SetPref(kPrefAudioVolume, 4);
  AutoMenuClearHistory();
  AutoMenuScriptChooseText(u"10");
  ControlNotify hold{};
  Notify(play, kTapholdHoldCode, &hold.header);
  Pump();
  ASSERT_EQ(Pref(kPrefAudioVolume), 10);
  // Choosing a level plays at once; that play is not the one looked at
  // (each play opens the device anew, which starts the file again).
  WaitForSilence();
  ASSERT_EQ(AppContextPointer->audioBusy.load(), 0);
  fs::remove(sound_);

  // Where the button lies on the X display: the SDL window shows the whole
  // device screen, scaled.
  const std::string window = Capture("timeout 30 xdotool search --sync --onlyvisible --name '^Sorvi$' | head -n 1");
  ASSERT_FALSE(window.empty()) << "no X window named Sorvi";
  int wx = -1, wy = -1, ww = 0;
  std::istringstream geometry(Capture("timeout 20 xdotool getwindowgeometry --shell " + window));
  for (std::string line; std::getline(geometry, line);) {
    if (line.rfind("X=", 0) == 0) wx = std::stoi(line.substr(2));
    if (line.rfind("Y=", 0) == 0) wy = std::stoi(line.substr(2));
    if (line.rfind("WIDTH=", 0) == 0) ww = std::stoi(line.substr(6));
  }
  ASSERT_GE(wx, 0);
  ASSERT_GE(wy, 0);
  ASSERT_GT(ww, 0);
  const double scale = ww / static_cast<double>(width_);
  const RECT r = AutoGetWindowState(play).windowRect;
  const int x = wx + static_cast<int>((r.left + r.right) / 2 * scale);
  const int y = wy + static_cast<int>((r.top + r.bottom) / 2 * scale);
  ASSERT_EQ(std::system(("timeout 30 xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) +
                         " click 1 > /dev/null 2>&1")
                            .c_str()),
            0);

  // The click starts the worker; SDL's disk driver plays in real time.
  ASSERT_TRUE(RunUntil([] { return AppContextPointer->audioBusy.load() != 0; }, 20))
      << "the click on the play button did not start the playback";
  WaitForSilence();
  ASSERT_EQ(AppContextPointer->audioBusy.load(), 0) << "the playback did not end";
  EXPECT_TRUE(AutoMessageBoxLog().empty());
  const std::string shot = std::string(SORVI_APP_SDL_OUTPUT) + "/nihao-play-button.png";
  EXPECT_TRUE(AutoSaveWindowPng(main_, shot.c_str()));

  // The worker closed the device, which closed the file.
  const std::vector<int16_t> played = diskaudio::ReadSamples(sound_);
  std::vector<std::vector<int16_t>> buffers;
  diskaudio::AppendBuffers(audiofix::Expected(ni_), audiofix::kBufferSamples, &buffers);
  diskaudio::AppendBuffers(audiofix::Expected(hao_), audiofix::kBufferSamples, &buffers);
  ASSERT_EQ(buffers.size(), 4u + 3u);
  size_t sounding = 0;
  for (int16_t s : played) sounding += s != 0;
  EXPECT_GT(sounding, played.size() / 4) << "the file is (nearly) silent";
  EXPECT_EQ(diskaudio::MatchBuffers(played, buffers), "") << "kept in " << sound_;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InitUiThread();
  return RUN_ALL_TESTS();
}
