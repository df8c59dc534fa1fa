// The single-instance rule with real processes: the program itself is
// started as the second (or first) copy over one device root and one IPC
// folder of the test's own. Every wait is bounded; a child still running
// at the end is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_instance.h"
#include "app/app_registry.h"
#include "app/app_startup.h"
#include "platform/clipboard.h"
#include "platform/errors.h"
#include "platform/heap.h"
#include "platform/ipc.h"
#include "platform/message.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "resources/resources.h"
#include "tests/app/app_fixture.h"
#include "toolkit/app_context.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
// Generous: a sanitizer build on a loaded machine starts slowly.
constexpr auto kPatience = std::chrono::seconds(60);

// Waits, checking often, until `done` holds or the patience runs out.
bool WaitFor(const std::function<bool()>& done) {
  const auto end = Clock::now() + kPatience;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A folder for the sockets: below the test's temporary folder unless a
// socket path there would be too long for the socket address.
class IpcFolder {
 public:
  IpcFolder() {
    std::string base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    if (base.size() + 60 >= sizeof(sockaddr_un{}.sun_path)) base = "/tmp";
    std::string pattern = base + "/sorvi-ipc-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
    SetIpcFolder(path_.c_str());
  }
  ~IpcFolder() {
    SetIpcFolder(nullptr);
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// One run of the program.
class Program {
 public:
  Program(const std::string& root, const std::string& ipc, const std::vector<std::string>& args) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string v = *e;
      if (v.starts_with("SORVI_ROOT=") || v.starts_with("SORVI_IPC_DIR=")) continue;
      env.push_back(v);
    }
    env.push_back("SORVI_ROOT=" + root);
    env.push_back("SORVI_IPC_DIR=" + ipc);
    std::vector<std::string> argv = {SORVI_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    for (auto& s : env) e.push_back(s.data());
    e.push_back(nullptr);
    if (posix_spawn(&pid_, SORVI_PROGRAM, nullptr, nullptr, a.data(), e.data()) != 0) pid_ = -1;
  }
  ~Program() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool started() const { return pid_ > 0; }
  // True once the process has ended (its exit code is then kept).
  bool Ended() {
    if (ended_ || pid_ <= 0) return ended_;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      ended_ = true;
      code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return ended_;
  }
  bool WaitEnd() {
    return WaitFor([&] { return Ended(); });
  }
  int code() const { return code_; }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int code_ = -1;
};

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSorviResources();
    ASSERT_FALSE(ipc_.path().empty());
    socket_ = IpcSocketPath(u"SORVIENGINE", u"Sorvi");
  }
  void TearDown() override { ClearRemoteMessagesForTests(); }
  void InstallDictionary() { tree_.Write("Program Files/Sorvi/words.pdb", appfix::SmallDictionary()); }
  std::unique_ptr<Program> Run(const std::vector<std::string>& args) {
    auto p = std::make_unique<Program>(tree_.root().host(), ipc_.path(), args);
    EXPECT_TRUE(p->started());
    return p;
  }
  bool Published() const { return std::filesystem::exists(socket_); }
  static bool RecordSaved(const WCHAR* name) {
    ReloadRegistryForTests();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool found = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
  }

  appfix::DeviceTree tree_;
  IpcFolder ipc_;
  std::string socket_;
};

TEST_F(SingleInstanceTest, CloseWithoutARunningCopyEndsAtOnce) {
  InstallDictionary();
  auto closer = Run({"kl"});
  ASSERT_TRUE(closer->WaitEnd());
  EXPECT_EQ(closer->code(), 0);
  EXPECT_FALSE(Published());
  EXPECT_FALSE(RecordSaved(u"Engine"));  // start-up never ran
}

TEST_F(SingleInstanceTest, CloseEndsTheRunningCopyWhichSavesItsRecords) {
  InstallDictionary();
  auto first = Run({});
  ASSERT_TRUE(WaitFor([&] { return Published() || first->Ended(); }));
  ASSERT_FALSE(first->Ended()) << "exit code " << first->code();
  auto closer = Run({"kl"});
  ASSERT_TRUE(closer->WaitEnd());
  EXPECT_EQ(closer->code(), 0);
  ASSERT_TRUE(first->WaitEnd());
  EXPECT_EQ(first->code(), 0);
  EXPECT_TRUE(RecordSaved(u"Engine"));
  EXPECT_TRUE(RecordSaved(u"Dicts"));
}

TEST_F(SingleInstanceTest, ASecondStartPostsToTheRunningCopyAndEnds) {
  // This process plays the running copy: a published window of the
  // program's class and title that takes the three messages.
  static std::vector<MSG> received;
  received.clear();
  WNDCLASSW wc = {};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_CLOSE || m == kAppActivate || m == kAppLookupSelection) {
      received.push_back(MSG{h, m, w, l, 0, {}});
      return 0;
    }
    return DefWindowProcW(h, m, w, l);
  };
  wc.lpszClassName = u"SORVIENGINE";
  RegisterClassW(&wc);
  AcceptRemoteMessage(WM_CLOSE);
  AcceptRemoteMessage(kAppActivate);
  AcceptRemoteMessage(kAppLookupSelection);
  HWND running =
      CreateWindowExW(0, u"SORVIENGINE", u"Sorvi", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(running, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Published(); }));

  struct Case {
    std::vector<std::string> args;
    UINT expected;
  };
  const Case cases[] = {
      {{"ia"}, kAppLookupSelection}, {{"kl"}, WM_CLOSE}, {{"x"}, kAppActivate},       {{"IA"}, kAppActivate},
      {{"ia "}, kAppActivate},       {{}, kAppActivate}, {{"ia", "x"}, kAppActivate},  // joined: "ia x"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(empty)") : "\"" + c.args[0] + "\"");
    received.clear();
    auto second = Run(c.args);
    ASSERT_TRUE(second->WaitEnd());
    EXPECT_EQ(second->code(), 0);
    ASSERT_TRUE(WaitFor([&] {
      PumpPendingMessages();
      return !received.empty();
    }));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, c.expected);
    EXPECT_EQ(received[0].wParam, 0u);
    EXPECT_EQ(received[0].lParam, 0);
  }
  DestroyWindow(running);
  UnregisterClassW(u"SORVIENGINE", nullptr);
}

