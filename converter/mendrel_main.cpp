// mendrel: the converter program. Finds the first-generation files under
// the device root ($SORVI_ROOT) and opens its dialog.
#include "converter/converter_program.h"
#include "platform/core.h"
#include "platform/ui.h"

int main() {
  InitUiThread();
  converter::RegisterConverterResources();
  WCHAR commandLine[1] = {};
  return converter::ConverterWinMain(GetModuleHandleW(nullptr), commandLine);
}
