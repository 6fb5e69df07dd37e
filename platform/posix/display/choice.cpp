// Which display the window system uses: SKYLODE_DISPLAY=script or tty;
// without it, the terminal display when standard input and output are
// terminals, else the line protocol.
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
  if (kind.empty()) kind = isatty(0) && isatty(1) ? "tty" : "script";
  if (kind == "tty") {
    if (auto tty = MakeTerminalDisplay()) return tty;
    fprintf(stderr, "the terminal cannot be used; using the script display\n");
  }
  return MakeScriptDisplay();
}

}  // namespace emu
