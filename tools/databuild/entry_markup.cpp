#include "tools/databuild/entry_markup.h"

#include <cstddef>

#include "resources/syllables.h"

namespace databuild {

namespace {

constexpr char16_t kFieldMark = 0xEA00;
constexpr char16_t kSectionMark = 0xEAA0;
constexpr char16_t kSectionClose = 0xEAAF;
constexpr char16_t kFormSeparator = 0xEA93;
constexpr char16_t kWordStart = 0xE9F1;
constexpr char16_t kSyllableBase = 0xE000;

// Display kinds and style bits the reader acts on.
constexpr std::uint32_t kKindPlain = 1;
constexpr std::uint32_t kKindTwoForm = 2;
constexpr std::uint32_t kKindHiddenLink = 3;
constexpr std::uint32_t kStyleLink = 0x100;
constexpr std::uint32_t kStyleNewLine = 0x1000;
constexpr std::uint32_t kStyleBoldPrefix = 0x10000;
constexpr std::uint32_t kTwoFormClassBits = 0x10;  // bits 8-15 of the class word
constexpr std::uint32_t kSectionLineBefore = 0x1;
constexpr std::uint32_t kNumberDecimal = 4;

std::u16string FieldStart(EntryMarkupField f) { return std::u16string(1, static_cast<char16_t>(kFieldMark + f)); }

bool IsReserved(char16_t u) { return u >= 0xE000 && u <= 0xEAFF; }

bool CheckText(std::u16string_view text, const char* what, std::string* error) {
  for (char16_t u : text) {
    if (IsReserved(u)) {
      if (error) *error = std::string(what) + " holds a unit of U+E000-U+EAFF, which the markup reserves";
      return false;
    }
  }
  return true;
}

// UTF-8 to UTF-16 for the few non-syllable tokens of a pinyin text.
std::u16string FromUtf8(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = c;
    std::size_t n = 1;
    if (c >= 0xF0 && i + 3 < s.size()) {
      cp = (c & 0x07u) << 18 | (s[i + 1] & 0x3Fu) << 12 | (s[i + 2] & 0x3Fu) << 6 | (s[i + 3] & 0x3Fu);
      n = 4;
    } else if (c >= 0xE0 && i + 2 < s.size()) {
      cp = (c & 0x0Fu) << 12 | (s[i + 1] & 0x3Fu) << 6 | (s[i + 2] & 0x3Fu);
      n = 3;
    } else if (c >= 0xC0 && i + 1 < s.size()) {
      cp = (c & 0x1Fu) << 6 | (s[i + 1] & 0x3Fu);
      n = 2;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else if (!IsReserved(static_cast<char16_t>(cp))) {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return out;
}

// One token as a syllable code (with a word start before a capital), or
// empty when it is no syllable.
std::u16string SyllableToken(std::string_view token) {
  std::string letters;
  bool capital = false;
  int tone = 0;
  bool hasTone = false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    char c = token[i];
    if (c >= 'A' && c <= 'Z') {
      if (i == 0) capital = true;
      letters.push_back(static_cast<char>(c - 'A' + 'a'));
    } else if (c >= 'a' && c <= 'z') {
      letters.push_back(c);
    } else if (c == ':' && !letters.empty() && letters.back() == 'u') {
      letters.back() = 'v';
    } else if (static_cast<unsigned char>(c) == 0xC3 && i + 1 < token.size() &&
               (static_cast<unsigned char>(token[i + 1]) == 0xBC || static_cast<unsigned char>(token[i + 1]) == 0x9C)) {
      letters.push_back('v');  // ü or Ü
      if (i == 0 && static_cast<unsigned char>(token[i + 1]) == 0x9C) capital = true;
      ++i;
    } else if (c >= '1' && c <= '5' && i + 1 == token.size() && !letters.empty()) {
      tone = c == '5' ? 0 : c - '0';
      hasTone = true;
    } else {
      return {};
    }
  }
  if (letters.empty()) return {};
  // A capital without a tone number is a Latin letter ("A xing2"), not a syllable.
  if (capital && !hasTone) return {};
  int s = FindSyllable(letters);
  if (s < 0) return {};
  std::u16string out;
  if (capital) out.push_back(kWordStart);
  out.push_back(static_cast<char16_t>(kSyllableBase + 5 * s + tone));
  return out;
}

// The traditional form with "-" where it equals the simplified one; the
// program's reader puts the simplified unit back in those places.
std::u16string CompactForm(const std::u16string& simplified, const std::u16string& traditional) {
  if (simplified.size() != traditional.size()) return traditional;
  std::u16string out = traditional;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == simplified[i] && out[i] != u'-' && out[i] != u'/') out[i] = u'-';
  }
  return out;
}

bool TwoForms(const std::u16string& simplified, const std::u16string& traditional) {
  return !traditional.empty() && traditional != simplified;
}

// simplified|traditional[pinyin], the shown text of a link or classifier.
std::u16string LinkText(const MarkupLink& link) {
  std::u16string out = link.simplified;
  if (TwoForms(link.simplified, link.traditional)) out += u"|" + link.traditional;
  std::u16string codes = PinyinNumbersToCodes(link.pinyin);
  if (!codes.empty()) out += u"[" + codes + u"]";
  return out;
}

bool CheckLink(const MarkupLink& link, std::string* error) {
  if (link.simplified.empty()) {
    if (error) *error = "a cross-reference or classifier without a headword";
    return false;
  }
  return CheckText(link.simplified, "a linked headword", error) &&
         CheckText(link.traditional, "a linked headword", error);
}

}  // namespace

