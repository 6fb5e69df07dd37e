#include <windows.h>
#include <afxcmn.h>
#include <wininet.h>

#include <climits>
#include <cstring>

#include "Handles.h"
#include "ScopedHandle.h"
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

// The most a server can make the handheld store: far above any file the
// receiver takes, far below what would fill the handheld's storage.
const long long kMaxBytes = 1048576;

// A server that trickles keeps every read within the client's wait for data,
// so the whole download has a limit of its own: ten minutes, and never more
// than twenty of the client's waits (thirty seconds each on the handheld as
// it comes, so ten minutes there).
const DWORD kMaxDownloadMs = 600000;
const DWORD kReceiveWaitsPerDownload = 20;

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

DWORD DownloadTimeLimit(HINTERNET internet) {
  DWORD receive = 0;
  DWORD size = sizeof receive;
  if (!InternetQueryOptionW(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, &size) ||
      receive == 0 || receive >= kMaxDownloadMs / kReceiveWaitsPerDownload)
    return kMaxDownloadMs;
  return receive * kReceiveWaitsPerDownload;
}

void TooLarge(CString& error) {
  error.Format(TEXT("Download too large: more than %d bytes"), static_cast<int>(kMaxBytes));
}

// Fetches the address into the temporary file; `error` says why not. Every
// handle is closed on the way out, an error raised on the way included.
void Transfer(LPCWSTR address, LPCWSTR temporary, CProgressCtrl* progress, CString& error) {
  DWORD start = GetTickCount();
  CInternetHandle internet(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_DIRECT, NULL, NULL, 0));
  if (!internet) {
    error.Format(TEXT("Error %d InternetOpen"), GetLastError());
    return;
  }
  DWORD flags = kFlags;
  if (wcsncmp(address, TEXT("https"), 5) == 0) flags |= kSecureFlags;
  CInternetHandle url(InternetOpenUrlW(internet, address, NULL, 0, flags, 0));
  if (!url) {
    error.Format(TEXT("Error %d InternetOpenUrl, "), GetLastError());
    WCHAR response[1024];
    memset(response, 0, sizeof response);
    DWORD code = 0;
    DWORD length = 1024;
    InternetGetLastResponseInfoW(&code, response, &length);
    response[1023] = 0;
    error += response;
    return;
  }

  // An error page must never become the ephemeris file.
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoW(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, NULL)) {
    error.Format(TEXT("Error %d HttpQueryInfo"), GetLastError());
    return;
  }
  if (status < 200 || status > 299) {
    WCHAR reason[256];
    memset(reason, 0, sizeof reason);
    DWORD length = sizeof reason - sizeof(WCHAR);
    HttpQueryInfoW(url, HTTP_QUERY_STATUS_TEXT, reason, &length, NULL);
    error.Format(TEXT("HTTP status %d"), static_cast<int>(status));
    if (reason[0]) {
      error += TEXT(" ");
      error += reason;
    }
    return;
  }

  // One buffer: first the announced length as text, then each chunk.
  WCHAR transfer[512];
  memset(transfer, 0, sizeof transfer);
  DWORD length = sizeof transfer;
  HttpQueryInfoW(url, HTTP_QUERY_CONTENT_LENGTH, transfer, &length, NULL);
  LONG announced = _wtol(transfer);
  long long announced64 = ParseLength(transfer);
  if (announced64 > kMaxBytes) {
    TooLarge(error);
    return;
  }
  if (progress) {
    SendMessageW(progress->m_hWnd, PBM_SETRANGE32, 0, announced);
    SendMessageW(progress->m_hWnd, PBM_SETPOS, 0, 0);
  }

  CScopedHandle file(CreateFileW(temporary, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL));
  if (file == INVALID_HANDLE_VALUE) {
    error.Format(TEXT("Error %d CreateFile %s"), GetLastError(), temporary);
    return;
  }
  DWORD limit = DownloadTimeLimit(internet);
  long long received = 0;
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(url, transfer, sizeof transfer, &got)) {
      error.Format(TEXT("Error %d InternetReadFile"), GetLastError());
      return;
    }
    if (got == 0) break;
    // Nothing past the bound is stored.
    if (received + got > kMaxBytes) {
      TooLarge(error);
      return;
    }
    // A failed write does not stop the transfer; the text names the last
    // failing chunk.
    DWORD written = 0;
    if (!WriteFile(file, transfer, got, &written, NULL) || written != got)
      error.Format(TEXT("Error %d WriteFile %s"), GetLastError(), temporary);
    received += got;
    if (progress) SendMessageW(progress->m_hWnd, PBM_SETPOS, ProgressPosition(received), 0);
    if (GetTickCount() - start >= limit) {
      error.Format(TEXT("Download timed out after %d s"), static_cast<int>(limit / 1000));
      return;
    }
  }
  // Some clients report a dropped connection as a normal end.
  if (error.IsEmpty() && announced64 > 0 && received < announced64)
    error.Format(TEXT("Incomplete download: %I64d of %I64d bytes"), received, announced64);
}

// The new file takes the target's place in one step: the old target stays
// whole until then, and after any failure.
void ReplaceTarget(LPCWSTR temporary, LPCWSTR target, CString& error) {
  BOOL replaced = GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES
                      ? DeleteAndRenameFile(target, temporary)
                      : MoveFileW(temporary, target);
  if (!replaced) error.Format(TEXT("Error %d MoveFile %s"), GetLastError(), target);
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
  bool broke = false;
  try {
    Transfer(address, temporary, progress, error);
  } catch (CException* e) {
    // Memory ran out on the way. The handles are closed already, and the
    // report needs no memory of its own.
    e->Delete();
    broke = true;
  }

  if (progress) ShowWindow(progress->m_hWnd, SW_HIDE);

  if (broke) {
    MessageBoxW(NULL, TEXT("error reading http file"), TEXT("Skylode"), MB_OK);
    return false;
  }
  if (error.IsEmpty()) ReplaceTarget(temporary, target, error);
  if (!error.IsEmpty()) {
    MessageBoxW(NULL, error, TEXT("Skylode"), MB_OK);
    return false;
  }
  return true;
}
