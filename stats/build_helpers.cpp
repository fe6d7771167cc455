// The helpers shared by the statistic builders: dates copied into a host's
// arena, and the check of a split address.
#include "stats/build_helpers.h"

#include <cstdio>
#include <cstring>

bool copy_date(arena& memory, std::time_t time, const char*& target)
{
    target = nullptr;
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr)
        return true;
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    target = memory.save_text(text);
    return target != nullptr;
}

bool split_complete(const char* address, const env_name_info& parts)
{
    if (address == nullptr || std::strchr(address, '@') == nullptr)
        return true;
    if (parts.user_name == nullptr || parts.host_name == nullptr)
        return false;
    if (parts.host_name[0] == '\0' || std::strchr(parts.host_name + 1, '.') == nullptr)
        return true;
    return parts.dom_name_lvl_1 != nullptr && parts.dom_name_lvl_2 != nullptr;
}
