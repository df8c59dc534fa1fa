#include "converter/converter_program.h"

#include <cwctype>
#include <set>
#include <string>

#include "converter/firstgen_record_cache.h"
#include "converter/firstgen_table.h"
#include "converter/firstgen_user_data.h"
#include "platform/controls.h"
#include "platform/core.h"
#include "platform/dialog.h"
#include "platform/filedialog.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/system_info.h"
#include "platform/threads.h"
#include "platform/ui.h"

namespace converter {
namespace {

ConverterState* g_state = nullptr;

constexpr char16_t kNoDictionariesText[] =
    u"Cannot locate any dictionary data files. Please double-check that you've correctly installed the files to "
    u"your Pocket PC.";
constexpr char16_t kNoDictionariesCaption[] = u"No Dictionaries Installed";
constexpr char16_t kCompletedCaption[] = u"Export Completed";
constexpr char16_t kErrorCaption[] = u"Error";
// The common controls the program asks for (list view, tree view, bar,
// tab and date classes).
constexpr DWORD kCommonControlClasses = 0x505;
// The search goes this deep below a start folder.
constexpr int kMaxSearchDepth = 2;

// ---- Resources -------------------------------------------------------------

constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE;
const DialogItemTemplate kExportItems[] = {
    {kIdFreeDefinitions, u"BUTTON", u"Export free dict definitions", kCheck, 0, 5, 4, 150, 12},
    {kIdUserDefinitions, u"BUTTON", u"Export user dict definitions", kCheck, 0, 5, 17, 150, 12},
    {kIdUncarded, u"BUTTON", u"(including non-flashcard ones)", kCheck, 0, 15, 30, 140, 12},
    {kIdEntriesOnly, u"BUTTON", u"ONLY (no cards, just entries)", kCheck, 0, 15, 43, 140, 12},
    {kIdRanksAsScores, u"BUTTON", u"Export ranks as scores", kCheck, 0, 5, 56, 150, 12},
    {kIdScoreType, u"COMBOBOX", u"", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VISIBLE, 0, 15, 69, 120, 60},
    {kIdRanksAsCategories, u"BUTTON", u"Export ranks as categories", kCheck, 0, 5, 84, 150, 12},
    {kIdFlagsAsCategories, u"BUTTON", u"Export flags (as categories)", kCheck, 0, 5, 97, 150, 12},
    {kIdConvert, u"BUTTON", u"Convert", kButton, 0, 5, 112, 60, 14},
    {kIdCancel, u"BUTTON", u"Cancel", kButton, 0, 75, 112, 60, 14},
    {kIdProgress, u"STATIC", u"", SS_LEFT | WS_VISIBLE, 0, 5, 130, 140, 12},
};
const DialogTemplate kExportDialog = {
    kConverterDialog,
    u"SorviConverterV200",
    WS_POPUP | WS_CAPTION | WS_VISIBLE,
    0,
    0,
    0,
    160,
    170,
    kExportItems,
    static_cast<int>(sizeof(kExportItems) / sizeof(kExportItems[0])),
};

// ---- File search ---------------------------------------------------------------

std::u16string Lower(const std::u16string& s) {
  std::u16string out = s;
  for (char16_t& c : out)
    if (c < 0x80) c = static_cast<char16_t>(std::towlower(c));
  return out;
}

struct Search {
  const WCHAR* pattern;
  int (*found)(const WCHAR*, void*);
  void* context;
  std::set<std::u16string> seen;  // a file the search reaches twice is reported once
};

// Calls `each` for every entry of `pattern` that is (folders) or is not a
// folder, until it returns false.
template <typename Each>
void ForEachEntry(const std::u16string& pattern, bool folders, Each each) {
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder == folders && data.cFileName[0] && !each(std::u16string(data.cFileName))) break;
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

void SearchFolder(Search* s, const std::u16string& folder, int depth) {
  ForEachEntry(folder + u"\\" + s->pattern, false, [&](const std::u16string& name) {
    const std::u16string path = folder + u"\\" + name;
    if (!s->seen.insert(Lower(path)).second) return true;
    return s->found(path.c_str(), s->context) != 0;
  });
  if (depth >= kMaxSearchDepth) return;
  ForEachEntry(folder + u"\\*Sorvi*", true,
               [&](const std::u16string& name) { return SearchFolder(s, folder + u"\\" + name, depth + 1), true; });
  if (depth == 1) {
    ForEachEntry(u"\\Program Files\\*Sorvi*", true, [&](const std::u16string& name) {
      return SearchFolder(s, u"\\Program Files\\" + name, kMaxSearchDepth), true;
    });
  }
}

int OfferFound(const WCHAR* path, void* context) {
  auto* bundle = static_cast<bool*>(context);
  if (*bundle) OfferFirstGenBundle(&g_state->set, path);
  else
    OfferFirstGenContainer(&g_state->set, path, g_state->cache);
  return 1;
}

// At least one dictionary that did not come from a bundle has entries.
bool HasStartableDictionary(const FirstGenDictSet& set) {
  for (uint16_t i = 0; i < set.count; ++i) {
    const FirstGenDictionary* d = set.dicts[i];
    if (!(d->flags & kDictFromBundle) && d->entries && d->entries->rowCount > 0) return true;
  }
  return false;
}

// ---- Conversion ------------------------------------------------------------------

struct FileOutput {
  HWND dialog;
  HANDLE file;
  DWORD error;
};

int WriteToFile(void* user, const uint8_t* bytes, uint32_t length) {
  auto* out = static_cast<FileOutput*>(user);
  DWORD written = 0;
  if (!WriteFile(out->file, bytes, length, &written, nullptr)) {
    out->error = GetLastError();
    return 1;
  }
  if (written != length) {
    out->error = ERROR_DISK_FULL;
    return 1;
  }
  return 0;
}

// The card counter: the cards written before the current one, shown at once.
void ShowCardCount(void* user, uint32_t written) {
  HWND dialog = static_cast<FileOutput*>(user)->dialog;
  SetDlgItemInt(dialog, kIdProgress, written, FALSE);
  UpdateWindow(GetDlgItem(dialog, kIdProgress));
}

// The system's text for the last error, under "Error".
void ShowSystemError(HWND owner) {
  WCHAR text[256] = {};
  if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(), 0, text, 256, nullptr) == 0) text[0] = 0;
  MessageBoxW(owner, text, kErrorCaption, MB_OK | MB_ICONINFORMATION);
}

