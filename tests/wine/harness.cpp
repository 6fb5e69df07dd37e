// The driver's entry: runs the cases (all, or those whose name holds the
// --only text) and prints a line per case, its failures, and a summary.
//   skylode-wine-driver --port http=P --port https=P ... --ca PEM [--only TEXT]
#include <stdio.h>

#include "check.h"
#include "fixtures.h"

namespace wine_test {
namespace {

struct Running {
  std::string scope;
  std::vector<std::string> failures;
} g_running;

}  // namespace

std::vector<Case>& Cases() {
  static std::vector<Case> cases;
  return cases;
}

void Fail(const char* file, int line, const std::string& what) {
  std::string where = file;
  where = where.substr(where.find_last_of("/\\") + 1);
  g_running.failures.push_back(where + ":" + std::to_string(line) + ": " +
                               (g_running.scope.empty() ? "" : "[" + g_running.scope + "] ") +
                               what);
}

void SetScope(const std::string& scope) { g_running.scope = scope; }
bool Failed() { return !g_running.failures.empty(); }

}  // namespace wine_test

extern "C" int wmain(int argc, wchar_t** argv) {
  using namespace wine_test;
  setvbuf(stdout, nullptr, _IONBF, 0);
  std::string only;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::wstring name = argv[i], value = argv[i + 1];
    if (name == L"--port") {  // listener=port
      std::string listener = Narrow(value);
      size_t eq = listener.find('=');
      Settings().ports[listener.substr(0, eq)] = atoi(listener.c_str() + eq + 1);
    }
    if (name == L"--ca") Settings().ca = value;
    if (name == L"--only") only = Narrow(value);
  }
  int run = 0, failed = 0;
  for (const Case& c : Cases()) {
    std::string full = std::string(c.group) + "." + c.name;
    if (!only.empty() && full.find(only) == std::string::npos) continue;
    printf("[ RUN      ] %s\n", full.c_str());
    g_running = {};
    DWORD start = GetTickCount();
    c.body();
    DWORD ms = GetTickCount() - start;
    for (const std::string& f : g_running.failures) printf("  %s\n", f.c_str());
    printf("[ %s ] %s (%lu ms)\n", Failed() ? " FAILED " : "      OK", full.c_str(), ms);
    ++run;
    if (Failed()) ++failed;
  }
  printf("%d cases, %d failed\n", run, failed);
  return failed || run == 0 ? 1 : 0;
}
