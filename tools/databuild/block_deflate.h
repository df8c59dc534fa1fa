// zlib compression of block record data. The reader inflates with a window
// of 2^14 bytes, so streams are made with that window. A finished stream
// ends with its final block and checksum; an unfinished one stops after a
// sync flush (the reader's single inflate call then reports Z_OK).
#pragma once

#include "tools/databuild/byte_sink.h"

namespace databuild {

constexpr int kBlockWindowBits = 14;

enum class ZlibEnd { Unfinished, Finished };

// Returns 0, or 1 when zlib fails.
int DeflateBlock(const ByteVec& data, ZlibEnd end, ByteVec* out);

}  // namespace databuild
