// Writes a seed corpus for fuzz_position_store: store files as the store
// writes them (empty, one document, several with bookmarks, the 64-record
// limit) and the near misses it must refuse. Usage: fuzz_position_store_seeds DIR
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Header(uint32_t version, uint32_t count, uint32_t stride) {
  Bytes b;
  Put32(&b, version);
  Put32(&b, count);
  Put32(&b, stride);
  return b;
}

void Record(Bytes* b, const std::u16string& name, uint32_t kind, uint32_t inUse, uint32_t capacity) {
  for (size_t i = 0; i < 64; ++i) {
    const char16_t c = i < name.size() ? name[i] : 0;
    b->push_back(static_cast<uint8_t>(c));
    b->push_back(static_cast<uint8_t>(c >> 8));
  }
  Put32(b, kind);
  Put32(b, kind == 0 ? 8 : 0);
  Put32(b, kind == 0 ? 7 : 0);
  for (uint32_t t : {100u, 200u, 300u}) Put32(b, t);
  Put32(b, inUse);
  Put32(b, capacity);
  for (uint32_t s = 0; s < 32; ++s) {
    for (int i = 0; i < 30; ++i) {
      const char16_t c = s && s < inUse && i < 5 ? static_cast<char16_t>(u'a' + i) : 0;
      b->push_back(static_cast<uint8_t>(c));
      b->push_back(static_cast<uint8_t>(c >> 8));
    }
    Put32(b, s * 1000);
  }
}

bool Write(const std::string& dir, const std::string& name, const Bytes& b) {
  FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
  if (!f) return false;
  std::fwrite(b.data(), 1, b.size(), f);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = Write(dir, "empty-store", Header(2, 0, 2208));
  Bytes one = Header(2, 1, 2208);
  Record(&one, u"a.txt", 1, 3, 32);
  ok &= Write(dir, "one-document", one);
  Bytes three = Header(2, 3, 2208);
  Record(&three, u"a.txt", 1, 1, 32);
  Record(&three, u"", 0, 4, 32);
  Record(&three, u"b.txt", 1, 40, 0xFFFFFFFF);
  ok &= Write(dir, "three-documents", three);
  Bytes cut = three;
  cut.resize(12 + 2208 + 500);
  ok &= Write(dir, "cut-record", cut);
  Bytes full = Header(2, 64, 2208);
  for (int i = 0; i < 64; ++i) Record(&full, u"d" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)), 1, 1, 32);
  ok &= Write(dir, "sixty-four", full);
  ok &= Write(dir, "version-3", Header(3, 0, 2208));
  ok &= Write(dir, "short-stride", Header(2, 1, 100));
  return ok ? 0 : 1;
}
