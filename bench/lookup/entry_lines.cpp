#include "bench/lookup/entry_lines.h"

#include "engine/data_file_db.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/table_cursor.h"
#include "platform/device_paths.h"
#include "resources/syllables.h"

namespace lookupbench {

namespace {

constexpr char16_t kFieldMark = 0xEA00;
constexpr char16_t kFieldMarkLast = 0xEA8F;
constexpr char16_t kSectionMark = 0xEAA0;
constexpr char16_t kSectionClose = 0xEAAF;
constexpr char16_t kFormSeparator = 0xEA93;
constexpr char16_t kWordStart = 0xE9F1;
constexpr char16_t kSyllableFirst = 0xE000;
constexpr char16_t kSyllableLast = 0xE9EF;
constexpr uint32_t kLinkKind = 3;

// Field descriptor offsets in the info header (424 bytes a field).
constexpr uint32_t kDescPrefix = 272;
constexpr uint32_t kDescTextUnits = 16;
constexpr uint32_t kDescClass = 372;
constexpr uint32_t kDescKind = 380;

bool IsSyllable(char16_t u) { return u >= kSyllableFirst && u <= kSyllableLast; }
bool IsMarkup(char16_t u) { return u >= 0xE000 && u <= 0xEAFF; }

// The traditional form from its compact writing: "-" stands for the
// simplified unit at the same place.
std::u16string ExpandForm(const std::u16string& simplified, const std::u16string& compact) {
  if (compact.size() != simplified.size()) return compact;
  std::u16string out = compact;
  for (size_t i = 0; i < out.size(); ++i)
    if (out[i] == u'-') out[i] = simplified[i];
  return out;
}

void AppendJoined(std::u16string* sense, const std::u16string& part) {
  if (part.empty()) return;
  if (!sense->empty()) sense->push_back(u' ');
  *sense += part;
}

}  // namespace

void SplitEntryMarkup(const std::u16string& markup, const std::vector<FieldInfo>& fields, EntryText* out) {
  out->simplified.clear();
  out->traditional.clear();
  out->reading.clear();
  out->senses.clear();
  bool inSense = false;  // the last sense still takes text
  uint32_t senseClass = 0;
  size_t p = 0;
  while (p < markup.size() && markup[p] != 0) {
    const char16_t u = markup[p];
    if (u == kSectionMark || u == kSectionClose) {  // a sense of its own from here
      inSense = false;
      ++p;
      continue;
    }
    if ((u > kSectionMark && u < kSectionClose) || u < kFieldMark || u > kFieldMarkLast) {
      ++p;  // deeper sections run on in their sense; text outside fields is not shown
      continue;
    }
    const uint32_t f = u - kFieldMark;
    size_t end = p + 1;
    while (end < markup.size() && markup[end] != 0 &&
           !((markup[end] >= kFieldMark && markup[end] <= kFieldMarkLast) ||
             (markup[end] >= kSectionMark && markup[end] <= kSectionClose)))
      ++end;
    std::u16string content = markup.substr(p + 1, end - p - 1);
    p = end;
    if (f >= fields.size()) continue;
    const FieldInfo& info = fields[f];
    if (info.fieldClass == 0) {
      if (!out->simplified.empty()) continue;  // a second headword field adds nothing to the line
      size_t sep = content.find(kFormSeparator);
      out->simplified = content.substr(0, sep);
      out->traditional = sep == std::u16string::npos ? out->simplified
                                                     : ExpandForm(out->simplified, content.substr(sep + 1));
      continue;
    }
    if (info.fieldClass == 1) {
      if (out->reading.empty()) out->reading = content;
      continue;
    }
    if (info.kind == kLinkKind) {
      size_t sep = content.find(kFormSeparator);
      if (sep != std::u16string::npos) content = content.substr(sep + 1);
    }
    if (!info.prefix.empty()) content = info.prefix + content;
    // Fields of another class (the classifiers after the senses) make a sense of their own.
    if (!inSense || info.fieldClass != senseClass) {
      out->senses.emplace_back();
      inSense = true;
      senseClass = info.fieldClass;
    }
    AppendJoined(&out->senses.back(), content);
  }
  if (out->traditional.empty()) out->traditional = out->simplified;
}

std::vector<FieldInfo> ReadFieldInfo(DictEngine* engine, uint16_t slot) {
  std::vector<FieldInfo> fields;
  const uint32_t count = GetDictFieldCount(engine, slot);
  for (uint32_t f = 0; f < count; ++f) {
    FieldInfo info;
    if (const uint8_t* d = GetDictFieldDescriptor(engine, slot, f)) {
      info.fieldClass = (LoadLe32(d + kDescClass) >> 8) & 0xF;
      info.kind = LoadLe32(d + kDescKind);
      for (uint32_t i = 0; i < kDescTextUnits; ++i) {
        char16_t c = LoadLe16(d + kDescPrefix + 2 * i);
        if (!c) break;
        info.prefix.push_back(c);
      }
      while (!info.prefix.empty() && info.prefix.back() == u' ') info.prefix.pop_back();
    }
    fields.push_back(info);
  }
  return fields;
}

std::vector<EntryText> ReadDictEntries(DictEngine* engine, uint16_t slot, uint32_t* unreadable) {
  std::vector<EntryText> entries;
  if (unreadable) *unreadable = 0;
  if (slot >= GetDictCount(engine) || GetDictKind(engine, slot) != kDictKindBuiltIn) return entries;
  DictSlot* s = engine->slots[slot];
  if (!s->primary) return entries;
  const std::vector<FieldInfo> fields = ReadFieldInfo(engine, slot);
  TableCursor* primary = CloneTableCursor(s->primary);
  TableCursor* secondary = s->secondary ? CloneTableCursor(s->secondary) : nullptr;
  MemHandle* record = NewMemHandle(256);
  if (!primary || !record) {
    FreeTableCursor(primary);
    FreeTableCursor(secondary);
    FreeMemHandle(record);
    return entries;
  }
  const uint32_t count = GetTableEntryCount(primary);
  entries.reserve(count);
  std::u16string markup;
  auto append = [&](TableCursor* cursor, uint32_t e) {
    uint32_t bytes = 0;
    if (ReadTableRecord(cursor, 0, e, record, nullptr, 0, &bytes) != kReadRecordOk) return false;
    const auto* units = static_cast<const char16_t*>(LockMemHandle(record));
    markup.append(units, bytes / 2);
    UnlockMemHandle(record);
    return true;
  };
  for (uint32_t e = 0; e < count; ++e) {
    markup.clear();
    // The secondary record (when the dictionary has one) continues the primary.
    if (!append(primary, e) || (secondary && e < GetTableEntryCount(secondary) && !append(secondary, e))) {
      if (unreadable) ++*unreadable;
      continue;
    }
    EntryText t;
    t.slot = slot;
    t.entry = e;
    SplitEntryMarkup(markup, fields, &t);
    entries.push_back(std::move(t));
  }
  FreeMemHandle(record);
  FreeTableCursor(primary);
  FreeTableCursor(secondary);
  return entries;
}

std::string CodesToNumberedPinyin(const std::u16string& text) {
  std::u16string out;
  bool capital = false;
  bool afterSyllable = false;
  for (char16_t u : text) {
    if (u == kWordStart) {
      capital = true;
      continue;
    }
    if (IsSyllable(u)) {
      const int n = (u - kSyllableFirst) / 5;
      const int tone = (u - kSyllableFirst) % 5;
      if (afterSyllable) out.push_back(u' ');
      bool first = true;
      for (char c : SyllableSpelling(n)) {
        if (c == 'v') {
          out += capital && first ? u"U:" : u"u:";
        } else {
          out.push_back(static_cast<char16_t>(capital && first ? c - 'a' + 'A' : c));
        }
        first = false;
      }
      out.push_back(static_cast<char16_t>(u'0' + (tone == 0 ? 5 : tone)));
      capital = false;
      afterSyllable = true;
      continue;
    }
    if (IsMarkup(u)) continue;  // other markup has no place in a line
    out.push_back(u);
    afterSyllable = false;
    capital = false;
  }
  return Utf16ToUtf8(out);
}

std::string CedictLine(const EntryText& entry) {
  std::string line = Utf16ToUtf8(entry.traditional) + " " + Utf16ToUtf8(entry.simplified) + " [" +
                     CodesToNumberedPinyin(entry.reading) + "] /";
  for (const std::u16string& s : entry.senses) line += CodesToNumberedPinyin(s) + "/";
  line += "\n";
  return line;
}

}  // namespace lookupbench
