#include "platform/menu_text.h"

#include "platform/dialog_text.h"

std::u16string MenuPlainText(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') {
        out += u'&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

int MenuTextHeight() { return DialogFontLineHeight(); }

int MenuTextWidth(std::u16string_view text) {
  std::u16string plain = MenuPlainText(text);
  return DialogTextWidth(plain.c_str(), static_cast<int>(plain.size()));
}

void MenuDrawText(HDC dc, int x, int y, std::u16string_view text, COLORREF color) {
  std::u16string plain = MenuPlainText(text);
  int n = static_cast<int>(plain.size());
  RECT r{x, y, x + DialogTextWidth(plain.c_str(), n) + 1, y + DialogFontLineHeight()};
  COLORREF oldColor = SetTextColor(dc, color);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, plain.c_str(), n, &r, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColor);
}
