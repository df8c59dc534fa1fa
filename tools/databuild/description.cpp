#include "tools/databuild/description.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "resources/syllables.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/entry_markup.h"
#include "tools/databuild/radical_tables.h"
#include "tools/databuild/row_sort.h"
#include "tools/databuild/stroke_tables.h"

namespace databuild {

namespace {

struct Attr {
  std::string name;     // empty for a bare word
  std::string value;    // bare value as written
  std::u16string text;  // the value as text (escapes resolved when quoted)
};

struct Line {
  std::string directive;
  std::vector<Attr> attrs;
};

struct SortRequest {
  bool byKey = false;
  int mode = -1;  // text mode, -1 none
};

// A typed table (or group of tables) being described; it becomes tables
// when the next top-level directive or the end comes.
enum class Typed { None, Dictionary, Radicals, AudioIndex, ClipTable, AudioGroup, Strokes };

struct TypedState {
  Typed kind = Typed::None;
  std::size_t line = 0;  // where it was opened
  DictionarySpec dict;
  RadicalTablesSpec radicals;
  SyllableIndexSpec audioIndex;
  ClipTableSpec clipTable;
  AudioGroupSpec audioGroup;
  StrokeIndexSpec strokes;
};

struct ParseState {
  DataFileSpec* desc = nullptr;
  std::size_t lineNo = 0;  // the line being read
  bool sawFile = false;
  std::vector<std::vector<SortRequest>> sorts;  // per table, per column
  TypedState typed;
  bool afterTyped = false;  // the last table came from a typed directive
};

bool Err(std::string* error, const std::string& msg) {
  *error = msg;
  return false;
}

// Reads a quoted value starting after its opening quote; `pos` ends after
// the closing quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, Attr* a, std::string* error) {
  std::string utf8;  // pending plain UTF-8 bytes
  auto flush = [&]() -> bool {
    std::u16string part;
    if (!Utf8ToUtf16(utf8, &part)) return false;
    a->text += part;
    a->value += utf8;
    utf8.clear();
    return true;
  };
  while (pos < s.size()) {
    const char ch = s[pos++];
    if (ch == '"') {
      if (!flush()) return Err(error, "malformed UTF-8 in a quoted text");
      return true;
    }
    if (ch != '\\') {
      utf8.push_back(ch);
      continue;
    }
    if (pos >= s.size()) break;
    const char e = s[pos++];
    if (!flush()) return Err(error, "malformed UTF-8 in a quoted text");
    switch (e) {
      case 'n': a->text.push_back(u'\n'); break;
      case 't': a->text.push_back(u'\t'); break;
      case 'r': a->text.push_back(u'\r'); break;
      case '0': a->text.push_back(0); break;
      case '\\': a->text.push_back(u'\\'); break;
      case '"': a->text.push_back(u'"'); break;
      case 'u': {
        // \uXXXX: one UTF-16 unit, as written (lone surrogates allowed).
        if (pos + 4 > s.size()) return Err(error, "\\u needs four hex digits");
        const std::string hex(s.substr(pos, 4));
        char* end = nullptr;
        const unsigned long v = std::strtoul(hex.c_str(), &end, 16);
        if (end != hex.c_str() + 4) return Err(error, "\\u needs four hex digits");
        a->text.push_back(static_cast<char16_t>(v));
        pos += 4;
        break;
      }
      case '{': {
        // \{ni3}: the syllable code U+E000 + 5 x syllable + tone (0-4; 5 = 0).
        const std::size_t close = s.find('}', pos);
        if (close == std::string_view::npos || close == pos) return Err(error, "\\{ needs a syllable and a }");
        std::string syl(s.substr(pos, close - pos));
        int tone = 0;
        if (!syl.empty() && syl.back() >= '0' && syl.back() <= '5') {
          tone = (syl.back() - '0') % 5;
          syl.pop_back();
        }
        const int n = FindSyllable(syl);
        if (n < 0) return Err(error, "unknown syllable \"" + syl + "\"");
        a->text.push_back(static_cast<char16_t>(0xE000 + 5 * n + tone));
        pos = close + 1;
        break;
      }
      default:
        return Err(error, std::string("unknown escape \\") + e);
    }
  }
  return Err(error, "unterminated quoted text");
}

bool Tokenize(std::string_view s, Line* line, std::string* error) {
  std::size_t pos = 0;
  bool first = true;
  while (true) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\r')) ++pos;
    if (pos >= s.size() || s[pos] == '#') return true;
    Attr a;
    bool quotedWord = false;
    const std::size_t start = pos;
    while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t' && s[pos] != '\r' && s[pos] != '=' && s[pos] != '"') {
      ++pos;
    }
    std::string word(s.substr(start, pos - start));
    if (pos < s.size() && s[pos] == '=') {
      a.name = word;
      ++pos;
      if (pos < s.size() && s[pos] == '"') {
        ++pos;
        if (!ReadQuoted(s, pos, &a, error)) return false;
      } else {
        const std::size_t vs = pos;
        while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t' && s[pos] != '\r') ++pos;
        a.value = std::string(s.substr(vs, pos - vs));
        if (!Utf8ToUtf16(a.value, &a.text)) return Err(error, "malformed UTF-8");
      }
    } else if (pos < s.size() && s[pos] == '"' && word.empty()) {
      quotedWord = true;
      ++pos;
      if (!ReadQuoted(s, pos, &a, error)) return false;
    } else {
      a.value = word;
      if (!Utf8ToUtf16(a.value, &a.text)) return Err(error, "malformed UTF-8");
    }
    if (first && a.name.empty() && !quotedWord) {
      line->directive = a.value;
    } else {
      line->attrs.push_back(std::move(a));
    }
    first = false;
  }
}