void SetEntryMarkupFields(DictInfoSpec* info) {
  info->fields.clear();
  DictFieldSpec head;
  head.name = u"Headword";
  head.name2 = u"Traditional";
  head.classWord = kTwoFormClassBits << 8;  // class 0, two forms
  head.type = kFieldChinese;
  head.displayKind = kKindTwoForm;
  info->fields.push_back(head);

  DictFieldSpec pinyin;
  pinyin.name = u"Pinyin";
  pinyin.classWord = 1 << 8;
  pinyin.type = kFieldPinyin;
  pinyin.displayKind = kKindPlain;
  info->fields.push_back(pinyin);

  DictFieldSpec definition;
  definition.name = u"Definition";
  definition.classWord = 2 << 8;
  definition.displayKind = kKindPlain;
  info->fields.push_back(definition);

  DictFieldSpec link;
  link.name = u"See";
  link.classWord = 2 << 8;
  link.displayKind = kKindHiddenLink;
  link.style = kStyleLink;  // without it the hidden target would show
  info->fields.push_back(link);

  DictFieldSpec classifiers;
  classifiers.name = u"Classifiers";
  classifiers.classWord = 4 << 8;
  classifiers.displayKind = kKindPlain;
  classifiers.style = kStyleNewLine | kStyleBoldPrefix;
  classifiers.prefix = u"CL: ";
  info->fields.push_back(classifiers);

  DictSectionSpec senses;
  senses.flags = kSectionLineBefore;
  senses.limit = 1000;
  senses.style = kNumberDecimal;
  senses.suffix = u'.';
  info->sections = {senses};
}

int CheckEntryFields(const DictInfoSpec& info, std::string* error) {
  for (std::size_t f = 0; f < info.fields.size(); ++f) {
    const DictFieldSpec& d = info.fields[f];
    if (d.displayKind == kKindTwoForm && ((d.classWord >> 8) & 0xFF) != kTwoFormClassBits) {
      if (error) *error = "field " + std::to_string(f) + ": a two-form field needs class bits 0x10 (class 0)";
      return 1;
    }
    if (d.displayKind == kKindHiddenLink && !(d.style & kStyleLink)) {
      if (error) *error = "field " + std::to_string(f) + ": a hidden-target link field needs style 0x100";
      return 1;
    }
  }
  return 0;
}

std::u16string PinyinNumbersToCodes(std::string_view pinyin) {
  std::u16string out;
  bool lastWasText = false;
  std::size_t i = 0;
  while (i < pinyin.size()) {
    while (i < pinyin.size() && pinyin[i] == ' ') ++i;
    std::size_t start = i;
    while (i < pinyin.size() && pinyin[i] != ' ') ++i;
    if (start == i) break;
    std::string_view token = pinyin.substr(start, i - start);
    std::u16string code = SyllableToken(token);
    if (!code.empty()) {
      if (lastWasText) out.push_back(u' ');
      out += code;
      lastWasText = false;
    } else {
      if (!out.empty()) out.push_back(u' ');
      out += FromUtf8(token);
      lastWasText = true;
    }
  }
  return out;
}

int MakeEntryMarkup(const PlainEntry& entry, std::u16string* out, std::string* error) {
  if (entry.simplified.empty()) {
    if (error) *error = "an entry without a headword";
    return 1;
  }
  if (!CheckText(entry.simplified, "the headword", error) || !CheckText(entry.traditional, "the headword", error))
    return 1;
  for (const MarkupSense& s : entry.senses) {
    if (!CheckText(s.text, "a definition", error)) return 1;
    for (const MarkupLink& l : s.links)
      if (!CheckLink(l, error)) return 1;
  }
  for (const MarkupLink& l : entry.classifiers)
    if (!CheckLink(l, error)) return 1;

  std::u16string m = FieldStart(kMarkupHeadword) + entry.simplified;
  if (TwoForms(entry.simplified, entry.traditional))
    m += std::u16string(1, kFormSeparator) + CompactForm(entry.simplified, entry.traditional);
  std::u16string codes = PinyinNumbersToCodes(entry.pinyin);
  if (!codes.empty()) m += FieldStart(kMarkupPinyin) + codes;

  // Senses are numbered sections only when there are several.
  const bool numbered = entry.senses.size() >= 2;
  for (const MarkupSense& s : entry.senses) {
    if (numbered) m.push_back(kSectionMark);
    if (!s.text.empty()) m += FieldStart(kMarkupDefinition) + s.text;
    for (const MarkupLink& l : s.links) {
      // The hidden target: the headword and its readings, as a lookup takes them.
      m += FieldStart(kMarkupLink) + l.simplified + PinyinNumbersToCodes(l.pinyin);
      m.push_back(kFormSeparator);
      m += LinkText(l);
    }
  }
  if (!entry.classifiers.empty()) {
    if (numbered) m.push_back(kSectionClose);
    m += FieldStart(kMarkupClassifiers);
    for (std::size_t i = 0; i < entry.classifiers.size(); ++i) {
      if (i) m += u", ";
      m += LinkText(entry.classifiers[i]);
    }
  }
  *out = std::move(m);
  return 0;
}

int MakeMarkupEntry(const PlainEntry& entry, DictEntrySpec* out, std::string* error) {
  DictEntrySpec e;
  if (MakeEntryMarkup(entry, &e.text, error) != 0) return 1;
  e.headword = entry.simplified;
  std::uint32_t chars = 0;
  for (std::size_t i = 0; i < entry.simplified.size(); ++i) {
    char16_t u = entry.simplified[i];
    if (u >= 0xDC00 && u <= 0xDFFF && i > 0) continue;  // second half of a pair
    ++chars;
  }
  e.wordLength = chars;
  *out = std::move(e);
  return 0;
}

}  // namespace databuild
