// Splitting addresses and host names into the parts of the message model.
#include "model/address_parts.h"

#include <cstring>
#include <string_view>

// The two domain levels of a host name: the walk goes from its last character
// to its second; the first dot met starts level 1, the second level 2; with a
// single dot, level 2 is "." and the whole name.
void make_levels(arena& memory, const char* host, const char*& level_1, const char*& level_2)
{
    std::size_t length = std::strlen(host);
    int dots = 0;
    for (std::size_t i = length; i-- > 1 && dots < 2;) {
        if (host[i] != '.')
            continue;
        ++dots;
        (dots == 1 ? level_1 : level_2) = host + i;
    }
    if (dots == 1) {
        char* both = static_cast<char*>(memory.allocate(length + 2, 1));
        if (both != nullptr) {
            both[0] = '.';
            std::memcpy(both + 1, host, length + 1);
        }
        level_2 = both;
    }
}

env_name_info split_address(arena& memory, const char* address)
{
    env_name_info parts{};
    if (address == nullptr)
        return parts;
    const char* at = std::strchr(address, '@');
    if (at == nullptr)
        return parts;
    parts.user_name = memory.save_text(std::string_view(address, static_cast<std::size_t>(at - address)));
    parts.host_name = at + 1;
    if (parts.host_name[0] == '\0')
        return parts;
    make_levels(memory, parts.host_name, parts.dom_name_lvl_1, parts.dom_name_lvl_2);
    return parts;
}
