// The input loop: reads the sendmail log in pieces of at most 4095 characters
// (a longer line is read as several lines), drops short and malformed lines
// with their message and line number, files each accepted line under its
// syslog host and hands it to classify_line. All of its input is untrusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string_view>
#include <vector>

#include "input/byte_source.h"
#include "input/log_header.h"

// Every line read so far, the dropped ones included: the line number of all messages.
extern std::uint32_t lines_read;

// Reads a file descriptor (gzip input decompressed) in large blocks and hands
// out the pieces that fgets with a 4096-byte buffer would return.
class line_source {
public:
    static constexpr std::size_t line_buffer_size = 4096;

    explicit line_source(int fd, std::size_t block_size = 1 << 20);

    // Copies the next piece (at most line_buffer_size - 1 bytes, ending at and
    // including a newline when one comes first) into `line` and terminates
    // it. False at the end of the input or on a read error.
    bool next(char (&line)[line_buffer_size]);

    // True when compressed input ended early (see byte_source::damaged).
    bool damaged() const { return source_.damaged(); }

private:
    bool refill();

    byte_source source_;
    std::vector<char> block_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool failed_ = false;
    bool read_error_ = false;
};

// A line has a queue id when its body holds a colon before its first blank:
// the id is the text before that colon, the message text follows it with
// blanks and tabs skipped.
struct queue_id_split {
    bool has_queue_id = false;
    std::size_t id_length = 0;
    std::string_view message_text;
};
queue_id_split split_queue_id(const char* body);

// Runs the input loop to the end of `fd`; `now` is the run's local time.
void read_log(int fd, const std::tm& now);
