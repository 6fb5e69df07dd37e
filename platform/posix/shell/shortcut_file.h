// The handheld's shortcut file: "N#" and the target text, N being the count
// of characters (UTF-16) after '#'; the target is a program's handheld path,
// quoted when it holds spaces, and its arguments.
#pragma once

#include <string>
#include <vector>

namespace emu {

// The file's bytes for `target`.
std::string ShortcutFile(const std::u16string& target);

// The target text (UTF-8) of a shortcut file's bytes; false when they are no
// shortcut.
bool ReadShortcut(const std::string& file, std::string* target);

// The target's program and its arguments (split at spaces); false when it
// names no program.
bool SplitShortcutTarget(const std::string& target, std::string* program,
                         std::vector<std::string>* args);

}  // namespace emu
