#include "app/reader_document.h"

#include <algorithm>
#include <cstring>

#include "app/reader_doc_table.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/entry_fetch.h"
#include "engine/lookup_services.h"
#include "engine/preferences.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "platform/heap.h"

namespace {

// Margins of the window: a target within 1,024 bytes of an edge that has
// more text behind it refills; a near refill shifts half the window.
constexpr int32_t kMargin = 1024;
constexpr int32_t kNear = 2048;
constexpr int32_t kHalf = 4096;
constexpr int32_t kWindow = static_cast<int32_t>(kReaderWindowBytes);

bool IsCjk(WCHAR c) { return c >= 0x3400 && c <= 0xD7FF; }
bool IsUtf16(const ReaderDocument* d) { return d->encoding != kReaderUtf8; }

// ---- UTF-8, one set of rules for decoding and for positions ----

// The character at p (n bytes readable): its byte length and its UTF-16
// units. A byte that starts no well-formed sequence is one U+FFFD. With
// `atEnd` clear, a sequence cut by the end of the bytes is 0 bytes: it is
// decoded once the bytes behind it are read.
uint32_t Utf8Char(const uint8_t* p, uint32_t n, bool atEnd, WCHAR out[2], uint32_t* units) {
  const uint8_t b = p[0];
  uint32_t len = 0, cp = 0, min = 0;
  if (b < 0x80) {
    out[0] = b;
    *units = 1;
    return 1;
  }
  if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F, min = 0x80;
  else if (b >= 0xE0 && b <= 0xEF)
    len = 3, cp = b & 0x0F, min = 0x800;
  else if (b >= 0xF0 && b <= 0xF4)
    len = 4, cp = b & 0x07, min = 0x10000;
  uint32_t k = 1;
  for (; len && k < len && k < n; ++k) {
    if ((p[k] & 0xC0) != 0x80) break;
    cp = cp << 6 | (p[k] & 0x3F);
  }
  if (len && k == len && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
    if (cp >= 0x10000) {
      out[0] = static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10));
      out[1] = static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      *units = 2;
    } else {
      out[0] = static_cast<WCHAR>(cp);
      *units = 1;
    }
    return len;
  }
  if (len && k == n && !atEnd) return 0;  // cut by the window's end
  out[0] = 0xFFFD;
  *units = 1;
  return 1;
}

// ---- positions: window-relative bytes (from the window start) <-> chars ----

// Byte of char index `c` (a low surrogate counts as its pair's start).
int32_t CharToByte(const ReaderDocument* d, int32_t c) {
  c = std::clamp(c, 0, d->textLength);
  if (IsUtf16(d)) {
    if (c > 0 && c < d->textLength && d->text[c] >= 0xDC00 && d->text[c] <= 0xDFFF && d->text[c - 1] >= 0xD800 &&
        d->text[c - 1] <= 0xDBFF)
      --c;
    return 2 * c;
  }
  const uint8_t* p = d->raw + d->skippedBytes;
  int32_t at = 0, units = 0;
  while (at < d->decodedBytes) {
    WCHAR out[2];
    uint32_t u = 0;
    const uint32_t len = Utf8Char(p + at, static_cast<uint32_t>(d->decodedBytes - at), true, out, &u);
    if (units + static_cast<int32_t>(u) > c) break;
    units += static_cast<int32_t>(u);
    at += static_cast<int32_t>(len);
  }
  return d->skippedBytes + at;
}

// Char index of the character holding window byte b.
int32_t ByteToChar(const ReaderDocument* d, int32_t b) {
  if (IsUtf16(d)) return std::clamp(b / 2, 0, d->textLength);
  const uint8_t* p = d->raw + d->skippedBytes;
  const int32_t target = b - d->skippedBytes;
  int32_t at = 0, units = 0;
  while (at < d->decodedBytes) {
    WCHAR out[2];
    uint32_t u = 0;
    const uint32_t len = Utf8Char(p + at, static_cast<uint32_t>(d->decodedBytes - at), true, out, &u);
    if (at + static_cast<int32_t>(len) > target) break;
    units += static_cast<int32_t>(u);
    at += static_cast<int32_t>(len);
  }
  return units;
}

uint32_t Absolute(const ReaderDocument* d, int32_t charIndex) {
  return static_cast<uint32_t>(d->windowStart + CharToByte(d, charIndex));
}

void Notify(ReaderDocument* d, uint32_t flags, int32_t cardCode = 0, int32_t category = 0) {
  if (!d->notifyProc || !flags) return;
  ReaderUpdate u{flags, cardCode, category};
  d->notifyProc(d, &u);
}

// ---- the window ----

uint32_t ReadSource(ReaderDocument* d, uint8_t* to, uint32_t from, uint32_t count) {
  if (!count) return 0;
  if (d->sourceKind == kReaderSourceKindDatabase) {
    // A failed block ends the copy: the window keeps what was read.
    uint32_t copied = 0;
    ReadDocumentText(d->engine, d->documentIndex, from, count, to, &copied);
    return copied;
  }
  const uint32_t got = d->readProc ? d->readProc(d->readContext, to, from, count) : 0;
  return std::min(got, count);
}

