#include "core/api_call.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "core/wide.h"

namespace emu {
namespace {

struct FaultRule {
  std::string name;
  int nth;  // 0: every call
  DWORD code;
};

struct CallState {
  std::mutex lock;
  bool loaded = false;
  std::vector<FaultRule> rules;
  std::map<std::string, int> counts;
  int trace_fd = -1;
  bool trace_checked = false;
};

CallState& State() {
  static CallState state;
  return state;
}

// "Name=code" or "Name#n=code", comma-separated; malformed entries are
// reported on stderr so a test's typo does not pass silently.
std::vector<FaultRule> ParseFaults(const std::string& text) {
  std::vector<FaultRule> rules;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(pos, end - pos);
    pos = end + 1;
    if (item.empty()) continue;
    size_t eq = item.find('=');
    if (eq == std::string::npos) {
      fprintf(stderr, "SKYLODE_FAULTS: ignored '%s' (no '=')\n", item.c_str());
      continue;
    }
    FaultRule rule{item.substr(0, eq), 0, 0};
    size_t hash = rule.name.find('#');
    if (hash != std::string::npos) {
      rule.nth = atoi(rule.name.c_str() + hash + 1);
      rule.name.resize(hash);
    }
    rule.code = static_cast<DWORD>(strtoul(item.c_str() + eq + 1, nullptr, 0));
    rules.push_back(rule);
  }
  return rules;
}

}  // namespace

void SetFaults(const std::string& spec) {
  auto& s = State();
  std::lock_guard guard(s.lock);
  s.rules = ParseFaults(spec);
  s.counts.clear();
  s.loaded = true;
}

void SetTraceFile(const std::string& path) {
  auto& s = State();
  std::lock_guard guard(s.lock);
  if (s.trace_fd >= 0) close(s.trace_fd);
  s.trace_fd =
      path.empty() ? -1 : open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  s.trace_checked = true;
}

std::optional<DWORD> ApiCall::CheckFault(const char* name) {
  auto& s = State();
  std::lock_guard guard(s.lock);
  if (!s.loaded) {
    const char* env = getenv("SKYLODE_FAULTS");
    s.rules = ParseFaults(env ? env : "");
    s.loaded = true;
  }
  if (s.rules.empty()) return std::nullopt;
  int n = ++s.counts[name];
  for (const auto& r : s.rules)
    if (r.name == name && (r.nth == 0 || r.nth == n)) return r.code;
  return std::nullopt;
}

bool TraceEnabled() {
  auto& s = State();
  std::lock_guard guard(s.lock);
  if (!s.trace_checked) {
    const char* env = getenv("SKYLODE_TRACE");
    if (env && *env) s.trace_fd = open(env, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    s.trace_checked = true;
  }
  return s.trace_fd >= 0;
}

void TraceLine(const std::string& line) {
  auto& s = State();
  std::lock_guard guard(s.lock);
  if (s.trace_fd < 0) return;
  // A line per call: control characters (a server's headers hold CR LF) are
  // written as \xNN so they cannot split it.
  std::string out;
  out.reserve(line.size() + 1);
  for (unsigned char c : line) {
    if (c >= 0x20 && c != 0x7f) {
      out += static_cast<char>(c);
      continue;
    }
    char escaped[5];
    snprintf(escaped, sizeof escaped, "\\x%02x", c);
    out += escaped;
  }
  out += '\n';
  // One write per line, so lines of several processes never interleave.
  ssize_t ignored = write(s.trace_fd, out.data(), out.size());
  (void)ignored;
}

void ApiCall::Finish(const std::string& result) {
  if (finished_ || !TraceEnabled()) return;
  finished_ = true;
  TraceLine(line_ + " -> " + result + " err=" + std::to_string(GetLastError()));
}

std::string TraceText(LPCWSTR s) {
  if (!s) return "null";
  // Appended: for "\"" + std::string GCC 12 at -O3 warns of a false overlap (GCC PR 105329).
  return std::string("\"").append(ToUtf8(s)).append("\"");
}
std::string TraceText(const char* s) { return s ? std::string(s) : "null"; }
std::string TraceText(const std::string& s) { return s; }
std::string TraceText(Hex h) {
  char buf[32];
  snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(h.value));
  return buf;
}
std::string TraceText(ResName r) {
  if (!IS_INTRESOURCE(r.name)) return TraceText(r.name);
  // Appended, as above.
  return std::string("#").append(std::to_string(reinterpret_cast<uintptr_t>(r.name)));
}
std::string TraceText(const void* p) {
  if (!p) return "null";
  if (p == INVALID_HANDLE_VALUE) return "invalid";
  return TraceText(Hex(reinterpret_cast<uintptr_t>(p)));
}
std::string TraceText(bool b) { return b ? "true" : "false"; }

}  // namespace emu

namespace {
thread_local DWORD g_last_error = 0;
}

DWORD WINAPI GetLastError(void) { return g_last_error; }
void WINAPI SetLastError(DWORD code) { g_last_error = code; }
