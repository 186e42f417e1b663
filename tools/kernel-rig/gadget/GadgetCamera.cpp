#include "GadgetCamera.h"

#include <linux/usb/video.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "UvcDescriptors.h"
#include "platform/CameraExtensionUnit.h"
#include "platform/substitute/CameraProtocol.h"

namespace rig {
namespace {

// Request error codes the video-control interface reports after a stall.
constexpr uint8_t kNoError = 0x00;
constexpr uint8_t kInvalidControl = 0x06;
constexpr uint8_t kInvalidRequest = 0x07;
constexpr uint8_t kUnknownError = 0xFF;  // the camera refused: the host driver says EPIPE

constexpr uint8_t kGetAndSet = 0x03;
constexpr uint16_t kDecoyControlLength = 4;

uint8_t Selector(const usb_ctrlrequest& setup) { return static_cast<uint8_t>(setup.wValue >> 8); }
bool TowardsHost(const usb_ctrlrequest& setup) { return (setup.bRequestType & USB_DIR_IN) != 0; }

std::vector<uint8_t> Little16(uint16_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
}

}  // namespace

GadgetCamera::GadgetCamera(substitute::SubstituteWorld& world, substitute::DeviceId camera, GadgetOptions options)
    : world_(world), camera_(camera), options_(std::move(options)) {}

void GadgetCamera::OpenChannels() {
  unit_.reset();
  std::vector<std::shared_ptr<platform::IVideoInput>> inputs;
  world_.Backend().ListVideoInputs(&inputs);
  if (!inputs.empty()) inputs.front()->OpenExtensionUnit(&unit_);
  vendor_ = world_.Backend().OpenVendorRequests(world_.DevicePath(camera_));
}

bool GadgetCamera::ServeAppearance(std::string* error) {
  RawGadget gadget(options_.udcDriver, options_.udcDevice, error);
  if (!gadget.Ok()) return false;
  OpenChannels();
  streamingControl_ = DefaultStreamingControl();
  lastError_ = kNoError;
  // The camera may leave while it answers (a reset, an unplug); closing the
  // gadget then takes it off the bus.
  while (world_.IsPresent(camera_)) {
    GadgetEvent event;
    if (!gadget.Fetch(&event)) {
      *error = "raw gadget: fetching the next event failed";
      return false;
    }
    if (event.kind != GadgetEvent::kControl) continue;
    counts_.all += 1;
    switch (Handle(gadget, event.setup)) {
      case Outcome::kAnswered: break;
      case Outcome::kStalled: gadget.Stall(); break;
      case Outcome::kSilent:
        // A camera that stops answering: the host gives up on the request,
        // and only then does the camera drop it and listen again.
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.silenceMs));
        gadget.Stall();
        break;
    }
  }
  return true;
}

GadgetCamera::Outcome GadgetCamera::Handle(RawGadget& gadget, const usb_ctrlrequest& setup) {
  const uint8_t type = setup.bRequestType & USB_TYPE_MASK;
  const uint8_t recipient = setup.bRequestType & USB_RECIP_MASK;
  if (type == USB_TYPE_STANDARD) return Standard(gadget, setup);
  if (type == USB_TYPE_CLASS && recipient == USB_RECIP_INTERFACE) {
    const uint8_t interface = static_cast<uint8_t>(setup.wIndex);
    if (interface == kControlInterface) return VideoControl(gadget, setup);
    if (interface == kStreamingInterface) return VideoStreaming(gadget, setup);
  }
  if (type == USB_TYPE_VENDOR && recipient == USB_RECIP_DEVICE) return Vendor(gadget, setup);
  return Outcome::kStalled;
}

GadgetCamera::Outcome GadgetCamera::Reply(RawGadget& gadget, const usb_ctrlrequest& setup,
                                          const std::vector<uint8_t>& bytes) {
  if (!TowardsHost(setup)) return Outcome::kStalled;
  const size_t length = std::min<size_t>(bytes.size(), setup.wLength);
  gadget.Send(bytes.data(), length);
  return Outcome::kAnswered;
}

GadgetCamera::Outcome GadgetCamera::Ack(RawGadget& gadget) {
  gadget.Receive(nullptr, 0);
  return Outcome::kAnswered;
}

