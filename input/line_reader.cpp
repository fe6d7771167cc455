// The input loop over raw log text. Each piece is checked in a fixed order
// (length, header, host table, queue id), a dropped line leaves nothing but
// its message, and an accepted line goes to classify_line with its host.
#include "input/line_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "driver/messages.h"
#include "util/text_util.h"
#include "input/classify.h"
#include "model/host_info.h"

std::uint32_t lines_read = 0;

namespace {

constexpr std::size_t shortest_line = 30;

// What is wrong with a line, as its error message names it.
const char* fault_text(line_fault fault)
{
    switch (fault) {
    case line_fault::wrong_month: return "wrong month";
    case line_fault::wrong_conversion: return "wrong conversion (day and time)";
    case line_fault::missing_host: return "missing host";
    case line_fault::missing_process_id: return "missing process_id";
    case line_fault::missing_msg_id_1: return "missing global msg_id (1)";
    case line_fault::missing_msg_id_2: return "missing global msg_id (2)";
    case line_fault::none: break;
    }
    return nullptr;
}

void report_fault(line_fault fault)
{
    if (const char* text = fault_text(fault))
        error_message(format_message("ERROR: %s in line %lu!\n", text, static_cast<unsigned long>(lines_read)));
}

void widen_entry_times(host_info& host, std::time_t line_time)
{
    if (host.first_entry == 0 || host.first_entry > line_time)
        host.first_entry = line_time;
    if (host.last_entry < line_time)
        host.last_entry = line_time;
}

// Fills the queue id fields of `line` when its body has one; false (after
// the message) when the queue id cannot be kept.
bool separate_queue_id(host_info& host, input_line& line)
{
    queue_id_split split = split_queue_id(line.line_body.data());
    if (!split.has_queue_id)
        return true;
    if (line_tracing_enabled())
        verbose_message("Global id found.\n");
    line.msg_id = host.memory.save_text(line.line_body.substr(0, split.id_length));
    if (line.msg_id == nullptr) {
        error_message("ERROR: cannot get memory for global message id!\n");
        return false;
    }
    line.message_text = split.message_text;
    return true;
}

// The pairing index of each host slot.
using host_pairing = std::array<pairing_index, host_table_size>;

// One piece of input, already terminated and without its newline.
void process_line(const char* text, run_date date, line_time_cache& times, host_pairing& pairing)
{
    log_header header;
    if (line_fault fault = parse_log_header(text, date, times, header); fault != line_fault::none) {
        report_fault(fault);
        return;
    }
    host_info* host = find_or_add_host(header.host);
    if (host == nullptr) {
        error_message("ERROR: cannot find host in table!\n");
        return;
    }
    widen_entry_times(*host, header.line_time);

    input_line line;
    line.line = text;
    line.line_body = header.line_body;
    line.line_time = header.line_time;
    line.line_hour = header.line_hour;
    line.line_wday = header.line_wday;
    line.line_mday = header.line_mday;
    if (separate_queue_id(*host, line))
        classify_line(*host, pairing[static_cast<std::size_t>(host - host_table.data())], line);
}

}  // namespace

queue_id_split split_queue_id(const char* body)
{
    queue_id_split split;
    const char* colon = std::strchr(body, ':');
    const char* blank = std::strchr(body, ' ');
    if (colon == nullptr || (blank != nullptr && blank < colon))
        return split;
    split.has_queue_id = true;
    split.id_length = static_cast<std::size_t>(colon - body);
    split.message_text = skip_blanks(std::string_view(colon + 1));
    return split;
}

line_source::line_source(int fd, std::size_t block_size) : source_(fd), block_(block_size) {}

bool line_source::refill()
{
    if (failed_)
        return false;
    ssize_t got = source_.read(block_.data(), block_.size());
    if (got <= 0) {
        // End of input and a read error both end the input; like fgets, a
        // read error also discards the piece read so far.
        failed_ = true;
        read_error_ = got < 0;
        return false;
    }
    pos_ = 0;
    len_ = static_cast<std::size_t>(got);
    return true;
}

bool line_source::next(char (&line)[line_buffer_size])
{
    std::size_t copied = 0;
    while (copied < line_buffer_size - 1) {
        if (pos_ == len_ && !refill())
            break;
        std::size_t avail = std::min(len_ - pos_, line_buffer_size - 1 - copied);
        const char* start = block_.data() + pos_;
        const void* newline = std::memchr(start, '\n', avail);
        std::size_t take = newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - start) + 1 : avail;
        std::memcpy(line + copied, start, take);
        copied += take;
        pos_ += take;
        if (newline)
            break;
    }
    line[copied] = '\0';
    return copied > 0 && !read_error_;
}

void read_log(int fd, const std::tm& now)
{
    const run_date date = run_date_of(now);
    line_time_cache times;
    line_source source(fd);
    char line[line_source::line_buffer_size];
    host_pairing pairing;  // released with the input phase
    while (source.next(line)) {
        ++lines_read;
        std::size_t length = std::strlen(line);
        if (length < shortest_line)
            continue;
        if (line[length - 1] == '\n')
            line[length - 1] = '\0';
        if (line_tracing_enabled())
            verbose_message(format_message("Input %lu: %s\n", static_cast<unsigned long>(lines_read), line));
        process_line(line, date, times, pairing);
    }
    if (source.damaged())
        error_message(format_message("ERROR: compressed input damaged or truncated after line %lu!\n",
                                     static_cast<unsigned long>(lines_read)));
}
