#include "tools/devicedata/json_value.h"

#include <cstdlib>

namespace devicedata {

namespace {

struct Parser {
  std::string_view in;
  std::size_t pos = 0;
  std::string error;
  int depth = 0;

  bool Fail(const std::string& why) {
    if (error.empty()) error = "offset " + std::to_string(pos) + ": " + why;
    return false;
  }
  void Skip() {
    while (pos < in.size() && (in[pos] == ' ' || in[pos] == '\t' || in[pos] == '\n' || in[pos] == '\r')) ++pos;
  }
  bool Word(std::string_view w) {
    if (in.substr(pos, w.size()) != w) return Fail("unknown word");
    pos += w.size();
    return true;
  }
  static void PutUtf8(std::string* s, unsigned c) {
    if (c < 0x80) {
      s->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      s->push_back(static_cast<char>(0xC0 | (c >> 6)));
      s->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      s->push_back(static_cast<char>(0xE0 | (c >> 12)));
      s->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      s->push_back(static_cast<char>(0xF0 | (c >> 18)));
      s->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  bool Hex4(unsigned* v) {
    if (pos + 4 > in.size()) return Fail("short \\u escape");
    *v = 0;
    for (int i = 0; i < 4; ++i) {
      char c = in[pos++];
      unsigned d;
      if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
      else return Fail("bad \\u escape");
      *v = *v * 16 + d;
    }
    return true;
  }
  bool String(std::string* s) {
    ++pos;  // opening quote
    while (true) {
      if (pos >= in.size()) return Fail("unterminated string");
      char c = in[pos++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in string");
      if (c != '\\') {
        s->push_back(c);
        continue;
      }
      if (pos >= in.size()) return Fail("unterminated escape");
      char e = in[pos++];
      switch (e) {
        case '"': s->push_back('"'); break;
        case '\\': s->push_back('\\'); break;
        case '/': s->push_back('/'); break;
        case 'b': s->push_back('\b'); break;
        case 'f': s->push_back('\f'); break;
        case 'n': s->push_back('\n'); break;
        case 'r': s->push_back('\r'); break;
        case 't': s->push_back('\t'); break;
        case 'u': {
          unsigned v = 0;
          if (!Hex4(&v)) return false;
          if (v >= 0xD800 && v < 0xDC00 && in.substr(pos, 2) == "\\u") {
            pos += 2;
            unsigned lo = 0;
            if (!Hex4(&lo)) return false;
            if (lo < 0xDC00 || lo > 0xDFFF) return Fail("unpaired surrogate");
            v = 0x10000 + ((v - 0xD800) << 10) + (lo - 0xDC00);
          }
          PutUtf8(s, v);
          break;
        }
        default: return Fail("unknown escape");
      }
    }
  }
  bool Number(double* v) {
    const std::size_t start = pos;
    if (pos < in.size() && in[pos] == '-') ++pos;
    while (pos < in.size() && ((in[pos] >= '0' && in[pos] <= '9') || in[pos] == '.' || in[pos] == 'e' ||
                               in[pos] == 'E' || in[pos] == '+' || in[pos] == '-')) {
      ++pos;
    }
    std::string digits(in.substr(start, pos - start));
    char* end = nullptr;
    *v = std::strtod(digits.c_str(), &end);
    if (digits.empty() || end != digits.c_str() + digits.size()) return Fail("bad number");
    return true;
  }
  bool Value(JsonValue* v) {
    Skip();
    if (pos >= in.size()) return Fail("value expected");
    if (++depth > 64) return Fail("nested too deep");
    bool ok = true;
    char c = in[pos];
    if (c == '{') {
      v->kind = JsonKind::Object;
      ++pos;
      Skip();
      if (pos < in.size() && in[pos] == '}') {
        ++pos;
      } else {
        while (ok) {
          Skip();
          if (pos >= in.size() || in[pos] != '"') { ok = Fail("member name expected"); break; }
          std::pair<std::string, JsonValue> m;
          if (!(ok = String(&m.first))) break;
          Skip();
          if (pos >= in.size() || in[pos] != ':') { ok = Fail("':' expected"); break; }
          ++pos;
          if (!(ok = Value(&m.second))) break;
          v->members.push_back(std::move(m));
          Skip();
          if (pos < in.size() && in[pos] == ',') { ++pos; continue; }
          if (pos < in.size() && in[pos] == '}') { ++pos; break; }
          ok = Fail("',' or '}' expected");
        }
      }
    } else if (c == '[') {
      v->kind = JsonKind::Array;
      ++pos;
      Skip();
      if (pos < in.size() && in[pos] == ']') {
        ++pos;
      } else {
        while (ok) {
          JsonValue item;
          if (!(ok = Value(&item))) break;
          v->items.push_back(std::move(item));
          Skip();
          if (pos < in.size() && in[pos] == ',') { ++pos; continue; }
          if (pos < in.size() && in[pos] == ']') { ++pos; break; }
          ok = Fail("',' or ']' expected");
        }
      }
    } else if (c == '"') {
      v->kind = JsonKind::String;
      ok = String(&v->text);
    } else if (c == 't') {
      v->kind = JsonKind::Bool;
      v->flag = true;
      ok = Word("true");
    } else if (c == 'f') {
      v->kind = JsonKind::Bool;
      ok = Word("false");
    } else if (c == 'n') {
      ok = Word("null");
    } else {
      v->kind = JsonKind::Number;
      ok = Number(&v->number);
    }
    --depth;
    return ok;
  }
};

}  // namespace

int ParseJson(std::string_view input, JsonValue* out, std::string* error) {
  Parser p;
  p.in = input;
  JsonValue v;
  bool ok = p.Value(&v);
  if (ok) {
    p.Skip();
    if (p.pos != input.size()) ok = p.Fail("text after the value");
  }
  if (!ok) {
    if (error) *error = p.error;
    return 1;
  }
  *out = std::move(v);
  return 0;
}

const JsonValue* JsonMember(const JsonValue& object, std::string_view name) {
  for (const auto& m : object.members) {
    if (m.first == name) return &m.second;
  }
  return nullptr;
}

}  // namespace devicedata
