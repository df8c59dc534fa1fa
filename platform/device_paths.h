// The device file system on the host. Device paths start with "\" (a "/"
// is taken as "\" too) and map under the device root folder:
// $SORVI_ROOT, else ~/.local/share/sorvi/device.
//
// - Each component matches an existing host name case-insensitively; a new
//   name is created as given. "." and ".." components are refused
//   (ERROR_INVALID_NAME), so no path leaves the root.
// - A symbolic link to a folder is never followed (the path is "not found");
//   links to files are followed.
// - The root always holds "\Windows", "\Program Files" and "\My Documents";
//   they are created the first time the root is used.
// - Storage cards are root folders named in the root's list file
//   "storage-cards.txt": one folder name per line, UTF-8, matched
//   case-insensitively; blank lines and lines starting with '#' are skipped.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

#define SORVI_STORAGE_CARD_LIST "storage-cards.txt"

// Host path of the device root (without a trailing '/').
std::string GetDeviceRoot();
// Sets the device root for this process (tests give each test its own
// folder); null or "" goes back to $SORVI_ROOT / the default. Does not create
// anything until the root is used.
void SetDeviceRoot(const char* hostPath);

// Maps a device path to the host path (UTF-8) that SQLite, the font stream
// and the file functions use. Existing components are matched
// case-insensitively; missing ones are appended as given. FALSE with the last
// error set (ERROR_PATH_NOT_FOUND when a folder on the way is missing,
// ERROR_INVALID_NAME for a bad path).
BOOL DevicePathToHostPath(LPCWSTR devicePath, std::string* hostPath);
// TRUE when `folderName` (a root folder's name, without "\") is a storage card.
BOOL IsStorageCardFolder(LPCWSTR folderName);

// UTF-16 <-> UTF-8; invalid sequences become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);
// Length of a zero-terminated UTF-16 string.
size_t WideLength(LPCWSTR text);
