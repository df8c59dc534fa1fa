#include "engine/text_buffer.h"

#include <cstring>

#include "engine/mem_handle.h"
#include "engine/string_utils.h"
#include "engine/utf8.h"
#include "platform/heap.h"

namespace {

// Largest block we ask for: sizes are 32-bit byte counts.
constexpr uint64_t kMaxUnits = 0x7FFFFFFFu;

WCHAR Swap16(WCHAR u) { return static_cast<WCHAR>(((u & 0xFF) << 8) | (u >> 8)); }

bool IsGrowable(const TextBuffer* tb) { return tb->handle != nullptr; }

// True when k more units fit with room for the terminator, growing a
// growable buffer when needed.
bool HasRoom(TextBuffer* tb, uint32_t k) {
  if (static_cast<uint64_t>(tb->length) + k < tb->capacity) return true;
  return IsGrowable(tb) && TextBufEnsureRoom(tb, k) == 0;
}

// Appends k units all or nothing; false when they do not fit.
bool AppendWhole(TextBuffer* tb, const WCHAR* units, uint32_t k) {
  if (!HasRoom(tb, k)) return false;
  for (uint32_t i = 0; i < k; ++i) tb->data[tb->length++] = units[i];
  return true;
}

bool AppendAscii(TextBuffer* tb, const char* s) {
  WCHAR units[8];
  uint32_t k = 0;
  while (s[k]) {
    units[k] = static_cast<WCHAR>(s[k]);
    ++k;
  }
  return AppendWhole(tb, units, k);
}

const char* XmlEntity(WCHAR u) {
  switch (u) {
    case u'"': return "&quot;";
    case u'&': return "&amp;";
    case u'\'': return "&apos;";
    case u'<': return "&lt;";
    case u'>': return "&gt;";
    default: return nullptr;
  }
}

// Text taken from the buffer's own block would move when the block grows:
// such text is appended from a copy.
bool InOwnBlock(const TextBuffer* tb, const WCHAR* text) {
  if (!tb->handle || !tb->data) return false;
  const auto p = reinterpret_cast<uintptr_t>(text);
  const auto lo = reinterpret_cast<uintptr_t>(tb->data);
  return p >= lo && p < lo + static_cast<uintptr_t>(tb->capacity) * sizeof(WCHAR);
}

WCHAR* CopyUnits(const WCHAR* text, uint32_t count) {
  auto* copy = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(count) * sizeof(WCHAR)));
  if (copy) std::memcpy(copy, text, static_cast<size_t>(count) * sizeof(WCHAR));
  return copy;
}

bool IsDroppedControl(uint32_t u) { return u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D; }

}  // namespace

void TextBufInit(TextBuffer* tb) {
  if (!tb) return;
  tb->length = 0;
  TextBufAlloc(tb);
}

void TextBufAlloc(TextBuffer* tb) {
  if (!tb) return;
  if (tb->handle) {
    tb->data = static_cast<WCHAR*>(LockMemHandle(tb->handle));
    tb->capacity = tb->data ? GetMemHandleSize(tb->handle) / 2 : 0;
  } else if (!tb->data) {
    tb->handle = NewMemHandle(kTextBufGrowUnits * 2);
    if (tb->handle) {
      tb->data = static_cast<WCHAR*>(LockMemHandle(tb->handle));
      tb->capacity = tb->data ? GetMemHandleSize(tb->handle) / 2 : 0;
    } else {
      tb->capacity = 0;
    }
  }
  if (tb->length > tb->capacity) tb->length = tb->capacity;
  if (tb->length > 0 && tb->data[tb->length - 1] == 0) --tb->length;
}

