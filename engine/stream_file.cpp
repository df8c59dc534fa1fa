#include "engine/stream_file.h"

#include <string>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/shell_folders.h"

namespace {

constexpr char16_t kProgramFolder[] = u"\\Sorvi";

const char16_t* FileName(int32_t kind) {
  switch (kind) {
    case kStreamSavedFlashSession:
      return u"\\Sorvi Saved Flash Session";
    case kStreamReaderBookmarks:
      return u"\\Sorvi Reader Bookmarks";
    default:
      return nullptr;
  }
}

// The program's folder under Program Files; false when the special folder
// cannot be had.
bool ProgramFolder(std::u16string* folder) {
  WCHAR base[MAX_PATH] = {};
  if (!SHGetSpecialFolderPath(nullptr, base, CSIDL_PROGRAM_FILES, TRUE)) return false;
  *folder = base;
  *folder += kProgramFolder;
  return true;
}

bool StreamPath(int32_t kind, std::u16string* path) {
  const char16_t* name = FileName(kind);
  if (!name || !ProgramFolder(path)) return false;
  *path += name;
  return true;
}

// size × count as one transfer size, false when it does not fit.
bool TransferSize(size_t size, size_t count, DWORD* bytes) {
  if (size != 0 && count > UINT32_MAX / size) return false;
  *bytes = static_cast<DWORD>(size * count);
  return true;
}

}  // namespace

AppStreamFile* OpenAppStreamFile(int32_t kind, int create, int mustExist) {
  std::u16string path;
  if (!StreamPath(kind, &path)) return nullptr;
  const DWORD disposition = create ? CREATE_ALWAYS : mustExist ? OPEN_EXISTING : OPEN_ALWAYS;
  auto open = [&] {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  };
  HANDLE handle = open();
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND && !mustExist) {
    std::u16string folder;
    if (ProgramFolder(&folder)) {
      CreateDirectoryW(folder.c_str(), nullptr);
      handle = open();
    }
  }
  if (handle == INVALID_HANDLE_VALUE || !handle) return nullptr;
  auto* file = new AppStreamFile{kind, handle};
  return file;
}

int CloseAppStreamFile(AppStreamFile* file) {
  if (!file) return 0;
  CloseHandle(file->handle);
  delete file;
  return 0;
}

int DeleteAppStreamFile(int32_t kind) {
  std::u16string path;
  if (!StreamPath(kind, &path)) return 1;
  return DeleteFileW(path.c_str()) ? 0 : 1;
}

int SeekAppStreamFile(AppStreamFile* file, uint32_t position) {
  LONG high = 0;
  DWORD r = SetFilePointer(file->handle, static_cast<LONG>(position), &high, FILE_BEGIN);
  if (r == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 1;
  return r == position && high == 0 ? 0 : 1;
}

int SeekAppStreamFileToEnd(AppStreamFile* file) {
  SetFilePointer(file->handle, 0, nullptr, FILE_END);
  return 0;
}

int ReadAppStreamFile(void* buffer, size_t size, size_t count, AppStreamFile* file) {
  DWORD bytes, got = 0;
  if (!TransferSize(size, count, &bytes)) return 1;
  if (!ReadFile(file->handle, buffer, bytes, &got, nullptr)) return 1;
  return got == bytes ? 0 : 1;
}

int WriteAppStreamFile(const void* buffer, size_t size, size_t count, AppStreamFile* file) {
  DWORD bytes, written = 0;
  if (!TransferSize(size, count, &bytes)) return 1;
  if (!WriteFile(file->handle, buffer, bytes, &written, nullptr)) return 1;
  return written == bytes ? 0 : 1;
}

uint32_t TellAppStreamFile(AppStreamFile* file) { return SetFilePointer(file->handle, 0, nullptr, FILE_CURRENT); }

bool IsAppStreamFileAtEnd(AppStreamFile* file) {
  const DWORD size = GetFileSize(file->handle, nullptr);
  return size <= TellAppStreamFile(file);
}
