#include "tools/devicedata/word_frequency.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "resources/syllables.h"
#include "tools/databuild/byte_sink.h"

namespace devicedata {

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A decimal count without sign; false when `text` is none or overflows.
bool ParseCount(std::string_view text, std::uint64_t* out) {
  if (text.empty() || text.size() > 18) return false;
  std::uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  *out = n;
  return true;
}

bool IsSyllableCode(char16_t u) { return u >= 0xE000 && u < 0xE000 + 5 * kSyllableCount; }

// The syllable code of a one-syllable reading (a capital's mark dropped),
// or 0.
char16_t OneSyllable(const std::string& pinyin) {
  char16_t found = 0;
  for (char16_t u : databuild::CedictPinyinCodes(pinyin)) {
    if (u == 0xE9F1) continue;
    if (!IsSyllableCode(u) || found) return 0;
    found = u;
  }
  return found;
}

const std::vector<ReadingCount>* ReadingsOf(const WordCounts& counts, char16_t ch) {
  auto it = counts.readings.find(ch);
  return it == counts.readings.end() || it->second.empty() ? nullptr : &it->second;
}

}  // namespace

int ReadJiebaDict(std::string_view text, WordCounts* counts, std::string* error) {
  std::size_t line = 0, at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view row = text.substr(at, end - at);
    at = end + 1;
    ++line;
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    if (line == 1 && row.substr(0, 3) == "\xEF\xBB\xBF") row.remove_prefix(3);
    while (!row.empty() && IsBlank(row.back())) row.remove_suffix(1);
    if (row.empty()) continue;
    auto bad = [&](const std::string& why) { return Fail(error, "line " + std::to_string(line) + ": " + why); };
    // The word ends at the first blank: no word of dict.txt holds one.
    const std::size_t blank = row.find_first_of(" \t");
    if (blank == 0) return bad("no word before the count");
    if (blank == std::string_view::npos) return bad("no count after the word");
    std::size_t from = blank;
    while (from < row.size() && IsBlank(row[from])) ++from;
    std::size_t to = from;
    while (to < row.size() && !IsBlank(row[to])) ++to;
    std::uint64_t n = 0;
    if (!ParseCount(row.substr(from, to - from), &n)) return bad("the count is not a number");
    std::u16string word;
    if (!databuild::Utf8ToUtf16(row.substr(0, blank), &word)) return bad("the word is not UTF-8 text");
    std::uint64_t& kept = counts->words[word];
    kept = std::max(kept, n);
  }
  return 0;
}

int AddHanyuPinlu(const UnihanData& data, WordCounts* counts, std::string* error) {
  for (const auto& [code, c] : data.chars) {
    const std::string_view value = c.Get("kHanyuPinlu");
    if (value.empty()) continue;
    auto bad = [&, code = code](const std::string& why) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code));
      return Fail(error, std::string(hex) + " kHanyuPinlu: " + why);
    };
    std::vector<ReadingCount> readings;
    std::size_t at = 0;
    while (at < value.size()) {
      while (at < value.size() && IsBlank(value[at])) ++at;
      if (at == value.size()) break;
      const std::size_t open = value.find('(', at);
      const std::size_t close = open == std::string_view::npos ? open : value.find(')', open);
      if (close == std::string_view::npos) return bad("not \"reading(count)\"");
      std::uint64_t n = 0;
      if (!ParseCount(value.substr(open + 1, close - open - 1), &n)) return bad("the count is not a number");
      const char16_t syllable = ToneMarkedSyllableCode(value.substr(at, open - at));
      if (syllable != 0) readings.push_back({syllable, n});
      at = close + 1;
    }
    if (!readings.empty()) counts->readings[code] = std::move(readings);
  }
  return 0;
}

int ReadWordCountFiles(const std::string& wordsPath, const std::string& readingsPath, WordCounts* counts,
                       std::string* error) {
  auto read = [](const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    *out = ss.str();
    return static_cast<bool>(in);
  };
  std::string text, why;
  if (!wordsPath.empty()) {
    if (!read(wordsPath, &text)) return Fail(error, wordsPath + ": cannot be read");
    if (ReadJiebaDict(text, counts, &why) != 0) return Fail(error, wordsPath + ": " + why);
  }
  if (!readingsPath.empty()) {
    if (!read(readingsPath, &text)) return Fail(error, readingsPath + ": cannot be read");
    UnihanData data;
    if (ReadUnihanText(text, readingsPath, &data, error) != 0) return 1;
    if (AddHanyuPinlu(data, counts, &why) != 0) return Fail(error, readingsPath + ": " + why);
  }
  return 0;
}

Frequency CedictRowFrequency(const WordCounts& counts, const databuild::CedictRow& row) {
  Frequency f;
  const std::u16string* word = nullptr;
  for (const std::u16string* form : {&row.simplified, &row.traditional}) {
    auto it = counts.words.find(*form);
    if (it != counts.words.end()) {
      word = form;
      f = {it->second, FrequencySource::Words};
      break;
    }
  }
  // One character: the share of this reading.
  const std::u16string& ch = word ? *word : row.simplified;
  const std::vector<ReadingCount>* readings = nullptr;
  if (ch.size() == 1) readings = ReadingsOf(counts, ch[0]);
  if (!readings && !word && row.traditional.size() == 1) readings = ReadingsOf(counts, row.traditional[0]);
  if (!readings) return f;
  const char16_t syllable = OneSyllable(row.pinyin);
  if (syllable == 0) return f;
  std::uint64_t mine = 0, total = 0;
  for (const ReadingCount& r : *readings) {
    total += r.count;
    if (r.syllable == syllable) mine += r.count;
  }
  if (word) {
    // A reading kHanyuPinlu never met is rare: its share is 0.
    if (total > 0) f.count = static_cast<std::uint64_t>(static_cast<double>(f.count) * mine / total + 0.5);
    return f;
  }
  if (mine > 0) f = {mine, FrequencySource::Readings};
  return f;
}

std::uint64_t CharacterFrequency(const WordCounts& counts, char16_t ch) {
  auto it = counts.words.find(std::u16string(1, ch));
  if (it != counts.words.end()) return it->second;
  std::uint64_t sum = 0;
  if (const std::vector<ReadingCount>* readings = ReadingsOf(counts, ch))
    for (const ReadingCount& r : *readings) sum += r.count;
  return sum;
}

}  // namespace devicedata
