#include "tools/devicedata/unihan_source.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "resources/syllables.h"

namespace devicedata {

namespace {

namespace fs = std::filesystem;

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The blank-separated tokens of a value.
std::vector<std::string_view> Tokens(std::string_view value) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && value[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < value.size() && value[i] != ' ') ++i;
    if (i > start) out.push_back(value.substr(start, i - start));
  }
  return out;
}

// "U+4E2D" (4 to 6 hex digits) as a code point; false when malformed.
bool ParseCodePoint(std::string_view s, char32_t* out) {
  if (s.size() < 6 || s.size() > 8 || s[0] != 'U' || s[1] != '+') return false;
  char32_t v = 0;
  for (std::size_t i = 2; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else {
      return false;
    }
    v = v * 16 + static_cast<char32_t>(d);
  }
  if (v > 0x10FFFF) return false;
  *out = v;
  return true;
}

bool ParseNumber(std::string_view s, int* out) {
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 6) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = negative ? -v : v;
  return true;
}

// Decodes one UTF-8 sequence at s[*i]; U+FFFD for a bad one.
char32_t NextCodePoint(std::string_view s, std::size_t* i) {
  const unsigned char c = static_cast<unsigned char>(s[*i]);
  int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || *i + n > s.size()) {
    ++*i;
    return 0xFFFD;
  }
  char32_t v = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (int k = 1; k < n; ++k) v = v << 6 | (static_cast<unsigned char>(s[*i + k]) & 0x3F);
  *i += n;
  return v;
}

// A letter of a tone-marked spelling: its plain letters and tone (0 none).
struct MarkedLetter {
  char32_t cp;
  const char* plain;
  int tone;
};

constexpr MarkedLetter kMarkedLetters[] = {
    {U'ā', "a", 1}, {U'á', "a", 2}, {U'ǎ', "a", 3}, {U'à', "a", 4},  //
    {U'ē', "e", 1}, {U'é', "e", 2}, {U'ě', "e", 3}, {U'è', "e", 4},  //
    {U'ī', "i", 1}, {U'í', "i", 2}, {U'ǐ', "i", 3}, {U'ì', "i", 4},  //
    {U'ō', "o", 1}, {U'ó', "o", 2}, {U'ǒ', "o", 3}, {U'ò', "o", 4},  //
    {U'ū', "u", 1}, {U'ú', "u", 2}, {U'ǔ', "u", 3}, {U'ù', "u", 4},  //
    {U'ǖ', "v", 1}, {U'ǘ', "v", 2}, {U'ǚ', "v", 3}, {U'ǜ', "v", 4}, {U'ü', "v", 0},
    {U'ê', "ê", 0}, {U'ế', "ê", 2}, {U'ề', "ê", 4},                  //
    {U'ń', "n", 2}, {U'ň', "n", 3}, {U'ǹ', "n", 4}, {U'ḿ', "m", 2},
};

// Combining tone marks: macron, acute, caron, grave.
int CombiningTone(char32_t cp) {
  switch (cp) {
    case 0x0304:
      return 1;
    case 0x0301:
      return 2;
    case 0x030C:
      return 3;
    case 0x0300:
      return 4;
  }
  return -1;
}

const std::vector<std::string_view> kProperties = {
    "kMandarin",      "kHanyuPinyin", "kXHC1983",   "kHanyuPinlu",   "kDefinition",
    "kTotalStrokes",  "kRSUnicode",   "kSimplifiedVariant",          "kTraditionalVariant",
    "kSemanticVariant", "kSpecializedSemanticVariant", "kZVariant",  "kCompatibilityVariant",
    "kCantonese",     "kJapaneseOn",  "kJapaneseKun", "kKorean",     "kHangul",
    "kVietnamese",    "kTang",        "kFrequency",   "kGradeLevel", "kIICore",
    "kCangjie",       "kFourCornerCode", "kAlternateTotalStrokes",  "kGB0", "kBigFive",
    "kPrimaryNumeric", "kAccountingNumeric", "kOtherNumeric", "kTGH", "kTGHZ2013",
    "kJoyoKanji",     "kKoreanEducationHanja",
};

