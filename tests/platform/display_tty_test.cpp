// The terminal display, used as a person would: the real program runs in a
// tmux pane; the test sends keys and mouse clicks (taps) and reads the
// screen back with capture-pane.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "display/tty/layout.h"
#include "support/device_fixture.h"
#include "support/handheld_builders.h"
#include "support/loopback_server.h"
#include "support/skylode_process.h"

namespace {

using std::chrono::milliseconds;

LoopbackServer& Server() {
  static LoopbackServer server;
  return server;
}

// Runs argv and gives its standard output; *status gets its exit status.
std::string RunCommand(const std::vector<std::string>& argv, int* status = nullptr) {
  int out[2];
  if (pipe(out) != 0) return "";
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    close(out[0]);
    close(out[1]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, n);
  close(out[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return text;
}

bool HaveTmux() {
  int status = -1;
  RunCommand({"tmux", "-V"}, &status);
  return status == 0;
}

// One tmux server with one pane running Skylode.
class Pane {
 public:
  Pane(const std::string& folder, const std::vector<std::string>& env,
       const std::vector<std::string>& args, int cols = 40, int rows = 30) {
    // The server's socket in the test's own folder, which goes with the test.
    static int count = 0;
    std::string name = folder + "/tmux-" + std::to_string(++count);
    socket_ = name + ".socket";
    conf_ = folder + "/tmux.conf";
    status_ = name + ".status";
    std::ofstream(conf_) << "set -g remain-on-exit on\n";
    // A shell waits for the program and keeps its exit status (tmux's own
    // report of it is not dependable); no core files from the crashes the
    // tests cause.
    std::vector<std::string> cmd{"new-session", "-d",
                                 "-x",          std::to_string(cols),
                                 "-y",          std::to_string(rows),
                                 "-s",          "t",
                                 "--",          "sh",
                                 "-c",          "ulimit -c 0; \"$@\"; echo $? > '" + status_ + "'",
                                 "sh",          "env"};
    cmd.insert(cmd.end(), env.begin(), env.end());
    bool term =
        std::any_of(env.begin(), env.end(), [](auto& e) { return e.rfind("TERM=", 0) == 0; });
    if (!term) cmd.push_back("TERM=xterm-256color");
    cmd.push_back(SKYLODE_EXE);
    cmd.insert(cmd.end(), args.begin(), args.end());
    Tmux(cmd);
  }
  ~Pane() { Tmux({"kill-server"}); }

  std::string Tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"tmux", "-S", socket_, "-f", conf_});
    return RunCommand(args);
  }

  // The screen, a line per row, without trailing blanks.
  std::vector<std::string> Screen() {
    std::vector<std::string> rows;
    std::istringstream in(Tmux({"capture-pane", "-p", "-t", "t"}));
    for (std::string line; std::getline(in, line);) {
      line.erase(line.find_last_not_of(' ') + 1);
      rows.push_back(line);
    }
    return rows;
  }
  std::string Row(int r) {
    auto rows = Screen();
    return r < static_cast<int>(rows.size()) ? rows[r] : "";
  }
  std::string Text() {
    std::string all;
    for (const auto& row : Screen()) all += row + "\n";
    return all;
  }
  std::string Format(const std::string& f) {
    std::string s = Tmux({"display-message", "-p", "-t", "t", f});
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }

  bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
  }
  bool WaitForText(const std::string& text, int ms = 5000) {
    return WaitFor([&] { return Text().find(text) != std::string::npos; }, ms);
  }
  bool WaitForRow(int r, const std::string& row, int ms = 5000) {
    return WaitFor([&] { return Row(r) == row; }, ms);
  }
  bool WaitGone(const std::string& text, int ms = 5000) {
    return WaitFor([&] { return Text().find(text) == std::string::npos; }, ms);
  }

  void Keys(std::vector<std::string> keys) {
    keys.insert(keys.begin(), {"send-keys", "-t", "t"});
    Tmux(keys);
  }
  void Type(const std::string& text) { Tmux({"send-keys", "-t", "t", "-l", text}); }
  // A click at a cell (0-based), as the terminal reports it: press, release.
  void Tap(int row, int col) {
    std::string at = std::to_string(col + 1) + ";" + std::to_string(row + 1);
    Type("\x1b[<0;" + at + "M\x1b[<0;" + at + "m");
  }

  bool Ended() { return std::filesystem::exists(status_); }
  // "exit N" or "signal N" once the program has ended, else "running".
  std::string Outcome() {
    int code = -1;
    WaitFor([&] { return (std::ifstream(status_) >> code) && code >= 0; });
    if (code < 0) return "running";
    return code > 128 ? "signal " + std::to_string(code - 128) : "exit " + std::to_string(code);
  }
  // The program, started by the pane's shell.
  pid_t ProgramPid() {
    std::string shell = Format("#{pane_pid}");
    pid_t pid = 0;
    std::ifstream("/proc/" + shell + "/task/" + shell + "/children") >> pid;
    return pid;
  }

 private:
  std::string socket_, conf_, status_;
};

