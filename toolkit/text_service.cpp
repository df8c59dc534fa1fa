#include "toolkit/text_service.h"

#include <algorithm>

#include "engine/dict_engine.h"
#include "platform/heap.h"
#include "toolkit/font_slot.h"
#include "toolkit/truetype_engine.h"

namespace {

constexpr int kTabStop = 20;

// Reads the code at text[*i] (a style code) with its payload under the
// measuring rule, moving *i past the payload when one is taken, and applies
// it. 1 for the line end.
int TakeStyleCode(const WCHAR* text, int* i, TextStyleState* style, uint8_t* hidden) {
  WCHAR code = text[*i];
  uint32_t payload = 0;
  if (StyleCodeHasPayload(code) && text[*i + 1] != 0 && text[*i + 2] != 0) {
    payload = StylePayload(text[*i + 1], text[*i + 2]);
    *i += 2;
  }
  return ApplyStyleCode(code, payload, style, hidden);
}

int NextTab(int width) { return kTabStop * (width / kTabStop) + kTabStop; }

// A line may end after this unit (spaces are handled by the caller).
bool IsBreakAfter(WCHAR c) {
  if (c >= 0x3400 && c <= 0xD7FF) return true;
  switch (c) {
    case u'-':
    case u')':
    case u';':
    case u',':
    case u':':
    case u'/':
    case u'.':
    case 0x02C7:
    case 0x02CA:
    case 0x02CB:
    case 0x02D9:
      return true;
    default:
      break;
  }
  bool punctuation = (c >= 0x2000 && c <= 0x2026) || (c >= 0x3000 && c <= 0x33FF) || (c >= 0xFF00 && c <= 0xFF7F);
  if (!punctuation) return false;
  static constexpr WCHAR kOpening[] = {u'(',   u'<',   u'[',   u'{',   0x2018, 0x201C, 0x3008, 0x300A, 0x300C, 0x300E,
                                       0x3010, 0x3014, 0x3016, 0x301D, 0xFF08, 0xFF0F, 0xFF1C, 0xFF3B, 0xFF5B};
  return std::find(std::begin(kOpening), std::end(kOpening), c) == std::end(kOpening);
}

}  // namespace

int16_t GetCharAdvance(DictEngine* engine, uint16_t slot, uint16_t size, WCHAR character, const TextStyleState* style) {
  if (IsStyleCode(character) || IsMarkupCode(character)) return 0;
  TrueTypeEngine* tt = GetSlotTrueTypeEngine(engine, slot);
  return tt ? GetSlotCharAdvance(engine, tt, size, character, style) : 0;
}

uint16_t GetLineHeight(DictEngine* engine, uint16_t slot, uint16_t size) {
  TrueTypeEngine* tt = GetSlotTrueTypeEngine(engine, slot);
  return tt ? GetTrueTypeLineHeight(engine, tt, size) : 0;
}

int GetFontMetrics(DictEngine* engine, uint16_t slot, uint16_t size, uint16_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  if (TrueTypeEngine* tt = GetSlotTrueTypeEngine(engine, slot)) GetTrueTypeMetrics(engine, tt, size, out);
  return 0;
}

uint16_t GetTextLineHeight(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, uint16_t count,
                           TextStyleState* style) {
  uint16_t height = GetLineHeight(engine, slot, size);
  if (!text || count == 0) return height;
  uint8_t hidden = 0;
  for (int i = 0; i < count && text[i] != 0; ++i) {
    if (IsStyleCode(text[i])) {
      TakeStyleCode(text, &i, style, &hidden);
      continue;
    }
    if (IsMarkupCode(text[i]) || hidden) continue;
    if (style && style->sizeOn) {
      uint16_t own = style->size != 0 ? static_cast<uint16_t>(std::min<uint32_t>(style->size, 0xFFFF)) : size;
      height = std::max(height, GetLineHeight(engine, slot, own));
    }
  }
  return height;
}

int16_t MeasureText(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, uint16_t count,
                    TextStyleState* style) {
  if (!text) return 0;
  int width = 0;
  uint8_t hidden = 0;
  for (int i = 0; i < count && text[i] != 0; ++i) {
    if (IsStyleCode(text[i])) {
      TakeStyleCode(text, &i, style, &hidden);
      continue;
    }
    if (IsMarkupCode(text[i]) || hidden) continue;
    int advance = GetCharAdvance(engine, slot, size, text[i], style);
    if (advance != 255) width += advance;
  }
  return static_cast<int16_t>(width);
}

uint16_t HitTestText(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, uint16_t count, int x,
                     TextStyleState* style) {
  if (!text) return 0;
  int width = 0;
  uint8_t hidden = 0;
  int i = 0;
  for (; i < count && text[i] != 0; ++i) {
    if (IsStyleCode(text[i])) {
      TakeStyleCode(text, &i, style, &hidden);
      continue;
    }
    if (IsMarkupCode(text[i]) || hidden) continue;
    int advance = GetCharAdvance(engine, slot, size, text[i], style);
    width += advance;
    if (width > x) return static_cast<uint16_t>(width - x > advance / 2 ? 2 * i : 2 * i + 1);
  }
  return static_cast<uint16_t>(2 * std::min<int>(i, count));
}

