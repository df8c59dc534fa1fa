// The export settings record: the options of one export of cards or of a
// user dictionary's entries, and its stored form (the 1096-byte image kept
// as the registry record "LastExportSettings"). The image is written and
// read with explicit little-endian encoders at fixed offsets; the words of
// the image that only matter while an export runs (callbacks, lists,
// handle) are held apart in ExportRunTime, stored as 0 and never read
// back.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct ChunkedArray;
struct ExportSettingsRecord;

inline constexpr uint32_t kExportSettingsSize = 1096;
inline constexpr uint32_t kExportSettingsVersion = 6;
// Units of the path and of the document name, terminator included.
inline constexpr uint32_t kExportTextMax = 256;

enum : uint32_t { kExportTargetCards = 1, kExportTargetUserDict = 2 };
// The five text encodings, as engine/text_encoding.h numbers them.
enum : uint32_t {
  kExportGb2312 = 1,
  kExportBig5 = 2,
  kExportUtf8 = 3,
  kExportUtf16Le = 4,
  kExportUtf16Be = 5,
};
enum : uint32_t { kExportFormatText = 32, kExportFormatXml = 49 };
enum : uint32_t { kExportChineseEnglish = 0x1000, kExportEnglishChinese = 0 };
enum : uint32_t { kExportCharsetBoth = 0, kExportCharsetSimp = 1, kExportCharsetTrad = 2 };
enum : uint32_t { kExportScopeAll = 0, kExportScopeCategories = 1, kExportScopeResults = 2 };

// Hands `length` bytes to the file: 0 to go on, nonzero to end the export
// with that result (a failed or short write, or the user's stop).
using ExportWriteCallback = int (*)(ExportSettingsRecord* settings, const uint8_t* bytes, uint32_t length);
// Items written so far, and the size of the result list (0 without one).
using ExportProgressCallback = void (*)(ExportSettingsRecord* settings, uint32_t written, uint32_t total);

struct ExportRunTime {
  ExportWriteCallback write;
  ExportProgressCallback progress;
  void* user;                  // the caller's, for its callbacks
  ChunkedArray* resultCards;   // scope 2: the card ids, in order
  const int32_t* categoryIds;  // scope 1: the chosen categories
  uint32_t categoryCount;
};

struct ExportSettingsRecord {
  uint32_t target;
  uint32_t encoding;
  uint32_t format;
  uint32_t language;
  uint32_t charset;
  uint32_t scope;
  uint8_t statistics;
  uint8_t categories;
  uint8_t cardDefinitions;
  uint8_t dictDefinitions;  // fill missing definitions from dictionaries
  uint8_t remap;            // look entries up by headword when references fail
  uint8_t dates;            // write the cards' created and modified times
  uint32_t dictCreator;     // target 2: the user dictionary
  uint32_t dictId;
  WCHAR filePath[kExportTextMax];
  WCHAR documentName[kExportTextMax];
  ExportRunTime run;
};

// The record of a first export: UTF-8 XML of all cards with categories,
// statistics, card definitions and dates, to "\My Documents\flash.txt".
void InitExportSettings(ExportSettingsRecord* settings);
// The stored image; run-time words are written as 0.
void EncodeExportSettings(const ExportSettingsRecord* settings, uint8_t out[kExportSettingsSize]);
// Reads an image from the registry, which may hold anything: a value
// outside its enumeration takes its default, a flag byte counts as set
// when not 0, and both texts end at their first 0 or at 255 units, the
// rest cleared. Run-time words are cleared. Bytes past the image are left
// to the caller. 0; 1 (the defaults) when fewer than 1096 bytes are given.
int DecodeExportSettings(const uint8_t* bytes, uint32_t size, ExportSettingsRecord* settings);
// 1 when every enumeration of the record holds one of its values.
int AreExportSettingsValid(const ExportSettingsRecord* settings);
