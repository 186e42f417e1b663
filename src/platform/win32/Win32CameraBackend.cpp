#include "platform/win32/Win32CameraBackend.h"

#include <windows.h>

#include <dshow.h>

#include <ks.h>
#include <ksproxy.h>

#include <utility>

#include "platform/win32/ComPtr.h"
#include "platform/win32/DriverVendorRequests.h"
#include "platform/win32/KsExtensionUnit.h"
#include "platform/win32/WideText.h"

namespace platform::win32 {
namespace {

Status NoneGiven(HRESULT hr) { return FAILED(hr) ? static_cast<Status>(hr) : kNoInterface; }

// One device of the category, through its moniker. Reading its names binds
// only its property bag; the capture filter is bound when its extension unit
// is opened, so that listing the devices does not start their filters.
class DirectShowVideoInput final : public IVideoInput {
 public:
  explicit DirectShowVideoInput(ComPtr<::IMoniker> moniker) : moniker_(std::move(moniker)) {}

  Status Bind() override {
    if (bag_) return kOk;
    const HRESULT hr = moniker_->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag_.PutVoid());
    if (SUCCEEDED(hr) && bag_) return kOk;
    bag_.Reset();
    return NoneGiven(hr);
  }

  // A string property only: any other kind of value is refused as one.
  Status ReadProperty(const std::string& name, std::string* value) override {
    if (const Status bound = Bind(); Failed(bound)) return bound;
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

  // Whether the camera's unit is there is for the driver to say: it refuses
  // the requests of a filter without it.
  Status OpenExtensionUnit(std::shared_ptr<IExtensionUnitChannel>* out) override {
    out->reset();
    ComPtr<IBaseFilter> filter;
    HRESULT hr = moniker_->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid());
    if (FAILED(hr) || !filter) return NoneGiven(hr);
    ComPtr<::IKsControl> control;
    hr = filter->QueryInterface(IID_IKsControl, control.PutVoid());
    if (FAILED(hr) || !control) return NoneGiven(hr);
    *out = std::make_shared<KsExtensionUnit>(std::move(control));
    return kOk;
  }

 private:
  ComPtr<::IMoniker> moniker_;
  ComPtr<::IPropertyBag> bag_;
};

// The port names the USB device, not one of its interfaces: a camera that
// comes back in download mode may be no composite device, and it is the same
// camera.
std::string PortOfLocation(const std::string& location) {
  const size_t lastStep = location.rfind("#USBMI(");
  return lastStep == std::string::npos ? location : location.substr(0, lastStep);
}

}  // namespace

// The whole category at once: what is skipped over later is then never asked
// of the system's enumerator again (wine's Skip on this category reports
// success past the end and starts again at the first device).
Status Win32CameraBackend::ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) {
  out->clear();
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr =
      ::CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC, IID_ICreateDevEnum, devices.PutVoid());
  if (FAILED(hr)) return static_cast<Status>(hr);
  ComPtr<::IEnumMoniker> monikers;
  hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0);
  // S_FALSE, or success without an enumerator: the category is empty.
  if (hr != S_OK || !monikers) return static_cast<Status>(hr);
  for (;;) {
    ComPtr<::IMoniker> moniker;
    ULONG fetched = 0;
    if (monikers->Next(1, moniker.Put(), &fetched) != S_OK || fetched != 1 || !moniker) break;
    out->push_back(std::make_shared<DirectShowVideoInput>(std::move(moniker)));
  }
  return kOk;
}

Status Win32CameraBackend::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  return LookUpDeviceInstance(setup_, Wide(devicePath), devInst);
}

std::shared_ptr<IVendorRequestChannel> Win32CameraBackend::OpenVendorRequests(const std::string& devicePath) {
  return DriverVendorRequests::Open(devicePath);
}

DeviceFacts Win32CameraBackend::Describe(const std::string& devicePath) {
  DeviceFacts facts;
  if (const std::wstring location = LookUpLocationPath(setup_, Wide(devicePath)); !location.empty())
    facts.port = PortOfLocation(Narrow(location));
  return facts;
}

}  // namespace platform::win32
