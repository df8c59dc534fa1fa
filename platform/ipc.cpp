// Top-level windows shared with other processes of the same user through
// Unix datagram sockets in a runtime folder.
#include "platform/ipc.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/errors.h"
#include "platform/window_internal.h"

using namespace wm;

namespace {

constexpr std::uint32_t kMagic = 0x49565253;  // "SRVI"
constexpr size_t kPacket = 24;

struct Published {
  HWND hwnd;
  int fd;
  std::string path;
};

struct Ipc {
  std::mutex mutex;
  bool folderSet = false;
  std::string folder;
  int enabled = -1;  // -1: from the environment
  std::vector<Published> published;
  int lockFd = -1;
  bool lockHeld = false;
  // The socket name (or, searched without a title, the class's prefix of
  // it) whose publishing ends the start: only the window the search was
  // for. A start publishes other top-level windows (a menu bar) while its
  // main window is still being made; letting one of those release the lock
  // let a second start look, find no main window and run as well.
  std::string lockFor;
  int wakePipe[2] = {-1, -1};
  bool listening = false;
  std::vector<UINT> accepted;  // message numbers other processes may post
};
Ipc& I() {
  static auto* ipc = new Ipc;
  return *ipc;
}

std::uint64_t Fnv(const void* data, size_t size) {
  std::uint64_t h = 1469598103934665603ull;
  auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

std::string Hex(std::uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

// Class names compare case-insensitively, titles exactly.
std::string ClassKey(const std::u16string& cls) {
  std::u16string up = cls;
  for (char16_t& c : up)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return Hex(Fnv(up.data(), up.size() * 2));
}
std::string TitleKey(const std::u16string& title) { return Hex(Fnv(title.data(), title.size() * 2)); }

bool Enabled() {
  Ipc& ipc = I();
  if (ipc.enabled >= 0) return ipc.enabled != 0;
  if (ipc.folderSet || std::getenv("SORVI_IPC_DIR")) return true;
  // Headless tests stay private unless they ask for a folder.
  const char* backend = std::getenv("SORVI_BACKEND");
  return !(backend && std::strcmp(backend, "headless") == 0);
}

std::string FolderLocked() {
  Ipc& ipc = I();
  if (!ipc.folderSet) {
    ipc.folderSet = true;
    if (const char* env = std::getenv("SORVI_IPC_DIR"); env && *env) ipc.folder = env;
    else if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) ipc.folder = std::string(run) + "/sorvi-layer";
    else ipc.folder = "/tmp/sorvi-layer-" + std::to_string(getuid());
  }
  mkdir(ipc.folder.c_str(), 0700);
  return ipc.folder;
}

bool MakeAddress(const std::string& path, sockaddr_un* addr) {
  if (path.size() >= sizeof(addr->sun_path)) return false;
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// 1 live, 0 absent (a stale socket is removed), -1 error.
int Probe(const std::string& path) {
  sockaddr_un addr;
  if (!MakeAddress(path, &addr)) return -1;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int r = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int err = errno;
  close(fd);
  if (r == 0) return 1;
  if (err == ECONNREFUSED) unlink(path.c_str());
  return 0;
}

void TakeStartLockLocked(const std::string& wanted) {
  Ipc& ipc = I();
  if (ipc.lockHeld) return;
  ipc.lockFor = wanted;
  if (ipc.lockFd < 0) {
    std::string path = FolderLocked() + "/start.lock";
    ipc.lockFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (ipc.lockFd < 0) return;
  }
  while (flock(ipc.lockFd, LOCK_EX) != 0 && errno == EINTR) {
  }
  ipc.lockHeld = true;
}

void Encode(unsigned char* out, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) {
  auto put = [&](size_t at, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
  };
  put(0, kMagic, 4);
  put(4, msg, 4);
  put(8, wParam, 8);
  put(16, static_cast<std::uint64_t>(lParam), 8);
}

std::uint64_t Get(const unsigned char* in, size_t at, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(in[at + static_cast<size_t>(i)]) << (8 * i);
  return v;
}

void Listen() {
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<HWND> owners;
    {
      std::lock_guard<std::mutex> lk(I().mutex);
      fds.push_back(pollfd{I().wakePipe[0], POLLIN, 0});
      owners.push_back(nullptr);
      for (const Published& p : I().published) {
        fds.push_back(pollfd{p.fd, POLLIN, 0});
        owners.push_back(p.hwnd);
      }
    }
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents & POLLIN) {
      char buf[64];
      [[maybe_unused]] ssize_t n = read(I().wakePipe[0], buf, sizeof buf);
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      unsigned char packet[64];
      std::lock_guard<std::mutex> lk(I().mutex);
      // The window may have been unpublished (and its fd closed) meanwhile.
      bool live = false;
      for (const Published& p : I().published) live = live || (p.fd == fds[i].fd && p.hwnd == owners[i]);
      if (!live) continue;
      ssize_t n = recv(fds[i].fd, packet, sizeof packet, MSG_DONTWAIT);
      if (n != static_cast<ssize_t>(kPacket) || Get(packet, 0, 4) != kMagic) continue;
      // Any program of the user can write to the socket: only a registered
      // message number with lParam 0 gets through, so nothing that arrives
      // can be taken for a pointer of this process.
      const UINT msg = static_cast<UINT>(Get(packet, 4, 4));
      const std::vector<UINT>& accepted = I().accepted;
      if (Get(packet, 16, 8) != 0 || std::find(accepted.begin(), accepted.end(), msg) == accepted.end()) continue;
      PostMessageW(owners[i], msg, static_cast<WPARAM>(Get(packet, 8, 8)), 0);
    }
  }
}

void WakeListenerLocked() {
  Ipc& ipc = I();
  if (!ipc.listening) {
    if (pipe2(ipc.wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    ipc.listening = true;
    std::thread(Listen).detach();
    return;
  }
  char c = 1;
  [[maybe_unused]] ssize_t n = write(ipc.wakePipe[1], &c, 1);
}

bool Postable(UINT msg, LPARAM lParam) {
  if (msg == WM_NULL || msg == WM_CLOSE || msg == WM_COMMAND) return true;
  return msg >= WM_USER && lParam == 0;
}

}  // namespace

std::string GetIpcFolder() {
  std::lock_guard<std::mutex> lk(I().mutex);
  return FolderLocked();
}

void SetIpcFolder(const char* hostPath) {
  std::lock_guard<std::mutex> lk(I().mutex);
  Ipc& ipc = I();
  if (ipc.lockFd >= 0) {
    close(ipc.lockFd);  // releases the flock
    ipc.lockFd = -1;
    ipc.lockHeld = false;
  }
  ipc.folderSet = hostPath != nullptr;
  ipc.folder = hostPath ? hostPath : "";
  if (hostPath) mkdir(hostPath, 0700);
}

std::string IpcSocketPath(LPCWSTR className, LPCWSTR windowName) {
  std::lock_guard<std::mutex> lk(I().mutex);
  return FolderLocked() + "/" + ClassKey(ToU16(className)) + "-" + TitleKey(ToU16(windowName)) + ".sock";
}

void AcceptRemoteMessage(UINT msg) {
  std::lock_guard<std::mutex> lk(I().mutex);
  std::vector<UINT>& accepted = I().accepted;
  if (std::find(accepted.begin(), accepted.end(), msg) == accepted.end()) accepted.push_back(msg);
}

void ClearRemoteMessagesForTests() {
  std::lock_guard<std::mutex> lk(I().mutex);
  I().accepted.clear();
}

void SetIpcPublishing(BOOL enabled) {
  std::lock_guard<std::mutex> lk(I().mutex);
  I().enabled = enabled ? 1 : 0;
}

void ReleaseStartLock() {
  std::lock_guard<std::mutex> lk(I().mutex);
  Ipc& ipc = I();
  if (ipc.lockHeld && ipc.lockFd >= 0) flock(ipc.lockFd, LOCK_UN);
  ipc.lockHeld = false;
}

BOOL HoldsStartLock() {
  std::lock_guard<std::mutex> lk(I().mutex);
  return I().lockHeld;
}

HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName) {
  if (!className) return nullptr;
  std::vector<std::string> candidates;
  {
    std::lock_guard<std::mutex> lk(I().mutex);
    if (!Enabled()) return nullptr;
    std::string folder = FolderLocked();
    std::string prefix = ClassKey(className) + "-";
    TakeStartLockLocked(windowName ? prefix + TitleKey(windowName) + ".sock" : prefix);
    if (windowName) {
      candidates.push_back(folder + "/" + prefix + TitleKey(windowName) + ".sock");
    } else if (DIR* d = opendir(folder.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.rfind(prefix, 0) == 0 && name.size() > 5 && name.compare(name.size() - 5, 5, ".sock") == 0)
          candidates.push_back(folder + "/" + name);
      }
      closedir(d);
    }
    // Our own published windows are found locally, never through a socket.
    for (const Published& p : I().published)
      candidates.erase(std::remove(candidates.begin(), candidates.end(), p.path), candidates.end());
  }
  for (const std::string& path : candidates) {
    if (Probe(path) != 1) continue;
    Lock lk(S().mutex);
    for (Window* w : S().slots)
      if (w && w->remote && w->remotePath == path) return w->handle;
    auto* proxy = new Window;
    proxy->remote = true;
    proxy->remotePath = path;
    proxy->style = WS_VISIBLE;
    HWND h = AllocHandle(proxy);
    if (!h) {
      delete proxy;
      return nullptr;
    }
    proxy->handle = h;
    return h;
  }
  return nullptr;
}

