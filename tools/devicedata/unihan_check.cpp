#include "tools/devicedata/unihan_check.h"

#include <cstdio>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/mem_handle.h"
#include "engine/radical_table.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/text_buffer.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "resources/resources.h"
#include "resources/syllables.h"
#include "tools/devicedata/device_check.h"

namespace devicedata {

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "U+%04X", v);
  return b;
}

// The entry's text for a request; fetch result in *rc.
std::u16string Fetch(DictEngine* engine, EntryFetchRequest request, int* rc) {
  TextBuffer tb{};
  *rc = FetchDictEntryText(engine, &request, &tb);
  std::u16string out;
  if (tb.handle) {
    const auto* data = static_cast<const char16_t*>(LockMemHandle(tb.handle));
    out.assign(data, tb.length);
    UnlockMemHandle(tb.handle);
    FreeMemHandle(tb.handle);
  }
  return out;
}

std::u16string OneField(DictEngine* engine, uint32_t entry, uint32_t field, int* rc) {
  EntryFetchRequest r{};
  r.slot = 0;
  r.entry = entry;
  r.options = kFetchOneField | kFetchRawSyllables;
  r.fieldIndex = field;
  return Fetch(engine, r, rc);
}

// Whether a search for `query` lists entry `entry` of slot 0.
bool SearchFinds(DictEngine* engine, const std::u16string& query, uint32_t entry) {
  SearchRequest r{};
  r.query = reinterpret_cast<const WCHAR*>(query.c_str());
  r.language = kLanguageChinese;
  r.currentSlot = 65535;
  r.sortMode = kSortByRank;
  SearchResultList* list = Search(engine, &r);
  if (!list) return false;
  bool found = false;
  for (uint32_t i = 0; i < list->count && !found; ++i) {
    found = (list->items[i].first & 0xFFF) == 0 && list->items[i].entry == entry;
  }
  FreeResultList(list);
  return found;
}

// A syllable code as the pinyin a user types ("hao3"); empty for the
// neutral tone, which is typed without a digit and matches any tone.
std::u16string TypedPinyin(char16_t code) {
  const int syllable = (code - 0xE000) / 5, tone = (code - 0xE000) % 5;
  if (tone == 0) return {};
  return Utf8ToUtf16(std::string(SyllableSpelling(syllable)) + std::to_string(tone));
}

int CheckEntries(DictEngine* engine, const UnihanContents& c, std::string* error) {
  if (GetDictCount(engine) != 1) return Fail(error, "the engine makes " + std::to_string(GetDictCount(engine)) + " dictionaries of it");
  if ((GetDictFlags(engine, 0) & 0x10) == 0) return Fail(error, "the dictionary is no character dictionary");
  if (GetDictEntryCount(engine, 0) != c.chars.size()) {
    return Fail(error, std::to_string(GetDictEntryCount(engine, 0)) + " entries read back, " +
                           std::to_string(c.chars.size()) + " written");
  }
  for (uint32_t i = 0; i < c.chars.size(); ++i) {
    int rc = 0;
    const std::u16string ch = OneField(engine, i, kUnihanCharacter, &rc);
    if (rc != 0 || ch != std::u16string(1, c.chars[i])) {
      return Fail(error, "entry " + std::to_string(i) + " (" + Hex(c.chars[i]) + ") reads back another character");
    }
    if (c.mainReadings[i] == 0) continue;
    const std::u16string reading = OneField(engine, i, kUnihanMainReading, &rc);
    if (rc != 0 || reading.empty() || reading[0] != c.mainReadings[i]) {
      return Fail(error, Hex(c.chars[i]) + ": field 0x21 does not begin with its main reading");
    }
  }
  return 0;
}

int CheckSearch(DictEngine* engine, const UnihanContents& c, std::string* error) {
  // 好 when the file has it, and an even sample of the others.
  std::vector<uint32_t> probes;
  for (uint32_t i = 0; i < c.chars.size(); ++i)
    if (c.chars[i] == u'好') probes.push_back(i);
  const uint32_t step = c.chars.size() > 200 ? static_cast<uint32_t>(c.chars.size() / 200) : 1;
  for (uint32_t i = 0; i < c.chars.size(); i += step) probes.push_back(i);
  for (uint32_t i : probes) {
    const char16_t ch = c.chars[i];
    if (ch < 0x3400 || ch > 0xD7FF) continue;  // queries treat only these as characters
    if (!SearchFinds(engine, std::u16string(1, ch), i)) return Fail(error, "a search for " + Hex(ch) + " misses it");
    uint16_t slot = 65535;
    int32_t entry = -1;
    FindEntryInFlaggedDicts(engine, ch, &slot, &entry);
    if (slot != 0 || entry != static_cast<int32_t>(i)) {
      return Fail(error, Hex(ch) + ": the character look-up does not find its entry");
    }
    // Each common reading finds it, the main one first.
    for (char16_t code : c.readings[i]) {
      const std::u16string typed = TypedPinyin(code);
      if (!typed.empty() && !SearchFinds(engine, typed, i)) {
        return Fail(error, "a search for " + Utf16ToUtf8(typed) + " misses " + Hex(ch));
      }
    }
  }
  return 0;
}

int CheckRadicals(DictEngine* engine, const databuild::RadicalTablesSpec& desc, std::string* error) {
  RadicalTable* rt = GetRadicalTable(engine);
  if (!rt) return Fail(error, "the engine finds no radical table");
  if (!desc.codes.empty() && !rt->codeCursor) return Fail(error, "the engine finds no radical code table");
  for (const databuild::RadicalChars& r : desc.radicals) {
    if (BuildRadicalCharList(engine, r.radical, 0, 1, 0) != 0) {
      return Fail(error, "radical " + std::to_string(r.radical) + " has no readable record");
    }
    std::u16string want, got;
    for (const std::u16string& s : r.sections) want += s;
    uint32_t n = 0;
    const WCHAR* list = GetRadicalListData(engine, 0, &n);
    for (uint32_t i = 0; list && i < n; ++i) {
      if (list[i] < kRadicalSectionMarkBase + 1 || list[i] > kRadicalSectionMarkBase + kMaxRadicalSections) {
        got.push_back(list[i]);
      }
    }
    if (got != want) return Fail(error, "radical " + std::to_string(r.radical) + " lists other characters");
  }
  uint32_t n = 0;
  const WCHAR* listB = GetRadicalListData(engine, 1, &n);
  if (n != desc.listB.size() * 2) return Fail(error, "the radical list reads back with another length");
  for (std::size_t i = 0; i < desc.listB.size(); ++i) {
    const databuild::RadicalListItem& it = desc.listB[i];
    if (listB[2 * i] != it.code || listB[2 * i + 1] != (it.byte | it.key << 8)) {
      return Fail(error, "radical list item " + std::to_string(i) + " reads back different");
    }
  }
  for (std::size_t i = 0; i < desc.codes.size(); ++i) {
    const uint32_t code = desc.lowestCode + static_cast<uint32_t>(i);
    if (LookupRadicalCode(engine, code) != desc.codes[i]) return Fail(error, Hex(code) + ": another radical code");
  }
  return 0;
}

}  // namespace

int CheckUnihanFile(const std::string& path, const UnihanContents& contents, std::string* error) {
  RegisterSorviResources();
  FileEngine ue;
  if (ue.Open(path, error) != 0) return 1;
  if (CheckEntries(ue.engine, contents, error) != 0) return 1;
  if (CheckSearch(ue.engine, contents, error) != 0) return 1;
  return CheckRadicals(ue.engine, contents.radicals, error);
}

}  // namespace devicedata
