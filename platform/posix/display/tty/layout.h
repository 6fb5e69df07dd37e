// Where the terminal display puts things, in character cells. The dialog's
// controls sit at their template places: a column is 4 dialog units and a
// row 8, the dialog font's own cell, below a caption row. Nothing here
// depends on the terminal library, so it can be checked on its own.
#pragma once

#include <string>
#include <vector>

#include "user/window_system.h"

namespace emu::tty {

struct Area {
  int top = 0, left = 0, height = 0, width = 0;
  bool Contains(int row, int col) const {
    return row >= top && row < top + height && col >= left && col < left + width;
  }
};

constexpr int kClientTop = 1;  // the caption bar is the first row

// A rectangle in dialog units (left, top, width, height) in cells.
Area CellsOf(const RECT& units);
// The caption bar's "[OK]" on a screen `cols` wide.
Area CaptionOk(int cols);
// The wait cursor's mark, in the dialog's free space below the status line.
Area Hourglass();
extern const wchar_t* const kHourglass[4];

// The address box: its edit field (brackets included), the arrow that drops
// the list, and the list's entry rows below the field (with a frame line
// under them) when `entries` of them are listed.
struct ComboParts {
  Area field, arrow, list;
};
ComboParts LayOutCombo(const Window& combo);
// How many entries the dropped-down list shows at once.
int ListRows(const Window& combo);

// Cells of a progress bar's inside that show progress.
int FilledCells(const Window& bar);

// A message box over the dialog, centred on a screen rows x cols.
struct BoxButton {
  int id;
  std::wstring label;
  Area area;
};
struct BoxLayout {
  Area frame;
  std::wstring icon;  // "(!) ", "(x) " or empty
  std::vector<std::wstring> lines;
  std::vector<BoxButton> buttons;
};
BoxLayout LayOutBox(const Window& box, int rows, int cols);
// The button focused when the box opens.
int DefaultBoxButton(const Window& box);

// Text as the terminal shows it: one cell per character; control characters
// as their pictures (a line feed as U+240A), or '?' where the terminal cannot
// draw those, as other characters it cannot draw in one cell.
std::wstring Printable(const std::wstring& text);
std::wstring ToWide(const std::u16string& text);
std::u16string FromWide(const std::wstring& text);
// Printable, then word-wrapped to `width` cells.
std::vector<std::wstring> Wrap(const std::wstring& text, int width);

}  // namespace emu::tty
