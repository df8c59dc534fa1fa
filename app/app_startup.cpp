#include "app/app_startup.h"

#include <algorithm>
#include <new>
#include <string>

#include "app/app_file_search.h"
#include "app/app_handwriting.h"
#include "app/app_registry.h"
#include "app/audio_playback.h"
#include "app/main_search.h"
#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/sql_db.h"
#include "engine/utf8.h"
#include "flash/store.h"
#include "platform/clipboard.h"
#include "platform/engine_lock.h"
#include "platform/handles.h"
#include "platform/heap.h"
#include "platform/message.h"
#include "platform/msgbox.h"
#include "platform/paint.h"
#include "platform/registry.h"
#include "platform/screen.h"
#include "platform/shell_folders.h"
#include "platform/wave.h"
#include "platform/window.h"
#include "toolkit/app_context.h"
#include "toolkit/font_slot.h"

namespace {

// SQLite's page cache is kept small on a handheld.
constexpr int64_t kSqlSoftHeapLimit = 1048576;
// The default paths handed to the engine, in UTF-8, each cut to a device
// path's length.
constexpr uint32_t kUtf8PathBytes = 260;
constexpr uint32_t kBaseDpi = 96;
constexpr uint32_t kBaseDpiFactor = 3;
constexpr UINT kStopBox = MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST;

// Kept for the engine's life: it holds the host table and may open the
// flashcard store from the default path after start-up.
EngineHost gEngineHost;
char gDefaultFlashcardPath[kUtf8PathBytes];
char gNewDatabaseFolder[kUtf8PathBytes];

uint32_t IconSizeFor(uint16_t dpiFactor) { return dpiFactor <= 3 ? 16 : dpiFactor == 4 ? 22 : 32; }

void ToUtf8Path(const std::u16string& path, char* out) {
  WideToUtf8(path.c_str(), out, kUtf8PathBytes, 0, nullptr, false);
}

// Back out of a start that cannot go on: nothing saved, nothing left.
void AbandonStart(MemHandle* engineRecord, MemHandle* dictsRecord) {
  FreeMemHandle(engineRecord);
  FreeMemHandle(dictsRecord);
  CloseFoundDataFiles();
  FreeFoundPaths();
  LocalFree(AppContextPointer);
  AppContextPointer = nullptr;
}

}  // namespace

int StartApplication() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);

  void* block = LocalAlloc(LPTR, sizeof(AppContext));
  if (!block) return 1;
  auto* app = new (block) AppContext{};
  AppContextPointer = app;
  ClearOpenFileCache();

  HDC screen = GetDC(nullptr);
  const int dpi = std::max(GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  app->dpiFactor = static_cast<uint16_t>(static_cast<uint32_t>(dpi) * kBaseDpiFactor / kBaseDpi);
  app->iconSize = IconSizeFor(app->dpiFactor);

  app->osAtLeast5 = version.dwMajorVersion >= 5 ? 1 : 0;
  app->osAtLeast5_2_20480 =
      version.dwMajorVersion >= 5 && version.dwMinorVersion >= 2 && version.dwBuildNumber >= 20480 ? 1 : 0;

  // A key that cannot be opened reads as no records at all.
  HKEY key = nullptr;
  OpenAppRegistryKey(&key);
  MemHandle* engineRecord = key ? LoadRegistryRecord(key, kEngineRecord) : nullptr;
  MemHandle* dictsRecord = key ? LoadRegistryRecord(key, kDictsRecord) : nullptr;
  const bool firstRun = !engineRecord && !dictsRecord;

  FileSearchRow rows[kStartupSearchRows];
  FillStartupSearchRows(rows);
  DiscoverFiles(rows, kStartupSearchRows);

  WCHAR documents[MAX_PATH] = {};
  SHGetSpecialFolderPath(nullptr, documents, CSIDL_PERSONAL, FALSE);
  SqlSetSoftHeapLimit(kSqlSoftHeapLimit);
  ToUtf8Path(std::u16string(documents) + u"\\Sorvi Flashcards.kvb", gDefaultFlashcardPath);
  ToUtf8Path(std::u16string(documents) + u"\\", gNewDatabaseFolder);

  gEngineHost = EngineHost{};
  FillFlashcardHost(&gEngineHost);
  SetFontSlotHost(&gEngineHost);
  EngineParams params = {};
  params.engineRecord = engineRecord;
  params.dictsRecord = dictsRecord;
  params.userDbNames = AppFoundFiles.userDbPaths;
  params.userDbCount = static_cast<uint16_t>(AppFoundFiles.userDbCount);
  params.fontFiles = AppFoundFiles.fontPaths;
  params.fontFileCount = static_cast<uint16_t>(AppFoundFiles.fontCount);
  params.flashcardArg = gDefaultFlashcardPath;
  params.host = &gEngineHost;
  params.userFolder = gNewDatabaseFolder;
  params.userExtension = ".kvb";
  params.scaleNumerator = app->dpiFactor;
  params.scaleDenominator = kBaseDpiFactor;
  DictEngine* engine = CreateEngine(AppFoundFiles.dataFiles, AppFoundFiles.dataFileCount, &params);
  FreeFoundPaths();
  if (!engine) {
    if (key) RegCloseKey(key);
    AbandonStart(engineRecord, dictsRecord);
    return 1;
  }
  app->engine = engine;

  if (GetDictCount(engine) == 0) {
    MessageBoxW(nullptr,
                u"Sorry, no dictionary data files were found. Please check that you've installed them correctly.",
                u"No Dictionaries Found", kStopBox);
    FreeEngineSaveBlock(DestroyEngine(engine));
    if (key) RegCloseKey(key);
    AbandonStart(engineRecord, dictsRecord);
    return 1;
  }

  app->flashcardStore = GetFlashcardStore(engine);
  app->hwrEngine = OpenHandwritingEngine();
  if (app->flashcardStore && WereMultipleFlashcardDbsFound(app->flashcardStore))
    MessageBoxW(nullptr,
                u"Multiple flashcard database files were found on your system. Sorvi has automatically opened the "
                u"oldest one, but we recommend that you double-check your system and remove any additional "
                u"databases (backup copies, e.g.) in order to avoid opening one of them accidentally.",
                u"Multiple Flashcard Datatabase", kStopBox);

  LookupSessionParams session = {};
  session.recentQueries = key ? LoadRegistryRecord(key, kRecentQueriesRecord) : nullptr;
  session.recentEntries = key ? LoadRegistryRecord(key, kRecentEntriesRecord) : nullptr;
  session.callback = OnEngineUpdate;
  session.freshStart = firstRun ? 1 : 0;
  if (key) RegCloseKey(key);
  app->lookupSession = NewLookupSession(engine, &session);

  for (MemHandle*& clip : app->clipBuffers) clip = NewMemHandle(kAppClipBufferBytes);

  FreeMemHandle(engineRecord);
  FreeMemHandle(dictsRecord);

  if (firstRun) {
    MemHandle* blob = SaveEngineBlobs(engine, nullptr);
    SaveRegistryRecord(kEngineRecord, blob);
    FreeMemHandle(blob);
  }
  return 0;
}

