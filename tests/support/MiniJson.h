#pragma once
// Just enough JSON reading for tests that check what the tool prints.

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  bool IsNull() const { return kind == kNull; }
  const JsonValue& operator[](const std::string& key) const {
    static const JsonValue missing;
    auto it = members.find(key);
    return it == members.end() ? missing : it->second;
  }
  bool Has(const std::string& key) const { return members.count(key) != 0; }
  long long Int() const { return static_cast<long long>(number); }
};

class JsonReader {
 public:
  // Parses one value; `ok` is false when the text is not well-formed JSON.
  static JsonValue Parse(const std::string& text, bool* ok) {
    JsonReader r(text);
    JsonValue v = r.Value();
    r.Space();
    *ok = r.ok_ && r.at_ == text.size();
    return v;
  }

 private:
  explicit JsonReader(const std::string& text) : s_(text) {}

  void Space() {
    while (at_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
  }
  bool Eat(char c) {
    Space();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(const char* w) {
    const std::string word(w);
    if (s_.compare(at_, word.size(), word) != 0) return false;
    at_ += word.size();
    return true;
  }
  JsonValue Fail() {
    ok_ = false;
    return {};
  }

  JsonValue Value() {
    Space();
    if (at_ >= s_.size()) return Fail();
    JsonValue v;
    const char c = s_[at_];
    if (c == '{') return Object();
    if (c == '[') return Array();
    if (c == '"') {
      v.kind = JsonValue::kString;
      if (!String(&v.text)) return Fail();
      return v;
    }
    if (Word("null")) return v;
    if (Word("true") || Word("false")) {
      v.kind = JsonValue::kBool;
      v.boolean = s_[at_ - 1] == 'e' && s_[at_ - 2] == 'u';
      return v;
    }
    char* end = nullptr;
    v.number = std::strtod(s_.c_str() + at_, &end);
    if (end == s_.c_str() + at_) return Fail();
    at_ = static_cast<size_t>(end - s_.c_str());
    v.kind = JsonValue::kNumber;
    return v;
  }

  bool String(std::string* out) {
    ++at_;
    while (at_ < s_.size() && s_[at_] != '"') {
      char c = s_[at_++];
      if (c == '\\' && at_ < s_.size()) {
        const char e = s_[at_++];
        switch (e) {
          case 'n': c = '\n'; break;
          case 'r': c = '\r'; break;
          case 't': c = '\t'; break;
          case 'u':
            c = static_cast<char>(std::strtol(s_.substr(at_, 4).c_str(), nullptr, 16));
            at_ += 4;
            break;
          default: c = e;
        }
      }
      out->push_back(c);
    }
    return at_++ < s_.size();
  }

  JsonValue Array() {
    ++at_;
    JsonValue v;
    v.kind = JsonValue::kArray;
    if (Eat(']')) return v;
    do {
      v.items.push_back(Value());
    } while (ok_ && Eat(','));
    return Eat(']') ? v : Fail();
  }

  JsonValue Object() {
    ++at_;
    JsonValue v;
    v.kind = JsonValue::kObject;
    if (Eat('}')) return v;
    do {
      Space();
      std::string key;
      if (at_ >= s_.size() || s_[at_] != '"' || !String(&key) || !Eat(':')) return Fail();
      v.members[key] = Value();
    } while (ok_ && Eat(','));
    return Eat('}') ? v : Fail();
  }

  const std::string& s_;
  size_t at_ = 0;
  bool ok_ = true;
};
