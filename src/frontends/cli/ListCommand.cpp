// zarnet-cli list: every video-input device the platform sees.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "Simulation.h"
#include "device/Device.h"
#include "platform/DeviceFacts.h"
#include "platform/Platform.h"
#include "ui/ZarnetDlg.h"

namespace {

struct Listed {
  int32_t position = 0;
  std::optional<std::string> devicePath;
  std::optional<std::string> friendlyName;
  bool identified = false;
  std::string version;
  std::optional<uint8_t> generation;
  platform::DeviceFacts facts;
};

// What the platform tells about a device apart from its answers; unknown
// where the platform can't tell.
platform::DeviceFacts FactsOf(const std::optional<std::string>& devicePath) {
  platform::IDeviceFacts* facts = platform::Current().deviceFacts;
  if (!facts || !devicePath) return {};
  return facts->Describe(*devicePath);
}

std::optional<std::string> WhereListed() {
  platform::IDeviceFacts* facts = platform::Current().deviceFacts;
  if (!facts) return std::nullopt;
  return facts->WhereListed();
}

// "vvvv:pppp", as lsusb shows it.
std::optional<std::string> UsbId(const platform::DeviceFacts& facts) {
  if (!facts.usbVendorId || !facts.usbProductId) return std::nullopt;
  char text[10];
  std::snprintf(text, sizeof text, "%04x:%04x", unsigned{*facts.usbVendorId}, unsigned{*facts.usbProductId});
  return std::string(text);
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

std::vector<Listed> ListDevices() {
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

void OptionalString(JsonWriter& json, const char* key, const std::optional<std::string>& value) {
  json.Key(key);
  if (value)
    json.String(*value);
  else
    json.Null();
}

void OptionalBool(JsonWriter& json, const char* key, std::optional<bool> value) {
  json.Key(key);
  if (value)
    json.Bool(*value);
  else
    json.Null();
}

void OptionalNumber(JsonWriter& json, const char* key, std::optional<int64_t> value) {
  json.Key(key);
  if (value)
    json.Number(*value);
  else
    json.Null();
}

void WriteJson(const std::vector<Listed>& devices, std::ostream& out) {
  JsonWriter json;
  json.BeginObject();
  OptionalString(json, "lookedIn", WhereListed());
  json.Key("devices").BeginArray();
  for (const Listed& d : devices) {
    json.BeginObject().Key("position").Number(d.position);
    OptionalString(json, "devicePath", d.devicePath);
    OptionalString(json, "friendlyName", d.friendlyName);
    json.Key("identified").Bool(d.identified);
    OptionalString(json, "version", d.identified ? std::optional<std::string>(d.version) : std::nullopt);
    OptionalNumber(json, "generation", d.generation);
    OptionalString(json, "usbId", UsbId(d.facts));
    OptionalString(json, "serialNumber", d.facts.serialNumber);
    OptionalString(json, "port", d.facts.port);
    OptionalBool(json, "extensionUnit", d.facts.hasExtensionUnit);
    OptionalNumber(json, "extensionUnitId", d.facts.extensionUnitId);
    OptionalBool(json, "downloadPath", d.facts.downloadPathOpens);
    OptionalString(json, "permissionHint",
                   d.facts.permissionHint.empty() ? std::nullopt : std::optional<std::string>(d.facts.permissionHint));
    json.EndObject();
  }
  json.EndArray().EndObject();
  out << json.Text() << "\n";
}

// A device path names the video node first where there is one
// ("/dev/video0@/dev/bus/usb/001/003"); the node is what people know.
std::string NodeOf(const Listed& d) {
  if (!d.devicePath) return "(no device path)";
  return d.devicePath->substr(0, d.devicePath->find('@'));
}

std::string VersionOf(const Listed& d) {
  if (!d.identified) return "";
  const std::string prefix = "Ver: ";
  return d.version.rfind(prefix, 0) == 0 ? d.version.substr(prefix.size()) : d.version;
}

void WriteRow(std::ostream& out, const std::vector<std::string>& cells, const std::vector<size_t>& widths) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    line += cells[i];
    if (i + 1 < cells.size()) line += std::string(widths[i] - cells[i].size() + 2, ' ');
  }
  out << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
}

// One line per device; the full detail is in the JSON.
void WriteText(const std::vector<Listed>& devices, std::ostream& out) {
  if (devices.empty()) {
    out << "No video-input device";
    if (const auto where = WhereListed()) out << "; looked in " << *where;
    out << "\n";
    return;
  }
  std::vector<std::vector<std::string>> rows{{"POS", "NODE", "PORT", "NAME", "CAMERA", "VERSION"}};
  for (const Listed& d : devices)
    rows.push_back({std::to_string(d.position), NodeOf(d), d.facts.port.value_or("-"),
                    d.friendlyName.value_or("(no name)"), d.identified ? "yes" : "no", VersionOf(d)});
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  for (const auto& row : rows) WriteRow(out, row, widths);
  for (const Listed& d : devices)
    if (!d.facts.permissionHint.empty()) out << "hint: " << NodeOf(d) << ": " << d.facts.permissionHint << "\n";
}

}  // namespace

int RunList(bool asJson, const SimulationOptions& simulation, std::ostream& out, std::ostream&) {
  std::unique_ptr<Simulation> world;
  if (simulation.simulate) world = std::make_unique<Simulation>(simulation, simulation.memoryClass.value_or(8));
  // The listing talks to the capture framework on this thread, without the
  // dialog that otherwise initialises the component runtime.
  const bool comInitialised = platform::Current().com->Initialize();
  const std::vector<Listed> devices = ListDevices();
  if (comInitialised) platform::Current().com->Uninitialize();
  if (asJson)
    WriteJson(devices, out);
  else
    WriteText(devices, out);
  return kExitOk;
}