ExportOptions ReadOptions(HWND dialog) {
  ExportOptions o{};
  auto checked = [&](int id) -> uint8_t { return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0; };
  o.bytes[kOptionFreeDefinitions] = checked(kIdFreeDefinitions);
  o.bytes[kOptionUserDefinitions] = checked(kIdUserDefinitions);
  o.bytes[kOptionUncarded] = checked(kIdUncarded);
  o.bytes[kOptionEntriesOnly] = checked(kIdEntriesOnly);
  if (checked(kIdRanksAsScores)) {
    const bool spaced = SendDlgItemMessageW(dialog, kIdScoreType, CB_GETCURSEL, 0, 0) == 1;
    o.bytes[spaced ? kOptionRankSpaced : kOptionRankFrequency] = 1;
  }
  o.bytes[kOptionRankCategories] = checked(kIdRanksAsCategories);
  o.bytes[kOptionFlagCategories] = checked(kIdFlagsAsCategories);
  return o;
}

DWORD ConverterSaveThread(LPVOID parameter) {
  HWND dialog = static_cast<HWND>(parameter);
  WCHAR path[kConverterPathMax] = {};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = u"XML\0*.XML\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = kConverterPathMax;
  ofn.Flags = OFN_OVERWRITEPROMPT;
  if (GetSaveFileNameW(&ofn)) SendMessageW(dialog, kMsgConvertToPath, 0, reinterpret_cast<LPARAM>(path));
  g_state->workerRunning = false;
  return 0;
}

void StartSaveWorker(HWND dialog) {
  if (g_state->workerRunning) return;
  if (g_state->worker) CloseHandle(g_state->worker);
  g_state->workerRunning = true;
  g_state->worker = CreateThread(nullptr, 0, ConverterSaveThread, dialog, 0, nullptr);
  if (!g_state->worker) g_state->workerRunning = false;
}

}  // namespace

void RegisterConverterResources() {
  RegisterDialogTemplate(&kExportDialog);
  RegisterStringResource(1, u"Mendrel");
  RegisterStringResource(2, u"Sorvi Converter");
}

ConverterState* GetConverterState() { return g_state; }

void SearchFirstGenFiles(const WCHAR* pattern, int (*found)(const WCHAR*, void*), void* context) {
  Search s{pattern, found, context, {}};
  ForEachEntry(u"\\*", true, [&](const std::u16string& name) {
    if (Lower(name) != u"windows") SearchFolder(&s, u"\\" + name, 1);
    return true;
  });
}

