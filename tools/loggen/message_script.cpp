// The scripts of the seven types of message and the faults applied to a
// finished script. The draws happen in a fixed order: changing it changes
// every log.
#include "tools/loggen/message_script.h"

#include <algorithm>
#include <array>
#include <utility>

#include "tools/loggen/calendar.h"
#include "tools/loggen/envelope.h"
#include "tools/loggen/text.h"
#include "tools/loggen/world.h"

namespace loggen {

namespace {

enum class message_type { inbound, outbound, local_submission, ruleset_reject, milter_reject, greylisted, virus };

// The weights of the kinds of message; the defaults add up to 960.
std::array<weighted<message_type>, 7> message_mix(const log_generator_options& options)
{
    return {{
        {message_type::inbound, options.inbound_weight},
        {message_type::outbound, options.outbound_weight},
        {message_type::local_submission, 50},
        {message_type::ruleset_reject, options.ruleset_reject_weight},
        {message_type::milter_reject, options.milter_reject_weight},
        {message_type::greylisted, 60},
        {message_type::virus, 30},
    }};
}

constexpr std::array<weighted<outcome>, 6> outbound_outcomes{{
    {outcome::sent, 800},
    {outcome::deferred, 70},
    {outcome::queued, 40},
    {outcome::user_unknown, 40},
    {outcome::host_unknown, 20},
    {outcome::unavailable, 30},
}};

std::uint32_t random_size(random_source& rng)
{
    const std::uint32_t base = rng.between(300, 3000);
    return base << rng.below(11);
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

// Mail from outside for local users; now and then with a milter header, an
// unknown recipient, a clone or a pipe to a program.
void fill_inbound(message& m, random_source& rng, const log_generator_options& options, const calendar_time& started)
{
    const party p = random_party(rng);
    set_remote_sender(m, rng, p, options);
    put_msgid(m, rng, started, m.client_name == "localhost" ? std::string(local_domain) : p.domain);
    add_local_groups(m, rng, options);
    if (rng.chance(20)) {
        delivery_group pipe;
        pipe.recipients = "\"|/usr/local/bin/ticket-import --queue=helpdesk\"";
        pipe.ctladdr = "<helpdesk@example.com> (8/0)";
        pipe.mailer = "prog";
        m.nrcpts += 1;
        m.groups.push_back(std::move(pipe));
    }
    if (rng.chance(600) && !m.client_name.empty() && m.client_name != "localhost") {
        m.proto = "ESMTPS";
        m.steps.push_back({step_kind::tls_server});
    }
    if (rng.chance(100))
        m.steps.push_back({step_kind::milter_header});
    if (rng.chance(50))
        m.steps.push_back({step_kind::user_unknown});
    m.steps.push_back({step_kind::envelope});
    for (std::size_t g = 0; g < m.groups.size(); ++g) {
        if (g == 1 && rng.chance(300))
            m.steps.push_back({step_kind::clone_note});
        m.steps.push_back({step_kind::delivery, static_cast<std::uint8_t>(g), outcome::sent});
    }
}

// Mail of a local user to partners: AUTH, envelope, and per partner domain
// a TLS line and one or more to= lines.
void fill_outbound(message& m, random_source& rng, const log_generator_options& options, const calendar_time& started)
{
    const local_user user = random_local_user(rng);
    m.sender = '<' + local_address(user.name) + '>';
    m.client_name = user.ws.name;
    m.client_ip = user.ws.ip;
    m.client = relay_text(user.ws.name, user.ws.ip);
    m.proto = "ESMTPSA";
    m.daemon = "MSA";
    m.note = user.name;
    put_msgid(m, rng, started, local_domain);
    if (rng.chance(500))
        m.steps.push_back({step_kind::auth});
    m.steps.push_back({step_kind::envelope});

    const unsigned groups = rng.chance(800) ? 1 : rng.between(2, 3);
    for (unsigned g = 0; g < groups; ++g) {
        const outcome status = pick_weighted(rng, outbound_outcomes);
        const party p = random_party(rng);
        delivery_group group = outbound_group(rng, status, p, options);
        m.nrcpts += group.count;
        m.groups.push_back(std::move(group));
        add_outbound_steps(m, rng, static_cast<std::uint8_t>(g), status);
    }
}

// A cron job or a script mailing through the submission program.
void fill_local_submission(message& m, random_source& rng, const calendar_time& started)
{
    m.program = "sendmail";
    m.sender = "root";
    m.client = "root@localhost";
    m.proto = "";
    m.nrcpts = 1;
    put_msgid(m, rng, started, "mx1.example.com");
    delivery_group group;
    group.recipients = rng.chance(700) ? "root" : "<admin@example.com>";
    group.first = "root";
    group.ctladdr = "root (0/0)";
    group.mailer = "relay";
    m.groups.push_back(std::move(group));
    m.steps.push_back({step_kind::envelope});
    m.steps.push_back({step_kind::delivery, 0, outcome::relayed});
}

// One or two ruleset rejects, then the envelope of the refused message.
void fill_ruleset_reject(message& m, random_source& rng, const log_generator_options& options)
{
    set_spam_sender(m, rng, options);
    m.size = 0;
    const unsigned rejects = rng.chance(800) ? 1 : 2;
    for (unsigned i = 0; i < rejects; ++i)
        m.steps.push_back({step_kind::ruleset_reject, static_cast<std::uint8_t>(rng.below(3))});
    m.steps.push_back({step_kind::envelope});
}

// A milter refuses the sender.
void fill_milter_reject(message& m, random_source& rng, const log_generator_options& options)
{
    set_spam_sender(m, rng, options);
    m.size = 0;
    m.steps.push_back({step_kind::milter_from});
    m.steps.push_back({step_kind::envelope});
}

// The greylisting milter delays each recipient; the envelope follows.
void fill_greylisted(message& m, random_source& rng, const log_generator_options& options)
{
    set_remote_sender(m, rng, random_party(rng), options);
    if (m.client_name == "localhost")
        set_spam_sender(m, rng, options);
    m.size = 0;
    add_local_groups(m, rng, options);
    m.nrcpts = 0;
    for (unsigned g = 0; g < m.groups.size(); ++g) {
        m.steps.push_back({step_kind::greylist_note, static_cast<std::uint8_t>(g)});
        m.steps.push_back({step_kind::milter_to, static_cast<std::uint8_t>(g)});
    }
    m.steps.push_back({step_kind::envelope});
}

// The virus scanner refuses the data; the to= line reports it.
void fill_virus(message& m, random_source& rng, const log_generator_options& options, const calendar_time& started)
{
    set_remote_sender(m, rng, random_party(rng), options);
    put_msgid(m, rng, started, "mail.example.net");
    m.note = "Virus found: Win.Trojan.Agent-";
    put_number(m.note, rng.between(100000, 9999999));
    m.note += " in <invoice_";
    put_padded(m.note, rng.below(10000), 4);
    m.note += ".zip>";
    add_local_groups(m, rng, options);
    m.groups.resize(1);
    m.nrcpts = m.groups[0].count;
    m.steps.push_back({step_kind::milter_data});
    m.steps.push_back({step_kind::envelope});
    m.steps.push_back({step_kind::delivery, 0, outcome::virus});
}

bool is_reject(step_kind kind)
{
    return kind == step_kind::ruleset_reject || kind == step_kind::milter_from || kind == step_kind::milter_to ||
           kind == step_kind::milter_data || kind == step_kind::greylist_note;
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

// Lines out of order, deliveries that never come, an envelope that never comes.
void apply_faults(message& m, random_source& rng, const log_generator_options& options)
{
    if (rng.chance(options.disorder_permille))
        disorder(m.steps);
    const bool has_envelope = has_step(m, step_kind::envelope);
    if (has_envelope && rng.chance(options.lost_delivery_permille)) {
        std::erase_if(m.steps, [](const step& s) { return is_delivery_part(s.kind); });
    } else if (has_envelope && m.steps.size() > 1 && rng.chance(options.lost_envelope_permille)) {
        std::erase_if(m.steps, [](const step& s) { return s.kind == step_kind::envelope; });
    }
}

}  // namespace

message new_message(site& s)
{
    message m;
    m.host = s.random_host();
    if (const auto old = s.reused_id()) {
        m.host = old->host;
        m.queue_id = old->queue_id;
    }
    m.pid = s.new_pid(m.host);
    m.delivery_pid = m.pid + 1;
    m.start = s.now();
    if (m.queue_id.empty())
        m.queue_id = s.new_queue_id(m.pid);
    random_source& rng = s.rng();
    m.size = random_size(rng);
    m.eight_bit = rng.chance(400);

    const calendar_time started = calendar_of(s.now());
    const log_generator_options& options = s.options();
    switch (pick_weighted(rng, message_mix(options))) {
    case message_type::inbound: fill_inbound(m, rng, options, started); break;
    case message_type::outbound: fill_outbound(m, rng, options, started); break;
    case message_type::local_submission: fill_local_submission(m, rng, started); break;
    case message_type::ruleset_reject: fill_ruleset_reject(m, rng, options); break;
    case message_type::milter_reject: fill_milter_reject(m, rng, options); break;
    case message_type::greylisted: fill_greylisted(m, rng, options); break;
    case message_type::virus: fill_virus(m, rng, options, started); break;
    }
    apply_faults(m, rng, s.options());
    return m;
}

}  // namespace loggen
