// Writing the JSON document. Reads the built statistics of every used host
// (trusted, read-only); their texts come from the log and pass through the
// text rule of json_text.h. Small parts are built as nlohmann-json trees,
// the statistic tables are streamed record by record.
#include "export/json_export.h"

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "driver/messages.h"
#include "export/country_names.h"
#include "export/json_text.h"
#include "export/json_writer.h"
#include "export/traffic_figures.h"
#include "model/host_info.h"
#include "stats/domain_stats.h"
#include "stats/envelope_stats.h"
#include "stats/milter_stats.h"
#include "stats/relay_stats.h"
#include "stats/ruleset_stats.h"
#include "stats/summary_stats.h"

namespace {

using json = nlohmann::ordered_json;

const char* const hour_labels[24] = {
    "00-01", "01-02", "02-03", "03-04", "04-05", "05-06", "06-07", "07-08", "08-09", "09-10", "10-11", "11-12",
    "12-13", "13-14", "14-15", "15-16", "16-17", "17-18", "18-19", "19-20", "20-21", "21-22", "22-23", "23-00",
};
const char* const weekday_names[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// Sizes and seconds are sums kept in doubles: integral ones print as integers.
json whole_or_fraction(double value)
{
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
        return static_cast<std::int64_t>(value);
    return value;
}

json time_or_null(const std::optional<long long>& time)
{
    if (!time)
        return nullptr;
    return rfc3339_time(static_cast<std::time_t>(*time));
}

json run_part(const run_facts& facts)
{
    json inputs = json::array();
    for (const std::string& input : facts.inputs)
        inputs.push_back(json_text(std::string_view(input)));
    return json{
        {"program", "quelm_stat"},
        {"version", facts.program_version},
        {"inputs", std::move(inputs)},
        {"window", {{"start", time_or_null(facts.window_start)}, {"end", time_or_null(facts.window_end)}}},
        {"run_time", rfc3339_time(facts.run_time)},
        {"lines_read", facts.lines_read},
    };
}

json counters_part(const host_info& host)
{
    const message_model& m = host.messages;
    return json{
        {"alias_rebuilds", host.events.alias_rebuilds},
        {"too_many_hops", host.events.too_many_hops},
        {"mail_loops", host.events.mail_loops},
        {"other_syserr", host.events.other_syserr},
        {"daemon_restarts", host.events.daemon_restarts},
        {"viruses", host.general.out_viruses},
        {"ruleset_rejects", host.general.ruleset_rejects},
        {"milter_rejects", host.general.milter_rejects},
        {"non_active_connections", m.no_action_msgs},
        {"unknown_lines", m.unknown_msgs},
        {"unknown_user_lines", m.unknown_user_msgs},
        {"tls_lines", m.tls_msgs},
        {"other_lines", m.other_msgs},
        {"from_out_of_order", m.from_msgs_ooo},
        {"to_out_of_order", m.to_msgs_ooo},
        {"ruleset_out_of_order", m.ruleset_msgs_ooo},
        {"milter_out_of_order", m.milter_msgs_ooo},
        {"message_chains", m.msg_chains},
        {"ruleset_chains", m.ruleset_chains},
        {"milter_chains", m.milter_chains},
    };
}

json inbound_part(const host_info& host, const recipient_totals& recipients)
{
    const general_statistics& g = host.general;
    return json{
        {"connects", g.in_connects},
        {"messages", g.in_messages},
        {"recipients", recipients.inbound},
        {"total_size", whole_or_fraction(host.events.in_total_size)},
        {"average_size", g.in_avg_size},
        {"per_hour", g.in_per_hour},
        {"per_minute", g.in_per_min},
        {"per_second", g.in_per_sec},
        {"total_time", whole_or_fraction(g.total_time)},
    };
}

json outbound_part(const host_info& host, const recipient_totals& recipients)
{
    const general_statistics& g = host.general;
    return json{
        {"messages", g.out_messages},
        {"recipients", recipients.outbound},
        {"sent", g.out_sent},
        {"deferred", g.out_deferred},
        {"queued", g.out_queued},
        {"unknown_user", g.out_unknown_user},
        {"host_unavailable", g.out_host_unavail},
        {"service_unavailable", g.out_service_unavail},
        {"viruses", g.out_viruses},
        {"other_error", g.out_other_error},
    };
}

json statuses_part(const host_info& host)
{
    json entries = json::array();
    for (const status_entry& entry : host.general.statuses)
        entries.push_back({{"status", json_text(entry.text)}, {"count", entry.count}});
    return json{{"total", host.general.status_total}, {"entries", std::move(entries)}};
}

json hourly_part(const general_statistics& g)
{
    json hours = json::array();
    for (int h = 0; h < 24; ++h)
        hours.push_back({{"hour", hour_labels[h]},
                         {"connects", g.hour_connects[h]},
                         {"inbound", g.hour_in[h]},
                         {"outbound", g.hour_out[h]},
                         {"rejects", g.hour_rejects[h]},
                         {"viruses", g.hour_viruses[h]}});
    return hours;
}

json weekly_part(const general_statistics& g)
{
    json days = json::array();
    for (int d = 0; d < 7; ++d)
        days.push_back({{"day", weekday_names[d]},
                        {"day_of_month", g.wday_mday[d]},
                        {"connects", g.wday_connects[d]},
                        {"inbound", g.wday_in[d]},
                        {"outbound", g.wday_out[d]},
                        {"rejects", g.wday_rejects[d]},
                        {"viruses", g.wday_viruses[d]}});
    return days;
}

void write_general(json_writer& w, const host_info& host)
{
    const recipient_totals recipients = count_recipients(host);
    w.key("host");
    w.text(std::string_view(host.host_name));
    w.key("first_entry");
    w.text(std::string_view(rfc3339_time(host.first_entry)));
    w.key("first_entry_unix");
    w.number(std::int64_t{host.first_entry});
    w.key("last_entry");
    w.text(std::string_view(rfc3339_time(host.last_entry)));
    w.key("last_entry_unix");
    w.number(std::int64_t{host.last_entry});
    w.key("counters");
    w.tree(counters_part(host));
    w.key("inbound");
    w.tree(inbound_part(host, recipients));
    w.key("outbound");
    w.tree(outbound_part(host, recipients));
    w.key("statuses");
    w.tree(statuses_part(host));
    w.key("hourly");
    w.tree(hourly_part(host.general));
    w.key("weekly");
    w.tree(weekly_part(host.general));
}

// ---------------------------------------------------------------- tables

// "name": text, in a record being written.
void field(json_writer& w, std::string_view name, const char* text)
{
    w.key(name);
    w.text(text);
}

template <class Number>
void field_number(json_writer& w, std::string_view name, Number value)
{
    w.key(name);
    w.number(value);
}

void field_time(json_writer& w, std::string_view name, std::time_t time)
{
    w.key(name);
    w.number(std::int64_t{time});
}

// The texts of a record live apart from it, scattered through memory:
// they are asked for a few records ahead of their turn.
template <class... Texts>
void prefetch(const Texts*... texts)
{
    (__builtin_prefetch(texts), ...);
}

void prefetch_texts(const domain_stat& d)
{
    prefetch(d.name);
}

void prefetch_texts(const env_pair_stat& p)
{
    prefetch(p.sender, p.recipient, p.from_host, p.to_host, p.from_dom_l1, p.from_dom_l2, p.from_relay, p.to_relay,
             p.from_ip, p.to_ip, p.from_relay_dom_l1, p.from_relay_dom_l2, p.from_geo_dom, p.date,
             p.other_rcpts_head, p.statuses_head);
}

void prefetch_texts(const env_mem_stat& m)
{
    prefetch(m.name);
}

void prefetch_texts(const relay_pair_stat& p)
{
    prefetch(p.from_relay, p.to_relay, p.from_ip, p.to_ip);
}

void prefetch_texts(const relay_mem_stat& m)
{
    prefetch(m.name, m.ip, m.dom_l1, m.dom_l2);
}

void prefetch_texts(const ruleset_reject_stat& r)
{
    prefetch(r.env_from, r.from_host, r.reason, r.relay_name, r.relay_ip);
}

void prefetch_texts(const milter_reject_stat& r)
{
    prefetch(r.env_from, r.env_to, r.from_host, r.to_host, r.from_dom_l1, r.from_dom_l2, r.reason, r.relay_name,
             r.relay_ip, r.relay_geo_dom, r.relay_dom_l1, r.relay_dom_l2, r.date);
}

void prefetch_texts(const reject_reason_stat& r)
{
    prefetch(r.reason);
}

void prefetch_texts(const summary_relay_stat& r)
{
    prefetch(r.name, r.ip, r.dom_l2, r.from_addr_head, r.to_addr_head);
}

void prefetch_texts(const summary_rcpt_stat& r)
{
    prefetch(r.name);
}

// "name": [ one record per element, each on its own line ].
template <class Record, class Write>
void table(json_writer& w, std::string_view name, const std::vector<Record>& records, Write write_record)
{
    constexpr std::size_t prefetch_distance = 8;
    w.key(name);
    w.begin_array(true);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i + prefetch_distance < records.size())
            prefetch_texts(records[i + prefetch_distance]);
        w.begin_object();
        write_record(w, records[i]);
        w.end_object();
    }
    w.end_array();
}