// The start-up screen of a 40 x 30 terminal (the rows below are empty).
const std::vector<std::string> kStartRows = {
    " Skylode                           [OK]", "", "  [           > Update <            ]",
    "  [                                 ]",   "", "  [http://ee.maker-a.example/pack][v]",
};

// Cells of the screen's parts in a 40-column terminal.
const int kCaptionOkCol = 36, kUpdateRow = 2, kUpdateCol = 10, kFieldRow = 5, kArrowCol = 35,
          kListTop = 6;

class TtyDisplayTest : public DeviceTest {
 protected:
  void SetUp() override {
    if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
    DeviceTest::SetUp();
    PrepareForUpdate();
  }

  std::unique_ptr<Pane> Start(std::vector<std::string> env = {},
                              const std::vector<std::string>& args = {}) {
    env.push_back("SKYLODE_DEVICE=" + dir_);
    env.insert(env.begin(), "SKYLODE_DISPLAY=tty");
    auto pane = std::make_unique<Pane>(root_, env, args);
    EXPECT_TRUE(pane->WaitForRow(kUpdateRow, kStartRows[kUpdateRow])) << pane->Text();
    return pane;
  }

  std::string Remembered() { return LinesStarting(ReadHostFile("registry.reg"), "\"url\"="); }
};

TEST_F(TtyDisplayTest, TheStartUpScreenShowsTheDialogAtItsTemplatePlaces) {
  auto pane = Start();
  std::vector<std::string> rows = pane->Screen();
  ASSERT_EQ(rows.size(), 30u);
  for (size_t r = 0; r < rows.size(); ++r)
    EXPECT_EQ(rows[r], r < kStartRows.size() ? kStartRows[r] : "") << "row " << r;
  EXPECT_EQ(pane->Format("#{alternate_on} #{mouse_sgr_flag}"), "1 1");
}

TEST_F(TtyDisplayTest, APresetIsChosenWithTapsOrKeys) {
  WriteHostFile("offline", "");  // the prompt ends the update before any download
  auto pane = Start();
  // A tap on the arrow drops the list down under the field.
  pane->Tap(kFieldRow, kArrowCol);
  ASSERT_TRUE(pane->WaitForRow(kListTop, "  |>http://ee.maker-a.example/packed|")) << pane->Text();
  EXPECT_EQ(pane->Row(kListTop + 2), "  | http://eu.maker-c.example/clm/pa|");
  EXPECT_EQ(pane->Row(kListTop + 5), "  +---------------------------------+");
  EXPECT_EQ(pane->Row(kFieldRow), " >[-a.example/packedEphemeris.ee ][^]");
  // A tap on the third entry takes it and closes the list.
  pane->Tap(kListTop + 2, 10);
  ASSERT_TRUE(pane->WaitGone("+-----")) << pane->Text();
  pane->Keys({"Tab"});  // away from the field, it shows the text from its start
  ASSERT_TRUE(pane->WaitForRow(kFieldRow, "  [http://eu.maker-c.example/clm/][v]")) << pane->Text();

  struct Step {
    std::vector<std::string> keys;
    std::string field;  // after Tab has moved the focus away again
  };
  const std::string us = "  [http://us.maker-c.example/clm/][v]";
  const Step steps[] = {
      {{"F4", "Down", "Enter"}, us},  // the list opens at the chosen entry
      {{"M-Down", "Down", "M-Down"}, "  [http://asia.maker-c.example/cl][v]"},  // Alt-Down
      {{"Up"}, us},                  // a closed list steps through its entries
      {{"F4", "Up", "Escape"}, us},  // Esc closes it and leaves the field as it was
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.keys.front());
    pane->Keys({"BTab"});
    ASSERT_TRUE(pane->WaitForText("[keyboard up]"));
    pane->Keys(s.keys);
    pane->Keys({"Tab"});
    EXPECT_TRUE(pane->WaitForRow(kFieldRow, s.field)) << pane->Text();
  }

  // The program has the entry: Update remembers it.
  pane->Keys({"Enter"});
  ASSERT_TRUE(pane->WaitForText("Continue?"));
  pane->Keys({"n"});
  ASSERT_TRUE(pane->WaitGone("Continue?"));
  EXPECT_EQ(Remembered(), "\"url\"=\"http://us.maker-c.example/clm/packedEphemeris.ee\"\n");
}

