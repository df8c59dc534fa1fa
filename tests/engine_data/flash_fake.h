// Counters of the test flashcard services (flash_fake.cpp).
#pragma once

#include "engine/flash_services.h"

namespace flashfake {
extern int openCalls;
extern int closeCalls;
extern void* lastArg;
extern bool giveStore;  // open hands out a store
}  // namespace flashfake
