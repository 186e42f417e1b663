// The program's run as a user meets it: the start-up message, then the
// dialog, served until its close box ends it, which ends the run.

#include <windows.h>

#include <gtest/gtest.h>

#include "Win32DialogHarness.h"
#include "frontends/win32/programs/DialogProgram.h"

namespace {

// What the run showed; the dialog is closed as soon as it is seen.
struct Seen {
  std::vector<ShownBox> messages;
  std::string title, status;
  bool startEnabled = false;
};
Seen* g_seen = nullptr;

// Message boxes are read and ended with OK as they activate.
LRESULT CALLBACK OnActivate(int code, WPARAM wParam, LPARAM lParam) {
  const auto window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && g_seen && IsDialogBox(window) && !::GetDlgItem(window, IDC_BTN_START)) {
    g_seen->messages.push_back(ReadBox(window));
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The dialog is read as its loop shows it, then closed with its close box.
LRESULT CALLBACK OnSent(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && g_seen && sent->message == WM_SHOWWINDOW && sent->wParam &&
      ::GetDlgItem(sent->hwnd, IDC_BTN_START)) {
    g_seen->title = WindowText(sent->hwnd);
    g_seen->status = WindowText(::GetDlgItem(sent->hwnd, IDC_STATUS));
    g_seen->startEnabled = ::IsWindowEnabled(::GetDlgItem(sent->hwnd, IDC_BTN_START)) != FALSE;
    ::PostMessageW(sent->hwnd, WM_CLOSE, 0, 0);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Win32Program, ShowsTheDialogUntilItsCloseBoxEndsTheRun) {
  for (const bool withImage : {true, false}) {
    substitute::SubstituteWorld world;
    world.AddCamera();
    TempDir dir;
    if (withImage) dir.Write("fw.bin", SampleFor(8));
    platform::FilesInFolder files(dir.Path().string());
    platform::ScopedPlatform inForce(WorldWithFiles(world, files));
    Seen seen;
    g_seen = &seen;
    const HHOOK hook = ::SetWindowsHookExW(WH_CBT, OnActivate, nullptr, ::GetCurrentThreadId());
    const HHOOK sentHook = ::SetWindowsHookExW(WH_CALLWNDPROC, OnSent, nullptr, ::GetCurrentThreadId());

    EXPECT_EQ(RunZarnetDialog(::GetModuleHandleW(nullptr)), 0);

    ::UnhookWindowsHookEx(hook);
    ::UnhookWindowsHookEx(sentHook);
    g_seen = nullptr;
    EXPECT_EQ(seen.title, "Zarnet v1.09");
    EXPECT_EQ(seen.status, "Corvex Camera Connected");
    EXPECT_EQ(seen.startEnabled, withImage);
    ASSERT_EQ(seen.messages.size(), withImage ? 0u : 1u);
    if (!withImage) {
      EXPECT_EQ(seen.messages[0].text, "Cannot find any Firmware data");
      EXPECT_EQ(seen.messages[0].caption, "win32_dialog_tests");
    }
    EXPECT_EQ(world.OpenHandleCount(), 0u) << "the dialog closed its camera on the way out";
    ResetDeviceState();
  }
}

}  // namespace

namespace {

TEST(Win32Program, WithoutTheDialogsResourcesTheRunEndsAtOnce) {
  substitute::SubstituteWorld world;
  platform::ScopedPlatform inForce(world.Platform());
  EXPECT_EQ(RunZarnetDialog(::GetModuleHandleW(L"kernel32.dll")), kExitNoWindow);
}

}  // namespace
