// Formatting of headers and message steps. Fields that vary from line to
// line (TLS ciphers, status texts, new queue ids of DSNs and clones) are
// drawn here, in the order of the text.
#include "tools/loggen/render.h"

#include "tools/loggen/calendar.h"
#include "tools/loggen/text.h"
#include "tools/loggen/world.h"

namespace loggen {

namespace {

// Adds the size, 30,000 per recipient and 90,000 per retry, as sendmail does.
std::uint64_t priority(const message& m, const delivery_group& g)
{
    return m.size + 30000ull * g.count + 90000ull * m.retries;
}

void put_status(std::string& out, site& s, const delivery_group& g, outcome status)
{
    random_source& rng = s.rng();
    switch (status) {
    case outcome::deferred: {
        const unsigned reason = rng.below(4);
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
    case outcome::relayed:
        out += "Sent (" + s.new_queue_id(rng.between(1000, 99999)) + " Message accepted for delivery)";
        break;
    case outcome::sent:
        if (g.mailer != "esmtp") {
            out += "Sent";
        } else if (rng.chance(500)) {
            out += "Sent (Ok: queued as ";
            put_token(out, rng, base62, 14);
            out += ')';
        } else {
            out += "Sent (" + s.new_queue_id(rng.between(1000, 99999)) + " Message accepted for delivery)";
        }
        break;
    case outcome::queued: out += "queued"; break;
    case outcome::virus: out += "Virus found"; break;
    }
}

void put_envelope(std::string& out, const message& m)
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

// Variant 0 refuses relaying, 1 a sender domain that does not exist, 2 an
// unknown local recipient.
void put_ruleset(std::string& out, random_source& rng, const message& m, const step& st)
{
    const std::string victim = random_remote_address(rng);
    const std::string sender = m.sender.substr(1, m.sender.size() - 2);
    switch (st.group) {
    case 0:
        out += "ruleset=check_rcpt, arg1=<" + victim + ">, relay=" + m.client + ", reject=550 5.7.1 <" + victim +
               ">... Relaying denied. Proper authentication required.";
        break;
    case 1:
        out += "ruleset=check_mail, arg1=" + m.sender + ", relay=" + m.client + ", reject=553 5.1.8 " + m.sender +
               "... Domain of sender address " + sender + " does not exist";
        break;
    default: {
        const std::string rcpt = random_unknown_local_address(rng);
        out += "ruleset=check_rcpt, arg1=<" + rcpt + ">, relay=" + m.client + ", reject=550 5.1.1 <" + rcpt +
               ">... User unknown";
        break;
    }
    }
}

void put_delivery(std::string& out, site& s, const message& m, const step& st)
{
    const delivery_group& g = m.groups[st.group];
    out += "to=" + g.recipients;
    if (!g.ctladdr.empty())
        out += ", ctladdr=" + g.ctladdr;
    out += ", delay=";
    put_duration(out, s.now() - m.start);
    if (st.status == outcome::virus) {
        out += ", pri=";
        put_number(out, priority(m, g));
        out += ", stat=" + m.note;
        return;
    }
    if (st.status == outcome::queued) {
        out += ", mailer=esmtp, pri=";
        put_number(out, priority(m, g));
        out += ", stat=queued";
        return;
    }
    out += ", xdelay=";
    put_duration(out, g.mailer == "esmtp" ? s.rng().below(6) : 0);
    out += ", mailer=";
    out += g.mailer;
    out += ", pri=";
    put_number(out, priority(m, g));
    if (g.mailer == "relay")
        out += ", relay=[127.0.0.1] [127.0.0.1]";
    else if (g.mailer == "esmtp" && st.status != outcome::host_unknown)
        out += ", relay=" + g.mx + ". [" + g.mx_ip + ']';
    out += ", dsn=";
    switch (st.status) {
    case outcome::deferred: out += "4.0.0"; break;
    case outcome::user_unknown: out += "5.1.1"; break;
    case outcome::host_unknown: out += "5.1.2"; break;
    case outcome::unavailable: out += "5.0.0"; break;
    default: out += "2.0.0"; break;
    }
    out += ", stat=";
    put_status(out, s, g, st.status);
}

// The STARTTLS lines, which carry no queue id.
void put_tls_step(std::string& out, random_source& rng, const message& m, const step& st)
{
    if (st.kind == step_kind::tls_server) {
        out += "STARTTLS=server, relay=";
        out += relay_text(m.client_name, m.client_ip);
        put_tls_parameters(out, rng, "NO");
        return;
    }
    out += "STARTTLS=client, relay=";
    out += m.groups[st.group].mx;
    out += '.';
    put_tls_parameters(out, rng, rng.chance(800) ? "OK" : "FAIL");
}

// The text after "queue id: " of every other step.
void put_queued_step(std::string& out, site& s, const message& m, const step& st)
{
    random_source& rng = s.rng();
    const delivery_group* group = st.group < m.groups.size() ? &m.groups[st.group] : nullptr;
    switch (st.kind) {
    case step_kind::envelope: put_envelope(out, m); break;
    case step_kind::delivery: put_delivery(out, s, m, st); break;
    case step_kind::ruleset_reject: put_ruleset(out, rng, m, st); break;
    case step_kind::auth:
        out += "AUTH=server, relay=" + m.client + ", authid=" + m.note + ", mech=";
        out += rng.chance(700) ? "PLAIN" : "LOGIN";
        out += ", bits=0";
        break;
    case step_kind::milter_from:
        out += "Milter: from=" + m.sender + ", reject=";
        out += rng.chance(500) ? "553 5.7.1 Sender address blacklisted" : "550 5.7.1 Spam source rejected";
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
        put_number(out, rng.below(5));
        out += ".";
        put_number(out, rng.below(10));
        break;
    case step_kind::user_unknown: out += '<' + random_unknown_local_address(rng) + ">... User unknown"; break;
    case step_kind::dsn_note:
        out += s.new_queue_id(m.delivery_pid);
        out += ": DSN: ";
        put_status(out, s, *group, st.status);
        break;
    case step_kind::clone_note: out += "clone " + s.new_queue_id(m.delivery_pid) + ", owner=owner-staff"; break;
    case step_kind::tls_server:
    case step_kind::tls_client: break;
    }
}

}  // namespace

void put_header(std::string& out, site& s, unsigned host, std::string_view program, std::uint32_t pid)
{
    const calendar_time t = calendar_of(s.stamp());
    out += month_name(t.month);
    out += t.day < 10 ? "  " : " ";
    put_number(out, t.day);
    out += ' ';
    put_padded(out, t.hour, 2);
    out += ':';
    put_padded(out, t.minute, 2);
    out += ':';
    put_padded(out, t.second, 2);
    out += ' ';
    out += s.host_name(host);
    out += ' ';
    out += program;
    if (pid != 0) {
        out += '[';
        put_number(out, pid);
        out += ']';
    }
    out += ": ";
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

void put_step_line(std::string& out, site& s, const message& m)
{
    const step& st = m.steps[m.next];
    if (st.kind == step_kind::greylist_note)
        put_header(out, s, m.host, "milter-greylist", 0);
    else
        put_header(out, s, m.host, m.program, is_delivery_part(st.kind) ? m.delivery_pid : m.pid);
    if (st.kind == step_kind::tls_server || st.kind == step_kind::tls_client) {
        put_tls_step(out, s.rng(), m, st);
    } else {
        out += m.queue_id;
        out += ": ";
        put_queued_step(out, s, m, st);
    }
    out += '\n';
}

}  // namespace loggen
