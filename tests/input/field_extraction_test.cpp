// Field extraction on sendmail message texts: addresses and further
// recipients, size, recipient count, status and reject reason, the split of
// addresses and of relay, client and milter hosts, and the country lookups.
#include "input/field_extraction.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/settings.h"
#include "geo/ip_ranges.h"

namespace {

// Absent texts show as "(null)" so that they never compare equal to "".
std::string shown(const char* text)
{
    return text ? std::string(text) : std::string("(null)");
}

const std::string to_head = "to=<ann@example.com>, delay=00:00:02, xdelay=00:00:01, mailer=esmtp, pri=121542, ";

struct relay_want {
    const char* dom_name;
    const char* lvl_1;
    const char* lvl_2;
    const char* ip_address;
    const char* geo;
    std::uint32_t bin;
};

void expect_relay(const relay_info& got, const relay_want& want, const std::string& label)
{
    EXPECT_EQ(shown(got.dom_name), shown(want.dom_name)) << label << ": dom_name";
    EXPECT_EQ(shown(got.dom_name_lvl_1), shown(want.lvl_1)) << label << ": dom_name_lvl_1";
    EXPECT_EQ(shown(got.dom_name_lvl_2), shown(want.lvl_2)) << label << ": dom_name_lvl_2";
    EXPECT_EQ(shown(got.ip_address), shown(want.ip_address)) << label << ": ip_address";
    EXPECT_EQ(shown(got.geo_dom_name_lvl_1), shown(want.geo)) << label << ": geo_dom_name_lvl_1";
    EXPECT_EQ(got.ip_bin_addr, want.bin) << label << ": ip_bin_addr";
}

TEST(ExtractAddress, TrimsOneBracketDotAndBlank)
{
    arena memory;
    struct { const char* p; const char* want; } cases[] = {
        {"<alice@example.com>, size=2048, class=0, nrcpts=1", "alice@example.com"},
        {"alice@example.com, size=2048", "alice@example.com"},
        {"<>, size=0, class=0", "<>"},
        {"<bob@example.org.>, ctladdr=<bob@example.org> (1000/1000)", "bob@example.org"},
        {"<bob@example.org. >, delay=00:00:01", "bob@example.org."},  // blank is tested last
        {"<bob@example.org>>, delay=00:00:01", "bob@example.org>"},
        {"bob@example.org.., delay=00:00:01", "bob@example.org."},
        {"bob@example.org , delay=00:00:01", "bob@example.org"},
        {"<a@example.com>,<b@example.net>, delay=00:00:01", "a@example.com"},
        {" .>, size=0", "<>"},  // each trim once, nothing left
        {"<, size=0", "<>"},
        {"<carol@example.com>", nullptr},
        {"<>", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(extract_address(memory, c.p)), shown(c.want)) << "from \"" << c.p << "\"";
    EXPECT_EQ(shown(get_env_from(memory, "from=<dan@example.com>, size=1, class=0")), "dan@example.com");
    EXPECT_EQ(shown(get_env_to(memory, "to=eve@example.com, delay=00:00:01")), "eve@example.com");
    EXPECT_EQ(get_env_to(memory, "from=<dan@example.com>, size=1"), nullptr);
}

std::string recipients_of(const msg_to& delivery)
{
    std::string names;
    for (const rcpt_to* r = delivery.p_rcpt_head; r; r = r->next)
        names += std::string(r->name) + "/" + std::to_string(r->count) + " ";
    return names;
}

TEST(AddOtherRecipients, AddsFurtherAddressesInOrder)
{
    arena memory;
    msg_to delivery{};
    const char* p = "<a@example.com>,<b@example.net>,<c@example.org>, delay=00:00:02, mailer=esmtp";
    EXPECT_EQ(add_other_recipients(memory, p, delivery), 2);
    EXPECT_EQ(recipients_of(delivery), "b@example.net/1 c@example.org/1 ");
    ASSERT_NE(delivery.p_rcpt_tail, nullptr);
    EXPECT_STREQ(delivery.p_rcpt_tail->name, "c@example.org");
    EXPECT_EQ(delivery.p_rcpt_tail->next, nullptr);

    struct { const char* p; int want; const char* names; } cases[] = {
        {"<a@example.com>, delay=00:00:02, mailer=esmtp", 0, ""},
        {"a@example.com,b@example.net,c@example.org, delay=00:00:02", 2, "b@example.net/1 c@example.org/1 "},
        {"<a@example.com>,<<b@example.net>>, delay=00:00:02", 1, "<b@example.net>/1 "},
        {"<a@example.com>,<b@example.net> delay", 0, ""},  // no comma closes the second item
        {"<a@example.com>,<b@example.net>", -2, ""},
        {"<a@example.com>", -2, ""},
        {"<a@example.com> delay=00:00:02", -3, ""},
    };
    for (const auto& c : cases) {
        msg_to other{};
        EXPECT_EQ(add_other_recipients(memory, c.p, other), c.want) << "from \"" << c.p << "\"";
        EXPECT_EQ(recipients_of(other), c.names) << "from \"" << c.p << "\"";
    }
}

TEST(NumericFields, SizeAndRecipientCount)
{
    const char* from_line = "from=<a@example.com>, size=2048, class=0, nrcpts=3, msgid=<x@example.com>, size=9";
    EXPECT_EQ(get_size(from_line), 2048u);
    EXPECT_EQ(get_nrcpts(from_line), 3);
    EXPECT_EQ(get_size("from=<a@example.com>, class=0"), 0u);
    EXPECT_EQ(get_nrcpts("from=<a@example.com>, class=0"), 0);
    EXPECT_EQ(get_size("from=<a@example.com>, size=, class=0"), 0u);
    EXPECT_EQ(get_nrcpts("nrcpts=many, size=5"), 0);
    // "size=" is found inside a longer key too.
    EXPECT_EQ(get_size("msgsize=10, size=20"), 10u);
    EXPECT_EQ(get_nrcpts("nrcpts=7, nrcpts=8"), 7);
    EXPECT_EQ(get_size("size=4000000000, class=0"), 4000000000u);
}

TEST(StatusFields, TextKeepsSentOrTheWholeRest)
{
    arena memory;
    struct { const char* text; const char* want; } cases[] = {
        {"relay=mx.example.com. [198.51.100.20], dsn=2.0.0, stat=Sent (4AB1C2 Message accepted)", "Sent"},
        {"dsn=2.0.0, stat=sent (ok)", "Sent"},
        {"dsn=2.0.0, stat=SENT", "Sent"},
        {"dsn=4.0.0, stat=Deferred: Connection refused by mx.example.com.",
         "Deferred: Connection refused by mx.example.com."},
        {"dsn=5.1.1, stat=User unknown", "User unknown"},
        {"dsn=2.0.0, stat=", ""},
        {"from=<a@example.com>, size=1, class=0", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(get_stat_txt(memory, c.text)), shown(c.want)) << "from \"" << c.text << "\"";
}

TEST(StatusFields, CodeByStatusClass)
{
    struct { const char* status; int want; } cases[] = {
        {"Sent (4AB1C2 Message accepted for delivery)", 1}, {"sent (ok)", 8}, {"SENT", 8},
        {"Deferred: Connection timed out with mx.example.com.", 2}, {"deferred: 421 try later", 2},
        {"Queued", 4}, {"queued", 4}, {"User unknown", 3}, {"user unknown", 3},
        {"Host unknown (Name server: mx.example.invalid: host not found)", 5},
        {"Service unavailable", 6}, {"Virus found: Eicar-Test-Signature", 7},
        {"Data format error", 8}, {"Use", 8}, {"", 8},
    };
    for (const auto& c : cases) {
        const std::string text = "dsn=2.0.0, stat=" + std::string(c.status);
        EXPECT_EQ(get_stat_code(text.c_str()), c.want) << "from \"" << text << "\"";
    }
    EXPECT_EQ(get_stat_code("from=<a@example.com>, size=1, class=0"), 1);
}

TEST(RejectText, RejectFieldThenMilterAddressThenUnknown)
{
    arena memory;
    struct { const char* text; const char* want; } cases[] = {
        {"ruleset=check_rcpt, arg1=<x@example.org>, relay=mx.example.com [198.51.100.20], "
         "reject=550 5.7.1 <x@example.org>... Relaying denied",
         "550 5.7.1 <x@example.org>... Relaying denied"},
        {"Milter: from=<a@example.com>, reject=554 5.7.1 Spam", "554 5.7.1 Spam"},
        {"Milter: connect: host=mx.example.com, addr=198.51.100.7, rejecting commands", "rejecting commands"},
        {"Milter: connect: host=mx.example.com, addr=198.51.100.7,rejecting", "rejecting"},
        {"Milter: connect: host=mx.example.com, addr=198.51.100.7,  two blanks", " two blanks"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(get_reject_txt(memory, c.text)), c.want) << "from \"" << c.text << "\"";
    const char* unknown_cases[] = {
        "addr=198.51.100.7, Milter: connect: host=mx.example.com",  // addr= before Milter:
        "Milter: connect: host=mx.example.com, addr=198.51.100.7",
        "milter: connect: host=mx.example.com, addr=198.51.100.7, rejecting",
        "from=<a@example.com>, size=1, class=0",
    };
    // The one shared text, never a copy of it.
    for (const char* text : unknown_cases) {
        const char* got = get_reject_txt(memory, text);
        EXPECT_STREQ(got, "unknown") << "from \"" << text << "\"";
        EXPECT_EQ(got, unknown_reject_text) << "from \"" << text << "\"";
    }
}

TEST(SplitAddress, UserHostAndDomainLevels)
{
    arena memory;
    struct { const char* address; const char* user; const char* host; const char* l1; const char* l2; } cases[] = {
        {"alice@mail.example.com", "alice", "mail.example.com", ".com", ".example.com"},
        {"bob@example.com", "bob", "example.com", ".com", ".example.com"},
        {"eve@a.b.c.example", "eve", "a.b.c.example", ".example", ".c.example"},
        {"root@localhost", "root", "localhost", nullptr, nullptr},
        {"carol@.com", "carol", ".com", nullptr, nullptr},  // its first character is never looked at
        {"dan@.example.com", "dan", ".example.com", ".com", "..example.com"},  // one dot seen
        {"dave@", "dave", "", nullptr, nullptr},
        {"@example.com", "", "example.com", ".com", ".example.com"},
        {"x@y@z.org", "x", "y@z.org", ".org", ".y@z.org"},
        {"u@[192.0.2.7]", "u", "[192.0.2.7]", ".7]", ".2.7]"},
        {"u@example.com.", "u", "example.com.", ".", ".com."},
        {"<>", nullptr, nullptr, nullptr, nullptr},
        {empty_address_text, nullptr, nullptr, nullptr, nullptr},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const env_name_info got = split_address(memory, c.address);
        const std::string label = "split of " + shown(c.address);
        EXPECT_EQ(shown(got.user_name), shown(c.user)) << label;
        EXPECT_EQ(shown(got.host_name), shown(c.host)) << label;
        EXPECT_EQ(shown(got.dom_name_lvl_1), shown(c.l1)) << label;
        EXPECT_EQ(shown(got.dom_name_lvl_2), shown(c.l2)) << label;
    }
}

TEST(SplitRelay, NameAddressAndLevels)
{
    settings = program_settings{};
    arena memory;
    struct { std::string text; relay_want want; } cases[] = {
        {to_head + "relay=mx1.example.com. [198.51.100.20], dsn=2.0.0, stat=Sent (ok)",
         {"mx1.example.com", ".com", ".example.com", "198.51.100.20", nullptr, 0xC6336414}},
        {"from=<a@example.com>, size=1, class=0, nrcpts=1, proto=ESMTP, daemon=MTA, relay=[203.0.113.9]",
         {"[203.0.113.9]", nullptr, nullptr, nullptr, nullptr, 0xCB007109}},
        {"from=<a@example.com>, size=1, relay=[203.0.113.9] (may be forged), proto=SMTP",
         {"[203.0.113.9]", nullptr, nullptr, "(may be forged)", nullptr, 0}},
        {"from=<a@example.com>, size=1, relay=mail.example.net [198.51.100.21] (may be forged)",
         {"mail.example.net", ".net", ".example.net", "198.51.100.21", nullptr, 0xC6336415}},
        {"from=<a@example.com>, size=1, relay=postmaster@mx4.example.com [198.51.100.23]",
         {"mx4.example.com", ".com", ".example.com", "198.51.100.23", nullptr, 0xC6336417}},
        {to_head + "relay= \tmx2.example.org. [198.51.100.22], dsn=2.0.0",
         {"mx2.example.org", ".org", ".example.org", "198.51.100.22", nullptr, 0xC6336416}},
        {to_head + "relay=mx3.example.com", {"mx3.example.com", ".com", ".example.com", nullptr, nullptr, 0}},
        {to_head + "relay=, dsn=2.0.0", {"", nullptr, nullptr, nullptr, nullptr, 0}},
    };
    for (const auto& c : cases) {
        relay_info relay{};
        EXPECT_EQ(split_relay(memory, c.text.c_str(), relay), 0) << c.text;
        expect_relay(relay, c.want, c.text);
    }
    relay_info relay{};
    EXPECT_EQ(split_relay(memory, "from=<a@example.com>, size=1, class=0, nrcpts=1", relay), -1);
    expect_relay(relay, {nullptr, nullptr, nullptr, nullptr, nullptr, 0}, "no relay information");
}

TEST(SplitClient, CutsTheClientTextInPlace)
{
    settings = program_settings{};
    arena memory;
    char named[] = "host.example.com [192.0.2.7]";
    relay_info relay{};
    EXPECT_EQ(split_client(memory, named, relay), 0);
    EXPECT_EQ(relay.dom_name, named);
    EXPECT_STREQ(named, "host.example.com");
    EXPECT_EQ(relay.ip_address, named + 18);
    expect_relay(relay, {"host.example.com", ".com", ".example.com", "192.0.2.7", nullptr, 0xC0000207}, named);

    char bare[] = "[192.0.2.9]";
    relay = relay_info{};
    EXPECT_EQ(split_client(memory, bare, relay), 0);
    expect_relay(relay, {"[192.0.2.9]", nullptr, nullptr, nullptr, nullptr, 0xC0000209}, "bare address");

    EXPECT_EQ(split_client(memory, nullptr, relay), -1);
}

TEST(SplitMilterHost, HostAddressAndKeptLength)
{
    settings = program_settings{};
    arena memory;
    std::size_t kept = 0;
    relay_info relay{};
    const std::string text = "Milter: connect: host=mx.example.com, addr=198.51.100.7, rejecting commands";
    EXPECT_EQ(split_milter_host(memory, text.c_str(), relay, kept), 0);
    EXPECT_EQ(text.substr(0, kept), "Milter: connect: host=mx.example.com, addr=198.51.100.7");
    expect_relay(relay, {"mx.example.com", ".com", ".example.com", "198.51.100.7", nullptr, 0xC6336407}, text);

    const std::string at_end = "Milter: connect: host=[198.51.100.8], addr=198.51.100.8";
    relay = relay_info{};
    EXPECT_EQ(split_milter_host(memory, at_end.c_str(), relay, kept), 0);
    EXPECT_EQ(kept, at_end.size());
    expect_relay(relay, {"[198.51.100.8]", nullptr, nullptr, "198.51.100.8", nullptr, 0xC6336408}, at_end);

    const std::string no_addr = "Milter: connect: host=user@mail.example.de., rejecting";
    relay = relay_info{};
    EXPECT_EQ(split_milter_host(memory, no_addr.c_str(), relay, kept), 0);
    EXPECT_EQ(kept, no_addr.size());
    expect_relay(relay, {"mail.example.de", ".de", ".example.de", nullptr, nullptr, 0}, no_addr);

    relay = relay_info{};
    EXPECT_EQ(split_milter_host(memory, "Milter: connect: addr=198.51.100.7, rejecting", relay, kept), -1);
    expect_relay(relay, {nullptr, nullptr, nullptr, nullptr, nullptr, 0}, "no host=");
}

TEST(IsSpecialIp, ReservedRanges)
{
    const char* special[] = {"10.1.2.3", "172.31.255.255", "192.168.0.1", "169.254.1.1", "127.0.0.2",
                             "0.1.2.3", "198.19.0.1", "192.0.2.1", "192.88.99.1", "239.1.1.1", "172.16.0.0"};
    for (const char* text : special)
        EXPECT_TRUE(is_special_ip(text)) << text;
    const char* ordinary[] = {"172.32.0.1", "198.20.0.1", "8.8.8.8", "198.51.100.7", "240.0.0.1",
                              "192.0.3.1", "1.0.0.0", "not an address", "(may be forged)"};
    for (const char* text : ordinary)
        EXPECT_FALSE(is_special_ip(text)) << text;
}

// Small country and area tables in place of the loaded files; the lookups
// are switched on for each test and everything is reset afterwards.
class RelayGeography : public ::testing::Test {
protected:
    void SetUp() override
    {
        clear();
        settings.PrintCountryIPInfo = 1;
        add(country_ip_table, ".de", "198.51.100.0", "198.51.100.255");
        add(country_ip_table, ".de", "10.0.0.0", "10.255.255.255");
        add(country_ip_table, ".fr", "192.0.2.0", "192.0.2.255");
        add(area_ip_table, "Documentation net", "203.0.113.0", "203.0.113.255");
    }
    void TearDown() override { clear(); }

    static void clear()
    {
        country_ip_table = ip_range_table{};
        area_ip_table = ip_range_table{};
        settings = program_settings{};
    }
    static void add(ip_range_table& table, const char* name, const char* first, const char* last)
    {
        const std::string& kept = table.names.emplace_back(name);
        table.entries.push_back({kept.c_str(), ipv4_number(first), ipv4_number(last)});
    }
    relay_want relay_of(const std::string& text)
    {
        relay_info relay{};
        EXPECT_EQ(split_relay(memory, text.c_str(), relay), 0) << text;
        return {relay.dom_name, relay.dom_name_lvl_1, relay.dom_name_lvl_2, relay.ip_address,
                relay.geo_dom_name_lvl_1, relay.ip_bin_addr};
    }

    arena memory;
};

TEST_F(RelayGeography, BareAddressNamedByCountryOrArea)
{
    relay_info relay{};
    split_relay(memory, "from=<a@example.com>, size=1, relay=[198.51.100.30]", relay);
    expect_relay(relay, {".de", ".de", nullptr, "198.51.100.30", nullptr, 0xC633641E}, "country range");

    relay = relay_info{};
    split_relay(memory, "from=<a@example.com>, size=1, relay=[203.0.113.9]", relay);
    expect_relay(relay, {"Documentation net", nullptr, nullptr, "203.0.113.9", nullptr, 0xCB007109}, "area range");

    relay = relay_info{};
    split_relay(memory, "from=<a@example.com>, size=1, relay=[198.18.0.1]", relay);
    expect_relay(relay, {"[198.18.0.1]", nullptr, nullptr, nullptr, nullptr, 0xC6120001}, "in no range");
}

TEST_F(RelayGeography, CountryOfANamedRelayWhenItDiffers)
{
    const relay_want com = relay_of(to_head + "relay=mx.example.com [198.51.100.40], dsn=2.0.0");
    EXPECT_EQ(shown(com.lvl_1), ".com");
    EXPECT_EQ(shown(com.geo), ".de");
    EXPECT_EQ(shown(com.dom_name), "mx.example.com");

    // The same country, whatever the case of the name, is not repeated.
    EXPECT_EQ(shown(relay_of(to_head + "relay=MAIL.EXAMPLE.DE [198.51.100.50], dsn=2.0.0").geo), "(null)");
    EXPECT_EQ(shown(relay_of(to_head + "relay=mail.example.de [198.51.100.50], dsn=2.0.0").geo), "(null)");

    // Reserved addresses get no country even when a range holds them.
    ASSERT_STREQ(ip2country(ipv4_number("10.1.2.3")), ".de");
    ASSERT_STREQ(ip2country(ipv4_number("192.0.2.7")), ".fr");
    EXPECT_EQ(shown(relay_of(to_head + "relay=mx.example.com [10.1.2.3], dsn=2.0.0").geo), "(null)");
    EXPECT_EQ(shown(relay_of(to_head + "relay=mx.example.com [192.0.2.7], dsn=2.0.0").geo), "(null)");
}

TEST_F(RelayGeography, LocalAndUnknownRelaysAreNotLookedUp)
{
    // A range that holds every address a lookup could be made for.
    add(country_ip_table, ".xx", "0.0.0.0", "255.255.255.254");
    struct { std::string text; relay_want want; } cases[] = {
        {to_head + "relay=localhost [127.0.0.1], dsn=2.0.0",
         {"localhost", nullptr, nullptr, "127.0.0.1", nullptr, 0x7F000001}},
        {"from=<root@localhost>, size=1, relay=root@localhost", {"localhost", nullptr, nullptr, nullptr, nullptr, 0}},
        {"to=<ann@example.com>, delay=00:00:00, mailer=local, stat=Sent",
         {"localhost", nullptr, nullptr, nullptr, nullptr, 0}},
        {"to=<ann@example.com>, delay=4+00:00:00, stat=Deferred", {"unknown", nullptr, nullptr, nullptr, nullptr, 0}},
        {to_head + "relay=unknown [192.0.2.8], dsn=2.0.0",
         {"unknown", nullptr, nullptr, "192.0.2.8", nullptr, 0xC0000208}},
        {to_head + "relay=smtp.local [198.51.100.60]",
         {"smtp.local", ".local", ".smtp.local", "198.51.100.60", nullptr, 0xC633643C}},
        {to_head + "relay=[127.0.0.1]", {"[127.0.0.1]", nullptr, nullptr, nullptr, nullptr, 0x7F000001}},
        // A plain "localhost" with a foreign address is looked up but keeps its name.
        {to_head + "relay=localhost [198.51.100.62]",
         {"localhost", ".de", nullptr, "198.51.100.62", ".de", 0xC633643E}},
    };
    for (const auto& c : cases) {
        relay_info relay{};
        EXPECT_EQ(split_relay(memory, c.text.c_str(), relay), 0) << c.text;
        expect_relay(relay, c.want, c.text);
    }
}

TEST_F(RelayGeography, ClientIsNotStoppedByUnknown)
{
    char client[] = "unknown [192.0.2.8]";
    relay_info relay{};
    EXPECT_EQ(split_client(memory, client, relay), 0);
    // Named by the country; the address text is copied from the (unbracketed) name.
    expect_relay(relay, {".fr", ".fr", nullptr, "unknown", nullptr, 0xC0000208}, "client unknown");

    const relay_want from_relay = relay_of(to_head + "relay=unknown [192.0.2.8], dsn=2.0.0");
    EXPECT_EQ(shown(from_relay.dom_name), "unknown");
    EXPECT_EQ(shown(from_relay.lvl_1), "(null)");
}

TEST_F(RelayGeography, MilterHostNamedByCountryOrArea)
{
    std::size_t kept = 0;
    relay_info relay{};
    split_milter_host(memory, "Milter: connect: host=[198.51.100.8], addr=198.51.100.8, rejecting", relay, kept);
    expect_relay(relay, {".de", ".de", nullptr, "198.51.100.8", nullptr, 0xC6336408}, "country");

    relay = relay_info{};
    split_milter_host(memory, "Milter: connect: host=[203.0.113.9], addr=203.0.113.9, rejecting", relay, kept);
    expect_relay(relay, {"Documentation net", nullptr, nullptr, "203.0.113.9", nullptr, 0xCB007109}, "area");

    // A named host keeps its levels and never gets a second country here.
    relay = relay_info{};
    split_milter_host(memory, "Milter: connect: host=mx.example.com, addr=198.51.100.7, rejecting", relay, kept);
    expect_relay(relay, {"mx.example.com", ".com", ".example.com", "198.51.100.7", nullptr, 0xC6336407}, "named");

    // A range that holds every address a lookup could be made for.
    add(country_ip_table, ".xx", "0.0.0.0", "255.255.255.254");
    struct { const char* text; relay_want want; } local[] = {
        {"Milter: connect: host=localhost, addr=127.0.0.1, rejecting",
         {"localhost", nullptr, nullptr, "127.0.0.1", nullptr, 0x7F000001}},
        {"Milter: connect: host=[127.0.0.1], addr=127.0.0.1, rejecting",
         {"[127.0.0.1]", nullptr, nullptr, "127.0.0.1", nullptr, 0x7F000001}},
        {"Milter: connect: host=mailhub-local, addr=198.51.100.9",
         {"mailhub-local", nullptr, nullptr, "198.51.100.9", nullptr, 0xC6336409}},
    };
    for (const auto& c : local) {
        relay = relay_info{};
        EXPECT_EQ(split_milter_host(memory, c.text, relay, kept), 0) << c.text;
        expect_relay(relay, c.want, c.text);
    }
}

}  // namespace