void RebuildText(ReaderDocument* d) {
  const int32_t n = d->windowBytes;
  if (d->encoding == kReaderUtf16Le) {
    d->textLength = n / 2;  // in place; an odd last byte is no character
  } else if (d->encoding == kReaderUtf16Be) {
    d->textLength = n / 2;
    for (int32_t i = 0; i < d->textLength; ++i) d->text[i] = static_cast<WCHAR>(d->raw[2 * i] << 8 | d->raw[2 * i + 1]);
  } else {
    int32_t skip = 0;
    while (skip < 4 && skip < n && (d->raw[skip] & 0xC0) == 0x80) ++skip;
    d->skippedBytes = skip;
    const bool atEnd = static_cast<uint32_t>(d->windowStart + n) >= d->documentLength;
    int32_t at = skip, units = 0;
    while (at < n) {
      WCHAR out[2];
      uint32_t u = 0;
      const uint32_t len = Utf8Char(d->raw + at, static_cast<uint32_t>(n - at), atEnd, out, &u);
      if (!len) break;
      for (uint32_t k = 0; k < u; ++k) d->text[units++] = out[k];
      at += static_cast<int32_t>(len);
    }
    d->decodedBytes = at - skip;
    d->textLength = units;
  }
  if (d->encoding != kReaderUtf8) {
    d->skippedBytes = 0;
    d->decodedBytes = 2 * d->textLength;
  }
  d->text[d->textLength] = 0;
}

void Refill(ReaderDocument* d, int64_t target) {
  const int32_t start = d->windowStart;
  const int32_t end = start + d->windowBytes;
  const int32_t length = static_cast<int32_t>(d->documentLength);
  const bool inLowMargin = target >= start && target < start + kMargin;
  const bool justBefore = start >= kNear && target < start && start - target < kNear;
  if (d->windowBytes > 0 && (inLowMargin || justBefore)) {
    // Back by half a window: the front half moves up, the new front is read.
    const int32_t newStart = std::max(0, start - kHalf);
    const int32_t shift = start - newStart;
    const int32_t kept = std::min(d->windowBytes, kWindow - shift);
    std::memmove(d->raw + shift, d->raw, static_cast<size_t>(kept));
    const uint32_t got = ReadSource(d, d->raw, static_cast<uint32_t>(newStart), static_cast<uint32_t>(shift));
    if (got < static_cast<uint32_t>(shift)) std::memset(d->raw + got, 0, static_cast<size_t>(shift) - got);
    d->windowStart = newStart;
    d->windowBytes = shift + kept;
  } else if (d->windowBytes == kWindow && end < length && target >= end - kMargin && target < end + kNear) {
    // Forward by half a window.
    std::memmove(d->raw, d->raw + kHalf, kHalf);
    const int32_t want = std::min(kHalf, length - end);
    const uint32_t got = ReadSource(d, d->raw + kHalf, static_cast<uint32_t>(end), static_cast<uint32_t>(want));
    d->windowStart = start + kHalf;
    d->windowBytes = kHalf + static_cast<int32_t>(got);
  } else {
    int32_t newStart = static_cast<int32_t>(target / kMargin * kMargin) - kHalf;
    if (newStart <= 0) newStart = 0;
    const int32_t want = std::min(kWindow, std::max(0, length - newStart));
    const uint32_t got = ReadSource(d, d->raw, static_cast<uint32_t>(newStart), static_cast<uint32_t>(want));
    d->windowStart = newStart;
    d->windowBytes = static_cast<int32_t>(got);
  }
  RebuildText(d);
}

void SetPosition(ReaderDocument* d, int64_t target) {
  const int32_t rel = static_cast<int32_t>(std::clamp<int64_t>(target - d->windowStart, 0, d->windowBytes));
  if (IsUtf16(d)) {
    d->positionChar = ByteToChar(d, rel);
    d->positionByte = CharToByte(d, d->positionChar);
    return;
  }
  // One walk for both: the character holding the byte, and where it starts.
  const uint8_t* p = d->raw + d->skippedBytes;
  const int32_t want = rel - d->skippedBytes;
  int32_t at = 0, units = 0;
  while (at < d->decodedBytes) {
    WCHAR out[2];
    uint32_t u = 0;
    const uint32_t len = Utf8Char(p + at, static_cast<uint32_t>(d->decodedBytes - at), true, out, &u);
    if (at + static_cast<int32_t>(len) > want) break;
    units += static_cast<int32_t>(u);
    at += static_cast<int32_t>(len);
  }
  d->positionChar = units;
  d->positionByte = at;
}

void FreeResults(ReaderDocument* d) {
  FreeResultList(d->results);
  d->results = nullptr;
  d->resultIndex = 0;
}

