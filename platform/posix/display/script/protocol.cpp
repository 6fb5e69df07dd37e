// The script display: a line protocol for tests and automation. Events go
// out a line each; the user's commands come in a line each, read whenever
// the program waits for input.
#include "display/script/protocol.h"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>

#include "display/script/commands.h"
#include "user/display.h"
#include "user/actions.h"
#include "core/wide.h"

namespace emu {
namespace {

// Where command lines come from: a file descriptor that can be polled (the
// real program's standard input) or a stream (in-process tests).
class LineSource {
 public:
  virtual ~LineSource() = default;
  enum class Got { Line, Timeout, Ended, Woken };
  virtual Got Next(int timeout_ms, const std::vector<int>& wake_fds, std::string* line) = 0;
  virtual bool Ended() const = 0;
};

class FdSource : public LineSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  Got Next(int timeout_ms, const std::vector<int>& wake_fds, std::string* line) override {
    for (;;) {
      if (TakeLine(line)) return Got::Line;
      if (ended_) return Got::Ended;
      std::vector<pollfd> fds{{fd_, POLLIN, 0}};
      for (int w : wake_fds) fds.push_back({w, POLLIN, 0});
      int n = poll(fds.data(), fds.size(), timeout_ms);
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) return Got::Timeout;
      for (size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents & POLLIN) return Got::Woken;
      if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        char buf[4096];
        ssize_t got = read(fd_, buf, sizeof buf);
        if (got <= 0) {
          ended_ = true;
          if (!pending_.empty()) pending_ += '\n';  // a last line without newline
        } else {
          pending_.append(buf, static_cast<size_t>(got));
        }
      }
    }
  }
  bool Ended() const override { return ended_ && pending_.find('\n') == std::string::npos; }

 private:
  bool TakeLine(std::string* line) {
    size_t nl = pending_.find('\n');
    if (nl == std::string::npos) return false;
    *line = pending_.substr(0, nl);
    pending_.erase(0, nl + 1);
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
  }
  int fd_;
  std::string pending_;
  bool ended_ = false;
};

class StreamSource : public LineSource {
 public:
  explicit StreamSource(std::istream& in) : in_(in) {}
  Got Next(int, const std::vector<int>&, std::string* line) override {
    if (ended_ || !std::getline(in_, *line)) {
      ended_ = true;
      return Got::Ended;
    }
    return Got::Line;
  }
  bool Ended() const override { return ended_ || in_.peek() == std::char_traits<char>::eof(); }

 private:
  std::istream& in_;
  bool ended_ = false;
};

// A text as the protocol prints it, so that every record stays one line
// whatever it quotes: a backslash doubled; carriage return, line feed and tab
// as \r \n \t; the other control characters (U+0000-U+001F, U+007F-U+009F)
// as \xNN; the line and paragraph separators as \u2028 and \u2029.
std::string Escaped(const std::u16string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'\\') {
      out += u"\\\\";
    } else if (c == u'\r') {
      out += u"\\r";
    } else if (c == u'\n') {
      out += u"\\n";
    } else if (c == u'\t') {
      out += u"\\t";
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      out +=
          {u'\\', u'x', static_cast<char16_t>(kHex[c >> 4]), static_cast<char16_t>(kHex[c & 15])};
    } else if (c == 0x2028 || c == 0x2029) {
      out += c == 0x2028 ? u"\\u2028" : u"\\u2029";
    } else {
      out += c;
    }
  }
  return ToUtf8(out);
}

class ScriptDisplay : public Display {
 public:
  ScriptDisplay(std::unique_ptr<LineSource> in, std::ostream& out)
      : in_(std::move(in)), out_(out) {}

