// What a user can do to the program, whichever display brings it: the
// displays turn their input (script lines, keys, taps) into these actions.
#pragma once

#include <cstddef>
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
// Typing, as into the handheld's controls: a drop-down combo box or an edit
// control without its auto-scroll style takes only the characters that fit
// its width, a character being 4 dialog units wide (a dialog unit is a
// quarter of the dialog font's average character width). Text the program
// sets is not limited. The room of a control in characters (SIZE_MAX: none).
size_t TypingRoom(const Window& control);
bool TypeAddress(const std::u16string& text);  // clears the address field, then types `text`
bool EditAddress(const std::u16string& text);  // the field's text after a key: refused when it
                                               // grows past the room
bool SelectAddress(int index);                 // a list entry
bool MoveFocus(bool backward);                 // Tab / Shift-Tab among the tab stops

}  // namespace emu
