// The report framework: file handling, the HTML frame and per-host index
// fragments, and the text helpers. The escaping functions are the only way
// log-derived text enters HTML.
#include "report/report_writer.h"

#include "report/report_format.h"

#include <cmath>
#include <cstring>

#include "driver/messages.h"
#include "driver/settings.h"
#include "util/text_util.h"
#include "model/host_info.h"

std::time_t report_time = 0;

namespace {

constexpr std::size_t cell_buffer_size = 512;
constexpr std::size_t stream_buffer_size = 1 << 16;

// Copies `length` characters, each replaced through `entity_of` (null: the
// character itself), cut before the first piece that would not fit.
template <class EntityOf>
int escape_into(const char* source, std::size_t length, char* destination, std::size_t size, EntityOf entity_of)
{
    if (source == nullptr || destination == nullptr || length == 0 || length > size)
        return -1;
    std::size_t used = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char* entity = entity_of(source[i]);
        std::size_t piece = entity ? std::strlen(entity) : 1;
        if (used + piece >= size)
            break;
        if (entity)
            std::memcpy(destination + used, entity, piece);
        else
            destination[used] = source[i];
        used += piece;
    }
    destination[used] = '\0';
    return 0;
}

const char* angle_entity(char c)
{
    return c == '<' ? "&lt;" : c == '>' ? "&gt;" : nullptr;
}

const char* space_entity(char c)
{
    return c == ' ' ? "&nbsp;" : nullptr;
}

// The first '<' or '>' of a text, or its terminator ('<' and '>' are the
// only bytes that become '>' with bit 1 set).
const char* first_angle(const char* text)
{
    while (*text != '\0' && (*text | 2) != '>')
        ++text;
    return text;
}

// Appends one group of digits, zero-padded to three when `padded`: 0 to 999
// directly, any other value (a float rounding at the edge) as "%d" would.
void append_group(std::string& out, int group, bool padded)
{
    if (group < 0 || group > 999) {
        char piece[16];
        std::snprintf(piece, sizeof piece, padded ? "%03d" : "%d", group);
        out += piece;
        return;
    }
    const char digits[3] = {static_cast<char>('0' + group / 100), static_cast<char>('0' + group / 10 % 10),
                            static_cast<char>('0' + group % 10)};
    const int skip = padded ? 0 : group >= 100 ? 0 : group >= 10 ? 1 : 2;
    out.append(digits + skip, static_cast<std::size_t>(3 - skip));
}

}  // namespace

report_file::report_file(const std::string& path, const char* token, const char* open_failure) : token_(token)
{
    if (path.empty()) {
        stream_ = stdout;
        return;
    }
    stream_ = std::fopen(path.c_str(), "w");
    if (stream_ == nullptr) {
        if (open_failure)
            error_message(open_failure);
        else
            error_message(format_message("ERROR: cannot open %s file!\n", token));
        return;
    }
    owned_ = true;
    std::setvbuf(stream_, nullptr, _IOFBF, stream_buffer_size);
}

report_file::~report_file()
{
    if (stream_ == nullptr)
        return;
    flush_buffer();
    bool failed = std::ferror(stream_) != 0;
    if (owned_)
        failed = (std::fclose(stream_) != 0) || failed;
    else
        failed = (std::fflush(stream_) != 0) || failed;
    if (failed)
        error_message(format_message("ERROR: cannot write %s file!\n", token_.c_str()));
}

void report_file::flush_buffer()
{
    if (!buffer_.empty())
        std::fwrite(buffer_.data(), 1, buffer_.size(), stream_);
    buffer_.clear();
}

void report_file::print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    if (!append_formatted(buffer_, format, args)) {
        // A conversion the report formatter does not know: the C library's.
        va_list again;
        va_copy(again, args);
        int length = std::vsnprintf(nullptr, 0, format, again);
        va_end(again);
        if (length > 0) {
            std::size_t start = buffer_.size();
            buffer_.resize(start + static_cast<std::size_t>(length) + 1);
            std::vsnprintf(buffer_.data() + start, static_cast<std::size_t>(length) + 1, format, args);
            buffer_.resize(start + static_cast<std::size_t>(length));
        }
    }
    va_end(args);
    if (buffer_.size() >= stream_buffer_size)
        flush_buffer();
}

