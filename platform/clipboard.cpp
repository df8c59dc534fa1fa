// The clipboard: one Unicode text, optionally mirrored to the desktop's.
#include "platform/clipboard.h"

#include <cstring>
#include <mutex>

#include "platform/device_paths.h"
#include "platform/errors.h"
#include "platform/heap.h"
#include "platform/threads.h"
#include "platform/window_internal.h"

namespace {

std::recursive_mutex gMutex;
struct Clipboard {
  bool open = false;
  HWND openedBy = nullptr;
  DWORD openThread = 0;
  HWND owner = nullptr;
  HLOCAL text = nullptr;  // zero-terminated UTF-16
  bool changed = false;
  const ClipboardBridge* bridge = nullptr;
  std::string lastDesktop;  // what we last read from or wrote to the desktop
};
Clipboard gClip;

HLOCAL CopyToLocal(const std::u16string& s) {
  auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (s.size() + 1) * sizeof(WCHAR)));
  if (!block) return nullptr;
  std::memcpy(block, s.data(), s.size() * sizeof(WCHAR));
  block[s.size()] = 0;
  return block;
}

// Takes the desktop's text when it changed since we last looked.
void PullDesktop() {
  if (!gClip.bridge || !gClip.bridge->get) return;
  std::string utf8;
  if (!gClip.bridge->get(&utf8) || utf8 == gClip.lastDesktop) return;
  gClip.lastDesktop = utf8;
  HLOCAL copy = CopyToLocal(Utf8ToUtf16(utf8));
  if (!copy) return;
  if (gClip.text) LocalFree(gClip.text);
  gClip.text = copy;
  gClip.owner = nullptr;
}

bool OpenedHere() { return gClip.open && gClip.openThread == GetCurrentThreadId(); }

}  // namespace

namespace wm {
void ClipboardWindowDestroyed(HWND hwnd) {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  if (gClip.owner == hwnd) gClip.owner = nullptr;
  if (gClip.open && gClip.openedBy == hwnd && hwnd) gClip.open = false;
}
}  // namespace wm

void SetClipboardBridge(const ClipboardBridge* bridge) {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  gClip.bridge = bridge;
  gClip.lastDesktop.clear();
}

BOOL OpenClipboard(HWND owner) {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  if (gClip.open && !(gClip.openThread == GetCurrentThreadId() && gClip.openedBy == owner)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  gClip.open = true;
  gClip.openedBy = owner;
  gClip.openThread = GetCurrentThreadId();
  gClip.changed = false;
  PullDesktop();
  return TRUE;
}

BOOL CloseClipboard() {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  if (!OpenedHere()) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  gClip.open = false;
  if (gClip.changed && gClip.bridge && gClip.bridge->set) {
    std::u16string text = gClip.text ? std::u16string(static_cast<const WCHAR*>(gClip.text)) : std::u16string();
    gClip.lastDesktop = Utf16ToUtf8(text);
    gClip.bridge->set(gClip.lastDesktop);
  }
  gClip.changed = false;
  return TRUE;
}

BOOL EmptyClipboard() {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  if (!OpenedHere()) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  if (gClip.text) LocalFree(gClip.text);
  gClip.text = nullptr;
  gClip.owner = gClip.openedBy;
  gClip.changed = true;
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  if (!OpenedHere()) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  if (format != CF_UNICODETEXT || !data || LocalSize(data) < sizeof(WCHAR)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Make sure the text ends inside its block.
  auto* text = static_cast<WCHAR*>(data);
  text[LocalSize(data) / sizeof(WCHAR) - 1] = 0;
  if (gClip.text && gClip.text != data) LocalFree(gClip.text);
  gClip.text = data;
  gClip.changed = true;
  return data;
}

HANDLE GetClipboardData(UINT format) {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  if (!OpenedHere()) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  if (format != CF_UNICODETEXT) return nullptr;
  return gClip.text;
}

HANDLE GetClipboardDataAlloc(UINT format) {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  HANDLE own = GetClipboardData(format);
  if (!own) return nullptr;
  return CopyToLocal(std::u16string(static_cast<const WCHAR*>(own)));
}

BOOL IsClipboardFormatAvailable(UINT format) {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  if (format != CF_UNICODETEXT) return FALSE;
  if (!gClip.open) PullDesktop();
  return gClip.text != nullptr;
}

HWND GetClipboardOwner() {
  std::lock_guard<std::recursive_mutex> lk(gMutex);
  return gClip.owner;
}