TEST_F(TtyDisplayTest, AnAddressIsTypedWithTheEditingKeys) {
  WriteHostFile("offline", "");
  auto pane = Start();
  EXPECT_EQ(pane->Text().find("[keyboard up]"), std::string::npos);
  pane->Keys({"Tab"});  // the field takes the focus and raises the input panel
  ASSERT_TRUE(pane->WaitForRow(29, " [keyboard up]")) << pane->Text();
  pane->Type("ttp://x.exmple/eeZ");  // replaces the whole preset
  pane->Keys({"BSpace", "Home"});
  pane->Type("h");
  for (int i = 0; i < 10; ++i) pane->Keys({"Right"});
  pane->Type("a");
  pane->Keys({"End", "Left", "DC", "Left"});
  pane->Type("!");
  pane->Keys({"Tab"});  // the panel goes down with the focus
  ASSERT_TRUE(pane->WaitForRow(kFieldRow, "  [http://x.example/!e           ][v]")) << pane->Text();
  EXPECT_TRUE(pane->WaitForRow(29, ""));

  // Update with the typed address: the connection prompt, answered with a tap.
  pane->Tap(kUpdateRow, kUpdateCol);
  ASSERT_TRUE(pane->WaitForText("| Error connecting to internet. |")) << pane->Text();
  EXPECT_NE(pane->Text().find("[>Yes<]  [ No ]"), std::string::npos) << pane->Text();
  std::vector<std::string> rows = pane->Screen();
  int buttons = 0;
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    if (rows[r].find("[ No ]") != std::string::npos) buttons = r;
  pane->Tap(buttons, static_cast<int>(rows[buttons].find("[ No ]")) + 2);
  ASSERT_TRUE(pane->WaitGone("Continue?")) << pane->Text();
  EXPECT_EQ(pane->Row(kUpdateRow), kStartRows[kUpdateRow]);
  EXPECT_EQ(Remembered(), "\"url\"=\"http://x.example/!e\"\n");
}

struct BoxCase {
  const char* name;
  std::string path;            // on the loopback server
  std::string receiver_error;  // the driver's load-error
  std::string text;            // the box's first text row
  bool modal_to_dialog;
};

