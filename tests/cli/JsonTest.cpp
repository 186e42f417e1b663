// The flat objects flash --all reads back from each copy's JSON stream.

#include "frontends/cli/Json.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the writer quotes comes back byte for byte, bytes that are not UTF-8
// and characters beyond the basic plane included.
TEST(FlatJson, ReadsBackWhatTheWriterWrote) {
  for (const std::string& text :
       std::vector<std::string>{"Writing firmware ... 0x1000", "a\"b\\c\n\t/", "caf\xE9\xFF.bin", "\xF0\x9F\x93\xB7",
                                std::string("nul\0byte", 8)}) {
    JsonWriter json;
    json.BeginObject().Key("text").String(text).Key("n").Number(-12).Key("b").Bool(true).Key("z").Null().EndObject();
    const auto fields = ParseFlatObject(json.Text());
    ASSERT_TRUE(fields) << json.Text();
    EXPECT_EQ(fields->at("text").text, text);
    EXPECT_EQ(fields->at("n").text, "-12");
    EXPECT_TRUE(fields->at("b").boolean);
    EXPECT_EQ(fields->at("z").kind, JsonScalar::Kind::kNull);
  }
  EXPECT_EQ(ParseFlatObject(R"({"s":"\ud83d\udcf7"})")->at("s").text, "\xF0\x9F\x93\xB7");
}

TEST(FlatJson, RefusesWhatIsNoFlatObject) {
  for (const char* line : {"", "Pass", "{", R"({"a":1)", R"({"a":[1]})", R"({"a":{"b":1}})", R"({"a":1} x)",
                           R"({"a":"\q"})", R"({"a":"\u12"})", R"({"a":"open)", R"({a:1})"})
    EXPECT_FALSE(ParseFlatObject(line)) << line;
  EXPECT_TRUE(ParseFlatObject(R"( { } )"));
}

}  // namespace
