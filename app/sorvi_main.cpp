// The program: the platform's UI thread and resources, then WinMain with the
// command line as the device hands it over.
#include <string>

#include "app/app_instance.h"
#include "platform/message.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "resources/resources.h"

int main(int argc, char** argv) {
  InitUiThread();
  RegisterSorviResources();
  std::u16string commandLine = AppCommandLine(argc, argv);
  return WinMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
