#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_paths.h"
#include "platform/device_paths_internal.h"
#include "platform/errors.h"
#include "platform/kernel_objects.h"

// Store file layout (all numbers little-endian):
//   0  8  magic "SRVREG01"
//   8  4  payload length
//  12  4  CRC-32 of the payload
//  16  payload: u32 key count, then per key
//        u16 path length (UTF-16 units), path units (root key name first,
//        e.g. "HKLM\Software\Sorvi"), u32 value count, then per value
//        u16 name length, name units, u32 type, u32 data length, data bytes.

namespace {

constexpr char kMagic[8] = {'S', 'R', 'V', 'R', 'E', 'G', '0', '1'};

struct Value {
  std::u16string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  std::u16string path;                    // as first created
  std::map<std::u16string, Value> values;  // by folded name
};

struct OpenKey {
  std::u16string folded;  // folded path of the key
  DWORD generation = 1;
  bool used = false;
};

struct Store {
  std::mutex mutex;
  bool loaded = false;
  std::string root;                      // device root the store belongs to
  std::map<std::u16string, Key> keys;    // by folded path
  bool dirty = false;
  std::vector<OpenKey> handles;
  // Set when a damaged store could not be set aside: it stays untouched on
  // disk and this session keeps its settings in memory only.
  bool memoryOnly = false;
  bool failAll = false;
  std::u16string failPath;               // folded; empty = none
  LONG failError = 0;
  std::u16string readFailName;  // folded
  LONG readFailError = 0;
};

Store& TheStore() {
  static Store* store = new Store;
  return *store;
}

// --- Encoding ---

DWORD Crc32(const BYTE* data, size_t n) {
  static DWORD table[256];
  static bool ready = false;
  if (!ready) {
    for (DWORD i = 0; i < 256; ++i) {
      DWORD c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  DWORD c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PutU16(std::vector<BYTE>* b, WORD v) {
  b->push_back(static_cast<BYTE>(v));
  b->push_back(static_cast<BYTE>(v >> 8));
}
void PutU32(std::vector<BYTE>* b, DWORD v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<BYTE>(v >> (8 * i)));
}
void PutText(std::vector<BYTE>* b, const std::u16string& s) {
  PutU16(b, static_cast<WORD>(s.size()));
  for (char16_t c : s) PutU16(b, c);
}
DWORD GetU32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
         (static_cast<DWORD>(p[3]) << 24);
}

struct Reader {
  const BYTE* p;
  size_t left;
  bool U16(WORD* v) {
    if (left < 2) return false;
    *v = static_cast<WORD>(p[0] | (p[1] << 8));
    p += 2;
    left -= 2;
    return true;
  }
  bool U32(DWORD* v) {
    if (left < 4) return false;
    *v = GetU32(p);
    p += 4;
    left -= 4;
    return true;
  }
  bool Text(std::u16string* s) {
    WORD n;
    if (!U16(&n) || left < 2u * n) return false;
    s->clear();
    for (WORD i = 0; i < n; ++i) s->push_back(static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
    p += 2u * n;
    left -= 2u * n;
    return true;
  }
};

std::vector<BYTE> Encode(const Store& s) {
  std::vector<BYTE> payload;
  PutU32(&payload, static_cast<DWORD>(s.keys.size()));
  for (const auto& [folded, key] : s.keys) {
    PutText(&payload, key.path);
    PutU32(&payload, static_cast<DWORD>(key.values.size()));
    for (const auto& [vf, value] : key.values) {
      PutText(&payload, value.name);
      PutU32(&payload, value.type);
      PutU32(&payload, static_cast<DWORD>(value.data.size()));
      payload.insert(payload.end(), value.data.begin(), value.data.end());
    }
  }
  std::vector<BYTE> file(kMagic, kMagic + 8);
  PutU32(&file, static_cast<DWORD>(payload.size()));
  PutU32(&file, Crc32(payload.data(), payload.size()));
  file.insert(file.end(), payload.begin(), payload.end());
  return file;
}

bool Decode(const std::vector<BYTE>& file, std::map<std::u16string, Key>* keys) {
  if (file.size() < 16 || std::memcmp(file.data(), kMagic, 8) != 0) return false;
  const DWORD length = GetU32(file.data() + 8);
  if (length != file.size() - 16 || Crc32(file.data() + 16, length) != GetU32(file.data() + 12)) return false;
  Reader r{file.data() + 16, length};
  DWORD keyCount;
  if (!r.U32(&keyCount)) return false;
  for (DWORD k = 0; k < keyCount; ++k) {
    Key key;
    DWORD valueCount;
    if (!r.Text(&key.path) || key.path.empty() || !r.U32(&valueCount)) return false;
    for (DWORD v = 0; v < valueCount; ++v) {
      Value value;
      DWORD size;
      if (!r.Text(&value.name) || !r.U32(&value.type) || !r.U32(&size) || r.left < size) return false;
      value.data.assign(r.p, r.p + size);
      r.p += size;
      r.left -= size;
      // RegSetValueExW accepts a DWORD of 4 bytes only; one of another size
      // reads as absent rather than as a number cut short.
      if (value.type == REG_DWORD && size != 4) continue;
      key.values[FoldCase(value.name)] = std::move(value);
    }
    (*keys)[FoldCase(key.path)] = std::move(key);
  }
  return r.left == 0;
}

// --- Files ---

std::string StorePath(const std::string& root) { return root + "/" SORVI_REGISTRY_FILE; }

// The largest store file that is read. The program keeps settings and a few
// short saved records there (well under a megabyte even with full recent
// lists); the cap bounds the memory a damaged or hostile file can take while
// leaving room for many times the real size.
constexpr off_t kMaxStoreBytes = 16 << 20;

// Reads the store file. Only a regular file is read (a FIFO, device or
// folder in its place would block or never end), and only up to
// kMaxStoreBytes; anything else is unreadable (false, *missing false).
bool ReadStoreFile(const std::string& path, std::vector<BYTE>* out, bool* missing) {
  *missing = false;
  // O_NONBLOCK so that opening a FIFO returns at once; fstat then refuses it.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *missing = errno == ENOENT;
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxStoreBytes) {
    close(fd);
    return false;
  }
  // One byte more than the size fstat gave shows a file that grows while it
  // is read; the decoder refuses it by its length.
  out->resize(static_cast<size_t>(st.st_size) + 1);
  size_t done = 0;
  while (done < out->size()) {
    const ssize_t n = read(fd, out->data() + done, out->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  out->resize(done);
  return true;
}

// Writes the file next to the store, syncs it and renames it over the store,
// so readers see the old or the new store and never a part of one.
bool WriteAtomically(const std::string& root, const std::vector<BYTE>& bytes) {
  const std::string final = StorePath(root);
  const std::string temp = final + ".tmp." + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      unlink(temp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0 || rename(temp.c_str(), final.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  const int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

// Temporary files of writers that died before their rename.
void RemoveStaleTemporaries(const std::string& root) {
  std::vector<std::string> names;
  if (!ListHostFolder(root, &names)) return;
  const std::string prefix = SORVI_REGISTRY_FILE ".tmp.";
  for (const std::string& n : names) {
    if (n.compare(0, prefix.size(), prefix) != 0) continue;
    const long pid = std::strtol(n.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
      unlink((root + "/" + n).c_str());
  }
}

bool Save(Store& s) {
  if (s.memoryOnly) return true;
  const std::vector<BYTE> bytes = Encode(s);
  // A store the next load would refuse is not written.
  if (bytes.size() > static_cast<size_t>(kMaxStoreBytes) || !WriteAtomically(s.root, bytes)) return false;
  s.dirty = false;
  return true;
}

// Loads the store of the current device root when it is not loaded yet.
void EnsureLoaded(Store& s) {
  const std::string root = EnsureDeviceRoot();
  if (s.loaded && s.root == root) return;
  s.keys.clear();
  s.dirty = false;
  s.root = root;
  s.loaded = true;
  s.memoryOnly = false;
  for (OpenKey& h : s.handles) {
    if (h.used) {
      h.used = false;
      ++h.generation;
    }
  }
  RemoveStaleTemporaries(root);
  std::vector<BYTE> bytes;
  bool missing;
  if (ReadStoreFile(StorePath(root), &bytes, &missing)) {
    std::map<std::u16string, Key> keys;
    if (Decode(bytes, &keys)) {
      s.keys = std::move(keys);
      return;
    }
  } else if (missing) {
    return;
  }
  // Unreadable or corrupt: keep it aside for inspection and start empty. When
  // it cannot be set aside (say "registry.dat.bad" is a folder), it stays
  // where it is and this session runs on an empty store in memory, so
  // nothing the user had is overwritten.
  if (std::rename(StorePath(root).c_str(), (StorePath(root) + ".bad").c_str()) != 0) {
    s.memoryOnly = true;
    return;
  }
  Save(s);
}

// --- Keys and handles ---

const char16_t* RootName(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return u"HKLM";
  if (key == HKEY_CURRENT_USER) return u"HKCU";
  if (key == HKEY_CLASSES_ROOT) return u"HKCR";
  if (key == HKEY_USERS) return u"HKU";
  return nullptr;
}

// Folded path of an open key (or root), else false.
bool KeyPath(Store& s, HKEY key, std::u16string* path) {
  if (const char16_t* root = RootName(key)) {
    *path = FoldCase(root);
    return true;
  }
  const ULONGLONG v = reinterpret_cast<ULONG_PTR>(key);
  const DWORD index = static_cast<DWORD>(v & 0xFFFFFFFFu);
  const DWORD generation = static_cast<DWORD>(v >> 32);
  if (index == 0 || index > s.handles.size()) return false;
  const OpenKey& h = s.handles[index - 1];
  if (!h.used || h.generation != generation) return false;
  *path = h.folded;
  return true;
}

HKEY NewHandle(Store& s, const std::u16string& folded) {
  size_t i = 0;
  while (i < s.handles.size() && s.handles[i].used) ++i;
  if (i == s.handles.size()) s.handles.emplace_back();
  OpenKey& h = s.handles[i];
  h.used = true;
  h.folded = folded;
  // Generation in the high half keeps ids clear of the predefined root keys.
  const ULONGLONG v = (static_cast<ULONGLONG>(h.generation) << 32) | (i + 1);
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(v));
}

// Splits "a\\b\\c" into names; false for an empty name inside the path.
bool SplitKeyPath(LPCWSTR subKey, std::vector<std::u16string>* names) {
  if (!subKey) return true;
  std::u16string current;
  for (LPCWSTR p = subKey;; ++p) {
    if (*p == 0 || *p == u'\\') {
      if (!current.empty()) names->push_back(current);
      else if (*p == u'\\' && p != subKey && p[1] != 0) return false;
      current.clear();
      if (*p == 0) break;
    } else {
      current.push_back(*p);
    }
  }
  for (const std::u16string& n : *names)
    if (n.size() > 255) return false;
  return true;
}

LONG OpenOrCreate(HKEY parent, LPCWSTR subKey, bool create, PHKEY result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  EnsureLoaded(s);
  std::u16string path;
  if (!KeyPath(s, parent, &path)) return ERROR_INVALID_HANDLE;
  std::vector<std::u16string> names;
  if (!SplitKeyPath(subKey, &names)) return ERROR_BADKEY;
  // Paths keep the case of their first creation; lookups fold.
  std::u16string original = path;
  if (auto it = s.keys.find(path); it != s.keys.end()) original = it->second.path;
  else if (const char16_t* root = RootName(parent)) original = root;
  std::u16string below;  // path under the root key, for the failure hook
  {
    const size_t slash = path.find(u'\\');
    if (slash != std::u16string::npos) below = path.substr(slash + 1);
  }
  for (const std::u16string& n : names) {
    below += (below.empty() ? u"" : u"\\") + FoldCase(n);
  }
  if (s.failError != 0 && (s.failAll || below == s.failPath)) return s.failError;
  bool createdAny = false;
  bool missingParent = !RootName(parent) && s.keys.find(path) == s.keys.end();
  if (missingParent) return ERROR_KEY_DELETED;
  for (const std::u16string& n : names) {
    path += u"\\" + FoldCase(n);
    auto it = s.keys.find(path);
    if (it == s.keys.end()) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      Key key;
      key.path = original + u"\\" + n;
      it = s.keys.emplace(path, std::move(key)).first;
      createdAny = true;
    }
    original = it->second.path;
  }
  if (disposition) *disposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  if (createdAny) {
    s.dirty = true;
    if (!Save(s)) return ERROR_CANTWRITE;
  }
  *result = NewHandle(s, path);
  return ERROR_SUCCESS;
}

// The key record behind an open handle; null with *error set.
Key* FindKey(Store& s, HKEY key, LONG* error) {
  EnsureLoaded(s);
  std::u16string path;
  if (!KeyPath(s, key, &path)) {
    *error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  auto it = s.keys.find(path);
  if (it == s.keys.end()) {
    if (const char16_t* root = RootName(key)) {
      Key k;
      k.path = root;
      it = s.keys.emplace(path, std::move(k)).first;
    } else {
      *error = ERROR_KEY_DELETED;
      return nullptr;
    }
  }
  return &it->second;
}

std::u16string ValueName(LPCWSTR name) { return name ? std::u16string(name) : std::u16string(); }

}  // namespace

LONG RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     DWORD* disposition) {
  return OpenOrCreate(parent, subKey, true, result, disposition);
}

LONG RegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  return OpenOrCreate(parent, subKey, false, result, nullptr);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  LONG error;
  Key* k = FindKey(s, key, &error);
  if (!k) return error;
  const std::u16string folded = FoldCase(ValueName(name));
  auto it = k->values.find(folded);
  if (it == k->values.end()) return ERROR_FILE_NOT_FOUND;
  if (data && s.readFailError != 0 && folded == s.readFailName) return s.readFailError;
  const Value& v = it->second;
  if (type) *type = v.type;
  const DWORD needed = static_cast<DWORD>(v.data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, v.data.data(), needed);
  }
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if ((!data && size > 0) || (type == REG_DWORD && size != 4) || WideLength(name) > 255) return ERROR_INVALID_PARAMETER;
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  LONG error;
  Key* k = FindKey(s, key, &error);
  if (!k) return error;
  Value v;
  v.name = ValueName(name);
  v.type = type;
  if (size) v.data.assign(data, data + size);
  const std::u16string folded = FoldCase(v.name);
  // A value that cannot be saved is taken back, so memory and file agree.
  std::optional<Value> old;
  if (auto it = k->values.find(folded); it != k->values.end()) old = std::move(it->second);
  k->values[folded] = std::move(v);
  s.dirty = true;
  if (Save(s)) return ERROR_SUCCESS;
  if (old) k->values[folded] = std::move(*old);
  else k->values.erase(folded);
  return ERROR_CANTWRITE;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  LONG error;
  Key* k = FindKey(s, key, &error);
  if (!k) return error;
  if (k->values.erase(FoldCase(ValueName(name))) == 0) return ERROR_FILE_NOT_FOUND;
  s.dirty = true;
  return Save(s) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG RegDeleteKeyW(HKEY parent, LPCWSTR subKey) {
  if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  EnsureLoaded(s);
  std::u16string path;
  if (!KeyPath(s, parent, &path)) return ERROR_INVALID_HANDLE;
  std::vector<std::u16string> names;
  if (!SplitKeyPath(subKey, &names) || names.empty()) return ERROR_BADKEY;
  for (const std::u16string& n : names) path += u"\\" + FoldCase(n);
  auto it = s.keys.find(path);
  if (it == s.keys.end()) return ERROR_FILE_NOT_FOUND;
  const std::u16string prefix = path + u"\\";
  auto next = std::next(it);
  if (next != s.keys.end() && next->first.compare(0, prefix.size(), prefix) == 0) return ERROR_ACCESS_DENIED;
  s.keys.erase(it);
  s.dirty = true;
  return Save(s) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG RegFlushKey(HKEY key) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  LONG error;
  if (!FindKey(s, key, &error)) return error;
  if (s.dirty && !Save(s)) return ERROR_CANTWRITE;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (RootName(key)) return ERROR_SUCCESS;
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  std::u16string path;
  if (!KeyPath(s, key, &path)) return ERROR_INVALID_HANDLE;
  OpenKey& h = s.handles[(reinterpret_cast<ULONG_PTR>(key) & 0xFFFFFFFFu) - 1];
  h.used = false;
  h.generation = h.generation >= 0x7FFFFFFFu ? 1 : h.generation + 1;
  return ERROR_SUCCESS;
}

void ReloadRegistryForTests() {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.loaded = false;
}

void SetRegistryOpenFailure(LPCWSTR subKeyPath, LONG error) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.failError = error;
  s.failAll = subKeyPath == nullptr;
  std::u16string path;
  std::vector<std::u16string> names;
  SplitKeyPath(subKeyPath, &names);
  for (const std::u16string& n : names) path += (path.empty() ? u"" : u"\\") + FoldCase(n);
  s.failPath = path;
}

void SetRegistryReadFailure(LPCWSTR valueName, LONG error) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.readFailError = error;
  s.readFailName = FoldCase(ValueName(valueName));
}
