// The text description that sorvi-databuild turns into a data file (the
// format is documented in tools/databuild/README.md). One directive per
// line; `name=value` attributes; quoted values take escapes.
#pragma once

#include <string>
#include <string_view>

#include "tools/databuild/data_file_builder.h"

namespace databuild {

// Returns 0 and the described file, or 1 with "line N: ..." in `error`.
int ParseDataFileDescription(std::string_view text, DataFileSpec* desc, std::string* error);

}  // namespace databuild
