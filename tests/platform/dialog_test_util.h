// Shared pieces of the dialog and control tests: a fixture on a headless
// screen with the virtual clock, a recording dialog procedure and template
// helpers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/core.h"
#include "platform/dialog.h"
#include "platform/dialog_automation.h"
#include "platform/dialog_text.h"
#include "platform/msgbox.h"
#include "platform/ui.h"

namespace dlgtest {

// WM_COMMAND / WM_NOTIFY seen by RecordingDlgProc: (id, code).
struct Event {
  int id;
  int code;
};

inline std::vector<Event>& Events() {
  static std::vector<Event> events;
  return events;
}

// Per-test extra handling; returns true when it handled the message.
using DlgHook = std::function<bool(HWND, UINT, WPARAM, LPARAM, INT_PTR*)>;
inline DlgHook& TheDlgHook() {
  static DlgHook hook;
  return hook;
}

inline INT_PTR RecordingDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) Events().push_back(Event{LOWORD(wParam), HIWORD(wParam)});
  if (msg == WM_NOTIFY) {
    auto* h = reinterpret_cast<NMHDR*>(lParam);
    Events().push_back(Event{static_cast<int>(h->idFrom), static_cast<int>(h->code)});
  }
  INT_PTR r = 0;
  if (TheDlgHook() && TheDlgHook()(hwnd, msg, wParam, lParam, &r)) return r;
  return msg == WM_INITDIALOG ? TRUE : FALSE;
}

inline std::vector<int> Codes(int id) {
  std::vector<int> out;
  for (const Event& e : Events())
    if (e.id == id) out.push_back(e.code);
  return out;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBackend(BACKEND_HEADLESS);
    SetScreenProfile(480, 640, 192);
    SYSTEMTIME start{2024, 1, 1, 1, 0, 0, 0, 0};
    InstallVirtualClock(&start, 100000);
    Events().clear();
    TheDlgHook() = nullptr;
    AutoResetDialogScripts();
    RegisterStandardControls();
  }
  void TearDown() override {
    TheDlgHook() = nullptr;
    ReleaseCapture();
    std::vector<HWND> tops;
    EnumWindows([](HWND h, LPARAM l) { reinterpret_cast<std::vector<HWND>*>(l)->push_back(h); return TRUE; },
                reinterpret_cast<LPARAM>(&tops));
    for (HWND h : tops) DestroyWindow(h);
    PumpPendingMessages();
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_TRUE(AutoScriptFailures().empty());
    AutoResetDialogScripts();
    UninstallVirtualClock();
  }
  // A visible modeless dialog of `items` (WS_VISIBLE added to each).
  HWND Modeless(std::vector<DialogItemTemplate> items, int id = 7000, short cx = 200, short cy = 200) {
    items_ = std::move(items);
    for (auto& it : items_) it.style |= WS_VISIBLE;
    tmpl_ = DialogTemplate{id, u"Test", WS_POPUP | WS_VISIBLE, 0, 0, 0, cx, cy, items_.data(),
                           static_cast<int>(items_.size())};
    HWND d = CreateDialogIndirectParamW(nullptr, &tmpl_, nullptr, &RecordingDlgProc, 0);
    PumpPendingMessages();
    return d;
  }
  std::vector<DialogItemTemplate> items_;
  DialogTemplate tmpl_{};
};

}  // namespace dlgtest
