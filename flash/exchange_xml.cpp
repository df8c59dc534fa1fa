#include "flash/exchange_xml.h"

#include <cstring>

#include "engine/system_services.h"
#include "engine/text_buffer.h"

namespace {

constexpr XmlAttributeDef kRootAttributes[] = {
    {"copyright", kXmlRootCopyright, 0},         {"created", kXmlRootCreated, 0},     {"creator", kXmlRootCreator, 0},
    {"formatversion", kXmlRootFormatVersion, 0}, {"generator", kXmlRootGenerator, 0}, {"name", kXmlRootName, 0},
    {"platform", kXmlRootPlatform, 0},
};
constexpr XmlAttributeDef kCardAttributes[] = {
    {"created", kXmlCardCreated, 0}, {"language", kXmlCardLanguage, 1}, {"modified", kXmlCardModified, 0}};
constexpr XmlAttributeDef kDictRefAttributes[] = {
    {"dictcreator", kXmlDictRefCreator, 0}, {"dictid", kXmlDictRefId, 1}, {"entryid", kXmlDictRefEntry, 0}};
constexpr XmlAttributeDef kScoreAttributes[] = {
    {"correct", kXmlScoreCorrect, 0},
    {"difficulty", kXmlScoreDifficulty, 0},
    {"firstreviewedtime", kXmlScoreFirstReviewed, 0},
    {"forcepool", kXmlScoreForcePool, 0},
    {"history", kXmlScoreHistory, 0},
    {"incorrect", kXmlScoreIncorrect, 0},
    {"lastreviewedtime", kXmlScoreLastReviewed, 0},
    {"priority", kXmlScorePriority, 0},
    {"reviewed", kXmlScoreReviewed, 0},
    {"score", kXmlScoreScore, 1},
    {"scorefile", kXmlScoreFile, 0},
    {"sincelast", kXmlScoreSinceLast, 0},
};
constexpr XmlAttributeDef kCatAssignAttributes[] = {{"category", kXmlCatAssignCategory, 1}};
constexpr XmlAttributeDef kProfileAttributes[] = {{"hasscorefile", kXmlProfileHasScorefile, 0},
                                                  {"name", kXmlProfileName, 1}};
constexpr XmlAttributeDef kCategoryAttributes[] = {{"name", kXmlCategoryName, 1}};
constexpr XmlAttributeDef kHeadwordAttributes[] = {{"charset", kXmlHeadwordCharset, 0}};
constexpr XmlAttributeDef kPronAttributes[] = {{"tones", kXmlPronTones, 0}, {"type", kXmlPronType, 0}};

template <size_t N>
constexpr uint32_t Count(const XmlAttributeDef (&)[N]) {
  return static_cast<uint32_t>(N);
}

}  // namespace

const XmlElementDef kXmlElements[kXmlElementCount] = {
    {"card", kXmlCard, 0x8, kCardAttributes, Count(kCardAttributes)},
    {"cards", kXmlCards, 0x4, nullptr, 0},
    {"catassign", kXmlCatAssign, 0, kCatAssignAttributes, Count(kCatAssignAttributes)},
    {"categories", kXmlCategories, 0x40, nullptr, 0},
    {"category", kXmlCategory, 0, kCategoryAttributes, Count(kCategoryAttributes)},
    {"defn", kXmlDefn, 0, nullptr, 0},
    {"dictref", kXmlDictRef, 0, kDictRefAttributes, Count(kDictRefAttributes)},
    {"dictsetting", kXmlDictSetting, 0, nullptr, 0},
    {"dictsettings", kXmlDictSettings, 0x200, nullptr, 0},
    {"entries", kXmlEntries, 0x400, nullptr, 0},
    {"entry", kXmlEntry, 0x1000, nullptr, 0},
    {"flashsetting", kXmlFlashSetting, 0, nullptr, 0},
    {"flashsettings", kXmlFlashSettings, 0x2, nullptr, 0},
    {"headword", kXmlHeadword, 0, kHeadwordAttributes, Count(kHeadwordAttributes)},
    {"notes", kXmlNotes, 0, nullptr, 0},
    {"profile", kXmlProfile, 0, kProfileAttributes, Count(kProfileAttributes)},
    {"profiles", kXmlProfiles, 0x10, nullptr, 0},
    {"profilesetting", kXmlProfileSetting, 0, nullptr, 0},
    {"pron", kXmlPron, 0, kPronAttributes, Count(kPronAttributes)},
    {"scoreinfo", kXmlScoreInfo, 0, kScoreAttributes, Count(kScoreAttributes)},
    {"sorvidict", kXmlSorviDict, 0x100, nullptr, 0},
    {"sorviflash", kXmlSorviFlash, 0x1, kRootAttributes, Count(kRootAttributes)},
};

