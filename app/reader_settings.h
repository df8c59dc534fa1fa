// The reader's open request: the same 564 bytes as the registry record
// "LastReaderSettings" (its loading and saving come with the reader window).
// Laid out so that the natural alignment gives the record's offsets; the
// registry copy is written field by field, never as this struct.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

enum ReaderSource : uint32_t {
  kReaderSourceDatabase = 16,
  kReaderSourceTextFile = 32,
  kReaderSourceMemory = 80,  // the clipboard, or a text handed over in memory
};

enum ReaderEncoding : uint32_t {
  kReaderGb2312 = 1,
  kReaderBig5 = 2,
  kReaderUtf8 = 3,
  kReaderUtf16Le = 4,
  kReaderUtf16Be = 5,
};

inline constexpr uint32_t kReaderSectionLevels = 3;
inline constexpr uint32_t kReaderNoDocumentId = 0xFFFFFFFFu;

struct ReaderSettings {
  uint32_t source;   // ReaderSource
  uint32_t firstId;  // database document, kReaderNoDocumentId none
  uint32_t secondId;
  WCHAR path[256];    // text file
  uint32_t encoding;  // ReaderEncoding
  uint16_t documentFontSize;
  uint16_t definitionFontSize;
  uint16_t fontSlot;
  uint16_t reserved1;
  uint8_t showHighlight;
  uint8_t magnify;
  uint8_t popupDefinition;
  uint8_t reserved2;
  uint8_t pageScrollOnly;
  uint8_t hardwarePageScroll;  // up/down keys page instead of moving the cursor
  uint16_t definitionPaneHeight;
  uint32_t reserved3;
  // Kept up to date by the document.
  uint32_t currentSection[kReaderSectionLevels];
  uint16_t hasSections;
  uint16_t sectionLevels;
};
static_assert(sizeof(ReaderSettings) == 564);
static_assert(offsetof(ReaderSettings, encoding) == 524);
static_assert(offsetof(ReaderSettings, showHighlight) == 536);
static_assert(offsetof(ReaderSettings, currentSection) == 548);
