// The toolkit's controls in a real window. toolkit-demo runs under Xvfb with
// the SDL backend; keys and clicks go through the X server (xdotool), as a
// user's would. The X display's pixels (ImageMagick's import of the root
// window) must equal, pixel for pixel, the demo's own capture of its window
// taken at the same moment (the demo holds the caret still for it), and the
// capture must show the typed text, the caret, the selection over the
// double-clicked word and the link underline where the fields' hit tests
// place them, the two strokes that two taps on "Advance" drew, and the
// keyboard's Backspace arrow. Both pictures are kept in the test's output
// folder.
//
// The test starts itself again inside xvfb-run; it is skipped only when
// xvfb-run, xdotool or import is not installed. Every wait polls with a
// deadline: nothing hangs on a fixed sleep.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/surface.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/devicedata/device_files.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kInsideMarker = "SORVI_FIELD_WINDOW_INSIDE_XVFB";
// Generous: the ASan build on a loaded two-core machine is slow to start.
constexpr auto kStartTimeout = std::chrono::seconds(60);
constexpr auto kStepTimeout = std::chrono::seconds(20);

bool OnPath(const char* program) {
  std::string cmd = std::string("command -v ") + program + " > /dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs a shell command; its standard output, and the exit status in *status.
std::string Capture(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The demo process: commands on a pipe to its standard input, its output
// (standard output and error) in a file read as it grows.
class Demo {
 public:
  bool Start(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
             const std::string& logPath) {
    log_ = logPath;
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment = env;
    for (char** e = environ; *e; ++e) {
      std::string item = *e;
      std::string name = item.substr(0, item.find('='));
      bool replaced = false;
      for (const std::string& mine : env) replaced = replaced || mine.rfind(name + "=", 0) == 0;
      if (!replaced) environment.push_back(item);
    }
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (rc != 0) {
      close(fds[1]);
      pid_ = -1;
      return false;
    }
    input_ = fds[1];
    return true;
  }
  ~Demo() {
    if (input_ >= 0) close(input_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void Send(const std::string& command) {
    std::string line = command + "\n";
    EXPECT_EQ(write(input_, line.data(), line.size()), static_cast<ssize_t>(line.size())) << command;
  }
  std::string Log() const { return ReadFile(log_); }
  // Lines printed so far; a command's answer is looked for past `from`.
  size_t LineCount() const { return Lines(Log()).size(); }
  // The first line past `from` that starts with `prefix` and satisfies
  // `accept`, polled until the deadline; nothing when it never came or
  // the demo ended.
  template <typename Accept>
  std::optional<std::string> WaitFor(const std::string& prefix, size_t from, std::chrono::seconds timeout,
                                     Accept accept) {
    auto deadline = Clock::now() + timeout;
    for (;;) {
      std::vector<std::string> lines = Lines(Log());
      for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0 && accept(lines[i])) return lines[i];
      if (Clock::now() > deadline || !Running()) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::optional<std::string> WaitFor(const std::string& prefix, size_t from, std::chrono::seconds timeout) {
    return WaitFor(prefix, from, timeout, [](const std::string&) { return true; });
  }
  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitStatus_ = status;
      pid_ = -1;
      return false;
    }
    return true;
  }
  // Closes its input after "quit" and waits for the end; false (and the
  // process killed) when it does not end in time.
  bool Quit() {
    Send("quit");
    close(input_);
    input_ = -1;
    auto deadline = Clock::now() + kStepTimeout;
    while (Running()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(exitStatus_) && WEXITSTATUS(exitStatus_) == 0;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int exitStatus_ = 0;
  std::string log_;
};

struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  std::string rest;  // the words after the four numbers
};
Box ParseBox(const std::string& line) {
  std::istringstream in(line);
  std::string what;
  Box b;
  in >> what >> b.x0 >> b.y0 >> b.x1 >> b.y1;
  std::getline(in >> std::ws, b.rest);
  return b;
}

struct Place {
  int left = 0, top = 0, width = 0, height = 0, scale = 0;
};
// "... window L T W H scale S".
std::optional<Place> ParsePlace(const std::string& line) {
  size_t at = line.find("window ");
  if (at == std::string::npos) return std::nullopt;
  Place p;
  std::string w, s;
  std::istringstream in(line.substr(at));
  if (!(in >> w >> p.left >> p.top >> p.width >> p.height >> s >> p.scale)) return std::nullopt;
  return p;
}

// A binary PPM (P6, 8- or 16-bit samples) as 0xRRGGBB rows; nothing when unreadable.
std::optional<std::vector<uint32_t>> ReadPpm(const std::string& path, int* width, int* height) {
  std::string data = ReadFile(path);
  std::istringstream in(data);
  std::string magic;
  int maxval = 0;
  in >> magic;
  auto skip = [&] {
    in >> std::ws;
    while (in.peek() == '#') {
      std::string comment;
      std::getline(in, comment);
      in >> std::ws;
    }
  };
  skip();
  in >> *width;
  skip();
  in >> *height;
  skip();
  in >> maxval;
  if (magic != "P6" || (maxval != 255 && maxval != 65535) || *width <= 0 || *height <= 0) return std::nullopt;
  in.get();  // the one whitespace before the samples
  size_t offset = static_cast<size_t>(in.tellg());
  size_t count = static_cast<size_t>(*width) * *height;
  const size_t bytes = maxval == 255 ? 1 : 2;  // 16-bit samples are big-endian
  if (data.size() < offset + 3 * bytes * count) return std::nullopt;
  std::vector<uint32_t> pixels(count);
  const auto* p = reinterpret_cast<const unsigned char*>(data.data() + offset);
  for (size_t i = 0; i < count; ++i) {
    uint32_t rgb = 0;
    for (size_t c = 0; c < 3; ++c) rgb = (rgb << 8) | p[(3 * i + c) * bytes];  // the high byte
    pixels[i] = rgb;
  }
  return pixels;
}

bool Dark(uint32_t rgb) {
  int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return r * 299 + g * 587 + b * 114 < 128 * 1000;
}

class FieldWindowTest : public ::testing::Test {
 protected:
  // Runs the real test again inside a fresh X server. xvfb-run -a picks a
  // free display number, but two servers started at the same moment may
  // pick the same one and the later fails to start: that start is retried.
  void RunInsideXvfb() {
    const std::string log = (fs::path(SORVI_FIELD_WINDOW_OUTPUT) / "xvfb-run.log").string();
    const char* filter = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string command = std::string("timeout 170 xvfb-run -a -s '-screen 0 1024x768x24 -nolisten tcp' env ") +
                          kInsideMarker + "=1 '" + self + "' --gtest_filter='FieldWindowTest." + filter + "' > '" +
                          log + "' 2>&1";
    int status = -1;
    std::string output;
    for (int attempt = 0; attempt < 5; ++attempt) {
      status = std::system(command.c_str());
      output = ReadFile(log);
      if (output.find("[ RUN      ]") != std::string::npos) break;  // the server started
    }
    std::printf("%s", output.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the test inside Xvfb failed (its log is above)";
  }
};

TEST_F(FieldWindowTest, KeysAndClicksThroughTheXServerShowOnTheScreen) {
  if (!std::getenv(kInsideMarker)) {
    for (const char* tool : {"xvfb-run", "xdotool", "import"})
      if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    fs::create_directories(SORVI_FIELD_WINDOW_OUTPUT);
    RunInsideXvfb();
    return;
  }
  const fs::path output = SORVI_FIELD_WINDOW_OUTPUT;
  const std::string capturePath = (output / "field-window-capture.png").string();
  const std::string screenPath = (output / "field-window-screen.png").string();
  fs::remove(capturePath);
  fs::remove(screenPath);

  // The pinned test fonts under a device root of the test's own.
  std::string pattern = (fs::temp_directory_path() / "sorvi-field-window-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  struct Cleanup {
    fs::path dir;
    ~Cleanup() {
      std::error_code ec;
      fs::remove_all(dir, ec);
    }
  } cleanup{dir};
  fs::create_directories(dir / "root/Windows/Fonts");
  std::vector<std::string> fonts;
  for (auto [fixture, name] : {std::pair{"DejaVuSans-subset.ttf", "DejaVuSans.ttf"},
                               {"DejaVuSans-Bold-subset.ttf", "DejaVuSans-Bold.ttf"},
                               {"DejaVuSans-Oblique-subset.ttf", "DejaVuSans-Oblique.ttf"},
                               {"wqy-zenhei-subset.ttf", "wqy-zenhei.ttc"}}) {
    fs::copy_file(fs::path(SORVI_FIXTURE_FONTS) / fixture, dir / "root/Windows/Fonts" / name);
    fonts.push_back(std::string("\\Windows\\Fonts\\") + name);
  }
  // The stroke file, built from the committed stroke-order excerpts.
  {
    databuild::DataFileSpec file;
    databuild::StrokeIndexSpec index;
    std::string error;
    ASSERT_EQ(devicedata::BuildStrokeFile(SORVI_STROKE_EXCERPTS, u"", &file, &index, nullptr, &error), 0) << error;
    ASSERT_EQ(databuild::WriteDataFile(file, (dir / "root/s2stroke.pdb").string(), &error), 0) << error;
  }
  std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  Demo demo;
  std::vector<std::string> args{"--control", "--strokes", "\\s2stroke.pdb"};
  args.insert(args.end(), fonts.begin(), fonts.end());
  // The desktop libraries SDL loads keep a few blocks to the end: not ours.
  ASSERT_TRUE(demo.Start(SORVI_TOOLKIT_DEMO, args,
                         {"SORVI_BACKEND=sdl", "SORVI_SCREEN=480x640@192", "SORVI_ROOT=" + (dir / "root").string(),
                          "SORVI_IPC_DIR=" + dir.string(), "ASAN_OPTIONS=" + asan + ":detect_leaks=0"},
                         (dir / "demo.log").string()));
  auto fail = [&](const std::string& what) { ADD_FAILURE() << what << "\n--- demo output ---\n" << demo.Log(); };

  std::optional<std::string> ready = demo.WaitFor("ready ", 0, kStartTimeout);
  if (!ready) return fail("the demo did not start");
  ASSERT_EQ(ready->rfind("ready sdl ", 0), 0u) << "the SDL backend opened its window: " << *ready;
  std::optional<Place> place = ParsePlace(*ready);
  ASSERT_TRUE(place);
  ASSERT_GE(place->scale, 1);
  ASSERT_GT(place->top, 0) << "the task bar lies above the demo window";

  // The SDL window on the X display, and where it lies there.
  int status = -1;
  std::string found =
      Capture("timeout 60 xdotool search --sync --onlyvisible --name '^Sorvi$' 2>/dev/null | head -n 1", &status);
  std::string window = Lines(found).empty() ? "" : Lines(found)[0];
  ASSERT_FALSE(window.empty()) << "no X window named Sorvi";
  int wx = -1, wy = -1, ww = 0, wh = 0;
  for (const std::string& line : Lines(Capture("timeout 20 xdotool getwindowgeometry --shell " + window))) {
    if (line.rfind("X=", 0) == 0) wx = std::stoi(line.substr(2));
    if (line.rfind("Y=", 0) == 0) wy = std::stoi(line.substr(2));
    if (line.rfind("WIDTH=", 0) == 0) ww = std::stoi(line.substr(6));
    if (line.rfind("HEIGHT=", 0) == 0) wh = std::stoi(line.substr(7));
  }
  const int s = place->scale;
  ASSERT_EQ(ww, 480 * s) << "the SDL window shows the device screen at scale " << s;
  ASSERT_EQ(wh, 640 * s);
  ASSERT_GE(wx, 0);
  ASSERT_GE(wy, 0);
  auto rootX = [&](int deviceX) { return wx + deviceX * s + s / 2; };
  auto rootY = [&](int deviceY) { return wy + deviceY * s + s / 2; };

  // The keys go to the window that has the X focus: given to it explicitly,
  // so that where the pointer lies later does not move it.
  std::system(("timeout 20 xdotool windowfocus --sync " + window + " > /dev/null 2>&1").c_str());
  auto deadline = Clock::now() + kStepTimeout;
  while (Lines(Capture("timeout 10 xdotool getwindowfocus 2>/dev/null")) != std::vector<std::string>{window}) {
    if (Clock::now() > deadline) return fail("the SDL window did not get the X focus");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  const auto started = Clock::now();
  auto phase = [&](const char* what) {
    std::printf("%6.2f s %s\n", std::chrono::duration<double>(Clock::now() - started).count(), what);
  };
  phase("window found and focused");
  // Moves the pointer to a display point and waits until it is there.
  // xdotool's --sync waits for a move, so a pointer already there is left
  // alone (waiting for it would hang).
  auto pointTo = [&](int x, int y) {
    int cx = -1, cy = -1;
    for (const std::string& line : Lines(Capture("timeout 20 xdotool getmouselocation --shell 2>/dev/null"))) {
      if (line.rfind("X=", 0) == 0) cx = std::stoi(line.substr(2));
      if (line.rfind("Y=", 0) == 0) cy = std::stoi(line.substr(2));
    }
    if (cx == x && cy == y) return true;
    return std::system(
               ("timeout 30 xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y)).c_str()) == 0;
  };
  // Two taps on "Advance": the stroke box draws the first two strokes.
  std::optional<std::string> advance = demo.WaitFor("advance ", 0, kStepTimeout);
  ASSERT_TRUE(advance);
  int ax = 0, ay = 0;
  ASSERT_EQ(std::sscanf(advance->c_str(), "advance %d %d", &ax, &ay), 2) << *advance;
  for (int shown = 1; shown <= 2; ++shown) {
    // Apart by more than the double-click time, so each is a tap of its own.
    if (shown > 1) std::this_thread::sleep_for(std::chrono::milliseconds(600));
    size_t before = demo.LineCount();
    ASSERT_TRUE(pointTo(rootX(ax), rootY(ay)));
    ASSERT_EQ(std::system("timeout 30 xdotool click 1"), 0);
    if (!demo.WaitFor("advanced shown " + std::to_string(shown) + " of 4", before, std::chrono::seconds(30)))
      return fail("the stroke box did not advance to " + std::to_string(shown));
  }

  phase("advanced twice");
  // Typing into the search input.
  size_t mark = demo.LineCount();
  ASSERT_EQ(std::system("timeout 30 xdotool type --delay 40 'ni3 hao3'"), 0);
  if (!demo.WaitFor("input ni3 hao3", mark, kStepTimeout)) return fail("the typed text did not reach the input");

  phase("typed");
  // A double click on "greeting" in the pane. Both clicks must land within
  // the double-click time; a machine that stalls between them gets two
  // single taps, and the user's remedy (another double click, past the
  // double-click time) is tried.
  mark = demo.LineCount();
  demo.Send("where greeting");
  std::optional<std::string> where = demo.WaitFor("word ", mark, kStepTimeout);
  if (!where) return fail("the demo did not say where the word lies");
  int px = 0, py = 0;
  unsigned wordStart = 0, wordEnd = 0;
  ASSERT_EQ(std::sscanf(where->c_str(), "word %d %d expands to %u %u", &px, &py, &wordStart, &wordEnd), 4) << *where;
  ASSERT_LT(wordStart, wordEnd);
  const std::string wanted = "pane pen " + std::to_string(wordStart) + " " + std::to_string(wordEnd) + " flags ";
  std::optional<std::string> selected;
  for (int attempt = 0; attempt < 3 && !selected; ++attempt) {
    if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(700));
    mark = demo.LineCount();
    ASSERT_TRUE(pointTo(rootX(px), rootY(py)));
    ASSERT_EQ(std::system("timeout 30 xdotool click --repeat 2 --delay 80 1"), 0);
    selected = demo.WaitFor(wanted, mark, std::chrono::seconds(5), [](const std::string& line) {
      unsigned flags = 0;
      std::sscanf(line.c_str() + line.find("flags ") + 6, "%u", &flags);
      return (flags & 2) != 0;  // a double tap
    });
  }
  if (!selected) return fail("no double tap selected the word");
  EXPECT_NE(selected->find(" greeting"), std::string::npos) << *selected;

  phase("double-clicked");
  // The pointer rests over the task bar strip, outside the demo window.
  pointTo(rootX(240), rootY(place->top / 2));

  // The demo's capture, then the X display until it shows the same frame
  // (the last present may still be on its way to the server).
  mark = demo.LineCount();
  demo.Send("shot " + capturePath);
  if (!demo.WaitFor("shot " + capturePath + " ok", mark, kStepTimeout))
    return fail("the demo did not save its capture");
  std::vector<std::string> report(Lines(demo.Log()));
  report.erase(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(mark));
  Surface* capture = LoadSurfacePng(capturePath.c_str());
  ASSERT_NE(capture, nullptr);
  struct Free {
    Surface* s;
    ~Free() { DestroySurface(s); }
  } freeCapture{capture};
  ASSERT_EQ(capture->width, place->width);
  ASSERT_EQ(capture->height, place->height);
  auto at = [&](int x, int y) { return SurfaceRow(capture, y)[x] & 0xFFFFFFu; };

  const std::string rootPath = (dir / "root.ppm").string();
  long differing = -1;
  std::string firstDifference;
  Surface* screen = CreateSurface(capture->width, capture->height);
  ASSERT_NE(screen, nullptr);
  Free freeScreen{screen};
  deadline = Clock::now() + kStepTimeout;
  int screenshots = 0;
  do {
    if (differing > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ++screenshots;
    int rw = 0, rh = 0;
    if (std::system(("timeout 30 import -window root -depth 8 'ppm:" + rootPath + "'").c_str()) != 0) continue;
    std::optional<std::vector<uint32_t>> root = ReadPpm(rootPath, &rw, &rh);
    if (!root) continue;
    differing = 0;
    for (int y = 0; y < capture->height; ++y)
      for (int x = 0; x < capture->width; ++x) {
        // Device pixel (x, y) of the window is an s x s block on the display.
        int X = wx + (place->left + x) * s, Y = wy + (place->top + y) * s;
        uint32_t shown = X + s <= rw && Y + s <= rh ? (*root)[static_cast<size_t>(Y) * rw + X] : 0xFF000000u;
        SurfaceRow(screen, y)[x] = shown & 0xFFFFFF;
        bool same = shown == at(x, y);
        for (int j = 0; j < s && same; ++j)
          for (int i = 0; i < s && same; ++i) same = (*root)[static_cast<size_t>(Y + j) * rw + X + i] == at(x, y);
        if (!same && differing++ == 0) {
          char text[120];
          std::snprintf(text, sizeof text, "first at (%d, %d): display %06X, capture %06X", x, y, shown & 0xFFFFFF,
                        at(x, y));
          firstDifference = text;
        }
      }
  } while (differing != 0 && Clock::now() < deadline);
  SaveSurfacePng(screen, nullptr, screenPath.c_str());
  phase("captured and compared");
  std::printf("screenshots taken until the display matched: %d\n", screenshots);
  std::printf("kept: %s (the demo's capture) and %s (the X display)\n", capturePath.c_str(), screenPath.c_str());
  EXPECT_EQ(differing, 0) << "the X display and the capture differ in " << differing << " pixels, " << firstDifference;
  EXPECT_TRUE(demo.Quit()) << "the demo ended by itself\n" << demo.Log();

  // What the capture shows, at the places the fields' hit tests give.
  auto inside = [&](const Box& b) {
    return b.x0 >= 0 && b.y0 >= 0 && b.x1 <= capture->width && b.y1 <= capture->height && b.x0 < b.x1 && b.y0 < b.y1;
  };
  auto count = [&](const Box& b, auto predicate) {
    long n = 0;
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) n += predicate(at(x, y)) ? 1 : 0;
    return n;
  };
  bool sawInput = false, sawCaret = false, sawSelection = false, sawLink = false, sawArrow = false;
  int strokesShown = 0, strokesHidden = 0;
  int units = 0;
  Box lastUnit;
  for (const std::string& line : report) {
    SCOPED_TRACE(line);
    if (line.rfind("input ", 0) == 0) {
      sawInput = true;
      EXPECT_EQ(line, "input ni3 hao3");
    } else if (line.rfind("unit ", 0) == 0) {
      Box b = ParseBox(line);
      ASSERT_TRUE(inside(b));
      ++units;
      lastUnit = b;
      long ink = count(b, Dark);
      if (b.rest == " " || b.rest.empty()) EXPECT_EQ(ink, 0) << "a space shows nothing";
      else
        EXPECT_GE(ink, 4) << "the typed character is drawn in its box";
    } else if (line.rfind("caret ", 0) == 0) {
      sawCaret = true;
      Box b = ParseBox(line);
      ASSERT_TRUE(inside(b));
      EXPECT_EQ(b.rest, "offset 8") << "the caret stands after the typed text";
      EXPECT_GE(b.x0, lastUnit.x0) << "and is drawn at its end";
      EXPECT_LE(b.x0, lastUnit.x1);
      long area = static_cast<long>(b.x1 - b.x0) * (b.y1 - b.y0);
      EXPECT_GE(count(b, Dark) * 10, area * 7) << "the caret inverts the white field";
      Box after{b.x1 + 1, b.y0, b.x1 + 3, b.y1, ""};
      EXPECT_EQ(count(after, Dark), 0) << "nothing is drawn after the caret";
    } else if (line.rfind("selection ", 0) == 0) {
      sawSelection = true;
      Box b = ParseBox(line);
      ASSERT_TRUE(inside(b));
      unsigned colour = 0;
      char text[64] = {};
      ASSERT_EQ(std::sscanf(b.rest.c_str(), "%x %63s", &colour, text), 2);
      EXPECT_STREQ(text, "greeting");
      auto highlight = [&](uint32_t p) { return p == colour; };
      long area = static_cast<long>(b.x1 - b.x0) * (b.y1 - b.y0);
      EXPECT_GE(count(b, highlight) * 10, area * 4) << "the word is highlighted";
      Box left{0, b.y0, b.x0, b.y1, ""}, right{b.x1, b.y0, capture->width, b.y1, ""};
      EXPECT_EQ(count(left, highlight) + count(right, highlight), 0) << "only the word is";
    } else if (line.rfind("stroke ", 0) == 0) {
      Box b = ParseBox(line);
      ASSERT_TRUE(inside(b));
      bool shown = b.rest == "shown";
      (shown ? strokesShown : strokesHidden)++;
      EXPECT_EQ(at(b.x0, b.y0), shown ? 0x000000u : 0xFFFFFFu) << "a shown stroke is filled, a hidden one is not";
    } else if (line.rfind("key-bitmap ", 0) == 0) {
      sawArrow = true;
      Box b = ParseBox(line);
      ASSERT_TRUE(inside(b));
      EXPECT_GE(count(b, Dark), 20) << "the key shows its arrow";
    } else if (line.rfind("link ", 0) == 0) {
      sawLink = true;
      Box b = ParseBox(line);
      ASSERT_TRUE(inside(b));
      // One row in the lower half of the line runs dark across the link.
      int underline = -1;
      for (int y = (b.y0 + b.y1) / 2; y < b.y1 && underline < 0; ++y)
        if (count(Box{b.x0, y, b.x1, y + 1, ""}, Dark) * 20 >= (b.x1 - b.x0) * 19) underline = y;
      EXPECT_GE(underline, 0) << "the link is underlined";
    }
  }
  EXPECT_TRUE(sawInput);
  EXPECT_EQ(units, 8) << "one box for each unit of \"ni3 hao3\"";
  EXPECT_TRUE(sawCaret) << "the input shows its caret";
  EXPECT_TRUE(sawSelection) << "the pane shows its selection";
  EXPECT_TRUE(sawLink) << "the pane shows its link";
  EXPECT_EQ(strokesShown, 2) << "two advances show two strokes of the four";
  EXPECT_EQ(strokesHidden, 2);
  EXPECT_TRUE(sawArrow) << "the keyboard has its Backspace arrow";
}

}  // namespace