int InitConverter() {
  FreeConverterState();
  g_state = new ConverterState{};
  g_state->cache = NewRecordCache();
  if (g_state->cache) {
    bool bundle = false;
    SearchFirstGenFiles(u"*.pdb", OfferFound, &bundle);
    bundle = true;
    SearchFirstGenFiles(u"*.kve", OfferFound, &bundle);
  }
  if (g_state->cache && HasStartableDictionary(g_state->set)) return 0;
  MessageBoxW(nullptr, kNoDictionariesText, kNoDictionariesCaption, MB_OK | MB_ICONSTOP);
  FreeConverterState();
  return 1;
}

void FreeConverterState() {
  if (!g_state) return;
  // The tables give their blocks back to the cache as they close.
  CloseFirstGenDictSet(&g_state->set);
  FreeRecordCache(g_state->cache);
  if (g_state->worker) CloseHandle(g_state->worker);
  delete g_state;
  g_state = nullptr;
}

int ExportToFile(HWND dialog, const WCHAR* path, const ExportOptions* options) {
  HANDLE file =
      CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ShowSystemError(dialog);
    return 1;
  }
  SetDlgItemInt(dialog, kIdProgress, 0, FALSE);
  const std::u16string full(path);
  const size_t slash = full.rfind(u'\\');
  const std::u16string name = slash == std::u16string::npos ? full : full.substr(slash + 1);
  FileOutput out{dialog, file, 0};
  const ConverterOutput output{WriteToFile, ShowCardCount, &out};
  uint32_t cards = 0;
  const int rc = WriteConverterXml(&g_state->set, options, name.c_str(), &output, &cards);
  DWORD error = rc != 0 ? (out.error ? out.error : static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY)) : 0;
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  if (error != 0) {
    // A cut file must not pass for a converted one.
    DeleteFileW(path);
    SetLastError(error);
    ShowSystemError(dialog);
    return 1;
  }
  const std::u16string count = [&] {
    std::u16string digits;
    for (char c : std::to_string(cards)) digits.push_back(static_cast<char16_t>(c));
    return digits;
  }();
  const std::u16string text = u"A total of " + count + u" cards were successfully exported.";
  MessageBoxW(dialog, text.c_str(), kCompletedCaption, MB_OK | MB_ICONINFORMATION);
  return 0;
}

INT_PTR ExportDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      SHINITDLGINFO info{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
      SHInitDialog(&info);
      for (int id : {kIdFreeDefinitions, kIdUserDefinitions, kIdUncarded, kIdRanksAsScores, kIdFlagsAsCategories})
        CheckDlgButton(dialog, id, BST_CHECKED);
      SendDlgItemMessageW(dialog, kIdScoreType, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Frequency-adjusted"));
      SendDlgItemMessageW(dialog, kIdScoreType, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Repetition-spaced"));
      // Without a user file the dialog opens on row 0.
      const UserDataView* user = g_state ? g_state->set.userData : nullptr;
      const bool spaced = user && GetUserSetting(user, kSettingStudyMode) == kStudyModeSpaced;
      SendDlgItemMessageW(dialog, kIdScoreType, CB_SETCURSEL, spaced ? 1 : 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kIdConvert:
          if (g_state) StartSaveWorker(dialog);
          return TRUE;
        case kIdCancel:
        case IDOK:
          // The worker's save dialog is still open: it must end first.
          if (!g_state || !g_state->workerRunning) EndDialog(dialog, 0);
          return TRUE;
        default:
          return FALSE;
      }
    case kMsgConvertToPath: {
      if (!g_state || !lParam) return TRUE;
      const ExportOptions options = ReadOptions(dialog);
      if (ExportToFile(dialog, reinterpret_cast<const WCHAR*>(lParam), &options) == 0) EndDialog(dialog, 1);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

int RunConverter(HINSTANCE instance, LPWSTR) {
  SHInitExtraControls();
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), kCommonControlClasses};
  InitCommonControlsEx(&controls);
  WCHAR name[kConverterTextMax] = {};
  WCHAR unused[kConverterTextMax] = {};
  LoadStringW(instance, 1, name, kConverterTextMax);
  LoadStringW(instance, 2, unused, kConverterTextMax);
  if (InitConverter() != 0) return 0;
  g_state->instance = instance;
  DialogBoxParamW(instance, MAKEINTRESOURCEW(kConverterDialog), nullptr, ExportDlgProc, 0);
  // The state outlives the worker: it still clears its flag in it.
  if (g_state->worker) WaitForSingleObject(g_state->worker, INFINITE);
  return 1;
}

int ConverterWinMain(HINSTANCE instance, LPWSTR commandLine) {
  if (RunConverter(instance, commandLine)) FreeConverterState();
  return 0;
}

}  // namespace converter
