#pragma once
// What zarnet-cli inspect learns about a file, and the text it shows people:
// a summary of a few lines, or the full listing of the table's records.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "download/ImageAcceptance.h"
#include "firmware/Descriptor.h"
#include "firmware/DescriptorTable.h"

struct WalkedRecord {
  int64_t offset = 0;  // in the file
  uint8_t type = 0;
  uint32_t length = 0;
  std::string className;
  bool isDummy = false;  // no class reads the record's type
  _QTL_UVC_Descriptor::DescriptorFields fields;
  std::vector<uint8_t> fileBytes;  // the record's bytes in the file
  bool rebuiltOk = false;
  std::vector<uint8_t> rebuilt;  // what the record's class writes back
};

struct Walk {
  std::vector<WalkedRecord> records;
  _QTL_UVC_Descriptor::CDescriptorTable::Stop stop = _QTL_UVC_Descriptor::CDescriptorTable::Stop::kNone;
  int64_t stopOffset = 0;  // in the file
};

struct Judged {
  std::string path;
  ImageVerdict verdict;
  std::optional<uintmax_t> realSize;  // of a regular file
  std::optional<std::string> cause;   // why an unreadable file could not be read
  std::unique_ptr<Walk> walk;         // when a table was found
};

// The kind of record a class reads ("identity", "ISP", "UVC control", ...).
const char* RecordGroup(const std::string& className);
// Records per kind, in a fixed order of kinds; kinds without records left out.
std::vector<std::pair<std::string, int>> CountByGroup(const Walk& walk);

// The text without the white space (line ends included) around it.
std::string Trimmed(const std::string& text);

// The summary, or the full listing.
void PrintText(std::ostream& out, const Judged& judged, bool summary);
