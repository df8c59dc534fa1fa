// Random bytes from the host (getrandom), or from a seeded deterministic
// generator that tests install.
#pragma once

#include "platform/types.h"

BOOL CeGenRandom(DWORD length, BYTE* buffer);

// --- Test hooks ---
// Every CeGenRandom call from now on draws from a deterministic generator
// started from `seed` (the same seed gives the same bytes, in any chunking).
void SeedRandomForTests(ULONGLONG seed);
void UnseedRandomForTests();
