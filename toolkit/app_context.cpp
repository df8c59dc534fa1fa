#include "toolkit/app_context.h"

AppContext* AppContextPointer = nullptr;
HINSTANCE AppInstance = nullptr;
