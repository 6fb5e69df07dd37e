#include <aygshell.h>

#include <new>

#include "afxwin.h"

const AFX_MSGMAP* CDialog::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {&CCmdTarget::GetThisMessageMap, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CDialog::GetMessageMap() const { return GetThisMessageMap(); }

INT_PTR CDialog::DoModal() {
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  INT_PTR result = ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCE(m_nIDHelp), parent,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::UpdateData(BOOL save) {
  CDataExchange dx(this, save);
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

// The handheld's dialog set-up: in front, full screen, OK in the navigation
// bar, input panel down, an empty menu bar.
BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  ::SetForegroundWindow(m_hWnd);
  SHINITDLGINFO info = {
      SHIDIM_FLAGS, m_hWnd,
      SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU};
  ::SHInitDialog(&info);
  return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  try {
    if (DispatchMapped(msg, wp, lp)) return TRUE;
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
      if (LOWORD(wp) == IDOK) {
        OnOK();
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        OnCancel();
        return TRUE;
      }
    }
  } catch (CException* e) {
    // An error raised in a handler: report it; the dialog stays open.
    AfxReportException(e);
    e->Delete();
    return TRUE;
  } catch (const std::bad_alloc&) {
    CMemoryException memory;
    AfxReportException(&memory);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialog*>(lp);
    self->m_hWnd = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    try {
      return self->OnInitDialog();
    } catch (CException* e) {
      AfxReportException(e);
      e->Delete();
      return TRUE;
    }
  }
  auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->HandleMessage(msg, wp, lp) : FALSE;
}