void ShutdownApplication() {
  AppContext* app = AppContextPointer;
  if (!app) return;
  if (app->lookupSession) {
    LookupHistoryBlobs blobs = DestroyLookupSession(app->lookupSession, 1);
    app->lookupSession = nullptr;
    if (blobs.recentQueries) SaveRegistryRecord(kRecentQueriesRecord, blobs.recentQueries);
    if (blobs.recentEntries) SaveRegistryRecord(kRecentEntriesRecord, blobs.recentEntries);
    FreeMemHandle(blobs.recentQueries);
    FreeMemHandle(blobs.recentEntries);
  }
  if (app->hwrEngine) CloseHandwritingEngine(app->hwrEngine);
  app->hwrEngine = nullptr;
  // The definition's text outlives every notice that set it; the field keeps
  // a copy, so it goes with the session.
  if (app->definitionTextLocked) UnlockMemHandle(app->definitionText);
  app->definitionTextLocked = nullptr;
  FreeMemHandle(app->definitionText);
  app->definitionText = nullptr;
  // The audio worker reads the clip buffers and writes this record until it
  // ends: it is stopped and waited for before either is freed. One that does
  // not end in time keeps them (a leak at exit rather than a write into
  // freed memory).
  const bool audioEnded = ShutdownAudio(app) != 0;
  if (audioEnded) {
    for (MemHandle*& clip : app->clipBuffers) {
      FreeMemHandle(clip);
      clip = nullptr;
    }
  }
  DictEngine* engine = app->engine;
  {
    // The worker reads the engine pointer under the lock.
    EngineLockGuard lock;
    app->engine = nullptr;
  }
  EngineSaveBlock* saved = engine ? DestroyEngine(engine) : nullptr;
  app->flashcardStore = nullptr;
  CloseFoundDataFiles();
  if (saved) {
    SaveRegistryRecord(kEngineRecord, saved->engineRecord);
    SaveRegistryRecord(kDictsRecord, saved->dictsRecord);
    FreeEngineSaveBlock(saved);
  }
  if (audioEnded) LocalFree(app);
  AppContextPointer = nullptr;
}

void RescanDictionaryFiles() { RescanDataFilesInto(AppContextPointer ? AppContextPointer->engine : nullptr); }

WCHAR* GrabForegroundSelection(HWND window) {
  // Programs answer one of these menu commands with Copy when WM_COPY does
  // nothing.
  static constexpr WPARAM kCopyCommands[] = {0x3215, 0x55F2, 0x9CD8};
  HANDLE saved = nullptr;
  if (OpenClipboard(nullptr)) {
    saved = GetClipboardDataAlloc(CF_UNICODETEXT);
    EmptyClipboard();
    CloseClipboard();
  }
  HWND target = window ? window : GetForegroundKeyboardTarget();
  WCHAR* text = nullptr;
  if (target) {
    SendMessageW(target, WM_COPY, 0, 0);
    for (WPARAM command : kCopyCommands) {
      if (IsClipboardFormatAvailable(CF_UNICODETEXT)) break;
      SendMessageW(target, WM_COMMAND, command, 0);
    }
    if (IsClipboardFormatAvailable(CF_UNICODETEXT) && OpenClipboard(nullptr)) {
      text = static_cast<WCHAR*>(GetClipboardDataAlloc(CF_UNICODETEXT));
      CloseClipboard();
    }
  }
  if (saved) {
    bool handedBack = false;
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      handedBack = SetClipboardData(CF_UNICODETEXT, saved) != nullptr;
      CloseClipboard();
    }
    if (!handedBack) LocalFree(saved);
  }
  return text;
}
