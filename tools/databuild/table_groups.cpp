#include "tools/databuild/table_groups.h"

namespace databuild {

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

bool IsGroupType(std::uint32_t type) { return type >= kTypeGroupMain && type <= kTypeGroupLast; }

}  // namespace

int MakeGroupTable(const GroupTableSpec& desc, TableSpec* out, std::string* error) {
  if (!IsGroupType(desc.type)) return Fail(error, "a group table's type is 0x2000 to 0x2020");
  TableSpec t;
  t.type = desc.type;
  t.version = desc.version;
  t.flags = desc.flags;
  t.name1 = desc.name1;
  t.name2 = desc.name2;
  std::vector<std::uint32_t> words = desc.infoWords;
  // The group keeps word 4 of the 0x2000 table's info area.
  if (desc.type == kTypeGroupMain && words.size() < kGroupMainInfoWords) words.resize(kGroupMainInfoWords, 0);
  for (std::uint32_t w : words) AppendU32LE(t.info, w);
  t.columns = desc.columns;
  if (t.columns.empty()) t.columns.emplace_back();
  *out = std::move(t);
  return 0;
}

int AddTableGroup(const std::vector<GroupTableSpec>& tables, DataFileSpec* file, std::string* error) {
  bool hasMain = false;
  for (const GroupTableSpec& g : tables) {
    if (g.type == kTypeGroupMain && g.version < 2) hasMain = true;
  }
  if (!hasMain) return Fail(error, "a table group needs a 0x2000 table of version below 2");
  std::size_t inFile = 0;
  for (const TableSpec& t : file->tables) inFile += IsGroupType(t.type) ? 1 : 0;
  if (inFile + tables.size() > kMaxGroupTables) return Fail(error, "a file holds at most 31 group tables");
  std::vector<TableSpec> made;
  for (const GroupTableSpec& g : tables) {
    TableSpec t;
    if (MakeGroupTable(g, &t, error) != 0) return 1;
    made.push_back(std::move(t));
  }
  for (TableSpec& t : made) file->tables.push_back(std::move(t));
  return 0;
}

}  // namespace databuild