BOOL IsRemoteWindow(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  return w && w->remote;
}

namespace wm {

void IpcPublish(HWND hwnd) {
  std::u16string cls, title;
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w || w->foreign || w->remote || !w->cls) return;
    cls = w->cls->name;
    title = w->text;
  }
  std::lock_guard<std::mutex> lk(I().mutex);
  if (!Enabled()) return;
  std::string path = FolderLocked() + "/" + ClassKey(cls) + "-" + TitleKey(title) + ".sock";
  for (const Published& p : I().published)
    if (p.path == path) return;  // a second window with the same name stays private
  if (Probe(path) == 1) return;  // another process has it
  sockaddr_un addr;
  if (!MakeAddress(path, &addr)) return;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return;
  }
  I().published.push_back(Published{hwnd, fd, path});
  {
    Lock wl(S().mutex);
    if (Window* w = Find(hwnd)) w->published = true;
  }
  WakeListenerLocked();
  const std::string name = path.substr(path.rfind('/') + 1);
  if (I().lockHeld && I().lockFd >= 0 && name.rfind(I().lockFor, 0) == 0) {
    flock(I().lockFd, LOCK_UN);
    I().lockHeld = false;
  }
}

void IpcUnpublish(HWND hwnd) {
  std::lock_guard<std::mutex> lk(I().mutex);
  auto& v = I().published;
  for (auto it = v.begin(); it != v.end(); ++it) {
    if (it->hwnd != hwnd) continue;
    unlink(it->path.c_str());
    close(it->fd);
    v.erase(it);
    WakeListenerLocked();
    return;
  }
}

BOOL IpcPost(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::string path;
  {
    Lock lk(S().mutex);
    Window* w = Find(proxy);
    if (!w || !w->remote) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    path = w->remotePath;
  }
  if (!Postable(msg, lParam)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  sockaddr_un addr;
  if (!MakeAddress(path, &addr)) return FALSE;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return FALSE;
  unsigned char packet[kPacket];
  Encode(packet, msg, wParam, lParam);
  ssize_t n = sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int err = errno;
  close(fd);
  if (n != static_cast<ssize_t>(sizeof packet)) {
    if (err == ECONNREFUSED) unlink(path.c_str());
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace wm
