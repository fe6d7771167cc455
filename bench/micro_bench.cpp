// quelm_micro_bench: micro-benchmarks of the hot functions of each phase on
// the lines of one generated log (100,000 lines, no broken ones): the block
// reader, the syslog header parser and line times, classification and the
// field extraction behind it, and the HTML text helpers and report writers.
// Each benchmark runs over the whole batch of lines per iteration, so
// items/s is lines (or texts) per second.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "driver/settings.h"
#include "util/arena.h"
#include "input/classify.h"
#include "input/field_extraction.h"
#include "input/line_reader.h"
#include "input/log_header.h"
#include "report/envelope_report.h"
#include "report/general_report.h"
#include "report/report_writer.h"
#include "stats/build_phase.h"
#include "model/host_info.h"
#include "tools/loggen/log_generator.h"

namespace {

constexpr std::uint64_t log_seed = 7;
constexpr std::size_t log_lines = 100'000;
// read_log drops pieces shorter than this; the prepared lines do the same.
constexpr std::size_t shortest_line = 30;

// The run date: January 15, 2025, so the December lines belong to 2024.
std::tm run_time()
{
    std::tm now{};
    now.tm_year = 125;
    now.tm_mon = 0;
    now.tm_mday = 15;
    now.tm_hour = 12;
    now.tm_isdst = -1;
    return now;
}

// ---- The generated log and what is prepared from it -----------------------

const std::string& log_text()
{
    static const std::string text = [] {
        // No broken lines: their error messages would flood the terminal.
        log_generator_options options;
        options.malformed_permille = 0;
        return generate_log(log_seed, log_lines, options);
    }();
    return text;
}

// The log in an unlinked temporary file, for the benchmarks that read a
// file descriptor. -1 when it cannot be written.
int log_file()
{
    static const int fd = [] {
        std::string path = (std::filesystem::temp_directory_path() / "quelm_micro_XXXXXX").string();
        int file = ::mkstemp(path.data());
        if (file < 0)
            return -1;
        ::unlink(path.c_str());
        const std::string& text = log_text();
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t put = ::write(file, text.data() + done, text.size() - done);
            if (put <= 0) {
                ::close(file);
                return -1;
            }
            done += static_cast<std::size_t>(put);
        }
        return file;
    }();
    return fd;
}

// Every line of the log long enough to be read, newline removed. The strings
// never move again, so views and pointers into them stay valid.
const std::vector<std::string>& lines()
{
    static const std::vector<std::string> all = [] {
        std::vector<std::string> result;
        std::string_view rest = log_text();
        while (!rest.empty()) {
            std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            if (line.size() + 1 >= shortest_line)
                result.emplace_back(line);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
        return result;
    }();
    return all;
}

// The lines as the reader hands them to classify_line, with the slot of
// their host; the queue ids are copied here rather than into a host arena,
// so that the host table can be emptied between iterations.
struct prepared_line {
    std::size_t host_slot;
    input_line line;
};

struct prepared_log {
    std::vector<std::string> host_names;  // in order of first appearance
    std::deque<std::string> queue_ids;
    std::vector<prepared_line> lines;
    std::vector<const char*> from_texts;  // message texts starting with "from="
    std::vector<const char*> to_texts;    // message texts starting with "to="
    std::vector<const char*> message_texts;
};

const prepared_log& prepared()
{
    static const prepared_log log = [] {
        prepared_log result;
        const run_date date = run_date_of(run_time());
        line_time_cache times;
        for (const std::string& text : lines()) {
            log_header header;
            if (parse_log_header(text.c_str(), date, times, header) != line_fault::none)
                continue;
            std::size_t slot = 0;
            while (slot < result.host_names.size() && result.host_names[slot] != header.host)
                ++slot;
            if (slot == result.host_names.size()) {
                if (slot == host_table_size)
                    continue;
                result.host_names.emplace_back(header.host);
            }
            prepared_line prepared{slot, {}};
            input_line& line = prepared.line;
            line.line = text;
            line.line_body = header.line_body;
            line.line_time = header.line_time;
            line.line_hour = header.line_hour;
            line.line_wday = header.line_wday;
            line.line_mday = header.line_mday;
            queue_id_split split = split_queue_id(header.line_body);
            if (split.has_queue_id) {
                line.msg_id = result.queue_ids.emplace_back(header.line_body, split.id_length).c_str();
                line.message_text = split.message_text;
                const char* message = split.message_text.data();
                result.message_texts.push_back(message);
                if (std::strncmp(message, "from=", 5) == 0)
                    result.from_texts.push_back(message);
                else if (std::strncmp(message, "to=", 3) == 0)
                    result.to_texts.push_back(message);
            }
            result.lines.push_back(prepared);
        }
        return result;
    }();
    return log;
}

void count_items(benchmark::State& state, std::size_t per_iteration)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(per_iteration));
}

