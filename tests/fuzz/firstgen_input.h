// The input the first-generation targets share: a u32 little-endian length
// of a dictionary file, that file, then a user data file. Both are written
// into the process's own device root and each is offered to the set as a
// container and as a bundle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "converter/firstgen_dict_set.h"
#include "tests/fuzz/fuzz_support.h"

namespace fuzz {

// False when the input is too short to split or a file cannot be written;
// the set then holds nothing.
inline bool OfferFirstGenInput(const uint8_t* data, size_t size, converter::RecordCache* cache,
                               converter::FirstGenDictSet* set) {
  if (size < 4) return false;
  const std::string& root = UsePrivateDeviceRoot();
  const size_t first = (data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t{data[3]} << 24)) % (size - 3);
  if (!WriteBytes(root + "/dict.bin", data + 4, first) ||
      !WriteBytes(root + "/user.bin", data + 4 + first, size - 4 - first))
    return false;
  for (const char16_t* path : {u"\\dict.bin", u"\\user.bin"}) {
    converter::OfferFirstGenContainer(set, path, cache);
    converter::OfferFirstGenBundle(set, path);
  }
  return true;
}

}  // namespace fuzz
