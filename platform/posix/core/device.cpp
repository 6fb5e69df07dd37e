#include "core/device.h"

#include <sys/stat.h>
#include <unistd.h>

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

// What `dir` lacks to be a handheld; empty when it is one.
std::string Lacks(const std::string& dir) {
  std::error_code ec;
  std::string lacks;
  if (!fs::is_regular_file(dir + "/registry.reg", ec)) lacks = "no registry.reg";
  if (!fs::is_directory(dir + "/fs", ec))
    lacks += std::string(lacks.empty() ? "" : " and ") + "no fs/ folder";
  return lacks;
}

// A name in `dir`, to show what the folder holds instead.
std::string SomeEntry(const std::string& dir) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  return ec || it == fs::directory_iterator() ? "" : it->path().filename().string();
}

}  // namespace

std::string LocateDevice(std::string* why) {
  if (const char* d = getenv("SKYLODE_DEVICE"); d && *d) return d;
  if (const char* x = getenv("XDG_DATA_HOME"); x && x[0] == '/')
    return std::string(x) + "/skylode/device";
  if (const char* home = getenv("HOME"); home && home[0] == '/')
    return std::string(home) + "/.local/share/skylode/device";
  // Not the current folder: a handheld made there would be lost from sight.
  *why =
      "no place for the handheld: neither HOME nor XDG_DATA_HOME is an absolute path; set "
      "SKYLODE_DEVICE to the handheld's folder";
  return "";
}

std::string OpenDevice(DeviceUse use) {
  std::string why;
  std::string dir = LocateDevice(&why);
  if (dir.empty()) return why;
  const std::string make_one = "skylode-device init makes one in a missing or empty folder";
  std::error_code ec;
  fs::file_status status = fs::status(dir, ec);
  if (ec && ec != std::errc::no_such_file_or_directory)
    return "cannot use the handheld at " + dir + ": " + ec.message();
  if (!fs::exists(status)) {
    if (use == DeviceUse::Existing) return "there is no handheld at " + dir + "; " + make_one;
    if (!CreateNewDevice(dir, &why)) return "cannot make a new handheld at " + dir + ": " + why;
  } else if (!fs::is_directory(status)) {
    return dir + " is not a folder, so it cannot be a handheld; " + make_one;
  } else if (std::string lacks = Lacks(dir); !lacks.empty()) {
    std::string entry = SomeEntry(dir);
    if (use != DeviceUse::Init) return dir + " is not a handheld (" + lacks + "); " + make_one;
    if (!entry.empty())
      return dir + " is not a handheld (" + lacks + ") and not empty (it holds " + entry +
             "); init makes a new handheld only in a missing or empty folder";
    if (!CreateNewDevice(dir, &why)) return "cannot make a new handheld at " + dir + ": " + why;
  }
  SetDeviceDir(dir);
  return "";
}

const std::string& DeviceDir() {
  std::lock_guard guard(g_lock);
  if (g_dir.empty()) {
    // Host programs open the handheld first (OpenDevice); this is for the
    // rest, which use the located folder as it is.
    std::string why;
    std::string dir = LocateDevice(&why);
    if (dir.empty()) {
      fprintf(stderr, "%s\n", why.c_str());
      _exit(1);
    }
    UseDir(dir);
  }
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

bool CreateNewDevice(const std::string& dir, std::string* why) {
  std::error_code ec;
  // The handheld's own folders: \windows and the Start menu's Programs.
  fs::create_directories(dir + "/fs/windows/Start Menu/Programs", ec);
  if (ec) {
    if (why) *why = ec.message();
    return false;
  }
  fs::create_directories(dir + "/dev/COM7", ec);
  TIME_ZONE_INFORMATION tzi = HostTimeZoneInformation();
  std::string tmp = dir + "/registry.reg.new";
  {
    std::ofstream reg(tmp, std::ios::binary | std::ios::trunc);
    reg << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]\n\n"
        << "[HKEY_LOCAL_MACHINE\\Time]\n"
        << "\"TimeZoneInformation\"=hex:" << HexBytes(&tzi, sizeof tzi) << "\n";
    if (!reg) {
      if (why) *why = "cannot write its registry.reg";
      return false;
    }
  }
  fs::rename(tmp, dir + "/registry.reg", ec);
  if (ec && why) *why = ec.message();
  return !ec;
}

}  // namespace emu
