// The JSON reader of the source records.
#include "tools/devicedata/json_value.h"

#include <gtest/gtest.h>

namespace devicedata {
namespace {

TEST(JsonValueTest, ReadsNestedValues) {
  JsonValue v;
  std::string error;
  ASSERT_EQ(ParseJson(R"( {"a": [1, -2.5, 3e2], "b": {"c": "x\"y\\n\u4e2d"}, "d": true, "e": null, "f": []} )", &v,
                      &error),
            0)
      << error;
  ASSERT_EQ(v.kind, JsonKind::Object);
  const JsonValue* a = JsonMember(v, "a");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->items.size(), 3u);
  EXPECT_EQ(a->items[1].number, -2.5);
  EXPECT_EQ(a->items[2].number, 300);
  const JsonValue* c = JsonMember(*JsonMember(v, "b"), "c");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->text, "x\"y\\n\xE4\xB8\xAD");
  EXPECT_TRUE(JsonMember(v, "d")->flag);
  EXPECT_EQ(JsonMember(v, "e")->kind, JsonKind::Null);
  EXPECT_TRUE(JsonMember(v, "f")->items.empty());
  EXPECT_EQ(JsonMember(v, "g"), nullptr);
}

TEST(JsonValueTest, SurrogatePairsBecomeOneCharacter) {
  JsonValue v;
  ASSERT_EQ(ParseJson(R"("\ud840\udc00")", &v, nullptr), 0);
  EXPECT_EQ(v.text, "\xF0\xA0\x80\x80");  // U+20000
  EXPECT_EQ(ParseJson(R"("\ud840\u0041")", &v, nullptr), 1);
}

TEST(JsonValueTest, RefusesBrokenText) {
  JsonValue v;
  std::string error;
  for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"open", "[1] x", "{'a': 1}", "tru", "[1 2]", "\"\\q\""}) {
    error.clear();
    EXPECT_EQ(ParseJson(bad, &v, &error), 1) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  std::string deep(100, '[');
  EXPECT_EQ(ParseJson(deep + std::string(100, ']'), &v, &error), 1);
}

}  // namespace
}  // namespace devicedata
