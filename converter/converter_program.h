// Mendrel, the converter program: finds the first-generation dictionaries
// and the user's data file under the device root, lets the user choose
// what to carry over in dialog 1000, and writes one XML exchange file
// (converter_xml.h) that the dictionary program then imports.
//
// Threads: the dialog runs on the program's thread. Each Convert press
// starts one worker that only runs the save dialog and hands the chosen
// path back with a synchronous message (0x8129); the conversion itself
// runs on the dialog's thread. While the worker runs, Convert, Cancel and
// Done do nothing, and the program waits for it before freeing its state.
#pragma once

#include <atomic>
#include <cstdint>

#include "converter/converter_xml.h"
#include "converter/firstgen_dict_set.h"
#include "platform/types.h"

namespace converter {

struct RecordCache;

inline constexpr int kConverterDialog = 1000;
enum : int {
  kIdFreeDefinitions = 1001,
  kIdUserDefinitions = 1002,
  kIdUncarded = 1003,
  kIdEntriesOnly = 1004,
  kIdRanksAsScores = 1005,
  kIdScoreType = 1006,
  kIdRanksAsCategories = 1007,
  kIdFlagsAsCategories = 1008,
  kIdConvert = 1009,
  kIdCancel = 1010,
  kIdProgress = 1011,
};
// Sent by the save worker with the chosen path (a WCHAR*) in lParam.
inline constexpr UINT kMsgConvertToPath = 0x8129;
// Units of the save dialog's path buffer.
inline constexpr uint32_t kConverterPathMax = 512;
inline constexpr uint32_t kConverterTextMax = 128;
// Study mode of the user file's settings block that starts the dialog on
// "Repetition-spaced".
inline constexpr uint16_t kStudyModeSpaced = 3;

struct ConverterState {
  FirstGenDictSet set;  // the open dictionaries and the user data view
  WCHAR text[kConverterTextMax];
  RecordCache* cache;
  HINSTANCE instance;
  HANDLE worker;  // the save worker of the last Convert press
  std::atomic<bool> workerRunning;
};

// Registers dialog 1000 and string resources 1 and 2.
void RegisterConverterResources();

// The program: RunConverter, then FreeConverterState when the dialog ran.
// Always 0.
int ConverterWinMain(HINSTANCE instance, LPWSTR commandLine);
// 1 when the dialog ran (the state is then the caller's to free), 0 when
// there was nothing to convert.
int RunConverter(HINSTANCE instance, LPWSTR commandLine);
// 0 with the state made and at least one dictionary found; 1 (after the
// "No Dictionaries Installed" box, everything freed) otherwise.
int InitConverter();
// Closes the dictionaries and the user view before freeing the record
// cache their tables give blocks back to. Null state: nothing.
void FreeConverterState();
// The program's state between InitConverter and FreeConverterState.
ConverterState* GetConverterState();

// Searches the device for first-generation files matching `pattern`
// ("*.pdb"): every folder directly under the root but "Windows", and in
// each the "*Sorvi*" folders down to depth 2 (and the Program Files
// folder's at depth 2); each file once. `found` returns 0 to stop the
// search of the current folder.
void SearchFirstGenFiles(const WCHAR* pattern, int (*found)(const WCHAR* path, void* context), void* context);

INT_PTR ExportDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Writes the file and reports: 0 after "Export Completed"; 1 after the
// system's error text (the partial file deleted).
int ExportToFile(HWND dialog, const WCHAR* path, const ExportOptions* options);

}  // namespace converter