bool ParseNumber(const std::string& s, std::uint32_t* out) {
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  // Decimal, or hex after "0x" (a leading 0 does not mean octal).
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  char* end = nullptr;
  const unsigned long long v = std::strtoull(s.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
  if (*end != 0 || v > 0xFFFFFFFFull) return false;
  *out = static_cast<std::uint32_t>(v);
  return true;
}

bool ParseNumberList(const std::string& s, std::vector<std::uint32_t>* out, std::string* error) {
  std::size_t pos = 0;
  while (pos <= s.size()) {
    std::size_t comma = s.find(',', pos);
    if (comma == std::string::npos) comma = s.size();
    std::uint32_t v;
    if (!ParseNumber(s.substr(pos, comma - pos), &v)) return Err(error, "bad number list \"" + s + "\"");
    out->push_back(v);
    pos = comma + 1;
  }
  return true;
}

bool ParseHex(const std::string& s, ByteVec* out, std::string* error) {
  std::string digits;
  for (char c : s) {
    if (c != ' ' && c != '_' && c != ':') digits.push_back(c);
  }
  if (digits.size() % 2 != 0) return Err(error, "odd number of hex digits");
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    char* end = nullptr;
    const std::string byte = digits.substr(i, 2);
    const unsigned long v = std::strtoul(byte.c_str(), &end, 16);
    if (end != byte.c_str() + 2) return Err(error, "bad hex \"" + s + "\"");
    out->push_back(static_cast<std::uint8_t>(v));
  }
  return true;
}

bool ParseFourCC(const std::string& s, std::uint32_t* out) {
  if (s.size() != 4) return false;
  *out = 0;
  for (char c : s) *out = (*out << 8) | static_cast<std::uint8_t>(c);
  return true;
}

bool ParseFlags(const std::string& s, std::uint32_t* flags, std::string* error) {
  static const struct {
    const char* name;
    std::uint32_t bits;
  } kNames[] = {
      {"huffman", kTableHuffmanText}, {"bits", kTableBitPacked}, {"fixed", kTableFixedLength},
      {"key16", kTableKeyed},         {"key32", kTableKeyed | kTableKey32}, {"sorted", kTableSorted},
      {"textindex", kTableTextIndex}, {"zlib", kTableZlib},     {"release", kTableReleaseAfterRead},
  };
  std::size_t pos = 0;
  while (pos <= s.size()) {
    std::size_t comma = s.find(',', pos);
    if (comma == std::string::npos) comma = s.size();
    const std::string name = s.substr(pos, comma - pos);
    bool found = false;
    for (const auto& n : kNames) {
      if (name == n.name) {
        *flags |= n.bits;
        found = true;
      }
    }
    std::uint32_t v;
    if (!found && ParseNumber(name, &v)) {
      *flags |= v;
      found = true;
    }
    if (!found) return Err(error, "unknown flag \"" + name + "\"");
    pos = comma + 1;
  }
  return true;
}

// The table that generic child directives (subtable, column, row, values)
// add to: only one opened by "table".
TableSpec* CurrentTable(ParseState& st) {
  if (st.typed.kind != Typed::None || st.afterTyped) return nullptr;
  return st.desc->tables.empty() ? nullptr : &st.desc->tables.back();
}

ColumnSpec* CurrentColumn(ParseState& st) {
  TableSpec* t = CurrentTable(st);
  return t && !t->columns.empty() ? &t->columns.back() : nullptr;
}

bool FinishTyped(ParseState& st, std::string* error);
bool NameText(const Attr& a, std::u16string* out, std::string* error);

bool OnFile(ParseState& st, const Line& line, std::string* error) {
  if (st.sawFile || !st.desc->tables.empty() || st.typed.kind != Typed::None) {
    return Err(error, "\"file\" comes once, before the tables");
  }
  st.sawFile = true;
  for (const Attr& a : line.attrs) {
    if (a.name == "name") {
      std::u16string name;
      if (!NameText(a, &name, error)) return false;
      st.desc->containerName = a.value;
    } else if (a.name == "type") {
      if (!ParseFourCC(a.value, &st.desc->containerType)) return Err(error, "type is four characters");
    } else if (a.name == "short") {
      if (!NameText(a, &st.desc->shortName, error)) return false;
    } else if (a.name == "long") {
      if (!NameText(a, &st.desc->longName, error)) return false;
    } else if (a.name == "notice") {
      st.desc->notice = a.text;
    } else {
      return Err(error, "unknown attribute \"" + a.name + "\" of file");
    }
  }
  return true;
}

