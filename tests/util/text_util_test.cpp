// Bounded copy/append and the small scanning helpers.
#include "util/text_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

namespace {

// safe_copy (append false) or safe_append (true) into `start` padded with '#':
// the first `size` bytes (the text for appends), and nothing beyond `size` touched.
TEST(BoundedCopy, CopiesOrAppendsWithinSize)
{
    struct { bool append; const char* start; const char* source; std::size_t size; std::string want; } cases[] = {
        {false, "", "ab", 6, std::string("ab\0\0\0\0", 6)}, {false, "", "hello", 4, std::string("hel\0", 4)},
        {false, "", "", 3, std::string("\0\0\0", 3)},      {false, "", "x", 1, std::string("\0", 1)},
        {true, "ab", "cd", 8, "abcd"},  {true, "ab", "cdefgh", 5, "abcd"}, {true, "abc", "x", 4, "abc"},
        {true, "", "xyz", 3, "xy"},     {true, "abcd", "x", 4, "abcd"},  {true, "abcd", "x", 3, "abcd"},
    };
    for (const auto& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        std::memcpy(buffer, c.start, std::strlen(c.start) + 1);
        char* got = c.append ? safe_append(buffer, c.source, c.size) : safe_copy(buffer, c.source, c.size);
        const std::string label = std::string(c.start) + "+" + c.source + " " + std::to_string(c.size);
        const bool refused = c.append && std::strlen(c.start) >= c.size;  // full already: null, unchanged
        EXPECT_EQ(got, refused ? nullptr : buffer) << label;
        EXPECT_EQ(c.append ? std::string(buffer) : std::string(buffer, c.size), c.want) << label;
        const std::size_t end = c.size > std::strlen(c.start) ? c.size : std::strlen(c.start) + 1;
        EXPECT_EQ(std::string(buffer + end, sizeof buffer - end), std::string(sizeof buffer - end, '#')) << label;
    }
    char buffer[4] = "abc";
    EXPECT_EQ(safe_copy(buffer, nullptr, 4), nullptr);
    EXPECT_EQ(safe_append(nullptr, "x", 8), nullptr);
    EXPECT_STREQ(buffer, "abc");
}

TEST(Scanning, SkipBlanksAndCutAtNewline)
{
    struct { const char* text; std::ptrdiff_t want_offset; } cases[] = {{"\t \tx y", 3}, {"   ", 3}, {"\nx", 0}, {" \v x", 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(skip_blanks(c.text) - c.text, c.want_offset) << "\"" << c.text << "\"";
        EXPECT_EQ(skip_blanks(std::string_view(c.text)), std::string_view(c.text).substr(c.want_offset));
    }
    EXPECT_EQ(skip_blanks(std::string_view("  x", 2)), std::string_view());  // stops at the view's end
    for (const auto& [text, want] : {std::pair<std::string, std::string>{"ab\ncd\n", std::string("ab\0cd\n", 6)},
                                     {"no newline", "no newline"}}) {
        std::string buffer = text;
        EXPECT_EQ(cut_at_newline(buffer.data()), buffer.data());
        EXPECT_EQ(buffer, want);
    }
    EXPECT_EQ(cut_at_newline(nullptr), skip_blanks(static_cast<const char*>(nullptr)));
}

TEST(FindNocase, FirstMatchWithCaseIgnoredOnBothSides)
{
    const char* body = "STARTTLS=client, relay=mx.Example.com., verify=OK, ststAT=x";
    struct { const char* needle; const char* exact; } cases[] = {{"StartTls=", "STARTTLS="}, {"RELAY=", "relay="},
        {"mx.example.COM", "mx.Example.com"}, {"", body}, {"verify=OKAY", nullptr},
        {"stat=", "stAT="}};  // a partial match must not hide a full one that starts inside it
    for (const auto& c : cases)
        EXPECT_EQ(find_nocase(body, c.needle), c.exact ? std::strstr(body, c.exact) : nullptr) << c.needle;
}

}  // namespace
