// The emulated handheld starts a program: the command line holds only its
// arguments, as the handheld passes them.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/wide.h"
#include "display/choice.h"
#include "kernel/process.h"
#include "registry/store.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int show);

int main(int argc, char** argv) {
  std::u16string arguments;
  for (int i = 1; i < argc; ++i) {
    std::u16string arg = emu::FromUtf8(argv[i]);
    if (i > 1) arguments += u' ';
    bool quote = arg.empty() || arg.find(u' ') != std::u16string::npos;
    arguments += quote ? u"\"" + arg + u"\"" : arg;
  }
  emu::SetCommandLine(arguments);
  emu::SetDisplayFactory(emu::MakeDisplay);
  signal(SIGPIPE, SIG_IGN);  // a closed script reader must not kill the program mid-update
  // A registry that cannot be read completely would lose what was not read
  // at the program's first change: the handheld refuses to start instead.
  if (std::string problem = emu::reg::CheckStore(); !problem.empty()) {
    const char* slash = strrchr(argv[0], '/');
    fprintf(stderr, "%s: %s\n", slash ? slash + 1 : argv[0], problem.c_str());
    return 1;
  }
  return wWinMain(GetModuleHandleW(nullptr), nullptr, GetCommandLineW(), SW_SHOW);
}
