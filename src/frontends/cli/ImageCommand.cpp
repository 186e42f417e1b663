// zarnet-cli inspect: judges a firmware file exactly as the window does, then
// shows what its descriptor table holds.

#include <cstdio>
#include <memory>
#include <ostream>

#include "Commands.h"
#include "Json.h"
#include "download/ImageAcceptance.h"
#include "firmware/DescriptorTable.h"

using namespace _QTL_UVC_Descriptor;

namespace {

const char kUsage[] =
    "usage: zarnet-cli inspect [--json] FILE\n"
    "\n"
    "Judges FILE as the tool does before a download (table at 0xF000, 0xE000\n"
    "or 0; header; memory kind, size and class) and lists every record of the\n"
    "table with its fields and the bytes its class writes back.\n"
    "\n"
    "  --json   one JSON object on standard output, for scripts\n"
    "\n"
    "Exit status: 0 accepted, 1 rejected, 2 usage error or unreadable file.\n";

struct WalkedRecord {
  int64_t offset = 0;  // in the file
  uint8_t type = 0;
  uint32_t length = 0;
  std::string className;
  DescriptorFields fields;
  bool rebuiltOk = false;
  std::vector<uint8_t> rebuilt;
};

struct Walk {
  std::vector<WalkedRecord> records;
  CDescriptorTable::Stop stop = CDescriptorTable::Stop::kNone;
  int64_t stopOffset = 0;
};

std::vector<uint8_t> Rebuild(CDescriptor& record, bool* ok) {
  std::vector<uint8_t> bytes(CDescriptorTable::kCapacity + CDescriptorTable::kReadSlack);
  *ok = record.BuildTo(bytes.data()) != 0;
  size_t length = 0;
  if (*ok && !dynamic_cast<CDescDummy*>(&record))
    length =
        record.m_length == CDescriptor::kLongFormEscape && record.m_extLength ? record.m_extLength : record.m_length;
  bytes.resize(*ok ? length : 0);
  return bytes;
}

Walk WalkTable(CDescriptorTable& table, int32_t tableOffset) {
  Walk walk;
  while (true) {
    const int64_t offset = tableOffset + table.CursorOffset();
    std::unique_ptr<CDescriptor> record(table.ReadNext());
    if (!record) {
      walk.stop = table.LastStop();
      walk.stopOffset = offset;
      return walk;
    }
    WalkedRecord r;
    r.offset = offset;
    r.type = record->m_type;
    r.length = record->m_length;
    r.className = record->ClassName();
    record->ListFields(r.fields);
    r.rebuilt = Rebuild(*record, &r.rebuiltOk);
    walk.records.push_back(std::move(r));
  }
}

std::string Hex(int64_t value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<long long>(value));
  return buffer;
}

// Shows a message with its line ends as escapes, so the exact text is visible.
std::string Visible(const std::string& text) { return JsonWriter::Quote(text); }

template <typename T>
void NumberOrNull(JsonWriter& json, const char* key, const std::optional<T>& value) {
  json.Key(key);
  if (value)
    json.Number(static_cast<int64_t>(*value));
  else
    json.Null();
}

void WriteHeaderJson(JsonWriter& json, const std::optional<CDescGlobal>& header) {
  json.Key("header");
  if (!header) {
    json.Null();
    return;
  }
  json.BeginObject();
  json.Key("eepromId").Number(header->m_eepromId);
  json.Key("marker").Number(header->m_marker);
  json.Key("headerBits").Number(header->m_headerBits);
  json.Key("fwType").Number(header->m_fwType);
  json.Key("tableEnd").Number(header->m_tableEnd);
  json.Key("recordCount").Number(header->m_recordCount);
  json.Key("hasEepInfo").Number(header->m_hasEepInfo);
  json.Key("memType").Number(header->m_memType);
  json.EndObject();
}

void WriteFieldsJson(JsonWriter& json, const DescriptorFields& fields) {
  json.BeginObject();
  for (const auto& f : fields) {
    json.Key(f.name);
    if (f.isBytes)
      json.String(HexBytes(f.bytes.data(), f.bytes.size()));
    else
      json.Number(f.number);
  }
  json.EndObject();
}

void WriteRecordsJson(JsonWriter& json, const Walk* walk) {
  json.Key("records");
  if (!walk) {
    json.Null();
    return;
  }
  json.BeginArray();
  for (const auto& r : walk->records) {
    json.BeginObject();
    json.Key("offset").Number(r.offset);
    json.Key("type").Number(r.type);
    json.Key("length").Number(r.length);
    json.Key("class").String(r.className);
    json.Key("fields");
    WriteFieldsJson(json, r.fields);
    json.Key("rebuilt");
    if (r.rebuiltOk)
      json.String(HexBytes(r.rebuilt.data(), r.rebuilt.size()));
    else
      json.Null();
    json.EndObject();
  }
  json.EndArray();
  json.Key("walkEnd").BeginObject();
  json.Key("offset").Number(walk->stopOffset);
  json.Key("reason").String(StopText(walk->stop));
  json.EndObject();
}

