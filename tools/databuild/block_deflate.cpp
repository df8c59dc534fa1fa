#include "tools/databuild/block_deflate.h"

#include <zlib.h>

namespace databuild {

int DeflateBlock(const ByteVec& data, ZlibEnd end, ByteVec* out) {
  z_stream s{};
  if (deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, kBlockWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return 1;
  }
  out->clear();
  s.next_in = const_cast<Bytef*>(data.data());
  s.avail_in = static_cast<uInt>(data.size());
  const int flush = end == ZlibEnd::Finished ? Z_FINISH : Z_SYNC_FLUSH;
  std::uint8_t chunk[4096];
  int rc;
  do {
    s.next_out = chunk;
    s.avail_out = sizeof chunk;
    rc = deflate(&s, flush);
    if (rc == Z_STREAM_ERROR) {
      deflateEnd(&s);
      return 1;
    }
    out->insert(out->end(), chunk, chunk + (sizeof chunk - s.avail_out));
    // A sync flush is complete once deflate leaves output space unused.
  } while (flush == Z_FINISH ? rc != Z_STREAM_END : s.avail_out == 0);
  deflateEnd(&s);
  return 0;
}

}  // namespace databuild
