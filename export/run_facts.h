// The facts of one run that the exports show but that live outside the
// statistics: the driver fills this plain record after the build phase and
// hands it to the exports, so export/ needs nothing of input/ or driver/.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "stats/build_phase.h"

struct run_facts {
    std::string program_version;
    // The input files in reading order: the -f file, then the operands;
    // "-" stands for standard input.
    std::vector<std::string> inputs;
    // The time window as Unix times, when one is set.
    std::optional<long long> window_start;
    std::optional<long long> window_end;
    std::time_t run_time = 0;          // the time every report of the run shows
    std::uint64_t lines_read = 0;      // every line read, dropped ones included
    // The build steps that ran: a table is in the JSON document only when
    // the step that builds it is listed here.
    std::vector<build_step_function> built_steps;

    bool built(build_step_function step) const
    {
        for (build_step_function ran : built_steps)
            if (ran == step)
                return true;
        return false;
    }
};
