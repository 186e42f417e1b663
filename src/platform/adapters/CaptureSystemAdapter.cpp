#include "platform/adapters/CaptureSystemAdapter.h"

#include <utility>
#include <vector>

namespace platform {
namespace {

using Device = std::shared_ptr<IVideoInput>;

class CaptureFilter final : public ICaptureFilter {
 public:
  CaptureFilter(Device device, const ExtensionUnitAddress& unit) : device_(std::move(device)), unit_(unit) {}
  Status QueryKsControl(std::shared_ptr<IKsControl>* out) override {
    out->reset();
    std::shared_ptr<IExtensionUnitChannel> channel;
    const Status status = device_->OpenExtensionUnit(&channel);
    if (!Failed(status)) *out = std::make_shared<ExtensionUnitKsControl>(std::move(channel), unit_);
    return status;
  }

 private:
  Device device_;
  ExtensionUnitAddress unit_;
};

class PropertyBag final : public IPropertyBag {
 public:
  explicit PropertyBag(Device device) : device_(std::move(device)) {}
  Status Read(const std::string& name, std::string* value) override { return device_->ReadProperty(name, value); }

 private:
  Device device_;
};

class Moniker final : public IMoniker {
 public:
  Moniker(Device device, const ExtensionUnitAddress& unit) : device_(std::move(device)), unit_(unit) {}
  Status BindToFilter(std::shared_ptr<ICaptureFilter>* out) override {
    out->reset();
    const Status status = device_->Bind();
    if (!Failed(status)) *out = std::make_shared<CaptureFilter>(device_, unit_);
    return status;
  }
  Status BindToPropertyBag(std::shared_ptr<IPropertyBag>* out) override {
    out->reset();
    const Status status = device_->Bind();
    if (!Failed(status)) *out = std::make_shared<PropertyBag>(device_);
    return status;
  }

 private:
  Device device_;
  ExtensionUnitAddress unit_;
};

class Enumerator final : public IEnumMoniker {
 public:
  Enumerator(std::vector<Device> devices, const ExtensionUnitAddress& unit)
      : devices_(std::move(devices)), unit_(unit) {}

  Status Reset() override {
    next_ = 0;
    return kOk;
  }
  Status Skip(uint32_t count) override {
    const size_t left = devices_.size() - next_;
    if (count > left) {
      next_ = devices_.size();
      return kFalse;
    }
    next_ += count;
    return kOk;
  }
  Status Next(std::shared_ptr<IMoniker>* out) override {
    out->reset();
    if (next_ >= devices_.size()) return kFalse;
    *out = std::make_shared<Moniker>(devices_[next_++], unit_);
    return kOk;
  }

 private:
  std::vector<Device> devices_;
  ExtensionUnitAddress unit_;
  size_t next_ = 0;
};

}  // namespace

CaptureSystemAdapter::CaptureSystemAdapter(ICameraBackend& backend, ExtensionUnitAddress unit)
    : backend_(backend), unit_(std::move(unit)) {}

Status CaptureSystemAdapter::CreateVideoInputEnumerator(std::unique_ptr<IEnumMoniker>* out) {
  out->reset();
  std::vector<Device> devices;
  const Status status = backend_.ListVideoInputs(&devices);
  // An empty category is success without an enumerator.
  if (!Failed(status) && !devices.empty()) *out = std::make_unique<Enumerator>(std::move(devices), unit_);
  return status;
}

Status CaptureSystemAdapter::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  *devInst = 0;
  return backend_.QueryDeviceInstance(devicePath, devInst);
}

}  // namespace platform
