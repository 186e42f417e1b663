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
  SubstituteDialog d;
  d.h.Open();
  d.h.boxes.clear();
  bool pictured = false;
  d.h.onBox = [&](HWND box) {
    const HWND notice = ::GetDlgItem(box, IDC_EDIT_NOTICE);
    EXPECT_TRUE(::GetWindowLongW(notice, GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(::SendMessageW(notice, EM_CANUNDO, 0, 0), FALSE) << "the notice went in not undoable";
  };
  // Pictured once the box's own loop has shown it.
  d.h.onIdleBox = [&](HWND box) {
    if (!pictured) pictured = SaveScreenshot(Capture(box), "about");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
  for (const WPARAM entry : {0x10u, 0x1Fu, 0x10u}) d.h.Send(WM_SYSCOMMAND, entry, 0);
  EXPECT_TRUE(pictured);
  ASSERT_EQ(d.h.boxes.size(), 3u);
  for (const ShownBox& box : d.h.boxes) {
    EXPECT_EQ(box.caption, "About Zarnet");
    EXPECT_EQ(box.text, Notice());
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
  }
  EXPECT_EQ(::GetWindowTextLengthW(d.h.Control(IDC_EDIT_NOTICE)), 0) << "the main dialog has no notice";
}

// Opens a box; while it shows, another thread sends the dialog a message
// and waits for it to be handled, then closes the box.
void ExpectServedWhileOpen(SubstituteDialog& d, const std::function<void()>& openBox, const char* what) {
  std::thread worker;
  d.h.onBox = [&](HWND box) {
    worker = std::thread([&d, box] {
      d.h.window.Send(WM_DL_RANGE, 70000, 0);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
  };
  openBox();
  ASSERT_TRUE(worker.joinable()) << what << ": no box opened";
  worker.join();
  EXPECT_EQ(::SendMessageW(d.h.Control(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 70000) << what;
  ::SendMessageW(d.h.Control(IDC_PROGRESS), PBM_SETRANGE32, 0, 100);
}

TEST(Win32Boxes, ModalLoopsServeTheWorkersSends) {
  SubstituteDialog d;
  d.h.Open();
  d.h.boxes.clear();
  ExpectServedWhileOpen(
      d, [&] { d.h.Send(WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }, "about box");
  d.h.dlg->m_bBusy = 1;  // closing now asks to wait for the result
  ExpectServedWhileOpen(
      d, [&] { d.h.Send(WM_CLOSE, 0, 0); }, "message box");
  d.h.dlg->m_bBusy = 0;
  ASSERT_EQ(d.h.boxes.size(), 2u);
  EXPECT_EQ(d.h.boxes[1].text, kCloseWhileBusyText);
  EXPECT_EQ(d.h.boxes[1].caption, "win32_dialog_tests");
  EXPECT_FALSE(d.h.view.Closed());
}

}  // namespace

namespace {

// The open-file dialog hands back the name typed into it, with where its
// extension starts; a name ending in a full stop has none (offset 0), as
// Windows reports it, so that the dialog's Browse adds the filter's.
TEST(Win32Boxes, TheOpenFileDialogHandsBackTheTypedName) {
  SubstituteDialog d;
  const std::string image = d.WriteImage("picked.bin", SampleFor(8));
  const std::string stem = image.substr(0, image.size() - 4);
  struct Typed {
    std::string name;
    uint16_t extensionOffset;
  };
  const Typed cases[] = {{image, static_cast<uint16_t>(image.size() - 3)}, {stem + ".", 0}};
  d.h.Open();
  for (const Typed& typed : cases) {
    d.h.onBox = [&](HWND box) {
      constexpr int kFileNameBox = 0x47C;  // the dialog's file-name combo box
      ::SetDlgItemTextW(box, kFileNameBox, platform::win32::Wide(typed.name).c_str());
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
    platform::OpenFileResult chosen;
    ASSERT_TRUE(d.h.view.RunOpenFileDialog({"Firmware(*.bin)|*.bin||", 0x80006, 1}, &chosen)) << typed.name;
    EXPECT_EQ(chosen.path, typed.name);
    EXPECT_EQ(chosen.extensionOffset, typed.extensionOffset) << typed.name;
    EXPECT_EQ(chosen.filterIndex, 1);
  }
}

}  // namespace
