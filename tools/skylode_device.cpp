// The emulated handheld's own tool; its usage is below (skylode-device --help).
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/device.h"
#include "kernel/paths.h"
#include "core/wide.h"
#include "shell/shortcut_file.h"

namespace {

const char kUsage[] =
    "usage: skylode-device init\n"
    "       skylode-device launch <shortcut>\n"
    "       skylode-device --help\n"
    "\n"
    "The emulated handheld's own tool. The handheld is the folder named by\n"
    "SKYLODE_DEVICE (default $XDG_DATA_HOME/skylode/device, or\n"
    "~/.local/share/skylode/device), as for Skylode.\n"
    "\n"
    "  init               makes a missing or empty folder a new handheld (an existing\n"
    "                     handheld stays as it is) and prints the folder\n"
    "  launch <shortcut>  starts a shortcut's target, as the handheld's Start menu\n"
    "                     does; the shortcut is a handheld path, e.g.\n"
    "                     '\\Windows\\Start Menu\\Programs\\Skylode auto.lnk'\n"
    "\n"
    "Exit status: 0 done; 1 the handheld or the shortcut cannot be used (standard\n"
    "error says why); 2 wrong usage. A launched program ends with its own status\n"
    "(127: it could not be started).\n";

int Usage() {
  fputs(kUsage, stderr);
  return 2;
}

// Takes the handheld into use; false (with the reason told) when it cannot be.
bool Open(emu::DeviceUse use) {
  std::string problem = emu::OpenDevice(use);
  if (problem.empty()) return true;
  fprintf(stderr, "skylode-device: %s\n", problem.c_str());
  return false;
}

int Launch(const char* shortcut) {
  std::u16string name = emu::FromUtf8(shortcut);
  emu::HostPath p = emu::ResolvePath(name.c_str());
  if (p.error || !p.exists || p.is_dir) {
    fprintf(stderr, "skylode-device: no shortcut at %s\n", shortcut);
    return 1;
  }
  std::ifstream in(p.host, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), {});
  std::string target;
  if (!emu::ReadShortcut(content, &target)) {
    fprintf(stderr, "skylode-device: %s is no shortcut\n", shortcut);
    return 1;
  }
  std::string program;
  std::vector<std::string> args;
  if (!emu::SplitShortcutTarget(target, &program, &args)) {
    fprintf(stderr, "skylode-device: cannot read the target of %s\n", shortcut);
    return 1;
  }
  for (auto& c : program)
    if (c == '\\') c = '/';
  std::vector<char*> argv{program.data()};
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  perror(program.c_str());
  return 127;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string cmd = argv[1];
  if (cmd == "--help" && argc == 2) {
    fputs(kUsage, stdout);
    return 0;
  }
  if (cmd == "init" && argc == 2) {
    if (!Open(emu::DeviceUse::Init)) return 1;
    printf("%s\n", emu::DeviceDir().c_str());
    return 0;
  }
  if (cmd == "launch" && argc == 3) return Open(emu::DeviceUse::Existing) ? Launch(argv[2]) : 1;
  return Usage();
}
