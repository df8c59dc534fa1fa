// The import settings record: the options of one import of cards or of a
// user dictionary's entries, and its stored form (the 604-byte image kept
// as the registry record "LastImportSettings", followed by the 8-byte
// dictionary rows). The image is written and read with explicit
// little-endian encoders at fixed offsets; the words that only matter while
// an import runs (callback, its data, the row pointer) are held apart in
// ImportRunTime, stored as 0 and never read back.
#pragma once

#include <cstdint>

#include "platform/types.h"

inline constexpr uint32_t kImportSettingsSize = 604;
inline constexpr uint32_t kImportSettingsVersion = 8;
inline constexpr uint32_t kImportDictRowSize = 8;
// Units of the path, terminator included.
inline constexpr uint32_t kImportPathMax = 256;
// Rows read back from the registry: more open dictionaries than a device
// ever holds, so a damaged count cannot make the search list huge.
inline constexpr uint32_t kImportDictRowMax = 64;

enum : uint32_t { kImportTargetCards = 1, kImportTargetUserDict = 2 };
// The five text encodings, as engine/text_encoding.h numbers them.
enum : uint32_t {
  kImportGb2312 = 1,
  kImportBig5 = 2,
  kImportUtf8 = 3,
  kImportUtf16Le = 4,
  kImportUtf16Be = 5,
};
enum : uint32_t { kImportFormatText = 32, kImportFormatXml = 49 };
enum : uint32_t { kImportChineseEnglish = 0x1000, kImportEnglishChinese = 0 };
enum : uint32_t { kMissingCreateBlank = 0, kMissingSkip = 1 };
enum : uint32_t { kAmbiguousUseFirst = 0, kAmbiguousSkip = 1, kAmbiguousPrompt = 2 };
// Duplicate policies: the values of cards.h's kDuplicate* modes.
enum : uint32_t { kDefnFileOnly = 0, kDefnPreferFile = 1, kDefnPreferDicts = 2, kDefnDictsOnly = 3 };

// One dictionary of the search list.
struct ImportDictRow {
  uint32_t creator;
  uint32_t dictId;
};

// The questions the import asks and their answers (the arguments by kind
// are listed with ImportDataBlock in exchange_import.h).
using ImportTransferCallback = uint32_t (*)(uint32_t kind, const void* argument, const void* list, uint32_t count,
                                            uint32_t defaultIndex, void* data);

struct ImportRunTime {
  ImportTransferCallback callback;
  void* data;                 // handed back to the callback
  const ImportDictRow* rows;  // dictRowCount rows, in search order
};

struct ImportSettingsRecord {
  uint32_t target;
  uint32_t encoding;
  uint32_t format;
  uint32_t language;
  uint32_t missing;
  uint32_t ambiguous;
  uint32_t dictRowCount;
  uint32_t duplicates;
  uint32_t definitionSource;
  uint32_t storeDefinitions;  // in a user dictionary: 0 or 1
  uint32_t unsafeMode;        // relaxed journal for the whole import: 0 or 1
  uint32_t dictCreator;       // target 2: the user dictionary
  uint32_t dictId;
  WCHAR filePath[kImportPathMax];
  ImportRunTime run;
};

// The record of a first import: UTF-8 XML cards in Chinese-English, blank
// cards for missing entries, the first of ambiguous ones, duplicates
// merged, the file's definitions preferred, from
// "\My Documents\flash.txt".
void InitImportSettings(ImportSettingsRecord* settings);
// The stored image (the rows follow it; see EncodeImportDictRows).
// Run-time words are written as 0.
void EncodeImportSettings(const ImportSettingsRecord* settings, uint8_t out[kImportSettingsSize]);
// Writes dictRowCount rows from run.rows, 8 bytes each, to out (which
// holds 8 x dictRowCount bytes).
void EncodeImportDictRows(const ImportSettingsRecord* settings, uint8_t* out);
// Reads an image and its rows from the registry, which may hold anything:
// a value outside its enumeration takes its default, a flag counts as set
// when not 0, the path ends at its first 0 or at 255 units with the rest
// cleared, and the row count is cut to the rows present behind the image
// and to min(rowCapacity, kImportDictRowMax). The rows go to `rows`, which
// run.rows then points at; the callback words are cleared. 0; 1 (the
// defaults, no rows) when fewer than 604 bytes are given.
int DecodeImportSettings(const uint8_t* bytes, uint32_t size, ImportSettingsRecord* settings, ImportDictRow* rows,
                         uint32_t rowCapacity);
// 1 when every enumeration of the record holds one of its values.
int AreImportSettingsValid(const ImportSettingsRecord* settings);
