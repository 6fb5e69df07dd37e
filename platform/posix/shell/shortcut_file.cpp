#include "shell/shortcut_file.h"

#include "core/wide.h"

namespace emu {

std::string ShortcutFile(const std::u16string& target) {
  return std::to_string(target.size()) + "#" + ToUtf8(target);
}

bool ReadShortcut(const std::string& file, std::string* target) {
  size_t hash = file.find('#');
  if (hash == std::string::npos) return false;
  *target = file.substr(hash + 1);
  // A NUL would end the target early where it is used as a C string.
  if (target->find('\0') != std::string::npos) return false;
  return std::to_string(FromUtf8(*target).size()) == file.substr(0, hash);
}

bool SplitShortcutTarget(const std::string& target, std::string* program,
                         std::vector<std::string>* args) {
  program->clear();
  args->clear();
  size_t pos = 0;
  if (!target.empty() && target[0] == '"') {
    size_t end = target.find('"', 1);
    if (end == std::string::npos) return false;
    *program = target.substr(1, end - 1);
    pos = end + 1;
  } else {
    pos = target.find(' ');
    *program = target.substr(0, pos);
  }
  while (pos != std::string::npos && pos < target.size()) {
    while (pos < target.size() && target[pos] == ' ') ++pos;
    if (pos >= target.size()) break;
    size_t end = target.find(' ', pos);
    args->push_back(target.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    pos = end;
  }
  return !program->empty();
}

}  // namespace emu