TEST_F(TtyDisplayTest, AnUpdateShowsItsProgressAndItsBoxIsAnsweredByATap) {
  ASSERT_TRUE(Server().ok());
  const BoxCase cases[] = {
      // The download stalls half way, times out and tells it in its own box.
      {"download", "/bytes/20000?stall=10000", "", "| Error 12002 InternetReadFile |", false},
      // The driver refuses the file: the application's box, modal to the dialog.
      {"application", "/bytes/300", "31", "| (!) Failed to copy to COM7:, error |", true},
  };
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Path("dev/COM7/load-error"));
    if (!c.receiver_error.empty()) WriteHostFile("dev/COM7/load-error", c.receiver_error);
    auto pane = Start({"SKYLODE_HTTP_TIMEOUT_MS=1500"});
    pane->Keys({"Tab"});
    pane->Type(Server().Url("http", c.path));
    pane->Tap(kUpdateRow, kUpdateCol);
    if (c.path.find("stall") != std::string::npos) {
      // While the program waits for data: the wait cursor and the progress bar.
      EXPECT_TRUE(pane->WaitForText("\\:/")) << pane->Text();
      EXPECT_TRUE(pane->WaitFor([&] {
        std::string bar = pane->Row(8);
        return bar.size() == 37 && bar.rfind("  [", 0) == 0 && bar.back() == ']';
      })) << pane->Text();
    }
    ASSERT_TRUE(pane->WaitForText(c.text, 10000)) << pane->Text();
    EXPECT_NE(pane->Text().find("| Skylode "), std::string::npos) << pane->Text();

    // A tap on the dialog behind the box: the dialog takes it only when the
    // box is not modal to it (the list opens).
    pane->Tap(kFieldRow, kArrowCol);
    EXPECT_EQ(pane->WaitForText("[^]", 500), !c.modal_to_dialog) << pane->Text();

    std::vector<std::string> rows = pane->Screen();
    int r = 0;
    while (r < 29 && rows[r].find("[>OK<]") == std::string::npos) ++r;
    pane->Tap(r, static_cast<int>(rows[r].find("[>OK<]")) + 2);
    ASSERT_TRUE(pane->WaitGone(c.text)) << pane->Text();
    EXPECT_TRUE(pane->WaitGone("\\:/")) << "the wait cursor goes with the update";
    EXPECT_NE(pane->Row(kUpdateRow).find("Update"), std::string::npos) << pane->Text();
    EXPECT_FALSE(pane->Ended());
  }
}

// AddressSanitizer keeps the crash signal for its own report and exits with 1.
#ifdef __SANITIZE_ADDRESS__
const std::string kCrashOutcome = "exit 1";
#else
const std::string kCrashOutcome = "signal " + std::to_string(SIGSEGV);
#endif

TEST_F(TtyDisplayTest, KeysTypedWhileTheProgramIsBusyAreKeptInOrder) {
  ASSERT_TRUE(Server().ok());
  auto pane = Start({"SKYLODE_HTTP_TIMEOUT_MS=1500"});
  pane->Keys({"Tab"});
  pane->Type(Server().Url("http", "/bytes/20000?stall=10000"));
  pane->Tap(kUpdateRow, kUpdateCol);
  ASSERT_TRUE(pane->WaitForText("\\:/")) << pane->Text();
  // While the download waits: OK for the box that will tell its failure,
  // then a new address. The first key after Tab replaces the old one.
  pane->Keys({"Enter", "Tab"});
  pane->Type("abc");
  EXPECT_TRUE(pane->WaitForRow(kFieldRow, " >[abc" + std::string(27, ' ') + "][v]", 10000))
      << pane->Text();
  EXPECT_EQ(pane->Text().find("| Skylode "), std::string::npos) << pane->Text();
}

TEST_F(TtyDisplayTest, WithoutAUsableTerminalTheScriptDisplayIsUsed) {
  const std::string fallback = "the terminal display cannot be used (";
  // Piped: a newline is no key, and Update is not pressed.
  ProgramRun run = RunSkylode(dir_, "\n", ProgramOptions{{}, {{"SKYLODE_DISPLAY", "tty"}}, 30});
  EXPECT_EQ(run.err, fallback +
                         "standard input or output is not a terminal); using the script "
                         "display\n");
  EXPECT_EQ(run.out, "closed\n");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(Remembered(), "");

  // A terminal that cannot place the cursor.
  auto pane = std::make_unique<Pane>(
      root_, std::vector<std::string>{"SKYLODE_DISPLAY=tty", "SKYLODE_DEVICE=" + dir_, "TERM=dumb"},
      std::vector<std::string>{}, 200);
  EXPECT_TRUE(pane->WaitForText(fallback + "the terminal TERM=dumb cannot place the cursor)"))
      << pane->Text();
  pane->Type("dump\n");
  EXPECT_TRUE(pane->WaitForText("caption: Skylode")) << pane->Text();
}

