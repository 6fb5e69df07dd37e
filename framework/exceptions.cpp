#include <new>

#include "afxexcept.h"

namespace {

BOOL CopyMessage(LPCWSTR text, LPWSTR buffer, UINT max_chars) {
  if (!buffer || max_chars == 0) return FALSE;
  UINT i = 0;
  for (; text[i] && i + 1 < max_chars; ++i) buffer[i] = text[i];
  buffer[i] = 0;
  return TRUE;
}

}  // namespace

BOOL CException::GetErrorMessage(LPWSTR buffer, UINT max_chars, UINT*) const {
  if (buffer && max_chars) buffer[0] = 0;
  return FALSE;
}

BOOL CMemoryException::GetErrorMessage(LPWSTR buffer, UINT max_chars, UINT*) const {
  return CopyMessage(TEXT("Out of memory."), buffer, max_chars);
}

BOOL COleException::GetErrorMessage(LPWSTR buffer, UINT max_chars, UINT*) const {
  if (!buffer || max_chars == 0) return FALSE;
  buffer[0] = 0;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                           static_cast<DWORD>(m_sc), 0, buffer, max_chars, NULL);
  while (n > 0 && (buffer[n - 1] == u'\r' || buffer[n - 1] == u'\n')) buffer[--n] = 0;
  return n > 0;
}

void AfxThrowMemoryException() {
  static CMemoryException shared;
  throw static_cast<CException*>(&shared);
}

void AfxThrowOleException(HRESULT sc) { throw static_cast<CException*>(new COleException(sc)); }
