// The main dialog: the download address, the Update button, the progress bar
// and the status line with the receiver's validity.
#pragma once

#include <afxcmn.h>
#include <afxwin.h>

#include "resource.h"

// Where the maker's download client keeps the remembered address (value "url").
const WCHAR kDownloadClientKey[] = TEXT("SOFTWARE\\ETEN\\AGPRSDownloadClient");
// The address buffers, in characters with the terminator: the address box is
// read into this many, the remembered value into one more.
const int kAddressChars = 1024;

class CSkylodeDlg : public CDialog {
 public:
  explicit CSkylodeDlg(CWnd* pParent = nullptr);
  ~CSkylodeDlg() override;

  enum { IDD = IDD_MAIN };

  // The receiver's port name, "COM7:" unless its driver's setting says another.
  CString GetGpsPortName();
  // Loads the file into the receiver and shows its new validity; empty on success.
  CString InjectEphemeris(LPCWSTR path);
  // Asks the open port until when its data is valid and shows it; empty on success.
  CString QueryEphemerisValidity(HANDLE port);

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

  void OnSize(UINT nType, int cx, int cy);
  void OnTimer(UINT_PTR nIDEvent);
  void OnBnClickedUpdate();
  void OnCbnSelchangeAddress();
  void OnCbnEditchangeAddress();

  CProgressCtrl m_progress;
  UINT_PTR m_timerId;
  HICON m_hIcon;

 private:
  void ShowReceiverValidity();
  bool ReadRememberedAddress(HKEY key, WCHAR* address);
  void SelectAddress(LPCWSTR address);
  void RememberAddress(LPCWSTR address);
  void CreateLauncherShortcut();
  void CheckUnattendedMode();

  bool m_updating;  // an update is running (its download's box may be open)

  DECLARE_MESSAGE_MAP()
};
