#include "platform/handles.h"

#include <mutex>
#include <vector>

#include "platform/errors.h"
#include "platform/kernel_objects.h"

static_assert(sizeof(void*) == 8, "handle encoding assumes 64-bit pointers");

namespace {

struct Slot {
  DWORD generation = 1;
  std::shared_ptr<KernelObject> object;
};

struct HandleTable {
  std::mutex mutex;
  std::vector<Slot> slots;
  std::vector<DWORD> free;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // never destroyed: threads may outlive main
  return *table;
}

constexpr DWORD kMaxSlots = 1u << 20;

HANDLE Encode(DWORD index, DWORD generation) {
  const ULONGLONG v = (static_cast<ULONGLONG>(generation) << 32) | (index + 1);
  return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(v));
}

// Slot index of a handle whose generation matches, or -1.
long long Decode(HandleTable& t, HANDLE handle) {
  const ULONGLONG v = reinterpret_cast<ULONG_PTR>(handle);
  const DWORD low = static_cast<DWORD>(v);
  const DWORD generation = static_cast<DWORD>(v >> 32);
  if (low == 0 || low > t.slots.size()) return -1;
  const Slot& slot = t.slots[low - 1];
  if (!slot.object || slot.generation != generation) return -1;
  return low - 1;
}

}  // namespace

HANDLE KernelHandleCreate(std::shared_ptr<KernelObject> object) {
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  DWORD index;
  if (!t.free.empty()) {
    index = t.free.back();
    t.free.pop_back();
  } else {
    if (t.slots.size() >= kMaxSlots) return nullptr;
    index = static_cast<DWORD>(t.slots.size());
    t.slots.emplace_back();
  }
  Slot& slot = t.slots[index];
  slot.object = std::move(object);
  return Encode(index, slot.generation);
}

std::shared_ptr<KernelObject> KernelHandleGet(HANDLE handle, KernelKind kind) {
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  const long long i = Decode(t, handle);
  if (i < 0 || t.slots[i].object->kind != kind) return nullptr;
  return t.slots[i].object;
}

std::shared_ptr<KernelObject> KernelHandleRemove(HANDLE handle, KernelKind kind) {
  HandleTable& t = Table();
  std::shared_ptr<KernelObject> object;
  {
    std::lock_guard lock(t.mutex);
    const long long i = Decode(t, handle);
    if (i < 0 || t.slots[i].object->kind != kind) return nullptr;
    Slot& slot = t.slots[i];
    object = std::move(slot.object);
    slot.object.reset();
    // Generations stay below 2^31 so a handle never looks like -1.
    slot.generation = slot.generation >= 0x7FFFFFFFu ? 1 : slot.generation + 1;
    t.free.push_back(static_cast<DWORD>(i));
  }
  return object;
}

BOOL KernelHandleKind(HANDLE handle, KernelKind* kind) {
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  const long long i = Decode(t, handle);
  if (i < 0) return FALSE;
  *kind = t.slots[i].object->kind;
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  KernelKind kind;
  if (!KernelHandleKind(handle, &kind) || kind == KernelKind::Find) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The object is released outside the table lock: closing a file may
  // touch the share table, closing a thread handle nothing else.
  std::shared_ptr<KernelObject> object = KernelHandleRemove(handle, kind);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

char16_t FoldCaseUnit(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  if (c >= 0x100 && c <= 0x137) return static_cast<char16_t>(c | 1);
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  if (c >= 0x14A && c <= 0x177) return static_cast<char16_t>(c | 1);
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);
  return c;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCaseUnit(a[i]) != FoldCaseUnit(b[i])) return false;
  return true;
}

int CompareIgnoreCase(std::u16string_view a, std::u16string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = FoldCaseUnit(a[i]), y = FoldCaseUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = FoldCaseUnit(c);
  return out;
}
