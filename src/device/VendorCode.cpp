#include "device/VendorCode.h"

#include <algorithm>
#include <cstdio>

#include "device/CommandSet.h"

namespace {

constexpr const char* kNotAvailable = "N/A";

struct FirmwareDate {
  int month;
  int day;
  int year;
};

// Two ASCII digits give their value; anything else gives some other number,
// which the date rule below then treats like any other date.
int TwoDigits(const FirmwareInfoRecord& record, size_t at) { return 10 * (record[at] - 48) + (record[at + 1] - 48); }

// Format 2 keeps the date at bytes 8-15, format 1 at bytes 16-23, both as
// "MM?DD?YY".
FirmwareDate DateOf(const FirmwareInfoRecord& record, int format) {
  const size_t at = format == 2 ? 8 : 16;
  return {TwoDigits(record, at), TwoDigits(record, at + 3), TwoDigits(record, at + 6)};
}

bool ReleasedAfterCodeWasIntroduced(const FirmwareDate& date) {
  if (date.year != 9) return date.year > 9;
  if (date.month != 8) return date.month > 8;
  return date.day >= 11;
}

bool DateFieldEmpty(const FirmwareInfoRecord& record) {
  return std::all_of(record.begin() + 16, record.begin() + 24, [](uint8_t b) { return b == 0; });
}

std::string VendorCodeText(const FirmwareInfoRecord& record) {
  char text[24];
  std::snprintf(text, sizeof text, "%02X-%02X%02X-%02X%02X", record[3], record[4], record[5], record[6], record[7]);
  return text;
}

}  // namespace

int ReadVendorCode(uint32_t key, std::string* label, std::string* value) {
  FirmwareInfoRecord record{};
  const int read = ReadFirmwareInfo(key, &record);
  *label = kNotAvailable;
  *value = kNotAvailable;
  if (!read) return 0;

  const int format = record[0] & 0x0F;
  if (format != 1 && format != 2) return 1;
  *label = "Vendor Code";
  if (ReleasedAfterCodeWasIntroduced(DateOf(record, format)) || DateFieldEmpty(record)) *value = VendorCodeText(record);
  return 1;
}
