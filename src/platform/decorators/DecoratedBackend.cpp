#include "platform/decorators/DecoratedBackend.h"

#include <utility>

namespace platform {
namespace {

using DecorationsFor = DecoratedCameraBackend::DecorationsFor;

class DecoratedVideoInput final : public IVideoInput {
 public:
  DecoratedVideoInput(std::shared_ptr<IVideoInput> inner, std::shared_ptr<const DecorationsFor> decorations)
      : inner_(std::move(inner)), decorations_(std::move(decorations)) {}

  Status Bind() override { return inner_->Bind(); }
  Status ReadProperty(const std::string& name, std::string* value) override {
    return inner_->ReadProperty(name, value);
  }

  // The device is told by its path, as a vendor-request path is; one that
  // can't tell its path any more gets the decorations of the empty path.
  Status OpenExtensionUnit(std::shared_ptr<IExtensionUnitChannel>* out) override {
    const Status status = inner_->OpenExtensionUnit(out);
    if (!*out) return status;
    std::string devicePath;
    if (Failed(inner_->ReadProperty("DevicePath", &devicePath))) devicePath.clear();
    *out = Decorate(std::move(*out), (*decorations_)(devicePath));
    return status;
  }

 private:
  std::shared_ptr<IVideoInput> inner_;
  std::shared_ptr<const DecorationsFor> decorations_;
};

}  // namespace

DecoratedCameraBackend::DecoratedCameraBackend(ICameraBackend& inner, DecorationsFor decorations)
    : inner_(inner), decorations_(std::make_shared<const DecorationsFor>(std::move(decorations))) {}

Status DecoratedCameraBackend::ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) {
  const Status status = inner_.ListVideoInputs(out);
  for (std::shared_ptr<IVideoInput>& device : *out)
    device = std::make_shared<DecoratedVideoInput>(std::move(device), decorations_);
  return status;
}

Status DecoratedCameraBackend::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  return inner_.QueryDeviceInstance(devicePath, devInst);
}

std::shared_ptr<IVendorRequestChannel> DecoratedCameraBackend::OpenVendorRequests(const std::string& devicePath) {
  std::shared_ptr<IVendorRequestChannel> channel = inner_.OpenVendorRequests(devicePath);
  return channel ? Decorate(std::move(channel), (*decorations_)(devicePath)) : nullptr;
}

}  // namespace platform
