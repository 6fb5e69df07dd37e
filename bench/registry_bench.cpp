// How the registry's load and save grow with its size: registry.reg with
// 1,000, 10,000 and 100,000 keys (two values each), each loaded by the first
// registry call after the file changed and saved by a value's change. Prints
// the best of a few runs, in the calling thread's CPU time (other work on the
// machine and the disk's flush do not count; the wall time of the save is
// shown beside it), and the ratio of 100,000 keys to 10,000, which must stay
// within 12 for ten times the keys. Exits with 1 when it does not.
//
//   registry_bench [runs]     (default 5; the device folder goes to $TMPDIR)
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/device.h"
#include "core/wide.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string Registry(int keys) {
  std::string text = "Windows Registry Editor Version 5.00\n\n";
  for (int i = 0; i < keys; ++i) {
    std::string n = std::to_string(i);
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\Group" + std::to_string(i % 100) + "\\Key" + n +
            "]\n\"Name\"=\"value " + n + "\"\n\"Count\"=dword:0000002a\n\n";
  }
  return text;
}

double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

struct Figures {
  double load, save, save_wall;
};

// The best load and save times over `runs` in the device folder `dir`.
Figures Measure(const std::string& dir, int keys, int runs) {
  const std::string text = Registry(keys);
  const std::u16string last = u"SOFTWARE\\Bench\\Group" +
                              emu::FromUtf8(std::to_string((keys - 1) % 100)) + u"\\Key" +
                              emu::FromUtf8(std::to_string(keys - 1));
  std::vector<double> load, save, save_wall;
  for (int run = 0; run < runs; ++run) {
    // A new file: the next call reads it whole.
    std::filesystem::remove(dir + "/registry.reg");
    std::ofstream(dir + "/registry.reg", std::ios::binary) << text;
    HKEY key = nullptr;
    double cpu = CpuSeconds();
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, last.c_str(), 0, 0, &key) != ERROR_SUCCESS) {
      fprintf(stderr, "registry_bench: the last key was not found\n");
      exit(1);
    }
    load.push_back(CpuSeconds() - cpu);
    DWORD value = static_cast<DWORD>(run + 1);
    cpu = CpuSeconds();
    auto wall = Clock::now();
    if (RegSetValueExW(key, u"Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) !=
        ERROR_SUCCESS) {
      fprintf(stderr, "registry_bench: the change was not saved\n");
      exit(1);
    }
    save.push_back(CpuSeconds() - cpu);
    save_wall.push_back(std::chrono::duration<double>(Clock::now() - wall).count());
    RegCloseKey(key);
  }
  return {Best(load), Best(save), Best(save_wall)};
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
  const char* tmp = getenv("TMPDIR");
  std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/registry-bench-XXXXXX";
  if (!mkdtemp(root.data())) {
    perror("mkdtemp");
    return 1;
  }
  emu::SetDeviceDir(root + "/device");
  const int sizes[] = {1000, 10000, 100000};
  Figures figures[3];
  printf("%8s  %10s  %10s  %16s  %9s\n", "keys", "load (ms)", "save (ms)", "save, wall (ms)",
         "file (MB)");
  for (int i = 0; i < 3; ++i) {
    figures[i] = Measure(emu::DeviceDir(), sizes[i], runs);
    printf(
        "%8d  %10.1f  %10.1f  %16.1f  %9.1f\n", sizes[i], figures[i].load * 1e3,
        figures[i].save * 1e3, figures[i].save_wall * 1e3,
        static_cast<double>(std::filesystem::file_size(emu::DeviceDir() + "/registry.reg")) / 1e6);
  }
  double load_ratio = figures[2].load / figures[1].load;
  double save_ratio = figures[2].save / figures[1].save;
  printf("100,000 / 10,000 keys: load %.1f, save %.1f (at most 12)\n", load_ratio, save_ratio);
  std::filesystem::remove_all(root);
  return load_ratio <= 12 && save_ratio <= 12 ? 0 : 1;
}
