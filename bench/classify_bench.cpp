// quelm_bench: lines per second of the whole input phase (reading, header
// parsing, host table, classification) over generated sendmail logs of
// 100,000 and 1,000,000 lines. The logs are written once to temporary files
// and removed when the run ends.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "input/line_reader.h"
#include "model/host_info.h"
#include "tools/loggen/log_generator.h"

namespace {

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A generated log in a temporary file, open for reading; removed with the object.
class temporary_log {
public:
    temporary_log(std::uint64_t seed, std::size_t lines) : lines_(lines)
    {
        std::string path = (std::filesystem::temp_directory_path() / "quelm_bench_XXXXXX").string();
        fd_ = ::mkstemp(path.data());
        if (fd_ < 0)
            return;
        path_ = path;
        std::unique_ptr<std::FILE, file_closer> out(std::fopen(path_.c_str(), "w"));
        // No broken lines: their error messages would flood the terminal.
        log_generator_options options;
        options.malformed_permille = 0;
        ok_ = out && write_log(out.get(), seed, lines, options) && std::fflush(out.get()) == 0;
    }
    ~temporary_log()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            std::filesystem::remove(path_);
    }
    temporary_log(const temporary_log&) = delete;
    temporary_log& operator=(const temporary_log&) = delete;

    bool ok() const { return ok_; }
    int fd() const { return fd_; }
    std::size_t lines() const { return lines_; }

private:
    std::string path_;
    int fd_ = -1;
    std::size_t lines_;
    bool ok_ = false;
};

// The run date: January 15, 2025, so the December lines belong to 2024.
std::tm run_date()
{
    std::tm now{};
    now.tm_year = 125;
    now.tm_mon = 0;
    now.tm_mday = 15;
    now.tm_hour = 12;
    return now;
}

void input_phase(benchmark::State& state, const temporary_log& log)
{
    const std::tm now = run_date();
    for (auto _ : state) {
        clear_host_table();
        lines_read = 0;
        if (::lseek(log.fd(), 0, SEEK_SET) != 0) {
            state.SkipWithError("cannot rewind the log");
            break;
        }
        read_log(log.fd(), now);
    }
    if (lines_read != log.lines())
        state.SkipWithError("read_log did not count every line");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * log.lines()));
    state.counters["hosts"] = hosts_found;
    clear_host_table();
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const temporary_log small(1, 100'000);
    const temporary_log large(2, 1'000'000);
    if (!small.ok() || !large.ok()) {
        std::fprintf(stderr, "quelm_bench: cannot write the temporary logs\n");
        return 1;
    }
    benchmark::RegisterBenchmark("input_phase/100000_lines",
                                 [&small](benchmark::State& state) { input_phase(state, small); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("input_phase/1000000_lines",
                                 [&large](benchmark::State& state) { input_phase(state, large); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