TEST_F(TtyDisplayTest, EveryWayOutGivesTheTerminalBack) {
  struct Case {
    const char* name;
    std::function<void(Pane&)> act;
    std::string outcome;
  };
  const Case cases[] = {
      {"the caption's OK", [](Pane& p) { p.Tap(0, kCaptionOkCol); }, "exit 0"},
      {"Esc", [](Pane& p) { p.Keys({"Escape"}); }, "exit 0"},
      {"SIGTERM", [](Pane& p) { kill(p.ProgramPid(), SIGTERM); },
       "signal " + std::to_string(SIGTERM)},
      {"a crash", [](Pane& p) { kill(p.ProgramPid(), SIGSEGV); }, kCrashOutcome},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto pane = Start();
    c.act(*pane);
    EXPECT_EQ(pane->Outcome(), c.outcome);
    // Out of the full-screen mode, the mouse reports off.
    EXPECT_EQ(pane->Format("#{alternate_on} #{mouse_any_flag} #{mouse_sgr_flag}"), "0 0 0");
  }
}

TEST_F(TtyDisplayTest, AResizeKeepsTheControlsInTheirPlaces) {
  WriteHostFile("offline", "");
  auto pane = Start();
  pane->Tmux({"resize-window", "-t", "t", "-x", "24", "-y", "8"});
  ASSERT_TRUE(pane->WaitForRow(0, " Skylode           [OK]")) << pane->Text();
  EXPECT_EQ(pane->Row(kUpdateRow), kStartRows[kUpdateRow].substr(0, 24));
  EXPECT_EQ(pane->Row(kFieldRow), kStartRows[kFieldRow].substr(0, 24));

  // A box in a terminal smaller than the box, then the terminal grown again.
  pane->Keys({"Enter"});
  ASSERT_TRUE(pane->WaitForText("[>Yes<]")) << pane->Text();
  pane->Tmux({"resize-window", "-t", "t", "-x", "12", "-y", "4"});
  pane->Tmux({"resize-window", "-t", "t", "-x", "60", "-y", "30"});
  ASSERT_TRUE(pane->WaitForRow(0, " Skylode" + std::string(47, ' ') + "[OK]")) << pane->Text();
  EXPECT_EQ(pane->Row(kUpdateRow), kStartRows[kUpdateRow]);
  EXPECT_NE(pane->Text().find("Continue?"), std::string::npos) << pane->Text();
  pane->Keys({"n"});
  ASSERT_TRUE(pane->WaitGone("Continue?"));
  EXPECT_FALSE(pane->Ended());
}

TEST_F(TtyDisplayTest, TheDisplayFollowsSkylodeDisplayOrTheTerminal) {
  // In a terminal: the terminal display unless the script display is asked for.
  {
    auto pane = std::make_unique<Pane>(
        root_, std::vector<std::string>{"-u", "SKYLODE_DISPLAY", "SKYLODE_DEVICE=" + dir_},
        std::vector<std::string>{});
    EXPECT_TRUE(pane->WaitForRow(0, kStartRows[0])) << pane->Text();
  }
  {
    auto pane = std::make_unique<Pane>(
        root_, std::vector<std::string>{"SKYLODE_DISPLAY=script", "SKYLODE_DEVICE=" + dir_},
        std::vector<std::string>{});
    pane->Type("dump\n");
    EXPECT_TRUE(pane->WaitForText("caption: Skylode")) << pane->Text();
  }
  // Through pipes: the line protocol.
  ProgramRun run = RunSkylode(dir_, "dump\n", ProgramOptions{{}, {{"SKYLODE_DISPLAY", ""}}, 30});
  EXPECT_NE(run.out.find("caption: Skylode\n"), std::string::npos) << run.out << run.err;
}

// Control characters in a text (a server's, say) are drawn as visible
// placeholders, never sent to the terminal, and never break a line.
TEST(TtyText, ControlCharactersShowAsPlaceholders) {
  const std::wstring text = L"a\r\nb\tc\x1b[2J\x7f\\";
  struct Case {
    const char* locale;
    std::wstring shown;
  } cases[] = {
      {"C.UTF-8", L"a\u240d\u240ab\u2409c\u241b[2J\u2421\\"},
      {"C", L"a??b?c?[2J?\\"},  // no pictures without UTF-8
  };
  std::string before = setlocale(LC_CTYPE, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    if (!setlocale(LC_CTYPE, c.locale)) continue;
    EXPECT_EQ(emu::tty::Printable(text), c.shown);
    EXPECT_EQ(emu::tty::Wrap(L"x " + text, 40), std::vector<std::wstring>{L"x " + c.shown});
  }
  setlocale(LC_CTYPE, before.c_str());
}

}  // namespace
