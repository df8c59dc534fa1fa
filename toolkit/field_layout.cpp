#include "toolkit/field_layout.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "toolkit/text_service.h"

namespace {

bool IsBreakUnit(WCHAR u) { return u == 13 || u == 10 || u == 0xEAB1; }

ColorWord Background(const FieldState* s) { return s->options.editable ? kFieldEditableColor : kFieldReadOnlyColor; }

// 0 on success; 1 when the array cannot grow (layout then stops there).
int EnsureLineCapacity(FieldState* s, uint32_t lines) {
  if (lines <= s->lineCapacity) return 0;
  uint32_t capacity = s->lineCapacity + kFieldLineStep;
  if (capacity > 0xFFFF || ResizeMemHandle(s->lineHandle, capacity * sizeof(FieldLine)) != 0) return 1;
  s->lines = static_cast<FieldLine*>(s->lineHandle->data);
  s->lineCapacity = static_cast<uint16_t>(capacity);
  return 0;
}

// Places the caret's pixel position from its line and column (the column
// counts units from the line's start). The one-pixel caret stands on the
// last pixel of the unit before it, so a caret after text is drawn one pixel
// left of the measured width, never left of the text rectangle. Returns the
// width of the units before the caret.
int PlaceCaretOnLine(FieldState* s) {
  if (s->options.singleLine || s->lineCount == 0) return 0;
  int y = s->textRect.y;
  for (int i = 0; i < s->caretLine; ++i) y += s->lines[s->topLine + i].height;
  const FieldLine& line = s->lines[s->topLine + s->caretLine];
  TextStyleState style = line.startStyle;
  uint16_t column = std::min(s->caretColumn, line.length);
  int width = MeasureText(s->engine, s->fontSlot, s->fontSize, s->text + line.start, column, &style);
  int x = s->textRect.x + s->margin + line.indent + width - (width != 0 ? 1 : 0);
  s->caretX = static_cast<uint16_t>(std::max<int>(x, s->textRect.x));
  s->caretY = static_cast<uint16_t>(y);
  s->caretHeight = line.height;
  return width;
}

}  // namespace

int InitFieldStorage(FieldState* s) {
  s->lineHandle = NewMemHandle(kFieldLineStep * sizeof(FieldLine));
  s->textHandle = NewMemHandle(2);
  if (!s->lineHandle || !s->textHandle) {
    FreeFieldStorage(s);
    return 1;
  }
  s->lines = static_cast<FieldLine*>(s->lineHandle->data);
  s->lineCapacity = kFieldLineStep;
  s->text = static_cast<WCHAR*>(s->textHandle->data);
  s->textCapacity = 2;
  s->length = 0;
  s->minLineHeight = kFieldMinLineHeight;
  return 0;
}

void FreeFieldStorage(FieldState* s) {
  FreeMemHandle(s->lineHandle);
  FreeMemHandle(s->textHandle);
  s->lineHandle = s->textHandle = nullptr;
  s->lines = s->topLineRecord = nullptr;
  s->text = nullptr;
  s->lineCapacity = s->lineCount = 0;
  s->textCapacity = s->length = 0;
}

int StoreFieldText(FieldState* s, const WCHAR* text, uint32_t count) {
  if (!text) count = 0;
  if (count > kFieldMaxUnits) {
    count = kFieldMaxUnits;
    // Never keep half of a surrogate pair.
    if (text[count - 1] >= 0xD800 && text[count - 1] <= 0xDBFF) --count;
    // Never cut a style code from its two payload units.
    for (uint32_t back = 1; back <= 2 && back <= count; ++back) {
      if (StyleCodeHasPayload(text[count - back])) {
        count -= back;
        break;
      }
    }
  }
  uint32_t bytes = 2 * (count + 1);
  if (bytes > s->textCapacity) {
    if (ResizeMemHandle(s->textHandle, bytes) != 0) return 1;
    s->textCapacity = static_cast<uint16_t>(bytes);
  }
  s->text = static_cast<WCHAR*>(s->textHandle->data);
  if (count) std::memcpy(s->text, text, count * sizeof(WCHAR));
  s->text[count] = 0;
  s->length = static_cast<uint16_t>(count);
  if (s->firstUnit > s->length) s->firstUnit = 0;
  return 0;
}

