// sorvi-lookup: runs the main screen's lookup session from the command line
// over the device data, to check the search by hand.
//
//   sorvi-lookup [--root DIR] [--entry N] [--limit N] [--numbers] [--raw] QUERY...
//
// Opens every data file ("*.pdb") under "\Program Files\Sorvi" of the device
// root (DIR, else $SORVI_ROOT, else ~/.local/share/sorvi/device), types the
// query (its arguments joined with single spaces) into a LookupSession and
// prints the rows: number, dictionary short name, headword, pinyin and the
// first line of the definition, separated by tabs. With --entry N it then
// prints the definition of row N as plain text. Exit code 0 with rows, 1
// when nothing matched, 2 for bad arguments or missing data.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/search_results.h"
#include "engine/string_utils.h"
#include "engine/text_buffer.h"
#include "engine/text_encoding.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "resources/resources.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitNoMatches = 1;
constexpr int kExitUsage = 2;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kTextUnits = 4096;

struct Options {
  std::string root;
  bool haveRoot = false;
  long entry = -1;
  long limit = 50;
  bool numbers = false;
  bool raw = false;
  std::u16string query;
};

int Usage(const char* message) {
  if (message) std::fprintf(stderr, "sorvi-lookup: %s\n", message);
  std::fprintf(stderr,
               "usage: sorvi-lookup [--root DIR] [--entry N] [--limit N] [--numbers] [--raw] QUERY...\n"
               "  --root DIR   device root (default $SORVI_ROOT, else ~/.local/share/sorvi/device)\n"
               "  --entry N    also print the definition of row N\n"
               "  --limit N    print at most N rows (default 50, 0 for all)\n"
               "  --numbers    pinyin with tone numbers instead of tone marks\n"
               "  --raw        with --entry: the definition's markup as <U+XXXX> too\n");
  return kExitUsage;
}

bool ParseCount(const char* text, long* value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (*end != 0 || v < 0) return false;
  *value = v;
  return true;
}

// 0, or the exit code of a bad command line.
int ParseArguments(int argc, char** argv, Options* options) {
  std::vector<std::string> words;
  bool onlyWords = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (onlyWords || a.empty() || a[0] != '-' || a == "-") {
      words.push_back(a);
    } else if (a == "--") {
      onlyWords = true;
    } else if (a == "--root" || a == "--entry" || a == "--limit") {
      if (i + 1 >= argc) return Usage((a + " needs a value").c_str());
      const char* value = argv[++i];
      if (a == "--root") {
        // An empty root would silently mean the default one.
        if (!*value) return Usage("--root needs a folder");
        options->root = value;
        options->haveRoot = true;
      } else if (!ParseCount(value, a == "--entry" ? &options->entry : &options->limit)) {
        return Usage((a + " needs a number of 0 or more").c_str());
      }
    } else if (a == "--numbers") {
      options->numbers = true;
    } else if (a == "--raw") {
      options->raw = true;
    } else if (a == "--help" || a == "-h") {
      Usage(nullptr);
      std::exit(0);
    } else {
      return Usage(("unknown option " + a).c_str());
    }
  }
  std::string joined;
  for (const std::string& w : words) {
    if (!joined.empty()) joined += ' ';
    joined += w;
  }
  if (joined.empty()) return Usage("no query given");
  options->query = Utf8ToUtf16(joined);
  if (options->query.size() > kLookupQueryUnits) return Usage("the query is longer than 40 characters");
  return 0;
}

// The query as the main window's field takes text pasted into it: tone
// marks become tone digits (nǐhǎo -> ni3hao3), "u:" becomes v, and
// private-use units, which no typed text holds, are dropped.
std::u16string AsTheFieldTakesIt(const std::u16string& query) {
  std::vector<WCHAR> out(2 * query.size() + 1, 0);
  if (!ConvertPinyinToneMarks(reinterpret_cast<const WCHAR*>(query.c_str()), out.data())) return {};
  std::u16string converted(reinterpret_cast<const char16_t*>(out.data()));
  // A capital Ü is the same letter as ü to the search.
  std::replace(converted.begin(), converted.end(), u'\u00DC', u'\u00FC');
  return converted;
}

// ---- plain text ----

