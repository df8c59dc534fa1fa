// The posting indexes: 0x1120 character pairs, 0x1130/0x1131 English words,
// 0x1140 letter triples (formats in index_tables.h).
#include <algorithm>
#include <initializer_list>
#include <map>
#include <set>

#include "engine/latin_fold.h"
#include "tools/databuild/bit_writer.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/index_internal.h"
#include "tools/databuild/index_tables.h"
#include "tools/databuild/row_sort.h"

namespace databuild {

namespace {

bool IsCjk(char16_t u) { return u >= 0x3400 && u <= 0xD7FF; }

// Hidden-span marks, which the text search steps over.
bool IsTransparentMark(char16_t u) { return u >= 0xEA90 && u <= 0xEA9F; }

bool BreaksPair(char16_t u) { return u < 0x20 || IsIndexBlank(u) || (u >= 0xE000 && u <= 0xF8FF); }

// The letter key of a text (FoldToKey): lower-case letters, accents folded,
// with or without its blanks.
std::u16string LetterKey(std::u16string_view text, bool keepSpaces) {
  std::u16string src(text);
  std::u16string dst(kFoldKeyMaxUnits + 1, u'\0');
  const std::uint32_t n = FoldToKeyCopy(dst.data(), kFoldKeyMaxUnits + 1, src.c_str(), keepSpaces);
  dst.resize(n);
  return dst;
}

bool IsWordUnit(char16_t u) {
  if (u >= u'0' && u <= u'9') return true;
  if (u == u'\'' || u == 0x2019 || u == u'-') return true;
  WCHAR second = 0;
  WCHAR base = FoldLatinLetter(u, &second);
  if (base >= u'A' && base <= u'Z') base = static_cast<WCHAR>(base + 32);
  return base >= u'a' && base <= u'z';
}

bool IsWordJoiner(char16_t u) { return u == u'\'' || u == 0x2019 || u == u'-'; }

char16_t LowerForTriples(char16_t u) {
  if (u >= u'A' && u <= u'Z') return static_cast<char16_t>(u + 32);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char16_t>(u + 32);
  return u;
}

bool IsTripleLetter(char16_t u) {
  if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z')) return true;
  return u >= 0xC0 && u <= 0x24F && u != 0xD7 && u != 0xF7;
}

// The text a sense "is": its letter key with single blanks, less a leading
// "to ", "a ", "an " or "the ".
std::u16string SenseKey(std::u16string_view text) {
  const std::u16string spaced = LetterKey(text, true);
  std::u16string key;
  for (char16_t u : spaced) {
    if (u == u' ' && (key.empty() || key.back() == u' ')) continue;
    key.push_back(u);
  }
  while (!key.empty() && key.back() == u' ') key.pop_back();
  for (std::u16string_view lead : {u"to ", u"a ", u"an ", u"the "}) {
    if (key.size() > lead.size() && std::u16string_view(key).substr(0, lead.size()) == lead) {
      key.erase(0, lead.size());
      break;
    }
  }
  return key;
}

// Every word of the entry with its relevance.
std::map<std::u16string, std::uint32_t> EntryWords(const SearchIndexEntry& entry, bool englishHeadwords) {
  std::map<std::u16string, std::uint32_t> words;
  const std::vector<std::u16string> texts = WordIndexTexts(entry, englishHeadwords);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const bool first = i == 0;
    for (std::u16string& w : IndexWords(texts[i])) {
      const std::uint32_t r = first ? kRelevanceInFirst : kRelevanceInLater;
      auto [it, fresh] = words.emplace(std::move(w), r);
      if (!fresh) it->second = std::min(it->second, r);
    }
    const std::u16string is = SenseKey(texts[i]);
    auto it = words.find(is);
    if (it != words.end()) {
      it->second = std::min<std::uint32_t>(it->second, first ? kRelevanceFirstIsWord : kRelevanceLaterIsWord);
    }
  }
  return words;
}

std::uint32_t AllOnes(std::uint32_t bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1; }

// A numeric posting table from key -> entries.
int MakeNumericPostingTable(std::uint32_t type, const std::map<std::uint32_t, std::set<std::uint32_t>>& postings,
                            std::size_t entryCount, const SearchIndexOptions& options, TableSpec* out) {
  // The width leaves the all-ones value free for the too-common mark.
  const std::uint32_t bits = BitsFor(entryCount);
  const std::uint32_t limit = MaxValuesPerRecord(bits);
  ColumnSpec col;
  col.unitSize = bits;
  for (const auto& [key, ids] : postings) {
    const bool tooCommon =
        ids.size() > limit || (options.tooCommonEntries != 0 && ids.size() > options.tooCommonEntries);
    col.rows.push_back(MakeValuesRow(key, tooCommon ? std::vector<std::uint32_t>{AllOnes(bits)}
                                                    : std::vector<std::uint32_t>(ids.begin(), ids.end())));
  }
  TableSpec t;
  t.type = type;
  t.flags = kTableBitPacked | kTableKeyed | kTableKey32 | kTableSorted;
  t.maxBlockBytes = BitPackedBlockBytes(col);
  t.maxBlockRows = options.maxBlockRows;
  t.hasEntryCount = true;
  t.entryCount = static_cast<std::uint32_t>(entryCount);
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

}  // namespace

std::uint32_t FrequencyBand(std::uint64_t frequency, std::uint32_t bits) {
  const std::uint32_t last = AllOnes(bits);
  if (frequency == 0) return last;
  std::uint32_t level = 0;  // floor(log8(frequency))
  while (frequency >= 8 && level + 1 < last) {
    frequency /= 8;
    ++level;
  }
  return last - 1 - level;
}

std::vector<std::uint32_t> CharPairKeys(const SearchIndexEntry& entry, bool cjkPairsOnly) {
  std::set<std::uint32_t> keys;
  std::set<char16_t> chinese;  // every Chinese character of the entry's texts
  auto scan = [&](const std::u16string& text) {
    char16_t prev = 0;
    bool havePrev = false;
    for (char16_t u : text) {
      if (IsTransparentMark(u)) continue;
      if (BreaksPair(u)) {
        havePrev = false;
        continue;
      }
      if (IsCjk(u)) chinese.insert(u);
      if (havePrev && (!cjkPairsOnly || IsCjk(prev) || IsCjk(u))) {
        keys.insert(static_cast<std::uint32_t>(prev) << 16 | u);
      }
      prev = u;
      havePrev = true;
    }
  };
  for (const std::u16string& t : entry.headwords) scan(t);
  for (const std::u16string& t : entry.senses) scan(t);
  for (const std::u16string& t : entry.moreTexts) scan(t);
  // A one-character text search reads every key from c << 16 to
  // (c << 16) | 0xFFFF: the pairs that begin with c, and c << 16 itself,
  // which is kept for the entries where c begins no pair (it ends a run of
  // text or stands alone), so that between them they list every entry
  // holding c at the cost of one posting where no pair would do.
  for (char16_t c : chinese) {
    const std::uint32_t first = static_cast<std::uint32_t>(c) << 16;
    auto next = keys.lower_bound(first);
    if (next == keys.end() || *next > (first | 0xFFFF)) keys.insert(first);
  }
  return {keys.begin(), keys.end()};
}

std::vector<std::uint32_t> TripleKeys(std::u16string_view headword) {
  std::u16string text = WithoutParentheses(headword);
  while (!text.empty() && IsIndexBlank(text.back())) text.pop_back();
  std::size_t lead = 0;
  while (lead < text.size() && IsIndexBlank(text[lead])) ++lead;
  text.erase(0, lead);

  std::u16string written, letters;
  for (char16_t u : text) {
    const char16_t low = LowerForTriples(u);
    if (u < 0x3000) written.push_back(low);
    if (IsTripleLetter(u)) letters.push_back(low);
  }
  const std::u16string folded = LetterKey(text, false);

  std::set<std::uint32_t> keys;
  for (const std::u16string* s : std::initializer_list<const std::u16string*>{&written, &letters, &folded}) {
    const std::size_t n = s->size();
    if (n < 2) continue;
    auto b = [s](std::size_t i) { return static_cast<std::uint32_t>((*s)[i] & 0xFF); };
    keys.insert(1u << 16 | b(0) << 8 | b(1));
    for (std::size_t i = 0; i + 2 < n; ++i) keys.insert(b(i) << 16 | b(i + 1) << 8 | b(i + 2));
    keys.insert(b(n - 2) << 16 | b(n - 1) << 8 | 1u);
  }
  return {keys.begin(), keys.end()};
}

std::vector<std::u16string> IndexWords(std::u16string_view text) {
  std::vector<std::u16string> words;
  std::u16string piece;
  auto flush = [&]() {
    if (piece.empty()) return;
    const std::u16string whole = LetterKey(piece, false);
    if (!whole.empty()) words.push_back(whole);
    // "well-known" is also "well" and "known": a query typed with a blank
    // finds it too.
    if (std::any_of(piece.begin(), piece.end(), IsWordJoiner)) {
      std::u16string part;
      for (std::size_t i = 0; i <= piece.size(); ++i) {
        if (i == piece.size() || IsWordJoiner(piece[i])) {
          const std::u16string key = LetterKey(part, false);
          if (!key.empty() && key != whole) words.push_back(key);
          part.clear();
        } else {
          part.push_back(piece[i]);
        }
      }
    }
    piece.clear();
  };
  for (char16_t u : text) {
    if (IsWordUnit(u)) {
      piece.push_back(u);
    } else {
      flush();
    }
  }
  flush();
  return words;
}

std::vector<std::u16string> WordIndexTexts(const SearchIndexEntry& entry, bool englishHeadwords) {
  std::vector<std::u16string> texts;
  if (englishHeadwords) texts = entry.headwords;
  texts.insert(texts.end(), entry.senses.begin(), entry.senses.end());
  return texts;
}

std::uint32_t EntryWordRelevance(const SearchIndexEntry& entry, std::u16string_view word, bool englishHeadwords) {
  const std::map<std::u16string, std::uint32_t> words = EntryWords(entry, englishHeadwords);
  auto it = words.find(std::u16string(word));
  return it == words.end() ? 4 : it->second;
}

int MakeCharPairIndexTable(const DictionaryEntries& entries, const SearchIndexOptions& options, TableSpec* out,
                           std::string* error) {
  (void)error;
  std::map<std::uint32_t, std::set<std::uint32_t>> postings;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    for (std::uint32_t k : CharPairKeys(entries[e], options.cjkPairsOnly)) {
      postings[k].insert(static_cast<std::uint32_t>(e));
    }
  }
  return MakeNumericPostingTable(kTypeCharPairIndex, postings, entries.size(), options, out);
}

