// Export of flashcards, or of the entries of one user dictionary, as one
// document of the XML exchange format (always UTF-8) or as tab-separated
// text in one of five encodings. The export owns no file and no thread:
// it encodes into one 16384-byte block and hands every full block to the
// record's write callback, and reports progress after every item. The
// caller (the export worker) holds no lock; every engine and store call
// takes the engine lock itself, item by item.
#pragma once

#include <cstdint>

#include "flash/exchange_export_settings.h"

struct DictEngine;

inline constexpr uint32_t kExportBlockSize = 16384;
// A card of a result list that no longer exists; skipped, not an error.
inline constexpr int kExportCardVanished = 12406;
// Language filter that lets every item through.
inline constexpr uint32_t kExportAnyLanguage = 65534;

// The generator attribute of the documents this program writes.
inline constexpr char kExportGenerator[] = "Sorvi 2.0 Flashcard Exporter";

// 0 when everything was written and handed over, the last partly filled
// block included. 1 when target 2 names no open user dictionary, the
// record holds a value outside an enumeration, the encoding cannot be
// written (no code page), memory ran out or a read failed. Otherwise the
// first nonzero result of the write callback: the file then holds the
// blocks handed over before it.
int ExportFlashcards(DictEngine* engine, ExportSettingsRecord* settings);
