#include "tools/firstgen/bytes.h"

namespace firstgen {

void PutBe(Bytes* b, size_t offset, uint32_t width, uint32_t value) {
  if (b->size() < offset + width) b->resize(offset + width);
  for (uint32_t i = 0; i < width; ++i) (*b)[offset + i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
}

void PutLe(Bytes* b, size_t offset, uint32_t width, uint32_t value) {
  if (b->size() < offset + width) b->resize(offset + width);
  for (uint32_t i = 0; i < width; ++i) (*b)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void AppendBe(Bytes* b, uint32_t width, uint32_t value) { PutBe(b, b->size(), width, value); }
void AppendLe(Bytes* b, uint32_t width, uint32_t value) { PutLe(b, b->size(), width, value); }

void PutText(Bytes* b, size_t offset, const std::string& text) {
  if (b->size() < offset + text.size()) b->resize(offset + text.size());
  for (size_t i = 0; i < text.size(); ++i) (*b)[offset + i] = static_cast<uint8_t>(text[i]);
}

std::u16string Utf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    const uint8_t c = static_cast<uint8_t>(s[i]);
    uint32_t cp = c, extra = 0;
    if (c >= 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    }
    ++i;
    for (uint32_t k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (static_cast<uint8_t>(s[i]) & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

}  // namespace firstgen
