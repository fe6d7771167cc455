// Writing the messages/rejects statistics file: one key='value' line per
// record of every used host, in table order. Reads the built records
// (trusted); their texts come from the log: inside a value a backslash is
// written "\\" and a single quote "\'", any other byte unchanged, an absent
// text as "(null)". A value without either is written exactly as it is.
#include "report/msg_rej_report.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "util/text_util.h"
#include "report/report_writer.h"
#include "model/host_info.h"

namespace {

constexpr std::size_t line_head_limit = 511;

// Appends the value as written between the quotes: unchanged when it holds
// neither a backslash nor a single quote, else with both escaped by a
// backslash. `Out` has append(const char*, size_t).
template <class Out>
void append_value(Out& out, std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t at = text.find_first_of("\\'"); at != std::string_view::npos;
         at = text.find_first_of("\\'", start)) {
        out.append(text.data() + start, at - start);
        out.append(text[at] == '\\' ? "\\\\" : "\\'", 2);
        start = at + 1;
    }
    out.append(text.data() + start, text.size() - start);
}

// The host, date and sender fields that open a line: together they keep
// to the first line_head_limit characters of the line (a value cut there
// is closed with its quote, never cut inside an escape pair; a key that
// does not fit is left out with every field after it).
class line_head {
public:
    void add(const char* separator, const char* key, const char* value)
    {
        if (full_)
            return;
        const std::size_t field_start = text_.size();
        text_ += separator;
        text_ += key;
        text_ += "='";
        if (text_.size() > line_head_limit) {
            text_.resize(field_start);
            full_ = true;
            return;
        }
        const std::size_t value_start = text_.size();
        append_value(text_, text_or_null(value));
        if (text_.size() > line_head_limit) {
            full_ = true;
            std::size_t kept = line_head_limit;
            std::size_t backslashes = 0;
            while (kept - backslashes > value_start && text_[kept - 1 - backslashes] == '\\')
                ++backslashes;
            if (backslashes % 2 == 1)
                --kept;  // the cut would split an escape pair
            text_.resize(kept);
        }
        text_ += '\'';
    }

    const std::string& text() const { return text_; }

private:
    std::string text_;
    bool full_ = false;
};

// Writes straight into the report.
struct report_appender {
    report_file& out;
    void append(const char* text, std::size_t length) { out.write(std::string_view(text, length)); }
};

void write_line_head(report_file& out, const host_info& host, const msg_rej_stat& record)
{
    line_head head;
    head.add("", "host", host.host_name.c_str());
    head.add(" ", "date", record.date);
    head.add(" ", "envfrom", record.envfrom);
    out.write(head.text());
}

// " key='value'".
void write_field(report_file& out, const char* key, const char* value)
{
    report_appender to{out};
    out.write(" ");
    out.write(key);
    out.write("='");
    append_value(to, text_or_null(value));
    out.write("'");
}

// " key='name'" or, with an address text, " key='name (address)'".
void write_relay(report_file& out, const char* key, const char* name, const char* address)
{
    if (address == nullptr) {
        write_field(out, key, name);
        return;
    }
    report_appender to{out};
    out.write(" ");
    out.write(key);
    out.write("='");
    append_value(to, text_or_null(name));
    out.write(" (");
    append_value(to, address);
    out.write(")'");
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
        write_field(out, "envrcpt", record.envrcpt);
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
