// The dialog's window as the resources make it and the logic leaves it
// after opening, and the window messages it takes from the system.

#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include "Win32DialogHarness.h"
#include "frontends/win32/Win32DeviceNotifications.h"
#include "platform/win32/WideText.h"
#include "ui/DialogTemplates.h"

namespace {

using platform::win32::Narrow;

std::string ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return Narrow(name);
}

// The class and the style bits a control of each kind is made with.
struct KindLook {
  const char* className;
  LONG styleMask, style;
};

KindLook LookOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kEdit: return {"Edit", ES_READONLY | ES_AUTOHSCROLL, ES_READONLY | ES_AUTOHSCROLL};
    case ControlKind::kProgress: return {"msctls_progress32", 0, 0};
    case ControlKind::kButton: return {"Button", BS_TYPEMASK, BS_PUSHBUTTON};
    case ControlKind::kDefaultButton: return {"Button", BS_TYPEMASK, BS_DEFPUSHBUTTON};
    case ControlKind::kStatic: return {"Static", SS_TYPEMASK, SS_LEFT};
    case ControlKind::kStaticCentred: return {"Static", SS_TYPEMASK | SS_CENTERIMAGE, SS_CENTER | SS_CENTERIMAGE};
    case ControlKind::kIcon: return {"Static", SS_TYPEMASK, SS_ICON};
    case ControlKind::kNotice: return {"Edit", ES_MULTILINE, ES_MULTILINE};
  }
  return {"", 0, 0};
}

// Every control of the template, in its order: id, class, style, text and
// the rectangle its dialog units map to.
void ExpectMatchesTemplate(HWND dialog, const DialogTemplate& expected) {
  EXPECT_EQ(WindowText(dialog).rfind(expected.caption, 0), 0u) << WindowText(dialog);
  RECT client{}, size{0, 0, expected.width, expected.height};
  ::GetClientRect(dialog, &client);
  ::MapDialogRect(dialog, &size);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);
  HWND child = ::GetWindow(dialog, GW_CHILD);
  for (const ControlTemplate& c : expected.controls) {
    ASSERT_NE(child, nullptr) << c.text;
    const KindLook look = LookOf(c.kind);
    EXPECT_EQ(::GetDlgCtrlID(child), c.id) << c.text;
    EXPECT_EQ(_stricmp(ClassOf(child).c_str(), look.className), 0) << c.id << " " << ClassOf(child);
    EXPECT_EQ(::GetWindowLongW(child, GWL_STYLE) & look.styleMask, look.style) << c.id;
    if (c.kind == ControlKind::kIcon) {
      EXPECT_NE(::SendMessageW(child, STM_GETICON, 0, 0), 0) << "the program's icon";
    } else if (c.kind != ControlKind::kNotice) {
      EXPECT_EQ(WindowText(child), c.text) << c.id;
    }
    // The dialog manager maps the place and the size each on its own.
    RECT units{c.units.x, c.units.y, c.units.width, c.units.height}, placed{};
    ::MapDialogRect(dialog, &units);
    ::GetWindowRect(child, &placed);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ((std::vector<LONG>{placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top}),
              (std::vector<LONG>{units.left, units.top, units.right, units.bottom}))
        << c.id << " " << c.text;
    child = ::GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "no control beyond the template's";
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(Narrow(font.lfFaceName).rfind("MS Shell Dlg", 0), 0u) << Narrow(font.lfFaceName);
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(font.lfHeight, -::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72)) << "8 points";
  ::ReleaseDC(nullptr, screen);
}

TEST(Win32Window, MainDialogIsMadeAsTheTemplateSays) {
  Win32DialogHarness h;
  ExpectMatchesTemplate(h.Dialog(), MainDialogTemplate());
  const LONG style = ::GetWindowLongW(h.Dialog(), GWL_STYLE);
  EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
            WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_TRUE(::GetWindowLongW(h.Dialog(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  wchar_t about[64] = {};
  ASSERT_GT(::LoadStringW(::GetModuleHandleW(nullptr), 101, about, 64), 0);
  EXPECT_EQ(Narrow(about), IDS_ABOUTBOX);
}

TEST(Win32Window, AboutBoxIsMadeAsTheTemplateSays) {
  Win32DialogHarness h;
  h.Open();
  h.onBox = [](HWND box) {
    ExpectMatchesTemplate(box, AboutBoxTemplate());
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
  h.Send(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  EXPECT_EQ(h.boxes.size(), 2u) << "the start-up message, then the about box";
}

}  // namespace
