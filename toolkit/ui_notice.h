// Notices: the self-closing pop-up (the toast, a SorviFlashTextClass window,
// toolkit/control_flashtext.h) and what follows adding a flashcard.
//
// The toast is a top-level pop-up owned by the parent's top-level window,
// topmost and made the foreground window, placed over the parent's client
// area (or the screen without a parent): as a pop-up it is activated, takes
// the keys, and learns of another window's activation, which closes it.
//
// UI thread only.
#pragma once

#include <cstdint>

#include "platform/ui.h"

// Preference ids the notices read.
inline constexpr int32_t kPrefToastSize = 95;        // font size of ShowToastText
inline constexpr int32_t kPrefCategoryToasts = 208;  // name the category a card went to
// The category id that means "no category": never named in a toast.
inline constexpr int32_t kUncategorized = -3;
// Longest category name a toast shows, in characters.
inline constexpr uint32_t kToastCategoryNameMax = 40;
// The card notices' toasts.
inline constexpr uint32_t kCardToastTimeout = 500;  // ms
inline constexpr int kCardToastSize = 32;

// The pop-up with `text` (cut to what fits the room less two margins) in the
// application's interface font at `size`, w + m wide and h + m high (m =
// ScaleByDpi(2)), centred; it closes after `timeout` ms (0: only on a key, a
// tap or another window's activation). Null when it could not be made.
HWND ShowToast(HWND parent, const WCHAR* text, uint32_t timeout, int size, bool inverted);
// The first `length` characters of the text (all of it when 0) at the size
// of preference 95, without a time-out.
HWND ShowToastText(HWND parent, const WCHAR* text, uint32_t length);

// Result codes of adding a flashcard.
enum CardAddedCode : int {
  kCardAdded = 1,
  kCardFileFailure = 2,
  kCardUnsupported = 3,
  kCardDuplicate = 4,
  kCardDuplicateFiled = 5,
  kCardAskDuplicate = 6,
};
// Tells the user what became of a card: a toast for codes 1, 4 and 5 (with
// preference 208 and a real category, the category's name for 1 and 5), a
// message box for 2 and 3. Code 6 asks what to do with a duplicate: 1 new
// card (Yes), 2 add the existing card to the category (No), 0 leave it
// unchanged (Cancel). 0 for every other code.
int ReportCardAdded(HWND parent, int code, int32_t category);