bool OnTable(ParseState& st, const Line& line, std::string* error) {
  if (!FinishTyped(st, error)) return false;
  st.afterTyped = false;
  TableSpec t;
  bool hasType = false;
  for (const Attr& a : line.attrs) {
    std::uint32_t v = 0;
    const bool num = ParseNumber(a.value, &v);
    if (a.name == "type" && num) {
      t.type = v;
      hasType = true;
    } else if (a.name == "version" && num) {
      t.version = v;
    } else if (a.name == "flags") {
      if (!ParseFlags(a.value, &t.flags, error)) return false;
    } else if (a.name == "name") {
      if (!NameText(a, &t.name1, error)) return false;
    } else if (a.name == "name2") {
      if (!NameText(a, &t.name2, error)) return false;
    } else if (a.name == "entries" && num) {
      t.hasEntryCount = true;
      t.entryCount = v;
    } else if (a.name == "fixed" && num) {
      t.fixedLength = v;
      t.flags |= kTableFixedLength;
    } else if (a.name == "textkind" && num) {
      t.textKind = v;
    } else if (a.name == "zlib") {
      t.flags |= kTableZlib;
      if (a.value == "finished") {
        t.zlibEnd = ZlibEnd::Finished;
      } else if (a.value == "unfinished") {
        t.zlibEnd = ZlibEnd::Unfinished;
      } else {
        return Err(error, "zlib=finished or zlib=unfinished");
      }
    } else if (a.name == "blockrows" && num) {
      if (v == 0) return Err(error, "blockrows= takes 1 or more (a block of 0 rows holds nothing)");
      t.maxBlockRows = v;
    } else if (a.name == "blockbytes" && num) {
      t.maxBlockBytes = v;
    } else if (a.name == "indexentries" && num) {
      t.maxIndexEntries = v;
    } else if (a.name == "indexskip" && num) {
      t.indexTextSkip = v;
    } else if (a.name == "info") {
      if (!ParseHex(a.value, &t.info, error)) return false;
    } else if (a.name == "infowords") {
      std::vector<std::uint32_t> words;
      if (!ParseNumberList(a.value, &words, error)) return false;
      for (std::uint32_t w : words) AppendU32LE(t.info, w);
    } else {
      return Err(error, "bad attribute \"" + a.name + "=" + a.value + "\" of table");
    }
  }
  if (!hasType) return Err(error, "a table needs type=");
  st.desc->tables.push_back(std::move(t));
  st.sorts.emplace_back();
  return true;
}

bool OnSubtable(ParseState& st, const Line& line, std::string* error) {
  TableSpec* t = CurrentTable(st);
  if (!t) return Err(error, "\"subtable\" outside a table");
  ByteVec bytes;
  for (const Attr& a : line.attrs) {
    if (a.name == "hex") {
      if (!ParseHex(a.value, &bytes, error)) return false;
    } else {
      return Err(error, "subtable takes hex=");
    }
  }
  t->subtables.push_back(std::move(bytes));
  return true;
}

bool OnColumn(ParseState& st, const Line& line, std::string* error) {
  TableSpec* t = CurrentTable(st);
  if (!t) return Err(error, "\"column\" outside a table");
  ColumnSpec c;
  SortRequest sort;
  for (const Attr& a : line.attrs) {
    std::uint32_t v = 0;
    if (a.name == "unit" && ParseNumber(a.value, &v)) {
      c.unitSize = v;
    } else if (a.name.empty() && a.value == "measured") {
      c.lengthsMeasured = true;
    } else if (a.name == "sort" && a.value == "key") {
      sort.byKey = true;
    } else if (a.name == "sort" && a.value.rfind("mode", 0) == 0 && ParseNumber(a.value.substr(4), &v)) {
      // The text orders that exist; any other mode would leave the rows as
      // written while the reader searches them as sorted.
      if (v != 0 && v != 5 && v != 6 && v != 7) return Err(error, "sort=modeN takes mode 0, 5, 6 or 7");
      sort.mode = static_cast<int>(v);
    } else {
      return Err(error, "bad attribute \"" + a.name + "=" + a.value + "\" of column");
    }
  }
  t->columns.push_back(std::move(c));
  st.sorts.back().push_back(sort);
  return true;
}

bool OnRow(ParseState& st, const Line& line, std::string* error) {
  TableSpec* t = CurrentTable(st);
  ColumnSpec* c = CurrentColumn(st);
  if (!c) return Err(error, "\"row\" outside a column");
  const bool huffman = t->flags & kTableHuffmanText;
  RowSpec r;
  for (const Attr& a : line.attrs) {
    if (a.name == "key") {
      if (!ParseNumber(a.value, &r.key)) return Err(error, "bad key");
    } else if (a.name == "text") {
      if (huffman) {
        r.text += a.text;
      } else {
        AppendUtf16LE(r.bytes, a.text);
      }
    } else if (a.name == "words") {
      std::vector<std::uint32_t> w;
      if (!ParseNumberList(a.value, &w, error)) return false;
      for (std::uint32_t x : w) {
        if (x > 0xFFFF) return Err(error, "a word is 16 bits");
        if (huffman) {
          r.text.push_back(static_cast<char16_t>(x));
        } else {
          AppendU16LE(r.bytes, static_cast<std::uint16_t>(x));
        }
      }
    } else if (a.name == "hex") {
      if (huffman) return Err(error, "Huffman-coded rows take text= and words=");
      if (!ParseHex(a.value, &r.bytes, error)) return false;
    } else if (a.name == "values") {
      if (!(t->flags & kTableBitPacked)) return Err(error, "values= is for a table with flags=bits");
      if (!ParseNumberList(a.value, &r.values, error)) return false;
    } else if (a.name == "index") {
      r.indexText = a.text;
    } else {
      return Err(error, "bad attribute \"" + a.name + "\" of row");
    }
  }
  c->rows.push_back(std::move(r));
  return true;
}