void SetCurrentFromResult(ReaderDocument* d, uint32_t index) {
  SearchResultItem item{};
  if (GetResultListItem(d->engine, d->results, index, &item) != 0) return;
  d->resultIndex = static_cast<uint16_t>(index);
  d->currentSlot = item.first & kResultSlotMask;
  d->currentEntry = item.entry;
}

// The chars of the window from `from` that form a CJK run, at most `maximum`.
uint32_t CopyRun(const ReaderDocument* d, int32_t from, int32_t maximum, WCHAR* run) {
  uint32_t n = 0;
  while (static_cast<int32_t>(n) < maximum && from + static_cast<int32_t>(n) < d->textLength &&
         IsCjk(d->text[from + n])) {
    run[n] = d->text[from + n];
    ++n;
  }
  run[n] = 0;
  return n;
}

void CopyWord(ReaderDocument* d, int32_t from) {
  uint32_t n = 0;
  for (; n < kReaderMaxLookup && from + static_cast<int32_t>(n) < d->textLength; ++n) d->word[n] = d->text[from + n];
  d->word[n] = 0;
}

// Nearest CJK char from `from` in direction `step` (inclusive), or -1.
int32_t NearestCjk(const ReaderDocument* d, int32_t from, int32_t step) {
  for (int32_t i = from; i >= 0 && i < d->textLength; i += step)
    if (IsCjk(d->text[i])) return i;
  return -1;
}

constexpr uint32_t kLookupNotice = kReaderUpdateSelection | kReaderUpdateDefinition | kReaderUpdatePopup |
                                   kReaderUpdateWord | kReaderUpdateResultButtons;

int LookupAndNotify(ReaderDocument* d, int32_t p, int32_t maximum, int32_t minimum) {
  if (LookupWordAt(d, p, maximum, minimum) != 0) return 1;
  Notify(d, kLookupNotice);
  return 0;
}

int AddCard(ReaderDocument* d, int command, int32_t category) {
  if (category == -1) category = GetPref(d->engine, kPrefDefaultCategory);
  if (category == -1) category = -3;  // no category: the uncategorised cards
  const uint16_t slot = static_cast<uint16_t>(d->currentSlot);
  int32_t code = 0;
  const uint32_t mode = command == kReaderAddCardAlways  ? 3
                        : command == kReaderAddCardReuse ? 1
                                                         : static_cast<uint32_t>(GetPref(d->engine, kPrefCardMode));
  if (slot == kNoDictSlot) {
    code = kCardReportFailed;
  } else if (GetDictFlags(d->engine, slot) & 0x100) {
    code = kCardReportNotAllowed;
  } else {
    CardEditRecord record{};
    record.categories = &category;
    record.categoryCount = 1;
    record.linked = 1;
    record.duplicateMode = mode;
    record.dictSlot = slot;
    record.entry = d->currentEntry;
    if (HostSaveCard(d->engine, &record, -1) < 0) {
      code = kCardReportFailed;
    } else if (GetPref(d->engine, kPrefReportCards)) {
      code = !record.usedExisting ? kCardReportAdded
             : mode == 4          ? kCardReportAskDuplicate
             : record.filed       ? kCardReportExistingFiled
                                  : kCardReportExisting;
    }
  }
  if (code) Notify(d, kReaderUpdateCardResult, code, category);
  return code;
}

}  // namespace

// ---- creation and end ----

