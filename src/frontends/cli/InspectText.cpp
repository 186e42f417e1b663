#include "InspectText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "Json.h"

using namespace _QTL_UVC_Descriptor;

namespace {

// ---------------------------------------------------------------- numbers

// Offsets and addresses in the file: four hexadecimal digits, the width of
// any offset in a 64 KiB image.
std::string Offset(int64_t value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%04llX", static_cast<unsigned long long>(value));
  return buffer;
}

std::string HexByte(int value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "0x%02X", value & 0xFF);
  return buffer;
}

// The field's bits in hexadecimal, as many digits as the field is wide; a
// negative number shows its two's complement.
std::string HexOfWidth(int64_t value, int bits) {
  const uint64_t mask = bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%0*llX", (bits + 3) / 4,
                static_cast<unsigned long long>(static_cast<uint64_t>(value) & mask));
  return buffer;
}

std::string FloatOfBits(int64_t pattern) {
  const auto bits = static_cast<uint32_t>(pattern);
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", static_cast<double>(value));
  return buffer;
}

// UTF-16LE text of printable ASCII characters, quoted; empty when the bytes
// hold anything else.
std::string QuotedUtf16(const std::vector<uint8_t>& bytes) {
  if (bytes.empty() || bytes.size() % 2 != 0) return {};
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    if (bytes[i + 1] != 0 || bytes[i] < 0x20 || bytes[i] > 0x7E) return {};
    text += static_cast<char>(bytes[i]);
  }
  return JsonWriter::Quote(text);
}

// Long byte runs (code, register lists) show their start only; the JSON
// output carries every byte.
constexpr size_t kBytesShown = 32;

std::string BytesValue(const DescriptorField& f) {
  const size_t count = f.bytes.size();
  if (f.isText) {
    const std::string text = QuotedUtf16(f.bytes);
    if (!text.empty()) return text + " (" + std::to_string(count) + " bytes)";
  }
  if (count == 0) return "none";
  const size_t shown = std::min(count, kBytesShown);
  std::string value = std::to_string(count) + (count == 1 ? " byte: " : " bytes: ");
  value += HexBytes(f.bytes.data(), shown, " ");
  if (shown < count) value += " ...";
  return value;
}

std::string FieldValue(const DescriptorField& f) {
  if (f.isBytes) return BytesValue(f);
  std::string decimal = std::to_string(f.number);
  switch (f.form) {
    case FieldForm::kFlag: return decimal;
    case FieldForm::kFloatBits: return FloatOfBits(f.number) + " (" + HexOfWidth(f.number, 32) + ")";
    case FieldForm::kSigned:
    case FieldForm::kUnsigned: break;
  }
  // Fields narrower than a byte read plainly in decimal.
  if (f.bits < 8) return decimal;
  return decimal + " (" + HexOfWidth(f.number, f.bits) + ")";
}

// ---------------------------------------------------------------- records

struct GroupRule {
  const char* classPrefix;
  const char* group;
};

// The first rule whose prefix starts the class name gives the kind; a class
// that none names is a system record.
constexpr GroupRule kGroupRules[] = {
    {"CDescString", "identity"},
    {"CDescVIDPID", "identity"},
    {"CDescCodeInfo", "code"},
    {"CDescSmallCachecode", "code"},
    {"CDescVdCodeCramStartAddr", "code"},
    {"CDescIsp", "ISP"},
    {"CDescISP", "ISP"},
    {"CDescQtable", "ISP"},
    {"CDescNonCrystalGainTable", "ISP"},
    {"CDescNFCalibrationTable", "ISP"},
    {"CDescDmicPara", "ISP"},
    {"CDescSensor", "sensor"},
    {"CDescVendorRegSetting", "register list"},
    {"CDescSnrIspRegSetting", "register list"},
    {"CDescUvcControlAttribute", "UVC control"},
    {"CDescVideoFormat", "video format"},
    {"CDescFrameRate", "frame rate"},
    {"CDescDummy", "unknown"},
};

constexpr const char* kGroupOrder[] = {"identity",      "system",      "code",         "ISP",        "sensor",
                                       "register list", "UVC control", "video format", "frame rate", "unknown"};

std::string GroupCounts(const Walk& walk) {
  std::string text;
  for (const auto& [group, count] : CountByGroup(walk)) {
    text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + group;
  }
  return text;
}

std::string WrittenBack(const WalkedRecord& r) {
  if (r.isDummy) return "nothing: no class reads this type";
  if (!r.rebuiltOk) return "refused by its class";
  if (r.rebuilt == r.fileBytes) return "the same " + std::to_string(r.fileBytes.size()) + " bytes";
  const auto [written, inFile] =
      std::mismatch(r.rebuilt.begin(), r.rebuilt.end(), r.fileBytes.begin(), r.fileBytes.end());
  if (written == r.rebuilt.end() || inFile == r.fileBytes.end()) {
    return std::to_string(r.rebuilt.size()) + " bytes, where the file has " + std::to_string(r.fileBytes.size());
  }
  const auto at = static_cast<size_t>(written - r.rebuilt.begin());
  return "unlike the file from record byte " + std::to_string(at) + " (" + HexByte(*inFile) + " in the file, " +
         HexByte(*written) + " written)";
}

