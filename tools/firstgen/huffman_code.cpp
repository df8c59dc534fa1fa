#include "tools/firstgen/huffman_code.h"

#include <algorithm>
#include <queue>

namespace firstgen {

namespace {

struct Node {
  uint64_t weight;
  int left = -1, right = -1;
  uint16_t symbol = 0;
};

void Depths(const std::vector<Node>& nodes, int at, uint32_t depth, std::map<uint16_t, uint32_t>* out) {
  const Node& n = nodes[at];
  if (n.left < 0) {
    (*out)[n.symbol] = depth;
    return;
  }
  Depths(nodes, n.left, depth + 1, out);
  Depths(nodes, n.right, depth + 1, out);
}

}  // namespace

bool BuildHuffmanCode(const std::map<uint16_t, uint64_t>& frequencies, bool singleLength, HuffmanCode* out) {
  HuffmanCode code;
  if (frequencies.empty()) return false;
  if (singleLength || frequencies.size() == 1) {
    uint32_t bits = 1;
    while ((uint64_t{1} << bits) < frequencies.size()) ++bits;
    for (const auto& [s, f] : frequencies) code.lengths[s] = bits;
  } else {
    std::vector<Node> nodes;
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
    for (const auto& [s, f] : frequencies) {
      nodes.push_back({f ? f : 1, -1, -1, s});
      queue.push({nodes.back().weight, static_cast<int>(nodes.size() - 1)});
    }
    while (queue.size() > 1) {
      auto [wa, a] = queue.top();
      queue.pop();
      auto [wb, b] = queue.top();
      queue.pop();
      nodes.push_back({wa + wb, a, b, 0});
      queue.push({wa + wb, static_cast<int>(nodes.size() - 1)});
    }
    Depths(nodes, queue.top().second, 0, &code.lengths);
  }
  code.maxLength = 0;
  code.minLength = 64;
  for (const auto& [s, l] : code.lengths) {
    code.maxLength = std::max(code.maxLength, l);
    code.minLength = std::min(code.minLength, l);
  }
  if (code.maxLength > 32) return false;
  const uint32_t L = code.maxLength - code.minLength + 1;
  code.counts.assign(L, 0);
  code.symbols.assign(L, {});
  for (const auto& [s, l] : code.lengths) code.symbols[code.maxLength - l].push_back(s);
  uint64_t u = 0;
  for (uint32_t j = 0; j < L; ++j) {
    code.counts[j] = static_cast<uint32_t>(code.symbols[j].size());
    if (j > 0) {
      u = (u + code.counts[j - 1]) / 2;
    }
    for (uint32_t i = 0; i < code.counts[j]; ++i) {
      code.codes[code.symbols[j][i]] = {static_cast<uint32_t>(u + i), code.maxLength - j};
    }
  }
  *out = code;
  return true;
}

Bytes WriteHuffmanCodeRecord(const HuffmanCode& code) {
  Bytes b;
  AppendBe(&b, 2, code.maxLength);
  AppendBe(&b, 2, code.minLength);
  for (uint32_t c : code.counts) AppendBe(&b, 4, c);
  for (const auto& list : code.symbols) {
    for (uint16_t s : list) AppendBe(&b, 2, s);
  }
  return b;
}

void BitString::Append(uint32_t code, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (bits % 8 == 0) bytes.push_back(0);
    if ((code >> (length - 1 - i)) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> (bits % 8));
    ++bits;
  }
}

bool EncodeHuffmanText(const HuffmanCode& code, const std::u16string& text, Bytes* out) {
  BitString bits;
  std::u16string all = text;
  all += u'\0';
  for (char16_t c : all) {
    auto it = code.codes.find(c);
    if (it == code.codes.end()) return false;
    bits.Append(it->second.first, it->second.second);
  }
  *out = bits.bytes;
  return true;
}

}  // namespace firstgen
