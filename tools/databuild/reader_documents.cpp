#include "tools/databuild/reader_documents.h"

#include <algorithm>

#include "tools/databuild/table_groups.h"

namespace databuild {

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

std::uint32_t Depth(const std::vector<DocumentSectionSpec>& sections) {
  std::uint32_t depth = 0;
  for (const DocumentSectionSpec& s : sections) depth = std::max(depth, 1 + Depth(s.children));
  return depth;
}

// Level by level: each level's rows are the children of the level above in
// their parents' order.
void LayOut(const std::vector<const DocumentSectionSpec*>& level, std::uint32_t depth, std::uint32_t levels,
            std::vector<ColumnSpec>* columns) {
  if (level.empty() && depth > 0) return;
  ColumnSpec column;
  std::vector<const DocumentSectionSpec*> next;
  for (const DocumentSectionSpec* s : level) {
    RowSpec row;
    AppendU32LE(row.bytes, s->start);
    if (depth + 1 < levels) AppendU32LE(row.bytes, static_cast<std::uint32_t>(next.size()));
    for (char16_t c : s->name) {
      row.bytes.push_back(static_cast<std::uint8_t>(c));
      row.bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    column.rows.push_back(std::move(row));
    for (const DocumentSectionSpec& c : s->children) next.push_back(&c);
  }
  columns->push_back(std::move(column));
  if (depth + 1 < levels) LayOut(next, depth + 1, levels, columns);
}

}  // namespace

int AddReaderDocument(const ReaderDocumentSpec& doc, DataFileSpec* file, std::string* error) {
  if (doc.blockSize == 0 || doc.blockSize % 2) return Fail(error, "a document's block size is even and not 0");
  if (doc.title.size() > kDocumentTitleUnits) return Fail(error, "a document's title has at most 32 units");
  const std::uint32_t levels = Depth(doc.sections);
  if (levels > kDocumentMaxLevels) return Fail(error, "a document has at most 3 section levels");

  ByteVec bytes;
  for (char16_t c : doc.text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  GroupTableSpec text;
  text.type = kTypeGroupMain;
  text.infoWords = {doc.firstId,
                    doc.secondId,
                    0,
                    0,
                    doc.overrideInfoBlockSize ? doc.infoBlockSize : doc.blockSize,
                    static_cast<std::uint32_t>(bytes.size())};
  if (!doc.shortInfo) {
    for (std::size_t k = 0; k < kDocumentTitleUnits; k += 2) {
      const std::uint32_t lo = k < doc.title.size() ? doc.title[k] : 0;
      const std::uint32_t hi = k + 1 < doc.title.size() ? doc.title[k + 1] : 0;
      text.infoWords.push_back(lo | hi << 16);
    }
  } else {
    text.infoWords.resize(5);
  }
  ColumnSpec blocks;
  for (std::size_t at = 0; at < bytes.size(); at += doc.blockSize) {
    RowSpec row;
    row.bytes.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + doc.blockSize)));
    blocks.rows.push_back(std::move(row));
  }
  text.columns.push_back(std::move(blocks));

  std::vector<GroupTableSpec> group = {text};
  if (levels > 0) {
    GroupTableSpec sections;
    sections.type = kTypeGroupSecond;
    std::vector<const DocumentSectionSpec*> top;
    for (const DocumentSectionSpec& s : doc.sections) top.push_back(&s);
    LayOut(top, 0, levels, &sections.columns);
    group.push_back(std::move(sections));
  }
  return AddTableGroup(group, file, error);
}

}  // namespace databuild
