// The Connection Manager of the emulated handheld. It has one destination
// network, the internet, which is up unless the device folder holds a file
// named "offline".
//
// Faults (SKYLODE_FAULTS), besides the usual "Name=code" / "Name#n=code" on
// ConnMgrMapURL, ConnMgrEstablishConnectionSync and ConnMgrReleaseConnection
// (the call returns the code as its HRESULT):
//   ConnMgrStatus=0x20     the connection request returns S_OK and a handle,
//                          but this status instead of CONNMGR_STATUS_CONNECTED
//   ConnMgrStatus#2=0x25   the same for the second request only
#include <connmgr.h>

#include <cstdio>
#include <memory>
#include <string>

#include "core/api_call.h"
#include "core/handles.h"
#include "core/device.h"

namespace {

// The destination network "The Internet", as the platform names it.
constexpr GUID kInternetNetwork = {
    0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};

struct Connection : emu::KernelObject {
  bool released = false;
};

std::string GuidText(const GUID& g) {
  char buf[40];
  snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
           g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
           g.Data4[6], g.Data4[7]);
  return buf;
}

template <class T>
std::string Field(const char* name, const T& value) {
  return std::string(name) + "=" + emu::TraceText(value);
}

}  // namespace

HRESULT WINAPI ConnMgrMapURL(LPCWSTR pwszURL, GUID* pguid, DWORD* pdwIndex) {
  emu::ApiCall call("ConnMgrMapURL", pwszURL, static_cast<void*>(pguid), pdwIndex);
  if (call.faulted()) return call.fail_injected(static_cast<HRESULT>(call.fault_code()));
  if (!pwszURL || !pguid) return call.ret(E_INVALIDARG);
  if (emu::NetworkOffline()) return call.ret(E_FAIL);
  *pguid = kInternetNetwork;
  call.note("guid", GuidText(*pguid));
  return call.ret(S_OK);
}

HRESULT WINAPI ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* pConnInfo,
                                              HANDLE* phConnection, DWORD dwTimeout,
                                              DWORD* pdwStatus) {
  if (!pConnInfo) {
    emu::ApiCall call("ConnMgrEstablishConnectionSync", "null", emu::Hex(dwTimeout));
    if (call.faulted()) return call.fail_injected(static_cast<HRESULT>(call.fault_code()));
    return call.ret(E_INVALIDARG);
  }
  const CONNMGR_CONNECTIONINFO& ci = *pConnInfo;
  emu::ApiCall call(
      "ConnMgrEstablishConnectionSync", Field("cbSize", ci.cbSize),
      Field("dwParams", emu::Hex(ci.dwParams)), Field("dwFlags", emu::Hex(ci.dwFlags)),
      Field("dwPriority", emu::Hex(ci.dwPriority)), Field("bExclusive", ci.bExclusive),
      Field("bDisabled", ci.bDisabled), Field("guidDestNet", GuidText(ci.guidDestNet)),
      Field("hWnd", static_cast<HWND>(ci.hWnd)), Field("uMsg", ci.uMsg), Field("lParam", ci.lParam),
      Field("ulMaxCost", ci.ulMaxCost), Field("ulMinRcvBw", ci.ulMinRcvBw),
      Field("ulMaxConnLatency", ci.ulMaxConnLatency), Field("timeout", emu::Hex(dwTimeout)));
  // A request that returns 0 but is not connected.
  emu::ApiCall status_fault("ConnMgrStatus");
  if (call.faulted()) {
    if (phConnection) *phConnection = nullptr;
    if (pdwStatus) *pdwStatus = CONNMGR_STATUS_CONNECTIONFAILED;
    return call.fail_injected(static_cast<HRESULT>(call.fault_code()));
  }
  if (!phConnection || !pdwStatus || ci.cbSize != sizeof(CONNMGR_CONNECTIONINFO))
    return call.ret(E_INVALIDARG);
  *phConnection = nullptr;
  if (emu::NetworkOffline()) {
    *pdwStatus = CONNMGR_STATUS_NOPATHTODESTINATION;
    call.note("status", emu::Hex(*pdwStatus));
    return call.ret(E_FAIL);
  }
  *phConnection = emu::AddHandle(std::make_shared<Connection>());
  *pdwStatus = status_fault.faulted() ? status_fault.fault_code() : CONNMGR_STATUS_CONNECTED;
  call.note("handle", *phConnection);
  call.note("status", emu::Hex(*pdwStatus));
  return call.ret(S_OK);
}

HRESULT WINAPI ConnMgrReleaseConnection(HANDLE hConnection, LONG lCache) {
  emu::ApiCall call("ConnMgrReleaseConnection", hConnection, lCache);
  if (call.faulted()) return call.fail_injected(static_cast<HRESULT>(call.fault_code()));
  auto connection = emu::GetHandle<Connection>(hConnection);
  if (!connection) return call.ret(E_INVALIDARG);
  connection->released = true;
  return call.ret(S_OK);
}
