// The text rule of the JSON export: the UTF-8 check against nlohmann-json's
// own, base64 against RFC 4648, the fast copy against the library's escaping.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "export/json_text.h"

namespace {

struct utf8_case {
    std::string text;
    bool valid;
};

TEST(JsonText, Utf8CheckFollowsRfc3629)
{
    const utf8_case cases[] = {
        {"", true},
        {"plain ascii", true},
        {"\xc3\xbc", true},                  // U+00FC
        {"\xe2\x82\xac", true},              // U+20AC
        {"\xf0\x9f\x93\xa7", true},          // U+1F4E7
        {"\xf4\x8f\xbf\xbf", true},          // U+10FFFF
        {"\xed\x9f\xbf", true},              // U+D7FF, just below the surrogates
        {"\xc0\x80", false},                 // overlong NUL
        {"\xc1\xbf", false},                 // overlong
        {"\xe0\x80\x80", false},             // overlong
        {"\xe0\x9f\xbf", false},             // overlong
        {"\xf0\x80\x80\x80", false},         // overlong
        {"\xed\xa0\x80", false},             // surrogate U+D800
        {"\xf4\x90\x80\x80", false},         // above U+10FFFF
        {"\xf5\x80\x80\x80", false},         // lead byte out of range
        {"\x80", false},                     // lone continuation
        {"\xc3", false},                     // cut short
        {"a\xe2\x82", false},                // cut short at the end
        {"\xc3\x28", false},                 // continuation missing
        {"\xff\xfe", false},
    };
    for (const utf8_case& c : cases)
        EXPECT_EQ(is_valid_utf8(c.text), c.valid) << testing::PrintToString(c.text);
}

// nlohmann-json refuses to write exactly the texts the check calls invalid.
TEST(JsonText, Utf8CheckAgreesWithTheLibrary)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> length(0, 6);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        for (int n = length(random); n > 0; --n) {
            // Mostly bytes of the interesting upper half.
            int b = byte(random);
            text += static_cast<char>(b < 64 ? b + 0x40 : b < 128 ? b + 0x80 : b);
        }
        bool library_writes = true;
        try {
            (void)nlohmann::ordered_json(text).dump();
        } catch (const nlohmann::json::type_error&) {
            library_writes = false;
        }
        ASSERT_EQ(is_valid_utf8(text), library_writes) << testing::PrintToString(text);
    }
}

TEST(JsonText, Base64OfTheRfc4648Vectors)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},          {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe\xfd", "//79"},
        {std::string("\0\x01", 2), "AAE="},
    };
    for (const auto& [text, encoded] : cases)
        EXPECT_EQ(base64_encoded(text), encoded) << testing::PrintToString(text);
}

struct value_case {
    const char* text;
    const char* json;
};

TEST(JsonText, EachKindOfTextBecomesItsValue)
{
    const value_case cases[] = {
        {nullptr, "null"},
        {"", "\"\""},
        {"user@example.org", "\"user@example.org\""},
        {"a\"b", "\"a\\\"b\""},
        {"back\\slash", "\"back\\\\slash\""},
        {"tab\there", "\"tab\\there\""},
        {"\x01", "\"\\u0001\""},
        {"<script>", "\"<script>\""},
        {"\xc3\xbc", "\"\xc3\xbc\""},
        {"\xff", "{\"base64\":\"/w==\"}"},
        {"ok\xc0\x80", "{\"base64\":\"b2vAgA==\"}"},
    };
    for (const value_case& c : cases) {
        std::string out;
        append_json_text(out, c.text);
        EXPECT_EQ(out, c.json) << (c.text ? c.text : "(null)");
        const nlohmann::ordered_json tree = json_text(c.text);
        EXPECT_EQ(tree.dump(), c.json);
    }
}

// The direct copy of plain texts gives the library's own text, and every
// value reads back to the original bytes.
TEST(JsonText, ValuesReadBackToTheirBytes)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(0, 12);
    std::uniform_int_distribution<int> byte(1, 255);
    for (int round = 0; round < 50000; ++round) {
        std::string text;
        for (int n = length(random); n > 0; --n)
            text += static_cast<char>(round % 2 ? byte(random) % 128 : byte(random));
        if (text.find('\0') != std::string::npos)
            continue;
        std::string out;
        append_json_text(out, text);
        const nlohmann::json back = nlohmann::json::parse(out);
        if (back.is_string()) {
            ASSERT_EQ(back.get<std::string>(), text);
            ASSERT_EQ(out, nlohmann::json(text).dump());
        } else {
            ASSERT_FALSE(is_valid_utf8(text));
            const std::string encoded = back.at("base64").get<std::string>();
            ASSERT_EQ(encoded, base64_encoded(text));
        }
        if (is_plain_json_text(text)) {
            ASSERT_EQ(out, "\"" + text + "\"");
        }
    }
}

TEST(JsonText, MeasureGivesLengthAndPlainness)
{
    EXPECT_EQ(measure_text("").length, 0u);
    EXPECT_TRUE(measure_text("abc").plain);
    EXPECT_EQ(measure_text("abc").length, 3u);
    EXPECT_FALSE(measure_text("a\"c").plain);
    EXPECT_FALSE(measure_text("\xc3\xbc").plain);
    EXPECT_FALSE(measure_text("\x1f").plain);
    EXPECT_TRUE(measure_text("~ \x7f").plain);
}

class Rfc3339Time : public testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        saved_ = tz ? tz : "";
        had_ = tz != nullptr;
    }
    void TearDown() override
    {
        if (had_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void use(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    std::string saved_;
    bool had_ = false;
};

TEST_F(Rfc3339Time, CarriesTheLocalOffset)
{
    const std::time_t time = 1796573784;  // 2026-12-06T16:16:24Z
    use("UTC");
    EXPECT_EQ(rfc3339_time(time), "2026-12-06T16:16:24+00:00");
    use("Europe/Berlin");
    EXPECT_EQ(rfc3339_time(time), "2026-12-06T17:16:24+01:00");
    EXPECT_EQ(rfc3339_time(1782915384), "2026-07-01T16:16:24+02:00");
    use("America/St_Johns");
    EXPECT_EQ(rfc3339_time(time), "2026-12-06T12:46:24-03:30");
}

}  // namespace
