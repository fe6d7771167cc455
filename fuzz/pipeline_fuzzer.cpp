// libFuzzer target: one input is one sendmail log, run through the input
// phase, every build step and every report writer (ASCII, HTML, HTML split).
// A report that lets log text become markup aborts like a crash would, and so
// does a line whose one-pass kind differs from the ordered searches.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/harness.h"
#include "input/classify.h"
#include "util/text_util.h"

namespace {

plain_line_kind ordered_kind(const char* body)
{
    if (find_nocase(body, " daemon "))
        return plain_line_kind::daemon_restart;
    if (find_nocase(body, "alias ") && find_nocase(body, "rebuilt"))
        return plain_line_kind::alias_rebuild;
    return find_nocase(body, "STARTTLS=") ? plain_line_kind::tls : plain_line_kind::unknown;
}

void check_line_kinds(std::string_view log)
{
    while (!log.empty()) {
        const std::size_t end = std::min(log.find('\n'), log.size());
        const std::string line(log.substr(0, end));  // cut at a NUL as the reader's text is
        if (kind_of_plain_line(line.c_str()) != ordered_kind(line.c_str())) {
            std::fprintf(stderr, "line kind differs from the ordered searches\n");
            std::abort();
        }
        log.remove_prefix(std::min(end + 1, log.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    hostile::prepare(QUELM_SOURCE_DIR);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view log(reinterpret_cast<const char*>(data), size);
    check_line_kinds(log);
    const hostile::pipeline_outcome outcome = hostile::run_pipeline(log);
    for (const hostile::pass_outcome* pass : {&outcome.html, &outcome.split}) {
        if (!pass->markup_fault.empty()) {
            std::fprintf(stderr, "markup fault in %s\n", pass->markup_fault.c_str());
            std::abort();
        }
    }
    return 0;
}
