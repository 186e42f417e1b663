#include "Session.h"

#include <unistd.h>

#include "Terminal.h"
#include "ui/Resource.h"

Session::Session(std::ostream& out, std::ostream& err, bool json)
    : report_(view_, out, err, json, !json && IsTerminal(STDERR_FILENO),
              {nullptr, [] { return TerminalColumns(STDERR_FILENO); }}) {
  if (!json && IsTerminal(STDERR_FILENO)) AllowTerminalSequences(STDERR_FILENO);
  view_.SetTitleForTest(kDialogCaption);
  dlg_ = std::make_unique<CZarnetDlg>(view_, window_);
}

Session::~Session() {
  report_.Detach();
  running_.reset();
}

void Session::Init(bool report) {
  if (report) report_.Attach();
  running_.emplace(*dlg_, false);
  dlg_->m_pThread->SetIdleListener([this] { window_.PostTask([] {}); });
  window_.PumpPending();
}

void Session::WaitForJob() {
  // The range a backup left is not the job's: a range set from now on is.
  dlg_->SetProgressRange(0);
  report_.JobStarts();
  window_.PumpUntil([this] { return dlg_->m_pThread->IsIdle(); });
  window_.PumpPending();
}

bool Session::EraseChip(int memoryClass) {
  if (!dlg_->StartEraseChip(memoryClass)) return false;
  WaitForJob();
  return true;
}

bool Session::ResetCamera() {
  if (!dlg_->StartResetCamera()) return false;
  WaitForJob();
  return true;
}

void Session::BeginJob(const std::string& status) {
  shownRange_ = 0;
  dlg_->BeginJob(status);
}

void Session::ShowStatus(const std::string& text) { dlg_->ShowStatus(text); }

void Session::ShowProgress(uint32_t done, uint32_t total) {
  if (total != shownRange_) {
    shownRange_ = total;
    dlg_->SetProgressRange(total);
  }
  dlg_->SetProgress(done);
}
