#pragma once
// The main dialog over a substitute world, in virtual time, behind any of
// its views. The test's thread is the window's thread and serves it. What
// differs between views (which window they need, how they are shown, how
// their thread is served) is a DialogFront, specialised for each view; this
// header has the one without a screen.

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/Device.h"
#include "download/DownloadMessages.h"
#include "download/DownloadThread.h"
#include "download/TransferLength.h"
#include "firmware/SampleImage.h"
#include "frontends/headless/HeadlessView.h"
#include "frontends/headless/HeadlessWindow.h"
#include "platform/FilesInFolder.h"
#include "platform/Platform.h"
#include "platform/substitute/SubstituteWorld.h"
#include "support/TempDir.h"
#include "ui/DialogSession.h"
#include "ui/Resource.h"
#include "ui/ZarnetDlg.h"

inline std::vector<uint8_t> SampleFor(int memClass, uint8_t fwType = 3, uint32_t size = 0) {
  const auto part = _QTL_UVC_Descriptor::TypicalPartForClass(memClass);
  _QTL_UVC_Descriptor::SampleOptions o;
  o.eepromId = part.eepromId;
  o.memType = part.memType;
  o.imageSize = size ? size : part.size;
  o.fwType = fwType;
  o.everyRecordClass = o.imageSize >= 4096;
  std::string error;
  return _QTL_UVC_Descriptor::BuildSampleImage(o, &error);
}

// The world's seams, with files from `files` instead.
inline platform::Platform WorldWithFiles(substitute::SubstituteWorld& world, platform::IFileSystem& files) {
  platform::Platform p = world.Platform();
  p.files = &files;
  return p;
}

// The window and view of one front end, as the harness needs them: `window`
// and `view` to build the dialog on, Shown (after the dialog's
// initialisation: the window shown and what is queued handled), PumpUntil
// (serves the window until `done` holds; false when it never will) and
// PumpPending.
template <typename View>
class DialogFront;

template <typename View>
class DialogHarnessOn : public DialogFront<View> {
 public:
  explicit DialogHarnessOn(const substitute::SubstituteWorldConfig& config = {})
      : world(config), files(dir.Path().string()) {
    inForce.emplace(WorldWithFiles(world, files));
  }

  ~DialogHarnessOn() {
    Close();
    if (world.ForeignReleaseCount() != 0) {
      // Windows' objects released outside their apartment: as wrong as a crash.
      std::fprintf(stderr, "a capture object was released on another thread than its own\n");
      std::abort();
    }
    ResetDeviceState();
    ForceEightByteTransfers(false);
    inForce.reset();
  }

  DialogHarnessOn(const DialogHarnessOn&) = delete;
  DialogHarnessOn& operator=(const DialogHarnessOn&) = delete;

  std::string WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) { return dir.Write(name, bytes); }

  // Builds the dialog as the application does and lets it initialise.
  void Open() {
    Close();  // a second Open starts afresh
    dlg = std::make_unique<CZarnetDlg>(this->view, this->window);
    session.emplace(*dlg);
    // Each time the worker runs dry it wakes the window's thread.
    if (dlg->m_pThread) dlg->m_pThread->SetIdleListener([this] { this->window.PostTask([] {}); });
    this->Shown();
  }

  void Close() {
    session.reset();
    dlg.reset();
  }

  // Serves the window until the download thread has nothing left to do,
  // then handles what is still queued (device notifications).
  bool WaitForWorker() {
    const bool idle = this->PumpUntil([this] { return dlg->m_pThread->IsIdle(); });
    this->PumpPending();
    return idle;
  }

  // Start as a click delivers it, then the download to its end.
  void ClickStart() {
    dlg->HandleMessage(platform::msg::kCommand, IDC_BTN_START, 0);
    WaitForWorker();
  }

  // Start pressed on the screen, for a front that can click its buttons.
  void ClickStartAndWait() {
    this->Click(IDC_BTN_START);
    WaitForWorker();
  }

  // The download thread's smaller jobs, on the memory class of the image
  // the dialog accepted (or the one a test gave it); false when the dialog
  // did not start the job.
  bool EraseChip() { return dlg->StartEraseChip(dlg->m_memClass) && WaitForWorker(); }
  bool ResetCamera() { return dlg->StartResetCamera() && WaitForWorker(); }

  substitute::SubstituteWorld world;
  TempDir dir;
  platform::FilesInFolder files;
  std::optional<platform::ScopedPlatform> inForce;
  std::unique_ptr<CZarnetDlg> dlg;
  std::optional<DialogSession> session;
};

// Without a screen: the test's thread pumps the window's queue itself.
template <>
class DialogFront<frontends::headless::HeadlessView> {
 public:
  DialogFront() {
    view.SetTitleForTest(kDialogCaption);
    view.OnChange([this](int id) {
      if (id == IDC_STATUS) statusLines.push_back(view.GetText(IDC_STATUS));
    });
  }

  void Shown() { window.PumpPending(); }
  bool PumpUntil(const std::function<bool()>& done) {
    window.PumpUntil(done);
    return done();
  }
  void PumpPending() { window.PumpPending(); }

  bool Enabled(int id) { return view.ControlState(id).enabled; }
  std::string Text(int id) { return view.GetText(id); }

  frontends::headless::HeadlessWindow window;
  frontends::headless::HeadlessView view;
  std::vector<std::string> statusLines;
};

using DialogHarness = DialogHarnessOn<frontends::headless::HeadlessView>;
