// Field extraction over raw log text. Keys are found wherever they first
// occur in the text and values end at the next comma (or blank, as noted);
// nothing here assumes a length. A value that runs to the end of the text is
// kept in place, any other is an arena copy.
#include "input/field_extraction.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "driver/settings.h"
#include "util/text_util.h"
#include "geo/ip_ranges.h"
#include "util/number_scan.h"

namespace {

constexpr std::uint32_t loopback_address = 0x7F000001;

char* copy_range(arena& memory, const char* start, const char* end)
{
    return memory.save_text(std::string_view(start, static_cast<std::size_t>(end - start)));
}

// Domain levels of a relay name: a bracketed address is not split, a final
// dot is removed in place, a name without dots has no levels.
void make_relay_levels(arena& memory, relay_info& relay)
{
    char* name = relay.dom_name;
    if (name == nullptr || name[0] == '[')
        return;
    std::size_t length = std::strlen(name);
    if (length > 0 && name[length - 1] == '.')
        name[length - 1] = '\0';
    if (std::strchr(name, '.') == nullptr)
        return;
    make_levels(memory, name, relay.dom_name_lvl_1, relay.dom_name_lvl_2);
}

// The address inside a bracketed name, without "[" and cut at "]".
char* unbracketed_copy(arena& memory, const char* name)
{
    const char* start = name[0] == '[' ? name + 1 : name;
    const char* end = std::strchr(start, ']');
    return end ? copy_range(memory, start, end) : memory.save_text(start);
}

// Puts a country code or area name in the place of a relay name that is a
// bare address; the address text becomes ip_address (not for localhost).
void replace_name_by_place(arena& memory, relay_info& relay, const char* place)
{
    char* address = unbracketed_copy(memory, relay.dom_name);
    if (std::strstr(relay.dom_name, "localhost") == nullptr) {
        relay.ip_address = address;
        relay.dom_name = memory.save_text(place);
    }
}

// A relay without domain is named by the country, else the area, of its address.
void place_relay_without_domain(arena& memory, relay_info& relay)
{
    if (!settings.PrintCountryIPInfo || relay.dom_name_lvl_1 != nullptr)
        return;
    if (const char* country = ip2country(relay.ip_bin_addr)) {
        replace_name_by_place(memory, relay, country);
        relay.dom_name_lvl_1 = memory.save_text(country);
    } else if (const char* area = ip2area(relay.ip_bin_addr)) {
        replace_name_by_place(memory, relay, area);
    }
}

// The country of a named relay's address, kept when it differs from the
// country its name gives (always for localhost).
void add_geographic_country(arena& memory, relay_info& relay)
{
    if (!settings.PrintCountryIPInfo || relay.dom_name_lvl_1 == nullptr || relay.ip_address == nullptr ||
        is_special_ip(relay.ip_address))
        return;
    const char* country = ip2country(relay.ip_bin_addr);
    if (country == nullptr)
        return;
    if (strcasecmp(country, relay.dom_name_lvl_1) != 0 || std::strstr(relay.dom_name, "localhost"))
        relay.geo_dom_name_lvl_1 = memory.save_text(country);
}

// True when a relay is local or unknown and gets no geographic lookup.
bool is_local_relay(const relay_info& relay, bool unknown_is_local)
{
    const char* name = relay.dom_name;
    if (std::strstr(name, "localhost"))
        return relay.ip_bin_addr == loopback_address || relay.ip_address == nullptr ||
               std::strcmp(name, "localhost") != 0;
    return std::strstr(name, "local") || (unknown_is_local && std::strstr(name, "unknown")) ||
           relay.ip_bin_addr == loopback_address;
}

// The number of the address between "[" and the first "]" (or the end).
std::uint32_t bracketed_address_number(const char* name)
{
    const char* start = name + 1;
    const char* end = std::strchr(start, ']');
    std::string address(start, end ? static_cast<std::size_t>(end - start) : std::strlen(start));
    return ipv4_number(address.c_str());
}

// From a host part on: name and address, levels, local test, places. The
// host part is a writable copy that is cut in place.
int split_host_part(arena& memory, char* host, relay_info& relay, bool unknown_is_local)
{
    if (char* blank = std::strchr(host, ' ')) {
        *blank = '\0';
        relay.dom_name = host;
        char* rest = blank + 1;
        if (char* close = std::strchr(rest, ']'))
            *close = '\0';
        if (*rest == '[')
            ++rest;
        relay.ip_address = rest;
        relay.ip_bin_addr = ipv4_number(rest);
    } else {
        relay.dom_name = host;
        if (host[0] == '[')
            relay.ip_bin_addr = bracketed_address_number(host);
    }
    make_relay_levels(memory, relay);
    if (is_local_relay(relay, unknown_is_local))
        return 0;
    place_relay_without_domain(memory, relay);
    add_geographic_country(memory, relay);
    return 0;
}

}  // namespace