void report_file::write(std::string_view text)
{
    buffer_.append(text);
    if (buffer_.size() >= stream_buffer_size)
        flush_buffer();
}

std::string report_time_text()
{
    std::tm local{};
    localtime_r(&report_time, &local);
    char generated[64];
    if (asctime_r(&local, generated) == nullptr)
        generated[0] = '\0';
    cut_at_newline(generated);
    return generated;
}

void write_html_header(report_file& out)
{
    const std::string generated = report_time_text();
    out.write("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n");
    out.print("<HTML>\n  <HEAD>\n    <META http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
              "    <META name=\"Generator\" content=\"QUELM_STAT version %s\">\n",
              program_version);
    out.print("    <TITLE>sendmail log analysis report</TITLE>\n  </HEAD>\n\n  <BODY TEXT=\"#000000\" BGCOLOR=\"#%s\" "
              "LINK=\"#0000ff\" VLINK=\"#000080\" ALINK=\"#ff0000\">\n",
              settings.body_color.c_str());
    out.print("    <H1>%s</H1>\n", settings.page_heading.c_str());
    out.print("    <I>Generated at %s by QUELM_STAT, version %s</I>\n", generated.c_str(), program_version);
    out.write("    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n");
}

void write_html_footer(report_file& out)
{
    out.write("    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n  </BODY>\n</HTML>\n");
}

void write_html_index_heading(report_file& out)
{
    out.write("    <A NAME=index></A>\n    <H2>Index</H2>\n");
}

void write_html_host_index_start(report_file& out, const char* host)
{
    out.print("    <A HREF=\"#%s\">%s</A><BR>\n    <UL>\n", html_attribute(host).c_str(), html_text(host).c_str());
}

void write_html_index_item(report_file& out, const char* host, const char* suffix, const char* title)
{
    out.print("      <LI><A HREF=\"#%s%s\">%s</A></LI>\n", html_attribute(host).c_str(), suffix, title);
}

void write_html_back_links(report_file& out, const char* host)
{
    out.print("    [<A HREF=\"#index\">Index</A>]\n    [<A HREF=\"#%s\">%s</A>]\n\n", html_attribute(host).c_str(),
              html_text(host).c_str());
}

int escape_angles(const char* source, std::size_t length, char* destination, std::size_t size)
{
    return escape_into(source, length, destination, size, angle_entity);
}

int escape_spaces(const char* source, std::size_t length, char* destination, std::size_t size)
{
    return escape_into(source, length, destination, size, space_entity);
}

html_escaped html_cell_text(const char* text)
{
    if (text == nullptr)
        return html_escaped();
    std::size_t length = std::strlen(text);
    if (length == 0 || length > cell_buffer_size)
        return html_escaped();
    if (length < cell_buffer_size && *first_angle(text) == '\0')
        return html_escaped(text);  // fits the cell unchanged
    char buffer[cell_buffer_size];
    if (escape_angles(text, length, buffer, sizeof buffer) != 0)
        return html_escaped();
    return html_escaped(std::string(buffer));
}

html_escaped html_text(const char* text)
{
    if (text == nullptr)
        return html_escaped(text);
    const char* angle = first_angle(text);
    if (*angle == '\0')
        return html_escaped(text);
    std::string out(text, angle);
    for (const char* c = angle; *c; ++c) {
        if (const char* entity = angle_entity(*c))
            out += entity;
        else
            out += *c;
    }
    return html_escaped(std::move(out));
}

std::string html_attribute(const char* text)
{
    std::string out;
    if (text == nullptr)
        return out;
    for (const char* c = text; *c; ++c) {
        unsigned char u = static_cast<unsigned char>(*c);
        if (u <= 0x20 || u == 0x7F || std::strchr("<>\"'&=`", *c)) {
            char entity[8];
            std::snprintf(entity, sizeof entity, "&#%u;", u);
            out += entity;
        } else {
            out += *c;
        }
    }
    return out;
}