void ComputeFieldTextRect(FieldState* s) {
  ShortRect r = s->clientRect;
  if (s->options.buttonRegion && r.width > s->buttonWidth) {
    r.width = static_cast<uint16_t>(r.width - s->buttonWidth);
    if (s->options.buttonLeft) r.x = static_cast<int16_t>(r.x + s->buttonWidth);
  }
  s->textRect = r;
  int width = r.width - 2 * s->margin;
  s->textWidth = static_cast<uint16_t>(std::max(0, width));
  PlaceCaretOnLine(s);
}

uint16_t CountFittingLines(const FieldState* s, uint16_t first, uint8_t* partly) {
  if (partly) *partly = 0;
  int sum = 0;
  uint16_t n = 0;
  for (uint16_t i = first; i < s->lineCount && sum < s->textRect.height; ++i, ++n) sum += s->lines[i].height;
  if (sum <= s->textRect.height) return n;
  // The last counted line runs past the bottom.
  if (s->lines[first + n - 1].length > 0) {
    if (partly) *partly = 1;
    return n;
  }
  return static_cast<uint16_t>(n - 1);
}

uint16_t FullyVisibleLines(const FieldState* s) {
  return static_cast<uint16_t>(s->visibleCount - (s->lastPartlyVisible ? 1 : 0));
}

void SetFieldTopLine(FieldState* s, uint16_t line) {
  if (s->lineCount == 0 || s->options.singleLine) return;
  uint16_t old = s->topLine;
  s->topLine = s->options.fixed ? 0 : std::min(line, s->greatestTop);
  s->topLineRecord = s->lines + s->topLine;
  s->visibleCount = CountFittingLines(s, s->topLine, &s->lastPartlyVisible);
  int caret = s->caretLine - (s->topLine - old);
  if (caret >= 0 && caret < s->visibleCount) {
    s->caretLine = static_cast<int16_t>(caret);
    PlaceCaretOnLine(s);
  } else {
    s->caretLine = static_cast<int16_t>(std::clamp(caret, -32768, 32767));
    s->options.caretShown = 0;
  }
}

