#include "registry/format.h"

#include <cstdio>

#include "core/wide.h"

namespace emu::reg {

const char kHeader[] = "Windows Registry Editor Version 5.00";
const char16_t* const kRoots[4] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",
                                   u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"};

namespace {

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
    DWORD v = 0;
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
std::string HexList(const std::string& data, size_t column, const std::string& newline) {
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
        out += "\\" + newline + "  ";
        column = 2;
      }
    }
  }
  return out;
}

// The data of a value line (after '='): empty, or what is wrong with it.
std::string ParseData(const std::string& text, Value* v) {
  if (!text.empty() && text[0] == '"') {
    std::string s;
    size_t end;
    if (!ParseQuoted(text, 0, &s, &end)) return "the text lacks its closing quote";
    if (end != text.size()) return "something follows the text's closing quote";
    v->type = REG_SZ;
    v->data = EncodeUtf16Le(FromUtf8(s) + u'\0');
    return {};
  }
  if (StartsWithNoCase(text, "dword:")) {
    DWORD d = 0;
    if (!ParseHexNumber(Trim(text.substr(6)), &d)) return "a dword takes 1 to 8 hex digits";
    v->type = REG_DWORD;
    v->data.clear();
    for (int i = 0; i < 4; ++i) v->data.push_back(static_cast<char>((d >> (8 * i)) & 0xFF));
    return {};
  }
  const char kBadList[] = "a hex list takes bytes of 1 or 2 hex digits between commas";
  if (StartsWithNoCase(text, "hex:")) {
    v->type = REG_BINARY;
    return ParseHexList(text.substr(4), &v->data) ? "" : kBadList;
  }
  if (StartsWithNoCase(text, "hex(")) {
    size_t close = text.find("):", 4);
    if (close == std::string::npos || !ParseHexNumber(text.substr(4, close - 4), &v->type))
      return "hex(type): takes a type of 1 to 8 hex digits";
    return ParseHexList(text.substr(close + 2), &v->data) ? "" : kBadList;
  }
  return "the data is none of \"text\", dword:, hex: and hex(type):";
}

Line Bad(std::string problem) {
  Line line;
  line.kind = Line::kBad;
  line.problem = std::move(problem);
  return line;
}

Line ReadHeader(const std::string& text) {
  if (text.back() != ']' || text.size() < 2) return Bad("the key's header lacks its closing ']'");
  Line line;
  line.kind = text[1] == '-' ? Line::kKeyDeletion : Line::kKey;
  size_t from = line.kind == Line::kKeyDeletion ? 2 : 1;
  std::vector<std::u16string>& parts = line.parts;
  if (!SplitKeyPath(FromUtf8(text.substr(from, text.size() - 1 - from)), false, &parts))
    return Bad("the key's name holds a control character");
  if (parts.empty()) return Bad("no key's name between the brackets");
  for (const char16_t* root : kRoots) {
    if (EqualNoCase(parts[0], root)) {
      parts[0] = root;
      return line;
    }
  }
  return Bad(
      "the key lies under none of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
      "HKEY_LOCAL_MACHINE and HKEY_USERS");
}

Line ReadValue(const std::string& text) {
  Line line;
  size_t eq = 1;
  if (text[0] == '"') {
    std::string name;
    if (!ParseQuoted(text, 0, &name, &eq)) return Bad("the value's name lacks its closing quote");
    line.value.name = FromUtf8(name);
  }
  while (eq < text.size() && (text[eq] == ' ' || text[eq] == '\t')) ++eq;
  if (eq >= text.size() || text[eq] != '=') return Bad("no '=' after the value's name");
  std::string data = Trim(text.substr(eq + 1));
  if (data == "-") {
    line.kind = Line::kValueDeletion;
    return line;
  }
  if (std::string problem = ParseData(data, &line.value); !problem.empty()) {
    std::string who = line.value.name.empty() && text[0] == '@'
                          ? "the default value"
                          : std::string("value ").append(Quote(line.value.name));
    return Bad(who + ": " + problem);
  }
  line.kind = Line::kValue;
  return line;
}

}  // namespace

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

const char16_t* RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return kRoots[0];
  if (root == HKEY_CURRENT_USER) return kRoots[1];
  if (root == HKEY_LOCAL_MACHINE) return kRoots[2];
  if (root == HKEY_USERS) return kRoots[3];
  return nullptr;
}

bool Writable(const std::u16string& s) {
  for (char16_t c : s)
    if (c == 0 || c == u'\r' || c == u'\n') return false;
  std::string utf8;
  return EncodeUtf8(s, &utf8);  // no lone surrogates
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
    parts->push_back(std::move(part));
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

std::u16string JoinKeyPath(const std::vector<std::u16string>& parts, size_t count) {
  std::u16string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += u'\\';
    out += parts[i];
  }
  return out;
}

Line ReadLine(const std::string& text) {
  Line line;
  if (text.empty()) {
    line.kind = Line::kBlank;
  } else if (text[0] == ';') {
    line.kind = Line::kComment;
  } else if (text == kHeader || text == "REGEDIT4") {
    line.kind = Line::kHeader;
  } else if (text[0] == '[') {
    line = ReadHeader(text);
  } else if (text[0] == '"' || text[0] == '@') {
    line = ReadValue(text);
  } else {
    line = Bad("neither a key, a value nor a comment");
  }
  return line;
}

bool ContinuesOnNextLine(const std::string& trimmed) {
  if (trimmed.empty() || trimmed.back() != '\\' || (trimmed[0] != '"' && trimmed[0] != '@'))
    return false;
  size_t eq = trimmed[0] == '@' ? 1 : std::string::npos;
  std::string name;
  if (trimmed[0] == '"' && !ParseQuoted(trimmed, 0, &name, &eq)) return false;
  eq = trimmed.find('=', eq);
  return eq != std::string::npos && StartsWithNoCase(Trim(trimmed.substr(eq + 1)), "hex");
}

std::string ValueLine(const Value& v, const std::string& newline) {
  std::string line = v.name.empty() ? "@=" : Quote(v.name) + "=";
  std::u16string text;
  if (v.type == REG_SZ && PlainText(v.data, &text)) return line + Quote(text);
  if (v.type == REG_DWORD && v.data.size() == 4) {
    uint32_t d = 0;
    for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[i]);
    char buf[16];
    snprintf(buf, sizeof buf, "dword:%08x", d);
    return line + buf;
  }
  char buf[24];
  if (v.type == REG_BINARY)
    snprintf(buf, sizeof buf, "hex:");
  else
    snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
  line += buf;
  return line + HexList(v.data, line.size(), newline);
}

}  // namespace emu::reg
