#include "platform/device_paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/device_paths_internal.h"
#include "platform/errors.h"
#include "platform/kernel_objects.h"

namespace {

struct RootState {
  std::mutex mutex;
  std::string override;  // set by SetDeviceRoot
  std::string prepared;  // root whose standard folders exist
};

RootState& Root() {
  static RootState* state = new RootState;
  return *state;
}

const char16_t* const kStandardFolders[] = {u"Windows", u"Program Files", u"My Documents"};

std::string DefaultRoot() {
  const char* env = std::getenv("SORVI_ROOT");
  if (env && *env) return env;
  const char* home = std::getenv("HOME");
  std::string h;
  if (home && *home) {
    h = home;
  } else if (const passwd* pw = getpwuid(getuid())) {
    h = pw->pw_dir;
  } else {
    h = "/tmp";
  }
  return h + "/.local/share/sorvi/device";
}

std::string StripSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

bool MakeFolders(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
  return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// Host name in `folder` equal to `name` ignoring case; exact match first.
bool FindHostName(const std::string& folder, const std::u16string& name, std::string* found) {
  const std::string exact = Utf16ToUtf8(name);
  struct stat st;
  if (lstat((folder + "/" + exact).c_str(), &st) == 0) {
    *found = exact;
    return true;
  }
  std::vector<std::string> names;
  if (!ListHostFolder(folder, &names)) return false;
  bool any = false;
  for (const std::string& n : names) {
    // Keep the smallest match so the choice does not depend on readdir order.
    if (EqualsIgnoreCase(Utf8ToUtf16(n), name) && (!any || n < *found)) {
      *found = n;
      any = true;
    }
  }
  return any;
}

bool ValidComponent(const std::u16string& c) {
  if (c == u"." || c == u"..") return false;
  for (char16_t ch : c)
    if (ch < 0x20 || ch == u':' || ch == u'*' || ch == u'?' || ch == u'"' || ch == u'<' || ch == u'>' ||
        ch == u'|')
      return false;
  return true;
}

}  // namespace

std::string GetDeviceRoot() {
  RootState& r = Root();
  std::lock_guard lock(r.mutex);
  return StripSlashes(r.override.empty() ? DefaultRoot() : r.override);
}

void SetDeviceRoot(const char* hostPath) {
  RootState& r = Root();
  std::lock_guard lock(r.mutex);
  r.override = hostPath ? hostPath : "";
  r.prepared.clear();
}

std::string EnsureDeviceRoot() {
  const std::string root = GetDeviceRoot();
  RootState& r = Root();
  std::lock_guard lock(r.mutex);
  if (r.prepared == root) return root;
  MakeFolders(root);
  for (const char16_t* folder : kStandardFolders) {
    std::string found;
    if (!FindHostName(root, folder, &found)) mkdir((root + "/" + Utf16ToUtf8(folder)).c_str(), 0755);
  }
  r.prepared = root;
  return root;
}

HostEntryKind HostKind(const std::string& hostPath) {
  struct stat st;
  if (lstat(hostPath.c_str(), &st) != 0) return HostEntryKind::Missing;
  if (S_ISDIR(st.st_mode)) return HostEntryKind::Folder;
  if (S_ISLNK(st.st_mode)) {
    if (stat(hostPath.c_str(), &st) != 0) return HostEntryKind::Missing;  // dangling
    return S_ISDIR(st.st_mode) ? HostEntryKind::FolderLink : HostEntryKind::File;
  }
  return HostEntryKind::File;
}

bool ListHostFolder(const std::string& hostFolder, std::vector<std::string>* names) {
  DIR* dir = opendir(hostFolder.c_str());
  if (!dir) return false;
  while (dirent* e = readdir(dir)) {
    const std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    names->push_back(n);
  }
  closedir(dir);
  return true;
}

void SplitDevicePath(std::u16string_view path, std::u16string* folder, std::u16string* last) {
  size_t end = path.size();
  while (end > 0 && (path[end - 1] == u'\\' || path[end - 1] == u'/')) --end;
  size_t start = end;
  while (start > 0 && path[start - 1] != u'\\' && path[start - 1] != u'/') --start;
  *last = std::u16string(path.substr(start, end - start));
  *folder = std::u16string(path.substr(0, start));
}

BOOL ResolveDevicePath(LPCWSTR devicePath, ResolvedPath* out) {
  if (!devicePath || !*devicePath) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  std::vector<std::u16string> parts;
  std::u16string current;
  for (LPCWSTR p = devicePath;; ++p) {
    if (*p == 0 || *p == u'\\' || *p == u'/') {
      if (!current.empty()) {
        if (!ValidComponent(current)) {
          SetLastError(ERROR_INVALID_NAME);
          return FALSE;
        }
        if (Utf16ToUtf8(current).size() > 255) {
          SetLastError(ERROR_FILENAME_EXCED_RANGE);
          return FALSE;
        }
        parts.push_back(current);
        current.clear();
      }
      if (*p == 0) break;
    } else {
      current.push_back(*p);
    }
  }
  std::string host = EnsureDeviceRoot();
  *out = ResolvedPath();
  if (parts.empty()) {
    out->host = host;
    out->parentHost = host;
    out->kind = HostEntryKind::Folder;
    out->isRoot = true;
    return TRUE;
  }
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    std::string found;
    if (!FindHostName(host, parts[i], &found) || HostKind(host + "/" + found) != HostEntryKind::Folder) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
    host += "/" + found;
  }
  out->parentHost = host;
  std::string found;
  if (FindHostName(host, parts.back(), &found)) {
    out->host = host + "/" + found;
    out->lastName = Utf8ToUtf16(found);
    out->kind = HostKind(out->host);
  } else {
    out->host = host + "/" + Utf16ToUtf8(parts.back());
    out->lastName = parts.back();
    out->kind = HostEntryKind::Missing;
  }
  return TRUE;
}