char* extract_address(arena& memory, const char* p)
{
    const char* comma = std::strchr(p, ',');
    if (comma == nullptr)
        return nullptr;
    const char* start = *p == '<' ? p + 1 : p;
    const char* end = comma;
    if (end > start && end[-1] == '>')
        --end;
    if (end > start && end[-1] == '.')
        --end;
    if (end > start && end[-1] == ' ')
        --end;
    if (end <= start)
        return memory.save_text("<>");
    return copy_range(memory, start, end);
}

char* get_env_from(arena& memory, const char* text)
{
    const char* key = std::strstr(text, "from=");
    return key ? extract_address(memory, key + 5) : nullptr;
}

char* get_env_to(arena& memory, const char* text)
{
    const char* key = std::strstr(text, "to=");
    return key ? extract_address(memory, key + 3) : nullptr;
}

int add_other_recipients(arena& memory, const char* p, msg_to& delivery)
{
    const char* blank = std::strchr(p, ' ');
    if (blank == nullptr)
        return -2;
    const char* comma = std::strchr(p, ',');
    if (comma == nullptr)
        return -3;
    if (blank <= comma + 1)
        return 0;
    int added = 0;
    for (const char* item = comma + 1;;) {
        const char* close = std::strchr(item, ',');
        if (close == nullptr)
            break;
        const char* start = *item == '<' ? item + 1 : item;
        const char* end = close;
        if (end > start && end[-1] == '>')
            --end;
        char* name = copy_range(memory, start, end);
        if (name == nullptr)
            return -4;
        rcpt_to* recipient = memory.make<rcpt_to>();
        if (recipient == nullptr)
            return -5;
        recipient->name = name;
        recipient->count = 1;
        if (delivery.p_rcpt_tail)
            delivery.p_rcpt_tail->next = recipient;
        else
            delivery.p_rcpt_head = recipient;
        delivery.p_rcpt_tail = recipient;
        ++added;
        if (close + 1 >= blank)
            break;
        item = close + 1;
    }
    return added;
}

std::uint32_t get_size(const char* text)
{
    const char* key = std::strstr(text, "size=");
    if (key == nullptr)
        return 0;
    return static_cast<std::uint32_t>(scan_unsigned_long(key + 5));
}

std::int32_t get_nrcpts(const char* text)
{
    const char* key = std::strstr(text, "nrcpts=");
    if (key == nullptr)
        return 0;
    const char* end = nullptr;
    return static_cast<std::int32_t>(scan_long(key + 7, &end));
}

const char* get_stat_txt(const char* text)
{
    const char* key = std::strstr(text, "stat=");
    if (key == nullptr)
        return nullptr;
    const char* status = key + 5;
    return strncasecmp(status, "Sent", 4) == 0 ? "Sent" : status;
}

std::int32_t get_stat_code(const char* text)
{
    const char* key = std::strstr(text, "stat=");
    if (key == nullptr)
        return 1;
    const char* status = key + 5;
    if (std::strncmp(status, "Sent", 4) == 0)
        return 1;
    static const struct {
        const char* prefix;
        std::int32_t code;
    } classes[] = {{"Deferred", 2}, {"Queued", 4}, {"User", 3}, {"Host", 5}, {"Service", 6}, {"Virus", 7}};
    for (const auto& status_class : classes)
        if (strncasecmp(status, status_class.prefix, std::strlen(status_class.prefix)) == 0)
            return status_class.code;
    return 8;
}