// ---- Input: reading and the header -----------------------------------------

void BM_line_source(benchmark::State& state)
{
    const int fd = log_file();
    if (fd < 0) {
        state.SkipWithError("cannot write the temporary log");
        return;
    }
    const std::size_t block_size = static_cast<std::size_t>(state.range(0));
    std::size_t pieces = 0;
    for (auto _ : state) {
        if (::lseek(fd, 0, SEEK_SET) != 0) {
            state.SkipWithError("cannot rewind the log");
            break;
        }
        arena keep;
        line_source source(fd, keep, block_size);
        pieces = 0;
        for (line_source::piece piece = source.next(); piece.text; piece = source.next()) {
            benchmark::DoNotOptimize(piece.text);
            ++pieces;
        }
    }
    count_items(state, pieces);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(log_text().size()));
}
BENCHMARK(BM_line_source)->Arg(1 << 16)->Arg(1 << 24)->Unit(benchmark::kMillisecond);

void BM_parse_log_header(benchmark::State& state)
{
    const std::vector<std::string>& all = lines();
    const run_date date = run_date_of(run_time());
    for (auto _ : state) {
        line_time_cache times;
        for (const std::string& text : all) {
            log_header header;
            benchmark::DoNotOptimize(parse_log_header(text.c_str(), date, times, header));
            benchmark::DoNotOptimize(header);
        }
    }
    count_items(state, all.size());
}
BENCHMARK(BM_parse_log_header)->Unit(benchmark::kMillisecond);

// The date and time fields of every line, for the two ways of turning them
// into a time.
struct time_fields {
    int month, day, hour, minute, second;
};

const std::vector<time_fields>& line_times()
{
    static const std::vector<time_fields> all = [] {
        std::vector<time_fields> result;
        for (const std::string& text : lines()) {
            time_fields fields{};
            fields.month = month_from_name(text.c_str());
            if (fields.month > 0 && std::sscanf(text.c_str() + 3, "%d %d:%d:%d", &fields.day, &fields.hour,
                                                &fields.minute, &fields.second) == 4)
                result.push_back(fields);
        }
        return result;
    }();
    return all;
}

void BM_line_time_cache(benchmark::State& state)
{
    const std::vector<time_fields>& all = line_times();
    for (auto _ : state) {
        line_time_cache times;
        for (const time_fields& t : all)
            benchmark::DoNotOptimize(times.lookup(124, t.month, t.day, t.hour, t.minute, t.second));
    }
    count_items(state, all.size());
}
BENCHMARK(BM_line_time_cache)->Unit(benchmark::kMicrosecond);