void write_domain(json_writer& w, const domain_stat& d, country_names& countries)
{
    field(w, "name", d.name);
    field(w, "country", countries.of(d.name));
    field_number(w, "all", d.all);
    field_number(w, "send", d.send);
    field_number(w, "recv", d.recv);
    field_number(w, "milrej", d.milrej);
    field_number(w, "size", d.size);
}

void write_domain_level(json_writer& w, std::string_view name, const std::vector<domain_stat>& list,
                        std::uint32_t refs, std::uint32_t send, std::uint32_t recv, std::uint32_t milrej,
                        country_names& countries)
{
    w.key(name);
    w.begin_object();
    field_number(w, "refs", refs);
    field_number(w, "send", send);
    field_number(w, "recv", recv);
    field_number(w, "milrej", milrej);
    table(w, "domains", list, [&](json_writer& out, const domain_stat& d) { write_domain(out, d, countries); });
    w.end_object();
}

void write_domain_tables(json_writer& w, std::string_view name, const domain_tables& t)
{
    country_names countries;
    w.key(name);
    w.begin_object();
    write_domain_level(w, "level_1", t.l1_list, t.l1_refs, t.l1_send, t.l1_recv, t.l1_milrej, countries);
    write_domain_level(w, "level_2", t.l2_list, t.l2_refs, t.l2_send, t.l2_recv, t.l2_milrej, countries);
    w.end_object();
}