ReaderDocument* OpenReaderDocument(DictEngine* engine, const ReaderSettings* request, const WCHAR* title,
                                   ReaderNotifyProc notify, ReaderReadProc read, void* readContext,
                                   const WCHAR* keyName, uint32_t documentLength, uint32_t fileTime) {
  if (!engine || !request) return nullptr;
  auto* d = static_cast<ReaderDocument*>(LocalAlloc(LPTR, sizeof(ReaderDocument)));
  if (!d) return nullptr;
  d->engine = engine;
  d->request = *request;
  d->notifyProc = notify;
  d->readProc = read;
  d->readContext = readContext;
  d->currentSlot = kNoDictSlot;  // until a lookup finds something
  d->currentEntry = 0xFFFFFFFFu;
  if (!engine->readerPositionStore) OpenReaderPositionStore(engine);
  d->encoding = request->source == kReaderSourceDatabase ? static_cast<int32_t>(kReaderUtf16Le)
                                                         : static_cast<int32_t>(request->encoding);
  if (d->encoding != kReaderUtf8 && d->encoding != kReaderUtf16Be) d->encoding = kReaderUtf16Le;
  d->rawCapacity = kWindow;
  if (d->encoding == kReaderUtf8) {
    d->raw = static_cast<uint8_t*>(LocalAlloc(LPTR, kWindow + 1));
    d->text = static_cast<WCHAR*>(LocalAlloc(LPTR, 2 * (kWindow + 1)));
    d->converts = 1;
    d->textCapacity = kWindow;
  } else if (d->encoding == kReaderUtf16Be) {
    d->raw = static_cast<uint8_t*>(LocalAlloc(LPTR, 2 * (kWindow + 1)));
    d->text = static_cast<WCHAR*>(LocalAlloc(LPTR, 2 * (kWindow + 1)));
    d->converts = 1;
    d->textCapacity = kWindow / 2;
  } else {
    d->raw = static_cast<uint8_t*>(LocalAlloc(LPTR, 2 * (kWindow + 1)));
    d->text = reinterpret_cast<WCHAR*>(d->raw);
    d->textCapacity = kWindow / 2;
  }
  auto fail = [&] {
    d->bookmarks = nullptr;
    CloseReaderDocument(d);
    return nullptr;
  };
  if (!d->raw || !d->text) return fail();
  if (request->source == kReaderSourceDatabase) {
    const uint16_t index = FindDocumentByIds(engine, request->firstId, request->secondId);
    uint32_t blockSize = 0;
    if (index == kNoDocument || GetDocumentLayout(engine, index, &d->documentLength, &blockSize, &d->fileTime) != 0 ||
        blockSize == 0)
      return fail();
    d->sourceKind = kReaderSourceKindDatabase;
    d->documentIndex = index;
    GetDocumentTitle(engine, index, d->title, kReaderTitleChars + 1);
    d->request.hasSections = DocumentHasSections(engine, index) ? 1 : 0;
    d->request.sectionLevels = static_cast<uint16_t>(GetDocumentSectionLevels(engine, index));
    if (!d->request.sectionLevels) d->request.hasSections = 0;
    d->key.kind = kKeyDatabaseDocument;
    d->key.firstId = request->firstId;
    d->key.secondId = request->secondId;
  } else {
    d->sourceKind = kReaderSourceKindCallback;
    for (uint32_t i = 0; title && i < kReaderTitleChars && title[i]; ++i) d->title[i] = title[i];
    d->documentLength = documentLength;
    d->fileTime = fileTime;
    d->key.kind = request->source == kReaderSourceMemory ? kKeyMemoryText : kKeyTextFile;
  }
  for (uint32_t i = 0; keyName && i + 1 < kDocumentKeyNameChars && keyName[i]; ++i) d->key.name[i] = keyName[i];
  d->bookmarksInUse = LoadDocumentBookmarks(engine, &d->key, &d->bookmarks, &d->bookmarkCapacity);
  if (!d->bookmarks) return fail();
  return d;
}

void CloseReaderDocument(ReaderDocument* d) {
  if (!d) return;
  if (d->bookmarks) {
    d->bookmarks[0].position = GetReaderAbsolutePosition(d);
    std::memset(d->bookmarks[0].name, 0, sizeof d->bookmarks[0].name);
    d->bookmarksInUse = std::max(d->bookmarksInUse, 1);
    SaveDocumentBookmarks(d->engine, &d->key, d->bookmarks, d->bookmarksInUse);
    LocalFree(d->bookmarks);
  }
  if (d->converts && d->text) LocalFree(d->text);
  if (d->raw) LocalFree(d->raw);
  if (d->sourceKind == kReaderSourceKindDatabase) ResetDocumentCursors(d->engine, d->documentIndex);
  FreeResultList(d->results);
  LocalFree(d);
}

// ---- getters ----

const ReaderSettings* GetReaderRequest(const ReaderDocument* d) { return &d->request; }

const WCHAR* GetReaderText(const ReaderDocument* d, int32_t* positionChar, int32_t* selectionStart,
                           int32_t* selectionEnd) {
  if (positionChar) *positionChar = d->positionChar;
  if (selectionStart) *selectionStart = d->selectionStart;
  if (selectionEnd) *selectionEnd = d->selectionEnd;
  return d->text;
}

const WCHAR* GetReaderWord(const ReaderDocument* d, uint32_t* wordStart, uint32_t* wordEnd) {
  static const WCHAR kEmpty[1] = {0};
  if (!d->request.showHighlight && !d->request.popupDefinition) {
    if (wordStart) *wordStart = 0;
    if (wordEnd) *wordEnd = 0;
    return kEmpty;
  }
  if (wordStart) *wordStart = d->wordStart;
  if (wordEnd) *wordEnd = d->wordEnd;
  return d->word;
}

int CanPageBack(const ReaderDocument* d) { return d->positionByte > 0 || d->windowStart > 0 ? 1 : 0; }
int CanPageForward(const ReaderDocument* d) { return GetReaderAbsolutePosition(d) < d->documentLength ? 1 : 0; }
int HasPreviousResult(const ReaderDocument* d) { return d->results && d->resultIndex > 0 ? 1 : 0; }
int HasNextResult(const ReaderDocument* d) {
  return d->results && d->resultIndex + 1u < GetResultListCount(d->results) ? 1 : 0;
}

uint32_t GetReaderAbsolutePosition(const ReaderDocument* d) {
  return static_cast<uint32_t>(d->windowStart + d->skippedBytes + d->positionByte);
}