bool OnValues(ParseState& st, const Line& line, std::string* error) {
  ColumnSpec* c = CurrentColumn(st);
  if (!c) return Err(error, "\"values\" outside a column");
  for (const Attr& a : line.attrs) {
    if (!a.name.empty()) return Err(error, "values takes bare numbers");
    if (!ParseNumberList(a.value, &c->values, error)) return false;
  }
  return true;
}

// ---- Typed tables: each top-level directive opens a typed object, its child
// directives fill it, and it becomes tables when the next top-level
// directive (or the end) comes.

bool Bare(const Attr& a, const char* word) { return a.name.empty() && a.value == word; }

bool Number(const Attr& a, std::uint32_t* out, std::string* error) {
  if (!ParseNumber(a.value, out)) return Err(error, "\"" + a.name + "\" takes a number");
  return true;
}

// A block of no rows cannot hold anything: blockrows= is 1 or more.
bool BlockRows(const Attr& a, std::uint32_t* out, std::string* error) {
  if (!Number(a, out, error)) return false;
  if (*out == 0) return Err(error, "blockrows= takes 1 or more (a block of 0 rows holds nothing)");
  return true;
}

// A name is shown and compared as text: no NUL (the reader would cut it
// there), no unpaired surrogate, and valid UTF-8 as written.
bool NameText(const Attr& a, std::u16string* out, std::string* error) {
  std::u16string check;
  if (!Utf8ToUtf16(a.value, &check)) return Err(error, "\"" + a.name + "\" is not valid UTF-8");
  for (std::size_t i = 0; i < a.text.size(); ++i) {
    const char16_t c = a.text[i];
    if (c == 0) return Err(error, "\"" + a.name + "\" holds a NUL");
    const bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < a.text.size() && a.text[i + 1] >= 0xDC00 && a.text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      return Err(error, "\"" + a.name + "\" holds an unpaired surrogate");
    }
  }
  *out = a.text;
  return true;
}

bool Number16(const Attr& a, std::uint16_t* out, std::string* error) {
  std::uint32_t v = 0;
  if (!Number(a, &v, error)) return false;
  if (v > 0xFFFF) return Err(error, "\"" + a.name + "\" takes a 16-bit number");
  *out = static_cast<std::uint16_t>(v);
  return true;
}

bool OneUnit(const Attr& a, char16_t* out, std::string* error) {
  if (a.text.size() != 1) return Err(error, "\"" + a.name + "\" takes one character");
  *out = a.text[0];
  return true;
}

bool BadAttr(const Attr& a, const char* directive, std::string* error) {
  return Err(error, "bad attribute \"" + (a.name.empty() ? a.value : a.name) + "\" of " + directive);
}

bool InTyped(ParseState& st, Typed kind, const char* directive, const char* parent, std::string* error) {
  if (st.typed.kind != kind) return Err(error, std::string("\"") + directive + "\" outside " + parent);
  return true;
}

bool FinishTyped(ParseState& st, std::string* error) {
  TypedState& t = st.typed;
  if (t.kind == Typed::None) return true;
  DataFileSpec& file = *st.desc;
  const std::size_t before = file.tables.size();
  int r = 0;
  std::size_t inFront = 0;  // tables inserted as table 0
  switch (t.kind) {
    case Typed::Dictionary:
      // The secondary table starts at one of the dictionary's own fields.
      if (t.dict.secondaryFirstField != 0 && t.dict.secondaryFirstField >= t.dict.info.fields.size()) {
        const std::string message = "the dictionary of line " + std::to_string(t.line) + ": secondary=" +
                                    std::to_string(t.dict.secondaryFirstField) + " is past its " +
                                    std::to_string(t.dict.info.fields.size()) + " field(s)";
        st.typed = TypedState{};
        return Err(error, message);
      }
      r = AddDictionaryTables(t.dict, &file, error);
      break;
    case Typed::Radicals:
      r = AddRadicalTables(t.radicals, &file, error);
      break;
    case Typed::AudioIndex:
      r = AddSyllableIndexTable(t.audioIndex, &file, error);
      inFront = 1;
      break;
    case Typed::ClipTable:
      r = AddClipTable(t.clipTable, &file, error);
      break;
    case Typed::AudioGroup:
      r = AddAudioGroup(t.audioGroup, &file, error);
      inFront = 1;
      break;
    case Typed::Strokes:
      r = AddStrokeIndexTable(t.strokes, &file, error);
      inFront = 1;
      break;
    case Typed::None:
      break;
  }
  st.typed = TypedState{};
  if (r != 0) return false;
  // Typed tables come sorted; keep the per-table sort requests aligned.
  if (file.tables.size() > before) {
    st.sorts.insert(st.sorts.begin(), inFront, {});
    st.sorts.resize(file.tables.size());
  }
  st.afterTyped = true;
  return true;
}

bool OpenTyped(ParseState& st, Typed kind, std::string* error) {
  if (!FinishTyped(st, error)) return false;
  st.typed.kind = kind;
  st.typed.line = st.lineNo;
  return true;
}

// The search-index attributes of a dictionary line, applied once the whole
// line (and so its language) is read.
struct IndexAttrs {
  bool any = false;
  bool hasList = false;
  std::string list;
  bool hasDepth = false;
  std::uint32_t depth = 0;
  std::uint32_t tooCommon = 0;
  std::u16string commonWords;
};