// The display text as the text service would show it, without styles:
// style codes and their payloads dropped, hidden text (a link's target,
// hidden spans) left out, the line-end code as a newline, other markup
// zero width, and syllable codes (in texts fetched raw) as pinyin.
std::u16string PlainText(DictEngine* engine, const std::u16string& text, bool numbers) {
  std::u16string out;
  bool hidden = false;
  bool capital = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool payload = (c == 0xEABA || c == 0xEAC1 || c == 0xEAC3 || c == 0xEAC5) && i + 2 < text.size() &&
                         text[i + 1] != 0 && text[i + 2] != 0;
    if (payload) i += 2;
    if (c == 0xEAC3 || c == 0xEAD1) {
      hidden = true;
    } else if (c == 0xEAC4 || c == 0xEAD0 || c == 0xEAD2) {
      hidden = false;
    } else if (hidden) {
      // Not shown.
    } else if (c == 0xEAB1) {
      out.push_back(u'\n');
    } else if (c >= kSyllableFirst && c <= kSyllableLastArea) {
      WCHAR units[16];
      TextBuffer tb{units, 16, nullptr, 0};
      uint32_t flags = numbers ? 0x1002 : 0x1001;
      if (capital) flags |= kSyllableCapital;
      FormatSyllableCode(engine, flags, c, &tb);
      TextBufFinish(&tb);
      // Numbered syllables read better apart.
      if (numbers && !out.empty() && out.back() != u' ' && out.back() != u'\n') out.push_back(u' ');
      out.append(reinterpret_cast<const char16_t*>(units), tb.length);
      capital = false;
    } else if (c == kSyllableSeparator) {
      capital = true;
    } else if (c >= 0xE000 && c <= 0xF8FF) {
      // Field references, section marks and style codes are zero width.
    } else if (c != u'\r') {
      out.push_back(c);
    }
  }
  return out;
}

std::u16string FirstLine(const std::u16string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = text.substr(start, end - start);
    const size_t first = line.find_first_not_of(u" \t");
    if (first != std::u16string::npos) {
      const size_t last = line.find_last_not_of(u" \t");
      return line.substr(first, last - first + 1);
    }
    start = end + 1;
  }
  return {};
}

std::u16string Fetch(DictEngine* engine, uint16_t slot, uint32_t entry, uint32_t options, uint32_t classMask,
                     bool numbers) {
  std::vector<WCHAR> buffer(kTextUnits, 0);
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = entry;
  request.options = options | kFetchClassMask;
  request.classMask = classMask;
  request.syllableFormat = numbers ? 0x1002 : 0x1001;
  TextBuffer tb{buffer.data(), kTextUnits, nullptr, 0};
  FetchDictEntryText(engine, &request, &tb);
  TextBufFinish(&tb);
  return PlainText(engine, std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), tb.length), numbers);
}

std::string Utf8(const std::u16string& s) {
  std::string out = Utf16ToUtf8(s);
  std::replace(out.begin(), out.end(), '\t', ' ');
  return out;
}

// ---- the device data ----

struct DataFiles {
  std::vector<DbFile*> files;
  ~DataFiles() {
    for (DbFile* f : files) CloseDbFile(f);
  }
};