  void Changed(Window& w) override {
    if (w.kind != Kind::Static) return;
    auto& last = status_[w.handle];
    if (w.visible() && (!last.visible || last.text != w.text))
      Emit("status: shown " + Escaped(w.text));
    else if (!w.visible() && last.visible)
      Emit("status: hidden");
    last = {w.visible(), w.text};
  }
  void BoxOpened(Window& box) override {
    Emit("box: " + Escaped(box.caption) + " | " + Escaped(box.text) + " | " +
         Buttons(box.box_type));
  }
  void BoxClosed(Window& box) override {
    static const std::map<INT_PTR, std::string> names = {
        {IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}, {0, "none"}};
    auto it = names.find(box.result);
    Emit("answer: " + (it == names.end() ? std::to_string(box.result) : it->second));
  }
  void DialogClosed(Window&) override { Emit("closed"); }
  void BroughtToForeground() override { Emit("foreground"); }

  Wait WaitInput(int timeout_ms, const std::vector<int>& wake_fds) override {
    std::string line;
    switch (in_->Next(timeout_ms, wake_fds, &line)) {
      case LineSource::Got::Timeout:
        return Wait::Timeout;
      case LineSource::Got::Ended:
        return Wait::Ended;
      case LineSource::Got::Woken:
        return Wait::Woken;
      case LineSource::Got::Line:
        if (std::string why = Execute(line); !why.empty())
          Emit("error: " + Escaped(FromUtf8(line)) + ": " + Escaped(FromUtf8(why)));
        return Wait::Acted;
    }
    return Wait::Acted;
  }
  bool InputEnded() const override { return in_->Ended(); }

 private:
  struct StatusSeen {
    bool visible = false;
    std::u16string text;
  };

  static std::string Buttons(UINT type) {
    switch (type & MB_TYPEMASK) {
      case MB_YESNO:
        return "YES NO";
      case MB_OKCANCEL:
        return "OK CANCEL";
      default:
        return "OK";
    }
  }

  void Emit(const std::string& line) { out_ << line << '\n' << std::flush; }

  // "" when done, else why not.
  std::string Execute(const std::string& line) {
    if (line.find_first_not_of(' ') == std::string::npos) return "";  // a blank line asks nothing
    if (line == "help") {
      for (const std::string& command : CommandHelp()) Emit("help: " + command);
      return "";
    }
    if (line == "dump") {
      Window* dlg = ActiveDialog();
      return dlg && Dump(*dlg) ? "" : "no dialog is open";
    }
    return PerformCommand(line);
  }

  bool Dump(Window& dlg) {
    WindowSystem& ws = WindowSystem::Get();
    std::ostringstream o;
    o << "caption: " << Escaped(dlg.text) << '\n';
    if (Window* combo = DialogControl(dlg, Kind::ComboBox)) {
      for (size_t i = 0; i < combo->items.size(); ++i)
        o << "list: " << i << ' ' << Escaped(combo->items[i]) << '\n';
      o << "selected: " << combo->selected << '\n';
      o << "field: " << Escaped(combo->text) << '\n';
    }
    if (Window* s = DialogControl(dlg, Kind::Static))
      o << (s->visible() ? "status: shown " + Escaped(s->text) : std::string("status: hidden"))
        << '\n';
    if (Window* p = DialogControl(dlg, Kind::Progress)) {
      if (p->visible())
        o << "progress: shown " << p->low << ' ' << p->high << ' ' << p->pos << '\n';
      else
        o << "progress: hidden\n";
    }
    if (Window* b = DialogControl(dlg, Kind::Button))
      o << "update: " << (b->enabled() ? "enabled" : "disabled") << '\n';
    o << "cursor: " << (ws.cursor == WaitCursor() ? "wait" : "arrow") << '\n' << "end";
    Emit(o.str());
    return true;
  }

  std::unique_ptr<LineSource> in_;
  std::ostream& out_;
  std::map<HWND, StatusSeen> status_;
};

}  // namespace

std::unique_ptr<Display> MakeScriptDisplay() {
  return std::make_unique<ScriptDisplay>(std::make_unique<FdSource>(0), std::cout);
}

void UseScriptDisplay(std::istream& in, std::ostream& out) {
  WindowSystem::Get().SetDisplay(
      std::make_unique<ScriptDisplay>(std::make_unique<StreamSource>(in), out));
}

}  // namespace emu
