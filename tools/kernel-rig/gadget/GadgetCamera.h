#pragma once
// The substitute camera on a real USB bus: every control request the host
// sends through the gadget is answered by the substitute world's camera, so
// the host's own drivers (usbcore, uvcvideo, usbfs) talk to the very model
// the tests use. Extension-unit requests go to the world's extension-unit
// channel, vendor requests to its vendor-request channel, each with the
// world's fault injection stacked over it; the standard and streaming
// requests a UVC host sends at enumeration are answered here.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "RawGadget.h"
#include "UvcDescriptors.h"
#include "platform/substitute/SubstituteWorld.h"

namespace rig {

struct GadgetOptions {
  std::string udcDriver = "dummy_udc";
  std::string udcDevice = "dummy_udc.0";
  // Cameras on one host tell themselves apart by it.
  std::string serial = kSerial;
  // The Nth set of the data control is never answered (0: none).
  uint32_t silentWrite = 0;
  uint32_t silenceMs = 5500;  // longer than the host driver waits
};

struct RequestCounts {
  std::atomic<uint64_t> all{0};
  std::atomic<uint64_t> extensionUnit{0};
  std::atomic<uint64_t> vendor{0};
};

class GadgetCamera {
 public:
  GadgetCamera(substitute::SubstituteWorld& world, substitute::DeviceId camera, GadgetOptions options);

  // Shows the camera on the bus for as long as the world has it present:
  // returns when it left (a reset, an unplug) or when the gadget failed
  // (false, with `error`).
  bool ServeAppearance(std::string* error);
  const RequestCounts& Counts() const { return counts_; }

 private:
  enum class Outcome { kAnswered, kStalled, kSilent };

  Outcome Handle(RawGadget& gadget, const usb_ctrlrequest& setup);
  Outcome Standard(RawGadget& gadget, const usb_ctrlrequest& setup);
  Outcome VideoControl(RawGadget& gadget, const usb_ctrlrequest& setup);
  Outcome CameraUnit(RawGadget& gadget, const usb_ctrlrequest& setup);
  Outcome DecoyUnit(RawGadget& gadget, const usb_ctrlrequest& setup);
  Outcome VideoStreaming(RawGadget& gadget, const usb_ctrlrequest& setup);
  Outcome Vendor(RawGadget& gadget, const usb_ctrlrequest& setup);
  // Answers a request towards the host with (at most wLength of) `bytes`.
  Outcome Reply(RawGadget& gadget, const usb_ctrlrequest& setup, const std::vector<uint8_t>& bytes);
  Outcome Ack(RawGadget& gadget);
  bool RefusesDataWithoutLooking(uint16_t length);
  void OpenChannels();

  substitute::SubstituteWorld& world_;
  const substitute::DeviceId camera_;
  const GadgetOptions options_;
  std::shared_ptr<platform::IExtensionUnitChannel> unit_;
  std::shared_ptr<platform::IVendorRequestChannel> vendor_;
  std::vector<uint8_t> streamingControl_;
  uint8_t lastError_ = 0;  // the request-error-code control
  uint32_t dataWrites_ = 0;
  bool announcedReady_ = false;
  RequestCounts counts_;
};

}  // namespace rig
