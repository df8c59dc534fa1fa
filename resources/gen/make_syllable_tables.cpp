// Build-time generator: reads the syllable list and the finals list and
// writes the C++ source of the syllable tables (resources/syllable_data.h).
//
//   make_syllable_tables syllables.txt finals.txt out.cpp
//
// It refuses (exit 1, with the line) a list that breaks the rules the
// engine's searches and the data files rely on: numbering, alphabetical
// order, spelling letters, unique zhuyin, and the fixed rows.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 450;
constexpr int kZhuyinRows = 422;
constexpr int kSpellingWidth = 6;
constexpr int kZhuyinWidth = 3;
constexpr int kFinals = 31;

struct Row {
  std::string spelling;
  std::u16string zhuyin;  // empty: none
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& why) {
  std::cerr << file << ":" << line << ": " << why << "\n";
  std::exit(1);
}

// Decodes UTF-8 of the Basic Multilingual Plane (all bopomofo is there).
bool DecodeUtf8(const std::string& in, std::u16string* out) {
  out->clear();
  for (size_t i = 0; i < in.size();) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    char32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else {
      return false;
    }
    if (i + len > in.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(in[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    out->push_back(static_cast<char16_t>(cp));
    i += len;
  }
  return true;
}

bool IsBopomofoLetter(char16_t c) { return c >= 0x3105 && c <= 0x3129; }

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail(path, 0, "cannot open");
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<Row> ReadSyllables(const std::string& path) {
  std::vector<Row> rows;
  std::map<std::u16string, int> zhuyinRow;
  std::vector<std::string> lines = ReadLines(path);
  for (size_t i = 0; i < lines.size(); ++i) {
    const int lineNo = static_cast<int>(i) + 1;
    const std::string& line = lines[i];
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int number = -1;
    std::string spelling, zhuyin, extra;
    if (!(fields >> number >> spelling >> zhuyin) || (fields >> extra))
      Fail(path, lineNo, "expected: number spelling zhuyin");
    if (number != static_cast<int>(rows.size())) Fail(path, lineNo, "rows must be numbered 0, 1, 2, ... in order");
    if (spelling.empty() || spelling.size() > kSpellingWidth) Fail(path, lineNo, "spelling must have 1 to 6 letters");
    for (char c : spelling)
      if (c < 'a' || c > 'z') Fail(path, lineNo, "spelling must be lower-case letters a-z");
    if (!rows.empty() && !(rows.back().spelling < spelling))
      Fail(path, lineNo, "rows must be in alphabetical order without repeats");
    Row row;
    row.spelling = spelling;
    if (zhuyin != "-") {
      if (!DecodeUtf8(zhuyin, &row.zhuyin) || row.zhuyin.empty() || row.zhuyin.size() > kZhuyinWidth)
        Fail(path, lineNo, "zhuyin must be 1 to 3 bopomofo letters or -");
      for (char16_t c : row.zhuyin)
        if (!IsBopomofoLetter(c)) Fail(path, lineNo, "zhuyin must be bopomofo letters U+3105-U+3129");
      if (!zhuyinRow.emplace(row.zhuyin, number).second) Fail(path, lineNo, "zhuyin spelling used twice");
    }
    rows.push_back(row);
  }
  if (static_cast<int>(rows.size()) != kRows) Fail(path, 0, "the list must have 450 rows");
  if (static_cast<int>(zhuyinRow.size()) != kZhuyinRows) Fail(path, 0, "422 rows must have a zhuyin spelling");
  // Rows that other data and examples refer to by number.
  const std::pair<int, const char*> fixed[] = {{0, "a"}, {5, "b"}, {6, "ba"}, {261, "pa"}, {293, "r"}, {449, "zuo"}};
  for (const auto& [n, s] : fixed)
    if (rows[n].spelling != s) Fail(path, 0, "row " + std::to_string(n) + " must be \"" + s + "\"");
  return rows;
}

std::vector<std::string> ReadFinals(const std::string& path) {
  std::vector<std::string> finals;
  std::vector<std::string> lines = ReadLines(path);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] == '#') continue;
    if (line.size() > 3) Fail(path, static_cast<int>(i) + 1, "a final has at most 3 letters");
    for (char c : line)
      if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) Fail(path, static_cast<int>(i) + 1, "letters only");
    finals.push_back(line);
  }
  if (static_cast<int>(finals.size()) != kFinals) Fail(path, 0, "the list must have 31 finals");
  return finals;
}