void GetReaderJumpRange(const ReaderDocument* d, uint32_t* position, uint32_t* length) {
  const uint32_t unit = IsUtf16(d) ? 2 : 1;
  *position = GetReaderAbsolutePosition(d) / unit;
  *length = d->documentLength / unit;
}

void FormatPercentText(uint32_t position, uint32_t length, WCHAR* out) {
  // Three formulas, each within 32 bits for its lengths; the coarser two can
  // pass 100 % at the last byte, so p stops at 100.00.
  uint32_t p = 0;
  if (length == 0) p = 0;
  else if (length < 214748)
    p = static_cast<uint32_t>(uint64_t{position} * 10000 / length);
  else if (length < 21474836)
    p = static_cast<uint32_t>(uint64_t{position} * 100 / (length / 100));
  else
    p = position / (length / 10000);
  p = std::min(p, 10000u);
  char buf[16];
  const int whole = static_cast<int>(p / 100), part = static_cast<int>(p % 100);
  int n = 0;
  if (whole >= 100) buf[n++] = static_cast<char>('0' + whole / 100);
  if (whole >= 10) buf[n++] = static_cast<char>('0' + whole / 10 % 10);
  buf[n++] = static_cast<char>('0' + whole % 10);
  buf[n++] = '.';
  buf[n++] = static_cast<char>('0' + part / 10);
  buf[n++] = static_cast<char>('0' + part % 10);
  buf[n++] = '%';
  for (int i = 0; i < n; ++i) out[i] = static_cast<WCHAR>(buf[i]);
  out[n] = 0;
}

void FormatReaderPercent(const ReaderDocument* d, WCHAR* out) {
  FormatPercentText(GetReaderAbsolutePosition(d), d->documentLength, out);
}

int FormatReaderDefinition(ReaderDocument* d, MemHandle* handle) {
  if (d->currentSlot == kNoDictSlot) return 1;
  const uint32_t flags = GetPref(d->engine, kPrefDisplayMode) ? 0x1000002u : 2u;
  return FormatEntryText(d->engine, handle, static_cast<uint16_t>(d->currentSlot), d->currentEntry, 0, flags);
}

void GetReaderDictIcon(ReaderDocument* d, WCHAR out[4], uint32_t* color) {
  out[0] = 0;
  if (color) *color = 0;
  if (d->currentSlot == kNoDictSlot) return;
  GetDictIconText(d->engine, static_cast<uint16_t>(d->currentSlot), out, kDictIconBufferUnits);
  if (color) *color = GetDictIconColor(d->engine, static_cast<uint16_t>(d->currentSlot));
}

void SetReaderTextWidth(ReaderDocument* d, uint32_t width) { d->textWidth = width; }
void SetReaderDefinitionHeight(ReaderDocument* d, uint16_t height) { d->request.definitionPaneHeight = height; }

// ---- movement ----

int MoveReaderWindow(ReaderDocument* d, int64_t target, int charIndex, int scroll, int keepSelection, int* moved) {
  if (moved) *moved = 0;
  int64_t selStart = -1, selEnd = -1;
  if (keepSelection && d->selectionEnd > d->selectionStart) {
    selStart = Absolute(d, d->selectionStart);
    selEnd = Absolute(d, d->selectionEnd);
  }
  const int64_t length = d->documentLength;
  if (charIndex)
    target = Absolute(d, static_cast<int32_t>(std::clamp<int64_t>(target, 0, std::max(0, d->textLength - 1))));
  target = std::clamp<int64_t>(target, 0, std::max<int64_t>(0, length - 1));

  const int64_t start = d->windowStart, end = start + d->windowBytes;
  const int64_t low = start == 0 ? start : start + kMargin;
  const int64_t high = (end >= length || d->windowBytes == 0) ? end : end - kMargin;
  bool refilled = false;
  if (!(target >= low && target < high)) {
    Refill(d, target);
    refilled = true;
  }
  SetPosition(d, target);
  uint32_t flags = kReaderUpdateSections | kReaderUpdatePercentage;
  if (refilled) {
    if (selStart >= d->windowStart && selStart < d->windowStart + d->windowBytes) {
      d->selectionStart = ByteToChar(d, static_cast<int32_t>(selStart - d->windowStart));
      d->selectionEnd =
          std::min(d->textLength,
                   ByteToChar(d, static_cast<int32_t>(std::min<int64_t>(selEnd - d->windowStart, d->windowBytes))));
    } else {
      d->selectionStart = d->selectionEnd = 0;
    }
    flags |= kReaderUpdateText | kReaderUpdateSelection;
    if (moved) *moved = 1;
  }
  if (!scroll || static_cast<int64_t>(d->windowStart) + d->windowBytes >= length) flags |= kReaderUpdateKeepVisible;
  Notify(d, flags);
  return 0;
}

