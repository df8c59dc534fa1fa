// bench_lookup: the lookup benchmark over the device data. In one run it
// times every query class through the program's own lookup path (search
// alone, and search + the first entry's definition text), the same classes
// against an SQLite FTS5 table of the same entries, the engine's creation,
// its peak memory in a process of its own, and the data files' sizes by
// table against the entries written back as CC-CEDICT text; then prints one
// plain-text table with the targets beside the numbers.
//
//   bench_lookup [--root DIR] [--per-class N] [--seed S] [--excerpt TSV] [--show N]
//                [--class NAME] [--repeat N] [--dump FILE] [--query TEXT] [--per-query]
//
// --root: the device root ($SORVI_ROOT, else ~/.local/share/sorvi/device);
// --excerpt: write a dictionary from a CC-CEDICT excerpt TSV into the root
// given (else a temporary one) and measure that instead (a check of the
// benchmark itself); --show: print the first N queries of each class with
// what both sides find, and the first N lines of the raw text; --class:
// time only the class named (its number or its name, e.g. "English word"),
// with no memory children, for profiling; --repeat: time each class's
// queries that many times over; --dump: write every sampled query's result
// list (result flags, slot and entry numbers in order) to FILE and stop, so
// that two builds' results can be compared with diff; --query: time only
// the sampled queries of that text (UTF-8), for profiling one query;
// --per-query: after each class, print every query's median time on both
// sides, with both sides' result counts (the queries behind a p95).
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/lookup/entry_lines.h"
#include "bench/lookup/excerpt_dict.h"
#include "bench/lookup/file_tables.h"
#include "bench/lookup/fts_peer.h"
#include "bench/lookup/query_sampler.h"
#include "engine/data_file_db.h"
#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/lookup_services.h"
#include "engine/mem_handle.h"
#include "engine/search_results.h"
#include "engine/table_cursor.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "resources/resources.h"

