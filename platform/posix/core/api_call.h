// Every emulated OS call goes through an ApiCall: it counts the call for
// fault injection (SKYLODE_FAULTS) and writes its trace line (SKYLODE_TRACE):
//   Name arg1 arg2 ... -> result err=N
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace emu {

// Marks an integer argument to be traced in hexadecimal.
struct Hex {
  uint64_t value;
  explicit Hex(uint64_t v) : value(v) {}
};

// A wide string argument that may be a MAKEINTRESOURCE number.
struct ResName {
  LPCWSTR name;
};

std::string TraceText(LPCWSTR s);
std::string TraceText(const char* s);
std::string TraceText(const std::string& s);
std::string TraceText(Hex h);
std::string TraceText(ResName r);
std::string TraceText(const void* p);
std::string TraceText(bool b);
template <class T>
requires std::is_integral_v<T> std::string TraceText(T v) { return std::to_string(v); }
template <class T>
requires std::is_pointer_v<T> &&
    (!std::is_same_v<T, LPCWSTR>)&&(!std::is_same_v<T, LPWSTR>)std::string TraceText(T p) {
  if constexpr (std::is_function_v<std::remove_pointer_t<T>>)
    return p ? TraceText(Hex(reinterpret_cast<uintptr_t>(p))) : std::string("null");
  else
    return TraceText(static_cast<const void*>(p));
}
inline std::string TraceText(LPWSTR s) { return TraceText(static_cast<LPCWSTR>(s)); }

bool TraceEnabled();
void TraceLine(const std::string& line);

class ApiCall {
 public:
  template <class... A>
  explicit ApiCall(const char* name, const A&... args) {
    fault_ = CheckFault(name);
    if (TraceEnabled()) {
      line_ = name;
      ((line_ += ' ', line_ += TraceText(args)), ...);
    }
  }
  ApiCall(const ApiCall&) = delete;
  ApiCall& operator=(const ApiCall&) = delete;

  // True when SKYLODE_FAULTS chose this call to fail.
  bool faulted() const { return fault_.has_value(); }
  DWORD fault_code() const { return *fault_; }

  // Adds a value learnt during the call (an out-parameter) to the trace.
  template <class T>
  void note(const char* what, const T& v) {
    if (TraceEnabled()) line_ += std::string(" ") + what + "=" + TraceText(v);
  }

  // The call fails: last error = code, traced, returns `value`.
  template <class R>
  R fail(DWORD code, R value) {
    SetLastError(code);
    return ret(value);
  }
  // Fails with the injected fault code.
  template <class R>
  R fail_injected(R value) {
    return fail(*fault_, value);
  }
  // Ends the call: traces the result and the current last error.
  template <class R>
  R ret(R value) {
    Finish(TraceText(value));
    return value;
  }
  void ret_void() { Finish("void"); }

 private:
  static std::optional<DWORD> CheckFault(const char* name);
  void Finish(const std::string& result);

  std::optional<DWORD> fault_;
  std::string line_;
  bool finished_ = false;
};

// Replaces the SKYLODE_FAULTS rules and restarts the call counts.
void SetFaults(const std::string& spec);
// Sends the trace to this file (empty: no trace), instead of SKYLODE_TRACE.
void SetTraceFile(const std::string& path);

}  // namespace emu
