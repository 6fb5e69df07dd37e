// What the handheld shell's calls have set up in this program.
#pragma once

namespace emu {

// SHInitExtraControls has run, so the input-panel control can be made.
bool ShellExtraControlsReady();

}  // namespace emu