namespace {

namespace fs = std::filesystem;
using namespace lookupbench;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kDefaultPerClass = 250;
constexpr uint64_t kDefaultSeed = 20261210;
constexpr int kCreationRuns = 9;
constexpr double kTargetMedianUs = 1000.0;
constexpr double kTargetCreationMs = 50.0;
constexpr double kTargetMemoryMb = 48.0;

double Micros(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::micro>(b - a).count();
}

struct Stats {
  double median = 0;
  double p95 = 0;
};

Stats Summarise(std::vector<double> v) {
  Stats s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  s.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  size_t k = (95 * n + 99) / 100;  // nearest rank
  s.p95 = v[k ? k - 1 : 0];
  return s;
}

// ---- the device data ----

struct DataFiles {
  std::vector<std::string> names;  // relative to the root, '/' separated
  std::vector<DbFile*> files;
};

std::vector<std::string> FindDataFiles(const std::string& root) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".pdb") names.push_back(fs::relative(it->path(), root).generic_string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

DataFiles OpenDataFiles(const std::vector<std::string>& names) {
  DataFiles d;
  ClearOpenFileCache();
  for (const std::string& name : names) {
    std::u16string device = u"\\" + Utf8ToUtf16(name);
    std::replace(device.begin(), device.end(), u'/', u'\\');
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(device.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    int kind = 0;
    if (DbFile* f = OpenDbFile(h, reinterpret_cast<LPCWSTR>(device.c_str()), &kind)) {
      d.names.push_back(name);
      d.files.push_back(f);
    }
  }
  return d;
}

void CloseDataFiles(DataFiles* d) {
  for (DbFile* f : d->files) CloseDbFile(f);
  d->files.clear();
  d->names.clear();
}

EngineParams BenchParams() {
  EngineParams p{};
  p.noFonts = 1;
  p.noFlashcards = 1;
  p.scaleNumerator = 3;
  p.scaleDenominator = 3;
  return p;
}

DictEngine* MakeEngine(const DataFiles& d) {
  EngineParams p = BenchParams();
  return CreateEngine(d.files.data(), static_cast<uint32_t>(d.files.size()), &p);
}

void DropEngine(DictEngine* engine) {
  EngineSaveBlock* block = DestroyEngine(engine);
  if (!block) return;
  if (block->engineRecord) FreeMemHandle(block->engineRecord);
  if (block->dictsRecord) FreeMemHandle(block->dictsRecord);
  LocalFree(block);
}

// The dictionary the queries are drawn from: the Chinese-headword
// dictionary with the most entries that is not a character reference.
uint16_t MainDictionary(DictEngine* engine) {
  uint16_t best = kNoDictSlot;
  uint32_t most = 0;
  for (uint16_t s = 0; s < GetDictCount(engine); ++s) {
    if (GetDictKind(engine, s) != kDictKindBuiltIn || GetDictLanguage(engine, s) != kLanguageChinese ||
        (GetDictFlags(engine, s) & kDictFlagCharDict))
      continue;
    if (GetDictEntryCount(engine, s) > most) {
      most = GetDictEntryCount(engine, s);
      best = s;
    }
  }
  return best;
}

// The data file a built-in slot reads its entries from.
DbFile* SlotFile(DictEngine* engine, uint16_t slot) {
  DictSlot* s = engine->slots[slot];
  if (s->kind != kDictKindBuiltIn || !s->primary || !s->primary->table || !s->primary->table->db) return nullptr;
  return s->primary->table->db->file;
}

// ---- the lookup path ----

// What the lookup session does on a typed query (in the current
// dictionary's language, no options) and on showing an entry (its
// definition text).
struct Lookup {
  DictEngine* engine;
  uint16_t slot;
  MemHandle* text;
};

SearchResultList* LookupSearch(Lookup* l, const std::u16string& query) {
  return RunLookupSearch(l->engine, reinterpret_cast<const WCHAR*>(query.c_str()), GetDictLanguage(l->engine, l->slot),
                         l->slot, 0);
}

void FormatEntry(Lookup* l, uint16_t slot, uint32_t entry) { FormatEntryText(l->engine, l->text, slot, entry, 0, 0); }

struct Timed {
  std::vector<double> search, searchFormat;
  std::vector<double> results;
};

// One query: search, then the first result's text. Times in microseconds.
void RunOne(Lookup* l, const Query& q, Timed* t) {
  const Clock::time_point a = Clock::now();
  SearchResultList* list = LookupSearch(l, q.text);
  const Clock::time_point b = Clock::now();
  uint32_t count = list ? list->count : 0;
  if (count > 0) FormatEntry(l, static_cast<uint16_t>(list->items[0].first & kResultSlotMask), list->items[0].entry);
  const Clock::time_point c = Clock::now();
  FreeResultList(list);
  if (t) {
    t->search.push_back(Micros(a, b));
    t->searchFormat.push_back(Micros(a, c));
    t->results.push_back(count);
  }
}

void RunPeerOne(FtsPeer* peer, const Query& q, Timed* t) {
  const Clock::time_point a = Clock::now();
  int64_t first = 0;
  const int64_t rows = RunPeerQuery(peer, q.peer, &first);
  const Clock::time_point b = Clock::now();
  if (first) ReadPeerRow(peer, first);
  const Clock::time_point c = Clock::now();
  if (t) {
    t->search.push_back(Micros(a, b));
    t->searchFormat.push_back(Micros(a, c));
    t->results.push_back(static_cast<double>(rows < 0 ? 0 : rows));
  }
}

// Each query's median over the repeats (the timings come round by round,
// the queries in order), slowest first.
void PrintPerQuery(int queryClass, const std::vector<Query>& qs, const Timed& ours, const Timed& theirs) {
  const size_t n = qs.size();
  if (n == 0 || ours.search.size() % n != 0 || theirs.search.size() != ours.search.size()) return;
  const size_t rounds = ours.search.size() / n;
  auto median = [&](const std::vector<double>& v, size_t i) {
    std::vector<double> one;
    for (size_t r = 0; r < rounds; ++r) one.push_back(v[r * n + i]);
    std::sort(one.begin(), one.end());
    return one[one.size() / 2];
  };
  std::vector<size_t> order(n);
  std::vector<double> ourMedian(n);
  for (size_t i = 0; i < n; ++i) {
    order[i] = i;
    ourMedian[i] = median(ours.search, i);
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return ourMedian[a] > ourMedian[b]; });
  std::printf("%s, each query (median us of %zu runs): ours, peer, our results, peer rows, query\n",
              QueryClassName(queryClass), rounds);
  for (size_t i : order)
    std::printf("  %9.1f %9.1f %7.0f %7.0f  %s\n", ourMedian[i], median(theirs.search, i), ours.results[i],
                theirs.results[i], Utf16ToUtf8(qs[i].text).c_str());
}

// The first queries of each class with what both sides find, and the
// first lines of the raw text: for checking the benchmark by eye.
void ShowSample(Lookup* l, FtsPeer* peer, const std::vector<EntryText>& entries, const QuerySample& sample,
                uint32_t n) {
  for (size_t i = 0; i < entries.size() && i < n; ++i) std::printf("line: %s", CedictLine(entries[i]).c_str());
  for (int c = 0; c < kQueryClassCount; ++c) {
    for (size_t i = 0; i < sample.byClass[c].size() && i < n; ++i) {
      const Query& q = sample.byClass[c][i];
      SearchResultList* list = LookupSearch(l, q.text);
      std::string first;
      if (list && list->count) {
        FormatEntry(l, static_cast<uint16_t>(list->items[0].first & kResultSlotMask), list->items[0].entry);
        const auto* text = static_cast<const char16_t*>(LockMemHandle(l->text));
        std::u16string t;
        for (const char16_t* p = text; *p && t.size() < 40; ++p) {
          if (*p < 0xE000 || *p > 0xEAFF) {
            t.push_back(*p);
            continue;
          }
          // Style codes with a value carry it in the next two units.
          if ((*p == 0xEAC1 || *p == 0xEAC5 || *p == 0xEABA || *p == 0xEAD1) && p[1] && p[2]) p += 2;
        }
        UnlockMemHandle(l->text);
        first = Utf16ToUtf8(t);
        std::replace(first.begin(), first.end(), '\n', ' ');
      }
      const int64_t rows = peer ? RunPeerQuery(peer, q.peer, nullptr) : -1;
      std::printf("%-18s %-24s ours %5u  peer %5" PRId64 "  %-40s first: %s\n", QueryClassName(c),
                  Utf16ToUtf8(q.text).c_str(), list ? list->count : 0, rows, q.peer.c_str(), first.c_str());
      FreeResultList(list);
    }
  }
}

// ---- peak memory in a process of its own ----

// A field of /proc/self/status in kB ("VmHWM:", "RssAnon:", "RssFile:").
uint64_t StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::strtoull(line.c_str() + n, nullptr, 10);
  return 0;
}

