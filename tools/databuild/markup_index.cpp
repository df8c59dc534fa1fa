#include "tools/databuild/markup_index.h"

namespace databuild {

SearchIndexEntry IndexEntryFromPlain(const PlainEntry& entry) {
  SearchIndexEntry e;
  e.headwords.push_back(entry.simplified);
  if (!entry.traditional.empty() && entry.traditional != entry.simplified) e.headwords.push_back(entry.traditional);
  e.pinyin = PinyinNumbersToCodes(entry.pinyin);
  auto addLink = [&e](const MarkupLink& link) {
    if (!link.simplified.empty()) e.moreTexts.push_back(link.simplified);
    if (!link.traditional.empty() && link.traditional != link.simplified) e.moreTexts.push_back(link.traditional);
  };
  for (const MarkupSense& s : entry.senses) {
    e.senses.push_back(s.text);
    for (const MarkupLink& link : s.links) addLink(link);
  }
  for (const MarkupLink& c : entry.classifiers) addLink(c);
  return e;
}

int MakeIndexedMarkupEntry(const PlainEntry& entry, DictEntrySpec* out, std::string* error) {
  if (MakeMarkupEntry(entry, out, error) != 0) return 1;
  out->index = IndexEntryFromPlain(entry);
  return 0;
}

}  // namespace databuild
