#include "SkylodeDlg.h"

#include <string.h>

#include <aygshell.h>

#include "GpsReceiver.h"
#include "ScopedHandle.h"

namespace {

// The download servers of the handheld makers, in the order the list shows them.
const LPCWSTR kPresetAddresses[] = {
    TEXT("http://ee.maker-a.example/packedEphemeris.ee"),
    TEXT("http://service.maker-b.example/eeservice/packedephemeris.ee"),
    TEXT("http://eu.maker-c.example/clm/packedEphemeris.ee"),
    TEXT("http://us.maker-c.example/clm/packedEphemeris.ee"),
    TEXT("http://asia.maker-c.example/clm/packedEphemeris.ee"),
};

}  // namespace

CSkylodeDlg::CSkylodeDlg(CWnd* pParent)
    : CDialog(CSkylodeDlg::IDD, pParent), m_timerId(0), m_hIcon(nullptr), m_updating(false) {
  m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDI_MAIN)
                        : ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCE(IDI_MAIN));
}

CSkylodeDlg::~CSkylodeDlg() = default;

void CSkylodeDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BEGIN_MESSAGE_MAP(CSkylodeDlg, CDialog)
ON_WM_SIZE()
ON_WM_TIMER()
ON_BN_CLICKED(IDC_UPDATE, OnBnClickedUpdate)
ON_CBN_SELCHANGE(IDC_ADDRESS, OnCbnSelchangeAddress)
ON_CBN_EDITCHANGE(IDC_ADDRESS, OnCbnEditchangeAddress)
END_MESSAGE_MAP()

BOOL CSkylodeDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  for (LPCWSTR address : kPresetAddresses)
    SendDlgItemMessage(IDC_ADDRESS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
  SendDlgItemMessage(IDC_ADDRESS, CB_SETCURSEL, 0, 0);

  ShowReceiverValidity();

  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDownloadClientKey, 0, 0, &key) == ERROR_SUCCESS) {
    WCHAR address[kAddressChars + 1];
    memset(address, 0, sizeof(address));
    // An empty address (an Update with an empty box) is no address to
    // select, but it was read: the launcher is not made for it.
    if (!ReadRememberedAddress(key, address))
      CreateLauncherShortcut();
    else if (address[0] != 0)
      SelectAddress(address);
    RegCloseKey(key);
  }

  CheckUnattendedMode();
  return TRUE;
}

// What the receiver holds already; nothing is reported at start.
void CSkylodeDlg::ShowReceiverValidity() {
  CString port = GetGpsPortName();
  HANDLE com = OpenGpsPort(port);
  if (com == INVALID_HANDLE_VALUE) return;
  CScopedHandle guard(com);
  QueryEphemerisValidity(com);
}

// The address of the last update, as the maker's download client key holds
// it: the stored text up to its first NUL, or all of it when it has none. A
// value too long for the buffer, or not a text, counts as absent.
bool CSkylodeDlg::ReadRememberedAddress(HKEY key, WCHAR* address) {
  DWORD size = kAddressChars * sizeof(WCHAR);
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key, TEXT("url"), NULL, &type, reinterpret_cast<LPBYTE>(address), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  address[size / sizeof(WCHAR)] = 0;  // the buffer holds one character more than `size` allows
  return true;
}

// Lists the address when it is none of the entries, then selects the entry
// found or appended, so that an address that merely begins like a preset
// still shows itself.
void CSkylodeDlg::SelectAddress(LPCWSTR address) {
  LRESULT index =
      SendDlgItemMessage(IDC_ADDRESS, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(address));
  if (index == CB_ERR)
    index = SendDlgItemMessage(IDC_ADDRESS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
  SendDlgItemMessage(IDC_ADDRESS, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// The controls keep their template places whatever the screen's shape.
void CSkylodeDlg::OnSize(UINT, int, int) {}

// Choosing or typing an address takes effect only when Update is pressed.
void CSkylodeDlg::OnCbnSelchangeAddress() {}
void CSkylodeDlg::OnCbnEditchangeAddress() {}
