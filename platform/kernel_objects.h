// Internal: the table behind kernel object handles (files, finds, threads,
// events, file mappings). Objects are shared so that a call in progress keeps
// its object alive while another thread closes the handle.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/types.h"

enum class KernelKind { File, Find, Thread, Event, FileMapping };

struct KernelObject {
  explicit KernelObject(KernelKind k) : kind(k) {}
  virtual ~KernelObject() = default;
  KernelKind kind;
};

// A new handle for `object`; null when the table is full.
HANDLE KernelHandleCreate(std::shared_ptr<KernelObject> object);
// The object behind a live handle of that kind, else null.
std::shared_ptr<KernelObject> KernelHandleGet(HANDLE handle, KernelKind kind);
// Removes a live handle of that kind; returns its object (null when stale).
std::shared_ptr<KernelObject> KernelHandleRemove(HANDLE handle, KernelKind kind);
// Kind of a live handle; FALSE when the handle is stale or foreign.
BOOL KernelHandleKind(HANDLE handle, KernelKind* kind);

// Case folding of one UTF-16 unit for name comparisons (Latin, Greek,
// Cyrillic); enough for file, key and resource names.
char16_t FoldCaseUnit(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
int CompareIgnoreCase(std::u16string_view a, std::u16string_view b);
std::u16string FoldCase(std::u16string_view text);
