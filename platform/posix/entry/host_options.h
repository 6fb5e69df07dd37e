// The options the Linux entry answers itself, before the handheld starts:
// --help and --version. They never reach the program's command line.
#pragma once

namespace emu {

// True when the arguments hold one of them: it has been answered, and the
// process ends with *status.
bool AnswerHostOption(int argc, char** argv, int* status);

}  // namespace emu