void LayoutField(FieldState* s) {
  s->singleIndent = 0;
  if (s->textRect.height == 0 || s->textWidth == 0 || s->length == 0) {
    s->lineCount = s->greatestTop = s->visibleCount = 0;
    s->topLine = 0;
    s->lastPartlyVisible = 0;
    return;
  }
  if (s->options.singleLine) {
    s->lineCount = s->greatestTop = s->visibleCount = 0;
    if (s->options.centred) {
      int w = MeasureText(s->engine, s->fontSlot, s->fontSize, s->text, s->length, nullptr);
      if (w < s->textWidth) s->singleIndent = static_cast<int16_t>((s->textWidth - w) / 2);
    }
    return;
  }
  // The caret's offset survives the relayout.
  uint16_t caretOffset = s->selStart;
  uint8_t caretShown = s->options.caretShown;
  WCHAR last = s->text[s->length - 1];
  s->endsWithBreak = IsBreakUnit(last);
  TextStyleState style{};
  uint32_t start = s->firstUnit;
  uint32_t count = 0;
  int total = 0;
  uint16_t previousHeight = 0;
  for (;;) {
    if (EnsureLineCapacity(s, count + 1) != 0) break;
    FieldLine& line = s->lines[count];
    line.start = static_cast<uint16_t>(start);
    line.startStyle = style;
    line.indent = 0;
    if (start < s->length) {
      line.length = FindLineBreak(s->engine, s->fontSlot, s->fontSize, s->text + start, s->textWidth, &style);
      if (line.length == 0) line.length = 1;  // always progress
      if (start + line.length > s->length) line.length = static_cast<uint16_t>(s->length - start);
      TextStyleState copy = line.startStyle;
      line.height = std::max<uint16_t>(s->minLineHeight, GetTextLineHeight(s->engine, s->fontSlot, s->fontSize,
                                                                           s->text + start, line.length, &copy));
      if (s->options.centred) {
        TextStyleState measure = line.startStyle;
        int w = MeasureText(s->engine, s->fontSlot, s->fontSize, s->text + start, line.length, &measure);
        if (w < s->textWidth) line.indent = static_cast<int16_t>((s->textWidth - w) / 2);
      }
    } else {
      line.length = 0;
      line.height = previousHeight;
    }
    previousHeight = line.height;
    total += line.height;
    ++count;
    if (line.length == 0) break;
    start += line.length;
    if (s->options.fixed && total >= s->textRect.height) break;
    if (start < s->length) continue;
    if (start == s->length && s->endsWithBreak) continue;
    break;
  }
  s->lineCount = static_cast<uint16_t>(count);
  // Greatest top: how many lines fit, walking back from the last.
  int sum = 0, k = 0;
  for (int i = static_cast<int>(count) - 1; i >= 0 && sum < s->textRect.height; --i, ++k) sum += s->lines[i].height;
  int fit = k - 1;
  if (sum > s->textRect.height) --fit;
  s->greatestTop = static_cast<uint16_t>(std::max(0, static_cast<int>(count) - 1 - std::max(fit, 0)));
  SetFieldTopLine(s, s->topLine);
  if (s->options.editable) {
    // Put the caret back on the line holding its offset.
    for (uint16_t i = s->topLine; i < s->topLine + s->visibleCount; ++i) {
      const FieldLine& line = s->lines[i];
      bool last = i + 1 == s->lineCount;
      if (caretOffset >= line.start && (caretOffset < line.start + line.length || last)) {
        s->caretLine = static_cast<int16_t>(i - s->topLine);
        s->caretColumn = static_cast<uint16_t>(caretOffset - line.start);
        PlaceCaretOnLine(s);
        break;
      }
    }
    s->options.caretShown = caretShown;
  }
  if (s->lineCapacity > kFieldLineStep && count <= kFieldLineStep &&
      ResizeMemHandle(s->lineHandle, kFieldLineStep * sizeof(FieldLine)) == 0) {
    s->lines = static_cast<FieldLine*>(s->lineHandle->data);
    s->lineCapacity = kFieldLineStep;
    s->topLineRecord = s->lines + s->topLine;
  }
}

int ScrollFieldByLine(FieldState* s, int up, int redraw) {
  uint16_t oldTop = s->topLine, oldCount = FullyVisibleLines(s);
  if (up && s->topLine > 0) SetFieldTopLine(s, static_cast<uint16_t>(s->topLine - 1));
  else if (!up && s->topLine < s->greatestTop)
    SetFieldTopLine(s, static_cast<uint16_t>(s->topLine + 1));
  else
    return 0;
  if (redraw) ScrollFieldRedraw(s, oldTop, oldCount);
  return 1;
}

void ScrollFieldBy(FieldState* s, uint16_t lines, int up) {
  if (s->options.singleLine) return;
  int top = up ? std::max(0, s->topLine - lines) : std::min<int>(s->greatestTop, s->topLine + lines);
  if (top == s->topLine) return;
  uint16_t oldTop = s->topLine, oldCount = FullyVisibleLines(s);
  SetFieldTopLine(s, static_cast<uint16_t>(top));
  ScrollFieldRedraw(s, oldTop, oldCount);
}

namespace {
uint16_t LineContaining(const FieldState* s, uint16_t offset) {
  for (uint16_t i = 0; i < s->lineCount; ++i)
    if (offset >= s->lines[i].start && offset < s->lines[i].start + s->lines[i].length) return i;
  return static_cast<uint16_t>(s->lineCount - 1);
}
}  // namespace

