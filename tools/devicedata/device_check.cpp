#include "tools/devicedata/device_check.h"

#include <cstring>
#include <filesystem>

#include "engine/audio_index.h"
#include "engine/code_pages.h"
#include "engine/data_file_db.h"
#include "engine/data_resources.h"
#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/record_cache.h"
#include "engine/stroke_index.h"
#include "engine/text_encoding.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/heap.h"

namespace devicedata {

namespace {

int Fail(std::string* error, const std::string& msg);

}  // namespace

int FileEngine::Open(const std::string& path, std::string* error, bool withEngine) {
  const std::filesystem::path p(path);
  SetDeviceRoot(p.parent_path().c_str());
  ClearOpenFileCache();
  const std::u16string device = u"\\" + Utf8ToUtf16(p.filename().string());
  HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(device.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(error, "the reader cannot open the file");
  int kind = 0;
  file = OpenDbFile(h, reinterpret_cast<LPCWSTR>(device.c_str()), &kind);
  if (!file) return Fail(error, "the reader refuses the container");
  if (!withEngine) return 0;
  EngineParams params{};
  params.noFonts = 1;
  params.noFlashcards = 1;
  params.scaleNumerator = 3;
  params.scaleDenominator = 3;
  engine = CreateEngine(&file, 1, &params);
  if (!engine) return Fail(error, "the engine cannot be created over the file");
  return 0;
}

FileEngine::~FileEngine() {
  FreeEngineSaveBlock(DestroyEngine(engine));
  if (file) CloseDbFile(file);
  SetDeviceRoot(nullptr);
}

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

// A bare engine over the one file, as the resource loaders see it at start-up.
struct CheckEngine {
  DictEngine* engine = nullptr;

  FileEngine opened;  // the file only

  int Open(const std::string& path, std::string* error) {
    if (opened.Open(path, error, false) != 0) return 1;
    engine = static_cast<DictEngine*>(LocalAlloc(LPTR, sizeof(DictEngine)));
    if (!engine) return Fail(error, "out of memory");
    engine->cache = NewRecordCache(0);
    engine->preferences = NewDefaultPreferences();
    DataFileDb* db = OpenDataFileDb(opened.file, engine->cache);
    if (!db) return Fail(error, "the reader refuses the data file");
    engine->readers[engine->readerCount++] = db;
    return 0;
  }

  ~CheckEngine() {
    if (engine) {
      FreeDataResources(engine);
      FreeCodePages(engine);
      for (uint32_t i = 0; i < engine->readerCount; ++i) CloseDataFileDb(engine->readers[i]);
      if (engine->cache) FreeRecordCache(engine->cache);
      if (engine->preferences) FreePreferenceBlock(engine->preferences);
      LocalFree(engine);
    }
  }
};

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "U+%04X", v);
  return b;
}

}  // namespace

int CheckStrokeFile(const std::string& path, const databuild::StrokeIndexSpec& index, std::string* error) {
  CheckEngine ce;
  if (ce.Open(path, error) != 0) return 1;
  if (LoadDataResources(ce.engine) != 0) return Fail(error, "the engine cannot load the resources");
  if (IsAuxIndexPresent(ce.engine) != 1) return Fail(error, "the engine finds no stroke index");
  for (const databuild::StrokeRecord& r : index.records) {
    if (IsCodeMissingFromAuxIndex(ce.engine, r.code)) return Fail(error, Hex(r.code) + " has no stroke record");
    if (LoadAuxIndexRecord(ce.engine, r.code, index.designWidth, index.designHeight) != 0) {
      return Fail(error, Hex(r.code) + ": the stroke record cannot be read");
    }
    uint32_t count = 0;
    const uint16_t* items = GetAuxIndexRecord(ce.engine, &count);
    if (!items || count != r.items.size() || std::memcmp(items, r.items.data(), count * 2) != 0) {
      return Fail(error, Hex(r.code) + ": the stroke record reads back different");
    }
  }
  return 0;
}

