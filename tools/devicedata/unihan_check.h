// Checks a written character reference ("s2unihan.pdb") through the
// program's own engine: the file opens as one character dictionary, every
// entry reads back with its character and main reading, a sample of the
// characters is found by search (by the character and by its reading,
// 好 with hao3 and hao4 among them when the file has 好; every common
// reading of each sampled character finds it), and the radical table loads
// with every radical's characters, the radical list and the code table as
// written. The file must be the only one in its folder.
#pragma once

#include <string>

#include "tools/devicedata/unihan_file.h"

namespace devicedata {

int CheckUnihanFile(const std::string& path, const UnihanContents& contents, std::string* error);

}  // namespace devicedata
