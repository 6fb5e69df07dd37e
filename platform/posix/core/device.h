// The emulated handheld is a folder: fs/ (its files), registry.reg,
// dev/COMn/ (its devices), ca/ (extra TLS roots), run/ (running programs).
#pragma once

#include <string>

namespace emu {

// Where the handheld is: SKYLODE_DEVICE, else $XDG_DATA_HOME/skylode/device,
// else $HOME/.local/share/skylode/device. As the XDG rules say, a relative
// XDG_DATA_HOME is ignored. Empty, with *why set, when none of them is usable.
std::string LocateDevice(std::string* why);

// How a host program takes the handheld into use.
enum class DeviceUse {
  Start,     // a program starts: a missing folder is made as a new handheld
  Init,      // skylode-device init: so is an empty folder
  Existing,  // the handheld must be there already
};
// Locates the handheld and makes it this process's device folder. Returns ""
// or one line saying what is wrong and how to mend it.
std::string OpenDevice(DeviceUse use);

// The device folder (OpenDevice's, or SetDeviceDir's, else the located one,
// made as a new handheld if missing).
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

// Writes a new handheld into `dir`, which must be missing or empty; *why
// gets the host's reason when it cannot.
bool CreateNewDevice(const std::string& dir, std::string* why = nullptr);

}  // namespace emu
