#include "user/foreign_windows.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "user/display.h"
#include "core/device.h"
#include "core/wide.h"
#include "kernel/process.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

int g_fifo = -1;
bool g_published = false;
std::string g_published_in;  // the run/ folder our files were written to
std::map<std::pair<DWORD, uint64_t>, HWND> g_foreign;

std::string OwnFile(const char* ext) {
  if (g_published_in.empty()) g_published_in = RunDir();
  return g_published_in + "/" + std::to_string(getpid()) + ext;
}

bool Alive(DWORD pid) { return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

}  // namespace

void PublishWindows() {
  std::ostringstream list;
  for (Window* w : WindowSystem::Get().TopLevel()) {
    if (!w->visible()) continue;
    list << std::hex << reinterpret_cast<uintptr_t>(w->handle) << ' ' << w->style << ' '
         << w->exstyle << ' ' << reinterpret_cast<uintptr_t>(w->owner) << ' ' << ToUtf8(w->cls)
         << '\n';
  }
  if (!g_published && list.str().empty()) return;
  if (!g_published) {
    g_published = true;
    std::string fifo = OwnFile(".fifo");
    unlink(fifo.c_str());
    if (mkfifo(fifo.c_str(), 0600) == 0)
      g_fifo = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    atexit(UnpublishWindows);
  }
  std::string file = OwnFile(".win");
  std::string tmp = file + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << list.str();
  }
  rename(tmp.c_str(), file.c_str());
}

void UnpublishWindows() {
  if (!g_published) return;
  unlink(OwnFile(".win").c_str());
  unlink(OwnFile(".fifo").c_str());
  if (g_fifo >= 0) close(g_fifo);
  g_fifo = -1;
  g_published = false;
  g_published_in.clear();
}

int ForegroundFd() { return g_fifo; }

void DrainForegroundRequests() {
  if (g_fifo < 0) return;
  char buf[64];
  bool any = false;
  while (read(g_fifo, buf, sizeof buf) > 0) any = true;
  if (!any) return;
  WindowSystem& ws = WindowSystem::Get();
  // The dialog comes to the front, or the box it waits on.
  HWND front = nullptr;
  for (Window* w : ws.TopLevel())
    if (w->visible() && w->kind == Kind::Dialog) front = w->handle;
  if (Window* modal = ws.InnermostModal(); front && modal) front = modal->handle;
  if (front) ws.Activate(front);
  ws.display().BroughtToForeground();
}

std::vector<HWND> ForeignTopLevel() {
  WindowSystem& ws = WindowSystem::Get();
  std::vector<HWND> out;
  std::map<std::pair<DWORD, uint64_t>, HWND> seen;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(DevicePath("run"), ec)) {
    std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".win") continue;
    DWORD pid = static_cast<DWORD>(strtoul(name.c_str(), nullptr, 10));
    if (pid == static_cast<DWORD>(getpid())) continue;
    if (!Alive(pid)) {  // a program that ended without tidying up
      fs::remove(entry.path(), ec);
      continue;
    }
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      uint64_t remote = 0, owner = 0;
      DWORD style = 0, exstyle = 0;
      std::string cls;
      if (!(fields >> std::hex >> remote >> style >> exstyle >> owner)) continue;
      std::getline(fields >> std::ws, cls);
      auto key = std::make_pair(pid, remote);
      HWND h = g_foreign.count(key) ? g_foreign[key] : nullptr;
      Window* w = h ? ws.Find(h) : nullptr;
      if (!w) {
        w = &ws.Create(Kind::Foreign, FromUtf8(cls), nullptr);
        w->pid = pid;
        w->remote = remote;
      }
      w->style = style;
      w->exstyle = exstyle;
      w->owner = owner ? reinterpret_cast<HWND>(static_cast<uintptr_t>(owner)) : nullptr;
      seen[key] = w->handle;
      out.push_back(w->handle);
    }
  }
  for (auto& [key, h] : g_foreign)
    if (!seen.count(key)) ws.Destroy(h);
  g_foreign = seen;
  return out;
}

bool RequestForeground(const Window& foreign) {
  std::string fifo = DevicePath("run") + "/" + std::to_string(foreign.pid) + ".fifo";
  int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  uint64_t remote = foreign.remote;
  bool ok = write(fd, &remote, sizeof remote) == static_cast<ssize_t>(sizeof remote);
  close(fd);
  // On the handheld the person sees the running copy come to the front; at
  // the host, a second start would otherwise end without a word.
  if (ok && RunsThisProgram(foreign.pid))
    fprintf(stderr, "%s is already running on this handheld; it was brought to the front.\n",
            ProgramName().c_str());
  return ok;
}

}  // namespace emu
