// The input loop's pieces (as fgets would read them) and queue id separation.
// What the loop does with the lines (drop messages with their line numbers,
// the shortest line, long lines, entry times, the trace) is pinned end to end.
#include "input/line_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>


namespace {

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

}  // namespace
