// The build phase: each step turns the message model of every host into the
// statistic tables its reports print. Steps run in table order, each when its
// report switch is on or when the dashboard (--dashboard) reads its tables,
// and write the phase message before they start.
#pragma once

#include <span>

#include "driver/settings.h"
#include "model/host_info.h"

// Returns 0, or non-zero when the run must end (memory exhausted).
using build_step_function = int (*)();

// Whether the dashboard page reads a step's tables.
enum class dashboard_use : bool { no, reads };

struct build_step {
    const char* phase_message;
    int program_settings::*run_switch;  // null: always runs
    build_step_function build;          // null until the statistic exists
    dashboard_use dashboard;            // reads: also runs when a dashboard is written
};

// The build steps in the order they run.
std::span<const build_step> build_steps();

// Whether `step` runs with these settings: it has no switch, its switch is
// on, or a dashboard file is set and the dashboard reads its tables.
bool step_runs(const build_step& step, const program_settings& run);

// Runs one statistic builder over every used host in table order. The
// builder returns its failure message, or null when the host was built; a
// failure, or memory running out where the builder does not check it
// (`no_memory`), is written and ends the walk with 1 (the run then ends).
int build_each_host(const char* (*build_host)(host_info& host), const char* no_memory);
