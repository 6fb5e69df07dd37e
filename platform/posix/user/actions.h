// What a user can do to the program, whichever display brings it: the
// displays turn their input (script lines, keys, taps) into these actions.
#pragma once

#include <string>

#include "user/window_system.h"

namespace emu {

// The program's visible dialog, or null.
Window* ActiveDialog();
// The innermost message box still open, or null.
Window* OpenBox();
// A control of the dialog by kind (and id, when given).
Window* DialogControl(Window& dlg, Kind kind, int id = 0);

// Each returns false when the action is not possible now.
bool AnswerBox(Window& box, int id);             // a box's button: IDOK, IDYES, ...
bool PressBoxDefault(Window& box, bool cancel);  // Enter / Esc on a box
bool PressDialogCommand(int id);                 // IDOK (caption's OK), IDCANCEL
bool ClickControl(int control_id);               // a tap on a control
bool TypeAddress(const std::u16string& text);    // the address field's new text
bool SelectAddress(int index);                   // a list entry
bool MoveFocus(bool backward);                   // Tab / Shift-Tab among the tab stops

}  // namespace emu
