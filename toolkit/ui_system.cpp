#include "toolkit/ui_system.h"

#include <cstdint>

#include "platform/ui.h"

namespace {

uint8_t g_captureAllKeys = 0;

}  // namespace

bool CaptureAllKeys(bool on) {
  g_captureAllKeys = on ? 1 : 0;
  return AllKeys(on ? TRUE : FALSE) != FALSE;
}

bool IsCapturingAllKeys() { return g_captureAllKeys != 0; }

bool IsOsVersion5OrLater() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExW(&info)) return false;
  return info.dwMajorVersion >= 5;
}
