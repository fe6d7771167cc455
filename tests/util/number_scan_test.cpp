// The input phase's number scanning must give exactly strtol's and
// strtoul's results, overflow and odd signs included.
#include "util/number_scan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(NumberScan, ReadsLikeStrtolAndStrtoul)
{
    std::vector<std::string> texts{"9223372036854775807", "9223372036854775808", "-9223372036854775808",
                                   "-9223372036854775809", "18446744073709551616", "-18446744073709551616"};
    std::mt19937 random(3);
    for (int i = 0; i < 2000; ++i) {
        std::string text;
        for (int n = random() % 24; n > 0; --n)
            text += " \t+-0123456789x"[random() % 15];
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        char* c_end = nullptr;
        const char* end = nullptr;
        EXPECT_EQ(scan_long(text.c_str(), &end), std::strtol(text.c_str(), &c_end, 10)) << '"' << text << '"';
        EXPECT_EQ(end, c_end) << '"' << text << '"';
        EXPECT_EQ(scan_unsigned_long(text.c_str()), std::strtoul(text.c_str(), nullptr, 10)) << '"' << text << '"';
    }
}

}  // namespace
