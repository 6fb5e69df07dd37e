// Our small application framework: application object, windows, the modal
// dialog with its message map and data exchange, the application message box.
// It is written against the platform's window API only.
#pragma once

#include <windows.h>
#include <aygshell.h>

#include <string.h>

#include "afxexcept.h"
#include "afxstr.h"

class CCmdTarget;
class CWnd;
class CDialog;

// ---- Message maps ----------------------------------------------------------

// How a handler is called.
enum AfxSig : UINT_PTR {
  AfxSig_end = 0,
  AfxSig_vv,    // void (void)              WM_COMMAND notifications
  AfxSig_vw,    // void (UINT_PTR)          WM_TIMER
  AfxSig_vwii,  // void (UINT, int, int)    WM_SIZE
};

typedef void (CCmdTarget::*AFX_PMSG)();

// Stores a handler of another signature in an entry (and AfxMsgFnAs takes it
// back); both sides name the same type through the entry's AfxSig.
template <class F>
AFX_PMSG AfxMsgFn(F f) {
  static_assert(sizeof(F) == sizeof(AFX_PMSG));
  AFX_PMSG p;
  memcpy(&p, &f, sizeof p);
  return p;
}
template <class F>
F AfxMsgFnAs(AFX_PMSG p) {
  F f;
  memcpy(&f, &p, sizeof f);
  return f;
}

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;
  UINT nID;
  UINT nLastID;
  UINT_PTR nSig;
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    typedef theClass ThisClass;                                                     \
    typedef baseClass TheBaseClass;                                                 \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                       \
  { 0, 0, 0, 0, AfxSig_end, nullptr }                                                           \
  }                                                                                             \
  ;                                                                                             \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                           \
  }

// Handlers with arguments are stored as AFX_PMSG and called back with their
// own type, which the entry's signature names.
#define ON_WM_TIMER() \
  {                   \
      WM_TIMER,  0,   \
      0,         0,   \
      AfxSig_vw, AfxMsgFn(static_cast<void (CCmdTarget::*)(UINT_PTR)>(&ThisClass::OnTimer))},
#define ON_WM_SIZE() \
  {WM_SIZE,     0,   \
   0,           0,   \
   AfxSig_vwii, AfxMsgFn(static_cast<void (CCmdTarget::*)(UINT, int, int)>(&ThisClass::OnSize))},
#define ON_CONTROL(code, id, memberFxn)  \
  {WM_COMMAND, (UINT)(code), (UINT)(id), \
   (UINT)(id), AfxSig_vv,    static_cast<AFX_PMSG>(&ThisClass::memberFxn)},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

// ---- Windows ---------------------------------------------------------------

class CWnd : public CCmdTarget {
 public:
  HWND m_hWnd = nullptr;

  BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  void SetDlgItemText(int id, LPCWSTR text) { ::SetDlgItemTextW(m_hWnd, id, text); }
  LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    return ::SendMessageW(m_hWnd, msg, wp, lp);
  }
  LRESULT SendDlgItemMessage(int id, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    return ::SendDlgItemMessageW(m_hWnd, id, msg, wp, lp);
  }
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc) {
    return ::SetTimer(m_hWnd, id, elapse, proc);
  }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                                                  reinterpret_cast<LPARAM>(icon)));
  }

  // Default handlers the message map can name.
  void OnTimer(UINT_PTR id);
  void OnSize(UINT type, int cx, int cy);

 protected:
  // Runs the message map entry for this message, if any; true when handled.
  bool DispatchMapped(UINT msg, WPARAM wp, LPARAM lp);
};

class CDataExchange {
 public:
  CDataExchange(CWnd* dlg, BOOL save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
};

// Binds a dialog control to a control object, once.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr)
      : m_nIDHelp(templateId), m_pParentWnd(parent) {
    memset(&m_shellActivate, 0, sizeof m_shellActivate);
    m_shellActivate.cbSize = sizeof m_shellActivate;
  }
  ~CDialog() override = default;

  virtual INT_PTR DoModal();
  void EndDialog(int result);
  BOOL UpdateData(BOOL save = TRUE);

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  static const AFX_MSGMAP* GetThisMessageMap();
  const AFX_MSGMAP* GetMessageMap() const override;

  UINT m_nIDHelp;
  CWnd* m_pParentWnd;
  // What the shell keeps across activation, so that the input panel comes
  // back as it was (SHHandleWMActivate, SHHandleWMSettingChange).
  SHACTIVATEINFO m_shellActivate;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  // The open dialogs, newest first: the dialog procedure finds its object
  // by the window's handle.
  static CDialog* FromHandle(HWND hwnd);
  void Attach(HWND hwnd);
  void Detach();
  CDialog* m_pNextOpen = nullptr;
};

// ---- Application -----------------------------------------------------------

class CWinApp : public CCmdTarget {
 public:
  CWinApp();
  ~CWinApp() override;

  virtual BOOL InitInstance();

  LPCWSTR m_pszAppName = nullptr;  // the executable's file name without extension
  HINSTANCE m_hInstance = nullptr;
  LPWSTR m_lpCmdLine = nullptr;
  CWnd* m_pMainWnd = nullptr;

  HICON LoadIcon(UINT id) const;

 private:
  WCHAR m_appName[MAX_PATH] = {};
  friend LPCWSTR AfxGetAppName();
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
LPCWSTR AfxGetAppName();

// The application message box: caption the application title, exclamation
// icon unless another is given, in front, modal to the main window.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);

// The application-wide error report for an error raised in a handler.
void AfxReportException(CException* e);

int AfxWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int show);
