#include "platform/file_mapping.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

#include "platform/errors.h"
#include "platform/files_internal.h"
#include "platform/kernel_objects.h"

namespace {

constexpr uint64_t kAllocationGranularity = 65536;

struct MappingObject : KernelObject {
  MappingObject() : KernelObject(KernelKind::FileMapping) {}
  ~MappingObject() override {
    if (fd >= 0) close(fd);
  }
  int fd = -1;
  uint64_t size = 0;
};

// The views, for the fault handler: a slot is free while its start is 0.
// Written under g_viewMutex, read by the handler without it (it may run on
// any thread, inside any call).
struct ViewSlot {
  std::atomic<uintptr_t> start{0};
  std::atomic<uintptr_t> end{0};
};
ViewSlot g_views[kMaxFileViews];
std::mutex g_viewMutex;
std::atomic<DWORD> g_zeroedPages{0};
uintptr_t g_pageSize = 4096;
struct sigaction g_previousBus;
std::once_flag g_handlerOnce;

// A page the file no longer backs: the host raises SIGBUS on the read. A
// fault inside a view gets a page of zeros mapped over the one that failed,
// and the read runs again; any other goes to the handler installed before.
void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
  // Only a fault raised by a read has an address (a signal sent by a
  // process has none).
  const DWORD slots = info->si_code > 0 ? kMaxFileViews : 0;
  for (DWORD i = 0; i < slots; ++i) {
    ViewSlot& slot = g_views[i];
    const uintptr_t start = slot.start.load(std::memory_order_acquire);
    if (start == 0 || address < start || address >= slot.end.load(std::memory_order_acquire)) continue;
    void* page = reinterpret_cast<void*>(address & ~(g_pageSize - 1));
    if (mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      g_zeroedPages.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    break;
  }
  if ((g_previousBus.sa_flags & SA_SIGINFO) && g_previousBus.sa_sigaction) {
    g_previousBus.sa_sigaction(signal, info, context);
  } else if (g_previousBus.sa_handler != SIG_DFL && g_previousBus.sa_handler != SIG_IGN) {
    g_previousBus.sa_handler(signal);
  } else {
    // The default action, which ends the program: for a fault when the
    // read runs again, for a signal sent when it is raised once more.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGBUS, &fallback, nullptr);
    raise(signal);
  }
}

void InstallBusHandler() {
  const long page = sysconf(_SC_PAGESIZE);
  if (page > 0) g_pageSize = static_cast<uintptr_t>(page);
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, &g_previousBus);
}

std::shared_ptr<MappingObject> GetMapping(HANDLE h) {
  auto object = KernelHandleGet(h, KernelKind::FileMapping);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return std::static_pointer_cast<MappingObject>(object);
}

}  // namespace

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
  if (protect != PAGE_READONLY || name) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  const int fd = DuplicateReadDescriptor(file);
  if (fd < 0) return nullptr;
  auto mapping = std::make_shared<MappingObject>();
  mapping->fd = fd;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  const uint64_t wanted = uint64_t{maximumSizeHigh} << 32 | maximumSizeLow;
  const uint64_t size = wanted ? wanted : static_cast<uint64_t>(st.st_size);
  if (size == 0 || size > static_cast<uint64_t>(st.st_size)) {
    SetLastError(ERROR_FILE_INVALID);
    return nullptr;
  }
  mapping->size = size;
  HANDLE h = KernelHandleCreate(mapping);
  if (!h) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return h;
}

LPVOID MapViewOfFile(HANDLE handle, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
  auto mapping = GetMapping(handle);
  if (!mapping) return nullptr;
  if (desiredAccess != FILE_MAP_READ) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  const uint64_t offset = uint64_t{offsetHigh} << 32 | offsetLow;
  if (offset % kAllocationGranularity != 0 || offset >= mapping->size ||
      (bytes != 0 && bytes > mapping->size - offset)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const uint64_t length = bytes ? bytes : mapping->size - offset;
  std::call_once(g_handlerOnce, InstallBusHandler);
  std::lock_guard lock(g_viewMutex);
  ViewSlot* slot = nullptr;
  for (ViewSlot& s : g_views)
    if (s.start.load(std::memory_order_relaxed) == 0) {
      slot = &s;
      break;
    }
  if (!slot) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* view = mmap(nullptr, length, PROT_READ, MAP_SHARED, mapping->fd, static_cast<off_t>(offset));
  if (view == MAP_FAILED) {
    SetLastError(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ErrorFromErrno(errno));
    return nullptr;
  }
  // The end first: a handler that sees the start sees a whole range.
  slot->end.store(reinterpret_cast<uintptr_t>(view) + length, std::memory_order_release);
  slot->start.store(reinterpret_cast<uintptr_t>(view), std::memory_order_release);
  SetLastError(ERROR_SUCCESS);
  return view;
}

BOOL UnmapViewOfFile(LPCVOID base) {
  std::lock_guard lock(g_viewMutex);
  const auto start = reinterpret_cast<uintptr_t>(base);
  for (ViewSlot& slot : g_views) {
    if (start == 0 || slot.start.load(std::memory_order_relaxed) != start) continue;
    const uintptr_t end = slot.end.load(std::memory_order_relaxed);
    // Out of the table before the pages go: a later mapping at the same
    // address is not a view.
    slot.start.store(0, std::memory_order_release);
    slot.end.store(0, std::memory_order_release);
    munmap(reinterpret_cast<void*>(start), end - start);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  SetLastError(ERROR_INVALID_ADDRESS);
  return FALSE;
}

DWORD GetFileViewZeroedPageCount() { return g_zeroedPages.load(std::memory_order_relaxed); }
