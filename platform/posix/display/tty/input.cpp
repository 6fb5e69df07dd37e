// What keys and taps do on the terminal display. Everything that reaches the
// program goes through the shared user actions; the view only keeps the
// caret, the list and the box's focused button.
#include <algorithm>
#include <string>

#include "display/tty/curses_wide.h"
#include "display/tty/layout.h"
#include "display/tty/view.h"
#include "user/actions.h"

namespace emu::tty {
namespace {

Window* Combo() {
  Window* dlg = ActiveDialog();
  return dlg ? DialogControl(*dlg, Kind::ComboBox) : nullptr;
}

bool IsEnter(const Key& k) {
  return k.special ? k.code == KEY_ENTER : (k.code == '\r' || k.code == '\n');
}

// Keeps the marked entry in sight.
void ShowHighlight(ComboView& c, const Window& combo) {
  int rows = ListRows(combo);
  if (c.highlight < c.first) c.first = c.highlight;
  if (c.highlight >= c.first + rows) c.first = c.highlight - rows + 1;
  c.first = std::max(0, c.first);
}

bool OpenList(View& v) {
  Window* combo = Combo();
  if (!combo || combo->items.empty() || !ClickControl(combo->id)) return false;
  v.combo.open = true;
  v.combo.highlight = std::max(0, combo->selected);
  ShowHighlight(v.combo, *combo);
  return true;
}

// Closing the list with Enter (or F4, or a tap on an entry) takes the marked
// entry; Esc or a tap elsewhere leaves the field as it was.
bool CloseList(View& v, bool take) {
  v.combo.open = false;
  return take && SelectAddress(v.combo.highlight);
}

bool Edit(View& v, const std::wstring& text, size_t caret) {
  // The view holds the new text first: the change comes back to it (and is
  // drawn) while EditAddress runs.
  ComboView before = v.combo;
  v.combo.text = text;
  v.combo.caret = caret;
  if (EditAddress(FromWide(text))) return true;
  v.combo = before;
  return false;
}

bool EditKey(View& v, const Key& k) {
  ComboView& c = v.combo;
  if (c.all_selected) {
    c.all_selected = false;
    bool erase =
        k.special ? (k.code == KEY_BACKSPACE || k.code == KEY_DC) : (k.code == 127 || k.code == 8);
    bool typed = !k.special && !erase && k.code >= 0x20 && !(k.code >= 0x7F && k.code < 0xA0);
    if (erase) return Edit(v, L"", 0);
    if (typed) return Edit(v, std::wstring(1, static_cast<wchar_t>(k.code)), 1);
    if (k.special && (k.code == KEY_LEFT || k.code == KEY_HOME)) return (c.caret = 0, true);
  }
  const std::wstring& t = c.text;
  if (!k.special) {
    if (k.code == 127 || k.code == 8)
      return c.caret > 0 && Edit(v, t.substr(0, c.caret - 1) + t.substr(c.caret), c.caret - 1);
    if (k.code < 0x20 || (k.code >= 0x7F && k.code < 0xA0)) return false;
    return Edit(v, t.substr(0, c.caret) + static_cast<wchar_t>(k.code) + t.substr(c.caret),
                c.caret + 1);
  }
  switch (k.code) {
    case KEY_BACKSPACE:
      return c.caret > 0 && Edit(v, t.substr(0, c.caret - 1) + t.substr(c.caret), c.caret - 1);
    case KEY_DC:
      return c.caret < t.size() && Edit(v, t.substr(0, c.caret) + t.substr(c.caret + 1), c.caret);
    case KEY_LEFT:
      return c.caret > 0 && (--c.caret, true);
    case KEY_RIGHT:
      return c.caret < t.size() && (++c.caret, true);
    case KEY_HOME:
      return (c.caret = 0, true);
    case KEY_END:
      return (c.caret = t.size(), true);
    default:
      return false;
  }
}

bool IsListToggle(const Key& k) {
  if (!k.special) return false;
  if (k.code == KEY_F(4)) return true;
  if (k.alt && (k.code == KEY_DOWN || k.code == KEY_UP)) return true;
  const char* name = keyname(k.code);  // Alt-arrows as the terminal reports them
  return name && (std::string(name) == "kDN3" || std::string(name) == "kUP3");
}

bool ComboKey(View& v, Window& combo, const Key& k) {
  ComboView& c = v.combo;
  if (IsListToggle(k)) return c.open ? CloseList(v, true) : OpenList(v);
  if (c.open) {
    if (IsEnter(k)) return CloseList(v, true);
    if (k.special && (k.code == KEY_UP || k.code == KEY_DOWN)) {
      int n = static_cast<int>(combo.items.size());
      c.highlight = std::clamp(c.highlight + (k.code == KEY_UP ? -1 : 1), 0, n - 1);
      ShowHighlight(c, combo);
      return true;
    }
    CloseList(v, false);  // typing goes on in the field
  }
  if (k.special && (k.code == KEY_UP || k.code == KEY_DOWN)) {
    // A closed list steps through its entries, as the arrows do on the handheld.
    int n = static_cast<int>(combo.items.size());
    int next = combo.selected < 0 ? 0 : combo.selected + (k.code == KEY_UP ? -1 : 1);
    return next >= 0 && next < n && next != combo.selected && SelectAddress(next);
  }
  if (IsEnter(k)) return false;  // no default button: Enter in the field does nothing
  return EditKey(v, k);
}

bool BoxKey(View& v, Window& box, const Key& k) {
  BoxLayout layout = LayOutBox(box, LINES, COLS);
  int n = static_cast<int>(layout.buttons.size());
  bool back = k.special && (k.code == KEY_BTAB || k.code == KEY_LEFT || k.code == KEY_UP);
  bool forth =
      (!k.special && k.code == '\t') || (k.special && (k.code == KEY_RIGHT || k.code == KEY_DOWN));
  if (back || forth) {
    v.box_button = (v.box_button + (back ? n - 1 : 1)) % n;
    return true;
  }
  if (IsEnter(k) || (!k.special && k.code == ' '))
    return AnswerBox(box, layout.buttons[std::clamp(v.box_button, 0, n - 1)].id);
  if (!k.special && k.code == 27) return PressBoxDefault(box, true);
  if (!k.special && (k.code == 'y' || k.code == 'Y')) return AnswerBox(box, IDYES);
  if (!k.special && (k.code == 'n' || k.code == 'N')) return AnswerBox(box, IDNO);
  return false;
}

}  // namespace

void SyncView(View& v) {
  Window* box = OpenBox();
  if (!box) {
    v.box = nullptr;
  } else if (box->handle != v.box) {
    v.box = box->handle;
    v.box_button = DefaultBoxButton(*box);
  }
  Window* dlg = ActiveDialog();
  Window* combo = Combo();
  if (!combo) {
    v.combo = {};
    return;
  }
  ComboView& c = v.combo;
  std::wstring text = ToWide(combo->text);
  if (text != c.text) {  // the program or a list entry changed it
    c.text = text;
    c.caret = text.size();
    c.all_selected = true;
  }
  c.caret = std::min(c.caret, c.text.size());
  if (c.open && (!dlg->enabled() || !combo->visible() || !combo->enabled() ||
                 combo->items.empty() || WindowSystem::Get().focus != combo->handle))
    c.open = false;
  if (c.open) {
    c.highlight = std::clamp(c.highlight, 0, static_cast<int>(combo->items.size()) - 1);
    ShowHighlight(c, *combo);
  }
  size_t inside = static_cast<size_t>(std::max(1, LayOutCombo(*combo).field.width - 2));
  if (c.caret < c.scroll) c.scroll = c.caret;
  if (c.caret >= c.scroll + inside) c.scroll = c.caret - inside + 1;
  // No more scrolled than the text needs: a short text after a long one (the
  // first key after Tab replaces it) is shown whole.
  size_t most = c.text.size() + 1 > inside ? c.text.size() + 1 - inside : 0;
  c.scroll = std::min(c.scroll, most);
}

bool PressKey(View& v, const Key& k) {
  SyncView(v);
  if (Window* box = OpenBox()) return BoxKey(v, *box, k);
  Window* dlg = ActiveDialog();
  if (!dlg) return false;
  Window* combo = Combo();
  bool in_combo = combo && WindowSystem::Get().focus == combo->handle;
  bool esc = !k.special && k.code == 27 && !k.alt;
  if (esc) return v.combo.open ? (CloseList(v, false), true) : PressDialogCommand(IDCANCEL);
  if (k.alt && !IsListToggle(k)) return false;
  if ((!k.special && k.code == '\t') || (k.special && k.code == KEY_BTAB)) {
    if (v.combo.open) CloseList(v, false);
    if (!MoveFocus(k.special)) return false;
    if (combo && WindowSystem::Get().focus == combo->handle) {
      v.combo.all_selected = true;
      v.combo.caret = v.combo.text.size();
    }
    return true;
  }
  if (in_combo) return ComboKey(v, *combo, k);
  Window* focused = WindowSystem::Get().FindLocal(WindowSystem::Get().focus);
  if (focused && focused->kind == Kind::Button && (IsEnter(k) || (!k.special && k.code == ' ')))
    return ClickControl(focused->id);
  return false;
}

bool Tap(View& v, int row, int col) {
  SyncView(v);
  if (Window* box = OpenBox()) {
    BoxLayout layout = LayOutBox(*box, LINES, COLS);
    if (layout.frame.Contains(row, col)) {
      for (size_t i = 0; i < layout.buttons.size(); ++i)
        if (layout.buttons[i].area.Contains(row, col)) {
          v.box_button = static_cast<int>(i);
          return AnswerBox(*box, layout.buttons[i].id);
        }
      return false;
    }
    // Outside the box: the dialog takes the tap unless the box is modal to it.
  }
  Window* dlg = ActiveDialog();
  if (!dlg) return false;
  Window* combo = Combo();
  if (combo && v.combo.open) {
    ComboParts parts = LayOutCombo(*combo);
    if (parts.list.Contains(row, col)) {
      v.combo.highlight = v.combo.first + row - parts.list.top;
      return CloseList(v, true);
    }
    CloseList(v, false);  // a tap elsewhere only closes the list
    return true;
  }
  if (row == 0) {
    bool ok = (dlg->exstyle & WS_EX_CAPTIONOKBTN) && CaptionOk(COLS).Contains(row, col);
    return ok && PressDialogCommand(IDOK);
  }
  for (HWND h : dlg->children) {
    Window* c = WindowSystem::Get().FindLocal(h);
    if (!c || !c->visible()) continue;
    if (c->kind == Kind::Button && CellsOf(c->rect).Contains(row, col)) return ClickControl(c->id);
    if (c->kind != Kind::ComboBox) continue;
    ComboParts parts = LayOutCombo(*c);
    if (parts.arrow.Contains(row, col)) return OpenList(v);
    if (parts.field.Contains(row, col)) {
      if (!ClickControl(c->id)) return false;
      size_t at = v.combo.scroll + static_cast<size_t>(std::max(0, col - parts.field.left - 1));
      v.combo.caret = std::min(at, v.combo.text.size());
      v.combo.all_selected = false;
      return true;
    }
  }
  return false;
}

}  // namespace emu::tty
