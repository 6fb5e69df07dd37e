#include "display/script/commands.h"

#include <cstdlib>

#include "core/wide.h"
#include "user/actions.h"

namespace emu {
namespace {

bool Number(const std::string& text, long* value) {
  char* end = nullptr;
  *value = strtol(text.c_str(), &end, 10);
  return !text.empty() && !*end;
}

// Why the dialog takes no action; "" when it does.
std::string DialogRefuses() {
  Window* dlg = ActiveDialog();
  if (!dlg) return "no dialog is open";
  if (dlg->enabled()) return "";
  return OpenBox() ? "a message box is open; answer it first" : "the dialog takes no input now";
}

std::string Unusable(const Window& c, const std::string& name) {
  if (!c.visible()) return name + " is hidden";
  if (!c.enabled()) return name + " is disabled";
  return "";
}

std::string WhyNotClick(int id) {
  if (std::string why = DialogRefuses(); !why.empty()) return why;
  Window* c = nullptr;
  for (HWND h : ActiveDialog()->children)
    if (Window* w = WindowSystem::Get().FindLocal(h); w && w->id == id) c = w;
  std::string name = "control " + std::to_string(id);
  if (!c) return "the dialog has no " + name;
  if (std::string why = Unusable(*c, name); !why.empty()) return why;
  return name + " is neither a button nor the address field";
}

// Why the address field takes no text or entry; "" when it does.
std::string AddressRefuses() {
  if (std::string why = DialogRefuses(); !why.empty()) return why;
  Window* combo = DialogControl(*ActiveDialog(), Kind::ComboBox);
  return combo ? Unusable(*combo, "the address field") : "the dialog has no address field";
}

std::string WhyNotSelect(long index) {
  if (std::string why = AddressRefuses(); !why.empty()) return why;
  size_t n = DialogControl(*ActiveDialog(), Kind::ComboBox)->items.size();
  return "the list has " + std::to_string(n) + (n == 1 ? " entry" : " entries") +
         (index < 0 ? "; the first is 0" : "");
}

std::string WhyNotDialogCommand(int id) {
  if (std::string why = DialogRefuses(); !why.empty()) return why;
  return id == IDOK ? "the dialog has no OK in its caption" : "the dialog takes no input now";
}

std::string Answer(Window& box, int id, const char* button) {
  return AnswerBox(box, id) ? "" : std::string("the box has no ") + button + " button";
}

}  // namespace

std::string PerformCommand(const std::string& line) {
  std::string cmd = line.substr(0, line.find(' '));
  std::string arg = cmd.size() < line.size() ? line.substr(cmd.size() + 1) : std::string();
  long n = 0;
  if (cmd == "click" || cmd == "select") {
    if (!Number(arg, &n))
      return cmd == "click" ? "give a control id, e.g. click 1000"
                            : "give an entry number, e.g. select 0";
    int i = static_cast<int>(n);
    if (cmd == "click") return ClickControl(i) ? "" : WhyNotClick(i);
    return SelectAddress(i) ? "" : WhyNotSelect(n);
  }
  if (cmd == "type") return TypeAddress(FromUtf8(arg)) ? "" : AddressRefuses();
  if (cmd == "dump" || cmd == "help") return cmd + " takes nothing after it";
  if (cmd != "ok" && cmd != "cancel" && cmd != "yes" && cmd != "no")
    return "unknown command; help lists the commands";
  if (!arg.empty()) return cmd + " takes nothing after it";
  if (Window* box = OpenBox()) {  // the box's buttons take these while it is open
    if (cmd == "ok") return Answer(*box, IDOK, "OK");
    if (cmd == "yes") return Answer(*box, IDYES, "Yes");
    if (cmd == "no") return Answer(*box, IDNO, "No");
    return PressBoxDefault(*box, true) ? "" : "the box has no Cancel or OK button";
  }
  if (cmd == "yes" || cmd == "no") return "no message box is open";
  int id = cmd == "ok" ? IDOK : IDCANCEL;
  return PressDialogCommand(id) ? "" : WhyNotDialogCommand(id);
}

const std::vector<std::string>& CommandHelp() {
  static const std::vector<std::string> lines = {
      "click <id>     tap a control: Update is 1000, the address field 1001",
      "type <text>    make the text the address field's",
      "select <n>     take entry n of the address list (the first is 0)",
      "ok             a box's OK; else the caption's OK, which ends the program",
      "cancel         a box's Cancel (or its OK); else cancel the dialog, which ends it",
      "yes, no        answer a Yes/No box",
      "dump           print the dialog's state, ending with \"end\"",
      "help           this list",
  };
  return lines;
}

}  // namespace emu
