// Pronunciation playback: up to eight Ogg Vorbis clips (one per syllable) in
// the AppContext's clip buffers, decoded with Tremor from memory on one
// worker thread and streamed as 16-bit mono PCM to the wave output through a
// ring of sixteen 4,096-byte buffers, with a fixed digital gain.
//
// Threads: StartAudio, StopAudio, ShutdownAudio, PlayEntryAudio and
// ShowAudioError run on the UI thread; PlayAudioThread is the worker. The two
// share audioBusy, audioStop and waveOut (atomics in AppContext) and no lock.
// audioBusy is set by StartAudio before the worker exists and cleared by the
// worker as its very last act, so "not busy" always means no worker touches
// the clip buffers or the request any more. The worker takes the engine lock
// only around its one engine call (the volume preference) and never while it
// waits on the device; the UI thread's waits release the engine lock.
//
// The memory source and the gain are exposed for their tests and the fuzz
// target. Results: 0 success, 1 failure unless a function says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "platform/window.h"

struct AppContext;
struct MemHandle;

inline constexpr uint32_t kAudioMaxClips = 8;
inline constexpr uint32_t kAudioRingBuffers = 16;      // 16 x 2,048 samples keep the device fed
inline constexpr uint32_t kAudioBufferBytes = 4096;    // one ring buffer of PCM
inline constexpr uint32_t kAudioShrunkClipBytes = 64;  // a clip buffer's size when idle
inline constexpr DWORD kAudioStartWaitMs = 10000;      // StartAudio when asked to wait
inline constexpr DWORD kAudioStopWaitMs = 1000;        // StopAudio
inline constexpr DWORD kAudioBufferWaitMs = 2000;      // the worker's wait for one ring buffer

// Lookup codes ShowAudioError knows.
inline constexpr int kAudioNoDataFiles = 0x7010;  // the audio data files are missing
inline constexpr int kAudioNoClip = 0x7002;       // the word has no clip: silent
inline constexpr int kAudioNoClipSet = 0x7006;    // silent as well

// Clip data handed to Tremor. Every field stays inside 0..length after a
// failed seek; a read with the position outside 0..length copies nothing.
struct AudioMemorySource {
  const uint8_t* data;
  uint32_t length;
  int32_t position;
};
// Tremor's callback contract: read returns the bytes copied (0 at the end);
// seek returns 0, or -1 when the target lies outside 0..length or `whence`
// is unknown (the position is then unchanged); tell gives the position.
size_t AudioSourceRead(void* buffer, size_t size, size_t count, void* source);
int AudioSourceSeek(void* source, int64_t offset, int whence);
long AudioSourceTell(void* source);
int AudioSourceClose(void* source);

// Preference 213 as the device volume word (level x 65535 / 10 in both
// halves) and the gain: 0 and anything outside 1..10 but above it count as
// described in the .cpp.
struct AudioVolume {
  DWORD volumeWord;
  bool boost;  // x4 gain instead of x2
};
AudioVolume AudioVolumeFor(int32_t preference);
// The fixed gain of one sample: x2 (x4 with boost), clipped to +-32,767
// (never -32,768).
int16_t ApplyAudioGain(int16_t sample, bool boost);

// Decodes a whole clip through the same memory source and Tremor calls as the
// worker (raw samples, no gain). 1 when Tremor does not accept the clip;
// a clip that breaks off later keeps the samples decoded so far (0).
int DecodeAudioClip(const void* data, uint32_t length, std::vector<int16_t>* samples);

// Plays clips[0..count) of `sampleRate` Hz (the caller's handles, normally
// the AppContext's clip buffers). Ignored while a worker is busy. Copies the
// entries while their lengths are non-zero (entry 0 always). With `wait`,
// waits up to 10,000 ms for the worker to end.
void StartAudio(MemHandle* const* clips, const uint32_t* lengths, uint32_t count, uint32_t sampleRate, bool wait);
// 1 when nothing plays any more, 0 when the worker is still running after a
// stop request and a wait of up to 1,000 ms.
int StopAudio();
// The worker thread; `parameter` is the request StartAudio made (owned and
// freed by the worker on every path).
DWORD PlayAudioThread(LPVOID parameter);
// Shutdown: stops the worker and waits for it, then closes its handle. 1 when
// no worker runs any more; 0 when it did not end in time, in which case the
// caller must leave the clip buffers and `app` allocated (the worker still
// holds them).
int ShutdownAudio(AppContext* app);

// "Audio Unavailable" box over `owner` for a lookup code (see the table in
// the .cpp); codes 0, 0x7002 and 0x7006 show nothing.
void ShowAudioError(HWND owner, int code);

// The main window's "Play Audio": with `level` 0..9 the volume preference
// becomes level + 1 first (-1 keeps it); stops what plays, fetches the
// current entry's clips into the clip buffers and plays them, or shows the
// lookup's error over `owner`.
void PlayEntryAudio(HWND owner, int level);