bool Wanted(std::string_view name) {
  return std::find(kProperties.begin(), kProperties.end(), name) != kProperties.end();
}

int ReadFile(const fs::path& path, std::string* out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return 1;
  std::ostringstream ss;
  ss << f.rdbuf();
  *out = ss.str();
  return f.bad() ? 1 : 0;
}

}  // namespace

std::string_view UnihanChar::Get(std::string_view name) const {
  auto it = props.find(name);
  return it == props.end() ? std::string_view() : std::string_view(it->second);
}

const std::vector<std::string_view>& UnihanProperties() { return kProperties; }

const UnihanChar* FindUnihanChar(const UnihanData& data, char16_t code) {
  auto it = data.chars.find(code);
  return it == data.chars.end() ? nullptr : &it->second;
}

int ReadUnihanText(std::string_view text, const std::string& name, UnihanData* data, std::string* error) {
  std::size_t lineNo = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (line[0] == '#') {
      constexpr std::string_view kVersion = "# Unicode version:";
      if (line.substr(0, kVersion.size()) == kVersion && data->version.empty()) {
        data->version = std::string(Trim(line.substr(kVersion.size())));
      }
      continue;
    }
    const std::size_t t1 = line.find('\t');
    const std::size_t t2 = t1 == std::string_view::npos ? t1 : line.find('\t', t1 + 1);
    if (t2 == std::string_view::npos) {
      return Fail(error, name + ": line " + std::to_string(lineNo) + ": not \"U+code<TAB>property<TAB>value\"");
    }
    char32_t cp = 0;
    if (!ParseCodePoint(line.substr(0, t1), &cp)) {
      return Fail(error, name + ": line " + std::to_string(lineNo) + ": bad code point");
    }
    const std::string_view property = line.substr(t1 + 1, t2 - t1 - 1);
    const std::string_view value = Trim(line.substr(t2 + 1));
    ++data->lines;
    if (cp > 0xFFFF) {
      // Every character has exactly one kRSUnicode line: it counts the character.
      if (property == "kRSUnicode") ++data->outsideBmp;
      continue;
    }
    if (cp >= 0xD800 && cp < 0xE000) {
      return Fail(error, name + ": line " + std::to_string(lineNo) + ": a surrogate is no character");
    }
    if (!Wanted(property)) continue;
    UnihanChar& c = data->chars[static_cast<char16_t>(cp)];
    c.code = static_cast<char16_t>(cp);
    c.props[std::string(property)] = std::string(value);
  }
  return 0;
}

int ReadCjkRadicals(std::string_view text, std::vector<UnihanRadical>* radicals, std::string* error) {
  std::size_t lineNo = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string_view> parts;
    std::size_t p = 0;
    while (true) {
      const std::size_t semi = line.find(';', p);
      parts.push_back(Trim(line.substr(p, semi == std::string_view::npos ? std::string_view::npos : semi - p)));
      if (semi == std::string_view::npos) break;
      p = semi + 1;
    }
    UnihanRadical r;
    std::string_view number = parts[0];
    while (!number.empty() && number.back() == '\'') {
      r.simplified = true;
      number.remove_suffix(1);
    }
    char32_t ideograph = 0;
    if (parts.size() != 3 || !ParseNumber(number, &r.number) || r.number < 1 || r.number > 214 ||
        !ParseCodePoint("U+" + std::string(parts[2]), &ideograph) || ideograph > 0xFFFF) {
      return Fail(error, "CJKRadicals.txt: line " + std::to_string(lineNo) + ": not \"number; radical; ideograph\"");
    }
    r.ideograph = static_cast<char16_t>(ideograph);
    radicals->push_back(r);
  }
  return 0;
}

int ReadUnihanFolder(const std::string& folder, UnihanData* data, std::string* error) {
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (e.is_regular_file() && name.rfind("Unihan", 0) == 0 && e.path().extension() == ".txt") {
      files.push_back(e.path());
    }
  }
  if (ec) return Fail(error, folder + ": " + ec.message());
  if (files.empty()) return Fail(error, folder + ": no Unihan*.txt files");
  std::sort(files.begin(), files.end());
  std::string text;
  for (const fs::path& f : files) {
    if (ReadFile(f, &text) != 0) return Fail(error, f.string() + ": cannot be read");
    if (ReadUnihanText(text, f.filename().string(), data, error) != 0) return 1;
  }
  const fs::path radicals = fs::path(folder) / "CJKRadicals.txt";
  if (ReadFile(radicals, &text) != 0) return Fail(error, radicals.string() + ": cannot be read");
  if (ReadCjkRadicals(text, &data->radicals, error) != 0) return 1;
  if (data->chars.empty()) return Fail(error, folder + ": no characters");
  return 0;
}

