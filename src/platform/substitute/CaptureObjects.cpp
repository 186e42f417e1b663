#include "platform/substitute/CaptureObjects.h"

#include <utility>

namespace substitute {
namespace {

// Counts the objects alive, so that tests can see a host release what it took.
class LiveToken {
 public:
  explicit LiveToken(std::shared_ptr<std::atomic<int>> counter) : counter_(std::move(counter)) { ++*counter_; }
  ~LiveToken() { --*counter_; }
  LiveToken(const LiveToken&) = delete;
  LiveToken& operator=(const LiveToken&) = delete;

 private:
  std::shared_ptr<std::atomic<int>> counter_;
};

// What every object holds: the world, weakly, and the device incarnation.
class DeviceObject {
 public:
  DeviceObject(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref)
      : core_(core), ref_(ref), token_(core->LiveObjects()) {}

 protected:
  std::weak_ptr<WorldCore> core_;
  DeviceRef ref_;

 private:
  LiveToken token_;
};

class KsControl final : public platform::IKsControl, private DeviceObject {
 public:
  using DeviceObject::DeviceObject;
  platform::Status KsProperty(const platform::KsNodeProperty& property, uint32_t propertyLength, uint8_t* data,
                              uint32_t length, uint32_t* returned) override {
    if (returned) *returned = 0;
    const std::shared_ptr<WorldCore> core = core_.lock();
    if (!core) return platform::kDeviceGone;
    return core->KsProperty(ref_, property, propertyLength, data, length, returned);
  }
};

class CaptureFilter final : public platform::ICaptureFilter, private DeviceObject {
 public:
  using DeviceObject::DeviceObject;
  platform::Status QueryKsControl(std::shared_ptr<platform::IKsControl>* out) override {
    out->reset();
    const std::shared_ptr<WorldCore> core = core_.lock();
    if (!core) return platform::kDeviceGone;
    const platform::Status status = core->QueryKsControl(ref_);
    if (!platform::Failed(status)) *out = std::make_shared<KsControl>(core, ref_);
    return status;
  }
};

class PropertyBag final : public platform::IPropertyBag, private DeviceObject {
 public:
  using DeviceObject::DeviceObject;
  platform::Status Read(const std::string& name, std::string* value) override {
    const std::shared_ptr<WorldCore> core = core_.lock();
    if (!core) return platform::kDeviceGone;
    return core->ReadProperty(ref_, name, value);
  }
};

class Moniker final : public platform::IMoniker, private DeviceObject {
 public:
  using DeviceObject::DeviceObject;
  platform::Status BindToFilter(std::shared_ptr<platform::ICaptureFilter>* out) override {
    return BindTo<CaptureFilter>(out);
  }
  platform::Status BindToPropertyBag(std::shared_ptr<platform::IPropertyBag>* out) override {
    return BindTo<PropertyBag>(out);
  }

 private:
  template <typename Object, typename Interface>
  platform::Status BindTo(std::shared_ptr<Interface>* out) {
    out->reset();
    const std::shared_ptr<WorldCore> core = core_.lock();
    if (!core) return platform::kDeviceGone;
    const platform::Status status = core->Bind(ref_);
    if (!platform::Failed(status)) *out = std::make_shared<Object>(core, ref_);
    return status;
  }
};

class Enumerator final : public platform::IEnumMoniker {
 public:
  Enumerator(const std::shared_ptr<WorldCore>& core, std::vector<DeviceRef> devices)
      : core_(core), devices_(std::move(devices)), token_(core->LiveObjects()) {}

  platform::Status Reset() override {
    next_ = 0;
    return platform::kOk;
  }
  platform::Status Skip(uint32_t count) override {
    const size_t left = devices_.size() - next_;
    if (count > left) {
      next_ = devices_.size();
      return platform::kFalse;
    }
    next_ += count;
    return platform::kOk;
  }
  platform::Status Next(std::shared_ptr<platform::IMoniker>* out) override {
    out->reset();
    const std::shared_ptr<WorldCore> core = core_.lock();
    if (!core || next_ >= devices_.size()) return platform::kFalse;
    *out = std::make_shared<Moniker>(core, devices_[next_++]);
    return platform::kOk;
  }

 private:
  std::weak_ptr<WorldCore> core_;
  std::vector<DeviceRef> devices_;
  size_t next_ = 0;
  LiveToken token_;
};

}  // namespace

std::unique_ptr<platform::IEnumMoniker> MakeEnumerator(const std::shared_ptr<WorldCore>& core,
                                                       std::vector<DeviceRef> devices) {
  return std::make_unique<Enumerator>(core, std::move(devices));
}

}  // namespace substitute
