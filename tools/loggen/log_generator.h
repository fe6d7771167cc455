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

    // The crowd the mail comes from and goes to; 0 keeps the small fixed
    // tables of the defaults (a few dozen senders, 15 local users, and a new
    // dial-up address for every spam connection).
    unsigned senders = 0;         // distinct forged senders of mail from outside, spam or not
    unsigned recipients = 0;      // distinct local mailboxes mail goes to
    unsigned relays = 0;          // distinct dial-up clients spam connects from
    unsigned max_recipients = 0;  // most recipients of one to= line; 0: mostly one, up to three

    // Weights of the kinds of message; the other three (local submissions,
    // greylisted and virus mail) weigh 140 together.
    unsigned inbound_weight = 420;         // accepted mail for local users
    unsigned outbound_weight = 260;        // mail of local users to partners
    unsigned ruleset_reject_weight = 100;  // spam refused by a ruleset (one or two reject= lines)
    unsigned milter_reject_weight = 40;    // spam refused by a milter (a Milter: from= line)
};

// A spam-heavy site (quelm_gen_log --shape=spam): forged senders that hardly
// ever come back, a million local mailboxes, 7,000 dial-up clients and much
// refused spam. Per million lines: about 280,000 distinct senders, 320,000
// recipients and 8,000 relays; 8.5% of the lines are ruleset rejects and
// 4.5% milter rejects.
log_generator_options spam_shape();

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
