#include "Json.h"

#include <cctype>
#include <cstdio>
#include <cstring>

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

JsonWriter& JsonWriter::StringOrNull(const std::optional<std::string>& value) {
  return value ? String(*value) : Null();
}

JsonWriter& JsonWriter::Number(int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Decimal(double value, int places) {
  BeforeValue();
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", places, value);
  text_ += text;
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

void ResultFields(JsonWriter& json, const std::optional<std::string>& result, int exitStatus,
                  const std::string& reason) {
  json.Key("event").String("result").Key("result");
  if (result)
    json.String(*result);
  else
    json.Null();
  json.Key("exitStatus").Number(exitStatus).Key("reason");
  if (reason.empty())
    json.Null();
  else
    json.String(reason);
}

std::string ResultEvent(const std::optional<std::string>& result, int exitStatus, const std::string& reason) {
  JsonWriter json;
  json.BeginObject();
  ResultFields(json, result, exitStatus, reason);
  json.EndObject();
  return json.Text();
}

namespace {

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Reads the JSON text of one flat object; each step fails on what does not fit.
class FlatReader {
 public:
  explicit FlatReader(const std::string& text) : text_(text) {}

  bool Object(std::map<std::string, JsonScalar>* fields) {
    if (!Take('{')) return false;
    if (Take('}')) return AtEnd();
    do {
      std::string key;
      JsonScalar value;
      if (!String(&key) || !Take(':') || !Value(&value)) return false;
      (*fields)[key] = std::move(value);
    } while (Take(','));
    return Take('}') && AtEnd();
  }

 private:
  void SkipBlanks() {
    while (at_ < text_.size() && text_[at_] != '\0' && std::strchr(" \t\r\n", text_[at_])) ++at_;
  }
  bool Take(char c) {
    SkipBlanks();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool AtEnd() {
    SkipBlanks();
    return at_ == text_.size();
  }
  bool Word(const char* word) {
    const size_t n = std::strlen(word);
    if (text_.compare(at_, n, word) != 0) return false;
    at_ += n;
    return true;
  }
  bool Value(JsonScalar* value) {
    SkipBlanks();
    if (at_ >= text_.size()) return false;
    if (text_[at_] == '"') {
      value->kind = JsonScalar::Kind::kString;
      return String(&value->text);
    }
    if (Word("null")) return true;
    value->kind = JsonScalar::Kind::kBool;
    if (Word("true")) return value->boolean = true;
    if (Word("false")) return true;
    value->kind = JsonScalar::Kind::kNumber;
    const size_t start = at_;
    while (at_ < text_.size() && text_[at_] != '\0' && std::strchr("-+.eE0123456789", text_[at_])) ++at_;
    value->text = text_.substr(start, at_ - start);
    return at_ > start;
  }
  bool Hex4(uint32_t* code) {
    if (at_ + 4 > text_.size()) return false;
    *code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
      *code = *code * 16 +
              static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return true;
  }
  // U+DC80-U+DCFF alone stands for the byte that was no UTF-8 (see Quote).
  bool Escape(std::string* out) {
    const char c = text_[at_++];
    if (c != 'u') {
      static const std::map<char, char> kEscapes{{'"', '"'},  {'\\', '\\'}, {'/', '/'},  {'b', '\b'},
                                                 {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'}};
      const auto found = kEscapes.find(c);
      if (found == kEscapes.end()) return false;
      *out += found->second;
      return true;
    }
    uint32_t code = 0;
    if (!Hex4(&code)) return false;
    if (code >= 0xDC80 && code <= 0xDCFF) {
      *out += static_cast<char>(code - 0xDC00);
      return true;
    }
    if (code >= 0xD800 && code <= 0xDBFF && text_.compare(at_, 2, "\\u") == 0) {
      at_ += 2;
      uint32_t low = 0;
      if (!Hex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(*out, code);
    return true;
  }
  bool String(std::string* out) {
    if (!Take('"')) return false;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        *out += c;
      } else if (at_ >= text_.size() || !Escape(out)) {
        return false;
      }
    }
    return false;
  }

  const std::string& text_;
  size_t at_ = 0;
};

}  // namespace

std::optional<std::map<std::string, JsonScalar>> ParseFlatObject(const std::string& line) {
  std::map<std::string, JsonScalar> fields;
  if (!FlatReader(line).Object(&fields)) return std::nullopt;
  return fields;
}
