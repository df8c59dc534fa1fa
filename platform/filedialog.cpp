// GetOpenFileNameW / GetSaveFileNameW over the device file system, as a
// built-in dialog laid out in pixels over the work area.
#include "platform/filedialog.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/controls_internal.h"
#include "platform/dialog.h"
#include "platform/dialog_internal.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/screen.h"

namespace {

constexpr int kNameLabel = 1000, kName = 1001, kType = 1002, kFolder = 1003, kList = 1004, kTypeLabel = 1005;
constexpr UINT kScripted = WM_USER + 0x101;

thread_local DWORD t_error = 0;

struct Filter {
  std::u16string name;
  std::vector<std::u16string> patterns;
};

struct FileDialog {
  OPENFILENAMEW* ofn = nullptr;
  bool save = false;
  std::vector<Filter> filters;
  std::u16string folder;  // "\" or "\A\B"
  std::vector<std::pair<std::u16string, bool>> rows;  // name, is folder ("..": up)
  bool scripted = false;
  std::u16string scriptPath;
  int scriptFilter = 0;
};

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool Match(const char16_t* p, const char16_t* s) {
  if (!*p) return !*s;
  if (*p == u'*') return Match(p + 1, s) || (*s && Match(p, s + 1));
  if (!*s) return false;
  return (*p == u'?' || Upper(*p) == Upper(*s)) && Match(p + 1, s + 1);
}

std::vector<Filter> ParseFilters(LPCWSTR f) {
  std::vector<Filter> out;
  while (f && *f) {
    Filter flt;
    flt.name = f;
    f += flt.name.size() + 1;
    std::u16string pats = f;
    f += pats.size() + 1;
    size_t start = 0;
    while (start <= pats.size()) {
      size_t end = pats.find(u';', start);
      if (end == std::u16string::npos) end = pats.size();
      if (end > start) flt.patterns.push_back(pats.substr(start, end - start));
      start = end + 1;
    }
    out.push_back(flt);
    if (pats.empty()) break;
  }
  return out;
}

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  return folder == u"\\" ? u"\\" + name : folder + u"\\" + name;
}

std::u16string Parent(const std::u16string& path) {
  size_t slash = path.rfind(u'\\');
  if (slash == std::u16string::npos || slash == 0) return u"\\";
  return path.substr(0, slash);
}

