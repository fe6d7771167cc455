// The input loop over raw log text. Each piece is checked in a fixed order
// (length, header, time window, host table, queue id), a dropped line leaves
// nothing but its message, and an accepted line goes to classify_line with
// its host. One line_source reads all files, so every kept piece stays alive.
#include "input/line_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
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

// Where the current line is: its number within its file, and the file's
// name when the run reads several files (null otherwise).
struct line_place {
    unsigned long line = 0;
    const char* file = nullptr;
};

// The line's number as messages give it: "12", or "12 of NAME".
std::string line_number_text(const line_place& place)
{
    if (place.file == nullptr)
        return std::to_string(place.line);
    return format_message("%lu of %s", place.line, place.file);
}

void report_fault(line_fault fault, const line_place& place)
{
    if (const char* text = fault_text(fault))
        error_message(format_message("ERROR: %s in line %s!\n", text, line_number_text(place).c_str()));
}

void widen_entry_times(host_info& host, std::time_t line_time)
{
    if (host.first_entry == 0 || host.first_entry > line_time)
        host.first_entry = line_time;
    if (host.last_entry < line_time)
        host.last_entry = line_time;
}

// Fills the queue id fields of `line` when its body has one: the queue id
// is terminated in place, over its colon, and the line's views end there.
void separate_queue_id(input_line& line, char* text)
{
    queue_id_split split = split_queue_id(line.line_body.data());
    if (!split.has_queue_id)
        return;
    if (line_tracing_enabled())
        verbose_message("Global id found.\n");
    const auto body_offset = static_cast<std::size_t>(line.line_body.data() - text);
    text[body_offset + split.id_length] = '\0';
    line.msg_id = text + body_offset;
    line.line = line.line.substr(0, body_offset + split.id_length);
    line.line_body = line.line_body.substr(0, split.id_length);
    line.message_text = split.message_text;
}

// The pairing index of each host slot.
using host_pairing = std::array<pairing_index, host_table_size>;

// What the loop carries from line to line and from file to file.
struct reader_state {
    run_date date;
    line_window window;
    line_time_cache times;
    host_pairing pairing;  // released with the input phase
    line_place place;
    std::uint64_t outside_window = 0;
};

// One piece of input, already terminated and without its newline.
void process_line(char* text, reader_state& state)
{
    log_header header;
    if (line_fault fault = parse_log_header(text, state.date, state.times, header); fault != line_fault::none) {
        report_fault(fault, state.place);
        return;
    }
    if (!state.window.holds(static_cast<long long>(header.line_time))) {
        ++state.outside_window;
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
    separate_queue_id(line, text);
    classify_line(*host, state.pairing[static_cast<std::size_t>(host - host_table.data())], line);
}

// Every piece `source` hands out until its file ends.
void read_pieces(line_source& source, reader_state& state)
{
    for (line_source::piece piece = source.next(); piece.text != nullptr; piece = source.next()) {
        ++lines_read;
        ++state.place.line;
        // The length as the text reads, its newline counted: the shortest-line test needs no more.
        std::size_t length = strnlen(piece.text, shortest_line);
        if (length == piece.size - 1 && piece.newline)
            ++length;
        if (length < shortest_line)
            continue;
        if (line_tracing_enabled())
            verbose_message(format_message("Input %s: %s\n", line_number_text(state.place).c_str(), piece.text));
        process_line(piece.text, state);
    }
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

line_source::line_source(int fd, arena& keep, std::size_t block_size)
    : source_(std::in_place, fd), keep_(keep), block_size_(std::max(block_size, line_buffer_size + 1))
{
}

void line_source::switch_to(int fd)
{
    source_.emplace(fd);
    if (pos_ != nullptr) {
        // The byte at end_ may terminate the last piece handed out; reads
        // always leave it free, so skipping it stays within the block. A
        // piece begun before a read error is dropped, as fgets would.
        end_ += 1;
        pos_ = end_;
    }
    failed_ = out_of_memory_;
    read_error_ = false;
}

// Room for at least one more byte after the bytes read, one byte always
// kept free for a terminator: a fresh block when the current one is full,
// the piece begun moved to its start.
bool line_source::make_room()
{
    if (pos_ != nullptr && block_end_ - end_ > 1)
        return true;
    auto* fresh = static_cast<char*>(keep_.allocate(block_size_, 1));
    if (fresh == nullptr) {
        out_of_memory_ = true;
        return false;
    }
    const auto begun = static_cast<std::size_t>(end_ - pos_);
    if (begun > 0)
        std::memcpy(fresh, pos_, begun);
    pos_ = fresh;
    end_ = fresh + begun;
    block_end_ = fresh + block_size_;
    return true;
}

bool line_source::refill()
{
    if (failed_)
        return false;
    if (!make_room()) {
        failed_ = true;
        return false;
    }
    ssize_t got = source_->read(end_, static_cast<std::size_t>(block_end_ - end_ - 1));
    if (got <= 0) {
        // End of input and a read error both end the input; like fgets, a
        // read error also discards the piece read so far.
        failed_ = true;
        read_error_ = got < 0;
        return false;
    }
    end_ += got;
    return true;
}

// Hands out the bytes up to `end` as a piece, terminated at `end`.
line_source::piece line_source::cut(char* end, bool newline)
{
    piece result{pos_, static_cast<std::size_t>(end - pos_) + (newline ? 1 : 0), newline};
    *end = '\0';
    pos_ = end + (newline ? 1 : 0);
    return result;
}

line_source::piece line_source::next()
{
    for (;;) {
        const auto read = static_cast<std::size_t>(end_ - pos_);
        if (read > 0) {
            if (auto* newline = static_cast<char*>(std::memchr(pos_, '\n', std::min(read, longest_piece))))
                return cut(newline, true);
            if (read >= longest_piece) {
                // A piece without its newline is copied out: its end is the next piece's start.
                char* copy = keep_.save_text(std::string_view(pos_, longest_piece));
                if (copy == nullptr) {
                    out_of_memory_ = true;
                    failed_ = true;
                    return {};
                }
                pos_ += longest_piece;
                return {copy, longest_piece, false};
            }
        }
        if (!refill()) {
            if (read_error_ || end_ == pos_)
                return {};
            return cut(end_, false);  // the last piece has no newline; the byte after it is free
        }
    }
}

std::uint64_t read_logs(std::span<const log_input> inputs, const std::tm& now, const line_window& window)
{
    if (inputs.empty())
        return 0;
    reader_state state{run_date_of(now), window, {}, {}, {}, 0};
    line_source source(inputs.front().fd, kept_input());
    for (const log_input& input : inputs) {
        if (&input != &inputs.front())
            source.switch_to(input.fd);
        state.place = line_place{0, inputs.size() > 1 ? input.name.c_str() : nullptr};
        read_pieces(source, state);
        const std::string after = line_number_text(state.place);
        if (source.damaged())
            error_message(format_message("ERROR: compressed input damaged or truncated after line %s!\n", after.c_str()));
        if (source.out_of_memory()) {
            error_message(format_message("ERROR: cannot get memory for input after line %s!\n", after.c_str()));
            break;
        }
    }
    return state.outside_window;
}

void read_log(int fd, const std::tm& now)
{
    const log_input input{fd, std::string()};
    read_logs(std::span<const log_input>(&input, 1), now, line_window{});
}
