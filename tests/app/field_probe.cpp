#include "tests/app/field_probe.h"

#include "app/main_toolbar.h"
#include "platform/window.h"
#include "toolkit/app_context.h"
#include "toolkit/control_field.h"
#include "toolkit/field_pen.h"

void ProbeSetSelection(HWND field, uint32_t start, uint32_t end) {
  SendMessageW(field, kFieldSetSelection, start, end);
}

namespace {

constexpr uint32_t kFlags[] = {0, kFieldPenHeld, kFieldPenDragged, kFieldPenInSelection, kFieldPenDoubleTap};

FieldNotify PenRecord(HWND field, uint32_t start, uint32_t end, ProbeGesture gesture) {
  ProbeSetSelection(field, start, end);
  const FieldState* s = GetFieldState(field);
  FieldNotify n{};
  n.header.hwndFrom = field;
  n.header.idFrom = static_cast<UINT_PTR>(GetWindowLongW(field, GWL_ID));
  n.header.code = kFieldPen;
  n.payload.pen.text = s ? s->text : nullptr;
  n.payload.pen.start = start;
  n.payload.pen.end = end;
  n.payload.pen.flags = kFlags[gesture];
  return n;
}

}  // namespace

HWND ProbeMakeField(HWND parent, int id, const WCHAR* text) {
  FieldCreateParams params{};
  params.fontSlot = AppContextPointer ? AppContextPointer->fontId : 0;
  params.fontSize = 14;
  HWND field = CreateWindowExW(0, kFieldClassName, u"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AppInstance, &params);
  if (field) SendMessageW(field, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text));
  return field;
}

void ProbeTapHold(HWND field, uint32_t start, uint32_t end, ProbeGesture gesture) {
  const FieldNotify n = PenRecord(field, start, end, gesture);
  HandleTextTapHold(&n);
}

void ProbeFieldPen(HWND field, uint32_t start, uint32_t end, ProbeGesture gesture) {
  FieldNotify n = PenRecord(field, start, end, gesture);
  SendMessageW(GetParent(field), WM_NOTIFY, n.header.idFrom, reinterpret_cast<LPARAM>(&n));
}