GadgetCamera::Outcome GadgetCamera::Standard(RawGadget& gadget, const usb_ctrlrequest& setup) {
  switch (setup.bRequest) {
    case USB_REQ_GET_DESCRIPTOR:
      switch (setup.wValue >> 8) {
        case USB_DT_DEVICE: return Reply(gadget, setup, DeviceDescriptor());
        case USB_DT_CONFIG: return Reply(gadget, setup, ConfigurationDescriptor());
        case USB_DT_DEVICE_QUALIFIER: return Reply(gadget, setup, DeviceQualifier());
        case USB_DT_STRING:
          if (const auto text = StringDescriptor(static_cast<uint8_t>(setup.wValue), options_.serial))
            return Reply(gadget, setup, *text);
          return Outcome::kStalled;
        default: return Outcome::kStalled;
      }
    case USB_REQ_SET_CONFIGURATION: {
      if (!gadget.Configure(StreamingEndpointDescriptor(), 500)) return Outcome::kStalled;
      // The scenarios wait for this line once, at the first enumeration.
      if (!announcedReady_) {
        std::printf("gadget: ready\n");
        std::fflush(stdout);
        announcedReady_ = true;
      }
      return Ack(gadget);
    }
    case USB_REQ_GET_CONFIGURATION: return Reply(gadget, setup, {kConfigurationValue});
    case USB_REQ_GET_INTERFACE: return Reply(gadget, setup, {0});
    case USB_REQ_GET_STATUS: return Reply(gadget, setup, {0, 0});
    case USB_REQ_SET_INTERFACE:
    case USB_REQ_CLEAR_FEATURE:
    case USB_REQ_SET_FEATURE: return Ack(gadget);
    default: return Outcome::kStalled;
  }
}

GadgetCamera::Outcome GadgetCamera::VideoControl(RawGadget& gadget, const usb_ctrlrequest& setup) {
  const uint8_t entity = static_cast<uint8_t>(setup.wIndex >> 8);
  if (entity == 0 && Selector(setup) == UVC_VC_REQUEST_ERROR_CODE_CONTROL) {
    if (setup.bRequest == UVC_GET_INFO) return Reply(gadget, setup, {0x01});
    if (setup.bRequest == UVC_GET_CUR) return Reply(gadget, setup, {lastError_});
  }
  Outcome outcome = Outcome::kStalled;
  lastError_ = kInvalidControl;
  if (entity == kCameraUnit) {
    lastError_ = kUnknownError;
    outcome = CameraUnit(gadget, setup);
  } else if (entity == kDecoyUnit) {
    outcome = DecoyUnit(gadget, setup);
  }
  if (outcome == Outcome::kAnswered) lastError_ = kNoError;
  return outcome;
}

// Whether the camera refuses a set whatever its bytes: a command block of
// the wrong size, data without a transfer towards the camera open, or data
// of another length than the data control's. The host's controller ends a
// set's status stage as soon as its data has moved, so a refusal can only
// show at once when it is decided before the data is read.
bool GadgetCamera::RefusesDataWithoutLooking(uint16_t length) {
  return !(world_.TransferOpen(camera_) && world_.CommandStatus(camera_) == substitute::camera_status::kDataOut &&
           length == world_.DataLength(camera_));
}

