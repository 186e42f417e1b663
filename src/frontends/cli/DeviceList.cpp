#include "DeviceList.h"

#include <algorithm>
#include <memory>
#include <ostream>

#include "device/Device.h"
#include "platform/Platform.h"
#include "ui/ZarnetDlg.h"

namespace {

// What the platform tells about a device apart from its answers; unknown
// where the platform can't tell.
platform::DeviceFacts FactsOf(const std::optional<std::string>& devicePath) {
  platform::IDeviceFacts* facts = platform::Current().deviceFacts;
  if (!facts || !devicePath) return {};
  return facts->Describe(*devicePath);
}

std::optional<std::string> ReadProperty(platform::IPropertyBag& bag, const char* name) {
  std::string value;
  if (platform::Failed(bag.Read(name, &value))) return std::nullopt;
  return value;
}

// The version text and generation of the identified camera at `position`,
// read as the window reads them.
void ReadCameraFacts(int32_t position, Listed& device) {
  int32_t index = position;
  const uint32_t key = OpenCamera(&index);
  if (key == 0 || index != position) {
    if (key) CloseCamera(key);
    return;
  }
  std::string label, value;
  if (ReadVendorCode(key, &label, &value))
    device.version = CZarnetDlg::FormatVersionText(value);
  else
    device.version = value;
  uint8_t bytes[2] = {0xFF, 0xFF};
  ReadMemory(key, 0xFE21, 2, bytes);
  device.generation = GenerationForKey(static_cast<uint16_t>(bytes[0] << 8 | (bytes[1] & 0xF0)));
  CloseCamera(key);
}

std::vector<Listed> ListAll() {
  std::vector<Listed> devices;
  std::unique_ptr<platform::IEnumMoniker> enumerator;
  if (platform::Failed(platform::Current().capture->CreateVideoInputEnumerator(&enumerator)) || !enumerator)
    return devices;
  enumerator->Reset();
  for (int32_t position = 0;; ++position) {
    std::shared_ptr<platform::IMoniker> moniker;
    if (enumerator->Next(&moniker) != platform::kOk || !moniker) break;
    Listed device;
    device.position = position;
    std::shared_ptr<platform::IPropertyBag> bag;
    if (!platform::Failed(moniker->BindToPropertyBag(&bag)) && bag) {
      device.devicePath = ReadProperty(*bag, "DevicePath");
      device.friendlyName = ReadProperty(*bag, "FriendlyName");
    }
    CCameraDevice camera;
    int32_t index = position;
    std::unique_ptr<platform::IEnumMoniker> probe;
    if (!platform::Failed(platform::Current().capture->CreateVideoInputEnumerator(&probe)) && probe &&
        camera.ReadMoniker(*probe, &index)) {
      device.identified = camera.CheckIdentity() != 0;
      camera.Close();
    }
    if (device.identified) ReadCameraFacts(position, device);
    device.facts = FactsOf(device.devicePath);
    devices.push_back(std::move(device));
  }
  return devices;
}

}  // namespace

// The listing talks to the capture framework on this thread, without the
// dialog that otherwise initialises the component runtime.
std::vector<Listed> ListDevices() {
  const bool comInitialised = platform::Current().com->Initialize();
  std::vector<Listed> devices = ListAll();
  if (comInitialised) platform::Current().com->Uninitialize();
  return devices;
}

std::string ShortVersion(const std::string& version) {
  const std::string prefix = "Ver: ";
  return version.rfind(prefix, 0) == 0 ? version.substr(prefix.size()) : version;
}

void WriteTable(const std::vector<std::vector<std::string>>& rows, std::ostream& out) {
  if (rows.empty()) return;
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    out << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
  }
}
