// Internal: resolution of device paths for the file, find and registry code.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

enum class HostEntryKind { Missing, File, Folder, FolderLink };

struct ResolvedPath {
  std::string host;               // host path of the whole device path
  std::string parentHost;         // host path of the folder that holds it
  std::u16string lastName;        // the last component as found on the host (or as given)
  HostEntryKind kind = HostEntryKind::Missing;
  bool isRoot = false;
};

// Resolves a device path. FALSE with the last error set when a folder on the
// way is missing (ERROR_PATH_NOT_FOUND) or the path is malformed
// (ERROR_INVALID_NAME). The last component may be missing (kind Missing).
BOOL ResolveDevicePath(LPCWSTR devicePath, ResolvedPath* out);
// Splits a device path into its folder part and the last component (no
// checks); the folder part keeps its leading "\".
void SplitDevicePath(std::u16string_view path, std::u16string* folder, std::u16string* last);
// Root of the device file system, created with its standard folders.
std::string EnsureDeviceRoot();
// Kind of a host entry without following folder links.
HostEntryKind HostKind(const std::string& hostPath);
// Host names in a folder (not "." / ".."), unsorted.
bool ListHostFolder(const std::string& hostFolder, std::vector<std::string>* names);
