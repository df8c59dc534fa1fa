// Scripts for message boxes and file dialogs, dialog hooks and the record
// of open dialogs, shared by every thread under one mutex.
#include "platform/dialog_automation.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "platform/controls.h"
#include "platform/dialog_internal.h"
#include "platform/message.h"
#include "platform/propsheet.h"

namespace {

struct BoxScript {
  std::u16string text, caption;
  int result;
};
struct FileScript {
  std::u16string path;
  int filter;
};

struct Automation {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<BoxScript> boxes;
  std::deque<FileScript> files;
  std::vector<AutoMessageBoxRecord> log;
  std::vector<std::string> failures;
  std::map<int, std::pair<int, std::function<void(HWND)>>> hooks;  // hook id -> (template, fn)
  int nextHook = 1;
  std::vector<std::pair<HWND, int>> open;  // dialog, template id
};

Automation& A() {
  static Automation* a = new Automation;
  return *a;
}

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Keeps handling what other threads send to this one while it waits (a
// dialog opening on a worker may activate, and so message, this thread's
// windows).
HWND WaitFor(int templateId, DWORD timeoutMs) {
  Automation& a = A();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    {
      std::unique_lock<std::mutex> lk(a.mutex);
      for (auto& [h, id] : a.open)
        if (id == templateId) return h;
      if (std::chrono::steady_clock::now() >= deadline) return nullptr;
      a.changed.wait_for(lk, std::chrono::milliseconds(2));
    }
    MSG m;
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // handles sent messages only
  }
}

// The template id of an open dialog, from the record kept here (safe from
// any thread, unlike reading the dialog's own state); 0 when not open.
int OpenTemplateId(HWND dialog) {
  Automation& a = A();
  std::lock_guard<std::mutex> lk(a.mutex);
  for (auto& [h, id] : a.open)
    if (h == dialog) return id;
  return 0;
}

}  // namespace

namespace dlg {

void AutomationDialogCreated(HWND dialog, int templateId) {
  std::vector<std::function<void(HWND)>> run;
  {
    Automation& a = A();
    std::lock_guard<std::mutex> lk(a.mutex);
    a.open.emplace_back(dialog, templateId);
    for (auto& [id, h] : a.hooks)
      if (h.first == templateId) run.push_back(h.second);
  }
  A().changed.notify_all();
  for (auto& fn : run)
    if (IsWindow(dialog)) fn(dialog);
}

void AutomationDialogDestroyed(HWND dialog) {
  Automation& a = A();
  std::lock_guard<std::mutex> lk(a.mutex);
  for (size_t i = 0; i < a.open.size(); ++i)
    if (a.open[i].first == dialog) {
      a.open.erase(a.open.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
}

bool AutomationMessageBoxAnswer(const std::u16string& text, const std::u16string& caption, UINT, int* answer) {
  Automation& a = A();
  std::lock_guard<std::mutex> lk(a.mutex);
  if (a.boxes.empty()) return false;
  BoxScript s = a.boxes.front();
  a.boxes.pop_front();
  if (s.text != text || s.caption != caption)
    a.failures.push_back("message box: expected \"" + Narrow(s.text) + "\" / \"" + Narrow(s.caption) + "\", got \"" +
                         Narrow(text) + "\" / \"" + Narrow(caption) + "\"");
  *answer = s.result;
  return true;
}

void AutomationMessageBoxResult(const std::u16string& text, const std::u16string& caption, UINT type, int result,
                                bool scripted) {
  Automation& a = A();
  std::lock_guard<std::mutex> lk(a.mutex);
  a.log.push_back(AutoMessageBoxRecord{text, caption, type, result, scripted});
}

bool AutomationFileDialogAnswer(bool, std::u16string* path, int* filterIndex) {
  Automation& a = A();
  std::lock_guard<std::mutex> lk(a.mutex);
  if (a.files.empty()) return false;
  *path = a.files.front().path;
  *filterIndex = a.files.front().filter;
  a.files.pop_front();
  return true;
}

}  // namespace dlg

void AutoExpectMessageBox(const std::u16string& text, const std::u16string& caption, int result) {
  std::lock_guard<std::mutex> lk(A().mutex);
  A().boxes.push_back(BoxScript{text, caption, result});
}

std::vector<AutoMessageBoxRecord> AutoMessageBoxLog() {
  std::lock_guard<std::mutex> lk(A().mutex);
  return A().log;
}

HWND AutoWaitForMessageBox(DWORD timeoutMs) { return WaitFor(dlg::kMessageBoxTemplateId, timeoutMs); }

BOOL AutoAnswerMessageBox(HWND box, int result) {
  if (OpenTemplateId(box) != dlg::kMessageBoxTemplateId) return FALSE;
  return PostMessageW(box, WM_COMMAND, MAKEWPARAM(result, BN_CLICKED), 0);
}

void AutoExpectFileDialog(const std::u16string& path, int filterIndex) {
  std::lock_guard<std::mutex> lk(A().mutex);
  A().files.push_back(FileScript{path, filterIndex});
}

int AutoHookDialog(int templateId, std::function<void(HWND)> hook) {
  std::lock_guard<std::mutex> lk(A().mutex);
  int id = A().nextHook++;
  A().hooks[id] = {templateId, std::move(hook)};
  return id;
}

void AutoUnhookDialog(int hookId) {
  std::lock_guard<std::mutex> lk(A().mutex);
  A().hooks.erase(hookId);
}

HWND AutoWaitForDialog(int templateId, DWORD timeoutMs) { return WaitFor(templateId, timeoutMs); }

BOOL AutoSetPropertySheetPage(HWND sheet, int index) {
  if (OpenTemplateId(sheet) != dlg::kPropertySheetTemplateId) return FALSE;
  return SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) ? TRUE : FALSE;
}

HWND AutoGetPropertySheetPage(HWND sheet, int index) {
  if (OpenTemplateId(sheet) != dlg::kPropertySheetTemplateId) return nullptr;
  return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0));
}

std::vector<std::string> AutoScriptFailures() {
  std::lock_guard<std::mutex> lk(A().mutex);
  std::vector<std::string> out = A().failures;
  for (auto& b : A().boxes) out.push_back("message box never shown: \"" + Narrow(b.text) + "\"");
  for (auto& f : A().files) out.push_back("file dialog never shown: \"" + Narrow(f.path) + "\"");
  return out;
}

void AutoResetDialogScripts() {
  std::lock_guard<std::mutex> lk(A().mutex);
  A().boxes.clear();
  A().files.clear();
  A().log.clear();
  A().failures.clear();
  A().hooks.clear();
}
