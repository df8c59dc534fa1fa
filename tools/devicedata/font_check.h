// Checks a font file as the program will open it: FreeType's face 0 of the
// file (a .ttc collection installed under a .ttf name opens its first face),
// a Unicode character map, and a glyph for each of the given characters.
#pragma once

#include <string>

namespace devicedata {

struct FontInfo {
  std::string family;
  std::string style;
  long faces = 0;   // faces in the file (more than 1 for a collection)
  long glyphs = 0;  // glyphs of face 0
};

// 0, or 1 with the reason (unreadable, no Unicode map, a character missing).
int CheckFontFile(const std::string& path, const std::u16string& mustHave, FontInfo* info, std::string* error);

}  // namespace devicedata
