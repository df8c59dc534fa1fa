#include "toolkit/field_edit.h"

#include <algorithm>
#include <cstring>

#include "platform/core.h"

namespace {

bool IsBreakUnit(WCHAR u) { return u == 13 || u == 10 || u == 0xEAB1; }

uint32_t Length(const WCHAR* text) {
  uint32_t n = 0;
  if (text)
    while (text[n] && n <= kFieldMaxUnits) ++n;
  return n;
}

void ShowCaretAt(FieldState* s, uint16_t offset) {
  SetFieldCaretOffset(s, offset);
  s->options.caretShown = s->selStart == s->selEnd;
}

}  // namespace

void SetFieldSelection(FieldState* s, uint16_t start, uint16_t end) {
  start = std::min(start, s->length);
  end = std::min(end, s->length);
  if (end < start) std::swap(start, end);
  if (s->options.characterSelection && start == end) {
    if (end < s->length) ++end;
    else if (start > 0)
      --start;
  }
  uint16_t oldStart = s->selStart, oldEnd = s->selEnd;
  s->selStart = start;
  s->selEnd = end;
  bool drawn = !(s->options.editable && !s->options.caretActive);
  if (drawn && s->draw) {
    if (end <= oldStart || start >= oldEnd) {
      DrawFieldRange(s, oldStart, oldEnd, 0);
      DrawFieldRange(s, start, end, 1);
    } else {
      // Only the parts that left or joined the selection.
      if (oldStart < start) DrawFieldRange(s, oldStart, start, 0);
      if (start < oldStart) DrawFieldRange(s, start, oldStart, 1);
      if (end < oldEnd) DrawFieldRange(s, end, oldEnd, 0);
      if (oldEnd < end) DrawFieldRange(s, oldEnd, end, 1);
    }
  }
  if (s->options.caretActive) s->options.caretShown = start == end;
}

int ReplaceFieldSelection(FieldState* s, const WCHAR* units, uint32_t count) {
  if (!s->options.editable) return 0;
  uint32_t start = s->selStart, end = s->selEnd;
  if (start == end) start = end = GetFieldCaretOffset(s);
  end = std::min<uint32_t>(end, s->length);
  start = std::min(start, end);
  uint32_t newLength = s->length - (end - start) + count;
  // The bound keeps offsets and the byte capacity within 16 bits.
  if (newLength > kFieldMaxUnits) return 0;
  uint32_t bytes = 2 * (newLength + 1);
  if (s->textCapacity <= bytes) {
    if (ResizeMemHandle(s->textHandle, bytes) != 0) return 0;
    s->textCapacity = static_cast<uint16_t>(bytes);
    s->text = static_cast<WCHAR*>(s->textHandle->data);
  }
  std::memmove(s->text + start + count, s->text + end, (s->length - end + 1) * sizeof(WCHAR));
  if (count) std::memcpy(s->text + start, units, count * sizeof(WCHAR));
  s->length = static_cast<uint16_t>(newLength);
  s->text[s->length] = 0;
  uint16_t caret = static_cast<uint16_t>(start + count);
  s->selStart = s->selEnd = caret;
  LayoutField(s);
  ShowCaretAt(s, caret);
  ScrollFieldToShow(s, caret, caret, 0);
  ShowCaretAt(s, caret);
  RedrawField(s);
  return 1;
}

int InsertFieldText(FieldState* s, const WCHAR* text) {
  uint32_t n = 0;
  if (text)
    while (text[n]) ++n;
  return ReplaceFieldSelection(s, text, n);
}

void DeleteFieldRange(FieldState* s, uint16_t start, uint16_t end) {
  if (end < start) return;
  if (s->selStart == s->selEnd) {
    s->selStart = start;
    s->selEnd = std::min(end, s->length);
  }
  ReplaceFieldSelection(s, nullptr, 0);
  s->options.caretShown = 1;
}

int TypeFieldChar(FieldState* s, WCHAR c) {
  if (!s->options.editable) return 0;
  if (IsBreakUnit(c)) {
    if (!s->options.singleLine) ReplaceFieldSelection(s, &c, 1);
    return 1;
  }
  if (c == 8) {
    if (s->selStart != s->selEnd) {
      ReplaceFieldSelection(s, nullptr, 0);
      return 1;
    }
    uint16_t caret = GetFieldCaretOffset(s);
    if (caret == 0) {
      s->options.caretShown = 1;
      return 1;
    }
    s->selStart = static_cast<uint16_t>(caret - 1);
    s->selEnd = caret;
    ReplaceFieldSelection(s, nullptr, 0);
    return 1;
  }
  ReplaceFieldSelection(s, &c, 1);
  return 1;
}

void ClearField(FieldState* s) {
  if (!s->options.editable) return;
  s->length = 0;
  s->text[0] = 0;
  s->selStart = s->selEnd = 0;
  s->topLine = 0;
  LayoutField(s);
  ShowCaretAt(s, 0);
  RedrawField(s);
  s->options.caretShown = 1;
}

WCHAR* CopyFieldSelection(const FieldState* s) {
  if (s->selStart == s->selEnd) return nullptr;
  uint16_t start = std::min(s->selStart, s->length), end = std::min(s->selEnd, s->length);
  if (end <= start) return nullptr;
  auto* block = static_cast<WCHAR*>(LocalAlloc(LPTR, (end - start + 1u) * sizeof(WCHAR)));
  if (!block) return nullptr;
  std::memcpy(block, s->text + start, (end - start) * sizeof(WCHAR));
  block[end - start] = 0;
  return block;
}

WCHAR* CutFieldSelection(FieldState* s) {
  if (!s->options.editable) return nullptr;
  WCHAR* block = CopyFieldSelection(s);
  if (block) ReplaceFieldSelection(s, nullptr, 0);
  return block;
}

int SetFieldText(FieldState* s, const WCHAR* text) {
  if (StoreFieldText(s, text, Length(text)) != 0) return 1;
  s->topLine = 0;
  s->firstUnit = 0;
  s->caretLine = 0;
  s->caretColumn = 0;
  s->selStart = s->selEnd = 0;
  LayoutField(s);
  if (s->options.characterSelection && s->length) {
    s->selStart = 0;
    s->selEnd = 1;
  } else {
    s->selStart = s->selEnd = s->length;
    if (s->options.editable) SetFieldCaretOffset(s, s->length);
  }
  return 0;
}

int SetFieldTextAt(FieldState* s, const WCHAR* text, uint16_t first) {
  if (!text) return 1;
  if (StoreFieldText(s, text, Length(text)) != 0) return 1;
  s->firstUnit = first <= s->length ? first : 0;
  s->selStart = s->selEnd = s->length;
  LayoutField(s);
  return 0;
}
