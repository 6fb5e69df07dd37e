#include <aygshell.h>

#include <new>

#include "afxwin.h"

const AFX_MSGMAP* CDialog::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {&CCmdTarget::GetThisMessageMap, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CDialog::GetMessageMap() const { return GetThisMessageMap(); }

namespace {
CDialog* g_openDialogs = nullptr;
}  // namespace

CDialog* CDialog::FromHandle(HWND hwnd) {
  for (CDialog* d = g_openDialogs; d; d = d->m_pNextOpen)
    if (d->m_hWnd == hwnd) return d;
  return nullptr;
}

void CDialog::Attach(HWND hwnd) {
  m_hWnd = hwnd;
  m_pNextOpen = g_openDialogs;
  g_openDialogs = this;
}

void CDialog::Detach() {
  for (CDialog** link = &g_openDialogs; *link; link = &(*link)->m_pNextOpen) {
    if (*link == this) {
      *link = m_pNextOpen;
      break;
    }
  }
  m_pNextOpen = nullptr;
  m_hWnd = nullptr;
}

INT_PTR CDialog::DoModal() {
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  INT_PTR result = ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCE(m_nIDHelp), parent,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  Detach();
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
    // The shell brings the input panel back as it was when the dialog lost
    // activation; the dialog manager goes on with the message.
    if (msg == WM_ACTIVATE) {
      ::SHHandleWMActivate(m_hWnd, wp, lp, &m_shellActivate, 0);
      return FALSE;
    }
    if (msg == WM_SETTINGCHANGE) {
      ::SHHandleWMSettingChange(m_hWnd, wp, lp, &m_shellActivate);
      return FALSE;
    }
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
    self->Attach(hwnd);
    memset(&self->m_shellActivate, 0, sizeof self->m_shellActivate);
    self->m_shellActivate.cbSize = sizeof self->m_shellActivate;
    try {
      return self->OnInitDialog();
    } catch (CException* e) {
      AfxReportException(e);
      e->Delete();
      return TRUE;
    }
  }
  CDialog* self = FromHandle(hwnd);
  return self ? self->HandleMessage(msg, wp, lp) : FALSE;
}
