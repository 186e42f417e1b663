#include "device/CameraDevice.h"

#include <array>
#include <memory>

#include "device/CommandSet.h"
#include "device/Transport.h"

namespace {

// What the vendor firmware answers to the identify command.
constexpr std::array<uint8_t, 8> kIdentificationString = {'M', 'O', 'X', 'E', 'L', 'I', 'N', 0};

// Every data-control length the host uses, the power-up one first.
constexpr uint8_t kDataLengths[] = {8, 64, 32};

enum class Answer { kIdentified, kSomethingElse, kFailed };

Answer AskIdentity(CCameraDevice& camera) {
  std::array<uint8_t, 8> answer{};
  if (!Identify(camera, &answer)) return Answer::kFailed;
  return answer == kIdentificationString ? Answer::kIdentified : Answer::kSomethingElse;
}

}  // namespace

platform::Handle OpenDeviceFile(const std::string& devicePath) {
  if (devicePath.empty()) return platform::kInvalidHandle;
  return platform::Current().deviceFiles->Open(devicePath);
}

void CloseDeviceFile(platform::Handle* handle) {
  if (*handle == platform::kInvalidHandle) return;
  platform::Current().deviceFiles->Close(*handle);
  *handle = platform::kInvalidHandle;
}

int CCameraDevice::Open(int32_t* index, uint8_t dataLength) {
  std::unique_ptr<platform::IEnumMoniker> enumerator;
  const platform::Status created = platform::Current().capture->CreateVideoInputEnumerator(&enumerator);
  if (platform::Failed(created) || !enumerator) {
    // No device to find: the caller learns it as from an enumeration that ran out.
    *index = -1;
    return 0;
  }

  for (;;) {
    Close();
    if (!ReadMoniker(*enumerator, index)) {
      if (*index == -1) break;
      ++*index;
      continue;
    }
    // Key 0 means "no camera" to every caller, so a device without an
    // instance handle is passed over like one that fails the identity check.
    if (QueryDeviceInstance() && m_devInst != 0 && CheckIdentity(dataLength)) break;
    Close();
    ++*index;
  }
  return OpenDeviceHandle();
}

void CCameraDevice::Close() {
  m_ksControl.reset();
  m_filter.reset();
  CloseDeviceFile(&m_handle);
  m_devicePath.clear();
  m_friendlyName.clear();
  m_devInst = 0;
}

int CCameraDevice::ReadMoniker(platform::IEnumMoniker& enumerator, int32_t* index) {
  enumerator.Reset();
  if (*index != 0 && enumerator.Skip(static_cast<uint32_t>(*index)) != platform::kOk) {
    *index = -1;
    return 0;
  }
  std::shared_ptr<platform::IMoniker> moniker;
  if (enumerator.Next(&moniker) != platform::kOk || !moniker) return 0;

  std::shared_ptr<platform::ICaptureFilter> filter;
  std::shared_ptr<platform::IPropertyBag> bag;
  if (platform::Failed(moniker->BindToFilter(&filter)) || !filter) return 0;
  if (platform::Failed(moniker->BindToPropertyBag(&bag)) || !bag) return 0;

  std::string path;
  if (platform::Failed(bag->Read("DevicePath", &path))) return 0;
  m_devicePath = path;
  std::string name;
  if (!platform::Failed(bag->Read("FriendlyName", &name))) m_friendlyName = name;

  std::shared_ptr<platform::IKsControl> ksControl;
  if (platform::Failed(filter->QueryKsControl(&ksControl)) || !ksControl) return 0;
  m_filter = filter;
  m_ksControl = ksControl;
  m_deviceIndex = *index;
  return 1;
}

int CCameraDevice::QueryDeviceInstance() {
  uint32_t devInst = 0;
  if (platform::Failed(platform::Current().capture->QueryDeviceInstance(m_devicePath, &devInst))) return 0;
  m_devInst = devInst;
  return 1;
}

int CCameraDevice::OpenDeviceHandle() {
  CloseDeviceFile(&m_handle);
  const platform::Handle handle = OpenDeviceFile(m_devicePath);
  if (handle == platform::kInvalidHandle) return 0;
  m_handle = handle;
  return 1;
}

bool CCameraDevice::FixesControlSizes() const { return m_ksControl && m_ksControl->FixesControlSizes(); }

int CCameraDevice::CheckIdentity(uint8_t dataLength) {
  const bool fixes = FixesControlSizes();
  if (fixes && dataLength != 0) ChangeDataControlLength(*this, dataLength);
  const uint32_t tried = DataControlLength();
  Answer answer = AskIdentity(*this);
  // A camera that a run left mid-transfer (the host lost it, or it stopped
  // answering) refuses the first command it gets. The failure report's
  // clear block has made it ready, so it is asked once more: otherwise a
  // half-written camera would stay unrecognised until it is unplugged, which
  // is what it must not be.
  if (answer == Answer::kFailed && LastReportedFailure() == platform::kStalled) answer = AskIdentity(*this);
  if (answer != Answer::kFailed) return answer == Answer::kIdentified ? 1 : 0;
  // The driver holds the data control at another length for as long as the
  // camera stays enumerated (a run that failed midway left it there): the
  // camera is reachable at that length only, and only once it has it too.
  if (!fixes || LastReportedFailure() != platform::kBufferSizeRefused) return 0;
  for (const uint8_t length : kDataLengths) {
    if (length == tried) continue;
    ChangeDataControlLength(*this, length);
    if (DataControlLength() == length) return AskIdentity(*this) == Answer::kIdentified ? 1 : 0;
  }
  return 0;
}
