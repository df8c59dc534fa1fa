// Everything of the platform core that the engine and the program use.
#pragma once

#include "platform/types.h"
#include "platform/errors.h"
#include "platform/heap.h"
#include "platform/handles.h"
#include "platform/files.h"
#include "platform/device_paths.h"
#include "platform/shell_folders.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "platform/engine_lock.h"
#include "platform/resources.h"
#include "platform/system_info.h"
