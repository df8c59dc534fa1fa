// UTF-16 text in failure messages.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/device_paths.h"

// ASCII as it is, everything else as \uXXXX: shows private-use markup and
// look-alike characters for what they are.
inline std::string ShowUtf16(std::u16string_view s) {
  std::string o;
  for (char16_t c : s) {
    if (c >= 0x20 && c < 0x7F) {
      o += static_cast<char>(c);
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04X", static_cast<unsigned>(c));
      o += b;
    }
  }
  return o;
}

// As UTF-8, for readable Chinese; "<null>" for a null pointer.
inline std::string Utf8Of(const char16_t* s) { return s ? Utf16ToUtf8(s) : std::string("<null>"); }
inline std::string Utf8Of(std::u16string_view s) { return Utf16ToUtf8(s); }
