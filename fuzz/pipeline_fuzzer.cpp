// libFuzzer target: one input is one sendmail log, run through the input
// phase, every build step and every report writer (ASCII, HTML, HTML split).
// A report that lets log text become markup aborts like a crash would.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    hostile::prepare(QUELM_SOURCE_DIR);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const hostile::pipeline_outcome outcome =
        hostile::run_pipeline(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const hostile::pass_outcome* pass : {&outcome.html, &outcome.split}) {
        if (!pass->markup_fault.empty()) {
            std::fprintf(stderr, "markup fault in %s\n", pass->markup_fault.c_str());
            std::abort();
        }
    }
    return 0;
}
