// Messages/rejects statistics: a flat record per envelope pair, per other
// recipient of a pair and per milter reject, written as key='value' lines for
// other tools.
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

// Builds the records of every used host; 0, or 1 after its message when
// memory ran out.
int build_msg_rej_statistics();