bool ApplyIndexAttrs(const IndexAttrs& x, DictionarySpec& d, std::string* error) {
  if (!x.any) return true;
  d.searchIndexes = true;
  SearchIndexOptions o = SearchIndexOptionsFor(d.info.language);
  if (x.hasList) {
    o.prefixIndex = o.charPairs = o.triples = false;
    bool plain = false, ranked = false;
    std::size_t at = 0;
    while (at <= x.list.size()) {
      std::size_t end = x.list.find(',', at);
      if (end == std::string::npos) end = x.list.size();
      const std::string item = x.list.substr(at, end - at);
      if (item == "prefix") {
        o.prefixIndex = true;
      } else if (item == "pairs") {
        o.charPairs = true;
      } else if (item == "cjkpairs") {
        o.charPairs = o.cjkPairsOnly = true;
      } else if (item == "words") {
        ranked = true;
      } else if (item == "plainwords") {
        plain = true;
      } else if (item == "triples") {
        o.triples = true;
      } else {
        return Err(error, "indexes= takes prefix, pairs, cjkpairs, words, plainwords, triples");
      }
      at = end + 1;
    }
    o.words = plain && ranked ? WordIndexKind::Both
              : ranked        ? WordIndexKind::Ranked
              : plain         ? WordIndexKind::Plain
                              : WordIndexKind::None;
  }
  if (x.hasDepth) o.maxKeyDepth = x.depth;
  o.tooCommonEntries = x.tooCommon;
  std::u16string word;
  for (std::size_t i = 0; i <= x.commonWords.size(); ++i) {
    if (i == x.commonWords.size() || x.commonWords[i] == u',') {
      if (!word.empty()) o.tooCommonWords.push_back(word);
      word.clear();
    } else {
      word.push_back(x.commonWords[i]);
    }
  }
  o.maxBlockRows = d.maxBlockRows;
  d.indexOptions = o;
  return true;
}

bool OnDictionary(ParseState& st, const Line& line, std::string* error) {
  if (!OpenTyped(st, Typed::Dictionary, error)) return false;
  DictionarySpec& d = st.typed.dict;
  IndexAttrs x;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (Bare(a, "searchindexes")) {
      x.any = true;
    } else if (a.name == "indexes") {
      x.any = x.hasList = true;
      x.list = a.value.empty() ? Utf16ToUtf8(a.text) : a.value;
    } else if (a.name == "indexdepth") {
      x.any = x.hasDepth = true;
      ok = Number(a, &x.depth, error);
    } else if (a.name == "toocommon") {
      x.any = true;
      ok = Number(a, &x.tooCommon, error);
    } else if (a.name == "commonwords") {
      x.any = true;
      x.commonWords = a.text;
    } else if (a.name == "creator") {
      ok = Number(a, &d.info.creator, error);
    } else if (a.name == "id") {
      ok = Number(a, &d.info.dictId, error);
    } else if (a.name == "flags") {
      ok = Number(a, &d.info.flags, error);
    } else if (a.name == "lang") {
      ok = Number(a, &d.info.language, error);
    } else if (a.name == "trans") {
      ok = Number(a, &d.info.transLanguage, error);
    } else if (a.name == "icon") {
      d.info.iconText = a.text;
    } else if (a.name == "icon2") {
      d.info.iconText2 = a.text;
    } else if (a.name == "fill") {
      ok = Number(a, &d.info.iconFillColor, error);
    } else if (a.name == "textcolor") {
      ok = Number(a, &d.info.iconTextColor, error);
    } else if (a.name == "menu") {
      ok = NameText(a, &d.info.menuName, error);
    } else if (a.name == "short") {
      ok = NameText(a, &d.info.shortName, error);
    } else if (a.name == "coding") {
      if (a.value == "huffman") {
        d.coding = EntryCoding::Huffman;
      } else if (a.value == "raw") {
        d.coding = EntryCoding::Raw;
      } else if (a.value == "zlib") {
        d.coding = EntryCoding::Zlib;
      } else {
        ok = Err(error, "coding=huffman, raw or zlib");
      }
    } else if (Bare(a, "key32")) {
      d.key32 = true;
    } else if (a.name == "blockrows") {
      ok = BlockRows(a, &d.maxBlockRows, error);
    } else if (a.name == "secondary") {
      ok = Number(a, &d.secondaryFirstField, error);
      if (ok && d.secondaryFirstField == 0) ok = Err(error, "secondary= is the secondary table's first field, not 0");
    } else if (a.name == "idmap" && a.value == "keys") {
      d.idMapFromKeys = true;
    } else if (Bare(a, "nobitmap")) {
      d.entryBitmap = false;
    } else if (Bare(a, "wordlengths")) {
      d.wordLengths = true;
    } else {
      ok = BadAttr(a, "dictionary", error);
    }
    if (!ok) return false;
  }
  return ApplyIndexAttrs(x, d, error);
}

