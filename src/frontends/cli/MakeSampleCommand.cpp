// zarnet-cli make-sample: writes a firmware image made from code, so that the
// tool can be tried without an image from a camera maker.

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "OutputFiles.h"
#include "firmware/SampleImage.h"

using namespace _QTL_UVC_Descriptor;

namespace {

const char kUsage[] =
    "usage: zarnet-cli make-sample [options] FILE\n"
    "\n"
    "Writes a sample firmware image to FILE; an existing FILE is refused unless\n"
    "--force is given, and FILE is replaced only by a complete image.\n"
    "\n"
    "  --memory-class N   memory the image is for, 1-8 (default 8, the 64 KiB\n"
    "                     serial flash); picks a typical EEPROM id and memory type\n"
    "  --eeprom-id X      table header's EEPROM id (overrides the memory class)\n"
    "  --mem-type X       memory-information record's memory type\n"
    "  --no-mem-record    leave out the memory-information record\n"
    "  --fw-type N        firmware type 0-31 (default 3); it picks the record family\n"
    "  --size BYTES       image size (default: the memory's size)\n"
    "  --table-offset X   where the table lies (default 0xF000 above that size, else 0)\n"
    "  --few-records      only a few common records (default: one record of every\n"
    "                     class the family knows, when it fits)\n"
    "  --seed N           seed of the code bytes (default 1)\n"
    "  --force            replace FILE if it exists\n"
    "\n"
    "Numbers may be decimal or 0x-prefixed hexadecimal.\n";

bool ParseNumber(const std::string& text, long long max, long long* value) {
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || v < 0 || v > max) return false;
  *value = v;
  return true;
}

struct Parsed {
  SampleOptions options;
  std::string path;
  int memClass = 8;
  bool sizeGiven = false, idGiven = false, typeGiven = false;
  bool force = false;
};

int Usage(std::ostream& err, const std::string& why) { return UsageError("make-sample", why, err); }

bool TakesValue(const std::string& option) {
  for (const char* name :
       {"--memory-class", "--eeprom-id", "--mem-type", "--fw-type", "--size", "--table-offset", "--seed"})
    if (option == name) return true;
  return false;
}

// Fills `parsed`; returns -1 when parsing went well, else the exit status.
int ParseArguments(const CommandArguments& args, std::ostream& out, std::ostream& err, Parsed& parsed) {
  SampleOptions& o = parsed.options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](long long max, long long* v) { return ParseNumber(args[++i], max, v); };
    long long v = 0;
    if (const std::string stray = args.StrayValue(i); !stray.empty()) return Usage(err, stray);
    if (!args.IsOption(i)) {
      if (!parsed.path.empty()) return Usage(err, "only one FILE may be given");
      parsed.path = a;
    } else if (TakesValue(a) && args.LacksValue(i)) {
      return Usage(err, CommandArguments::MissingValue(a));
    } else if (a == "--help" || a == "-h") {
      out << kUsage;
      return kExitOk;
    } else if (a == "--memory-class") {
      if (!value(8, &v) || v < 1) return Usage(err, "--memory-class takes 1 to 8");
      parsed.memClass = static_cast<int>(v);
    } else if (a == "--eeprom-id") {
      if (!value(255, &v)) return Usage(err, "--eeprom-id takes a byte");
      o.eepromId = static_cast<uint8_t>(v);
      parsed.idGiven = true;
    } else if (a == "--mem-type") {
      if (!value(255, &v)) return Usage(err, "--mem-type takes a byte");
      o.memType = static_cast<uint8_t>(v);
      parsed.typeGiven = true;
    } else if (a == "--no-mem-record") {
      o.withMemoryRecord = false;
    } else if (a == "--fw-type") {
      if (!value(31, &v)) return Usage(err, "--fw-type takes 0 to 31");
      o.fwType = static_cast<uint8_t>(v);
    } else if (a == "--size") {
      if (!value(65536, &v)) return Usage(err, "--size takes 6 to 65536");
      o.imageSize = static_cast<uint32_t>(v);
      parsed.sizeGiven = true;
    } else if (a == "--table-offset") {
      if (!value(65530, &v)) return Usage(err, "--table-offset takes 0 to 65530");
      o.tableOffset = static_cast<int32_t>(v);
    } else if (a == "--force") {
      parsed.force = true;
    } else if (a == "--few-records") {
      o.everyRecordClass = false;
    } else if (a == "--seed") {
      if (!value(0xFFFFFFFFll, &v)) return Usage(err, "--seed takes a 32-bit number");
      o.seed = static_cast<uint32_t>(v);
    } else {
      return Usage(err, "unknown option " + a);
    }
  }
  if (parsed.path.empty()) return Usage(err, "FILE is missing");
  return -1;
}

void ApplyMemoryClass(Parsed& parsed) {
  const MemoryPart part = TypicalPartForClass(parsed.memClass);
  SampleOptions& o = parsed.options;
  if (!parsed.idGiven) o.eepromId = part.eepromId;
  if (!parsed.typeGiven) o.memType = part.memType;
  if (!parsed.sizeGiven) o.imageSize = part.size;
  // Small memories have no room for a record of every class.
  if (o.imageSize < 4096) o.everyRecordClass = false;
}

}  // namespace

int RunMakeSample(const Arguments& args, std::ostream& out, std::ostream& err) {
  Parsed parsed;
  if (const int status = ParseArguments(CommandArguments(args), out, err, parsed); status >= 0) return status;
  if (const auto refusal = OutputRefusal(parsed.path, parsed.force)) {
    err << "zarnet-cli make-sample: " << *refusal << "\n";
    return kExitUsage;
  }
  ApplyMemoryClass(parsed);
  std::string error;
  const auto image = BuildSampleImage(parsed.options, &error);
  if (image.empty()) return Usage(err, error);
  if (const std::string cause = WriteFileAtomically(parsed.path, image); !cause.empty()) {
    err << "zarnet-cli make-sample: cannot write " << parsed.path << ": " << cause << "\n";
    return kExitUsage;
  }
  out << "Wrote " << parsed.path << ": " << image.size() << " bytes, firmware type " << int(parsed.options.fwType)
      << ", EEPROM id 0x" << std::hex << int(parsed.options.eepromId) << ", memory type 0x"
      << int(parsed.options.memType) << std::dec << "\n";
  return kExitOk;
}
