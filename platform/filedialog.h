// The open and save file dialogs, drawn as the device's full-screen
// dialogs: the current folder, its sub-folders and the files that match the
// chosen filter, a name field, the filter list, OK and Cancel. Paths are
// device paths ("\My Documents\cards.xml"). A name typed with a leading '\'
// is a full path; a folder's name opens that folder.
//
// Checks on OK: OFN_PATHMUSTEXIST (the folder must exist), OFN_FILEMUSTEXIST
// (open: the file must exist), OFN_OVERWRITEPROMPT (save: an existing file
// asks "... already exists. Replace it?" with Yes/No). A save name without
// an extension gets lpstrDefExt, or the extension of the chosen filter when
// it names one ("*.TXT").
#pragma once

#include "platform/types.h"
#include "platform/window.h"

#define OFN_READONLY 0x00000001u
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_CREATEPROMPT 0x00002000u
#define OFN_EXPLORER 0x00080000u

struct OPENFILENAMEW {
  DWORD lStructSize;  // not checked (the program passes the device's size)
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCWSTR lpstrFilter;  // "Name\0*.EXT;*.EX2\0...\0\0"
  LPWSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based, in and out
  LPWSTR lpstrFile;    // initial name (or path) in, chosen path out
  DWORD nMaxFile;
  LPWSTR lpstrFileTitle;  // optional: the name alone
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;     // out: where the name starts in lpstrFile
  WORD nFileExtension;  // out: where the extension starts (0: none)
  LPCWSTR lpstrDefExt;
  LPARAM lCustData;
  void* lpfnHook;  // not supported (must be null)
  LPCWSTR lpTemplateName;
};

// TRUE with the path in lpstrFile; FALSE when cancelled (CommDlgExtendedError
// 0) or on an error (CDERR_INITIALIZATION for a bad record,
// FNERR_BUFFERTOOSMALL when the path does not fit: the first WORD of
// lpstrFile then holds the size needed).
BOOL GetOpenFileNameW(OPENFILENAMEW* ofn);
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn);

#define CDERR_INITIALIZATION 0x0002u
#define FNERR_BUFFERTOOSMALL 0x3003u
// The error of the calling thread's last file dialog.
DWORD CommDlgExtendedError();
