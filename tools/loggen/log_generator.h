// Deterministic generator of realistic sendmail syslog text, for tests and
// benchmarks of the input phase. It keeps a few messages open at once and
// interleaves their lines as a busy server does, with the usual noise and
// an occasional broken line. One seed gives the same bytes everywhere: all
// choices come from its own xoshiro256** source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>

// Rates are in lines or messages per thousand, so no floating point decides
// anything.
struct log_generator_options {
    unsigned hosts = 3;                    // syslog host names; 5 or more exercises the 4-host table
    unsigned open_messages = 16;           // messages in progress at once, their lines interleaved
    unsigned max_gap_seconds = 3;          // the clock moves 0..max_gap_seconds per line
    unsigned standalone_permille = 180;    // lines that belong to no message (TLS, daemon, NOQUEUE...)
    unsigned reuse_permille = 20;          // new messages that take the queue id of a finished one
    unsigned disorder_permille = 30;       // messages with to= before from=, or rejects after from=
    unsigned lost_delivery_permille = 20;  // messages whose to= lines never come
    unsigned lost_envelope_permille = 10;  // messages whose from= line never comes
    unsigned malformed_permille = 5;       // broken lines (short, bad month or time, no colons...)
    unsigned late_stamp_permille = 10;     // lines stamped a few seconds before the clock
};

// Produces one line at a time; the memory it holds grows with the messages
// in progress, never with the text produced.
class log_generator {
public:
    explicit log_generator(std::uint64_t seed, const log_generator_options& options = {});
    ~log_generator();
    log_generator(log_generator&&) noexcept;
    log_generator& operator=(log_generator&&) noexcept;
    log_generator(const log_generator&) = delete;
    log_generator& operator=(const log_generator&) = delete;

    // Appends the next line, its newline included, to `out`.
    void append_line(std::string& out);

private:
    struct state;
    std::unique_ptr<state> state_;
};

// The first `line_count` lines of the log of `seed`.
std::string generate_log(std::uint64_t seed, std::size_t line_count, const log_generator_options& options = {});

// The same text written in pieces; false when writing failed.
bool write_log(std::FILE* out, std::uint64_t seed, std::size_t line_count, const log_generator_options& options = {});
bool write_log(std::ostream& out, std::uint64_t seed, std::size_t line_count, const log_generator_options& options = {});
