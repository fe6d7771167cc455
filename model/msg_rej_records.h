// Messages/rejects statistic records: one flat record per pair, other
// recipient or milter reject.
// Plain data: the statistics builders fill them, the reports read them.
#pragma once

#include <cstdint>

struct msg_rej_stat {
    const char* envfrom;  // texts are owned copies, null when absent
    const char* envrcpt;
    const char* relayfrom_ip;
    const char* relayfrom;
    const char* relayto;
    const char* relayto_ip;
    const char* date;
    std::uint32_t accepted;
    std::uint32_t sent;
    std::uint32_t virus;
    std::uint32_t other;
    std::uint32_t rejmilter;
};