BOOL DevicePathToHostPath(LPCWSTR devicePath, std::string* hostPath) {
  ResolvedPath r;
  if (!ResolveDevicePath(devicePath, &r)) return FALSE;
  *hostPath = r.host;
  return TRUE;
}

namespace {

// The largest card list that is read: a handful of short folder names fit in
// a few hundred bytes, so a bigger file is not a list the user wrote.
constexpr off_t kMaxCardListBytes = 16 << 10;

// The card list as last read, with what identifies that version of the file;
// it is read again only when one of these changes.
struct CardList {
  std::mutex mutex;
  bool valid = false;
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified = {};
  std::vector<std::u16string> names;
};

CardList& Cards() {
  static CardList* list = new CardList;
  return *list;
}

// A name that can never be a card: the root itself, a way out of it, or the
// system folder.
bool RefusedCardName(const std::u16string& name) {
  return name.empty() || name == u"." || name == u".." || EqualsIgnoreCase(name, u"Windows");
}

std::vector<std::u16string> ParseCardList(std::string text) {
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // a byte-order mark
  std::vector<std::u16string> names;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    line.erase(0, start);
    if (line.empty() || line[0] == '#') continue;
    std::u16string name = Utf8ToUtf16(line);
    if (!RefusedCardName(name)) names.push_back(std::move(name));
  }
  return names;
}

// Reads the list when it changed since the last call. Only a regular file
// within kMaxCardListBytes is read; anything else counts as no list.
void RefreshCardList(CardList& cards, const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxCardListBytes) {
    cards.valid = false;
    cards.names.clear();
    return;
  }
  if (cards.valid && cards.path == path && cards.device == st.st_dev && cards.inode == st.st_ino &&
      cards.size == st.st_size && cards.modified.tv_sec == st.st_mtim.tv_sec &&
      cards.modified.tv_nsec == st.st_mtim.tv_nsec)
    return;
  cards.valid = false;
  cards.names.clear();
  // O_NONBLOCK: the file may have been swapped for a FIFO since the stat.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat opened;
  std::string text;
  if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_size <= kMaxCardListBytes) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
      if (text.size() > static_cast<size_t>(kMaxCardListBytes)) break;
    }
  }
  close(fd);
  if (text.size() > static_cast<size_t>(kMaxCardListBytes)) return;
  cards.names = ParseCardList(std::move(text));
  cards.valid = true;
  cards.path = path;
  cards.device = st.st_dev;
  cards.inode = st.st_ino;
  cards.size = st.st_size;
  cards.modified = st.st_mtim;
}

}  // namespace

BOOL IsStorageCardFolder(LPCWSTR folderName) {
  if (!folderName) return FALSE;
  std::u16string name(folderName);
  while (!name.empty() && (name.front() == u'\\' || name.front() == u'/')) name.erase(0, 1);
  while (!name.empty() && (name.back() == u'\\' || name.back() == u'/')) name.pop_back();
  if (RefusedCardName(name)) return FALSE;
  const std::string path = EnsureDeviceRoot() + "/" SORVI_STORAGE_CARD_LIST;
  CardList& cards = Cards();
  std::lock_guard lock(cards.mutex);
  RefreshCardList(cards, path);
  for (const std::u16string& card : cards.names)
    if (EqualsIgnoreCase(card, name)) return TRUE;
  return FALSE;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    char32_t c;
    size_t len;
    if (b < 0x80) {
      c = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      len = 4;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool ok = i + len <= text.size();
    for (size_t k = 1; ok && k < len; ++k) {
      const unsigned char cb = static_cast<unsigned char>(text[i + k]);
      if ((cb & 0xC0) != 0x80) ok = false;
      else c = (c << 6) | (cb & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are invalid.
    static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += len;
  }
  return out;
}

size_t WideLength(LPCWSTR text) {
  if (!text) return 0;
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}
