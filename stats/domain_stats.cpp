// Building the domain statistics of envelope addresses and of relays. Reads
// the message chains of every used host (input-phase records, trusted by
// now) and is the only writer of the hosts' env_dom and rel_dom tables. The
// domain texts are the ones field extraction stored; names compare as they
// are, so domains differing in letter case get records of their own.
#include "stats/domain_stats.h"

#include <new>

#include "driver/messages.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "stats/flat_index.h"
#include "stats/text_keys.h"

namespace {

enum class occurrence { send, recv, milrej };

struct domain_levels {
    const char* l1;
    const char* l2;
};

constexpr std::uint32_t no_position = UINT32_MAX;

// One level of one host's tables, with the index that finds a record by
// name (the key points at the record's own copy of the name).
class level_counter {
public:
    level_counter(std::vector<domain_stat>& list, std::uint32_t& refs, std::uint32_t& send, std::uint32_t& recv,
                  std::uint32_t& milrej)
        : list_(list), refs_(refs), send_(send), recv_(recv), milrej_(milrej)
    {
        for (std::size_t i = 0; i < list_.size(); ++i)
            index_.try_emplace(list_[i].name, text_hash(list_[i].name), static_cast<std::uint32_t>(i));
    }

    // The position of the record of `name`, added when new; no_position
    // when memory ran out.
    std::uint32_t find_or_add(arena& memory, const char* name)
    {
        const std::size_t hash = text_hash(name);
        if (const std::uint32_t* found = index_.find(name, hash))
            return *found;
        const char* copy = memory.save_text(name);
        if (copy == nullptr)
            return no_position;
        const auto position = static_cast<std::uint32_t>(list_.size());
        list_.push_back(domain_stat{copy, 0, 0, 0, 0, 0});
        index_.try_emplace(copy, hash, position);
        return position;
    }

    // One occurrence of the record at `position`.
    void count_at(std::uint32_t position, occurrence kind, double size)
    {
        domain_stat& stat = list_[position];
        ++stat.all;
        ++refs_;
        switch (kind) {
        case occurrence::send:
            ++stat.send;
            ++send_;
            stat.size += size;
            break;
        case occurrence::recv:
            ++stat.recv;
            ++recv_;
            break;
        case occurrence::milrej:
            ++stat.milrej;
            ++milrej_;
            break;
        }
    }

private:
    std::vector<domain_stat>& list_;
    std::uint32_t& refs_;
    std::uint32_t& send_;
    std::uint32_t& recv_;
    std::uint32_t& milrej_;
    flat_index<const char*, std::uint32_t, text_key_equal> index_;
};

// Which domains of the message records a phase counts, and its messages.
struct domain_phase {
    domain_tables host_info::*tables;
    domain_levels (*of_sender)(const msg_from&);
    domain_levels (*of_delivery)(const msg_to&);
    const char* l1_memory_message;
    const char* l2_memory_message;
};

// Where the domains of one record stand in the two levels, once found.
struct domain_positions {
    std::uint32_t l1 = no_position;
    std::uint32_t l2 = no_position;
    bool found = false;
};

// Both levels of one host's tables of a phase.
class host_counter {
public:
    host_counter(host_info& host, const domain_phase& phase)
        : memory_(host.memory),
          phase_(phase),
          l1_(level_of(host.*phase.tables, 1)),
          l2_(level_of(host.*phase.tables, 2))
    {
    }

    // The level-1 domain, then the level-2 domain when the level-1 one is
    // present. Null, or the message to write when memory ran out.
    const char* count(domain_levels domains, occurrence kind, double size)
    {
        domain_positions positions;
        return count(domains, kind, size, positions);
    }

