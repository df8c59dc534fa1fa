#include "tools/databuild/byte_sink.h"

namespace databuild {

void AppendU8(ByteVec& out, std::uint8_t v) { out.push_back(v); }

void AppendU16LE(ByteVec& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void AppendU32LE(ByteVec& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void AppendU16BE(ByteVec& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void AppendU32BE(ByteVec& out, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void AppendBytes(ByteVec& out, const ByteVec& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

void AppendZeros(ByteVec& out, std::size_t n) { out.insert(out.end(), n, 0); }

void PadTo(ByteVec& out, std::size_t alignment) {
  while (out.size() % alignment != 0) out.push_back(0);
}

void PutU16LE(ByteVec& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32LE(ByteVec& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutU32BE(ByteVec& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
}

void PutUtf16LE(ByteVec& out, std::size_t at, std::u16string_view text, std::size_t maxUnits) {
  for (std::size_t i = 0; i < text.size() && i < maxUnits; ++i) PutU16LE(out, at + 2 * i, text[i]);
}

void AppendUtf16LE(ByteVec& out, std::u16string_view text) {
  for (char16_t c : text) AppendU16LE(out, c);
}

std::uint16_t GetU16LE(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t GetU32LE(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t GetU16BE(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

std::uint32_t GetU32BE(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

bool Utf8ToUtf16(std::string_view in, std::u16string* out) {
  out->clear();
  std::size_t i = 0;
  while (i < in.size()) {
    auto b0 = static_cast<std::uint8_t>(in[i]);
    std::uint32_t cp;
    std::size_t n;
    if (b0 < 0x80) {
      cp = b0;
      n = 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      cp = b0 & 0x1F;
      n = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      cp = b0 & 0x0F;
      n = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
      cp = b0 & 0x07;
      n = 4;
    } else {
      return false;
    }
    if (i + n > in.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      auto b = static_cast<std::uint8_t>(in[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (cp > 0x10FFFF) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    std::uint32_t cp = in[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace databuild
