#include "user/actions.h"

#include <algorithm>
#include <cstdint>

#include "core/wide.h"

namespace emu {
namespace {
// The dialog takes input only while no box modal to it is open.
Window* InputDialog() {
  Window* dlg = ActiveDialog();
  return dlg && dlg->enabled() ? dlg : nullptr;
}

Window* AddressBox(Window** dlg) {
  *dlg = InputDialog();
  Window* combo = *dlg ? DialogControl(**dlg, Kind::ComboBox) : nullptr;
  return combo && combo->visible() && combo->enabled() ? combo : nullptr;
}
}  // namespace

Window* ActiveDialog() {
  Window* found = nullptr;
  for (Window* w : WindowSystem::Get().TopLevel())
    if (w->kind == Kind::Dialog && w->visible()) found = w;
  return found;
}

Window* OpenBox() {
  Window* m = WindowSystem::Get().InnermostModal();
  return m && m->kind == Kind::MessageBox && !m->ended ? m : nullptr;
}

Window* DialogControl(Window& dlg, Kind kind, int id) {
  for (HWND h : dlg.children)
    if (Window* c = WindowSystem::Get().FindLocal(h); c && c->kind == kind && (!id || c->id == id))
      return c;
  return nullptr;
}

bool AnswerBox(Window& box, int id) {
  UINT buttons = box.box_type & MB_TYPEMASK;
  bool has = buttons == MB_YESNO      ? (id == IDYES || id == IDNO)
             : buttons == MB_OKCANCEL ? (id == IDOK || id == IDCANCEL)
                                      : id == IDOK;
  if (!has) return false;
  box.result = id;
  box.ended = true;
  return true;
}

bool PressBoxDefault(Window& box, bool cancel) {
  UINT buttons = box.box_type & MB_TYPEMASK;
  if (buttons == MB_YESNO) return !cancel && AnswerBox(box, IDYES);
  if (buttons == MB_OKCANCEL) return AnswerBox(box, cancel ? IDCANCEL : IDOK);
  return AnswerBox(box, IDOK);  // Esc on a box with OK alone answers OK
}

bool PressDialogCommand(int id) {
  Window* dlg = InputDialog();
  if (!dlg || (id == IDOK && !(dlg->exstyle & WS_EX_CAPTIONOKBTN))) return false;
  WindowSystem::Get().Post(dlg->handle, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  return true;
}

bool ClickControl(int control_id) {
  Window* dlg = InputDialog();
  if (!dlg) return false;
  Window* c = nullptr;
  for (HWND h : dlg->children)
    if (Window* w = WindowSystem::Get().FindLocal(h); w && w->id == control_id) c = w;
  if (!c || !c->visible() || !c->enabled()) return false;
  if (c->kind != Kind::Button && c->kind != Kind::ComboBox) return false;
  WindowSystem::Get().FocusControl(c->handle);
  if (c->kind == Kind::Button)
    WindowSystem::Get().Post(dlg->handle, WM_COMMAND, MAKEWPARAM(c->id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(c->handle));
  return true;
}

size_t TypingRoom(const Window& control) {
  constexpr int kCharWidthDlu = 4;
  bool limited = false;
  if (control.kind == Kind::ComboBox)
    limited =
        (control.style & CBS_DROPDOWNLIST) == CBS_DROPDOWN && !(control.style & CBS_AUTOHSCROLL);
  else if (FoldCase(control.cls) == u"EDIT")
    limited = !(control.style & ES_AUTOHSCROLL);
  if (!limited) return SIZE_MAX;
  return control.rect.right > 0 ? static_cast<size_t>(control.rect.right / kCharWidthDlu) : 0;
}

namespace {
bool SetAddress(Window& dlg, Window& combo, const std::u16string& text) {
  if (WindowSystem::Get().focus != combo.handle) WindowSystem::Get().FocusControl(combo.handle);
  WindowSystem::Get().Send(combo.handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  WindowSystem::Get().Post(dlg.handle, WM_COMMAND, MAKEWPARAM(combo.id, CBN_EDITCHANGE),
                           reinterpret_cast<LPARAM>(combo.handle));
  return true;
}
}  // namespace

bool TypeAddress(const std::u16string& text) {
  Window* dlg;
  Window* combo = AddressBox(&dlg);
  if (!combo) return false;
  return SetAddress(*dlg, *combo, text.substr(0, std::min(text.size(), TypingRoom(*combo))));
}

bool EditAddress(const std::u16string& text) {
  Window* dlg;
  Window* combo = AddressBox(&dlg);
  if (!combo) return false;
  if (text.size() > TypingRoom(*combo) && text.size() > combo->text.size()) return false;
  return SetAddress(*dlg, *combo, text);
}

bool SelectAddress(int index) {
  Window* dlg;
  Window* combo = AddressBox(&dlg);
  if (!combo || index < 0 || index >= static_cast<int>(combo->items.size())) return false;
  WindowSystem::Get().FocusControl(combo->handle);
  WindowSystem::Get().Send(combo->handle, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  WindowSystem::Get().Post(dlg->handle, WM_COMMAND, MAKEWPARAM(combo->id, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(combo->handle));
  return true;
}

bool MoveFocus(bool backward) {
  Window* dlg = InputDialog();
  if (!dlg) return false;
  std::vector<Window*> stops;
  for (HWND h : dlg->children)
    if (Window* c = WindowSystem::Get().FindLocal(h);
        c && (c->style & WS_TABSTOP) && c->visible() && c->enabled())
      stops.push_back(c);
  if (stops.empty()) return false;
  int n = static_cast<int>(stops.size());
  int at = -1;
  for (int i = 0; i < n; ++i)
    if (stops[i]->handle == WindowSystem::Get().focus) at = i;
  int next = at < 0 ? (backward ? n - 1 : 0) : (at + (backward ? n - 1 : 1)) % n;
  Window* old = WindowSystem::Get().FindLocal(WindowSystem::Get().focus);
  if (old) WindowSystem::Get().Changed(*old);
  WindowSystem::Get().FocusControl(stops[next]->handle);
  return true;
}

}  // namespace emu
