#include "bench/lookup/query_sampler.h"

#include "platform/device_paths.h"
#include "resources/syllables.h"

namespace lookupbench {

namespace {

constexpr char16_t kWordStart = 0xE9F1;
constexpr char16_t kSyllableFirst = 0xE000;
constexpr char16_t kSyllableLast = 0xE9EF;
constexpr size_t kMaxSyllables = 6;  // the input field takes 40 characters
constexpr size_t kMaxHeadword = 8;
constexpr size_t kMaxFullTextRun = 4;
// Tries per wanted query before a class gives up on the entries.
constexpr uint32_t kTriesPerQuery = 64;

// splitmix64: the same numbers on every platform and library.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
};

bool IsHan(char16_t u) { return (u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF); }
bool IsSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

bool AllHan(const std::u16string& s) {
  if (s.empty()) return false;
  for (char16_t u : s)
    if (!IsHan(u) && !IsSurrogate(u)) return false;
  return true;
}

bool IsDigit(char16_t u) { return u >= u'0' && u <= u'9'; }
bool IsLetter(char16_t u) { return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z'); }

std::string Spelling(const Syllable& s) { return std::string(SyllableSpelling(s.number)); }

std::string Joined(const std::vector<Syllable>& syllables, bool tones, const char* between) {
  std::string out;
  for (size_t i = 0; i < syllables.size(); ++i) {
    if (i) out += between;
    out += Spelling(syllables[i]);
    if (tones) out.push_back(static_cast<char>('0' + (syllables[i].tone == 0 ? 5 : syllables[i].tone)));
  }
  return out;
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Words of a sense, asides in parentheses and brackets left out, each with whether a
// single blank joins it to the word before.
struct Word {
  std::string text;
  bool joined;
};
std::vector<Word> SenseWords(const std::u16string& sense) {
  std::vector<Word> words;
  constexpr size_t kNone = std::u16string::npos;
  int depth = 0;
  size_t lastEnd = kNone;  // just after the last word; none after an aside
  for (size_t i = 0; i < sense.size();) {
    const char16_t u = sense[i];
    if (u == u'(' || u == u')' || u == u'[' || u == u']') {
      if (u == u'(' || u == u'[') ++depth;
      else if (depth > 0) --depth;
      lastEnd = kNone;
      ++i;
      continue;
    }
    if (depth > 0 || !IsLetter(u)) {
      ++i;
      continue;
    }
    const size_t start = i;
    std::string w;
    for (; i < sense.size() && IsLetter(sense[i]); ++i)
      w.push_back(static_cast<char>(sense[i] <= u'Z' ? sense[i] - u'A' + u'a' : sense[i]));
    // Letters run together with digits ("MP3", "bai2") are no English word.
    if ((start > 0 && IsDigit(sense[start - 1])) || (i < sense.size() && IsDigit(sense[i]))) {
      lastEnd = kNone;
      continue;
    }
    const bool joined = lastEnd != kNone && start == lastEnd + 1 && sense[lastEnd] == u' ';
    words.push_back({w, joined});
    lastEnd = i;
  }
  return words;
}

bool TooCommon(const std::string& w) {
  static const char* const kWords[] = {"the", "and", "for", "with", "from", "that", "sth", "sb", "etc"};
  for (const char* k : kWords)
    if (w == k) return true;
  return false;
}

// The first run of Chinese characters in the senses, cut to a few.
std::u16string HanRun(const std::vector<std::u16string>& senses, Random* rnd) {
  if (senses.empty()) return {};
  const std::u16string& s = senses[rnd->Below(senses.size())];
  for (size_t i = 0; i < s.size(); ++i) {
    if (!IsHan(s[i])) continue;
    size_t end = i;
    while (end < s.size() && IsHan(s[end])) ++end;
    if (end - i > kMaxFullTextRun) end = i + 2;
    return s.substr(i, end - i);
  }
  return {};
}

bool MakeQuery(int queryClass, const EntryText& e, Random* rnd, Query* q) {
  const std::vector<Syllable> syl = PlainSyllables(e.reading, kMaxSyllables);
  switch (queryClass) {
    case kQueryTones:
      if (syl.empty()) return false;
      q->text = Ascii(Joined(syl, true, " "));
      q->peer = "py_toned : ^" + Quoted(Joined(syl, true, " "));
      return true;
    case kQueryToneless:
      if (syl.empty()) return false;
      q->text = Ascii(Joined(syl, false, " "));
      q->peer = "py_toneless : ^" + Quoted(Joined(syl, false, " ")) + " *";
      return true;
    case kQueryNoSpaces:
      if (syl.size() < 2) return false;
      q->text = Ascii(Joined(syl, false, ""));
      q->peer = "py_toneless : ^" + Quoted(Joined(syl, false, " ")) + " *";
      return true;
    case kQueryPartial: {
      if (syl.size() < 2) return false;
      std::vector<Syllable> head(syl.begin(), syl.end() - 1);
      std::string last = Spelling(syl.back());
      if (last.size() < 2) return false;
      last.resize(1 + rnd->Below(last.size() - 1));
      q->text = Ascii(Joined(head, false, "") + last);
      q->peer = "py_toneless : ^" + Quoted(Joined(head, false, " ") + " " + last) + " *";
      return true;
    }
    case kQueryZhuyin: {
      if (syl.empty()) return false;
      static const char16_t kMarks[5] = {0x02D9, 0, 0x02CA, 0x02C7, 0x02CB};
      std::u16string z;
      for (const Syllable& s : syl) {
        std::u16string_view letters = SyllableZhuyin(s.number);
        if (letters.empty()) return false;
        z += letters;
        if (kMarks[s.tone]) z.push_back(kMarks[s.tone]);
      }
      q->text = z;
      q->peer = "py_toned : ^" + Quoted(Joined(syl, true, " "));
      return true;
    }
    case kQuerySimplified:
      if (!AllHan(e.simplified) || e.simplified.size() > kMaxHeadword) return false;
      q->text = e.simplified;
      q->peer = "hw : " + Quoted(Utf16ToUtf8(e.simplified));
      return true;
    case kQueryTraditional:
      if (e.traditional == e.simplified || !AllHan(e.traditional) || e.traditional.size() > kMaxHeadword)
        return false;
      q->text = e.traditional;
      q->peer = "hw : " + Quoted(Utf16ToUtf8(e.traditional));
      return true;
    case kQueryEnglishWord: {
      if (e.senses.empty()) return false;
      std::vector<Word> words = SenseWords(e.senses[rnd->Below(e.senses.size())]);
      std::vector<const Word*> usable;
      for (const Word& w : words)
        if (w.text.size() >= 3 && !TooCommon(w.text)) usable.push_back(&w);
      if (usable.empty()) return false;
      const std::string& w = usable[rnd->Below(usable.size())]->text;
      q->text = Ascii(w);
      q->peer = "en : " + Quoted(w);
      return true;
    }
    case kQueryEnglishPair: {
      if (e.senses.empty()) return false;
      std::vector<Word> words = SenseWords(e.senses[rnd->Below(e.senses.size())]);
      std::vector<size_t> starts;
      for (size_t i = 1; i < words.size(); ++i)
        if (words[i].joined && words[i - 1].text.size() >= 2 && words[i].text.size() >= 2) starts.push_back(i - 1);
      if (starts.empty()) return false;
      const size_t i = starts[rnd->Below(starts.size())];
      const std::string pair = words[i].text + " " + words[i + 1].text;
      q->text = Ascii(pair);
      q->peer = "en : " + Quoted(pair);
      return true;
    }
    case kQueryWildcard:
      if (syl.empty()) return false;
      q->text = Ascii(Spelling(syl[0]) + "$");
      q->peer = "py_toneless : ^" + Spelling(syl[0]) + "*";
      return true;
    case kQueryFullText: {
      std::u16string run = HanRun(e.senses, rnd);
      if (run.empty()) return false;
      q->text = u"#" + run;
      q->peer = "en : " + Quoted(Utf16ToUtf8(run));
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

const char* QueryClassName(int queryClass) {
  static const char* const kNames[kQueryClassCount] = {
      "pinyin with tones", "pinyin toneless", "pinyin no spaces", "partial syllable", "zhuyin",      "simplified",
      "traditional",       "English word",    "two English words", "'$' wildcard",    "full text",
  };
  return queryClass >= 0 && queryClass < kQueryClassCount ? kNames[queryClass] : "?";
}

const PeerQueryRule& PeerRuleOf(int queryClass) {
  static const PeerQueryRule kRules[kQueryClassCount] = {
      {"py_toned : ^\"zhong1 guo2\" (phrase at the column's start)", true},
      {"py_toneless : ^\"zhong guo\" * (the last syllable may go on, as in the engine)", true},
      {"py_toneless : ^\"zhong guo\" * (syllables divided by the bench)", true},
      {"py_toneless : ^\"zhong gu\" * (prefix of the last token; divided by the bench)", true},
      {"py_toned : ^\"zhong1 guo2\" (no zhuyin column: the bench converts)", false},
      {"hw : \"中国\" (token of the headword column)", true},
      {"hw : \"中國\"", true},
      {"en : \"country\" (token anywhere in the English; no ranking)", true},
      {"en : \"middle kingdom\" (phrase; no ranking)", true},
      {"py_toneless : ^zhong* (prefix of the first token)", true},
      {"en : \"中国\" (whole runs of characters only, not inside a run)", false},
  };
  static const PeerQueryRule kNone = {"", false};
  return queryClass >= 0 && queryClass < kQueryClassCount ? kRules[queryClass] : kNone;
}

std::vector<Syllable> PlainSyllables(const std::u16string& reading, size_t maxSyllables) {
  std::vector<Syllable> out;
  for (char16_t u : reading) {
    if (u == kWordStart) continue;
    if (u < kSyllableFirst || u > kSyllableLast) return {};
    const int code = u - kSyllableFirst;
    if (code / 5 >= kSyllableCount) return {};
    out.push_back({code / 5, code % 5});
  }
  if (out.size() > maxSyllables) return {};
  return out;
}

PeerRow MakePeerRow(const EntryText& entry) {
  PeerRow row;
  row.headwords = Utf16ToUtf8(entry.simplified);
  if (entry.traditional != entry.simplified) row.headwords += " " + Utf16ToUtf8(entry.traditional);
  const std::vector<Syllable> syl = PlainSyllables(entry.reading, SIZE_MAX);
  if (!syl.empty()) {
    row.toneless = Joined(syl, false, " ");
    row.toned = Joined(syl, true, " ");
  } else {
    // Readings with letters or digits: the numbered form, lowered.
    row.toned = CodesToNumberedPinyin(entry.reading);
    for (char& c : row.toned)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (char c : row.toned)
      if (!(c >= '1' && c <= '5')) row.toneless.push_back(c);
  }
  for (size_t i = 0; i < entry.senses.size(); ++i) {
    if (i) row.english += " / ";
    row.english += CodesToNumberedPinyin(entry.senses[i]);
  }
  return row;
}

QuerySample SampleQueries(const std::vector<EntryText>& entries, uint32_t perClass, uint64_t seed) {
  QuerySample sample;
  if (entries.empty()) return sample;
  for (int c = 0; c < kQueryClassCount; ++c) {
    // Each class its own stream, so that a change to one class leaves the others' queries alone.
    Random rnd{seed + 0x1000003ull * static_cast<uint64_t>(c)};
    std::vector<Query>& out = sample.byClass[c];
    for (uint64_t tries = 0; out.size() < perClass && tries < uint64_t{perClass} * kTriesPerQuery; ++tries) {
      Query q;
      q.source = rnd.Below(entries.size());
      if (MakeQuery(c, entries[q.source], &rnd, &q)) out.push_back(std::move(q));
    }
  }
  return sample;
}

}  // namespace lookupbench
