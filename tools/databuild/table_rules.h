// Whole-file rules of the typed tables that the reader relies on without
// checking (a file that breaks one reads as if the table were missing):
// - a 0x7010 or 0x9010 table is table 0 of its file (so a file holds at most
//   one of them);
// - a 0x7010 table's info word 4 is 512 and its info area holds a clip-list
//   descriptor for each list; its key texts have at most 19 units and its
//   first-key texts leave out the two leading words (indexTextSkip 2);
// - a 0x9010 table's info word 1 is 1 and its design width and height are
//   not 0;
// - a 0x5110 table comes after the 0x5000 table of the same id when the file
//   holds both;
// - a 0x1100 table's subtable record 0 is the 8,192-byte entry bitmap;
// - a 0x1000 info area is a whole DictInfoHeader (its counts fit), and so is
//   the first 0x1010's when the first 0x1000 flags a secondary table;
// - group tables (0x2000-0x2020): at most 31, among them a 0x2000 table of
//   version below 2 whose info area has at least 5 words.
// The typed builders keep these rules; the command checks every file it
// writes; tests that want a faulty file build it without this check.
#pragma once

#include <string>

#include "tools/databuild/data_file_builder.h"

namespace databuild {

// Returns 0, or 1 with the broken rule in `error`.
int CheckDataFileRules(const DataFileSpec& desc, std::string* error);

}  // namespace databuild