int CheckAudioFile(const std::string& path, const databuild::AudioGroupSpec& group, std::string* error) {
  CheckEngine ce;
  if (ce.Open(path, error) != 0) return 1;
  if (LoadDataResources(ce.engine) != 0) return Fail(error, "the engine cannot load the resources");
  if (GetSyllableIndexGroupCount(ce.engine) != 1) return Fail(error, "the engine finds no syllable group");
  if (IsSyllableIndexGroupComplete(ce.engine, 0) != 1) return Fail(error, "the syllable group lacks clip tables");
  if (GetSyllableIndexGroupKind(ce.engine, 0) != group.kind) return Fail(error, "the group's kind reads back different");
  MemHandle* h = NewMemHandle(64);
  if (!h) return Fail(error, "out of memory");
  int result = 0;
  for (const databuild::SyllableClip& c : group.clips) {
    std::u16string key = c.key;
    uint32_t size = 0;
    const int r = LookupSyllableClip(ce.engine, 0, reinterpret_cast<const WCHAR*>(key.c_str()), nullptr, h, &size);
    if (r != kClipFound) {
      result = Fail(error, "clip " + Hex(key[0]) + " not found (" + std::to_string(r) + ")");
      break;
    }
    const void* data = LockMemHandle(h);
    const bool same = size == c.data.size() && data && std::memcmp(data, c.data.data(), size) == 0;
    UnlockMemHandle(h);
    if (!same) {
      result = Fail(error, "clip " + Hex(key[0]) + " reads back different");
      break;
    }
  }
  FreeMemHandle(h);
  return result;
}

int CheckCodePageFile(const std::string& path, const std::vector<databuild::CodePageData>& pages,
                      std::string* error) {
  CheckEngine ce;
  if (ce.Open(path, error) != 0) return 1;
  LoadCodePages(ce.engine, ce.engine->readers, ce.engine->readerCount);
  for (const databuild::CodePageData& page : pages) {
    // The engine numbers the encodings one below the code-page ids.
    const uint32_t encoding = page.id - 1;
    const bool gb = page.id == databuild::kCodePageGb2312;
    for (std::size_t g = 0; g < page.toUnicode.size(); ++g) {
      const char16_t u = page.toUnicode[g];
      if (u == databuild::kCodePageUnassigned) continue;
      const uint32_t row = static_cast<uint32_t>(g / (gb ? 94 : 157)), col = static_cast<uint32_t>(g % (gb ? 94 : 157));
      char bytes[3] = {static_cast<char>(0xA1 + row),
                       static_cast<char>(gb ? 0xA1 + col : (col < 63 ? 0x40 + col : 0x62 + col)), 0};
      WCHAR out[4] = {};
      uint32_t length = 2, written = 0;
      if (DecodeTextToWide(ce.engine, encoding, bytes, out, 4, &length, &written) != 0 || written != 2 ||
          out[0] != u) {
        return Fail(error, "code page " + std::to_string(page.id) + ": code " + std::to_string(g) +
                               " decodes different");
      }
      // Characters of the table's range encode back (some code pages map
      // two codes to one character: the encoder's code must decode to it).
      if (u < databuild::kCodePageFirstHan || u > databuild::kCodePageLastHan) continue;
      const WCHAR text[2] = {u, 0};
      char enc[4] = {};
      written = 0;
      if (EncodeWideText(ce.engine, encoding, text, enc, sizeof enc, 2, &written) != 0 || written != 2) {
        return Fail(error, "code page " + std::to_string(page.id) + ": " + Hex(u) + " does not encode");
      }
      WCHAR back[4] = {};
      length = 2;
      if (DecodeTextToWide(ce.engine, encoding, enc, back, 4, &length, &written) != 0 || back[0] != u) {
        return Fail(error, "code page " + std::to_string(page.id) + ": " + Hex(u) + " does not encode back");
      }
    }
  }
  return 0;
}

}  // namespace devicedata
