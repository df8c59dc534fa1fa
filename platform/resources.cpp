#include "platform/resources.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/kernel_objects.h"

namespace {

// A type or name: a number, or text compared without case.
struct ResourceId {
  WORD number = 0;
  std::u16string text;  // folded; empty for numbers
};

ResourceId MakeId(LPCWSTR p) {
  ResourceId id;
  if (IS_INTRESOURCE(p)) {
    id.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(p));
  } else {
    id.text = FoldCase(p);
    // "#123" names the number 123.
    if (id.text.size() > 1 && id.text[0] == u'#') {
      DWORD v = 0;
      bool digits = true;
      for (size_t i = 1; i < id.text.size(); ++i) {
        if (id.text[i] < u'0' || id.text[i] > u'9' || v > 0xFFFF) digits = false;
        else v = v * 10 + (id.text[i] - u'0');
      }
      if (digits && v <= 0xFFFF) {
        id.number = static_cast<WORD>(v);
        id.text.clear();
      }
    }
  }
  return id;
}

bool Same(const ResourceId& a, const ResourceId& b) { return a.text == b.text && a.number == b.number; }

struct Resource {
  ResourceId type;
  ResourceId name;
  const void* data;
  DWORD size;
};

struct Table {
  std::mutex mutex;
  std::deque<Resource> resources;  // a deque keeps entries in place as it grows
  std::vector<std::pair<UINT, std::u16string*>> strings;
  std::deque<std::u16string> stringStore;
};

Table& TheTable() {
  static Table* t = new Table;
  return *t;
}

void Register(const ResourceId& type, const ResourceId& name, const void* data, DWORD size) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  for (Resource& r : t.resources) {
    if (Same(r.type, type) && Same(r.name, name)) {
      r.data = data;
      r.size = size;
      return;
    }
  }
  t.resources.push_back(Resource{type, name, data, size});
}

// HRSRC values are index + 1; entries are never removed.
Resource* FromHandle(Table& t, HRSRC h) {
  const ULONG_PTR v = reinterpret_cast<ULONG_PTR>(h);
  if (v == 0 || v > t.resources.size()) return nullptr;
  return &t.resources[v - 1];
}

const HMODULE kProgramModule = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x00400000));

}  // namespace

void RegisterResource(LPCWSTR type, WORD id, const void* data, DWORD size) {
  Register(MakeId(type), MakeId(MAKEINTRESOURCEW(id)), data, size);
}

void RegisterNamedResource(LPCWSTR type, LPCWSTR name, const void* data, DWORD size) {
  Register(MakeId(type), MakeId(name), data, size);
}

void RegisterStringResource(UINT id, LPCWSTR text) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  const std::u16string value = text ? std::u16string(text) : std::u16string();
  for (auto& [sid, s] : t.strings) {
    if (sid == id) {
      // The old text stays allocated: pointers handed out by LoadStringW live on.
      t.stringStore.push_back(value);
      s = &t.stringStore.back();
      return;
    }
  }
  t.stringStore.push_back(value);
  t.strings.emplace_back(id, &t.stringStore.back());
}

HMODULE GetModuleHandleW(LPCWSTR) { return kProgramModule; }

HRSRC FindResourceW(HMODULE, LPCWSTR name, LPCWSTR type) {
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const ResourceId typeId = MakeId(type), nameId = MakeId(name);
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  bool typeFound = false;
  for (size_t i = 0; i < t.resources.size(); ++i) {
    if (!Same(t.resources[i].type, typeId)) continue;
    typeFound = true;
    if (Same(t.resources[i].name, nameId)) return reinterpret_cast<HRSRC>(static_cast<ULONG_PTR>(i + 1));
  }
  SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  Resource* r = FromHandle(t, resource);
  if (!r) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<void*>(r->data);
}

LPVOID LockResource(HGLOBAL loaded) { return loaded; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  Resource* r = FromHandle(t, resource);
  if (!r) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return r->size;
}

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int size) {
  if (!buffer || size < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  const std::u16string* text = nullptr;
  for (const auto& [sid, s] : t.strings)
    if (sid == id) text = s;
  if (!text) {
    if (size > 0) buffer[0] = 0;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  if (size == 0) {
    *reinterpret_cast<LPCWSTR*>(buffer) = text->c_str();
    return static_cast<int>(text->size());
  }
  const int n = static_cast<int>(text->size()) < size - 1 ? static_cast<int>(text->size()) : size - 1;
  std::copy(text->begin(), text->begin() + n, buffer);
  buffer[n] = 0;
  return n;
}
