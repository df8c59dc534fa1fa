// Checks a written device file by opening it with the program's own reader
// (container, data-file reader, the engine's resource loaders) and reading
// back what was meant to be in it. The file must be the only one in its
// folder's view: the check makes that folder the device root for the while.
#pragma once

#include <string>
#include <vector>

#include "tools/databuild/audio_tables.h"
#include "tools/databuild/code_page_tables.h"
#include "tools/databuild/stroke_tables.h"

struct DbFile;
struct DictEngine;

namespace devicedata {

// The written file opened as a device file (its folder made the device
// root for the while) and, with `withEngine`, an engine created over it as
// at start-up, without fonts and flashcards. Closing restores the root.
struct FileEngine {
  DictEngine* engine = nullptr;
  DbFile* file = nullptr;

  int Open(const std::string& path, std::string* error, bool withEngine = true);
  ~FileEngine();
};

// Every record of the index is found by its character and reads back item
// for item at the design size; a character without a record is missing.
int CheckStrokeFile(const std::string& path, const databuild::StrokeIndexSpec& index, std::string* error);

// The file holds one usable, complete syllable group whose kind is
// `group.kind`, and every clip reads back byte for byte by its key.
int CheckAudioFile(const std::string& path, const databuild::AudioGroupSpec& group, std::string* error);

// Both directions of GB-2312 and Big5 convert every code of the given
// tables through the engine's encoder and decoder.
int CheckCodePageFile(const std::string& path, const std::vector<databuild::CodePageData>& pages,
                      std::string* error);

}  // namespace devicedata
