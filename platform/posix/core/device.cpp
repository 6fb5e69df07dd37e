#include "core/device.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "core/host_zone.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

std::mutex g_lock;
std::string g_dir;

std::string DefaultDir() {
  if (const char* d = getenv("SKYLODE_DEVICE"); d && *d) return d;
  if (const char* x = getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/skylode/device";
  const char* home = getenv("HOME");
  return std::string(home ? home : ".") + "/.local/share/skylode/device";
}

std::string HexBytes(const void* data, size_t size) {
  std::string out;
  const auto* p = static_cast<const unsigned char*>(data);
  char buf[4];
  for (size_t i = 0; i < size; ++i) {
    snprintf(buf, sizeof buf, "%02x", p[i]);
    if (i) out += ',';
    out += buf;
  }
  return out;
}

void UseDir(const std::string& dir) {
  std::error_code ec;
  if (!fs::exists(dir, ec)) CreateNewDevice(dir);
  g_dir = fs::absolute(dir, ec).lexically_normal().string();
  while (g_dir.size() > 1 && g_dir.back() == '/') g_dir.pop_back();
}

}  // namespace

const std::string& DeviceDir() {
  std::lock_guard guard(g_lock);
  if (g_dir.empty()) UseDir(DefaultDir());
  return g_dir;
}

std::string DevicePath(const std::string& relative) { return DeviceDir() + "/" + relative; }

std::string RunDir() {
  std::string dir = DevicePath("run");
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

bool NetworkOffline() {
  std::error_code ec;
  return std::filesystem::exists(DevicePath("offline"), ec);
}

void SetDeviceDir(const std::string& dir) {
  std::lock_guard guard(g_lock);
  UseDir(dir);
}

bool CreateNewDevice(const std::string& dir) {
  std::error_code ec;
  // The handheld's own folders: \windows and the Start menu's Programs.
  fs::create_directories(dir + "/fs/windows/Start Menu/Programs", ec);
  if (ec) return false;
  fs::create_directories(dir + "/dev/COM7", ec);
  TIME_ZONE_INFORMATION tzi = HostTimeZoneInformation();
  std::string tmp = dir + "/registry.reg.new";
  {
    std::ofstream reg(tmp, std::ios::binary | std::ios::trunc);
    reg << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]\n\n"
        << "[HKEY_LOCAL_MACHINE\\Time]\n"
        << "\"TimeZoneInformation\"=hex:" << HexBytes(&tzi, sizeof tzi) << "\n";
    if (!reg) return false;
  }
  fs::rename(tmp, dir + "/registry.reg", ec);
  return !ec;
}

}  // namespace emu
