// Common controls of the framework: the progress bar.
#pragma once

#include "afxwin.h"

#include <commctrl.h>

class CProgressCtrl : public CWnd {
 public:
  void SetRange32(int lower, int upper) { ::SendMessageW(m_hWnd, PBM_SETRANGE32, lower, upper); }
  int SetPos(int pos) { return static_cast<int>(::SendMessageW(m_hWnd, PBM_SETPOS, pos, 0)); }
};
