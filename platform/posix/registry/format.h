// The lines of a registry file in the .reg export format:
//
//   Windows Registry Editor Version 5.00
//
//   ; a comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Example]
//   "Text"="a \"quoted\" C:\\path"
//   @="the default value"
//   "Count"=dword:0000000a
//   "Blob"=hex:01,02,\   <- a long list goes on after a trailing backslash
//     03
//   "Raw"=hex(1):34,00,00,00
//   "Gone"=-             <- deletes the value
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\Old]   <- deletes the key and all below it
//
// Every value is written in a form that reads back byte for byte: text only
// when it is a NUL-terminated UTF-16 string that survives the trip through
// UTF-8 on one line, a dword only when it is 4 bytes, else hex(type).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace emu::reg {

struct Value {
  std::u16string name;  // empty: the key's default value (@)
  DWORD type = REG_NONE;
  std::string data;  // the bytes as stored
  bool operator==(const Value&) const = default;
};

extern const char kHeader[];
// The four roots' names, as written in the file.
extern const char16_t* const kRoots[4];

// The root's name as written in the file for a predefined HKEY; null otherwise.
const char16_t* RootName(HKEY root);
// A key path's parts (empty parts, as in "a\\b" or a leading "\", are
// skipped); false for a control character or a lone surrogate, or (when
// `need_root`) a first part that is not a root's name.
bool SplitKeyPath(const std::u16string& path, bool need_root, std::vector<std::u16string>* parts);
std::u16string JoinKeyPath(const std::vector<std::u16string>& parts, size_t count);

// Text the file can hold between quotes on one line and read back unchanged.
bool Writable(const std::u16string& text);

// One line of a registry file, its line end and any leading and trailing
// blanks taken off (a hex list's continued lines joined).
struct Line {
  enum Kind { kBlank, kComment, kHeader, kKey, kKeyDeletion, kValue, kValueDeletion, kBad };
  Kind kind = kBad;
  std::vector<std::u16string> parts;  // kKey, kKeyDeletion: the path's, the root spelt as ours
  Value value;                        // kValue; kValueDeletion: the name only
  std::string problem;                // kBad: what is wrong with it
};
Line ReadLine(const std::string& text);

// A hex list, continued over lines ending in a backslash, goes on after this
// line (a value line whose data begins with "hex" and ends in a backslash).
bool ContinuesOnNextLine(const std::string& trimmed);
std::string Trim(const std::string& s);

// The value's line (without line end; a long hex list goes on over lines
// joined by `newline`).
std::string ValueLine(const Value& v, const std::string& newline);

}  // namespace emu::reg
