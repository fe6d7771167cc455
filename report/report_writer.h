// What every report writer shares: opening its file (standard output for an
// empty path) with the open-failure message, the HTML document frame, the
// per-host index and back-links, and the text helpers (escaping, digit
// grouping, time texts, percentages). Log-derived text reaches HTML only
// through the escaping functions here; ASCII forms print it unchanged.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <ctime>
#include <string>
#include <span>
#include <string_view>
#include <utility>

#include "driver/settings.h"
#include "model/host_info.h"
#include "util/text_util.h"  // time_text

enum output_format { FORMAT_ASCII = 0, FORMAT_HTML = 1 };

// A 32-bit counter as the "%lu" argument the report formats take.
inline unsigned long ul(std::uint32_t value)
{
    return value;
}

// The colour of every table header cell.
inline const char* color()
{
    return settings.header_color.c_str();
}

// The report time: the driver sets it right before the print phase.
extern std::time_t report_time;

// report_time as the reports show it: asctime's text without its newline.
std::string report_time_text();

// An open report. Standard output (for an empty path) is never closed; a
// file is closed when the object goes away. A write or close that fails
// (a full disk) is reported as "ERROR: cannot write <token> file!\n"; the
// run goes on.
class report_file {
public:
    // Opens `path` with mode "w"; on failure writes `open_failure` (when the
    // report's message does not follow the usual form) or
    // "ERROR: cannot open <token> file!\n", and the object tests false.
    report_file(const std::string& path, const char* token, const char* open_failure = nullptr);
    ~report_file();
    report_file(const report_file&) = delete;
    report_file& operator=(const report_file&) = delete;

    explicit operator bool() const { return stream_ != nullptr; }
    std::FILE* stream() const { return stream_; }

    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void write(std::string_view text);

private:
    void flush_buffer();

    std::FILE* stream_ = nullptr;
    bool owned_ = false;
    std::string token_;   // names the report in the write-failure message
    std::string buffer_;  // text not yet handed to the stream
};

// The document frame of every HTML report; the header shows `report_time`.
void write_html_header(report_file& out);
void write_html_footer(report_file& out);

// "    <A NAME=index></A>\n    <H2>Index</H2>\n"
void write_html_index_heading(report_file& out);
// "    <A HREF=\"#host\">host</A><BR>\n" and "    <UL>\n"
void write_html_host_index_start(report_file& out, const char* host);
// "      <LI><A HREF=\"#<host><suffix>\"><title></A></LI>\n"
void write_html_index_item(report_file& out, const char* host, const char* suffix, const char* title);
// "    [<A HREF=\"#index\">Index</A>]\n" and "    [<A HREF=\"#host\">host</A>]\n\n"
void write_html_back_links(report_file& out, const char* host);

// Copies `length` characters of `source` into `destination` with "<" as
// "&lt;" and ">" as "&gt;", cut before the first character or entity that
// would not fit; -1 (nothing written) for a null or empty source, a null
// destination or a length above the destination size.
int escape_angles(const char* source, std::size_t length, char* destination, std::size_t size);
// The same with each blank as "&nbsp;" and nothing else changed.
int escape_spaces(const char* source, std::size_t length, char* destination, std::size_t size);

// A text ready for HTML: the original text when nothing in it needs a
// change (no copy is made), else its escaped copy.
class html_escaped {
public:
    html_escaped() = default;
    explicit html_escaped(const char* plain) : plain_(plain ? plain : "") {}
    explicit html_escaped(std::string escaped) : escaped_(std::move(escaped)), copied_(true) {}

    const char* c_str() const { return copied_ ? escaped_.c_str() : plain_; }
    std::size_t size() const { return copied_ ? escaped_.size() : std::strlen(plain_); }
    operator std::string() const { return c_str(); }
    friend bool operator==(const html_escaped& a, std::string_view b) { return std::string_view(a.c_str()) == b; }
    friend std::ostream& operator<<(std::ostream& out, const html_escaped& text) { return out << text.c_str(); }

private:
    const char* plain_ = "";
    std::string escaped_;
    bool copied_ = false;
};

// A log-derived text for an HTML cell: escape_angles into a 512-byte buffer;
// a text it refuses prints as an empty cell. Null prints as empty.
html_escaped html_cell_text(const char* text);
// A log-derived text written where the report shows it whole (headings,
// status and action texts): "<" and ">" escaped, no length limit.
html_escaped html_text(const char* text);
// A log-derived text inside an attribute or anchor name (host names): also
// quotes, ampersands, blanks and control characters become character
// references, so the text cannot leave its attribute.
std::string html_attribute(const char* text);

// Digits in groups of three separated by a blank ("1 234 567"); fractions
// are truncated.
std::string format_grouped(double value);
// "        <TD ALIGN=center>%s</TD>\n" with the grouped size, blanks as "&nbsp;".
void write_spaced_size_cell(report_file& out, double size);
// "hh:mm:ss" (local time) of `first`, or "first,last" when the two differ.
std::string first_last_time_text(std::time_t first, std::time_t last);

// count * 100 / total in single precision, 0 when the total is 0.
float percent_of(double count, double total);

// ---- Reports with sorted views ---------------------------------------------

// The number a view's heading shows for one host.
using host_count = unsigned long (*)(const host_info& host);
// Sorts the host's table for the view and writes it (nothing for a view that
// shows only its heading).
using host_body = void (*)(report_file& out, host_info& host);

// The size of a host's table, named by its part and the table in the part:
// table_size<&host_info::envelope, &envelope_statistics::pairs>.
template <auto Part, auto Table>
unsigned long table_size(const host_info& host)
{
    return count_of(host.*Part.*Table);
}

// One section of a single-file HTML report with sorted views.
struct html_section {
    const char* suffix;       // anchor suffix after the host name ("envsiz")
    const char* index_title;  // text of the index item
    const char* heading;      // "    <H3><host> (<count> <heading>)</H3>\n"
    host_count count;
    host_body body;
};

// One file of a report in split mode, and its link on the HTML index.
struct split_view {
    setting_text program_settings::*file_name;
    const char* token;         // names the file in the open- and write-failure messages
    const char* open_failure;  // the whole open-failure message where it is irregular, else null
    const char* heading;       // as in html_section
    host_count count;
    host_body body;
    const char* index_title;   // text of the link on the index page
    int index_slot;            // place of the link among the report's links
    bool break_before;         // a "<BR>" line comes before the link
};

// Header; the index with every section per host; `rule_after_index`; per
// host each section (host anchor, heading, section anchor, body, back-links)
// with `section_rule` between the sections of a host (and after the last
// one with `rule_after_last`); footer.
void write_sectioned_report(report_file& out, std::span<const html_section> sections, const char* rule_after_index,
                            const char* section_rule = "    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n",
                            bool rule_after_last = false);

// For each view whose key is set, in order: the file OutputBaseDir/key
// (its own open-failure message when it cannot be opened), header, per host
// heading and body, footer.
void write_split_report(std::span<const split_view> views);

// The path of a report file: OutputBaseDir + "/" + name, or the name alone,
// cut to 511 characters.
std::string report_path_for(const setting_text& file_name);

// The heading line of a view for one host (host name escaped for HTML).
void write_view_heading(report_file& out, const char* heading, const host_info& host, unsigned long count);
