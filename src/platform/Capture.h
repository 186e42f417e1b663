#pragma once
// The camera-capture seam: enumeration of video-input devices, their property
// bags and capture filters, and the extension-unit property interface through
// which vendor commands reach a camera.

#include <memory>
#include <string>

#include "platform/Types.h"

namespace platform {

// Extension-unit property request as the capture framework frames it (32 bytes).
struct KsNodeProperty {
  Guid set;
  uint32_t id = 0;     // control selector
  uint32_t flags = 0;  // get or set, topology
  uint32_t nodeId = 0;
  uint32_t reserved = 0;

  static constexpr uint32_t kSize = 32;
  std::array<uint8_t, kSize> Bytes() const {
    std::array<uint8_t, kSize> b{};
    const auto g = set.Bytes();
    std::memcpy(b.data(), g.data(), 16);
    const uint32_t words[4] = {id, flags, nodeId, reserved};
    for (int w = 0; w < 4; ++w)
      for (int i = 0; i < 4; ++i) b[16 + 4 * w + i] = static_cast<uint8_t>(words[w] >> (8 * i));
    return b;
  }
};

constexpr uint32_t kKsPropertyGetTopology = 0x10000001;
constexpr uint32_t kKsPropertySetTopology = 0x10000002;

// Results of the capture framework besides the ones every seam shares.
constexpr Status kSetNotFound = static_cast<Status>(0x80070492u);      // no such property set on the filter
constexpr Status kPropertyMissing = static_cast<Status>(0x80070002u);  // the property bag lacks the name

// The capture filter's property interface. For a get, `data` receives at most
// `length` bytes and `*returned` their count; for a set, `data` holds `length`
// bytes. The result is the request's status.
class IKsControl {
 public:
  virtual ~IKsControl() = default;
  virtual Status KsProperty(const KsNodeProperty& property, uint32_t propertyLength, uint8_t* data, uint32_t length,
                            uint32_t* returned) = 0;
  // Whether the driver behind keeps each control at its first size for as
  // long as the device stays enumerated (see IExtensionUnitChannel).
  virtual bool FixesControlSizes() const { return false; }
};

class ICaptureFilter {
 public:
  virtual ~ICaptureFilter() = default;
  virtual Status QueryKsControl(std::shared_ptr<IKsControl>* out) = 0;
};

class IPropertyBag {
 public:
  virtual ~IPropertyBag() = default;
  // Reads a string property ("DevicePath", "FriendlyName").
  virtual Status Read(const std::string& name, std::string* value) = 0;
};

class IMoniker {
 public:
  virtual ~IMoniker() = default;
  virtual Status BindToFilter(std::shared_ptr<ICaptureFilter>* out) = 0;
  virtual Status BindToPropertyBag(std::shared_ptr<IPropertyBag>* out) = 0;
};

// Enumeration of the video-input devices at the moment it was created.
class IEnumMoniker {
 public:
  virtual ~IEnumMoniker() = default;
  virtual Status Reset() = 0;
  // kOk when `count` elements were skipped; kFalse when the end came first.
  virtual Status Skip(uint32_t count) = 0;
  // kOk with a moniker, or kFalse with none at the end.
  virtual Status Next(std::shared_ptr<IMoniker>* out) = 0;
};

class ICaptureSystem {
 public:
  virtual ~ICaptureSystem() = default;
  // A negative status when the enumerator can't be had; success with a null
  // enumerator when the video-input category is empty.
  virtual Status CreateVideoInputEnumerator(std::unique_ptr<IEnumMoniker>* out) = 0;
  // Device-instance handle of the present device behind a device path; 0 when
  // none. A negative status when the device list itself can't be had.
  virtual Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) = 0;
};

}  // namespace platform
