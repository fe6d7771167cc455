// The sendmail log generator. Each message gets a script of lines when it
// starts (TLS, AUTH, rejects, envelope, deliveries with their retries), and
// every call emits one line: a step of a random open message, a message that
// wakes from a deferral, a line of no message, or now and then a broken one.
// Texts are built by hand (no locale, no printf) so the bytes never vary.
#include "tools/log_generator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Random numbers

std::uint64_t splitmix64(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

constexpr std::uint64_t rotate_left(std::uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}

// xoshiro256**, seeded through splitmix64.
class random_source {
public:
    explicit random_source(std::uint64_t seed)
    {
        for (auto& word : s_)
            word = splitmix64(seed);
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotate_left(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotate_left(s_[3], 45);
        return result;
    }

    // 0..n-1 (0 when n is 0), by multiplying the top 32 bits.
    std::uint32_t below(std::uint64_t n)
    {
        return static_cast<std::uint32_t>(((next() >> 32) * (n & 0xFFFFFFFFu)) >> 32);
    }
    std::uint32_t between(std::uint32_t low, std::uint32_t high) { return low + below(high - low + 1ull); }
    bool chance(unsigned permille) { return below(1000) < permille; }

    template <class T, std::size_t N>
    const T& pick(const T (&items)[N])
    {
        return items[below(N)];
    }

private:
    std::uint64_t s_[4];
};

template <class T>
struct weighted {
    T value;
    unsigned weight;
};

template <class T, std::size_t N>
T pick_weighted(random_source& rng, const std::array<weighted<T>, N>& table)
{
    unsigned total = 0;
    for (const auto& entry : table)
        total += entry.weight;
    unsigned roll = rng.below(total);
    for (const auto& entry : table) {
        if (roll < entry.weight)
            return entry.value;
        roll -= entry.weight;
    }
    return table.back().value;
}

// ---------------------------------------------------------------------------
// Text helpers

void put_number(std::string& out, std::uint64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void put_padded(std::string& out, std::uint64_t value, unsigned width)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<unsigned>(result.ptr - digits);
    if (length < width)
        out.append(width - length, '0');
    out.append(digits, result.ptr);
}

constexpr std::string_view base60 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx";
constexpr std::string_view base62 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::string_view hex_digits = "0123456789abcdef";

void put_token(std::string& out, random_source& rng, std::string_view alphabet, unsigned length)
{
    for (unsigned i = 0; i < length; ++i)
        out += alphabet[rng.below(alphabet.size())];
}

// "d+hh:mm:ss" from one day on, else "hh:mm:ss".
void put_duration(std::string& out, std::uint64_t seconds)
{
    if (seconds >= 86400) {
        put_number(out, seconds / 86400);
        out += '+';
        seconds %= 86400;
    }
    put_padded(out, seconds / 3600, 2);
    out += ':';
    put_padded(out, seconds / 60 % 60, 2);
    out += ':';
    put_padded(out, seconds % 60, 2);
}

std::string dotted(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    std::string text;
    put_number(text, a);
    for (std::uint32_t part : {b, c, d}) {
        text += '.';
        put_number(text, part);
    }
    return text;
}

// "name [ip]", or "[ip]" for a nameless host.
std::string relay_text(std::string_view name, std::string_view ip)
{
    std::string text;
    if (!name.empty()) {
        text += name;
        text += ' ';
    }
    text += '[';
    text += ip;
    text += ']';
    return text;
}

// ---------------------------------------------------------------------------
// Calendar: the log starts on December 1 at midnight; months then follow
// each other (February has 28 days, the log has no year).

constexpr unsigned first_year = 2024;
constexpr unsigned first_month = 11;  // December, counted from 0
constexpr std::string_view month_names[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr unsigned month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

struct calendar_time {
    unsigned year = first_year;
    unsigned month = first_month;
    unsigned day = 1;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
};

calendar_time calendar_of(std::uint64_t seconds)
{
    calendar_time t;
    std::uint64_t days = seconds / 86400;
    const auto rest = static_cast<unsigned>(seconds % 86400);
    t.hour = rest / 3600;
    t.minute = rest / 60 % 60;
    t.second = rest % 60;
    while (days >= month_days[t.month]) {
        days -= month_days[t.month];
        if (++t.month == 12) {
            t.month = 0;
            ++t.year;
        }
    }
    t.day = static_cast<unsigned>(days) + 1;
    return t;
}

// Sendmail's queue id: year, month, day, hour, minute and second in base 60,
// two sequence characters and the process id in six digits.
std::string make_queue_id(const calendar_time& t, random_source& rng, std::uint32_t pid)
{
    std::string id;
    id.reserve(14);
    for (unsigned part : {(t.year - 1900) % 60, t.month, t.day, t.hour, t.minute, t.second})
        id += base60[part];
    put_token(id, rng, base60, 2);
    put_padded(id, pid % 1000000, 6);
    return id;
}

// ---------------------------------------------------------------------------
// The world the log describes

constexpr std::string_view local_domain = "example.com";
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

// A mail domain with the host that sends its mail to us and its MX.
struct party {
    std::string domain, out_host, out_ip, mx_host, mx_ip;
};

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

party random_party(random_source& rng)
{
    if (rng.chance(650))
        return known_party(rng.pick(known_partners));
    return synthetic_party(rng.below(synthetic_partners));
}

// Every draw is a statement of its own: the order in which function
// arguments are evaluated differs between compilers.
std::string random_public_ip(random_source& rng)
{
    const std::uint32_t a = rng.pick(public_first_octets);
    const std::uint32_t b = rng.below(256);
    const std::uint32_t c = rng.below(256);
    const std::uint32_t d = rng.between(1, 254);
    return dotted(a, b, c, d);
}

std::string join_address(std::string_view user, std::string_view domain)
{
    std::string address(user);
    address += '@';
    address += domain;
    return address;
}

// Someone at a partner.
std::string random_remote_address(random_source& rng)
{
    const std::string_view user = rng.pick(remote_users);
    return join_address(user, random_party(rng).domain);
}

std::string random_spam_address(random_source& rng)
{
    const std::string_view user = rng.pick(spam_users);
    return join_address(user, rng.pick(spam_domains));
}

std::string local_address(std::string_view user)
{
    return join_address(user, local_domain);
}

// A workstation of the local network named after its user.
struct workstation {
    std::string name, ip;
};

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

// A dial-up address, the usual source of rejected mail.
struct dynamic_client {
    std::string name, ip;
};

dynamic_client random_dynamic_client(random_source& rng)
{
    dynamic_client client;
    client.ip = random_public_ip(rng);
    client.name = "host-" + client.ip;
    std::replace(client.name.begin(), client.name.end(), '.', '-');
    client.name += ".dyn.example.";
    client.name += rng.pick(dyn_countries);
    return client;
}

void put_tls_parameters(std::string& out, random_source& rng, std::string_view verify)
{
    static constexpr std::string_view modern[] = {"TLS_AES_256_GCM_SHA384, bits=256/256",
                                                  "TLS_AES_128_GCM_SHA256, bits=128/128",
                                                  "TLS_CHACHA20_POLY1305_SHA256, bits=256/256"};
    static constexpr std::string_view older[] = {"ECDHE-RSA-AES256-GCM-SHA384, bits=256/256",
                                                 "ECDHE-RSA-AES128-GCM-SHA256, bits=128/128"};
    const bool v13 = rng.chance(750);
    out += v13 ? ", version=TLSv1.3, verify=" : ", version=TLSv1.2, verify=";
    out += verify;
    out += ", cipher=";
    out += v13 ? rng.pick(modern) : rng.pick(older);
}

// ---------------------------------------------------------------------------
// Messages

enum class step_kind : std::uint8_t {
    tls_server,     // STARTTLS=server, no queue id
    tls_client,     // STARTTLS=client, no queue id
    auth,           // AUTH=server
    envelope,       // from=
    ruleset_reject, // ruleset=..., reject=
    milter_from,    // Milter: from=..., reject=
    milter_to,      // Milter: to=..., reject=
    milter_data,    // Milter: data, reject=... Virus found
    greylist_note,  // milter-greylist's own line
    milter_header,  // Milter add: header
    user_unknown,   // <x@y>... User unknown
    delivery,       // to=
    dsn_note,       // NEWID: DSN: ...
    clone_note,     // clone NEWID, owner=...
};

enum class outcome : std::uint8_t { sent, deferred, queued, user_unknown, host_unknown, unavailable, virus, relayed };

struct step {
    step_kind kind;
    std::uint8_t group = 0;            // delivery group, or the variant of a reject
    outcome status = outcome::sent;
    std::uint16_t sleep_minutes = 0;   // the message waits this long after the line
};

// Recipients that one to= line names.
struct delivery_group {
    std::string recipients;  // the to= value as logged
    std::string first;       // its first address, without brackets
    std::string mx, mx_ip;   // the relay; empty for local mailers
    std::string ctladdr;     // empty: no ctladdr= field
    std::string_view mailer = "local";
    unsigned count = 1;
};

struct message {
    std::string queue_id;
    unsigned host = 0;
    std::uint32_t pid = 0;           // the process that received it
    std::uint32_t delivery_pid = 0;  // the process that delivers it
    std::uint64_t start = 0;
    unsigned retries = 0;
    std::string_view program = "sm-mta";
    std::string sender;              // from= value as logged
    std::string client;              // relay= value of the envelope
    std::string client_name, client_ip;
    std::string msgid;               // empty: no msgid= field
    std::string_view proto = "ESMTP", daemon = "MTA";
    std::string note;                // AUTH id or virus text
    std::uint32_t size = 0;
    unsigned nrcpts = 0;
    bool eight_bit = false;
    std::vector<delivery_group> groups;
    std::vector<step> steps;
    std::size_t next = 0;
};

enum class message_type { inbound, outbound, local_submission, ruleset_reject, milter_reject, greylisted, virus };

constexpr std::array<weighted<message_type>, 7> message_mix{{
    {message_type::inbound, 420},
    {message_type::outbound, 260},
    {message_type::local_submission, 50},
    {message_type::ruleset_reject, 100},
    {message_type::milter_reject, 40},
    {message_type::greylisted, 60},
    {message_type::virus, 30},
}};

constexpr std::array<weighted<outcome>, 6> outbound_outcomes{{
    {outcome::sent, 800},
    {outcome::deferred, 70},
    {outcome::queued, 40},
    {outcome::user_unknown, 40},
    {outcome::host_unknown, 20},
    {outcome::unavailable, 30},
}};

bool is_reject(step_kind kind)
{
    return kind == step_kind::ruleset_reject || kind == step_kind::milter_from || kind == step_kind::milter_to ||
           kind == step_kind::milter_data || kind == step_kind::greylist_note;
}

bool is_delivery_part(step_kind kind)
{
    return kind == step_kind::delivery || kind == step_kind::tls_client || kind == step_kind::dsn_note ||
           kind == step_kind::clone_note;
}

bool has_step(const message& m, step_kind kind)
{
    return std::any_of(m.steps.begin(), m.steps.end(), [kind](const step& s) { return s.kind == kind; });
}

// Rejects logged after the envelope; failing that, a delivery before it.
void disorder(std::vector<step>& steps)
{
    auto envelope = std::find_if(steps.begin(), steps.end(), [](const step& s) { return s.kind == step_kind::envelope; });
    if (envelope == steps.end())
        return;
    auto reject = std::find_if(steps.begin(), envelope, [](const step& s) { return is_reject(s.kind); });
    if (reject != envelope) {
        std::rotate(reject, envelope, envelope + 1);
        return;
    }
    auto delivery = std::find_if(envelope, steps.end(),
                                 [](const step& s) { return s.kind == step_kind::delivery && s.sleep_minutes == 0; });
    if (delivery != steps.end())
        std::rotate(envelope, delivery, delivery + 1);
}

// Adds the size, 30,000 per recipient and 90,000 per retry, as sendmail does.
std::uint64_t priority(const message& m, const delivery_group& g)
{
    return m.size + 30000ull * g.count + 90000ull * m.retries;
}

std::uint32_t random_size(random_source& rng)
{
    const std::uint32_t base = rng.between(300, 3000);
    return base << rng.below(11);
}

void put_msgid(message& m, random_source& rng, const calendar_time& t, std::string_view domain)
{
    m.msgid = "<";
    put_number(m.msgid, t.year);
    for (unsigned part : {t.month + 1, t.day, t.hour, t.minute, t.second})
        put_padded(m.msgid, part, 2);
    m.msgid += '.';
    put_token(m.msgid, rng, hex_digits, 8);
    m.msgid += '@';
    m.msgid += domain;
    m.msgid += '>';
}

// Local recipients, one to= line per group.
void add_local_groups(message& m, random_source& rng)
{
    const unsigned groups = rng.chance(850) ? 1 : rng.between(2, 3);
    for (unsigned g = 0; g < groups; ++g) {
        delivery_group group;
        group.count = rng.chance(750) ? 1 : rng.between(2, 3);
        for (unsigned r = 0; r < group.count; ++r) {
            const std::string address = local_address(rng.pick(local_users));
            if (r == 0)
                group.first = address;
            else
                group.recipients += ',';
            group.recipients += '<' + address + '>';
        }
        m.nrcpts += group.count;
        m.groups.push_back(std::move(group));
    }
}

// Steps of one outbound group: its TLS line, then the to= lines up to the
// last one; a deferred or queued group tries again after a pause.
void add_outbound_steps(message& m, random_source& rng, std::uint8_t group, outcome status)
{
    auto attempt = [&](outcome result, std::uint16_t sleep) {
        if (rng.chance(600))
            m.steps.push_back({step_kind::tls_client, group, outcome::sent, 0});
        m.steps.push_back({step_kind::delivery, group, result, sleep});
    };
    if (status == outcome::deferred) {
        const unsigned deferrals = rng.between(1, 3);
        for (unsigned i = 0; i < deferrals; ++i)
            attempt(outcome::deferred, static_cast<std::uint16_t>(rng.between(15, 60)));
        attempt(rng.chance(900) ? outcome::sent : outcome::unavailable, 0);
    } else if (status == outcome::queued) {
        m.steps.push_back({step_kind::delivery, group, outcome::queued, static_cast<std::uint16_t>(rng.between(5, 20))});
        attempt(outcome::sent, 0);
    } else {
        attempt(status, 0);
    }
    const outcome last = m.steps.back().status;
    if (last == outcome::user_unknown || last == outcome::host_unknown || last == outcome::unavailable)
        m.steps.push_back({step_kind::dsn_note, group, last, 0});
}

// Picks the sender and client of a message from outside.
void set_remote_sender(message& m, random_source& rng, const party& p)
{
    const std::string address = join_address(rng.pick(remote_users), p.domain);
    const unsigned form = rng.below(100);
    if (form < 8)
        m.sender = "<>";
    else if (form < 12)
        m.sender = address;
    else if (form < 14)
        m.sender = "<\"" + address.substr(0, address.find('@')) + "\"" + address.substr(address.find('@')) + '>';
    else
        m.sender = '<' + address + '>';

    m.client_name = p.out_host;
    m.client_ip = p.out_ip;
    const unsigned relay_form = rng.below(100);
    if (relay_form < 6) {
        m.client_name.clear();
        m.client = relay_text("", m.client_ip);
    } else if (relay_form < 9) {
        m.client_name = "localhost";
        m.client_ip = "127.0.0.1";
        m.sender = "<root@" + std::string(local_domain) + '>';
        m.client = relay_text(m.client_name, m.client_ip);
    } else {
        m.client = relay_text(m.client_name, m.client_ip);
    }
}

void set_spam_sender(message& m, random_source& rng)
{
    m.sender = '<' + random_spam_address(rng) + '>';
    const dynamic_client client = random_dynamic_client(rng);
    m.client_ip = client.ip;
    const unsigned form = rng.below(100);
    if (form < 30) {
        m.client = relay_text("", client.ip);
    } else {
        m.client_name = client.name;
        m.client = relay_text(client.name, client.ip);
        if (form < 70)
            m.client += " (may be forged)";
    }
    m.proto = rng.chance(500) ? "SMTP" : "ESMTP";
}

// Kinds of lines that belong to no message.
enum class lone_kind {
    tls_server, tls_client, daemon_start, alias_rebuilt, alias_summary, noqueue_ruleset, noqueue_connect,
    milter_connect, noqueue_milter_connect, did_not_issue, user_unknown, syserr, lost_input, timeout,
    gethostbyaddr, load_average, milter_error, postmaster_notify, autowhitelisted,
};

// A client of a connection that belongs to no message: spam source or partner.
struct lone_client {
    std::string name, ip;
    bool forged = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// The generator's state

struct log_generator::state {
    state(std::uint64_t seed, const log_generator_options& options);
    void append_line(std::string& out);

private:
    enum class progress { goes_on, sleeps, done };

    struct sleeper {
        std::uint64_t wake;
        std::uint64_t order;
        message waiting;
    };
    struct retired_id {
        unsigned host;
        std::string queue_id;
    };
    struct syslog_host {
        std::string name;
        std::uint32_t last_pid;
    };

    static bool wakes_later(const sleeper& a, const sleeper& b)
    {
        return a.wake != b.wake ? a.wake > b.wake : a.order > b.order;
    }

    std::uint64_t stamp();
    void put_header(std::string& out, unsigned host, std::string_view program, std::uint32_t pid);
    std::uint32_t new_pid(unsigned host);
    std::string new_queue_id(std::uint32_t pid) { return make_queue_id(calendar_of(clock_), rng_, pid); }

    message new_message();
    void fill_inbound(message& m);
    void fill_outbound(message& m);
    void fill_local_submission(message& m);
    void fill_ruleset_reject(message& m);
    void fill_milter_reject(message& m);
    void fill_greylisted(message& m);
    void fill_virus(message& m);
    void apply_faults(message& m);

    progress emit_step(std::string& out, message& m);
    void render_step(std::string& out, const message& m, const step& s);
    void render_envelope(std::string& out, const message& m);
    void render_delivery(std::string& out, const message& m, const step& s);
    void render_ruleset(std::string& out, const message& m, const step& s);
    void put_status(std::string& out, const delivery_group& g, outcome status);

    void emit_open_message(std::string& out);
    void wake_one(std::string& out);
    void sleep(message&& m);
    void retire(const message& m);

    void emit_standalone(std::string& out);
    bool put_system_line(std::string& out, lone_kind kind, bool msp);
    void put_client_line(std::string& out, lone_kind kind, const lone_client& client, const std::string& queue_id);
    void emit_malformed(std::string& out);

    log_generator_options options_;
    random_source rng_;
    std::uint64_t clock_ = 0;
    std::uint64_t sleep_order_ = 0;
    std::vector<syslog_host> hosts_;
    std::vector<message> open_;
    std::vector<sleeper> sleeping_;  // a heap, earliest wake first
    std::vector<retired_id> retired_;
    std::size_t retired_next_ = 0;
};

namespace {

constexpr std::string_view host_names[] = {"mx1", "relay", "mx2", "mx3", "gw", "backup", "lists", "smtp"};
constexpr std::size_t retired_pool = 16;

}  // namespace

log_generator::state::state(std::uint64_t seed, const log_generator_options& options)
    : options_(options), rng_(seed)
{
    options_.hosts = std::max(1u, options_.hosts);
    options_.open_messages = std::max(1u, options_.open_messages);
    for (unsigned i = 0; i < options_.hosts; ++i) {
        std::string name = i < std::size(host_names) ? std::string(host_names[i]) : "mx";
        if (i >= std::size(host_names))
            put_number(name, i + 1);
        hosts_.push_back({std::move(name), rng_.between(1000, 60000)});
    }
}

// ---------------------------------------------------------------------------
// Clock and header

std::uint64_t log_generator::state::stamp()
{
    if (clock_ > 3 && rng_.chance(options_.late_stamp_permille))
        return clock_ - rng_.between(1, 3);
    return clock_;
}

void log_generator::state::put_header(std::string& out, unsigned host, std::string_view program, std::uint32_t pid)
{
    const calendar_time t = calendar_of(stamp());
    out += month_names[t.month];
    out += t.day < 10 ? "  " : " ";
    put_number(out, t.day);
    out += ' ';
    put_padded(out, t.hour, 2);
    out += ':';
    put_padded(out, t.minute, 2);
    out += ':';
    put_padded(out, t.second, 2);
    out += ' ';
    out += hosts_[host].name;
    out += ' ';
    out += program;
    if (pid != 0) {
        out += '[';
        put_number(out, pid);
        out += ']';
    }
    out += ": ";
}

std::uint32_t log_generator::state::new_pid(unsigned host)
{
    std::uint32_t& pid = hosts_[host].last_pid;
    pid += rng_.between(1, 6);
    if (pid > 99990)
        pid = rng_.between(300, 2000);
    return pid;
}

// ---------------------------------------------------------------------------
// Message scripts

message log_generator::state::new_message()
{
    message m;
    m.host = rng_.below(hosts_.size());
    if (!retired_.empty() && rng_.chance(options_.reuse_permille)) {
        const retired_id& old = retired_[rng_.below(retired_.size())];
        m.host = old.host;
        m.queue_id = old.queue_id;
    }
    m.pid = new_pid(m.host);
    m.delivery_pid = m.pid + 1;
    m.start = clock_;
    if (m.queue_id.empty())
        m.queue_id = new_queue_id(m.pid);
    m.size = random_size(rng_);
    m.eight_bit = rng_.chance(400);

    switch (pick_weighted(rng_, message_mix)) {
    case message_type::inbound: fill_inbound(m); break;
    case message_type::outbound: fill_outbound(m); break;
    case message_type::local_submission: fill_local_submission(m); break;
    case message_type::ruleset_reject: fill_ruleset_reject(m); break;
    case message_type::milter_reject: fill_milter_reject(m); break;
    case message_type::greylisted: fill_greylisted(m); break;
    case message_type::virus: fill_virus(m); break;
    }
    apply_faults(m);
    return m;
}

// Mail from outside for local users; now and then with a milter header, an
// unknown recipient, a clone or a pipe to a program.
void log_generator::state::fill_inbound(message& m)
{
    const party p = random_party(rng_);
    set_remote_sender(m, rng_, p);
    put_msgid(m, rng_, calendar_of(clock_), m.client_name == "localhost" ? std::string(local_domain) : p.domain);
    add_local_groups(m, rng_);
    if (rng_.chance(20)) {
        delivery_group pipe;
        pipe.recipients = "\"|/usr/local/bin/ticket-import --queue=helpdesk\"";
        pipe.ctladdr = "<helpdesk@example.com> (8/0)";
        pipe.mailer = "prog";
        m.nrcpts += 1;
        m.groups.push_back(std::move(pipe));
    }
    if (rng_.chance(600) && !m.client_name.empty() && m.client_name != "localhost") {
        m.proto = "ESMTPS";
        m.steps.push_back({step_kind::tls_server});
    }
    if (rng_.chance(100))
        m.steps.push_back({step_kind::milter_header});
    if (rng_.chance(50))
        m.steps.push_back({step_kind::user_unknown});
    m.steps.push_back({step_kind::envelope});
    for (std::size_t g = 0; g < m.groups.size(); ++g) {
        if (g == 1 && rng_.chance(300))
            m.steps.push_back({step_kind::clone_note});
        m.steps.push_back({step_kind::delivery, static_cast<std::uint8_t>(g), outcome::sent});
    }
}

// Mail of a local user to partners: AUTH, envelope, and per partner domain
// a TLS line and one or more to= lines.
void log_generator::state::fill_outbound(message& m)
{
    const std::size_t user = rng_.below(std::size(local_users));
    const workstation ws = workstation_of(user);
    m.sender = '<' + local_address(local_users[user]) + '>';
    m.client_name = ws.name;
    m.client_ip = ws.ip;
    m.client = relay_text(ws.name, ws.ip);
    m.proto = "ESMTPSA";
    m.daemon = "MSA";
    m.note = local_users[user];
    put_msgid(m, rng_, calendar_of(clock_), local_domain);
    if (rng_.chance(500))
        m.steps.push_back({step_kind::auth});
    m.steps.push_back({step_kind::envelope});

    const unsigned groups = rng_.chance(800) ? 1 : rng_.between(2, 3);
    for (unsigned g = 0; g < groups; ++g) {
        const outcome status = pick_weighted(rng_, outbound_outcomes);
        const party p = random_party(rng_);
        delivery_group group;
        group.mailer = "esmtp";
        group.count = rng_.chance(800) ? 1 : 2;
        const std::string domain = status == outcome::host_unknown ? std::string(rng_.pick(typo_domains)) : p.domain;
        for (unsigned r = 0; r < group.count; ++r) {
            const std::string address = join_address(rng_.pick(remote_users), domain);
            if (r == 0)
                group.first = address;
            else
                group.recipients += ',';
            group.recipients += '<' + address + '>';
        }
        group.mx = status == outcome::host_unknown ? "mx." + domain : p.mx_host;
        group.mx_ip = p.mx_ip;
        m.nrcpts += group.count;
        m.groups.push_back(std::move(group));
        add_outbound_steps(m, rng_, static_cast<std::uint8_t>(g), status);
    }
}

// A cron job or a script mailing through the submission program.
void log_generator::state::fill_local_submission(message& m)
{
    m.program = "sendmail";
    m.sender = "root";
    m.client = "root@localhost";
    m.proto = "";
    m.nrcpts = 1;
    put_msgid(m, rng_, calendar_of(clock_), "mx1.example.com");
    delivery_group group;
    group.recipients = rng_.chance(700) ? "root" : "<admin@example.com>";
    group.first = "root";
    group.ctladdr = "root (0/0)";
    group.mailer = "relay";
    m.groups.push_back(std::move(group));
    m.steps.push_back({step_kind::envelope});
    m.steps.push_back({step_kind::delivery, 0, outcome::relayed});
}

// One or two ruleset rejects, then the envelope of the refused message.
void log_generator::state::fill_ruleset_reject(message& m)
{
    set_spam_sender(m, rng_);
    m.size = 0;
    const unsigned rejects = rng_.chance(800) ? 1 : 2;
    for (unsigned i = 0; i < rejects; ++i)
        m.steps.push_back({step_kind::ruleset_reject, static_cast<std::uint8_t>(rng_.below(3))});
    m.steps.push_back({step_kind::envelope});
}

// A milter refuses the sender.
void log_generator::state::fill_milter_reject(message& m)
{
    set_spam_sender(m, rng_);
    m.size = 0;
    m.steps.push_back({step_kind::milter_from});
    m.steps.push_back({step_kind::envelope});
}

// The greylisting milter delays each recipient; the envelope follows.
void log_generator::state::fill_greylisted(message& m)
{
    set_remote_sender(m, rng_, random_party(rng_));
    if (m.client_name == "localhost")
        set_spam_sender(m, rng_);
    m.size = 0;
    add_local_groups(m, rng_);
    m.nrcpts = 0;
    for (unsigned g = 0; g < m.groups.size(); ++g) {
        m.steps.push_back({step_kind::greylist_note, static_cast<std::uint8_t>(g)});
        m.steps.push_back({step_kind::milter_to, static_cast<std::uint8_t>(g)});
    }
    m.steps.push_back({step_kind::envelope});
}

// The virus scanner refuses the data; the to= line reports it.
void log_generator::state::fill_virus(message& m)
{
    set_remote_sender(m, rng_, random_party(rng_));
    put_msgid(m, rng_, calendar_of(clock_), "mail.example.net");
    m.note = "Virus found: Win.Trojan.Agent-";
    put_number(m.note, rng_.between(100000, 9999999));
    m.note += " in <invoice_";
    put_padded(m.note, rng_.below(10000), 4);
    m.note += ".zip>";
    add_local_groups(m, rng_);
    m.groups.resize(1);
    m.nrcpts = m.groups[0].count;
    m.steps.push_back({step_kind::milter_data});
    m.steps.push_back({step_kind::envelope});
    m.steps.push_back({step_kind::delivery, 0, outcome::virus});
}

void log_generator::state::apply_faults(message& m)
{
    if (rng_.chance(options_.disorder_permille))
        disorder(m.steps);
    const bool has_envelope = has_step(m, step_kind::envelope);
    if (has_envelope && rng_.chance(options_.lost_delivery_permille)) {
        std::erase_if(m.steps, [](const step& s) { return is_delivery_part(s.kind); });
    } else if (has_envelope && m.steps.size() > 1 && rng_.chance(options_.lost_envelope_permille)) {
        std::erase_if(m.steps, [](const step& s) { return s.kind == step_kind::envelope; });
    }
}

// ---------------------------------------------------------------------------
// Rendering one step of a message

log_generator::state::progress log_generator::state::emit_step(std::string& out, message& m)
{
    const step& s = m.steps[m.next];
    const bool by_deliverer = is_delivery_part(s.kind);
    if (s.kind == step_kind::greylist_note)
        put_header(out, m.host, "milter-greylist", 0);
    else
        put_header(out, m.host, m.program, by_deliverer ? m.delivery_pid : m.pid);
    render_step(out, m, s);
    out += '\n';
    ++m.next;
    if (m.next == m.steps.size())
        return progress::done;
    return s.sleep_minutes != 0 ? progress::sleeps : progress::goes_on;
}

void log_generator::state::render_step(std::string& out, const message& m, const step& s)
{
    if (s.kind == step_kind::tls_server) {
        out += "STARTTLS=server, relay=";
        out += relay_text(m.client_name, m.client_ip);
        put_tls_parameters(out, rng_, "NO");
        return;
    }
    if (s.kind == step_kind::tls_client) {
        out += "STARTTLS=client, relay=";
        out += m.groups[s.group].mx;
        out += '.';
        put_tls_parameters(out, rng_, rng_.chance(800) ? "OK" : "FAIL");
        return;
    }
    out += m.queue_id;
    out += ": ";
    const delivery_group* group = s.group < m.groups.size() ? &m.groups[s.group] : nullptr;
    switch (s.kind) {
    case step_kind::envelope: render_envelope(out, m); break;
    case step_kind::delivery: render_delivery(out, m, s); break;
    case step_kind::ruleset_reject: render_ruleset(out, m, s); break;
    case step_kind::auth:
        out += "AUTH=server, relay=" + m.client + ", authid=" + m.note + ", mech=";
        out += rng_.chance(700) ? "PLAIN" : "LOGIN";
        out += ", bits=0";
        break;
    case step_kind::milter_from:
        out += "Milter: from=" + m.sender + ", reject=";
        out += rng_.chance(500) ? "553 5.7.1 Sender address blacklisted" : "550 5.7.1 Spam source rejected";
        break;
    case step_kind::milter_to:
        out += "Milter: to=<" + group->first;
        out += ">, reject=451 4.7.1 Greylisting in action, please come back in 00:30:00";
        break;
    case step_kind::milter_data: out += "Milter: data, reject=554 5.7.1 " + m.note; break;
    case step_kind::greylist_note:
        out += "addr " + m.client_name + '[' + m.client_ip + "] from " + m.sender + " to <" + group->first +
               "> delayed for 00:30:00 (ACL 158)";
        break;
    case step_kind::milter_header:
        out += "Milter add: header: X-Spam-Status: No, score=";
        put_number(out, rng_.below(5));
        out += ".";
        put_number(out, rng_.below(10));
        break;
    case step_kind::user_unknown:
        out += '<' + local_address(rng_.pick(unknown_users)) + ">... User unknown";
        break;
    case step_kind::dsn_note:
        out += new_queue_id(m.delivery_pid);
        out += ": DSN: ";
        put_status(out, *group, s.status);
        break;
    case step_kind::clone_note:
        out += "clone " + new_queue_id(m.delivery_pid) + ", owner=owner-staff";
        break;
    case step_kind::tls_server:
    case step_kind::tls_client: break;
    }
}

void log_generator::state::render_envelope(std::string& out, const message& m)
{
    out += "from=" + m.sender + ", size=";
    put_number(out, m.size);
    out += ", class=0, nrcpts=";
    put_number(out, m.nrcpts);
    if (!m.msgid.empty())
        out += ", msgid=" + m.msgid;
    if (m.eight_bit && m.size != 0)
        out += ", bodytype=8BITMIME";
    if (!m.proto.empty()) {
        out += ", proto=";
        out += m.proto;
        out += ", daemon=";
        out += m.daemon;
    }
    out += ", relay=" + m.client;
}

void log_generator::state::render_ruleset(std::string& out, const message& m, const step& s)
{
    const std::string victim = random_remote_address(rng_);
    const std::string sender = m.sender.substr(1, m.sender.size() - 2);
    switch (s.group) {
    case 0:
        out += "ruleset=check_rcpt, arg1=<" + victim + ">, relay=" + m.client + ", reject=550 5.7.1 <" + victim +
               ">... Relaying denied. Proper authentication required.";
        break;
    case 1:
        out += "ruleset=check_mail, arg1=" + m.sender + ", relay=" + m.client + ", reject=553 5.1.8 " + m.sender +
               "... Domain of sender address " + sender + " does not exist";
        break;
    default: {
        const std::string rcpt = local_address(rng_.pick(unknown_users));
        out += "ruleset=check_rcpt, arg1=<" + rcpt + ">, relay=" + m.client + ", reject=550 5.1.1 <" + rcpt +
               ">... User unknown";
        break;
    }
    }
}

void log_generator::state::render_delivery(std::string& out, const message& m, const step& s)
{
    const delivery_group& g = m.groups[s.group];
    out += "to=" + g.recipients;
    if (!g.ctladdr.empty())
        out += ", ctladdr=" + g.ctladdr;
    out += ", delay=";
    put_duration(out, clock_ - m.start);
    if (s.status == outcome::virus) {
        out += ", pri=";
        put_number(out, priority(m, g));
        out += ", stat=" + m.note;
        return;
    }
    if (s.status == outcome::queued) {
        out += ", mailer=esmtp, pri=";
        put_number(out, priority(m, g));
        out += ", stat=queued";
        return;
    }
    out += ", xdelay=";
    put_duration(out, g.mailer == "esmtp" ? rng_.below(6) : 0);
    out += ", mailer=";
    out += g.mailer;
    out += ", pri=";
    put_number(out, priority(m, g));
    if (g.mailer == "relay")
        out += ", relay=[127.0.0.1] [127.0.0.1]";
    else if (g.mailer == "esmtp" && s.status != outcome::host_unknown)
        out += ", relay=" + g.mx + ". [" + g.mx_ip + ']';
    out += ", dsn=";
    switch (s.status) {
    case outcome::deferred: out += "4.0.0"; break;
    case outcome::user_unknown: out += "5.1.1"; break;
    case outcome::host_unknown: out += "5.1.2"; break;
    case outcome::unavailable: out += "5.0.0"; break;
    default: out += "2.0.0"; break;
    }
    out += ", stat=";
    put_status(out, g, s.status);
}

void log_generator::state::put_status(std::string& out, const delivery_group& g, outcome status)
{
    switch (status) {
    case outcome::deferred: {
        const unsigned reason = rng_.below(4);
        if (reason == 0)
            out += "Deferred: Connection timed out with " + g.mx + '.';
        else if (reason == 1)
            out += "Deferred: Connection refused by " + g.mx + '.';
        else if (reason == 2)
            out += "Deferred: 421 4.7.0 Try again later";
        else
            out += "Deferred: 451 4.3.0 Temporary lookup failure";
        break;
    }
    case outcome::user_unknown: out += "User unknown"; break;
    case outcome::host_unknown: out += "Host unknown (Name server: " + g.mx + ".: host not found)"; break;
    case outcome::unavailable: out += "Service unavailable"; break;
    case outcome::relayed: out += "Sent (" + new_queue_id(rng_.between(1000, 99999)) + " Message accepted for delivery)"; break;
    case outcome::sent:
        if (g.mailer != "esmtp") {
            out += "Sent";
        } else if (rng_.chance(500)) {
            out += "Sent (Ok: queued as ";
            put_token(out, rng_, base62, 14);
            out += ')';
        } else {
            out += "Sent (" + new_queue_id(rng_.between(1000, 99999)) + " Message accepted for delivery)";
        }
        break;
    case outcome::queued: out += "queued"; break;
    case outcome::virus: out += "Virus found"; break;
    }
}

// ---------------------------------------------------------------------------
// Open, sleeping and finished messages

void log_generator::state::append_line(std::string& out)
{
    clock_ += rng_.below(options_.max_gap_seconds + 1ull);
    if (!sleeping_.empty() && sleeping_.front().wake <= clock_)
        wake_one(out);
    else if (rng_.chance(options_.malformed_permille))
        emit_malformed(out);
    else if (rng_.chance(options_.standalone_permille))
        emit_standalone(out);
    else
        emit_open_message(out);
}

void log_generator::state::emit_open_message(std::string& out)
{
    while (open_.size() < options_.open_messages)
        open_.push_back(new_message());
    const std::size_t index = rng_.below(open_.size());
    const progress next = emit_step(out, open_[index]);
    if (next == progress::goes_on)
        return;
    if (next == progress::sleeps)
        sleep(std::move(open_[index]));
    else
        retire(open_[index]);
    if (index + 1 != open_.size())
        open_[index] = std::move(open_.back());
    open_.pop_back();
}

// A deferred message comes back from the queue run with a new process.
void log_generator::state::wake_one(std::string& out)
{
    std::pop_heap(sleeping_.begin(), sleeping_.end(), wakes_later);
    message m = std::move(sleeping_.back().waiting);
    sleeping_.pop_back();
    m.delivery_pid = new_pid(m.host);
    ++m.retries;
    switch (emit_step(out, m)) {
    case progress::goes_on: open_.push_back(std::move(m)); break;
    case progress::sleeps: sleep(std::move(m)); break;
    case progress::done: retire(m); break;
    }
}

void log_generator::state::sleep(message&& m)
{
    const std::uint64_t wake = clock_ + 60ull * m.steps[m.next - 1].sleep_minutes;
    sleeping_.push_back({wake, sleep_order_++, std::move(m)});
    std::push_heap(sleeping_.begin(), sleeping_.end(), wakes_later);
}

void log_generator::state::retire(const message& m)
{
    if (retired_.size() < retired_pool) {
        retired_.push_back({m.host, m.queue_id});
        return;
    }
    retired_[retired_next_] = {m.host, m.queue_id};
    retired_next_ = (retired_next_ + 1) % retired_pool;
}

// ---------------------------------------------------------------------------
// Lines of no message

namespace {

constexpr std::array<weighted<lone_kind>, 19> lone_mix{{
    {lone_kind::tls_server, 150},        {lone_kind::tls_client, 80},        {lone_kind::daemon_start, 12},
    {lone_kind::alias_rebuilt, 10},      {lone_kind::alias_summary, 8},      {lone_kind::noqueue_ruleset, 150},
    {lone_kind::noqueue_connect, 40},    {lone_kind::milter_connect, 60},    {lone_kind::noqueue_milter_connect, 25},
    {lone_kind::did_not_issue, 120},     {lone_kind::user_unknown, 50},      {lone_kind::syserr, 20},
    {lone_kind::lost_input, 60},         {lone_kind::timeout, 40},           {lone_kind::gethostbyaddr, 30},
    {lone_kind::load_average, 10},       {lone_kind::milter_error, 10},      {lone_kind::postmaster_notify, 10},
    {lone_kind::autowhitelisted, 25},
}};

lone_client random_client(random_source& rng)
{
    lone_client client;
    if (rng.chance(500)) {
        const dynamic_client dyn = random_dynamic_client(rng);
        client.ip = dyn.ip;
        if (rng.chance(600)) {
            client.name = dyn.name;
            client.forged = rng.chance(400);
        }
    } else {
        const party p = random_party(rng);
        client.name = p.out_host;
        client.ip = p.out_ip;
    }
    return client;
}

std::string client_relay(const lone_client& client)
{
    std::string text = relay_text(client.name, client.ip);
    if (client.forged)
        text += " (may be forged)";
    return text;
}

void put_noqueue_ruleset(std::string& out, random_source& rng, const lone_client& client)
{
    out += "NOQUEUE: ";
    if (rng.chance(600)) {
        out += "ruleset=check_relay, arg1=[" + client.ip + "], arg2=127.0.0.2, relay=[" + client.ip +
               "], reject=550 5.7.1 Rejected: " + client.ip + " listed at ";
        out += rng.chance(700) ? "zen.spamhaus.org" : "bl.spamcop.net";
        return;
    }
    const std::string sender = random_spam_address(rng);
    out += "ruleset=check_mail, arg1=<" + sender + ">, relay=" + client_relay(client) +
           ", reject=451 4.1.8 Domain of sender address " + sender + " does not resolve";
}

void put_milter_connect(std::string& out, const dynamic_client& client)
{
    out += "Milter: connect: host=" + client.name + ", addr=" + client.ip +
           ", reject=554 5.7.1 Dynamic IP, use your provider's relay";
}

}  // namespace

// Lines of the daemon itself: start, alias database, load, milter trouble.
bool log_generator::state::put_system_line(std::string& out, lone_kind kind, bool msp)
{
    switch (kind) {
    case lone_kind::daemon_start:
        out += msp ? "starting daemon (8.17.1.9): queueing@00:30:00" : "starting daemon (8.17.1.9): SMTP+queueing@00:10:00";
        return true;
    case lone_kind::alias_rebuilt: out += "alias database /etc/mail/aliases rebuilt by root"; return true;
    case lone_kind::alias_summary:
        out += "/etc/mail/aliases: ";
        put_number(out, rng_.between(20, 90));
        out += " aliases, longest 64 bytes, 1473 bytes total";
        return true;
    case lone_kind::load_average:
        out += "rejecting connections on daemon MTA: load average: ";
        put_number(out, rng_.between(12, 40));
        return true;
    case lone_kind::milter_error:
        out += "Milter (greylist): error connecting to filter: Connection refused by "
               "/var/run/milter-greylist/milter-greylist.sock";
        return true;
    default: return false;
    }
}

// Lines about one connection that carried no message.
void log_generator::state::put_client_line(std::string& out, lone_kind kind, const lone_client& client,
                                           const std::string& queue_id)
{
    const std::string& peer = client.name.empty() ? client.ip : client.name;
    switch (kind) {
    case lone_kind::tls_server:
        out += "STARTTLS=server, relay=" + relay_text(client.name, client.ip);
        put_tls_parameters(out, rng_, "NO");
        break;
    case lone_kind::tls_client:
        out += "STARTTLS=client, relay=" + random_party(rng_).mx_host + '.';
        put_tls_parameters(out, rng_, rng_.chance(800) ? "OK" : "FAIL");
        break;
    case lone_kind::noqueue_ruleset: put_noqueue_ruleset(out, rng_, client); break;
    case lone_kind::noqueue_connect: out += "NOQUEUE: connect from " + relay_text(client.name, client.ip); break;
    case lone_kind::milter_connect:
    case lone_kind::noqueue_milter_connect:
        out += kind == lone_kind::milter_connect ? queue_id + ": " : std::string("NOQUEUE: ");
        put_milter_connect(out, random_dynamic_client(rng_));
        break;
    case lone_kind::did_not_issue:
        out += queue_id + ": " + client_relay(client) + " did not issue MAIL/EXPN/VRFY/ETRN during connection to ";
        out += rng_.chance(850) ? "MTA" : "MSA";
        break;
    case lone_kind::user_unknown:
        out += queue_id + ": <" + local_address(rng_.pick(unknown_users)) + ">... User unknown";
        break;
    case lone_kind::syserr:
        out += queue_id + ": SYSERR(root): collect: I/O error on connection from " + peer + ", from=<" +
               random_remote_address(rng_) + '>';
        break;
    case lone_kind::lost_input:
        out += queue_id + ": lost input channel from " + client_relay(client) + " to MTA after ";
        out += rng_.chance(500) ? "rcpt" : "mail";
        break;
    case lone_kind::timeout: out += queue_id + ": timeout waiting for input from " + peer + " during server cmd read"; break;
    case lone_kind::gethostbyaddr: out += "gethostbyaddr(" + client.ip + ") failed: 1"; break;
    case lone_kind::postmaster_notify: out += queue_id + ": postmaster notify: see transcript for details"; break;
    case lone_kind::autowhitelisted: {
        const std::string sender = random_remote_address(rng_);
        out += "(unknown id): addr [" + client.ip + "] from <" + sender + "> to <" +
               local_address(rng_.pick(local_users)) + "> autowhitelisted for 24:00:00";
        break;
    }
    default: break;
    }
}

void log_generator::state::emit_standalone(std::string& out)
{
    const unsigned host = rng_.below(hosts_.size());
    const std::uint32_t pid = new_pid(host);
    const lone_kind kind = pick_weighted(rng_, lone_mix);
    const lone_client client = random_client(rng_);
    const bool msp = kind == lone_kind::daemon_start && rng_.chance(300);
    if (kind == lone_kind::autowhitelisted)
        put_header(out, host, "milter-greylist", 0);
    else if (kind == lone_kind::alias_rebuilt || kind == lone_kind::alias_summary)
        put_header(out, host, "sendmail", pid);
    else
        put_header(out, host, msp ? "sm-msp-queue" : "sm-mta", pid);
    const std::string queue_id = new_queue_id(pid);
    if (!put_system_line(out, kind, msp))
        put_client_line(out, kind, client, queue_id);
    out += '\n';
}

// ---------------------------------------------------------------------------
// Broken lines

namespace {

enum class broken_kind { truncated, priority_prefix, weekday_prefix, bad_time, tabs, no_tag_colon, no_id_colon, no_blank };

constexpr std::array<weighted<broken_kind>, 8> broken_mix{{
    {broken_kind::truncated, 20},  {broken_kind::priority_prefix, 10}, {broken_kind::weekday_prefix, 10},
    {broken_kind::bad_time, 15},   {broken_kind::tabs, 10},            {broken_kind::no_tag_colon, 15},
    {broken_kind::no_id_colon, 15}, {broken_kind::no_blank, 15},
}};

// Weekday names that no month name test mistakes for a month.
constexpr std::string_view unreadable_weekdays[] = {"Mon ", "Tue ", "Wed ", "Thu "};

}  // namespace

void log_generator::state::emit_malformed(std::string& out)
{
    const unsigned host = rng_.below(hosts_.size());
    const std::uint32_t pid = new_pid(host);
    const broken_kind kind = pick_weighted(rng_, broken_mix);
    if (kind == broken_kind::priority_prefix)
        out += "<22>";
    else if (kind == broken_kind::weekday_prefix)
        out += rng_.pick(unreadable_weekdays);
    const std::size_t header = out.size();
    put_header(out, host, "sm-mta", pid);
    const std::string queue_id = new_queue_id(pid);
    switch (kind) {
    case broken_kind::truncated: out.resize(header + rng_.between(6, 27)); break;
    case broken_kind::bad_time: out.replace(header + 10, 2, "xx"); out += queue_id + ": collect: premature EOM"; break;
    case broken_kind::tabs:
        out += queue_id + ": lost input channel from [" + random_public_ip(rng_) + "] to MTA after data";
        std::replace(out.begin() + static_cast<std::ptrdiff_t>(header + 15), out.end(), ' ', '\t');
        break;
    case broken_kind::no_tag_colon:
        out.resize(out.size() - 2);
        out += " lost input channel from [" + random_public_ip(rng_) + "] to MTA after rcpt";
        break;
    case broken_kind::no_id_colon:
        out += "My unqualified host name (" + hosts_[host].name + ") unknown; sleeping for retry";
        break;
    case broken_kind::no_blank: out += queue_id + ':'; break;
    case broken_kind::priority_prefix:
    case broken_kind::weekday_prefix:
        out += queue_id + ": to=<" + local_address(rng_.pick(local_users)) +
               ">, delay=00:00:01, xdelay=00:00:00, mailer=local, pri=31022, dsn=2.0.0, stat=Sent";
        break;
    }
    out += '\n';
}

// ---------------------------------------------------------------------------
// Public interface

log_generator::log_generator(std::uint64_t seed, const log_generator_options& options)
    : state_(std::make_unique<state>(seed, options))
{
}

log_generator::~log_generator() = default;
log_generator::log_generator(log_generator&&) noexcept = default;
log_generator& log_generator::operator=(log_generator&&) noexcept = default;

void log_generator::append_line(std::string& out)
{
    state_->append_line(out);
}

namespace {

constexpr std::size_t flush_size = 1 << 16;

// Feeds the lines to `write` in pieces of about flush_size bytes.
template <class Writer>
bool write_pieces(std::uint64_t seed, std::size_t line_count, const log_generator_options& options, Writer write)
{
    log_generator generator(seed, options);
    std::string piece;
    piece.reserve(flush_size + 4096);
    for (std::size_t i = 0; i < line_count; ++i) {
        generator.append_line(piece);
        if (piece.size() >= flush_size) {
            if (!write(piece))
                return false;
            piece.clear();
        }
    }
    return piece.empty() || write(piece);
}

}  // namespace

std::string generate_log(std::uint64_t seed, std::size_t line_count, const log_generator_options& options)
{
    log_generator generator(seed, options);
    std::string text;
    text.reserve(line_count * 160);
    for (std::size_t i = 0; i < line_count; ++i)
        generator.append_line(text);
    return text;
}

bool write_log(std::FILE* out, std::uint64_t seed, std::size_t line_count, const log_generator_options& options)
{
    return write_pieces(seed, line_count, options, [out](const std::string& piece) {
        return std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
    });
}

bool write_log(std::ostream& out, std::uint64_t seed, std::size_t line_count, const log_generator_options& options)
{
    return write_pieces(seed, line_count, options, [&out](const std::string& piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        return static_cast<bool>(out);
    });
}
