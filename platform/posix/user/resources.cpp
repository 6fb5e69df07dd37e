#include "user/resources.h"

#include <cctype>
#include <map>
#include <sstream>
#include <stdexcept>

#include "core/wide.h"

// Provided by the build (res/embed.cmake).
extern const char skylode_rc_script[];
extern const char skylode_resource_header[];

namespace emu {
namespace {

const std::map<std::string, DWORD>& StyleNames() {
  static const std::map<std::string, DWORD> names = {
      {"WS_POPUP", WS_POPUP},
      {"WS_CHILD", WS_CHILD},
      {"WS_VISIBLE", WS_VISIBLE},
      {"WS_DISABLED", WS_DISABLED},
      {"WS_CAPTION", WS_CAPTION},
      {"WS_BORDER", WS_BORDER},
      {"WS_VSCROLL", WS_VSCROLL},
      {"WS_HSCROLL", WS_HSCROLL},
      {"WS_GROUP", WS_GROUP},
      {"WS_TABSTOP", WS_TABSTOP},
      {"WS_SYSMENU", WS_SYSMENU},
      {"DS_SETFONT", DS_SETFONT},
      {"DS_MODALFRAME", DS_MODALFRAME},
      {"WS_EX_CAPTIONOKBTN", WS_EX_CAPTIONOKBTN},
      {"WS_EX_APPWINDOW", WS_EX_APPWINDOW},
      {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW},
      {"BS_PUSHBUTTON", BS_PUSHBUTTON},
      {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
      {"CBS_DROPDOWN", CBS_DROPDOWN},
      {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
      {"CBS_SORT", CBS_SORT},
      {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL},
      {"SS_LEFT", SS_LEFT},
      {"SS_CENTER", SS_CENTER},
      {"SS_CENTERIMAGE", SS_CENTERIMAGE},
      {"PBS_SMOOTH", PBS_SMOOTH},
  };
  return names;
}

// A tokenizer for the statements we use: words, numbers, strings, commas, '|'.
class Tokens {
 public:
  explicit Tokens(const std::string& line) {
    size_t i = 0;
    while (i < line.size()) {
      char c = line[i];
      if (isspace(static_cast<unsigned char>(c))) {
        ++i;
      } else if (c == '"') {
        std::string s;
        ++i;
        while (i < line.size()) {
          if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            s += '"', i += 2;  // "" is a quote inside a resource string
          } else if (line[i] == '"') {
            ++i;
            break;
          } else {
            s += line[i++];
          }
        }
        items_.push_back("\"" + s);
      } else if (c == ',' || c == '|' || c == '{' || c == '}') {
        items_.push_back(std::string(1, c));
        ++i;
      } else {
        size_t j = i;
        while (j < line.size() && !isspace(static_cast<unsigned char>(line[j])) && line[j] != ',' &&
               line[j] != '|')
          ++j;
        items_.push_back(line.substr(i, j - i));
        i = j;
      }
    }
  }
  bool done() const { return pos_ >= items_.size(); }
  const std::string& peek() const {
    static const std::string empty;
    return done() ? empty : items_[pos_];
  }
  std::string next() { return done() ? std::string() : items_[pos_++]; }
  void skip_comma() {
    if (peek() == ",") ++pos_;
  }

 private:
  std::vector<std::string> items_;
  size_t pos_ = 0;
};

class Parser {
 public:
  explicit Parser(const std::string& header) {
    std::istringstream in(header);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string directive, name, value;
      if (words >> directive >> name >> value && directive == "#define") defines_[name] = value;
    }
  }

  long Number(const std::string& word) const {
    auto it = defines_.find(word);
    const std::string& text = it == defines_.end() ? word : it->second;
    char* end = nullptr;
    long v = strtol(text.c_str(), &end, 0);
    if (text.empty() || (*end && *end != 'L' && *end != 'l'))
      throw std::runtime_error("not a number: " + word);
    return v;
  }

  // A style expression: names and numbers joined by '|', "NOT name" removes.
  DWORD Style(Tokens& t, DWORD base) const {
    DWORD v = base;
    for (;;) {
      std::string w = t.next();
      bool negate = w == "NOT";
      if (negate) w = t.next();
      auto it = StyleNames().find(w);
      DWORD bits = it != StyleNames().end() ? it->second : static_cast<DWORD>(Number(w));
      v = negate ? (v & ~bits) : (v | bits);
      if (t.peek() != "|") return v;
      t.next();
    }
  }

  static std::u16string Text(const std::string& token) {
    if (token.empty() || token[0] != '"') throw std::runtime_error("expected a string: " + token);
    return FromUtf8(token.substr(1));
  }

 private:
  std::map<std::string, std::string> defines_;
};

}  // namespace

ResourceScript ParseResourceScript(const std::string& script, const std::string& header) {
  Parser p(header);
  ResourceScript out;
  std::istringstream in(script);
  std::string line;
  DialogTemplate* dialog = nullptr;
  bool in_controls = false;
  int depth = 0;  // BEGIN/END nesting of the version record's blocks
  while (std::getline(in, line)) {
    if (auto c = line.find("//"); c != std::string::npos && line.find('"') > c) line.resize(c);
    Tokens t(line);
    if (t.done() || t.peek()[0] == '#') continue;
    std::string first = t.next();
    try {
      if (depth > 0) {
        if (first == "BEGIN") ++depth;
        if (first == "END") --depth;
        if (first == "VALUE" && t.peek()[0] == '"') {  // VALUE "ProductVersion", "1.0.0.1"
          std::string key = t.next().substr(1);
          t.skip_comma();
          if (t.peek()[0] == '"') out.version[key] = t.next().substr(1);
        }
        continue;
      }
      if (dialog && in_controls) {
        if (first == "END") {
          dialog = nullptr, in_controls = false;
        } else if (first == "CONTROL") {
          ControlTemplate c;
          c.text = Parser::Text(t.next());
          t.skip_comma();
          c.id = static_cast<int>(p.Number(t.next()));
          t.skip_comma();
          c.cls = Parser::Text(t.next());
          t.skip_comma();
          c.style = p.Style(t, WS_CHILD | WS_VISIBLE);
          t.skip_comma();
          long v[4];
          for (long& x : v) {
            x = p.Number(t.next());
            t.skip_comma();
          }
          c.rect = {static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[2]),
                    static_cast<LONG>(v[3])};
          dialog->controls.push_back(c);
        } else {
          throw std::runtime_error("unknown control statement");
        }
        continue;
      }
      if (dialog) {
        if (first == "STYLE") {
          dialog->style = p.Style(t, 0);
        } else if (first == "EXSTYLE") {
          dialog->exstyle = p.Style(t, 0);
        } else if (first == "CAPTION") {
          dialog->caption = Parser::Text(t.next());
        } else if (first == "FONT") {
          dialog->font_size = static_cast<int>(p.Number(t.next()));
          t.skip_comma();
          dialog->font = Parser::Text(t.next());
        } else if (first == "BEGIN") {
          in_controls = true;
        }
        continue;
      }
      std::string kind = t.next();
      if (kind == "DIALOGEX" || kind == "DIALOG") {
        out.dialogs.push_back({});
        dialog = &out.dialogs.back();
        dialog->id = static_cast<int>(p.Number(first));
        long v[4];
        for (long& x : v) {
          x = p.Number(t.next());
          t.skip_comma();
        }
        dialog->rect = {static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[2]),
                        static_cast<LONG>(v[3])};
      } else if (kind == "ICON") {
        out.icons.push_back(static_cast<int>(p.Number(first)));
      } else if (kind == "VERSIONINFO") {
        while (std::getline(in, line) && line.find("BEGIN") == std::string::npos) {
        }
        depth = 1;
      }
    } catch (const std::exception& e) {
      throw std::runtime_error(std::string(e.what()) + " in: " + line);
    }
  }
  return out;
}

const ResourceScript& ProgramResources() {
  static const ResourceScript resources =
      ParseResourceScript(skylode_rc_script, skylode_resource_header);
  return resources;
}

std::optional<DialogTemplate> FindDialog(int id) {
  for (const auto& d : ProgramResources().dialogs)
    if (d.id == id) return d;
  return std::nullopt;
}

bool HasIcon(int id) {
  for (int i : ProgramResources().icons)
    if (i == id) return true;
  return false;
}

}  // namespace emu
