// What the window shows once the dialog has opened, and the window
// messages that reach the dialog's logic from the system.

#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include <chrono>

#include "Pictures.h"
#include "Win32DialogHarness.h"
#include "frontends/win32/Win32DeviceNotifications.h"
#include "platform/win32/WideText.h"

namespace {

using platform::win32::Narrow;

std::string MenuText(HMENU menu, UINT position) {
  wchar_t text[64] = {};
  ::GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
  return Narrow(text);
}

TEST(Win32Opening, TitleMenuIconsFontAndTheFirstMessage) {
  Win32DialogHarness h;
  h.Open();
  EXPECT_EQ(WindowText(h.Dialog()), "Zarnet v1.09");
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  EXPECT_EQ(h.Text(IDC_VERSION), "Ver: N/A");
  EXPECT_EQ(h.Text(IDC_RESULT), "N/A");
  EXPECT_FALSE(h.Visible(IDC_BTN_BROWSE));
  EXPECT_FALSE(h.Enabled(IDC_BTN_BROWSE));
  EXPECT_FALSE(h.Enabled(IDC_BTN_START));
  EXPECT_FALSE(h.Enabled(IDC_BTN_GET_VERSION));
  EXPECT_FALSE(h.Enabled(IDC_VERSION));
  EXPECT_EQ(h.AnsweredTextColour(IDC_RESULT), RGB(255, 0, 0)) << "the first N/A is red";

  // The message box names the program, as a dialog library names an
  // application made without a name.
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].caption, "win32_dialog_tests");
  EXPECT_EQ(h.boxes[0].text, "Cannot find any Firmware data");
  EXPECT_EQ(h.boxes[0].buttons, std::vector<std::string>{"OK"});

  const HMENU menu = ::GetSystemMenu(h.Dialog(), FALSE);
  const int count = ::GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  EXPECT_EQ(::GetMenuItemID(menu, count - 1), IDM_ABOUTBOX);
  EXPECT_EQ(MenuText(menu, count - 1), IDS_ABOUTBOX);

  const LRESULT big = h.Send(WM_GETICON, ICON_BIG, 0), small = h.Send(WM_GETICON, ICON_SMALL, 0);
  EXPECT_NE(big, 0);
  EXPECT_NE(small, 0);
  EXPECT_EQ(h.Send(WM_QUERYDRAGICON, 0, 0), big);

  LOGFONTW result{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(h.Control(IDC_RESULT), WM_GETFONT, 0, 0)), sizeof result,
               &result);
  EXPECT_EQ(result.lfHeight, -24);
  EXPECT_EQ(result.lfWeight, 700);
  EXPECT_EQ(Narrow(result.lfFaceName).rfind("MS Shell Dlg", 0), 0u) << "the control's own face";
}

TEST(Win32Opening, EnterDoesNothingWhileTheCloseBoxAndEscapeEndTheDialog) {
  for (const UINT closing : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_COMMAND)}) {
    Win32DialogHarness h;
    h.Open();
    h.Send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(h.view.Closed());
    h.Send(closing, closing == WM_COMMAND ? MAKEWPARAM(IDCANCEL, BN_CLICKED) : 0, 0);
    EXPECT_TRUE(h.view.Closed()) << closing;
    EXPECT_TRUE(h.dlg->Ended());
    EXPECT_FALSE(::IsWindowVisible(h.Dialog()));
  }
}

// A device-interface record as the system hands it with WM_DEVICECHANGE.
DEV_BROADCAST_DEVICEINTERFACE_W Interface(const platform::Guid& guid, DWORD size = 32) {
  DEV_BROADCAST_DEVICEINTERFACE_W record{};
  record.dbcc_size = size;
  record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  record.dbcc_classguid.Data1 = guid.data1;
  record.dbcc_classguid.Data2 = guid.data2;
  record.dbcc_classguid.Data3 = guid.data3;
  std::copy(guid.data4.begin(), guid.data4.end(), record.dbcc_classguid.Data4);
  return record;
}

