// The XML exchange format imported into flashcards (see
// flash_import_fuzz.h).
#include "tests/fuzz/flash_import_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::ImportEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RunImport(kImportFormatXml, data, size);
}