void write_env_pair(json_writer& w, const env_pair_stat& p)
{
    field(w, "sender", p.sender);
    field(w, "recipient", p.recipient);
    field(w, "from_host", p.from_host);
    field(w, "to_host", p.to_host);
    field(w, "from_dom_l1", p.from_dom_l1);
    field(w, "from_dom_l2", p.from_dom_l2);
    field(w, "from_relay", p.from_relay);
    field(w, "to_relay", p.to_relay);
    field(w, "from_ip", p.from_ip);
    field(w, "to_ip", p.to_ip);
    field(w, "from_relay_dom_l1", p.from_relay_dom_l1);
    field(w, "from_relay_dom_l2", p.from_relay_dom_l2);
    field(w, "from_geo_dom", p.from_geo_dom);
    field(w, "date", p.date);
    field_number(w, "size", p.size);
    field_number(w, "count", p.count);
    w.key("other_recipients");
    w.begin_array();
    for (const other_rcpt* o = p.other_rcpts_head; o; o = o->next) {
        w.begin_object();
        field(w, "name", o->name);
        field_number(w, "count", o->count);
        w.end_object();
    }
    w.end_array();
    w.key("statuses");
    w.begin_array();
    for (const pair_status* s = p.statuses_head; s; s = s->next) {
        w.begin_object();
        field(w, "status", s->status);
        field_number(w, "count", s->count);
        field_time(w, "first_time", s->first_time);
        field_time(w, "last_time", s->last_time);
        w.end_object();
    }
    w.end_array();
}