int ScrollFieldToShow(FieldState* s, uint16_t a, uint16_t b, int allowDown) {
  if (s->length == 0 || s->options.singleLine || s->options.fixed || s->lineCount == 0) return 0;
  if (s->topLine == 0 && FullyVisibleLines(s) >= s->lineCount) return 0;
  uint16_t lineA = LineContaining(s, a);
  if (lineA == s->topLine) return 0;
  if (lineA < s->topLine) {
    SetFieldTopLine(s, lineA);
    return 1;
  }
  uint16_t lineB = LineContaining(s, b);
  if (lineB < s->topLine + FullyVisibleLines(s)) {
    if (!allowDown) return 0;
    SetFieldTopLine(s, static_cast<uint16_t>(s->topLine + 1));
    return 1;
  }
  uint8_t partly = 0;
  uint16_t fitA = CountFittingLines(s, lineA, &partly);
  if (partly) --fitA;
  if (lineB >= lineA + fitA) {
    SetFieldTopLine(s, lineA);
    return 1;
  }
  uint16_t from = (allowDown && lineB + 1 < s->lineCount) ? static_cast<uint16_t>(lineB + 1) : lineB;
  int sum = 0, k = 0;
  for (int i = from; i >= 0 && sum < s->textRect.height; --i, ++k) sum += s->lines[i].height;
  int n = k - 1;
  if (sum > s->textRect.height) --n;
  SetFieldTopLine(s, static_cast<uint16_t>(std::max(0, lineB - n)));
  return 1;
}

int DrawFieldLine(FieldState* s, uint16_t visibleLine, int rangeMode, uint16_t from, uint16_t to, int selected) {
  uint16_t start = 0, count = 0, height = 0;
  int indent = 0;
  TextStyleState style{};
  bool hasText = true;
  if (s->options.singleLine) {
    TextStyleState fit{};
    count = FitText(s->engine, s->fontSlot, s->fontSize, s->text, s->textWidth, &fit);
    count = std::min(count, s->length);
    indent = s->singleIndent;
    height = s->textRect.height;
  } else if (visibleLine < s->visibleCount && s->topLine + visibleLine < s->lineCount) {
    const FieldLine& line = s->lines[s->topLine + visibleLine];
    start = line.start;
    count = line.length;
    height = line.height;
    indent = line.indent;
    style = line.startStyle;
  } else {
    hasText = false;
    height = s->visibleCount ? s->lines[s->topLine + s->visibleCount - 1].height
                             : GetLineHeight(s->engine, s->fontSlot, s->fontSize);
  }
  // The units drawn: from..to within the line in range mode.
  uint16_t drawFrom = start, drawTo = static_cast<uint16_t>(start + count);
  if (rangeMode && hasText) {
    drawFrom = std::max(drawFrom, from);
    drawTo = std::min(drawTo, to);
    if (drawTo < drawFrom) drawTo = drawFrom;
  }
  uint16_t lineEnd = drawTo;
  bool breakLeftOut = false;
  if (hasText) {
    // The line break is never drawn (CR LF is two units).
    while (lineEnd > drawFrom && IsBreakUnit(s->text[lineEnd - 1])) {
      --lineEnd;
      breakLeftOut = true;
    }
    if (!rangeMode && !selected)
      while (lineEnd > drawFrom && s->text[lineEnd - 1] == ' ') --lineEnd;
  }
  int y = s->textRect.y;
  for (uint16_t i = 0; i < visibleLine && !s->options.singleLine; ++i)
    y += i < s->visibleCount ? s->lines[s->topLine + i].height : height;
  int x = s->textRect.x + indent;
  // Advance the style (and x in range mode) over the units before drawFrom.
  if (hasText && drawFrom > start) {
    int w = MeasureText(s->engine, s->fontSlot, s->fontSize, s->text + start, static_cast<uint16_t>(drawFrom - start),
                        &style);
    if (rangeMode) x += w;
  }
  int bottom = y + height;
  int textBottom = s->textRect.y + s->textRect.height;
  bool clipped = bottom >= textBottom;
  if (clipped) SetClipShortRect(s->draw, s->textRect);
  ColorWord colour = Background(s);
  if (selected && !s->options.selectionFramed)
    colour = s->options.editable ? kFieldEditableSelected : kFieldReadOnlySelected;
  if (!rangeMode && !selected) {
    FillShortRect(s->draw, ShortRect{static_cast<int16_t>(x), static_cast<int16_t>(y), s->textRect.width, height},
                  colour);
  } else if (!rangeMode || drawFrom == start) {
    FillShortRect(s->draw, ShortRect{static_cast<int16_t>(x), static_cast<int16_t>(y), s->margin, height}, colour);
  }
  if (s->options.ruled) DrawGreyLine(s->draw, x, bottom - 1, s->textRect.x + s->textRect.width - 1, bottom - 1);
  int tx = x + s->margin;
  if (hasText && lineEnd > drawFrom) {
    TextStyleState drawStyle = style;
    if (s->options.ruled) drawStyle.underline = 1;
    tx += DrawStyledText(s->engine, s->draw, s->fontSlot, s->fontSize, s->text + drawFrom,
                         static_cast<uint16_t>(lineEnd - drawFrom), tx, y, height, &drawStyle, colour, colour);
  }
  if ((selected || rangeMode) && breakLeftOut)
    tx +=
        DrawStyledText(s->engine, s->draw, s->fontSlot, s->fontSize, u"  ", 2, tx, y, height, nullptr, colour, colour);
  if (selected && s->options.selectionFramed && hasText) {
    int fx = x + s->margin;
    DrawShortRectEdge(s->draw,
                      ShortRect{static_cast<int16_t>(fx), static_cast<int16_t>(y),
                                static_cast<uint16_t>(std::max(1, tx - fx)), height},
                      s->options.editable ? kFieldEditableColor : kFieldReadOnlyColor);
  }
  if (clipped) ClearClip(s->draw);
  return bottom;
}

