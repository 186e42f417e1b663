#pragma once
// The vendor code (the firmware version the dialog shows), from the firmware
// information record.

#include <cstdint>
#include <string>

// Sets both texts to "N/A", then, when the record carries a code to show, the
// label to "Vendor Code" and the value to the code. 1 when the firmware
// information could be read.
int ReadVendorCode(uint32_t key, std::string* label, std::string* value);
