#include "registry/hive.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <map>

#include "core/wide.h"

namespace emu::reg {
namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";
const char kUtf16LeBom[] = "\xFF\xFE";

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Upper-cases ASCII letters of UTF-8 text, as FoldCase does for UTF-16.
std::string Fold(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// FNV-1a over the parent and the folded name, mixed so that linear probing
// spreads names that differ in a last digit.
uint32_t HashOf(uint32_t parent, std::string_view name) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < 4; ++i) h = (h ^ ((parent >> (8 * i)) & 0xFF)) * 16777619u;
  for (char c : name) h = (h ^ static_cast<unsigned char>(Upper(c))) * 16777619u;
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  return h ^ (h >> 16);
}

int LineOf(const std::string& text, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}

bool Fail(Problem* problem, int line, std::string what) {
  if (problem) *problem = Problem{line, std::move(what)};
  return false;
}

// The file's text as UTF-8, whatever it was read in; false with the problem
// when its bytes are not well-formed in that encoding.
bool Decode(const std::string& file, std::string* text, Encoding* encoding, Problem* problem) {
  char what[96];
  if (StartsWith(file, kUtf16LeBom)) {
    *encoding = Encoding::kUtf16Le;
    std::u16string units;
    size_t bad = 0;
    if (!DecodeUtf16Le(file.substr(2), &units, &bad)) {
      snprintf(what, sizeof what, "not UTF-16LE: a lone surrogate or a lone byte at byte %zu",
               bad + 2);
      return Fail(problem, LineOf(ToUtf8(units), std::string::npos), what);
    }
    *text = ToUtf8(units);
    return true;
  }
  if (StartsWith(file, "\xFE\xFF"))
    return Fail(problem, 1, "big-endian UTF-16; only UTF-8 and UTF-16LE are read");
  *encoding = StartsWith(file, kUtf8Bom) ? Encoding::kUtf8Bom : Encoding::kUtf8;
  *text = *encoding == Encoding::kUtf8Bom ? file.substr(3) : file;
  size_t bad = 0;
  if (!DecodeUtf8(*text, nullptr, &bad)) {
    size_t start = bad ? text->rfind('\n', bad - 1) : std::string::npos;
    size_t column = start == std::string::npos ? bad + 1 : bad - start;
    snprintf(what, sizeof what, "not UTF-8: byte 0x%02X in column %zu",
             static_cast<unsigned char>((*text)[bad]), column);
    return Fail(problem, LineOf(*text, bad), what);
  }
  return true;
}

// A physical line of `text` from `from`: where it ends (past its line end).
size_t LineEnd(std::string_view text, size_t from) {
  size_t nl = text.find('\n', from);
  return nl == std::string_view::npos ? text.size() : nl + 1;
}

// The line's content without its line end, blanks taken off.
std::string Content(std::string_view text, size_t from, size_t end) {
  std::string_view s = text.substr(from, end - from);
  if (!s.empty() && s.back() == '\n') s.remove_suffix(1);
  if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
  return Trim(std::string(s));
}

// The line at `from` with the lines a hex list goes on over (up to `limit`):
// its joined content, and where it ends.
std::string Joined(std::string_view text, size_t from, size_t limit, size_t* end, int* lines) {
  *end = LineEnd(text, from);
  *lines = 1;
  std::string joined = Content(text, from, *end);
  if (!ContinuesOnNextLine(joined)) return joined;
  while (!joined.empty() && joined.back() == '\\' && *end < limit) {
    size_t next = LineEnd(text, *end);
    joined.pop_back();
    joined += Content(text, *end, next);
    *end = next;
    ++*lines;
  }
  return joined;
}

}  // namespace

Hive::Hive() {
  nodes_.resize(4);
  for (int i = 0; i < 4; ++i) nodes_[i].name = ToUtf8(kRoots[i]);
  AddEntry(Line::kHeader, std::string(kHeader) + "\n", kNone);
  AddEntry(Line::kBlank, "\n", last_);
}

std::string_view Hive::TextOf(const Entry& e) const {
  return std::string_view(e.written ? written_ : text_).substr(e.offset, e.length);
}