GadgetCamera::Outcome GadgetCamera::CameraUnit(RawGadget& gadget, const usb_ctrlrequest& setup) {
  counts_.extensionUnit += 1;
  if (!unit_) return Outcome::kStalled;
  const uint8_t selector = Selector(setup);
  const bool data = selector == platform::kCameraDataSelector;
  std::vector<uint8_t> bytes(setup.wLength);
  switch (setup.bRequest) {
    case UVC_GET_LEN: {
      uint16_t length = 0;
      if (platform::Failed(unit_->GetLength(selector, &length))) return Outcome::kStalled;
      return Reply(gadget, setup, Little16(length));
    }
    case UVC_GET_INFO: return Reply(gadget, setup, {kGetAndSet});
    case UVC_GET_CUR: {
      // A read longer than the data control is refused outright; the world
      // would serve it as a driver serves a larger buffer.
      if (data && setup.wLength > world_.DataLength(camera_)) return Outcome::kStalled;
      uint32_t returned = 0;
      if (platform::Failed(unit_->Get(selector, bytes.data(), setup.wLength, &returned))) return Outcome::kStalled;
      bytes.resize(returned);
      return Reply(gadget, setup, bytes);
    }
    case UVC_SET_CUR: {
      if (data && options_.silentWrite != 0 && ++dataWrites_ == options_.silentWrite) return Outcome::kSilent;
      const bool refused =
          data ? RefusesDataWithoutLooking(setup.wLength) : setup.wLength != substitute::kCommandBlockSize;
      if (refused) {
        // The camera still sees the access, and latches why it refused it.
        unit_->Set(selector, bytes.data(), setup.wLength);
        return Outcome::kStalled;
      }
      if (gadget.Receive(bytes.data(), bytes.size()) != static_cast<long>(bytes.size())) return Outcome::kAnswered;
      unit_->Set(selector, bytes.data(), setup.wLength);
      return Outcome::kAnswered;
    }
    default: return Outcome::kStalled;
  }
}

GadgetCamera::Outcome GadgetCamera::DecoyUnit(RawGadget& gadget, const usb_ctrlrequest& setup) {
  switch (setup.bRequest) {
    case UVC_GET_LEN: return Reply(gadget, setup, Little16(kDecoyControlLength));
    case UVC_GET_INFO: return Reply(gadget, setup, {kGetAndSet});
    case UVC_GET_CUR: return Reply(gadget, setup, std::vector<uint8_t>(kDecoyControlLength, 0));
    case UVC_SET_CUR: {
      std::vector<uint8_t> ignored(setup.wLength);
      gadget.Receive(ignored.data(), ignored.size());
      return Outcome::kAnswered;
    }
    default: lastError_ = kInvalidRequest; return Outcome::kStalled;
  }
}

GadgetCamera::Outcome GadgetCamera::VideoStreaming(RawGadget& gadget, const usb_ctrlrequest& setup) {
  const uint8_t selector = Selector(setup);
  if (selector != UVC_VS_PROBE_CONTROL && selector != UVC_VS_COMMIT_CONTROL) return Outcome::kStalled;
  switch (setup.bRequest) {
    case UVC_GET_CUR:
    case UVC_GET_MIN:
    case UVC_GET_MAX:
    case UVC_GET_DEF: return Reply(gadget, setup, streamingControl_);
    case UVC_GET_LEN: return Reply(gadget, setup, Little16(static_cast<uint16_t>(streamingControl_.size())));
    case UVC_GET_INFO: return Reply(gadget, setup, {kGetAndSet});
    case UVC_SET_CUR: {
      std::vector<uint8_t> bytes(setup.wLength);
      const long received = gadget.Receive(bytes.data(), bytes.size());
      if (received > 0) streamingControl_.assign(bytes.begin(), bytes.begin() + received);
      return Outcome::kAnswered;
    }
    default: return Outcome::kStalled;
  }
}

GadgetCamera::Outcome GadgetCamera::Vendor(RawGadget& gadget, const usb_ctrlrequest& setup) {
  counts_.vendor += 1;
  if (!vendor_) return Outcome::kStalled;
  platform::VendorRequestSetup request;
  request.toHost = TowardsHost(setup);
  request.bRequest = setup.bRequest;
  request.wValue = setup.wValue;
  request.wIndex = setup.wIndex;
  request.wLength = setup.wLength;
  std::vector<uint8_t> bytes(setup.wLength);
  uint32_t transferred = 0;
  if (request.toHost) {
    if (vendor_->Send(request, bytes.data(), &transferred) != 0) return Outcome::kStalled;
    bytes.resize(transferred);
    return Reply(gadget, setup, bytes);
  }
  if (setup.wLength == 0) {
    // Without a data stage the answer waits for the camera's verdict.
    if (vendor_->Send(request, bytes.data(), &transferred) != 0) return Outcome::kStalled;
    return Ack(gadget);
  }
  if (gadget.Receive(bytes.data(), bytes.size()) != static_cast<long>(bytes.size())) return Outcome::kAnswered;
  vendor_->Send(request, bytes.data(), &transferred);
  return Outcome::kAnswered;
}

}  // namespace rig
