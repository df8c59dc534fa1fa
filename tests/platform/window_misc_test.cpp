// Screen profile and metrics, version, clipboard, input-method records,
// shared libraries and windows shared with other processes.
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "tests/platform/window_test_util.h"
#include "tests/support/temp_device_root.h"

using namespace wintest;

namespace {

TEST(ScreenProfileTest, ParsesSizesAndDefaultsDpi) {
  struct Case {
    const char* text;
    bool ok;
    int w, h, dpi;
  } cases[] = {
      {"240x320@96", true, 240, 320, 96}, {"640x480", true, 640, 480, 192}, {"320x240", true, 320, 240, 96},
      {"480x640@192", true, 480, 640, 192}, {"abc", false, 0, 0, 0},       {"100x", false, 0, 0, 0},
      {"480x640@", false, 0, 0, 0},        {"480x640@192x", false, 0, 0, 0}, {"10x10@96", false, 0, 0, 0},
  };
  for (const Case& k : cases) {
    ScreenProfile p{};
    EXPECT_EQ(ParseScreenProfile(k.text, &p) != 0, k.ok) << k.text;
    if (k.ok) {
      EXPECT_EQ(p.width, k.w);
      EXPECT_EQ(p.height, k.h);
      EXPECT_EQ(p.dpi, k.dpi) << k.text;
    }
  }
}

TEST(ScreenProfileTest, MetricsWorkAreaAndDeviceCapsFollowTheProfile) {
  struct Case {
    int w, h, dpi;
    int vscroll;
    RECT work;
  } cases[] = {{240, 320, 96, 13, {0, 26, 240, 294}},
               {480, 640, 192, 26, {0, 52, 480, 588}},
               {640, 480, 192, 26, {0, 52, 640, 428}}};
  for (const Case& k : cases) {
    SetScreenProfile(k.w, k.h, k.dpi);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), k.w);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), k.h);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), k.vscroll);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.top, k.work.top);
    EXPECT_EQ(work.bottom, k.work.bottom);
    EXPECT_EQ(work.right, k.work.right);
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), k.dpi);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), k.dpi);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), k.w);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), k.h);
    ReleaseDC(nullptr, dc);
  }
  SetScreenProfile(480, 640, 192);
}

TEST(VersionTest, DefaultAndConfigured) {
  OSVERSIONINFOW v{};
  EXPECT_FALSE(GetVersionExW(&v));  // size not set
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExW(&v));
  EXPECT_EQ(v.dwMajorVersion, 5u);
  EXPECT_EQ(v.dwMinorVersion, 2u);
  EXPECT_EQ(v.dwBuildNumber, 21000u);
  EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_CE);
  SetOsVersion(4, 21, 1088);
  ASSERT_TRUE(GetVersionExW(&v));
  EXPECT_EQ(v.dwMajorVersion, 4u);
  EXPECT_EQ(v.dwMinorVersion, 21u);
  SetOsVersion(5, 2, 21000);
}

HLOCAL Text(const std::u16string& s) {
  auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (s.size() + 1) * sizeof(WCHAR)));
  std::copy(s.begin(), s.end(), block);
  block[s.size()] = 0;
  return block;
}

std::string gDesktop;
bool gDesktopHas = false;
bool FakeGet(std::string* s) {
  if (!gDesktopHas) return false;
  *s = gDesktop;
  return true;
}
void FakeSet(const std::string& s) {
  gDesktop = s;
  gDesktopHas = true;
}

using ClipboardTest = WindowTest;