Line Hive::ReadEntry(uint32_t entry) const {
  std::string_view text = TextOf(entries_[entry]);
  size_t end;
  int lines;
  return ReadLine(Joined(text, 0, text.size(), &end, &lines));
}

uint32_t Hive::AddEntry(Line::Kind kind, std::string text, uint32_t after) {
  Entry e;
  e.kind = kind;
  e.written = true;
  e.offset = static_cast<uint32_t>(written_.size());
  e.length = static_cast<uint32_t>(text.size());
  written_ += text;
  uint32_t id = static_cast<uint32_t>(entries_.size());
  e.prev = after;
  e.next = after == kNone ? first_ : entries_[after].next;
  entries_.push_back(e);
  if (e.prev == kNone)
    first_ = id;
  else
    entries_[e.prev].next = id;
  if (e.next == kNone)
    last_ = id;
  else
    entries_[e.next].prev = id;
  return id;
}

void Hive::Rewrite(uint32_t entry, const std::string& text) {
  Entry& e = entries_[entry];
  e.written = true;
  e.offset = static_cast<uint32_t>(written_.size());
  e.length = static_cast<uint32_t>(text.size());
  written_ += text;
}

void Hive::Unlink(uint32_t entry) {
  Entry& e = entries_[entry];
  if (e.prev == kNone)
    first_ = e.next;
  else
    entries_[e.prev].next = e.next;
  if (e.next == kNone)
    last_ = e.prev;
  else
    entries_[e.next].prev = e.prev;
  e.prev = e.next = kNone;
}

void Hive::EndLine(uint32_t entry) {
  std::string_view text = TextOf(entries_[entry]);
  if (text.empty() || text.back() != '\n') Rewrite(entry, std::string(text) + newline_);
}

uint32_t Hive::Lookup(uint32_t parent, std::string_view name, uint32_t hash) const {
  if (slots_.empty()) return kNone;
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.node == kNone) return kNone;
    if (s.node != kGone && s.hash == hash && nodes_[s.node].parent == parent &&
        SameFolded(nodes_[s.node].name, name))
      return s.node;
  }
}

void Hive::ReserveIndex(size_t nodes) {
  size_t size = 16;
  while (size < 2 * nodes) size *= 2;
  if (size <= slots_.size()) return;
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.resize(size);
  slots_used_ = 0;
  for (const Slot& s : old)
    if (s.node != kNone && s.node != kGone) Index(s.node, s.hash);
}

void Hive::Index(uint32_t node, uint32_t hash) {
  if (2 * (slots_used_ + 1) > slots_.size()) ReserveIndex(2 * (slots_used_ + 1));
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].node != kNone && slots_[i].node != kGone) i = (i + 1) & mask;
  if (slots_[i].node == kNone) ++slots_used_;
  slots_[i] = Slot{hash, node};
}

void Hive::Unindex(uint32_t node) {
  const uint32_t hash = HashOf(nodes_[node].parent, nodes_[node].name);
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask; slots_[i].node != kNone; i = (i + 1) & mask) {
    if (slots_[i].node == node) {
      slots_[i].node = kGone;
      return;
    }
  }
}

uint32_t Hive::Child(uint32_t parent, const std::u16string& name) const {
  std::string utf8 = ToUtf8(name);
  return Lookup(parent, utf8, HashOf(parent, utf8));
}

uint32_t Hive::Find(const std::vector<std::u16string>& parts) const {
  uint32_t node = kNone;
  for (uint32_t r = 0; r < 4; ++r)
    if (parts.size() && parts[0] == kRoots[r]) node = r;
  for (size_t n = 1; n < parts.size() && node != kNone; ++n) node = Child(node, parts[n]);
  return node;
}

uint32_t Hive::EnsureChild(uint32_t parent, const std::u16string& part) {
  std::string name = ToUtf8(part);
  const uint32_t hash = HashOf(parent, name);
  if (uint32_t found = Lookup(parent, name, hash); found != kNone) return found;
  uint32_t id = static_cast<uint32_t>(nodes_.size());
  Node child;
  child.name = std::move(name);
  child.parent = parent;
  child.next_sibling = nodes_[parent].first_child;
  if (child.next_sibling != kNone) nodes_[child.next_sibling].prev_sibling = id;
  nodes_[parent].first_child = id;
  nodes_.push_back(std::move(child));
  Index(id, hash);
  return id;
}

