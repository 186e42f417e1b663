#pragma once
// The dialog on a terminal: a headless window served by the command's own
// thread, with the view's changes told by a TerminalReport.

#include <cstdint>
#include <memory>
#include <optional>

#include "TerminalReport.h"
#include "download/DownloadThread.h"
#include "frontends/headless/HeadlessView.h"
#include "frontends/headless/HeadlessWindow.h"
#include "ui/DialogSession.h"
#include "ui/ZarnetDlg.h"

class Session {
 public:
  Session(std::ostream& out, std::ostream& err, bool json);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CZarnetDlg& Dlg() { return *dlg_; }
  frontends::headless::HeadlessView& View() { return view_; }
  TerminalReport& Report() { return report_; }

  // Starts the dialog (which identifies the first camera); with `report`
  // every change of the view is told from now on.
  void Init(bool report);
  // Serves the window until the download thread has nothing left to do.
  void WaitForJob();
  // Runs the download thread's erase-chip job (on `memoryClass`) or its
  // reset job to the end; false when the dialog did not start it.
  bool EraseChip(int memoryClass);
  bool ResetCamera();
  // A job of the command's own, shown as the download thread's are.
  void BeginJob(const std::string& status);
  void ShowStatus(const std::string& text);
  void ShowProgress(uint32_t done, uint32_t total);

 private:
  frontends::headless::HeadlessWindow window_;
  frontends::headless::HeadlessView view_;
  TerminalReport report_;
  std::unique_ptr<CZarnetDlg> dlg_;
  std::optional<DialogSession> running_;
  uint32_t shownRange_ = 0;
};
