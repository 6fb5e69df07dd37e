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

namespace {

int Usage() {
  fprintf(stderr, "usage: skylode-device init | launch <shortcut path on the handheld>\n");
  return 2;
}

// Splits the target text into the program's handheld path and its arguments.
bool ParseTarget(const std::string& target, std::string* program, std::vector<std::string>* args) {
  size_t pos = 0;
  if (!target.empty() && target[0] == '"') {
    size_t end = target.find('"', 1);
    if (end == std::string::npos) return false;
    *program = target.substr(1, end - 1);
    pos = end + 1;
  } else {
    pos = target.find(' ');
    *program = target.substr(0, pos);
  }
  while (pos != std::string::npos && pos < target.size()) {
    while (pos < target.size() && target[pos] == ' ') ++pos;
    if (pos >= target.size()) break;
    size_t end = target.find(' ', pos);
    args->push_back(target.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    pos = end;
  }
  return !program->empty();
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
  size_t hash = content.find('#');
  std::string target = hash == std::string::npos ? "" : content.substr(hash + 1);
  if (hash == std::string::npos ||
      std::to_string(emu::FromUtf8(target).size()) != content.substr(0, hash)) {
    fprintf(stderr, "skylode-device: %s is no shortcut\n", shortcut);
    return 1;
  }
  std::string program;
  std::vector<std::string> args;
  if (!ParseTarget(target, &program, &args)) {
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