std::string format_grouped(double value)
{
    char piece[32];
    double remainder = value - 1000 * std::floor(value / 1000);
    double rest = (value - remainder) / 1000;
    if (!(rest > 0)) {
        std::snprintf(piece, sizeof piece, "%d", static_cast<int>(remainder));
        return piece;
    }
    // Groups from the right, each " ddd"; the leftmost group goes in front.
    // A finite double has at most 103 groups of three digits.
    int groups[104];
    std::size_t count = 0;
    for (;;) {
        groups[count++] = static_cast<int>(remainder);
        if (rest < 1000 || count == std::size(groups))
            break;
        remainder = rest - 1000 * std::floor(rest / 1000);
        rest = (rest - remainder) / 1000;
    }
    std::string text;
    text.reserve(4 * count + 3);
    append_group(text, static_cast<int>(rest), false);
    while (count > 0) {
        text += ' ';
        append_group(text, groups[--count], true);
    }
    return text;
}

void write_spaced_size_cell(report_file& out, double size)
{
    const std::string grouped = format_grouped(size);
    char spaced[64];
    if (escape_spaces(grouped.c_str(), grouped.size(), spaced, sizeof spaced) != 0)
        spaced[0] = '\0';
    out.print("        <TD ALIGN=center>%s</TD>\n", spaced);
}

std::string first_last_time_text(std::time_t first, std::time_t last)
{
    char first_text[32] = "", last_text[32] = "", joined[128];
    std::tm local{};
    if (localtime_r(&first, &local))
        std::strftime(first_text, sizeof first_text, "%T", &local);
    if (first == last)
        return first_text;
    if (localtime_r(&last, &local))
        std::strftime(last_text, sizeof last_text, "%T", &local);
    std::snprintf(joined, sizeof joined, "%s,%s", first_text, last_text);
    return joined;
}

float percent_of(double count, double total)
{
    if (!(total > 0))
        return 0;
    return static_cast<float>(count * 100 / total);
}

std::string report_path_for(const setting_text& file_name)
{
    char path[512] = {};
    if (settings.OutputBaseDir) {
        safe_copy(path, settings.OutputBaseDir->c_str(), sizeof path);
        safe_append(path, "/", sizeof path);
    }
    if (file_name)
        safe_append(path, file_name->c_str(), sizeof path);
    return path;
}

void write_view_heading(report_file& out, const char* heading, const host_info& host, unsigned long count)
{
    out.print("    <H3>%s (%lu %s)</H3>\n", html_text(host.host_name.c_str()).c_str(), count, heading);
}

void write_sectioned_report(report_file& out, std::span<const html_section> sections, const char* rule_after_index,
                            const char* section_rule, bool rule_after_last)
{
    write_html_header(out);
    write_html_index_heading(out);
    for (const host_info& host : used_hosts()) {
        write_html_host_index_start(out, host.host_name.c_str());
        for (const html_section& section : sections)
            write_html_index_item(out, host.host_name.c_str(), section.suffix, section.index_title);
        out.write("    </UL>\n");
    }
    out.write(rule_after_index);
    for (host_info& host : used_hosts()) {
        const std::string anchor = html_attribute(host.host_name.c_str());
        for (std::size_t i = 0; i < sections.size(); ++i) {
            const html_section& section = sections[i];
            out.print("    <A NAME=%s></A>\n", anchor.c_str());
            write_view_heading(out, section.heading, host, section.count(host));
            out.print("    <A NAME=%s%s></A>\n", anchor.c_str(), section.suffix);
            section.body(out, host);
            write_html_back_links(out, host.host_name.c_str());
            if (i + 1 < sections.size() || rule_after_last)
                out.write(section_rule);
        }
    }
    write_html_footer(out);
}

void write_split_report(std::span<const split_view> views)
{
    for (const split_view& view : views) {
        const setting_text& name = settings.*view.file_name;
        if (!name)
            continue;
        report_file out(report_path_for(name), view.token, view.open_failure);
        if (!out)
            continue;
        write_html_header(out);
        for (host_info& host : used_hosts()) {
            write_view_heading(out, view.heading, host, view.count(host));
            view.body(out, host);
        }
        write_html_footer(out);
    }
}
