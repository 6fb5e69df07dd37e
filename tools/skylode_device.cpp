// The emulated handheld's own tool:
//   skylode-device init                 makes the device folder as a new handheld
//                                       (if missing) and prints it
//   skylode-device launch <shortcut>    starts a shortcut's target, as the
//                                       handheld's Start menu does
// The device folder comes from SKYLODE_DEVICE, as for the program.
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

int Usage() {
  fprintf(stderr, "usage: skylode-device init | launch <shortcut path on the handheld>\n");
  return 2;
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
  if (cmd == "init" && argc == 2) {
    printf("%s\n", emu::DeviceDir().c_str());  // made as a new handheld when missing
    return 0;
  }
  if (cmd == "launch" && argc == 3) return Launch(argv[2]);
  return Usage();
}
