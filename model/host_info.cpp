// Storage and lookup of the host table: a linear walk over at most four names.
#include "model/host_info.h"

#include <new>

namespace {
alignas(host_table_type) unsigned char host_table_storage[sizeof(host_table_type)];
alignas(arena) unsigned char kept_input_storage[sizeof(arena)];
}  // namespace

host_table_type& host_table = *::new (host_table_storage) host_table_type();
std::uint32_t hosts_found = 0;

arena& kept_input()
{
    static arena& input = *::new (kept_input_storage) arena();
    return input;
}

void clear_host_table()
{
    kept_input() = arena();
    for (host_info& host : host_table)
        host = host_info{};
    hosts_found = 0;
}

host_info* find_or_add_host(std::string_view name)
{
    for (std::uint32_t i = 0; i < hosts_found; ++i)
        if (host_table[i].host_name == name)
            return &host_table[i];
    if (hosts_found == host_table.size())
        return nullptr;
    host_info& slot = host_table[hosts_found++];
    slot.host_name = std::string(name);
    return &slot;
}

std::span<host_info> used_hosts()
{
    return std::span<host_info>(host_table.data(), hosts_found);
}
