// Documents for the reader: a UTF-16LE text with its sections, written as
// one table group of a data file.
// - The 0x2000 table holds the text: row k of column 0 is bytes
//   [k x block size, (k + 1) x block size) of the UTF-16LE text.
// - Its info area: word 0 first id, word 1 second id, words 2-3 zero, word
//   4 the block size, word 5 the text length in bytes, then the title in 32
//   UTF-16 units (bytes 24-87, zero-padded).
// - With sections, a 0x2010 table with one column per level (at most 3):
//   level 0 lists the top sections, each deeper level the children of the
//   level above in their parents' order. A row is a u32 start byte, a u32
//   first child index in the next level (not on the last level), then the
//   UTF-16LE name. A parent without children points where its children
//   would begin, so counts are differences of first-child indexes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/data_file_builder.h"

namespace databuild {

constexpr std::uint32_t kDocumentMaxLevels = 3;
constexpr std::size_t kDocumentTitleUnits = 32;

struct DocumentSectionSpec {
  std::uint32_t start = 0;  // byte in the text
  std::u16string name;
  std::vector<DocumentSectionSpec> children;
};

struct ReaderDocumentSpec {
  std::uint32_t firstId = 1;
  std::uint32_t secondId = 0;
  std::u16string title;  // at most 32 units
  std::u16string text;
  std::uint32_t blockSize = 4096;  // bytes a row of the text table holds
  std::vector<DocumentSectionSpec> sections;
  // Tests of the reader's checks: a different info word 4 than the block
  // size used for the rows, an info area cut to its first five words.
  bool overrideInfoBlockSize = false;
  std::uint32_t infoBlockSize = 0;
  bool shortInfo = false;
};

// Appends the document's group to the file. Fails on a block size that is
// 0 or odd, a title over 32 units, or sections deeper than 3 levels.
int AddReaderDocument(const ReaderDocumentSpec& doc, DataFileSpec* file, std::string* error);

}  // namespace databuild
