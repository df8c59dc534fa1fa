// The capture box as a user meets it: controls-demo --ink runs under Xvfb
// with the SDL backend, xdotool drags the mouse through the X server to
// write two strokes into the box and two over the field, and a screenshot of
// the X display must show the ink along the dragged paths and the field's
// text faded under it. The screenshot is kept as ink-screen.png in the
// test's build folder. Exit 77 (skipped) without xvfb-run, xdotool or
// ImageMagick's import.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace {

int gFailures = 0;

void Check(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++gFailures;
  }
}

bool OnPath(const char* program) {
  std::string cmd = std::string("command -v ") + program + " > /dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A drag in device pixels: the corners, the mouse moving a few pixels at a
// time between them.
struct Drag {
  std::vector<std::pair<int, int>> corners;
};

// Device screen: 480 x 640; the demo's window starts below the 52-pixel
// task bar, the box fills the upper half of it and the field the lower.
const Drag kBoxDrags[] = {{{{100, 190}, {380, 180}}}, {{{240, 90}, {245, 300}}}};
const Drag kFieldDrags[] = {{{{60, 400}, {200, 480}}}, {{{260, 420}, {400, 430}}}};

std::string DragScript(const Drag& d) {
  std::string s = "xdotool mousemove --window \"$W\" " + std::to_string(d.corners[0].first) + " " +
                  std::to_string(d.corners[0].second) + " mousedown 1\n";
  for (size_t i = 1; i < d.corners.size(); ++i) {
    auto [x0, y0] = d.corners[i - 1];
    auto [x1, y1] = d.corners[i];
    for (int step = 1; step <= 20; ++step)
      s += "xdotool mousemove --window \"$W\" " + std::to_string(x0 + (x1 - x0) * step / 20) + " " +
           std::to_string(y0 + (y1 - y0) * step / 20) + "; sleep 0.02\n";
  }
  s += "xdotool mouseup 1; sleep 0.3\n";
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: toolkit_sdl_ink CONTROLS_DEMO\n");
    return 2;
  }
  for (const char* tool : {"xvfb-run", "xdotool", "import"})
    if (!OnPath(tool)) {
      std::printf("%s is not installed: skipped\n", tool);
      return 77;
    }
  std::string pattern = (std::filesystem::temp_directory_path() / "sorvi-sdl-ink-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 2;
  const std::string dir = pattern;
  // The pinned test fonts as the device's fonts.
  std::filesystem::create_directories(dir + "/Windows/Fonts");
  std::filesystem::create_symlink(std::string(SORVI_FIXTURE_FONTS) + "/DejaVuSans-subset.ttf",
                                  dir + "/Windows/Fonts/DejaVuSans.ttf");
  // The Chinese of the field's text comes from the CJK subset.
  std::filesystem::create_symlink(std::string(SORVI_FIXTURE_FONTS) + "/wqy-zenhei-subset.ttf",
                                  dir + "/Windows/Fonts/wqy-zenhei.ttc");
  const std::string shot = std::string(SORVI_SHOT_DIR) + "/ink-screen.png";
  std::filesystem::remove(shot);

  // The window is the device screen at its own size; geometry.txt gets its
  // place on the X display.
  std::string script = "#!/bin/sh\n";
  script +=
      "\"$DEMO\" --ink '\\Windows\\Fonts\\DejaVuSans.ttf' '\\Windows\\Fonts\\wqy-zenhei.ttc' > \"$DIR/demo.txt\" 2>&1 "
      "&\n";
  script += "pid=$!\n";
  // Only a mapped window counts: under load SDL may make and drop a window
  // of the class before the one it shows, and a search that takes the
  // dropped one sends every later command to a window that is gone.
  script +=
      "for i in $(seq 1 150); do\n"
      "  W=$(xdotool search --onlyvisible --class controls-demo 2>/dev/null | tail -n 1)\n"
      "  [ -n \"$W\" ] && break; sleep 0.2\n"
      "done\n";
  script += "sleep 1\n";
  script += "W=$(xdotool search --onlyvisible --class controls-demo 2>/dev/null | tail -n 1)\n";
  script += "xdotool getwindowgeometry --shell \"$W\" > \"$DIR/geometry.txt\"\n";
  for (const Drag& d : kBoxDrags) script += DragScript(d);
  for (const Drag& d : kFieldDrags) script += DragScript(d);
  script += "sleep 0.5\nimport -window root \"$SHOT\"\nkill $pid\nwait $pid\n";
  {
    std::ofstream out(dir + "/drive.sh");
    out << script;
  }
  std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  // The desktop libraries SDL loads keep a few blocks to the end: not ours.
  std::string cmd = "ASAN_OPTIONS='" + asan + ":detect_leaks=0' SORVI_BACKEND=sdl SORVI_ROOT='" + dir +
                    "' SORVI_IPC_DIR='" + dir + "' SORVI_SCREEN=480x640@192 DEMO='" + argv[1] + "' DIR='" + dir +
                    "' SHOT='" + shot + "' timeout 90 xvfb-run -a -s '-screen 0 1024x768x24' sh '" + dir +
                    "/drive.sh' > '" + dir + "/run.txt' 2>&1";
  int status = std::system(cmd.c_str());
  std::string log = ReadFile(dir + "/demo.txt");
  std::printf("%s%s", ReadFile(dir + "/run.txt").c_str(), log.c_str());
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the drive script ran to its end");
  Check(log.find("ink 15: 2 strokes") != std::string::npos, "two strokes were written into the box");
  Check(log.find("ink 16: 2 strokes") != std::string::npos, "two strokes were written over the field");

  int originX = -1, originY = -1, width = 0;
  std::istringstream geometry(ReadFile(dir + "/geometry.txt"));
  for (std::string line; std::getline(geometry, line);) {
    if (line.rfind("X=", 0) == 0) originX = std::atoi(line.c_str() + 2);
    if (line.rfind("Y=", 0) == 0) originY = std::atoi(line.c_str() + 2);
    if (line.rfind("WIDTH=", 0) == 0) width = std::atoi(line.c_str() + 6);
  }
  Check(originX >= 0 && originY >= 0 && width == 480, "the window shows the device screen at its size");
  Surface* png = LoadSurfacePng(shot.c_str());
  Check(png != nullptr, "the screenshot of the X display is a PNG");
  if (png && originX >= 0 && originY >= 0) {
    auto at = [&](int x, int y) -> uint32_t {
      int sx = originX + x, sy = originY + y;
      if (sx < 0 || sy < 0 || sx >= png->width || sy >= png->height) return 0xFFFFFFFF;
      return SurfaceRow(png, sy)[sx] & 0xFFFFFFu;
    };
    // Ink is black; smoothing may move it a pixel off the straight drag.
    auto inkNear = [&](int x, int y) {
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
          if (at(x + dx, y + dy) == 0x000000) return true;
      return false;
    };
    for (const auto* drags : {kBoxDrags, kFieldDrags})
      for (int k = 0; k < 2; ++k) {
        const Drag& d = drags[k];
        auto [x0, y0] = d.corners[0];
        auto [x1, y1] = d.corners[1];
        for (int step = 1; step < 10; ++step) {
          int x = x0 + (x1 - x0) * step / 10, y = y0 + (y1 - y0) * step / 10;
          Check(inkNear(x, y), "ink along the dragged path at " + std::to_string(x) + "," + std::to_string(y));
        }
      }
    Check(at(150, 250) == 0xFFFFFF, "the box's background away from the ink");
    // The field's text was faded when the first stroke began: black text
    // became (192, 192, 192), and no black is left away from the ink.
    int faded = 0, blackAway = 0;
    for (int y = 330; y < 570; ++y)
      for (int x = 12; x < 420; ++x) {
        uint32_t p = at(x, y);
        if (p == 0xC0C0C0) ++faded;
        if (p == 0x000000 && !(x > 40 && x < 220 && y > 380 && y < 500) && !(y > 400 && y < 450 && x > 240 && x < 420))
          ++blackAway;
      }
    Check(faded > 200, "the field's text is faded under the ink");
    Check(blackAway == 0, "only the ink is black in the field");
  }
  if (png) DestroySurface(png);
  std::printf("screenshot kept as %s\n", shot.c_str());

  std::string cleanup = std::string("rm -rf '") + dir + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
  if (gFailures) return 1;
  std::printf("controls-demo --ink under Xvfb: all checks passed\n");
  return 0;
}
