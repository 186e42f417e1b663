#pragma once
// The main dialog on a headless window and view, over a substitute world, in
// virtual time: the test's thread is the window's thread and pumps it.

#include <cstdio>
#include <cstdlib>
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

class DialogHarness {
 public:
  explicit DialogHarness(const substitute::SubstituteWorldConfig& config = {})
      : world(config), files(dir.Path().string()) {
    platform::Platform p = world.Platform();
    p.files = &files;
    inForce.emplace(p);
    view.SetTitleForTest(kDialogCaption);
    view.OnChange([this](int id) {
      if (id == IDC_STATUS) statusLines.push_back(view.GetText(IDC_STATUS));
    });
  }

  ~DialogHarness() {
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

  std::string WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) { return dir.Write(name, bytes); }

  // Builds the dialog as the application does and lets it initialise.
  void Open() {
    Close();  // a second Open starts afresh
    dlg = std::make_unique<CZarnetDlg>(view, window);
    session.emplace(*dlg);
    if (dlg->m_pThread) dlg->m_pThread->SetIdleListener([this] { window.PostTask([] {}); });
    window.PumpPending();
  }

  void Close() {
    session.reset();
    dlg.reset();
  }

  // Pumps the window until the download thread has nothing left to do, then
  // handles what is still queued (device notifications).
  bool WaitForWorker() {
    window.PumpUntil([this] { return dlg->m_pThread->IsIdle(); });
    window.PumpPending();
    return true;
  }

  void ClickStart() {
    dlg->HandleMessage(platform::msg::kCommand, IDC_BTN_START, 0);
    WaitForWorker();
  }

  // The download thread's smaller jobs, on the memory class of the image
  // the dialog accepted (or the one a test gave it); false when the dialog
  // did not start the job.
  bool EraseChip() { return dlg->StartEraseChip(dlg->m_memClass) && WaitForWorker(); }
  bool ResetCamera() { return dlg->StartResetCamera() && WaitForWorker(); }

  bool Enabled(int id) { return view.ControlState(id).enabled; }
  std::string Text(int id) { return view.GetText(id); }

  substitute::SubstituteWorld world;
  TempDir dir;
  platform::FilesInFolder files;
  std::optional<platform::ScopedPlatform> inForce;
  frontends::headless::HeadlessWindow window;
  frontends::headless::HeadlessView view;
  std::unique_ptr<CZarnetDlg> dlg;
  std::optional<DialogSession> session;
  std::vector<std::string> statusLines;
};
