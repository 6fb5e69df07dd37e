// The folder that holds what the handheld's hardware would: the receiver at
// dev\COMn\ and the "offline" switch, laid out as the emulated handheld's
// folder, so that one set of fixtures serves both builds.
#pragma once

#include <windows.h>

#include <string>

namespace handheld {

// SKYLODE_DEVICE, else %LOCALAPPDATA%\Skylode\device, as a verbatim path
// ("\\?\C:\..."): the receiver's folder "COM7" is no port name there. A
// folder that does not exist is made with a receiver at COM7, as a new
// handheld has.
std::wstring DeviceFolder();

// The path of `relative` ("dev\COM7\validity") inside the device folder.
std::wstring DevicePath(const std::wstring& relative);

bool IsFolder(const std::wstring& path);
bool Exists(const std::wstring& path);

}  // namespace handheld
