// The reader over a long text: a 30 MB UTF-8 text made of a dictionary's
// headwords and one-line definitions, read page by page. Per page it times
// MoveReaderWindow (the page turn) and ReaderTapLookup at the page's first
// CJK character (the tap a reader makes), and reports the median and 95th
// percentile of each, the reads the source saw, and the bytes the document
// holds besides the engine.
//
// Usage: bench_reader [dictionary.pdb]. Without an argument it takes
// "$SORVI_ROOT/Program Files/Sorvi/s2cedict.pdb" when that exists, else a
// dictionary written from the CC-CEDICT excerpt of the tests. The device
// folder is only read: the benchmark runs in a device root of its own.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/reader_document.h"
#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/lookup_services.h"
#include "engine/mem_handle.h"
#include "engine/search_results.h"
#include "engine/string_utils.h"
#include "engine/utf8.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "resources/resources.h"
#include "tools/databuild/cedict_entry.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/dict_tables.h"

namespace {

namespace db = databuild;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kTextBytes = 30u * 1024 * 1024;
constexpr int64_t kPageBytes = 2000;  // about a 480 x 640 screen of mixed text

struct Memory {
  std::string bytes;
  uint64_t reads = 0, bytesRead = 0;
  static uint32_t Proc(void* context, void* buffer, uint32_t offset, uint32_t count) {
    auto* m = static_cast<Memory*>(context);
    ++m->reads;
    if (offset >= m->bytes.size()) return 0;
    const uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(m->bytes.size() - offset));
    std::memcpy(buffer, m->bytes.data() + offset, n);
    m->bytesRead += n;
    return n;
  }
};

bool WriteExcerptDictionary(const fs::path& path) {
  db::DictionarySpec dict = db::CedictDictionary();
  dict.info.dictId = 1;
  dict.info.shortName = u"Excerpt";
  dict.info.menuName = u"Excerpt";
  std::ifstream in(READER_FIXTURE_TSV);
  for (db::CedictRow& r : db::ReadCedictTsv(in)) {
    db::DictEntrySpec entry;
    std::string error;
    if (db::MakeCedictEntry(r, &entry, &error) == 0) dict.entries.push_back(entry);
  }
  db::DataFileSpec file;
  file.shortName = dict.info.shortName;
  std::string error;
  if (db::AddDictionaryTables(dict, &file, &error) != 0) return false;
  return db::WriteDataFile(file, path.string(), &error) == 0;
}

// Headwords and one-line definitions, cycled until the text is 30 MB.
std::string MakeText(DictEngine* engine) {
  std::string text;
  text.reserve(kTextBytes + 4096);
  const uint32_t entries = GetDictEntryCount(engine, 0);
  MemHandle* handle = NewMemHandle(256);
  std::vector<char> utf8;
  for (uint32_t e = 0; text.size() < kTextBytes && entries; e = (e + 1) % entries) {
    WCHAR head[64] = {};
    FetchEntryPart(engine, 0, e, head, 64, 0, 0);
    FormatEntryText(engine, handle, 0, e, 0, 2);
    std::u16string line = head;
    line += u" ";
    line += static_cast<const char16_t*>(LockMemHandle(handle));
    UnlockMemHandle(handle);
    std::vector<WCHAR> clean(line.begin(), line.end());
    clean.push_back(0);
    StripFormatCodes(clean.data());
    StripHighUnits(clean.data());
    const uint32_t bytes = Utf8Length(clean.data(), 0xFFFFFFFFu, false);
    utf8.assign(bytes + 1, 0);
    uint32_t written = 0;
    WideToUtf8(clean.data(), utf8.data(), bytes + 1, 0xFFFFFFFFu, &written, false);
    text.append(utf8.data(), written);
    text += "\n";
  }
  FreeMemHandle(handle);
  text.resize(std::min(text.size(), kTextBytes));
  return text;
}

struct Stats {
  double median, p95;
};
Stats Summarise(std::vector<double> us) {
  if (us.empty()) return {0, 0};
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 95 / 100)]};
}

}  // namespace