void write_member(json_writer& w, const env_mem_stat& m)
{
    field(w, "name", m.name);
    field_number(w, "size", m.size);
    field_number(w, "count", m.count);
}

void write_envelope(json_writer& w, const envelope_statistics& e)
{
    w.key("envelope");
    w.begin_object();
    field_number(w, "pair_deliveries", e.pair_refs);
    table(w, "pairs", e.pairs, write_env_pair);
    table(w, "senders", e.senders, write_member);
    table(w, "recipients", e.recipients, write_member);
    w.end_object();
}

void write_relay_pair(json_writer& w, const relay_pair_stat& p)
{
    field(w, "from_relay", p.from_relay);
    field(w, "to_relay", p.to_relay);
    field(w, "from_ip", p.from_ip);
    field(w, "to_ip", p.to_ip);
    field_number(w, "size", p.size);
    field_number(w, "count", p.count);
}

void write_relay_member(json_writer& w, const relay_mem_stat& m)
{
    field(w, "name", m.name);
    field(w, "ip", m.ip);
    field(w, "dom_l1", m.dom_l1);
    field(w, "dom_l2", m.dom_l2);
    field_number(w, "size", m.size);
    field_number(w, "count", m.count);
}

void write_relay(json_writer& w, const relay_statistics& r)
{
    w.key("relay");
    w.begin_object();
    field_number(w, "pair_deliveries", r.pair_refs);
    table(w, "pairs", r.pairs, write_relay_pair);
    table(w, "senders", r.senders, write_relay_member);
    table(w, "recipients", r.recipients, write_relay_member);
    w.end_object();
}

void write_ruleset_reject(json_writer& w, const ruleset_reject_stat& r)
{
    field(w, "env_from", r.env_from);
    field(w, "from_host", r.from_host);
    field(w, "reason", r.reason);
    field(w, "relay_name", r.relay_name);
    field(w, "relay_ip", r.relay_ip);
    field_number(w, "size", r.size);
    field_number(w, "count", r.count);
}

void write_ruleset(json_writer& w, const ruleset_statistics& r)
{
    w.key("ruleset_rejects");
    w.begin_object();
    field_number(w, "refs", r.refs);
    field_number(w, "size", r.size);
    table(w, "rejects", r.rejects, write_ruleset_reject);
    w.end_object();
}

void write_milter_reject(json_writer& w, const milter_reject_stat& r)
{
    field(w, "env_from", r.env_from);
    field(w, "env_to", r.env_to);
    field(w, "from_host", r.from_host);
    field(w, "to_host", r.to_host);
    field(w, "from_dom_l1", r.from_dom_l1);
    field(w, "from_dom_l2", r.from_dom_l2);
    field(w, "reason", r.reason);
    field(w, "relay_name", r.relay_name);
    field(w, "relay_ip", r.relay_ip);
    field(w, "relay_geo_dom", r.relay_geo_dom);
    field(w, "relay_dom_l1", r.relay_dom_l1);
    field(w, "relay_dom_l2", r.relay_dom_l2);
    field(w, "date", r.date);
    field_time(w, "first_time", r.first_time);
    field_time(w, "last_time", r.last_time);
    field_number(w, "size", r.size);
    field_number(w, "count", r.count);
}

