// The input loop: reads the sendmail log in pieces of at most 4095 characters
// (a longer line is read as several lines) and keeps it in memory where it was
// read, drops short and malformed lines with their message and line number,
// files each accepted line under its syslog host and hands it to
// classify_line. All of its input is untrusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string_view>
#include <vector>

#include "input/byte_source.h"
#include "input/log_header.h"
#include "util/arena.h"

// Every line read so far, the dropped ones included: the line number of all messages.
extern std::uint32_t lines_read;

// Reads a file descriptor (gzip input decompressed) into large blocks of
// `keep` and hands out, in place, the pieces that fgets with a 4096-byte
// buffer would return. The pieces stay where they were read for as long as
// `keep` lives, so the records may point into them instead of copying.
class line_source {
public:
    static constexpr std::size_t line_buffer_size = 4096;
    static constexpr std::size_t longest_piece = line_buffer_size - 1;

    // One piece: `size` bytes as read (a newline counted), terminated after
    // them; a newline that ends the piece is replaced by the terminator.
    struct piece {
        char* text = nullptr;
        std::size_t size = 0;
        bool newline = false;
    };

    // `block_size` (at least line_buffer_size + 1) is the size of each block.
    line_source(int fd, arena& keep, std::size_t block_size = std::size_t{16} << 20);

    // The next piece; a null text at the end of the input, on a read error
    // (which also discards the piece begun) or when no block can be had.
    piece next();

    // True when compressed input ended early (see byte_source::damaged).
    bool damaged() const { return source_.damaged(); }
    // True when the input ended because no memory was left for a block.
    bool out_of_memory() const { return out_of_memory_; }

private:
    bool refill();
    bool make_room();
    piece cut(char* end, bool newline);

    byte_source source_;
    arena& keep_;
    std::size_t block_size_;
    char* pos_ = nullptr;        // the first byte not handed out
    char* end_ = nullptr;        // the end of the bytes read
    char* block_end_ = nullptr;  // the end of the current block
    bool failed_ = false;
    bool read_error_ = false;
    bool out_of_memory_ = false;
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
