// The running site: host names, process ids that climb and wrap as on a
// real server, the clock with its late stamps, queue ids built from the
// clock, and the small ring of finished queue ids.
#include "tools/loggen/site.h"

#include <algorithm>

#include "tools/loggen/calendar.h"
#include "tools/loggen/text.h"

namespace loggen {

namespace {

constexpr std::string_view host_names[] = {"mx1", "relay", "mx2", "mx3", "gw", "backup", "lists", "smtp"};
constexpr std::size_t finished_ring = 16;

// Host `index`: a name of the list, then mx9, mx10...
std::string host_name_of(unsigned index)
{
    std::string name = index < std::size(host_names) ? std::string(host_names[index]) : "mx";
    if (index >= std::size(host_names))
        put_number(name, index + 1);
    return name;
}

// Year, month, day, hour, minute and second in base 60, two sequence
// characters and the process id in six digits.
std::string make_queue_id(const calendar_time& t, random_source& rng, std::uint32_t pid)
{
    std::string id;
    id.reserve(14);
    for (unsigned part : {(t.year - 1900) % 60, t.month, t.day, t.hour, t.minute, t.second})
        id += base60[part];
    put_token(id, rng, base60, 2);
    put_padded(id, pid % 1000000, 6);
    return id;
}

}  // namespace

site::site(std::uint64_t seed, const log_generator_options& options) : options_(options), rng_(seed)
{
    options_.hosts = std::max(1u, options_.hosts);
    options_.open_messages = std::max(1u, options_.open_messages);
    for (unsigned i = 0; i < options_.hosts; ++i) {
        std::string name = host_name_of(i);
        hosts_.push_back({std::move(name), rng_.between(1000, 60000)});
    }
}

void site::tick()
{
    clock_ += rng_.below(options_.max_gap_seconds + 1ull);
}

std::uint64_t site::stamp()
{
    if (clock_ > 3 && rng_.chance(options_.late_stamp_permille))
        return clock_ - rng_.between(1, 3);
    return clock_;
}

std::uint32_t site::new_pid(unsigned host)
{
    std::uint32_t& pid = hosts_[host].last_pid;
    pid += rng_.between(1, 6);
    if (pid > 99990)
        pid = rng_.between(300, 2000);
    return pid;
}

std::string site::new_queue_id(std::uint32_t pid)
{
    return make_queue_id(calendar_of(clock_), rng_, pid);
}

void site::remember_finished(unsigned host, const std::string& queue_id)
{
    if (finished_.size() < finished_ring) {
        finished_.push_back({host, queue_id});
        return;
    }
    finished_[finished_next_] = {host, queue_id};
    finished_next_ = (finished_next_ + 1) % finished_ring;
}

std::optional<finished_id> site::reused_id()
{
    if (finished_.empty() || !rng_.chance(options_.reuse_permille))
        return std::nullopt;
    return finished_[rng_.below(finished_.size())];
}

}  // namespace loggen
