// The flashcard exchange format in XML: its vocabulary (22 elements, each
// with its attributes), the element writer every producer of the format
// uses, and the value encodings that writer and reader share.
//
// This module needs nothing but the engine's text helpers and a
// TextBuffer: the converter links it without the store or SQLite.
//
// Results: 0 success, 1 failure unless stated.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct TextBuffer;

// Element ids (also the rows of the by-id table).
enum : uint32_t {
  kXmlSorviFlash = 0,
  kXmlFlashSettings,
  kXmlFlashSetting,
  kXmlCards,
  kXmlCard,
  kXmlDictRef,
  kXmlScoreInfo,
  kXmlCatAssign,
  kXmlProfiles,
  kXmlProfile,
  kXmlProfileSetting,
  kXmlCategories,
  kXmlCategory,
  kXmlSorviDict,
  kXmlDictSettings,
  kXmlDictSetting,
  kXmlEntries,
  kXmlEntry,
  kXmlHeadword,
  kXmlPron,
  kXmlDefn,
  kXmlNotes,
  kXmlElementCount
};

// Attribute indexes, numbered within their element.
enum : uint32_t {
  kXmlRootFormatVersion = 0,
  kXmlRootName,
  kXmlRootCreator,
  kXmlRootGenerator,
  kXmlRootPlatform,
  kXmlRootCreated,
  kXmlRootCopyright,
};
enum : uint32_t { kXmlCardLanguage = 0, kXmlCardCreated, kXmlCardModified };
enum : uint32_t { kXmlDictRefCreator = 0, kXmlDictRefId, kXmlDictRefEntry };
enum : uint32_t {
  kXmlScoreFile = 0,
  kXmlScoreScore,
  kXmlScoreDifficulty,
  kXmlScoreHistory,
  kXmlScoreCorrect,
  kXmlScoreIncorrect,
  kXmlScoreReviewed,
  kXmlScoreSinceLast,
  kXmlScoreFirstReviewed,
  kXmlScoreLastReviewed,
  kXmlScorePriority,
  kXmlScoreForcePool,
};
enum : uint32_t { kXmlCatAssignCategory = 0 };
enum : uint32_t { kXmlProfileName = 0, kXmlProfileHasScorefile };
enum : uint32_t { kXmlCategoryName = 0 };
enum : uint32_t { kXmlHeadwordCharset = 0 };
enum : uint32_t { kXmlPronType = 0, kXmlPronTones };

struct XmlAttributeDef {
  const char* name;
  uint32_t index;
  uint32_t required;  // data only: neither writer nor reader enforces it
};

struct XmlElementDef {
  const char* name;
  uint32_t id;
  uint32_t containerBit;              // set while the element is open; 0 none
  const XmlAttributeDef* attributes;  // sorted by name
  uint32_t attributeCount;
};

// Sorted by name in code-unit order, for the bisection.
extern const XmlElementDef kXmlElements[kXmlElementCount];
// Element id -> its row of kXmlElements.
const XmlElementDef* GetXmlElementDef(uint32_t id);

// Names come as the parser hands them: UTF-16 code units, terminated.
// They are compared unit by unit, as numbers, against the 8-bit table
// names, case-sensitively.
// 0 with the id and container bit; 1 when the name is not in the table.
int LookupXmlElement(const uint16_t* name, uint32_t* id, uint32_t* containerBit);
// Result when the element has no attribute list.
inline constexpr int kXmlNoAttributes = 12288;
// 0 with the attribute's index and required flag; 1 when not found or for
// an element id of 22 or more; kXmlNoAttributes.
int LookupXmlAttribute(uint32_t element, const uint16_t* name, uint32_t* index, uint32_t* required);

// One attribute for the writer: the UTF-16 text when present, else the
// UTF-8 text when present, else the integer.
struct XmlAttrValue {
  uint32_t index;
  const char* utf8;
  const WCHAR* utf16;
  int32_t integer;
};

enum : uint32_t { kXmlStartTag = 0, kXmlEndTag = 1, kXmlEmptyTag = 2 };

// Appends one tag, with no blank or line break around it. Values whose
// index the element does not have are skipped; an end tag ignores values.
// 0; 1 for an element id of 22 or more (nothing written) or when the
// buffer could not hold the tag.
int WriteXmlElement(TextBuffer* tb, uint32_t kind, uint32_t element, const XmlAttrValue* values, uint32_t count);
// Start tag, text escaped (skip: a unit left out, 0 none), end tag. 0; 1.
int WriteXmlTextElement(TextBuffer* tb, uint32_t element, const XmlAttrValue* values, uint32_t count, const WCHAR* text,
                        WCHAR skip);

inline constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
inline constexpr int32_t kXmlFormatVersion = 2;

// Value encodings.
// "chinese" for 0x1000, "english" for 0, "unknown" otherwise.
const char* XmlLanguageName(uint32_t language);
// A card language as read: first unit 'e' or 'E' gives 0, anything else
// 0x1000.
uint32_t ParseXmlLanguage(const uint16_t* text);
// Four ASCII letters when each byte of the id, most significant first, is
// a letter A-Z or a-z; otherwise signed decimal. out holds 12 bytes.
inline constexpr uint32_t kXmlDictIdTextSize = 12;
void FormatXmlDictId(int32_t id, char out[kXmlDictIdTextSize]);
// A text whose first unit is not a digit 0-9 is up to four characters,
// each taken as one byte, packed most significant first; otherwise
// decimal.
int32_t ParseXmlDictId(const uint16_t* text);
// Priorities 0-4 and pool overrides 0-2 by name; null out of range.
const char* XmlPriorityName(int32_t priority);
const char* XmlForcePoolName(int32_t pool);
// Exact match of one of the names; anything else 0.
int32_t ParseXmlPriority(const uint16_t* text);
int32_t ParseXmlForcePool(const uint16_t* text);
