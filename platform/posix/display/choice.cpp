// Which display the window system uses: SKYLODE_DISPLAY=script or tty;
// without it, the terminal display when standard input and output are
// terminals, else the line protocol. The terminal display falls back to the
// line protocol, with a word on standard error, where it cannot work.
#include "display/choice.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/script/protocol.h"
#include "display/tty/display.h"

namespace emu {

std::unique_ptr<Display> MakeDisplay() {
  const char* env = getenv("SKYLODE_DISPLAY");
  std::string kind = env ? env : "";
  if (kind != "" && kind != "script" && kind != "tty") {
    fprintf(stderr, "SKYLODE_DISPLAY=%s is unknown; use script or tty\n", env);
    kind = "";
  }
  bool terminal = isatty(0) && isatty(1);
  if (kind.empty()) kind = terminal ? "tty" : "script";
  if (kind == "tty") {
    // Anything else on standard input would be read as keys: a piped
    // newline would press Update.
    std::string why = "standard input or output is not a terminal";
    if (terminal)
      if (auto tty = MakeTerminalDisplay(&why)) return tty;
    fprintf(stderr, "the terminal display cannot be used (%s); using the script display\n",
            why.c_str());
  }
  return MakeScriptDisplay();
}

}  // namespace emu
