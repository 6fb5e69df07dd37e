// Reading the emulation's call trace in tests.
#pragma once

#include <fstream>
#include <string>
#include <vector>

// The trace lines of calls to `name` (lines starting "<name> ").
inline std::vector<std::string> TracedCalls(const std::string& trace_file,
                                            const std::string& name) {
  std::ifstream in(trace_file);
  std::vector<std::string> found;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + " ", 0) == 0) found.push_back(line);
  return found;
}
