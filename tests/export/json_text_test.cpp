// The text rule of the JSON export: the UTF-8 check against nlohmann-json's
// own (randomized), base64 against RFC 4648, the fast copy against the
// library's escaping, and the RFC 3339 time with the local offset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "export/json_text.h"

namespace {

// nlohmann-json refuses to write exactly the texts the check calls invalid;
// the bytes are mostly of the upper half, so every lead byte, overlong form,
// surrogate and cut sequence comes up.
TEST(JsonText, Utf8CheckAgreesWithTheLibrary)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> length(0, 6);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        for (int n = length(random); n > 0; --n) {
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

// Both forms, the appended text and the tree, of each kind of text.
TEST(JsonText, EachKindOfTextBecomesItsValue)
{
    const std::pair<const char*, const char*> cases[] = {
        {nullptr, "null"}, {"", "\"\""}, {"a\"b", "\"a\\\"b\""}, {"\x01", "\"\\u0001\""},
        {"\xc3\xbc", "\"\xc3\xbc\""}, {"ok\xc0\x80", "{\"base64\":\"b2vAgA==\"}"},
    };
    for (const auto& [text, json] : cases) {
        std::string out;
        append_json_text(out, text);
        EXPECT_EQ(out, json) << (text ? text : "(null)");
        EXPECT_EQ(json_text(text).dump(), json);
    }
    EXPECT_EQ(measure_text("").length, 0u);
    EXPECT_EQ(measure_text("abc").length, 3u);
    EXPECT_TRUE(measure_text("~ \x7f").plain);
    EXPECT_FALSE(measure_text("\x1f").plain);
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
            ASSERT_EQ(back.at("base64").get<std::string>(), base64_encoded(text));
        }
        if (is_plain_json_text(text)) {
            ASSERT_EQ(out, "\"" + text + "\"");
        }
    }
}

TEST(JsonText, Rfc3339TimeCarriesTheLocalOffset)
{
    const char* saved = std::getenv("TZ");
    const std::string saved_zone = saved ? saved : "";
    const auto at = [](const char* zone, std::time_t time) {
        setenv("TZ", zone, 1);
        tzset();
        return rfc3339_time(time);
    };
    const std::time_t time = 1796573784;  // 2026-12-06T16:16:24Z
    EXPECT_EQ(at("UTC", time), "2026-12-06T16:16:24+00:00");
    EXPECT_EQ(at("Europe/Berlin", time), "2026-12-06T17:16:24+01:00");
    EXPECT_EQ(at("Europe/Berlin", 1782915384), "2026-07-01T16:16:24+02:00");
    EXPECT_EQ(at("America/St_Johns", time), "2026-12-06T12:46:24-03:30");
    if (saved)
        setenv("TZ", saved_zone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
