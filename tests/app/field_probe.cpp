#include "tests/app/field_probe.h"


#include "platform/window.h"
#include "toolkit/control_field.h"
#include "toolkit/field_pen.h"

void ProbeSetSelection(HWND field, uint32_t start, uint32_t end) {
  SendMessageW(field, kFieldSetSelection, start, end);
}

void ProbeFieldPen(HWND field, uint32_t start, uint32_t end, ProbeGesture gesture) {
  static constexpr uint32_t kFlags[] = {0, kFieldPenHeld, kFieldPenDragged, kFieldPenInSelection, kFieldPenDoubleTap};
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
  SendMessageW(GetParent(field), WM_NOTIFY, n.header.idFrom, reinterpret_cast<LPARAM>(&n));
}
