// Replacing a host file so that readers see either the old or the new bytes,
// and a crash leaves one of them on disk.
#pragma once

#include <string>

namespace emu {

// Writes `bytes` to `path` through `path.<pid>.tmp`: write, fsync, rename,
// fsync of the folder. Returns 0 or the errno of the step that failed (the
// temporary file is removed then).
int WriteAtomically(const std::string& path, const std::string& bytes);

// The whole file; false with errno set when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace emu