int MakeTripleIndexTable(const DictionaryEntries& entries, const SearchIndexOptions& options, TableSpec* out,
                         std::string* error) {
  (void)error;
  std::map<std::uint32_t, std::set<std::uint32_t>> postings;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    for (const std::u16string& h : entries[e].headwords) {
      for (std::uint32_t k : TripleKeys(h)) postings[k].insert(static_cast<std::uint32_t>(e));
    }
  }
  return MakeNumericPostingTable(kTypeTripleIndex, postings, entries.size(), options, out);
}

int MakeWordIndexTable(const DictionaryEntries& entries, const SearchIndexOptions& options, bool ranked,
                       TableSpec* out, std::string* error) {
  // word -> entry -> relevance; entries ascend.
  // The rank is the relevance, with the entry's frequency band below it
  // when the options ask for one.
  const std::uint32_t bandBits = ranked ? options.frequencyBits : 0;
  std::map<std::u16string, std::map<std::uint32_t, std::uint32_t>> postings;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    const std::uint32_t band = bandBits ? FrequencyBand(entries[e].frequency, bandBits) : 0;
    for (auto& [word, relevance] : EntryWords(entries[e], options.englishHeadwords)) {
      postings[word][static_cast<std::uint32_t>(e)] = relevance << bandBits | band;
    }
  }
  std::set<std::u16string> common;
  for (const std::u16string& w : options.tooCommonWords) common.insert(LetterKey(w, false));

  // Entry numbers leave their all-ones value free, so no posting is ever
  // the too-common mark; at least 8 bits, so a record's padding (less than
  // a byte) never reads as a value.
  const std::uint32_t entryBits = BitsFor(entries.size());
  const std::uint32_t extra = ranked ? kRelevanceBits + bandBits : 0;
  const std::uint32_t bits = std::max<std::uint32_t>(8, entryBits + extra);
  if (bandBits > 8 || entryBits + extra > 32) {
    if (error) *error = "word index: " + std::to_string(entryBits + extra) + " bits a posting (more than 32)";
    return 1;
  }

  ColumnSpec col;
  col.unitSize = 1;
  std::size_t largest = 0;
  for (const auto& [word, ids] : postings) {
    RowSpec row;
    AppendUtf16LE(row.bytes, word);
    AppendU16LE(row.bytes, 0);
    PadTo(row.bytes, 4);
    const std::size_t textBytes = row.bytes.size();
    const std::size_t valueBytes = (ids.size() * bits + 7) / 8;
    const bool tooCommon = common.count(word) != 0 || textBytes + valueBytes > kMaxBlockBytes ||
                           (options.tooCommonEntries != 0 && ids.size() > options.tooCommonEntries);
    BitWriter w;
    if (tooCommon) {
      WriteBits(w, AllOnes(bits), bits);
    } else {
      for (const auto& [id, rank] : ids) WriteBits(w, ranked ? rank << (bits - extra) | id : id, bits);
    }
    AlignBits(w, 8);
    AppendBytes(row.bytes, w.bytes);
    largest = std::max(largest, row.bytes.size());
    col.rows.push_back(std::move(row));
  }
  SortRowsByText(col, 5, false, 0);

  TableSpec t;
  t.type = ranked ? kTypeRankedWordIndex : kTypeWordIndex;
  t.flags = kTableTextIndex;
  t.info.assign(4 * kWordIndexInfoWords, 0);
  PutU32LE(t.info, 4 * 7, bits);
  PutU32LE(t.info, 4 * 8, extra);
  t.maxBlockBytes = static_cast<std::uint32_t>(std::clamp<std::size_t>(largest, 8192, kMaxBlockBytes));
  t.maxBlockRows = options.maxBlockRows;
  t.hasEntryCount = true;
  t.entryCount = static_cast<std::uint32_t>(entries.size());
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

}  // namespace databuild