bool OnField(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Dictionary, "field", "a dictionary", error)) return false;
  DictFieldSpec f;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "name") {
      ok = NameText(a, &f.name, error);
    } else if (a.name == "name2") {
      f.name2 = a.text;
    } else if (a.name == "prefix") {
      f.prefix = a.text;
    } else if (a.name == "suffix") {
      f.suffix = a.text;
    } else if (a.name == "separator") {
      f.separator = a.text;
    } else if (a.name == "class") {
      ok = Number(a, &f.classWord, error);
    } else if (a.name == "type") {
      ok = Number(a, &f.type, error);
    } else if (a.name == "kind") {
      ok = Number(a, &f.displayKind, error);
    } else if (a.name == "grouping") {
      ok = Number(a, &f.grouping, error);
    } else if (a.name == "level") {
      ok = Number(a, &f.level, error);
    } else if (a.name == "style") {
      ok = Number(a, &f.style, error);
    } else if (a.name == "color") {
      ok = Number(a, &f.color, error);
    } else {
      ok = BadAttr(a, "field", error);
    }
    if (!ok) return false;
  }
  st.typed.dict.info.fields.push_back(std::move(f));
  return true;
}

bool OnSection(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Dictionary, "section", "a dictionary", error)) return false;
  DictSectionSpec s;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "flags") {
      ok = Number(a, &s.flags, error);
    } else if (a.name == "limit") {
      ok = Number(a, &s.limit, error);
    } else if (a.name == "style") {
      ok = Number(a, &s.style, error);
    } else if (a.name == "prefix") {
      ok = OneUnit(a, &s.prefix, error);
    } else if (a.name == "suffix") {
      ok = OneUnit(a, &s.suffix, error);
    } else if (a.name == "switch") {
      ok = Number(a, &s.switchCount, error);
    } else if (a.name == "style2") {
      ok = Number(a, &s.style2, error);
    } else if (a.name == "prefix2") {
      ok = OneUnit(a, &s.prefix2, error);
    } else if (a.name == "suffix2") {
      ok = OneUnit(a, &s.suffix2, error);
    } else {
      ok = BadAttr(a, "section", error);
    }
    if (!ok) return false;
  }
  st.typed.dict.info.sections.push_back(s);
  return true;
}

bool OnEntry(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Dictionary, "entry", "a dictionary", error)) return false;
  DictEntrySpec e;
  std::u16string headword2;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "key") {
      ok = Number(a, &e.key, error);
      e.hasKey = true;
    } else if (a.name == "text") {
      e.text = a.text;
    } else if (a.name == "secondary") {
      e.secondary = a.text;
    } else if (a.name == "headword") {
      e.headword = a.text;
    } else if (a.name == "length") {
      ok = Number(a, &e.wordLength, error);
    } else if (a.name == "headword2") {
      headword2 = a.text;
    } else if (a.name == "pinyin") {
      // Tone numbers ("zhong1 guo2"), or syllable codes (\{zhong1}).
      const bool letters = std::any_of(a.text.begin(), a.text.end(), [](char16_t u) { return u < 0x80; });
      e.index.pinyin = letters ? PinyinNumbersToCodes(Utf16ToUtf8(a.text)) : a.text;
    } else if (a.name == "sense") {
      e.index.senses.push_back(a.text);
    } else if (a.name == "more") {
      e.index.moreTexts.push_back(a.text);
    } else {
      ok = BadAttr(a, "entry", error);
    }
    if (!ok) return false;
  }
  if (!headword2.empty()) e.index.headwords = {e.headword, headword2};
  st.typed.dict.entries.push_back(std::move(e));
  return true;
}

bool OnIdMap(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Dictionary, "idmap", "a dictionary", error)) return false;
  DictIdMapping m;
  bool hasId = false, hasRow = false;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "id") {
      ok = Number(a, &m.id, error);
      hasId = true;
    } else if (a.name == "row") {
      ok = Number(a, &m.row, error);
      hasRow = true;
    } else {
      ok = BadAttr(a, "idmap", error);
    }
    if (!ok) return false;
  }
  if (!hasId || !hasRow) return Err(error, "idmap takes id= and row=");
  st.typed.dict.idMap.push_back(m);
  return true;
}

bool OnVariant(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Dictionary, "variant", "a dictionary", error)) return false;
  CharVariant v;
  bool hasChar = false;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "char") {
      ok = OneUnit(a, &v.ch, error);
      hasChar = true;
    } else if (a.name == "forms") {
      v.forms = a.text;
    } else {
      ok = BadAttr(a, "variant", error);
    }
    if (!ok) return false;
  }
  if (!hasChar) return Err(error, "variant takes char=");
  st.typed.dict.charVariants.push_back(std::move(v));
  return true;
}

bool OnRadicals(ParseState& st, const Line& line, std::string* error) {
  if (!OpenTyped(st, Typed::Radicals, error)) return false;
  RadicalTablesSpec& r = st.typed.radicals;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "id") {
      ok = Number(a, &r.id, error);
    } else if (a.name == "word1") {
      ok = Number(a, &r.infoWord1, error);
    } else if (a.name == "lowest") {
      ok = Number(a, &r.lowestCode, error);
    } else if (a.name == "lista") {
      std::vector<std::uint32_t> v;
      ok = ParseNumberList(a.value, &v, error);
      for (std::uint32_t x : v) {
        if (ok && x > 0xFFFF) ok = Err(error, "list A holds 16-bit values");
        r.listA.push_back(static_cast<std::uint16_t>(x));
      }
    } else if (a.name == "blockrows") {
      ok = BlockRows(a, &r.maxBlockRows, error);
    } else {
      ok = BadAttr(a, "radicals", error);
    }
    if (!ok) return false;
  }
  return true;
}