void PrintJson(std::ostream& out, const std::string& path, const ImageVerdict& v, const Walk* walk) {
  JsonWriter json;
  json.BeginObject();
  json.Key("path").String(path);
  json.Key("accepted").Bool(v.accepted != 0);
  json.Key("error");
  if (v.accepted)
    json.Null();
  else
    json.String(v.error);
  NumberOrNull(json, "tableOffset", v.tableOffset);
  NumberOrNull(json, "fwType", v.fwType);
  NumberOrNull(json, "memoryKind", v.memoryKind);
  NumberOrNull(json, "memorySize", v.memorySize);
  NumberOrNull(json, "memoryClass", v.memoryClass);
  WriteHeaderJson(json, v.header);
  WriteRecordsJson(json, walk);
  json.EndObject();
  out << json.Text() << "\n";
}

void PrintFields(std::ostream& out, const DescriptorFields& fields) {
  for (const auto& f : fields) {
    out << "      " << f.name << " = ";
    if (f.isBytes)
      out << "[" << f.bytes.size() << "] " << HexBytes(f.bytes.data(), f.bytes.size(), " ");
    else
      out << f.number << " (" << Hex(f.number) << ")";
    out << "\n";
  }
}

void PrintPlain(std::ostream& out, const std::string& path, const ImageVerdict& v, const Walk* walk) {
  out << "File:     " << path << " (" << v.fileLength << (v.fileLength > kImageReadSize ? "+" : "") << " bytes)\n";
  out << "Verdict:  " << (v.accepted ? std::string("accepted") : "rejected: " + Visible(v.error)) << "\n";
  if (v.tableOffset) out << "Table at: " << Hex(*v.tableOffset) << "\n";
  if (v.header) {
    const CDescGlobal& h = *v.header;
    out << "Header:   eepromId " << Hex(h.m_eepromId) << ", marker " << Hex(h.m_marker) << ", headerBits "
        << int(h.m_headerBits) << ", fwType " << int(h.m_fwType) << ", tableEnd " << Hex(h.m_tableEnd)
        << ", recordCount " << int(h.m_recordCount) << ", hasEepInfo " << int(h.m_hasEepInfo) << ", memType "
        << Hex(h.m_memType) << "\n";
  }
  if (v.memoryKind) {
    out << "Memory:   kind " << *v.memoryKind;
    if (v.memorySize) out << ", " << *v.memorySize << " bytes, class " << *v.memoryClass;
    out << "\n";
  }
  if (!walk) return;
  out << "Records:  " << walk->records.size() << "\n";
  for (const auto& r : walk->records) {
    out << "  " << Hex(r.offset) << "  type " << int(r.type) << "  length " << r.length << "  " << r.className << "\n";
    PrintFields(out, r.fields);
    out << "      rebuilt: "
        << (r.rebuiltOk ? HexBytes(r.rebuilt.data(), r.rebuilt.size(), " ") : std::string("(refused)")) << "\n";
  }
  out << "Walk ended at " << Hex(walk->stopOffset) << ": " << StopText(walk->stop) << "\n";
}

}  // namespace

int RunInspect(const Arguments& args, std::ostream& out, std::ostream& err) {
  bool json = false;
  std::string path;
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") {
      out << kUsage;
      return kExitOk;
    }
    if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] == '-') {
      err << "zarnet-cli inspect: unknown option " << a << "\n" << kUsage;
      return kExitUsage;
    } else if (path.empty()) {
      path = a;
    } else {
      err << "zarnet-cli inspect: only one FILE may be given\n" << kUsage;
      return kExitUsage;
    }
  }
  if (path.empty()) {
    err << "zarnet-cli inspect: FILE is missing\n" << kUsage;
    return kExitUsage;
  }
  ImageVerdict verdict = JudgeFirmwareImage(path, true);
  std::unique_ptr<Walk> walk;
  if (verdict.table) walk = std::make_unique<Walk>(WalkTable(*verdict.table, *verdict.tableOffset));
  if (json)
    PrintJson(out, path, verdict, walk.get());
  else
    PrintPlain(out, path, verdict, walk.get());
  if (verdict.accepted) return kExitOk;
  return verdict.unreadable ? kExitUsage : kExitRefused;
}
