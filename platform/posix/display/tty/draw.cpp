// Draws the handheld's screen: the dialog at its template places, the
// dropped-down list, the wait cursor, the input panel, message boxes on top.
// Everything is clipped to the terminal.
#include "display/tty/draw.h"

#include <algorithm>

#include "display/tty/curses_wide.h"
#include "display/tty/layout.h"
#include "user/actions.h"

namespace emu::tty {
namespace {

void Put(int row, int col, const std::wstring& text, attr_t attr = A_NORMAL) {
  if (row < 0 || row >= LINES || col >= COLS) return;
  size_t skip = col < 0 ? static_cast<size_t>(-col) : 0;
  if (skip >= text.size()) return;
  col = std::max(col, 0);
  int n = std::min(static_cast<int>(text.size() - skip), COLS - col);
  attrset(attr);
  mvaddnwstr(row, col, text.c_str() + skip, n);
  attrset(A_NORMAL);
}

// Cut or padded to exactly `width` cells.
std::wstring Fit(const std::wstring& text, int width) {
  width = std::max(0, width);
  std::wstring out = text.substr(0, width);
  out.resize(width, L' ');
  return out;
}

std::wstring Centred(const std::wstring& text, int width) {
  int pad = std::max(0, (width - static_cast<int>(text.size())) / 2);
  return Fit(std::wstring(pad, L' ') + text, width);
}

std::wstring Text(const std::u16string& text) { return Printable(ToWide(text)); }

void DrawCaption(const Window& dlg) {
  Put(0, 0, Fit(L" " + Text(dlg.text), COLS), A_REVERSE);
  if (dlg.exstyle & WS_EX_CAPTIONOKBTN) {
    Area ok = CaptionOk(COLS);
    Put(ok.top, ok.left, L"[OK]", A_REVERSE | A_BOLD);
  }
}

void DrawButton(const Window& b, bool focused) {
  Area a = CellsOf(b.rect);
  int inside = std::max(0, a.width - 2);
  std::wstring label = Text(b.text);
  label = focused ? L"> " + label + L" <" : L"  " + label + L"  ";
  attr_t attr = b.enabled() ? A_REVERSE : A_DIM;
  for (int r = 0; r < a.height; ++r) {
    bool middle = r == (a.height - 1) / 2;
    Put(a.top + r, a.left, L"[" + (middle ? Centred(label, inside) : Fit(L"", inside)) + L"]",
        attr);
  }
}

void DrawStatic(const Window& s) {
  Area a = CellsOf(s.rect);
  Put(a.top + (a.height - 1) / 2, a.left, Fit(Text(s.text), a.width));
}

void DrawProgress(const Window& p) {
  Area a = CellsOf(p.rect);
  int inside = std::max(0, a.width - 2);
  int filled = std::min(FilledCells(p), inside);
  std::wstring bar = L"[" + std::wstring(filled, L'#') + std::wstring(inside - filled, L' ') + L"]";
  for (int r = 0; r < a.height; ++r) Put(a.top + r, a.left, bar);
}

void DrawCombo(const Window& c, const ComboView& v, bool focused) {
  ComboParts p = LayOutCombo(c);
  int inside = std::max(0, p.field.width - 2);
  // Away from the focus the field shows its text from the start.
  size_t from = focused ? std::min(v.scroll, v.text.size()) : 0;
  std::wstring shown = Fit(Printable(v.text.substr(from)), inside);
  attr_t attr = c.enabled() ? A_UNDERLINE : A_DIM;
  Put(p.field.top, p.field.left, L"[", attr);
  Put(p.field.top, p.field.left + 1, shown, focused && v.all_selected ? A_REVERSE : attr);
  Put(p.field.top, p.field.left + 1 + inside, L"]", attr);
  Put(p.arrow.top, p.arrow.left, v.open ? L"[^]" : L"[v]", A_BOLD);
  if (focused) Put(p.field.top, p.field.left - 1, L">", A_BOLD);
}

void DrawList(const Window& c, const ComboView& v) {
  ComboParts p = LayOutCombo(c);
  int inside = std::max(0, p.list.width - 3);
  for (int r = 0; r < p.list.height; ++r) {
    int index = v.first + r;
    if (index >= static_cast<int>(c.items.size())) break;
    bool marked = index == v.highlight;
    Put(p.list.top + r, p.list.left,
        L"|" + std::wstring(marked ? L">" : L" ") + Fit(Text(c.items[index]), inside) + L"|",
        marked ? A_REVERSE : A_NORMAL);
  }
  Put(p.list.top + p.list.height, p.list.left,
      L"+" + std::wstring(std::max(0, p.list.width - 2), L'-') + L"+");
}

void DrawBox(const Window& box, int focused_button) {
  BoxLayout b = LayOutBox(box, LINES, COLS);
  const Area& f = b.frame;
  int inside = f.width - 4;
  std::wstring rule = L"+" + std::wstring(f.width - 2, L'-') + L"+";
  int row = f.top;
  Put(row++, f.left, rule);
  Put(row++, f.left, L"| " + Fit(Text(box.caption), inside) + L" |", A_BOLD);
  Put(row++, f.left, rule);
  for (size_t i = 0; i < b.lines.size(); ++i) {
    std::wstring lead = i == 0 ? b.icon : std::wstring(b.icon.size(), L' ');
    Put(row++, f.left, L"| " + Fit(lead + b.lines[i], inside) + L" |");
  }
  Put(row++, f.left, L"| " + Fit(L"", inside) + L" |");
  Put(row, f.left, L"| " + Fit(L"", inside) + L" |");
  for (size_t i = 0; i < b.buttons.size(); ++i) {
    const BoxButton& button = b.buttons[i];
    bool focused = static_cast<int>(i) == focused_button;
    Put(button.area.top, button.area.left,
        focused ? L"[>" + button.label + L"<]" : L"[ " + button.label + L" ]",
        focused ? A_REVERSE : A_NORMAL);
  }
  Put(f.top + f.height - 1, f.left, rule);
}

void PlaceCursor(const Window* combo, const ComboView& v, bool typing) {
  if (!typing) {
    curs_set(0);
    return;
  }
  Area field = LayOutCombo(*combo).field;
  int row = field.top, col = field.left + 1 + static_cast<int>(v.caret - v.scroll);
  if (row >= LINES || col >= COLS) {
    curs_set(0);
    return;
  }
  curs_set(1);
  move(row, col);
}

}  // namespace

void DrawScreen(const View& view) {
  erase();
  Window* dlg = ActiveDialog();
  Window* combo = nullptr;
  bool boxed = OpenBox() != nullptr;
  if (dlg) {
    DrawCaption(*dlg);
    for (HWND h : dlg->children) {
      Window* c = WindowSystem::Get().FindLocal(h);
      if (!c || !c->visible()) continue;
      bool focused = WindowSystem::Get().focus == h;
      switch (c->kind) {
        case Kind::Button:
          DrawButton(*c, focused);
          break;
        case Kind::Static:
          DrawStatic(*c);
          break;
        case Kind::Progress:
          DrawProgress(*c);
          break;
        case Kind::ComboBox:
          combo = c;
          DrawCombo(*c, view.combo, focused);
          break;
        default:
          break;
      }
    }
    if (WindowSystem::Get().input_panel_up)
      Put(LINES - 1, 0, Fit(L" [keyboard up]", COLS), A_REVERSE);
    if (combo && view.combo.open) DrawList(*combo, view.combo);
  }
  if (WindowSystem::Get().cursor == WaitCursor()) {
    Area a = Hourglass();
    for (int r = 0; r < a.height; ++r) Put(a.top + r, a.left, kHourglass[r], A_BOLD);
  }
  Window* innermost = OpenBox();
  for (Window* w : WindowSystem::Get().TopLevel())
    if (w->kind == Kind::MessageBox && w->visible() && !w->ended)
      DrawBox(*w, w == innermost ? view.box_button : -1);
  bool typing = combo && !boxed && dlg->enabled() && WindowSystem::Get().focus == combo->handle &&
                !view.combo.open && combo->enabled();
  PlaceCursor(combo, view.combo, typing);
  refresh();
}

}  // namespace emu::tty
