// A message in progress: where it came from, whom it goes to in which
// delivery groups, and the script of its steps (one log line each) with the
// index of the next one. Scripts fill it in; rendering only reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace loggen {

enum class step_kind : std::uint8_t {
    tls_server,     // STARTTLS=server, no queue id
    tls_client,     // STARTTLS=client, no queue id
    auth,           // AUTH=server
    envelope,       // from=
    ruleset_reject, // ruleset=..., reject=
    milter_from,    // Milter: from=..., reject=
    milter_to,      // Milter: to=..., reject=
    milter_data,    // Milter: data, reject=... Virus found
    greylist_note,  // milter-greylist's own line
    milter_header,  // Milter add: header
    user_unknown,   // <x@y>... User unknown
    delivery,       // to=
    dsn_note,       // NEWID: DSN: ...
    clone_note,     // clone NEWID, owner=...
};

enum class outcome : std::uint8_t { sent, deferred, queued, user_unknown, host_unknown, unavailable, virus, relayed };

struct step {
    step_kind kind;
    std::uint8_t group = 0;            // delivery group, or the variant of a reject
    outcome status = outcome::sent;
    std::uint16_t sleep_minutes = 0;   // the message waits this long after the line
};

// Recipients that one to= line names.
struct delivery_group {
    std::string recipients;  // the to= value as logged
    std::string first;       // its first address, without brackets
    std::string mx, mx_ip;   // the relay; empty for local mailers
    std::string ctladdr;     // empty: no ctladdr= field
    std::string_view mailer = "local";
    unsigned count = 1;
};

struct message {
    std::string queue_id;
    unsigned host = 0;
    std::uint32_t pid = 0;           // the process that received it
    std::uint32_t delivery_pid = 0;  // the process that delivers it
    std::uint64_t start = 0;
    unsigned retries = 0;
    std::string_view program = "sm-mta";
    std::string sender;              // from= value as logged
    std::string client;              // relay= value of the envelope
    std::string client_name, client_ip;
    std::string msgid;               // empty: no msgid= field
    std::string_view proto = "ESMTP", daemon = "MTA";
    std::string note;                // AUTH id or virus text
    std::uint32_t size = 0;
    unsigned nrcpts = 0;
    bool eight_bit = false;
    std::vector<delivery_group> groups;
    std::vector<step> steps;
    std::size_t next = 0;
};

// Lines the delivering process writes rather than the receiving one.
inline bool is_delivery_part(step_kind kind)
{
    return kind == step_kind::delivery || kind == step_kind::tls_client || kind == step_kind::dsn_note ||
           kind == step_kind::clone_note;
}

}  // namespace loggen
