// The built-in control classes (button, combo box, static, progress bar, the
// shell's input-panel control) and the dialog manager's default handling.
#include <commctrl.h>

#include <algorithm>

#include "user/display.h"
#include "core/wide.h"
#include "user/window_system.h"

namespace emu {
namespace {

LRESULT CopyText(const std::u16string& text, WPARAM capacity, LPARAM buffer) {
  auto* out = reinterpret_cast<WCHAR*>(buffer);
  if (!out || capacity == 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(capacity) - 1);
  std::copy_n(text.data(), n, out);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

std::u16string TextArg(LPARAM lp) {
  auto* s = reinterpret_cast<LPCWSTR>(lp);
  return s ? std::u16string(s) : std::u16string();
}

// Index of the first entry after `start` (wrapping round to it) that matches;
// start -1 searches from the first entry.
int Search(const Window& w, WPARAM start, const std::u16string& what, bool whole) {
  int n = static_cast<int>(w.items.size());
  if (n == 0) return CB_ERR;
  int from = static_cast<int>(static_cast<INT_PTR>(start));
  if (from < -1 || from >= n) from = -1;
  std::u16string key = FoldCase(what);
  for (int k = 1; k <= n; ++k) {
    int i = (from + k) % n;
    std::u16string item = FoldCase(w.items[i]);
    if (whole ? item == key : item.compare(0, key.size(), key) == 0) return i;
  }
  return CB_ERR;
}

void Select(Window& w, int index) {
  WindowSystem& ws = WindowSystem::Get();
  w.selected = index >= 0 && index < static_cast<int>(w.items.size()) ? index : -1;
  ws.SetText(w, w.selected >= 0 ? w.items[w.selected] : std::u16string());
  ws.Changed(w);
}

LRESULT ComboProc(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
  WindowSystem& ws = WindowSystem::Get();
  int n = static_cast<int>(w.items.size());
  switch (msg) {
    case CB_ADDSTRING:
      w.items.push_back(TextArg(lp));
      ws.Changed(w);
      return n;
    case CB_INSERTSTRING: {
      int at = static_cast<int>(static_cast<INT_PTR>(wp));
      if (at < 0 || at > n) at = n;
      w.items.insert(w.items.begin() + at, TextArg(lp));
      if (w.selected >= at) ++w.selected;
      ws.Changed(w);
      return at;
    }
    case CB_DELETESTRING: {
      int at = static_cast<int>(wp);
      if (at < 0 || at >= n) return CB_ERR;
      w.items.erase(w.items.begin() + at);
      if (w.selected == at) w.selected = -1;
      if (w.selected > at) --w.selected;
      ws.Changed(w);
      return n - 1;
    }
    case CB_RESETCONTENT:
      w.items.clear();
      w.selected = -1;
      ws.Changed(w);
      return 0;
    case CB_GETCOUNT:
      return n;
    case CB_GETCURSEL:
      return w.selected;
    case CB_SETCURSEL: {
      int at = static_cast<int>(static_cast<INT_PTR>(wp));
      Select(w, at);
      return at >= 0 && at < n ? at : CB_ERR;
    }
    case CB_GETLBTEXTLEN:
      return wp < static_cast<WPARAM>(n) ? static_cast<LRESULT>(w.items[wp].size()) : CB_ERR;
    case CB_GETLBTEXT: {
      if (wp >= static_cast<WPARAM>(n)) return CB_ERR;
      auto* out = reinterpret_cast<WCHAR*>(lp);
      const auto& item = w.items[wp];
      std::copy(item.begin(), item.end(), out);
      out[item.size()] = 0;
      return static_cast<LRESULT>(item.size());
    }
    case CB_FINDSTRINGEXACT:
      return Search(w, wp, TextArg(lp), true);
    case CB_FINDSTRING:
      return Search(w, wp, TextArg(lp), false);
    case CB_SELECTSTRING: {
      int at = Search(w, wp, TextArg(lp), false);
      if (at != CB_ERR) Select(w, at);
      return at;
    }
    default:
      return 0;
  }
}

LRESULT ProgressProc(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
  WindowSystem& ws = WindowSystem::Get();
  LRESULT previous;
  switch (msg) {
    case PBM_SETRANGE:
      previous = MAKELONG(w.low, w.high);
      w.low = LOWORD(lp), w.high = HIWORD(lp);
      break;
    case PBM_SETRANGE32:
      previous = MAKELONG(w.low, w.high);
      w.low = static_cast<int>(wp), w.high = static_cast<int>(lp);
      break;
    case PBM_SETPOS:
      previous = w.pos;
      w.pos = static_cast<int>(wp);
      break;
    case PBM_DELTAPOS:
      previous = w.pos;
      w.pos += static_cast<int>(wp);
      break;
    case PBM_GETPOS:
      return w.pos;
    default:
      return 0;
  }
  ws.Changed(w);
  return previous;
}

// The window text messages every window answers alike; false for others.
bool TextMessage(Window& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_SETTEXT:
      if (w.kind == Kind::ComboBox) w.selected = -1;  // typed text is no list entry
      WindowSystem::Get().SetText(w, TextArg(lp));
      *result = TRUE;
      return true;
    case WM_GETTEXT:
      *result = CopyText(w.text, wp, lp);
      return true;
    case WM_GETTEXTLENGTH:
      *result = static_cast<LRESULT>(w.text.size());
      return true;
    default:
      return false;
  }
}

}  // namespace

LRESULT ControlProc(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (TextMessage(w, msg, wp, lp, &result)) return result;
  if (w.kind == Kind::ComboBox) return ComboProc(w, msg, wp, lp);
  if (w.kind == Kind::Progress) return ProgressProc(w, msg, wp, lp);
  return 0;
}

LRESULT DialogManagerProc(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
  WindowSystem& ws = WindowSystem::Get();
  if (w.dlgproc) {
    INT_PTR handled = w.dlgproc(w.handle, msg, wp, lp);
    if (handled && msg != WM_PAINT) return handled;
  }
  LRESULT result = 0;
  if (TextMessage(w, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_PAINT:
      w.needs_paint = false;
      ws.display().Paint(w);
      return 0;
    case WM_SETICON: {
      int which = wp == ICON_SMALL ? 0 : 1;
      HICON previous = w.icons[which];
      w.icons[which] = reinterpret_cast<HICON>(lp);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_COMMAND:
      if (w.kind == Kind::MessageBox) {
        w.result = LOWORD(wp);
        w.ended = true;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace emu
