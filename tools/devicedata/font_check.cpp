#include "tools/devicedata/font_check.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>

namespace devicedata {

int CheckFontFile(const std::string& path, const std::u16string& mustHave, FontInfo* info, std::string* error) {
  auto fail = [&](const std::string& msg) {
    if (error) *error = msg;
    return 1;
  };
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) return fail("FreeType cannot start");
  FT_Face face = nullptr;
  int result = 0;
  if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) {
    result = fail("FreeType cannot open the font");
  } else if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
    result = fail("the font has no Unicode character map");
  } else {
    for (char16_t c : mustHave) {
      if (FT_Get_Char_Index(face, c) == 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(c));
        result = fail(std::string("the font has no glyph for ") + hex);
        break;
      }
    }
    if (result == 0 && info) {
      info->family = face->family_name ? face->family_name : "";
      info->style = face->style_name ? face->style_name : "";
      info->faces = face->num_faces;
      info->glyphs = face->num_glyphs;
    }
  }
  if (face) FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return result;
}

}  // namespace devicedata