// Every "*.pdb" under the folder, in name order, as device paths.
std::vector<std::u16string> FindDataFiles(const std::string& hostFolder, const std::u16string& deviceFolder) {
  std::vector<std::u16string> out;
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::recursive_directory_iterator it(hostFolder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    // The name as listed, not resolved: a link to a data file keeps its own
    // place in the folder, which the device layer follows.
    if (ext == ".pdb") names.push_back(it->path().lexically_relative(hostFolder).generic_string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::u16string path = deviceFolder + u"\\" + Utf8ToUtf16(name);
    std::replace(path.begin(), path.end(), u'/', u'\\');
    out.push_back(path);
  }
  return out;
}

struct Row {
  uint16_t slot;
  uint32_t entry;
};

// The host folder in `folder` named `name` (ASCII) ignoring case, as the
// device layer matches it, a real folder and not a link to one; "" when none.
std::string FindFolderIgnoringCase(const std::string& folder, const std::string& name) {
  auto same = [&](const std::string& n) {
    return n.size() == name.size() && std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
  };
  std::error_code ec;
  std::string found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string n = it->path().filename().string();
    std::error_code kind;
    if (!it->is_directory(kind) || it->is_symlink(kind)) continue;
    if (!same(n)) continue;
    // The smallest match, as the device layer picks it.
    if (found.empty() || n < found) found = n;
  }
  return found.empty() ? std::string() : folder + "/" + found;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int rc = ParseArguments(argc, argv, &options)) return rc;

  SetDeviceRoot(options.haveRoot ? options.root.c_str() : nullptr);
  const std::string root = GetDeviceRoot();
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    std::fprintf(stderr, "sorvi-lookup: the device root %s is not a folder\n", root.c_str());
    return kExitUsage;
  }
  const std::u16string deviceFolder = u"\\Program Files\\Sorvi";
  // Looked for on the host before the device layer is used: its first use
  // makes the standard folders, which a wrong --root must not get.
  std::string hostFolder = FindFolderIgnoringCase(root, "Program Files");
  if (!hostFolder.empty()) hostFolder = FindFolderIgnoringCase(hostFolder, "Sorvi");
  if (hostFolder.empty()) {
    std::fprintf(stderr, "sorvi-lookup: no data folder \"Program Files/Sorvi\" under %s\n", root.c_str());
    return kExitUsage;
  }

  RegisterSorviResources();
  DataFiles data;
  for (const std::u16string& path : FindDataFiles(hostFolder, deviceFolder)) {
    const auto* p = reinterpret_cast<LPCWSTR>(path.c_str());
    HANDLE h = CreateFileW(p, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    int kind = 0;
    if (DbFile* f = OpenDbFile(h, p, &kind)) data.files.push_back(f);
  }
  EngineParams params{};
  params.noFonts = 1;
  params.noFlashcards = 1;
  params.scaleNumerator = 3;
  params.scaleDenominator = 3;
  DictEngine* engine = CreateEngine(data.files.data(), static_cast<uint32_t>(data.files.size()), &params);
  if (!engine || GetDictCount(engine) == 0) {
    std::fprintf(stderr, "sorvi-lookup: no dictionary found in %s\n", hostFolder.c_str());
    FreeEngineSaveBlock(DestroyEngine(engine));
    return kExitUsage;
  }
  if (options.numbers) SetPref(engine, kPrefCharsetMode, 2);

  LookupSessionParams sessionParams{};
  sessionParams.freshStart = 1;
  LookupSession* session = NewLookupSession(engine, &sessionParams);
  const std::u16string query = AsTheFieldTakesIt(options.query);
  LookupSearchFor(session, reinterpret_cast<const WCHAR*>(query.c_str()), 0);

  // A query with nothing to search for (empty once converted, or the
  // full-text prefix alone) leaves the session where it started, at the
  // first entry: that is no match.
  const auto prefix = static_cast<char16_t>(GetPref(engine, kPrefFullTextPrefix));
  const bool searched = !query.empty() && !(query.size() == 1 && query[0] == prefix);
  std::vector<Row> rows;
  if (!searched) {
    // Nothing.
  } else if (LookupIsShowingResults(session) && session->results) {
    for (uint32_t i = 0; i < session->results->count; ++i)
      rows.push_back({static_cast<uint16_t>(session->results->items[i].first & kResultSlotMask),
                      session->results->items[i].entry});
  } else if (session->displayState == kLookupStateNormal && session->currentEntry != kNone) {
    rows.push_back({session->currentSlot, session->currentEntry});
  }

  int exitCode = 0;
  if (rows.empty()) {
    std::printf("no matches\n");
    exitCode = kExitNoMatches;
  } else if (options.entry >= static_cast<long>(rows.size())) {
    std::fprintf(stderr, "sorvi-lookup: there is no row %ld (%zu rows)\n", options.entry, rows.size());
    exitCode = kExitUsage;
  } else {
    const size_t shown = options.limit == 0 ? rows.size() : std::min(rows.size(), static_cast<size_t>(options.limit));
    for (size_t i = 0; i < shown; ++i) {
      const Row& r = rows[i];
      WCHAR name[40] = {};
      GetDictShortName(engine, r.slot, name, 40);
      const std::u16string head = FirstLine(Fetch(engine, r.slot, r.entry, kFetchOneLine, 0x1, options.numbers));
      const std::u16string pinyin =
          GetDictLanguage(engine, r.slot) == kLanguageChinese
              ? FirstLine(Fetch(engine, r.slot, r.entry, kFetchOneLine, 0x2, options.numbers))
              : std::u16string();
      const std::u16string first = FirstLine(Fetch(engine, r.slot, r.entry, 0, 0x3C, options.numbers));
      std::printf("%zu\t%s\t%s\t%s\t%s\n", i, Utf8(reinterpret_cast<const char16_t*>(name)).c_str(),
                  Utf8(head).c_str(), Utf8(pinyin).c_str(), Utf8(first).c_str());
    }
    if (shown < rows.size()) std::printf("(%zu more rows)\n", rows.size() - shown);
    if (options.entry >= 0) {
      // The definition as the main window would show it after the row is chosen.
      if (LookupIsShowingResults(session)) LookupShowEntryAt(session, static_cast<uint32_t>(options.entry));
      MemHandle* text = NewMemHandle(2);
      LookupFormatCurrentEntry(session, text, 0);
      const auto* units = static_cast<const char16_t*>(LockMemHandle(text));
      std::u16string marked;
      for (uint32_t i = 0; i < GetMemHandleSize(text) / 2 && units[i]; ++i) marked.push_back(units[i]);
      UnlockMemHandle(text);
      FreeMemHandle(text);
      std::printf("\n%s\n", Utf16ToUtf8(PlainText(engine, marked, options.numbers)).c_str());
      if (options.raw) {
        std::string dump;
        int payloadLeft = 0;
        for (char16_t c : marked) {
          const bool withPayload = c == 0xEABA || c == 0xEAC1 || c == 0xEAC3 || c == 0xEAC5;
          if (payloadLeft > 0 || (c >= 0xE000 && c <= 0xF8FF)) {
            if (payloadLeft > 0) --payloadLeft;
            if (withPayload) payloadLeft = 2;
            char code[12];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(c));
            dump += code;
          } else {
            dump += Utf16ToUtf8(std::u16string(1, c));
          }
        }
        std::printf("\n%s\n", dump.c_str());
      }
    }
  }

  LookupHistoryBlobs blobs = DestroyLookupSession(session, 0);
  FreeMemHandle(blobs.recentQueries);
  FreeMemHandle(blobs.recentEntries);
  FreeEngineSaveBlock(DestroyEngine(engine));
  return exitCode;
}
