#include "tools/databuild/cedict_entry.h"

#include <sstream>
#include <utility>

#include "resources/syllables.h"
#include "tools/databuild/byte_sink.h"

namespace databuild {

namespace {

constexpr char16_t kWordStart = 0xE9F1;
constexpr char16_t kSyllableBase = 0xE000;
constexpr char16_t kFieldMark = 0xEA00;
constexpr char16_t kFormSeparator = 0xEA93;

bool IsBlank(char16_t u) { return u == u' ' || u == 0x3000; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool EndsWith(std::u16string_view s, std::u16string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// A unit of a Chinese form: the CJK blocks, their punctuation, surrogates.
bool IsCjkUnit(char16_t u) { return u >= 0x2E80 && u < 0xE000; }

// One pinyin token as a syllable code (with U+E9F1 before a capital), or
// empty when it is no toned syllable. `toned` tells whether it ended in a
// tone digit.
std::u16string ToneToken(std::string_view token, bool* toned) {
  *toned = false;
  if (token.empty()) return {};
  const char last = token.back();
  if (last < '1' || last > '5') return {};
  *toned = true;
  std::string letters;
  bool capital = false;
  for (std::size_t i = 0; i + 1 < token.size(); ++i) {
    const char c = token[i];
    const unsigned char b = static_cast<unsigned char>(c);
    if (c >= 'A' && c <= 'Z') {
      if (i == 0) capital = true;
      letters.push_back(static_cast<char>(c - 'A' + 'a'));
    } else if (c >= 'a' && c <= 'z') {
      letters.push_back(c);
    } else if (c == ':' && !letters.empty() && letters.back() == 'u') {
      letters.back() = 'v';
    } else if (b == 0xC3 && i + 2 < token.size() &&
               (static_cast<unsigned char>(token[i + 1]) == 0xBC || static_cast<unsigned char>(token[i + 1]) == 0x9C)) {
      if (i == 0 && static_cast<unsigned char>(token[i + 1]) == 0x9C) capital = true;
      letters.push_back('v');  // ü, Ü
      ++i;
    } else {
      return {};
    }
  }
  if (letters.empty()) return {};
  const int s = FindSyllable(letters);
  if (s < 0) return {};
  const int tone = last == '5' ? 0 : last - '0';
  std::u16string out;
  if (capital) out.push_back(kWordStart);
  out.push_back(static_cast<char16_t>(kSyllableBase + 5 * s + tone));
  return out;
}

std::u16string FromUtf8(std::string_view s) {
  std::u16string out;
  if (!Utf8ToUtf16(s, &out)) {
    out.clear();
    for (char c : s) out.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : u'?');
  }
  return out;
}

// A form of a reference: no blanks, brackets or bars, some Chinese in it.
bool IsReferenceForm(std::u16string_view form) {
  if (form.empty()) return false;
  bool cjk = false;
  for (char16_t u : form) {
    if (IsBlank(u) || u == u'[' || u == u']' || u == u'|' || u < 0x20) return false;
    cjk = cjk || IsCjkUnit(u);
  }
  return cjk;
}

bool SameLink(const MarkupLink& a, const MarkupLink& b) {
  return a.simplified == b.simplified && a.traditional == b.traditional && a.pinyin == b.pinyin;
}

// Once each; a traditional form equal to the simplified one counts as none
// ("粒|粒[li4]" is "粒[li4]").
void AddLinkOnce(std::vector<MarkupLink>* list, MarkupLink link) {
  if (link.traditional == link.simplified) link.traditional.clear();
  for (const MarkupLink& l : *list)
    if (SameLink(l, link)) return;
  list->push_back(std::move(link));
}

// "個|个[ge4],隻|只[zhi1]": true and the links when every item is a reference.
bool ParseClassifierList(std::u16string_view list, std::vector<MarkupLink>* out) {
  std::vector<MarkupLink> got;
  while (true) {
    const std::size_t comma = list.find(u',');
    MarkupLink link;
    if (!ParseCedictReference(Trim(list.substr(0, comma)), &link)) return false;
    got.push_back(link);
    if (comma == std::u16string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  *out = std::move(got);
  return true;
}

// Takes the classifier lists out of a definition: "CL:..." as the whole
// definition or after "; ", and "(CL:...)" anywhere.
std::u16string TakeClassifiers(std::u16string_view definition, std::vector<MarkupLink>* classifiers) {
  std::u16string text(definition);
  std::size_t from = 0;
  while (true) {
    const std::size_t p = text.find(u"CL:", from);
    if (p == std::u16string::npos) break;
    from = p + 3;
    std::size_t cutStart = p, cutEnd = 0, listEnd = 0;
    if (p > 0 && text[p - 1] == u'(') {
      listEnd = text.find(u')', p);
      if (listEnd == std::u16string::npos) continue;
      cutStart = p - 1;
      cutEnd = listEnd + 1;
    } else if (p == 0 || (p >= 2 && text[p - 1] == u' ' && text[p - 2] == u';')) {
      listEnd = text.find(u';', p);
      if (listEnd == std::u16string::npos) listEnd = text.size();
      cutEnd = listEnd;
      if (p >= 2) cutStart = p - 2;  // the "; " before it
    } else {
      continue;
    }
    std::vector<MarkupLink> list;
    if (!ParseClassifierList(std::u16string_view(text).substr(p + 3, listEnd - p - 3), &list)) continue;
    for (const MarkupLink& l : list) AddLinkOnce(classifiers, l);
    // One blank of those around the cut goes with it.
    if (cutStart > 0 && text[cutStart - 1] == u' ') --cutStart;
    else if (cutEnd < text.size() && text[cutEnd] == u' ') ++cutEnd;
    if (cutStart == 0 && cutEnd < text.size() && text[cutEnd] == u';') ++cutEnd;  // "CL:...; rest"
    text.erase(cutStart, cutEnd - cutStart);
    from = cutStart;
  }
  return std::u16string(Trim(text));
}

// The reference that ends `text` (after trailing blanks): its start, or npos.
std::size_t TrailingReference(std::u16string_view text, MarkupLink* link) {
  if (text.empty() || text.back() != u']') return std::u16string_view::npos;
  const std::size_t open = text.rfind(u'[');
  if (open == std::u16string_view::npos || open == 0) return std::u16string_view::npos;
  std::size_t start = open;
  while (start > 0) {
    const char16_t u = text[start - 1];
    if (IsBlank(u) || u == u'(' || u == u',' || u == u';' || u == u':' || u == u'"' || u == u']') break;
    --start;
  }
  if (!ParseCedictReference(text.substr(start), link)) return std::u16string_view::npos;
  return start;
}

// Each piece of a definition cut at ';', less its parenthesised notes and
// the pinyin in brackets; the notes go to `notes`.
void IndexPieces(std::u16string_view text, std::vector<std::u16string>* pieces, std::vector<std::u16string>* notes) {
  std::u16string main, note;
  int depth = 0;
  auto endPiece = [&] {
    std::u16string_view m = Trim(main);
    if (!m.empty()) pieces->emplace_back(m);
    main.clear();
  };
  bool inBrackets = false;
  for (char16_t u : text) {
    // The pinyin of a reference ("[bai2 bai2]") is no English.
    if (u == u'[' && !inBrackets) {
      inBrackets = true;
      continue;
    }
    if (inBrackets) {
      if (u == u']') {
        inBrackets = false;
        (depth > 0 ? note : main).push_back(u' ');
      }
      continue;
    }
    if (u == u'(' || u == 0xFF08) {
      if (depth++ > 0) note.push_back(u);
      continue;
    }
    if ((u == u')' || u == 0xFF09) && depth > 0) {
      if (--depth == 0) {
        std::u16string_view n = Trim(note);
        if (!n.empty()) notes->emplace_back(n);
        note.clear();
        main.push_back(u' ');
      } else {
        note.push_back(u);
      }
      continue;
    }
    if (depth > 0) {
      note.push_back(u);
    } else if (u == u';' || u == 0xFF1B) {
      endPiece();
    } else {
      main.push_back(u);
    }
  }
  if (depth > 0) {
    std::u16string_view n = Trim(note);
    if (!n.empty()) notes->emplace_back(n);
  }
  endPiece();
}

}  // namespace

void CedictCounts::Add(const CedictCounts& q) {
  senses += q.senses;
  classifiers += q.classifiers;
  latinTokens += q.latinTokens;
  unknownSyllables += q.unknownSyllables;
  noDefinition += q.noDefinition;
  classifierNotes += q.classifierNotes;
  links += q.links;
}

std::u16string CedictPinyinCodes(std::string_view pinyin, CedictCounts* quirks) {
  std::u16string out;
  bool lastWasText = false;
  std::size_t i = 0;
  while (i < pinyin.size()) {
    while (i < pinyin.size() && pinyin[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < pinyin.size() && pinyin[i] != ' ') ++i;
    if (start == i) break;
    const std::string_view token = pinyin.substr(start, i - start);
    bool toned = false;
    const std::u16string code = ToneToken(token, &toned);
    if (!code.empty()) {
      if (lastWasText) out.push_back(u' ');
      out += code;
      lastWasText = false;
      continue;
    }
    if (quirks) ++(toned ? quirks->unknownSyllables : quirks->latinTokens);
    if (!out.empty()) out.push_back(u' ');
    out += FromUtf8(token);
    lastWasText = true;
  }
  return out;
}

bool ParseCedictReference(std::u16string_view text, MarkupLink* link) {
  if (text.size() < 4 || text.back() != u']') return false;
  const std::size_t open = text.find(u'[');
  if (open == std::u16string_view::npos || open == 0) return false;
  const std::u16string_view forms = text.substr(0, open);
  const std::u16string_view pinyin = text.substr(open + 1, text.size() - open - 2);
  if (Trim(pinyin).empty()) return false;
  for (char16_t u : pinyin)
    if (u == u'[' || u == u']' || u >= 0x0250) return false;
  const std::size_t bar = forms.find(u'|');
  MarkupLink l;
  if (bar == std::u16string_view::npos) {
    if (!IsReferenceForm(forms)) return false;
    l.simplified = std::u16string(forms);
  } else {
    const std::u16string_view trad = forms.substr(0, bar), simp = forms.substr(bar + 1);
    if (!IsReferenceForm(trad) || !IsReferenceForm(simp)) return false;
    l.simplified = std::u16string(simp);
    l.traditional = std::u16string(trad);
  }
  l.pinyin = Utf16ToUtf8(Trim(pinyin));
  *link = std::move(l);
  return true;
}

CedictSense SplitCedictDefinition(std::u16string_view definition) {
  CedictSense s;
  s.indexText = TakeClassifiers(definition, &s.classifiers);
  std::u16string_view rest = s.indexText;
  std::vector<MarkupLink> links;  // last first
  while (true) {
    MarkupLink link;
    const std::size_t start = TrailingReference(rest, &link);
    if (start == std::u16string_view::npos) break;
    links.push_back(std::move(link));
    rest = Trim(rest.substr(0, start));
    // Another reference before it: "A[a], B[b]", "A[a] or B[b]".
    std::u16string_view before = rest;
    if (EndsWith(before, u",")) {
      before = Trim(before.substr(0, before.size() - 1));
    } else if (EndsWith(before, u" or") || EndsWith(before, u" and")) {
      before = Trim(before.substr(0, before.rfind(u' ')));
    } else {
      break;
    }
    MarkupLink next;
    if (TrailingReference(before, &next) == std::u16string_view::npos) break;
    rest = before;
  }
  s.text = std::u16string(rest);
  s.links.assign(links.rbegin(), links.rend());
  return s;
}

int CedictToPlainEntry(const CedictRow& row, PlainEntry* entry, SearchIndexEntry* index, std::string* error,
                       CedictCounts* quirks) {
  if (row.simplified.empty() || row.traditional.empty()) {
    if (error) *error = "an empty headword";
    return 1;
  }
  // The pinyin's text tokens go into the markup as they are.
  for (char16_t u : FromUtf8(row.pinyin)) {
    if (u >= 0xE000 && u <= 0xEAFF) {
      if (error) *error = "the pinyin holds a unit of U+E000-U+EAFF, which the markup reserves";
      return 1;
    }
  }
  CedictCounts q;
  PlainEntry e;
  e.simplified = row.simplified;
  e.traditional = row.traditional;
  e.pinyin = row.pinyin;
  for (const MarkupLink& c : row.classifiers) AddLinkOnce(&e.classifiers, c);

  SearchIndexEntry x;
  x.headwords.push_back(row.simplified);
  if (row.traditional != row.simplified) x.headwords.push_back(row.traditional);
  x.pinyin = CedictPinyinCodes(row.pinyin, &q);
  std::vector<std::u16string> notes;
  for (const std::u16string& d : row.definitions) {
    CedictSense s = SplitCedictDefinition(d);
    if (!s.classifiers.empty()) ++q.classifierNotes;
    for (const MarkupLink& c : s.classifiers) AddLinkOnce(&e.classifiers, c);
    q.links += s.links.size();
    if (!s.text.empty() || !s.links.empty()) e.senses.push_back({std::move(s.text), std::move(s.links)});
    IndexPieces(s.indexText, &x.senses, &notes);
  }
  if (e.senses.empty()) ++q.noDefinition;
  q.senses += e.senses.size();
  q.classifiers += e.classifiers.size();
  for (std::u16string& n : notes) x.senses.push_back(std::move(n));
  auto more = [&x](const MarkupLink& l) {
    x.moreTexts.push_back(l.simplified);
    if (!l.traditional.empty() && l.traditional != l.simplified) x.moreTexts.push_back(l.traditional);
  };
  for (const MarkupSense& s : e.senses)
    for (const MarkupLink& l : s.links) more(l);
  for (const MarkupLink& c : e.classifiers) more(c);

  if (entry) *entry = std::move(e);
  if (index) *index = std::move(x);
  if (quirks) quirks->Add(q);
  return 0;
}

int MakeCedictEntry(const CedictRow& row, DictEntrySpec* out, std::string* error, CedictCounts* quirks) {
  PlainEntry plain;
  SearchIndexEntry index;
  if (CedictToPlainEntry(row, &plain, &index, error, quirks) != 0) return 1;
  // The markup writes the pinyin field from CedictPinyinCodes, not from the
  // generic reading of tone numbers: it goes right after the headword field.
  plain.pinyin.clear();
  DictEntrySpec e;
  if (MakeMarkupEntry(plain, &e, error) != 0) return 1;
  if (!index.pinyin.empty()) {
    std::size_t at = 1;
    while (at < e.text.size() && !(e.text[at] >= 0xEA00 && e.text[at] <= 0xEAFF && e.text[at] != kFormSeparator)) ++at;
    std::u16string field(1, static_cast<char16_t>(kFieldMark + kMarkupPinyin));
    e.text.insert(at, field + index.pinyin);
  }
  e.index = std::move(index);
  *out = std::move(e);
  return 0;
}

std::vector<std::u16string> CedictCommonWords() {
  return {u"a",  u"an",   u"and", u"as", u"at", u"be",   u"by",  u"for", u"from", u"in",
          u"of", u"on",   u"or",  u"sb", u"sth", u"the", u"to",  u"with", u"etc"};
}

DictionarySpec CedictDictionary() {
  DictionarySpec dict;
  dict.info.creator = 0x43454443;  // "CEDC"
  dict.info.dictId = 1;
  dict.info.language = kLanguageChinese;
  dict.info.transLanguage = kLanguageEnglish;
  dict.info.iconText = u"CE";
  dict.info.iconFillColor = 0x00A00000;
  dict.info.iconTextColor = 0x00FFFFFF;
  dict.info.menuName = u"CC-CEDICT Chinese-English";
  dict.info.shortName = u"CC-CEDICT";
  SetEntryMarkupFields(&dict.info);
  dict.wordLengths = true;
  dict.searchIndexes = true;
  SearchIndexOptions options = SearchIndexOptionsFor(kLanguageChinese);
  // The text search looks for Chinese in the definitions (English goes
  // through the word index): pairs of Latin letters would only fill it.
  options.cjkPairsOnly = true;
  options.tooCommonWords = CedictCommonWords();
  dict.indexOptions = options;
  return dict;
}

std::vector<CedictRow> ReadCedictTsv(std::istream& in) {
  std::vector<CedictRow> rows;
  std::string line, part;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream columns(line);
    while (std::getline(columns, part, '\t')) f.push_back(part);
    if (f.size() < 4) continue;
    CedictRow r;
    r.traditional = FromUtf8(f[0]);
    r.simplified = FromUtf8(f[1]);
    r.pinyin = f[2];
    std::stringstream senses(f[3]);
    while (std::getline(senses, part, '/'))
      if (!part.empty()) r.definitions.push_back(FromUtf8(part));
    rows.push_back(std::move(r));
  }
  return rows;
}

}  // namespace databuild
