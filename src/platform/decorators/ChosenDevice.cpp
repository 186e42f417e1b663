#include "platform/decorators/ChosenDevice.h"

#include <utility>

namespace platform {

namespace {

std::string DevicePathOf(IMoniker& moniker) {
  std::shared_ptr<IPropertyBag> bag;
  std::string path;
  if (Failed(moniker.BindToPropertyBag(&bag)) || !bag || Failed(bag->Read("DevicePath", &path))) return {};
  return path;
}

// The monikers of one enumeration that were not left out, served in order.
class KeptMonikers : public IEnumMoniker {
 public:
  explicit KeptMonikers(std::vector<std::shared_ptr<IMoniker>> kept) : kept_(std::move(kept)) {}
  Status Reset() override {
    next_ = 0;
    return kOk;
  }
  Status Skip(uint32_t count) override {
    const size_t left = kept_.size() - next_;
    next_ += count <= left ? count : left;
    return count <= left ? kOk : kFalse;
  }
  Status Next(std::shared_ptr<IMoniker>* out) override {
    if (next_ >= kept_.size()) {
      out->reset();
      return kFalse;
    }
    *out = kept_[next_++];
    return kOk;
  }

 private:
  std::vector<std::shared_ptr<IMoniker>> kept_;
  size_t next_ = 0;
};

}  // namespace

std::optional<DeviceIdentity> DeviceIdentity::Of(const DeviceFacts& facts) {
  if (!facts.port || facts.port->empty()) return std::nullopt;
  return DeviceIdentity{*facts.port, facts.serialNumber, facts.usbVendorId, facts.usbProductId};
}

// A camera that comes back in download mode may show another USB id and
// another serial number, or none; its port then tells it. Under the same USB
// id another serial number is another camera put in its place.
bool DeviceIdentity::Matches(const DeviceFacts& facts) const {
  if (facts.port != port) return false;
  if (!serialNumber || !facts.serialNumber || *facts.serialNumber == *serialNumber) return true;
  const bool otherUsbId = (usbVendorId && facts.usbVendorId && *usbVendorId != *facts.usbVendorId) ||
                          (usbProductId && facts.usbProductId && *usbProductId != *facts.usbProductId);
  return otherUsbId;
}

ChosenDeviceCapture::ChosenDeviceCapture(ICaptureSystem& inner, std::set<std::string> leftOut,
                                         std::optional<DeviceIdentity> identity, IDeviceFacts* facts)
    : inner_(inner), leftOut_(std::move(leftOut)), identity_(std::move(identity)), facts_(facts) {}

bool ChosenDeviceCapture::Kept(const std::string& devicePath) {
  if (leftOut_.count(devicePath)) return false;
  if (!identity_) return true;
  return facts_ && !devicePath.empty() && identity_->Matches(facts_->Describe(devicePath));
}

Status ChosenDeviceCapture::CreateVideoInputEnumerator(std::unique_ptr<IEnumMoniker>* out) {
  std::unique_ptr<IEnumMoniker> all;
  const Status status = inner_.CreateVideoInputEnumerator(&all);
  if (Failed(status) || !all) {
    *out = std::move(all);
    return status;
  }
  std::vector<std::shared_ptr<IMoniker>> kept;
  all->Reset();
  for (std::shared_ptr<IMoniker> moniker; all->Next(&moniker) == kOk && moniker;)
    if (Kept(DevicePathOf(*moniker))) kept.push_back(moniker);
  *out = std::make_unique<KeptMonikers>(std::move(kept));
  return status;
}

Status ChosenDeviceCapture::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  return inner_.QueryDeviceInstance(devicePath, devInst);
}

std::vector<std::string> ListedDevicePaths(ICaptureSystem& capture) {
  std::vector<std::string> paths;
  std::unique_ptr<IEnumMoniker> all;
  if (Failed(capture.CreateVideoInputEnumerator(&all)) || !all) return paths;
  all->Reset();
  for (std::shared_ptr<IMoniker> moniker; all->Next(&moniker) == kOk && moniker;)
    paths.push_back(DevicePathOf(*moniker));
  return paths;
}

}  // namespace platform
