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

uint16_t FieldPageStep(const FieldState* s) {
  uint16_t full = FullyVisibleLines(s);
  return full < 2 ? full : static_cast<uint16_t>(full - 1);
}

namespace {

const FieldLine& VisibleLine(const FieldState* s, int v) { return s->lines[s->topLine + v]; }

// Column cut to the line, and never after the line's ending break.
void SettleCaret(FieldState* s) {
  const FieldLine& line = VisibleLine(s, s->caretLine);
  if (s->caretColumn > line.length) s->caretColumn = line.length;
  if (s->caretColumn > 0 && IsBreakUnit(s->text[line.start + s->caretColumn - 1])) --s->caretColumn;
  // Never between the two units of a CR LF pair: typing there would split it.
  if (s->caretColumn > 0 && s->text[line.start + s->caretColumn - 1] == 13 &&
      s->text[line.start + s->caretColumn] == 10)
    --s->caretColumn;
  uint16_t offset = static_cast<uint16_t>(line.start + s->caretColumn);
  SetFieldCaretOffset(s, offset);
}

}  // namespace

int MoveFieldCaret(FieldState* s, int direction) {
  if (s->options.singleLine) {
    uint16_t column = s->caretColumn;
    if (direction == kFieldLeft && column > 0) --column;
    if (direction == kFieldRight && column < s->length) ++column;
    if (column == s->caretColumn) return 0;
    s->selStart = s->selEnd = column;
    SetFieldCaretOffset(s, column);
    return 1;
  }
  if (s->options.fixed || s->lineCount == 0 || s->visibleCount == 0) return 0;
  if (!s->options.editable) {
    if (direction == kFieldUp && s->topLine > 0) {
      ScrollFieldBy(s, FieldPageStep(s), 1);
      return 1;
    }
    if (direction == kFieldDown && s->topLine < s->greatestTop) {
      ScrollFieldBy(s, FieldPageStep(s), 0);
      return 1;
    }
    if (direction != kFieldLeft && direction != kFieldRight) return 0;
  }
  if (s->caretLine < 0 || s->caretLine >= s->visibleCount) s->caretLine = 0;
  int line = s->caretLine;
  int column = s->caretColumn;
  bool moved = false;
  switch (direction) {
    case kFieldUp:
      if (line > 0) {
        --line;
        moved = true;
      } else if (ScrollFieldByLine(s, 1, 1)) {
        line = 0;
        moved = true;
      }
      break;
    case kFieldDown: {
      int next = line + 1;
      bool lastVisible = next == s->visibleCount - 1;
      if (next < FullyVisibleLines(s) && VisibleLine(s, next).length > 0) {
        line = next;
        moved = true;
      } else if (next < s->visibleCount && VisibleLine(s, next).length == 0 && lastVisible &&
                 s->topLine == s->greatestTop && s->endsWithBreak) {
        line = next;
        moved = true;
      } else if (ScrollFieldByLine(s, 0, 1)) {
        // The line below now stands where the caret's line stood.
        line = std::min<int>(line, FullyVisibleLines(s) - 1);
        moved = true;
      }
      break;
    }
    case kFieldLeft:
      if (column > 0) {
        --column;
        moved = true;
      } else if (line > 0) {
        --line;
        column = VisibleLine(s, line).length;
        moved = true;
      } else if (ScrollFieldByLine(s, 1, 1)) {
        line = 0;
        column = 0;
        moved = true;
      }
      break;
    case kFieldRight: {
      const FieldLine& current = VisibleLine(s, line);
      if (column < current.length && !IsBreakUnit(s->text[current.start + column]) &&
          current.start + column < s->length) {
        ++column;
        moved = true;
      } else if (line + 1 < FullyVisibleLines(s) && VisibleLine(s, line + 1).length > 0) {
        ++line;
        column = 0;
        moved = true;
      } else if (ScrollFieldByLine(s, 0, 1)) {
        line = std::min<int>(line, FullyVisibleLines(s) - 1);
        column = 0;
        moved = true;
      }
      break;
    }
    default:
      return 0;
  }
  if (!moved) return 0;
  s->caretLine = static_cast<int16_t>(line);
  s->caretColumn = static_cast<uint16_t>(column);
  SettleCaret(s);
  s->selStart = s->selEnd = GetFieldCaretOffset(s);
  return 1;
}
