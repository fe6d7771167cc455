// The generator's main loop and its public functions. Every line first
// moves the clock, then is a step of a deferred message whose time has
// come, a broken line, a line of no message, or a step of one of the open
// messages picked at random. The messages in progress live here: the open
// ones and, until their retry, the sleeping ones.
#include "tools/loggen/log_generator.h"

#include <algorithm>
#include <ostream>
#include <utility>
#include <vector>

#include "tools/loggen/message.h"
#include "tools/loggen/message_script.h"
#include "tools/loggen/noise.h"
#include "tools/loggen/render.h"
#include "tools/loggen/site.h"

struct log_generator::state {
    state(std::uint64_t seed, const log_generator_options& options) : site_(seed, options) {}
    void append_line(std::string& out);

private:
    enum class progress { goes_on, sleeps, done };

    // A deferred message, asleep until `wake`; `order` keeps ties first come, first served.
    struct sleeper {
        std::uint64_t wake;
        std::uint64_t order;
        loggen::message waiting;
    };

    static bool wakes_later(const sleeper& a, const sleeper& b)
    {
        return a.wake != b.wake ? a.wake > b.wake : a.order > b.order;
    }

    progress emit_step(std::string& out, loggen::message& m);
    void emit_open_message(std::string& out);
    void wake_one(std::string& out);
    void sleep(loggen::message&& m);

    loggen::site site_;
    std::vector<loggen::message> open_;
    std::vector<sleeper> sleeping_;  // a heap, earliest wake first
    std::uint64_t sleep_order_ = 0;
};

void log_generator::state::append_line(std::string& out)
{
    site_.tick();
    loggen::random_source& rng = site_.rng();
    if (!sleeping_.empty() && sleeping_.front().wake <= site_.now())
        wake_one(out);
    else if (rng.chance(site_.options().malformed_permille))
        loggen::put_broken_line(out, site_);
    else if (rng.chance(site_.options().standalone_permille))
        loggen::put_standalone_line(out, site_);
    else
        emit_open_message(out);
}

// Writes the next step of `m` and tells what comes of the message.
log_generator::state::progress log_generator::state::emit_step(std::string& out, loggen::message& m)
{
    loggen::put_step_line(out, site_, m);
    const std::uint16_t pause = m.steps[m.next].sleep_minutes;
    ++m.next;
    if (m.next == m.steps.size())
        return progress::done;
    return pause != 0 ? progress::sleeps : progress::goes_on;
}

// Keeps options().open_messages messages open and moves a random one on.
void log_generator::state::emit_open_message(std::string& out)
{
    while (open_.size() < site_.options().open_messages)
        open_.push_back(loggen::new_message(site_));
    const std::size_t index = site_.rng().below(open_.size());
    const progress next = emit_step(out, open_[index]);
    if (next == progress::goes_on)
        return;
    if (next == progress::sleeps)
        sleep(std::move(open_[index]));
    else
        site_.remember_finished(open_[index].host, open_[index].queue_id);
    if (index + 1 != open_.size())
        open_[index] = std::move(open_.back());
    open_.pop_back();
}

// A deferred message comes back from the queue run with a new process.
void log_generator::state::wake_one(std::string& out)
{
    std::pop_heap(sleeping_.begin(), sleeping_.end(), wakes_later);
    loggen::message m = std::move(sleeping_.back().waiting);
    sleeping_.pop_back();
    m.delivery_pid = site_.new_pid(m.host);
    ++m.retries;
    switch (emit_step(out, m)) {
    case progress::goes_on: open_.push_back(std::move(m)); break;
    case progress::sleeps: sleep(std::move(m)); break;
    case progress::done: site_.remember_finished(m.host, m.queue_id); break;
    }
}

void log_generator::state::sleep(loggen::message&& m)
{
    const std::uint64_t wake = site_.now() + 60ull * m.steps[m.next - 1].sleep_minutes;
    sleeping_.push_back({wake, sleep_order_++, std::move(m)});
    std::push_heap(sleeping_.begin(), sleeping_.end(), wakes_later);
}

// ---------------------------------------------------------------------------
// Public interface

log_generator_options spam_shape()
{
    log_generator_options options;
    options.standalone_permille = 70;
    options.senders = 100000000;
    options.recipients = 1000000;
    options.relays = 7000;
    options.inbound_weight = 840;
    options.outbound_weight = 20;
    options.ruleset_reject_weight = 240;
    options.milter_reject_weight = 45;
    return options;
}

log_generator::log_generator(std::uint64_t seed, const log_generator_options& options)
    : state_(std::make_unique<state>(seed, options))
{
}

log_generator::~log_generator() = default;
log_generator::log_generator(log_generator&&) noexcept = default;
log_generator& log_generator::operator=(log_generator&&) noexcept = default;

void log_generator::append_line(std::string& out)
{
    state_->append_line(out);
}

namespace {

constexpr std::size_t flush_size = 1 << 16;

// Feeds the lines to `write` in pieces of about flush_size bytes.
template <class Writer>
bool write_pieces(std::uint64_t seed, std::size_t line_count, const log_generator_options& options, Writer write)
{
    log_generator generator(seed, options);
    std::string piece;
    piece.reserve(flush_size + 4096);
    for (std::size_t i = 0; i < line_count; ++i) {
        generator.append_line(piece);
        if (piece.size() >= flush_size) {
            if (!write(piece))
                return false;
            piece.clear();
        }
    }
    return piece.empty() || write(piece);
}

}  // namespace

std::string generate_log(std::uint64_t seed, std::size_t line_count, const log_generator_options& options)
{
    log_generator generator(seed, options);
    std::string text;
    text.reserve(line_count * 160);
    for (std::size_t i = 0; i < line_count; ++i)
        generator.append_line(text);
    return text;
}

bool write_log(std::FILE* out, std::uint64_t seed, std::size_t line_count, const log_generator_options& options)
{
    return write_pieces(seed, line_count, options, [out](const std::string& piece) {
        return std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
    });
}

bool write_log(std::ostream& out, std::uint64_t seed, std::size_t line_count, const log_generator_options& options)
{
    return write_pieces(seed, line_count, options, [&out](const std::string& piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        return static_cast<bool>(out);
    });
}
