// Dialogs made from the program's templates, and their modal loop.
#include <aygshell.h>

#include "core/api_call.h"
#include "user/display.h"
#include "user/resources.h"
#include "core/wide.h"
#include "user/window_system.h"

namespace emu {
namespace {

Kind KindOf(const std::u16string& cls) {
  std::u16string c = FoldCase(cls);
  if (c == u"BUTTON") return Kind::Button;
  if (c == u"COMBOBOX") return Kind::ComboBox;
  if (c == u"STATIC") return Kind::Static;
  if (c == u"MSCTLS_PROGRESS32") return Kind::Progress;
  return Kind::SipPref;
}

bool ClassKnown(const std::u16string& cls) {
  std::u16string c = FoldCase(cls);
  if (c == u"SIPPREF") return WindowSystem::Get().input_panel_class;
  return c == u"BUTTON" || c == u"COMBOBOX" || c == u"STATIC" || c == u"MSCTLS_PROGRESS32";
}

HWND FirstTabStop(Window& dlg) {
  WindowSystem& ws = WindowSystem::Get();
  for (HWND h : dlg.children)
    if (Window* c = ws.FindLocal(h); c && (c->style & WS_TABSTOP) && c->visible() && c->enabled())
      return h;
  return nullptr;
}

}  // namespace
}  // namespace emu

using emu::WindowSystem;

INT_PTR WINAPI DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc,
                               LPARAM param) {
  emu::ApiCall call("DialogBoxParamW", instance, emu::ResName{name}, parent, proc, param);
  if (call.faulted()) return call.fail_injected(static_cast<INT_PTR>(-1));
  auto tmpl = IS_INTRESOURCE(name)
                  ? emu::FindDialog(static_cast<int>(reinterpret_cast<uintptr_t>(name)))
                  : std::nullopt;
  if (!tmpl) return call.fail(ERROR_RESOURCE_NAME_NOT_FOUND, static_cast<INT_PTR>(-1));
  for (const auto& c : tmpl->controls)
    if (!emu::ClassKnown(c.cls))
      return call.fail(ERROR_CANNOT_FIND_WND_CLASS, static_cast<INT_PTR>(-1));

  WindowSystem& ws = WindowSystem::Get();
  emu::Window& dlg = ws.Create(emu::Kind::Dialog, u"Dialog", nullptr);
  dlg.owner = parent;
  dlg.style = tmpl->style & ~WS_VISIBLE;  // shown once initialised
  dlg.exstyle = tmpl->exstyle;
  dlg.text = tmpl->caption;
  dlg.rect = tmpl->rect;
  dlg.dlgproc = proc;
  HWND h = dlg.handle;
  for (const auto& c : tmpl->controls) {
    emu::Window& ctl = ws.Create(emu::KindOf(c.cls), c.cls, h);
    ctl.style = c.style;
    ctl.exstyle = c.exstyle;
    ctl.id = c.id;
    ctl.text = c.text;
    ctl.rect = c.rect;
  }
  emu::Window* parent_window = ws.FindLocal(parent);
  if (parent_window) ws.SetEnabled(*parent_window, false);
  if (proc(h, WM_INITDIALOG, 0, param)) {
    if (HWND first = emu::FirstTabStop(*ws.FindLocal(h))) ws.FocusControl(first);
  }
  emu::Window* self = ws.FindLocal(h);
  if (self && !self->ended && (tmpl->style & WS_VISIBLE)) ws.SetVisible(*self, true);
  if (self) ws.RunModal(*self);
  INT_PTR result = -1;
  if (emu::Window* done = ws.FindLocal(h)) {
    result = done->result;
    ws.display().DialogClosed(*done);
    ws.Destroy(h);
  }
  if (parent_window && ws.FindLocal(parent)) ws.SetEnabled(*parent_window, true);
  SetLastError(0);
  return call.ret(result);
}

BOOL WINAPI EndDialog(HWND h, INT_PTR result) {
  emu::ApiCall call("EndDialog", h, result);
  emu::Window* w = WindowSystem::Get().FindLocal(h);
  if (!w || w->kind != emu::Kind::Dialog) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  w->result = result;
  w->ended = true;
  return call.ret(TRUE);
}
