#include "app/app_file_search.h"

#include <string>

#include "engine/db_file.h"
#include "engine/dict_order.h"
#include "engine/utf8.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "platform/shell_folders.h"

FoundFiles AppFoundFiles = {};

namespace {

// Sub-folders searched below a top-level folder.
constexpr const WCHAR* kTopSubPattern = u"*Sorvi*";
constexpr uint32_t kDeepestTreeDepth = 3;  // its sub-folders are searched, not walked

std::u16string Join(const WCHAR* folder, const WCHAR* name) {
  std::u16string path = folder;
  path += u'\\';
  path += name;
  return path;
}

// Calls `visit` with the name of every folder matching folder\pattern.
template <typename Visit>
void ForEachSubFolder(const WCHAR* folder, const WCHAR* pattern, Visit visit) {
  WIN32_FIND_DATAW data;
  const std::u16string search = Join(folder, pattern);
  HANDLE find = FindFirstFileExW(search.c_str(), FindExInfoStandard, &data, FindExSearchLimitToDirectories, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) visit(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

char* Utf8Copy(const WCHAR* path) { return Utf8DupFromWide(path, 0, false); }

}  // namespace

void SearchFolderForRows(const WCHAR* folder, FileSearchRow* rows, uint32_t count, int inWindows) {
  for (uint32_t i = 0; i < count; ++i) {
    FileSearchRow& row = rows[i];
    if (row.done || (inWindows && !row.alsoInWindows)) continue;
    WIN32_FIND_DATAW data;
    const std::u16string search = Join(folder, row.pattern);
    HANDLE find = FindFirstFileW(search.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      // The platform never reports an entry without a name.
      if (data.cFileName[0] == 0) continue;
      const std::u16string path = Join(folder, data.cFileName);
      if (row.callback(path.c_str(), row.param) == 0) {
        row.done = 1;
        break;
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
}

void SearchFolderTree(const WCHAR* folder, uint32_t depth, FileSearchRow* rows, uint32_t count, int inWindows) {
  SearchFolderForRows(folder, rows, count, inWindows);
  ForEachSubFolder(folder, depth == 1 ? kTopSubPattern : u"*", [&](const WCHAR* name) {
    const std::u16string sub = Join(folder, name);
    if (depth < kDeepestTreeDepth) SearchFolderTree(sub.c_str(), depth + 1, rows, count, inWindows);
    else
      SearchFolderForRows(sub.c_str(), rows, count, inWindows);
  });
  if (depth != 1) return;
  // A top-level folder's own Program Files (a storage card's) is walked
  // like a "Sorvi" folder. The walk of it searches its files too, so it is
  // not searched apart: a file there must reach its callback once.
  WCHAR programFiles[MAX_PATH] = {};
  if (!SHGetSpecialFolderPath(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE)) return;
  const std::u16string inFolder = std::u16string(folder) + programFiles;
  WIN32_FIND_DATAW data;
  HANDLE find =
      FindFirstFileExW(inFolder.c_str(), FindExInfoStandard, &data, FindExSearchLimitToDirectories, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    const std::u16string sub = Join(folder, data.cFileName);
    SearchFolderTree(sub.c_str(), 2, rows, count, inWindows);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

void DiscoverFiles(FileSearchRow* rows, uint32_t count) {
  SearchFolderForRows(u"", rows, count, 0);
  ForEachSubFolder(u"", u"*", [&](const WCHAR* name) {
    const std::u16string top = Join(u"", name);
    // Only the exact name: a "windows" folder is any other folder.
    const int inWindows = std::u16string_view(name) == u"Windows" ? 1 : 0;
    SearchFolderTree(top.c_str(), 1, rows, count, inWindows);
  });
}

void FillStartupSearchRows(FileSearchRow* rows) {
  const FileSearchRow table[kStartupSearchRows] = {
      {0, u"*.pdb", OnDataFileFound, 0, 0},          {0, u"*.kvb", OnUserDatabaseFound, 0, 0},
      {0, u"tahoma.ttf", OnFontFileFound, 1, 1},     {0, u"tahomabd.ttf", OnFontFileFound, 1, 1},
      {0, u"SorviExtra.ttf", OnFontFileFound, 0, 0}, {0, u"SorviExtraBold.ttf", OnFontFileFound, 0, 0},
      {0, u"ZYSong.ttf", OnFontFileFound, 1, 0},
  };
  for (uint32_t i = 0; i < kStartupSearchRows; ++i) rows[i] = table[i];
}

uint32_t OnDataFileFound(const WCHAR* path, uint16_t) {
  FoundFiles& found = AppFoundFiles;
  if (found.dataFileCount >= kMaxFoundDataFiles) return 0;
  HANDLE handle =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 1;
  int kind = 0;
  DbFile* file = OpenDbFile(handle, path, &kind);
  if (!file) return 1;
  if (kind == kDbKindDataFile) found.dataFiles[found.dataFileCount++] = file;
  else
    CloseDbFile(file);
  return 1;
}

uint32_t OnNewDataFileFound(const WCHAR* path, uint16_t param) {
  const FoundFiles& found = AppFoundFiles;
  for (uint32_t i = 0; i < found.dataFileCount; ++i)
    if (found.dataFiles[i]->path == path) return 1;
  return OnDataFileFound(path, param);
}

uint32_t OnUserDatabaseFound(const WCHAR* path, uint16_t) {
  FoundFiles& found = AppFoundFiles;
  if (found.userDbCount >= kMaxFoundUserDbs) return 0;
  if (char* copy = Utf8Copy(path)) found.userDbPaths[found.userDbCount++] = copy;
  return 1;
}

uint32_t OnFontFileFound(const WCHAR* path, uint16_t param) {
  FoundFiles& found = AppFoundFiles;
  if (found.fontCount >= kMaxFoundFonts) return 0;
  char* copy = Utf8Copy(path);
  if (!copy) return 0;
  if ((param & 1) && found.fontCount > 0) {
    for (uint32_t i = found.fontCount; i > 0; --i) found.fontPaths[i] = found.fontPaths[i - 1];
    found.fontPaths[0] = copy;
  } else {
    found.fontPaths[found.fontCount] = copy;
  }
  ++found.fontCount;
  return 0;
}

void RescanDataFilesInto(DictEngine* engine) {
  const uint32_t before = AppFoundFiles.dataFileCount;
  FileSearchRow row = {0, u"*.pdb", OnNewDataFileFound, 0, 0};
  DiscoverFiles(&row, 1);
  const uint32_t after = AppFoundFiles.dataFileCount;
  if (after > before && engine) AddDictionaries(engine, AppFoundFiles.dataFiles + before, after - before);
}

void FreeFoundPaths() {
  FoundFiles& found = AppFoundFiles;
  for (uint32_t i = 0; i < found.userDbCount; ++i) LocalFree(found.userDbPaths[i]);
  for (uint32_t i = 0; i < found.fontCount; ++i) LocalFree(found.fontPaths[i]);
  found.userDbCount = 0;
  found.fontCount = 0;
}

void CloseFoundDataFiles() {
  FoundFiles& found = AppFoundFiles;
  for (uint32_t i = 0; i < found.dataFileCount; ++i) CloseDbFile(found.dataFiles[i]);
  found.dataFileCount = 0;
}
