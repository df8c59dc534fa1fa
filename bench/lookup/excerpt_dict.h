// A small dictionary data file written by tools/databuild from rows in the
// column layout of the committed CC-CEDICT excerpt (traditional, simplified,
// pinyin, definitions separated by "/"), for running the benchmark where the
// device data has not been built.
#pragma once

#include <string>

namespace lookupbench {

// Writes the dictionary of the TSV file at `tsvPath` to `dataPath`: 0, or 1
// with a message.
int WriteExcerptDict(const std::string& tsvPath, const std::string& dataPath, std::string* error);

}  // namespace lookupbench