const char* get_reject_txt(const char* text)
{
    if (const char* reject = std::strstr(text, "reject="))
        return reject + 7;
    if (const char* milter = std::strstr(text, "Milter:"))
        if (const char* address = std::strstr(milter, "addr="))
            if (const char* comma = std::strchr(address, ',')) {
                const char* reason = comma + 1;
                if (*reason == ' ')
                    ++reason;
                return reason;
            }
    return unknown_reject_text;
}

int split_relay(arena& memory, const char* text, relay_info& relay)
{
    const char* key = std::strstr(text, "relay=");
    if (key == nullptr) {
        if (std::strstr(text, "mailer="))
            key = "relay=localhost";
        else if (std::strstr(text, "stat="))
            key = "relay=unknown";
        else
            return -1;
    }
    const char* value = key + 6;
    if (*value == ' ')
        value = skip_blanks(value);
    const char* comma = std::strchr(value, ',');
    char* copy = comma ? copy_range(memory, value, comma) : memory.save_text(value);
    if (copy == nullptr)
        return -2;
    char* at = std::strchr(copy, '@');
    return split_host_part(memory, at ? at + 1 : copy, relay, true);
}

int split_client(arena& memory, char* client_text, relay_info& relay)
{
    if (client_text == nullptr)
        return -1;
    return split_host_part(memory, client_text, relay, false);
}

int split_milter_host(arena& memory, const char* text, relay_info& relay, std::size_t& kept_length)
{
    kept_length = std::strlen(text);
    const char* key = std::strstr(text, "host=");
    if (key == nullptr)
        return -1;
    const char* value = key + 5;
    const char* comma = std::strchr(value, ',');
    char* copy = comma ? copy_range(memory, value, comma) : memory.save_text(value);
    if (copy == nullptr)
        return -2;
    char* at = std::strchr(copy, '@');
    relay.dom_name = at ? at + 1 : copy;
    if (const char* address = std::strstr(text, "addr=")) {
        const char* start = address + 5;
        const char* cut = std::strchr(start, ',');
        if (cut != nullptr)
            kept_length = static_cast<std::size_t>(cut - text);
        relay.ip_address = cut ? copy_range(memory, start, cut) : memory.save_text(start);
        if (relay.ip_address == nullptr)
            return -2;
        relay.ip_bin_addr = ipv4_number(relay.ip_address);
    }
    make_relay_levels(memory, relay);
    if (std::strstr(relay.dom_name, "local") || relay.ip_bin_addr == loopback_address ||
        !settings.PrintCountryIPInfo || relay.dom_name_lvl_1 != nullptr)
        return 0;
    if (const char* country = ip2country(relay.ip_bin_addr)) {
        relay.ip_address = unbracketed_copy(memory, relay.dom_name);
        relay.dom_name = memory.save_text(country);
        relay.dom_name_lvl_1 = memory.save_text(country);
    } else if (const char* area = ip2area(relay.ip_bin_addr)) {
        relay.ip_address = unbracketed_copy(memory, relay.dom_name);
        relay.dom_name = memory.save_text(area);
    }
    return 0;
}

bool is_special_ip(const char* text)
{
    const std::uint32_t a = ntohl(inet_addr(text));
    const struct {
        std::uint32_t network;
        int prefix;
    } special[] = {
        {0xC0000200, 24}, {0xC0586300, 24}, {0xA9FE0000, 16}, {0xC0A80000, 16}, {0xC6120000, 15},
        {0xAC100000, 12}, {0x00000000, 8},  {0x7F000000, 8},  {0x0A000000, 8},  {0xE0000000, 4},
    };
    for (const auto& range : special) {
        const std::uint32_t mask = ~std::uint32_t{0} << (32 - range.prefix);
        if ((a & mask) == range.network)
            return true;
    }
    return false;
}
