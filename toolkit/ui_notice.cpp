#include "toolkit/ui_notice.h"

#include "engine/engine_host.h"
#include "engine/preferences.h"
#include "engine/string_utils.h"
#include "platform/core.h"
#include "platform/dialog.h"
#include "platform/msgbox.h"
#include "toolkit/app_context.h"
#include "toolkit/control_flashtext.h"
#include "toolkit/control_frame.h"
#include "toolkit/text_service.h"
#include "toolkit/ui_scale.h"

namespace {

uint16_t TextLength(const WCHAR* text) {
  uint32_t n = WideStrLen(text);
  return static_cast<uint16_t>(n > 0xFFFF ? 0xFFFF : n);
}

HWND CardToast(HWND parent, const WCHAR* text, bool inverted) {
  return ShowToast(parent, text, kCardToastTimeout, kCardToastSize, inverted);
}

// The category's toast for codes 1 and 5; false when the name cannot be had
// or is empty (the plain notice is shown instead).
bool CategoryToast(HWND parent, int code, int32_t category) {
  // Room for the mark, the name, and a terminator the store may write after
  // a name of the full length it was given.
  WCHAR text[kToastCategoryNameMax + 4] = {};
  WCHAR* name = code == kCardDuplicateFiled ? text + 1 : text;
  uint32_t length = kToastCategoryNameMax + 1;
  if (HostGetCategoryDisplayName(ControlEngine(), category, name, &length) != 0 || !name[0]) return false;
  name[kToastCategoryNameMax] = 0;
  if (code == kCardDuplicateFiled) text[0] = u'*';
  CardToast(parent, text, code == kCardDuplicateFiled);
  return true;
}

}  // namespace

HWND ShowToast(HWND parent, const WCHAR* text, uint32_t timeout, int size, bool inverted) {
  if (!text) text = u"";
  DictEngine* engine = ControlEngine();
  uint16_t slot = AppContextPointer ? AppContextPointer->fontId : 0;
  uint16_t pixelSize = static_cast<uint16_t>(size);
  int h = GetLineHeight(engine, slot, pixelSize);
  int m = ScaleByDpi(2);
  int availW = GetSystemMetrics(SM_CXSCREEN);
  int availH = GetSystemMetrics(SM_CYSCREEN);
  POINT origin{0, 0};
  HWND owner = nullptr;
  if (parent) {
    RECT client{};
    GetClientRect(parent, &client);
    availW = client.right;
    availH = client.bottom;
    ClientToScreen(parent, &origin);
    owner = GetAncestor(parent, GA_ROOT);
  }
  TextStyleState style{};
  int w = MeasureText(engine, slot, pixelSize, text, TextLength(text), &style);
  WCHAR* cut = nullptr;
  if (w > availW - 2 * m) {
    cut = WideStrDup(text);
    if (cut) {
      TextStyleState fitStyle{};
      uint16_t n = FitText(engine, slot, pixelSize, cut, availW - 2 * m, &fitStyle);
      cut[n] = 0;
      TextStyleState again{};
      w = MeasureText(engine, slot, pixelSize, cut, n, &again);
      text = cut;
    }
  }
  int width = w + m;
  int height = h + m;
  HWND popup =
      CreateWindowExW(WS_EX_TOPMOST, kFlashTextClassName, text, WS_POPUP | WS_BORDER, origin.x + (availW - width) / 2,
                      origin.y + (availH - height) / 2, width, height, owner, nullptr, AppInstance, nullptr);
  if (popup) {
    SetWindowLongPtrW(popup, GWL_USERDATA, inverted ? -size : size);
    SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (timeout) SetTimer(popup, kFlashTextTimerId, timeout, nullptr);
    ShowWindow(popup, SW_SHOW);
    SetForegroundWindow(popup);
  }
  if (cut) LocalFree(cut);
  return popup;
}

HWND ShowToastText(HWND parent, const WCHAR* text, uint32_t length) {
  if (!text) text = u"";
  uint32_t whole = WideStrLen(text);
  uint32_t n = length == 0 || length > whole ? whole : length;
  auto* copy = static_cast<WCHAR*>(LocalAlloc(LPTR, (n + 1) * sizeof(WCHAR)));
  if (!copy) return nullptr;
  for (uint32_t i = 0; i < n; ++i) copy[i] = text[i];
  HWND popup = ShowToast(parent, copy, 0, GetPref(ControlEngine(), kPrefToastSize), false);
  LocalFree(copy);
  return popup;
}

int ReportCardAdded(HWND parent, int code, int32_t category) {
  constexpr UINT kOnTop = MB_TOPMOST | MB_SETFOREGROUND;
  switch (code) {
    case kCardAdded:
    case kCardDuplicateFiled:
      if (GetPref(ControlEngine(), kPrefCategoryToasts) && category != kUncategorized &&
          CategoryToast(parent, code, category)) {
        return 0;
      }
      if (code == kCardAdded) {
        CardToast(parent, u"Card Added", false);
      } else {
        CardToast(parent, u"Duplicate Card", true);
      }
      return 0;
    case kCardDuplicate:
      CardToast(parent, u"Duplicate Card", true);
      return 0;
    case kCardFileFailure:
      MessageBoxW(parent,
                  u"Sorry, the flashcard could not be created because your flashcard file could not be accessed - "
                  u"please exit and reopen Sorvi and try again.",
                  u"Flashcard Failure", MB_OK | MB_ICONERROR | kOnTop);
      return 0;
    case kCardUnsupported:
      MessageBoxW(parent, u"Sorry, flashcards are not currently supported in this dictionary database.",
                  u"Unsupported Dictionary", MB_OK | MB_ICONERROR | kOnTop);
      return 0;
    case kCardAskDuplicate: {
      int answer = MessageBoxW(parent,
                               u"Another card already exists with this same headword and pronunciation - would you "
                               u"like to create a new card anyway (Yes), add the existing card to the selected "
                               u"category (No), or leave it unchanged (Cancel)?",
                               u"Duplicate Card", MB_YESNOCANCEL | MB_ICONQUESTION | kOnTop);
      return answer == IDYES ? 1 : answer == IDNO ? 2 : 0;
    }
    default:
      return 0;
  }
}