int GoToPercentOrOffset(ReaderDocument* d, uint64_t value, int percent) {
  const uint64_t length = d->documentLength;
  value = std::min<uint64_t>(value, UINT32_MAX);  // a typed number, never more
  uint64_t bytes;
  if (percent) bytes = length < 21474836 ? length * value / 100 : length / 100 * value;
  else
    bytes = value * (IsUtf16(d) ? 2 : 1);
  if (length && bytes >= length) bytes = length - 1;
  return MoveReaderWindow(d, static_cast<int64_t>(std::min<uint64_t>(bytes, UINT32_MAX)), 0, 0, 0, nullptr);
}

int GoToStartPosition(ReaderDocument* d) {
  if (d->bookmarksInUse > 0) return MoveReaderWindow(d, d->bookmarks[0].position, 0, 0, 0, nullptr);
  return MoveReaderWindow(d, 0, 0, 1, 0, nullptr);
}

// ---- bookmarks ----

int32_t GetBookmarkCount(const ReaderDocument* d) { return std::max(0, d->bookmarksInUse - 1); }

int GetBookmarkName(const ReaderDocument* d, int32_t n, WCHAR* buffer, uint32_t size) {
  if (size) buffer[0] = 0;
  if (n < 0 || n >= GetBookmarkCount(d) || !size) return 1;
  uint32_t k = 0;
  for (const WCHAR* s = d->bookmarks[n + 1].name; k + 1 < size && k + 1 < kBookmarkNameChars && s[k]; ++k)
    buffer[k] = s[k];
  buffer[k] = 0;
  return 0;
}

int CanAddBookmark(const ReaderDocument* d) {
  return d->bookmarks && std::max(d->bookmarksInUse, 1) < d->bookmarkCapacity ? 1 : 0;
}

int AddBookmark(ReaderDocument* d, const WCHAR* name) {
  if (!CanAddBookmark(d)) return 1;
  if (d->bookmarksInUse < 1) {
    std::memset(&d->bookmarks[0], 0, sizeof(Bookmark));  // slot 0: the last position
    d->bookmarksInUse = 1;
  }
  Bookmark& b = d->bookmarks[d->bookmarksInUse++];
  std::memset(&b, 0, sizeof b);
  for (uint32_t i = 0; name && i + 1 < kBookmarkNameChars && name[i]; ++i) b.name[i] = name[i];
  b.position = GetReaderAbsolutePosition(d);
  return 0;
}

int DeleteBookmark(ReaderDocument* d, int32_t n) {
  if (n < 0 || n >= GetBookmarkCount(d)) return 1;
  std::memmove(&d->bookmarks[n + 1], &d->bookmarks[n + 2],
               sizeof(Bookmark) * static_cast<size_t>(d->bookmarksInUse - n - 2));
  --d->bookmarksInUse;
  std::memset(&d->bookmarks[d->bookmarksInUse], 0, sizeof(Bookmark));
  return 0;
}

int SwapBookmarkDown(ReaderDocument* d, int32_t n) {
  if (n < 0 || n + 1 >= GetBookmarkCount(d)) return 1;
  std::swap(d->bookmarks[n + 1], d->bookmarks[n + 2]);
  return 0;
}

int GoToBookmark(ReaderDocument* d, int32_t n) {
  if (n < 0 || n >= GetBookmarkCount(d)) return 1;
  return MoveReaderWindow(d, d->bookmarks[n + 1].position, 0, 0, 0, nullptr);
}

// ---- sections ----

namespace {

// The first row of the level's sections: level 0 from row 0, deeper ones
// from the current parent's first child.
bool SectionBase(ReaderDocument* d, uint32_t level, uint32_t* base, uint32_t* parent) {
  *base = 0;
  *parent = 0;
  if (d->sourceKind != kReaderSourceKindDatabase || level >= d->request.sectionLevels) return false;
  if (level == 0) return true;
  *parent = d->request.currentSection[level - 1];
  uint32_t parentBase = 0, grand = 0;
  if (!SectionBase(d, level - 1, &parentBase, &grand)) return false;
  *parent += parentBase;
  uint32_t start = 0, none = 0;
  return GetSectionRecord(d->engine, d->documentIndex, level - 1, *parent, nullptr, &none, &start, base) == 0;
}

}  // namespace

uint32_t GetReaderSectionCount(ReaderDocument* d, uint32_t level) {
  uint32_t base = 0, parent = 0;
  if (!SectionBase(d, level, &base, &parent)) return 0;
  return GetSectionCount(d->engine, d->documentIndex, level, parent);
}

int GetReaderSectionName(ReaderDocument* d, uint32_t level, uint32_t n, WCHAR* buffer, uint32_t size) {
  if (size) buffer[0] = 0;
  uint32_t base = 0, parent = 0, start = 0, child = 0;
  if (!SectionBase(d, level, &base, &parent) || n >= GetReaderSectionCount(d, level)) return 1;
  return GetSectionRecord(d->engine, d->documentIndex, level, base + n, buffer, &size, &start, &child);
}

