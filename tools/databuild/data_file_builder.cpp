#include "tools/databuild/data_file_builder.h"

#include <cstdio>
#include <cstring>

namespace databuild {

int BuildDataFile(const DataFileSpec& desc, ByteVec* out, DataFileLayout* layout, std::string* error) {
  if (desc.shortName.size() > 31) {
    if (error) *error = "the short name has at most 31 characters";
    return 1;
  }
  DataFileLayout lay;
  std::vector<ByteVec> records(1);  // record 0, the header, is filled in below
  for (std::size_t t = 0; t < desc.tables.size(); ++t) {
    std::vector<ByteVec> tableRecords;
    TableLayout tl;
    if (BuildTableRecords(desc.tables[t], &tableRecords, &tl, error) != 0) {
      if (error) error->insert(0, "table " + std::to_string(t) + ": ");
      return 1;
    }
    tl.headerRecord = static_cast<std::uint32_t>(records.size());
    for (ByteVec& r : tableRecords) records.push_back(std::move(r));
    lay.tables.push_back(std::move(tl));
  }
  if (records.size() > kDbMaxRecords) {
    if (error) *error = "the file would hold " + std::to_string(records.size()) + " records; at most 65535";
    return 1;
  }

  ByteVec& h = records[0];
  h.assign(kDataFileHeaderFixedSize, 0);
  std::memcpy(h.data(), kDataFileMagic, 12);
  PutU32LE(h, 12, kDataFileMagicNumber);
  PutU32LE(h, 16, kDataFileVersion);
  PutU32LE(h, 40, static_cast<std::uint32_t>(desc.tables.size()));
  PutUtf16LE(h, 44, desc.shortName, 31);
  PutU32LE(h, 108, static_cast<std::uint32_t>(desc.longName.size()));
  PutU32LE(h, 112, static_cast<std::uint32_t>(desc.notice.size()));
  for (std::size_t t = 0; t < desc.tables.size(); ++t) {
    AppendU32LE(h, lay.tables[t].headerRecord);
    AppendU32LE(h, desc.tables[t].type);
  }
  AppendUtf16LE(h, desc.longName);
  AppendUtf16LE(h, desc.notice);
  PadTo(h, 4);

  // The header states the container's record count and sizes exactly.
  std::uint64_t fileSize = RecordDbFirstOffset(records.size());
  for (const ByteVec& r : records) fileSize += r.size();
  if (fileSize > 0xFFFFFFFFu) {
    if (error) *error = "the file would pass 4 GiB";
    return 1;
  }
  PutU32LE(h, 28, static_cast<std::uint32_t>(records.size()));
  PutU32LE(h, 32, static_cast<std::uint32_t>(fileSize));
  PutU32LE(h, 36, static_cast<std::uint32_t>(fileSize - RecordDbFirstOffset(records.size())));

  RecordDbSpec container;
  container.name = desc.containerName;
  container.type = desc.containerType;
  if (BuildRecordDb(container, records, out, &lay.recordOffsets, error) != 0) return 1;
  lay.fileSize = static_cast<std::uint32_t>(out->size());
  if (layout) *layout = std::move(lay);
  return 0;
}

int WriteFileBytes(const ByteVec& bytes, const std::string& path, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot create " + path;
    return 1;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    if (error) *error = "cannot write " + path;
    return 1;
  }
  return 0;
}

int WriteDataFile(const DataFileSpec& desc, const std::string& path, std::string* error) {
  ByteVec bytes;
  if (BuildDataFile(desc, &bytes, nullptr, error) != 0) return 1;
  return WriteFileBytes(bytes, path, error);
}

}  // namespace databuild
