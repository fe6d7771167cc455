// The report framework below what the reports show: the formatter against the C
// library (and the fallback for conversions it does not know), the report file's
// buffering and write failures, and the edges of the escaping rules.
#include "report/report_format.h"
#include "report/report_writer.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#pragma GCC diagnostic ignored "-Wformat-nonliteral"

namespace {

// {handled, text} of the formatter for one format.
std::pair<bool, std::string> formatted(const char* format, ...)
{
    std::string out = "keep:";
    va_list args;
    va_start(args, format);
    bool handled = append_formatted(out, format, args);
    va_end(args);
    return {handled, out};
}

TEST(ReportFormat, GivesThePrintfTextOfEveryConversionItHandles)
{
    std::mt19937 random(20261207);
    const char* flags[] = {"", "-", "0", "-0"};
    const char* texts[] = {"", "a", "mx1.example.org", "<tag> & text"};
    int handled = 0;
    for (int round = 0; round < 4000; ++round) {
        const int kind = static_cast<int>(random() % 7);  // s d u lu f c %
        std::string spec = "%";
        if (kind != 6) {
            spec += flags[random() % 4];
            if (random() % 2)
                spec += std::to_string(random() % 14);
            if (kind == 4 ? random() % 4 != 0 : random() % 4 == 0)
                (spec += '.') += std::to_string(random() % 9);
        }
        const char* conversions[] = {"s", "d", "u", "lu", "f", "c", "%"};
        const std::string format = "<" + spec + conversions[kind] + ">" + (kind == 3 ? "" : "|%lu|");
        char want[512];
        std::pair<bool, std::string> got;
        const double real = (static_cast<double>(random()) - 2147483648.0) / (1 << (random() % 20));
        const int number = static_cast<int>(random()) >> (random() % 31);
        const char* f = format.c_str();
        auto both = [&](auto... args) {
            got = formatted(f, args...);
            std::snprintf(want, sizeof want, f, args...);
        };
        switch (kind) {
        case 0: both(texts[round % 4], 7ul); break;
        case 1: both(number, 7ul); break;
        case 2: both(unsigned(number), 7ul); break;
        case 3: both(0ul - unsigned(number)); break;
        case 4: both(real, 7ul); break;
        case 5: both('a' + round % 26, 7ul); break;
        default: both(7ul); break;
        }
        handled += got.first;
        if (got.first)
            ASSERT_EQ(got.second, std::string("keep:") + want) << "format " << format;
        else
            ASSERT_EQ(got.second, "keep:") << "a refused format leaves the text alone: " << format;
    }
    EXPECT_GT(handled, 2500) << "most drawn formats are the formatter's own";
    EXPECT_EQ(formatted("%s|%lu", nullptr, 3ul).second, "keep:(null)|3");
}

TEST(ReportFormat, RefusesWhatItDoesNotKnowAndThePrintFallsBackToTheCLibrary)
{
    for (const char* refused : {"a %x", "%5.2d", "%05s", "%0c", "%lld", "%e", "%.3u", "%"})
        EXPECT_FALSE(formatted(refused, 1, 2).first) << refused;
    EXPECT_EQ(formatted("%%|%-4s|%04d|%.1f", "ab", -7, 0.25).second, "keep:%|ab  |-007|0.2");

    const std::string path = testing::TempDir() + "quelm_fallback_" + std::to_string(getpid()) + ".out";
    {
        report_file out(path, "test_out");
        out.print("%s:", "plain");
        out.print("%x|%5.1e|%s|%lld\n", 255u, 1500.0, "text", 12345678901ll);
        out.print("%s", "");
        out.print("%d\n", 4);
    }
    EXPECT_EQ(test_support::read_file(path), "plain:ff|1.5e+03|text|12345678901\n4\n");
    std::remove(path.c_str());
}

TEST(ReportFile, BuffersPastTheStreamBufferAndReportsFailedWrites)
{
    testing::internal::CaptureStderr();
    {
        report_file full("/dev/full", "gen_info_out");
        ASSERT_TRUE(full);
        full.write(std::string(1 << 17, 'x'));
    }
    {
        report_file full("/dev/full", "rel_dom_info_out", "ERROR: cannot rel_open dom_info_out file!\n");
        full.print("%s", "x");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: cannot write gen_info_out file!\nERROR: cannot write rel_dom_info_out file!\n");
}

TEST(ReportText, GroupingAndEscapingEdges)
{
    struct { double value; const char* want; } groups[] = {
        {0, "0"}, {999, "999"}, {1000, "1 000"}, {1234.7, "1 234"}, {1000000, "1 000 000"},
        {4294967295.0, "4 294 967 295"},
    };
    for (const auto& c : groups)
        EXPECT_EQ(format_grouped(c.value), c.want) << c.value;

    char out[16] = "old";
    EXPECT_EQ(escape_angles("0123456789abcdefg", 17, out, sizeof out), -1);
    EXPECT_EQ(escape_angles("", 0, out, sizeof out), -1);
    EXPECT_STREQ(out, "old") << "a refused text writes nothing";
    ASSERT_EQ(escape_angles("0123456789ab<", 13, out, sizeof out), 0);
    EXPECT_STREQ(out, "0123456789ab") << "an entity that does not fit is left out whole";
    EXPECT_EQ(html_cell_text(std::string(513, 'x').c_str()), "") << "longer than the cell buffer";
    EXPECT_EQ(html_cell_text(std::string(512, '<').c_str()).size(), 508u);
    EXPECT_EQ(html_text(nullptr), "");
    EXPECT_EQ(html_text(("<" + std::string(600, 'y')).c_str()).size(), 604u) << "no length limit";
    EXPECT_EQ(html_attribute("a\"\t=x\x7f"), "a&#34;&#9;&#61;x&#127;");
}

// The grouping and the angle escaping against plain references on random
// values (fractions, negatives, group edges, beyond 32 bits) and texts (bytes
// next to '<' and '>', bytes of 0x80 and above).
TEST(ReportText, GroupingAndEscapingAgreeWithPlainReferences)
{
    auto grouped = [](double value) {
        char piece[32];
        double remainder = value - 1000 * std::floor(value / 1000), rest = (value - remainder) / 1000;
        if (!(rest > 0))
            return std::to_string(static_cast<int>(remainder));
        std::string groups;
        for (;;) {
            std::snprintf(piece, sizeof piece, " %03d", static_cast<int>(remainder));
            groups.insert(0, piece);
            if (rest < 1000)
                break;
            remainder = rest - 1000 * std::floor(rest / 1000);
            rest = (rest - remainder) / 1000;
        }
        return std::to_string(static_cast<int>(rest)) + groups;
    };
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const double scale[] = {1, 1e3, 1e6, 1e9, 1e12, 1e15, 1e18};
        double value = static_cast<double>(random() % 2000000) / 1000 * scale[random() % 7];
        value = random() % 4 == 0 ? std::floor(value) : random() % 9 == 0 ? -value : value;
        ASSERT_EQ(format_grouped(value), grouped(value)) << value;
        std::string text;
        for (int n = static_cast<int>(random() % 12); n > 0; --n)
            text += "<>=?:;abc\xbc\xbe"[random() % 11];
        std::string want;
        for (char c : text)
            want += c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
        ASSERT_EQ(html_text(text.c_str()), want);
        ASSERT_EQ(html_cell_text(text.c_str()), want);
    }
}

}  // namespace
