// Runs whole conversions over arbitrary bytes: one input holds a
// dictionary file and a user data file (a u32 little-endian length of the
// first, then the first, then the second), each offered as a container
// and as a bundle, and the set is converted to XML twice, between them
// with every option: once frequency-adjusted with the card lists, once
// repetition-spaced with the user entries only. Nothing a file holds may
// make the conversion read out of bounds, loop for ever or leak, and what
// it writes must be whole UTF-8 in blocks of at most 16384 bytes.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "converter/converter_xml.h"
#include "converter/firstgen_dict_set.h"
#include "tests/fuzz/firstgen_input.h"

using namespace converter;

namespace {

// Bytes of the UTF-8 sequence that `lead` starts; 0 for a byte that cannot
// start one.
uint32_t SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Every block holds whole characters: the writer never splits one.
int CheckBlock(void*, const uint8_t* bytes, uint32_t length) {
  if (length == 0 || length > kConverterBlockSize) std::abort();
  for (uint32_t i = 0; i < length;) {
    const uint32_t n = SequenceLength(bytes[i]);
    if (n == 0 || i + n > length) std::abort();
    for (uint32_t k = 1; k < n; ++k)
      if ((bytes[i + k] & 0xC0) != 0x80) std::abort();
    i += n;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UsePrivateDeviceRoot();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  RecordCache* cache = NewRecordCache();
  if (!cache) return 0;
  FirstGenDictSet set{};
  if (!fuzz::OfferFirstGenInput(data, size, cache, &set)) {
    FreeRecordCache(cache);
    return 0;
  }
  const ConverterOutput output{CheckBlock, nullptr, nullptr};
  for (int pass = 0; pass < 2; ++pass) {
    ExportOptions options{};
    for (uint32_t i = kOptionFreeDefinitions; i <= kOptionFlagCategories; ++i) options.bytes[i] = 1;
    options.bytes[pass == 0 ? kOptionRankSpaced : kOptionRankFrequency] = 0;
    if (pass == 0) options.bytes[kOptionEntriesOnly] = 0;
    uint32_t cards = 0;
    WriteConverterXml(&set, &options, u"fuzz", &output, &cards);
  }
  CloseFirstGenDictSet(&set);
  FreeRecordCache(cache);
  return 0;
}
