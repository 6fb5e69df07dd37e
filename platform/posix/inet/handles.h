// The objects behind the emulated HTTP client's handles.
#pragma once

#include <memory>
#include <string>

#include "core/handles.h"
#include "inet/transfer.h"

namespace emu {

// From InternetOpenW: what every request of the session shares.
struct InternetSession : KernelObject {
  std::string agent;
};

// From InternetOpenUrlW: one request and its response.
struct InternetRequest : KernelObject {
  std::shared_ptr<InternetSession> session;
  HttpTransfer transfer;
};

}  // namespace emu
