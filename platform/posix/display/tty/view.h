// What the terminal display keeps besides the windows themselves: the
// address field's caret, the dropped-down list, the focused button of a
// message box; and what the user's keys and taps do to it.
#pragma once

#include <string>

#include "user/window_system.h"

namespace emu::tty {

struct ComboView {
  std::wstring text;  // the field text the caret belongs to
  size_t caret = 0;
  bool all_selected = false;  // typing replaces the whole text, as after Tab
  size_t scroll = 0;          // the first character the field shows
  bool open = false;
  int highlight = -1;  // the entry marked in the open list
  int first = 0;       // the first entry the list shows
};

struct View {
  ComboView combo;
  HWND box = nullptr;  // the box the focused button belongs to
  int box_button = 0;
};

// Brings the view in line with the windows: a new box, a field text the
// program changed, a list that can no longer stay open.
void SyncView(View& view);

// A key: a character, or one of the terminal library's key codes.
struct Key {
  bool special = false;
  int code = 0;
  bool alt = false;
};

// Each returns false when the input did nothing.
bool PressKey(View& view, const Key& key);
bool Tap(View& view, int row, int col);

}  // namespace emu::tty