uint32_t GetReaderCurrentSection(const ReaderDocument* d, uint32_t level) {
  return level < kReaderSectionLevels ? d->request.currentSection[level] : 0;
}

int GoToSection(ReaderDocument* d, uint32_t level, uint32_t n) {
  uint32_t base = 0, parent = 0, start = 0, child = 0, none = 0;
  if (!SectionBase(d, level, &base, &parent) || n >= GetReaderSectionCount(d, level)) return 1;
  if (GetSectionRecord(d->engine, d->documentIndex, level, base + n, nullptr, &none, &start, &child) != 0) return 1;
  d->request.currentSection[level] = n;
  return MoveReaderWindow(d, start, 0, 0, 0, nullptr);
}

// ---- lookup ----

int LookupWordAt(ReaderDocument* d, int32_t p, int32_t maximum, int32_t minimum) {
  if (p < 0 || p >= d->textLength) return 1;
  maximum = std::min<int32_t>(maximum, kReaderMaxLookup);
  WCHAR run[kReaderWordChars];
  const uint32_t n = CopyRun(d, p, maximum, run);
  if (n == 0 || static_cast<int32_t>(n) < minimum) return 1;
  SearchRequest request{};
  request.query = run;
  request.language = static_cast<uint16_t>(kLanguageChinese);
  request.currentSlot = static_cast<uint16_t>(d->currentSlot);
  // A run is usually longer than its first word: the longest partial match
  // is the answer, not a failure.
  request.keepPartial = 1;
  SearchResultList* list = Search(d->engine, &request);
  const uint32_t length = std::min(GetResultListBestMatch(list), n);
  if (!list || GetResultListCount(list) == 0 || length == 0 || static_cast<int32_t>(length) < minimum) {
    FreeResultList(list);
    return 1;
  }
  FreeResults(d);
  d->results = list;
  d->selectionStart = p;
  d->selectionEnd = p + static_cast<int32_t>(length);
  if (p > d->positionChar && length < 4 && IsCjk(d->text[p - 1])) {
    CopyWord(d, p - 1);
    d->wordStart = 1;
    d->wordEnd = length + 1;
  } else {
    CopyWord(d, p);
    d->wordStart = 0;
    d->wordEnd = length;
  }
  const uint32_t pick = GetResultListCount(list) >= 2 ? PickResultByCharReading(d->engine, list, run) : 0;
  SetCurrentFromResult(d, pick);
  return 0;
}

int ReaderTapLookup(ReaderDocument* d, int32_t p, int32_t e, int inWordField) {
  if (inWordField) {
    const int32_t shift = d->selectionStart - static_cast<int32_t>(d->wordStart);
    p += shift;
    e += shift;
  }
  if (p < 0 || p >= d->textLength || !IsCjk(d->text[p])) return 1;
  int result = 1;
  if (e <= p) {
    result = LookupWordAt(d, p, 4, 2);
    if (result != 0 && p > 0) result = LookupWordAt(d, p - 1, 4, 2);
    if (result != 0) result = LookupWordAt(d, p, 4, 1);
  } else {
    result = LookupWordAt(d, p, e - p, 1);
  }
  if (result == 0) Notify(d, kLookupNotice);
  return result;
}

int ReaderCursorKey(ReaderDocument* d, int op, int keyUp, int32_t cursor, int32_t visible) {
  if (d->textLength == 0) return 1;
  const int32_t last = d->textLength - 1;
  const bool vertical = op == kReaderKeyUp || op == kReaderKeyDown;
  if (!keyUp) {
    if (vertical) {
      if (d->request.hardwarePageScroll) return 1;
      const int32_t c = std::clamp(cursor, 0, last);
      d->selectionStart = c;
      d->selectionEnd = c + 1;
      Notify(d, kReaderUpdateSelection);
      return 0;
    }
    if (op == kReaderKeyLeft || op == kReaderKeyRight) {
      int32_t c = d->selectionStart;
      const int32_t top = d->positionChar;
      if (c < top || c >= top + visible) c = op == kReaderKeyRight ? top : top + visible;
      if (op == kReaderKeyRight) c = d->selectionEnd - d->selectionStart > 1 ? d->selectionEnd : c + 1;
      else
        c -= 1;
      c = std::clamp(c, 0, last);
      d->selectionStart = c;
      d->selectionEnd = c + 1;
      Notify(d, kReaderUpdateSelection);
      return 0;
    }
    if (op == kReaderKeyEnter) {
      if (d->request.popupDefinition) {
        Notify(d, kReaderUpdatePopup);
        return 0;
      }
      const int32_t length = d->selectionEnd - d->selectionStart;
      return LookupAndNotify(d, d->selectionStart, length > 1 ? length : 4, 1);
    }
    return 1;
  }
  if (op == kReaderKeyEnter) {
    if (!d->request.popupDefinition) return 1;
    Notify(d, kReaderUpdateDefinition);
    return 0;
  }
  const int32_t step = op == kReaderKeyUp || op == kReaderKeyLeft ? -1 : 1;
  const int32_t c = NearestCjk(d, std::clamp(d->selectionStart, 0, last), step);
  if (c < 0) return 1;
  d->selectionStart = c;
  d->selectionEnd = c + 1;
  if (LookupAndNotify(d, c, 4, 1) != 0) Notify(d, kReaderUpdateSelection);
  return 0;
}