// The full conversion the cache saves, on the first 10,000 lines.
void BM_make_line_time(benchmark::State& state)
{
    const std::vector<time_fields>& all = line_times();
    const std::size_t count = std::min<std::size_t>(all.size(), 10'000);
    for (auto _ : state)
        for (std::size_t i = 0; i < count; ++i) {
            const time_fields& t = all[i];
            benchmark::DoNotOptimize(make_line_time(124, t.month, t.day, t.hour, t.minute, t.second));
        }
    count_items(state, count);
}
BENCHMARK(BM_make_line_time)->Unit(benchmark::kMillisecond);

// ---- Input: classification and field extraction ----------------------------

// Whether the host table holds the read and built log of the report
// benchmarks; the classification benchmark leaves it in another state.
bool report_data_ready = false;

void BM_classify_line(benchmark::State& state)
{
    const prepared_log& log = prepared();
    report_data_ready = false;
    settings = program_settings{};
    for (auto _ : state) {
        state.PauseTiming();
        clear_host_table();
        std::array<host_info*, host_table_size> hosts{};
        std::array<pairing_index, host_table_size> indexes;
        for (std::size_t i = 0; i < log.host_names.size(); ++i)
            hosts[i] = find_or_add_host(log.host_names[i]);
        state.ResumeTiming();
        for (const prepared_line& p : log.lines)
            classify_line(*hosts[p.host_slot], indexes[p.host_slot], p.line);
    }
    count_items(state, log.lines.size());
    clear_host_table();
}
BENCHMARK(BM_classify_line)->Unit(benchmark::kMillisecond);

// Runs `extract` over `texts` once per iteration with a fresh arena; the
// arena is replaced outside the timing.
template <class Extract>
void over_texts(benchmark::State& state, const std::vector<const char*>& texts, Extract extract)
{
    arena memory;
    for (auto _ : state) {
        for (const char* text : texts)
            extract(memory, text);
        state.PauseTiming();
        memory = arena{};
        state.ResumeTiming();
    }
    count_items(state, texts.size());
}

void BM_extract_address_from(benchmark::State& state)
{
    over_texts(state, prepared().from_texts,
               [](arena& memory, const char* text) { benchmark::DoNotOptimize(extract_address(memory, text + 5)); });
}
BENCHMARK(BM_extract_address_from)->Unit(benchmark::kMicrosecond);

void BM_extract_address_to(benchmark::State& state)
{
    over_texts(state, prepared().to_texts,
               [](arena& memory, const char* text) { benchmark::DoNotOptimize(extract_address(memory, text + 3)); });
}
BENCHMARK(BM_extract_address_to)->Unit(benchmark::kMicrosecond);

void BM_split_relay_from(benchmark::State& state)
{
    over_texts(state, prepared().from_texts, [](arena& memory, const char* text) {
        relay_info relay{};
        benchmark::DoNotOptimize(split_relay(memory, text, relay));
        benchmark::DoNotOptimize(relay);
    });
}
BENCHMARK(BM_split_relay_from)->Unit(benchmark::kMicrosecond);

void BM_split_relay_to(benchmark::State& state)
{
    over_texts(state, prepared().to_texts, [](arena& memory, const char* text) {
        relay_info relay{};
        benchmark::DoNotOptimize(split_relay(memory, text, relay));
        benchmark::DoNotOptimize(relay);
    });
}
BENCHMARK(BM_split_relay_to)->Unit(benchmark::kMicrosecond);

void BM_get_stat_code(benchmark::State& state)
{
    const std::vector<const char*>& texts = prepared().to_texts;
    for (auto _ : state)
        for (const char* text : texts)
            benchmark::DoNotOptimize(get_stat_code(text));
    count_items(state, texts.size());
}
BENCHMARK(BM_get_stat_code)->Unit(benchmark::kMicrosecond);

// ---- Output: HTML text helpers ---------------------------------------------

void BM_html_text(benchmark::State& state)
{
    const std::vector<const char*>& texts = prepared().message_texts;
    for (auto _ : state)
        for (const char* text : texts)
            benchmark::DoNotOptimize(html_text(text));
    count_items(state, texts.size());
}
BENCHMARK(BM_html_text)->Unit(benchmark::kMillisecond);

void BM_html_cell_text(benchmark::State& state)
{
    const std::vector<const char*>& texts = prepared().message_texts;
    for (auto _ : state)
        for (const char* text : texts)
            benchmark::DoNotOptimize(html_cell_text(text));
    count_items(state, texts.size());
}
BENCHMARK(BM_html_cell_text)->Unit(benchmark::kMillisecond);

// The sizes of the senders and their running total: the numbers the
// reports group.
const std::vector<double>& report_numbers()
{
    static const std::vector<double> numbers = [] {
        std::vector<double> result;
        double total = 0;
        for (const char* text : prepared().from_texts) {
            double size = get_size(text);
            total += size;
            result.push_back(size);
            result.push_back(total);
        }
        return result;
    }();
    return numbers;
}

void BM_format_grouped(benchmark::State& state)
{
    const std::vector<double>& numbers = report_numbers();
    for (auto _ : state)
        for (double value : numbers)
            benchmark::DoNotOptimize(format_grouped(value));
    count_items(state, numbers.size());
}
BENCHMARK(BM_format_grouped)->Unit(benchmark::kMicrosecond);

// ---- Output: whole reports -------------------------------------------------

// Reads the log into the host table with every report switch on and runs
// every build step, once for all the report benchmarks. False on failure.
bool ensure_report_data()
{
    if (report_data_ready)
        return true;
    const int fd = log_file();
    if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    settings = program_settings{};
    settings.print_weekly = 1;
    settings.PrintGenInfo = 1;
    settings.PrintEnvDomInfo = 1;
    settings.PrintRelDomInfo = 1;
    settings.PrintEnvInfo = 1;
    settings.PrintRelInfo = 1;
    settings.PrintRlrRejInfo = 1;
    settings.PrintMilRejInfo = 1;
    settings.PrintSumInfoRelays = 1;
    settings.PrintSumInfoRecipients = 1;
    settings.PrintMsgRejStat = 1;
    clear_host_table();
    lines_read = 0;
    read_log(fd, run_time());
    for (const build_step& step : build_steps()) {
        if (step.run_switch && !(settings.*step.run_switch))
            continue;
        if (step.build && step.build() != 0)
            return false;
    }
    std::tm shown = run_time();
    report_time = std::mktime(&shown);
    report_data_ready = true;
    return true;
}

using report_writer = int (*)(const std::string& path, int format);

// The size of one report as written now, from a temporary file; 0 when it
// cannot be found out.
std::size_t report_size(report_writer writer, int format)
{
    std::string path = (std::filesystem::temp_directory_path() / "quelm_micro_report_XXXXXX").string();
    int fd = ::mkstemp(path.data());
    if (fd < 0)
        return 0;
    ::close(fd);
    std::size_t size = 0;
    if (writer(path, format) == 0) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0)
            size = static_cast<std::size_t>(info.st_size);
    }
    ::unlink(path.c_str());
    return size;
}

// Writes the report to /dev/null per iteration; bytes/s counts the report's text.
void write_report(benchmark::State& state, report_writer writer, int format)
{
    if (!ensure_report_data()) {
        state.SkipWithError("cannot read and build the generated log");
        return;
    }
    const std::size_t size = report_size(writer, format);
    for (auto _ : state)
        if (writer("/dev/null", format) != 0) {
            state.SkipWithError("cannot open /dev/null");
            break;
        }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(size));
}

void BM_general_report_html(benchmark::State& state)
{
    write_report(state, write_general_report, FORMAT_HTML);
}
BENCHMARK(BM_general_report_html)->Unit(benchmark::kMicrosecond);

void BM_envelope_report_html(benchmark::State& state)
{
    write_report(state, write_envelope_report, FORMAT_HTML);
}
BENCHMARK(BM_envelope_report_html)->Unit(benchmark::kMillisecond);

void BM_envelope_report_ascii(benchmark::State& state)
{
    write_report(state, write_envelope_report, FORMAT_ASCII);
}
BENCHMARK(BM_envelope_report_ascii)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
