#include "display/tty/layout.h"

#include <wchar.h>

#include <algorithm>

namespace emu::tty {
namespace {

int Columns(int x) { return (x + 2) / 4; }
int Rows(int y) { return (y + 4) / 8; }

// The widest a box grows, so that it reads as a box on the handheld's
// narrow screen even in a wide terminal.
constexpr int kBoxMaxWidth = 38;

// The box type's default-button bits (the second button: 0x100).
constexpr UINT kDefaultButtonMask = 0xF00, kSecondButtonDefault = 0x100;

}  // namespace

const wchar_t* const kHourglass[4] = {L"=====", L" \\:/ ", L" /:\\ ", L"====="};

Area CellsOf(const RECT& r) {
  int left = Columns(r.left), top = kClientTop + Rows(r.top);
  int right = Columns(r.left + r.right), bottom = kClientTop + Rows(r.top + r.bottom);
  return {top, left, std::max(1, bottom - top), std::max(1, right - left)};
}

Area CaptionOk(int cols) { return {0, std::max(0, cols - 5), 1, 4}; }

Area Hourglass() { return {kClientTop + 10, 17, 4, 5}; }

ComboParts LayOutCombo(const Window& combo) {
  Area cells = CellsOf(combo.rect);
  ComboParts p;
  int arrow = std::min(3, cells.width);
  p.field = {cells.top, cells.left, 1, cells.width - arrow};
  p.arrow = {cells.top, cells.left + cells.width - arrow, 1, arrow};
  p.list = {cells.top + 1, cells.left, ListRows(combo), cells.width};
  return p;
}

int ListRows(const Window& combo) {
  // The rectangle's height holds the field, the entries and the frame line.
  int room = std::max(1, CellsOf(combo.rect).height - 2);
  return std::min(room, static_cast<int>(combo.items.size()));
}

int FilledCells(const Window& bar) {
  int inside = std::max(0, CellsOf(bar.rect).width - 2);
  long long range = static_cast<long long>(bar.high) - bar.low;
  if (range <= 0) return 0;
  long long done = std::clamp(static_cast<long long>(bar.pos) - bar.low, 0LL, range);
  return static_cast<int>(done * inside / range);
}

std::wstring ToWide(const std::u16string& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    out += static_cast<wchar_t>(c);
  }
  return out;
}

std::u16string FromWide(const std::wstring& text) {
  std::u16string out;
  for (wchar_t wc : text) {
    auto c = static_cast<char32_t>(wc);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::wstring Printable(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += c;
    } else if (c < 0x20 || c == 0x7F) {
      // A control character shows as its picture (U+2400-U+2421), so a line
      // break or an escape sequence in a server's text is seen, never obeyed.
      wchar_t picture = c == 0x7F ? 0x2421 : 0x2400 + c;
      out += wcwidth(picture) == 1 ? picture : L'?';
    } else {
      out += wcwidth(c) == 1 ? c : L'?';
    }
  }
  return out;
}

std::vector<std::wstring> Wrap(const std::wstring& text, int width) {
  width = std::max(1, width);
  std::vector<std::wstring> lines;
  std::wstring shown = Printable(text);
  std::wstring line;
  size_t i = 0;
  while (i < shown.size()) {
    size_t space = shown.find(L' ', i);
    std::wstring word = shown.substr(i, space == std::wstring::npos ? space : space - i);
    i = space == std::wstring::npos ? shown.size() : space + 1;
    std::wstring joined = line.empty() ? word : line + L' ' + word;
    if (static_cast<int>(joined.size()) <= width) {
      line = joined;
      continue;
    }
    if (!line.empty()) lines.push_back(line);
    // A word longer than the line is cut where the line ends.
    while (static_cast<int>(word.size()) > width) {
      lines.push_back(word.substr(0, width));
      word.erase(0, width);
    }
    line = word;
  }
  lines.push_back(line);
  return lines;
}

namespace {

std::vector<std::pair<int, std::wstring>> BoxButtons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_YESNO:
      return {{IDYES, L"Yes"}, {IDNO, L"No"}};
    case MB_OKCANCEL:
      return {{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}};
    default:
      return {{IDOK, L"OK"}};
  }
}

std::wstring IconMark(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
      return L"(x) ";
    case MB_ICONQUESTION:
      return L"(?) ";
    case MB_ICONEXCLAMATION:
      return L"(!) ";
    case MB_ICONASTERISK:
      return L"(i) ";
    default:
      return L"";
  }
}

}  // namespace

int DefaultBoxButton(const Window& box) {
  int count = static_cast<int>(BoxButtons(box.box_type).size());
  return (box.box_type & kDefaultButtonMask) == kSecondButtonDefault && count > 1 ? 1 : 0;
}

BoxLayout LayOutBox(const Window& box, int rows, int cols) {
  BoxLayout b;
  b.icon = IconMark(box.box_type);
  // Frame and one blank column each side take four cells.
  int room = std::max(1, std::min(cols, kBoxMaxWidth) - 4);
  int text_room = std::max(1, room - static_cast<int>(b.icon.size()));
  b.lines = Wrap(ToWide(box.text), text_room);
  // Frame, caption, rule, blank and button rows take six.
  int max_lines = std::max(1, rows - 6);
  if (static_cast<int>(b.lines.size()) > max_lines) {
    b.lines.resize(max_lines);
    std::wstring& last = b.lines.back();
    last = last.substr(0, std::max(0, text_room - 3)) + L"...";
  }
  int buttons_width = 0;
  for (const auto& [id, label] : BoxButtons(box.box_type)) {
    b.buttons.push_back({id, label, {}});
    buttons_width += static_cast<int>(label.size()) + 4 + (buttons_width ? 2 : 0);
  }
  int content = std::max(buttons_width, static_cast<int>(Printable(ToWide(box.caption)).size()));
  for (const auto& line : b.lines)
    content = std::max(content, static_cast<int>(b.icon.size() + line.size()));
  content = std::min(content, room);
  int width = content + 4, height = static_cast<int>(b.lines.size()) + 6;
  b.frame = {std::max(0, (rows - height) / 2), std::max(0, (cols - width) / 2), height, width};
  int col = b.frame.left + std::max(0, (width - buttons_width) / 2);
  for (auto& button : b.buttons) {
    int w = static_cast<int>(button.label.size()) + 4;
    button.area = {b.frame.top + height - 2, col, 1, w};
    col += w + 2;
  }
  return b;
}

}  // namespace emu::tty