void write_reason(json_writer& w, const reject_reason_stat& r)
{
    field(w, "reason", r.reason);
    field_number(w, "count", r.count);
}

void write_milter(json_writer& w, const milter_statistics& m)
{
    w.key("milter_rejects");
    w.begin_object();
    field_number(w, "refs", m.refs);
    field_number(w, "size", m.size);
    table(w, "rejects", m.rejects, write_milter_reject);
    field_number(w, "reason_refs", m.reason_refs);
    table(w, "reasons", m.reasons, write_reason);
    field_number(w, "recipient_refs", m.recipient_refs);
    table(w, "recipients", m.recipients, write_member);
    w.end_object();
}

void write_addresses(json_writer& w, std::string_view name, const summary_addr* head)
{
    w.key(name);
    w.begin_array();
    for (const summary_addr* a = head; a; a = a->next)
        w.text(a->address);
    w.end_array();
}

void write_summary_relay(json_writer& w, const summary_relay_stat& r)
{
    field(w, "name", r.name);
    field(w, "ip", r.ip);
    field(w, "dom_l2", r.dom_l2);
    field_number(w, "from_msgs", r.from_msgs);
    field_number(w, "rulrej", r.rulrej);
    field_number(w, "milrej", r.milrej);
    field_number(w, "nonact", r.nonact);
    field_number(w, "from_addr", r.from_addr);
    field_number(w, "from_dom", r.from_dom);
    field_number(w, "to_addr", r.to_addr);
    field_number(w, "to_dom", r.to_dom);
    field_number(w, "total", r.total);
    write_addresses(w, "from_addresses", r.from_addr_head);
    write_addresses(w, "to_addresses", r.to_addr_head);
}

void write_summary_recipient(json_writer& w, const summary_rcpt_stat& r)
{
    field(w, "name", r.name);
    field_number(w, "msgs", r.msgs);
    field_number(w, "milrej", r.milrej);
    field_number(w, "viruses", r.viruses);
    field_number(w, "total", r.total);
}

// The tables of the steps that ran, in the order the steps run. The
// messages/rejects statistics are left out: they repeat the envelope pairs
// and milter rejects, and their own key='value' file already serves scripts.
void write_tables(json_writer& w, const host_info& host, const run_facts& facts)
{
    w.key("tables");
    w.begin_object();
    if (facts.built(build_envelope_domain_statistics))
        write_domain_tables(w, "envelope_domains", host.env_dom);
    if (facts.built(build_relay_domain_statistics))
        write_domain_tables(w, "relay_domains", host.rel_dom);
    if (facts.built(build_envelope_statistics))
        write_envelope(w, host.envelope);
    if (facts.built(build_relay_statistics))
        write_relay(w, host.relay);
    if (facts.built(build_ruleset_statistics))
        write_ruleset(w, host.ruleset);
    if (facts.built(build_milter_statistics))
        write_milter(w, host.milter);
    if (facts.built(build_relay_summary))
        table(w, "relay_summary", host.summary.relays, write_summary_relay);
    if (facts.built(build_recipient_summary))
        table(w, "recipient_summary", host.summary.recipients, write_summary_recipient);
    w.end_object();
}

void write_document(json_writer& w, const run_facts& facts)
{
    w.begin_object();
    w.key("schema_version");
    w.number(std::uint64_t{json_schema_version});
    w.key("run");
    w.tree(run_part(facts));
    w.key("hosts");
    w.begin_array(true);
    for (const host_info& host : used_hosts()) {
        w.begin_object();
        write_general(w, host);
        write_tables(w, host, facts);
        w.end_object();
    }
    w.end_array();
    w.end_object();
    w.finish();
}

}  // namespace

bool write_json_export(const std::string& path, const run_facts& facts)
{
    return write_export(path, "JSON export", [&facts](export_file& out) {
        json_writer writer(out);
        write_document(writer, facts);
    });
}