    // The same, where `positions` keeps the records found for `domains`
    // so that a later count of the same domains needs no search.
    const char* count(domain_levels domains, occurrence kind, double size, domain_positions& positions)
    {
        if (domains.l1 == nullptr)
            return nullptr;
        if (!positions.found) {
            positions.l1 = find_or_add(l1_, domains.l1);
            if (positions.l1 == no_position)
                return phase_.l1_memory_message;
        }
        l1_.count_at(positions.l1, kind, size);
        if (domains.l2 == nullptr) {
            positions.found = true;
            return nullptr;
        }
        if (!positions.found) {
            positions.l2 = find_or_add(l2_, domains.l2);
            if (positions.l2 == no_position)
                return phase_.l2_memory_message;
            positions.found = true;
        }
        l2_.count_at(positions.l2, kind, size);
        return nullptr;
    }

private:
    static level_counter level_of(domain_tables& t, int level)
    {
        if (level == 1)
            return level_counter(t.l1_list, t.l1_refs, t.l1_send, t.l1_recv, t.l1_milrej);
        return level_counter(t.l2_list, t.l2_refs, t.l2_send, t.l2_recv, t.l2_milrej);
    }

    std::uint32_t find_or_add(level_counter& level, const char* name)
    {
        try {
            return level.find_or_add(memory_, name);
        } catch (const std::bad_alloc&) {
            return no_position;
        }
    }

    arena& memory_;
    const domain_phase& phase_;
    level_counter l1_;
    level_counter l2_;
};

// Counts one host's chains; null, or the message of the level whose memory
// ran out.
const char* count_host(host_info& host, const domain_phase& phase)
{
    host_counter counter(host, phase);
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next) {
        prefetch_next_message(*item);
        const msg_from& sender = *item->p_from;
        const domain_levels sender_domains = phase.of_sender(sender);
        // The sending side counts once for every delivery of its message;
        // the first one finds its records.
        domain_positions sender_positions;
        for (const msg_to* delivery = item->p_to; delivery; delivery = delivery->next) {
            if (const char* failure = counter.count(sender_domains, occurrence::send, sender.siz, sender_positions))
                return failure;
            if (const char* failure = counter.count(phase.of_delivery(*delivery), occurrence::recv, 0))
                return failure;
        }
    }
    for (const milter_chain_item* item = host.messages.milter_chain.head; item; item = item->next) {
        if (item->p_from == nullptr)
            continue;
        if (const char* failure = counter.count(phase.of_sender(*item->p_from), occurrence::milrej, 0))
            return failure;
    }
    return nullptr;
}

int build_domain_statistics(const domain_phase& phase)
{
    for (host_info& host : used_hosts()) {
        const char* failure = nullptr;
        try {
            failure = count_host(host, phase);
        } catch (const std::bad_alloc&) {
            failure = phase.l1_memory_message;  // the indexes of a level could not be made
        }
        if (failure != nullptr) {
            error_message(failure);
            return 1;
        }
    }
    return 0;
}

template <class Record>
domain_levels address_domains(const Record& record)
{
    return {record.env_name_info.dom_name_lvl_1, record.env_name_info.dom_name_lvl_2};
}

template <class Record>
domain_levels relay_domains(const Record& record)
{
    return {record.relay_info.dom_name_lvl_1, record.relay_info.dom_name_lvl_2};
}

const domain_phase envelope_phase{
    &host_info::env_dom,
    address_domains<msg_from>,
    address_domains<msg_to>,
    "ERROR: cannot get memory for env-domains stat L1!\n",
    "ERROR: cannot get memory for env-domains stat L2!\n",
};

const domain_phase relay_phase{
    &host_info::rel_dom,
    relay_domains<msg_from>,
    relay_domains<msg_to>,
    "ERROR: cannot get memory for relay domains stat L1!\n",
    "ERROR: cannot get memory for relay domains stat L2!\n",
};

}  // namespace

int build_envelope_domain_statistics()
{
    return build_domain_statistics(envelope_phase);
}

int build_relay_domain_statistics()
{
    return build_domain_statistics(relay_phase);
}
