#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <vector>

#include "platform/device_paths.h"
#include "platform/device_paths_internal.h"
#include "platform/errors.h"
#include "platform/kernel_objects.h"

namespace {

// --- Error injection ---

struct Injection {
  bool active = false;
  DWORD skip = 0;
  DWORD error = 0;
  DWORD times = 0;
};

std::mutex g_injectMutex;
Injection g_inject[static_cast<int>(FileCall::Count)];
std::atomic<bool> g_anyInjection{false};

// TRUE (with the last error set) when this call of `call` is to fail.
bool Injected(FileCall call) {
  if (!g_anyInjection.load(std::memory_order_relaxed)) return false;
  std::lock_guard lock(g_injectMutex);
  Injection& in = g_inject[static_cast<int>(call)];
  if (!in.active) return false;
  if (in.skip > 0) {
    --in.skip;
    return false;
  }
  const DWORD error = in.error;
  if (--in.times == 0) in.active = false;
  SetLastError(error);
  return true;
}

// --- Sharing between handles of this process ---

struct FileId {
  dev_t dev;
  ino_t ino;
  bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

struct OpenRecord {
  DWORD access;
  DWORD share;
};

std::mutex g_shareMutex;
std::multimap<FileId, OpenRecord> g_opens;
std::atomic<DWORD> g_openFiles{0};

bool Reads(DWORD access) { return access & (GENERIC_READ | GENERIC_ALL); }
bool Writes(DWORD access) { return access & (GENERIC_WRITE | GENERIC_ALL); }

bool Conflicts(DWORD access, DWORD share, const OpenRecord& other) {
  if (Reads(access) && !(other.share & FILE_SHARE_READ)) return true;
  if (Writes(access) && !(other.share & FILE_SHARE_WRITE)) return true;
  if (Reads(other.access) && !(share & FILE_SHARE_READ)) return true;
  if (Writes(other.access) && !(share & FILE_SHARE_WRITE)) return true;
  return false;
}

// TRUE when some open handle of the file does not allow deleting/renaming it.
bool DeleteBlocked(const std::string& host) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return false;
  std::lock_guard lock(g_shareMutex);
  auto range = g_opens.equal_range(FileId{st.st_dev, st.st_ino});
  for (auto it = range.first; it != range.second; ++it)
    if (!(it->second.share & FILE_SHARE_DELETE)) return true;
  return false;
}

struct FileObject : KernelObject {
  FileObject() : KernelObject(KernelKind::File) {}
  ~FileObject() override {
    if (registered) {
      std::lock_guard lock(g_shareMutex);
      auto range = g_opens.equal_range(id);
      for (auto it = range.first; it != range.second; ++it) {
        if (it->second.access == record.access && it->second.share == record.share) {
          g_opens.erase(it);
          break;
        }
      }
    }
    if (fd >= 0) {
      close(fd);
      --g_openFiles;
    }
  }
  int fd = -1;
  DWORD access = 0;
  // The handle's file pointer, kept here rather than in the descriptor:
  // reads and writes go to it with pread/pwrite, so moving it (SetFilePointer
  // before each read of a data file's block) costs no system call.
  std::atomic<LONGLONG> position{0};
  FileId id{};
  OpenRecord record{};
  bool registered = false;
};

std::shared_ptr<FileObject> GetFile(HANDLE h) {
  auto object = KernelHandleGet(h, KernelKind::File);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return std::static_pointer_cast<FileObject>(object);
}

// --- Host metadata ---

FILETIME ToFileTime(const timespec& ts) {
  const ULONGLONG v = static_cast<ULONGLONG>(static_cast<LONGLONG>(ts.tv_sec) * 10000000LL + ts.tv_nsec / 100) +
                      116444736000000000ull;
  return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

DWORD Attributes(const struct stat& st) {
  DWORD a = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
  return a;
}

void FillAttributeData(const struct stat& st, WIN32_FILE_ATTRIBUTE_DATA* d) {
  d->dwFileAttributes = Attributes(st);
  d->ftLastWriteTime = ToFileTime(st.st_mtim);
  d->ftCreationTime = d->ftLastWriteTime;
  d->ftLastAccessTime = ToFileTime(st.st_atim);
  const ULONGLONG size = S_ISDIR(st.st_mode) ? 0 : static_cast<ULONGLONG>(st.st_size);
  d->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  d->nFileSizeLow = static_cast<DWORD>(size);
}

bool CopyName(const std::u16string& name, WCHAR* out) {
  if (name.empty() || name.size() >= MAX_PATH) return false;
  std::copy(name.begin(), name.end(), out);
  out[name.size()] = 0;
  return true;
}

// Resolves `path` to an existing entry (folder links count as missing).
bool ResolveExisting(LPCWSTR path, ResolvedPath* r) {
  if (!ResolveDevicePath(path, r)) return false;
  if (r->kind == HostEntryKind::Missing || r->kind == HostEntryKind::FolderLink) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  return true;
}

// --- Wildcards ---

bool HasWildcards(std::u16string_view s) { return s.find_first_of(u"*?") != std::u16string_view::npos; }

bool Matches(std::u16string_view pattern, std::u16string_view name) {
  // "*.*" matches names without a dot too, as on the device.
  if (pattern == u"*.*") return true;
  size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || FoldCaseUnit(pattern[p]) == FoldCaseUnit(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

struct FindObject : KernelObject {
  FindObject() : KernelObject(KernelKind::Find) {}
  std::vector<WIN32_FIND_DATAW> entries;
  size_t next = 0;
};

bool FillFindData(const std::string& host, const std::u16string& name, WIN32_FIND_DATAW* d) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return false;
  WIN32_FILE_ATTRIBUTE_DATA a;
  FillAttributeData(st, &a);
  *d = WIN32_FIND_DATAW{};
  d->dwFileAttributes = a.dwFileAttributes;
  d->ftCreationTime = a.ftCreationTime;
  d->ftLastAccessTime = a.ftLastAccessTime;
  d->ftLastWriteTime = a.ftLastWriteTime;
  d->nFileSizeHigh = a.nFileSizeHigh;
  d->nFileSizeLow = a.nFileSizeLow;
  return CopyName(name, d->cFileName);
}

// Copies a host file to a new host file; on failure nothing is left behind.
bool CopyHostFile(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    SetLastError(ErrorFromErrno(errno));
    close(in);
    return false;
  }
  std::vector<BYTE> buffer(64 * 1024);
  bool ok = true;
  for (;;) {
    ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) ok = false;
      else done += w;
    }
    if (!ok) break;
  }
  if (!ok) SetLastError(ErrorFromErrno(errno));
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok) unlink(to.c_str());
  return ok;
}

