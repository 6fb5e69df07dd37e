// The program's resources, read from its resource script (embedded at build
// time): dialog templates, icons and the version record's texts.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace emu {

struct ControlTemplate {
  std::u16string text;
  int id = 0;
  std::u16string cls;
  DWORD style = 0;
  DWORD exstyle = 0;
  RECT rect{};  // x, y, width, height in dialog units (right = width, bottom = height)
};

struct DialogTemplate {
  int id = 0;
  DWORD style = 0;
  DWORD exstyle = 0;
  std::u16string caption;
  std::u16string font;
  int font_size = 0;
  RECT rect{};
  std::vector<ControlTemplate> controls;
};

// Parses a resource script with its id header; throws std::runtime_error with
// the line for what it cannot read.
struct ResourceScript {
  std::vector<DialogTemplate> dialogs;
  std::vector<int> icons;
  std::map<std::string, std::string> version;  // the version record's texts, e.g. ProductVersion
};
ResourceScript ParseResourceScript(const std::string& script, const std::string& header);

// The program's own resources (parsed once).
const ResourceScript& ProgramResources();
std::optional<DialogTemplate> FindDialog(int id);
bool HasIcon(int id);

}  // namespace emu