bool IsFolder(const std::u16string& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool Exists(const std::u16string& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int CurrentFilter(HWND hwnd) {
  LRESULT i = SendDlgItemMessageW(hwnd, kType, CB_GETCURSEL, 0, 0);
  return i < 0 ? 0 : static_cast<int>(i);
}

void Fill(HWND hwnd, FileDialog* fd) {
  HWND list = GetDlgItem(hwnd, kList);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  fd->rows.clear();
  if (fd->folder != u"\\") fd->rows.emplace_back(u"..", true);
  std::vector<std::u16string> folders, files;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Join(fd->folder, u"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::u16string name = data.cFileName;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        folders.push_back(name);
        continue;
      }
      const Filter* f = fd->filters.empty() ? nullptr : &fd->filters[static_cast<size_t>(CurrentFilter(hwnd))];
      bool ok = !f || f->patterns.empty();
      if (f)
        for (const auto& p : f->patterns) ok = ok || Match(p.c_str(), name.c_str());
      if (ok) files.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  for (auto& n : folders) fd->rows.emplace_back(n, true);
  for (auto& n : files) fd->rows.emplace_back(n, false);
  for (auto& [name, folder] : fd->rows) {
    std::u16string shown = folder ? u"[" + name + u"]" : name;
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  }
  SetDlgItemTextW(hwnd, kFolder, fd->folder.c_str());
}

void Navigate(HWND hwnd, FileDialog* fd, const std::u16string& folder) {
  fd->folder = folder.empty() ? u"\\" : folder;
  Fill(hwnd, fd);
}

void Layout(HWND hwnd) {
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  MoveWindow(hwnd, work.left, work.top, work.right - work.left, work.bottom - work.top, FALSE);
  RECT rc;
  GetClientRect(hwnd, &rc);
  int m = ScaleToScreenDpi(4), row = ctl::RowHeight() + ScaleToScreenDpi(4), label = ScaleToScreenDpi(44);
  int bw = ScaleToScreenDpi(60);
  int y = m;
  MoveWindow(GetDlgItem(hwnd, kFolder), m, y, rc.right - 2 * m, row, FALSE);
  y += row + m;
  int listBottom = rc.bottom - 3 * (row + m);
  MoveWindow(GetDlgItem(hwnd, kList), m, y, rc.right - 2 * m, listBottom - y, FALSE);
  y = listBottom + m;
  MoveWindow(GetDlgItem(hwnd, kNameLabel), m, y, label, row, FALSE);
  MoveWindow(GetDlgItem(hwnd, kName), m + label, y, rc.right - 2 * m - label, row, FALSE);
  y += row + m;
  MoveWindow(GetDlgItem(hwnd, kTypeLabel), m, y, label, row, FALSE);
  MoveWindow(GetDlgItem(hwnd, kType), m + label, y, rc.right - 2 * m - label, row * 5, FALSE);
  y += row + m;
  MoveWindow(GetDlgItem(hwnd, IDOK), rc.right - 2 * (bw + m), y, bw, row, FALSE);
  MoveWindow(GetDlgItem(hwnd, IDCANCEL), rc.right - (bw + m), y, bw, row, FALSE);
}

std::u16string Trim(std::u16string s) {
  while (!s.empty() && s.back() == u' ') s.pop_back();
  size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  return s.substr(i);
}

// The caller's record gets the path; false (with the error set) when it
// does not fit.
bool Deliver(FileDialog* fd, HWND hwnd, const std::u16string& path) {
  OPENFILENAMEW* o = fd->ofn;
  if (path.size() + 1 > o->nMaxFile) {
    t_error = FNERR_BUFFERTOOSMALL;
    if (o->nMaxFile >= 1) o->lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(path.size() + 1, 0xFFFF));
    return false;
  }
  std::memcpy(o->lpstrFile, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
  size_t slash = path.rfind(u'\\');
  size_t nameAt = slash == std::u16string::npos ? 0 : slash + 1;
  size_t dot = path.rfind(u'.');
  o->nFileOffset = static_cast<WORD>(nameAt);
  o->nFileExtension = static_cast<WORD>(dot != std::u16string::npos && dot >= nameAt ? dot + 1 : 0);
  if (!fd->filters.empty()) o->nFilterIndex = static_cast<DWORD>(CurrentFilter(hwnd) + 1);
  if (o->lpstrFileTitle && o->nMaxFileTitle > 0) {
    std::u16string name = path.substr(nameAt);
    size_t n = std::min<size_t>(name.size(), o->nMaxFileTitle - 1);
    std::memcpy(o->lpstrFileTitle, name.data(), n * sizeof(WCHAR));
    o->lpstrFileTitle[n] = 0;
  }
  t_error = 0;
  return true;
}

std::u16string Caption(FileDialog* fd) {
  if (fd->ofn->lpstrTitle && *fd->ofn->lpstrTitle) return fd->ofn->lpstrTitle;
  return fd->save ? u"Save As" : u"Open";
}

void Ok(HWND hwnd, FileDialog* fd) {
  WCHAR buf[MAX_PATH * 2];
  GetDlgItemTextW(hwnd, kName, buf, MAX_PATH * 2);
  std::u16string name = Trim(buf);
  if (name.empty()) {
    int sel = static_cast<int>(SendDlgItemMessageW(hwnd, kList, LB_GETCURSEL, 0, 0));
    if (sel >= 0 && sel < static_cast<int>(fd->rows.size()) && fd->rows[static_cast<size_t>(sel)].second)
      name = fd->rows[static_cast<size_t>(sel)].first;
    else
      return;
  }
  if (name == u"..") {
    Navigate(hwnd, fd, Parent(fd->folder));
    return;
  }
  std::u16string path = name[0] == u'\\' ? name : Join(fd->folder, name);
  while (path.size() > 1 && path.back() == u'\\') path.pop_back();
  if (IsFolder(path)) {
    SetDlgItemTextW(hwnd, kName, u"");
    Navigate(hwnd, fd, path);
    return;
  }
  std::u16string caption = Caption(fd);
  DWORD flags = fd->ofn->Flags;
  std::u16string file = path.substr(path.rfind(u'\\') + 1);
  if (fd->save && file.find(u'.') == std::u16string::npos) {
    std::u16string ext = fd->ofn->lpstrDefExt ? fd->ofn->lpstrDefExt : u"";
    if (ext.empty() && !fd->filters.empty()) {
      const Filter& f = fd->filters[static_cast<size_t>(CurrentFilter(hwnd))];
      if (!f.patterns.empty() && f.patterns[0].rfind(u"*.", 0) == 0 &&
          f.patterns[0].find_first_of(u"*?", 2) == std::u16string::npos)
        ext = f.patterns[0].substr(2);
    }
    if (!ext.empty()) {
      path += u"." + ext;
      file += u"." + ext;
    }
  }
  if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !IsFolder(Parent(path))) {
    MessageBoxW(hwnd, (Parent(path) + u"\nThe folder does not exist.").c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!fd->save && (flags & OFN_FILEMUSTEXIST) && !Exists(path)) {
    MessageBoxW(hwnd, (file + u"\nFile not found.").c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (fd->save && (flags & OFN_OVERWRITEPROMPT) && Exists(path) &&
      MessageBoxW(hwnd, (file + u" already exists. Replace it?").c_str(), caption.c_str(), MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
    return;
  EndDialog(hwnd, Deliver(fd, hwnd, path) ? TRUE : FALSE);
}

INT_PTR FileDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* fd = reinterpret_cast<FileDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      fd = reinterpret_cast<FileDialog*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      HWND type = GetDlgItem(hwnd, kType);
      for (const Filter& f : fd->filters) SendMessageW(type, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.name.c_str()));
      int fi = static_cast<int>(fd->ofn->nFilterIndex);
      SendMessageW(type, CB_SETCURSEL, static_cast<WPARAM>(fi >= 1 && fi <= static_cast<int>(fd->filters.size()) ? fi - 1 : 0), 0);
      Layout(hwnd);
      // Start folder: the given one, the folder of the given path, My Documents, the root.
      std::u16string start, name;
      if (fd->ofn->lpstrFile && fd->ofn->lpstrFile[0]) {
        std::u16string given = fd->ofn->lpstrFile;
        size_t slash = given.rfind(u'\\');
        if (slash != std::u16string::npos) {
          start = slash == 0 ? u"\\" : given.substr(0, slash);
          name = given.substr(slash + 1);
        } else {
          name = given;
        }
      }
      if (fd->ofn->lpstrInitialDir && fd->ofn->lpstrInitialDir[0]) start = fd->ofn->lpstrInitialDir;
      if (start.empty() || !IsFolder(start)) start = IsFolder(u"\\My Documents") ? u"\\My Documents" : u"\\";
      SetDlgItemTextW(hwnd, kName, name.c_str());
      Navigate(hwnd, fd, start);
      if (fd->scripted) PostMessageW(hwnd, kScripted, 0, 0);
      SetFocus(GetDlgItem(hwnd, kName));
      return FALSE;
    }
    case kScripted:
      if (fd->scriptPath.empty()) {
        EndDialog(hwnd, FALSE);
        return TRUE;
      }
      if (fd->scriptFilter >= 1 && fd->scriptFilter <= static_cast<int>(fd->filters.size())) {
        SendDlgItemMessageW(hwnd, kType, CB_SETCURSEL, static_cast<WPARAM>(fd->scriptFilter - 1), 0);
        Fill(hwnd, fd);
      }
      SetDlgItemTextW(hwnd, kName, fd->scriptPath.c_str());
      SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam), code = HIWORD(wParam);
      if (id == IDOK) Ok(hwnd, fd);
      else if (id == IDCANCEL) EndDialog(hwnd, FALSE);
      else if (id == kType && code == CBN_SELCHANGE) Fill(hwnd, fd);
      else if (id == kList && (code == LBN_SELCHANGE || code == LBN_DBLCLK)) {
        int sel = static_cast<int>(SendDlgItemMessageW(hwnd, kList, LB_GETCURSEL, 0, 0));
        if (sel < 0 || sel >= static_cast<int>(fd->rows.size())) return TRUE;
        auto row = fd->rows[static_cast<size_t>(sel)];
        if (row.second) {
          // A tap on a folder opens it (one tap, as on the device).
          SetDlgItemTextW(hwnd, kName, u"");
          Navigate(hwnd, fd, row.first == u".." ? Parent(fd->folder) : Join(fd->folder, row.first));
        } else {
          SetDlgItemTextW(hwnd, kName, row.first.c_str());
          if (code == LBN_DBLCLK) Ok(hwnd, fd);
        }
      }
      return TRUE;
    }
  }
  return FALSE;
}