uint16_t FitText(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, int width,
                 TextStyleState* style) {
  if (!text || width <= 0) return 0;
  int used = 0, n = 0;
  uint8_t hidden = 0;
  while (text[n] != 0 && used < width) {
    WCHAR unit = text[n];
    if (IsStyleCode(unit)) {
      int i = n;
      int lineEnd = TakeStyleCode(text, &i, style, &hidden);
      n = i + 1;
      if (lineEnd) break;
      continue;
    }
    ++n;
    if (unit == u'\r') {
      if (text[n] == u'\n') ++n;
      break;
    }
    if (unit == u'\n') break;
    if (IsMarkupCode(unit) || hidden) continue;
    if (unit == u'\t') {
      used = NextTab(used);
      continue;
    }
    used += GetCharAdvance(engine, slot, size, unit, style);
  }
  if (used > width && n > 1) --n;
  return static_cast<uint16_t>(n);
}

uint16_t FindLineBreak(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, int width,
                       TextStyleState* style) {
  if (!text || text[0] == 0 || width <= 0) return 0;
  TextStyleState scratch{};
  if (!style) style = &scratch;
  TextStyleState work = *style;
  int used = 0, n = 0, breakAt = 0;
  bool endedByBreak = false;
  uint8_t hidden = 0;
  while (text[n] != 0 && used < width) {
    WCHAR unit = text[n];
    if (IsStyleCode(unit)) {
      int i = n;
      int lineEnd = TakeStyleCode(text, &i, &work, &hidden);
      n = i + 1;
      if (lineEnd) {
        endedByBreak = true;
        break;
      }
      continue;
    }
    ++n;
    if (IsMarkupCode(unit) || hidden) continue;
    if (unit == u'\r') {
      if (text[n] == u'\n') ++n;
      endedByBreak = true;
      break;
    }
    if (unit == u'\n') {
      endedByBreak = true;
      break;
    }
    if (unit == u'\t') {
      used = NextTab(used);
      continue;
    }
    used += GetCharAdvance(engine, slot, size, unit, &work);
    bool isBreak = unit == u' ' || (used < width && IsBreakAfter(unit));
    if (isBreak) {
      breakAt = n;
      *style = work;
    }
  }
  bool exceeded = used > width;
  if (breakAt > 0 && !endedByBreak && (text[n] != 0 || exceeded)) return static_cast<uint16_t>(breakAt);
  if (exceeded && n > 1) --n;
  *style = work;
  return static_cast<uint16_t>(n);
}

void GetLinkAt(DictEngine*, const WCHAR* text, uint16_t position, uint16_t* start, uint16_t* end, WCHAR** target,
               int32_t* id) {
  if (id) *id = -1;
  if (target) *target = nullptr;
  uint16_t linkStart = 0, linkEnd = 0;
  if (!text) {
    if (start) *start = 0;
    if (end) *end = 0;
    return;
  }
  int length = 0;
  while (text[length] != 0) ++length;
  int from = std::min<int>(position, length);
  for (int p = from; p >= 0; --p) {
    WCHAR c = text[p];
    if (c != kStyleLinkStart && c != kStylePlainLinkStart && c != kStyleLinkIdStart && c != kStyleTargetLinkStart)
      continue;
    linkStart = static_cast<uint16_t>(p + 1);
    if (c == kStyleLinkIdStart && text[p + 1] != 0 && text[p + 2] != 0) {
      linkStart = static_cast<uint16_t>(p + 3);
      if (id) *id = static_cast<int32_t>(StylePayload(text[p + 1], text[p + 2]));
    } else if (c == kStyleTargetLinkStart) {
      int q = p + 1;
      while (q < length && text[q] != kStyleTargetEnd) ++q;
      if (q < length) {
        linkStart = static_cast<uint16_t>(q + 1);
        if (target) {
          int units = q - (p + 1);
          auto* block = static_cast<WCHAR*>(LocalAlloc(LPTR, (units + 1) * sizeof(WCHAR)));
          if (block) std::copy(text + p + 1, text + q, block);
          *target = block;
        }
      } else {
        linkStart = static_cast<uint16_t>(length);
      }
    }
    break;
  }
  for (int p = from; p < length; ++p) {
    if (text[p] == kStyleLinkEnd || text[p] == kStyleTargetLinkEnd) {
      linkEnd = static_cast<uint16_t>(p);
      break;
    }
  }
  if (start) *start = linkStart;
  if (end) *end = linkEnd;
}

int DrawStyledText(DictEngine* engine, DrawContext* context, uint16_t slot, uint16_t size, const WCHAR* text,
                   uint16_t count, int x, int y, int height, TextStyleState* style, ColorWord textColor,
                   ColorWord background) {
  TrueTypeEngine* tt = GetSlotTrueTypeEngine(engine, slot);
  if (!tt) return 0;
  return DrawTrueTypeText(engine, context, tt, size, text, count, x, y, height, style, textColor, background);
}

int DrawStyledChar(DictEngine* engine, DrawContext* context, uint16_t slot, uint16_t size, WCHAR character, int x,
                   int y, int height, TextStyleState* style) {
  WCHAR text[1] = {character};
  return DrawStyledText(engine, context, slot, size, text, 1, x, y, height, style, kColorStaticText,
                        kColorWhite | kColorStaticText);
}
