// Envelope statistic records: the pairs of sender and recipient with their
// other recipients and statuses, and the sender and recipient tables.
// Plain data: the statistics builders fill them, the reports read them.
#pragma once

#include <cstdint>
#include <vector>
#include <ctime>

// One further recipient listed with a pair's deliveries.
struct other_rcpt {
    const char* name;
    std::uint32_t count;
    other_rcpt* next;
};

// One distinct status text of a pair (texts merge without regard to case).
struct pair_status {
    std::uint32_t count;
    const char* status;
    std::time_t first_time;
    std::time_t last_time;
    pair_status* next;
};

// Texts are null when absent. "Owned" texts are arena copies, the others
// point into the message records.
struct env_pair_stat {
    const char* sender;             // owned: env_from of the sender line
    const char* recipient;          // owned: env_to of the delivery
    const char* from_host;          // host part of the sender address
    const char* to_host;            // host part of the recipient address
    const char* from_dom_l1;        // sender address domains
    const char* from_dom_l2;
    const char* from_relay;         // owned: name of the relay the message came from
    const char* to_relay;           // owned: name of the relay it went to
    const char* from_ip;            // address texts of those relays
    const char* to_ip;
    const char* from_relay_dom_l1;  // owned: domains of the sending relay
    const char* from_relay_dom_l2;  // owned
    const char* from_geo_dom;       // owned: country of the sending relay's address
    const char* date;               // owned: "YYYYMMDD" of the first delivery counted
    other_rcpt* other_rcpts_head;
    other_rcpt* other_rcpts_tail;
    pair_status* statuses_head;
    pair_status* statuses_tail;
    std::uint32_t from_ip_bin;
    std::uint32_t to_ip_bin;
    double size;
    std::uint32_t count;
};

// One address of the sender or recipient table (also the recipients of
// milter rejects).
struct env_mem_stat {
    const char* name;
    double size;
    std::uint32_t count;
};

// The envelope tables of one host, in order of first appearance.
struct envelope_statistics {
    std::vector<env_pair_stat> pairs;
    std::vector<env_mem_stat> senders;
    std::vector<env_mem_stat> recipients;
    std::uint32_t pair_refs = 0;  // deliveries counted into pairs
};
