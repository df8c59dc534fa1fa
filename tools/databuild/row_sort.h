// Sorting rows into the orders the reader searches. The orders themselves
// are the program's (engine/text_compare.h): the writer calls the same
// functions, so an order is defined once.
#pragma once

#include <cstdint>
#include <string>

#include "tools/databuild/table_builder.h"

namespace databuild {

// Ascending unsigned key, rows of equal keys keeping their order.
void SortRowsByKey(ColumnSpec& column);

// The text a row is compared by when its table is searched by text: the
// record's text (coded text of a Huffman table, else the UTF-16LE record up
// to its first 0), less `skipUnits` leading units.
std::u16string RowCompareText(const RowSpec& row, bool huffman, std::uint32_t skipUnits);

// Ascending under CompareTableText(mode), stable.
void SortRowsByText(ColumnSpec& column, int mode, bool huffman, std::uint32_t skipUnits);

}  // namespace databuild
