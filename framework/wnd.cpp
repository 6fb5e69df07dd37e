#include "afxwin.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CWnd::DispatchMapped(UINT msg, WPARAM wp, LPARAM lp) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map;
       map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
      if (e->nMessage != msg) continue;
      if (msg == WM_COMMAND &&
          (e->nCode != HIWORD(wp) || LOWORD(wp) < e->nID || LOWORD(wp) > e->nLastID))
        continue;
      switch (e->nSig) {
        case AfxSig_vv:
          (this->*(e->pfn))();
          break;
        case AfxSig_vw:
          (this->*AfxMsgFnAs<void (CCmdTarget::*)(UINT_PTR)>(e->pfn))(static_cast<UINT_PTR>(wp));
          break;
        case AfxSig_vwii:
          (this->*AfxMsgFnAs<void (CCmdTarget::*)(UINT, int, int)>(e->pfn))(static_cast<UINT>(wp),
                                                                            LOWORD(lp), HIWORD(lp));
          break;
      }
      return true;
    }
  }
  return false;
}

// The framework's own handling of these messages: nothing to add here.
void CWnd::OnTimer(UINT_PTR) {}
void CWnd::OnSize(UINT, int, int) {}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (control.m_hWnd == nullptr) control.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
}
