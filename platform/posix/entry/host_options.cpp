#include "entry/host_options.h"

#include <cstdio>
#include <string>

#include "user/resources.h"

namespace emu {
namespace {

// SKYLODE_README: the README of the source tree this program was built from.
const char kHelp[] =
    "Usage: Skylode [/u]\n"
    "       Skylode --help | --version\n"
    "\n"
    "Skylode keeps the predicted-orbit data of the handheld's GPS receiver fresh:\n"
    "it downloads the data file from an address (the last one used is remembered),\n"
    "loads it into the receiver and shows until when the data is valid. Here it\n"
    "runs on an emulated handheld, a folder on this machine.\n"
    "\n"
    "  /u         one update with the remembered address (or the first preset),\n"
    "             then close\n"
    "  --help     print this text\n"
    "  --version  print the version\n"
    "\n"
    "Environment:\n"
    "  SKYLODE_DEVICE           the handheld's folder (default\n"
    "                           $XDG_DATA_HOME/skylode/device, or\n"
    "                           ~/.local/share/skylode/device); a missing folder\n"
    "                           is made as a new handheld\n"
    "  SKYLODE_DISPLAY          tty: the handheld's screen in this terminal (the\n"
    "                           default at a terminal); script: a line protocol on\n"
    "                           standard input and output (its command help lists\n"
    "                           the commands)\n"
    "  SKYLODE_TRACE=FILE       append a line per OS call to FILE\n"
    "  SKYLODE_FAULTS=LIST      make OS calls fail, e.g. ReadFile=30\n"
    "  SKYLODE_HTTP_TIMEOUT_MS  shorten the HTTP time limits (60 s to connect,\n"
    "                           30 s without data)\n"
    "\n"
    "Exit status:\n"
    "  0  the program ended, as on the handheld, whatever became of the update\n"
    "     (the program tells that on the handheld's screen); also a second start,\n"
    "     which brings the running copy to the front\n"
    "  1  the emulated handheld did not start the program; standard error says\n"
    "     why (for instance, SKYLODE_DEVICE names no handheld)\n"
    "\n"
    "More in " SKYLODE_README "\n";

}  // namespace

bool AnswerHostOption(int argc, char** argv, int* status) {
  bool help = false, version = false;
  for (int i = 1; i < argc; ++i) {
    help |= std::string(argv[i]) == "--help";
    version |= std::string(argv[i]) == "--version";
  }
  if (help) {
    fputs(kHelp, stdout);
  } else if (version) {
    const auto& record = ProgramResources().version;
    auto text = [&](const char* key) {
      auto it = record.find(key);
      return it == record.end() ? std::string("?") : it->second;
    };
    printf("%s %s\n", text("ProductName").c_str(), text("ProductVersion").c_str());
  }
  *status = 0;
  return help || version;
}

}  // namespace emu