TEST(Win32DeviceChange, IdleRemovalAndCaptureArrivalReidentifyWhileBusyNothingChanges) {
  substitute::SubstituteWorldConfig quiet;
  Win32DialogHarness h(quiet);
  // Only the window's messages announce devices here.
  h.world.SetNotificationRegistrationFails(true);
  const auto cam = h.world.AddCamera();
  h.Open();
  ASSERT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
  const auto send = [&](WPARAM event, const void* record) {
    return h.Send(WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record));
  };

  h.world.Unplug(cam);
  h.dlg->m_bBusy = 1;
  EXPECT_EQ(send(DBT_DEVICEREMOVECOMPLETE, nullptr), TRUE);
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected") << "busy: nothing changes";
  h.dlg->m_bBusy = 0;
  EXPECT_EQ(send(DBT_DEVICEREMOVECOMPLETE, nullptr), TRUE);
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  EXPECT_FALSE(h.Enabled(IDC_BTN_GET_VERSION));

  h.world.Plug(cam);
  const platform::Guid other{0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
  const auto otherClass = Interface(other);
  const auto tooShort = Interface(platform::kCaptureInterfaceClass, 20);
  const auto capture = Interface(platform::kCaptureInterfaceClass);
  EXPECT_EQ(send(DBT_DEVICEARRIVAL, nullptr), TRUE);
  EXPECT_EQ(send(DBT_DEVICEARRIVAL, &otherClass), TRUE);
  EXPECT_EQ(send(DBT_DEVICEARRIVAL, &tooShort), TRUE);
  EXPECT_EQ(send(DBT_DEVNODES_CHANGED, &capture), TRUE);
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera") << "none of these is a capture device's arrival";
  h.dlg->m_bBusy = 1;
  EXPECT_EQ(send(DBT_DEVICEARRIVAL, &capture), TRUE);
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera") << "busy: nothing changes";
  h.dlg->m_bBusy = 0;
  EXPECT_EQ(send(DBT_DEVICEARRIVAL, &capture), TRUE);
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
  EXPECT_EQ(h.Text(IDC_VERSION), "Ver: 21-0615-0042");
  EXPECT_TRUE(h.Enabled(IDC_BTN_GET_VERSION));
}

}  // namespace

namespace {

TEST(Win32DeviceChange, RegisteredWithTheSystemEachMessageIsHandledOnce) {
  Win32DialogHarness h;
  const auto cam = h.world.AddCamera();
  frontends::win32::Win32DeviceNotifications notifications(h.Dialog());
  platform::Platform seams;
  seams.notifications = &notifications;
  std::optional<platform::ScopedPlatform> windowNotifications(std::in_place, seams);
  h.Open();
  EXPECT_NE(h.dlg->m_hDevNotify, 0u) << "RegisterDeviceNotificationW takes the dialog's window";

  const auto blocks = [&] { return h.world.CommandBlocks(cam).size(); };
  size_t before = blocks();
  h.window.Send(WM_DL_FINISHED, 0, 0);  // one identification
  const size_t identification = blocks() - before;
  ASSERT_GT(identification, 0u);
  before = blocks();
  const auto capture = Interface(platform::kCaptureInterfaceClass);
  h.Send(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&capture));
  h.PumpPending();
  EXPECT_EQ(blocks() - before, identification);
  h.Close();  // unregisters while the window's notifications are in force
}

}  // namespace

namespace {

TEST(Win32Opening, MinimisedTheWindowDrawsTheProgramsIcon) {
  Win32DialogHarness h;
  h.Open();
  ::ShowWindow(h.Dialog(), SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(h.Dialog()));
  const Picture picture = Capture(h.Dialog());
  const RECT all{0, 0, picture.width, picture.height};
  EXPECT_GT(picture.Count(all, RGB(0x2B, 0x4C, 0x7E)), 0) << "the icon's body colour";
}

}  // namespace
