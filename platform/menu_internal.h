// Between the menu module and its automation: the pop-up being tracked and
// the record of the pop-ups tracked so far. Not for the program.
#pragma once

#include <string>
#include <vector>

#include "platform/menu.h"

namespace menu_internal {

struct ItemView {
  UINT id;
  UINT flags;  // MF_CHECKED, MF_GRAYED, MF_DISABLED, MF_SEPARATOR, MF_POPUP
  std::u16string text;
  std::vector<ItemView> popup;  // the pop-up's items
};

struct TrackView {
  HWND owner = nullptr;
  HMENU menu = nullptr;
  DWORD threadId = 0;
  RECT rect{};  // screen rectangle of the first level
  std::vector<ItemView> items;  // as they were after WM_INITMENUPOPUP
  UINT chosen = 0;  // the command chosen (0 none), once ended
  bool ended = false;
  bool scriptFailed = false;  // a scripted answer named no choosable item
};

// Requests against the pop-up open now (the newest one). `wait` blocks (real
// time, up to timeoutMs) until the menu thread has handled the request.
// Kinds: 0 choose by id, 1 choose by text, 2 dismiss.
bool Request(int kind, UINT id, const std::u16string& text, DWORD timeoutMs);
// Waits until a pop-up is open; fills `view`.
bool WaitOpen(DWORD timeoutMs, TrackView* view);
std::vector<TrackView> History();
void ClearHistory();

struct ScriptAnswer {
  int kind;  // 0 id, 1 text, 2 dismiss
  UINT id;
  std::u16string text;
};
void AddScriptAnswer(const ScriptAnswer& answer);
void ClearScript();

// Text without the '&' marks.
std::u16string PlainText(const std::u16string& text);

}  // namespace menu_internal
