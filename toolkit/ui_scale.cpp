#include "toolkit/ui_scale.h"

#include "toolkit/app_context.h"

uint16_t GetResolutionFactor() { return AppContextPointer ? AppContextPointer->dpiFactor : 0; }

int ScaleByDpi(int v) {
  int16_t product = static_cast<int16_t>(GetResolutionFactor() * v);
  return product / 3;
}

int UnscaleByDpi(int v) {
  uint16_t factor = GetResolutionFactor();
  if (!factor) return 0;
  int16_t product = static_cast<int16_t>(3 * v);
  return static_cast<int16_t>(product / factor);
}

int16_t GetUiMetric() { return AppContextPointer ? static_cast<int16_t>(AppContextPointer->iconSize) : 16; }
