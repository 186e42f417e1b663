#pragma once
// The main dialog: its state is also the shared state of a download. The
// dialog reaches its controls through a view and receives messages through
// a window, so the same logic runs behind a desktop window, a terminal or a
// test.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceNotifications.h"
#include "platform/DialogView.h"
#include "platform/Window.h"

class CDownloadThread;

class CZarnetDlg final : public platform::IWindowHandler {
 public:
  static constexpr size_t kImageBufferSize = 65536;
  static constexpr uint32_t kMaxDownloadLength = 0xFFFE;

  CZarnetDlg(platform::IDialogView& view, platform::IWindow& window);
  ~CZarnetDlg() override;
  CZarnetDlg(const CZarnetDlg&) = delete;
  CZarnetDlg& operator=(const CZarnetDlg&) = delete;

  // Dialog life. Without the default firmware the caller chooses the image
  // itself (ChooseFirmware), as the command-line tool does.
  bool OnInitDialog(bool takeDefaultFirmware = true);
  void OnOK();      // Enter: nothing
  void OnCancel();  // Escape and the close box
  void OnDestroy();
  bool Ended() const { return m_bEnded; }
  // Loads the chosen image as a download would (at most its first 0xFFFE
  // bytes); the command line's verify compares the memory with them.
  bool ReadImageForDownload();
  // The window closed on a download stuck in its driver: the front end ends
  // the program at once, as the download thread cannot be waited for.
  bool Abandoned() const { return m_bAbandoned; }
  // How long the download thread may go without a report before closing
  // offers to abandon it.
  static constexpr uint64_t kStuckAfterMs = 120000;

  // Handlers.
  void OnSysCommand(uint32_t id);
  void OnStart();
  void OnBrowse();
  void OnGetVersion();
  intptr_t OnDeviceChange(uint32_t event, const platform::DeviceBroadcast* device);
  std::optional<platform::Rgb> OnCtlColor(int controlId) const;
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  // Operations other parts call.
  void IdentifyCamera();
  void FindDefaultFirmware();
  // Takes `path` as the image: shows it, judges it and updates the buttons.
  // A refused file gets its message and leaves the field empty, as Start is.
  void ChooseFirmware(const std::string& path);
  int AcceptImage(const std::string& path);
  void UpdateControlStates();
  static std::string FormatVersionText(const std::string& version);

  // The data exchange: false moves the fields to the controls (shows the
  // texts), true reads the controls back into the fields.
  void UpdateData(bool saveAndValidate);

  platform::IDialogView& View() { return m_view; }

  // A job runs: Start and Get Version wait, device changes are left alone.
  bool IsBusy() const { return m_bBusy != 0; }

  // The download thread's two smaller jobs, which the window has no button
  // for. The erase is told its memory class, as a command line may erase a
  // camera without choosing an image first. False when a job runs already
  // or the thread could not take this one.
  bool StartEraseChip(int memoryClass);
  bool StartResetCamera();

  // What a job shows while it runs. The download thread's messages arrive
  // here, and so does a job a front end runs by itself (reading the memory),
  // so that its lines and bar look like the download's.
  void BeginJob(const std::string& status);  // no result yet, an empty bar
  void ShowStatus(const std::string& status);
  void SetProgressRange(uint32_t range);
  void SetProgress(uint32_t position);
  void EndJob(bool passed);

  // The last job's outcome as the result line tells it; None before any job
  // and from Start on. The reason is what the download thread recorded of
  // its last failure, which the window never shows.
  enum class Outcome { None, Pass, Fail };
  struct JobResult {
    Outcome outcome = Outcome::None;
    std::string reason;
  };
  JobResult Result() const;

  // Fields, in the order the download run and acceptance know them.
  platform::IWindow* m_hWnd;
  std::string m_strPath;
  std::string m_strVersion = "N/A";
  std::string m_strResult = "N/A";
  int32_t m_bPass = 0;
  uint32_t m_cameraKey = 0;
  // Written by the download thread while the window's thread may look.
  std::atomic<int32_t> m_bBusy{0};
  uintptr_t m_hDevNotify = 0;
  std::unique_ptr<uint8_t[]> m_pFirmware;
  uint32_t m_firmwareLength = 0;
  int32_t m_passIndex = 0;
  std::string m_strStatus = "N/A";
  int32_t m_fwType = 0;
  std::string m_strError;
  int32_t m_bImageOk = 0;
  int32_t m_memClass = 8;
  std::unique_ptr<CDownloadThread> m_pThread;
  uint8_t m_chipGen = 0;

 private:
  void ShowTexts() { UpdateData(false); }
  void ReadTexts() { UpdateData(true); }
  bool StartDownloadThread();
  void StopDownloadThread();
  void EndDialog();
  bool StartWorkerJob(uint32_t message);
  bool IsCompatible() const;
  void RegisterForDeviceNotifications();
  void NoteWorkerReport();
  bool WorkerSilentTooLong() const;

  platform::IDialogView& m_view;
  bool m_bEnded = false;
  bool m_bAbandoned = false;
  bool m_comInitialised = false;
  uint64_t m_lastReportMs = 0;  // when the download thread last reported
};

// The controller generation for the key built from the two bytes at 0xFE21;
// nothing for a key the generation table does not list.
std::optional<uint8_t> GenerationForKey(uint16_t key);

// The dialog that ProgressCallback reports to; set by the application just
// before the dialog runs.
extern CZarnetDlg* g_pMainDlg;

// Handed to the device layer's transfers with progress; called on the
// download thread with the bytes done in the current transfer.
void ProgressCallback(int32_t done, int32_t total);

// Shown when the window is asked to close while a download runs.
extern const char kCloseWhileBusyText[];
extern const char kCloseStuckText[];
