// sorvi-firstgen: writes first-generation dictionaries and user files.
//
//   sorvi-firstgen sample DIR [--cedict FILE]
//       the sample device root (see fixtures.h)
//   sorvi-firstgen write KIND OUT [--bundle] [--cedict FILE] [--set OFFSET:WIDTH:VALUE[:le]]...
//       KIND: cedict, user-dict, no-definitions, user-file; --set writes a
//       field of the finished file (big-endian unless ":le"), for damaged
//       fixtures and fuzz seeds
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/firstgen/fixtures.h"

using namespace firstgen;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: sorvi-firstgen sample DIR [--cedict FILE]\n"
               "       sorvi-firstgen write cedict|user-dict|no-definitions|user-file OUT [--bundle] [--cedict FILE]\n"
               "                      [--set OFFSET:WIDTH:VALUE[:le]]...\n");
  return 2;
}

struct Poke {
  size_t offset;
  uint32_t width;
  uint32_t value;
  bool little;
};

bool ParsePoke(const std::string& s, Poke* p) {
  unsigned long long offset = 0, value = 0;
  unsigned width = 0;
  char order[4] = {};
  const int n = std::sscanf(s.c_str(), "%lli:%u:%lli:%2s", &offset, &width, &value, order);
  if (n < 3 || (width != 1 && width != 2 && width != 4)) return false;
  *p = {static_cast<size_t>(offset), width, static_cast<uint32_t>(value), std::string(order) == "le"};
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  std::string cedict = SORVI_FIRSTGEN_CEDICT;
  bool bundle = false;
  std::vector<Poke> pokes;
  std::vector<std::string> args;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cedict" && i + 1 < argc) {
      cedict = argv[++i];
    } else if (a == "--bundle") {
      bundle = true;
    } else if (a == "--set" && i + 1 < argc) {
      Poke p;
      if (!ParsePoke(argv[++i], &p)) return Usage();
      pokes.push_back(p);
    } else {
      args.push_back(a);
    }
  }
  std::string error;
  std::vector<CedictRow> rows;
  if (!LoadCedictRows(cedict, &rows, &error)) {
    std::fprintf(stderr, "sorvi-firstgen: %s\n", error.c_str());
    return 1;
  }
  if (command == "sample" && args.size() == 1) {
    if (!WriteSample(args[0], rows, &error)) {
      std::fprintf(stderr, "sorvi-firstgen: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (command != "write" || args.size() != 2) return Usage();
  DatabaseSpec spec;
  if (args[0] == "cedict") {
    spec = ChineseEnglishDictionary(rows);
  } else if (args[0] == "user-dict") {
    spec = UserDictionary(rows);
  } else if (args[0] == "no-definitions") {
    spec = NoDefinitionsDictionary(rows);
  } else if (args[0] == "user-file") {
    spec = UserFile(SampleUserFile(rows));
  } else {
    return Usage();
  }
  std::vector<Bytes> records;
  DatabaseLayout layout;
  if (!BuildDatabaseRecords(spec, &records, &layout, &error)) {
    std::fprintf(stderr, "sorvi-firstgen: %s\n", error.c_str());
    return 1;
  }
  Bytes file = bundle ? WriteBundle(records) : WriteContainer(records);
  for (const Poke& p : pokes) {
    if (p.little) {
      PutLe(&file, p.offset, p.width, p.value);
    } else {
      PutBe(&file, p.offset, p.width, p.value);
    }
  }
  if (!WriteFile(args[1], file, &error)) {
    std::fprintf(stderr, "sorvi-firstgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
