#include "tools/databuild/audio_tables.h"

#include <algorithm>

#include "tools/databuild/row_sort.h"

namespace databuild {

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

bool MustBeFirst(std::uint32_t type) { return type == kTypeSyllableIndex || type == 0x9010; }

}  // namespace

int MakeSyllableIndexTable(const SyllableIndexSpec& desc, TableSpec* out, std::string* error) {
  if (desc.clipTables.size() > 16) return Fail(error, "a group has at most 16 clip lists (4 bits)");
  TableSpec t;
  t.type = kTypeSyllableIndex;
  t.flags = kTableTextIndex | kTableSorted;
  t.maxBlockRows = desc.maxBlockRows;
  // The block index holds the bare key texts: the search compares them with
  // the key as they are, while rows are compared past their two words.
  t.indexTextSkip = 2;

  t.info.assign(kClipListDescriptorOffset + kClipListDescriptorSize * desc.clipTables.size(), 0);
  PutU32LE(t.info, 0, desc.id);
  PutU16LE(t.info, 4, static_cast<std::uint16_t>(desc.clipTables.size()));
  PutU16LE(t.info, 8, desc.kind);
  PutU32LE(t.info, 12, desc.flags);
  PutU32LE(t.info, 16, kSyllableIndexMarker);
  for (std::size_t i = 0; i < desc.clipTables.size(); ++i) {
    PutU16LE(t.info, kClipListDescriptorOffset + kClipListDescriptorSize * i, desc.clipTables[i]);
  }

  ColumnSpec col;
  col.unitSize = 2;
  for (const SyllableClipRef& k : desc.keys) {
    if (k.key.empty() || k.key.size() > kSyllableKeyMaxUnits) {
      return Fail(error, "a clip key text has 1 to 19 units (has " + std::to_string(k.key.size()) + ")");
    }
    if (k.key.find(u'\0') != std::u16string::npos) return Fail(error, "a clip key text holds no 0");
    if (k.list > 15) return Fail(error, "a clip list number has 4 bits");
    RowSpec row;
    const std::uint16_t a = static_cast<std::uint16_t>((k.yiBuOnly ? kClipYiBuOnly : 0) | (k.list << 8) | k.table);
    AppendU16LE(row.bytes, a);
    AppendU16LE(row.bytes, k.row);
    AppendUtf16LE(row.bytes, k.key);
    col.rows.push_back(std::move(row));
  }
  SortRowsByText(col, 7, false, 2);
  for (std::size_t i = 1; i < col.rows.size(); ++i) {
    if (RowCompareText(col.rows[i], false, 2) == RowCompareText(col.rows[i - 1], false, 2)) {
      return Fail(error, "two clip keys have the same text");
    }
  }
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

int MakeClipTable(const ClipTableSpec& desc, TableSpec* out, std::string* error) {
  TableSpec t;
  t.type = kTypeClips;
  t.maxBlockRows = desc.maxBlockRows;
  t.maxBlockBytes = kMaxBlockBytes;  // a clip fills a block of its own when it must
  t.info.assign(12, 0);
  PutU32LE(t.info, 0, desc.groupId);
  PutU16LE(t.info, 4, desc.list);
  PutU16LE(t.info, 8, desc.place);
  ColumnSpec col;
  col.unitSize = 1;
  for (const ByteVec& clip : desc.clips) {
    if (clip.size() > kMaxBlockBytes) return Fail(error, "a clip has at most 49152 bytes");
    RowSpec row;
    row.bytes = clip;
    col.rows.push_back(std::move(row));
  }
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

int AddSyllableIndexTable(const SyllableIndexSpec& desc, DataFileSpec* file, std::string* error) {
  if (!file->tables.empty() && MustBeFirst(file->tables[0].type)) {
    return Fail(error, "table 0 of the file is already a syllable or stroke index");
  }
  TableSpec t;
  if (MakeSyllableIndexTable(desc, &t, error) != 0) return 1;
  // The reader looks for the index only as table 0.
  file->tables.insert(file->tables.begin(), std::move(t));
  return 0;
}

int AddClipTable(const ClipTableSpec& desc, DataFileSpec* file, std::string* error) {
  TableSpec t;
  if (MakeClipTable(desc, &t, error) != 0) return 1;
  file->tables.push_back(std::move(t));
  return 0;
}

int AddAudioGroup(const AudioGroupSpec& desc, DataFileSpec* file, std::string* error) {
  const std::size_t perTable = desc.clipsPerTable == 0 ? std::max<std::size_t>(desc.clips.size(), 1)
                                                       : desc.clipsPerTable;
  const std::size_t tables = std::max<std::size_t>((desc.clips.size() + perTable - 1) / perTable, 1);
  if (tables > 256) return Fail(error, "a clip list has at most 256 tables");
  if (perTable > 65536) return Fail(error, "a clip table has at most 65536 clips");
  SyllableIndexSpec index;
  index.id = desc.id;
  index.flags = desc.flags;
  index.kind = desc.kind;
  index.clipTables.push_back(static_cast<std::uint16_t>(tables));
  std::vector<ClipTableSpec> clipTables(tables);
  for (std::size_t i = 0; i < tables; ++i) {
    clipTables[i].groupId = desc.id;
    clipTables[i].place = static_cast<std::uint16_t>(i);
  }
  for (std::size_t i = 0; i < desc.clips.size(); ++i) {
    const SyllableClip& c = desc.clips[i];
    SyllableClipRef ref;
    ref.key = c.key;
    ref.table = static_cast<std::uint8_t>(i / perTable);
    ref.row = static_cast<std::uint16_t>(i % perTable);
    ref.yiBuOnly = c.yiBuOnly;
    index.keys.push_back(std::move(ref));
    clipTables[i / perTable].clips.push_back(c.data);
  }
  DataFileSpec work = *file;
  if (AddSyllableIndexTable(index, &work, error) != 0) return 1;
  for (const ClipTableSpec& ct : clipTables) {
    if (AddClipTable(ct, &work, error) != 0) return 1;
  }
  *file = std::move(work);
  return 0;
}

}  // namespace databuild
