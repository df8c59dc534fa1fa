#include "platform/random.h"

#include <sys/random.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/errors.h"

namespace {

// splitmix64 stream consumed byte by byte, so chunking does not change it.
struct SeededSource {
  std::mutex mutex;
  bool active = false;
  ULONGLONG state = 0;
  ULONGLONG block = 0;
  int left = 0;
};

SeededSource g_seeded;

// Bytes a test scripted; taken before any other source (under g_seeded's
// mutex).
std::vector<BYTE> g_script;
size_t g_scriptNext = 0;

ULONGLONG Next(ULONGLONG* state) {
  ULONGLONG z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

BOOL CeGenRandom(DWORD length, BYTE* buffer) {
  if (length > 0 && !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  {
    std::lock_guard lock(g_seeded.mutex);
    DWORD scripted = 0;
    while (scripted < length && g_scriptNext < g_script.size()) buffer[scripted++] = g_script[g_scriptNext++];
    if (scripted == length) return TRUE;
    if (scripted > 0) {
      buffer += scripted;
      length -= scripted;
    }
    if (g_seeded.active) {
      for (DWORD i = 0; i < length; ++i) {
        if (g_seeded.left == 0) {
          g_seeded.block = Next(&g_seeded.state);
          g_seeded.left = 8;
        }
        buffer[i] = static_cast<BYTE>(g_seeded.block);
        g_seeded.block >>= 8;
        --g_seeded.left;
      }
      return TRUE;
    }
  }
  DWORD done = 0;
  while (done < length) {
    const ssize_t n = getrandom(buffer + done, length - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastError(ErrorFromErrno(errno));
      return FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  return TRUE;
}

void SeedRandomForTests(ULONGLONG seed) {
  std::lock_guard lock(g_seeded.mutex);
  g_seeded.active = true;
  g_seeded.state = seed;
  g_seeded.left = 0;
}

void UnseedRandomForTests() {
  std::lock_guard lock(g_seeded.mutex);
  g_seeded.active = false;
}

void ScriptRandomForTests(const DWORD* values, DWORD count) {
  std::lock_guard lock(g_seeded.mutex);
  g_script.clear();
  g_scriptNext = 0;
  if (!values) return;
  for (DWORD i = 0; i < count; ++i)
    for (int b = 0; b < 4; ++b) g_script.push_back(static_cast<BYTE>(values[i] >> (8 * b)));
}
