// The emulation's call trace: one line per call, whatever text the call saw.
#include <windows.h>

#include "core/api_call.h"
#include "support/device_fixture.h"
#include "support/trace_reader.h"

namespace {

using CallTraceTest = DeviceTest;

// Text from outside (a path typed by a person, a server's headers) may hold
// line breaks and other control characters; they must not split the line.
TEST_F(CallTraceTest, ControlCharactersAreEscapedInTheLine) {
  emu::SetTraceFile(root_ + "/trace");
  GetFileAttributesW(TEXT("\\a\r\nb\tc\x7f"));
  emu::SetTraceFile("");
  std::string trace = ReadTrace(root_ + "/trace");
  EXPECT_EQ(CountOf(trace, "\n"), 1) << trace;
  EXPECT_NE(trace.find(R"("\a\x0d\x0ab\x09c\x7f")"), std::string::npos) << trace;
}

}  // namespace
