#include "UvcDescriptors.h"

#include <array>

#include "platform/CameraExtensionUnit.h"

namespace rig {
namespace {

constexpr uint8_t kInterfaceType = 0x04;
constexpr uint8_t kEndpointType = 0x05;
constexpr uint8_t kAssociationType = 0x0B;
constexpr uint8_t kClassInterface = 0x24;  // CS_INTERFACE
constexpr uint8_t kVideoClass = 0x0E;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutGuid(std::vector<uint8_t>& out, const platform::Guid& guid) {
  const auto bytes = guid.Bytes();
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// An extension unit with one input pin and the given controls (selectors).
std::vector<uint8_t> ExtensionUnit(uint8_t id, uint8_t source, const platform::Guid& guid,
                                   std::initializer_list<uint8_t> selectors) {
  uint16_t bits = 0;
  for (const uint8_t selector : selectors) bits = static_cast<uint16_t>(bits | (1u << (selector - 1)));
  std::vector<uint8_t> d{27, kClassInterface, 0x06, id};
  PutGuid(d, guid);
  d.push_back(static_cast<uint8_t>(selectors.size()));
  d.push_back(1);  // one input pin
  d.push_back(source);
  d.push_back(2);  // bControlSize
  Put16(d, bits);
  d.push_back(0);  // iExtension
  return d;
}

// The video-control interface's class-specific descriptors, header first.
std::vector<uint8_t> VideoControlBody() {
  std::vector<uint8_t> units;
  // Camera terminal, no controls.
  units.insert(units.end(), {18, kClassInterface, 0x02, kCameraTerminal, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 3});
  units.insert(units.end(), {0, 0, 0});
  // Processing unit, no controls (UVC 1.1 carries bmVideoStandards).
  units.insert(units.end(), {12, kClassInterface, 0x05, kProcessingUnit, kCameraTerminal, 0, 0, 2, 0, 0, 0, 0});
  // A unit of somebody else's at the id a capture framework takes by default.
  const platform::Guid decoy{0x5D8A4C3E, 0x1A2B, 0x4C3D, {0x8E, 0x9F, 0x10, 0x21, 0x32, 0x43, 0x54, 0x65}};
  const auto decoyUnit = ExtensionUnit(kDecoyUnit, kProcessingUnit, decoy, {1, 2});
  units.insert(units.end(), decoyUnit.begin(), decoyUnit.end());
  const auto cameraUnit = ExtensionUnit(kCameraUnit, kDecoyUnit, platform::kCameraExtensionUnitGuid,
                                        {platform::kCameraCommandSelector, platform::kCameraDataSelector});
  units.insert(units.end(), cameraUnit.begin(), cameraUnit.end());
  units.insert(units.end(), {9, kClassInterface, 0x03, kOutputTerminal, 0x01, 0x01, 0, kCameraUnit, 0});

  std::vector<uint8_t> header{13, kClassInterface, 0x01};
  Put16(header, 0x0110);
  Put16(header, static_cast<uint16_t>(13 + units.size()));
  Put32(header, 48000000);
  header.push_back(1);
  header.push_back(kStreamingInterface);
  header.insert(header.end(), units.begin(), units.end());
  return header;
}

std::vector<uint8_t> VideoStreamingBody() {
  std::vector<uint8_t> format{27, kClassInterface, 0x04, 1, 1};
  const platform::Guid yuy2{0x32595559, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  PutGuid(format, yuy2);
  format.insert(format.end(), {16, 1, 0, 0, 0, 0});
  std::vector<uint8_t> frame{30, kClassInterface, 0x05, 1, 0};
  Put16(frame, 640);
  Put16(frame, 480);
  Put32(frame, 640 * 480 * 16 * 30);
  Put32(frame, 640 * 480 * 16 * 30);
  Put32(frame, 640 * 480 * 2);
  Put32(frame, 333333);
  frame.push_back(1);
  Put32(frame, 333333);

  std::vector<uint8_t> header{14, kClassInterface, 0x01, 1};
  Put16(header, static_cast<uint16_t>(14 + format.size() + frame.size()));
  header.insert(header.end(), {kStreamingEndpoint, 0, kOutputTerminal, 0, 0, 0, 1, 0});
  header.insert(header.end(), format.begin(), format.end());
  header.insert(header.end(), frame.begin(), frame.end());
  return header;
}

std::vector<uint8_t> Interface(uint8_t number, uint8_t endpoints, uint8_t subclass) {
  return {9, kInterfaceType, number, 0, endpoints, kVideoClass, subclass, 0, 0};
}

std::vector<uint8_t> Utf16(const std::string& text) {
  std::vector<uint8_t> d{static_cast<uint8_t>(2 + 2 * text.size()), 0x03};
  for (const char c : text) Put16(d, static_cast<uint8_t>(c));
  return d;
}

}  // namespace

std::vector<uint8_t> DeviceDescriptor() {
  // Miscellaneous class with an interface association, as UVC cameras show.
  std::vector<uint8_t> d{18, 0x01};
  Put16(d, 0x0200);
  d.insert(d.end(), {0xEF, 0x02, 0x01, 64});
  Put16(d, kVendorId);
  Put16(d, kProductId);
  Put16(d, 0x0100);
  d.insert(d.end(), {1, 2, 3, 1});
  return d;
}

std::vector<uint8_t> DeviceQualifier() { return {10, 0x06, 0x00, 0x02, 0xEF, 0x02, 0x01, 64, 1, 0}; }

std::vector<uint8_t> StreamingEndpointDescriptor() {
  return {7, kEndpointType, kStreamingEndpoint, 0x02, 0x00, 0x02, 0};
}

std::vector<uint8_t> ConfigurationDescriptor() {
  std::vector<uint8_t> body{8, kAssociationType, kControlInterface, 2, kVideoClass, 0x03, 0, 2};
  const auto control = Interface(kControlInterface, 0, 0x01);
  const auto controlBody = VideoControlBody();
  const auto streaming = Interface(kStreamingInterface, 1, 0x02);
  const auto streamingBody = VideoStreamingBody();
  const auto endpoint = StreamingEndpointDescriptor();
  for (const auto* part : {&control, &controlBody, &streaming, &streamingBody, &endpoint})
    body.insert(body.end(), part->begin(), part->end());
  std::vector<uint8_t> d{9, 0x02};
  Put16(d, static_cast<uint16_t>(9 + body.size()));
  d.insert(d.end(), {2, kConfigurationValue, 0, 0x80, 250});
  d.insert(d.end(), body.begin(), body.end());
  return d;
}

std::optional<std::vector<uint8_t>> StringDescriptor(uint8_t index, const std::string& serial) {
  switch (index) {
    case 0: return std::vector<uint8_t>{4, 0x03, 0x09, 0x04};
    case 1: return Utf16(kManufacturer);
    case 2: return Utf16(kProduct);
    case 3: return Utf16(serial);
    default: return std::nullopt;
  }
}

std::vector<uint8_t> DefaultStreamingControl() {
  std::vector<uint8_t> c;
  Put16(c, 0);                // bmHint
  c.insert(c.end(), {1, 1});  // format 1, frame 1
  Put32(c, 333333);
  for (int i = 0; i < 5; ++i) Put16(c, 0);  // key frame rate .. delay
  Put32(c, 640 * 480 * 2);                  // dwMaxVideoFrameSize
  Put32(c, 512);                            // dwMaxPayloadTransferSize
  Put32(c, 48000000);
  c.insert(c.end(), {0, 0, 0, 0});
  return c;
}

}  // namespace rig
