// Reading the emulation's call trace (and other captured text) in tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The whole trace file; empty when there is none.
inline std::string ReadTrace(const std::string& trace_file) {
  std::ifstream in(trace_file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The trace lines of calls to `name` (lines starting "<name> ").
inline std::vector<std::string> TracedCalls(const std::string& trace_file,
                                            const std::string& name) {
  std::ifstream in(trace_file);
  std::vector<std::string> found;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + " ", 0) == 0) found.push_back(line);
  return found;
}

// How often `what` occurs in `text` (overlapping occurrences count).
inline int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}