void PrintRecord(std::ostream& out, const WalkedRecord& r) {
  out << "  " << Offset(r.offset) << "  " << r.className << ": type " << int(r.type) << ", " << r.length << " bytes, "
      << RecordGroup(r.className) << "\n";
  size_t width = std::strlen("written back");
  for (const auto& f : r.fields) width = std::max(width, f.label.size());
  for (const auto& f : r.fields) {
    out << "      " << f.label << std::string(width - f.label.size() + 2, ' ') << FieldValue(f) << "\n";
  }
  out << "      written back" << std::string(width - std::strlen("written back") + 2, ' ') << WrittenBack(r) << "\n";
}

// ---------------------------------------------------------------- the file

void PrintFileAndVerdict(std::ostream& out, const Judged& judged, bool summary) {
  const ImageVerdict& v = judged.verdict;
  const std::string size = judged.realSize ? std::to_string(*judged.realSize) : std::to_string(v.fileLength);
  out << "File:     " << judged.path << " (" << size << " bytes)\n";
  // The listing shows the message exactly, line ends as escapes; the summary
  // shows it as a person reads it.
  const std::string error = summary ? Trimmed(v.error) : JsonWriter::Quote(v.error);
  out << "Verdict:  " << (v.accepted ? std::string("accepted") : "rejected: " + error) << "\n";
}

void PrintTable(std::ostream& out, const ImageVerdict& v, bool summary) {
  if (!v.tableOffset || !v.header) {
    out << "Table at: none: no header with the marker at any offset tried\n";
    return;
  }
  const CDescGlobal& h = *v.header;
  out << "Table at: " << Offset(*v.tableOffset);
  if (summary) {
    out << " (firmware type " << int(h.m_fwType) << ", EEPROM id " << HexByte(h.m_eepromId) << ", memory type "
        << HexByte(h.m_memType) << ")\n";
    return;
  }
  out << "\nHeader:   EEPROM id " << HexByte(h.m_eepromId) << ", marker " << HexByte(h.m_marker) << ", firmware type "
      << int(h.m_fwType) << ", header bits " << int(h.m_headerBits) << ", table end " << Offset(h.m_tableEnd)
      << ", record count " << int(h.m_recordCount) << ", memory type " << HexByte(h.m_memType)
      << (h.m_hasEepInfo ? "" : " (no memory record)") << "\n";
}

void PrintMemory(std::ostream& out, const ImageVerdict& v) {
  if (!v.memoryKind) {
    out << "Memory:   not derived\n";
    return;
  }
  out << "Memory:   kind " << *v.memoryKind;
  if (v.memorySize) out << ", " << *v.memorySize << " bytes, class " << *v.memoryClass;
  out << "\n";
}

void PrintRecordCount(std::ostream& out, const Walk& walk, const CDescGlobal& header) {
  out << "Records:  " << walk.records.size();
  if (!walk.records.empty()) out << " (" << GroupCounts(walk) << ")";
  if (walk.records.size() != header.m_recordCount) out << "; the header counts " << int(header.m_recordCount);
  out << "\n";
}

void PrintWalkEnd(std::ostream& out, const Walk& walk) {
  out << "Walk end: " << Offset(walk.stopOffset) << ": " << Trimmed(StopText(walk.stop)) << "\n";
}

}  // namespace

const char* RecordGroup(const std::string& className) {
  for (const GroupRule& rule : kGroupRules) {
    if (className.rfind(rule.classPrefix, 0) == 0) return rule.group;
  }
  return "system";
}

std::vector<std::pair<std::string, int>> CountByGroup(const Walk& walk) {
  std::vector<std::pair<std::string, int>> counts;
  for (const char* group : kGroupOrder) {
    const auto n = std::count_if(walk.records.begin(), walk.records.end(), [&](const WalkedRecord& r) {
      return std::strcmp(RecordGroup(r.className), group) == 0;
    });
    if (n > 0) counts.emplace_back(group, static_cast<int>(n));
  }
  return counts;
}

std::string Trimmed(const std::string& text) {
  const char* space = " \t\r\n";
  const size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

void PrintText(std::ostream& out, const Judged& judged, bool summary) {
  const ImageVerdict& v = judged.verdict;
  PrintFileAndVerdict(out, judged, summary);
  PrintTable(out, v, summary);
  PrintMemory(out, v);
  if (!judged.walk || !v.header) return;
  PrintRecordCount(out, *judged.walk, *v.header);
  if (!summary) {
    for (const auto& r : judged.walk->records) PrintRecord(out, r);
  }
  PrintWalkEnd(out, *judged.walk);
}
