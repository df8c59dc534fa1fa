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
// Every CeGenRandom call from now on takes its bytes from `values`, each
// value as four little-endian bytes in order (so GetRandom32 returns them
// one by one); once they run out the seeded or the host source follows.
// A null list or a count of 0 ends the script.
void ScriptRandomForTests(const DWORD* values, DWORD count);
