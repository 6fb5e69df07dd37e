// The platform's Connection Manager (cellcore): mapping an address to a
// destination network, a synchronous connection request, and its release.
#pragma once

#include <windows.h>

// Parameters named in dwParams.
#define CONNMGR_PARAM_GUIDDESTNET 0x1
#define CONNMGR_PARAM_MAXCOST 0x2
#define CONNMGR_PARAM_MINRCVBW 0x4
#define CONNMGR_PARAM_MAXCONNLATENCY 0x8

// Acceptable paths (dwFlags).
#define CONNMGR_FLAG_PROXY_HTTP 0x1
#define CONNMGR_FLAG_PROXY_WAP 0x2
#define CONNMGR_FLAG_PROXY_SOCKS4 0x4
#define CONNMGR_FLAG_PROXY_SOCKS5 0x8

// Priorities.
#define CONNMGR_PRIORITY_VOICE 0x20000
#define CONNMGR_PRIORITY_USERINTERACTIVE 0x08000
#define CONNMGR_PRIORITY_USERBACKGROUND 0x02000
#define CONNMGR_PRIORITY_USERIDLE 0x00800
#define CONNMGR_PRIORITY_HIPRIBKGND 0x00200
#define CONNMGR_PRIORITY_IDLEBKGND 0x00080
#define CONNMGR_PRIORITY_EXTERNALINTERACTIVE 0x00020
#define CONNMGR_PRIORITY_LOWBKGND 0x00008
#define CONNMGR_PRIORITY_CACHED 0x00002
#define CONNMGR_PRIORITY_ALWAYSON 0x00001

// Connection status.
#define CONNMGR_STATUS_UNKNOWN 0x00
#define CONNMGR_STATUS_CONNECTED 0x10
#define CONNMGR_STATUS_SUSPENDED 0x11
#define CONNMGR_STATUS_DISCONNECTED 0x20
#define CONNMGR_STATUS_CONNECTIONFAILED 0x21
#define CONNMGR_STATUS_CONNECTIONCANCELED 0x22
#define CONNMGR_STATUS_CONNECTIONDISABLED 0x23
#define CONNMGR_STATUS_NOPATHTODESTINATION 0x24
#define CONNMGR_STATUS_WAITINGFORPATH 0x25
#define CONNMGR_STATUS_WAITINGFORPHONE 0x26
#define CONNMGR_STATUS_PHONEOFF 0x27
#define CONNMGR_STATUS_EXCLUSIVECONFLICT 0x28
#define CONNMGR_STATUS_NORESOURCES 0x29
#define CONNMGR_STATUS_CONNECTIONLINKFAILED 0x2A
#define CONNMGR_STATUS_AUTHENTICATIONFAILED 0x2B
#define CONNMGR_STATUS_WAITINGCONNECTION 0x40
#define CONNMGR_STATUS_WAITINGFORRESOURCE 0x41
#define CONNMGR_STATUS_WAITINGFORNETWORK 0x42
#define CONNMGR_STATUS_WAITINGDISCONNECTION 0x80
#define CONNMGR_STATUS_WAITINGCONNECTIONABORT 0x81

// The handheld is a 32-bit device, so the structure's window handle and
// message parameter are 32-bit fields there. The emulation keeps that layout
// (the structure is exchanged by size); it sends no status messages, so the
// window field only ever needs to carry its value through.
struct CONNMGR_HWND32 {
  uint32_t value;
  CONNMGR_HWND32() = default;
  CONNMGR_HWND32(HWND h) : value(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h))) {}
  operator HWND() const { return reinterpret_cast<HWND>(static_cast<uintptr_t>(value)); }
};

typedef struct _CONNMGR_CONNECTIONINFO {
  DWORD cbSize;
  DWORD dwParams;
  DWORD dwFlags;
  DWORD dwPriority;
  BOOL bExclusive;
  BOOL bDisabled;
  GUID guidDestNet;
  CONNMGR_HWND32 hWnd;
  UINT uMsg;
  LONG lParam;
  ULONG ulMaxCost;
  ULONG ulMinRcvBw;
  ULONG ulMaxConnLatency;
} CONNMGR_CONNECTIONINFO;
static_assert(sizeof(CONNMGR_CONNECTIONINFO) == 64, "the handheld's layout");

HRESULT WINAPI ConnMgrMapURL(LPCWSTR pwszURL, GUID* pguid, DWORD* pdwIndex);
HRESULT WINAPI ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* pConnInfo,
                                              HANDLE* phConnection, DWORD dwTimeout,
                                              DWORD* pdwStatus);
HRESULT WINAPI ConnMgrReleaseConnection(HANDLE hConnection, LONG lCache);