char16_t ToneMarkedSyllableCode(std::string_view syllable) {
  std::string plain;
  int tone = 0;
  std::size_t i = 0;
  while (i < syllable.size()) {
    const char32_t cp = NextCodePoint(syllable, &i);
    if (cp < 0x80) {
      if (cp >= 'A' && cp <= 'Z') {
        plain.push_back(static_cast<char>(cp - 'A' + 'a'));
      } else if (cp >= 'a' && cp <= 'z') {
        plain.push_back(static_cast<char>(cp));
      } else {
        return 0;
      }
      continue;
    }
    if (const int t = CombiningTone(cp); t > 0) {
      if (tone != 0) return 0;
      tone = t;
      continue;
    }
    const MarkedLetter* m = nullptr;
    for (const MarkedLetter& l : kMarkedLetters)
      if (l.cp == cp) m = &l;
    if (!m) return 0;
    if (m->tone != 0) {
      if (tone != 0) return 0;
      tone = m->tone;
    }
    plain += m->plain;
  }
  if (plain == "ê") plain = "eh";  // the syllable ê alone
  if (plain.find("ê") != std::string::npos) return 0;
  const int s = FindSyllable(plain);
  if (s < 0) return 0;
  return static_cast<char16_t>(0xE000 + 5 * s + tone);
}

std::vector<std::string> SplitReadings(std::string_view value) {
  std::vector<std::string> out;
  for (std::string_view token : Tokens(value)) {
    if (const std::size_t colon = token.rfind(':'); colon != std::string_view::npos) token.remove_prefix(colon + 1);
    if (const std::size_t paren = token.find('('); paren != std::string_view::npos) token = token.substr(0, paren);
    std::size_t p = 0;
    while (p <= token.size()) {
      std::size_t comma = token.find(',', p);
      if (comma == std::string_view::npos) comma = token.size();
      const std::string reading(token.substr(p, comma - p));
      if (!reading.empty() && std::find(out.begin(), out.end(), reading) == out.end()) out.push_back(reading);
      p = comma + 1;
    }
  }
  return out;
}

bool ParseRadicalStrokes(std::string_view value, std::vector<RadicalStroke>* out) {
  const std::vector<std::string_view> tokens = Tokens(value);
  if (tokens.empty()) return false;
  for (std::string_view token : tokens) {
    const std::size_t dot = token.find('.');
    if (dot == std::string_view::npos) return false;
    RadicalStroke rs;
    std::string_view number = token.substr(0, dot);
    while (!number.empty() && number.back() == '\'') {
      rs.simplified = true;
      number.remove_suffix(1);
    }
    if (!ParseNumber(number, &rs.radical) || rs.radical < 1 || rs.radical > 214) return false;
    if (!ParseNumber(token.substr(dot + 1), &rs.residual)) return false;
    out->push_back(rs);
  }
  return true;
}

bool ParseVariantCodes(std::string_view value, std::vector<char32_t>* out) {
  const std::vector<std::string_view> tokens = Tokens(value);
  if (tokens.empty()) return false;
  for (std::string_view token : tokens) {
    if (const std::size_t tag = token.find('<'); tag != std::string_view::npos) token = token.substr(0, tag);
    char32_t cp = 0;
    if (!ParseCodePoint(token, &cp)) return false;
    if (std::find(out->begin(), out->end(), cp) == out->end()) out->push_back(cp);
  }
  return true;
}

int ParseTotalStrokes(std::string_view value) {
  const std::vector<std::string_view> tokens = Tokens(value);
  int n = 0;
  if (tokens.empty() || !ParseNumber(tokens[0], &n) || n < 0) return 0;
  return n;
}

}  // namespace devicedata
