// sorvi-databuild [--no-check] DESCRIPTION OUTPUT: writes the data file that
// a text description gives (format: tools/databuild/README.md). "-" reads
// stdin. The file must keep the typed tables' rules (table_rules.h) unless
// --no-check is given (for deliberately faulty fixtures).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/description.h"
#include "tools/databuild/table_rules.h"

using namespace databuild;

namespace {

// A description names its file first ("file", once); the parser takes
// fragments without one, the command does not. The message, or "".
std::string MissingFileLine(const std::string& text) {
  std::istringstream lines(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text);
  std::string line;
  size_t number = 0;
  while (std::getline(lines, line)) {
    ++number;
    const size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    const size_t end = line.find_first_of(" \t\r#", start);
    if (line.substr(start, end == std::string::npos ? std::string::npos : end - start) == "file") return "";
    return "line " + std::to_string(number) + ": the description starts without its \"file\" line";
  }
  return "line " + std::to_string(number ? number : 1) + ": an empty description";
}

}  // namespace

int main(int argc, char** argv) {
  bool check = true;
  if (argc == 4 && std::string(argv[1]) == "--no-check") {
    check = false;
    ++argv;
    --argc;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: sorvi-databuild [--no-check] DESCRIPTION OUTPUT\n");
    return 2;
  }
  const std::string in = argv[1];
  std::string text;
  if (in == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    std::ifstream f(in, std::ios::binary);
    if (!f) {
      std::fprintf(stderr, "sorvi-databuild: cannot read %s\n", in.c_str());
      return 1;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    text = ss.str();
  }
  DataFileSpec desc;
  std::string error;
  if (const std::string missing = MissingFileLine(text); !missing.empty()) {
    std::fprintf(stderr, "sorvi-databuild: %s: %s\n", in.c_str(), missing.c_str());
    return 1;
  }
  if (ParseDataFileDescription(text, &desc, &error) != 0) {
    std::fprintf(stderr, "sorvi-databuild: %s: %s\n", in.c_str(), error.c_str());
    return 1;
  }
  if (check && CheckDataFileRules(desc, &error) != 0) {
    std::fprintf(stderr, "sorvi-databuild: %s: %s\n", in.c_str(), error.c_str());
    return 1;
  }
  if (WriteDataFile(desc, argv[2], &error) != 0) {
    std::fprintf(stderr, "sorvi-databuild: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