BOOL Run(OPENFILENAMEW* ofn, bool save) {
  t_error = 0;
  if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0 || ofn->lpfnHook) {
    t_error = CDERR_INITIALIZATION;
    return FALSE;
  }
  FileDialog fd;
  fd.ofn = ofn;
  fd.save = save;
  fd.filters = ParseFilters(ofn->lpstrFilter);
  fd.scripted = dlg::AutomationFileDialogAnswer(save, &fd.scriptPath, &fd.scriptFilter);
  std::u16string caption = Caption(&fd);
  const DialogItemTemplate items[] = {
      {kFolder, WC_STATICW, u"", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, 0, 0, 0, 10, 10},
      {kList, WC_LISTBOXW, u"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOTIFY, 0, 0, 0, 10, 10},
      {kNameLabel, WC_STATICW, u"Name:", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, 0, 0, 0, 10, 10},
      {kName, WC_EDITW, u"", WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 0, 0, 0, 10, 10},
      {kTypeLabel, WC_STATICW, u"Type:", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, 0, 0, 0, 10, 10},
      {kType, WC_COMBOBOXW, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 0, 0, 10, 50},
      {IDOK, WC_BUTTONW, u"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 10, 10},
      {IDCANCEL, WC_BUTTONW, u"Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 10, 10},
  };
  DialogTemplate t{dlg::kFileDialogTemplateId, caption.c_str(), WS_POPUP | WS_CAPTION, 0, 0, 0, 160, 200, items,
                   static_cast<int>(sizeof(items) / sizeof(items[0]))};
  HWND owner = ofn->hwndOwner && IsWindow(ofn->hwndOwner) ? ofn->hwndOwner : nullptr;
  INT_PTR r = DialogBoxIndirectParamW(ofn->hInstance, &t, owner, &FileDialogProc, reinterpret_cast<LPARAM>(&fd));
  if (r < 0) {
    t_error = CDERR_INITIALIZATION;
    return FALSE;
  }
  return r == TRUE ? TRUE : FALSE;
}

}  // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* ofn) { return Run(ofn, false); }
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn) { return Run(ofn, true); }
DWORD CommDlgExtendedError() { return t_error; }
