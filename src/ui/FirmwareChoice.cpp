// Which image a download writes, and Start.

#include "download/DownloadMessages.h"
#include "download/DownloadThread.h"
#include "download/ImageAcceptance.h"
#include "platform/Platform.h"
#include "ui/Resource.h"
#include "ui/ZarnetDlg.h"

namespace {

const char kFirmwareFilter[] = "Firmware(*.bin)|*.bin||";
constexpr uint32_t kOpenFileFlags = 0x80006;  // explorer style, no read-only box, overwrite prompt
constexpr uint32_t kThreadStartWaitMs = 100;

}  // namespace

void CZarnetDlg::FindDefaultFirmware() {
  platform::IFileSystem& files = *platform::Current().files;
  const std::string directory = files.CurrentDirectory();
  std::string path = m_strPath;
  // A current directory the host cannot tell comes back empty; searching it
  // would name an image at the root of the drive.
  const std::vector<std::string> names =
      directory.empty() ? std::vector<std::string>{} : files.FindFiles(directory, "*.bin");
  for (const std::string& name : names) {
    if (name == "." || name == "..") continue;
    path = directory;
    path += files.PathSeparator();
    path += name;
    break;
  }
  ChooseFirmware(path);
}

void CZarnetDlg::ChooseFirmware(const std::string& path) {
  m_strPath = path;
  ShowTexts();
  if (!AcceptImage(m_strPath)) {
    // The field names the refused file while its message is up; afterwards it
    // must not look chosen. Nor may an earlier image: Start stays disabled
    // until an image is accepted, so the field is left empty.
    m_view.ShowMessageBox(m_strError);
    m_strPath.clear();
    m_view.SetText(IDC_EDIT_PATH, m_strPath);
  }
  UpdateControlStates();
}

int CZarnetDlg::AcceptImage(const std::string& path) {
  m_bImageOk = 0;
  const ImageVerdict verdict = JudgeFirmwareImage(path);
  if (verdict.fwType) m_fwType = *verdict.fwType;
  if (verdict.memoryClass) m_memClass = *verdict.memoryClass;
  if (!verdict.accepted) {
    m_strError = verdict.error;
    return 0;
  }
  m_bImageOk = 1;
  return 1;
}

// Generations 0, 2, 4 and 5 take firmware types 0, 2, 5 and 6; generations 1
// and 3 take 1, 3 and 4; any later generation takes every type.
bool CZarnetDlg::IsCompatible() const {
  switch (m_chipGen) {
    case 0:
    case 2:
    case 4:
    case 5: return m_fwType == 0 || m_fwType == 2 || m_fwType == 5 || m_fwType == 6;
    case 1:
    case 3: return m_fwType == 1 || m_fwType == 3 || m_fwType == 4;
    default: return true;
  }
}

// Reads at most 0xFFFE bytes of the image into the dialog's buffer; false
// (with its message shown) when the file can't be had.
bool CZarnetDlg::ReadImageForDownload() {
  platform::IFileSystem& files = *platform::Current().files;
  if (m_strPath.empty()) {
    m_view.ShowMessageBox("Please select VD code location");
    return false;
  }
  if (!files.GetStatus(m_strPath)) {
    m_view.ShowMessageBox(m_strPath + " does not exist");
    return false;
  }
  auto file = files.OpenRead(m_strPath, true);
  if (!file) {
    m_view.ShowMessageBox("Fail to open file " + m_strPath);
    return false;
  }
  m_firmwareLength = kMaxDownloadLength;
  m_passIndex = 0;
  m_firmwareLength = static_cast<uint32_t>(file->Read(m_pFirmware.get(), kMaxDownloadLength));
  return true;
}

void CZarnetDlg::OnStart() {
  if (m_bBusy) return;
  ReadTexts();
  if (!IsCompatible()) {
    m_strError = "Firmware file is not for this Camera Device";
    m_view.ShowMessageBox(m_strError);
    return;
  }
  m_bPass = 0;
  m_strResult = "N/A";
  ShowTexts();
  ReadTexts();
  if (!ReadImageForDownload()) return;
  m_bBusy = 1;
  NoteWorkerReport();  // the silence of a stuck download counts from here
  m_bPass = 0;
  m_view.SetProgressRange(0, static_cast<int32_t>(m_firmwareLength));
  if (!m_pThread) {
    StartDownloadThread();
    platform::Sleep(kThreadStartWaitMs);
  }
  if (!m_pThread || !m_pThread->PostToThread(WM_DL_DOWNLOAD, reinterpret_cast<uintptr_t>(this), 0)) {
    // Nothing would ever clear the busy state: give the buttons back instead.
    m_bBusy = 0;
    m_view.ShowMessageBox("The download could not be started.");
  }
  UpdateControlStates();
}

void CZarnetDlg::OnBrowse() {
  ReadTexts();
  platform::OpenFileRequest request;
  request.filter = kFirmwareFilter;
  request.flags = kOpenFileFlags;
  request.filterIndex = 1;
  platform::OpenFileResult chosen;
  if (!m_view.RunOpenFileDialog(request, &chosen)) return;
  std::string path = chosen.path;
  if (chosen.extensionOffset == 0) {
    // A name typed with a final full stop gets the filter's extension; the
    // full stop is not doubled.
    if (path.empty() || path.back() != '.') path += '.';
    if (chosen.filterIndex == 1) path += "bin";
  }
  ChooseFirmware(path);
}
