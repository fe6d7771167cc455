// The input loop's pieces (as fgets would read them, file after file) and
// queue id separation; several files read as one log (where each message puts
// a line, what the window drops, what running out of memory stops). What the
// loop does with the lines (drop messages with their line numbers, the
// shortest line, long lines, entry times, the trace) is pinned end to end.
#include "input/line_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "model/host_info.h"

namespace {

// An unlinked temporary file holding `content`, read from its start; closed with the object.
class temporary_file {
public:
    explicit temporary_file(const std::string& content)
    {
        char name[] = "/tmp/quelm_reader_XXXXXX";
        fd_ = mkstemp(name);
        unlink(name);
        EXPECT_EQ(write(fd_, content.data(), content.size()), static_cast<ssize_t>(content.size()));
        lseek(fd_, 0, SEEK_SET);
    }
    ~temporary_file() { close(fd_); }
    temporary_file(const temporary_file&) = delete;
    temporary_file& operator=(const temporary_file&) = delete;
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// The pieces fgets with a 4096-byte buffer returns from `content`.
std::vector<std::string> fgets_pieces(std::string content)
{
    std::vector<std::string> pieces;
    if (content.empty())
        return pieces;
    std::FILE* f = fmemopen(content.data(), content.size(), "r");
    for (char buffer[4096]; std::fgets(buffer, sizeof buffer, f);)
        pieces.emplace_back(buffer);
    std::fclose(f);
    return pieces;
}

TEST(LineSource, CutsPiecesExactlyLikeFgets)
{
    std::mt19937 random(42);
    std::string content = "\n\n";
    for (int i = 0; i < 300; ++i)
        content += std::string(random() % 3 == 0 ? random() % 9000 : random() % 120, static_cast<char>('a' + i % 26)) +
                   (i % 50 == 0 ? "\n\n" : "\n");
    content += "last line without newline";
    std::vector<std::string> want;  // the pieces fgets with a 4096-byte buffer returns
    std::FILE* f = fmemopen(content.data(), content.size(), "r");
    for (char buffer[4096]; std::fgets(buffer, sizeof buffer, f);)
        want.emplace_back(buffer);
    std::fclose(f);
    for (std::size_t block : {std::size_t{1}, std::size_t{4097}, std::size_t{8192}, std::size_t{1} << 20}) {
        char name[] = "/tmp/quelm_reader_XXXXXX";
        const int fd = mkstemp(name);
        unlink(name);
        ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
        lseek(fd, 0, SEEK_SET);
        arena keep;
        line_source source(fd, keep, block);
        std::vector<line_source::piece> pieces;
        for (line_source::piece piece = source.next(); piece.text; piece = source.next())
            pieces.push_back(piece);
        close(fd);
        // Read back only now: every piece stays where it was handed out.
        std::vector<std::string> got;
        for (const line_source::piece& piece : pieces) {
            ASSERT_EQ(piece.text[piece.size - piece.newline], '\0');
            got.push_back(std::string(piece.text, piece.size - piece.newline) + (piece.newline ? "\n" : ""));
        }
        EXPECT_EQ(got, want) << "block size " << block;
    }
}

TEST(SplitQueueId, ColonBeforeTheFirstBlankMakesAQueueId)
{
    struct { const char* body; const char* want; } cases[] = {  // id length and message text
        {"2B1FsA3x012345: from=<a@b>", "14 from=<a@b>"}, {"NOQUEUE: \t ruleset=x", "7 ruleset=x"}, {"ABC:", "3 "},
        {"/etc/mail/aliases: 42 aliases", "17 42 aliases"}, {"starting daemon (8.17): SMTP", "none"}, {"no colon", "none"}};
    for (const auto& c : cases) {
        const queue_id_split split = split_queue_id(c.body);
        EXPECT_EQ(split.has_queue_id ? std::to_string(split.id_length) + " " + std::string(split.message_text) : "none",
                  c.want) << c.body;
    }
}

TEST(LineSource, GoesOnFileAfterFileAndEachFileEndsItsLastLine)
{
    const std::vector<std::string> files = {
        "first\nno newline at the end",
        "",
        "\n" + std::string(5000, 'x'),  // a long last line, read in two pieces
        "second file\n\n",
        std::string(4095, 'y'),          // exactly one whole piece, no newline
        "z",
    };
    std::vector<std::string> want;
    for (const std::string& content : files)
        for (const std::string& piece : fgets_pieces(content))
            want.push_back(piece);
    for (std::size_t block : {std::size_t{1}, std::size_t{4100}, std::size_t{1} << 20}) {
        std::vector<std::unique_ptr<temporary_file>> open;
        for (const std::string& content : files)
            open.push_back(std::make_unique<temporary_file>(content));
        arena keep;
        line_source source(open.front()->fd(), keep, block);
        std::vector<line_source::piece> pieces;
        for (std::size_t i = 0; i < open.size(); ++i) {
            if (i > 0)
                source.switch_to(open[i]->fd());
            for (line_source::piece piece = source.next(); piece.text; piece = source.next())
                pieces.push_back(piece);
        }
        // Read back only now: no piece was overwritten by a later file.
        std::vector<std::string> got;
        for (const line_source::piece& piece : pieces) {
            ASSERT_EQ(piece.text[piece.size - piece.newline], '\0');
            got.push_back(std::string(piece.text, piece.size - piece.newline) + (piece.newline ? "\n" : ""));
        }
        EXPECT_EQ(got, want) << "block size " << block;
    }
}

// Runs read_logs over files named by their contents' keys, in TZ=UTC with a
// run date in December 2026; returns what it wrote to standard error.
struct read_outcome {
    std::string messages;
    std::uint64_t outside = 0;
    std::vector<std::string> hosts;
};

read_outcome read_files(const std::vector<std::pair<std::string, std::string>>& files, const line_window& window,
                        std::size_t kept_allocations = SIZE_MAX)
{
    const char* old_zone = std::getenv("TZ");
    const std::string saved_zone = old_zone ? old_zone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    settings = program_settings{};
    clear_host_table();
    lines_read = 0;
    if (kept_allocations != SIZE_MAX)
        kept_input().fail_after(kept_allocations);
    std::vector<std::unique_ptr<temporary_file>> open;
    std::vector<log_input> inputs;
    for (const auto& [name, content] : files) {
        open.push_back(std::make_unique<temporary_file>(content));
        inputs.push_back(log_input{open.back()->fd(), name});
    }
    std::tm now{};
    now.tm_year = 126;
    now.tm_mon = 11;
    now.tm_mday = 6;
    read_outcome outcome;
    testing::internal::CaptureStderr();
    outcome.outside = read_logs(inputs, now, window);
    outcome.messages = testing::internal::GetCapturedStderr();
    for (const host_info& host : used_hosts())
        outcome.hosts.push_back(host.host_name);
    if (old_zone)
        setenv("TZ", saved_zone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    return outcome;
}

const std::string in_file_a =
    "Dec  1 10:00:00 mxA sm-mta[1]: Q1: from=<a@example.org>, size=1, nrcpts=1\n"
    "Xyz  1 10:00:01 mxA sm-mta[1]: Q1: from=<a@example.org>, size=1\n"       // line 2: wrong month
    "short\n"
    "Dec  1 10:00:02 mxA sm-mta[1]: Q1: to=<b@example.net>, stat=Sent";        // line 4, no newline
const std::string in_file_b =
    "Dec  2 00:00:00 mxB sm-mta[2]: Q2: from=<c@example.org>, size=1, nrcpts=1\n"
    "Dec  2 00:00:01 mxB sm-mta[2] Q2 from=<c@example.org> size=1 nrcpts=1 x\n"  // line 2: no process tag colon
    "Dec  1 23:59:59 mxC sm-mta[3]: Q3: from=<d@example.org>, size=1, nrcpts=1\n";

TEST(ReadLogs, LinesOutsideTheWindowAreCountedAndNeverFiled)
{
    // From 2026-12-01T10:00:01Z to 2026-12-02T00:00:00Z (UTC).
    const line_window window{1796119201, 1796169600};
    read_outcome got = read_files({{"a.log", in_file_a}, {"b.log", in_file_b}}, window);
    EXPECT_EQ(got.outside, 2u) << "mxA's first line and mxB's first line";
    EXPECT_EQ(got.hosts, (std::vector<std::string>{"mxA", "mxC"})) << "mxB has no line in the window";
    EXPECT_EQ(got.messages, "ERROR: wrong month in line 2 of a.log!\nERROR: missing process_id in line 2 of b.log!\n")
        << "a header that cannot be read keeps its message wherever its time";

    struct { line_window window; std::uint64_t outside; } sides[] = {
        {{std::nullopt, 1796119200}, 4},  // before 10:00:00: nothing
        {{1796119200, std::nullopt}, 0},
        {{1796119203, std::nullopt}, 2},  // after a.log's last line
        {{std::nullopt, 1796169601}, 0},  // up to and including mxB's 00:00:00
    };
    for (const auto& side : sides)
        EXPECT_EQ(read_files({{"a.log", in_file_a}, {"b.log", in_file_b}}, side.window).outside, side.outside);
}

TEST(ReadLogs, RunningOutOfMemoryEndsAllInputWithTheFileNamed)
{
    // The first block is had; copying the long line without newline out of it is not.
    const std::string long_line = "Dec  1 10:00:00 mxA sm-mta[1]: " + std::string(5000, 'x');
    read_outcome got = read_files({{"a.log", in_file_a + "\n" + long_line}, {"b.log", in_file_b}}, line_window{}, 1);
    EXPECT_EQ(got.messages, "ERROR: wrong month in line 2 of a.log!\n"
                            "ERROR: cannot get memory for input after line 4 of a.log!\n");
    EXPECT_EQ(lines_read, 4u) << "b.log is not read";
}

}  // namespace
