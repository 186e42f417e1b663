// The boxes the dialog opens over its window: the about box from the
// system menu, and message boxes; while either is open its modal loop goes
// on serving the worker's synchronous sends.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

#include "Pictures.h"
#include "Win32DialogHarness.h"
#include "platform/win32/WideText.h"
#include "ui/AboutDlg.h"

namespace {

std::string Notice() {
  std::string notice;
  for (const char* line : CAboutDlg::kNotice) notice += line;
  return notice;
}

TEST(Win32AboutBox, EachEntryOfTheRangeOpensItWithTheNoticeOnceEachTime) {
  Win32DialogHarness h;
  h.Open();
  h.boxes.clear();
  bool pictured = false;
  h.onBox = [&](HWND box) {
    const HWND notice = ::GetDlgItem(box, IDC_EDIT_NOTICE);
    EXPECT_TRUE(::GetWindowLongW(notice, GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(::SendMessageW(notice, EM_CANUNDO, 0, 0), FALSE) << "the notice went in not undoable";
  };
  // Pictured once the box's own loop has shown it.
  h.onIdleBox = [&](HWND box) {
    if (!pictured) pictured = SaveScreenshot(Capture(box), "about");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
  for (const WPARAM entry : {0x10u, 0x1Fu, 0x10u}) h.Send(WM_SYSCOMMAND, entry, 0);
  EXPECT_TRUE(pictured);
  ASSERT_EQ(h.boxes.size(), 3u);
  for (const ShownBox& box : h.boxes) {
    EXPECT_EQ(box.caption, "About Zarnet");
    EXPECT_EQ(box.text, Notice());
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
  }
  EXPECT_EQ(::GetWindowTextLengthW(h.Control(IDC_EDIT_NOTICE)), 0) << "the main dialog has no notice";
}

// Opens a box; while it shows, another thread sends the dialog a message
// and waits for it to be handled, then closes the box.
void ExpectServedWhileOpen(Win32DialogHarness& h, const std::function<void()>& openBox, const char* what) {
  std::thread worker;
  h.onBox = [&](HWND box) {
    worker = std::thread([&h, box] {
      h.window.Send(WM_DL_RANGE, 70000, 0);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
  };
  openBox();
  ASSERT_TRUE(worker.joinable()) << what << ": no box opened";
  worker.join();
  EXPECT_EQ(::SendMessageW(h.Control(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 70000) << what;
  ::SendMessageW(h.Control(IDC_PROGRESS), PBM_SETRANGE32, 0, 100);
}

TEST(Win32Boxes, ModalLoopsServeTheWorkersSends) {
  Win32DialogHarness h;
  h.Open();
  h.boxes.clear();
  ExpectServedWhileOpen(
      h, [&] { h.Send(WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }, "about box");
  h.dlg->m_bBusy = 1;  // closing now asks to wait for the result
  ExpectServedWhileOpen(
      h, [&] { h.Send(WM_CLOSE, 0, 0); }, "message box");
  h.dlg->m_bBusy = 0;
  ASSERT_EQ(h.boxes.size(), 2u);
  EXPECT_EQ(h.boxes[1].text, kCloseWhileBusyText);
  EXPECT_EQ(h.boxes[1].caption, "win32_dialog_tests");
  EXPECT_FALSE(h.view.Closed());
}

}  // namespace

namespace {

// The open-file dialog hands back the name typed into it, with where its
// extension starts; a name ending in a full stop has none (offset 0), as
// Windows reports it, so that the dialog's Browse adds the filter's.
TEST(Win32Boxes, TheOpenFileDialogHandsBackTheTypedName) {
  Win32DialogHarness h;
  const std::string image = h.WriteImage("picked.bin", SampleFor(8));
  const std::string stem = image.substr(0, image.size() - 4);
  struct Typed {
    std::string name;
    uint16_t extensionOffset;
  };
  const Typed cases[] = {{image, static_cast<uint16_t>(image.size() - 3)}, {stem + ".", 0}};
  h.Open();
  for (const Typed& typed : cases) {
    h.onBox = [&](HWND box) {
      constexpr int kFileNameBox = 0x47C;  // the dialog's file-name combo box
      ::SetDlgItemTextW(box, kFileNameBox, platform::win32::Wide(typed.name).c_str());
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
    platform::OpenFileResult chosen;
    ASSERT_TRUE(h.view.RunOpenFileDialog({"Firmware(*.bin)|*.bin||", 0x80006, 1}, &chosen)) << typed.name;
    EXPECT_EQ(chosen.path, typed.name);
    EXPECT_EQ(chosen.extensionOffset, typed.extensionOffset) << typed.name;
    EXPECT_EQ(chosen.filterIndex, 1);
  }
}

}  // namespace
