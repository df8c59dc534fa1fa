// Wave audio output: 16-bit mono PCM played through SDL2 audio, or through a
// recording null device (tests; also whenever SORVI_BACKEND=headless or SDL
// audio cannot be opened).
//
// A header's dwFlags are written by the device while the program polls them
// from its own thread: the device updates them with one atomic release store
// per change (WHDR_INQUEUE and WHDR_DONE change together); read them with
// WaveHeaderFlags. waveOutReset may be called from any thread. Handles are
// generation-checked: a closed or invalid one gives MMSYSERR_INVALHANDLE.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/window.h"

SORVI_DECLARE_HANDLE(HWAVEOUT);
using MMRESULT = UINT;

#define MMSYSERR_NOERROR 0u
#define MMSYSERR_ERROR 1u
#define MMSYSERR_BADDEVICEID 2u
#define MMSYSERR_NOTENABLED 3u
#define MMSYSERR_ALLOCATED 4u
#define MMSYSERR_INVALHANDLE 5u
#define MMSYSERR_NODRIVER 6u
#define MMSYSERR_NOMEM 7u
#define MMSYSERR_NOTSUPPORTED 8u
#define MMSYSERR_INVALFLAG 10u
#define MMSYSERR_INVALPARAM 11u
#define WAVERR_BADFORMAT 32u
#define WAVERR_STILLPLAYING 33u
#define WAVERR_UNPREPARED 34u

#define WAVE_MAPPER (static_cast<UINT>(-1))
#define WAVE_FORMAT_QUERY 0x0001u
#define WAVE_ALLOWSYNC 0x0002u
#define WAVE_FORMAT_PCM 1u

#define CALLBACK_TYPEMASK 0x00070000u
#define CALLBACK_NULL 0x00000000u
#define CALLBACK_WINDOW 0x00010000u
#define CALLBACK_THREAD 0x00020000u
#define CALLBACK_FUNCTION 0x00030000u
#define CALLBACK_EVENT 0x00050000u

// Callback messages (CALLBACK_WINDOW: MM_WOM_*, wParam = device, lParam = header).
#define WOM_OPEN 0x3BBu
#define WOM_CLOSE 0x3BCu
#define WOM_DONE 0x3BDu
#define MM_WOM_OPEN WOM_OPEN
#define MM_WOM_CLOSE WOM_CLOSE
#define MM_WOM_DONE WOM_DONE

#define WHDR_DONE 0x00000001u
#define WHDR_PREPARED 0x00000002u
#define WHDR_BEGINLOOP 0x00000004u
#define WHDR_ENDLOOP 0x00000008u
#define WHDR_INQUEUE 0x00000010u

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};

struct WAVEHDR {
  LPSTR lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};

// CALLBACK_FUNCTION: called on a device thread (or inside waveOutWrite /
// waveOutReset for the instant null device), never with a device lock held.
using WAVEOUTPROC = void (*)(HWAVEOUT device, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

// The header's flags, read with acquire ordering.
DWORD WaveHeaderFlags(const WAVEHDR* header);

UINT waveOutGetNumDevs();
// Device WAVE_MAPPER or 0; PCM, 1 channel, 16 bits, 8000-48000 Hz
// (WAVERR_BADFORMAT otherwise); WAVE_FORMAT_QUERY only checks. `callback` is
// an HWND, an event HANDLE or a WAVEOUTPROC as fdwOpen says.
// MMSYSERR_NODRIVER when the device kind is WAVE_DEVICE_NONE.
MMRESULT waveOutOpen(HWAVEOUT* device, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
// WAVERR_STILLPLAYING while headers are queued.
MMRESULT waveOutClose(HWAVEOUT device);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size);
// WAVERR_STILLPLAYING while the header is queued; an unprepared header is fine.
MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size);
// Queues a prepared header (WAVERR_UNPREPARED otherwise): clears WHDR_DONE,
// sets WHDR_INQUEUE; when played, WHDR_DONE replaces WHDR_INQUEUE.
MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT size);
// Stops at once: every queued header is marked done (and reported).
MMRESULT waveOutReset(HWAVEOUT device);
// Low word left, high word right (mono uses the low word): a gain of v/65535.
MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume);
MMRESULT waveOutGetVolume(HWAVEOUT device, DWORD* volume);

// ---- Device kind and the null device (tests) ----
#define WAVE_DEVICE_AUTO 0  // SDL audio unless SORVI_BACKEND=headless; null when SDL fails
#define WAVE_DEVICE_NULL 1
#define WAVE_DEVICE_SDL 2
#define WAVE_DEVICE_NONE 3  // no audio: waveOutOpen fails
// For devices opened from now on.
void SetWaveDeviceKind(int kind);
int GetWaveDeviceKind();

// How the null device consumes the samples written to it.
#define WAVE_NULL_INSTANT 0  // a header is played as soon as it is written
#define WAVE_NULL_CLOCK 1    // at the sample rate against GetTickCount (the virtual clock when installed)
#define WAVE_NULL_STEPPED 2  // only through StepNullWaveDevice
void SetNullWaveConsumption(int mode);
// Plays up to `samples` samples of every open stepped null device; returns
// the samples played.
DWORD StepNullWaveDevice(DWORD samples);

// What the null devices played (since the last clear; at most 16M samples
// and 64K calls are kept).
struct NullWaveRecord {
  std::vector<std::int16_t> pcm;  // samples as played, with the volume applied
  std::vector<DWORD> rates;       // the rate of each opened device
  std::vector<DWORD> volumes;     // every waveOutSetVolume value
  std::vector<std::string> calls; // "open", "prepare", "write", "reset", "volume", "unprepare", "close", "done"
  int openDevices = 0;
};
NullWaveRecord GetNullWaveRecord();
void ClearNullWaveRecord();
