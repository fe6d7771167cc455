// The input loop: reads the sendmail log in pieces of at most 4095 characters
// (a longer line is read as several lines) and keeps it in memory where it was
// read, drops short and malformed lines with their message and line number,
// drops lines outside the time window, files each accepted line under its
// syslog host and hands it to classify_line. Several files are read in order
// as one log. All of its input is untrusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
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

    // Goes on with another file: the pieces handed out stay where they are,
    // a last piece without newline ended with its file, and the next piece
    // starts with the new file's first byte. Clears the end of the input
    // (not running out of memory, which ends all input).
    void switch_to(int fd);

    // The next piece; a null text at the end of the input, on a read error
    // (which also discards the piece begun) or when no block can be had.
    piece next();

    // True when compressed input ended early (see byte_source::damaged).
    bool damaged() const { return source_->damaged(); }
    // True when the input ended because no memory was left for a block.
    bool out_of_memory() const { return out_of_memory_; }

private:
    bool refill();
    bool make_room();
    piece cut(char* end, bool newline);

    std::optional<byte_source> source_;  // the file being read
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

// One input file of a run: an open descriptor and the name messages give it.
struct log_input {
    int fd = -1;
    std::string name;
};

// The lines a run keeps by their time: start <= time < end, an unset side open.
struct line_window {
    std::optional<long long> start;
    std::optional<long long> end;

    bool is_set() const { return start.has_value() || end.has_value(); }
    bool holds(long long time) const { return (!start || time >= *start) && (!end || time < *end); }
};

// Runs the input loop over `inputs` in order, as over one log that is their
// concatenation (one pairing state), except that the last line of a file
// ends with it. With more than one input, every message that names a line
// adds " of NAME" to its number, counted within that file; lines_read counts
// them all. A line whose header is read and whose time is outside `window`
// is dropped before it is filed. Returns how many lines were so dropped.
// `now` is the run's local time.
std::uint64_t read_logs(std::span<const log_input> inputs, const std::tm& now, const line_window& window);

// read_logs over the one input `fd`, without a window.
void read_log(int fd, const std::tm& now);
