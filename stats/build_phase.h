// The build phase: each step turns the message model of every host into the
// statistic tables its reports print. Steps run in table order, each under
// its report switch, and write the phase message before they start.
#pragma once

#include <span>

#include "driver/settings.h"

// Returns 0, or non-zero when the run must end (memory exhausted).
using build_step_function = int (*)();

struct build_step {
    const char* phase_message;
    int program_settings::*run_switch;  // null: always runs
    build_step_function build;          // null until the statistic exists
};

// The build steps in the order they run.
std::span<const build_step> build_steps();
