#include "tools/databuild/code_page_tables.h"

#include <iconv.h>

#include <cerrno>

namespace databuild {

namespace {

struct Geometry {
  std::uint8_t lastLead;
  std::uint32_t rowSize;
  const char* iconvName;
};

bool GetGeometry(std::uint32_t id, Geometry* g) {
  if (id == kCodePageGb2312) {
    *g = {0xF7, 94, "GB2312"};
    return true;
  }
  if (id == kCodePageBig5) {
    *g = {0xF9, 157, "BIG5"};
    return true;
  }
  return false;
}

// One conversion of a short input; the number of output bytes, or -1 when
// iconv refuses the input or leaves some of it.
int Convert(iconv_t cd, const char* in, std::size_t inBytes, char* out, std::size_t outBytes) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in);
  char* dst = out;
  std::size_t left = inBytes;
  std::size_t room = outBytes;
  if (iconv(cd, &src, &left, &dst, &room) == static_cast<std::size_t>(-1) || left != 0) return -1;
  // Flush any shift state so that the output is complete.
  if (iconv(cd, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1)) return -1;
  return static_cast<int>(outBytes - room);
}

void PutLe32(ByteVec& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

TableSpec ValuesTable(std::uint32_t w0, std::uint32_t w1, std::vector<std::uint32_t> values) {
  TableSpec t;
  t.type = kCodePageTableType;
  PutLe32(t.info, w0);
  PutLe32(t.info, w1);
  PutLe32(t.info, 0);
  PutLe32(t.info, 0);
  ColumnSpec c;
  c.unitSize = 2;
  c.values = std::move(values);
  t.columns.push_back(std::move(c));
  return t;
}

}  // namespace

std::uint32_t CodePageGridSize(std::uint32_t id) {
  Geometry g{};
  if (!GetGeometry(id, &g)) return 0;
  return (g.lastLead - 0xA1 + 1) * g.rowSize;
}

std::int32_t CodePageGridIndex(std::uint32_t id, std::uint8_t lead, std::uint8_t trail) {
  Geometry g{};
  if (!GetGeometry(id, &g) || lead < 0xA1 || lead > g.lastLead) return -1;
  const std::int32_t row = (lead - 0xA1) * static_cast<std::int32_t>(g.rowSize);
  if (id == kCodePageGb2312) return trail >= 0xA1 && trail <= 0xFE ? row + (trail - 0xA1) : -1;
  if (trail >= 0x40 && trail <= 0x7E) return row + (trail - 0x40);
  if (trail >= 0xA1 && trail <= 0xFE) return row + (trail - 0x62);
  return -1;
}

int GenerateCodePage(std::uint32_t id, CodePageData* out, std::string* error) {
  Geometry g{};
  if (!GetGeometry(id, &g)) {
    if (error) *error = "unknown code page " + std::to_string(id);
    return 1;
  }
  iconv_t toUnicode = iconv_open("UTF-16LE", g.iconvName);
  iconv_t fromUnicode = iconv_open(g.iconvName, "UTF-16LE");
  if (toUnicode == reinterpret_cast<iconv_t>(-1) || fromUnicode == reinterpret_cast<iconv_t>(-1)) {
    if (toUnicode != reinterpret_cast<iconv_t>(-1)) iconv_close(toUnicode);
    if (fromUnicode != reinterpret_cast<iconv_t>(-1)) iconv_close(fromUnicode);
    if (error) *error = std::string("iconv has no ") + g.iconvName;
    return 1;
  }
  out->id = id;
  out->toUnicode.assign(CodePageGridSize(id), kCodePageUnassigned);
  for (unsigned lead = 0xA1; lead <= g.lastLead; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::int32_t index = CodePageGridIndex(id, static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
      if (index < 0) continue;
      const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char buf[8];
      // Only codes that give one UTF-16 unit have a place in the table.
      if (Convert(toUnicode, in, 2, buf, sizeof buf) != 2) continue;
      out->toUnicode[static_cast<std::size_t>(index)] =
          static_cast<char16_t>(static_cast<std::uint8_t>(buf[0]) | static_cast<std::uint8_t>(buf[1]) << 8);
    }
  }
  out->toCodePage.assign(kCodePageLastHan - kCodePageFirstHan + 1, kCodePageMissing);
  for (std::uint32_t c = kCodePageFirstHan; c <= kCodePageLastHan; ++c) {
    const char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    char buf[8];
    if (Convert(fromUnicode, in, 2, buf, sizeof buf) != 2) continue;
    const std::int32_t index =
        CodePageGridIndex(id, static_cast<std::uint8_t>(buf[0]), static_cast<std::uint8_t>(buf[1]));
    if (index >= 0) out->toCodePage[c - kCodePageFirstHan] = static_cast<std::uint16_t>(index);
  }
  iconv_close(toUnicode);
  iconv_close(fromUnicode);
  return 0;
}

void MakeCodePageTables(const CodePageData& data, TableSpec* encode, TableSpec* decode) {
  *encode = ValuesTable(kCodePageUnicode, data.id, {data.toCodePage.begin(), data.toCodePage.end()});
  *decode = ValuesTable(data.id, kCodePageUnicode, {data.toUnicode.begin(), data.toUnicode.end()});
}

int AddCodePageTables(std::uint32_t id, DataFileSpec* file, std::string* error) {
  CodePageData data;
  if (GenerateCodePage(id, &data, error) != 0) return 1;
  TableSpec encode, decode;
  MakeCodePageTables(data, &encode, &decode);
  file->tables.push_back(std::move(encode));
  file->tables.push_back(std::move(decode));
  return 0;
}

}  // namespace databuild
