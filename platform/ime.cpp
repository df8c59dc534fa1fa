// Input-method calls without an input method: recorded for tests.
#include "platform/ime.h"

#include <mutex>

#include "platform/errors.h"

namespace {
std::mutex gMutex;
std::vector<ImeCall>& Calls() {
  static auto* calls = new std::vector<ImeCall>;
  return *calls;
}
struct Context {
  HWND hwnd;
  bool open;
};
std::vector<Context>& Contexts() {
  static auto* contexts = new std::vector<Context>;
  return *contexts;
}

// A context handle is its index + 1, shifted so bit 0 stays clear.
HIMC ContextHandle(size_t index) { return reinterpret_cast<HIMC>((index + 1) << 4); }
Context* FindContext(HIMC h) {
  auto v = reinterpret_cast<std::uintptr_t>(h);
  if (v == 0 || (v & 0xF) != 0) return nullptr;
  size_t index = (v >> 4) - 1;
  return index < Contexts().size() ? &Contexts()[index] : nullptr;
}
void Record(const char* name, HWND hwnd, LONG_PTR value, LONG_PTR data) {
  Calls().push_back(ImeCall{name, hwnd, value, data});
}
}  // namespace

HIMC ImmGetContext(HWND hwnd) {
  std::lock_guard<std::mutex> lk(gMutex);
  Record("ImmGetContext", hwnd, 0, 0);
  if (!hwnd) return nullptr;
  for (size_t i = 0; i < Contexts().size(); ++i)
    if (Contexts()[i].hwnd == hwnd) return ContextHandle(i);
  Contexts().push_back(Context{hwnd, false});
  return ContextHandle(Contexts().size() - 1);
}

BOOL ImmReleaseContext(HWND hwnd, HIMC context) {
  std::lock_guard<std::mutex> lk(gMutex);
  Record("ImmReleaseContext", hwnd, 0, 0);
  return FindContext(context) ? TRUE : FALSE;
}

BOOL ImmSetOpenStatus(HIMC context, BOOL open) {
  std::lock_guard<std::mutex> lk(gMutex);
  Context* c = FindContext(context);
  Record("ImmSetOpenStatus", c ? c->hwnd : nullptr, open, 0);
  if (!c) return FALSE;
  c->open = open != 0;
  return TRUE;
}

BOOL ImmGetOpenStatus(HIMC context) {
  std::lock_guard<std::mutex> lk(gMutex);
  Context* c = FindContext(context);
  return c && c->open;
}

LRESULT ImmEscapeW(HKL, HIMC context, UINT escape, LPVOID data) {
  std::lock_guard<std::mutex> lk(gMutex);
  Context* c = FindContext(context);
  Record("ImmEscapeW", c ? c->hwnd : nullptr, static_cast<LONG_PTR>(escape), reinterpret_cast<LONG_PTR>(data));
  return 0;
}

UINT ImmGetVirtualKey(HWND hwnd) {
  std::lock_guard<std::mutex> lk(gMutex);
  Record("ImmGetVirtualKey", hwnd, 0, 0);
  return 0;
}

std::vector<ImeCall> GetImeCalls() {
  std::lock_guard<std::mutex> lk(gMutex);
  return Calls();
}

void ClearImeCalls() {
  std::lock_guard<std::mutex> lk(gMutex);
  Calls().clear();
}
