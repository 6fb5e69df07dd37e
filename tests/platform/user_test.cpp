// The window system: typing into fields as the handheld's controls allow it.
#include <windows.h>

#include <cstdint>
#include <string>

#include "support/device_fixture.h"
#include "user/actions.h"
#include "user/window_system.h"

namespace {

using emu::Kind;
using emu::Window;
using emu::WindowSystem;

// A dialog shown with the template's address box: 142 dialog units wide.
class TypingTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    WindowSystem& ws = WindowSystem::Get();
    Window& dlg = ws.Create(Kind::Dialog, u"Dialog", nullptr);
    dlg.style = WS_POPUP | WS_VISIBLE;
    dlg_ = dlg.handle;
    Window& combo = ws.Create(Kind::ComboBox, u"ComboBox", dlg_);
    combo.style = CBS_DROPDOWN | WS_VISIBLE | WS_TABSTOP;
    combo.id = 1001;
    combo.rect = {7, 32, 142, 90};
    combo_ = combo.handle;
  }
  void TearDown() override {
    WindowSystem::Get().Destroy(dlg_);
    DeviceTest::TearDown();
  }
  Window& Combo() { return *WindowSystem::Get().FindLocal(combo_); }
  std::u16string Field() { return Combo().text; }

  HWND dlg_ = nullptr;
  HWND combo_ = nullptr;
};

TEST_F(TypingTest, TheRoomOfAFieldIsItsWidthUnlessItScrolls) {
  struct Case {
    const char* name;
    const char16_t* cls;
    DWORD style;
    LONG width;
    size_t room;
  } cases[] = {
      {"drop-down combo box", u"ComboBox", CBS_DROPDOWN, 142, 35},
      {"... with auto-scroll", u"ComboBox", CBS_DROPDOWN | CBS_AUTOHSCROLL, 142, SIZE_MAX},
      {"drop-down list (no typing)", u"ComboBox", CBS_DROPDOWNLIST, 142, SIZE_MAX},
      {"edit control", u"Edit", 0, 100, 25},
      {"... with auto-scroll", u"EDIT", ES_AUTOHSCROLL, 100, SIZE_MAX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Window w;
    w.kind = std::u16string(c.cls) == u"ComboBox" ? Kind::ComboBox : Kind::Static;
    w.cls = c.cls;
    w.style = c.style;
    w.rect = {0, 0, c.width, 12};
    EXPECT_EQ(emu::TypingRoom(w), c.room);
  }
}

TEST_F(TypingTest, WithoutAutoScrollTypingStopsAtTheFieldsWidth) {
  const std::u16string address =
      u"http://ee.maker-a.example/files/2024/packedEphemeris.ee";  // 55 characters
  ASSERT_TRUE(emu::TypeAddress(address));
  EXPECT_EQ(Field(), address.substr(0, 35));
  // A key that would add a character is refused; one that removes is not.
  EXPECT_FALSE(emu::EditAddress(Field() + u"x"));
  EXPECT_TRUE(emu::EditAddress(Field().substr(0, 34)));
  EXPECT_TRUE(emu::EditAddress(Field() + u"y"));
  EXPECT_EQ(Field().size(), 35u);

  // Text the program sets is not limited, and can still be shortened.
  WindowSystem::Get().Send(combo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(address.c_str()));
  EXPECT_EQ(Field(), address);
  EXPECT_TRUE(emu::EditAddress(address.substr(0, 54)));
  EXPECT_FALSE(emu::EditAddress(address + u"z"));

  // With the style, the whole address is typed.
  Combo().style |= CBS_AUTOHSCROLL;
  std::u16string longest(1023, u'p');
  ASSERT_TRUE(emu::TypeAddress(longest));
  EXPECT_EQ(Field(), longest);
}

}  // namespace
