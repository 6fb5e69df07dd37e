#include <string.h>

#include "SkylodeDlg.h"
#include "net.h"

namespace {
const WCHAR kTargetPath[] = TEXT("\\windows\\ZUZIdarudaZozo.ee");
}  // namespace

// Remembers the address where the maker's download client keeps it; the key
// is never created, and a failed write goes unnoticed.
void CSkylodeDlg::RememberAddress(LPCWSTR address) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDownloadClientKey, 0, 0, &key) != ERROR_SUCCESS) return;
  RegSetValueExW(key, TEXT("url"), 0, REG_SZ, reinterpret_cast<const BYTE*>(address),
                 static_cast<DWORD>((wcslen(address) + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
}

// One whole update: remember the address, make sure of the connection,
// download, load into the receiver, show the outcome.
void CSkylodeDlg::OnBnClickedUpdate() {
  // The download's failure box has no owner, so the button can be pressed
  // while a run waits on it: such a press does nothing.
  if (m_updating) return;
  WCHAR address[kAddressChars];
  memset(address, 0, sizeof(address));
  ::ShowWindow(::GetDlgItem(m_hWnd, IDC_STATUS), SW_HIDE);
  ::GetDlgItemTextW(m_hWnd, IDC_ADDRESS, address, kAddressChars);
  RememberAddress(address);

  HANDLE connection = NULL;
  if (!EstablishInternetConnection(m_hWnd, &connection)) return;

  HCURSOR previous = SetCursor(LoadCursor(NULL, IDC_WAIT));
  m_updating = true;
  try {
    if (address[0] != 0 && DownloadHttpFile(address, kTargetPath, &m_progress)) {
      CString result = InjectEphemeris(kTargetPath);
      if (!result.IsEmpty()) AfxMessageBox(result, MB_OK);
    }
  } catch (...) {
    // An error raised on the way still releases the connection and the
    // cursor before it reaches the error report.
    m_updating = false;
    ReleaseInternetConnection(connection);
    SetCursor(previous);
    throw;
  }
  m_updating = false;
  ReleaseInternetConnection(connection);
  SetCursor(previous);
}
