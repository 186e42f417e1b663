#pragma once
// A small JSON writer for the command-line tool's machine-readable output.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(const std::string& key);
  JsonWriter& String(const std::string& value);
  JsonWriter& StringOrNull(const std::optional<std::string>& value);  // null when none
  JsonWriter& Number(int64_t value);
  // With `places` digits after the point, e.g. seconds as 12.3.
  JsonWriter& Decimal(double value, int places);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& Text() const { return text_; }

  static std::string Quote(const std::string& value);

 private:
  void BeforeValue();
  std::string text_;
  std::vector<bool> first_;  // per open container: no element written yet
  bool afterKey_ = false;
};

// A value of a flat object: a string, a number, true, false or null.
struct JsonScalar {
  enum class Kind { kNull, kString, kNumber, kBool } kind = Kind::kNull;
  std::string text;  // a string's text (the bytes Quote wrote), a number's digits
  bool boolean = false;
};
// One object whose values are scalars, as the device commands print their
// events; none when the line is anything else.
std::optional<std::map<std::string, JsonScalar>> ParseFlatObject(const std::string& line);

// The last line a device command prints with --json:
// {"event":"result","result":...,"exitStatus":...,"reason":...}, where
// `result` is null when the command was refused before it started.
std::string ResultEvent(const std::optional<std::string>& result, int exitStatus, const std::string& reason);
// The same fields, written into an object `json` has open, for a result that
// tells more after them.
void ResultFields(JsonWriter& json, const std::optional<std::string>& result, int exitStatus,
                  const std::string& reason);

// "0x1F": a number as the status lines show addresses and bytes.
std::string HexNumber(uint32_t value);

std::string HexBytes(const uint8_t* data, size_t count, const char* separator = "");
