// The registry as text: the .reg export format, UTF-8.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Example]
//   "Text"="a \"quoted\" C:\\path"
//   @="the default value"
//   "Count"=dword:0000000a
//   "Blob"=hex:01,02,\   <- a long list goes on after a trailing backslash
//     03
//   "Raw"=hex(1):34,00,00,00
//
// Every value is written in a form that reads back byte for byte: text only
// when it is a NUL-terminated UTF-16 string that survives the trip through
// UTF-8 on one line, a dword only when it is 4 bytes, else hex(type).
// Lines that cannot be read (and the values of a key whose header cannot be
// read) are skipped and dropped at the next write.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace emu::reg {

struct Value {
  std::u16string name;  // empty: the key's default value (@)
  DWORD type = REG_NONE;
  std::string data;  // the bytes as stored
};

struct Key {
  std::u16string path;  // "HKEY_LOCAL_MACHINE\SOFTWARE\...", case as written
  std::vector<Value> values;
  Value* Find(const std::u16string& name);
  const Value* Find(const std::u16string& name) const;
};

// All keys, in file order. Keys are named by full path and matched without
// regard to case; a key exists when it is listed, has a listed subkey, or is
// one of the four roots.
struct Hive {
  std::vector<Key> keys;

  Key* Find(const std::u16string& path);
  const Key* Find(const std::u16string& path) const;
  bool Exists(const std::u16string& path) const;
  // The path with each existing part spelt as the registry spells it.
  std::u16string Canonical(const std::u16string& path) const;
  // Lists the key (which must not be listed yet) and returns it.
  Key& Add(const std::u16string& path);
};

extern const char kHeader[];

// The root's name as written in the file for a predefined HKEY; null otherwise.
const char16_t* RootName(HKEY root);
// A key path's parts (empty parts, as in "a\\b" or a leading "\", are
// skipped); false for a control character, or (when `need_root`) a first part
// that is not a root's name.
bool SplitKeyPath(const std::u16string& path, bool need_root, std::vector<std::u16string>* parts);

Hive Parse(const std::string& text, int* skipped_lines = nullptr);
std::string Serialize(const Hive& hive);

}  // namespace emu::reg
