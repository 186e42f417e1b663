#include "platform/win32/DirectShowCapture.h"

#include <windows.h>

#include <dshow.h>

#include <ks.h>
#include <ksproxy.h>

#include <algorithm>
#include <utility>

#include "platform/win32/ComPtr.h"
#include "platform/win32/SystemGuid.h"
#include "platform/win32/WideText.h"

namespace platform::win32 {
namespace {

// The kernel-streaming node request, as the capture seam describes it.
static_assert(sizeof(KSP_NODE) == KsNodeProperty::kSize, "KSP_NODE is the 32-byte node request");

KSP_NODE NodeRequest(const KsNodeProperty& property) {
  KSP_NODE node{};
  node.Property.Set = ToSystemGuid(property.set);
  node.Property.Id = property.id;
  node.Property.Flags = property.flags;
  node.NodeId = property.nodeId;
  node.Reserved = property.reserved;
  return node;
}

class KsControl final : public platform::IKsControl {
 public:
  explicit KsControl(ComPtr<::IKsControl> control) : control_(std::move(control)) {}

  Status KsProperty(const KsNodeProperty& property, uint32_t propertyLength, uint8_t* data, uint32_t length,
                    uint32_t* returned) override {
    KSP_NODE node = NodeRequest(property);
    ULONG count = 0;
    // Never more of the request than there is of it.
    const ULONG nodeLength = std::min<ULONG>(propertyLength, sizeof(node));
    const HRESULT hr = control_->KsProperty(reinterpret_cast<PKSPROPERTY>(&node), nodeLength, data, length, &count);
    if (returned) *returned = count;
    return static_cast<Status>(hr);
  }

 private:
  ComPtr<::IKsControl> control_;
};

class CaptureFilter final : public ICaptureFilter {
 public:
  explicit CaptureFilter(ComPtr<IBaseFilter> filter) : filter_(std::move(filter)) {}

  Status QueryKsControl(std::shared_ptr<platform::IKsControl>* out) override {
    out->reset();
    ComPtr<::IKsControl> control;
    const HRESULT hr = filter_->QueryInterface(IID_IKsControl, control.PutVoid());
    if (SUCCEEDED(hr) && control) *out = std::make_shared<KsControl>(std::move(control));
    return static_cast<Status>(hr);
  }

 private:
  ComPtr<IBaseFilter> filter_;
};

class PropertyBag final : public platform::IPropertyBag {
 public:
  explicit PropertyBag(ComPtr<::IPropertyBag> bag) : bag_(std::move(bag)) {}

  // A string property only: any other kind of value is refused as one.
  Status Read(const std::string& name, std::string* value) override {
    // Left empty, the bag fills in the value's own type; a type asked for
    // here would leave a string to free after a failed read.
    VARIANT variant;
    ::VariantInit(&variant);
    HRESULT hr = bag_->Read(Wide(name).c_str(), &variant, nullptr);
    if (SUCCEEDED(hr)) {
      if (variant.vt == VT_BSTR && variant.bstrVal)
        *value = Narrow(variant.bstrVal, ::SysStringLen(variant.bstrVal));
      else if (variant.vt == VT_BSTR)
        value->clear();
      else
        hr = DISP_E_TYPEMISMATCH;
    }
    ::VariantClear(&variant);
    return static_cast<Status>(hr);
  }

 private:
  ComPtr<::IPropertyBag> bag_;
};

class Moniker final : public platform::IMoniker {
 public:
  explicit Moniker(ComPtr<::IMoniker> moniker) : moniker_(std::move(moniker)) {}

  Status BindToFilter(std::shared_ptr<ICaptureFilter>* out) override {
    out->reset();
    ComPtr<IBaseFilter> filter;
    const HRESULT hr = moniker_->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid());
    if (SUCCEEDED(hr) && filter) *out = std::make_shared<CaptureFilter>(std::move(filter));
    return static_cast<Status>(hr);
  }

  Status BindToPropertyBag(std::shared_ptr<platform::IPropertyBag>* out) override {
    out->reset();
    ComPtr<::IPropertyBag> bag;
    const HRESULT hr = moniker_->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid());
    if (SUCCEEDED(hr) && bag) *out = std::make_shared<PropertyBag>(std::move(bag));
    return static_cast<Status>(hr);
  }

 private:
  ComPtr<::IMoniker> moniker_;
};

class Enumerator final : public platform::IEnumMoniker {
 public:
  // Holds the device enumerator as long as the enumeration it made.
  Enumerator(ComPtr<ICreateDevEnum> devices, ComPtr<::IEnumMoniker> monikers)
      : devices_(std::move(devices)), monikers_(std::move(monikers)) {}

  Status Reset() override { return static_cast<Status>(monikers_->Reset()); }

  // Wine's Skip on this category reports success past the end, after which
  // Next starts again at the first device; the camera search, which stops
  // only when Skip fails, would then never end. Skipping with Next keeps the
  // contract on every system: S_FALSE when the end comes first.
  Status Skip(uint32_t count) override {
    for (uint32_t i = 0; i < count; ++i) {
      ComPtr<::IMoniker> passed;
      const HRESULT hr = monikers_->Next(1, passed.Put(), nullptr);
      if (hr != S_OK) return FAILED(hr) ? static_cast<Status>(hr) : kFalse;
    }
    return kOk;
  }

  Status Next(std::shared_ptr<platform::IMoniker>* out) override {
    out->reset();
    ComPtr<::IMoniker> moniker;
    ULONG fetched = 0;
    const HRESULT hr = monikers_->Next(1, moniker.Put(), &fetched);
    if (hr != S_OK) return FAILED(hr) ? static_cast<Status>(hr) : kFalse;
    if (fetched != 1 || !moniker) return kFalse;
    *out = std::make_shared<Moniker>(std::move(moniker));
    return kOk;
  }

 private:
  ComPtr<ICreateDevEnum> devices_;
  ComPtr<::IEnumMoniker> monikers_;
};

}  // namespace

Status DirectShowCapture::CreateVideoInputEnumerator(std::unique_ptr<platform::IEnumMoniker>* out) {
  out->reset();
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr =
      ::CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC, IID_ICreateDevEnum, devices.PutVoid());
  if (FAILED(hr)) return static_cast<Status>(hr);
  ComPtr<::IEnumMoniker> monikers;
  hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0);
  // S_FALSE, or success without an enumerator: the category is empty.
  if (hr == S_OK && monikers) *out = std::make_unique<Enumerator>(std::move(devices), std::move(monikers));
  return static_cast<Status>(hr);
}

Status DirectShowCapture::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  return LookUpDeviceInstance(setup_, Wide(devicePath), devInst);
}

}  // namespace platform::win32
