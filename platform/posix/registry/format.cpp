#include "registry/format.h"

#include <cstdio>

#include "core/wide.h"

namespace emu::reg {

const char kHeader[] = "Windows Registry Editor Version 5.00";

namespace {

const char16_t* const kRoots[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE",
                                  u"HKEY_USERS"};

std::u16string Join(const std::vector<std::u16string>& parts, size_t count) {
  std::u16string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += u'\\';
    out += parts[i];
  }
  return out;
}

// `path` is `prefix` or lies below it (both folded).
bool AtOrBelow(const std::u16string& path, const std::u16string& prefix) {
  return path.size() >= prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
         (path.size() == prefix.size() || path[prefix.size()] == u'\\');
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= s.size()) return false;
    char a = s[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1..8 hex digits, the whole of `s`.
bool ParseHexNumber(const std::string& s, DWORD* out) {
  if (s.empty() || s.size() > 8) return false;
  DWORD v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<DWORD>(d);
  }
  *out = v;
  return true;
}

// "01,02, ff" (possibly empty) to bytes.
bool ParseHexList(const std::string& s, std::string* out) {
  out->clear();
  if (Trim(s).empty()) return true;
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t comma = s.find(',', pos);
    if (comma == std::string::npos) comma = s.size();
    std::string byte = Trim(s.substr(pos, comma - pos));
    pos = comma + 1;
    DWORD v;
    if (byte.size() > 2 || !ParseHexNumber(byte, &v)) return false;
    out->push_back(static_cast<char>(v));
  }
  return true;
}

// A quoted string starting at s[pos] == '"', with \\ and \" escapes (any
// other backslash is kept as it is). Sets *end past the closing quote.
bool ParseQuoted(const std::string& s, size_t pos, std::string* out, size_t* end) {
  out->clear();
  for (size_t i = pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      *end = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) c = s[++i];
    out->push_back(c);
  }
  return false;
}

std::string Quote(const std::u16string& text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Utf16Bytes(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

// Text that can be written as "..." on one line and read back unchanged.
bool Writable(const std::u16string& s) {
  for (char16_t c : s)
    if (c == 0 || c == u'\r' || c == u'\n') return false;
  return FromUtf8(ToUtf8(s)) == s;  // no lone surrogates
}

// The string a REG_SZ value's bytes hold, when "..." gives back exactly them.
bool PlainText(const std::string& data, std::u16string* text) {
  if (data.size() < 2 || data.size() % 2 || data[data.size() - 1] || data[data.size() - 2])
    return false;
  text->clear();
  for (size_t i = 0; i + 2 < data.size(); i += 2)
    text->push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                          (static_cast<unsigned char>(data[i + 1]) << 8)));
  return Writable(*text);
}

// Bytes as a hex list, continued on the next line past 76 columns as the
// registry editor does; `column` is where the list starts.
std::string HexList(const std::string& data, size_t column) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < data.size(); ++i) {
    snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(data[i]));
    out += buf;
    column += 2;
    if (i + 1 < data.size()) {
      out += ',';
      ++column;
      if (column > 76) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  return out;
}

// The data of a value line (after '='); false when it cannot be read.
bool ParseData(const std::string& text, Value* v) {
  if (!text.empty() && text[0] == '"') {
    std::string s;
    size_t end;
    if (!ParseQuoted(text, 0, &s, &end) || end != text.size()) return false;
    v->type = REG_SZ;
    v->data = Utf16Bytes(FromUtf8(s) + u'\0');
    return true;
  }
  if (StartsWithNoCase(text, "dword:")) {
    DWORD d;
    if (!ParseHexNumber(Trim(text.substr(6)), &d)) return false;
    v->type = REG_DWORD;
    v->data.clear();
    for (int i = 0; i < 4; ++i) v->data.push_back(static_cast<char>((d >> (8 * i)) & 0xFF));
    return true;
  }
  if (StartsWithNoCase(text, "hex:")) {
    v->type = REG_BINARY;
    return ParseHexList(text.substr(4), &v->data);
  }
  if (StartsWithNoCase(text, "hex(")) {
    size_t close = text.find("):", 4);
    if (close == std::string::npos || !ParseHexNumber(text.substr(4, close - 4), &v->type))
      return false;
    return ParseHexList(text.substr(close + 2), &v->data);
  }
  return false;
}

void SetValue(Key& key, Value v) {
  if (Value* old = key.Find(v.name)) {
    old->type = v.type;
    old->data = std::move(v.data);
  } else {
    key.values.push_back(std::move(v));
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::string body = text;
  if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < body.size()) {
    size_t nl = body.find('\n', pos);
    if (nl == std::string::npos) nl = body.size();
    std::string line = body.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = nl + 1;
  }
  return lines;
}

}  // namespace

Value* Key::Find(const std::u16string& name) {
  for (auto& v : values)
    if (EqualNoCase(v.name, name)) return &v;
  return nullptr;
}
const Value* Key::Find(const std::u16string& name) const {
  return const_cast<Key*>(this)->Find(name);
}

