#include "Json.h"

#include <cstdio>

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) text_ += ',';
    first_.back() = false;
  }
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  text_ += '{';
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  text_ += '}';
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  text_ += '[';
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  text_ += ']';
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Key(const std::string& key) {
  BeforeValue();
  text_ += Quote(key);
  text_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(const std::string& value) {
  BeforeValue();
  text_ += Quote(value);
  return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
  return *this;
}

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0 when the byte
// there does not start one (a stray continuation, an overlong form, a
// surrogate, or beyond U+10FFFF).
struct Utf8Lead {
  size_t length;            // of the whole sequence; 0: not a lead byte
  unsigned char low, high;  // bounds of the second byte
};

Utf8Lead LeadOf(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

size_t Utf8SequenceAt(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const Utf8Lead lead = LeadOf(byte(0));
  if (lead.length == 0 || at + lead.length > text.size()) return 0;
  if (byte(1) < lead.low || byte(1) > lead.high) return 0;
  for (size_t i = 2; i < lead.length; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  return lead.length;
}

void AppendEscape(std::string& out, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", value);
  out += buffer;
}

}  // namespace

// Bytes that are not UTF-8 (a file name on Linux may hold any) are written
// as the lone surrogates U+DC80-U+DCFF, as Python's "surrogateescape" does:
// the output stays JSON, and each such byte is recoverable as code point
// minus 0xDC00.
std::string JsonWriter::Quote(const std::string& value) {
  std::string out = "\"";
  for (size_t i = 0; i < value.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          AppendEscape(out, c);
        } else if (c < 0x80) {
          out += static_cast<char>(c);
        } else if (const size_t length = Utf8SequenceAt(value, i); length > 0) {
          out.append(value, i, length);
          i += length - 1;
        } else {
          AppendEscape(out, 0xDC00u + c);
        }
    }
  }
  return out + "\"";
}

std::string HexNumber(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

std::string HexBytes(const uint8_t* data, size_t count, const char* separator) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i && *separator) out += separator;
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

std::string ResultEvent(const std::optional<std::string>& result, int exitStatus, const std::string& reason) {
  JsonWriter json;
  json.BeginObject().Key("event").String("result").Key("result");
  if (result)
    json.String(*result);
  else
    json.Null();
  json.Key("exitStatus").Number(exitStatus).Key("reason");
  if (reason.empty())
    json.Null();
  else
    json.String(reason);
  json.EndObject();
  return json.Text();
}
