#include "tools/databuild/record_db_writer.h"

#include <algorithm>

namespace databuild {

std::size_t RecordDbFirstOffset(std::size_t recordCount) {
  return kDbContainerHeaderSize + kDbRecordEntrySize * recordCount;
}

int BuildRecordDb(const RecordDbSpec& desc, const std::vector<ByteVec>& records, ByteVec* out,
                  std::vector<std::uint32_t>* offsets, std::string* error) {
  if (records.empty() || records.size() > kDbMaxRecords) {
    if (error) *error = "a record database holds 1 to 65535 records, not " + std::to_string(records.size());
    return 1;
  }
  std::uint64_t total = RecordDbFirstOffset(records.size());
  for (const ByteVec& r : records) total += r.size();
  if (total > 0xFFFFFFFFu) {
    if (error) *error = "the file would pass 4 GiB";
    return 1;
  }

  ByteVec file(kDbContainerHeaderSize, 0);
  const std::size_t nameLen = std::min<std::size_t>(desc.name.size(), 31);
  std::copy_n(desc.name.begin(), nameLen, file.begin());
  PutU32BE(file, 60, desc.type);
  PutU32BE(file, 64, desc.creator);
  file[76] = static_cast<std::uint8_t>(records.size() >> 8);
  file[77] = static_cast<std::uint8_t>(records.size());

  std::uint32_t offset = static_cast<std::uint32_t>(RecordDbFirstOffset(records.size()));
  if (offsets) offsets->clear();
  for (std::size_t i = 0; i < records.size(); ++i) {
    AppendU32BE(file, offset);
    AppendU8(file, 0);  // attributes
    // A record id, unique in the file; readers ignore it.
    AppendU8(file, static_cast<std::uint8_t>(i >> 16));
    AppendU16BE(file, static_cast<std::uint16_t>(i));
    if (offsets) offsets->push_back(offset);
    offset += static_cast<std::uint32_t>(records[i].size());
  }
  for (const ByteVec& r : records) AppendBytes(file, r);
  *out = std::move(file);
  return 0;
}

}  // namespace databuild
