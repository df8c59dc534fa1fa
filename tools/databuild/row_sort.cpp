#include "tools/databuild/row_sort.h"

#include <algorithm>

#include "engine/text_compare.h"

namespace databuild {

void SortRowsByKey(ColumnSpec& column) {
  std::stable_sort(column.rows.begin(), column.rows.end(),
                   [](const RowSpec& a, const RowSpec& b) { return a.key < b.key; });
}

std::u16string RowCompareText(const RowSpec& row, bool huffman, std::uint32_t skipUnits) {
  std::u16string t;
  if (huffman) {
    t = row.text;
  } else {
    for (std::size_t i = 0; i + 1 < row.bytes.size(); i += 2) t.push_back(GetU16LE(&row.bytes[i]));
  }
  // The skipped units are data (they may be 0); the text ends at its first 0.
  t.erase(0, std::min<std::size_t>(skipUnits, t.size()));
  const std::size_t end = t.find(u'\0');
  if (end != std::u16string::npos) t.resize(end);
  return t;
}

void SortRowsByText(ColumnSpec& column, int mode, bool huffman, std::uint32_t skipUnits) {
  std::vector<std::pair<std::u16string, RowSpec>> items;
  items.reserve(column.rows.size());
  for (RowSpec& r : column.rows) {
    std::u16string t = RowCompareText(r, huffman, skipUnits);
    items.emplace_back(std::move(t), std::move(r));
  }
  std::stable_sort(items.begin(), items.end(), [mode](const auto& a, const auto& b) {
    return CompareTableText(mode, a.first.c_str(),
                            b.first.c_str()) < 0;
  });
  column.rows.clear();
  for (auto& it : items) column.rows.push_back(std::move(it.second));
}

}  // namespace databuild