namespace {

// Row of each element id in kXmlElements, built from the table so that the
// two can never disagree.
struct ElementRows {
  uint8_t row[kXmlElementCount];
  ElementRows() : row{} {
    for (uint32_t i = 0; i < kXmlElementCount; ++i) row[kXmlElements[i].id] = static_cast<uint8_t>(i);
  }
};

// <0, 0, >0 as the 8-bit name sorts before, with or after the parser's
// name, unit by unit.
int CompareName(const char* table, const uint16_t* name) {
  for (size_t i = 0;; ++i) {
    const uint16_t a = static_cast<uint8_t>(table[i]);
    const uint16_t b = name[i];
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
}

template <typename Row>
const Row* Bisect(const Row* rows, uint32_t count, const uint16_t* name) {
  if (!name) return nullptr;
  uint32_t lo = 0, hi = count;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    const int c = CompareName(rows[mid].name, name);
    if (c == 0) return &rows[mid];
    if (c < 0) lo = mid + 1;
    else
      hi = mid;
  }
  return nullptr;
}

const XmlAttributeDef* FindAttribute(const XmlElementDef* e, uint32_t index) {
  for (uint32_t i = 0; i < e->attributeCount; ++i)
    if (e->attributes[i].index == index) return &e->attributes[i];
  return nullptr;
}

int AppendAscii(TextBuffer* tb, const char* text) {
  return TextBufAppendUtf8(tb, text, static_cast<uint32_t>(std::strlen(text)));
}

int AppendValue(TextBuffer* tb, const XmlAttrValue& v) {
  if (v.utf16) return TextBufAppendXmlEscaped(tb, v.utf16, 0, false, 0);
  if (v.utf8) return TextBufAppendUtf8Xml(tb, v.utf8, 0);
  char digits[kDecimalTextSize];
  return AppendAscii(tb, FormatDecimal(digits, v.integer));
}

bool IsLetter(uint32_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

// Index of text among names (exact match), or -1.
int32_t MatchName(const uint16_t* text, const char* const* names, int32_t count) {
  if (!text) return -1;
  for (int32_t i = 0; i < count; ++i)
    if (names[i] && CompareName(names[i], text) == 0) return i;
  return -1;
}

constexpr const char* kPriorityNames[] = {"normal", "high", "veryhigh", "low", "verylow"};
constexpr const char* kForcePoolNames[] = {"none", "include", "exclude"};

}  // namespace

const XmlElementDef* GetXmlElementDef(uint32_t id) {
  static const ElementRows kRows;
  return id < kXmlElementCount ? &kXmlElements[kRows.row[id]] : nullptr;
}

int LookupXmlElement(const uint16_t* name, uint32_t* id, uint32_t* containerBit) {
  const XmlElementDef* e = Bisect(kXmlElements, kXmlElementCount, name);
  if (!e) return 1;
  if (id) *id = e->id;
  if (containerBit) *containerBit = e->containerBit;
  return 0;
}

int LookupXmlAttribute(uint32_t element, const uint16_t* name, uint32_t* index, uint32_t* required) {
  const XmlElementDef* e = GetXmlElementDef(element);
  if (!e) return 1;
  if (!e->attributes) return kXmlNoAttributes;
  const XmlAttributeDef* a = Bisect(e->attributes, e->attributeCount, name);
  if (!a) return 1;
  if (index) *index = a->index;
  if (required) *required = a->required;
  return 0;
}

int WriteXmlElement(TextBuffer* tb, uint32_t kind, uint32_t element, const XmlAttrValue* values, uint32_t count) {
  const XmlElementDef* e = GetXmlElementDef(element);
  if (!e || !tb) return 1;
  int rc = AppendAscii(tb, kind == kXmlEndTag ? "</" : "<");
  rc |= AppendAscii(tb, e->name);
  if (kind != kXmlEndTag && values) {
    for (uint32_t i = 0; i < count; ++i) {
      const XmlAttributeDef* a = FindAttribute(e, values[i].index);
      if (!a) continue;
      rc |= TextBufAppendChar(tb, u' ');
      rc |= AppendAscii(tb, a->name);
      rc |= AppendAscii(tb, "=\"");
      rc |= AppendValue(tb, values[i]);
      rc |= TextBufAppendChar(tb, u'"');
    }
  }
  rc |= AppendAscii(tb, kind == kXmlEmptyTag ? "/>" : ">");
  return rc ? 1 : 0;
}

int WriteXmlTextElement(TextBuffer* tb, uint32_t element, const XmlAttrValue* values, uint32_t count, const WCHAR* text,
                        WCHAR skip) {
  int rc = WriteXmlElement(tb, kXmlStartTag, element, values, count);
  if (rc != 0) return rc;
  rc |= TextBufAppendXmlEscaped(tb, text, 0, false, skip);
  rc |= WriteXmlElement(tb, kXmlEndTag, element, nullptr, 0);
  return rc ? 1 : 0;
}

const char* XmlLanguageName(uint32_t language) {
  if (language == 0x1000) return "chinese";
  if (language == 0) return "english";
  return "unknown";
}

uint32_t ParseXmlLanguage(const uint16_t* text) { return text && (text[0] == u'e' || text[0] == u'E') ? 0u : 0x1000u; }

void FormatXmlDictId(int32_t id, char out[kXmlDictIdTextSize]) {
  const auto u = static_cast<uint32_t>(id);
  bool letters = true;
  for (int shift = 24; shift >= 0; shift -= 8) letters = letters && IsLetter((u >> shift) & 0xFF);
  if (!letters) {
    FormatDecimal(out, id);
    return;
  }
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((u >> (24 - 8 * i)) & 0xFF);
  out[4] = 0;
}

int32_t ParseXmlDictId(const uint16_t* text) {
  if (!text || !text[0]) return 0;
  if (text[0] < u'0' || text[0] > u'9') {
    uint32_t id = 0;
    for (int i = 0; i < 4 && text[i]; ++i) id = (id << 8) | (text[i] & 0xFF);
    return static_cast<int32_t>(id);
  }
  char digits[kDecimalTextSize + 1] = {};
  for (size_t i = 0; i < kDecimalTextSize && text[i] >= u'0' && text[i] <= u'9'; ++i)
    digits[i] = static_cast<char>(text[i]);
  return ParseDecimal(digits);
}

const char* XmlPriorityName(int32_t priority) {
  return priority >= 0 && priority < 5 ? kPriorityNames[priority] : nullptr;
}
const char* XmlForcePoolName(int32_t pool) { return pool >= 0 && pool < 3 ? kForcePoolNames[pool] : nullptr; }

int32_t ParseXmlPriority(const uint16_t* text) {
  const int32_t i = MatchName(text, kPriorityNames, 5);
  return i < 0 ? 0 : i;
}
int32_t ParseXmlForcePool(const uint16_t* text) {
  const int32_t i = MatchName(text, kForcePoolNames, 3);
  return i < 0 ? 0 : i;
}
