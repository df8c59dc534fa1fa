#include "app/text_gesture.h"

#include "toolkit/app_context.h"
#include "toolkit/field_pen.h"

#include "engine/preferences.h"

namespace {

uint32_t TextLength(const WCHAR* text) {
  uint32_t n = 0;
  if (text)
    while (text[n]) ++n;
  return n;
}

// Preference 193 and 195 share one list of choices.
TextGestureAction SelectionChoice(int32_t choice, const TextGestureInput& in) {
  switch (choice) {
    case 1:
      return in.mainDefinition ? kGestureCopyToInput : kGestureNothing;
    case 2:
      return in.sheetsAllowed ? kGesturePopup : kGestureNothing;
    case 3:
      if (!in.sheetsAllowed) return kGestureNothing;
      return in.end > in.start + 1 ? kGesturePopup : kGestureCharInfo;
    case 4:
      return in.sheetsAllowed ? kGestureCharInfo : kGestureNothing;
    case 5:
      return kGestureCopy;
    case 6:
      return in.sheetsAllowed ? kGestureMagnify : kGestureNothing;
    case 7:
      return kGestureWordMenu;
    default:
      return kGestureNothing;
  }
}

TextGestureAction HoldChoice(int32_t choice, const TextGestureInput& in) {
  switch (choice) {
    case 1:
      return in.mainDefinition ? kGestureCopyToInput : kGestureNothing;
    case 2:
      return in.sheetsAllowed ? kGesturePopup : kGestureNothing;
    case 3:
      return kGestureWordMenu;
    case 4:
      return kGestureCopy;
    case 5:
      return in.sheetsAllowed ? kGestureCharInfo : kGestureNothing;
    case 6:
      return kGestureMagnify;
    default:
      return kGestureNothing;
  }
}

TextGestureAction TapChoice(int32_t choice, const TextGestureInput& in) {
  switch (choice) {
    case 1:
      return kGestureMagnify;
    case 2:
      return in.sheetsAllowed ? kGestureCharInfo : kGestureNothing;
    case 3:
      return in.mainDefinition ? kGestureCopyToInput : kGestureNothing;
    case 4:
      return in.sheetsAllowed ? kGesturePopup : kGestureNothing;
    default:
      return kGestureNothing;
  }
}

}  // namespace

uint32_t GestureCharPosition(uint32_t start, uint32_t flags) {
  return start > 0 && (flags & kFieldPenRightHalf) ? start - 1 : start;
}

bool IsGestureChineseChar(WCHAR c) { return c >= 0x3400 && c <= 0x9FAF; }

TextGesture DecideTextGesture(const TextGestureInput& in, const TextGesturePrefs& prefs) {
  TextGesture g{kGestureNothing, false, GestureCharPosition(in.start, in.flags)};
  const uint32_t length = TextLength(in.text);
  const bool onChar = g.position < length;
  if (in.start == in.end && !(in.flags & (kFieldPenInSelection | kFieldPenHeld | kFieldPenBelowLast))) {
    // A plain tap acts only on a Chinese character, and selects it first.
    if (!onChar || !IsGestureChineseChar(in.text[g.position])) return g;
    g.action = TapChoice(prefs.tap, in);
    g.select = g.action != kGestureNothing;
    return g;
  }
  if (!(in.flags & (kFieldPenInSelection | kFieldPenDragged))) {
    if (!(in.flags & kFieldPenHeld)) return g;  // a double tap: the field chose the word
    g.action = HoldChoice(prefs.hold, in);
    g.select = g.action != kGestureNothing && in.end <= in.start && onChar;
    return g;
  }
  g.action = SelectionChoice(in.flags & kFieldPenInSelection ? prefs.tapSelection : prefs.dragged, in);
  return g;
}

TextGesturePrefs ReadTextGesturePrefs() {
  DictEngine* engine = AppContextPointer ? AppContextPointer->engine : nullptr;
  if (!engine) return {};
  return {GetPref(engine, kPrefTapCharAction), GetPref(engine, kPrefHoldSelectionAction),
          GetPref(engine, kPrefDoubleTapAction), GetPref(engine, kPrefTapSelectionAction)};
}