uint32_t Hive::Ensure(const std::vector<std::u16string>& parts) {
  uint32_t node = Find({parts[0]});
  for (size_t n = 1; n < parts.size(); ++n) node = EnsureChild(node, parts[n]);
  return node;
}

template <typename F>
void Hive::ForEachValueLine(uint32_t node, F f) const {
  std::vector<uint32_t> headers;
  for (uint32_t h = nodes_[node].header; h != kNone; h = entries_[h].earlier) headers.push_back(h);
  for (auto h = headers.rbegin(); h != headers.rend(); ++h) {
    for (uint32_t e = entries_[*h].next; e != kNone; e = entries_[e].next) {
      Line::Kind kind = entries_[e].kind;
      if (kind == Line::kKey || kind == Line::kKeyDeletion) break;
      if (kind == Line::kValue || kind == Line::kValueDeletion) f(e, ReadEntry(e));
    }
  }
}

uint32_t Hive::ValueLineOf(uint32_t node, const std::u16string& name,
                           std::vector<uint32_t>* all) const {
  uint32_t current = kNone;
  ForEachValueLine(node, [&](uint32_t e, const Line& line) {
    if (!EqualNoCase(line.value.name, name)) return;
    current = line.kind == Line::kValue ? e : kNone;
    if (!all) return;
    if (current == kNone)
      all->clear();
    else
      all->push_back(e);
  });
  return current;
}

void Hive::DeleteTree(uint32_t top) {
  std::vector<uint32_t> doomed;
  if (top < 4) {
    // A root stays: what is below it goes, with its own values.
    for (uint32_t c = nodes_[top].first_child; c != kNone; c = nodes_[c].next_sibling)
      doomed.push_back(c);
    nodes_[top].first_child = kNone;
    nodes_[top].header = kNone;
  } else {
    Node& n = nodes_[top];
    if (n.prev_sibling != kNone)
      nodes_[n.prev_sibling].next_sibling = n.next_sibling;
    else
      nodes_[n.parent].first_child = n.next_sibling;
    if (n.next_sibling != kNone) nodes_[n.next_sibling].prev_sibling = n.prev_sibling;
    doomed.push_back(top);
  }
  while (!doomed.empty()) {
    uint32_t id = doomed.back();
    doomed.pop_back();
    Node& n = nodes_[id];
    for (uint32_t c = n.first_child; c != kNone; c = nodes_[c].next_sibling) doomed.push_back(c);
    Unindex(id);
    n = Node{};
    n.dead = true;
  }
}

std::string Hive::PathOf(uint32_t node) const {
  std::vector<const std::string*> names;
  for (; node != kNone; node = nodes_[node].parent) names.push_back(&nodes_[node].name);
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += **it;
  }
  return path;
}

uint32_t Hive::AppendSection(const std::vector<std::u16string>& parts) {
  // After a blank line, as the registry editor writes it.
  if (last_ != kNone) {
    EndLine(last_);
    if (entries_[last_].kind != Line::kBlank) AddEntry(Line::kBlank, newline_, last_);
  }
  uint32_t node = Ensure(parts);
  // Appended: for "[" + std::string GCC 12 at -O3 warns of a false overlap.
  std::string line = std::string("[").append(PathOf(node)).append("]").append(newline_);
  uint32_t header = AddEntry(Line::kKey, std::move(line), last_);
  AddEntry(Line::kBlank, newline_, header);
  entries_[header].earlier = nodes_[node].header;
  nodes_[node].header = header;
  return node;
}

uint32_t Hive::InsertionPoint(uint32_t node) const {
  // Blank lines and comments that end the section stay below, before the
  // next header.
  uint32_t at = nodes_[node].header;
  for (uint32_t e = entries_[at].next; e != kNone; e = entries_[e].next) {
    Line::Kind kind = entries_[e].kind;
    if (kind == Line::kKey || kind == Line::kKeyDeletion) break;
    if (kind == Line::kValue || kind == Line::kValueDeletion) at = e;
  }
  return at;
}

