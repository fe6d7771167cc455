// The input phase's number scanning must give exactly strtol's and
// strtoul's results, overflow and odd signs included.
#include "util/number_scan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace {

void expect_like_c_library(const std::string& text)
{
    char* c_end = nullptr;
    long want = std::strtol(text.c_str(), &c_end, 10);
    const char* end = nullptr;
    EXPECT_EQ(scan_long(text.c_str(), &end), want) << '"' << text << '"';
    EXPECT_EQ(end, c_end) << '"' << text << '"';
    EXPECT_EQ(scan_unsigned_long(text.c_str()), std::strtoul(text.c_str(), nullptr, 10)) << '"' << text << '"';
}

TEST(NumberScan, ReadsLikeStrtolAndStrtoul)
{
    for (const char* text : {"0", "42", " \t\n17x", "-5", "+7", "-", "+", "- 5", "x1", "", "007",
                             "9223372036854775807", "9223372036854775808", "-9223372036854775808",
                             "-9223372036854775809", "18446744073709551615", "18446744073709551616",
                             "-18446744073709551616", "99999999999999999999999", "2x", "12:34"})
        expect_like_c_library(text);
    std::mt19937 random(3);
    for (int i = 0; i < 2000; ++i) {
        std::string text;
        for (int n = random() % 24; n > 0; --n)
            text += " \t+-0123456789x"[random() % 15];
        expect_like_c_library(text);
    }
}

}  // namespace
