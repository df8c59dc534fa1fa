#include "toolkit/field_pen.h"

#include <algorithm>
#include <cstring>

#include "platform/core.h"
#include "toolkit/field_edit.h"
#include "toolkit/text_service.h"

namespace {

bool IsBreakUnit(WCHAR u) { return u == 13 || u == 10 || u == 0xEAB1; }

bool IsSeparator(WCHAR u) {
  if (u == ' ' || u == '\t' || u == 13 || u == 10) return true;
  if (u >= 0xEA00 && u <= 0xEAFF) return true;
  if (u >= 0x3400 && u <= 0xD7FF) return true;  // CJK: a double tap selects nothing
  return std::strchr("().,*~'-\"=", static_cast<char>(u < 0x80 ? u : 0)) != nullptr && u < 0x80 && u != 0;
}

ShortRect ButtonRect(const FieldState* s) {
  if (!s->options.editable) return s->clientRect;
  int x = s->options.buttonLeft ? s->clientRect.x : s->clientRect.x + s->clientRect.width - s->buttonWidth;
  return ShortRect{static_cast<int16_t>(x), s->clientRect.y, s->buttonWidth, s->clientRect.height};
}

bool Inside(const ShortRect& r, int x, int y) {
  return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

// The same half rules as a tap: after the start (or at it on the left
// half) and before the end (or at it on the right half).
bool InSelection(const FieldState* s, uint16_t offset, bool rightHalf) {
  if (s->selStart == s->selEnd) return false;
  bool afterStart = offset > s->selStart || (offset == s->selStart && !rightHalf);
  bool beforeEnd = offset < s->selEnd || (offset + 1 == s->selEnd && rightHalf);
  return afterStart && beforeEnd && offset < s->selEnd;
}

}  // namespace

ShortRect GetFieldCharRect(const FieldState* s, uint16_t wanted, uint16_t line) {
  int y = s->textRect.y;
  // A single line is as high as its rectangle; an empty multi-line field
  // has one plain line.
  uint16_t height = s->options.singleLine ? s->textRect.height : GetLineHeight(s->engine, s->fontSlot, s->fontSize);
  const WCHAR* units = s->text;
  uint16_t count = s->length;
  int indent = s->singleIndent;
  TextStyleState style{};
  if (!s->options.singleLine && s->lineCount) {
    line = std::min<uint16_t>(line, s->visibleCount ? s->visibleCount - 1 : 0);
    for (uint16_t i = 0; i < line; ++i) y += s->lines[s->topLine + i].height;
    const FieldLine& l = s->lines[s->topLine + line];
    units = s->text + l.start;
    count = l.length;
    height = l.height;
    indent = l.indent;
    style = l.startStyle;
  }
  uint16_t column = std::min(wanted, count);
  int x = s->textRect.x + s->margin + indent + MeasureText(s->engine, s->fontSlot, s->fontSize, units, column, &style);
  int before = column > 0 ? GetCharAdvance(s->engine, s->fontSlot, s->fontSize, units[column - 1], &style) : 0;
  int at = column < count ? GetCharAdvance(s->engine, s->fontSlot, s->fontSize, units[column], &style) : 0;
  int half = (before + 1) / 2;
  x = std::max(0, x - half);
  return ShortRect{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(half + (at + 1) / 2),
                   height};
}

void FieldLineOf(const FieldState* s, uint16_t offset, uint16_t* column, uint16_t* line) {
  uint16_t v = 0;
  uint16_t c = offset;
  if (!s->options.singleLine && s->lineCount) {
    while (v + 1 < s->visibleCount && offset >= s->lines[s->topLine + v].start + s->lines[s->topLine + v].length) ++v;
    c = static_cast<uint16_t>(offset - std::min<uint16_t>(offset, s->lines[s->topLine + v].start));
  }
  if (column) *column = c;
  if (line) *line = v;
}

namespace {

// The box of the unit at `offset` on the visible line holding it.
ShortRect OffsetBox(const FieldState* s, uint16_t offset, uint16_t* lineOut) {
  uint16_t column = 0, line = 0;
  FieldLineOf(s, offset, &column, &line);
  if (lineOut) *lineOut = line;
  return GetFieldCharRect(s, column, line);
}

// One to three rectangles over a link: one on a single line, else the first
// line's part to the right edge, the full lines between, and the last
// line's part from the left.
void FindLinkRects(FieldState* s) {
  FieldPen& p = s->pen;
  uint16_t firstLine = 0, lastLine = 0;
  ShortRect a = OffsetBox(s, p.linkStart, &firstLine);
  ShortRect b = OffsetBox(s, static_cast<uint16_t>(p.linkEnd), &lastLine);
  int right = s->textRect.x + s->textRect.width;
  if (firstLine == lastLine) {
    p.highlight[0] = ShortRect{a.x, a.y, static_cast<uint16_t>(std::max(1, b.x - a.x)), a.height};
    p.highlightCount = 1;
    return;
  }
  p.highlight[0] = ShortRect{a.x, a.y, static_cast<uint16_t>(std::max(1, right - a.x)), a.height};
  p.highlightCount = 1;
  if (lastLine > firstLine + 1) {
    int top = a.y + a.height;
    p.highlight[p.highlightCount++] =
        ShortRect{s->textRect.x, static_cast<int16_t>(top), s->textRect.width, static_cast<uint16_t>(b.y - top)};
  }
  p.highlight[p.highlightCount++] =
      ShortRect{s->textRect.x, b.y, static_cast<uint16_t>(std::max(1, b.x - s->textRect.x)), b.height};
}

void InvertHighlight(FieldState* s) {
  if (!s->draw) return;
  for (uint8_t i = 0; i < s->pen.highlightCount; ++i) InvertShortRect(s->draw, s->pen.highlight[i]);
  s->pen.highlightShown = !s->pen.highlightShown;
}

bool InHighlight(const FieldState* s, int x, int y) {
  for (uint8_t i = 0; i < s->pen.highlightCount; ++i)
    if (Inside(s->pen.highlight[i], x, y)) return true;
  return false;
}

void FreeLinkTarget(FieldState* s) {
  if (s->pen.linkTarget) LocalFree(s->pen.linkTarget);
  s->pen.linkTarget = nullptr;
}

void Report(FieldState* s, uint32_t flags, int x, int y) {
  if (s->penCallback)
    s->penCallback(s->window, s->text, s->selStart, s->selEnd, flags, static_cast<int16_t>(x), static_cast<int16_t>(y));
}

}  // namespace

FieldHit HitTestField(const FieldState* s, int x, int y) {
  FieldHit hit{};
  const WCHAR* units = s->text;
  uint16_t count = s->length;
  int indent = s->singleIndent;
  if (!s->options.singleLine && s->lineCount && s->visibleCount) {
    int rest = y - s->textRect.y;
    uint16_t v = 0;
    while (v + 1 < s->visibleCount && rest >= s->lines[s->topLine + v].height)
      rest -= s->lines[s->topLine + v++].height;
    hit.belowLast = rest >= s->lines[s->topLine + v].height;
    hit.line = v;
    const FieldLine& l = s->lines[s->topLine + v];
    units = s->text + l.start;
    count = l.length;
    while (count > 0 && IsBreakUnit(units[count - 1])) --count;
    indent = l.indent;
    hit.style = l.startStyle;
  }
  int hx = std::max(0, x - s->textRect.x - s->margin - indent);
  uint16_t r = HitTestText(s->engine, s->fontSlot, s->fontSize, units, count, hx, &hit.style);
  hit.column = static_cast<uint16_t>((r + 1) / 2);
  hit.rightHalf = r & 1;
  return hit;
}

uint16_t FieldOffsetOf(const FieldState* s, uint16_t column, uint16_t line) {
  if (s->options.singleLine || s->lineCount == 0) return std::min(column, s->length);
  if (line >= s->visibleCount) return 0;
  uint32_t offset = s->lines[s->topLine + line].start + column;
  return offset > s->length ? 0 : static_cast<uint16_t>(offset);
}

void ExpandFieldSelection(const FieldState* s, uint16_t offset, int tapCount, uint16_t* start, uint16_t* end) {
  *start = *end = offset;
  if (tapCount != 2 || offset >= s->length || IsSeparator(s->text[offset])) return;
  uint16_t e = offset;
  while (e < s->length && !IsSeparator(s->text[e])) ++e;
  uint16_t b = offset;
  while (b > 0 && !IsSeparator(s->text[b - 1])) --b;
  *start = b;
  *end = e;
}

void EndFieldPen(FieldState* s) {
  FreeLinkTarget(s);
  s->pen = FieldPen{};
}

int HandleFieldPen(FieldState* s, int event, int x, int y, int tapCount) {
  FieldHit hit = HitTestField(s, x, y);
  uint16_t offset = FieldOffsetOf(s, hit.column, hit.line);
  FieldPen& p = s->pen;
  switch (event) {
    case kFieldPenDown: {
      EndFieldPen(s);
      p.down = 1;
      p.x = static_cast<int16_t>(x);
      p.y = static_cast<int16_t>(y);
      p.tapCount = static_cast<uint8_t>(tapCount);
      p.belowLast = hit.belowLast;
      if (s->options.buttonRegion && Inside(ButtonRect(s), x, y)) {
        p.buttonPressed = 1;
        p.highlight[0] = ButtonRect(s);
        p.highlightCount = 1;
        InvertHighlight(s);
        return 1;
      }
      if (hit.style.inLink && !hit.belowLast) {
        uint16_t start = 0, end = 0;
        int32_t id = -1;
        GetLinkAt(s->engine, s->text, offset, &start, &end, &p.linkTarget, &id);
        if (start < end) {
          p.linkPressed = 1;
          p.linkStart = start;
          p.linkEnd = end;
          p.linkId = id;
          p.rightHalf = hit.rightHalf;
          FindLinkRects(s);
          InvertHighlight(s);
          return 1;
        }
        FreeLinkTarget(s);
      }
      if (tapCount == 1) SetFieldCaretOffset(s, offset);
      if (tapCount == 2) s->options.caretShown = 0;
      p.anchorStart = p.pressOffset = p.anchorEnd = offset;
      bool inside = InSelection(s, offset, hit.rightHalf);
      if (!s->options.editable && inside) {
        p.insideSelection = 1;
        p.savedStart = s->selStart;
        p.savedEnd = s->selEnd;
      }
      if (!(tapCount == 1 && inside)) {
        ExpandFieldSelection(s, offset, tapCount, &p.anchorStart, &p.anchorEnd);
        SetFieldSelection(s, p.anchorStart, p.anchorEnd);
        p.selectionByPress = 1;
      }
      p.charBox = GetFieldCharRect(s, hit.column, hit.line);
      p.rightHalf = hit.rightHalf;
      if (s->options.editable && tapCount == 1) s->options.caretShown = s->selStart == s->selEnd;
      return 1;
    }
    case kFieldPenMove: {
      if (!p.down) return 0;
      if (p.buttonPressed || p.linkPressed) {
        // The highlight follows the pen in and out of the pressed area.
        if (InHighlight(s, x, y) != static_cast<bool>(p.highlightShown)) InvertHighlight(s);
        return 1;
      }
      if (Inside(p.charBox, x, y)) return 1;
      s->options.caretShown = 0;
      p.charBox = GetFieldCharRect(s, hit.column, hit.line);
      uint16_t a = 0, b = 0;
      ExpandFieldSelection(s, offset, p.tapCount, &a, &b);
      uint16_t start = offset < p.pressOffset ? a : p.anchorStart;
      uint16_t end = offset < p.pressOffset ? p.anchorEnd : b;
      if (start != s->selStart || end != s->selEnd) p.dragged = 1;
      SetFieldSelection(s, start, end);
      SetFieldCaretOffset(s, offset);
      if (s->options.editable) s->options.caretShown = s->selStart == s->selEnd;
      return 1;
    }
    case kFieldPenHold: {
      if (!p.down || p.buttonPressed || p.dragged || !s->penCallback) return 0;
      if (p.highlightShown) InvertHighlight(s);
      if (p.linkPressed) SetFieldSelection(s, p.linkStart, p.linkEnd);
      Report(s, kFieldPenHeld | (p.rightHalf ? kFieldPenRightHalf : 0), p.x, p.y);
      EndFieldPen(s);
      return 1;
    }
    case kFieldPenUp: {
      if (!p.down) return 0;
      int result = 0;
      if (p.highlightShown) InvertHighlight(s);
      if (p.linkPressed) {
        if (InHighlight(s, x, y) && s->linkCallback) {
          uint16_t n = static_cast<uint16_t>(p.linkEnd - p.linkStart);
          auto* text = static_cast<WCHAR*>(LocalAlloc(LPTR, (n + 1u) * sizeof(WCHAR)));
          if (text) {
            std::memcpy(text, s->text + p.linkStart, n * sizeof(WCHAR));
            s->linkCallback(s->window, text, p.linkTarget, p.linkId);
            LocalFree(text);
          }
        }
        result = 1;
      } else if (p.buttonPressed) {
        if (Inside(ButtonRect(s), x, y) && s->buttonCallback) s->buttonCallback(s->window, s->value);
        EndFieldPen(s);
        return 1;
      } else {
        result = p.dragged && s->selStart != s->selEnd;
        if (s->options.editable && p.tapCount == 1 && !p.selectionByPress && !p.dragged) {
          SetFieldSelection(s, p.pressOffset, p.pressOffset);
          SetFieldCaretOffset(s, p.pressOffset);
        }
      }
      uint32_t flags = (p.tapCount == 2 ? kFieldPenDoubleTap : 0) | (p.dragged ? kFieldPenDragged : 0) |
                       (hit.rightHalf ? kFieldPenRightHalf : 0) | (hit.belowLast ? kFieldPenBelowLast : 0);
      if (p.insideSelection && !p.dragged && s->selStart >= p.savedStart && s->selEnd <= p.savedEnd) {
        flags |= kFieldPenInSelection;
        SetFieldSelection(s, p.savedStart, p.savedEnd);
      }
      Report(s, flags, x, y);
      EndFieldPen(s);
      return result;
    }
    default:
      return 0;
  }
}
