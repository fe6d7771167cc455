// Senders, clients, message ids and recipient groups of the generated
// messages, built from the picks of world.h. The odd forms (null sender,
// quoted local part, nameless client, forged name) come at fixed rates.
#include "tools/loggen/envelope.h"

#include <string>
#include <utility>

#include "tools/loggen/text.h"

namespace loggen {

void set_remote_sender(message& m, random_source& rng, const party& p, const log_generator_options& options)
{
    const std::string address = options.senders != 0 ? forged_sender(rng.below(options.senders))
                                                     : join_address(random_remote_user(rng), p.domain);
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

void set_spam_sender(message& m, random_source& rng, const log_generator_options& options)
{
    m.sender = '<' + random_spam_address(rng, options) + '>';
    const dynamic_client client = random_dynamic_client(rng, options);
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

void put_msgid(message& m, random_source& rng, const calendar_time& t, std::string_view domain)
{
    m.msgid.assign(1, '<');
    put_number(m.msgid, t.year);
    for (unsigned part : {t.month + 1, t.day, t.hour, t.minute, t.second})
        put_padded(m.msgid, part, 2);
    m.msgid += '.';
    put_token(m.msgid, rng, hex_digits, 8);
    m.msgid += '@';
    m.msgid += domain;
    m.msgid += '>';
}

void add_local_groups(message& m, random_source& rng, const log_generator_options& options)
{
    const unsigned groups = rng.chance(850) ? 1 : rng.between(2, 3);
    for (unsigned g = 0; g < groups; ++g) {
        delivery_group group;
        group.count = options.max_recipients != 0 ? rng.between(1, options.max_recipients)
                      : rng.chance(750)            ? 1
                                                   : rng.between(2, 3);
        for (unsigned r = 0; r < group.count; ++r) {
            const std::string address = random_mailbox_address(rng, options);
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

delivery_group outbound_group(random_source& rng, outcome status, const party& p, const log_generator_options& options)
{
    delivery_group group;
    group.mailer = "esmtp";
    group.count = options.max_recipients != 0 ? rng.between(1, options.max_recipients) : rng.chance(800) ? 1 : 2;
    const std::string domain = status == outcome::host_unknown ? std::string(random_typo_domain(rng)) : p.domain;
    for (unsigned r = 0; r < group.count; ++r) {
        const std::string address = join_address(random_remote_user(rng), domain);
        if (r == 0)
            group.first = address;
        else
            group.recipients += ',';
        group.recipients += '<' + address + '>';
    }
    group.mx = status == outcome::host_unknown ? "mx." + domain : p.mx_host;
    group.mx_ip = p.mx_ip;
    return group;
}

}  // namespace loggen
