// The mail site the log comes from, as it runs: the random source of the
// seed, the clock, the syslog hosts with their last process ids, and the
// queue ids of finished messages that new ones may take again. Scripts,
// rendering and noise all draw on it, in the order the lines are produced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/loggen/log_generator.h"
#include "tools/loggen/random.h"

namespace loggen {

// A queue id a finished message used, and the host it ran on.
struct finished_id {
    unsigned host;
    std::string queue_id;
};

class site {
public:
    // Takes at least one host and one open message whatever `options` says.
    site(std::uint64_t seed, const log_generator_options& options);

    const log_generator_options& options() const { return options_; }
    random_source& rng() { return rng_; }

    std::uint64_t now() const { return clock_; }
    void tick();             // the clock moves 0..max_gap_seconds
    std::uint64_t stamp();   // the time a line shows: now, or now and then a few seconds before

    unsigned random_host() { return rng_.below(hosts_.size()); }
    std::string_view host_name(unsigned host) const { return hosts_[host].name; }
    std::uint32_t new_pid(unsigned host);  // a little above the host's last one

    // Sendmail's queue id for a process started now.
    std::string new_queue_id(std::uint32_t pid);

    void remember_finished(unsigned host, const std::string& queue_id);
    // Now and then (reuse_permille) one of the remembered ids.
    std::optional<finished_id> reused_id();

private:
    struct syslog_host {
        std::string name;
        std::uint32_t last_pid;
    };

    log_generator_options options_;
    random_source rng_;
    std::uint64_t clock_ = 0;
    std::vector<syslog_host> hosts_;
    std::vector<finished_id> finished_;  // a ring of the last few
    std::size_t finished_next_ = 0;
};

}  // namespace loggen
