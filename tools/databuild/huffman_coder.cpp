#include "tools/databuild/huffman_coder.h"

#include <algorithm>
#include <queue>

namespace databuild {

void CountHuffmanSymbols(HuffmanCounts& counts, std::u16string_view text) {
  for (char16_t c : text) ++counts.freq[c];
}

namespace {

struct Node {
  std::uint64_t weight;
  std::uint32_t order;  // keeps ties deterministic
  int left;
  int right;
  int symbol;  // -1 for inner nodes
};

// Plain Huffman code lengths of the symbols (weights > 0), in symbol order.
std::vector<unsigned> HuffmanLengths(const std::vector<std::uint64_t>& weights) {
  std::vector<Node> nodes;
  using Item = std::pair<std::pair<std::uint64_t, std::uint32_t>, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
  for (std::size_t i = 0; i < weights.size(); ++i) {
    nodes.push_back({weights[i], static_cast<std::uint32_t>(i), -1, -1, static_cast<int>(i)});
    heap.push({{weights[i], static_cast<std::uint32_t>(i)}, static_cast<int>(i)});
  }
  std::uint32_t order = static_cast<std::uint32_t>(weights.size());
  while (heap.size() > 1) {
    const int a = heap.top().second;
    heap.pop();
    const int b = heap.top().second;
    heap.pop();
    nodes.push_back({nodes[a].weight + nodes[b].weight, order, a, b, -1});
    heap.push({{nodes.back().weight, order}, static_cast<int>(nodes.size() - 1)});
    ++order;
  }
  std::vector<unsigned> lengths(weights.size(), 0);
  if (nodes.empty()) return lengths;
  // Depth-first walk from the root (the last node made).
  std::vector<std::pair<int, unsigned>> stack{{static_cast<int>(nodes.size() - 1), 0}};
  while (!stack.empty()) {
    auto [n, depth] = stack.back();
    stack.pop_back();
    if (nodes[n].symbol >= 0) {
      lengths[nodes[n].symbol] = depth;
    } else {
      stack.push_back({nodes[n].left, depth + 1});
      stack.push_back({nodes[n].right, depth + 1});
    }
  }
  return lengths;
}

}  // namespace

void BuildHuffmanCode(const HuffmanCounts& counts, unsigned maxLength, HuffmanCode* code) {
  maxLength = std::clamp(maxLength, kHuffmanMinLongest, 32u);
  std::vector<char16_t> syms;
  std::vector<std::uint64_t> weights;
  for (std::uint32_t v = 0; v < 65536; ++v) {
    if (counts.freq[v] != 0) {
      syms.push_back(static_cast<char16_t>(v));
      weights.push_back(counts.freq[v]);
    }
  }
  // A complete code needs two symbols at least: fill up with values that
  // never occur (from U+FFFF down); they are never written.
  std::uint32_t nextDummy = 0xFFFF;
  auto addDummy = [&](std::vector<unsigned>* lengths, unsigned length) {
    while (counts.freq[nextDummy] != 0) --nextDummy;
    syms.push_back(static_cast<char16_t>(nextDummy));
    weights.push_back(0);
    if (lengths) lengths->push_back(length);
    --nextDummy;
  };
  while (syms.size() < 2) addDummy(nullptr, 0);

  std::vector<unsigned> lengths = HuffmanLengths(weights);
  // Too long: flatten the weights until the tree is shallow enough.
  std::vector<std::uint64_t> w = weights;
  while (*std::max_element(lengths.begin(), lengths.end()) > maxLength) {
    for (auto& x : w) x = std::max<std::uint64_t>(1, x / 2);
    lengths = HuffmanLengths(w);
  }
  // Too short: split a longest code into itself and an unused symbol one bit
  // longer, which keeps the code complete.
  while (*std::max_element(lengths.begin(), lengths.end()) < kHuffmanMinLongest) {
    const unsigned longest = *std::max_element(lengths.begin(), lengths.end());
    std::size_t pick = 0;
    std::uint64_t pickWeight = UINT64_MAX;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      if (lengths[i] == longest && weights[i] < pickWeight) {
        pick = i;
        pickWeight = weights[i];
      }
    }
    lengths[pick] = longest + 1;
    addDummy(&lengths, longest + 1);
  }

  HuffmanCode& c = *code;
  c = HuffmanCode{};
  c.longest = *std::max_element(lengths.begin(), lengths.end());
  c.shortest = *std::min_element(lengths.begin(), lengths.end());
  const unsigned k = c.longest - c.shortest + 1;
  c.counts.assign(k, 0);
  c.lengths.assign(65536, 0);
  c.codes.assign(65536, 0);
  for (std::size_t i = 0; i < syms.size(); ++i) {
    ++c.counts[c.longest - lengths[i]];
    c.lengths[syms[i]] = static_cast<std::uint8_t>(lengths[i]);
  }
  std::uint32_t first = 0;  // first code of the current length, in its own width
  for (unsigned i = 0; i < k; ++i) {
    if (i > 0) first = (first + c.counts[i - 1]) / 2;
    const unsigned len = c.longest - i;
    std::vector<char16_t> atLength;
    for (std::size_t s = 0; s < syms.size(); ++s) {
      if (lengths[s] == len) atLength.push_back(syms[s]);
    }
    std::sort(atLength.begin(), atLength.end());
    for (std::size_t j = 0; j < atLength.size(); ++j) {
      c.codes[atLength[j]] = first + static_cast<std::uint32_t>(j);
      c.symbols.push_back(atLength[j]);
    }
  }
}

ByteVec HuffmanTableBytes(const HuffmanCode& code) {
  ByteVec out;
  AppendU32LE(out, code.longest);
  AppendU32LE(out, code.shortest);
  for (std::uint32_t n : code.counts) AppendU32LE(out, n);
  for (char16_t s : code.symbols) AppendU16LE(out, s);
  PadTo(out, 4);
  return out;
}

bool HuffmanEncode(const HuffmanCode& code, std::u16string_view text, ByteVec* out) {
  BitWriter w;
  for (char16_t ch : text) {
    const unsigned len = code.lengths[ch];
    if (len == 0) return false;
    WriteBits(w, code.codes[ch], len);
  }
  AlignBits(w, 8);
  *out = std::move(w.bytes);
  return true;
}

}  // namespace databuild
