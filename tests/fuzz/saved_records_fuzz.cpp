// Feeds arbitrary bytes to the engine and the lookup session as their saved
// records "Engine", "Dicts", "RecentQueries" and "RecentEntries", over a
// small fixed dictionary: the engine and session are made from them, used
// (search, history, recent lists) and destroyed, which writes the records
// again. Nothing a saved record holds may make them read out of bounds,
// loop forever or leak.
//
// Input: the four records in that order, each as a 16-bit little-endian
// length and that many bytes (a record cut short by the input's end is what
// is left of it; length 0 is a missing record).
#include <cstdint>
#include <string>
#include <vector>

#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "platform/files.h"
#include "resources/resources.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/saved_records_dictionary.h"

namespace {

const char16_t kDevicePath[] = u"\\Program Files\\Sorvi\\records.pdb";

MemHandle* NextRecord(const uint8_t*& data, size_t& size) {
  if (size < 2) {
    size = 0;
    return nullptr;
  }
  size_t length = data[0] | (data[1] << 8);
  data += 2;
  size -= 2;
  if (length > size) length = size;
  MemHandle* record = length ? NewMemHandleFromCopy(data, static_cast<uint32_t>(length)) : nullptr;
  data += length;
  size -= length;
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string root = fuzz::UsePrivateDeviceRoot();
  RegisterSorviResources();
  const std::vector<uint8_t> file = fuzz::RecordsDictionaryFile();
  fuzz::WriteBytes(root + "/Program Files/Sorvi/records.pdb", file.data(), file.size());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HANDLE h =
      CreateFileW(kDevicePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int kind = 0;
  DbFile* file = OpenDbFile(h, kDevicePath, &kind);
  if (!file) return 0;
  EngineParams params{};
  params.engineRecord = NextRecord(data, size);
  params.dictsRecord = NextRecord(data, size);
  params.noFonts = 1;
  params.noFlashcards = 1;
  params.scaleNumerator = 3;
  params.scaleDenominator = 3;
  LookupSessionParams sessionParams{};
  sessionParams.recentQueries = NextRecord(data, size);
  sessionParams.recentEntries = NextRecord(data, size);
  DictEngine* engine = CreateEngine(&file, 1, &params);
  FreeMemHandle(params.engineRecord);
  FreeMemHandle(params.dictsRecord);
  LookupSession* session = engine ? NewLookupSession(engine, &sessionParams) : nullptr;
  if (session) {
    for (const char16_t* query : {u"hao", u"你好", u"hello"}) {
      LookupSearchFor(session, query, 0);
      if (MemHandle* text = NewMemHandle(2)) {
        LookupFormatCurrentEntry(session, text, 0);
        FreeMemHandle(text);
      }
    }
    LookupHistoryBlobs blobs = DestroyLookupSession(session, 1);
    FreeMemHandle(blobs.recentQueries);
    FreeMemHandle(blobs.recentEntries);
  } else {
    // Not adopted by a session.
    FreeMemHandle(sessionParams.recentQueries);
    FreeMemHandle(sessionParams.recentEntries);
  }
  if (engine) FreeEngineSaveBlock(DestroyEngine(engine));
  CloseDbFile(file);
  return 0;
}