int RelookupInDictionary(ReaderDocument* d, uint16_t slot) {
  if (d->wordEnd <= d->wordStart) return 1;
  WCHAR query[kReaderWordChars];
  uint32_t n = 0;
  for (uint32_t i = d->wordStart; i < d->wordEnd && n < kReaderMaxLookup && d->word[i]; ++i) query[n++] = d->word[i];
  query[n] = 0;
  SearchRequest request{};
  request.query = query;
  request.language = static_cast<uint16_t>(kLanguageChinese);
  request.slots = &slot;
  request.slotCount = 1;
  request.currentSlot = slot;
  request.keepPartial = 1;
  SearchResultList* list = Search(d->engine, &request);
  if (!list || GetResultListCount(list) == 0) {
    FreeResultList(list);
    return 1;
  }
  FreeResults(d);
  d->results = list;
  SetCurrentFromResult(d, GetResultListCount(list) >= 2 ? PickResultByCharReading(d->engine, list, query) : 0);
  return 0;
}

int ReaderWordCommand(ReaderDocument* d, int command, int32_t category) {
  const int32_t start = d->selectionStart, length = d->selectionEnd - d->selectionStart;
  switch (command) {
    case kReaderPreviousChar: {
      const int32_t c = NearestCjk(d, start - 1, -1);
      return c < 0 ? 1 : LookupAndNotify(d, c, 4, 1);
    }
    case kReaderNextChar: {
      const int32_t c = NearestCjk(d, start + 1, 1);
      return c < 0 ? 1 : LookupAndNotify(d, c, 4, 1);
    }
    case kReaderShrink: {
      if (length > 1) return LookupAndNotify(d, start, length - 1, length - 1);
      const int32_t c = NearestCjk(d, start - 1, -1);
      return c < 0 ? 1 : LookupAndNotify(d, c, 1, 1);
    }
    case kReaderExtend: {
      if (LookupAndNotify(d, start, length + 1, length + 1) == 0) return 0;
      if (start > 0 && LookupAndNotify(d, start - 1, length + 2, length + 1) == 0) return 0;
      const int32_t c = NearestCjk(d, d->selectionEnd, 1);
      return c < 0 ? 1 : LookupAndNotify(d, c, 4, 1);
    }
    case kReaderNextDictionary: {
      if (d->currentSlot == kNoDictSlot) return 1;
      const uint16_t slot =
          FindNextDictionary(d->engine, GetDictLanguage(d->engine, static_cast<uint16_t>(d->currentSlot)),
                             static_cast<uint16_t>(d->currentSlot), -1, kCycleReaderList);
      if (slot == kNoDictSlot) return 1;
      const uint32_t oldSlot = d->currentSlot, oldEntry = d->currentEntry;
      if (RelookupInDictionary(d, slot) != 0) return 1;
      if (d->currentSlot != oldSlot || d->currentEntry != oldEntry)
        Notify(d, kReaderUpdateDefinition | kReaderUpdateResultButtons);
      return 0;
    }
    case kReaderPreviousResult:
    case kReaderNextResult: {
      const int32_t next = d->resultIndex + (command == kReaderNextResult ? 1 : -1);
      if (!d->results || next < 0 || static_cast<uint32_t>(next) >= GetResultListCount(d->results)) return 1;
      SetCurrentFromResult(d, static_cast<uint32_t>(next));
      Notify(d, kReaderUpdateDefinition | kReaderUpdateResultButtons);
      return 0;
    }
    case kReaderAddCard:
    case kReaderAddCardAlways:
    case kReaderAddCardReuse:
      return AddCard(d, command, category);
    default:
      return 1;
  }
}

int CollectReaderAudioClips(ReaderDocument* d, MemHandle* const* clips, uint32_t* sizes) {
  if (d->currentSlot == kNoDictSlot) return 1;
  d->audioSetChoice = static_cast<uint32_t>(ApplyAudioFileSetPref(d->engine, static_cast<int>(d->audioSetChoice)));
  const uint16_t slot = static_cast<uint16_t>(d->currentSlot);
  int result = CollectEntryAudioClips(d->engine, static_cast<int>(d->audioSetChoice), slot, d->currentEntry, clips,
                                      sizes, nullptr);
  if (result == kAudioNoGroup)
    result = CollectEntryAudioClips(d->engine, d->audioSetChoice ? 0 : 1, slot, d->currentEntry, clips, sizes, nullptr);
  return result;
}
