// Field extraction on sendmail message texts: addresses, further recipients, size, recipient count,
// status, reject reason, the split of relay, client and milter hosts and the country lookups.
#include "input/field_extraction.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/settings.h"
#include "geo/ip_ranges.h"

namespace {

// Absent texts show as "-" so that they never compare equal to "".
std::string shown(const char* text)
{
    return text ? std::string(text) : std::string("-");
}

// Texts no log line gives; the forms a log holds are pinned end to end (field_edges).
TEST(FieldExtraction, AddressesFurtherRecipientsAndTheirParts)
{
    arena memory;
    EXPECT_EQ(extract_address(memory, "<carol@x.com>"), nullptr);  // no field after it
    EXPECT_EQ(get_env_to(memory, "from=<dan@example.com>, size=1"), nullptr);
    struct { const char* p; int want; const char* names; } recipients[] = {
        {"<a@x.com>,<b@x.net>,<c@x.org>, delay=0", 2, "b@x.net/1 c@x.org/1 "}, {"<a@x>,<<b@x.net>>, d", 1, "<b@x.net>/1 "},
        {"<a@x>,<b@x.net> delay", 0, ""}, {"<a@x>,<b@x.net>", -2, ""}, {"<a@x> delay=00:00:02", -3, ""}};
    for (const auto& c : recipients) {
        msg_to delivery{};
        EXPECT_EQ(add_other_recipients(memory, c.p, delivery), c.want) << "from \"" << c.p << "\"";
        std::string names;
        for (const rcpt_to* r = delivery.p_rcpt_head; r; r = r->next)
            names += std::string(r->name) + "/" + std::to_string(r->count) + " ";
        EXPECT_EQ(names, c.names) << "from \"" << c.p << "\"";
        EXPECT_EQ(delivery.p_rcpt_tail ? delivery.p_rcpt_tail->next : nullptr, nullptr);
    }
    // User, host, level 1, level 2.
    for (const auto& [address, want] : {std::pair<const char*, const char*>{"u@example.com.", "u example.com. . .com."},
                                        {"carol@.com", "carol .com - -"}, {empty_address_text, "- - - -"}}) {
        const env_name_info got = split_address(memory, address);
        EXPECT_EQ(shown(got.user_name) + " " + shown(got.host_name) + " " + shown(got.dom_name_lvl_1) + " " +
                      shown(got.dom_name_lvl_2), want);
    }
}

TEST(FieldExtraction, SizeCountStatusAndRejectReason)
{
    const char* from = "from=<a@example.com>, size=2048, class=0, nrcpts=3, msgid=<x@example.com>, size=9";
    EXPECT_EQ(get_size(from), 2048u);
    EXPECT_EQ(get_nrcpts(from), 3);
    EXPECT_EQ(get_size("msgsize=10, size=20"), 10u);  // found inside a longer key too
    EXPECT_EQ(get_size("size=4000000000, class=0") + get_size("class=0") + get_size("size=, x"), 4000000000u);
    EXPECT_EQ(get_nrcpts("nrcpts=many, size=5") + get_nrcpts("class=0"), 0);

    // Each status and its class are pinned end to end (field_edges); a text without one:
    EXPECT_EQ(get_stat_txt("from=<a@example.com>, size=1"), nullptr);
    EXPECT_EQ(get_stat_code("from=<a@example.com>, size=1"), 1);

    struct { const char* text; const char* want; } rejects[] = {
        {"Milter: from=<a@x>, reject=554 5.7.1 Spam", "554 5.7.1 Spam"}, {"Milter: connect: host=h, addr=a, no", "no"},
        {"Milter: connect: host=h, addr=a,  two", " two"}, {"addr=a, Milter: connect: host=h", unknown_reject_text},
        {"Milter: connect: host=h, addr=a", unknown_reject_text}, {"milter: connect: host=h, addr=a, x", unknown_reject_text},
    };
    for (const auto& c : rejects) {
        const char* got = get_reject_txt(c.text);
        EXPECT_EQ(shown(got), c.want) << c.text;
        EXPECT_EQ(c.want == unknown_reject_text, got == unknown_reject_text) << "the one shared text: " << c.text;
    }
}

// Splits `text` as a relay (r), client (c) or milter host (m) with no country
// tables (geo 0), small ones (1), or those and a range holding every address a
// lookup could be made for (2). Gives name|level 1|level 2|address|country of
// a named relay|address number|result, and for milter hosts the kept length.
std::string split(int geo, char kind, const std::string& text)
{
    country_ip_table = area_ip_table = ip_range_table{};
    auto add = [](ip_range_table& table, const char* name, const char* first, const char* last) {
        table.entries.push_back({table.names.emplace_back(name).c_str(), ipv4_number(first), ipv4_number(last)});
    };
    settings.PrintCountryIPInfo = geo > 0;
    if (geo > 0) {
        add(country_ip_table, ".de", "198.51.100.0", "198.51.100.255"), add(country_ip_table, ".de", "10.0.0.0", "10.255.255.255");
        add(country_ip_table, ".fr", "192.0.2.0", "192.0.2.255"), add(area_ip_table, "Documentation net", "203.0.113.0", "203.0.113.255");
    }
    if (geo > 1)
        add(country_ip_table, ".xx", "0.0.0.0", "255.255.255.254");
    arena memory;
    relay_info relay{};
    std::string copy = text;
    std::size_t kept = 0;
    const int result = kind == 'r'   ? split_relay(memory, text.c_str(), relay)
                       : kind == 'c' ? split_client(memory, copy.data(), relay)
                                     : split_milter_host(memory, text.c_str(), relay, kept);
    char number[16];
    std::snprintf(number, sizeof number, "%x", relay.ip_bin_addr);
    settings.PrintCountryIPInfo = 0;
    std::string fields = shown(relay.dom_name) + "|" + shown(relay.dom_name_lvl_1) + "|" + shown(relay.dom_name_lvl_2) +
                         "|" + shown(relay.ip_address) + "|" + shown(relay.geo_dom_name_lvl_1) + "|" + number + "|" +
                         std::to_string(result);
    if (kind == 'm')
        (fields += '|') += std::to_string(kept);
    return fields;
}

TEST(FieldExtraction, RelayClientAndMilterHostsWithTheirCountriesAndReservedRanges)
{
    const std::string to = "to=<a@b>, mailer=esmtp, ";
    struct { int geo; char kind; std::string text; const char* want; } cases[] = {
        {0, 'r', "from=<a@b>, relay=[203.0.113.9] (may be forged), x", "[203.0.113.9]|-|-|(may be forged)|-|0|0"},
        {0, 'r', to + "relay=, x", "|-|-|-|-|0|0"}, {0, 'r', "from=<a@b>, size=1", "-|-|-|-|-|0|-1"},
        {0, 'c', "host.example.com [192.0.2.7]", "host.example.com|.com|.example.com|192.0.2.7|-|c0000207|0"},
        {0, 'm', "Milter: connect: host=mx.example.com, addr=198.51.100.7, rejecting", "mx.example.com|.com|.example.com|198.51.100.7|-|c6336407|0|55"},
        {0, 'm', "Milter: connect: host=user@mail.example.de., rejecting", "mail.example.de|.de|.example.de|-|-|0|0|54"},
        {0, 'm', "Milter: connect: addr=198.51.100.7, rejecting", "-|-|-|-|-|0|-1|45"},
        {1, 'r', to + "relay=MAIL.EXAMPLE.DE [198.51.100.50], x", "MAIL.EXAMPLE.DE|.DE|.EXAMPLE.DE|198.51.100.50|-|c6336432|0"},
        {1, 'r', "from=<a@b>, relay=[198.18.0.1]", "[198.18.0.1]|-|-|-|-|c6120001|0"},
        {1, 'c', "unknown [192.0.2.8]", ".fr|.fr|-|unknown|-|c0000208|0"},  // address copied from the name
        {2, 'r', to + "relay=smtp.local [198.51.100.60]", "smtp.local|.local|.smtp.local|198.51.100.60|-|c633643c|0"},
        {2, 'r', to + "relay=[127.0.0.1]", "[127.0.0.1]|-|-|-|-|7f000001|0"},
        {2, 'm', "Milter: connect: host=localhost, addr=127.0.0.1, x", "localhost|-|-|127.0.0.1|-|7f000001|0|47"},  // local
    };
    for (const auto& c : cases)
        EXPECT_EQ(split(c.geo, c.kind, c.text), c.want) << c.text;
    // The reserved ranges that get no country.
    for (const char* text : {"10.1.2.3", "172.31.255.255", "192.168.0.1", "169.254.1.1", "127.0.0.2", "0.1.2.3",
                             "198.19.0.1", "192.0.2.1", "192.88.99.1", "239.1.1.1", "172.16.0.0"})
        EXPECT_TRUE(is_special_ip(text)) << text;
    for (const char* text : {"172.32.0.1", "198.20.0.1", "8.8.8.8", "240.0.0.1", "192.0.3.1", "1.0.0.0", "(may be forged)"})
        EXPECT_FALSE(is_special_ip(text)) << text;
}

}  // namespace
