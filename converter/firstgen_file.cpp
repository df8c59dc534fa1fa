#include "converter/firstgen_file.h"

#include <cstring>
#include <new>

#include "converter/firstgen_bytes.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/handles.h"

namespace converter {

namespace {

constexpr uint32_t kContainerHeaderSize = 78;
constexpr uint32_t kContainerEntrySize = 8;

HANDLE OpenForReading(const std::u16string& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS,
                     nullptr);
}

// The storage went away under an open handle (a card pulled and put back).
bool IsLostHandleError(DWORD error) { return error == ERROR_INVALID_HANDLE || error == ERROR_DEVICE_REMOVED; }

bool Reopen(HANDLE* handle, const std::u16string& path) {
  if (*handle && *handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
  *handle = OpenForReading(path);
  if (*handle == INVALID_HANDLE_VALUE) {
    *handle = nullptr;
    return false;
  }
  return true;
}

bool Seek(HANDLE* handle, const std::u16string& path, uint32_t offset) {
  if (!*handle && !Reopen(handle, path)) return false;
  if (SetFilePointer(*handle, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) return true;
  if (!IsLostHandleError(GetLastError()) || !Reopen(handle, path)) return false;
  return SetFilePointer(*handle, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

// Reads n bytes at offset into buffer; what could not be read stays as the
// caller cleared it. Returns the bytes read.
uint32_t ReadAt(HANDLE* handle, const std::u16string& path, uint32_t offset, uint8_t* buffer, uint32_t n) {
  if (n == 0 || !Seek(handle, path, offset)) return 0;
  DWORD got = 0;
  if (ReadFile(*handle, buffer, n, &got, nullptr)) return got;
  if (!IsLostHandleError(GetLastError()) || !Reopen(handle, path) || !Seek(handle, path, offset)) return 0;
  got = 0;
  if (!ReadFile(*handle, buffer, n, &got, nullptr)) return 0;
  return got;
}

uint32_t FileSizeOf(HANDLE handle) {
  DWORD size = GetFileSize(handle, nullptr);
  return size == INVALID_FILE_SIZE ? 0 : size;
}

}  // namespace

FirstGenRecord* NewFirstGenRecord(uint32_t size) {
  auto* record = new (std::nothrow) FirstGenRecord{};
  if (!record) return nullptr;
  record->data = new (std::nothrow) uint8_t[size ? size : 1]();
  if (!record->data) {
    delete record;
    return nullptr;
  }
  record->size = size;
  return record;
}

void FreeFirstGenRecord(FirstGenRecord* record) {
  if (!record) return;
  delete[] record->data;
  delete record;
}

FirstGenDatabaseFile* OpenFirstGenDatabaseFile(LPCWSTR path) {
  auto* file = new (std::nothrow) FirstGenDatabaseFile{};
  if (!file) return nullptr;
  file->path = path;
  file->handle = nullptr;
  bool ok = false;
  if (Reopen(&file->handle, file->path)) {
    file->fileSize = FileSizeOf(file->handle);
    uint8_t header[kContainerHeaderSize] = {};
    if (file->fileSize >= kContainerHeaderSize &&
        ReadAt(&file->handle, file->path, 0, header, kContainerHeaderSize) == kContainerHeaderSize &&
        std::memcmp(header + 60, "SRDB", 4) == 0 && std::memcmp(header + 64, "SRDE", 4) == 0) {
      ByteView h{header, kContainerHeaderSize};
      const uint32_t n = ViewBe16(h, 76);
      const uint64_t listBytes = uint64_t{n} * kContainerEntrySize;
      if (kContainerHeaderSize + listBytes <= file->fileSize) {
        std::vector<uint8_t> list(listBytes);
        if (n == 0 || ReadAt(&file->handle, file->path, kContainerHeaderSize, list.data(),
                             static_cast<uint32_t>(listBytes)) == listBytes) {
          ByteView l{list.data(), static_cast<uint32_t>(listBytes)};
          file->recordCount = n;
          file->offsets.resize(n + 1);
          ok = true;
          // Falling offsets would give negative lengths, offsets past the
          // end records that are not there: such a file is not read at all.
          for (uint32_t i = 0; i < n && ok; ++i) {
            file->offsets[i] = ViewBe32(l, uint64_t{i} * kContainerEntrySize);
            if (file->offsets[i] > file->fileSize || (i > 0 && file->offsets[i] < file->offsets[i - 1])) ok = false;
          }
          file->offsets[n] = file->fileSize;
        }
      }
    }
  }
  if (!ok) {
    CloseFirstGenDatabaseFile(file);
    return nullptr;
  }
  return file;
}

uint32_t GetFirstGenRecordLength(const FirstGenDatabaseFile* file, uint32_t index) {
  if (!file || index >= file->recordCount) return 0;
  return file->offsets[index + 1] - file->offsets[index];
}

FirstGenRecord* ReadFirstGenFileRecord(FirstGenDatabaseFile* file, uint32_t index) {
  if (!file || index >= file->recordCount) return nullptr;
  const uint32_t length = GetFirstGenRecordLength(file, index);
  FirstGenRecord* record = NewFirstGenRecord(length);
  if (!record) return nullptr;
  ReadAt(&file->handle, file->path, file->offsets[index], record->data, length);
  return record;
}

void CloseFirstGenDatabaseFile(FirstGenDatabaseFile* file) {
  if (!file) return;
  if (file->handle && file->handle != INVALID_HANDLE_VALUE) CloseHandle(file->handle);
  delete file;
}

FirstGenBundle* OpenFirstGenBundle(LPCWSTR path) {
  auto* bundle = new (std::nothrow) FirstGenBundle{};
  if (!bundle) return nullptr;
  bundle->path = path;
  bundle->handle = nullptr;
  bool ok = false;
  if (Reopen(&bundle->handle, bundle->path)) {
    bundle->fileSize = FileSizeOf(bundle->handle);
    uint8_t header[kFirstGenBundleHeaderSize] = {};
    if (ReadAt(&bundle->handle, bundle->path, 0, header, sizeof header) == sizeof header &&
        std::memcmp(header, kFirstGenBundleMagic, 16) == 0) {
      ByteView h{header, sizeof header};
      const uint32_t m = ViewLe32(h, 24);
      const uint32_t entries = ViewLe32(h, 28);
      const uint64_t dirBytes = uint64_t{entries} * kFirstGenBundleEntrySize;
      if (ViewLe32(h, 16) == kFirstGenBundleVersion && m <= entries &&
          kFirstGenBundleHeaderSize + dirBytes <= bundle->fileSize) {
        // Only the m members are used; the rest of the directory is not read.
        const uint32_t usedBytes = m * kFirstGenBundleEntrySize;
        std::vector<uint8_t> dir(usedBytes);
        if (m == 0 ||
            ReadAt(&bundle->handle, bundle->path, kFirstGenBundleHeaderSize, dir.data(), usedBytes) == usedBytes) {
          ByteView d{dir.data(), usedBytes};
          bundle->memberCount = m;
          bundle->members.resize(m);
          for (uint32_t i = 0; i < m; ++i) {
            bundle->members[i] = {ViewLe32(d, i * 12ull), ViewLe32(d, i * 12ull + 4), ViewLe32(d, i * 12ull + 8)};
          }
          ok = true;
        }
      }
    }
  }
  if (!ok) {
    CloseFirstGenBundle(bundle);
    return nullptr;
  }
  return bundle;
}

FirstGenRecord* ReadFirstGenBundleMember(FirstGenBundle* bundle, uint32_t index) {
  if (!bundle || index >= bundle->memberCount) return nullptr;
  const FirstGenBundleMember& m = bundle->members[index];
  if (m.usedLength > m.storedLength || uint64_t{m.offset} + m.storedLength > bundle->fileSize) return nullptr;
  FirstGenRecord* record = NewFirstGenRecord(m.storedLength);
  if (!record) return nullptr;
  ReadAt(&bundle->handle, bundle->path, m.offset, record->data, m.storedLength);
  record->size = m.usedLength;
  return record;
}

void CloseFirstGenBundle(FirstGenBundle* bundle) {
  if (!bundle) return;
  if (bundle->handle && bundle->handle != INVALID_HANDLE_VALUE) CloseHandle(bundle->handle);
  delete bundle;
}

}  // namespace converter
