// The fixed order of a run. Start-up fills the settings (options, then the
// configuration file), the input phase reads the whole log into the host
// table, the build phase turns it into statistics, the print phase writes the
// enabled reports. Each phase is owned elsewhere; this file only orders them.
#include "driver/program.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/config_file.h"
#include "driver/messages.h"
#include "driver/settings.h"
#include "export/json_export.h"
#include "export/prometheus_export.h"
#include "export/run_facts.h"
#include "geo/ip_ranges.h"
#include "input/line_reader.h"
#include "report/dashboard.h"
#include "report/report_registry.h"
#include "report/report_writer.h"
#include "stats/build_phase.h"
#include "model/host_info.h"

namespace {

struct input_closer {
    void operator()(std::FILE* f) const
    {
        if (f != stdin)
            std::fclose(f);
    }
};
using input_stream = std::unique_ptr<std::FILE, input_closer>;

void phase(const char* name)
{
    if (settings.time_profile)
        time_stamped_message(name);
}

// Reads the configuration file named by -c, or the default one when the
// program was started without arguments. False when its errors end the run.
bool read_configuration(bool has_arguments)
{
    if (!settings.config_file && !has_arguments)
        settings.config_file = default_config_file;
    if (!settings.config_file)
        return true;
    const char* path = settings.config_file->c_str();
    switch (parse_config_file(path)) {
    case config_ok:
        return true;
    case config_errors:
        error_message(format_message("Errors found during processing of config file %s!\n", path));
        return false;
    default:
        error_message(format_message("Config file %s not found!\n", path));
        return true;
    }
}

// Settings that follow from others, and the fixed presentation values.
void complete_settings()
{
    if (settings.verbose && settings.verbose_level > 0) {
        verbose_message("config_file_parsing_results.\n");
        verbose_message(format_message("use_merge_sort=%d\n", settings.merge_sort));
    }
    if (settings.PrintOtherReport && !settings.OutputOtherReportName)
        settings.OutputOtherReportName = "User statistics report";
    settings.body_color = "E9E5DF";
    settings.header_color = "CCCCCC";
    settings.page_heading = "Sendmail Log Analysis Report";
}

// An open input file and the name its messages give it.
struct open_input_file {
    input_stream stream;
    std::string name;
};

// The input files in reading order: the -f file, then the operands.
std::vector<std::string> input_paths()
{
    std::vector<std::string> paths;
    if (settings.InputFile)
        paths.push_back(*settings.InputFile);
    paths.insert(paths.end(), settings.input_operands.begin(), settings.input_operands.end());
    return paths;
}

// Opens one input: an operand "-" is standard input (the -f file is always a
// file name); null (after the message) when the file cannot be opened.
input_stream open_input(const std::string& path, bool dash_is_standard_input)
{
    if (dash_is_standard_input && path == "-")
        return input_stream(stdin);
    std::FILE* file = std::fopen(path.c_str(), "rt");
    if (file == nullptr)
        error_message(format_message("Cannot open file %s, code = %d\n", path.c_str(), errno));
    return input_stream(file);
}

// Every input opened before any is read: standard input when no file is
// set; empty (after the message) when one cannot be opened.
std::vector<open_input_file> open_inputs()
{
    std::vector<open_input_file> inputs;
    const std::vector<std::string> paths = input_paths();
    if (paths.empty())
        inputs.push_back({input_stream(stdin), "standard input"});
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const bool is_operand = !(i == 0 && settings.InputFile);
        input_stream stream = open_input(paths[i], is_operand);
        if (!stream)
            return {};
        const bool is_standard_input = stream.get() == stdin;
        inputs.push_back({std::move(stream), is_standard_input ? "standard input" : paths[i]});
    }
    return inputs;
}