int main(int argc, char** argv) {
  RegisterSorviResources();
  fs::path source;
  if (argc > 1) {
    source = argv[1];
  } else if (const char* root = std::getenv("SORVI_ROOT")) {
    source = fs::path(root) / "Program Files" / "Sorvi" / "s2cedict.pdb";
  }
  char temp[] = "/tmp/bench-reader-XXXXXX";
  if (!mkdtemp(temp)) return 1;
  const fs::path root = temp;
  SetDeviceRoot(root.c_str());
  std::string dictionaryName = "CC-CEDICT excerpt";
  std::error_code ec;
  if (!source.empty() && fs::exists(source)) {
    fs::create_symlink(fs::absolute(source), root / "dict.pdb", ec);
    dictionaryName = source.string();
  }
  if (source.empty() || !fs::exists(source) || ec) {
    if (!WriteExcerptDictionary(root / "dict.pdb")) return 1;
  }
  HANDLE h = CreateFileW(u"\\dict.pdb", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  int kind = 0;
  DbFile* file = h == INVALID_HANDLE_VALUE ? nullptr : OpenDbFile(h, u"\\dict.pdb", &kind);
  EngineParams params{};
  params.noFonts = 1;
  params.noFlashcards = 1;
  params.scaleNumerator = 3;
  params.scaleDenominator = 3;
  DictEngine* engine = file ? CreateEngine(&file, 1, &params) : nullptr;
  if (!engine || GetDictCount(engine) == 0) {
    std::fprintf(stderr, "no dictionary could be opened\n");
    return 1;
  }

  Memory memory;
  memory.bytes = MakeText(engine);
  ReaderSettings request{};
  request.source = kReaderSourceMemory;
  request.encoding = kReaderUtf8;
  ReaderDocument* doc = OpenReaderDocument(engine, &request, u"Bench", nullptr, Memory::Proc, &memory, nullptr,
                                           static_cast<uint32_t>(memory.bytes.size()), 0);
  if (!doc) return 1;
  GoToStartPosition(doc);

  std::vector<double> moves, taps;
  uint32_t found = 0, maxResults = 0;
  for (int64_t target = 0; target < static_cast<int64_t>(memory.bytes.size()); target += kPageBytes) {
    const auto t0 = Clock::now();
    MoveReaderWindow(doc, target, 0, 1, 0, nullptr);
    const auto t1 = Clock::now();
    moves.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    int32_t p = doc->positionChar;
    while (p < doc->textLength && !(doc->text[p] >= 0x3400 && doc->text[p] <= 0xD7FF)) ++p;
    if (p >= doc->textLength) continue;
    const auto t2 = Clock::now();
    found += ReaderTapLookup(doc, p, p, 0) == 0 ? 1 : 0;
    const auto t3 = Clock::now();
    taps.push_back(std::chrono::duration<double, std::micro>(t3 - t2).count());
    if (doc->results) maxResults = std::max(maxResults, doc->results->capacity);
  }
  // What the document holds: the object, the raw window and its decoded
  // text (UTF-8 keeps them apart), the bookmark slots, the largest result
  // list.
  const size_t held = sizeof(ReaderDocument) + (kReaderWindowBytes + 1) + 2 * (kReaderWindowBytes + 1) +
                      kBookmarkCapacity * sizeof(Bookmark) + sizeof(SearchResultList) +
                      maxResults * sizeof(SearchResultItem);
  const Stats m = Summarise(moves), t = Summarise(taps);
  std::printf("reader benchmark: %s, %zu bytes of UTF-8 text, pages of %lld bytes\n", dictionaryName.c_str(),
              memory.bytes.size(), static_cast<long long>(kPageBytes));
  std::printf("| operation | count | median (us) | 95th percentile (us) |\n|---|---|---|---|\n");
  std::printf("| MoveReaderWindow (one page) | %zu | %.2f | %.2f |\n", moves.size(), m.median, m.p95);
  std::printf("| ReaderTapLookup (first CJK char of the page) | %zu | %.2f | %.2f |\n", taps.size(), t.median, t.p95);
  std::printf("words found: %u of %zu taps; source reads: %llu (%llu bytes, %.2f x the text)\n", found, taps.size(),
              static_cast<unsigned long long>(memory.reads), static_cast<unsigned long long>(memory.bytesRead),
              static_cast<double>(memory.bytesRead) / static_cast<double>(memory.bytes.size()));
  std::printf("bytes held by the document besides the engine: %zu\n", held);

  CloseReaderDocument(doc);
  FreeEngineSaveBlock(DestroyEngine(engine));
  CloseDbFile(file);
  fs::remove_all(root, ec);
  return 0;
}
