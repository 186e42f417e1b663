// The main dialog's life, its messages, its enabling rule and its colours.

#include "ui/ZarnetDlg.h"

#include "device/Device.h"
#include "download/DownloadMessages.h"
#include "download/DownloadThread.h"
#include "platform/Platform.h"
#include "ui/AboutDlg.h"
#include "ui/Resource.h"

CZarnetDlg* g_pMainDlg = nullptr;

const char kCloseWhileBusyText[] =
    "A firmware download is running. Close Zarnet after the result shows, "
    "so that the camera is not left half written.";
const char kCloseStuckText[] =
    "The camera has not answered for two minutes: its driver may be stuck. "
    "Closing now ends Zarnet with the download stopped midway, which can leave "
    "the camera's memory half written so that the camera does not start. "
    "Flash it again before unplugging it.\n\nClose Zarnet anyway?";

namespace {

namespace msg = platform::msg;

constexpr platform::Rgb kGreen{0, 255, 0};
constexpr platform::Rgb kRed{255, 0, 0};

// The result line before a job has ended.
const char kNoResult[] = "N/A";

}  // namespace

CZarnetDlg::CZarnetDlg(platform::IDialogView& view, platform::IWindow& window)
    : m_hWnd(&window), m_pFirmware(std::make_unique<uint8_t[]>(kImageBufferSize)), m_view(view) {
  m_hWnd->SetHandler(this);
}

CZarnetDlg::~CZarnetDlg() {
  // A dialog destroyed without OnDestroy still must not leave its thread behind.
  StopDownloadThread();
  if (m_cameraKey != 0) CloseCamera(m_cameraKey);
  m_cameraKey = 0;
  m_hWnd->SetHandler(nullptr);
}

void CZarnetDlg::UpdateData(bool saveAndValidate) {
  if (saveAndValidate) {
    m_strPath = m_view.GetText(IDC_EDIT_PATH);
    m_strVersion = m_view.GetText(IDC_VERSION);
    m_strResult = m_view.GetText(IDC_RESULT);
    m_strStatus = m_view.GetText(IDC_STATUS);
    return;
  }
  m_view.SetText(IDC_EDIT_PATH, m_strPath);
  m_view.SetText(IDC_VERSION, m_strVersion);
  m_view.SetText(IDC_RESULT, m_strResult);
  m_view.SetText(IDC_STATUS, m_strStatus);
  // The result is repainted with its colour whenever the texts are shown.
  m_view.SetTextColour(IDC_RESULT, *OnCtlColor(IDC_RESULT));
}

bool CZarnetDlg::OnInitDialog(bool takeDefaultFirmware) {
  ShowTexts();
  m_view.AddAboutMenuEntry(IDM_ABOUTBOX, IDS_ABOUTBOX);
  m_comInitialised = platform::Current().com->Initialize();
  m_view.SetTitle(m_view.GetTitle() + kTitleVersion);
  m_view.SetFont(IDC_RESULT, 24, 700);
  RegisterForDeviceNotifications();
  IdentifyCamera();
  m_view.Enable(IDC_BTN_BROWSE, false);
  m_view.Show(IDC_BTN_BROWSE, false);
  if (takeDefaultFirmware) FindDefaultFirmware();
  StartDownloadThread();
  return true;
}

void CZarnetDlg::RegisterForDeviceNotifications() {
  // The sink may run on any thread; the dialog handles the event on its own.
  m_hDevNotify = platform::Current().notifications->Register(
      platform::kCaptureInterfaceClass, [this](uint32_t event, const platform::DeviceBroadcast& device) {
        m_hWnd->PostTask([this, event, device] { OnDeviceChange(event, &device); });
      });
}

bool CZarnetDlg::StartDownloadThread() {
  auto thread = std::make_unique<CDownloadThread>();
  if (!thread->CreateThread()) return false;
  m_pThread = std::move(thread);
  return true;
}

void CZarnetDlg::StopDownloadThread() {
  if (!m_pThread) return;
  m_pThread->PostToThread(msg::kQuit, 0, 0);
  m_pThread->Join();
  m_pThread.reset();
}

void CZarnetDlg::OnOK() {}

void CZarnetDlg::OnCancel() {
  if (m_bBusy) {
    // A driver that never answers holds the download inside one request,
    // which nothing can end; after a long silence the user may give up on
    // it, warned what that leaves.
    if (!WorkerSilentTooLong()) {
      m_view.ShowMessageBox(kCloseWhileBusyText);
      return;
    }
    if (!m_view.AskYesNo(kCloseStuckText)) return;
    m_bAbandoned = true;
  }
  EndDialog();
}

void CZarnetDlg::NoteWorkerReport() { m_lastReportMs = platform::Current().clock->NowMilliseconds(); }

bool CZarnetDlg::WorkerSilentTooLong() const {
  return platform::Current().clock->NowMilliseconds() - m_lastReportMs >= kStuckAfterMs;
}

void CZarnetDlg::EndDialog() {
  m_bEnded = true;
  m_view.CloseDialog();
}

void CZarnetDlg::OnDestroy() {
  if (m_hDevNotify) {
    platform::Current().notifications->Unregister(m_hDevNotify);
    m_hDevNotify = 0;
  }
  if (m_pThread) {
    // The window goes first, so a download that is still reporting never
    // waits for a window that waits for it; the job itself runs to its end.
    m_hWnd->Close();
    StopDownloadThread();
  }
  // Only now: a running download works on this very key until it ends.
  if (m_cameraKey != 0) CloseCamera(m_cameraKey);
  m_cameraKey = 0;
  ReleaseThisThreadsCameraObjects();
  if (m_comInitialised) platform::Current().com->Uninitialize();
  m_comInitialised = false;
}

