#pragma once
// JSON as a trace's lines hold it: objects, arrays, strings, integers, true,
// false and null. A trace never holds fractions, so a number with one is
// refused like any other text that is no trace record.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  int64_t number = 0;
  std::string text;
  std::vector<JsonValue> items;    // an array's; an object's member values
  std::vector<std::string> names;  // an object's member names, in the order of `items`

  // The member named `key` of an object; null when there is none.
  const JsonValue* Find(const std::string& key) const;
};

// The one value `text` holds, or none when it holds anything else.
std::optional<JsonValue> ParseJson(const std::string& text);

}  // namespace platform