HANDLE FindFirst(LPCWSTR pattern, WIN32_FIND_DATAW* data, bool foldersOnly) {
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (Injected(FileCall::FindFirstFile)) return INVALID_HANDLE_VALUE;
  std::u16string folder, last;
  SplitDevicePath(pattern, &folder, &last);
  auto find = std::make_shared<FindObject>();
  if (!HasWildcards(last)) {
    ResolvedPath r;
    if (!ResolveExisting(pattern, &r)) return INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW d;
    // The root has no name of its own to report.
    if (r.isRoot || !FillFindData(r.host, r.lastName, &d)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    if (!foldersOnly || (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) find->entries.push_back(d);
  } else {
    ResolvedPath r;
    const std::u16string folderPath = folder.empty() ? std::u16string(u"\\") : folder;
    if (!ResolveDevicePath(folderPath.c_str(), &r) || r.kind != HostEntryKind::Folder) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> names;
    if (!ListHostFolder(r.host, &names)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    for (const std::string& n : names) {
      const std::u16string wide = Utf8ToUtf16(n);
      // Names that do not survive the round trip could not be opened again.
      if (Utf16ToUtf8(wide) != n || !Matches(last, wide)) continue;
      const std::string host = r.host + "/" + n;
      const HostEntryKind kind = HostKind(host);
      if (kind == HostEntryKind::Missing || kind == HostEntryKind::FolderLink) continue;
      if (foldersOnly && kind != HostEntryKind::Folder) continue;
      WIN32_FIND_DATAW d;
      if (FillFindData(host, wide, &d)) find->entries.push_back(d);
    }
    std::sort(find->entries.begin(), find->entries.end(), [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
      const std::u16string_view x(a.cFileName), y(b.cFileName);
      const int c = CompareIgnoreCase(x, y);
      return c != 0 ? c < 0 : x < y;
    });
  }
  if (find->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = find->entries[0];
  find->next = 1;
  HANDLE h = KernelHandleCreate(find);
  if (!h) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return h;
}

}  // namespace

void InjectFileError(FileCall call, DWORD nth, DWORD error, DWORD times) {
  if (call >= FileCall::Count) return;
  std::lock_guard lock(g_injectMutex);
  Injection& in = g_inject[static_cast<int>(call)];
  in.active = times > 0;
  in.skip = nth > 0 ? nth - 1 : 0;
  in.error = error;
  in.times = times;
  g_anyInjection = true;
}

void ClearFileErrorInjection() {
  std::lock_guard lock(g_injectMutex);
  for (Injection& in : g_inject) in = Injection();
  g_anyInjection = false;
}

DWORD GetOpenFileHandleCount() { return g_openFiles.load(); }

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE) {
  if (Injected(FileCall::CreateFile)) return INVALID_HANDLE_VALUE;
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
      (disposition == TRUNCATE_EXISTING && !Writes(access))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  ResolvedPath r;
  if (!ResolveDevicePath(path, &r)) return INVALID_HANDLE_VALUE;
  if (r.kind == HostEntryKind::Folder || r.kind == HostEntryKind::FolderLink) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const bool existed = r.kind == HostEntryKind::File;
  if (existed && disposition == CREATE_NEW) {
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  int flags = O_CLOEXEC;
  if (Reads(access) && Writes(access)) flags |= O_RDWR;
  else if (Writes(access)) flags |= O_WRONLY;
  else flags |= O_RDONLY;
  if (!existed) flags |= O_CREAT | O_EXCL;
  const int fd = open(r.host.c_str(), flags, 0644);
  if (fd < 0) {
    const int err = errno;
    SetLastError(err == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(err));
    return INVALID_HANDLE_VALUE;
  }
  auto file = std::make_shared<FileObject>();
  file->fd = fd;
  ++g_openFiles;
  file->access = access;
  struct stat st;
  fstat(fd, &st);
  file->id = FileId{st.st_dev, st.st_ino};
  file->record = OpenRecord{access, shareMode};
  {
    std::lock_guard lock(g_shareMutex);
    auto range = g_opens.equal_range(file->id);
    for (auto it = range.first; it != range.second; ++it) {
      if (Conflicts(access, shareMode, it->second)) {
        if (!existed) unlink(r.host.c_str());
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;  // file closes the descriptor
      }
    }
    g_opens.emplace(file->id, file->record);
    file->registered = true;
  }
  if (existed && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) && ftruncate(fd, 0) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  if (flagsAndAttributes & FILE_FLAG_RANDOM_ACCESS) posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  HANDLE h = KernelHandleCreate(file);
  if (!h) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                         : ERROR_SUCCESS);
  return h;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, LPOVERLAPPED overlapped) {
  if (read) *read = 0;
  if (Injected(FileCall::ReadFile)) return FALSE;
  auto f = GetFile(file);
  if (!f) return FALSE;
  if (overlapped || (!buffer && toRead > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!Reads(f->access)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const LONGLONG from = f->position;
  DWORD done = 0;
  while (done < toRead) {
    const ssize_t n = ::pread(f->fd, static_cast<BYTE*>(buffer) + done, toRead - done, from + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastError(ErrorFromErrno(errno));
      f->position = from + done;
      if (read) *read = done;
      return FALSE;
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  f->position = from + done;
  if (read) *read = done;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, LPOVERLAPPED overlapped) {
  if (written) *written = 0;
  if (Injected(FileCall::WriteFile)) return FALSE;
  auto f = GetFile(file);
  if (!f) return FALSE;
  if (overlapped || (!buffer && toWrite > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!Writes(f->access)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const LONGLONG from = f->position;
  DWORD done = 0;
  while (done < toWrite) {
    const ssize_t n = ::pwrite(f->fd, static_cast<const BYTE*>(buffer) + done, toWrite - done, from + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastError(ErrorFromErrno(errno));
      f->position = from + done;
      if (written) *written = done;
      return FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  f->position = from + done;
  if (written) *written = done;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  if (Injected(FileCall::SetFilePointer)) return INVALID_SET_FILE_POINTER;
  auto f = GetFile(file);
  if (!f) return INVALID_SET_FILE_POINTER;
  LONGLONG move = distanceHigh ? static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*distanceHigh))
                                                        << 32) |
                                                       static_cast<DWORD>(distance))
                               : static_cast<LONGLONG>(distance);
  LONGLONG base;
  if (method == FILE_BEGIN) {
    base = 0;
  } else if (method == FILE_CURRENT) {
    base = f->position;
  } else if (method == FILE_END) {
    struct stat st;
    base = fstat(f->fd, &st) == 0 ? st.st_size : -1;
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (base < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  const LONGLONG target = base + move;
  // Without a high part the position must fit the 32-bit result.
  if (target < 0 || (!distanceHigh && target > 0xFFFFFFFELL)) {
    SetLastError(target < 0 ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  f->position = target;
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<ULONGLONG>(target) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) {
  if (Injected(FileCall::GetFileSize)) return INVALID_FILE_SIZE;
  auto f = GetFile(file);
  if (!f) return INVALID_FILE_SIZE;
  struct stat st;
  if (fstat(f->fd, &st) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_FILE_SIZE;
  }
  const ULONGLONG size = static_cast<ULONGLONG>(st.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL SetEndOfFile(HANDLE file) {
  auto f = GetFile(file);
  if (!f) return FALSE;
  const off_t pos = static_cast<off_t>(f->position);
  if (!Writes(f->access)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (pos < 0 || ftruncate(f->fd, pos) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  auto f = GetFile(file);
  if (!f) return FALSE;
  if (fsync(f->fd) != 0 && errno != EINVAL) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  if (Injected(FileCall::GetFileInformation)) return FALSE;
  auto f = GetFile(file);
  if (!f) return FALSE;
  struct stat st;
  if (!info || fstat(f->fd, &st) != 0) {
    SetLastError(info ? ErrorFromErrno(errno) : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WIN32_FILE_ATTRIBUTE_DATA a;
  FillAttributeData(st, &a);
  *info = BY_HANDLE_FILE_INFORMATION{};
  info->dwFileAttributes = a.dwFileAttributes;
  info->ftCreationTime = a.ftCreationTime;
  info->ftLastAccessTime = a.ftLastAccessTime;
  info->ftLastWriteTime = a.ftLastWriteTime;
  info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
  info->nFileSizeHigh = a.nFileSizeHigh;
  info->nFileSizeLow = a.nFileSizeLow;
  info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  info->nFileIndexHigh = static_cast<DWORD>(static_cast<ULONGLONG>(st.st_ino) >> 32);
  info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
  return TRUE;
}

BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
  if (Injected(FileCall::GetFileAttributes)) return FALSE;
  if (level != GetFileExInfoStandard || !info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ResolvedPath r;
  if (!ResolveExisting(path, &r)) return FALSE;
  struct stat st;
  if (stat(r.host.c_str(), &st) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  FillAttributeData(st, static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(info));
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &d)) return INVALID_FILE_ATTRIBUTES;
  return d.dwFileAttributes;
}

BOOL DeleteFileW(LPCWSTR path) {
  if (Injected(FileCall::DeleteFile)) return FALSE;
  ResolvedPath r;
  if (!ResolveExisting(path, &r)) return FALSE;
  if (r.kind != HostEntryKind::File) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (DeleteBlocked(r.host)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (unlink(r.host.c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  if (Injected(FileCall::CreateDirectory)) return FALSE;
  ResolvedPath r;
  if (!ResolveDevicePath(path, &r)) return FALSE;
  if (r.kind != HostEntryKind::Missing) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (mkdir(r.host.c_str(), 0755) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR path) {
  ResolvedPath r;
  if (!ResolveExisting(path, &r)) return FALSE;
  if (r.isRoot || r.kind != HostEntryKind::Folder) {
    SetLastError(r.isRoot ? ERROR_ACCESS_DENIED : ERROR_DIRECTORY);
    return FALSE;
  }
  if (rmdir(r.host.c_str()) != 0) {
    SetLastError(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to) {
  if (Injected(FileCall::MoveFile)) return FALSE;
  ResolvedPath a, b;
  if (!ResolveExisting(from, &a) || !ResolveDevicePath(to, &b)) return FALSE;
  if (a.isRoot) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::string target = b.host;
  if (b.kind != HostEntryKind::Missing) {
    // Changing only the case of a name is a rename of the same entry.
    struct stat sa, sb;
    if (stat(a.host.c_str(), &sa) != 0 || stat(b.host.c_str(), &sb) != 0 || sa.st_ino != sb.st_ino ||
        sa.st_dev != sb.st_dev) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
    std::u16string folder, last;
    SplitDevicePath(to, &folder, &last);
    target = b.parentHost + "/" + Utf16ToUtf8(last);
  }
  if (a.kind == HostEntryKind::File && DeleteBlocked(a.host)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  // A folder cannot move into itself.
  if (a.kind == HostEntryKind::Folder && target.compare(0, a.host.size() + 1, a.host + "/") == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (rename(a.host.c_str(), target.c_str()) != 0) {
    // A storage card may be another host file system: files move by copy.
    if (errno == EXDEV && a.kind == HostEntryKind::File) return CopyHostFile(a.host, target) && unlink(a.host.c_str()) == 0;
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  HANDLE in = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return FALSE;
  HANDLE out = CreateFileW(to, GENERIC_WRITE, 0, nullptr, failIfExists ? CREATE_NEW : CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    CloseHandle(in);
    SetLastError(e);
    return FALSE;
  }
  std::vector<BYTE> buffer(64 * 1024);
  BOOL ok = TRUE;
  for (;;) {
    DWORD n = 0, w = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
      ok = FALSE;
      break;
    }
    if (n == 0) break;
    if (!WriteFile(out, buffer.data(), n, &w, nullptr) || w != n) {
      ok = FALSE;
      break;
    }
  }
  const DWORD e = GetLastError();
  CloseHandle(in);
  CloseHandle(out);
  if (!ok) {
    DeleteFileW(to);
    SetLastError(e);
  }
  return ok;
}

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data) { return FindFirst(pattern, data, false); }

HANDLE FindFirstFileExW(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS search,
                        LPVOID filter, DWORD flags) {
  if (level != FindExInfoStandard || filter || flags != 0 ||
      (search != FindExSearchNameMatch && search != FindExSearchLimitToDirectories)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return FindFirst(pattern, static_cast<WIN32_FIND_DATAW*>(data), search == FindExSearchLimitToDirectories);
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  auto object = KernelHandleGet(find, KernelKind::Find);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto* f = static_cast<FindObject*>(object.get());
  if (f->next >= f->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *data = f->entries[f->next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (!KernelHandleRemove(find, KernelKind::Find)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

UINT GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR out) {
  if (!folder || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  ResolvedPath r;
  if (!ResolveDevicePath(folder, &r)) return 0;
  if (r.kind != HostEntryKind::Folder) {
    SetLastError(ERROR_DIRECTORY);
    return 0;
  }
  std::u16string base(folder);
  if (base.empty() || (base.back() != u'\\' && base.back() != u'/')) base += u'\\';
  for (int i = 0; prefix && prefix[i] && i < 3; ++i) base += prefix[i];
  static std::atomic<UINT> counter{static_cast<UINT>(getpid())};
  const bool pick = unique == 0;
  for (int attempt = 0; attempt < 0x10000; ++attempt) {
    UINT number = pick ? (counter++ & 0xFFFF) : (unique & 0xFFFF);
    if (number == 0) continue;
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string digits;
    for (UINT v = number; v; v >>= 4) digits.insert(digits.begin(), kHex[v & 15]);
    const std::u16string name = base + digits + u".tmp";
    if (name.size() >= MAX_PATH) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return 0;
    }
    if (!pick) {
      std::copy(name.begin(), name.end(), out);
      out[name.size()] = 0;
      return number;
    }
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      std::copy(name.begin(), name.end(), out);
      out[name.size()] = 0;
      return number;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return 0;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

FILE* _wfopen(LPCWSTR path, LPCWSTR mode) {
  if (!path || !mode) {
    errno = EINVAL;
    return nullptr;
  }
  std::string m;
  for (LPCWSTR p = mode; *p; ++p) {
    if (*p > 0x7F) {
      errno = EINVAL;
      return nullptr;
    }
    m.push_back(static_cast<char>(*p));
  }
  const std::string cookieMode = m;
  m += 'e';  // close-on-exec
  ResolvedPath r;
  if (!ResolveDevicePath(path, &r)) {
    errno = GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EINVAL;
    return nullptr;
  }
  if (r.kind == HostEntryKind::Folder || r.kind == HostEntryKind::FolderLink) {
    errno = EISDIR;
    return nullptr;
  }
  FILE* host = std::fopen(r.host.c_str(), m.c_str());
  if (!host) return nullptr;
  // The caller's FILE reads through a cookie so that tests can make its
  // reads fail (FileCall::StreamRead) as a removed storage card does.
  cookie_io_functions_t io{};
  io.read = [](void* c, char* buffer, size_t size) -> ssize_t {
    FILE* f = static_cast<FILE*>(c);
    if (Injected(FileCall::StreamRead)) return -1;
    size_t n = std::fread(buffer, 1, size, f);
    return n == 0 && std::ferror(f) ? -1 : static_cast<ssize_t>(n);
  };
  io.write = [](void* c, const char* buffer, size_t size) -> ssize_t {
    size_t n = std::fwrite(buffer, 1, size, static_cast<FILE*>(c));
    return n == 0 && size != 0 ? -1 : static_cast<ssize_t>(n);
  };
  io.seek = [](void* c, off64_t* offset, int whence) -> int {
    FILE* f = static_cast<FILE*>(c);
    if (fseeko(f, *offset, whence) != 0) return -1;
    *offset = ftello(f);
    return 0;
  };
  io.close = [](void* c) -> int { return std::fclose(static_cast<FILE*>(c)); };
  FILE* wrapped = fopencookie(host, cookieMode.c_str(), io);
  if (!wrapped) {
    std::fclose(host);
    return nullptr;
  }
  // Unbuffered: the host FILE buffers, and every read reaches the cookie
  // where an injected failure can meet it.
  setvbuf(wrapped, nullptr, _IONBF, 0);
  return wrapped;
}

BOOL CeOidGetInfo(CEOID, CEOIDINFO* info) {
  if (info) *info = CEOIDINFO{};
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

int DuplicateReadDescriptor(HANDLE file) {
  auto f = GetFile(file);
  if (!f) return -1;
  if (!Reads(f->access)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  const int fd = fcntl(f->fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) SetLastError(ErrorFromErrno(errno));
  return fd;
}
