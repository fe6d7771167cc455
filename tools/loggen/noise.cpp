// The kinds of lines of no message and of broken lines, with their
// weights, and the text of each. A line of no message is written by a new
// process of a random host, about a random client: a spam source or a partner.
#include "tools/loggen/noise.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/loggen/render.h"
#include "tools/loggen/text.h"
#include "tools/loggen/world.h"

namespace loggen {

namespace {

enum class lone_kind {
    tls_server, tls_client, daemon_start, alias_rebuilt, alias_summary, noqueue_ruleset, noqueue_connect,
    milter_connect, noqueue_milter_connect, did_not_issue, user_unknown, syserr, lost_input, timeout,
    gethostbyaddr, load_average, milter_error, postmaster_notify, autowhitelisted,
};

constexpr std::array<weighted<lone_kind>, 19> lone_mix{{
    {lone_kind::tls_server, 150},        {lone_kind::tls_client, 80},        {lone_kind::daemon_start, 12},
    {lone_kind::alias_rebuilt, 10},      {lone_kind::alias_summary, 8},      {lone_kind::noqueue_ruleset, 150},
    {lone_kind::noqueue_connect, 40},    {lone_kind::milter_connect, 60},    {lone_kind::noqueue_milter_connect, 25},
    {lone_kind::did_not_issue, 120},     {lone_kind::user_unknown, 50},      {lone_kind::syserr, 20},
    {lone_kind::lost_input, 60},         {lone_kind::timeout, 40},           {lone_kind::gethostbyaddr, 30},
    {lone_kind::load_average, 10},       {lone_kind::milter_error, 10},      {lone_kind::postmaster_notify, 10},
    {lone_kind::autowhitelisted, 25},
}};

// A client of a connection that belongs to no message: spam source or partner.
struct lone_client {
    std::string name, ip;
    bool forged = false;
};

lone_client random_client(random_source& rng, const log_generator_options& options)
{
    lone_client client;
    if (rng.chance(500)) {
        const dynamic_client dyn = random_dynamic_client(rng, options);
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

void put_noqueue_ruleset(std::string& out, random_source& rng, const log_generator_options& options,
                         const lone_client& client)
{
    out += "NOQUEUE: ";
    if (rng.chance(600)) {
        out += "ruleset=check_relay, arg1=[" + client.ip + "], arg2=127.0.0.2, relay=[" + client.ip +
               "], reject=550 5.7.1 Rejected: " + client.ip + " listed at ";
        out += rng.chance(700) ? "zen.spamhaus.org" : "bl.spamcop.net";
        return;
    }
    const std::string sender = random_spam_address(rng, options);
    out += "ruleset=check_mail, arg1=<" + sender + ">, relay=" + client_relay(client) +
           ", reject=451 4.1.8 Domain of sender address " + sender + " does not resolve";
}

void put_milter_connect(std::string& out, const dynamic_client& client)
{
    out += "Milter: connect: host=" + client.name + ", addr=" + client.ip +
           ", reject=554 5.7.1 Dynamic IP, use your provider's relay";
}

// Lines of the daemon itself: start, alias database, load, milter trouble.
// False for a kind that is about a connection.
bool put_system_line(std::string& out, random_source& rng, lone_kind kind, bool msp)
{
    switch (kind) {
    case lone_kind::daemon_start:
        out += msp ? "starting daemon (8.17.1.9): queueing@00:30:00" : "starting daemon (8.17.1.9): SMTP+queueing@00:10:00";
        return true;
    case lone_kind::alias_rebuilt: out += "alias database /etc/mail/aliases rebuilt by root"; return true;
    case lone_kind::alias_summary:
        out += "/etc/mail/aliases: ";
        put_number(out, rng.between(20, 90));
        out += " aliases, longest 64 bytes, 1473 bytes total";
        return true;
    case lone_kind::load_average:
        out += "rejecting connections on daemon MTA: load average: ";
        put_number(out, rng.between(12, 40));
        return true;
    case lone_kind::milter_error:
        out += "Milter (greylist): error connecting to filter: Connection refused by "
               "/var/run/milter-greylist/milter-greylist.sock";
        return true;
    default: return false;
    }
}

// Lines about one connection that carried no message.
void put_client_line(std::string& out, random_source& rng, const log_generator_options& options, lone_kind kind,
                     const lone_client& client, const std::string& queue_id)
{
    const std::string& peer = client.name.empty() ? client.ip : client.name;
    switch (kind) {
    case lone_kind::tls_server:
        out += "STARTTLS=server, relay=" + relay_text(client.name, client.ip);
        put_tls_parameters(out, rng, "NO");
        break;
    case lone_kind::tls_client:
        out += "STARTTLS=client, relay=" + random_party(rng).mx_host + '.';
        put_tls_parameters(out, rng, rng.chance(800) ? "OK" : "FAIL");
        break;
    case lone_kind::noqueue_ruleset: put_noqueue_ruleset(out, rng, options, client); break;
    case lone_kind::noqueue_connect: out += "NOQUEUE: connect from " + relay_text(client.name, client.ip); break;
    case lone_kind::milter_connect:
    case lone_kind::noqueue_milter_connect:
        out += kind == lone_kind::milter_connect ? queue_id + ": " : std::string("NOQUEUE: ");
        put_milter_connect(out, random_dynamic_client(rng, options));
        break;
    case lone_kind::did_not_issue:
        out += queue_id + ": " + client_relay(client) + " did not issue MAIL/EXPN/VRFY/ETRN during connection to ";
        out += rng.chance(850) ? "MTA" : "MSA";
        break;
    case lone_kind::user_unknown:
        out += queue_id + ": <" + random_unknown_local_address(rng) + ">... User unknown";
        break;
    case lone_kind::syserr:
        out += queue_id + ": SYSERR(root): collect: I/O error on connection from " + peer + ", from=<" +
               random_remote_address(rng) + '>';
        break;
    case lone_kind::lost_input:
        out += queue_id + ": lost input channel from " + client_relay(client) + " to MTA after ";
        out += rng.chance(500) ? "rcpt" : "mail";
        break;
    case lone_kind::timeout: out += queue_id + ": timeout waiting for input from " + peer + " during server cmd read"; break;
    case lone_kind::gethostbyaddr: out += "gethostbyaddr(" + client.ip + ") failed: 1"; break;
    case lone_kind::postmaster_notify: out += queue_id + ": postmaster notify: see transcript for details"; break;
    case lone_kind::autowhitelisted: {
        const std::string sender = random_remote_address(rng);
        out += "(unknown id): addr [" + client.ip + "] from <" + sender + "> to <" + random_local_address(rng) +
               "> autowhitelisted for 24:00:00";
        break;
    }
    default: break;
    }
}

enum class broken_kind { truncated, priority_prefix, weekday_prefix, bad_time, tabs, no_tag_colon, no_id_colon, no_blank };

constexpr std::array<weighted<broken_kind>, 8> broken_mix{{
    {broken_kind::truncated, 20},  {broken_kind::priority_prefix, 10}, {broken_kind::weekday_prefix, 10},
    {broken_kind::bad_time, 15},   {broken_kind::tabs, 10},            {broken_kind::no_tag_colon, 15},
    {broken_kind::no_id_colon, 15}, {broken_kind::no_blank, 15},
}};

// Weekday names that no month name test mistakes for a month.
constexpr std::string_view unreadable_weekdays[] = {"Mon ", "Tue ", "Wed ", "Thu "};

// Breaks the line whose header starts at `header` in `out`.
void put_broken_text(std::string& out, random_source& rng, broken_kind kind, std::size_t header,
                     const std::string& queue_id, std::string_view host_name)
{
    switch (kind) {
    case broken_kind::truncated: out.resize(header + rng.between(6, 27)); break;
    case broken_kind::bad_time: out.replace(header + 10, 2, "xx"); out += queue_id + ": collect: premature EOM"; break;
    case broken_kind::tabs:
        out += queue_id + ": lost input channel from [" + random_public_ip(rng) + "] to MTA after data";
        std::replace(out.begin() + static_cast<std::ptrdiff_t>(header + 15), out.end(), ' ', '\t');
        break;
    case broken_kind::no_tag_colon:
        out.resize(out.size() - 2);
        out += " lost input channel from [" + random_public_ip(rng) + "] to MTA after rcpt";
        break;
    case broken_kind::no_id_colon:
        out += "My unqualified host name (";
        out += host_name;
        out += ") unknown; sleeping for retry";
        break;
    case broken_kind::no_blank: out += queue_id + ':'; break;
    case broken_kind::priority_prefix:
    case broken_kind::weekday_prefix:
        out += queue_id + ": to=<" + random_local_address(rng) +
               ">, delay=00:00:01, xdelay=00:00:00, mailer=local, pri=31022, dsn=2.0.0, stat=Sent";
        break;
    }
}

}  // namespace

void put_standalone_line(std::string& out, site& s)
{
    random_source& rng = s.rng();
    const unsigned host = s.random_host();
    const std::uint32_t pid = s.new_pid(host);
    const lone_kind kind = pick_weighted(rng, lone_mix);
    const lone_client client = random_client(rng, s.options());
    const bool msp = kind == lone_kind::daemon_start && rng.chance(300);
    if (kind == lone_kind::autowhitelisted)
        put_header(out, s, host, "milter-greylist", 0);
    else if (kind == lone_kind::alias_rebuilt || kind == lone_kind::alias_summary)
        put_header(out, s, host, "sendmail", pid);
    else
        put_header(out, s, host, msp ? "sm-msp-queue" : "sm-mta", pid);
    const std::string queue_id = s.new_queue_id(pid);
    if (!put_system_line(out, rng, kind, msp))
        put_client_line(out, rng, s.options(), kind, client, queue_id);
    out += '\n';
}

void put_broken_line(std::string& out, site& s)
{
    random_source& rng = s.rng();
    const unsigned host = s.random_host();
    const std::uint32_t pid = s.new_pid(host);
    const broken_kind kind = pick_weighted(rng, broken_mix);
    if (kind == broken_kind::priority_prefix)
        out += "<22>";
    else if (kind == broken_kind::weekday_prefix)
        out += rng.pick(unreadable_weekdays);
    const std::size_t header = out.size();
    put_header(out, s, host, "sm-mta", pid);
    const std::string queue_id = s.new_queue_id(pid);
    put_broken_text(out, rng, kind, header, queue_id, s.host_name(host));
    out += '\n';
}

}  // namespace loggen
