#include "toolkit/ui_menu.h"

#include "engine/string_utils.h"
#include "toolkit/control_field.h"

void AppendNumberedMenuItems(HMENU menu, int first, int last, int current) {
  for (int n = first; n <= last; ++n) {
    WCHAR text[24] = {};
    WideFromInt(text, n);
    UINT flags = MF_STRING | (n == current ? MF_CHECKED : MF_UNCHECKED);
    AppendMenuW(menu, flags, kMenuFirstItemId + static_cast<UINT>(n - first), text);
  }
}

int ShowEditContextMenu(HWND owner, const FieldNotify* record) {
  if (!record || !(record->payload.pen.flags & kFieldPenHeld)) return 0;
  HWND field = record->header.hwndFrom;
  bool editable = (SendMessageW(field, kFieldIsEditable, 0, 0) & 0xFF) != 0;
  bool selection = record->payload.pen.end > record->payload.pen.start;
  if (!editable && !selection) return 0;
  HMENU menu = CreatePopupMenu();
  if (!menu) return 0;
  if (editable && selection) AppendMenuW(menu, MF_STRING, kEditMenuCut, u"Cut");
  if (selection) AppendMenuW(menu, MF_STRING, kEditMenuCopy, u"Copy");
  if (editable) {
    AppendMenuW(menu, MF_STRING, kEditMenuPaste, u"Paste");
    AppendMenuW(menu, MF_STRING, kEditMenuClear, u"Clear");
  }
  RECT at{};
  GetWindowRect(field, &at);
  UINT chosen = static_cast<UINT>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_VERTICAL, at.left + record->payload.pen.x,
                                                   at.top + record->payload.pen.y, owner, nullptr));
  UpdateWindow(owner);
  DestroyMenu(menu);
  static const struct {
    UINT command;
    UINT message;
  } kSent[] = {
      {kEditMenuCut, WM_CUT}, {kEditMenuCopy, WM_COPY}, {kEditMenuPaste, WM_PASTE}, {kEditMenuClear, WM_CLEAR}};
  for (const auto& s : kSent) {
    if (s.command == chosen) SendMessageW(field, s.message, 0, 0);
  }
  return 0;
}
