#include "platform/substitute/SubstituteConfig.h"

#include <algorithm>

namespace substitute {

FirmwareInfoRecords MakeFirmwareInfo(uint8_t format, const VendorCode& vendorCode, const std::string& date) {
  FirmwareInfoRecords records{};
  records[0][0] = format;
  std::copy(vendorCode.begin(), vendorCode.end(), records[0].begin() + 3);
  FirmwareInfoRecord& dateRecord = format == 1 ? records[3] : records[2];
  std::copy_n(date.begin(), std::min<size_t>(date.size(), dateRecord.size()), dateRecord.begin());
  return records;
}

uint32_t DefaultMemorySize(uint8_t memoryClass) {
  switch (memoryClass) {
    case 1: return 128;
    case 2: return 256;
    case 3: return 512;
    case 4:
    case 5: return 2048;
    case 6:
    case 7: return 8192;
    case 8: return 65536;
    default: return 0;
  }
}

uint8_t DefaultEraseKey(uint8_t memoryClass) {
  switch (memoryClass) {
    case 1: return 0x47;
    case 2: return 0x59;
    case 3: return 0x49;
    case 4: return 0x4B;
    default: return 0;
  }
}

SubstituteCameraConfig CameraOfClass(uint8_t memoryClass, uint32_t memorySize) {
  SubstituteCameraConfig camera;
  camera.memoryClass = memoryClass;
  camera.memorySize = memorySize;
  return camera;
}

void UseSmallPageFlash(SubstituteCameraConfig& camera) {
  camera.flashInfo = {0x30, 0xC2, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00};
  camera.acceptedDataLengths = {8, 32};
  camera.maxDriverTransfer = 32;
}

SubstituteDeviceConfig CameraDevice(const SubstituteCameraConfig& camera) {
  SubstituteDeviceConfig device;
  device.camera = camera;
  return device;
}

SubstituteDeviceConfig PlainWebcam() {
  SubstituteDeviceConfig device;
  device.friendlyName = "USB2.0 HD UVC WebCam";
  device.camera.identity = {'U', 'V', 'C', 'C', 'A', 'M', '0', '1'};
  device.camera.driverPath = DriverPathService::kRefused;
  device.usbProductId = 0x2206;
  return device;
}

SubstituteDeviceConfig WebcamWithoutExtensionUnit() {
  SubstituteDeviceConfig device = PlainWebcam();
  device.friendlyName = "Integrated Webcam";
  device.hasExtensionUnit = false;
  return device;
}

SubstituteDeviceConfig DeviceWithoutFriendlyName(const SubstituteCameraConfig& camera) {
  SubstituteDeviceConfig device = CameraDevice(camera);
  device.friendlyName.reset();
  return device;
}

SubstituteDeviceConfig DeviceWithoutDevicePath(const SubstituteCameraConfig& camera) {
  SubstituteDeviceConfig device = CameraDevice(camera);
  device.hasDevicePath = false;
  return device;
}

SubstituteDeviceConfig DeviceWithoutKsControl(const SubstituteCameraConfig& camera) {
  SubstituteDeviceConfig device = CameraDevice(camera);
  device.hasKsControl = false;
  return device;
}

}  // namespace substitute
