// Checks that the installed font list, taken as a whole in the program's
// order, covers everything the program writes into display text that is
// neither ASCII nor Han: through the program's own FindGlyph, in regular
// and in bold, so that the check sees the file choice the screen will make.
#pragma once

#include <string>
#include <vector>

namespace devicedata {

// The characters the list must cover: the pinyin tone letters and u-umlaut,
// the zhuyin letters and tone marks, U+00B7, U+2026, U+223C, the superscript
// homograph digits, the section marks 1-20 and the Latin-1 keys of the
// German and French keyboards.
std::u16string CoverageCharacters();

// 0 when every character has a glyph in some file of `devicePaths` (UTF-8
// device paths, in the program's order), in regular and in bold; otherwise
// 1 with the missing characters listed in `error` (or why the check could
// not run). `files` receives how many of the paths opened as fonts.
int CheckFontCoverage(const std::vector<std::string>& devicePaths, int* files, std::string* error);

}  // namespace devicedata
