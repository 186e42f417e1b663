// zarnet-cli inspect: judges a firmware file exactly as the window does, then
// shows what its descriptor table holds.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>

#include "Commands.h"
#include "InputFiles.h"
#include "InspectText.h"
#include "Json.h"
#include "download/ImageAcceptance.h"
#include "firmware/DescriptorTable.h"

using namespace _QTL_UVC_Descriptor;

namespace {

const char kCommand[] = "inspect";

const char kUsage[] =
    "usage: zarnet-cli inspect [--summary | --json] FILE\n"
    "\n"
    "Judges FILE as the tool does before a download (table at 0xF000, 0xE000\n"
    "or 0; header; memory kind, size and class) and lists every record of the\n"
    "table with its fields and whether its class writes it back unchanged.\n"
    "\n"
    "  --summary  a few lines: the verdict, where the table lies, the memory,\n"
    "             the records by kind and how the walk through them ended\n"
    "  --json     one JSON object on standard output, for scripts; it holds\n"
    "             everything the summary says, so the two are not combined\n"
    "\n"
    "Fields whose meaning is not known are named by their place in the record\n"
    "(\"bytes 5-6\"). Numbers show in decimal and then in hexadecimal as wide\n"
    "as the field; ranges and settings that may fall below zero are signed.\n"
    "\n"
    "Exit status: 0 accepted, 1 rejected, 2 usage error or unreadable file.\n";

enum class Output { kListing, kSummary, kJson };

struct Options {
  Output output = Output::kListing;
  std::string path;
};

// Fills `options`; returns -1 when the arguments are good, else the exit status.
int ParseOptions(const CommandArguments& args, std::ostream& out, std::ostream& err, Options& options) {
  bool summary = false;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (const std::string stray = args.StrayValue(i); !stray.empty()) return UsageError(kCommand, stray, err);
    if (!args.IsOption(i)) {
      if (!options.path.empty()) return UsageError(kCommand, "only one FILE may be given", err);
      options.path = a;
    } else if (a == "--help" || a == "-h") {
      out << kUsage;
      return kExitOk;
    } else if (a == "--summary") {
      summary = true;
    } else if (a == "--json") {
      json = true;
    } else {
      return UsageError(kCommand, "unknown option " + a, err);
    }
  }
  if (summary && json) {
    return UsageError(kCommand, "--summary and --json do not go together: the JSON holds the summary already", err);
  }
  if (options.path.empty()) return UsageError(kCommand, "FILE is missing", err);
  options.output = json ? Output::kJson : summary ? Output::kSummary : Output::kListing;
  return -1;
}

// ---------------------------------------------------------------- the file

// The size the file system gives a regular file; none for anything else.
std::optional<uintmax_t> RealSize(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return size;
}

// Why the file could not be judged, in the operating system's words.
std::string WhyUnreadable(const std::string& path) {
  return UnreadableCause(path).value_or("it could not be opened when it was judged");
}

// ---------------------------------------------------------------- the walk

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
    const int32_t at = table.CursorOffset();
    const int64_t offset = tableOffset + at;
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
    r.isDummy = dynamic_cast<CDescDummy*>(record.get()) != nullptr;
    record->ListFields(r.fields);
    // The table checked that the record lies inside its copy.
    r.fileBytes.assign(table.m_image + at, table.m_image + at + record->m_length);
    r.rebuilt = Rebuild(*record, &r.rebuiltOk);
    walk.records.push_back(std::move(r));
  }
}

// ---------------------------------------------------------------- JSON

template <typename T>
void NumberOrNull(JsonWriter& json, const char* key, const std::optional<T>& value) {
  json.Key(key);
  if (value)
    json.Number(static_cast<int64_t>(*value));
  else
    json.Null();
}

void StringOrNull(JsonWriter& json, const char* key, const std::optional<std::string>& value) {
  json.Key(key);
  if (value)
    json.String(*value);
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

void WriteRecordGroupsJson(JsonWriter& json, const Walk* walk) {
  json.Key("recordGroups");
  if (!walk) {
    json.Null();
    return;
  }
  json.BeginObject();
  for (const auto& [group, count] : CountByGroup(*walk)) json.Key(group).Number(count);
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
  json.Key("reason").String(Trimmed(StopText(walk->stop)));
  json.EndObject();
}

void PrintJson(std::ostream& out, const Judged& judged) {
  const ImageVerdict& v = judged.verdict;
  JsonWriter json;
  json.BeginObject();
  json.Key("path").String(judged.path);
  json.Key("accepted").Bool(v.accepted != 0);
  json.Key("error");
  if (v.accepted)
    json.Null();
  else
    json.String(Trimmed(v.error));
  StringOrNull(json, "cause", judged.cause);
  NumberOrNull(json, "fileSize", judged.realSize);
  NumberOrNull(json, "tableOffset", v.tableOffset);
  NumberOrNull(json, "fwType", v.fwType);
  NumberOrNull(json, "memoryKind", v.memoryKind);
  NumberOrNull(json, "memorySize", v.memorySize);
  NumberOrNull(json, "memoryClass", v.memoryClass);
  WriteHeaderJson(json, v.header);
  WriteRecordGroupsJson(json, judged.walk.get());
  WriteRecordsJson(json, judged.walk.get());
  json.EndObject();
  out << json.Text() << "\n";
}

}  // namespace

int RunInspect(const Arguments& args, std::ostream& out, std::ostream& err) {
  Options options;
  if (const int status = ParseOptions(CommandArguments(args), out, err, options); status >= 0) return status;

  Judged judged;
  judged.path = options.path;
  judged.verdict = JudgeFirmwareImage(options.path, true);
  judged.realSize = RealSize(options.path);
  const ImageVerdict& verdict = judged.verdict;
  if (verdict.table) judged.walk = std::make_unique<Walk>(WalkTable(*verdict.table, *verdict.tableOffset));
  if (verdict.unreadable) {
    judged.cause = WhyUnreadable(options.path);
    err << "zarnet-cli inspect: cannot read " << options.path << ": " << *judged.cause;
    if (judged.realSize) err << " (the file holds " << *judged.realSize << " bytes)";
    err << "\n";
  }

  if (options.output == Output::kJson)
    PrintJson(out, judged);
  else if (!verdict.unreadable)
    PrintText(out, judged, options.output == Output::kSummary);

  if (verdict.accepted) return kExitOk;
  return verdict.unreadable ? kExitUsage : kExitRefused;
}