// What a memory child reports: its peak resident size, and at its end the
// resident pages split into anonymous ones (the heap) and file pages (the
// program's own, and the data files' views: clean pages shared with the
// page cache, which the system takes back when it needs them).
struct ChildMemory {
  uint64_t peakKb = 0, anonKb = 0, fileKb = 0;
};

void PrintChildMemory() {
  std::printf("%" PRIu64 " %" PRIu64 " %" PRIu64 "\n", StatusKb("VmHWM:"), StatusKb("RssAnon:"), StatusKb("RssFile:"));
}

void WriteQueryFile(const std::string& path, const QuerySample& sample) {
  std::ofstream out(path);
  for (int c = 0; c < kQueryClassCount; ++c)
    for (const Query& q : sample.byClass[c]) out << Utf16ToUtf8(q.text) << "\n";
}

// The child: reads the queries, and with `engine` set opens the data files,
// creates the engine and runs every query with the first entry's text. Its
// figures (ChildMemory) go to stdout.
int MemoryChild(bool withEngine, const std::string& queryFile, uint16_t slot) {
  std::vector<std::u16string> queries;
  std::ifstream in(queryFile);
  std::string line;
  while (std::getline(in, line)) queries.push_back(Utf8ToUtf16(line));
  RegisterSorviResources();
  if (withEngine) {
    DataFiles d = OpenDataFiles(FindDataFiles(GetDeviceRoot()));
    DictEngine* engine = MakeEngine(d);
    if (!engine) return 1;
    Lookup l{engine, slot, NewMemHandle(256)};
    for (const std::u16string& q : queries) RunOne(&l, Query{q, {}}, nullptr);
    PrintChildMemory();
    FreeMemHandle(l.text);
    DropEngine(engine);
    CloseDataFiles(&d);
  } else {
    PrintChildMemory();
  }
  return 0;
}

