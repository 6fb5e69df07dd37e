#include <signal.h>
#include <stdio.h>

#include <atomic>
#include <clocale>
#include <cstdlib>

#include "display/tty/terminal.h"
#include "display/tty/curses_wide.h"
#include <term.h>  // after curses: the terminal type's capabilities

namespace emu::tty {
namespace {

std::atomic<bool> g_active{false};

const int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                             SIGBUS, SIGFPE,  SIGILL, SIGABRT};
struct sigaction g_previous[NSIG];

// Gives the terminal back, then lets the signal do what it did before (end
// the program, or whatever handler was there, e.g. a sanitizer's).
void OnFatalSignal(int sig, siginfo_t* info, void*) {
  RestoreTerminal();
  sigaction(sig, &g_previous[sig], nullptr);
  // A fault raised by an instruction comes again on return; one sent by
  // someone else has to be sent again.
  bool fault = sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL;
  if (!fault || !info || info->si_code <= 0) raise(sig);
}

void InstallHandlers() {
  for (int sig : kFatalSignals) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    // An ignored signal stays ignored (SIGHUP under nohup, SIGINT in the
    // background).
    if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN) continue;
    g_previous[sig] = old;
    struct sigaction act {};
    act.sa_sigaction = OnFatalSignal;
    act.sa_flags = SA_SIGINFO;
    sigemptyset(&act.sa_mask);
    sigaction(sig, &act, nullptr);
  }
}

// The display puts every cell in its place: a terminal type that cannot move
// the cursor (TERM=dumb) would show the screen as a stream of text.
bool CanPlaceCursor(std::string* why) {
  const char* term = getenv("TERM");
  std::string name = std::string("TERM=") + (term && *term ? term : "(unset)");
  int error = 0;
  if (setupterm(nullptr, 1, &error) != OK) {
    *why = "the terminal type " + name + " is unknown";
    return false;
  }
  const char* cup = tigetstr("cup");
  bool ok = cup && cup != reinterpret_cast<char*>(-1);
  del_curterm(cur_term);
  if (!ok) *why = "the terminal " + name + " cannot place the cursor";
  return ok;
}

}  // namespace

bool StartTerminal(std::string* why) {
  if (g_active) return true;
  if (!CanPlaceCursor(why)) return false;
  // Only the character type: numbers and texts of the program stay as they are.
  setlocale(LC_CTYPE, "");
  // Ours first: the library then leaves SIGINT and SIGTERM alone (its own
  // handlers would exit with status 1 instead of dying of the signal).
  static bool once = (atexit(RestoreTerminal), InstallHandlers(), true);
  (void)once;
  SCREEN* screen = newterm(nullptr, stdout, stdin);
  if (!screen) {
    *why = "the terminal library cannot start on this terminal";
    return false;
  }
  set_term(screen);
  g_active = true;
  cbreak();  // Ctrl-C still ends the program, as it does any terminal program
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  // Home and End as tmux, screen and rxvt send them, whatever the terminal
  // type says.
  for (const char* home : {"\033[1~", "\033[7~", "\033[H"}) define_key(home, KEY_HOME);
  for (const char* end : {"\033[4~", "\033[8~", "\033[F"}) define_key(end, KEY_END);
  set_escdelay(25);
  timeout(0);
  // A tap acts when the button comes up, as the pen's does; a press and its
  // release that arrive together come as one event.
  mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON1_CLICKED, nullptr);
  mouseinterval(0);  // not held back to find double clicks
  curs_set(0);
  return true;
}

void RestoreTerminal() {
  if (g_active.exchange(false)) endwin();
}

}  // namespace emu::tty
