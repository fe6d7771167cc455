// The people and machines the log talks about: the local domain with its
// users and their workstations, the partner domains (a fixed list and 400
// synthetic companies) with their outgoing hosts and MXs, spam senders,
// dial-up clients and mistyped domains. Each function makes one random pick.
// The options may widen the crowd: forged senders, local mailboxes and
// dial-up clients by the hundred thousand, each following from its number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/loggen/log_generator.h"
#include "tools/loggen/random.h"

namespace loggen {

inline constexpr std::string_view local_domain = "example.com";

// A mail domain with the host that sends its mail to us and its MX.
struct party {
    std::string domain, out_host, out_ip, mx_host, mx_ip;
};

// A workstation of the local network, named after its user.
struct workstation {
    std::string name, ip;
};

// A local user with the workstation the user sends from.
struct local_user {
    std::string_view name;
    workstation ws;
};

// A dial-up address, the usual source of rejected mail.
struct dynamic_client {
    std::string name, ip;
};

party random_party(random_source& rng);
std::string random_public_ip(random_source& rng);
dynamic_client random_dynamic_client(random_source& rng, const log_generator_options& options);

std::string_view random_remote_user(random_source& rng);
std::string random_remote_address(random_source& rng);  // someone at a partner
std::string random_spam_address(random_source& rng, const log_generator_options& options);
std::string forged_sender(std::uint32_t index);  // sender number `index` of options.senders
std::string_view random_typo_domain(random_source& rng);

local_user random_local_user(random_source& rng);
std::string local_address(std::string_view user);
std::string random_local_address(random_source& rng);
std::string random_mailbox_address(random_source& rng, const log_generator_options& options);  // of options.recipients
std::string random_unknown_local_address(random_source& rng);  // a local address with no mailbox

}  // namespace loggen