Key* Hive::Find(const std::u16string& path) {
  std::u16string folded = FoldCase(path);
  for (auto& k : keys)
    if (FoldCase(k.path) == folded) return &k;
  return nullptr;
}
const Key* Hive::Find(const std::u16string& path) const {
  return const_cast<Hive*>(this)->Find(path);
}

bool Hive::Exists(const std::u16string& path) const {
  std::vector<std::u16string> parts;
  if (!SplitKeyPath(path, true, &parts)) return false;
  if (parts.size() == 1) return true;
  std::u16string folded = FoldCase(Join(parts, parts.size()));
  for (const auto& k : keys)
    if (AtOrBelow(FoldCase(k.path), folded)) return true;
  return false;
}

std::u16string Hive::Canonical(const std::u16string& path) const {
  std::vector<std::u16string> parts;
  if (!SplitKeyPath(path, true, &parts)) return path;
  for (size_t n = 2; n <= parts.size(); ++n) {
    std::u16string prefix = FoldCase(Join(parts, n));
    for (const auto& k : keys) {
      if (!AtOrBelow(FoldCase(k.path), prefix)) continue;
      std::vector<std::u16string> spelt;
      SplitKeyPath(k.path, true, &spelt);
      parts[n - 1] = spelt[n - 1];
      break;
    }
  }
  return Join(parts, parts.size());
}

Key& Hive::Add(const std::u16string& path) {
  keys.push_back(Key{Canonical(path), {}});
  return keys.back();
}

const char16_t* RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return kRoots[0];
  if (root == HKEY_CURRENT_USER) return kRoots[1];
  if (root == HKEY_LOCAL_MACHINE) return kRoots[2];
  if (root == HKEY_USERS) return kRoots[3];
  return nullptr;
}

bool SplitKeyPath(const std::u16string& path, bool need_root, std::vector<std::u16string>* parts) {
  parts->clear();
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find(u'\\', pos);
    if (end == std::u16string::npos) end = path.size();
    std::u16string part = path.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty()) continue;
    if (!Writable(part)) return false;
    for (char16_t c : part)
      if (c < 0x20) return false;
    parts->push_back(part);
  }
  if (!need_root) return true;
  if (parts->empty()) return false;
  for (const char16_t* root : kRoots) {
    if (EqualNoCase((*parts)[0], root)) {
      (*parts)[0] = root;
      return true;
    }
  }
  return false;
}

Hive Parse(const std::string& text, int* skipped_lines) {
  Hive hive;
  int skipped = 0;
  Key* key = nullptr;  // the key whose values follow; null after a bad header
  std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = Trim(lines[i]);
    if (line.empty() || line[0] == ';' || line == kHeader || line == "REGEDIT4") continue;
    if (line[0] == '[') {
      std::vector<std::u16string> parts;
      key = nullptr;
      if (line.back() == ']' && line.size() > 2 && line[1] != '-' &&
          SplitKeyPath(FromUtf8(line.substr(1, line.size() - 2)), true, &parts)) {
        std::u16string path = Join(parts, parts.size());
        key = hive.Find(path);
        if (!key) key = &hive.Add(path);
      } else {
        ++skipped;
      }
      continue;
    }
    Value v;
    size_t eq;
    if (line[0] == '@') {
      eq = 1;
    } else if (line[0] == '"') {
      std::string name;
      if (!ParseQuoted(line, 0, &name, &eq)) eq = std::string::npos;
      v.name = FromUtf8(name);
    } else {
      eq = std::string::npos;
    }
    while (eq != std::string::npos && eq < line.size() && (line[eq] == ' ' || line[eq] == '\t'))
      ++eq;
    if (eq == std::string::npos || eq >= line.size() || line[eq] != '=') {
      ++skipped;
      continue;
    }
    std::string data = Trim(line.substr(eq + 1));
    if (StartsWithNoCase(data, "hex")) {
      // A hex list may go on over lines ending in a backslash.
      while (!data.empty() && data.back() == '\\' && i + 1 < lines.size()) {
        data.pop_back();
        data += Trim(lines[++i]);
      }
    }
    if (!key || !ParseData(data, &v)) {
      ++skipped;
      continue;
    }
    SetValue(*key, std::move(v));
  }
  if (skipped_lines) *skipped_lines = skipped;
  return hive;
}

std::string Serialize(const Hive& hive) {
  std::string out = std::string(kHeader) + "\n\n";
  for (const auto& key : hive.keys) {
    // Appended: for "[" + std::string GCC 12 at -O3 warns of a false overlap (GCC PR 105329).
    out.append("[").append(ToUtf8(key.path)).append("]\n");
    for (const auto& v : key.values) {
      std::string line = v.name.empty() ? "@=" : Quote(v.name) + "=";
      std::u16string text;
      if (v.type == REG_SZ && PlainText(v.data, &text)) {
        line += Quote(text);
      } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t d = 0;
        for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[i]);
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08x", d);
        line += buf;
      } else {
        char buf[24];
        if (v.type == REG_BINARY)
          snprintf(buf, sizeof buf, "hex:");
        else
          snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
        line += buf;
        line += HexList(v.data, line.size());
      }
      out += line + "\n";
    }
    out += "\n";
  }
  return out;
}

}  // namespace emu::reg