TEST_F(ClipboardTest, OpenEmptySetGetAndOwnership) {
  HWND a = Top();
  HWND b = Top();
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  SIZE_T blocks = GetLocalHeapBlockCount();
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);  // not open
  ASSERT_TRUE(OpenClipboard(a));
  EXPECT_FALSE(OpenClipboard(b));  // someone else has it open
  ASSERT_TRUE(EmptyClipboard());
  HLOCAL first = Text(u"first");
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, first), first);
  HLOCAL refused = Text(u"x");
  EXPECT_EQ(SetClipboardData(CF_TEXT, refused), nullptr);  // only Unicode text
  LocalFree(refused);
  HLOCAL second = Text(u"拼音 pīnyīn");
  SetClipboardData(CF_UNICODETEXT, second);  // frees the first
  EXPECT_EQ(GetClipboardOwner(), a);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  ASSERT_TRUE(OpenClipboard(b));
  EXPECT_EQ(std::u16string(static_cast<WCHAR*>(GetClipboardData(CF_UNICODETEXT))), u"拼音 pīnyīn");
  HANDLE copy = GetClipboardDataAlloc(CF_UNICODETEXT);
  EXPECT_NE(copy, second);
  LocalFree(copy);
  EmptyClipboard();
  CloseClipboard();
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
}

TEST_F(ClipboardTest, DesktopBridgeIsReadOnOpenAndWrittenOnClose) {
  static const ClipboardBridge bridge{&FakeGet, &FakeSet};
  gDesktop = "from the desktop 中";
  gDesktopHas = true;
  SetClipboardBridge(&bridge);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(std::u16string(static_cast<WCHAR*>(GetClipboardData(CF_UNICODETEXT))), u"from the desktop 中");
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, Text(u"ours 文"));
  CloseClipboard();
  EXPECT_EQ(gDesktop, "ours 文");
  SetClipboardBridge(nullptr);
  OpenClipboard(nullptr);
  EmptyClipboard();
  CloseClipboard();
}

TEST(ImeTest, CallsAreRecordedInOrder) {
  ClearImeCalls();
  HWND field = reinterpret_cast<HWND>(0x20002);  // only recorded, never looked up
  HIMC ctx = ImmGetContext(field);
  ASSERT_NE(ctx, nullptr);
  ImmSetOpenStatus(ctx, TRUE);
  EXPECT_TRUE(ImmGetOpenStatus(ctx));
  ImmEscapeW(nullptr, ctx, 0x800, nullptr);
  ImmEscapeW(nullptr, ctx, 0x804, reinterpret_cast<LPVOID>(1));
  ImmSetOpenStatus(ctx, FALSE);
  ImmReleaseContext(field, ctx);
  EXPECT_EQ(ImmGetVirtualKey(field), 0u);
  auto calls = GetImeCalls();
  std::vector<std::string> names;
  for (auto& c : calls) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"ImmGetContext", "ImmSetOpenStatus", "ImmEscapeW", "ImmEscapeW",
                                             "ImmSetOpenStatus", "ImmReleaseContext", "ImmGetVirtualKey"}));
  EXPECT_EQ(calls[1].value, TRUE);
  EXPECT_EQ(calls[2].value, 0x800);
  EXPECT_EQ(calls[3].value, 0x804);
  EXPECT_EQ(calls[3].data, 1);
  EXPECT_EQ(calls[4].value, FALSE);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(calls[static_cast<size_t>(i)].hwnd, field);
}

std::string HostLibm() {
  void* self = dlopen("libm.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (!self) self = dlopen("libm.so.6", RTLD_NOW);
  Dl_info info{};
  void* sym = dlsym(self, "cos");
  std::string path = (sym && dladdr(sym, &info) && info.dli_fname) ? info.dli_fname : "";
  return path;
}

TEST(LibraryTest, LoadsByHostAndDevicePathAndRefusesStaleHandles) {
  HMODULE m = LoadLibraryW(u"libm.so.6");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(m) & 1u, 0u);
  auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddressW(m, u"cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(m, "NoSuchFunction"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(GetProcAddress(m, "cos"), nullptr);
  EXPECT_FALSE(FreeLibrary(m));
  EXPECT_EQ(LoadLibraryW(u"/nonexistent/Quillet.dll"), nullptr);

  // A library installed under a ".dll" name inside the device root.
  std::string src = HostLibm();
  ASSERT_FALSE(src.empty());
  TempDeviceRoot temp;
  std::string host;
  ASSERT_TRUE(DevicePathToHostPath(u"\\Program Files\\Quillet.dll", &host));
  {
    std::ifstream in(src, std::ios::binary);
    std::ofstream out(host, std::ios::binary);
    out << in.rdbuf();
  }
  HMODULE q = LoadLibraryW(u"\\program files\\QUILLET.DLL");
  ASSERT_NE(q, nullptr);
  auto sine = reinterpret_cast<double (*)(double)>(GetProcAddress(q, "sin"));
  ASSERT_NE(sine, nullptr);
  EXPECT_NEAR(sine(M_PI / 2), 1.0, 1e-12);
  EXPECT_TRUE(FreeLibrary(q));
}

class IpcTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetIpcFolder(dir_);
  }
  void TearDown() override {
    WindowTest::TearDown();
    SetIpcFolder(nullptr);
    ClearRemoteMessagesForTests();
  }
  // A raw datagram socket standing for another process's window.
  int Peer(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
  }
  // A folder of the test's own (the device root goes unused).
  TempDeviceRoot temp_;
  const char* dir_ = temp_.host().c_str();
};

