// Smoke test of the SDL backend: runs platform-demo under Xvfb, drives it
// with stylus, key and text input through SDL, and checks its echo and a
// screenshot of the real SDL window. Exit 77 (skipped) without xvfb-run.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: platform_sdl_smoke PLATFORM_DEMO\n");
    return 2;
  }
  if (!OnPath("xvfb-run")) {
    std::printf("xvfb-run is not installed: skipped\n");
    return 77;
  }
  std::string dirPattern = (std::filesystem::temp_directory_path() / "sorvi-sdl-smoke-XXXXXX").string();
  if (!mkdtemp(dirPattern.data())) return 2;
  const std::string dir = dirPattern;
  std::string shot = std::string(dir) + "/screen.png";
  std::string out = std::string(dir) + "/out.txt";
  // Device coordinates; the work area starts below the 52-pixel task bar.
  std::string script = "down 100 300; move 150 350; move 200 400; up 200 400; key a; key enter; text \xE4\xB8\xAD; shot " +
                       shot + "; quit";
  // The desktop libraries SDL loads keep a few blocks to the end: not ours.
  std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  std::string cmd = "ASAN_OPTIONS='" + asan + ":detect_leaks=0' SORVI_BACKEND=sdl SORVI_IPC_DIR='" + dir + "' SORVI_SCREEN=480x640@192 SORVI_DEMO_SCRIPT='" + script +
                    "' timeout 60 xvfb-run -a -s '-screen 0 1024x768x24' '" + argv[1] + "' > '" + out + "' 2>&1";
  int status = std::system(cmd.c_str());
  std::string log = ReadFile(out);
  std::printf("%s", log.c_str());
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the demo ran and ended by itself");
  Check(log.find("ready sdl") != std::string::npos, "the SDL backend started");
  Check(log.find("pen down 100 248") != std::string::npos, "a press reaches the window in client coordinates");
  Check(log.find("pen move 150 298") != std::string::npos, "moves while pressed are echoed");
  Check(log.find("pen up 200 348") != std::string::npos, "the release is echoed");
  Check(log.find("key down 0x41") != std::string::npos, "a key arrives with its VK code");
  Check(log.find("char U+000D") != std::string::npos, "Enter is translated to a character");
  Check(log.find("char U+4E2D") != std::string::npos, "text input arrives as UTF-16 WM_CHAR");
  Check(log.find("shot " + shot + " ok") != std::string::npos, "the screenshot was written");
  Surface* png = LoadSurfacePng(shot.c_str());
  Check(png != nullptr, "the screenshot is a PNG");
  if (png) {
    int scale = png->width / 480;
    Check(scale >= 1 && png->width == 480 * scale && png->height == 640 * scale, "the window shows the whole screen");
    auto at = [&](int x, int y) { return SurfaceRow(png, y * scale + scale / 2)[x * scale + scale / 2] & 0xFFFFFFu; };
    Check(at(150, 350) == 0x000000, "the ink is drawn where the stylus went");
    Check(at(30, 52 + 30) == 0x0000FF, "the filled rectangle is drawn");
    Check(at(320, 52 + 90) == 0xFF0000, "the polygon is filled");
    Check(at(69, 52 + 185) == 0x00A000, "the typed character shows as a block");
    Check(at(300, 500) == 0xFFFFFF, "the background is the class brush");
    DestroySurface(png);
  }
  // Second run: the dialog with each standard control, drawn in the SDL window.
  std::string dialogShot = std::string(dir) + "/dialog.png";
  std::string dialogCmd = "ASAN_OPTIONS='" + asan + ":detect_leaks=0' SORVI_BACKEND=sdl SORVI_IPC_DIR='" + dir + "' SORVI_SCREEN=480x640@192 SORVI_DEMO_SCRIPT='dialog; shot " +
                          dialogShot + "; quit' timeout 60 xvfb-run -a -s '-screen 0 1024x768x24' '" + argv[1] + "' > '" + out +
                          "' 2>&1";
  status = std::system(dialogCmd.c_str());
  log = ReadFile(out);
  std::printf("%s", log.c_str());
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the demo with its dialog ran and ended by itself");
  Check(log.find("dialog open") != std::string::npos, "the dialog was created from its template");
  Surface* dialogPng = LoadSurfacePng(dialogShot.c_str());
  Check(dialogPng != nullptr, "the dialog screenshot is a PNG");
  if (dialogPng) {
    int scale = dialogPng->width / 480;
    auto at = [&](int x, int y) {
      return SurfaceRow(dialogPng, y * scale + scale / 2)[x * scale + scale / 2] & 0xFFFFFFu;
    };
    // The "Coloured" button paints with the brush its parent returns for WM_CTLCOLORBTN.
    int orange = 0, dark = 0;
    for (int y = 52; y < 640; ++y)
      for (int x = 0; x < 480; ++x) {
        unsigned p = at(x, y);
        if (p == 0xFF6600) ++orange;
        if ((p & 0xFF) < 0x40 && ((p >> 8) & 0xFF) < 0x40 && ((p >> 16) & 0xFF) < 0x40) ++dark;
      }
    Check(orange > 500, "the coloured push button is painted with its parent's brush");
    Check(dark > 2000, "control frames and label text are drawn");
    DestroySurface(dialogPng);
  }

  std::string cleanup = std::string("rm -rf '") + dir + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
  if (gFailures) return 1;
  std::printf("platform-demo under Xvfb: all checks passed\n");
  return 0;
}