void DrawFieldRange(FieldState* s, uint16_t from, uint16_t to, int selected) {
  if (from == to) return;
  if (from > to) std::swap(from, to);
  if (s->options.singleLine) {
    DrawFieldLine(s, 0, 1, from, to, selected);
    return;
  }
  uint16_t full = FullyVisibleLines(s);
  for (uint16_t v = 0; v < full; ++v) {
    const FieldLine& line = s->lines[s->topLine + v];
    if (line.start < to && from < line.start + line.length) DrawFieldLine(s, v, 1, from, to, selected);
  }
}

namespace {
bool SelectionDrawn(const FieldState* s) {
  return s->selStart != s->selEnd && !(s->options.editable && !s->options.caretActive);
}

// Fills or rules the text rectangle below `y`.
void DrawBelow(FieldState* s, int y, uint16_t firstEmpty) {
  int bottom = s->textRect.y + s->textRect.height;
  if (s->options.editable) {
    for (uint16_t v = firstEmpty; y < bottom && v < 0x7FFF; ++v) y = DrawFieldLine(s, v, 0, 0, 0, 0);
  } else if (y < bottom) {
    FillShortRect(
        s->draw,
        ShortRect{s->textRect.x, static_cast<int16_t>(y), s->textRect.width, static_cast<uint16_t>(bottom - y)},
        Background(s));
  }
}
}  // namespace

void DrawFieldLines(FieldState* s) {
  if (!s->draw) return;
  if (s->options.singleLine) {
    DrawFieldLine(s, 0, 0, 0, 0, 0);
  } else {
    int y = s->textRect.y;
    uint16_t full = FullyVisibleLines(s);
    for (uint16_t v = 0; v < full; ++v) y = DrawFieldLine(s, v, 0, 0, 0, 0);
    DrawBelow(s, y, full);
  }
  if (SelectionDrawn(s)) DrawFieldRange(s, s->selStart, s->selEnd, 1);
}

void RedrawField(FieldState* s) {
  if (!s->draw) return;
  DrawFieldLines(s);
  if (s->options.buttonRegion) {
    int x = s->options.buttonLeft ? s->clientRect.x : s->clientRect.x + s->clientRect.width - s->buttonWidth;
    ShortRect button{static_cast<int16_t>(x), s->clientRect.y, s->buttonWidth, s->clientRect.height};
    FillShortRect(s->draw, button, kFieldReadOnlyColor);
    DrawBitmapResource(s->draw, kFieldButtonImage, button.x, button.y, button.width, button.height);
  }
}