TEST_F(IpcTest, StaleSocketCountsAsAbsentAndIsRemoved) {
  std::string path = IpcSocketPath(kClass, u"Main");
  close(Peer(path));  // the process died without cleaning up
  ASSERT_EQ(access(path.c_str(), F_OK), 0);
  EXPECT_EQ(FindWindowW(kClass, u"Main"), nullptr);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  // Not found: this process may become the primary; it holds the start
  // lock until its main window is published. A top-level window made on the
  // way (a menu bar) is published too but does not end the start: a second
  // start would find no main window and run as well.
  EXPECT_TRUE(HoldsStartLock());
  HWND bar = Top(0, 600, 100, 40, WS_VISIBLE, 0, nullptr, u"");
  EXPECT_EQ(access(IpcSocketPath(kClass, u"").c_str(), F_OK), 0);
  EXPECT_TRUE(HoldsStartLock());
  HWND mine = Top(0, 52, 100, 100, WS_VISIBLE, 0, nullptr, u"Main");
  EXPECT_FALSE(HoldsStartLock());
  DestroyWindow(bar);
  EXPECT_EQ(access(IpcSocketPath(kClass, u"Main").c_str(), F_OK), 0);
  // A new title is a new name for other processes.
  SetWindowTextW(mine, u"Renamed");
  EXPECT_NE(access(IpcSocketPath(kClass, u"Main").c_str(), F_OK), 0);
  EXPECT_EQ(access(IpcSocketPath(kClass, u"Renamed").c_str(), F_OK), 0);
  DestroyWindow(mine);
  EXPECT_NE(access(IpcSocketPath(kClass, u"Renamed").c_str(), F_OK), 0);  // unpublished
}

TEST_F(IpcTest, PostsIntegerMessagesToAnotherProcessOnly) {
  int peer = Peer(IpcSocketPath(u"SORVIENGINE", u"Sorvi"));
  HWND proxy = FindWindowW(u"SORVIENGINE", u"Sorvi");
  ASSERT_NE(proxy, nullptr);
  EXPECT_TRUE(IsRemoteWindow(proxy));
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(proxy) & 1u, 0u);
  EXPECT_EQ(FindWindowW(u"sorviengine", nullptr), proxy);  // any title of the class
  EXPECT_TRUE(PostMessageW(proxy, 0x8310, 0, 0));
  EXPECT_TRUE(PostMessageW(proxy, WM_CLOSE, 0, 0));
  static const WCHAR text[] = u"pointer";
  EXPECT_FALSE(PostMessageW(proxy, 0x8310, 0, reinterpret_cast<LPARAM>(text)));
  EXPECT_FALSE(PostMessageW(proxy, WM_SETTEXT, 0, 0));
  EXPECT_EQ(SendMessageW(proxy, WM_USER, 0, 0), 0);
  RECT r;
  EXPECT_FALSE(GetWindowRect(proxy, &r));
  unsigned char packet[64];
  ASSERT_EQ(recv(peer, packet, sizeof packet, 0), 24);
  EXPECT_EQ(packet[4] | (packet[5] << 8), 0x8310);
  ASSERT_EQ(recv(peer, packet, sizeof packet, 0), 24);
  EXPECT_EQ(packet[4] | (packet[5] << 8), static_cast<int>(WM_CLOSE));
  close(peer);
  EXPECT_FALSE(PostMessageW(proxy, WM_CLOSE, 0, 0));  // gone now
}

