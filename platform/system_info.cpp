#include "platform/system_info.h"

#include <algorithm>
#include <string>

#include "platform/errors.h"
#include "platform/heap.h"

namespace {

struct ErrorText {
  DWORD code;
  const char16_t* text;
};

const ErrorText kTexts[] = {
    {ERROR_SUCCESS, u"The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, u"Incorrect function."},
    {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified."},
    {ERROR_TOO_MANY_OPEN_FILES, u"The system cannot open the file."},
    {ERROR_ACCESS_DENIED, u"Access is denied."},
    {ERROR_INVALID_HANDLE, u"The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, u"Not enough storage is available to process this command."},
    {ERROR_OUTOFMEMORY, u"Not enough storage is available to complete this operation."},
    {ERROR_NO_MORE_FILES, u"There are no more files."},
    {ERROR_WRITE_PROTECT, u"The media is write protected."},
    {ERROR_SHARING_VIOLATION, u"The process cannot access the file because it is being used by another process."},
    {ERROR_HANDLE_EOF, u"Reached the end of the file."},
    {ERROR_HANDLE_DISK_FULL, u"The disk is full."},
    {ERROR_NOT_SUPPORTED, u"The request is not supported."},
    {ERROR_FILE_EXISTS, u"The file exists."},
    {ERROR_CANNOT_MAKE, u"The directory or file cannot be created."},
    {ERROR_INVALID_PARAMETER, u"The parameter is incorrect."},
    {ERROR_DISK_FULL, u"There is not enough space on the disk."},
    {ERROR_INSUFFICIENT_BUFFER, u"The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, u"The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_NEGATIVE_SEEK, u"An attempt was made to move the file pointer before the beginning of the file."},
    {ERROR_DIR_NOT_EMPTY, u"The directory is not empty."},
    {ERROR_BAD_PATHNAME, u"The specified path is invalid."},
    {ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists."},
    {ERROR_FILENAME_EXCED_RANGE, u"The filename or extension is too long."},
    {ERROR_MORE_DATA, u"More data is available."},
    {ERROR_NO_MORE_ITEMS, u"No more data is available."},
    {ERROR_DIRECTORY, u"The directory name is invalid."},
    {ERROR_TIMEOUT, u"This operation returned because the timeout period expired."},
    {ERROR_DEVICE_REMOVED, u"The device has been removed."},
    {ERROR_DEVICE_NOT_AVAILABLE, u"The device is not ready for use."},
};

std::u16string TextFor(DWORD code) {
  for (const ErrorText& e : kTexts)
    if (e.code == code) return std::u16string(e.text) + u"\r\n";
  std::u16string digits;
  DWORD v = code;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + v % 10));
    v /= 10;
  } while (v);
  return u"Error " + digits + u".\r\n";
}

}  // namespace

void SystemIdleTimerReset() {}

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, va_list*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) ||
      !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string text = TextFor(messageId);
  const DWORD length = static_cast<DWORD>(text.size());
  LPWSTR out = buffer;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    const DWORD units = std::max(length + 1, size);
    out = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, units * sizeof(WCHAR)));
    if (!out) return 0;
    *reinterpret_cast<LPWSTR*>(buffer) = out;
  } else if (size < length + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(text.begin(), text.end(), out);
  out[length] = 0;
  return length;
}
