// Writes a seed corpus for fuzz_saved_records: the four records as an
// engine and a lookup session over the fuzz dictionary write them, framed as
// the target reads its input, and some of them missing.
// Usage: fuzz_saved_records_seeds DIR
#include <cstdio>
#include <filesystem>
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

void Frame(std::vector<uint8_t>* out, MemHandle* record) {
  const uint32_t size = record ? GetMemHandleSize(record) : 0;
  const uint32_t kept = size > 0xFFFF ? 0xFFFF : size;
  out->push_back(static_cast<uint8_t>(kept));
  out->push_back(static_cast<uint8_t>(kept >> 8));
  if (kept) {
    const auto* bytes = static_cast<const uint8_t*>(record->data);
    out->insert(out->end(), bytes, bytes + kept);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_saved_records_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string root = dir + "/.records-root";
  std::filesystem::create_directories(root);
  SetDeviceRoot(root.c_str());
  RegisterSorviResources();
  const std::vector<uint8_t> bytes = fuzz::RecordsDictionaryFile();
  fuzz::WriteBytes(root + "/Program Files/Sorvi/records.pdb", bytes.data(), bytes.size());

  const char16_t path[] = u"\\Program Files\\Sorvi\\records.pdb";
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  int kind = 0;
  DbFile* file = h == INVALID_HANDLE_VALUE ? nullptr : OpenDbFile(h, path, &kind);
  EngineParams params{};
  params.noFonts = 1;
  params.noFlashcards = 1;
  DictEngine* engine = file ? CreateEngine(&file, 1, &params) : nullptr;
  if (!engine) {
    std::fprintf(stderr, "no engine over the fuzz dictionary\n");
    return 1;
  }
  LookupSessionParams sessionParams{};
  sessionParams.freshStart = 1;
  LookupSession* session = NewLookupSession(engine, &sessionParams);
  for (const char16_t* query : {u"hao", u"你好", u"hello", u"zhong1guo2"}) LookupSearchFor(session, query, 0);
  LookupHistoryBlobs blobs = DestroyLookupSession(session, 1);
  EngineSaveBlock* saved = DestroyEngine(engine);
  CloseDbFile(file);

  MemHandle* const all[] = {saved->engineRecord, saved->dictsRecord, blobs.recentQueries, blobs.recentEntries};
  bool ok = true;
  // All four, each alone, and none.
  for (int only = -1; only < 4; ++only) {
    std::vector<uint8_t> seed;
    for (int i = 0; i < 4; ++i) Frame(&seed, only < 0 || only == i ? all[i] : nullptr);
    ok = fuzz::WriteSeed(dir, "records-" + std::to_string(only + 1), seed.data(), seed.size()) && ok;
  }
  ok = fuzz::WriteSeed(dir, "none", "\0\0\0\0\0\0\0\0", 8) && ok;
  FreeMemHandle(blobs.recentQueries);
  FreeMemHandle(blobs.recentEntries);
  FreeEngineSaveBlock(saved);
  std::filesystem::remove_all(root);
  return ok ? 0 : 1;
}