void CZarnetDlg::OnSysCommand(uint32_t id) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    m_view.RunAboutBox(about);
  }
}

intptr_t CZarnetDlg::OnDeviceChange(uint32_t event, const platform::DeviceBroadcast* device) {
  if (event == platform::kDeviceArrival) {
    if (!m_bBusy && device && device->deviceType == platform::kDeviceTypeInterface &&
        device->classGuid == platform::kCaptureInterfaceClass)
      IdentifyCamera();
  } else if (event == platform::kDeviceRemoveComplete) {
    if (!m_bBusy) IdentifyCamera();
  }
  return 1;
}

std::optional<platform::Rgb> CZarnetDlg::OnCtlColor(int controlId) const {
  if (controlId != IDC_RESULT) return std::nullopt;
  return m_bPass ? kGreen : kRed;
}

void CZarnetDlg::UpdateControlStates() {
  const bool connected = !m_bBusy && m_cameraKey != 0;
  m_view.Enable(IDC_BTN_GET_VERSION, connected);
  m_view.Enable(IDC_BTN_START, connected && m_bImageOk);
  m_view.Enable(IDC_VERSION, connected);
  m_view.SetProgressPos(0);
}

bool CZarnetDlg::StartEraseChip(int memoryClass) {
  if (m_bBusy) return false;
  m_memClass = memoryClass;
  return StartWorkerJob(WM_DL_ERASE_CHIP);
}

bool CZarnetDlg::StartResetCamera() { return !m_bBusy && StartWorkerJob(WM_DL_RESET_CAMERA); }

// As Start does: the result of an earlier job must not pass for this one's.
bool CZarnetDlg::StartWorkerJob(uint32_t message) {
  m_bPass = 0;
  m_strResult = kNoResult;
  ShowTexts();
  m_bBusy = 1;
  NoteWorkerReport();
  if (m_pThread && m_pThread->PostToThread(message, reinterpret_cast<uintptr_t>(this), 0)) return true;
  m_bBusy = 0;
  return false;
}

void CZarnetDlg::BeginJob(const std::string& status) {
  m_bPass = 0;
  m_strResult = kNoResult;
  SetProgressRange(0);
  ShowStatus(status);
}

void CZarnetDlg::ShowStatus(const std::string& status) {
  m_strStatus = status;
  ShowTexts();
}

void CZarnetDlg::SetProgressRange(uint32_t range) { m_view.SetProgressRange(0, static_cast<int32_t>(range)); }

void CZarnetDlg::SetProgress(uint32_t position) { m_view.SetProgressPos(static_cast<int32_t>(position)); }

void CZarnetDlg::EndJob(bool passed) {
  m_strResult = passed ? "Pass" : "FAIL";
  m_bPass = passed ? 1 : 0;
  ShowTexts();
  UpdateControlStates();
  m_view.SetProgressPos(0);
}

CZarnetDlg::JobResult CZarnetDlg::Result() const {
  JobResult result;
  if (m_strResult != kNoResult) result.outcome = m_bPass ? Outcome::Pass : Outcome::Fail;
  if (m_pThread) result.reason = m_pThread->m_strReason;
  return result;
}

intptr_t CZarnetDlg::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if ((message >= WM_DL_STATUS && message <= WM_DL_FINISHED) || message == msg::kProgressSetPos) NoteWorkerReport();
  switch (message) {
    case WM_DL_STATUS:
      // The download thread hands its text over with the message.
      if (lParam)
        ShowStatus(reinterpret_cast<const char*>(lParam));
      else
        ShowTexts();
      return 0;
    case WM_DL_PASS: EndJob(true); return 0;
    case WM_DL_FAIL: EndJob(false); return 0;
    case WM_DL_PROGRESS:
    case msg::kProgressSetPos: SetProgress(static_cast<uint32_t>(wParam)); return 0;
    case WM_DL_RANGE: SetProgressRange(static_cast<uint32_t>(wParam)); return 0;
    case WM_DL_FINISHED: IdentifyCamera(); return 0;
    case msg::kDeviceChange:
      return OnDeviceChange(static_cast<uint32_t>(wParam), reinterpret_cast<const platform::DeviceBroadcast*>(lParam));
    case msg::kSysCommand: OnSysCommand(static_cast<uint32_t>(wParam)); return 0;
    case msg::kClose: OnCancel(); return 0;
    case msg::kCommand: break;
    default: return 0;
  }
  const int id = static_cast<int>(wParam & 0xFFFF);
  if ((wParam >> 16) != msg::kButtonClicked) return 0;
  switch (id) {
    case IDC_BTN_BROWSE: OnBrowse(); break;
    case IDC_BTN_START: OnStart(); break;
    case IDC_BTN_GET_VERSION: OnGetVersion(); break;
    case msg::kIdOk: OnOK(); break;
    case msg::kIdCancel: OnCancel(); break;
    default: break;
  }
  return 0;
}

void ProgressCallback(int32_t done, int32_t) {
  CZarnetDlg* dlg = g_pMainDlg;
  if (!dlg || !dlg->m_pThread) return;
  const uint32_t position =
      static_cast<uint32_t>(done) + static_cast<uint32_t>(dlg->m_passIndex) * dlg->m_firmwareLength;
  dlg->m_hWnd->Send(msg::kProgressSetPos, position, 0);
}
