// zarnet-cli list: every video-input device the platform sees.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "DeviceList.h"
#include "Json.h"
#include "Simulation.h"
#include "device/Device.h"
#include "platform/DeviceFacts.h"
#include "platform/Platform.h"
#include "ui/ZarnetDlg.h"

namespace {

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

void OptionalString(JsonWriter& json, const char* key, const std::optional<std::string>& value) {
  json.Key(key).StringOrNull(value);
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
                    d.friendlyName.value_or("(no name)"), d.identified ? "yes" : "no",
                    d.identified ? ShortVersion(d.version) : ""});
  WriteTable(rows, out);
  for (const Listed& d : devices)
    if (!d.facts.permissionHint.empty()) out << "hint: " << NodeOf(d) << ": " << d.facts.permissionHint << "\n";
}

}  // namespace

int RunList(bool asJson, const SimulationOptions& simulation, std::ostream& out, std::ostream&) {
  std::unique_ptr<Simulation> world;
  if (simulation.simulate) world = std::make_unique<Simulation>(simulation, simulation.memoryClass.value_or(8));
  const std::vector<Listed> devices = ListDevices();
  if (asJson)
    WriteJson(devices, out);
  else
    WriteText(devices, out);
  return kExitOk;
}
