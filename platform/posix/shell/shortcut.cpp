// The shell's special folders and shortcut files.
#include <aygshell.h>
#include <fcntl.h>
#include <unistd.h>

#include "core/api_call.h"
#include "kernel/paths.h"
#include "core/wide.h"
#include "core/host_error.h"
#include "shell/shortcut_file.h"

namespace {
const char16_t kProgramsFolder[] = u"\\Windows\\Start Menu\\Programs";
}

BOOL WINAPI SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create) {
  emu::ApiCall call("SHGetSpecialFolderPath", owner, folder, create);
  if (call.faulted()) return call.fail_injected(FALSE);
  if (!path || folder != CSIDL_PROGRAMS) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  std::u16string text(kProgramsFolder);
  std::copy(text.begin(), text.end(), path);
  path[text.size()] = 0;
  call.note("path", static_cast<LPCWSTR>(path));
  return call.ret(TRUE);
}

// The handheld's shortcut file (see shell/shortcut_file.h), made only where
// nothing exists yet.
BOOL WINAPI SHCreateShortcut(LPWSTR shortcut, LPWSTR target) {
  emu::ApiCall call("SHCreateShortcut", static_cast<LPCWSTR>(shortcut),
                    static_cast<LPCWSTR>(target));
  if (call.faulted()) return call.fail_injected(FALSE);
  if (!shortcut || !target) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  emu::HostPath p = emu::ResolvePath(shortcut);
  if (p.error) return call.fail(p.error, FALSE);
  if (p.exists) return call.fail(ERROR_ALREADY_EXISTS, FALSE);
  std::string content = emu::ShortcutFile(target);
  int fd = open(p.host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return call.fail(emu::HostError(errno), FALSE);
  bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  int saved = errno;
  close(fd);
  if (!ok) {
    unlink(p.host.c_str());
    return call.fail(emu::HostError(saved), FALSE);
  }
  return call.ret(TRUE);
}