bool Hive::Exists(const std::u16string& path) const {
  std::vector<std::u16string> parts;
  return SplitKeyPath(path, true, &parts) && Find(parts) != kNone;
}

std::u16string Hive::Canonical(const std::u16string& path) const {
  std::vector<std::u16string> parts;
  if (!SplitKeyPath(path, true, &parts)) return path;
  uint32_t node = Find({parts[0]});
  for (size_t n = 1; n < parts.size() && node != kNone; ++n) {
    node = Child(node, parts[n]);
    if (node != kNone) parts[n] = FromUtf8(nodes_[node].name);
  }
  return JoinKeyPath(parts, parts.size());
}

std::optional<Value> Hive::FindValue(const std::u16string& key, const std::u16string& name) const {
  std::vector<std::u16string> parts;
  if (!SplitKeyPath(key, true, &parts)) return std::nullopt;
  uint32_t node = Find(parts);
  uint32_t line = node == kNone ? kNone : ValueLineOf(node, name);
  if (line == kNone) return std::nullopt;
  return ReadEntry(line).value;
}

bool Hive::CreateKey(const std::u16string& path) {
  std::vector<std::u16string> parts;
  if (!SplitKeyPath(path, true, &parts) || Find(parts) != kNone) return false;
  AppendSection(parts);
  return true;
}

bool Hive::SetValue(const std::u16string& key, const Value& value) {
  std::vector<std::u16string> parts;
  if (!Writable(value.name) || !SplitKeyPath(key, true, &parts)) return false;
  uint32_t node = Find(parts);
  if (uint32_t line = node == kNone ? kNone : ValueLineOf(node, value.name); line != kNone) {
    Value old = ReadEntry(line).value;
    if (old.type == value.type && old.data == value.data) return false;
    // The name keeps its spelling.
    Rewrite(line, ValueLine(Value{old.name, value.type, value.data}, newline_) + newline_);
    return true;
  }
  if (node == kNone || nodes_[node].header == kNone) node = AppendSection(parts);
  uint32_t after = InsertionPoint(node);
  EndLine(after);
  AddEntry(Line::kValue, ValueLine(value, newline_) + newline_, after);
  return true;
}

bool Hive::DeleteValue(const std::u16string& key, const std::u16string& name) {
  std::vector<std::u16string> parts;
  if (!SplitKeyPath(key, true, &parts)) return false;
  uint32_t node = Find(parts);
  std::vector<uint32_t> lines;
  if (node == kNone || ValueLineOf(node, name, &lines) == kNone) return false;
  // Every line of it since its last deletion, so that no earlier one comes
  // back at the next read.
  for (uint32_t e : lines) Unlink(e);
  return true;
}

std::string Hive::Describe() const {
  std::map<std::string, std::string> keys;  // by folded path
  for (uint32_t id = 0; id < nodes_.size(); ++id) {
    const Node& n = nodes_[id];
    if (n.dead || (id < 4 && n.header == kNone)) continue;
    std::map<std::string, std::string> values;  // by folded name; empty: deleted
    ForEachValueLine(id, [&](uint32_t, const Line& line) {
      std::string& text = values[Fold(ToUtf8(line.value.name))];
      text.clear();
      if (line.kind != Line::kValue) return;
      const Value& v = line.value;
      text.append("  \"").append(ToUtf8(v.name)).append("\" ").append(std::to_string(v.type));
      text += ' ';
      for (unsigned char c : v.data) {
        char hex[4];
        snprintf(hex, sizeof hex, "%02x", c);
        text += hex;
      }
      text += "\n";
    });
    std::string path = PathOf(id);
    std::string text = path + (n.header == kNone ? "\n" : " (listed)\n");
    for (const auto& [name, line] : values) text += line;
    keys[Fold(path)] = text;
  }
  std::string out;
  for (const auto& [folded, text] : keys) out += text;
  return out;
}