bool OnListB(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Radicals, "listb", "radicals", error)) return false;
  RadicalListItem item;
  for (const Attr& a : line.attrs) {
    std::uint32_t v = 0;
    bool ok = true;
    if (a.name == "code") {
      ok = Number16(a, &item.code, error);
    } else if ((a.name == "byte" || a.name == "key") && Number(a, &v, error)) {
      if (v > 0xFF) return Err(error, "\"" + a.name + "\" takes a byte");
      (a.name == "byte" ? item.byte : item.key) = static_cast<std::uint8_t>(v);
    } else {
      ok = BadAttr(a, "listb", error);
    }
    if (!ok) return false;
  }
  st.typed.radicals.listB.push_back(item);
  return true;
}

bool OnRadical(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Radicals, "radical", "radicals", error)) return false;
  RadicalChars rc;
  bool hasCode = false;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    std::uint32_t n = 0;
    if (a.name == "code") {
      ok = Number16(a, &rc.radical, error);
      hasCode = true;
    } else if (a.name.size() > 1 && a.name[0] == 's' && ParseNumber(a.name.substr(1), &n) && n < 256) {
      // sN: the characters with N further strokes.
      if (rc.sections.size() <= n) rc.sections.resize(n + 1);
      rc.sections[n] = a.text;
    } else {
      ok = BadAttr(a, "radical", error);
    }
    if (!ok) return false;
  }
  if (!hasCode) return Err(error, "radical takes code=");
  st.typed.radicals.radicals.push_back(std::move(rc));
  return true;
}

bool OnCodes(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Radicals, "codes", "radicals", error)) return false;
  for (const Attr& a : line.attrs) {
    if (!a.name.empty()) return Err(error, "codes takes bare numbers");
    std::vector<std::uint32_t> v;
    if (!ParseNumberList(a.value, &v, error)) return false;
    for (std::uint32_t x : v) {
      if (x > 0xFFFF) return Err(error, "radical codes are 16-bit");
      st.typed.radicals.codes.push_back(static_cast<std::uint16_t>(x));
    }
  }
  return true;
}

bool OnAudioIndex(ParseState& st, const Line& line, std::string* error) {
  if (!OpenTyped(st, Typed::AudioIndex, error)) return false;
  SyllableIndexSpec& x = st.typed.audioIndex;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "id") {
      ok = Number(a, &x.id, error);
    } else if (a.name == "flags") {
      ok = Number(a, &x.flags, error);
    } else if (a.name == "kind") {
      ok = Number16(a, &x.kind, error);
    } else if (a.name == "lists") {
      std::vector<std::uint32_t> v;
      ok = ParseNumberList(a.value, &v, error);
      for (std::uint32_t n : v) {
        if (ok && n > 0xFFFF) ok = Err(error, "a clip list's table count is 16-bit");
        x.clipTables.push_back(static_cast<std::uint16_t>(n));
      }
    } else if (a.name == "blockrows") {
      ok = BlockRows(a, &x.maxBlockRows, error);
    } else {
      ok = BadAttr(a, "audioindex", error);
    }
    if (!ok) return false;
  }
  return true;
}

bool OnClipKey(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::AudioIndex, "clipkey", "an audioindex", error)) return false;
  SyllableClipRef k;
  for (const Attr& a : line.attrs) {
    std::uint32_t v = 0;
    bool ok = true;
    if (a.name == "key") {
      k.key = a.text;
    } else if ((a.name == "list" || a.name == "table") && Number(a, &v, error)) {
      if (v > 0xFF) return Err(error, "\"" + a.name + "\" takes a byte");
      (a.name == "list" ? k.list : k.table) = static_cast<std::uint8_t>(v);
    } else if (a.name == "row") {
      ok = Number16(a, &k.row, error);
    } else if (Bare(a, "yibu")) {
      k.yiBuOnly = true;
    } else {
      ok = BadAttr(a, "clipkey", error);
    }
    if (!ok) return false;
  }
  st.typed.audioIndex.keys.push_back(std::move(k));
  return true;
}

bool OnClipTable(ParseState& st, const Line& line, std::string* error) {
  if (!OpenTyped(st, Typed::ClipTable, error)) return false;
  ClipTableSpec& c = st.typed.clipTable;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "group") {
      ok = Number(a, &c.groupId, error);
    } else if (a.name == "list") {
      ok = Number16(a, &c.list, error);
    } else if (a.name == "place") {
      ok = Number16(a, &c.place, error);
    } else if (a.name == "blockrows") {
      ok = BlockRows(a, &c.maxBlockRows, error);
    } else {
      ok = BadAttr(a, "cliptable", error);
    }
    if (!ok) return false;
  }
  return true;
}

bool OnAudioGroup(ParseState& st, const Line& line, std::string* error) {
  if (!OpenTyped(st, Typed::AudioGroup, error)) return false;
  AudioGroupSpec& g = st.typed.audioGroup;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "id") {
      ok = Number(a, &g.id, error);
    } else if (a.name == "flags") {
      ok = Number(a, &g.flags, error);
    } else if (a.name == "kind") {
      ok = Number16(a, &g.kind, error);
    } else if (a.name == "pertable") {
      ok = Number(a, &g.clipsPerTable, error);
    } else {
      ok = BadAttr(a, "audiogroup", error);
    }
    if (!ok) return false;
  }
  return true;
}