// Runs this program again as a memory child; its figures, all 0 on failure.
ChildMemory SpawnMemoryChild(const char* self, bool withEngine, const std::string& queryFile, uint16_t slot) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFd[1], 1);
    close(pipeFd[0]);
    close(pipeFd[1]);
    const std::string slotText = std::to_string(slot);
    execl(self, self, "--memory-child", withEngine ? "engine" : "baseline", queryFile.c_str(), slotText.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFd[1]);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = read(pipeFd[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(pipeFd[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  ChildMemory m;
  if (std::sscanf(out.c_str(), "%" SCNu64 " %" SCNu64 " %" SCNu64, &m.peakKb, &m.anonKb, &m.fileKb) != 3) return {};
  return m;
}

// ---- printing ----

std::string Fixed(double v, int decimals) {
  char b[64];
  std::snprintf(b, sizeof b, "%.*f", decimals, v);
  return b;
}

std::string Grouped(uint64_t v) {
  std::string s = std::to_string(v);
  for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3) s.insert(static_cast<size_t>(i), ",");
  return s;
}

const char* Mark(bool pass) { return pass ? "PASS" : "MISS"; }

std::string Pad(const std::string& s, size_t width, bool right = false) {
  // Width in characters: UTF-8 continuation bytes take no column.
  size_t cols = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++cols;
  if (cols >= width) return s;
  return right ? std::string(width - cols, ' ') + s : s + std::string(width - cols, ' ');
}

struct Args {
  std::string root;
  std::string excerpt;
  uint32_t perClass = kDefaultPerClass;
  uint64_t seed = kDefaultSeed;
  uint32_t show = 0;  // queries of each class (and lines) to print before the table
  int onlyClass = -1;  // all classes
  uint32_t repeat = 1;
  std::string dump;
  std::string query;  // empty: every query of the class
  bool perQuery = false;
};

// A class by its number or its name; -1 when neither.
int ClassByName(const std::string& name) {
  for (int c = 0; c < kQueryClassCount; ++c)
    if (name == QueryClassName(c) || name == std::to_string(c)) return c;
  return -1;
}

// Every query's result list, one line a query: class, query, count, flags
// and the items in order.
int DumpResults(Lookup* l, const QuerySample& sample, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return 1;
  for (int c = 0; c < kQueryClassCount; ++c) {
    for (const Query& q : sample.byClass[c]) {
      SearchResultList* list = LookupSearch(l, q.text);
      std::fprintf(f, "%d\t%s\t", c, Utf16ToUtf8(q.text).c_str());
      if (!list) {
        std::fprintf(f, "none\n");
        continue;
      }
      std::fprintf(f, "%u %u %u %u:", list->count, list->bestMatch, list->language, list->flags);
      for (uint32_t i = 0; i < list->count; ++i) std::fprintf(f, " %u/%u", list->items[i].first, list->items[i].entry);
      std::fprintf(f, "\n");
      FreeResultList(list);
    }
  }
  return std::fclose(f) == 0 ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bench_lookup [--root DIR] [--per-class N] [--seed S] [--excerpt TSV] [--show N]\n"
               "                    [--class NAME] [--repeat N] [--dump FILE] [--query TEXT] [--per-query]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--memory-child") == 0)
    return MemoryChild(std::strcmp(argv[2], "engine") == 0, argv[3], static_cast<uint16_t>(std::atoi(argv[4])));

  Args args;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--per-query") {
      args.perQuery = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    if (a == "--root") args.root = argv[++i];
    else if (a == "--per-class") args.perClass = static_cast<uint32_t>(std::atoi(argv[++i]));
    else if (a == "--seed") args.seed = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--excerpt") args.excerpt = argv[++i];
    else if (a == "--show") args.show = static_cast<uint32_t>(std::atoi(argv[++i]));
    else if (a == "--class") {
      args.onlyClass = ClassByName(argv[++i]);
      if (args.onlyClass < 0) return Usage();
    } else if (a == "--repeat") args.repeat = std::max(1, std::atoi(argv[++i]));
    else if (a == "--dump") args.dump = argv[++i];
    else if (a == "--query") args.query = argv[++i];
    else return Usage();
  }

  fs::path scratch = fs::temp_directory_path() / ("sorvi-bench-lookup-" + std::to_string(getpid()));
  fs::create_directories(scratch);
  if (!args.excerpt.empty()) {
    if (args.root.empty()) args.root = (scratch / "device").string();
    fs::create_directories(fs::path(args.root) / "Program Files" / "Sorvi");
    std::string error;
    if (WriteExcerptDict(args.excerpt, args.root + "/Program Files/Sorvi/s2cedict.pdb", &error) != 0) {
      std::fprintf(stderr, "bench_lookup: %s\n", error.c_str());
      return 1;
    }
  }
  if (!args.root.empty()) setenv("SORVI_ROOT", args.root.c_str(), 1);  // the memory children too
  SetDeviceRoot(nullptr);
  const std::string root = GetDeviceRoot();
  RegisterSorviResources();

  const std::vector<std::string> names = FindDataFiles(root);
  DataFiles data = OpenDataFiles(names);
  if (data.files.empty()) {
    std::fprintf(stderr, "bench_lookup: no data files under %s\n", root.c_str());
    return 1;
  }

  // Engine creation: opening the data files, then CreateEngine over them.
  std::vector<double> openMs, createMs;
  for (int i = 0; i < kCreationRuns; ++i) {
    CloseDataFiles(&data);
    const Clock::time_point a = Clock::now();
    data = OpenDataFiles(names);
    const Clock::time_point b = Clock::now();
    DictEngine* e = MakeEngine(data);
    const Clock::time_point c = Clock::now();
    DropEngine(e);
    openMs.push_back(Micros(a, b) / 1000);
    createMs.push_back(Micros(b, c) / 1000);
  }
  DictEngine* engine = MakeEngine(data);
  if (!engine) {
    std::fprintf(stderr, "bench_lookup: the engine was not created\n");
    return 1;
  }
  const uint16_t slot = MainDictionary(engine);
  if (slot == kNoDictSlot) {
    std::fprintf(stderr, "bench_lookup: no Chinese dictionary among the data files\n");
    return 1;
  }

  // Every built-in dictionary's entries written back as CC-CEDICT text.
  std::map<DbFile*, uint64_t> rawBytes;
  std::map<DbFile*, uint64_t> rawEntries;
  std::vector<EntryText> mainEntries;
  uint32_t unreadable = 0;
  const Clock::time_point readStart = Clock::now();
  for (uint16_t s = 0; s < GetDictCount(engine); ++s) {
    DbFile* f = SlotFile(engine, s);
    if (!f) continue;
    uint32_t bad = 0;
    std::vector<EntryText> entries = ReadDictEntries(engine, s, &bad);
    unreadable += bad;
    for (const EntryText& e : entries) rawBytes[f] += CedictLine(e).size();
    rawEntries[f] += entries.size();
    if (s == slot) mainEntries = std::move(entries);
  }
  const double readMs = Micros(readStart, Clock::now()) / 1000;

  const QuerySample sample = SampleQueries(mainEntries, args.perClass, args.seed);

  // The peer over the same entries.
  std::vector<PeerRow> rows;
  rows.reserve(mainEntries.size());
  for (const EntryText& e : mainEntries) rows.push_back(MakePeerRow(e));
  std::string peerError;
  const std::string peerPath = (scratch / "peer.sqlite").string();
  FtsPeer* peer = CreateFtsPeer(peerPath, rows, &peerError);
  if (!peer) std::fprintf(stderr, "bench_lookup: peer: %s\n", peerError.c_str());
  // Peer rowid i + 1 is entry i: the first row is fetched by it.

  Lookup lookup{engine, slot, NewMemHandle(256)};
  if (args.show) ShowSample(&lookup, peer, mainEntries, sample, args.show);
  if (!args.dump.empty()) {
    const int rc = DumpResults(&lookup, sample, args.dump);
    if (rc) std::fprintf(stderr, "bench_lookup: cannot write %s\n", args.dump.c_str());
    FreeMemHandle(lookup.text);
    DestroyFtsPeer(peer);
    DropEngine(engine);
    CloseDataFiles(&data);
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return rc;
  }
  Timed ours[kQueryClassCount], theirs[kQueryClassCount];
  int64_t refused[kQueryClassCount] = {};
  for (int c = 0; c < kQueryClassCount; ++c) {
    if (args.onlyClass >= 0 && c != args.onlyClass) continue;
    std::vector<Query> qs;
    for (const Query& q : sample.byClass[c])
      if (args.query.empty() || Utf16ToUtf8(q.text) == args.query) qs.push_back(q);
    for (const Query& q : qs) RunOne(&lookup, q, nullptr);  // warm the caches
    for (uint32_t r = 0; r < args.repeat; ++r)
      for (const Query& q : qs) RunOne(&lookup, q, &ours[c]);
    if (!peer) continue;
    for (const Query& q : qs)
      if (RunPeerQuery(peer, q.peer, nullptr) < 0) ++refused[c];
    for (uint32_t r = 0; r < args.repeat; ++r)
      for (const Query& q : qs) RunPeerOne(peer, q, &theirs[c]);
    if (args.perQuery) PrintPerQuery(c, qs, ours[c], theirs[c]);
  }
  FreeMemHandle(lookup.text);

  // Peak memory in processes of their own (not when timing one class).
  const std::string queryFile = (scratch / "queries.txt").string();
  WriteQueryFile(queryFile, sample);
  ChildMemory baseMem, engineMem;
  if (args.onlyClass < 0) {
    baseMem = SpawnMemoryChild("/proc/self/exe", false, queryFile, slot);
    engineMem = SpawnMemoryChild("/proc/self/exe", true, queryFile, slot);
  }
  const uint64_t baseKb = baseMem.peakKb, engineKb = engineMem.peakKb;

  // Sizes by table.
  std::vector<FileTables> sizes;
  for (size_t i = 0; i < data.files.size(); ++i) {
    FileTables t;
    if (MeasureFileTables(data.files[i], data.names[i], &t) == 0) sizes.push_back(t);
  }

  // ---- the table ----
  std::printf("Lookup benchmark over %s\n", root.c_str());
  WCHAR nameBuf[64] = {};
  GetDictName(engine, slot, nameBuf, 64, 0);
  std::printf("Dictionary: %s (slot %u), %s entries; %u queries a class drawn from its entries (seed %" PRIu64
              "); each query timed once after a warm-up pass\n",
              Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(nameBuf))).c_str(), slot,
              Grouped(mainEntries.size()).c_str(), args.perClass, args.seed);
  std::printf("Peer: SQLite %s FTS5 (unicode61), table entries(hw, py_toneless, py_toned, en), one row an entry\n\n",
              sqlite3_libversion());

  std::printf("%s %s %s %s %s %s %s %s %s %s\n", Pad("query class", 18).c_str(), Pad("n", 4, true).c_str(),
              Pad("results", 8, true).c_str(), Pad("search us med/p95", 18, true).c_str(),
              Pad("+format us med/p95", 19, true).c_str(), Pad("peer us med/p95", 16, true).c_str(),
              Pad("peer rows", 10, true).c_str(), Pad("ours/peer", 10, true).c_str(), Pad("<=1ms", 6, true).c_str(), Pad("vs peer", 8, true).c_str());
  bool allMedians = true, allPeer = true;
  for (int c = 0; c < kQueryClassCount; ++c) {
    const Stats s = Summarise(ours[c].search), sf = Summarise(ours[c].searchFormat);
    const Stats p = Summarise(theirs[c].search);
    const Stats results = Summarise(ours[c].results);
    const bool fast = !ours[c].search.empty() && sf.median <= kTargetMedianUs && s.median <= kTargetMedianUs;
    allMedians = allMedians && fast;
    const PeerQueryRule& rule = PeerRuleOf(c);
    std::string ratio = "-", vsPeer = "-";
    if (!theirs[c].search.empty() && p.median > 0) {
      const double r = s.median / p.median;
      ratio = Fixed(r, 2);
      if (rule.sameQuestion && refused[c] == 0) {
        vsPeer = Mark(r <= 1.0);
        allPeer = allPeer && r <= 1.0;
      } else {
        vsPeer = "info";
      }
    }
    std::printf("%s %s %s %s %s %s %s %s %s %s\n", Pad(QueryClassName(c), 18).c_str(),
                Pad(std::to_string(ours[c].search.size()), 4, true).c_str(),
                Pad(Fixed(results.median, 0), 8, true).c_str(),
                Pad(Fixed(s.median, 1) + " / " + Fixed(s.p95, 1), 18, true).c_str(),
                Pad(Fixed(sf.median, 1) + " / " + Fixed(sf.p95, 1), 19, true).c_str(),
                Pad(theirs[c].search.empty() ? "-" : Fixed(p.median, 1) + " / " + Fixed(p.p95, 1), 16, true).c_str(),
                Pad(theirs[c].results.empty() ? "-" : Fixed(Summarise(theirs[c].results).median, 0), 10, true).c_str(),
                Pad(ratio, 10, true).c_str(), Pad(Mark(fast), 6, true).c_str(), Pad(vsPeer, 8, true).c_str());
  }
  std::printf("(results, peer rows: median items found; the median is checked on search and on search + format)\n");
  std::printf("\nPeer queries (what the FTS5 table is asked for each class):\n");
  for (int c = 0; c < kQueryClassCount; ++c) {
    const PeerQueryRule& rule = PeerRuleOf(c);
    std::printf("  %s %s%s%s\n", Pad(QueryClassName(c) + std::string(":"), 19).c_str(), rule.definition,
                rule.sameQuestion ? "" : "  [informational]",
                refused[c] ? ("  [" + std::to_string(refused[c]) + " refused by SQLite]").c_str() : "");
  }
  std::printf("  Peer times step through every matching rowid in rowid order (the engine's lists come ranked by word"
              " length or relevance); its +format reads the first row's columns.\n");

  const Stats openStats = Summarise(openMs), createStats = Summarise(createMs);
  std::printf("\nEngine creation (median of %d; %zu data files; no fonts, no flashcard store):\n", kCreationRuns,
              data.files.size());
  std::printf("  open and check the data files %s ms, CreateEngine %s ms, together %s ms   target <= 50 ms: %s\n",
              Fixed(openStats.median, 2).c_str(), Fixed(createStats.median, 2).c_str(),
              Fixed(openStats.median + createStats.median, 2).c_str(),
              Mark(createStats.median <= kTargetCreationMs));

  const double memMb = engineKb > baseKb ? static_cast<double>(engineKb - baseKb) / 1024 : 0;
  std::printf("\nEngine peak memory (a child process that creates the engine and runs all %zu queries with"
              " the first entry's text):\n",
              [&] {
                size_t n = 0;
                for (const auto& q : sample.byClass) n += q.size();
                return n;
              }());
  if (engineKb && baseKb) {
    std::printf("  peak RSS %s kB - baseline child %s kB = %s MB   target <= 48 MB: %s\n", Grouped(engineKb).c_str(),
                Grouped(baseKb).c_str(), Fixed(memMb, 1).c_str(), Mark(memMb <= kTargetMemoryMb));
    auto overBase = [](uint64_t a, uint64_t b) { return Fixed(a > b ? static_cast<double>(a - b) / 1024 : 0, 1); };
    std::printf("  at the end, over the baseline: anonymous (heap) %s MB, file pages %s MB (the data files' views:"
                " clean pages shared with the page cache)\n",
                overBase(engineMem.anonKb, baseMem.anonKb).c_str(), overBase(engineMem.fileKb, baseMem.fileKb).c_str());
  } else {
    std::printf("  the memory child failed\n");
  }
  std::printf("  (the platform heap counts blocks, not bytes: no heap peak to report)\n");

  std::printf("\nData files by table (raw text: each dictionary's entries written back as CC-CEDICT lines, UTF-8;"
              " read back in %s ms):\n",
              Fixed(readMs, 0).c_str());
  uint64_t dictBytes = 0, rawTotal = 0;
  for (size_t i = 0; i < sizes.size(); ++i) {
    const FileTables& t = sizes[i];
    const uint64_t raw = rawBytes[data.files[i]];
    std::printf("  %s  %s bytes", t.fileName.c_str(), Grouped(t.fileBytes).c_str());
    if (raw) {
      std::printf("  raw text %s bytes (%s entries)  file/raw %s\n", Grouped(raw).c_str(),
                  Grouped(rawEntries[data.files[i]]).c_str(), Fixed(double(t.fileBytes) / double(raw), 3).c_str());
      dictBytes += t.fileBytes;
      rawTotal += raw;
    } else {
      std::printf("  (no dictionary entries)\n");
    }
    for (const TableBytes& tb : t.tables) {
      std::printf("    0x%04X %s %s rows %s bytes", tb.type, Pad(tb.name, 34).c_str(),
                  Pad(Grouped(tb.rows), 9, true).c_str(), Pad(Grouped(tb.bytes), 12, true).c_str());
      if (raw) std::printf("  %s%% of raw", Fixed(100.0 * double(tb.bytes) / double(raw), 1).c_str());
      std::printf("\n");
    }
    std::printf("    %s %s bytes\n", Pad("header and container", 56).c_str(), Pad(Grouped(t.otherBytes), 12, true).c_str());
  }
  if (unreadable) std::printf("  %u entries could not be read\n", unreadable);
  std::printf("  dictionary files together %s bytes, raw text %s bytes (%s)   target <= raw text: %s\n",
              Grouped(dictBytes).c_str(), Grouped(rawTotal).c_str(),
              rawTotal ? Fixed(double(dictBytes) / double(rawTotal), 3).c_str() : "-",
              Mark(rawTotal > 0 && dictBytes <= rawTotal));
  if (peer) {
    std::error_code ec;
    std::printf("  peer database %s bytes\n", Grouped(fs::file_size(peerPath, ec)).c_str());
  }

  std::printf("\nTargets: every class's median <= 1 ms: %s; at or below the peer where it answers the same question: "
              "%s; engine creation <= 50 ms: %s; peak memory <= 48 MB: %s; data files <= raw text: %s\n",
              Mark(allMedians), Mark(allPeer), Mark(createStats.median <= kTargetCreationMs),
              Mark(engineKb && baseKb && memMb <= kTargetMemoryMb), Mark(rawTotal > 0 && dictBytes <= rawTotal));

  DestroyFtsPeer(peer);
  DropEngine(engine);
  CloseDataFiles(&data);
  std::error_code ec;
  fs::remove_all(scratch, ec);
  return 0;
}
