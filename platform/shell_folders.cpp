#include "platform/shell_folders.h"

#include <algorithm>
#include <string>

#include "platform/device_paths_internal.h"
#include "platform/errors.h"
#include "platform/files.h"

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int csidl, BOOL create) {
  const char16_t* folder = nullptr;
  switch (csidl) {
    case CSIDL_PERSONAL: folder = u"\\My Documents"; break;
    case CSIDL_WINDOWS: folder = u"\\Windows"; break;
    case CSIDL_PROGRAM_FILES: folder = u"\\Program Files"; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ResolvedPath r;
  if (!ResolveDevicePath(folder, &r)) return FALSE;
  if (r.kind != HostEntryKind::Folder) {
    if (!create || r.kind != HostEntryKind::Missing || !CreateDirectoryW(folder, nullptr)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
  }
  const std::u16string text(folder);
  std::copy(text.begin(), text.end(), path);
  path[text.size()] = 0;
  return TRUE;
}
