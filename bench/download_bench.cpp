// Downloads one address into a fresh emulated handheld with DownloadHttpFile,
// as the Update command would (no progress bar). Built and run by
// download_bench.py: download_bench <device folder> <address>
#include <cstdio>
#include <string>

#include "core/device.h"
#include "net.h"
#include "core/wide.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <device folder> <address>\n", argv[0]);
    return 2;
  }
  emu::SetDeviceDir(argv[1]);
  std::u16string address = emu::FromUtf8(argv[2]);
  bool ok = DownloadHttpFile(address.c_str(), u"\\windows\\ZUZIdarudaZozo.ee", nullptr);
  return ok ? 0 : 1;
}
