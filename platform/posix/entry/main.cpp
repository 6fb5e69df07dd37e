// The emulated handheld starts a program: the command line holds only its
// arguments, as the handheld passes them. Before that, the host's part: the
// options it answers itself, and a handheld to start on.
#include <signal.h>

#include <cstdio>
#include <string>

#include "core/device.h"
#include "core/handles.h"
#include "core/leftovers.h"
#include "core/wide.h"
#include "display/choice.h"
#include "entry/host_options.h"
#include "kernel/process.h"
#include "registry/store.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int show);

int main(int argc, char** argv) {
  if (int status; emu::AnswerHostOption(argc, argv, &status)) return status;
  if (std::string problem = emu::OpenDevice(emu::DeviceUse::Start); !problem.empty()) {
    fprintf(stderr, "%s: %s\n", emu::ProgramName().c_str(), problem.c_str());
    return 1;
  }
  // A registry that cannot be read completely would lose what was not read
  // at the program's first change: the handheld refuses to start instead.
  if (std::string problem = emu::reg::CheckStore(); !problem.empty()) {
    fprintf(stderr, "%s: %s\n", emu::ProgramName().c_str(), problem.c_str());
    return 1;
  }
  std::u16string arguments;
  for (int i = 1; i < argc; ++i) {
    std::u16string arg = emu::FromUtf8(argv[i]);
    if (i > 1) arguments += u' ';
    bool quote = arg.empty() || arg.find(u' ') != std::u16string::npos;
    arguments += quote ? u"\"" + arg + u"\"" : arg;
  }
  // What killed programs left in the device folder goes before this one
  // makes anything of its own there.
  emu::RemoveLeftovers();
  emu::SetCommandLine(arguments);
  emu::SetDisplayFactory(emu::MakeDisplay);
  signal(SIGPIPE, SIG_IGN);  // a closed script reader must not kill the program mid-update
  int code = wWinMain(GetModuleHandleW(nullptr), nullptr, GetCommandLineW(), SW_SHOW);
  // As the handheld does for an ended program: what it left open is closed.
  emu::ReleaseHandlesAtExit();
  return code;
}
