// The emulated handheld is a folder: fs/ (its files), registry.reg,
// dev/COMn/ (its devices), ca/ (extra TLS roots), run/ (running programs).
#pragma once

#include <string>

namespace emu {

// The device folder from SKYLODE_DEVICE, else $XDG_DATA_HOME/skylode/device,
// else ~/.local/share/skylode/device. A folder that does not exist is made as
// a new handheld on first use.
const std::string& DeviceDir();
std::string DevicePath(const std::string& relative);

// The device's run/ folder (the programs running on the handheld), made
// when missing.
std::string RunDir();

// The handheld's network is up unless the device folder holds a file named
// "offline".
bool NetworkOffline();

// For in-process tests: use this folder (made as a new handheld if missing).
void SetDeviceDir(const std::string& dir);

// Writes a new handheld into `dir`, which must not exist yet.
bool CreateNewDevice(const std::string& dir);

}  // namespace emu
