#include "app/app_handwriting.h"

#include "app/app_file_search.h"
#include "platform/heap.h"
#include "platform/library.h"
#include "platform/msgbox.h"

HwrEngineHandle* FillingHwrEngine = nullptr;

namespace {

// The recogniser's flag bits (recognizer/recognizer.h): the simplified and
// traditional groups, each with its rare characters.
constexpr uint32_t kHwrSimplified = 0x1;
constexpr uint32_t kHwrRareSimplified = 0x2;
constexpr uint32_t kHwrTraditional = 0x4;
constexpr uint32_t kHwrRareTraditional = 0x8;

constexpr uint16_t kFirstKeptCode = 0x3400;
constexpr uint16_t kEndKeptCode = 0xD800;  // surrogates, private use and above are not characters to look up

void CopyPath(WCHAR* field, const WCHAR* path) {
  uint32_t i = 0;
  for (; i + 1 < kHwrPathUnits && path[i]; ++i) field[i] = path[i];
  field[i] = 0;
}

}  // namespace

uint32_t TryLoadHandwritingEngine(const WCHAR* path, uint16_t) {
  HwrEngineHandle* engine = FillingHwrEngine;
  if (!engine) return 0;
  HMODULE module = LoadLibraryW(path);
  if (module) {
    auto recognize = reinterpret_cast<HWRecognizeProc>(GetProcAddressW(module, u"HWRecognize"));
    if (recognize) {
      engine->module = module;
      engine->recognize = recognize;
      return 0;
    }
    // A library without the export is no recogniser: count it as missing.
    FreeLibrary(module);
  }
  CopyPath(engine->path, path);
  return 1;
}

HwrEngineHandle* OpenHandwritingEngine() {
  auto* engine = static_cast<HwrEngineHandle*>(LocalAlloc(LPTR, sizeof(HwrEngineHandle)));
  if (!engine) return nullptr;
  FillingHwrEngine = engine;
  FileSearchRow row = {0, u"Quillet.dll", TryLoadHandwritingEngine, 0, 0};
  DiscoverFiles(&row, 1);
  FillingHwrEngine = nullptr;
  if (!engine->module) {
    LocalFree(engine);
    return nullptr;
  }
  return engine;
}

void CloseHandwritingEngine(HwrEngineHandle* engine) {
  if (!engine) return;
  if (engine->module) FreeLibrary(engine->module);
  LocalFree(engine);
}

uint32_t HandwritingFlags(int simplified, int traditional, int rare) {
  if (!simplified && !traditional) simplified = traditional = rare = 1;
  uint32_t flags = 0;
  if (simplified) flags |= kHwrSimplified;
  if (simplified && rare) flags |= kHwrRareSimplified;
  if (traditional) flags |= kHwrTraditional;
  if (traditional && rare) flags |= kHwrRareTraditional;
  return flags;
}

uint16_t RecognizeHandwriting(HwrEngineHandle* engine, const int16_t* ink, uint32_t pointCount, const RECT*,
                              uint16_t* out, uint32_t maximum, int simplified, int traditional, int rare) {
  if (pointCount == 0 || !engine || !engine->recognize) return 0;
  const uint32_t n = maximum < kHwrAskedCandidates ? maximum : kHwrAskedCandidates;
  for (uint32_t i = 0; i < n; ++i) out[i] = 0;
  const int result = engine->recognize(ink, out, static_cast<int>(n), HandwritingFlags(simplified, traditional, rare));
  // Only the low 16 bits count, and never more than was asked for: the
  // buffer beyond n belongs to the caller.
  uint32_t reported = static_cast<uint16_t>(result);
  if (reported > n) reported = n;
  uint16_t kept = 0;
  for (uint32_t i = 0; i < reported; ++i)
    if (out[i] >= kFirstKeptCode && out[i] < kEndKeptCode) out[kept++] = out[i];
  engine->count = kept;
  return kept;
}

void ShowNoHandwritingEngineMessage(HWND owner) {
  MessageBoxW(owner,
              u"Cannot access the handwriting recognition engine; please make sure that you've installed the file "
              u"\"Quillet.dll\" to your handheld's internal memory (the installer should have put it there by "
              u"default).",
              u"No Handwriting Recognizer", MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST);
}