void ScrollFieldRedraw(FieldState* s, uint16_t oldTop, uint16_t oldCount) {
  if (!s->draw || s->options.singleLine) return;
  uint16_t full = FullyVisibleLines(s);
  int oldEnd = oldTop + oldCount, newEnd = s->topLine + full;
  int keepFrom = std::max<int>(oldTop, s->topLine), keepTo = std::min(oldEnd, newEnd);
  int y = s->textRect.y;
  if (keepFrom >= keepTo) {
    for (uint16_t v = 0; v < full; ++v) y = DrawFieldLine(s, v, 0, 0, 0, 0);
  } else {
    // Move the kept lines from their old place to the new one.
    int oldY = 0, newY = 0, keptHeight = 0;
    for (int i = oldTop; i < keepFrom; ++i) oldY += s->lines[i].height;
    for (int i = s->topLine; i < keepFrom; ++i) newY += s->lines[i].height;
    for (int i = keepFrom; i < keepTo; ++i) keptHeight += s->lines[i].height;
    if (oldY != newY) {
      int lo = std::min(oldY, newY);
      ShortRect band{s->textRect.x, static_cast<int16_t>(s->textRect.y + lo), s->textRect.width,
                     static_cast<uint16_t>(keptHeight + std::abs(oldY - newY))};
      SetClipShortRect(s->draw, s->textRect);
      ScrollShortRect(s->draw, band, 0, newY - oldY);
      ClearClip(s->draw);
    }
    for (int i = s->topLine; i < s->topLine + full; ++i)
      if (i < keepFrom || i >= keepTo) DrawFieldLine(s, static_cast<uint16_t>(i - s->topLine), 0, 0, 0, 0);
    for (uint16_t v = 0; v < full; ++v) y += s->lines[s->topLine + v].height;
  }
  int bottom = s->textRect.y + s->textRect.height;
  if (y < bottom)
    FillShortRect(
        s->draw,
        ShortRect{s->textRect.x, static_cast<int16_t>(y), s->textRect.width, static_cast<uint16_t>(bottom - y)},
        Background(s));
  if (SelectionDrawn(s)) DrawFieldRange(s, s->selStart, s->selEnd, 1);
}

void SetFieldFont(FieldState* s, uint16_t slot, uint16_t size, int redraw) {
  s->fontSlot = slot;
  s->fontSize = size;
  LayoutField(s);
  if (redraw && s->draw) {
    FillShortRect(s->draw, s->textRect, Background(s));
    RedrawField(s);
  }
}

void ResizeField(FieldState* s, const ShortRect& client, int redraw) {
  s->clientRect = client;
  ComputeFieldTextRect(s);
  LayoutField(s);
  if (redraw) RedrawField(s);
}

FieldScrollParams GetFieldScrollParams(const FieldState* s) {
  FieldScrollParams p{};
  if (s->length == 0 || s->options.singleLine || s->options.fixed || s->lineCount < 2) return p;
  p.position = s->topLine;
  p.page = FullyVisibleLines(s);
  if (s->topLine == 0 && p.page >= s->lineCount) p.maximum = 0;
  else
    p.maximum = static_cast<uint16_t>(std::max<int>(s->lineCount, s->topLine + p.page));
  return p;
}

int PlaceFieldCaret(FieldState* s, uint16_t column, int line) {
  if (s->options.singleLine || s->lineCount == 0) {
    column = std::min(column, s->length);
    s->caretLine = 0;
    s->caretColumn = column;
    TextStyleState style{};
    int width = MeasureText(s->engine, s->fontSlot, s->fontSize, s->text, column, &style);
    int x = s->textRect.x + s->margin + s->singleIndent + width - (width != 0 ? 1 : 0);
    s->caretX = static_cast<uint16_t>(std::max<int>(x, s->textRect.x));
    s->caretY = static_cast<uint16_t>(s->textRect.y);
    s->caretHeight = s->options.singleLine ? s->textRect.height : GetLineHeight(s->engine, s->fontSlot, s->fontSize);
    return width;
  }
  if (s->visibleCount == 0) return 0;  // no room for even one line
  // A line just off either edge brings one more line into view.
  if (line < 0) {
    ScrollFieldByLine(s, 1, 1);
    line = 0;
  } else if (line >= s->visibleCount) {
    ScrollFieldByLine(s, 0, 1);
    line = s->visibleCount - 1;
    column = std::min(column, s->lines[s->topLine + line].length);
  }
  const FieldLine& l = s->lines[s->topLine + line];
  // The caret stands before a line's ending break, never after it.
  if (column > 0 && column <= l.length && IsBreakUnit(s->text[l.start + column - 1])) --column;
  s->caretLine = static_cast<int16_t>(line);
  s->caretColumn = column;
  return PlaceCaretOnLine(s);
}

