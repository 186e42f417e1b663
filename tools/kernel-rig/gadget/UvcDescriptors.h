#pragma once
// The USB descriptors the gadget camera shows the host: a UVC 1.1 camera
// with its control interface (camera terminal, processing unit, a decoy
// extension unit, the camera's own extension unit at another unit id than
// the capture framework's usual node, output terminal) and one streaming
// interface with one uncompressed format.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rig {

constexpr uint16_t kVendorId = 0x1B3F;
constexpr uint16_t kProductId = 0x2202;
constexpr char kManufacturer[] = "Corvex";
constexpr char kProduct[] = "Corvex USB Camera";
constexpr char kSerial[] = "ZRIG0001";

constexpr uint8_t kControlInterface = 0;
constexpr uint8_t kStreamingInterface = 1;
constexpr uint8_t kCameraTerminal = 1;
constexpr uint8_t kProcessingUnit = 2;
constexpr uint8_t kDecoyUnit = 3;
constexpr uint8_t kCameraUnit = 4;
constexpr uint8_t kOutputTerminal = 5;
constexpr uint8_t kStreamingEndpoint = 0x81;
constexpr uint8_t kConfigurationValue = 1;

std::vector<uint8_t> DeviceDescriptor();
std::vector<uint8_t> DeviceQualifier();
std::vector<uint8_t> ConfigurationDescriptor();
// The streaming endpoint's own descriptor, as the gadget enables it.
std::vector<uint8_t> StreamingEndpointDescriptor();
// String descriptor `index` (0: the language list), with `serial` as the
// serial number; none when there is no such string.
std::optional<std::vector<uint8_t>> StringDescriptor(uint8_t index, const std::string& serial);
// The streaming probe and commit controls' default value (34 bytes).
std::vector<uint8_t> DefaultStreamingControl();

}  // namespace rig