bool Parse(const std::string& file, Hive* out, Problem* problem) {
  Hive hive;
  std::string text;
  if (!Decode(file, &text, &hive.encoding_, problem)) return false;
  if (size_t nul = text.find('\0'); nul != std::string::npos)
    return Fail(problem, LineOf(text, nul), "a NUL character (UTF-16 needs a byte-order mark)");
  if (text.size() >= Hive::kNone) return Fail(problem, 1, "the file is too large");
  if (text.empty()) {  // a new registry
    *out = std::move(hive);
    return true;
  }
  hive.entries_.clear();
  hive.written_.clear();
  hive.first_ = hive.last_ = Hive::kNone;
  hive.text_ = std::move(text);
  const std::string_view all = hive.text_;
  size_t first_end = all.find('\n');
  if (first_end != std::string::npos && first_end > 0 && all[first_end - 1] == '\r')
    hive.newline_ = "\r\n";
  size_t headers = 0;  // about the keys to index, so that nothing is rehashed on the way
  for (size_t at = 0; (at = all.find("\n[", at)) != std::string::npos; ++at) ++headers;
  hive.entries_.reserve(LineOf(hive.text_, std::string::npos));
  hive.nodes_.reserve(headers + 8);
  hive.ReserveIndex(headers + 8);

  uint32_t key = Hive::kNone;  // whose values follow
  bool deleted = false;        // after a key's deletion line
  // The last header's parts and nodes: the next header mostly shares all
  // but its last part, which need not be looked up again.
  std::vector<std::u16string> last_parts;
  std::vector<uint32_t> last_nodes;
  int number = 1;
  for (size_t pos = 0; pos < all.size();) {
    size_t end;
    int lines;
    Line line = ReadLine(Joined(all, pos, all.size(), &end, &lines));
    if (line.kind == Line::kBad) return Fail(problem, number, line.problem);
    if ((line.kind == Line::kValue || line.kind == Line::kValueDeletion) && key == Hive::kNone)
      return Fail(problem, number,
                  deleted ? "a value under a key's deletion line" : "a value before any key");
    Hive::Entry e;
    e.kind = line.kind;
    e.offset = static_cast<uint32_t>(pos);
    e.length = static_cast<uint32_t>(end - pos);
    e.prev = hive.last_;
    uint32_t id = static_cast<uint32_t>(hive.entries_.size());
    if (hive.last_ == Hive::kNone)
      hive.first_ = id;
    else
      hive.entries_[hive.last_].next = id;
    hive.last_ = id;
    switch (line.kind) {
      case Line::kKey: {
        const auto& parts = line.parts;
        size_t same = 0;
        while (same < parts.size() && same < last_parts.size() &&
               EqualNoCase(parts[same], last_parts[same]))
          ++same;
        if (same == 0) {
          last_nodes.assign(1, hive.Find({parts[0]}));
          same = 1;
        }
        last_nodes.resize(same);
        for (size_t n = same; n < parts.size(); ++n)
          last_nodes.push_back(hive.EnsureChild(last_nodes.back(), parts[n]));
        last_parts = std::move(line.parts);
        key = last_nodes.back();
        e.earlier = hive.nodes_[key].header;
        hive.nodes_[key].header = id;
        deleted = false;
        break;
      }
      case Line::kKeyDeletion:
        if (uint32_t node = hive.Find(line.parts); node != Hive::kNone) hive.DeleteTree(node);
        last_parts.clear();  // its nodes may be gone
        key = Hive::kNone;
        deleted = true;
        break;
      default:
        break;
    }
    hive.entries_.push_back(e);
    pos = end;
    number += lines;
  }
  *out = std::move(hive);
  return true;
}

std::string Serialize(const Hive& hive) {
  std::string text;
  text.reserve(hive.text_.size() + hive.written_.size());
  for (uint32_t e = hive.first_; e != Hive::kNone; e = hive.entries_[e].next)
    text += hive.TextOf(hive.entries_[e]);
  switch (hive.encoding_) {
    case Encoding::kUtf8Bom:
      return kUtf8Bom + text;
    case Encoding::kUtf16Le:
      return kUtf16LeBom + EncodeUtf16Le(FromUtf8(text));
    default:
      return text;
  }
}

}  // namespace emu::reg
