// The application object: runs the main dialog and ends with it.
#pragma once

#include <afxwin.h>

class CSkylodeApp : public CWinApp {
 public:
  CSkylodeApp();
  ~CSkylodeApp() override;
  BOOL InitInstance() override;
};
