// The input loop: pieces as fgets would read them, drop messages with their
// line numbers, the host table, queue id separation and the debug trace.
#include "input/line_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "model/host_info.h"

namespace {

// A temporary file holding `content`, opened for reading.
class temp_input {
public:
    explicit temp_input(const std::string& content)
    {
        char name[] = "/tmp/quelm_reader_XXXXXX";
        fd_ = mkstemp(name);
        unlink(name);
        if (fd_ >= 0) {
            EXPECT_EQ(write(fd_, content.data(), content.size()), static_cast<ssize_t>(content.size()));
            lseek(fd_, 0, SEEK_SET);
        }
    }
    ~temp_input() { close(fd_); }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// The pieces fgets with a 4096-byte buffer returns for `content`.
std::vector<std::string> fgets_pieces(const std::string& content)
{
    std::vector<std::string> pieces;
    std::FILE* f = fmemopen(const_cast<char*>(content.data()), content.size(), "r");
    char buffer[4096];
    while (f && std::fgets(buffer, sizeof buffer, f))
        pieces.emplace_back(buffer);
    if (f)
        std::fclose(f);
    return pieces;
}

std::vector<std::string> source_pieces(const std::string& content, std::size_t block_size)
{
    temp_input input(content);
    line_source source(input.fd(), block_size);
    std::vector<std::string> pieces;
    char line[line_source::line_buffer_size];
    while (source.next(line))
        pieces.emplace_back(line);
    return pieces;
}

TEST(LineSource, CutsPiecesExactlyLikeFgets)
{
    std::mt19937 random(42);
    std::string content;
    for (int i = 0; i < 300; ++i) {
        std::size_t length = random() % 3 == 0 ? random() % 9000 : random() % 120;
        for (std::size_t j = 0; j < length; ++j)
            content += static_cast<char>('a' + random() % 26);
        content += '\n';
    }
    content += "last line without newline";
    const std::vector<std::string> want = fgets_pieces(content);
    for (std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{4095}, std::size_t{4096}, std::size_t{1} << 20})
        EXPECT_EQ(source_pieces(content, block), want) << "block size " << block;
}

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = program_settings{};
        clear_host_table();
        lines_read = 0;
    }

    // Runs the input loop over `content` as if run in the given month (December
    // 2026 by default); returns what it wrote to standard error.
    std::string read(const std::string& content, int month = 12, int year_since_1900 = 126)
    {
        std::tm now{};
        now.tm_year = year_since_1900;
        now.tm_mon = month - 1;
        now.tm_mday = 6;
        temp_input input(content);
        testing::internal::CaptureStderr();
        read_log(input.fd(), now);
        return testing::internal::GetCapturedStderr();
    }
};

const std::string good = "Dec  1 10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>, size=1\n";

TEST_F(ReaderTest, ReportsEveryDropWithItsLineNumber)
{
    const std::string log =
        good +
        "Foo\n" +                                                        // 2: short, silent
        "Xyz  1 10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>, size=1\n" +     // 3
        "Dec  1 10:xx:00 mx1 sm-mta[1]: ABC: from=<a@b>, size=1\n" +     // 4
        "Dec\t1\t10:00:00\tmx1\tsm-mta[1]:\tABC:\tfrom=<a@b>,\tsize=1\n" +  // 5
        "Dec  1 10:00:00 mx1 sm-mta[1] ABC from=<a@b> size=1 and more\n" +  // 6
        "Dec  1 10:00:00 mx1 sm-mta[1]: garbage without any separator\n" +  // 7
        "Dec  1 10:00:00 mx1 sm-mta[1]: 2B1FsA3x012345:\n" +              // 8
        "\n" +                                                            // 9: short, silent
        "Dec  1 25:00:00 mx1 sm-mta[1]: ABC: from=<a@b>, size=1\n" +     // 10
        good;                                                             // 11
    EXPECT_EQ(read(log),
              "ERROR: wrong month in line 3!\n"
              "ERROR: wrong conversion (day and time) in line 4!\n"
              "ERROR: missing host in line 5!\n"
              "ERROR: missing process_id in line 6!\n"
              "ERROR: missing global msg_id (1) in line 7!\n"
              "ERROR: missing global msg_id (2) in line 8!\n"
              "ERROR: wrong conversion (day and time) in line 10!\n");
    EXPECT_EQ(lines_read, 11u);
    EXPECT_EQ(hosts_found, 1u);
}

TEST_F(ReaderTest, ThirtyCharactersWithTheNewlineIsTheShortestLine)
{
    const std::string twenty_nine = "Dec  1 10:00:00 mx1 s: A: b c\n";  // 29 + newline
    const std::string twenty_eight = "Dec  1 10:00:00 mx1 s: A: bc\n";  // 28 + newline
    ASSERT_EQ(twenty_nine.size(), 30u);
    EXPECT_EQ(read(twenty_eight + twenty_nine), "");
    EXPECT_EQ(lines_read, 2u);
    EXPECT_EQ(hosts_found, 1u) << "only the 30-character line is parsed";

    SetUp();
    // A NUL ends the line for every test, the length check included.
    EXPECT_EQ(read(std::string("Dec  1 10:00:00 mx1 s: A: b\0cdefgh\n", 35)), "");
    EXPECT_EQ(hosts_found, 0u);
}