TEST_F(IpcTest, ArrivingMessagesArePostedToThePublishedWindow) {
  AcceptRemoteMessage(0x8306);
  AcceptRemoteMessage(0x8310);
  HWND main = Top(0, 52, 100, 100, WS_VISIBLE, 0, nullptr, u"Sorvi");
  std::string path = IpcSocketPath(kClass, u"Sorvi");
  int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  auto send = [&](UINT msg, std::uint64_t wParam, std::uint64_t lParam) {
    unsigned char packet[24] = {'S', 'R', 'V', 'I'};
    for (int i = 0; i < 4; ++i) packet[4 + i] = static_cast<unsigned char>(msg >> (8 * i));
    for (int i = 0; i < 8; ++i) packet[8 + i] = static_cast<unsigned char>(wParam >> (8 * i));
    for (int i = 0; i < 8; ++i) packet[16 + i] = static_cast<unsigned char>(lParam >> (8 * i));
    ASSERT_EQ(sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 24);
  };
  // Any program of the user can write to the socket; only what the program
  // accepts, with no lParam, is posted.
  send(0x8310, 0, 0x7fff12345678);  // a pointer-sized lParam: dropped
  send(WM_SETTEXT, 0, 0);            // not accepted: dropped
  send(WM_CLOSE, 0, 0);              // not accepted by this test: dropped
  send(0x8306, 7, 0);
  unsigned char junk[5] = {1, 2, 3, 4, 5};
  sendto(fd, junk, sizeof junk, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  send(0x8310, 3, 0);
  close(fd);
  // Delivery crosses the listener thread: wait for the last one (real time,
  // bounded); datagrams of one socket arrive in order.
  for (int i = 0; i < 2000 && TheLog().Of(0x8310, main).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    PumpPendingMessages();
  }
  auto got = TheLog().Of(0x8306, main);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].wParam, 7u);
  EXPECT_EQ(got[0].lParam, 0);
  auto last = TheLog().Of(0x8310, main);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].wParam, 3u);
  EXPECT_EQ(last[0].lParam, 0);
  EXPECT_TRUE(TheLog().Of(WM_SETTEXT, main).empty());
  EXPECT_TRUE(TheLog().Of(WM_CLOSE, main).empty());
  EXPECT_TRUE(IsWindow(main));
}

}  // namespace

namespace {

TEST(RectTest, IntersectUnionAndPointsFollowExclusiveEdges) {
  RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, c{10, 0, 20, 10}, out;
  EXPECT_TRUE(IntersectRect(&out, &a, &b));
  EXPECT_TRUE(EqualRect(&out, std::make_unique<RECT>(RECT{5, 5, 10, 10}).get()));
  EXPECT_FALSE(IntersectRect(&out, &a, &c));  // touching edges do not overlap
  EXPECT_TRUE(IsRectEmpty(&out));
  RECT empty{3, 3, 3, 9};
  EXPECT_TRUE(UnionRect(&out, &empty, &c));
  EXPECT_TRUE(EqualRect(&out, &c));
  EXPECT_TRUE(UnionRect(&out, &a, &b));
  EXPECT_EQ(out.right, 20);
  EXPECT_EQ(out.left, 0);
  EXPECT_TRUE(PtInRect(&a, POINT{0, 9}));
  EXPECT_FALSE(PtInRect(&a, POINT{10, 5}));
  OffsetRect(&a, 2, -3);
  InflateRect(&a, 1, 1);
  EXPECT_TRUE(EqualRect(&a, std::make_unique<RECT>(RECT{1, -4, 13, 8}).get()));
}

}  // namespace
