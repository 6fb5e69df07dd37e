// The handheld shell's calls: its extra controls, the full-screen dialog
// with the caption's OK, activation without an input panel, and its text
// shortcuts.
#include <aygshell.h>
#include <commctrl.h>

#include <string>

namespace {

// The handheld's portrait screen.
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;

LPCWSTR const kDialogProcProperty = L"Skylode.HandheldDialogProc";

// The caption's close box stands in for the handheld's caption OK: it ends
// the dialog with IDOK, as that button does.
LRESULT CALLBACK CaptionOkProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropW(dialog, kDialogProcProperty));
  if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropW(dialog, kDialogProcProperty);
  }
  return CallWindowProcW(previous, dialog, msg, wp, lp);
}

void GiveCaptionAnOk(HWND dialog) {
  if (GetPropW(dialog, kDialogProcProperty)) return;
  SetWindowLongPtrW(dialog, GWL_STYLE, GetWindowLongPtrW(dialog, GWL_STYLE) | WS_SYSMENU);
  LONG_PTR previous =
      SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CaptionOkProc));
  SetPropW(dialog, kDialogProcProperty, reinterpret_cast<HANDLE>(previous));
}

}  // namespace

extern "C" BOOL WINAPI SHInitExtraControls(void) {
  // The handheld's shell has the common controls loaded; the desktop loads
  // them on request.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // The input panel's preference control has no look of its own.
  WNDCLASSW cls = {};
  cls.lpfnWndProc = DefWindowProcW;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"SIPPREF";
  return RegisterClassW(&cls) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

extern "C" BOOL WINAPI SHInitDialog(PSHINITDLGINFO info) {
  if (!info || !(info->dwMask & SHIDIM_FLAGS) || !IsWindow(info->hDlg)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->dwFlags & SHIDIF_DONEBUTTON) GiveCaptionAnOk(info->hDlg);
  UINT size = (info->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN)) ? 0 : SWP_NOSIZE;
  SetWindowPos(info->hDlg, nullptr, 0, 0, kScreenWidth, kScreenHeight,
               size | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return TRUE;
}

// The desktop has no input panel: activation is only recorded, and the
// panel is never up.
extern "C" BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* psai,
                                          DWORD) {
  if (!psai || psai->cbSize != sizeof(SHACTIVATEINFO) || !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  psai->fActive = LOWORD(wParam) != WA_INACTIVE;
  psai->fSipOnDeactivation = 0;
  return TRUE;
}

extern "C" BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM, LPARAM, SHACTIVATEINFO* psai) {
  if (!psai || psai->cbSize != sizeof(SHACTIVATEINFO) || !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  psai->fSipUp = 0;
  return TRUE;
}

// "N#target", N being the count of characters after '#', in UTF-8. Made
// only where nothing exists yet.
extern "C" BOOL WINAPI SHCreateShortcut(LPWSTR shortcut, LPWSTR target) {
  if (!shortcut || !target) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (GetFileAttributesW(shortcut) != INVALID_FILE_ATTRIBUTES) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  int length = static_cast<int>(wcslen(target));
  int bytes = WideCharToMultiByte(CP_UTF8, 0, target, length, nullptr, 0, nullptr, nullptr);
  std::string content = std::to_string(length) + "#" + std::string(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, target, length, content.data() + content.size() - bytes, bytes,
                      nullptr, nullptr);
  HANDLE file =
      CreateFileW(shortcut, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  BOOL ok =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
      written == content.size();
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) {
    DeleteFileW(shortcut);
    SetLastError(error);
  }
  return ok;
}
