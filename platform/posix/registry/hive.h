// The registry file as read, with an index of its keys and values by folded
// name.
//
// The file is kept line for line: a change rewrites the line of the value it
// changes and adds lines for new keys and values, so comments, blank lines,
// deletion lines, line ends and the spelling of all else stay as they were,
// and the file is written back in the encoding it was read in (UTF-8 with or
// without a byte-order mark, or UTF-16LE with one). A file with anything it
// cannot read is not read at all, so that nothing in it can be lost.
//
// Keys are named by full path and matched without regard to case; a key
// exists when it is listed, has a listed subkey, or is one of the four roots.
// Lines apply in file order: a later line for a value wins, "-" deletes.
//
// Load and save take time in proportion to the file: the lines are kept as
// spans of the text read and the keys as a tree found through a flat hash
// table of (parent, folded name); a key's values are found among its own
// lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/format.h"

namespace emu::reg {

enum class Encoding { kUtf8, kUtf8Bom, kUtf16Le };

struct Problem {
  int line = 0;  // 1-based
  std::string what;
};

class Hive {
 public:
  // An empty registry: the header line and a blank line, UTF-8.
  Hive();

  bool Exists(const std::u16string& path) const;
  // The path with each existing part spelt as the registry spells it.
  std::u16string Canonical(const std::u16string& path) const;
  // The value (its name spelt as the file has it); none when the key or the
  // value does not exist.
  std::optional<Value> FindValue(const std::u16string& key, const std::u16string& name) const;

  // Each returns whether the file changed. Lists a key that does not exist.
  bool CreateKey(const std::u16string& path);
  // Lists the key too when it is not listed; false (and nothing done) for a
  // key or a value name the file cannot hold.
  bool SetValue(const std::u16string& key, const Value& value);
  bool DeleteValue(const std::u16string& key, const std::u16string& name);

  // Every existing key with its values, a line each, sorted by folded name
  // (the roots only when listed): registries with the same contents
  // describe alike.
  std::string Describe() const;

 private:
  friend bool Parse(const std::string& file, Hive* hive, Problem* problem);
  friend std::string Serialize(const Hive& hive);

  static constexpr uint32_t kNone = UINT32_MAX;

  // A stretch of the file: a line, or a value's line with its continued
  // lines, with its line ends; in file order through prev and next.
  struct Entry {
    uint32_t prev = kNone, next = kNone;
    uint32_t offset = 0, length = 0;  // in text_, or in written_ when `written`
    uint32_t earlier = kNone;         // kKey: the key's header before this one
    Line::Kind kind = Line::kBlank;
    bool written = false;
  };
  struct Node {
    std::string name;  // UTF-8, spelt as first listed
    uint32_t parent = kNone, first_child = kNone, prev_sibling = kNone, next_sibling = kNone;
    uint32_t header = kNone;  // its last header line since it was made
    bool dead = false;        // deleted by a deletion line
  };

  std::string_view TextOf(const Entry& e) const;
  Line ReadEntry(uint32_t entry) const;
  uint32_t AddEntry(Line::Kind kind, std::string text, uint32_t after);
  void Rewrite(uint32_t entry, const std::string& text);
  void Unlink(uint32_t entry);

  // The key's node; kNone when it does not exist (or the path is not one).
  uint32_t Find(const std::vector<std::u16string>& parts) const;
  uint32_t Child(uint32_t parent, const std::u16string& name) const;
  uint32_t Lookup(uint32_t parent, std::string_view name, uint32_t hash) const;
  void Index(uint32_t node, uint32_t hash);
  void Unindex(uint32_t node);
  void ReserveIndex(size_t nodes);
  // Makes the key's node and those above it where missing.
  uint32_t Ensure(const std::vector<std::u16string>& parts);
  uint32_t EnsureChild(uint32_t parent, const std::u16string& name);
  void DeleteTree(uint32_t node);
  std::string PathOf(uint32_t node) const;
  // The value lines of the node's sections, in file order.
  template <typename F>
  void ForEachValueLine(uint32_t node, F f) const;
  // The line of the value in force (kNone: none), and with `all` every line
  // of it since its last deletion line.
  uint32_t ValueLineOf(uint32_t node, const std::u16string& name,
                       std::vector<uint32_t>* all = nullptr) const;
  // Lists the key in a new section at the end of the file.
  uint32_t AppendSection(const std::vector<std::u16string>& parts);
  // Where a new value of the node goes: after its section's last value line.
  uint32_t InsertionPoint(uint32_t node) const;
  // The entry's text ends in a line end (it may be the file's last line).
  void EndLine(uint32_t entry);

  Encoding encoding_ = Encoding::kUtf8;
  std::string newline_ = "\n";
  std::string text_;     // the file as read, UTF-8
  std::string written_;  // the lines written since
  std::vector<Entry> entries_;
  uint32_t first_ = kNone, last_ = kNone;
  std::vector<Node> nodes_;  // the four roots first
  // The nodes by (parent, folded name): open addressing, linear probing.
  struct Slot {
    uint32_t hash = 0;
    uint32_t node = kNone;  // kNone: empty; kGone: a node deleted
  };
  static constexpr uint32_t kGone = kNone - 1;
  std::vector<Slot> slots_;
  size_t slots_used_ = 0;  // not empty
};

// Reads a whole registry file; false with the first problem (its line and
// what is wrong) when any part of it cannot be read.
bool Parse(const std::string& file, Hive* hive, Problem* problem);
std::string Serialize(const Hive& hive);

}  // namespace emu::reg
