// The custom-control tests' fixture: the toolkit fixture with the control
// classes registered, a parent window that answers the list's row-text
// requests (0x82E0) from a table of rows and keeps every request and every
// notification with its payload, and pen helpers in client coordinates.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/toolkit/toolkit_fixture.h"
#include "toolkit/control_classes.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_list.h"

struct TextRequestSeen {
  uint32_t controlId;
  uint32_t index;
  uint16_t capacity;
  bool buffersEmpty;
};

class ControlTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    MakeEngine({toolkit_test::kLatin});
    lastAtom_ = RegisterControlClasses(GetModuleHandleW(nullptr));
    ASSERT_NE(lastAtom_, 0);
    parent_ = Top(0, 0, 480, 400);
    ASSERT_NE(parent_, nullptr);
    UpdateWindow(parent_);
    wintest::TheHook() = [this](HWND h, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
      if (h != parent_) return std::nullopt;
      if (msg == kListItemTextMessage) {
        auto* request = reinterpret_cast<ListItemTextRequest*>(lParam);
        requests_.push_back(
            {request->controlId, request->index, request->capacity, request->text[0] == 0 && request->second[0] == 0});
        auto it = rows_.find(request->index);
        if (it != rows_.end()) {
          Copy(it->second.first, request->text, request->capacity);
          Copy(it->second.second, request->second, request->capacity);
        }
        return 1;
      }
      if (msg == WM_NOTIFY) {
        notes_.push_back(*reinterpret_cast<const ControlNotify*>(lParam));
        return 0;
      }
      return std::nullopt;
    };
  }
  void TearDown() override {
    wintest::TheHook() = nullptr;
    if (parent_) DestroyWindow(parent_);
    parent_ = nullptr;
    ToolkitTest::TearDown();
    int count = 0;
    const ControlClassRow* rows = GetControlClassTable(&count);
    for (int i = 0; i < count; ++i) UnregisterClassW(rows[i].name, nullptr);
  }

  static void Copy(const std::u16string& from, WCHAR* to, uint16_t capacity) {
    size_t n = std::min<size_t>(from.size(), capacity);
    for (size_t i = 0; i < n; ++i) to[i] = from[i];
    if (n < capacity) to[n] = 0;
  }

  // A control window under the parent with a create record (or none).
  HWND MakeControl(const WCHAR* cls, int id, int x, int y, int w, int h, void* record, DWORD style = 0) {
    return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent_,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, record);
  }

  // Pen input at client points of a window.
  void Down(HWND h, int x, int y) { Pen(h, x, y, 0); }
  void Move(HWND h, int x, int y) { Pen(h, x, y, 1); }
  void Up(HWND h, int x, int y) { Pen(h, x, y, 2); }
  void Tap(HWND h, int x, int y) {
    Down(h, x, y);
    Up(h, x, y);
  }
  void Pen(HWND h, int x, int y, int event) {
    POINT p{x, y};
    ClientToScreen(h, &p);
    if (event == 0) AutoPenDown(p.x, p.y);
    if (event == 1) AutoPenMove(p.x, p.y);
    if (event == 2) AutoPenUp(p.x, p.y);
  }

  std::vector<std::pair<UINT, uint32_t>> ListNotes() const {
    std::vector<std::pair<UINT, uint32_t>> out;
    for (const ControlNotify& n : notes_) out.push_back({n.header.code, n.payload.index});
    return out;
  }

  // The window's client pixels as rows of 0xRRGGBB.
  std::vector<uint32_t> ClientPixels(HWND h) {
    RECT r{};
    GetClientRect(h, &r);
    std::vector<uint32_t> out;
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x) out.push_back(AutoGetPixel(h, x, y) & 0xFFFFFF);
    return out;
  }

  HWND parent_ = nullptr;
  ATOM lastAtom_ = 0;
  std::map<uint32_t, std::pair<std::u16string, std::u16string>> rows_;
  std::vector<TextRequestSeen> requests_;
  std::vector<ControlNotify> notes_;
};
