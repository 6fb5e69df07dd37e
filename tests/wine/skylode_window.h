// Skylode.exe as a person sees it: started beside this driver, its dialog
// and message boxes found and worked through the window API alone.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wine_test {

// A message box of the program, as shown.
struct Box {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;
  std::vector<std::string> buttons;  // their labels, without '&'
};

class Skylode {
 public:
  // Starts Skylode.exe with `arguments` in C:\ (the handheld's root for
  // "\windows\..." paths) and waits for its dialog, unless told it has none.
  enum Expect { kDialog, kNoDialog };
  explicit Skylode(const std::wstring& arguments = L"", Expect expect = kDialog);
  ~Skylode();  // closes it if it still runs
  Skylode(const Skylode&) = delete;
  Skylode& operator=(const Skylode&) = delete;

  bool started() const { return dialog_ != nullptr; }
  HWND dialog() const { return dialog_; }

  // The status line: its text when shown, "" when hidden.
  std::string Status();
  // Waits until the status line shows text starting with `start`.
  bool WaitForStatus(const std::string& start, int timeout_ms);

  // The address box: its text, its list, the selected entry.
  std::string Address();
  std::vector<std::string> List();
  int Selected();

  void TypeAddress(const std::string& address);
  void PickPreset(int index);
  void PressUpdate();

  // Waits for a message box of the program; empty hwnd when none came.
  Box WaitForBox(int timeout_ms);
  // Presses the box's button with this label ("OK", "Yes", "No").
  bool Answer(const Box& box, const std::string& button);
  // Waits until the program is idle again: no box and the dialog answers.
  bool WaitUntilIdle(int timeout_ms);

  // Taps the caption's OK and waits for the program to end.
  bool Close(int timeout_ms = 10000);
  // Waits for the program to end by itself.
  bool WaitForExit(int timeout_ms);
  bool Running();

 private:
  PROCESS_INFORMATION process_ = {};
  HWND dialog_ = nullptr;
};

// Where Skylode.exe is: beside this driver.
std::wstring SkylodeExe();

}  // namespace wine_test