void PutLe16(std::vector<unsigned char>* out, unsigned v) {
  out->push_back(static_cast<unsigned char>(v & 0xFF));
  out->push_back(static_cast<unsigned char>(v >> 8));
}

void PutBe16(std::vector<unsigned char>* out, unsigned v) {
  out->push_back(static_cast<unsigned char>(v >> 8));
  out->push_back(static_cast<unsigned char>(v & 0xFF));
}

void WriteBytes(std::ostream& out, const char* name, const std::vector<unsigned char>& bytes) {
  out << "alignas(4) extern const unsigned char " << name << "[" << bytes.size() << "] = {";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) out << "\n   ";
    out << " " << static_cast<unsigned>(bytes[i]) << ",";
  }
  out << "\n};\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: make_syllable_tables syllables.txt finals.txt out.cpp\n";
    return 2;
  }
  std::vector<Row> rows = ReadSyllables(argv[1]);
  std::vector<std::string> finals = ReadFinals(argv[2]);

  // "ASTR" 6013: 6 ASCII letters a row, blank-padded.
  std::vector<unsigned char> spelling;
  for (const Row& r : rows)
    for (int k = 0; k < kSpellingWidth; ++k)
      spelling.push_back(k < static_cast<int>(r.spelling.size()) ? r.spelling[k] : ' ');

  // "USTR" 6011: 3 UTF-16 units a row (little-endian as on the device),
  // blank-padded, all blanks without zhuyin.
  std::vector<unsigned char> zhuyin;
  for (const Row& r : rows)
    for (int k = 0; k < kZhuyinWidth; ++k) PutLe16(&zhuyin, k < static_cast<int>(r.zhuyin.size()) ? r.zhuyin[k] : u' ');

  // "USTR" 6012: the rows with zhuyin, sorted by their blank-padded zhuyin,
  // each followed by the syllable number, left-aligned in 3 places.
  std::vector<std::pair<std::u16string, int>> index;
  for (int n = 0; n < kRows; ++n) {
    if (rows[n].zhuyin.empty()) continue;
    std::u16string key = rows[n].zhuyin;
    key.resize(kZhuyinWidth, u' ');
    index.emplace_back(key, n);
  }
  std::sort(index.begin(), index.end());
  std::vector<unsigned char> zhuyinIndex;
  for (const auto& [key, n] : index) {
    std::string digits = std::to_string(n);
    digits.resize(3, ' ');
    for (char16_t c : key) PutLe16(&zhuyinIndex, c);
    for (char c : digits) PutLe16(&zhuyinIndex, static_cast<unsigned char>(c));
  }

  // "USTR" 6014: 3 big-endian codes a final, blank-padded, then one 0 code.
  std::vector<unsigned char> finalsTable;
  for (const std::string& f : finals)
    for (int k = 0; k < 3; ++k) PutBe16(&finalsTable, k < static_cast<int>(f.size()) ? static_cast<unsigned char>(f[k]) : ' ');
  PutBe16(&finalsTable, 0);

  std::ofstream out(argv[3]);
  if (!out) Fail(argv[3], 0, "cannot write");
  out << "// Generated by resources/gen/make_syllable_tables.cpp from resources/syllables.txt\n"
         "// and resources/finals.txt. Do not edit.\n"
         "#include \"resources/syllable_data.h\"\n\n"
         "namespace syllable_data {\n\n";
  out << "extern const char kSpelling[" << kRows << "][8] = {\n";
  for (const Row& r : rows) out << "    \"" << r.spelling << "\",\n";
  out << "};\n\n";
  out << "extern const char16_t kZhuyin[" << kRows << "][4] = {\n";
  for (const Row& r : rows) {
    out << "    {";
    for (char16_t c : r.zhuyin) out << "0x" << std::hex << static_cast<unsigned>(c) << std::dec << ", ";
    out << "0},\n";
  }
  out << "};\n\n";
  WriteBytes(out, "kPinyinSpellingTable", spelling);
  WriteBytes(out, "kZhuyinSpellingTable", zhuyin);
  WriteBytes(out, "kZhuyinIndexTable", zhuyinIndex);
  WriteBytes(out, "kPinyinFinalsTable", finalsTable);
  out << "}  // namespace syllable_data\n";
  out.close();
  if (!out) Fail(argv[3], 0, "write failed");
  return 0;
}