void SetFieldCaretOffset(FieldState* s, uint16_t offset) {
  offset = std::min(offset, s->length);
  if (s->options.singleLine || s->lineCount == 0) {
    PlaceFieldCaret(s, offset, 0);
    s->options.caretShown = s->selStart == s->selEnd;
    return;
  }
  // The offset's line is scrolled into view first (not beyond it).
  ScrollFieldToShow(s, offset, offset, 0);
  uint16_t line = s->lineCount;
  for (uint16_t i = 0; i < s->lineCount; ++i) {
    const FieldLine& l = s->lines[i];
    if (offset >= l.start && (offset < l.start + l.length || i + 1 == s->lineCount)) {
      line = i;
      break;
    }
  }
  if (line == s->lineCount) line = static_cast<uint16_t>(s->lineCount - 1);
  // The caret stands before a line's ending break, never after it.
  const FieldLine& l = s->lines[line];
  s->caretLine = static_cast<int16_t>(line - s->topLine);
  s->caretColumn = static_cast<uint16_t>(offset - l.start);
  bool visible = line >= s->topLine && line < s->topLine + s->visibleCount;
  if (visible) PlaceCaretOnLine(s);
  s->options.caretShown = visible && s->selStart == s->selEnd;
}

uint16_t GetFieldCaretOffset(const FieldState* s) {
  if (s->options.singleLine || s->lineCount == 0) return std::min(s->caretColumn, s->length);
  if (s->caretLine < 0 || s->caretLine >= s->visibleCount) return 0;
  return static_cast<uint16_t>(s->lines[s->topLine + s->caretLine].start + s->caretColumn);
}

namespace {

struct ParaLine {
  uint16_t start, length, height;
};

// Lays out the paragraph from `from` with a cleared style until the line
// holding `offset` (or the text's end); keeps at most `keep` last lines.
std::vector<ParaLine> ParagraphLines(const FieldState* s, uint16_t from, uint16_t offset, size_t keep) {
  std::vector<ParaLine> lines;
  TextStyleState style{};
  uint32_t start = from;
  while (start < s->length) {
    TextStyleState lineStyle = style;
    uint16_t n = FindLineBreak(s->engine, s->fontSlot, s->fontSize, s->text + start, s->textWidth, &style);
    if (n == 0) n = 1;
    if (start + n > s->length) n = static_cast<uint16_t>(s->length - start);
    uint16_t h = std::max<uint16_t>(
        s->minLineHeight, GetTextLineHeight(s->engine, s->fontSlot, s->fontSize, s->text + start, n, &lineStyle));
    lines.push_back({static_cast<uint16_t>(start), n, h});
    if (keep && lines.size() > keep) lines.erase(lines.begin());
    if (offset < start + n || IsBreakUnit(s->text[start + n - 1])) break;
    start += n;
  }
  return lines;
}

}  // namespace

