#pragma once
// The video-input devices the platform lists, each with what it answers:
// shared by list, which shows them, and flash --all, which flashes every
// camera among them.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceFacts.h"

// One listed device; the camera's answers only where it answers identify.
struct Listed {
  int32_t position = 0;
  std::optional<std::string> devicePath;
  std::optional<std::string> friendlyName;
  bool identified = false;
  std::string version;
  std::optional<uint8_t> generation;
  platform::DeviceFacts facts;
};

// Every device in enumeration order, the cameras' version and generation
// read as the window reads them.
std::vector<Listed> ListDevices();

// "21-0615-0042" from the window's "Ver: 21-0615-0042".
std::string ShortVersion(const std::string& version);

// Rows of cells in columns two spaces apart, without trailing blanks.
void WriteTable(const std::vector<std::vector<std::string>>& rows, std::ostream& out);
