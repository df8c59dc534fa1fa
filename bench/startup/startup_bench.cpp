// Start-up of the program over the device data. Each run is a new process
// (this program again, with --child) over a device root of the benchmark's
// own whose "Program Files\Sorvi" links to the device folder's files, so
// the device folder is only read. The child starts the way the program
// does and reports, on its standard output, when InitInstance has shown
// the main window; the parent times that from the moment it started the
// child. The child then times the start-up walk alone over the same tree,
// closes the window and shuts down. Median of 10 runs (after one run that
// makes the flashcard database and the first records).
//
// Usage: bench_startup [device root]; default $SORVI_ROOT, else
// ~/.local/share/sorvi/device.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_file_search.h"
#include "app/app_instance.h"
#include "app/app_startup.h"
#include "platform/message.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "resources/resources.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 10;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

int Child() {
  InitUiThread();
  RegisterSorviResources();
  if (!InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL, u"")) return 1;
  std::printf("shown\n");
  std::fflush(stdout);
  CloseFoundDataFiles();  // the program keeps its files open; the walk below opens its own
  const auto start = Clock::now();
  FileSearchRow rows[kStartupSearchRows];
  FillStartupSearchRows(rows);
  DiscoverFiles(rows, kStartupSearchRows);
  const double walk = Micros(Clock::now() - start);
  CloseFoundDataFiles();
  FreeFoundPaths();
  std::printf("walk %.0f\n", walk);
  std::fflush(stdout);
  DestroyWindow(AppMainWindow);
  RunAppMessageLoop();
  ShutdownApplication();
  return 0;
}

struct Run {
  double shown = -1;  // µs from spawn
  double walk = -1;   // µs
};

Run RunOnce(const std::string& self, const std::string& root) {
  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (!std::string(*e).starts_with("SORVI_ROOT=") && !std::string(*e).starts_with("SORVI_BACKEND="))
      env.push_back(*e);
  env.push_back("SORVI_ROOT=" + root);
  env.push_back("SORVI_BACKEND=headless");
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string arg0 = self, arg1 = "--child";
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  Run run;
  pid_t pid = -1;
  const auto start = Clock::now();
  const bool spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (!spawned) {
    close(out[0]);
    return run;
  }
  FILE* in = fdopen(out[0], "r");
  char line[128];
  while (in && std::fgets(line, sizeof line, in)) {
    if (std::strncmp(line, "shown", 5) == 0) run.shown = Micros(Clock::now() - start);
    if (std::strncmp(line, "walk ", 5) == 0) run.walk = std::atof(line + 5);
  }
  if (in) std::fclose(in);
  int status = 0;
  waitpid(pid, &status, 0);
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return Child();

  std::string device = argc > 1 ? argv[1] : "";
  if (device.empty() && std::getenv("SORVI_ROOT")) device = std::getenv("SORVI_ROOT");
  if (device.empty() && std::getenv("HOME")) device = std::string(std::getenv("HOME")) + "/.local/share/sorvi/device";
  const fs::path data = fs::path(device) / "Program Files" / "Sorvi";
  if (!fs::is_directory(data)) {
    std::fprintf(stderr, "bench_startup: no device data in %s (make data)\n", data.c_str());
    return 1;
  }
  std::string pattern = (fs::temp_directory_path() / "sorvi-bench-startup-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const fs::path root = pattern;
  fs::create_directories(root / "Program Files" / "Sorvi");
  fs::create_directories(root / "My Documents");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(data)) {
    if (!entry.is_regular_file()) continue;
    fs::create_symlink(entry.path(), root / "Program Files" / "Sorvi" / entry.path().filename());
    ++files;
  }
  const std::string self = fs::canonical("/proc/self/exe").string();
  RunOnce(self, root.string());  // first run: the flashcard database and the records are made
  std::vector<double> shown, walk;
  for (int i = 0; i < kRuns; ++i) {
    Run r = RunOnce(self, root.string());
    if (r.shown < 0 || r.walk < 0) {
      std::fprintf(stderr, "bench_startup: run %d did not show the main window\n", i + 1);
      fs::remove_all(root);
      return 1;
    }
    shown.push_back(r.shown);
    walk.push_back(r.walk);
  }
  fs::remove_all(root);
  std::printf("start-up over %s (%d files), median of %d runs\n", data.c_str(), files, kRuns);
  std::printf("  %-34s %10.1f ms\n", "process start to main window shown", Median(shown) / 1000);
  std::printf("  %-34s %10.1f ms\n", "of which the file walk", Median(walk) / 1000);
  return 0;
}
