// Shared helpers of the window tests: a recording window procedure and a
// fixture that gives each test a headless screen, a virtual clock and a
// clean window manager.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/core.h"
#include "platform/ui.h"

namespace wintest {

struct Rec {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

// Messages seen by RecordingProc, in order (any thread).
class Log {
 public:
  void Add(const Rec& r) {
    std::lock_guard<std::mutex> lk(mutex_);
    recs_.push_back(r);
  }
  std::vector<Rec> All() {
    std::lock_guard<std::mutex> lk(mutex_);
    return recs_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lk(mutex_);
    recs_.clear();
  }
  // Message numbers for one window (or all with null), keeping only those in `keep` when given.
  std::vector<UINT> Msgs(HWND hwnd = nullptr, const std::vector<UINT>& keep = {}) {
    std::vector<UINT> out;
    for (const Rec& r : All()) {
      if (hwnd && r.hwnd != hwnd) continue;
      if (!keep.empty() && std::find(keep.begin(), keep.end(), r.msg) == keep.end()) continue;
      out.push_back(r.msg);
    }
    return out;
  }
  std::vector<Rec> Of(UINT msg, HWND hwnd = nullptr) {
    std::vector<Rec> out;
    for (const Rec& r : All())
      if (r.msg == msg && (!hwnd || r.hwnd == hwnd)) out.push_back(r);
    return out;
  }

 private:
  std::mutex mutex_;
  std::vector<Rec> recs_;
};

inline Log& TheLog() {
  static Log log;
  return log;
}

// A per-test hook: returns a result to stop default handling.
using Hook = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;
inline Hook& TheHook() {
  static Hook hook;
  return hook;
}

inline LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TheLog().Add(Rec{hwnd, msg, wParam, lParam});
  if (TheHook()) {
    if (auto r = TheHook()(hwnd, msg, wParam, lParam)) return *r;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

constexpr const WCHAR* kClass = u"TestRecordingClass";
constexpr const WCHAR* kDblClass = u"TestDoubleClickClass";

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBackend(BACKEND_HEADLESS);
    SetScreenProfile(480, 640, 192);
    SYSTEMTIME start{2024, 1, 1, 1, 0, 0, 0, 0};
    InstallVirtualClock(&start, 100000);
    TheLog().Clear();
    TheHook() = nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &RecordingProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_WINDOW + 1));
    wc.lpszClassName = kClass;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    ASSERT_NE(RegisterClassW(&wc), 0);
    wc.lpszClassName = kDblClass;
    wc.style = 0x28B;  // the controls' style: redraw, double-clicks, parent DC, no close
    ASSERT_NE(RegisterClassW(&wc), 0);
  }

  void TearDown() override {
    TheHook() = nullptr;
    ReleaseCapture();
    std::vector<HWND> tops;
    EnumWindows([](HWND h, LPARAM l) { reinterpret_cast<std::vector<HWND>*>(l)->push_back(h); return TRUE; },
                reinterpret_cast<LPARAM>(&tops));
    for (HWND h : tops) DestroyWindow(h);
    for (HWND h : foreign_) DestroyWindow(h);
    PumpPendingMessages();
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
    UnregisterClassW(kClass, nullptr);
    UnregisterClassW(kDblClass, nullptr);
    UninstallVirtualClock();
    TheLog().Clear();
  }

  HWND Top(int x = 0, int y = 52, int w = 480, int h = 536, DWORD style = WS_VISIBLE, DWORD ex = 0,
           HWND owner = nullptr, const WCHAR* title = u"top") {
    return CreateWindowExW(ex, kClass, title, WS_POPUP | style, x, y, w, h, owner, nullptr, nullptr, nullptr);
  }
  HWND Child(HWND parent, int id, int x, int y, int w, int h, DWORD style = WS_VISIBLE, const WCHAR* cls = kClass) {
    return CreateWindowExW(0, cls, u"", WS_CHILD | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
  }
  std::vector<HWND> foreign_;
};

}  // namespace wintest
