// A small JSON reader for the source data of the device files (one stroke
// record per file): objects, arrays, strings, numbers, true/false/null.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace devicedata {

enum class JsonKind { Null, Bool, Number, String, Array, Object };

struct JsonValue {
  JsonKind kind = JsonKind::Null;
  bool flag = false;
  double number = 0;
  std::string text;  // UTF-8
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;
};

// 0, or 1 with the place and reason in `error`.
int ParseJson(std::string_view input, JsonValue* out, std::string* error);
// The member named `name` of an object, or null.
const JsonValue* JsonMember(const JsonValue& object, std::string_view name);

}  // namespace devicedata
