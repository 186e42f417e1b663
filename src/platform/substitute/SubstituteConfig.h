#pragma once
// How a substitute world, its capture devices and its cameras are set up.
// Plain structs: a default-constructed one is a healthy camera with a 64 KiB
// serial flash that holds an old image and is write-protected, as it ships.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/decorators/Timing.h"

namespace substitute {

// A device of a world: its number in the order devices were added.
using DeviceId = size_t;

using FirmwareInfoRecord = std::array<uint8_t, 8>;
using FirmwareInfoRecords = std::array<FirmwareInfoRecord, 5>;  // records 8 to 12
using VendorCode = std::array<uint8_t, 5>;

// Firmware-information records in the given date format (1 or 2): record 8
// carries the format byte and the vendor code, the date ("MM/DD/YY") lies in
// record 10 for format 2 and in record 11 for format 1.
FirmwareInfoRecords MakeFirmwareInfo(uint8_t format, const VendorCode& vendorCode, const std::string& date);

// Whether the camera's driver serves the download-mode I/O control code.
enum class DriverPathService { kServed, kDownloadModeOnly, kRefused };

struct SubstituteCameraConfig {
  // Memory: class 1-8; size 0 takes the class's usual size; an empty initial
  // image fills the memory with an old image (a pattern that is not blank).
  uint8_t memoryClass = 8;
  uint32_t memorySize = 0;
  std::vector<uint8_t> initialMemory;
  std::optional<uint8_t> eraseKey;  // classes 1-4: the part's id byte; default by class

  // What the extension unit tells about the camera.
  std::array<uint8_t, 8> identity{'M', 'O', 'X', 'E', 'L', 'I', 'N', 0};
  FirmwareInfoRecords firmwareInfo = MakeFirmwareInfo(2, {0x21, 0x06, 0x15, 0x00, 0x42}, "06/15/21");
  // While running its code the camera then reports 0x11 as the first
  // firmware-information byte; in download mode it reports the records above.
  bool needsDownloadMode = false;

  // Registers at power-up.
  uint8_t generationHigh = 0x01;  // 0xFE21
  uint8_t generationLow = 0x30;   // 0xFE22
  uint8_t protectA = 0x10;        // 0xFEA0: bit 0 releases the write-protect line
  uint8_t protectB = 0x21;        // 0xFEA6: bit 0 holds the EEPROMs of classes 5 and 6 protected

  // Serial flash (classes 7 and 8).
  std::array<uint8_t, 8> flashInfo{0x30, 0xEF, 0x14, 0x00, 0x00, 0x00, 0x01, 0x00};
  uint8_t flashStatus = 0x8C;  // non-volatile; 0x8C: protected
  uint32_t busyReadsAfterErase = 3;
  uint32_t busyReadsAfterWrite = 1;
  uint32_t busyReadsAfterStatusWrite = 1;
  // How long a status write takes; the register changes only at its end.
  uint32_t statusWriteMs = 15;

  // Data-control lengths the length-change command accepts.
  std::vector<uint8_t> acceptedDataLengths{8, 32, 64};

  // Download-mode driver path.
  DriverPathService driverPath = DriverPathService::kServed;
  uint32_t driverRefusalError = 1;  // what a refusing driver returns (invalid function)
  uint8_t probeAnswer = 0x01;       // byte at offset 12 of the probe's answer
  uint32_t maxDriverTransfer = 0x8000;

  // Leaving the bus and coming back after a reset.
  uint32_t rebootDelayMs = 2000;
  int returnPosition = -1;  // enumeration position on return; -1: where it was
  bool neverReturns = false;
  std::string downloadModeDevicePath;  // path while in download mode; empty: the same path
};

struct SubstituteDeviceConfig {
  std::string devicePath;  // empty: made up from the device's number
  bool hasDevicePath = true;
  std::optional<std::string> friendlyName = std::string("Corvex USB Camera");
  bool hasKsControl = true;
  bool hasExtensionUnit = true;
  bool opens = true;  // whether the device file opens
  // The USB id the device shows (also in the made-up device path).
  uint16_t usbVendorId = 0x1B3F;
  uint16_t usbProductId = 0x2202;
  std::optional<std::string> serialNumber;
  std::optional<std::string> port;  // where it is plugged in, as the device facts tell it
  // Each return to the bus gets a device path of its own, as Linux numbers
  // a USB device anew on each enumeration.
  bool newPathEachArrival = false;
  SubstituteCameraConfig camera;
};

// Modelled cost of USB traffic in real-time mode: per control transfer, per
// vendor request and per byte of a request's setup and data stages.
using UsbLatency = platform::TransferTiming;

struct SubstituteWorldConfig {
  bool realTime = false;  // the clock really sleeps and traffic costs time
  UsbLatency latency;
  uint64_t startMs = 0;  // virtual time at creation
  bool logTraffic = true;
  // Windows keeps a device's instance across a re-enumeration; off, each
  // appearance reports a new one.
  bool keepsDeviceInstance = true;
  // Windows' capture objects belong to the thread that made them (each
  // thread is a single-threaded apartment): called from another thread they
  // fail, and released on another they are counted.
  bool threadBoundObjects = true;
};

// Usual memory size and part id byte of a memory class (0 for an unknown class).
uint32_t DefaultMemorySize(uint8_t memoryClass);
uint8_t DefaultEraseKey(uint8_t memoryClass);

// Presets.
SubstituteCameraConfig CameraOfClass(uint8_t memoryClass, uint32_t memorySize = 0);
// The one flash that takes 32-byte transfers only: flash information
// 30 C2 22 00, data-control lengths 8 and 32, driver transfers of 32 bytes.
void UseSmallPageFlash(SubstituteCameraConfig& camera);
SubstituteDeviceConfig CameraDevice(const SubstituteCameraConfig& camera = {});
// A webcam with an extension unit at the same place that answers identify
// with another text.
SubstituteDeviceConfig PlainWebcam();
// A webcam whose filter has no such extension unit: every request fails.
SubstituteDeviceConfig WebcamWithoutExtensionUnit();
SubstituteDeviceConfig DeviceWithoutFriendlyName(const SubstituteCameraConfig& camera = {});
SubstituteDeviceConfig DeviceWithoutDevicePath(const SubstituteCameraConfig& camera = {});
SubstituteDeviceConfig DeviceWithoutKsControl(const SubstituteCameraConfig& camera = {});

}  // namespace substitute
