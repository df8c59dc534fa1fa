// Feeds arbitrary bytes as a pronunciation clip: decoded alone through the
// memory source, then played by the worker over the instant null device
// after a second copy of itself (a bad clip after another one takes the
// worker's failure path with a buffer still handed out). Nothing in a clip
// may read outside it, leak or leave the device open.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/audio_playback.h"
#include "engine/mem_handle.h"
#include "platform/threads.h"
#include "platform/wave.h"
#include "toolkit/app_context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // An exact-size copy, so that the sanitizer sees any read past the clip.
  std::vector<uint8_t> clip(data, data + size);
  std::vector<int16_t> samples;
  DecodeAudioClip(clip.data(), static_cast<uint32_t>(clip.size()), &samples);

  static AppContext context{};
  SetWaveDeviceKind(WAVE_DEVICE_NULL);
  SetNullWaveConsumption(WAVE_NULL_INSTANT);
  ClearNullWaveRecord();
  AppContextPointer = &context;
  MemHandle* clips[2] = {NewMemHandleFromCopy(clip.data(), static_cast<uint32_t>(size)),
                         NewMemHandleFromCopy(clip.data(), static_cast<uint32_t>(size))};
  const uint32_t lengths[2] = {static_cast<uint32_t>(size), static_cast<uint32_t>(size)};
  StartAudio(clips, lengths, 2, 16000, true);
  if (ShutdownAudio(&context) != 1) std::abort();
  if (GetNullWaveRecord().openDevices != 0) std::abort();
  FreeMemHandle(clips[0]);
  FreeMemHandle(clips[1]);
  AppContextPointer = nullptr;
  return 0;
}
