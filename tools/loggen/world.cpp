// The tables of the simulated world and the picks from them. A synthetic
// partner's name and addresses follow from its number alone, so the 400 of
// them cost no memory.
#include "tools/loggen/world.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "tools/loggen/text.h"

namespace loggen {

namespace {

constexpr std::string_view local_users[] = {"joe",     "anna",      "sales",     "info",     "accounting",
                                            "admin",   "mike",      "sabine",    "k.weber",  "b.fischer",
                                            "j.novak", "t.nguyen",  "l.moreau",  "helpdesk", "office"};
constexpr std::string_view remote_users[] = {"info",       "sales",     "kontakt", "support",    "news",
                                             "j.smith",    "m.dupont",  "sato",    "p.ivanov",   "h.yamamoto",
                                             "joao.silva", "a.bauer",   "order",   "noreply",    "billing",
                                             "olga.petrova", "prof.brown", "office"};
constexpr std::string_view unknown_users[] = {"nobody", "webmaster", "former.employee", "admin&test", "hr"};
constexpr std::string_view spam_users[] = {"promo", "sandra.x", "winner", "offers", "bounce", "lucky"};
constexpr std::string_view spam_domains[] = {"cheap-pills.ru", "best-offer.biz", "win-prize.top",
                                             "promo-example.com", "lucky-draw.info", "no-such-domain-4711.biz"};
constexpr std::string_view typo_domains[] = {"gmial.com", "hotmial.com", "yaho.de", "outlok.com", "exmaple.org"};
constexpr std::string_view dyn_countries[] = {"br", "ru", "cn", "in", "vn", "tr"};

struct known_partner {
    std::string_view domain, out_host, out_ip, mx_host, mx_ip;
};

constexpr known_partner known_partners[] = {
    {"lists.example.org", "lists.example.org", "192.0.2.10", "mx.example.org", "192.0.2.12"},
    {"partner-logistik.net", "mail.partner-logistik.net", "198.51.100.21", "mx.partner-logistik.net", "198.51.100.20"},
    {"technik-mueller.de", "mail.technik-mueller.de", "203.0.113.41", "mx01.technik-mueller.de", "203.0.113.42"},
    {"nihon-shoji.co.jp", "mail.nihon-shoji.co.jp", "203.0.113.150", "mail.nihon-shoji.co.jp", "203.0.113.150"},
    {"boulangerie-martin.fr", "smtp.boulangerie-martin.fr", "198.51.100.73", "mx.boulangerie-martin.fr", "198.51.100.74"},
    {"nauka-lab.ru", "mx.nauka-lab.ru", "203.0.113.66", "mx.nauka-lab.ru", "203.0.113.66"},
    {"correio-rapido.com.br", "smtp2.correio-rapido.com.br", "200.147.36.15", "mx.correio-rapido.com.br", "200.147.36.10"},
    {"cs.state-univ.edu", "smtp.cs.state-univ.edu", "198.51.100.9", "mx1.cs.state-univ.edu", "198.51.100.10"},
    {"bristol-engineering.co.uk", "mail.bristol-engineering.co.uk", "198.51.100.120", "mail.bristol-engineering.co.uk", "198.51.100.120"},
    {"stadtwerke-beispiel.de", "mail.stadtwerke-beispiel.de", "81.169.146.10", "mx.stadtwerke-beispiel.de", "81.169.146.12"},
    {"kyoto-tech.ac.jp", "mail.kyoto-tech.ac.jp", "133.3.250.14", "mx.kyoto-tech.ac.jp", "133.3.250.15"},
    {"mail.ru", "fallback3.mail.ru", "94.100.180.60", "mxs.mail.ru", "94.100.180.104"},
    {"hosting-provider.net", "smtp1.hosting-provider.net", "192.0.2.140", "mx.hosting-provider.net", "192.0.2.141"},
    {"labo-paris.fr", "smtp.labo-paris.fr", "212.27.48.11", "mx1.labo-paris.fr", "212.27.48.10"},
    {"fazenda-verde.com.br", "mail.fazenda-verde.com.br", "203.0.113.201", "mail.fazenda-verde.com.br", "203.0.113.201"},
    {"example.jp", "mx01.example.jp", "198.51.100.88", "mx01.example.jp", "198.51.100.88"},
};

constexpr std::string_view company_words[] = {"acme",   "nordwind", "bluefin", "kraftwerk", "sunrise", "atlas",  "polaris",
                                              "granite", "riverside", "meridian", "oakwood", "silverline", "harbor",
                                              "summit", "lumen",    "vertex",  "cobalt",    "evergreen", "pioneer", "zenith"};
constexpr std::string_view company_tlds[] = {".com", ".net", ".org", ".de", ".fr", ".co.uk", ".com.br",
                                             ".ru",  ".jp",  ".it",  ".nl", ".pl", ".es",    ".se",
                                             ".ch",  ".at",  ".cz",  ".com.au", ".ca", ".in"};
constexpr std::uint32_t public_first_octets[] = {31,  37,  45,  46,  62,  77,  80,  85,  91,  93,  109, 141,
                                                 176, 178, 185, 188, 193, 194, 195, 200, 201, 212, 213, 217};
constexpr std::uint32_t synthetic_partners = 400;

constexpr std::string_view forged_users[] = {"promo", "offers", "winner", "lucky",   "deals",  "bonus",
                                             "news",  "reply",  "service", "support", "noreply", "team"};
constexpr std::string_view forged_domains[] = {"cheap-pills", "best-offer", "win-prize", "lucky-draw",
                                               "mega-sale",   "fast-loans", "top-deals", "free-gift"};
constexpr std::string_view forged_tlds[] = {".ru", ".biz", ".top", ".info", ".cn", ".xyz", ".online", ".club"};
constexpr std::string_view first_names[] = {"anna", "ben", "clara", "david", "eva", "felix", "greta", "hugo",
                                            "ida",  "jan", "karin", "lukas", "mia", "noah",  "olga",  "paul"};
constexpr std::string_view last_names[] = {"weber", "fischer", "novak", "nguyen", "moreau", "schmidt",
                                           "silva", "sato",    "brown", "ivanov", "meyer",  "rossi"};

// The well-mixed word of number `index` of one kind of thing.
std::uint64_t mixed(std::uint32_t index, std::uint64_t kind)
{
    std::uint64_t state = kind << 32 | index;
    return splitmix64(state);
}

party known_party(const known_partner& p)
{
    return {std::string(p.domain), std::string(p.out_host), std::string(p.out_ip), std::string(p.mx_host),
            std::string(p.mx_ip)};
}

// Company number `index`: its name and addresses follow from the number alone.
party synthetic_party(std::uint32_t index)
{
    constexpr std::uint32_t words = std::size(company_words);
    constexpr std::uint32_t tlds = std::size(company_tlds);
    party p;
    p.domain = company_words[index % words];
    if (index >= words) {
        p.domain += '-';
        put_number(p.domain, index / words);
    }
    p.domain += company_tlds[(index * 7 + index / words) % tlds];
    p.out_host = "mail." + p.domain;
    p.mx_host = "mx";
    put_number(p.mx_host, 1 + index % 3);
    p.mx_host += "." + p.domain;
    std::uint64_t mix = index;
    const std::uint64_t bits = splitmix64(mix);
    const std::uint32_t first = public_first_octets[bits % std::size(public_first_octets)];
    const auto b = static_cast<std::uint32_t>(bits >> 8 & 0xFF);
    const auto c = static_cast<std::uint32_t>(bits >> 16 & 0xFF);
    const auto d = static_cast<std::uint32_t>(bits >> 24 & 0x7F) + 2;
    p.out_ip = dotted(first, b, c, d);
    p.mx_ip = index % 4 == 0 ? p.out_ip : dotted(first, b, c, d + 100);
    return p;
}

workstation workstation_of(std::size_t user)
{
    workstation w;
    w.name = "ws-";
    for (char c : local_users[user])
        w.name += c == '.' ? '-' : c;
    w.name += '.';
    w.name += local_domain;
    w.ip = dotted(10, 1, 4 + static_cast<std::uint32_t>(user % 3), 7 + static_cast<std::uint32_t>(user) * 3);
    return w;
}

}  // namespace

party random_party(random_source& rng)
{
    if (rng.chance(650))
        return known_party(rng.pick(known_partners));
    return synthetic_party(rng.below(synthetic_partners));
}

std::string random_public_ip(random_source& rng)
{
    const std::uint32_t a = rng.pick(public_first_octets);
    const std::uint32_t b = rng.below(256);
    const std::uint32_t c = rng.below(256);
    const std::uint32_t d = rng.between(1, 254);
    return dotted(a, b, c, d);
}

dynamic_client random_dynamic_client(random_source& rng, const log_generator_options& options)
{
    dynamic_client client;
    std::uint64_t bits = 0;  // of the pooled client
    if (options.relays != 0) {
        bits = mixed(rng.below(options.relays), 1);
        client.ip = dotted(public_first_octets[bits % std::size(public_first_octets)],
                           static_cast<std::uint32_t>(bits >> 8 & 0xFF), static_cast<std::uint32_t>(bits >> 16 & 0xFF),
                           static_cast<std::uint32_t>(bits >> 24 & 0xFF) % 254 + 1);
    } else {
        client.ip = random_public_ip(rng);
    }
    client.name = "host-" + client.ip;
    std::replace(client.name.begin(), client.name.end(), '.', '-');
    client.name += ".dyn.example.";
    if (options.relays != 0)
        client.name += dyn_countries[(bits >> 32) % std::size(dyn_countries)];
    else
        client.name += rng.pick(dyn_countries);
    return client;
}

std::string_view random_remote_user(random_source& rng)
{
    return rng.pick(remote_users);
}

std::string random_remote_address(random_source& rng)
{
    const std::string_view user = rng.pick(remote_users);
    return join_address(user, random_party(rng).domain);
}

std::string random_spam_address(random_source& rng, const log_generator_options& options)
{
    if (options.senders != 0)
        return forged_sender(rng.below(options.senders));
    const std::string_view user = rng.pick(spam_users);
    return join_address(user, rng.pick(spam_domains));
}

std::string forged_sender(std::uint32_t index)
{
    const std::uint64_t bits = mixed(index, 2);
    std::string address(forged_users[bits % std::size(forged_users)]);
    put_number(address, index);
    address += '@';
    address += forged_domains[(bits >> 8) % std::size(forged_domains)];
    address += '-';
    put_number(address, (bits >> 16) % 500);
    address += forged_tlds[(bits >> 32) % std::size(forged_tlds)];
    return address;
}

std::string_view random_typo_domain(random_source& rng)
{
    return rng.pick(typo_domains);
}

local_user random_local_user(random_source& rng)
{
    const std::size_t user = rng.below(std::size(local_users));
    return {local_users[user], workstation_of(user)};
}

std::string local_address(std::string_view user)
{
    return join_address(user, local_domain);
}

std::string random_local_address(random_source& rng)
{
    return local_address(rng.pick(local_users));
}

std::string random_mailbox_address(random_source& rng, const log_generator_options& options)
{
    if (options.recipients == 0)
        return random_local_address(rng);
    const std::uint32_t index = rng.below(options.recipients);
    const std::uint64_t bits = mixed(index, 3);
    std::string user(first_names[bits % std::size(first_names)]);
    user += '.';
    user += last_names[(bits >> 8) % std::size(last_names)];
    put_number(user, index);
    return local_address(user);
}

std::string random_unknown_local_address(random_source& rng)
{
    return local_address(rng.pick(unknown_users));
}

}  // namespace loggen