uint16_t FindFieldPageStart(const FieldState* s, uint16_t offset, int startsOnly) {
  if (s->length == 0 || s->textWidth == 0) return 0;
  offset = std::min<uint16_t>(offset, static_cast<uint16_t>(s->length - 1));
  if (offset > 0 && s->text[offset] == 13 && offset + 1 < s->length && s->text[offset + 1] == 10) --offset;
  size_t keep = std::max(1, s->textRect.height / kFieldMinLineHeight);
  int sum = 0;
  int pos = offset;
  for (;;) {
    int paraStart = pos;
    while (paraStart > 0 && !IsBreakUnit(s->text[paraStart - 1])) --paraStart;
    std::vector<ParaLine> lines = ParagraphLines(s, static_cast<uint16_t>(paraStart), static_cast<uint16_t>(pos), keep);
    if (lines.empty()) return 0;
    if (startsOnly) return lines.back().start;
    for (int j = static_cast<int>(lines.size()) - 1; j >= 0; --j) {
      sum += lines[j].height;
      if (sum > s->textRect.height) {
        // The page starts after the line that overflowed (after the
        // offset's own line when it alone overflows).
        size_t next = static_cast<size_t>(j) + 1;
        if (next < lines.size()) return lines[next].start;
        return static_cast<uint16_t>(lines[j].start + lines[j].length);
      }
    }
    if (lines.size() >= keep) return lines.front().start;
    if (paraStart == 0) return 0;
    pos = std::max(0, paraStart - 2);
  }
}

int PageField(FieldState* s, uint32_t flags) {
  if (s->options.singleLine || s->lineCount == 0) return 0;
  uint16_t first = s->firstUnit;
  uint32_t next = first;
  if (!(flags & (kFieldPageBack | kFieldPageAlign))) {
    uint16_t full = FullyVisibleLines(s);
    int target = (flags & kFieldPageLine) ? 1 : std::max(0, full - 1);
    int line = s->topLine + target;
    if (line < s->lineCount) {
      next = s->lines[line].start;
    } else {
      // Beyond the laid-out lines: break on from the last one.
      const FieldLine& last = s->lines[s->lineCount - 1];
      TextStyleState style = last.startStyle;
      uint32_t start = last.start;
      for (int i = s->lineCount - 1; i < line && start < s->length; ++i) {
        uint16_t n = FindLineBreak(s->engine, s->fontSlot, s->fontSize, s->text + start, s->textWidth, &style);
        start += n ? n : 1;
      }
      next = std::min<uint32_t>(start, s->length);
    }
  } else {
    if (first == 0) return 0;
    int search;
    if (flags & kFieldPageAlign) search = first + 1;
    else
      search = first - (IsBreakUnit(s->text[first - 1]) ? 2 : 1);
    search = std::clamp(search, 0, std::max(0, s->length - 1));
    if (flags & (kFieldPageLine | kFieldPageAlign)) {
      next = FindFieldPageStart(s, static_cast<uint16_t>(search), 1);
    } else {
      next = FindFieldPageStart(s, static_cast<uint16_t>(search), 0);
      // One line of overlap, as a page forward keeps: the current first
      // line ends the previous page.
      std::vector<ParaLine> lines = ParagraphLines(s, static_cast<uint16_t>(next), static_cast<uint16_t>(next), 1);
      if (!lines.empty() && lines[0].start + lines[0].length < first) next = lines[0].start + lines[0].length;
    }
  }
  if (next == first && next < s->length) return 0;
  if (next >= s->length && first < s->length && !(flags & (kFieldPageBack | kFieldPageAlign))) {
    if (next == first) return 0;
  }
  s->firstUnit = static_cast<uint16_t>(std::min<uint32_t>(next, s->length));
  uint16_t caret = GetFieldCaretOffset(s);
  s->topLine = 0;
  LayoutField(s);
  // A caret whose line is still on screen keeps its text offset; one whose
  // line left the screen is hidden.
  bool kept = false;
  for (uint16_t v = 0; caret >= s->firstUnit && v < s->visibleCount; ++v) {
    const FieldLine& l = s->lines[s->topLine + v];
    if (caret >= l.start && (caret < l.start + l.length || s->topLine + v + 1 == s->lineCount)) {
      s->caretLine = static_cast<int16_t>(v);
      s->caretColumn = static_cast<uint16_t>(caret - l.start);
      PlaceCaretOnLine(s);
      kept = true;
      break;
    }
  }
  if (!kept) s->options.caretShown = 0;
  RedrawField(s);
  return 1;
}
