// Two processes: the second finds the first's window and posts it
// messages; two simultaneous starts agree on one primary.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <functional>
#include <fstream>
#include <sstream>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/core.h"
#include "platform/ui.h"

extern char** environ;

namespace {

const WCHAR* const kDemoClass = u"SorviDemoClass";
const WCHAR* const kDemoTitle = u"Platform Demo";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Child {
  pid_t pid = -1;
  std::string out;
};

class ProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    children_.reserve(4);
    ASSERT_NE(mkdtemp(dir_.data()), nullptr);
    SetIpcFolder(dir_.c_str());
  }
  void TearDown() override {
    for (Child& c : children_)
      if (c.pid > 0) {
        kill(c.pid, SIGKILL);
        waitpid(c.pid, nullptr, 0);
      }
    SetIpcFolder(nullptr);
    std::string cleanup = std::string("rm -rf '") + dir_ + "'";
    EXPECT_EQ(std::system(cleanup.c_str()), 0);
  }

  Child& Start(const char* arg) {
    Child c;
    c.out = std::string(dir_) + "/out" + std::to_string(children_.size()) + ".txt";
    std::vector<std::string> env{"SORVI_BACKEND=headless", std::string("SORVI_IPC_DIR=") + dir_,
                                 std::string("SORVI_ROOT=") + dir_ + "/device"};
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("SORVI_", 0) != 0) env.push_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string demo = SORVI_DEMO_PATH;
    std::vector<char*> argv{demo.data()};
    std::string a = arg ? arg : "";
    if (arg) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, c.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(posix_spawn(&c.pid, demo.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    children_.push_back(c);
    return children_.back();
  }

  // Real time, bounded: the other process runs on its own.
  static bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 1000; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  static int WaitExit(Child& c) {
    int status = -1;
    bool ended = WaitFor([&] { return waitpid(c.pid, &status, WNOHANG) == c.pid; });
    if (!ended) return -1;
    c.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Under the temporary folder, which CTest puts in the build tree.
  std::string dir_ = (std::filesystem::temp_directory_path() / "sorvi-processes-XXXXXX").string();
  std::vector<Child> children_;
};

TEST_F(ProcessesTest, SecondProcessFindsTheFirstsWindowAndPostsIt) {
  Child& first = Start(nullptr);
  ASSERT_TRUE(WaitFor([&] { return ReadFile(first.out).find("ready") != std::string::npos; }));
  HWND remote = FindWindowW(kDemoClass, kDemoTitle);
  ASSERT_NE(remote, nullptr);
  EXPECT_TRUE(IsRemoteWindow(remote));
  EXPECT_EQ(FindWindowW(kDemoClass, u"Another Title"), nullptr);
  EXPECT_TRUE(PostMessageW(remote, 0x8306, 5, 0));
  static const WCHAR text[] = u"a pointer cannot cross";
  EXPECT_FALSE(PostMessageW(remote, 0x8310, 0, reinterpret_cast<LPARAM>(text)));
  EXPECT_TRUE(PostMessageW(remote, 0x8310, 0, 0));
  EXPECT_TRUE(PostMessageW(remote, WM_CLOSE, 0, 0));
  EXPECT_EQ(WaitExit(first), 0);
  std::string log = ReadFile(first.out);
  EXPECT_NE(log.find("message 0x8306 5 0\nmessage 0x8310 0 0\nclosing"), std::string::npos) << log;
  // Its socket went with it.
  EXPECT_EQ(FindWindowW(kDemoClass, kDemoTitle), nullptr);
}

TEST_F(ProcessesTest, TwoSimultaneousStartsAgreeOnOnePrimary) {
  children_.reserve(2);
  Start("--single-instance");
  Start("--single-instance");
  // One ends as the secondary, after handing over to the other.
  int secondaryCode = -1;
  Child* primary = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (Child& c : children_) {
      int status;
      if (c.pid > 0 && waitpid(c.pid, &status, WNOHANG) == c.pid) {
        c.pid = -1;
        secondaryCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        primary = &c == &children_[0] ? &children_[1] : &children_[0];
        return true;
      }
    }
    return false;
  }));
  EXPECT_EQ(secondaryCode, 3);
  ASSERT_NE(primary, nullptr);
  ASSERT_TRUE(WaitFor([&] { return ReadFile(primary->out).find("message 0x8306 1 0") != std::string::npos; }));
  HWND remote = FindWindowW(kDemoClass, kDemoTitle);
  ASSERT_NE(remote, nullptr);
  PostMessageW(remote, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitExit(*primary), 0);
  int readies = 0;
  for (Child& c : children_) readies += ReadFile(c.out).find("ready") != std::string::npos;
  EXPECT_EQ(readies, 1);
}

}  // namespace
