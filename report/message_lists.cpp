// The message list reports. One generic writer prints the frame of every
// list (count line, index, heading, table, back-links); a table of the eight
// reports says what differs, and three row forms print the records. Every
// printed text comes from the log and is untrusted: in HTML it goes through
// html_cell_text or html_text, in ASCII it prints unchanged.
#include "report/message_lists.h"

#include <cstdint>
#include <span>

#include "driver/settings.h"
#include "util/text_util.h"
#include "report/report_writer.h"
#include "model/host_info.h"

namespace {

using count_field = std::uint32_t message_model::*;
using row_writer = void (*)(report_file& out, const host_info& host, int format);

// What one list report has of its own.
struct list_report {
    const char* token;                        // open-failure message
    const char* count_label;                  // ASCII count line, before the number(s)
    count_field first_count;
    count_field second_count;                 // null: the report has one counter
    const char* index_title;
    std::span<const char* const> columns;     // header cells of the HTML table
    row_writer rows;                          // the host's records, in list order
};

constexpr const char* message_columns[] = {"Message"};
constexpr const char* timed_columns[] = {"Message Time", "Message ID", "Message Text"};
constexpr const char* no_action_columns[] = {"Message Time", "Message Id", "Host", "Reason"};

void open_row(report_file& out)
{
    out.write("      <TR>\n");
}

void close_row(report_file& out)
{
    out.write("      </TR>\n");
}

void left_cell(report_file& out, const char* text)
{
    out.print("        <TD ALIGN=left>%s</TD>\n", text);
}

void left_cell(report_file& out, const std::string& text)
{
    left_cell(out, text.c_str());
}

void left_cell(report_file& out, const html_escaped& text)
{
    left_cell(out, text.c_str());
}

// A whole line kept without queue id (TLS/SSL and unknown lists).
void ascii_row(report_file& out, const msg_line& record)
{
    out.print("%s\n", text_or_null(record.line_txt));
}

void html_row(report_file& out, const msg_line& record)
{
    open_row(out);
    left_cell(out, html_cell_text(record.line_txt));
    close_row(out);
}

// A client that never issued a mail command. The address shows only in
// HTML; the ASCII row has the client text and the action text.
void ascii_row(report_file& out, const msg_no_action& record)
{
    out.print("%s %s\n", text_or_null(record.client_txt), text_or_null(record.action_txt));
}

void html_row(report_file& out, const msg_no_action& record)
{
    open_row(out);
    left_cell(out, time_text(record.msg_time));
    left_cell(out, html_text(record.msg_id));
    if (record.relay_info.ip_address != nullptr)
        out.print("        <TD ALIGN=left>%s [%s]</TD>\n", html_text(record.client_txt).c_str(),
                  html_text(record.relay_info.ip_address).c_str());
    else
        left_cell(out, html_text(record.client_txt));
    left_cell(out, html_text(record.action_txt));
    close_row(out);
}

// Every other record: line time, queue id and message text.
template <class Record>
void ascii_row(report_file& out, const Record& record)
{
    out.print("%s : %s : %s\n", time_text(record.msg_time).c_str(), text_or_null(record.msg_id),
              text_or_null(record.msg_txt));
}

template <class Record>
void html_row(report_file& out, const Record& record)
{
    open_row(out);
    left_cell(out, time_text(record.msg_time));
    left_cell(out, html_text(record.msg_id));
    left_cell(out, html_cell_text(record.msg_txt));
    close_row(out);
}

template <class List>
void write_rows(report_file& out, const List& list, int format)
{
    for (const auto* record = list.head; record != nullptr; record = record->next) {
        if (format == FORMAT_ASCII)
            ascii_row(out, *record);
        else
            html_row(out, *record);
    }
}

unsigned long list_count(const host_info& host, count_field field)
{
    return host.messages.*field;
}

void write_ascii(report_file& out, const list_report& report)
{
    for (const host_info& host : used_hosts()) {
        out.print("host: %s\n", host.host_name.c_str());
        out.print("%s%lu", report.count_label, list_count(host, report.first_count));
        if (report.second_count)
            out.print(" %lu", list_count(host, report.second_count));
        out.write("\n\n");
        report.rows(out, host, FORMAT_ASCII);
        out.write("\n");
    }
}

void write_html_list_index(report_file& out, const list_report& report)
{
    write_html_index_heading(out);
    for (const host_info& host : used_hosts()) {
        write_html_host_index_start(out, host.host_name.c_str());
        write_html_index_item(out, host.host_name.c_str(), "list", report.index_title);
        out.write("    </UL>\n");
    }
    out.write("    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n");
}

void write_html_heading(report_file& out, const list_report& report, const host_info& host)
{
    std::string name = html_text(host.host_name.c_str());
    if (report.second_count)
        out.print("    <H3>%s (%lu) (%lu)</H3>\n", name.c_str(), list_count(host, report.first_count),
                  list_count(host, report.second_count));
    else
        out.print("    <H3>%s (%lu)</H3>\n", name.c_str(), list_count(host, report.first_count));
}

void write_table_header(report_file& out, std::span<const char* const> columns)
{
    out.write("    <TABLE BORDER=1 WIDTH=\"90%\">\n      <TR>\n");
    for (const char* title : columns)
        out.print("        <TD BGCOLOR=\"#%s\">%s</TD>\n", settings.header_color.c_str(), title);
    out.write("      </TR>\n");
}

void write_html_section(report_file& out, const list_report& report, const host_info& host)
{
    std::string anchor = html_attribute(host.host_name.c_str());
    out.print("    <A NAME=%s></A>\n", anchor.c_str());
    write_html_heading(out, report, host);
    out.print("    <A NAME=%slist></A>\n", anchor.c_str());
    write_table_header(out, report.columns);
    report.rows(out, host, FORMAT_HTML);
    out.write("    </TABLE><P>\n");
    write_html_back_links(out, host.host_name.c_str());
}

void write_html(report_file& out, const list_report& report)
{
    write_html_header(out);
    write_html_list_index(out, report);
    for (const host_info& host : used_hosts())
        write_html_section(out, report, host);
    write_html_footer(out);
}

int write_list_report(const list_report& report, const std::string& path, int format)
{
    report_file out(path, report.token);
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii(out, report);
    else if (format == FORMAT_HTML)
        write_html(out, report);
    return 0;
}

const list_report tls_report{
    "tls_msg_out", "tls messages: ", &message_model::tls_msgs, nullptr, "TLS/SSL messages list", message_columns,
    [](report_file& out, const host_info& host, int format) { write_rows(out, host.messages.tls_list, format); }};

const list_report unknown_report{
    "unk_msg_out", "unknown messages: ", &message_model::unknown_msgs, nullptr, "Unknown messages list",
    message_columns,
    [](report_file& out, const host_info& host, int format) { write_rows(out, host.messages.unknown_list, format); }};

const list_report no_action_report{
    "no_actv_msg_out", "non-active messages: ", &message_model::no_action_msgs, nullptr,
    "Non-active clients messages list", no_action_columns,
    [](report_file& out, const host_info& host, int format) { write_rows(out, host.messages.no_action_list, format); }};

const list_report other_report{
    "oth_msg_out", "other messages: ", &message_model::other_msgs, nullptr, "Other messages list", timed_columns,
    [](report_file& out, const host_info& host, int format) { write_rows(out, host.messages.other_list, format); }};

const list_report unknown_user_report{
    "unk_user_msg_out", "unknown user messages: ", &message_model::unknown_user_msgs, nullptr,
    "Unknown user messages list", timed_columns,
    [](report_file& out, const host_info& host, int format) { write_rows(out, host.messages.unknown_user_list, format); }};

const list_report milter_out_of_order_report{
    "mil_out_of_order_msg_out", "out-of-order milter/rejects messages : ", &message_model::milter_msgs_ooo, nullptr,
    "Order-of-out milter/rejects messages list", timed_columns,
    [](report_file& out, const host_info& host, int format) { write_rows(out, host.messages.milter_list, format); }};

const list_report ruleset_out_of_order_report{
    "rul_out_of_order_msg_out", "out-of-order ruleset/rejects messages : ", &message_model::ruleset_msgs_ooo, nullptr,
    "Order-of-out ruleset/rejects messages list", timed_columns,
    [](report_file& out, const host_info& host, int format) { write_rows(out, host.messages.ruleset_list, format); }};

// Waiting senders first, then the deliveries that found no sender, in one table.
const list_report messages_out_of_order_report{
    "msg_out_of_order_msg_out", "out-of-order from/to messages : ", &message_model::from_msgs_ooo,
    &message_model::to_msgs_ooo, "Order-of-out from/to messages list", timed_columns,
    [](report_file& out, const host_info& host, int format) {
        write_rows(out, host.messages.from_list, format);
        write_rows(out, host.messages.to_list, format);
    }};

}  // namespace

int write_tls_messages(const std::string& path, int format)
{
    return write_list_report(tls_report, path, format);
}

int write_unknown_messages(const std::string& path, int format)
{
    return write_list_report(unknown_report, path, format);
}

int write_no_action_messages(const std::string& path, int format)
{
    return write_list_report(no_action_report, path, format);
}

int write_other_messages(const std::string& path, int format)
{
    return write_list_report(other_report, path, format);
}

int write_unknown_user_messages(const std::string& path, int format)
{
    return write_list_report(unknown_user_report, path, format);
}

int write_milter_out_of_order(const std::string& path, int format)
{
    return write_list_report(milter_out_of_order_report, path, format);
}

int write_ruleset_out_of_order(const std::string& path, int format)
{
    return write_list_report(ruleset_out_of_order_report, path, format);
}

int write_messages_out_of_order(const std::string& path, int format)
{
    return write_list_report(messages_out_of_order_report, path, format);
}
