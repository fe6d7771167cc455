// Writing the Prometheus metrics. Reads the general statistics of every used
// host (trusted); host names come from the log and pass through
// escaped_label_value.
#include "export/prometheus_export.h"

#include <charconv>
#include <cstdint>

#include "driver/messages.h"
#include "export/export_file.h"
#include "export/json_text.h"
#include "export/traffic_figures.h"
#include "model/host_info.h"

namespace {

// One family: its name (after "quelm_") and help text.
struct family {
    const char* name;
    const char* help;
};

// One sample of a host: an optional second label, and the value.
struct sample {
    const char* label = nullptr;  // e.g. "status"; null for none
    const char* kind = nullptr;
    std::int64_t value = 0;
};

void append_number(std::string& out, std::int64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void append_family_head(std::string& out, const family& f)
{
    out.append("# HELP quelm_").append(f.name).append(" ").append(f.help).append("\n");
    out.append("# TYPE quelm_").append(f.name).append(" gauge\n");
}

void append_sample(std::string& out, const family& f, const std::string& host_label, const sample& s)
{
    out.append("quelm_").append(f.name).append("{host=\"").append(host_label).append("\"");
    if (s.label)
        out.append(",").append(s.label).append("=\"").append(s.kind).append("\"");
    out.append("} ");
    append_number(out, s.value);
    out.append("\n");
}

std::int64_t whole(double value)
{
    return static_cast<std::int64_t>(value);
}

// The samples of one family for one host.
using host_samples = std::vector<sample>;

struct host_figures {
    std::string label;  // escaped host name
    const host_info* host;
    recipient_totals recipients;
};

// Every family of host figures with the samples of one host.
struct host_family {
    family f;
    host_samples (*samples)(const host_figures&);
};

host_samples one(std::int64_t value)
{
    return {sample{nullptr, nullptr, value}};
}

const host_family host_families[] = {
    {{"inbound_messages", "Messages received (sender lines paired with their deliveries)."},
     [](const host_figures& h) { return one(h.host->general.in_messages); }},
    {{"inbound_recipients", "Recipients named by the nrcpts= of the messages received."},
     [](const host_figures& h) { return one(static_cast<std::int64_t>(h.recipients.inbound)); }},
    {{"inbound_bytes", "Total size in bytes of every sender line."},
     [](const host_figures& h) { return one(whole(h.host->events.in_total_size)); }},
    {{"inbound_connects", "Inbound connections: messages, rejects, out-of-order senders and non-active clients."},
     [](const host_figures& h) { return one(h.host->general.in_connects); }},
    {{"outbound_messages", "Deliveries (to= lines) of the messages received."},
     [](const host_figures& h) { return one(h.host->general.out_messages); }},
    {{"outbound_recipients", "Recipients of the deliveries, further recipients of a to= list included."},
     [](const host_figures& h) { return one(static_cast<std::int64_t>(h.recipients.outbound)); }},
    {{"deliveries", "Deliveries by status class; unknown_user also counts the User unknown lines."},
     [](const host_figures& h) {
         const general_statistics& g = h.host->general;
         return host_samples{{"status", "sent", g.out_sent},
                             {"status", "deferred", g.out_deferred},
                             {"status", "queued", g.out_queued},
                             {"status", "unknown_user", g.out_unknown_user},
                             {"status", "host_unavailable", g.out_host_unavail},
                             {"status", "service_unavailable", g.out_service_unavail},
                             {"status", "virus", g.out_viruses},
                             {"status", "other_error", g.out_other_error}};
     }},
    {{"deferrals", "Deliveries deferred (also in quelm_deliveries{status=\"deferred\"})."},
     [](const host_figures& h) { return one(h.host->general.out_deferred); }},
    {{"rejects", "Messages rejected, by kind of reject."},
     [](const host_figures& h) {
         return host_samples{{"kind", "ruleset", h.host->general.ruleset_rejects},
                             {"kind", "milter", h.host->general.milter_rejects}};
     }},
    {{"non_active_connections", "Clients that connected and issued no mail command."},
     [](const host_figures& h) { return one(h.host->messages.no_action_msgs); }},
    {{"tls_connections", "STARTTLS lines (TLS/SSL connections)."},
     [](const host_figures& h) { return one(h.host->messages.tls_msgs); }},
    {{"viruses", "Deliveries refused for a virus."},
     [](const host_figures& h) { return one(h.host->general.out_viruses); }},
    {{"syserrs", "SYSERR lines other than too many hops and mail loops."},
     [](const host_figures& h) { return one(h.host->events.other_syserr); }},
    {{"daemon_restarts", "Daemon starts."},
     [](const host_figures& h) { return one(h.host->events.daemon_restarts); }},
    {{"lines_not_understood", "Lines not understood: without queue id (unknown) and with one (other)."},
     [](const host_figures& h) {
         return host_samples{{"kind", "unknown", h.host->messages.unknown_msgs},
                             {"kind", "other", h.host->messages.other_msgs}};
     }},
    {{"first_log_entry_timestamp_seconds", "Time of the host's earliest log line, as a Unix time."},
     [](const host_figures& h) { return one(h.host->first_entry); }},
    {{"last_log_entry_timestamp_seconds", "Time of the host's latest log line, as a Unix time."},
     [](const host_figures& h) { return one(h.host->last_entry); }},
};

void append_run_family(std::string& out, const family& f, std::int64_t value)
{
    append_family_head(out, f);
    out.append("quelm_").append(f.name).append(" ");
    append_number(out, value);
    out.append("\n");
}

void append_escaped_byte(std::string& out, unsigned char c)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    out += "\\\\x";
    out += hex[c >> 4];
    out += hex[c & 15];
}

}  // namespace

std::string escaped_label_value(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            // The longest prefix of well-formed UTF-8 starting here.
            std::size_t length = 2;
            while (length <= 4 && at + length <= text.size() && !is_valid_utf8(text.substr(at, length)))
                ++length;
            if (length <= 4 && at + length <= text.size()) {
                out.append(text.substr(at, length));
                at += length;
            } else {
                append_escaped_byte(out, c);
                ++at;
            }
            continue;
        }
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += static_cast<char>(c);
        ++at;
    }
    return out;
}

std::string prometheus_text(const run_facts& facts)
{
    std::vector<host_figures> hosts;
    for (const host_info& host : used_hosts())
        hosts.push_back({escaped_label_value(host.host_name), &host, count_recipients(host)});

    std::string out;
    for (const host_family& hf : host_families) {
        append_family_head(out, hf.f);
        for (const host_figures& h : hosts)
            for (const sample& s : hf.samples(h))
                append_sample(out, hf.f, h.label, s);
    }
    append_run_family(out, {"lines_read", "Lines read from the input, dropped ones included."},
                      static_cast<std::int64_t>(facts.lines_read));
    append_run_family(out, {"run_timestamp_seconds", "Time of the run, as a Unix time."},
                      static_cast<std::int64_t>(facts.run_time));
    return out;
}

bool write_prometheus_export(const std::string& path, const run_facts& facts)
{
    return write_export(path, "Prometheus export", [&facts](export_file& out) { out.write(prometheus_text(facts)); });
}