// A clip of a cliptable (hex=) or of an audiogroup (key=, hex=, yibu).
bool OnClip(ParseState& st, const Line& line, std::string* error) {
  const bool group = st.typed.kind == Typed::AudioGroup;
  if (!group && !InTyped(st, Typed::ClipTable, "clip", "a cliptable or audiogroup", error)) return false;
  SyllableClip c;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "hex") {
      ok = ParseHex(a.value, &c.data, error);
    } else if (group && a.name == "key") {
      c.key = a.text;
    } else if (group && Bare(a, "yibu")) {
      c.yiBuOnly = true;
    } else {
      ok = BadAttr(a, "clip", error);
    }
    if (!ok) return false;
  }
  if (group) {
    st.typed.audioGroup.clips.push_back(std::move(c));
  } else {
    st.typed.clipTable.clips.push_back(std::move(c.data));
  }
  return true;
}

bool OnStrokes(ParseState& st, const Line& line, std::string* error) {
  if (!OpenTyped(st, Typed::Strokes, error)) return false;
  StrokeIndexSpec& s = st.typed.strokes;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "version") {
      ok = Number(a, &s.version, error);
    } else if (a.name == "width") {
      ok = Number(a, &s.designWidth, error);
    } else if (a.name == "height") {
      ok = Number(a, &s.designHeight, error);
    } else if (a.name == "blockrows") {
      ok = BlockRows(a, &s.maxBlockRows, error);
    } else {
      ok = BadAttr(a, "strokes", error);
    }
    if (!ok) return false;
  }
  return true;
}

bool OnStroke(ParseState& st, const Line& line, std::string* error) {
  if (!InTyped(st, Typed::Strokes, "stroke", "strokes", error)) return false;
  StrokeRecord r;
  bool hasCode = false;
  for (const Attr& a : line.attrs) {
    bool ok = true;
    if (a.name == "code") {
      ok = Number(a, &r.code, error);
      hasCode = true;
    } else if (a.name == "char") {
      char16_t c = 0;
      ok = OneUnit(a, &c, error);
      r.code = c;
      hasCode = true;
    } else if (a.name == "items") {
      std::vector<std::uint32_t> v;
      ok = ParseNumberList(a.value, &v, error);
      for (std::uint32_t x : v) {
        if (ok && x > 0xFFFF) ok = Err(error, "stroke items are 16-bit");
        r.items.push_back(static_cast<std::uint16_t>(x));
      }
    } else {
      ok = BadAttr(a, "stroke", error);
    }
    if (!ok) return false;
  }
  if (!hasCode) return Err(error, "stroke takes code= or char=");
  st.typed.strokes.records.push_back(std::move(r));
  return true;
}

// Adding a table kind with its own directives means adding a line here.
using Handler = bool (*)(ParseState&, const Line&, std::string*);
const struct {
  const char* name;
  Handler handler;
} kDirectives[] = {
    {"file", OnFile},     {"table", OnTable}, {"subtable", OnSubtable},
    {"column", OnColumn}, {"row", OnRow},     {"values", OnValues},
    // Typed tables.
    {"dictionary", OnDictionary}, {"field", OnField},           {"section", OnSection},
    {"entry", OnEntry},           {"idmap", OnIdMap},           {"variant", OnVariant},
    {"radicals", OnRadicals},     {"listb", OnListB},           {"radical", OnRadical},
    {"codes", OnCodes},           {"audioindex", OnAudioIndex}, {"clipkey", OnClipKey},
    {"cliptable", OnClipTable},   {"audiogroup", OnAudioGroup}, {"clip", OnClip},
    {"strokes", OnStrokes},       {"stroke", OnStroke},
};

}  // namespace

int ParseDataFileDescription(std::string_view text, DataFileSpec* desc, std::string* error) {
  *desc = DataFileSpec{};
  ParseState st;
  st.desc = desc;
  std::string err;
  std::size_t lineNo = 0;
  std::size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a UTF-8 byte-order mark
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    const std::string_view raw = text.substr(pos, nl - pos);
    pos = nl + 1;
    st.lineNo = ++lineNo;
    Line line;
    bool ok = Tokenize(raw, &line, &err);
    if (ok && line.directive.empty() && !line.attrs.empty()) ok = Err(&err, "a line starts with its directive");
    if (ok && !line.directive.empty()) {
      Handler h = nullptr;
      for (const auto& d : kDirectives) {
        if (line.directive == d.name) h = d.handler;
      }
      ok = h ? h(st, line, &err) : Err(&err, "unknown directive \"" + line.directive + "\"");
    }
    if (!ok) {
      if (error) *error = "line " + std::to_string(lineNo) + ": " + err;
      return 1;
    }
  }
  if (!FinishTyped(st, &err)) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + err;
    return 1;
  }
  for (std::size_t t = 0; t < desc->tables.size(); ++t) {
    TableSpec& table = desc->tables[t];
    // Typed tables are sorted by their builders and have no requests.
    for (std::size_t c = 0; c < table.columns.size() && c < st.sorts[t].size(); ++c) {
      const SortRequest& s = st.sorts[t][c];
      if (s.byKey) SortRowsByKey(table.columns[c]);
      if (s.mode >= 0) {
        SortRowsByText(table.columns[c], s.mode, table.flags & kTableHuffmanText, table.indexTextSkip);
      }
    }
  }
  return 0;
}

}  // namespace databuild
