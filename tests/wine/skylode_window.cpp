#include "skylode_window.h"

#include "check.h"
#include "fixtures.h"

namespace wine_test {
namespace {

constexpr int kUpdateButton = 1000;
constexpr int kAddressBox = 1001;
constexpr int kStatusLine = 1005;
constexpr int kPollMs = 50;

struct Search {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
  return TRUE;
}

// The visible top-level windows of the process.
std::vector<HWND> TopWindows(DWORD pid) {
  Search search = {pid, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ClassOf(HWND hwnd) {
  WCHAR name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return Narrow(name);
}

// The main dialog is the one with the Update button.
bool IsMainDialog(HWND hwnd) { return GetDlgItem(hwnd, kUpdateButton) != nullptr; }

// A window's text as the window itself holds it; asked with a message, so
// it also serves edit fields. Empty when the program does not answer.
std::string AskText(HWND hwnd) {
  WCHAR text[2048] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           2000, &copied))
    return std::string();
  return Narrow(text);
}

// The text the window system keeps for a window: read without waiting for
// the program, which may be busy downloading.
std::string WindowText(HWND hwnd) {
  WCHAR text[2048] = {};
  GetWindowTextW(hwnd, text, 2048);
  return Narrow(text);
}

std::string WithoutAmpersands(std::string label) {
  std::string out;
  for (char c : label)
    if (c != '&') out += c;
  return out;
}

struct Children {
  std::vector<HWND> all;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp) {
  reinterpret_cast<Children*>(lp)->all.push_back(hwnd);
  return TRUE;
}

Box ReadBox(HWND hwnd) {
  Box box;
  box.hwnd = hwnd;
  box.caption = WindowText(hwnd);
  Children children;
  EnumChildWindows(hwnd, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children.all) {
    if (!IsWindowVisible(child)) continue;
    std::string cls = ClassOf(child);
    std::string text = WindowText(child);
    if (_stricmp(cls.c_str(), "Static") == 0 && !text.empty())
      box.text += text;
    else if (_stricmp(cls.c_str(), "Button") == 0)
      box.buttons.push_back(WithoutAmpersands(text));
  }
  return box;
}

bool Until(int timeout_ms, const std::function<bool()>& done) {
  for (DWORD start = GetTickCount();;) {
    if (done()) return true;
    if (GetTickCount() - start > static_cast<DWORD>(timeout_ms)) return false;
    Sleep(kPollMs);
  }
}

}  // namespace

std::wstring SkylodeExe() {
  WCHAR path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring exe(path);
  return exe.substr(0, exe.find_last_of(L'\\') + 1) + L"Skylode.exe";
}

Skylode::Skylode(const std::wstring& arguments, Expect expect) {
  std::wstring exe = SkylodeExe();
  std::wstring command = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, L"C:\\",
                      &startup, &process_)) {
    Fail(__FILE__, __LINE__, "cannot start Skylode.exe: error " + std::to_string(GetLastError()));
    return;
  }
  if (expect == kNoDialog) return;
  Until(20000, [this] {
    for (HWND hwnd : TopWindows(process_.dwProcessId))
      if (IsMainDialog(hwnd)) dialog_ = hwnd;
    return dialog_ != nullptr || !Running();
  });
  if (!dialog_) Fail(__FILE__, __LINE__, "Skylode's dialog did not come up");
}

Skylode::~Skylode() {
  if (!process_.hProcess) return;
  if (Running() && !(dialog_ && Close(5000))) {
    Fail(__FILE__, __LINE__, "Skylode did not close; ended by force");
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool Skylode::Running() {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::string Skylode::Status() {
  HWND status = GetDlgItem(dialog_, kStatusLine);
  return status && IsWindowVisible(status) ? WindowText(status) : std::string();
}

bool Skylode::WaitForStatus(const std::string& start, int timeout_ms) {
  return Until(timeout_ms, [&] {
    std::string status = Status();
    return !status.empty() && status.rfind(start, 0) == 0;
  });
}

std::string Skylode::Address() { return AskText(GetDlgItem(dialog_, kAddressBox)); }

std::vector<std::string> Skylode::List() {
  HWND box = GetDlgItem(dialog_, kAddressBox);
  std::vector<std::string> entries;
  DWORD_PTR count = 0;
  SendMessageTimeoutW(box, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
  for (int i = 0; i < static_cast<int>(count); ++i) {
    WCHAR text[2048] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &length);
    entries.push_back(Narrow(text));
  }
  return entries;
}

int Skylode::Selected() {
  DWORD_PTR index = static_cast<DWORD_PTR>(CB_ERR);
  SendMessageTimeoutW(GetDlgItem(dialog_, kAddressBox), CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 2000,
                      &index);
  return static_cast<int>(static_cast<LRESULT>(index));
}

void Skylode::TypeAddress(const std::string& address) {
  std::wstring text = Wide(address);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(GetDlgItem(dialog_, kAddressBox), WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 2000, &ignored);
}

void Skylode::PickPreset(int index) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(GetDlgItem(dialog_, kAddressBox), CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG,
                      2000, &ignored);
}

void Skylode::PressUpdate() { PostMessageW(GetDlgItem(dialog_, kUpdateButton), BM_CLICK, 0, 0); }

Box Skylode::WaitForBox(int timeout_ms) {
  Box box;
  Until(timeout_ms, [&] {
    for (HWND hwnd : TopWindows(process_.dwProcessId))
      if (hwnd != dialog_ && ClassOf(hwnd) == "#32770") box = ReadBox(hwnd);
    return box.hwnd != nullptr || !Running();
  });
  return box;
}

bool Skylode::Answer(const Box& box, const std::string& button) {
  Children children;
  EnumChildWindows(box.hwnd, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children.all) {
    if (_stricmp(ClassOf(child).c_str(), "Button") != 0) continue;
    if (WithoutAmpersands(WindowText(child)) != button) continue;
    PostMessageW(child, BM_CLICK, 0, 0);
    return Until(5000, [&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); });
  }
  return false;
}

bool Skylode::WaitUntilIdle(int timeout_ms) {
  return Until(timeout_ms, [&] {
    for (HWND hwnd : TopWindows(process_.dwProcessId))
      if (hwnd != dialog_) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored) != 0;
  });
}

bool Skylode::Close(int timeout_ms) {
  PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
  return WaitForExit(timeout_ms);
}

bool Skylode::WaitForExit(int timeout_ms) {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, timeout_ms) == WAIT_OBJECT_0;
}

}  // namespace wine_test
