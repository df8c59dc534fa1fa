// Start-up file discovery. There is no installation database: every start
// walks the device for the dictionary data files, the user databases and the
// font files (and, later, the handwriting recogniser). One walker serves
// every search; a search is a table of rows, each a file-name pattern with
// a callback that keeps what it wants and says when the row is satisfied.
//
// The walk is bounded: the root, the top-level folders, the folders whose
// names contain "Sorvi" below them and each top-level folder's own
// "Program Files" (a storage card's), to four levels at most. Every folder
// is searched once. The \Windows tree is searched only for rows that ask
// for it. Unreadable folders and files are passed over silently.
//
// Single UI thread: the found-file lists are one process-wide record.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DbFile;
struct DictEngine;

// 0: the row is satisfied (the walker marks it done and skips it from then
// on); anything else: go on.
using FileSearchCallback = uint32_t (*)(const WCHAR* path, uint16_t param);

struct FileSearchRow {
  uint16_t done;         // set by the walker
  const WCHAR* pattern;  // file name, wildcards allowed
  FileSearchCallback callback;
  uint16_t alsoInWindows;  // 1: searched inside the \Windows tree too
  uint16_t param;          // handed to the callback unchanged
};

// Each limit is the number of files of that kind the engine is given; the
// first ones in walk order win.
inline constexpr uint32_t kMaxFoundDataFiles = 128;
inline constexpr uint32_t kMaxFoundUserDbs = 64;
inline constexpr uint32_t kMaxFoundFonts = 32;
// The start-up table's length.
inline constexpr uint32_t kStartupSearchRows = 7;

struct FoundFiles {
  DbFile* dataFiles[kMaxFoundDataFiles];  // open, kind 1; closed at shutdown
  uint32_t dataFileCount;
  char* userDbPaths[kMaxFoundUserDbs];  // LocalAlloc'd UTF-8 full paths
  uint32_t userDbCount;
  char* fontPaths[kMaxFoundFonts];  // LocalAlloc'd UTF-8 full paths
  uint32_t fontCount;
};

// The lists the start-up callbacks fill.
extern FoundFiles AppFoundFiles;

// The whole walk: the root, then each top-level folder.
void DiscoverFiles(FileSearchRow* rows, uint32_t count);
// A folder at `depth` (1 for a top-level folder) and what lies below it.
void SearchFolderTree(const WCHAR* folder, uint32_t depth, FileSearchRow* rows, uint32_t count, int inWindows);
// One folder's files, for every row not yet done.
void SearchFolderForRows(const WCHAR* folder, FileSearchRow* rows, uint32_t count, int inWindows);

// The start-up table: data files, user databases, then the five fonts.
// `rows` holds kStartupSearchRows.
void FillStartupSearchRows(FileSearchRow* rows);

// Callbacks of the start-up table and the rescan.
uint32_t OnDataFileFound(const WCHAR* path, uint16_t param);
uint32_t OnNewDataFileFound(const WCHAR* path, uint16_t param);
uint32_t OnUserDatabaseFound(const WCHAR* path, uint16_t param);
// Each font row keeps only the first file it finds; with bit 0 of param the
// font goes to the front of the list.
uint32_t OnFontFileFound(const WCHAR* path, uint16_t param);

// Picks up dictionary files added while the program runs and hands the new
// ones to `engine` (null: they are only listed). A path already in the list
// (compared case-sensitively) is not opened again; a copy under another
// path is added. The program calls it through RescanDictionaryFiles.
void RescanDataFilesInto(DictEngine* engine);

// Frees the two path lists (start-up, once the engine has copied them).
void FreeFoundPaths();
// Closes every data file of the list (shutdown, after the engine is gone).
void CloseFoundDataFiles();
