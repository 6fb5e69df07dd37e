#include <windows.h>
#include <afxcmn.h>
#include <wininet.h>

#include <climits>
#include <cstring>

#include "net.h"

namespace {

const WCHAR kAgent[] = TEXT("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
const DWORD kFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                     INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NEED_FILE |
                     INTERNET_FLAG_TRANSFER_BINARY;  // 0x84000112
const DWORD kSecureFlags =
    INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
    INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
    INTERNET_FLAG_IGNORE_CERT_CN_INVALID;  // 0x00C0F000

// The announced length in 64 bits, for the completeness check: leading
// blanks, then decimal digits; 0 when there are none.
long long ParseLength(const WCHAR* text) {
  while (*text == ' ' || *text == '\t') ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value > (LLONG_MAX - 9) / 10) return LLONG_MAX;
    value = value * 10 + (*text - '0');
  }
  return value;
}

// The progress bar's position is an int; the byte count may pass it.
int ProgressPosition(long long received) {
  return received > INT_MAX ? INT_MAX : static_cast<int>(received);
}

}  // namespace

bool DownloadHttpFile(LPCWSTR address, LPCWSTR target, CProgressCtrl* progress) {
  // The temporary file sits beside the target; a leftover of an earlier
  // failed download goes first.
  const WCHAR* slash = wcsrchr(target, '\\');
  CString temporary(target, slash ? static_cast<int>(slash - target) + 1 : 0);
  temporary += TEXT("tmp");
  DeleteFileW(temporary);

  if (progress) {
    SendMessageW(progress->m_hWnd, PBM_SETRANGE32, 0, 1);
    SendMessageW(progress->m_hWnd, PBM_SETPOS, 0, 0);
    ShowWindow(progress->m_hWnd, SW_SHOW);
  }

  CString error;
  HINTERNET internet = NULL;
  HINTERNET url = NULL;
  HANDLE file = INVALID_HANDLE_VALUE;
  try {
    internet = InternetOpenW(kAgent, INTERNET_OPEN_TYPE_DIRECT, NULL, NULL, 0);
    if (!internet) {
      error.Format(TEXT("Error %d InternetOpen"), GetLastError());
    } else {
      DWORD flags = kFlags;
      if (wcsncmp(address, TEXT("https"), 5) == 0) flags |= kSecureFlags;
      url = InternetOpenUrlW(internet, address, NULL, 0, flags, 0);
      if (!url) {
        error.Format(TEXT("Error %d InternetOpenUrl, "), GetLastError());
        WCHAR response[1024];
        memset(response, 0, sizeof response);
        DWORD code = 0;
        DWORD length = 1024;
        InternetGetLastResponseInfoW(&code, response, &length);
        response[1023] = 0;
        error += response;
      }
    }

    // An error page must never become the ephemeris file.
    DWORD status = 0;
    if (url) {
      DWORD size = sizeof status;
      if (!HttpQueryInfoW(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          NULL)) {
        error.Format(TEXT("Error %d HttpQueryInfo"), GetLastError());
      } else if (status < 200 || status > 299) {
        WCHAR reason[256];
        memset(reason, 0, sizeof reason);
        DWORD length = sizeof reason - sizeof(WCHAR);
        HttpQueryInfoW(url, HTTP_QUERY_STATUS_TEXT, reason, &length, NULL);
        error.Format(TEXT("HTTP status %d"), static_cast<int>(status));
        if (reason[0]) {
          error += TEXT(" ");
          error += reason;
        }
      }
    }

    if (url && error.IsEmpty()) {
      // One buffer: first the announced length as text, then each chunk.
      WCHAR transfer[512];
      memset(transfer, 0, sizeof transfer);
      DWORD length = sizeof transfer;
      HttpQueryInfoW(url, HTTP_QUERY_CONTENT_LENGTH, transfer, &length, NULL);
      LONG announced = _wtol(transfer);
      long long announced64 = ParseLength(transfer);
      if (progress) {
        SendMessageW(progress->m_hWnd, PBM_SETRANGE32, 0, announced);
        SendMessageW(progress->m_hWnd, PBM_SETPOS, 0, 0);
      }

      file = CreateFileW(temporary, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, NULL);
      if (file == INVALID_HANDLE_VALUE) {
        error.Format(TEXT("Error %d CreateFile %s"), GetLastError(), (LPCWSTR)temporary);
      } else {
        long long received = 0;
        bool complete = false;
        for (;;) {
          DWORD got = 0;
          if (!InternetReadFile(url, transfer, sizeof transfer, &got)) {
            error.Format(TEXT("Error %d InternetReadFile"), GetLastError());
            break;
          }
          if (got == 0) {
            complete = true;
            break;
          }
          // A failed write does not stop the transfer; the text names the
          // last failing chunk.
          DWORD written = 0;
          if (!WriteFile(file, transfer, got, &written, NULL) || written != got)
            error.Format(TEXT("Error %d WriteFile %s"), GetLastError(), (LPCWSTR)temporary);
          received += got;
          if (progress) SendMessageW(progress->m_hWnd, PBM_SETPOS, ProgressPosition(received), 0);
        }
        // Some clients report a dropped connection as a normal end.
        if (complete && error.IsEmpty() && announced64 > 0 && received < announced64)
          error.Format(TEXT("Incomplete download: %I64d of %I64d bytes"), received, announced64);
      }
    }
  } catch (CException* e) {
    e->Delete();
    error = TEXT("error reading http file");
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (url) InternetCloseHandle(url);
  if (internet) InternetCloseHandle(internet);

  if (progress) ShowWindow(progress->m_hWnd, SW_HIDE);

  // The target is replaced in one step, never deleted first.
  if (error.IsEmpty() && !MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING))
    error.Format(TEXT("Error %d MoveFile %s"), GetLastError(), target);
  if (!error.IsEmpty()) {
    MessageBoxW(NULL, error, TEXT("Skylode"), MB_OK);
    return false;
  }
  return true;
}
