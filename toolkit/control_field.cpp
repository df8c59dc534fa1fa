#include "toolkit/control_field.h"

#include <algorithm>
#include <cstring>

#include "engine/string_utils.h"
#include "engine/text_encoding.h"
#include "platform/caret.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/core.h"
#include "platform/ime.h"
#include "toolkit/app_context.h"
#include "toolkit/control_capturebox.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_list.h"
#include "toolkit/field_edit.h"
#include "toolkit/field_pen.h"
#include "toolkit/text_service.h"

namespace {

FieldState* StateOf(HWND hwnd) { return static_cast<FieldState*>(GetControlState(hwnd, kFieldProperty)); }

ShortRect ClientRectOf(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

// The button is 20 pixels at 96 dpi, scaled by the screen's resolution
// factor (3 at 96 dpi).
uint16_t ButtonWidth() {
  uint16_t factor = AppContextPointer && AppContextPointer->dpiFactor ? AppContextPointer->dpiFactor : 3;
  return static_cast<uint16_t>(20 * factor / 3);
}

void Notify(HWND hwnd, UINT code, FieldNotify* record) {
  record->header.hwndFrom = hwnd;
  record->header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
  record->header.code = code;
  HWND parent = GetParent(hwnd);
  if (parent) SendNotify(parent, &record->header);
}

void NotifyChanged(HWND hwnd, uint32_t backspace) {
  FieldNotify n{};
  n.payload.changedByBackspace = backspace;
  Notify(hwnd, kFieldChanged, &n);
}

constexpr UINT_PTR kHoldTimer = 0x9105;
constexpr UINT kHoldMs = 500;

void SendPen(HWND hwnd, const WCHAR* text, uint32_t start, uint32_t end, uint32_t flags, int16_t x, int16_t y) {
  FieldNotify n{};
  n.payload.pen.text = text;
  n.payload.pen.start = start;
  n.payload.pen.end = end;
  n.payload.pen.flags = flags;
  n.payload.pen.x = x;
  n.payload.pen.y = y;
  Notify(hwnd, kFieldPen, &n);
}
void SendLink(HWND hwnd, WCHAR* text, WCHAR* target, int32_t id) {
  FieldNotify n{};
  n.payload.link.text = text;
  n.payload.link.target = target;
  n.payload.link.id = id;
  Notify(hwnd, kFieldLink, &n);
}
void SendButton(HWND hwnd, uint32_t value) {
  FieldNotify n{};
  n.payload.value = value;
  Notify(hwnd, kFieldButton, &n);
}

// Builds the state from a create record (or the defaults); null when the
// heap is exhausted.
FieldState* MakeState(HWND hwnd, const FieldCreateParams* given) {
  FieldCreateParams p{};
  if (given) p = *given;
  else
    p.fontSize = 14;
  p.window = hwnd;
  p.clientRect = ClientRectOf(hwnd);
  p.drawContext = NewDrawContext(hwnd, AppInstance);
  p.buttonWidth = ButtonWidth();
  auto* s = static_cast<FieldState*>(LocalAlloc(LPTR, sizeof(FieldState)));
  if (!s || InitFieldStorage(s) != 0) {
    if (s) LocalFree(s);
    FreeDrawContext(p.drawContext);
    return nullptr;
  }
  s->window = hwnd;
  s->penCallback = &SendPen;
  s->linkCallback = &SendLink;
  s->buttonCallback = &SendButton;
  s->engine = ControlEngine();
  s->draw = p.drawContext;
  s->fontSlot = p.fontSlot;
  s->fontSize = p.fontSize;
  s->value = p.value;
  s->buttonWidth = static_cast<uint16_t>(p.buttonWidth);
  s->margin = 1;
  s->options.editable = p.editable;
  s->options.singleLine = p.singleLine;
  s->options.ruled = p.ruled;
  s->options.characterSelection = p.characterSelection;
  s->options.fixed = p.fixed;
  s->options.buttonRegion = p.singleLine ? p.buttonRegion : 0;
  s->options.buttonLeft = p.buttonLeft;
  s->clientRect = p.clientRect;
  ComputeFieldTextRect(s);
  LayoutField(s);
  return s;
}

void FreeState(FieldState* s) {
  if (!s) return;
  EndFieldPen(s);
  FreeFieldStorage(s);
  FreeDrawContext(s->draw);
  LocalFree(s);
}

// Places, shows or hides the platform caret.
void UpdateCaret(FieldState* s) {
  if (!s->options.editable || !s->options.caretActive) return;
  CreateCaret(s->window, nullptr, 0, s->caretHeight);
  if (s->options.caretShown && s->selStart == s->selEnd) {
    SetCaretPos(s->caretX, s->caretY);
    ShowCaret(s->window);
  } else {
    HideCaret(s->window);
  }
}

}  // namespace

void ActivateFieldCaret(FieldState* s) {
  // An active caret means a focused editable field: a read-only field that
  // takes the focus shows no caret and keeps the flag clear.
  if (!s->options.editable) return;
  s->options.caretActive = 1;
  UpdateCaret(s);
}

void DeactivateFieldCaret(FieldState* s) {
  if (s->options.editable && s->options.caretActive) DestroyCaret();
  s->options.caretActive = 0;
}

namespace {

// Sets the scroll bar from the field's numbers; 1 when its visibility
// changed (the WM_SIZE that follows has then laid out and drawn the field).
int UpdateScrollBar(FieldState* s) {
  if (s->inkBarHidden) return 0;
  SCROLLINFO before{};
  before.cbSize = sizeof(before);
  before.fMask = SIF_RANGE | SIF_PAGE;
  GetScrollInfo(s->window, SB_VERT, &before);
  bool wasShown = before.nMax > 0 && before.nMax >= static_cast<int>(before.nPage);
  FieldScrollParams p = s->options.fixed ? FieldScrollParams{} : GetFieldScrollParams(s);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMax = p.maximum ? p.maximum - 1 : 0;
  info.nPage = p.page;
  info.nPos = p.position;
  bool shown = info.nMax > 0 && info.nMax >= static_cast<int>(info.nPage);
  SetScrollInfo(s->window, SB_VERT, &info, shown == wasShown);
  return shown != wasShown;
}

void CaretAndBar(FieldState* s, int* barChanged = nullptr) {
  int changed = UpdateScrollBar(s);
  if (barChanged) *barChanged = changed;
  UpdateCaret(s);
}

// The clipboard's text as a new block, or null when it cannot be opened or
// holds no text.
WCHAR* ReadClipboard(HWND hwnd) {
  if (!OpenClipboard(hwnd)) return nullptr;
  auto* text = static_cast<WCHAR*>(GetClipboardDataAlloc(CF_UNICODETEXT));
  CloseClipboard();
  return text;
}

// Puts a block on the clipboard without its style codes; the block is
// taken over either way.
void WriteClipboard(HWND hwnd, WCHAR* block) {
  if (!block) return;
  StripFormatCodes(block);
  if (!OpenClipboard(hwnd)) {
    LocalFree(block);
    return;
  }
  EmptyClipboard();
  if (!SetClipboardData(CF_UNICODETEXT, block)) LocalFree(block);
  CloseClipboard();
}

// Option changes store the block whole: the button region only stays on a
// single-line field; the text rectangle and the caret follow.
void ApplyOptions(FieldState* s, const FieldOptions& options) {
  s->options = options;
  if (!s->options.singleLine) s->options.buttonRegion = 0;
  ComputeFieldTextRect(s);
  LayoutField(s);
}

LRESULT Handle(HWND hwnd, FieldState* s, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DESTROY:
      RemoveControlState(hwnd, kFieldProperty);
      FreeState(s);
      DetachCapturebox(hwnd);
      return 0;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED: {
      ShortRect client = ClientRectOf(hwnd);
      if (std::memcmp(&client, &s->clientRect, sizeof(client)) != 0) {
        ResizeField(s, client, 0);
        CaretAndBar(s);
      }
      if (msg == WM_WINDOWPOSCHANGED) return DefWindowProcW(hwnd, msg, wParam, lParam);
      return 1;
    }
    case WM_SETFOCUS: {
      ActivateFieldCaret(s);
      HIMC ime = ImmGetContext(hwnd);
      ImmSetOpenStatus(ime, TRUE);
      ImmEscapeW(nullptr, ime, 0x800, nullptr);
      ImmReleaseContext(hwnd, ime);
      return 1;
    }
    case WM_KILLFOCUS: {
      DeactivateFieldCaret(s);
      // An editable field hides its selection while it has no caret.
      if (s->options.editable) RedrawField(s);
      FieldNotify n{};
      Notify(hwnd, kFieldFocusLost, &n);
      HIMC ime = ImmGetContext(hwnd);
      HWND gaining = reinterpret_cast<HWND>(wParam);
      if (gaining && (SendMessageW(gaining, WM_IME_REQUEST, 0x1000, 0) & 1))
        ImmEscapeW(nullptr, ime, 0x804, reinterpret_cast<LPVOID>(1));
      ImmSetOpenStatus(ime, FALSE);
      ImmReleaseContext(hwnd, ime);
      return 1;
    }
    case WM_IME_REQUEST:
      return 1;
    case WM_SETTEXT:
    case kFieldSetTextAt: {
      auto* text = reinterpret_cast<const WCHAR*>(lParam);
      int failed = msg == kFieldSetTextAt ? SetFieldTextAt(s, text, static_cast<uint16_t>(wParam & 0xFFFF))
                                          : SetFieldText(s, text);
      if (failed) return 1;
      int barChanged = 0;
      CaretAndBar(s, &barChanged);
      bool redraw = msg == kFieldSetTextAt || (wParam & 0xFF);
      if (redraw && !barChanged) RedrawField(s);
      NotifyChanged(hwnd, 0);
      return 1;
    }
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<WCHAR*>(lParam);
      uint32_t size = static_cast<uint32_t>(wParam);
      if (!buffer || size == 0) return 1;
      uint32_t n = std::min<uint32_t>(s->length, size - 1);
      if (n) std::memcpy(buffer, s->text, n * sizeof(WCHAR));
      buffer[n] = 0;
      return 1;
    }
    case WM_GETTEXTLENGTH:
      return s->length;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      RedrawField(s);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_VSCROLL: {
      SCROLLINFO info{};
      info.cbSize = sizeof(info);
      info.fMask = SIF_ALL;
      GetScrollInfo(hwnd, SB_VERT, &info);
      int pos = info.nPos, page = static_cast<int>(info.nPage);
      switch (LOWORD(wParam)) {
        case SB_LINEUP:
          pos -= 1;
          break;
        case SB_LINEDOWN:
          pos += 1;
          break;
        case SB_PAGEUP:
          pos -= page;
          break;
        case SB_PAGEDOWN:
          pos += page;
          break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
          pos = info.nTrackPos;
          break;
        case SB_TOP:
          pos = 0;
          break;
        default:
          break;
      }
      pos = std::min(pos, info.nMax + 1 - page);
      pos = std::max(pos, 0);
      if (pos != s->topLine) ScrollFieldBy(s, static_cast<uint16_t>(std::abs(pos - s->topLine)), pos < s->topLine);
      CaretAndBar(s);
      return 1;
    }
    case EM_GETSEL: {
      uint32_t start = s->selStart, end = s->selEnd;
      if (start == end) start = end = GetFieldCaretOffset(s);
      if (wParam) *reinterpret_cast<uint32_t*>(wParam) = start;
      if (lParam) *reinterpret_cast<uint32_t*>(lParam) = end;
      return static_cast<LRESULT>(start << 16 | end);
    }
    case EM_SETSEL:
    case kFieldSetSelection:
      SetFieldSelection(s, static_cast<uint16_t>(wParam & 0xFFFF), static_cast<uint16_t>(lParam & 0xFFFF));
      SetFieldCaretOffset(s, s->selEnd);
      s->options.caretShown = s->selStart == s->selEnd;
      CaretAndBar(s);
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      HandleFieldPen(s, kFieldPenDown, PenX(lParam), PenY(lParam), msg == WM_LBUTTONDBLCLK ? 2 : 1);
      if (s->options.editable) DestroyCaret();
      SetCapture(hwnd);
      KillTimer(hwnd, kHoldTimer);
      SetTimer(hwnd, kHoldTimer, kHoldMs, nullptr);
      return 1;
    case WM_MOUSEMOVE:
      HandleFieldPen(s, kFieldPenMove, PenX(lParam), PenY(lParam), 0);
      return 1;
    case WM_LBUTTONUP:
      KillTimer(hwnd, kHoldTimer);
      // The gesture ends before the capture goes, so that the release is not
      // taken for a lost capture.
      HandleFieldPen(s, kFieldPenUp, PenX(lParam), PenY(lParam), 0);
      if (GetCapture() == hwnd) ReleaseCapture();
      if (s->options.editable) {
        SetFocus(hwnd);
        s->options.caretActive = 1;
      }
      CaretAndBar(s);
      return 1;
    case WM_TIMER:
      KillTimer(hwnd, kHoldTimer);
      HandleFieldPen(s, kFieldPenHold, s->pen.x, s->pen.y, 0);
      return 1;
    case WM_CAPTURECHANGED:
      // A gesture that lost the pen ends here, with its link block.
      if (s->pen.down && reinterpret_cast<HWND>(lParam) != hwnd) {
        KillTimer(hwnd, kHoldTimer);
        EndFieldPen(s);
      }
      return 1;
    case WM_CHAR: {
      WCHAR c = static_cast<WCHAR>(wParam);
      if (!s->options.editable) {
        FieldNotify n{};
        n.payload.character = c;
        Notify(hwnd, kFieldCharInReadOnly, &n);
        return 0;
      }
      TypeFieldChar(s, c);
      CaretAndBar(s);
      NotifyChanged(hwnd, c == 8 ? 1 : 0);
      return 1;
    }
    case WM_CLEAR:
      if (!s->options.editable) return 1;
      ClearField(s);
      CaretAndBar(s);
      NotifyChanged(hwnd, 0);
      return 1;
    case WM_CUT:
      if (!s->options.editable || s->selStart == s->selEnd) return 1;
      if (!OpenClipboard(hwnd)) return 1;
      CloseClipboard();
      WriteClipboard(hwnd, CutFieldSelection(s));
      CaretAndBar(s);
      NotifyChanged(hwnd, 0);
      return 1;
    case WM_COPY:
      WriteClipboard(hwnd, CopyFieldSelection(s));
      return 1;
    case kFieldCopyAll: {
      if (!s->length) return 1;
      auto* block = static_cast<WCHAR*>(LocalAlloc(LPTR, (s->length + 1u) * sizeof(WCHAR)));
      if (block) std::memcpy(block, s->text, (s->length + 1u) * sizeof(WCHAR));
      WriteClipboard(hwnd, block);
      return 1;
    }
    case WM_PASTE: {
      WCHAR* text = ReadClipboard(hwnd);
      if (!text) return 1;
      WCHAR* converted = ConvertPinyinToneMarks(text, nullptr);
      if (converted) InsertFieldText(s, converted);
      if (converted) LocalFree(converted);
      LocalFree(text);
      CaretAndBar(s);
      NotifyChanged(hwnd, 0);
      return 1;
    }
    case EM_REPLACESEL:
      InsertFieldText(s, reinterpret_cast<const WCHAR*>(lParam));
      CaretAndBar(s);
      NotifyChanged(hwnd, 0);
      return 1;
    case kFieldReplaceCount:
      ReplaceFieldSelection(s, reinterpret_cast<const WCHAR*>(lParam),
                            lParam ? static_cast<uint32_t>(wParam & 0xFFFF) : 0);
      CaretAndBar(s);
      NotifyChanged(hwnd, 0);
      return 1;
    case kFieldDeleteRange:
      if ((lParam & 0xFFFF) < (wParam & 0xFFFF)) return 1;
      DeleteFieldRange(s, static_cast<uint16_t>(wParam & 0xFFFF), static_cast<uint16_t>(lParam & 0xFFFF));
      CaretAndBar(s);
      NotifyChanged(hwnd, 0);
      return 1;
    case WM_KEYDOWN: {
      if (s->options.buttonRegion && PopupListWindow.window && wParam != VK_UP && wParam != VK_DOWN && wParam < 0x5F) {
        SendMessageW(PopupListWindow.window, kControlCloseMessage, 0, 0);
        PopupListWindow = PopupListRecord{};
      }
      if (s->options.editable && s->options.caretActive) HideCaret(hwnd);
      int direction = wParam == VK_UP      ? kFieldUp
                      : wParam == VK_DOWN  ? kFieldDown
                      : wParam == VK_LEFT  ? kFieldLeft
                      : wParam == VK_RIGHT ? kFieldRight
                                           : -1;
      if (direction < 0) {
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        CaretAndBar(s);
        return r;
      }
      int moved = MoveFieldCaret(s, direction);
      CaretAndBar(s);
      if (moved) return 0;
      if (!s->options.editable && (direction == kFieldUp || direction == kFieldDown) && (s->userValue & 1)) {
        FieldNotify n{};
        n.payload.up = direction == kFieldUp ? 1 : 0;
        Notify(hwnd, kFieldArrowAtEdge, &n);
      }
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_GETDLGCODE: {
      auto* m = reinterpret_cast<const MSG*>(lParam);
      if (m && m->message == WM_KEYDOWN && (m->wParam == VK_UP || m->wParam == VK_DOWN)) {
        if (s->options.singleLine) return 0;
        bool up = m->wParam == VK_UP;
        bool canScroll = !s->options.fixed && (up ? s->topLine > 0 : s->topLine < s->greatestTop);
        if (canScroll) return 1;
        return (s->userValue & 1) ? 1 : 0;
      }
      return s->options.editable ? 4 : 1;
    }
    case kFieldPageUp:
    case kFieldPageDown: {
      bool up = msg == kFieldPageUp;
      bool can = !s->options.singleLine && (up ? s->topLine > 0 : s->topLine < s->greatestTop);
      if (!can) return 0;
      ScrollFieldBy(s, FieldPageStep(s), up);
      CaretAndBar(s);
      return 1;
    }
    case kFieldSetFramed:
    case kFieldSetEditable:
    case kFieldSetButton:
    case kFieldSetCentred: {
      FieldOptions o = s->options;
      if (msg == kFieldSetFramed) o.selectionFramed = static_cast<uint8_t>(wParam != 0);
      if (msg == kFieldSetEditable) o.editable = static_cast<uint8_t>(wParam != 0);
      if (msg == kFieldSetButton) {
        o.buttonRegion = static_cast<uint8_t>(wParam != 0);
        o.buttonLeft = static_cast<uint8_t>(lParam != 0);
      }
      if (msg == kFieldSetCentred) o.centred = static_cast<uint8_t>(wParam != 0);
      ApplyOptions(s, o);
      if (msg == kFieldSetCentred) RedrawField(s);
      return 1;
    }
    case kFieldPage:
      if (!PageField(s, static_cast<uint32_t>(wParam))) return 0;
      CaretAndBar(s);
      return 1;
    case kFieldGetCaret:
      return GetFieldCaretOffset(s);
    case kFieldSetCaret: {
      uint16_t top = s->topLine;
      s->selStart = s->selEnd = std::min<uint16_t>(static_cast<uint16_t>(wParam & 0xFFFF), s->length);
      SetFieldCaretOffset(s, s->selStart);
      if (s->topLine != top) RedrawField(s);
      CaretAndBar(s);
      return 1;
    }
    case kFieldFullLines:
      return FullyVisibleLines(s);
    case kFieldGetSelection:
      return s->selStart == s->selEnd ? 0 : static_cast<LRESULT>(uint32_t{s->selStart} << 16 | s->selEnd);
    case kFieldRelayout:
      LayoutField(s);
      if (wParam & 0xFF) {
        RedrawField(s);
        CaretAndBar(s);
      }
      return 1;
    case kFieldActivateCaret:
      // Only an editable field has a caret to show.
      if (!s->options.editable) return 1;
      s->options.caretShown = 1;
      ActivateFieldCaret(s);
      return 1;
    case kFieldCopyRange: {
      // Clamped to the text; nothing is copied for an empty or reversed
      // range, and the buffer is always terminated.
      auto* buffer = reinterpret_cast<WCHAR*>(lParam);
      if (!buffer) return 1;
      uint32_t start = std::min<uint32_t>((wParam >> 16) & 0xFFFF, s->length);
      uint32_t end = std::min<uint32_t>(wParam & 0xFFFF, s->length);
      uint32_t n = end > start ? end - start : 0;
      if (n) std::memcpy(buffer, s->text + start, n * sizeof(WCHAR));
      buffer[n] = 0;
      return 1;
    }
    case kFieldRecreate: {
      auto* given = reinterpret_cast<const FieldCreateParams*>(lParam);
      if (!given) return 1;
      FieldState* fresh = MakeState(hwnd, given);
      if (!fresh) return 1;
      FreeState(s);
      SetControlState(hwnd, kFieldProperty, fresh);
      return 1;
    }
    case kFieldSetFont:
      SetFieldFont(s, static_cast<uint16_t>(wParam & 0xFFFF), static_cast<uint16_t>(lParam & 0xFFFF), 0);
      return 1;
    case kFieldPlainLinesFit: {
      uint16_t h = GetLineHeight(s->engine, s->fontSlot, s->fontSize);
      return h ? static_cast<int16_t>(s->textRect.height / h) : 0;
    }
    case kFieldTopOffset:
      return s->lineCount ? s->lines[s->topLine].start : 0;
    case kFieldLastVisibleUnit: {
      uint16_t full = FullyVisibleLines(s);
      if (!s->lineCount || !full) return 0;
      const FieldLine& l = s->lines[s->topLine + full - 1];
      return l.length ? l.start + l.length - 1 : l.start;
    }
    case kFieldLineUpDown: {
      if (s->options.singleLine || s->lineCount == 0) return s->selStart;
      uint16_t line = 0;
      for (uint16_t i = 0; i < s->lineCount; ++i)
        if (s->selStart >= s->lines[i].start &&
            (s->selStart < s->lines[i].start + s->lines[i].length || i + 1 == s->lineCount)) {
          line = i;
          break;
        }
      bool up = wParam != 0;
      if (up ? line == 0 : line + 1 >= s->lineCount) return -1;
      uint16_t column = static_cast<uint16_t>(s->selStart - s->lines[line].start);
      const FieldLine& other = s->lines[up ? line - 1 : line + 1];
      uint16_t room = other.length;
      // Never after the other line's break.
      while (room > 0 && (s->text[other.start + room - 1] == 13 || s->text[other.start + room - 1] == 10 ||
                          s->text[other.start + room - 1] == 0xEAB1))
        --room;
      return other.start + std::min(column, room);
    }
    case kFieldShowRange:
      ScrollFieldToShow(s, static_cast<uint16_t>(wParam >> 16), static_cast<uint16_t>(wParam & 0xFFFF), 1);
      CaretAndBar(s);
      return 1;
    case kFieldIsEditable:
      return s->options.editable;
    case kFieldMoreBelow: {
      if (!s->lineCount) return 0;
      return s->lastPartlyVisible || s->topLine + s->visibleCount < s->lineCount ? 1 : 0;
    }
    case kFieldSetUserValue:
      s->userValue = static_cast<uint32_t>(wParam);
      return 1;
    case kSetInkMessage:
      // Turning ink off keeps the box and its ink for the next time.
      s->captureBoxOn = wParam != 0 ? 1 : 0;
      if (s->captureBoxOn) AttachCapturebox(hwnd);
      if (!s->captureBoxOn && s->inkBarHidden) {
        s->inkBarHidden = 0;
        CaretAndBar(s);
      }
      return 1;
    case kHasInkMessage: {
      CaptureboxState* box = GetCaptureboxState(hwnd);
      return s->captureBoxOn && box && GetInkStrokeCount(box) > 0 ? 1 : 0;
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

FieldState* GetFieldState(HWND hwnd) { return StateOf(hwnd); }

LRESULT FieldWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    const auto* given = create ? static_cast<const FieldCreateParams*>(create->lpCreateParams) : nullptr;
    FieldState* s = MakeState(hwnd, given);
    if (!s) return -1;
    SetControlState(hwnd, kFieldProperty, s);
    return 0;
  }
  FieldState* s = StateOf(hwnd);
  if (!s) return msg == WM_NCCREATE || msg == WM_NCDESTROY ? DefWindowProcW(hwnd, msg, wParam, lParam) : 1;
  if (!s->captureBoxOn) return Handle(hwnd, s, msg, wParam, lParam);
  // While ink is on, the embedded box sees every message first.
  LRESULT taken = EmbeddedCaptureboxMessage(hwnd, msg, wParam, lParam);
  if (taken == kInkHideScrollBar) {
    // Hiding the bar resizes the field; the flag keeps the size handling
    // from bringing the bar straight back.
    s->inkBarHidden = 1;
    SCROLLINFO none{};
    none.cbSize = sizeof(none);
    none.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    SetScrollInfo(hwnd, SB_VERT, &none, TRUE);
    return 1;
  }
  if (taken == kInkRefreshScrollBar) {
    s->inkBarHidden = 0;
    UpdateScrollBar(s);
    return 1;
  }
  if (taken != 0) return taken;
  LRESULT result = Handle(hwnd, s, msg, wParam, lParam);
  // The state may be gone (WM_DESTROY, a re-creation): only the host is
  // named here.
  EmbeddedCaptureboxPaint(hwnd, msg);
  return result;
}