// Returns the number of lines outside the time window.
std::uint64_t read_input(const std::vector<open_input_file>& files, const std::tm& now)
{
    std::vector<log_input> inputs;
    for (const open_input_file& file : files)
        inputs.push_back(log_input{fileno(file.stream.get()), file.name});
    const line_window window{settings.window_start, settings.window_end};
    phase("Start of input processing");
    const std::uint64_t outside = read_logs(inputs, now, window);
    phase("End of input processing");
    verbose_message(format_message("%lu total lines processed\n", static_cast<unsigned long>(lines_read)));
    if (window.is_set())
        verbose_message(format_message("%lu lines outside the time window\n", static_cast<unsigned long>(outside)));
    verbose_message(format_message("%lu hosts found\n", static_cast<unsigned long>(hosts_found)));
    return outside;
}

// False when a build step ran out of memory. The steps that ran are noted
// in `facts`.
bool build_statistics(run_facts& facts)
{
    for (const build_step& step : build_steps()) {
        if (!step_runs(step, settings))
            continue;
        phase(step.phase_message);
        if (step.build && step.build() != 0)
            return false;
        facts.built_steps.push_back(step.build);
    }
    return true;
}

void complete_run_facts(run_facts& facts, const std::vector<open_input_file>& files)
{
    facts.program_version = program_version;
    for (const open_input_file& file : files)  // in reading order, "-" for standard input
        facts.inputs.push_back(file.stream.get() == stdin ? std::string("-") : file.name);
    facts.window_start = settings.window_start;
    facts.window_end = settings.window_end;
    facts.run_time = report_time;
    facts.lines_read = lines_read;
}

// The JSON document shows the tables in the builders' order, so it is
// written before the reports sort them. False when it could not be written.
bool write_json(const run_facts& facts)
{
    if (!settings.json_file)
        return true;
    phase("Print JSON export");
    return write_json_export(*settings.json_file, facts);
}

bool write_prometheus(const run_facts& facts)
{
    if (!settings.prometheus_file)
        return true;
    phase("Print Prometheus export");
    return write_prometheus_export(*settings.prometheus_file, facts);
}

void print_reports()
{
    for (const report_entry& report : report_entries()) {
        if (!(settings.*report.print_switch))
            continue;
        if (report.html_only && settings.OutputFormat != 1)
            continue;
        if (report.phase_message)
            phase(report.phase_message);
        const setting_text& file_name = settings.*report.file_name;
        if (!file_name && !report.written_without_file_name)
            continue;
        std::string path = file_name ? report_path_for(file_name) : std::string();
        if (report.writer)
            report.writer(path, settings.OutputFormat);
    }
}

// The dashboard page (--dashboard), after the reports it links to. Its file
// name is placed like a report's, beside them.
void write_dashboard_page(const std::vector<open_input_file>& files, std::uint64_t outside_window)
{
    if (!settings.dashboard_file)
        return;
    phase("Print dashboard");
    dashboard_run run;
    run.lines_read = lines_read;
    run.lines_outside_window = static_cast<unsigned long>(outside_window);
    for (const open_input_file& file : files)
        run.inputs.push_back(file.name);
    write_dashboard(report_path_for(settings.dashboard_file), run);
}

}  // namespace

int run_program(int argc, char* argv[])
{
    clear_host_table();
    lines_read = 0;

    command_line_result options = parse_command_line(argc, argv);
    if (!options.go_on)
        return 1;
    if (!settings.logging_file)
        settings.logging_file = default_logging_file;
    if (!read_configuration(options.has_arguments))
        return 1;
    complete_settings();

    const std::vector<open_input_file> inputs = open_inputs();
    if (inputs.empty())
        return 1;
    std::time_t run_time = std::time(nullptr);
    std::tm now{};
    localtime_r(&run_time, &now);
    if (settings.PrintCountryIPInfo)
        load_ip_databases();

    const std::uint64_t outside_window = read_input(inputs, now);

    run_facts facts;
    if (!build_statistics(facts))
        return 1;

    report_time = std::time(nullptr);  // the time every report shows
    complete_run_facts(facts, inputs);
    bool exports_written = write_json(facts);
    print_reports();
    write_dashboard_page(inputs, outside_window);
    exports_written = write_prometheus(facts) && exports_written;

    phase("End of program");
    return exports_written ? 0 : 1;
}
