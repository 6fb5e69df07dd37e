// The Connection Manager of the emulated handheld.
#include <connmgr.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "core/api_call.h"
#include "support/device_fixture.h"

namespace {

// The layout of the handheld's 32-bit structure.
static_assert(offsetof(CONNMGR_CONNECTIONINFO, guidDestNet) == 24);
static_assert(offsetof(CONNMGR_CONNECTIONINFO, hWnd) == 40);
static_assert(offsetof(CONNMGR_CONNECTIONINFO, lParam) == 48);
static_assert(offsetof(CONNMGR_CONNECTIONINFO, ulMaxConnLatency) == 60);

const GUID kInternet = {
    0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};

struct Request {
  HRESULT hr;
  HANDLE handle;
  DWORD status;
};

Request Connect(DWORD size = sizeof(CONNMGR_CONNECTIONINFO)) {
  CONNMGR_CONNECTIONINFO info;
  memset(&info, 0, sizeof info);
  info.cbSize = size;
  info.dwParams = CONNMGR_PARAM_GUIDDESTNET;
  info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
  info.guidDestNet = kInternet;
  Request r{E_FAIL, INVALID_HANDLE_VALUE, 0};
  r.hr = ConnMgrEstablishConnectionSync(&info, &r.handle, INFINITE, &r.status);
  return r;
}

}  // namespace

class ConnMgrTest : public DeviceTest {};

TEST_F(ConnMgrTest, OnlineHandheldMapsConnectsAndReleases) {
  GUID guid{};
  EXPECT_EQ(ConnMgrMapURL(u"http://portal.example/", &guid, nullptr), S_OK);
  EXPECT_EQ(memcmp(&guid, &kInternet, sizeof guid), 0);
  Request r = Connect();
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_EQ(r.status, static_cast<DWORD>(CONNMGR_STATUS_CONNECTED));
  ASSERT_NE(r.handle, nullptr);
  EXPECT_EQ(ConnMgrReleaseConnection(r.handle, 1), S_OK);
  EXPECT_TRUE(CloseHandle(r.handle));
  // Nothing is left to release.
  EXPECT_EQ(ConnMgrReleaseConnection(r.handle, 1), E_INVALIDARG);
  EXPECT_EQ(ConnMgrReleaseConnection(nullptr, 1), E_INVALIDARG);
}

TEST_F(ConnMgrTest, OfflineHandheldHasNoPath) {
  WriteHostFile("offline", "");
  GUID guid{};
  EXPECT_EQ(ConnMgrMapURL(u"http://portal.example/", &guid, nullptr), E_FAIL);
  Request r = Connect();
  EXPECT_EQ(r.hr, E_FAIL);
  EXPECT_EQ(r.handle, nullptr);
  EXPECT_EQ(r.status, static_cast<DWORD>(CONNMGR_STATUS_NOPATHTODESTINATION));
}

TEST_F(ConnMgrTest, RefusesAStructureOfAnotherSize) { EXPECT_EQ(Connect(80).hr, E_INVALIDARG); }

TEST_F(ConnMgrTest, FaultsReachEveryFailure) {
  emu::SetFaults("ConnMgrMapURL=0x80004005,ConnMgrEstablishConnectionSync#1=0x80004005");
  GUID guid{};
  EXPECT_EQ(ConnMgrMapURL(u"http://portal.example/", &guid, nullptr), E_FAIL);
  Request failed = Connect();
  EXPECT_EQ(failed.hr, E_FAIL);
  EXPECT_EQ(failed.handle, nullptr);
  EXPECT_EQ(Connect().hr, S_OK);  // only the first request fails

  // A request that returns 0 without being connected.
  emu::SetFaults("ConnMgrStatus#2=0x20");
  Request first = Connect();
  Request second = Connect();
  EXPECT_EQ(first.status, static_cast<DWORD>(CONNMGR_STATUS_CONNECTED));
  EXPECT_EQ(second.hr, S_OK);
  EXPECT_EQ(second.status, static_cast<DWORD>(CONNMGR_STATUS_DISCONNECTED));
  EXPECT_NE(second.handle, nullptr);
  for (HANDLE h : {first.handle, second.handle}) {
    EXPECT_EQ(ConnMgrReleaseConnection(h, 1), S_OK);
    EXPECT_TRUE(CloseHandle(h));
  }
}