int TextBufEnsureRoom(TextBuffer* tb, uint32_t n) {
  if (!tb) return 1;
  if (static_cast<uint64_t>(tb->length) + n < tb->capacity) return 0;
  if (!tb->handle) return 1;
  const uint64_t units = static_cast<uint64_t>(tb->capacity) + (n > kTextBufGrowUnits ? n : kTextBufGrowUnits);
  if (units > kMaxUnits) return 1;
  UnlockMemHandle(tb->handle);
  const int failed = ResizeMemHandle(tb->handle, static_cast<uint32_t>(units * 2));
  tb->data = static_cast<WCHAR*>(LockMemHandle(tb->handle));
  tb->capacity = tb->data ? GetMemHandleSize(tb->handle) / 2 : 0;
  if (failed) return 1;
  return static_cast<uint64_t>(tb->length) + n < tb->capacity ? 0 : 1;
}

int TextBufAppendChar(TextBuffer* tb, WCHAR c) {
  if (!tb) return 1;
  if (TextBufEnsureRoom(tb, 1) == 0) {
    tb->data[tb->length++] = c;
    return 0;
  }
  if (c == 0) {
    if (tb->length > 0) tb->data[tb->length - 1] = 0;
    return 0;
  }
  return 1;
}

int TextBufReplaceLast(TextBuffer* tb, WCHAR c) {
  if (!tb || tb->length == 0) return 1;
  tb->data[tb->length - 1] = c;
  return 0;
}

int TextBufEndsWithNewline(const TextBuffer* tb) {
  return (tb && tb->length > 0 && tb->data[tb->length - 1] == 0x000A) ? 1 : 0;
}

int TextBufAppendWideEx(TextBuffer* tb, const WCHAR* text, uint32_t count, bool swap, WCHAR skip) {
  if (!tb || !text) return 0;
  if (count == 0) count = WideStrLen(text);
  if (count == 0) return 0;
  if (InOwnBlock(tb, text)) {
    WCHAR* copy = CopyUnits(text, count);
    if (!copy) return 1;
    const int r = TextBufAppendWideEx(tb, copy, count, swap, skip);
    LocalFree(copy);
    return r;
  }
  int result = 0;
  if (IsGrowable(tb) && TextBufEnsureRoom(tb, count) != 0) result = 1;
  for (uint32_t i = 0; i < count; ++i) {
    WCHAR u = swap ? Swap16(text[i]) : text[i];
    if (skip != 0 && (u == skip || (skip == 0x000A && u == 0x000D))) continue;
    if (static_cast<uint64_t>(tb->length) + 1 >= tb->capacity) break;  // keep the terminator's room
    tb->data[tb->length++] = u;
  }
  return result;
}

int TextBufAppendWide(TextBuffer* tb, const WCHAR* text, uint32_t count) {
  return TextBufAppendWideEx(tb, text, count, false, 0);
}

int TextBufAppendWideOpt(TextBuffer* tb, const WCHAR* text, uint32_t count, bool swap, WCHAR skip) {
  return TextBufAppendWideEx(tb, text, count, swap, skip);
}

int TextBufAppendBytes(TextBuffer* tb, const char* bytes, uint32_t count, bool utf8) {
  if (!tb || !bytes) return 0;
  if (count == 0) count = static_cast<uint32_t>(std::strlen(bytes));
  if (count == 0) return 0;
  if (IsGrowable(tb)) {
    const uint32_t units = utf8 ? Utf8CharCount(bytes, count) : count;
    TextBufEnsureRoom(tb, units + 1);  // one growth up front; the loop copes if it failed
  }
  if (!utf8) {
    for (uint32_t i = 0; i < count; ++i) {
      if (!HasRoom(tb, 1)) return IsGrowable(tb) ? 1 : 0;
      tb->data[tb->length++] = static_cast<WCHAR>(static_cast<int16_t>(static_cast<signed char>(bytes[i])));
    }
    return 0;
  }
  uint32_t pos = 0;
  while (pos < count) {
    WCHAR units[2];
    uint32_t k = 0;
    const uint32_t used = Utf8DecodeChar(bytes + pos, count - pos, units, &k);
    if (used == 0) break;  // incomplete sequence at the end
    pos += used;
    if (k == 0 || (k == 1 && units[0] == 0)) continue;
    if (!AppendWhole(tb, units, k)) return IsGrowable(tb) ? 1 : 0;
  }
  return 0;
}