TEST_F(SingleInstanceTest, TwoStartsAtOnceGiveOneMainWindow) {
  InstallDictionary();
  auto a = Run({});
  auto b = Run({});
  // One of them finds the other's window and ends; the other runs on.
  ASSERT_TRUE(WaitFor([&] { return a->Ended() || b->Ended(); }));
  Program* ended = a->Ended() ? a.get() : b.get();
  Program* running = ended == a.get() ? b.get() : a.get();
  EXPECT_EQ(ended->code(), 0);
  ASSERT_TRUE(WaitFor([&] { return Published() || running->Ended(); }));
  EXPECT_FALSE(running->Ended());
  auto closer = Run({"kl"});
  ASSERT_TRUE(closer->WaitEnd());
  ASSERT_TRUE(running->WaitEnd());
  EXPECT_EQ(running->code(), 0);
}

TEST_F(SingleInstanceTest, AForeignLookupMessageWithANumberFreesNothing) {
  InstallDictionary();
  auto first = Run({});
  ASSERT_TRUE(WaitFor([&] { return Published() || first->Ended(); }));
  ASSERT_FALSE(first->Ended());
  // Straight to the window's socket, as any program of the user could.
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, socket_.c_str(), socket_.size() + 1);
  unsigned char packet[24] = {};
  auto put = [&](size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) packet[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  put(0, 0x49565253, 4);  // the packets' mark
  put(4, kAppLookupSelection, 4);
  put(8, 0, 8);
  put(16, 12345, 8);
  EXPECT_EQ(sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr),
            static_cast<ssize_t>(sizeof packet));
  close(fd);
  auto closer = Run({"kl"});
  ASSERT_TRUE(closer->WaitEnd());
  ASSERT_TRUE(first->WaitEnd());
  EXPECT_EQ(first->code(), 0);  // a sanitizer build ends otherwise
}

// Handles what is queued, the quit message of a destroyed main window too.
void DrainQueue() {
  PumpPendingMessages();
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
    if (m.message != WM_QUIT) DispatchMessageW(&m);
}

// In this process: a lookup start while a foreign program in front has
// text selected.
class LookupStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSorviResources();
    tree_.Write("Program Files/Sorvi/words.pdb", appfix::SmallDictionary());
    SetIpcPublishing(FALSE);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_COPY && !selection_.empty()) {
        OpenClipboard(nullptr);
        EmptyClipboard();
        auto* block = static_cast<WCHAR*>(LocalAlloc(LPTR, (selection_.size() + 1) * sizeof(WCHAR)));
        std::memcpy(block, selection_.c_str(), selection_.size() * sizeof(WCHAR));
        SetClipboardData(CF_UNICODETEXT, block);
        CloseClipboard();
      }
      return DefWindowProcW(h, m, w, l);
    };
    wc.lpszClassName = u"ForeignEditor";
    RegisterClassW(&wc);
    foreign_ =
        CreateWindowExW(0, u"ForeignEditor", u"Editor", WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    MarkForeignWindow(foreign_);
    SetForegroundWindow(foreign_);
    OpenClipboard(nullptr);
    EmptyClipboard();
    auto* earlier = static_cast<WCHAR*>(LocalAlloc(LPTR, 8 * sizeof(WCHAR)));
    std::memcpy(earlier, u"earlier", 7 * sizeof(WCHAR));
    SetClipboardData(CF_UNICODETEXT, earlier);
    CloseClipboard();
  }
  void TearDown() override {
    if (AppMainWindow) DestroyWindow(AppMainWindow);
    DrainQueue();
    ShutdownApplication();
    DestroyWindow(foreign_);
    UnregisterClassW(u"SORVIENGINE", GetModuleHandleW(nullptr));
    SetIpcPublishing(TRUE);
    selection_.clear();
  }
  static std::u16string ClipboardText() {
    OpenClipboard(nullptr);
    auto* own = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
    std::u16string text = own ? own : u"";
    CloseClipboard();
    return text;
  }

  static inline std::u16string selection_;
  appfix::DeviceTree tree_;
  HWND foreign_ = nullptr;
};

TEST_F(LookupStartTest, WithASelectionTheWindowStaysBehindTheForeignProgram) {
  selection_ = u"中国";
  ASSERT_EQ(InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL, u"ia"), 1);
  HWND main = AppMainWindow;
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(GetForegroundWindow(), foreign_);
  EXPECT_NE(GetActiveWindow(), main);
  EXPECT_EQ(ClipboardText(), u"earlier");
}

TEST_F(LookupStartTest, WithoutASelectionItIsAnOrdinaryStart) {
  for (const WCHAR* command : {u"ia", u"IA"}) {
    ASSERT_EQ(InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL, command), 1);
    HWND main = AppMainWindow;
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_EQ(ClipboardText(), u"earlier");
    DestroyWindow(main);
    DrainQueue();
    ShutdownApplication();
    UnregisterClassW(u"SORVIENGINE", GetModuleHandleW(nullptr));
    SetForegroundWindow(foreign_);
  }
}

}  // namespace
