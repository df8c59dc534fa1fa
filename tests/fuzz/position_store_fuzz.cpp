// Feeds arbitrary bytes to the reader's position store as its file: open
// the store, find, load and save documents of each key kind, close. Nothing
// the file holds may make the store read or write out of bounds, write into
// a record it did not choose, loop or leak.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/reader_position_store.h"
#include "engine/dict_engine.h"
#include "platform/device_paths.h"
#include "platform/heap.h"

namespace {

std::string g_hostFile;

DocumentKey Key(const char16_t* name, uint32_t kind, uint32_t id) {
  DocumentKey k{};
  for (size_t i = 0; name[i] && i + 1 < kDocumentKeyNameChars; ++i) k.name[i] = name[i];
  k.kind = kind;
  k.firstId = id;
  k.secondId = id + 1;
  return k;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static std::string root = std::string(SORVI_FUZZ_TMP) + "/store-root-" + std::to_string(getpid());
  std::filesystem::create_directories(root + "/Program Files/Sorvi");
  std::atexit([] { std::filesystem::remove_all(root); });
  SetDeviceRoot(root.c_str());
  g_hostFile = root + "/Program Files/Sorvi/Sorvi Reader Bookmarks";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* out = std::fopen(g_hostFile.c_str(), "wb");
  if (!out) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);

  static DictEngine engine{};
  OpenReaderPositionStore(&engine);
  const DocumentKey keys[] = {Key(u"a.txt", kKeyTextFile, 0), Key(u"", kKeyDatabaseDocument, 7),
                              Key(u"new.txt", kKeyTextFile, 0), Key(u"", kKeyMemoryText, 0)};
  for (const DocumentKey& key : keys) {
    FindPositionRecord(&engine, &key);
    int isNew = 0;
    FindOrAddPositionRecord(&engine, &key, &isNew);
    Bookmark* slots = nullptr;
    int32_t capacity = 0;
    const int32_t n = LoadDocumentBookmarks(&engine, &key, &slots, &capacity);
    if (!slots) continue;
    // Every slot read must be terminated within its name.
    for (int32_t i = 0; i < n; ++i)
      if (slots[i].name[kBookmarkNameChars - 1] != 0) std::abort();
    SaveDocumentBookmarks(&engine, &key, slots, n + 1);
    LocalFree(slots);
  }
  CloseReaderPositionStore(&engine);
  return 0;
}
