// Writing the messages/rejects statistics file: one key='value' line per
// record of every used host, in table order. Reads the built records
// (trusted); their texts come from the log and are written unchanged, an
// absent text printed through %s as "(null)".
#include "report/msg_rej_report.h"

#include <cstdint>
#include <cstdio>

#include "util/text_util.h"
#include "report/report_writer.h"
#include "model/host_info.h"

namespace {

constexpr std::size_t head_buffer_size = 512;

// Host, date and sender, cut to the 511 characters of the line head.
void write_line_head(report_file& out, const host_info& host, const msg_rej_stat& record)
{
    char head[head_buffer_size];
    std::snprintf(head, sizeof head, "host='%s' date='%s' envfrom='%s'", host.host_name.c_str(),
                  text_or_null(record.date), text_or_null(record.envfrom));
    out.write(head);
}

// " key='name'" or, with an address text, " key='name (address)'".
void write_relay(report_file& out, const char* key, const char* name, const char* address)
{
    if (address)
        out.print(" %s='%s (%s)'", key, text_or_null(name), address);
    else
        out.print(" %s='%s'", key, text_or_null(name));
}

void write_count(report_file& out, const char* key, std::uint32_t count)
{
    if (count != 0)
        out.print(" %s='%lu'", key, ul(count));
}

void write_line(report_file& out, const host_info& host, const msg_rej_stat& record)
{
    write_line_head(out, host, record);
    write_relay(out, "relayfrom", record.relayfrom, record.relayfrom_ip);
    if (record.envrcpt)
        out.print(" envrcpt='%s'", record.envrcpt);
    if (record.relayto)
        write_relay(out, "relayto", record.relayto, record.relayto_ip);
    write_count(out, "accepted", record.accepted);
    write_count(out, "sent", record.sent);
    write_count(out, "virus", record.virus);
    write_count(out, "other", record.other);
    write_count(out, "rejmilter", record.rejmilter);
    out.write("\n");
}

}  // namespace

int write_msg_rej_stat(const std::string& path, int /*format*/)
{
    report_file out(path, "msg_rej_stat");
    if (!out)
        return 1;
    for (const host_info& host : used_hosts())
        for (const msg_rej_stat& record : host.msg_rej)
            write_line(out, host, record);
    return 0;
}
