#include "tools/databuild/description.h"

#include <cstdlib>
#include <vector>

#include "resources/syllables.h"
#include "tools/databuild/row_sort.h"

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

struct ParseState {
  DataFileSpec* spec = nullptr;
  bool sawFile = false;
  std::vector<std::vector<SortRequest>> sorts;  // per table, per column
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

TableSpec* CurrentTable(ParseState& st) { return st.spec->tables.empty() ? nullptr : &st.spec->tables.back(); }

ColumnSpec* CurrentColumn(ParseState& st) {
  TableSpec* t = CurrentTable(st);
  return t && !t->columns.empty() ? &t->columns.back() : nullptr;
}

bool OnFile(ParseState& st, const Line& line, std::string* error) {
  if (st.sawFile || !st.spec->tables.empty()) return Err(error, "\"file\" comes once, before the tables");
  st.sawFile = true;
  for (const Attr& a : line.attrs) {
    if (a.name == "name") {
      st.spec->containerName = a.value;
    } else if (a.name == "type") {
      if (!ParseFourCC(a.value, &st.spec->containerType)) return Err(error, "type is four characters");
    } else if (a.name == "short") {
      st.spec->shortName = a.text;
    } else if (a.name == "long") {
      st.spec->longName = a.text;
    } else if (a.name == "notice") {
      st.spec->notice = a.text;
    } else {
      return Err(error, "unknown attribute \"" + a.name + "\" of file");
    }
  }
  return true;
}

bool OnTable(ParseState& st, const Line& line, std::string* error) {
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
      t.name1 = a.text;
    } else if (a.name == "name2") {
      t.name2 = a.text;
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
      t.maxBlockRows = v;
    } else if (a.name == "blockbytes" && num) {
      t.maxBlockBytes = v;
    } else if (a.name == "indexentries" && num) {
      t.maxIndexEntries = v;
    } else if (a.name == "indexskip" && num) {
      t.indexTextSkip = v;
    } else if (a.name == "info") {
      if (!ParseHex(a.value, &t.info, error)) return false;
    } else {
      return Err(error, "bad attribute \"" + a.name + "=" + a.value + "\" of table");
    }
  }
  if (!hasType) return Err(error, "a table needs type=");
  st.spec->tables.push_back(std::move(t));
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

// Adding a table kind with its own directives means adding a line here.
using Handler = bool (*)(ParseState&, const Line&, std::string*);
const struct {
  const char* name;
  Handler handler;
} kDirectives[] = {
    {"file", OnFile},     {"table", OnTable}, {"subtable", OnSubtable},
    {"column", OnColumn}, {"row", OnRow},     {"values", OnValues},
};

}  // namespace

int ParseDataFileDescription(std::string_view text, DataFileSpec* spec, std::string* error) {
  *spec = DataFileSpec{};
  ParseState st;
  st.spec = spec;
  std::string err;
  std::size_t lineNo = 0;
  std::size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a UTF-8 byte-order mark
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    const std::string_view raw = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineNo;
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
  for (std::size_t t = 0; t < spec->tables.size(); ++t) {
    TableSpec& table = spec->tables[t];
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
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