int TextBufAppendNarrowRaw(TextBuffer* tb, const char* bytes, uint32_t count) {
  return TextBufAppendBytes(tb, bytes, count, false);
}

int TextBufAppendUtf8(TextBuffer* tb, const char* bytes, uint32_t count) {
  return TextBufAppendBytes(tb, bytes, count, true);
}

int TextBufAppendXmlEscaped(TextBuffer* tb, const WCHAR* text, uint32_t count, bool swap, WCHAR skip) {
  if (!tb || !text) return 0;
  if (count == 0) count = WideStrLen(text);
  if (count > 0 && InOwnBlock(tb, text)) {
    WCHAR* copy = CopyUnits(text, count);
    if (!copy) return 1;
    const int r = TextBufAppendXmlEscaped(tb, copy, count, swap, skip);
    LocalFree(copy);
    return r;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const WCHAR u = swap ? Swap16(text[i]) : text[i];
    if (skip != 0 && u == skip) continue;
    if (IsDroppedControl(u) || u == 0xFFFE || u == 0xFFFF) continue;
    if (u >= 0xD800 && u <= 0xDFFF) {
      // A valid pair is a real character; a lone half is not allowed in XML.
      if (u <= 0xDBFF && i + 1 < count) {
        const WCHAR low = swap ? Swap16(text[i + 1]) : text[i + 1];
        if (low >= 0xDC00 && low <= 0xDFFF) {
          const WCHAR pair[2] = {u, low};
          if (!AppendWhole(tb, pair, 2)) return 0;
          ++i;
        }
      }
      continue;
    }
    // An entity goes in whole or not at all, never cut by a full buffer.
    if (const char* entity = XmlEntity(u)) {
      if (!AppendAscii(tb, entity)) return 0;
      continue;
    }
    if (!AppendWhole(tb, &u, 1)) return 0;
  }
  return 0;
}

int TextBufAppendUtf8Xml(TextBuffer* tb, const char* bytes, uint32_t count) {
  if (!tb || !bytes) return 0;
  if (count == 0) count = static_cast<uint32_t>(std::strlen(bytes));
  bool plain = true;
  for (uint32_t i = 0; i < count && plain; ++i) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    if (b > 127 || IsDroppedControl(b) || XmlEntity(b)) plain = false;
  }
  if (plain) return TextBufAppendUtf8(tb, bytes, count);
  const uint32_t units = Utf8CharCount(bytes, count) + 1;
  auto* wide = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(units) * sizeof(WCHAR)));
  if (!wide) return 1;
  uint32_t limit = count;
  const uint32_t written = Utf8ToWide(bytes, wide, units, &limit, nullptr);
  int result = 0;
  if (written > 0) result = TextBufAppendXmlEscaped(tb, wide, written, false, 0);
  LocalFree(wide);
  return result;
}

void TextBufFinish(TextBuffer* tb) {
  if (!tb) return;
  if (tb->length < tb->capacity) {
    tb->data[tb->length] = 0;  // the room every append keeps
  } else if (TextBufEnsureRoom(tb, 1) == 0) {
    tb->data[tb->length] = 0;
  } else if (tb->capacity > 0) {
    tb->length = tb->capacity - 1;
    tb->data[tb->length] = 0;
  }
  if (tb->handle) UnlockMemHandle(tb->handle);
}

int GrowLockedHandle(void** pointer, MemHandle* handle, uint32_t* size, uint32_t n) {
  if (!handle || !size) return 1;
  if (static_cast<uint64_t>(*size) + n > 0xFFFFFFFFu) return 1;
  UnlockMemHandle(handle);
  const int result = ResizeMemHandle(handle, *size + n);
  void* data = LockMemHandle(handle);
  if (pointer) *pointer = data;
  if (result == 0) *size += n;  // a failed resize leaves the old size in force
  return result;
}