TEST_F(ReaderTest, FifthHostIsDroppedWithoutALineNumber)
{
    std::string log;
    for (const char* host : {"a", "b", "a", "c", "d", "e", "b", "e"})
        log += std::string("Dec  1 10:00:00 ") + host + " sm-mta[1]: ABC: from=<x@y>, size=1\n";
    EXPECT_EQ(read(log), "ERROR: cannot find host in table!\nERROR: cannot find host in table!\n");
    ASSERT_EQ(hosts_found, 4u);
    EXPECT_EQ(host_table[0].host_name, "a");
    EXPECT_EQ(host_table[1].host_name, "b");
    EXPECT_EQ(host_table[2].host_name, "c");
    EXPECT_EQ(host_table[3].host_name, "d");
    EXPECT_EQ(lines_read, 8u);
}

TEST_F(ReaderTest, LongLineIsReadAsTwoLines)
{
    std::string log = "Dec  1 10:00:00 mx1 sm-mta[1]: ABC: to=<a@b>, x=" + std::string(5000, 'x') + "\n" + good;
    EXPECT_EQ(read(log), "ERROR: wrong month in line 2!\n");
    EXPECT_EQ(lines_read, 3u);
    EXPECT_EQ(hosts_found, 1u);
}

TEST_F(ReaderTest, EntryTimesWidenPerHost)
{
    const std::string log =
        "Dec  2 10:00:00 mx1 sm: ABC: x y\n"
        "Dec  1 09:00:00 mx2 sm: ABC: x y\n"
        "Dec  1 08:00:00 mx1 sm: ABC: x y\n"
        "Dec  3 07:00:00 mx1 sm: ABC: x y\n"
        "Dec  2 11:00:00 mx1 sm: starting daemon (8.17): SMTP\n";
    EXPECT_EQ(read(log), "");
    ASSERT_EQ(hosts_found, 2u);
    EXPECT_EQ(host_table[0].first_entry, make_line_time(126, 12, 1, 8, 0, 0));
    EXPECT_EQ(host_table[0].last_entry, make_line_time(126, 12, 3, 7, 0, 0));
    EXPECT_EQ(host_table[1].first_entry, make_line_time(126, 12, 1, 9, 0, 0));
    EXPECT_EQ(host_table[1].last_entry, host_table[1].first_entry);
}

TEST_F(ReaderTest, DecemberLinesReadInMarchGetThePreviousYear)
{
    EXPECT_EQ(read("Dec 31 10:00:00 mx1 sm: ABC: x y\nNov 30 10:00:00 mx1 sm: ABC: x y\n", 3, 127), "");
    EXPECT_EQ(host_table[0].first_entry, make_line_time(126, 12, 31, 10, 0, 0));
    EXPECT_EQ(host_table[0].last_entry, make_line_time(127, 11, 30, 10, 0, 0))
        << "November lines keep the year of the run";
}

TEST_F(ReaderTest, DebugLevelTwoTracesEveryLineAndQueueId)
{
    settings.verbose = 1;
    settings.verbose_level = 2;
    std::string long_line = "Dec  1 10:00:00 mx1 s: ABC: " + std::string(600, 'y') + "\n";
    const std::string log = good + "Dec  1 10:00:00 mx1 sm-mta[1]: starting daemon (8.17): SMTP\n" + long_line;
    std::string want = "Input 1: " + good + "Global id found.\n" +
                       "Input 2: Dec  1 10:00:00 mx1 sm-mta[1]: starting daemon (8.17): SMTP\n" +
                       "Input 3: " + long_line.substr(0, 511 - 9) + "Global id found.\n";
    EXPECT_EQ(read(log), want);

    SetUp();
    settings.verbose_level = 5;  // without verbose nothing is traced
    EXPECT_EQ(read(good), "");
}

TEST(SplitQueueId, ColonBeforeTheFirstBlankMakesAQueueId)
{
    struct { const char* body; bool has; std::size_t length; const char* text; } cases[] = {
        {"2B1FsA3x012345: from=<a@b>, size=1", true, 14, "from=<a@b>, size=1"},
        {"NOQUEUE: \t ruleset=check_relay", true, 7, "ruleset=check_relay"},
        {"/etc/mail/aliases: 42 aliases", true, 17, "42 aliases"},
        {"starting daemon (8.17): SMTP", false, 0, ""},
        {"alias database rebuilt by root", false, 0, ""},
        {"STARTTLS=client, relay=x", false, 0, ""},
        {"ABC:", true, 3, ""},
    };
    for (const auto& c : cases) {
        queue_id_split split = split_queue_id(c.body);
        EXPECT_EQ(split.has_queue_id, c.has) << c.body;
        if (c.has) {
            EXPECT_EQ(split.id_length, c.length) << c.body;
            EXPECT_EQ(split.message_text, c.text) << c.body;
        }
    }
}

}  // namespace
