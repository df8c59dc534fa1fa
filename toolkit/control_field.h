// SorviFieldClass, the toolkit's text control: the window procedure over a
// FieldState (field_layout), its create record, messages and notifications.
//
// Result convention: 1 where a message has nothing else to say, including
// WM_GETTEXT (which returns 1, not the length) and any message for a window
// without state. Offsets are 16-bit; see kFieldMaxUnits. Notifications are
// WM_NOTIFY records sent (not posted) to the parent, header first.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/field_layout.h"

inline constexpr const WCHAR* kFieldClassName = u"SorviFieldClass";
inline constexpr const WCHAR* kFieldProperty = u"SorviFieldInfo";

// Messages of the field's block.
enum FieldMessage : UINT {
  kFieldReplaceCount = 0x8181,
  kFieldGetCaret = 0x8182,
  kFieldSetCaret = 0x8183,
  kFieldFullLines = 0x8186,
  kFieldGetSelection = 0x8187,
  kFieldSetSelection = 0x8188,
  kFieldRelayout = 0x8189,
  kFieldActivateCaret = 0x818A,
  kFieldDeleteRange = 0x818B,
  kFieldCopyRange = 0x818C,
  kFieldRecreate = 0x818D,
  kFieldSetFont = 0x818E,
  kFieldSetFramed = 0x818F,
  kFieldSetEditable = 0x8190,
  kFieldSetButton = 0x8191,
  kFieldPageUp = 0x8192,
  kFieldPageDown = 0x8193,
  kFieldPlainLinesFit = 0x8194,
  kFieldSetTextAt = 0x8195,
  kFieldTopOffset = 0x8196,
  kFieldLastVisibleUnit = 0x8197,
  kFieldLineUpDown = 0x8198,
  kFieldShowRange = 0x8199,
  kFieldIsEditable = 0x819A,
  kFieldPage = 0x819B,
  kFieldMoreBelow = 0x819C,
  kFieldSetUserValue = 0x819D,
  kFieldSetCentred = 0x819E,
  kFieldCopyAll = 0x819F,
};

// Notification codes.
enum FieldNotifyCode : UINT {
  kFieldChanged = 0x8301,
  kFieldPen = 0x8302,
  kFieldLink = 0x8303,
  kFieldFocusLost = 0x8304,
  kFieldButton = 0x8305,
  kFieldCharInReadOnly = 0x8306,
  kFieldArrowAtEdge = 0x8307,
};

struct FieldCreateParams {
  HWND window;               // filled
  ShortRect clientRect;      // filled
  DrawContext* drawContext;  // filled
  uint16_t fontSlot;
  uint16_t fontSize;
  uint32_t value;
  uint32_t buttonWidth;  // filled
  void* penCallback;     // filled
  void* linkCallback;    // filled
  void* buttonCallback;  // filled
  uint8_t editable;
  uint8_t singleLine;
  uint8_t ruled;
  uint8_t characterSelection;
  uint8_t fixed;
  uint8_t buttonRegion;
  uint8_t buttonLeft;
};

// The WM_NOTIFY record of every field notification.
struct FieldNotify {
  NMHDR header;
  union {
    uint32_t changedByBackspace;  // 0x8301
    struct {
      const WCHAR* text;
      uint32_t start, end, flags;
      int16_t x, y;
    } pen;  // 0x8302
    struct {
      WCHAR* text;
      WCHAR* target;
      int32_t id;
    } link;              // 0x8303
    uint32_t value;      // 0x8305
    uint32_t character;  // 0x8306
    uint32_t up;         // 0x8307
  } payload;
};

LRESULT FieldWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The state of a field window; null for any other window.
FieldState* GetFieldState(HWND hwnd);
// The field's caret comes with focus (and 0x818A) in an editable field:
// while active, it shows the platform caret whenever there is no selection.
// A read-only field's caret never becomes active. Deactivating destroys it.
void ActivateFieldCaret(FieldState* state);
void DeactivateFieldCaret(FieldState* state);
