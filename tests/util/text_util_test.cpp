// Bounded copy/append and the small scanning helpers.
#include "util/text_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

namespace {

TEST(SafeCopyTest, CopiesTruncatesAndZeroFillsWithinSize)
{
    struct {
        const char* source;
        std::size_t size;
        std::string want;  // the first `size` bytes of the destination
    } cases[] = {
        {"ab", 6, std::string("ab\0\0\0\0", 6)}, {"hello", 4, std::string("hel\0", 4)},
        {"abc", 4, std::string("abc\0", 4)},     {"", 3, std::string("\0\0\0", 3)},
        {"x", 1, std::string("\0", 1)},
    };
    for (const auto& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(safe_copy(buffer, c.source, c.size), buffer) << "\"" << c.source << "\" size " << c.size;
        EXPECT_EQ(std::string(buffer, c.size), c.want) << "\"" << c.source << "\" size " << c.size;
        EXPECT_EQ(std::string(buffer + c.size, sizeof buffer - c.size), std::string(sizeof buffer - c.size, '#'))
            << "wrote beyond size " << c.size << " for \"" << c.source << "\"";
    }
    char buffer[4] = "abc";
    EXPECT_EQ(safe_copy(nullptr, "x", 4), nullptr);
    EXPECT_EQ(safe_copy(buffer, nullptr, 4), nullptr);
    EXPECT_STREQ(buffer, "abc");
}

TEST(SafeAppendTest, AppendsWithinBound)
{
    struct {
        const char* start;
        const char* source;
        std::size_t size;
        const char* want;
    } cases[] = {
        {"ab", "cd", 8, "abcd"}, {"ab", "cdefgh", 5, "abcd"}, {"abc", "x", 4, "abc"},
        {"", "xyz", 3, "xy"},    {"ab", "", 8, "ab"},
    };
    for (const auto& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        std::strcpy(buffer, c.start);
        EXPECT_EQ(safe_append(buffer, c.source, c.size), buffer) << "\"" << c.start << "\" + \"" << c.source << "\"";
        EXPECT_STREQ(buffer, c.want) << "\"" << c.start << "\" + \"" << c.source << "\" size " << c.size;
        EXPECT_EQ(std::string(buffer + c.size, sizeof buffer - c.size), std::string(sizeof buffer - c.size, '#'))
            << "wrote beyond size " << c.size;
    }
}

TEST(SafeAppendTest, FullDestinationOrNullGivesNullUnchanged)
{
    for (std::size_t size : {3u, 4u}) {
        char buffer[8] = "abcd";
        EXPECT_EQ(safe_append(buffer, "x", size), nullptr) << "size " << size;
        EXPECT_EQ(std::string(buffer, sizeof buffer), std::string("abcd\0\0\0\0", 8)) << "size " << size;
    }
    char buffer[8] = "ab";
    EXPECT_EQ(safe_append(nullptr, "x", 8), nullptr);
    EXPECT_EQ(safe_append(buffer, nullptr, 8), nullptr);
    EXPECT_STREQ(buffer, "ab");
}

TEST(SkipBlanksTest, SkipsOnlyBlanksAndTabs)
{
    struct {
        const char* text;
        std::ptrdiff_t want_offset;
    } cases[] = {
        {"abc", 0}, {"  abc", 2}, {"\t \tx y", 3}, {"   ", 3}, {"", 0},
        {"\nx", 0}, {"\r x", 0},  {" \v x", 1},    {" \f", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(skip_blanks(c.text) - c.text, c.want_offset) << "text \"" << c.text << "\"";
        std::string writable = c.text;
        EXPECT_EQ(skip_blanks(writable.data()) - writable.data(), c.want_offset) << "text \"" << c.text << "\"";
        EXPECT_EQ(skip_blanks(std::string_view(c.text)), std::string_view(c.text).substr(c.want_offset));
    }
    EXPECT_EQ(skip_blanks(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(skip_blanks(static_cast<char*>(nullptr)), nullptr);
    EXPECT_EQ(skip_blanks(std::string_view("  x", 2)), std::string_view());  // stops at the view's end
}

TEST(CutAtNewlineTest, EndsTextAtFirstNewline)
{
    struct {
        std::string text;
        std::string want;  // the whole buffer afterwards
    } cases[] = {
        {"Mon Nov 20 20:18:52 2006\n", std::string("Mon Nov 20 20:18:52 2006\0", 25)},
        {"ab\ncd\n", std::string("ab\0cd\n", 6)},
        {"no newline", "no newline"},
        {"\n", std::string("\0", 1)},
        {"a\rb", "a\rb"},
    };
    for (const auto& c : cases) {
        std::string buffer = c.text;
        EXPECT_EQ(cut_at_newline(buffer.data()), buffer.data());
        EXPECT_EQ(buffer, c.want) << "text \"" << c.text << "\"";
    }
    EXPECT_EQ(cut_at_newline(nullptr), nullptr);
}

TEST(FindNocase, FirstMatchWithCaseIgnoredOnBothSides)
{
    const char* body = "STARTTLS=client, relay=mx.Example.com., version=TLSv1.3, verify=OK";
    struct { const char* needle; const char* exact; } cases[] = {
        {"starttls=", "STARTTLS="}, {"StartTls=", "STARTTLS="}, {"RELAY=", "relay="},
        {"mx.example.COM", "mx.Example.com"}, {"ok", "OK"}, {"", body},
        {"verify=OKAY", nullptr}, {"relay=mx.example.org", nullptr}, {"stat=", nullptr},
    };
    for (const auto& c : cases) {
        const char* want = c.exact ? std::strstr(body, c.exact) : nullptr;
        EXPECT_EQ(find_nocase(body, c.needle), want) << "needle \"" << c.needle << "\"";
    }
    // A partial match must not hide a full one that starts inside it.
    const char* repeated = "ststAT=x";
    EXPECT_EQ(find_nocase(repeated, "STAT="), repeated + 2);
}

}  // namespace
