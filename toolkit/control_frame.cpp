#include "toolkit/control_frame.h"

#include "toolkit/app_context.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_list.h"

namespace {

constexpr UINT kChoicesCode = 0x8331;
constexpr UINT kSelectorModeCode = 0x8341;
constexpr UINT kSelectorKeyCode = 0x8342;

}  // namespace

void SendControlNotify(HWND window, UINT code, ControlNotify* record) {
  record->header.hwndFrom = window;
  record->header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window));
  record->header.code = code;
  HWND parent = GetParent(window);
  if (parent) SendNotify(parent, &record->header);
}

LRESULT RequestListItemText(HWND window, uint32_t index, WCHAR* text, WCHAR* second, uint16_t capacity) {
  ListItemTextRequest request{};
  request.controlId = static_cast<uint32_t>(GetDlgCtrlID(window));
  request.index = index;
  request.text = text;
  request.second = second;
  request.capacity = capacity;
  HWND parent = GetParent(window);
  if (!parent) return 0;
  return SendMessageW(parent, kListItemTextMessage, 0, reinterpret_cast<LPARAM>(&request));
}

static void SendGridNotify(HWND window, UINT code, uint16_t value1, uint16_t value2, uint32_t value3) {
  ControlNotify record{};
  record.payload.grid.value1 = value1;
  record.payload.grid.value2 = value2;
  record.payload.grid.value3 = value3;
  SendControlNotify(window, code, &record);
}

void SendGridChosen(HWND window, uint16_t value1, uint16_t value2, uint32_t value3) {
  SendGridNotify(window, kGridChosenCode, value1, value2, value3);
}

void SendGridPressed(HWND window, uint16_t value1, uint16_t value2, uint32_t value3) {
  SendGridNotify(window, kGridPressedCode, value1, value2, value3);
}

void SendChoicesNotify(HWND window, uint32_t index) {
  ControlNotify record{};
  record.payload.index = index;
  SendControlNotify(window, kChoicesCode, &record);
}

void SendSelectorModeNotify(HWND window, uint32_t mode) {
  ControlNotify record{};
  record.payload.selector.mode = mode;
  SendControlNotify(window, kSelectorModeCode, &record);
}

void SendSelectorKeyNotify(HWND window, uint32_t mode, uint32_t character, uint32_t flag) {
  ControlNotify record{};
  record.payload.selector.mode = mode;
  record.payload.selector.character = character;
  record.payload.selector.flag = flag;
  SendControlNotify(window, kSelectorKeyCode, &record);
}

void* GetControlState(HWND window, const WCHAR* property) { return GetPropW(window, property); }

void SetControlState(HWND window, const WCHAR* property, void* state) { SetPropW(window, property, state); }

void* RemoveControlState(HWND window, const WCHAR* property) { return RemovePropW(window, property); }

DictEngine* ControlEngine() { return AppContextPointer ? AppContextPointer->engine : nullptr; }

bool ShortRectContains(const ShortRect& r, int x, int y) {
  return x >= r.x && y >= r.y && x < r.x + static_cast<int>(r.width) && y < r.y + static_cast<int>(r.height);
}

void PressAreaDown(DrawContext* context, PressedArea* area, const ShortRect& r) {
  area->rect = r;
  InvertShortRect(context, r);
  area->penDown = 1;
  area->shown = 1;
}

void PressAreaMove(DrawContext* context, PressedArea* area, int x, int y) {
  if (!area->penDown) return;
  uint8_t inside = ShortRectContains(area->rect, x, y) ? 1 : 0;
  if (inside != area->shown) {
    InvertShortRect(context, area->rect);
    area->shown = inside;
  }
}

bool PressAreaUp(DrawContext* context, PressedArea* area, int x, int y) {
  if (!area->penDown) return false;
  if (area->shown) InvertShortRect(context, area->rect);
  area->penDown = 0;
  area->shown = 0;
  return ShortRectContains(area->rect, x, y);
}

void PressAreaCancel(DrawContext* context, PressedArea* area) {
  if (area->penDown && area->shown) InvertShortRect(context, area->rect);
  area->penDown = 0;
  area->shown = 0;
}
