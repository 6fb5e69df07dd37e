#include "afxwin.h"

#include <tlhelp32.h>

namespace {

CWinApp* g_app = nullptr;

// The application title: the executable's file name without folder and
// extension, as it is at run time.
void TitleFromModule(LPWSTR title, DWORD size) {
  WCHAR path[MAX_PATH] = {};
  if (!::GetModuleFileNameW(nullptr, path, MAX_PATH)) {
    wcsncpy(title, TEXT("Application"), size - 1);
    return;
  }
  const WCHAR* name = wcsrchr(path, u'\\');
  name = name ? name + 1 : path;
  wcsncpy(title, name, size - 1);
  if (WCHAR* dot = const_cast<WCHAR*>(wcsrchr(title, u'.'))) *dot = 0;
}

// The file name of a path: what follows its last backslash.
const WCHAR* FileName(const WCHAR* path) {
  const WCHAR* slash = wcsrchr(path, u'\\');
  return slash ? slash + 1 : path;
}

// Whether the process runs the executable `exe`. The snapshot's entry holds
// the executable's path on some versions of the platform and only its file
// name on others: a bare name is compared with the file name.
bool RunsExecutable(DWORD pid, const WCHAR* exe) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry;
  memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  bool same = false;
  for (BOOL more = ::Process32First(snapshot, &entry); more;
       more = ::Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID != pid) continue;
    const WCHAR* listed = entry.szExeFile;
    same = wcschr(listed, u'\\') ? !_wcsicmp(listed, exe) : !_wcsicmp(listed, FileName(exe));
    break;
  }
  ::CloseToolhelp32Snapshot(snapshot);
  return same;
}

struct FindContext {
  const WCHAR* exe;
  HWND found;
};

// A visible, unowned top-level window of another copy of the same
// executable, not one of the shell's helper windows.
BOOL CALLBACK FindRunningCopy(HWND hwnd, LPARAM lp) {
  auto* ctx = reinterpret_cast<FindContext*>(lp);
  if (!::IsWindowVisible(hwnd)) return TRUE;
  if (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) return TRUE;
  if (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return TRUE;
  if (::GetWindow(hwnd, GW_OWNER)) return TRUE;
  WCHAR cls[64] = {};
  ::GetClassNameW(hwnd, cls, 64);
  if (!_wcsicmp(cls, TEXT("shfind")) || !_wcsicmp(cls, TEXT("static")) ||
      !_wcsicmp(cls, TEXT("CursorWindow")))
    return TRUE;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (!RunsExecutable(pid, ctx->exe)) return TRUE;
  ctx->found = hwnd;
  return FALSE;
}

// One running copy per executable: a later start brings the running copy's
// window to the front and ends.
bool FirstInstance() {
  WCHAR exe[MAX_PATH] = {};
  if (!::GetModuleFileNameW(nullptr, exe, MAX_PATH)) return true;
  WCHAR name[MAX_PATH];
  wcscpy(name, exe);
  for (WCHAR* p = name; *p; ++p)
    if (*p == u'\\') *p = u'/';
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);  // held for the life of the process
  if (!mutex || ::GetLastError() != ERROR_ALREADY_EXISTS) return true;
  for (int look = 0; look < 40; ++look) {
    FindContext ctx = {exe, nullptr};
    ::EnumWindows(FindRunningCopy, reinterpret_cast<LPARAM>(&ctx));
    if (ctx.found) {
      ::SetForegroundWindow(ctx.found);
      return false;
    }
    ::Sleep(250);
  }
  return true;
}

}  // namespace

CWinApp::CWinApp() { g_app = this; }
CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

HICON CWinApp::LoadIcon(UINT id) const {
  return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCE(id));
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() {
  return g_app && g_app->m_hInstance ? g_app->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

LPCWSTR AfxGetAppName() {
  static WCHAR fallback[MAX_PATH];
  if (g_app) {
    if (!g_app->m_pszAppName) {
      TitleFromModule(g_app->m_appName, MAX_PATH);
      g_app->m_pszAppName = g_app->m_appName;
    }
    return g_app->m_pszAppName;
  }
  if (!fallback[0]) TitleFromModule(fallback, MAX_PATH);
  return fallback;
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT) {
  if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
  HWND owner = g_app && g_app->m_pMainWnd ? g_app->m_pMainWnd->m_hWnd : nullptr;
  if (owner && !::IsWindow(owner)) owner = nullptr;
  return ::MessageBoxW(owner, text, AfxGetAppName(), type | MB_SETFOREGROUND);
}

void AfxReportException(CException* e) {
  if (dynamic_cast<CMemoryException*>(e)) {
    AfxMessageBox(TEXT("Out of memory."), MB_ICONEXCLAMATION | MB_OK);
    return;
  }
  WCHAR text[512];
  if (!e->GetErrorMessage(text, 512)) wcscpy(text, TEXT("Internal application error."));
  AfxMessageBox(text, MB_ICONSTOP | MB_OK);
}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPWSTR cmdLine, int) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  app->m_hInstance = instance;
  app->m_lpCmdLine = cmdLine;
  AfxGetAppName();
  if (!FirstInstance()) return 0;
  app->InitInstance();
  return 0;
}
