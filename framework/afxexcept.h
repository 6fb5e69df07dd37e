// The framework's exceptions. Handlers may raise them; the dialog's message
// dispatch catches them and shows the application-wide error report.
#pragma once

#include <windows.h>

class CException {
 public:
  virtual ~CException() = default;
  // The text the error report shows; FALSE when there is none.
  virtual BOOL GetErrorMessage(LPWSTR buffer, UINT max_chars, UINT* help_context = nullptr) const;
  // Frees a heap exception; shared ones (memory) stay.
  virtual void Delete() {}
};

// Raised when memory runs out. One shared object, as nothing can be
// allocated at that moment.
class CMemoryException : public CException {
 public:
  BOOL GetErrorMessage(LPWSTR buffer, UINT max_chars, UINT* help_context = nullptr) const override;
};

// An error code from the system or a COM-style call (HRESULT).
class COleException : public CException {
 public:
  explicit COleException(HRESULT sc) : m_sc(sc) {}
  BOOL GetErrorMessage(LPWSTR buffer, UINT max_chars, UINT* help_context = nullptr) const override;
  void Delete() override { delete this; }
  HRESULT m_sc;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowOleException(HRESULT sc);
