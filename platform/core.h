// Everything of the platform core that the engine and the program use.
//
// Test hooks, for tests of any layer (each in its module's header):
//   SetDeviceRoot                 device_paths.h  own device root per test
//   InjectFileError               files.h         nth call of a file function fails
//   SetLocalHeapFailure           heap.h          nth allocation fails
//   InstallVirtualClock, Advance  clock.h         virtual system time and ticks
//   SeedRandomForTests            random.h        deterministic CeGenRandom
//   ReloadRegistryForTests        registry.h      re-read the store from disk
//   SetRegistryOpenFailure        registry.h      a key cannot be opened
#pragma once

#include "platform/types.h"
#include "platform/errors.h"
#include "platform/heap.h"
#include "platform/handles.h"
#include "platform/files.h"
#include "platform/file_mapping.h"
#include "platform/device_paths.h"
#include "platform/shell_folders.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "platform/engine_lock.h"
#include "platform/resources.h"
#include "platform/system_info.h"
