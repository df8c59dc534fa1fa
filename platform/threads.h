// Threads, events, waits and critical sections over the C++ thread library.
#pragma once

#include "platform/types.h"
#include "platform/files.h"
#include "platform/handles.h"

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u

#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

// Starts the thread at once (creation flags are ignored). The handle is
// signalled when the thread returns; closing it does not stop the thread.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, DWORD* threadId);
// STILL_ACTIVE while the thread runs, then its return value.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
BOOL SetThreadPriority(HANDLE thread, int priority);  // accepted, no effect
int GetThreadPriority(HANDLE thread);
HANDLE GetCurrentThread();  // pseudo handle, only for the priority calls
// Small process-unique ids, never 0.
DWORD GetCurrentThreadId();

// Named events are not shared between processes; the name is ignored.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits for a thread or an event. While it waits, every level of the engine
// lock that the calling thread holds is released, and taken back before it
// returns. When the thread has a wait pump (below), the pump runs at the start
// of the wait and whenever the thread is woken with WakeThreadWait.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);

// Wait pump of the current thread: lets a UI thread keep handling messages
// sent to it from other threads while it waits. The pump is called with the
// engine lock held at the depth the thread held when the wait began (none if
// it held none); it returns TRUE when it handled something. Null removes it.
void SetThreadWaitPump(BOOL (*pump)(void* context), void* context);
// Wakes `threadId` if it is inside WaitForSingleObject (its pump then runs);
// if it is not waiting, its next wait runs the pump first. FALSE for an
// unknown thread id.
BOOL WakeThreadWait(DWORD threadId);

struct CRITICAL_SECTION {
  void* impl;  // set by InitializeCriticalSection
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
// Recursive: the owner may enter again and must leave as often.
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);

LONG InterlockedIncrement(LONG volatile* value);
LONG InterlockedDecrement(LONG volatile* value);
LONG InterlockedExchange(LONG volatile* target, LONG value);
LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand);
