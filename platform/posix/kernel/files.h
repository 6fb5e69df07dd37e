// Open files of the handheld's file system (fs/ of the device folder).
#pragma once

#include <windows.h>

#include <memory>

#include "kernel/share_modes.h"
#include "core/handles.h"

namespace emu {

class FileObject : public KernelObject {
 public:
  FileObject(int fd, DWORD access) : fd_(fd), access_(access) {}
  ~FileObject() override;  // releases the share, then the fd
  int fd() const { return fd_; }
  DWORD access() const { return access_; }
  ShareClaim& share() { return share_; }

 private:
  int fd_;
  DWORD access_;
  ShareClaim share_;
};

}  // namespace emu
