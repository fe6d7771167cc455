// Building the domain statistics of envelope addresses and of relays. Reads
// the message chains of every used host (input-phase records, trusted by
// now) and is the only writer of the hosts' env_dom and rel_dom tables. The
// domain texts are the ones field extraction stored; names compare as they
// are, so domains differing in letter case get records of their own.
#include "stats/domain_stats.h"

#include <new>
#include <string_view>
#include <unordered_map>

#include "driver/messages.h"
#include "model/host_info.h"
#include "stats/build_phase.h"

namespace {

enum class occurrence { send, recv, milrej };

struct domain_levels {
    const char* l1;
    const char* l2;
};

// One level of one host's tables, with the index that finds a record by
// name (the key views the record's own copy of the name).
class level_counter {
public:
    level_counter(std::vector<domain_stat>& list, std::uint32_t& refs, std::uint32_t& send, std::uint32_t& recv,
                  std::uint32_t& milrej)
        : list_(list), refs_(refs), send_(send), recv_(recv), milrej_(milrej)
    {
        for (std::size_t i = 0; i < list_.size(); ++i)
            index_.emplace(list_[i].name, i);
    }

    // One occurrence of `name`; false when memory ran out.
    bool count(arena& memory, const char* name, occurrence kind, double size)
    {
        domain_stat* stat = find_or_add(memory, name);
        if (stat == nullptr)
            return false;
        ++stat->all;
        ++refs_;
        switch (kind) {
        case occurrence::send:
            ++stat->send;
            ++send_;
            stat->size += size;
            break;
        case occurrence::recv:
            ++stat->recv;
            ++recv_;
            break;
        case occurrence::milrej:
            ++stat->milrej;
            ++milrej_;
            break;
        }
        return true;
    }

private:
    domain_stat* find_or_add(arena& memory, const char* name)
    {
        if (auto found = index_.find(name); found != index_.end())
            return &list_[found->second];
        const char* copy = memory.save_text(name);
        if (copy == nullptr)
            return nullptr;
        list_.push_back(domain_stat{copy, 0, 0, 0, 0, 0});
        index_.emplace(copy, list_.size() - 1);
        return &list_.back();
    }

    std::vector<domain_stat>& list_;
    std::uint32_t& refs_;
    std::uint32_t& send_;
    std::uint32_t& recv_;
    std::uint32_t& milrej_;
    std::unordered_map<std::string_view, std::size_t> index_;
};

// Which domains of the message records a phase counts, and its messages.
struct domain_phase {
    domain_tables host_info::*tables;
    domain_levels (*of_sender)(const msg_from&);
    domain_levels (*of_delivery)(const msg_to&);
    const char* l1_memory_message;
    const char* l2_memory_message;
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
        if (domains.l1 == nullptr)
            return nullptr;
        if (!count_level(l1_, domains.l1, kind, size))
            return phase_.l1_memory_message;
        if (domains.l2 != nullptr && !count_level(l2_, domains.l2, kind, size))
            return phase_.l2_memory_message;
        return nullptr;
    }

private:
    static level_counter level_of(domain_tables& t, int level)
    {
        if (level == 1)
            return level_counter(t.l1_list, t.l1_refs, t.l1_send, t.l1_recv, t.l1_milrej);
        return level_counter(t.l2_list, t.l2_refs, t.l2_send, t.l2_recv, t.l2_milrej);
    }

    bool count_level(level_counter& level, const char* name, occurrence kind, double size)
    {
        try {
            return level.count(memory_, name, kind, size);
        } catch (const std::bad_alloc&) {
            return false;
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
        const msg_from& sender = *item->p_from;
        // The sending side counts once for every delivery of its message.
        for (const msg_to* delivery = item->p_to; delivery; delivery = delivery->next) {
            if (const char* failure = counter.count(phase.of_sender(sender), occurrence::send, sender.siz))
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
